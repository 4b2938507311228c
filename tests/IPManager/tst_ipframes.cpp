// Frame builders and decoders of the discovery protocol, on literal bytes.
#include "ipframes.h"

#include <QtTest>

using namespace ipframes;

namespace {

QByteArray hex(const char* text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

const MacBytes kHost = {0x02, 0x11, 0x22, 0x33, 0x44, 0x55};
const MacBytes kDev = {0x00, 0x1a, 0x2b, 0x3c, 0x4d, 0x5e};

// Ethernet/protocol head of an answer with the given marker byte, up to byte 19.
QByteArray answerHead(quint8 marker = 0x23)
{
    QByteArray f = hex("021122334455 001a2b3c4d5e 0806");
    f.append(char(marker));
    f.append(hex("00 0020 0000"));
    return f;
}

QByteArray answer(const QByteArray& elements, quint8 marker = 0x23)
{
    return answerHead(marker) + elements + hex("00006688");
}

} // namespace

class tst_IpFrames : public QObject
{
    Q_OBJECT
private slots:
    void searchRequest();
    void searchRequestUnknownSourceMac();
    void configRequest_data();
    void configRequest();
    void indicatorRequest_data();
    void indicatorRequest();
    void answerAcceptance_data();
    void answerAcceptance();
    void decode_data();
    void decode();
    void decodeStopsAtOversizedElement_data();
    void decodeStopsAtOversizedElement();
    void decodeCutsWideValues();
    void configAnswer_data();
    void configAnswer();
    void resultTexts_data();
    void resultTexts();
    void parseMac_data();
    void parseMac();
    void parseIp4_data();
    void parseIp4();
    void builtAnswerRoundTrip();
};

void tst_IpFrames::searchRequest()
{
    QCOMPARE(buildSearchRequest(kHost), hex("ffffffffffff 021122334455 0806 2300 0010 0000 6688"));
}

void tst_IpFrames::searchRequestUnknownSourceMac()
{
    // An adapter whose hardware address does not parse sends from 00:00:00:00:00:00.
    MacBytes mac{};
    QVERIFY(!ipframes::parseMac(QStringLiteral("00-11-22-33-44-55"), &mac));
    QCOMPARE(buildSearchRequest(mac).mid(6, 6), QByteArray(6, '\0'));
}

void tst_IpFrames::configRequest_data()
{
    QTest::addColumn<bool>("temporary");
    QTest::addColumn<QByteArray>("opcode");
    QTest::newRow("permanent") << false << hex("0030");
    QTest::newRow("temporary") << true << hex("0070");
}

void tst_IpFrames::configRequest()
{
    QFETCH(bool, temporary);
    QFETCH(QByteArray, opcode);
    const QByteArray f = buildConfigRequest(kDev, kHost, temporary, {255, 255, 0, 0}, {198, 18, 0, 7}, {198, 18, 0, 1});
    const QByteArray expected = hex("001a2b3c4d5e 021122334455 0806 2300") + opcode
        + hex("0604 0000 0004 ffff0000 c6120007 0004 c6120001 0000 6688");
    QCOMPARE(f.size(), 42);
    QCOMPARE(f.toHex(' '), expected.toHex(' '));
}

void tst_IpFrames::indicatorRequest_data()
{
    QTest::addColumn<bool>("on");
    QTest::addColumn<char>("flag");
    QTest::newRow("on") << true << char(0x01);
    QTest::newRow("off") << false << char(0x02);
}

void tst_IpFrames::indicatorRequest()
{
    QFETCH(bool, on);
    QFETCH(char, flag);
    QByteArray expected = hex("001a2b3c4d5e 021122334455 0806 2300 0050 0604 0000");
    expected.append(flag);
    expected.append(QByteArray(9, '\0'));
    expected.append(hex("021122334455 0000 6688"));
    QCOMPARE(buildIndicatorRequest(kDev, kHost, on).toHex(' '), expected.toHex(' '));
}

void tst_IpFrames::answerAcceptance_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("minimal 24 bytes") << answer(QByteArray()) << true;
    QTest::newRow("with element") << answer(hex("1404c6120005")) << true;
    QByteArray wrongType = answer(QByteArray());
    wrongType[13] = 0x00;
    QTest::newRow("wrong EtherType") << wrongType << false;
    QByteArray wrongOp = answer(QByteArray());
    wrongOp[17] = 0x10;
    QTest::newRow("search request opcode") << wrongOp << false;
    QByteArray wrongTail = answer(QByteArray());
    wrongTail[wrongTail.size() - 1] = 0x00;
    QTest::newRow("wrong trailer") << wrongTail << false;
    QTest::newRow("trailer padded away") << answer(QByteArray()) + QByteArray(10, '\0') << false;
    QTest::newRow("short") << answerHead().left(17) << false;
    QTest::newRow("empty") << QByteArray() << false;
    QTest::newRow("own request") << buildSearchRequest(kHost) << false;
}

