#include "UnixSignalWatcher.h"

#include <QSignalSpy>
#include <QtTest>

#include <csignal>

namespace {

volatile sig_atomic_t plainHandlerHits = 0;
void plainHandler(int)
{
    plainHandlerHits = plainHandlerHits + 1;
}

// Installs plainHandler for the signal while it lives, so that a fault in the watcher
// never ends the test program, and restores the default afterwards.
class PlainHandlerGuard
{
public:
    explicit PlainHandlerGuard(int sig) : sig(sig)
    {
        struct sigaction action = {};
        action.sa_handler = plainHandler;
        sigemptyset(&action.sa_mask);
        ::sigaction(sig, &action, &old);
        plainHandlerHits = 0;
    }
    ~PlainHandlerGuard() { ::sigaction(sig, &old, nullptr); }

private:
    int sig;
    struct sigaction old = {};
};

} // namespace

class tst_UnixSignalWatcher : public QObject
{
    Q_OBJECT
private slots:
    void delivers_data();
    void delivers();
    void burstIsNotLost();
    void restoresPreviousHandler();
    void onlyOneWatcher();
};

void tst_UnixSignalWatcher::delivers_data()
{
    QTest::addColumn<int>("sig");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGINT") << int(SIGINT);
}

void tst_UnixSignalWatcher::delivers()
{
    QFETCH(int, sig);
    PlainHandlerGuard guard(sig);
    UnixSignalWatcher watcher({SIGTERM, SIGINT});
    QVERIFY(watcher.isValid());
    QSignalSpy spy(&watcher, &UnixSignalWatcher::signalReceived);
    QVERIFY(spy.isValid());
    QCOMPARE(::raise(sig), 0);
    QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 1, 5000);
    QCOMPARE(spy.at(0).at(0).toInt(), sig);
    QCOMPARE(int(plainHandlerHits), 0); // the watcher, not the earlier handler, took it
}

void tst_UnixSignalWatcher::burstIsNotLost()
{
    PlainHandlerGuard term(SIGTERM);
    PlainHandlerGuard intr(SIGINT);
    UnixSignalWatcher watcher({SIGTERM, SIGINT});
    QSignalSpy spy(&watcher, &UnixSignalWatcher::signalReceived);
    QVERIFY(spy.isValid());
    // Raised before the event loop runs: each waits in the pipe.
    ::raise(SIGINT);
    ::raise(SIGTERM);
    ::raise(SIGINT);
    QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 3, 5000);
    QCOMPARE(spy.at(0).at(0).toInt(), int(SIGINT));
    QCOMPARE(spy.at(1).at(0).toInt(), int(SIGTERM));
    QCOMPARE(spy.at(2).at(0).toInt(), int(SIGINT));
}

void tst_UnixSignalWatcher::restoresPreviousHandler()
{
    PlainHandlerGuard guard(SIGTERM);
    {
        UnixSignalWatcher watcher({SIGTERM});
        QVERIFY(watcher.isValid());
    }
    QCOMPARE(::raise(SIGTERM), 0);
    QCOMPARE(int(plainHandlerHits), 1);
    // A new watcher works again once the first has gone.
    UnixSignalWatcher again({SIGTERM});
    QVERIFY(again.isValid());
    QSignalSpy spy(&again, &UnixSignalWatcher::signalReceived);
    ::raise(SIGTERM);
    QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 1, 5000);
}

void tst_UnixSignalWatcher::onlyOneWatcher()
{
    PlainHandlerGuard guard(SIGTERM);
    UnixSignalWatcher first({SIGTERM});
    QVERIFY(first.isValid());
    QSignalSpy spy(&first, &UnixSignalWatcher::signalReceived);
    {
        UnixSignalWatcher second({SIGTERM});
        QVERIFY(!second.isValid());
    }
    // The refused second watcher must not have taken the first one's handler away.
    ::raise(SIGTERM);
    QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 1, 5000);
    QCOMPARE(int(plainHandlerHits), 0);
}

QTEST_GUILESS_MAIN(tst_UnixSignalWatcher)
#include "tst_unixsignalwatcher.moc"
