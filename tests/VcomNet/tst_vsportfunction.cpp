#include "VSPortFunction.h"
#include "testutil.h"
#include "vcomtestutil.h"

#include <QSerialPort>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace vcomtest;

namespace {

// Reads from port until `expected` bytes arrived or 5 s passed.
QByteArray readSome(QSerialPort& port, int expected)
{
    QByteArray got;
    QElapsedTimer t;
    t.start();
    while (got.size() < expected && t.elapsed() < 5000) {
        if (port.bytesAvailable() || port.waitForReadyRead(100))
            got += port.readAll();
    }
    return got;
}

bool bytesCross(const QString& from, const QString& to, const QByteArray& data)
{
    QSerialPort a(from);
    QSerialPort b(to);
    if (!a.open(QIODevice::ReadWrite) || !b.open(QIODevice::ReadWrite))
        return false;
    a.write(data);
    a.waitForBytesWritten(2000);
    return readSome(b, data.size()) == data;
}

// Restores the link directory when a test pointed it elsewhere.
struct DevDirGuard
{
    explicit DevDirGuard(const QString& dir) { VSPortFunction::devDir = dir; }
    ~DevDirGuard() { VSPortFunction::devDir = QStringLiteral("/dev"); }
};

// The failures we check are reported as debug lines, which CTest's environment turns
// off; the rules are read once, before main.
const bool debugLinesOn = qputenv("QT_LOGGING_RULES", "vxa.vcom.debug=true");

} // namespace

class tst_VSPortFunction : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();

    void pairedComName_data();
    void pairedComName();
    void comNameNumber_data();
    void comNameNumber();
    void offeredNames_data();
    void offeredNames();

    void pairLife_data();
    void pairLife();
    void existingNameRefused_data();
    void existingNameRefused();
    void staleLinkReplaced();
    void hostileNamesNeverReachSocat_data();
    void hostileNamesNeverReachSocat();
    void destructorEndsAllPairs();

private:
    bool needRootAndSocat();
    PairGuard guard;
};

void tst_VSPortFunction::initTestCase()
{
}

void tst_VSPortFunction::cleanupTestCase()
{
    guard.cleanup();
    QVERIFY(socatChildren(QCoreApplication::applicationPid()).isEmpty());
}

bool tst_VSPortFunction::needRootAndSocat()
{
    return testutil::isRoot() && testutil::haveSocat();
}

void tst_VSPortFunction::pairedComName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expected");
    QTest::newRow("ttyS5") << "ttyS5" << "ttyS261";
    QTest::newRow("ttyS256") << "ttyS256" << "ttyS512";
    QTest::newRow("COM1") << "COM1" << "-";
    QTest::newRow("bare prefix") << "ttyS" << "ttyS256";
    QTest::newRow("lower case prefix") << "ttys5" << "-";
}

void tst_VSPortFunction::pairedComName()
{
    QFETCH(QString, name);
    QFETCH(QString, expected);
    QCOMPARE(PairedComName(name), expected);
}

void tst_VSPortFunction::comNameNumber_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("max");
    QTest::addColumn<int>("expected");
    QTest::newRow("ttyS1") << "ttyS1" << 256 << 1;
    QTest::newRow("ttyS256") << "ttyS256" << 256 << 256;
    QTest::newRow("partner above user range") << "ttyS257" << 256 << 0;
    QTest::newRow("partner ttyS512") << "ttyS512" << 512 << 512;
    QTest::newRow("ttyS513") << "ttyS513" << 512 << 0;
    QTest::newRow("ttyS0 never") << "ttyS0" << 512 << 0;
    QTest::newRow("leading zero") << "ttyS03" << 512 << 0;
    QTest::newRow("blank splits a command line") << "ttyS3 ttyS4" << 512 << 0;
    QTest::newRow("socat option smuggled") << "ttyS3,link=/etc/passwd" << 512 << 0;
    QTest::newRow("path") << "../tmp/ttyS3" << 512 << 0;
    QTest::newRow("trailing newline") << "ttyS3\n" << 512 << 0;
    QTest::newRow("empty") << "" << 512 << 0;
    QTest::newRow("bare prefix") << "ttyS" << 512 << 0;
}