void tst_IpFrames::answerAcceptance()
{
    QFETCH(QByteArray, frame);
    QFETCH(bool, accepted);
    QCOMPARE(isSearchAnswer(frame), accepted);
}

void tst_IpFrames::decode_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QStringList>("cells"); // version, MAC, name, IP, mask, gateway, serial, uart
    QTest::addColumn<int>("uart");

    QTest::newRow("version 1.0, no elements")
        << answer(QByteArray()) << QStringList{"1.0", "", "", "", "", "", "", ""} << 0;
    QTest::newRow("version 1.1") << answer(QByteArray(), 0x24) << QStringList{"1.1", "", "", "", "", "", "", ""} << 0;
    QTest::newRow("full device")
        << answer(hex("2006001a2b3c4d5e 1404c6120005 2404ffffff00 3404c6120001 3004 4e5331 00 3603 534e31 37020104"))
        << QStringList{"1.0", "00:1a:2b:3c:4d:5e", "NS1", "198.18.0.5", "255.255.255.0", "198.18.0.1", "SN1", "4"} << 4;
    QTest::newRow("name with NULs")
        << answer(hex("3006 4142 00000000")) << QStringList{"1.0", "", "AB", "", "", "", "", ""} << 0;
    QTest::newRow("NULs inside the name")
        << answer(hex("3007 4761 00 7465 0000")) << QStringList{"1.0", "", "Gate", "", "", "", "", ""} << 0;
    QTest::newRow("serial starting with NUL")
        << answer(hex("3606 00534e 00 3737")) << QStringList{"1.0", "", "", "", "", "", "SN77", ""} << 0;
    QTest::newRow("latin-1 name") << answer(hex("3002 e9fc")) << QStringList{"1.0", "", QString::fromUtf8("éü"), "", "", "", "", ""} << 0;
    QTest::newRow("port count 01 04") << answer(hex("37020104")) << QStringList{"1.0", "", "", "", "", "", "", "4"} << 4;
    QTest::newRow("unknown element skipped")
        << answer(hex("9903aabbcc 1404c6120009")) << QStringList{"1.0", "", "", "198.18.0.9", "", "", "", ""} << 0;
    QTest::newRow("repeated element overwrites")
        << answer(hex("1404c6120009 1404c612000a")) << QStringList{"1.0", "", "", "198.18.0.10", "", "", "", ""} << 0;
    QTest::newRow("empty element") << answer(hex("3000 1404c6120009")) << QStringList{"1.0", "", "", "198.18.0.9", "", "", "", ""} << 0;
}

void tst_IpFrames::decode()
{
    QFETCH(QByteArray, frame);
    QFETCH(QStringList, cells);
    QFETCH(int, uart);
    QVERIFY(isSearchAnswer(frame));
    const SearchAnswer a = decodeSearchAnswer(frame);
    const QStringList got{a.version, a.macText, a.name, a.ipText, a.maskText, a.gatewayText, a.serial, a.uartText};
    QCOMPARE(got, cells);
    QCOMPARE(a.uartNumber, uart);
    QVERIFY(!a.truncated);
}

