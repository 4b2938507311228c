#include "VSPConnection.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

// The packing interval and line-setting keys of the saved connection files.
class tst_ConnectionFile : public QObject
{
    Q_OBJECT
private slots:
    void storedValues_data();
    void storedValues();
};

void tst_ConnectionFile::storedValues_data()
{
    // key=value lines added to a file as older versions wrote it; the four readings
    QTest::addColumn<QStringList>("stored");
    QTest::addColumn<QStringList>("read"); // pack_ms, rfc2217, data, parity
    QTest::addColumn<bool>("refused");     // the file is skipped with a reason (packing interval)
    QTest::newRow("file from before: no keys") << QStringList() << QStringList{"50", "false", "keep", "keep"}
                                               << false;
    QTest::newRow("pack 0, on, 7, even")
        << QStringList{"connect/pack_ms=0", "client/rfc2217=true", "client/rfc2217_data=7", "client/rfc2217_parity=even"}
        << QStringList{"0", "true", "7", "even"} << false;
    QTest::newRow("limits") << QStringList{"connect/pack_ms=1000", "client/rfc2217_data=5",
                                           "client/rfc2217_parity=SPACE"}
                            << QStringList{"1000", "false", "5", "space"} << false;
    QTest::newRow("out of range") << QStringList{"connect/pack_ms=1001", "client/rfc2217=yes",
                                                 "client/rfc2217_data=9", "client/rfc2217_parity=7"}
                                  << QStringList{"1001", "false", "keep", "keep"} << true;
    QTest::newRow("not numbers") << QStringList{"connect/pack_ms=-1", "client/rfc2217_data=4x"}
                                 << QStringList{"-1", "false", "keep", "keep"} << true;
    QTest::newRow("pack 5000") << QStringList{"connect/pack_ms=5000"} << QStringList{"5000", "false", "keep", "keep"}
                               << true;
}

void tst_ConnectionFile::storedValues()
{
    QFETCH(QStringList, stored);
    QFETCH(QStringList, read);
    QFETCH(bool, refused);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("ttyS7_Client.ini"));
    {
        QSettings ini(path, QSettings::IniFormat);
        ini.setValue(QStringLiteral("connect/type"), QStringLiteral("Client"));
        ini.setValue(QStringLiteral("connect/com_name1"), QStringLiteral("ttyS7"));
        ini.setValue(QStringLiteral("client/port"), QStringLiteral("5000"));
        for (const QString& kv : stored)
            ini.setValue(kv.section(QLatin1Char('='), 0, 0), kv.section(QLatin1Char('='), 1));
    }
    VSP_CONNECTION_PARAMS p = ConnectionFile::read(path);
    QCOMPARE((QStringList{p.pack_ms, p.client_rfc2217, p.client_rfc2217_data, p.client_rfc2217_parity}), read);
    QCOMPARE(p.client_port, QStringLiteral("5000"));
    p.client_ip_addr = QStringLiteral("127.0.0.1");
    QCOMPARE(ConnectionFile::valuesProblem(CONNECTION_CLIENT, p).contains(QLatin1String("packing interval")), refused);
    if (refused)
        return; // never written back: the loader skips such a file

    // What was read is written back as it is and reads the same again.
    QVERIFY(ConnectionFile::write(path, p));
    const QSettings ini(path, QSettings::IniFormat);
    QCOMPARE(ini.value(QStringLiteral("connect/pack_ms")).toString(), read.at(0));
    QCOMPARE(ini.value(QStringLiteral("client/rfc2217")).toString(), read.at(1));
    p = ConnectionFile::read(path);
    QCOMPARE((QStringList{p.pack_ms, p.client_rfc2217, p.client_rfc2217_data, p.client_rfc2217_parity}), read);
}

QTEST_APPLESS_MAIN(tst_ConnectionFile)
#include "tst_connectionfile.moc"
