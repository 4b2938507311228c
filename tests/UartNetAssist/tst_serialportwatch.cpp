// The serial port watch shared by the assistant panels: the same list as the command
// pipeline it replaces, and changes of a real directory noticed without polling it.

#include "SerialPortWatch.h"
#include "serialPortDevice_.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

class tst_SerialPortWatch : public QObject
{
    Q_OBJECT

private slots:
    void sameListAsCommandPipeline();
    void filtersLikeTheCommandPipeline();
    void noticesPortsComingAndGoing();
};

namespace {

bool touch(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly);
}

} // namespace

void tst_SerialPortWatch::sameListAsCommandPipeline()
{
    QCOMPARE(SerialPortWatch::scan(QStringLiteral("/dev")), getSerialPortList());
}

void tst_SerialPortWatch::filtersLikeTheCommandPipeline()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    for (const char* name : {"ttyS0", "ttyS10", "ttyS2", "ttyS255", "ttyS256", "ttyUSB0", "xttyS3", ".ttyS4"})
        QVERIFY(touch(dir.filePath(QLatin1String(name))));
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("ttyS5")));
    QVERIFY(QFile::link(dir.filePath(QStringLiteral("gone")), dir.filePath(QStringLiteral("ttyS6"))));
    // As "ls | grep ttyS" filtered: hidden entries not listed, directories and dangling
    // links listed, numbers above 255 dropped, plain character order.
    QCOMPARE(SerialPortWatch::scan(dir.path()),
             (QStringList{"ttyS0", "ttyS10", "ttyS2", "ttyS255", "ttyS5", "ttyS6", "xttyS3"}));
    QVERIFY(SerialPortWatch::scan(dir.filePath(QStringLiteral("missing"))).isEmpty());
}

void tst_SerialPortWatch::noticesPortsComingAndGoing()
{
    QTemporaryDir dir;
    QVERIFY(touch(dir.filePath(QStringLiteral("ttyS1"))));
    SerialPortWatch watch(dir.path());
    QCOMPARE(watch.ports(), QStringList{"ttyS1"});
    QSignalSpy spy(&watch, &SerialPortWatch::portsChanged);
    QVERIFY(spy.isValid());

    QVERIFY(touch(dir.filePath(QStringLiteral("ttyS4"))));
    QTRY_COMPARE_WITH_TIMEOUT(watch.ports(), (QStringList{"ttyS1", "ttyS4"}), 10000);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.last().at(0).toStringList(), (QStringList{"ttyS1", "ttyS4"}));

    // An unrelated entry is no change; the next port is.
    QVERIFY(touch(dir.filePath(QStringLiteral("ttyUSB0"))));
    QVERIFY(QFile::remove(dir.filePath(QStringLiteral("ttyS1"))));
    QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 2, 10000);
    QCOMPARE(spy.last().at(0).toStringList(), QStringList{"ttyS4"});
}

QTEST_GUILESS_MAIN(tst_SerialPortWatch)
#include "tst_serialportwatch.moc"
