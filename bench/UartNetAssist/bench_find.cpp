// bench_find: typing a needle into the receive view's find bar while the view holds a
// large scrollback. A 10 ms timer measures how late the GUI thread runs (the stall) from
// the first keystroke until the search has ended; the count shown is checked against
// the matches counted in the view's text.
//
// Usage: bench_find [lines, default 100000] [needle, default: 6 hex digits of the middle line]
// Target: stall p99 <= 50 ms while typing a 6-character needle at 100 000 lines.

#include "AssistPrefs.h"
#include "RecvFindBar.h"
#include "UartNetAssist.h"
#include "appdir.h"
#include "benchsmoke.h"
#include "stallprobe.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

class FedPanel : public UartNetAssist
{
public:
    using UartNetAssist::receiveData_slot;
};

// Lines of about 110 characters: a counter in hex among printable filler, so that a
// needle of hex digits matches now and then, and more often as it gets shorter.
QByteArray makeLines(int first, int count)
{
    QByteArray out;
    out.reserve(count * 112);
    for (int i = first; i < first + count; ++i) {
        const QByteArray n = QByteArray::number(quint32(i) * 2654435761u, 16);
        out += "line " + QByteArray::number(i) + " value " + n + " ";
        out += QByteArray(90 - n.size(), char('a' + i % 26));
        out += '\n';
    }
    return out;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir appDir;
    QDir(appDir.path()).mkpath(QStringLiteral("config"));
    setAppDirPath(appDir.path());
    const int lines = argc > 1 ? qBound(1000, atoi(argv[1]), 100000) : benchSmoke() ? 10000 : 100000;
    const QString needle = argc > 2
        ? QString::fromLatin1(argv[2])
        : QString::fromLatin1(QByteArray::number(quint32(lines / 2) * 2654435761u, 16).left(6));

    AssistViewPrefs prefs;
    prefs.scrollback = AssistViewPrefs::maxScrollback;
    AssistShared::instance().setView(prefs);
    FedPanel panel;
    panel.resize(1000, 700);
    panel.show();
    auto* view = panel.findChild<QPlainTextEdit*>(QStringLiteral("recv_text"));
    for (int i = 0; i < lines; i += 1000)
        panel.receiveData_slot(makeLines(i, qMin(1000, lines - i)), QStringLiteral("127.0.0.1"), 4000);
    QElapsedTimer filled;
    filled.start();
    while (view->document()->blockCount() < lines && filled.elapsed() < 300000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    const QString text = view->toPlainText();
    std::printf("bench_find: %d lines, %lld characters in the view (filled in %.1f s)\n",
                view->document()->blockCount(), static_cast<long long>(text.size()), filled.elapsed() / 1000.0);

    auto* bar = panel.findChild<RecvFindBar*>(QStringLiteral("find_bar"));
    auto* field = panel.findChild<QLineEdit*>(QStringLiteral("find_text"));
    auto* count = panel.findChild<QLabel*>(QStringLiteral("find_count"));
    bar->open();

    StallProbe probe;
    probe.start();
    // A fast typist: one key every 120 ms.
    for (const QChar c : needle) {
        QTest::keyClicks(field, QString(c));
        QElapsedTimer gap;
        gap.start();
        while (gap.elapsed() < 120)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    QElapsedTimer done;
    done.start();
    while (bar->searching() && done.elapsed() < 60000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    probe.stop();

    int expected = 0;
    for (int at = text.indexOf(needle, 0, Qt::CaseInsensitive); at >= 0;
         at = text.indexOf(needle, at + needle.size(), Qt::CaseInsensitive))
        ++expected;
    const QString want = expected ? QStringLiteral("1 of %1").arg(expected) : QStringLiteral("No matches");
    const bool exact = count->text() == want && bar->matchCount() == expected;
    const std::vector<double>& late = probe.lateMs;
    const double p99 = percentile(late, 0.99);
    std::printf("typing \"%s\": stall p99 %.1f ms, max %.1f ms (target p99 <= 50 ms); search done %.0f ms "
                "after the last key; count \"%s\" %s (expected %d)\n",
                qPrintable(needle), p99, percentile(late, 1.0), done.elapsed() * 1.0, qPrintable(count->text()),
                exact ? "exact" : "WRONG", expected);
    setAppDirPath(QString());
    return exact && (benchSmoke() || p99 <= 50) ? 0 : 1;
}
