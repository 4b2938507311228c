#include "PtyLineWatcher.h"
#include "testutil.h"

#include <QFile>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

class tst_PtyLineWatcher : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void followsTheProgram_data();
    void followsTheProgram();
    void portAppearsLater();

private:
    std::unique_ptr<testutil::SocatPair> pair;
};

void tst_PtyLineWatcher::initTestCase()
{
    if (!testutil::haveSocat())
        QSKIP("needs socat for the pseudo-terminal pair");
    pair.reset(new testutil::SocatPair);
    QVERIFY(pair->isValid());
}

void tst_PtyLineWatcher::cleanupTestCase()
{
    pair.reset();
}

void tst_PtyLineWatcher::followsTheProgram_data()
{
    QTest::addColumn<qint32>("baud");
    QTest::addColumn<int>("stopBits");
    QTest::newRow("115200, 1 stop bit") << 115200 << 1;
    QTest::newRow("19200, 2 stop bits") << 19200 << 2;
    QTest::newRow("1200, 2 stop bits") << 1200 << 2;
    QTest::newRow("250000 (no B constant)") << 250000 << 1;
}

void tst_PtyLineWatcher::followsTheProgram()
{
    QFETCH(qint32, baud);
    QFETCH(int, stopBits);
    PtyLineWatcher watcher;
    QSignalSpy spy(&watcher, &PtyLineWatcher::changed);
    QVERIFY(spy.isValid());
    QVERIFY2(watcher.start(pair->portA()), qPrintable(watcher.errorString()));
    QCOMPARE(spy.count(), 1); // the first reading at once

    // The user's program: sets the line, including 7E which the pty does not keep.
    QSerialPort program;
    program.setPortName(pair->portA());
    QVERIFY(program.open(QIODevice::ReadWrite));
    QVERIFY(program.setBaudRate(baud));
    QVERIFY(program.setStopBits(stopBits == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop));
    program.setDataBits(QSerialPort::Data7);
    program.setParity(QSerialPort::EvenParity);
    QTRY_VERIFY_WITH_TIMEOUT(watcher.baudRate() == quint32(baud) && watcher.stopBits() == stopBits, 1000);
    QCOMPARE(spy.constLast().at(0).value<quint32>(), quint32(baud));

    // Unchanged settings are not reported again.
    const int count = spy.count();
    program.setBaudRate(baud);
    QTest::qWait(3 * PtyLineWatcher::defaultIntervalMs); // proving silence: several ticks pass
    QCOMPARE(spy.count(), count);
    program.close();
}

void tst_PtyLineWatcher::portAppearsLater()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString link = dir.filePath(QStringLiteral("ttyLater"));
    PtyLineWatcher watcher;
    QSignalSpy spy(&watcher, &PtyLineWatcher::changed);
    QVERIFY(!watcher.start(link));
    QVERIFY(!watcher.errorString().isEmpty());
    QVERIFY(!watcher.isWatching());
    QVERIFY(QFile::link(QFile::symLinkTarget(pair->portA()), link));
    QTRY_VERIFY(watcher.isWatching());
    QTRY_COMPARE(spy.count(), 1);
    QVERIFY(watcher.baudRate() > 0);
    watcher.stop();
    QVERIFY(!watcher.isWatching());
}

QTEST_GUILESS_MAIN(tst_PtyLineWatcher)
#include "tst_ptylinewatcher.moc"
