#include "VSPConnection.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

// The packing interval and the line-setting keys of the saved connection files.
class tst_ConnectionFile : public QObject
{
    Q_OBJECT
private slots:
    void storedValues_data();
    void storedValues();
    void roundTrip_data();
    void roundTrip();
};

void tst_ConnectionFile::storedValues_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QVariant>("stored"); // invalid = key absent
    QTest::addColumn<QString>("packMs");
    QTest::addColumn<QString>("rfc2217");
    QTest::addColumn<QString>("data");
    QTest::addColumn<QString>("parity");
    const QString none;
    QTest::newRow("file from before: no keys") << none << QVariant() << "50" << "false" << "keep" << "keep";
    QTest::newRow("pack 0") << "connect/pack_ms" << QVariant("0") << "0" << "false" << "keep" << "keep";
    QTest::newRow("pack 1000") << "connect/pack_ms" << QVariant("1000") << "1000" << "false" << "keep" << "keep";
    QTest::newRow("pack 1001") << "connect/pack_ms" << QVariant("1001") << "50" << "false" << "keep" << "keep";
    QTest::newRow("pack -1") << "connect/pack_ms" << QVariant("-1") << "50" << "false" << "keep" << "keep";
    QTest::newRow("pack text") << "connect/pack_ms" << QVariant("5x") << "50" << "false" << "keep" << "keep";
    QTest::newRow("rfc2217 on") << "client/rfc2217" << QVariant("true") << "50" << "true" << "keep" << "keep";
    QTest::newRow("rfc2217 other word") << "client/rfc2217" << QVariant("yes") << "50" << "false" << "keep"
                                        << "keep";
    QTest::newRow("data 7") << "client/rfc2217_data" << QVariant("7") << "50" << "false" << "7" << "keep";
    QTest::newRow("data 9") << "client/rfc2217_data" << QVariant("9") << "50" << "false" << "keep" << "keep";
    QTest::newRow("data 4") << "client/rfc2217_data" << QVariant("4") << "50" << "false" << "keep" << "keep";
    QTest::newRow("parity even") << "client/rfc2217_parity" << QVariant("even") << "50" << "false" << "keep"
                                 << "even";
    QTest::newRow("parity in capitals") << "client/rfc2217_parity" << QVariant("SPACE") << "50" << "false"
                                        << "keep" << "space";
    QTest::newRow("parity unknown") << "client/rfc2217_parity" << QVariant("7") << "50" << "false" << "keep"
                                    << "keep";
}

void tst_ConnectionFile::storedValues()
{
    QFETCH(QString, key);
    QFETCH(QVariant, stored);
    QFETCH(QString, packMs);
    QFETCH(QString, rfc2217);
    QFETCH(QString, data);
    QFETCH(QString, parity);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("ttyS7_Client.ini"));
    {
        // A file as an older version wrote it, plus at most one of the newer keys.
        QSettings ini(path, QSettings::IniFormat);
        ini.setValue(QStringLiteral("connect/id"), QStringLiteral("7"));
        ini.setValue(QStringLiteral("connect/type"), QStringLiteral("Client"));
        ini.setValue(QStringLiteral("connect/com_name1"), QStringLiteral("ttyS7"));
        ini.setValue(QStringLiteral("connect/com_name2"), QStringLiteral("ttyS263"));
        ini.setValue(QStringLiteral("client/ip_addr"), QStringLiteral("127.0.0.1"));
        ini.setValue(QStringLiteral("client/port"), QStringLiteral("5000"));
        if (stored.isValid())
            ini.setValue(key, stored);
    }
    const VSP_CONNECTION_PARAMS p = ConnectionFile::read(path);
    QCOMPARE(p.pack_ms, packMs);
    QCOMPARE(p.client_rfc2217, rfc2217);
    QCOMPARE(p.client_rfc2217_data, data);
    QCOMPARE(p.client_rfc2217_parity, parity);
    QCOMPARE(p.client_port, QStringLiteral("5000"));
}

void tst_ConnectionFile::roundTrip_data()
{
    QTest::addColumn<QString>("packMs");
    QTest::addColumn<QString>("rfc2217");
    QTest::addColumn<QString>("data");
    QTest::addColumn<QString>("parity");
    QTest::newRow("defaults") << "50" << "false" << "keep" << "keep";
    QTest::newRow("immediate, 7 even") << "0" << "true" << "7" << "even";
    QTest::newRow("slow, 5 space") << "1000" << "true" << "5" << "space";
}

void tst_ConnectionFile::roundTrip()
{
    QFETCH(QString, packMs);
    QFETCH(QString, rfc2217);
    QFETCH(QString, data);
    QFETCH(QString, parity);
    QTemporaryDir dir;
    VSP_CONNECTION_PARAMS p;
    p.id = QStringLiteral("7");
    p.type = QStringLiteral("Client");
    p.com_name1 = QStringLiteral("ttyS7");
    p.com_name2 = QStringLiteral("ttyS263");
    p.pack_ms = packMs;
    p.client_rfc2217 = rfc2217;
    p.client_rfc2217_data = data;
    p.client_rfc2217_parity = parity;
    const QString path = dir.filePath(ConnectionFile::fileName(p));
    QVERIFY(ConnectionFile::write(path, p));
    const QSettings ini(path, QSettings::IniFormat);
    QCOMPARE(ini.value(QStringLiteral("connect/pack_ms")).toString(), packMs);
    QCOMPARE(ini.value(QStringLiteral("client/rfc2217")).toString(), rfc2217);
    const VSP_CONNECTION_PARAMS back = ConnectionFile::read(path);
    QCOMPARE(back.pack_ms, packMs);
    QCOMPARE(back.client_rfc2217, rfc2217);
    QCOMPARE(back.client_rfc2217_data, data);
    QCOMPARE(back.client_rfc2217_parity, parity);
}

QTEST_APPLESS_MAIN(tst_ConnectionFile)
#include "tst_connectionfile.moc"