void tst_VSPortFunction::comNameNumber()
{
    QFETCH(QString, name);
    QFETCH(int, max);
    QFETCH(int, expected);
    QCOMPARE(::comNameNumber(name, max), expected);
}

void tst_VSPortFunction::offeredNames_data()
{
    QTest::addColumn<QStringList>("busy");
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("last");
    QStringList first32;
    for (int i = 0; i < 32; ++i)
        first32 << QStringLiteral("ttyS%1").arg(i);
    QTest::newRow("ttyS0-31 busy") << first32 << 225 << "ttyS32" << "ttyS256";
    QTest::newRow("only exact matches") << QStringList{"ttyS3abc", "xttyS4", "ttyS300"} << 256 << "ttyS1"
                                        << "ttyS256";
    QTest::newRow("empty busy list") << QStringList{} << 256 << "ttyS1" << "ttyS256";
    QTest::newRow("last one busy") << QStringList{"ttyS256", "ttyS1"} << 254 << "ttyS2" << "ttyS255";
}

void tst_VSPortFunction::offeredNames()
{
    QFETCH(QStringList, busy);
    QFETCH(int, count);
    QFETCH(QString, first);
    QFETCH(QString, last);
    const QStringList offered = offeredComNames(busy);
    QCOMPARE(offered.size(), count);
    QCOMPARE(offered.first(), first);
    QCOMPARE(offered.last(), last);
    for (const QString& name : busy)
        QVERIFY(!offered.contains(name));
    // ascending by number
    for (int i = 1; i < offered.size(); ++i)
        QVERIFY(offered.at(i).mid(4).toInt() > offered.at(i - 1).mid(4).toInt());
}

void tst_VSPortFunction::pairLife_data()
{
    QTest::addColumn<bool>("underDev");
    QTest::newRow("links under /dev") << true;
    QTest::newRow("links in a temporary directory") << false;
}

void tst_VSPortFunction::pairLife()
{
    QFETCH(bool, underDev);
    if (!testutil::haveSocat())
        QSKIP("socat is not installed");
    if (underDev && !testutil::isRoot())
        QSKIP("creating links under /dev needs root");
    QTemporaryDir tmp;
    std::unique_ptr<DevDirGuard> dirGuard;
    if (!underDev)
        dirGuard.reset(new DevDirGuard(tmp.path()));
    const int n = guard.take();
    QVERIFY2(n, "no free connection number in 200..250");
    const QString name1 = QStringLiteral("ttyS%1").arg(n);
    const QString name2 = PairedComName(name1);
    const QString path1 = VSPortFunction::devDir + QLatin1Char('/') + name1;
    const QString path2 = VSPortFunction::devDir + QLatin1Char('/') + name2;

    VSPortFunction pairs;
    QVERIFY2(pairs.CreatePair(name1, name2), qPrintable(pairs.lastError()));
    const qint64 pid = pairs.pairPid(name1);
    guard.adoptPid(pid);
    QVERIFY(isSocat(pid));
    QVERIFY(QFileInfo(path1).isSymLink());
    QVERIFY(QFileInfo(path2).isSymLink());
    QVERIFY(bytesCross(path1, path2, "hello\x00\xff world"));
    QVERIFY(bytesCross(path2, path1, "back"));

    QVERIFY(pairs.DeletePair(name1));
    QVERIFY(!isSocat(pid));
    QVERIFY(!linkPresent(path1));
    QVERIFY(!linkPresent(path2));

    QTest::ignoreMessage(QtDebugMsg, "Virtual port pair is wrong!");
    QVERIFY(!pairs.DeletePair(name1));
    QTest::ignoreMessage(QtDebugMsg, "Virtual port pair is wrong!");
    QVERIFY(!pairs.DeletePair(QString()));
}

void tst_VSPortFunction::existingNameRefused_data()
{
    QTest::addColumn<bool>("first");
    QTest::newRow("user side exists") << true;
    QTest::newRow("partner exists") << false;
}

