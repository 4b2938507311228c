#include "CommandRunner.h"
#include "assistlog.h"

#include <QDateTime>

namespace {

// Check of a device with a backlog: how soon to look again.
constexpr int kReadyPollMs = 10;

// What an expect waited for, as the user wrote it.
QString wanted(const CommandScript::Step& step)
{
    if (step.kind == CommandScript::ExpectRe)
        return step.text;
    const QString d = CommandScript::describe(step.bytes, step.hex);
    return step.hex ? d : d.mid(1, d.size() - 2);
}

} // namespace

CommandRunner::CommandRunner(QObject* parent)
    : QObject(parent)
{
    ownClock.start();
    clock = [this]() { return ownClock.elapsed(); };
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    connect(&timer, &QTimer::timeout, this, &CommandRunner::onTimer);
    continueTimer.setSingleShot(true);
    continueTimer.setInterval(0);
    connect(&continueTimer, &QTimer::timeout, this, &CommandRunner::proceed);
}

bool CommandRunner::start(const CommandScript& script)
{
    if (running)
        return false;
    steps = script.steps();
    loops.clear();
    received.clear();
    pc = 0;
    failedExpects = 0;
    continueOnFail = false;
    blocked = Blocked::No;
    lastProgress = -1;
    running = true;
    startedAt = now();
    proceed();
    return true;
}

void CommandRunner::stop(const QString& reason)
{
    if (!running)
        return;
    finish(false, tr("stopped after %1 s: %2").arg(elapsedText(), reason));
}

void CommandRunner::feed(const QByteArray& data)
{
    if (!running)
        return;
    received.append(data);
    if (received.size() > maxBuffered)
        received.remove(0, received.size() - maxBuffered);
    if (blocked != Blocked::Expect || inProceed)
        return;
    if (tryMatch(steps.at(pc))) {
        timer.stop();
        blocked = Blocked::No;
        ++pc;
        proceed();
    }
}

QString CommandRunner::progressText() const
{
    QStringList parts;
    for (const Loop& l : loops) {
        parts.append(l.count == 0 ? tr("loop %1").arg(l.round) : tr("loop %1 of %2").arg(l.round).arg(l.count));
    }
    return parts.join(QStringLiteral(", "));
}

QString CommandRunner::elapsedText() const
{
    return QString::number((now() - startedAt) / 1000.0, 'f', 3);
}

void CommandRunner::log(const QString& text)
{
    emit logLine(QDateTime::currentDateTime().toString(QStringLiteral("hh:mm:ss.zzz ")) + text);
}

void CommandRunner::reportProgress(bool force)
{
    // A fast loop would repaint its counter thousands of times a second.
    const qint64 t = now();
    if (!force && lastProgress >= 0 && t - lastProgress < 50)
        return;
    lastProgress = t;
    emit progressChanged(progressText());
}

bool CommandRunner::tryMatch(const CommandScript::Step& step)
{
    int end = -1;
    QString matched;
    if (step.kind == CommandScript::Expect) {
        const int at = received.indexOf(step.bytes);
        if (at < 0)
            return false;
        end = at + step.bytes.size();
        matched = CommandScript::describe(step.bytes, step.hex);
    } else {
        const QString text = QString::fromLocal8Bit(received);
        const QRegularExpressionMatch m = step.pattern.match(text);
        if (!m.hasMatch())
            return false;
        end = text.left(m.capturedEnd()).toLocal8Bit().size();
        matched = CommandScript::describe(m.captured().toLocal8Bit(), false);
    }
    // A second expect after the same send looks at what follows this match.
    received.remove(0, end);
    log(tr("line %1: received %2").arg(step.line).arg(matched));
    return true;
}