void tst_IpFrames::decodeStopsAtOversizedElement_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QString>("ip");
    QTest::addColumn<QString>("name");
    // The stated length runs into the trailer: reading it would take 00 00 66 88 as a name.
    QTest::newRow("length into trailer") << answer(hex("1404c6120009 3005 4142")) << "198.18.0.9" << "";
    QTest::newRow("length past frame end") << answer(hex("1404c6120009 30ff 41")) << "198.18.0.9" << "";
    QTest::newRow("type byte without length") << answer(hex("1404c6120009 30")) << "198.18.0.9" << "";
    QTest::newRow("first element oversized") << answer(hex("14ff c6120009")) << "" << "";
}

void tst_IpFrames::decodeStopsAtOversizedElement()
{
    QFETCH(QByteArray, frame);
    QFETCH(QString, ip);
    QFETCH(QString, name);
    QVERIFY(isSearchAnswer(frame));
    // A copy with no spare capacity, so a read past the end is caught by the sanitizers too.
    const QByteArray exact(frame.constData(), frame.size());
    const SearchAnswer a = decodeSearchAnswer(exact);
    QVERIFY(a.truncated);
    QCOMPARE(a.ipText, ip);
    QCOMPARE(a.name, name);
}

void tst_IpFrames::decodeCutsWideValues()
{
    // An 8-byte MAC and a 5-byte IP: the cells show every byte, the stored fields their width.
    const SearchAnswer a = decodeSearchAnswer(answer(hex("2008 0102030405060708 1405 0a0b0c0d0e 2402 ffff")));
    QCOMPARE(a.macText, QStringLiteral("01:02:03:04:05:06:07:08"));
    QCOMPARE(a.mac, (MacBytes{1, 2, 3, 4, 5, 6}));
    QCOMPARE(a.ipText, QStringLiteral("10.11.12.13.14"));
    QCOMPARE(a.ip, (Ip4Bytes{10, 11, 12, 13}));
    QCOMPARE(a.maskText, QStringLiteral("255.255"));
    QCOMPARE(a.mask, (Ip4Bytes{255, 255, 0, 0}));
}

void tst_IpFrames::configAnswer_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<int>("code");
    const QByteArray base = hex("021122334455 001a2b3c4d5e 0806 2300 0040 0066 000000000000 00006688");
    QTest::newRow("permanent success") << base << 0x66;
    QByteArray temp = base;
    temp[17] = char(0x80);
    QTest::newRow("temporary answer 0x80") << temp << 0x66;
    QByteArray conflict = base;
    conflict[19] = 0x69;
    QTest::newRow("ip conflicts") << conflict << 0x69;
    QByteArray op20 = base;
    op20[17] = 0x20;
    QTest::newRow("byte 17 0x20 ignored") << op20 << -1;
    QByteArray hi = base;
    hi[16] = 0x01;
    QTest::newRow("byte 16 not zero") << hi << -1;
    QByteArray tail = base;
    tail[29] = 0x00;
    QTest::newRow("trailer missing") << tail << -1;
    QTest::newRow("29 bytes") << base.left(29) << -1;
    QTest::newRow("longer frame") << base + QByteArray(30, '\0') << 0x66;
    QTest::newRow("built") << buildConfigAnswer(kHost, kDev, true, 0x68) << 0x68;
}

void tst_IpFrames::configAnswer()
{
    QFETCH(QByteArray, frame);
    QFETCH(int, code);
    QCOMPARE(configAnswerCode(frame), code);
}

void tst_IpFrames::resultTexts_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("text");
    QTest::newRow("0x66") << 0x66 << "success";
    QTest::newRow("0x67") << 0x67 << "too often";
    QTest::newRow("0x68") << 0x68 << "validation failed";
    QTest::newRow("0x69") << 0x69 << "ip conflicts";
    QTest::newRow("0x70") << 0x70 << "failed";
    QTest::newRow("other") << 0x6a << "";
}

