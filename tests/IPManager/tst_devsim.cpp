// The device simulator's command line: bad input ends it with a message, never a hang.
#include <QProcess>
#include <QtTest>

class tst_DevSim : public QObject
{
    Q_OBJECT
private slots:
    void badArguments_data();
    void badArguments();
    void unknownInterface();
};

void tst_DevSim::badArguments_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("stderrPart");
    QTest::newRow("nothing") << QStringList{} << "usage: vxa-devsim";
    QTest::newRow("help") << QStringList{"--help"} << "--config-result";
    QTest::newRow("unknown option") << QStringList{"--iface", "x", "--bogus", "1"} << "unknown option --bogus";
    QTest::newRow("missing value") << QStringList{"--iface"} << "--iface needs a value";
    QTest::newRow("negative count") << QStringList{"--iface", "x", "--devices", "-1"} << "usage:";
    QTest::newRow("bad address") << QStringList{"--iface", "x", "--ip", "198.18.0."} << "usage:";
    QTest::newRow("bad mac") << QStringList{"--iface", "x", "--mac", "02-00-00-00-00-01"} << "usage:";
}

void tst_DevSim::badArguments()
{
    QFETCH(QStringList, args);
    QFETCH(QString, stderrPart);
    QProcess p;
    p.start(QStringLiteral(VXA_BIN_DIR "/vxa-devsim"), args);
    QVERIFY(p.waitForFinished(10000));
    QCOMPARE(p.exitCode(), 2);
    const QString err = QString::fromLocal8Bit(p.readAllStandardError());
    QVERIFY2(err.contains(stderrPart), qPrintable(err));
    QVERIFY(p.readAllStandardOutput().isEmpty());
}

void tst_DevSim::unknownInterface()
{
    QProcess p;
    p.start(QStringLiteral(VXA_BIN_DIR "/vxa-devsim"), {"--iface", "vxa-no-such-if0"});
    QVERIFY(p.waitForFinished(10000));
    QCOMPARE(p.exitCode(), 1);
    const QString err = QString::fromLocal8Bit(p.readAllStandardError());
    QVERIFY2(err.contains(QLatin1String("Unable to open the adapter vxa-no-such-if0")), qPrintable(err));
    QVERIFY(!p.readAllStandardOutput().contains("ready"));
}

QTEST_GUILESS_MAIN(tst_DevSim)
#include "tst_devsim.moc"
