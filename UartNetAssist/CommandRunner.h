#pragma once

#include "CommandScript.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <QVector>

#include <functional>

// Runs a parsed script. It knows no widget: it is fed the bytes the panel receives and
// reads a clock; it asks the panel to send through `sender`. Steps follow one another
// at once; only `wait` and an `expect` whose answer is not yet there leave the event
// loop, and an expect is checked as each piece of data arrives.
class CommandRunner : public QObject
{
    Q_OBJECT
public:
    // Sends bytes (raw: without the panel's checksum and addition); false with a reason.
    // `sent` receives the bytes that really went out.
    using Sender = std::function<bool(const QByteArray& bytes, bool raw, QByteArray* sent, QString* error)>;
    // Milliseconds of a monotonic clock.
    using Clock = std::function<qint64()>;
    // Whether the device can take more now (false while a slow peer has a backlog).
    using Ready = std::function<bool()>;

    // Received data kept for the expects; older bytes are dropped beyond this.
    static constexpr int maxBuffered = 256 * 1024;
    // Steps done in one go before the event loop gets a turn.
    static constexpr int stepsPerSlice = 512;
    static constexpr int sliceMs = 5;

    explicit CommandRunner(QObject* parent = nullptr);

    void setSender(Sender s) { sender = std::move(s); }
    void setClock(Clock c) { clock = std::move(c); }
    void setReady(Ready r) { ready = std::move(r); }

    // Starts the script's steps; false (and nothing started) while a run is under way.
    bool start(const CommandScript& script);
    // Ends a run under way with the reason in the log.
    void stop(const QString& reason);
    bool isRunning() const { return running; }

    // Data the panel received.
    void feed(const QByteArray& data);

    // "loop 37 of 1000" (nested loops outermost first), empty outside loops.
    QString progressText() const;

signals:
    // A line of the run log, with its time stamp.
    void logLine(const QString& line);
    void progressChanged(const QString& text);
    // The run ended: its outcome ("passed in 1.234 s", "failed at line 7: ...").
    void finished(bool passed, const QString& result);

private:
    enum class Blocked { No, Wait, Expect, Ready };
    struct Loop
    {
        int repeat = 0; // index of the Repeat step
        int count = 0;  // 0: forever
        int round = 1;
    };

    void proceed();
    bool tryMatch(const CommandScript::Step& step);
    void onTimer();
    void expectFailed(const CommandScript::Step& step);
    void finish(bool passed, const QString& result);
    void log(const QString& text);
    void reportProgress(bool force);
    qint64 now() const { return clock(); }
    QString elapsedText() const;

    QVector<CommandScript::Step> steps;
    QVector<Loop> loops;
    Sender sender;
    Clock clock;
    Ready ready;
    QElapsedTimer ownClock;
    QTimer timer;      // the deadline of a wait or an expect
    QTimer continueTimer; // the next slice of steps
    QByteArray received;
    Blocked blocked = Blocked::No;
    qint64 deadline = 0;
    qint64 startedAt = 0;
    qint64 lastProgress = -1;
    int pc = 0;
    int failedExpects = 0;
    bool continueOnFail = false;
    bool running = false;
    bool inProceed = false;
};