void tst_VSPortFunction::existingNameRefused()
{
    QFETCH(bool, first);
    if (!needRootAndSocat())
        QSKIP("needs root and socat for links under /dev");
    const int n = guard.take();
    QVERIFY(n);
    // A live link (as made by another program) must be neither replaced nor removed.
    const QString taken = devPath(first ? n : n + 256);
    QVERIFY(QFile::link(QStringLiteral("/dev/null"), taken));

    VSPortFunction pairs;
    QVERIFY(!pairs.CreatePair(QStringLiteral("ttyS%1").arg(n), QStringLiteral("ttyS%1").arg(n + 256)));
    QCOMPARE(pairs.pairPid(QStringLiteral("ttyS%1").arg(n)), qint64(0));
    QVERIFY(socatChildren(QCoreApplication::applicationPid()).isEmpty());
    QCOMPARE(QFileInfo(taken).symLinkTarget(), QStringLiteral("/dev/null"));
    QVERIFY(!linkPresent(devPath(first ? n + 256 : n)));
}

void tst_VSPortFunction::staleLinkReplaced()
{
    if (!needRootAndSocat())
        QSKIP("needs root and socat for links under /dev");
    const int n = guard.take();
    QVERIFY(n);
    // What a socat killed outright leaves behind: a link to a pseudo-terminal that is gone.
    QVERIFY(QFile::link(QStringLiteral("/dev/pts/987654"), devPath(n)));
    VSPortFunction pairs;
    QVERIFY(pairs.CreatePair(QStringLiteral("ttyS%1").arg(n), QStringLiteral("ttyS%1").arg(n + 256)));
    guard.adoptPid(pairs.pairPid(QStringLiteral("ttyS%1").arg(n)));
    QVERIFY(QFileInfo::exists(devPath(n)));
    QVERIFY(bytesCross(devPath(n), devPath(n + 256), "fresh"));
}

void tst_VSPortFunction::hostileNamesNeverReachSocat_data()
{
    QTest::addColumn<QString>("name1");
    QTest::addColumn<QString>("name2");
    QTest::newRow("blank in name") << "ttyS3 pty" << "ttyS259";
    QTest::newRow("option in name") << "ttyS3,link=%1/evil" << "ttyS259";
    QTest::newRow("path in partner") << "ttyS3" << "../%1/evil";
    QTest::newRow("ttyS0") << "ttyS0" << "ttyS256";
    QTest::newRow("number too high") << "ttyS9999" << "ttyS259";
    QTest::newRow("one empty") << "ttyS3" << "";
    QTest::newRow("same name twice") << "ttyS3" << "ttyS3";
}

void tst_VSPortFunction::hostileNamesNeverReachSocat()
{
    QFETCH(QString, name1);
    QFETCH(QString, name2);
    QTemporaryDir tmp;
    name1 = name1.contains(QLatin1String("%1")) ? name1.arg(tmp.path()) : name1;
    name2 = name2.contains(QLatin1String("%1")) ? name2.arg(tmp.path()) : name2;
    DevDirGuard dirGuard(tmp.path()); // even a mistake lands in a temporary directory
    VSPortFunction pairs;
    QVERIFY(!pairs.CreatePair(name1, name2));
    QVERIFY(socatChildren(QCoreApplication::applicationPid()).isEmpty());
    QVERIFY(QDir(tmp.path()).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot).isEmpty());
}

void tst_VSPortFunction::destructorEndsAllPairs()
{
    if (!testutil::haveSocat())
        QSKIP("socat is not installed");
    QTemporaryDir tmp;
    DevDirGuard dirGuard(tmp.path());
    QList<qint64> pids;
    {
        VSPortFunction pairs;
        for (int n : {201, 202, 203}) {
            QVERIFY(pairs.CreatePair(QStringLiteral("ttyS%1").arg(n), QStringLiteral("ttyS%1").arg(n + 256)));
            pids << pairs.pairPid(QStringLiteral("ttyS%1").arg(n));
            guard.adoptPid(pids.last());
        }
        QCOMPARE(QDir(tmp.path()).entryList(QDir::System | QDir::NoDotAndDotDot).size(), 6);
    }
    for (qint64 pid : pids)
        QVERIFY(!isSocat(pid));
    QVERIFY(QDir(tmp.path()).entryList(QDir::System | QDir::NoDotAndDotDot).isEmpty());
}

QTEST_GUILESS_MAIN(tst_VSPortFunction)
#include "tst_vsportfunction.moc"