void CommandRunner::proceed()
{
    if (!running || inProceed)
        return;
    inProceed = true;
    QElapsedTimer slice;
    slice.start();
    int done = 0;
    while (running) {
        if (pc >= steps.size()) {
            if (failedExpects == 0)
                finish(true, tr("passed in %1 s").arg(elapsedText()));
            else
                finish(false, tr("finished in %1 s, %n expect(s) failed", nullptr, failedExpects).arg(elapsedText()));
            break;
        }
        if (++done > stepsPerSlice || slice.elapsed() >= sliceMs) {
            continueTimer.start(); // the window gets its turn, then the next slice
            break;
        }
        const CommandScript::Step& step = steps.at(pc);
        if (step.kind == CommandScript::Send || step.kind == CommandScript::SendRaw) {
            if (ready && !ready()) {
                blocked = Blocked::Ready;
                timer.start(kReadyPollMs);
                break;
            }
            // Expects look at what arrives in answer to this.
            received.clear();
            QByteArray sent;
            QString error;
            if (!sender || !sender(step.bytes, step.kind == CommandScript::SendRaw, &sent, &error)) {
                finish(false, tr("failed at line %1: %2").arg(step.line).arg(error));
                break;
            }
            log(tr("line %1: sent %2").arg(step.line).arg(CommandScript::describe(sent, step.hex)));
            ++pc;
        } else if (step.kind == CommandScript::Wait) {
            log(tr("line %1: wait %2 ms").arg(step.line).arg(step.ms));
            blocked = Blocked::Wait;
            deadline = now() + step.ms;
            timer.start(step.ms);
            break;
        } else if (step.kind == CommandScript::Expect || step.kind == CommandScript::ExpectRe) {
            if (tryMatch(step)) {
                ++pc;
                continue;
            }
            blocked = Blocked::Expect;
            deadline = now() + step.ms;
            timer.start(step.ms);
            break;
        } else if (step.kind == CommandScript::Repeat) {
            loops.append(Loop{pc, step.count, 1});
            reportProgress(true);
            ++pc;
        } else if (step.kind == CommandScript::End) {
            Loop& loop = loops.last();
            if (loop.count == 0 || loop.round < loop.count) {
                ++loop.round;
                pc = loop.repeat + 1;
                reportProgress(loop.round == loop.count);
            } else {
                loops.removeLast();
                reportProgress(true);
                ++pc;
            }
        } else if (step.kind == CommandScript::Log) {
            log(tr("line %1: %2").arg(step.line).arg(step.text));
            ++pc;
        } else if (step.kind == CommandScript::OnFail) {
            continueOnFail = step.continueOnFail;
            ++pc;
        }
    }
    inProceed = false;
    // An answer may have come while this slice sent (a reply within the send call).
    if (running && blocked == Blocked::Expect && tryMatch(steps.at(pc))) {
        timer.stop();
        blocked = Blocked::No;
        ++pc;
        proceed();
    }
}

void CommandRunner::onTimer()
{
    if (!running)
        return;
    const Blocked was = blocked;
    if (was == Blocked::Ready) {
        blocked = Blocked::No;
        proceed();
        return;
    }
    // The timer may fire a little early on a coarse clock: the clock decides.
    if (now() < deadline) {
        timer.start(static_cast<int>(deadline - now()));
        return;
    }
    blocked = Blocked::No;
    if (was == Blocked::Expect) {
        expectFailed(steps.at(pc));
        if (!running)
            return;
    }
    ++pc;
    proceed();
}

void CommandRunner::expectFailed(const CommandScript::Step& step)
{
    const QString reason = step.kind == CommandScript::ExpectRe
        ? tr("no match for '%1' within %2 ms").arg(wanted(step)).arg(step.ms)
        : tr("no '%1' within %2 ms").arg(wanted(step)).arg(step.ms);
    if (!continueOnFail) {
        finish(false, tr("failed at line %1: %2").arg(step.line).arg(reason));
        return;
    }
    ++failedExpects;
    log(tr("line %1: %2, going on").arg(step.line).arg(reason));
}

void CommandRunner::finish(bool passed, const QString& result)
{
    running = false;
    blocked = Blocked::No;
    timer.stop();
    continueTimer.stop();
    received.clear();
    qCDebug(lcAssist) << "command run ended:" << result;
    log(result);
    emit finished(passed, result);
}
