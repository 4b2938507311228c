// Frame checksums on bytes: the reference vectors and their wire order.

#include "FrameChecksum.h"

#include <QtTest>

class tst_FrameChecksum : public QObject
{
    Q_OBJECT

private slots:
    void checksums_data();
    void checksums();
    void storedIndexOutOfRangeIsNone_data();
    void storedIndexOutOfRangeIsNone();
};

void tst_FrameChecksum::checksums_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<quint32>("value");
    QTest::addColumn<QByteArray>("wire"); // hex of the appended bytes

    const QByteArray check("123456789");
    QTest::newRow("none") << int(FrameChecksum::None) << check << 0u << QByteArray();
    QTest::newRow("sum-8 check") << int(FrameChecksum::Sum8) << check << 0xddu << QByteArray("dd");
    QTest::newRow("xor-8 check") << int(FrameChecksum::Xor8) << check << 0x31u << QByteArray("31");
    QTest::newRow("crc-16/modbus check, low byte first")
        << int(FrameChecksum::Crc16Modbus) << check << 0x4b37u << QByteArray("374b");
    QTest::newRow("crc-16/ccitt-false check, high byte first")
        << int(FrameChecksum::Crc16CcittFalse) << check << 0x29b1u << QByteArray("29b1");
    QTest::newRow("crc-32 check, little-endian")
        << int(FrameChecksum::Crc32) << check << 0xcbf43926u << QByteArray("2639f4cb");

    // A Modbus RTU request as it goes on the line: 01 03 00 00 00 0a c5 cd.
    QTest::newRow("modbus read holding registers")
        << int(FrameChecksum::Crc16Modbus) << QByteArray::fromHex("01030000000a") << 0xcdc5u << QByteArray("c5cd");
    QTest::newRow("sum-8 keeps the low byte") << int(FrameChecksum::Sum8) << QByteArray::fromHex("ffff") << 0xfeu
                                              << QByteArray("fe");
    QTest::newRow("xor-8 of high bytes") << int(FrameChecksum::Xor8) << QByteArray::fromHex("f00f80") << 0x7fu
                                         << QByteArray("7f");
    QTest::newRow("empty frame, crc-16/modbus") << int(FrameChecksum::Crc16Modbus) << QByteArray() << 0xffffu
                                                << QByteArray("ffff");
    QTest::newRow("empty frame, crc-32") << int(FrameChecksum::Crc32) << QByteArray() << 0u
                                         << QByteArray("00000000");
    QTest::newRow("zero bytes, crc-32") << int(FrameChecksum::Crc32) << QByteArray(4, '\0') << 0x2144df1cu
                                        << QByteArray("1cdf4421");
}

void tst_FrameChecksum::checksums()
{
    QFETCH(int, type);
    QFETCH(QByteArray, data);
    QFETCH(quint32, value);
    QFETCH(QByteArray, wire);
    const auto t = FrameChecksum::typeFromIndex(type);
    QCOMPARE(FrameChecksum::value(t, data), value);
    QCOMPARE(FrameChecksum::bytes(t, data).toHex(), wire);
    QCOMPARE(FrameChecksum::appended(t, data), data + QByteArray::fromHex(wire));
}

void tst_FrameChecksum::storedIndexOutOfRangeIsNone_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("type");
    QTest::newRow("-1") << -1 << int(FrameChecksum::None);
    QTest::newRow("0") << 0 << int(FrameChecksum::None);
    QTest::newRow("5") << 5 << int(FrameChecksum::Crc32);
    QTest::newRow("6") << 6 << int(FrameChecksum::None);
    QTest::newRow("1") << 1 << int(FrameChecksum::Sum8);
    QTest::newRow("huge") << (1 << 30) << int(FrameChecksum::None);
}

void tst_FrameChecksum::storedIndexOutOfRangeIsNone()
{
    QFETCH(int, index);
    QFETCH(int, type);
    QCOMPARE(int(FrameChecksum::typeFromIndex(index)), type);
}

QTEST_APPLESS_MAIN(tst_FrameChecksum)
#include "tst_framechecksum.moc"
