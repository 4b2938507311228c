#include "serialPortDevice_.h"

#include <QtTest>

class tst_SerialPortDevice : public QObject
{
    Q_OBJECT
private slots:
    void filterNames_data();
    void filterNames();
};

void tst_SerialPortDevice::filterNames_data()
{
    QTest::addColumn<QString>("lsOutput");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("plain order") << "ttyS0\nttyS1\nttyS10\nttyS2\n"
                                 << QStringList{"ttyS0", "ttyS1", "ttyS10", "ttyS2"};
    QTest::newRow("above 255 left out") << "ttyS300\nttyS255\nttyS256\n" << QStringList{"ttyS255"};
    QTest::newRow("no digits kept as 0") << "ttySabc\nttyS3\n" << QStringList{"ttyS3", "ttySabc"};
    QTest::newRow("duplicates once") << "ttyS4\nttyS4\n" << QStringList{"ttyS4"};
    QTest::newRow("empty") << "" << QStringList{};
}

void tst_SerialPortDevice::filterNames()
{
    QFETCH(QString, lsOutput);
    QFETCH(QStringList, expected);
    QCOMPARE(filterSerialPortNames(lsOutput), expected);
}

QTEST_GUILESS_MAIN(tst_SerialPortDevice)
#include "tst_serialportdevice.moc"