void tst_IpFrames::resultTexts()
{
    QFETCH(int, code);
    QFETCH(QString, text);
    QCOMPARE(QString::fromLatin1(configResultText(code)), text);
}

void tst_IpFrames::parseMac_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("lower/upper") << "00:1a:2B:3c:4d:5e" << true << hex("001a2b3c4d5e");
    QTest::newRow("dashes") << "00-1a-2b-3c-4d-5e" << false << QByteArray();
    QTest::newRow("five parts") << "00:1a:2b:3c:4d" << false << QByteArray();
    QTest::newRow("empty sixth") << "00:1a:2b:3c:4d:" << false << QByteArray();
    QTest::newRow("seven parts") << "01:02:03:04:05:06:07" << false << QByteArray();
    QTest::newRow("three digits") << "1ff:02:03:04:05:06" << false << QByteArray();
    QTest::newRow("not hex") << "zz:02:03:04:05:06" << false << QByteArray();
    QTest::newRow("empty") << "" << false << QByteArray();
}

void tst_IpFrames::parseMac()
{
    QFETCH(QString, text);
    QFETCH(bool, ok);
    QFETCH(QByteArray, bytes);
    MacBytes mac = {9, 9, 9, 9, 9, 9};
    QCOMPARE(ipframes::parseMac(text, &mac), ok);
    if (ok)
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(mac.data()), 6), bytes);
    else
        QCOMPARE(mac, (MacBytes{9, 9, 9, 9, 9, 9})); // untouched
}

void tst_IpFrames::parseIp4_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("plain") << "198.18.0.7" << true << hex("c6120007");
    QTest::newRow("three parts") << "198.18.0" << false << QByteArray();
    QTest::newRow("trailing dot") << "198.18.0." << false << QByteArray();
    QTest::newRow("over 255") << "192.168.1.300" << false << QByteArray();
    QTest::newRow("letters") << "a.b.c.d" << false << QByteArray();
    QTest::newRow("sign") << "+1.2.3.4" << false << QByteArray();
    QTest::newRow("empty") << "" << false << QByteArray();
}

void tst_IpFrames::parseIp4()
{
    QFETCH(QString, text);
    QFETCH(bool, ok);
    QFETCH(QByteArray, bytes);
    Ip4Bytes ip = {9, 9, 9, 9};
    QCOMPARE(ipframes::parseIp4(text, &ip), ok);
    if (ok)
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(ip.data()), 4), bytes);
    else
        QCOMPARE(ip, (Ip4Bytes{9, 9, 9, 9}));
}

void tst_IpFrames::builtAnswerRoundTrip()
{
    DeviceIdentity d;
    d.mac = kDev;
    d.ip = {198, 18, 0, 20};
    d.mask = {255, 255, 255, 0};
    d.gateway = {198, 18, 0, 1};
    d.name = "VXA-1";
    d.serial = "SN0001";
    d.uartCount = 260; // two value bytes 01 04: the last one counts
    d.versionByte = 0x25;
    const QByteArray f = buildSearchAnswer(kHost, d);
    QVERIFY(isSearchAnswer(f));
    const SearchAnswer a = decodeSearchAnswer(f);
    QCOMPARE(a.version, QStringLiteral("1.1"));
    QCOMPARE(a.macText, QStringLiteral("00:1a:2b:3c:4d:5e"));
    QCOMPARE(a.name, QStringLiteral("VXA-1"));
    QCOMPARE(a.serial, QStringLiteral("SN0001"));
    QCOMPARE(a.ip, d.ip);
    QCOMPARE(a.gateway, d.gateway);
    QCOMPARE(a.uartText, QStringLiteral("4"));
}

QTEST_APPLESS_MAIN(tst_IpFrames)
#include "tst_ipframes.moc"
