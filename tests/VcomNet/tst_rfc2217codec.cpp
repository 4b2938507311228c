#include "Rfc2217Codec.h"

#include <QtTest>

Q_DECLARE_METATYPE(ComLineSettings)

namespace {

QByteArray hex(const char* text)
{
    return QByteArray::fromHex(QByteArray(text));
}

// A codec that has asked for everything and been answered the way ser2net answers.
Rfc2217Codec acceptedCodec(ComLineSettings wanted = {})
{
    Rfc2217Codec c;
    c.setWanted(wanted);
    c.start();
    c.decode(hex("fffd2c fffb00 fffd00"));
    return c;
}

// The payload of a wire stream decoded in the given chunk sizes (0 = all at once).
QByteArray decodeInChunks(Rfc2217Codec& c, const QByteArray& wire, int chunk)
{
    if (chunk <= 0)
        return c.decode(wire).data;
    QByteArray data;
    for (int i = 0; i < wire.size(); i += chunk)
        data += c.decode(wire.mid(i, chunk)).data;
    return data;
}

} // namespace

class tst_Rfc2217Codec : public QObject
{
    Q_OBJECT
private slots:
    void escape_data();
    void escape();
    void splitAnywhere_data();
    void splitAnywhere();
    void negotiation_data();
    void negotiation();
    void ser2netOpening();
    void builders_data();
    void builders();
    void confirmations_data();
    void confirmations();
    void wantedSettings();
    void withoutBinary();
    void noAnswer();
    void lineText_data();
    void lineText();
};

void tst_Rfc2217Codec::escape_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QByteArray>("wire");
    QTest::newRow("empty") << QByteArray() << QByteArray();
    QTest::newRow("no IAC") << hex("00010d0a7f") << hex("00010d0a7f");
    QTest::newRow("one IAC") << hex("41ff42") << hex("41ffff42");
    QTest::newRow("IAC at both ends") << hex("ff00ff") << hex("ffff00ffff");
    QTest::newRow("run of IAC") << hex("ffffff") << hex("ffffffffffff");
}

void tst_Rfc2217Codec::escape()
{
    QFETCH(QByteArray, data);
    QFETCH(QByteArray, wire);
    Rfc2217Codec c = acceptedCodec();
    QCOMPARE(c.encode(data), wire);
    // and back through a fresh decoder
    Rfc2217Codec d = acceptedCodec();
    QCOMPARE(d.decode(wire).data, data);
}

void tst_Rfc2217Codec::splitAnywhere_data()
{
    QTest::addColumn<QByteArray>("wire");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<quint32>("baud");
    QTest::newRow("doubled IAC") << hex("41ffff42ffffffff43") << hex("41ff42ffff43") << 0u;
    QTest::newRow("subnegotiation amid data")
        << hex("3132 fffa2c650001c200fff0 3334") << hex("31323334") << 115200u;
    QTest::newRow("IAC inside a subnegotiation value")
        << hex("fffa2c65 00ffff00ffff fff0 ff ff") << hex("ff") << 0x00ff00ffu;
    QTest::newRow("options and commands amid data")
        << hex("41 fffb03 42 fff1 43 fffd00 44") << hex("41424344") << 0u;
    QTest::newRow("other option's subnegotiation is skipped")
        << hex("41 fffa1801fff0 42") << hex("4142") << 0u;
}

void tst_Rfc2217Codec::splitAnywhere()
{
    QFETCH(QByteArray, wire);
    QFETCH(QByteArray, data);
    QFETCH(quint32, baud);
    // every chunk size, including one byte at a time
    for (int chunk = 0; chunk <= wire.size(); ++chunk) {
        Rfc2217Codec c = acceptedCodec();
        QCOMPARE(decodeInChunks(c, wire, chunk), data);
        QCOMPARE(c.confirmed().baudRate, baud);
    }
    // every split into two reads
    for (int cut = 1; cut < wire.size(); ++cut) {
        Rfc2217Codec c = acceptedCodec();
        QByteArray got = c.decode(wire.left(cut)).data;
        got += c.decode(wire.mid(cut)).data;
        QCOMPARE(got, data);
    }
}

void tst_Rfc2217Codec::negotiation_data()
{
    QTest::addColumn<QByteArray>("received");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<int>("state");
    const int pending = int(Rfc2217Codec::ComPortState::Pending);
    const QByteArray queryAll = hex("fffa2c0100000000fff0 fffa2c0200fff0 fffa2c0300fff0 fffa2c0400fff0");
    QTest::newRow("DO COM port: accepted, settings follow")
        << hex("fffd2c") << queryAll << int(Rfc2217Codec::ComPortState::Accepted);
    QTest::newRow("DONT COM port: refused, nothing said")
        << hex("fffe2c") << QByteArray() << int(Rfc2217Codec::ComPortState::Refused);
    QTest::newRow("WONT BINARY (asked): no answer") << hex("fffc00") << QByteArray() << pending;
    QTest::newRow("DO BINARY (asked): no answer") << hex("fffd00") << QByteArray() << pending;
    QTest::newRow("WILL ECHO refused") << hex("fffb01") << hex("fffe01") << pending;
    QTest::newRow("DO terminal type refused") << hex("fffd18") << hex("fffc18") << pending;
    QTest::newRow("WILL unknown refused") << hex("fffb63") << hex("fffe63") << pending;
    QTest::newRow("WONT/DONT of an option that is off: silence")
        << hex("fffc63 fffe63") << QByteArray() << pending;
    QTest::newRow("WILL and DO SGA accepted") << hex("fffb03 fffd03") << hex("fffd03 fffb03") << pending;
    QTest::newRow("repeated WILL SGA answered once") << hex("fffb03 fffb03") << hex("fffd03") << pending;
    QTest::newRow("server WILL COM port accepted too") << hex("fffb2c") << hex("fffd2c") << pending;
}

void tst_Rfc2217Codec::negotiation()
{
    QFETCH(QByteArray, received);
    QFETCH(QByteArray, reply);
    QFETCH(int, state);
    Rfc2217Codec c;
    QCOMPARE(c.start(), hex("fffb2c fffb00 fffd00"));
    const Rfc2217Codec::Output out = c.decode(received);
    QCOMPARE(out.reply, reply);
    QVERIFY(out.data.isEmpty());
    QCOMPARE(int(c.state()), state);
    QCOMPARE(out.stateChanged, state != int(Rfc2217Codec::ComPortState::Pending));
}

void tst_Rfc2217Codec::ser2netOpening()
{
    // What ser2net 4.3 sends on a telnet(rfc2217) accepter before anything else.
    Rfc2217Codec c;
    c.setWanted({115200, 0, ComLineSettings::ParityEven, ComLineSettings::Stop1});
    c.start();
    const auto out = c.decode(hex("fffb03 fffd03 fffb01 fffe01 fffd00 fffb00 fffd2c"));
    QCOMPARE(out.reply, hex("fffd03 fffb03 fffe01") + Rfc2217Codec::setBaudRate(115200)
                 + Rfc2217Codec::setDataSize(0) + Rfc2217Codec::setParity(3) + Rfc2217Codec::setStopSize(1));
    QCOMPARE(c.state(), Rfc2217Codec::ComPortState::Accepted);
    QVERIFY(c.localBinary());
    QVERIFY(c.remoteBinary());
    // its confirmations, with a modem state notice among them
    const auto conf = c.decode(hex("fffa2c6b00fff0 fffa2c650001c200fff0 fffa2c6608fff0 fffa2c6703fff0 "
                                   "fffa2c6801fff0"));
    QVERIFY(conf.confirmedChanged);
    QVERIFY(conf.data.isEmpty());
    QCOMPARE(c.confirmed(), (ComLineSettings{115200, 8, ComLineSettings::ParityEven, ComLineSettings::Stop1}));
}

void tst_Rfc2217Codec::builders_data()
{
    QTest::addColumn<QByteArray>("built");
    QTest::addColumn<QByteArray>("wire");
    QTest::newRow("baud 115200") << Rfc2217Codec::setBaudRate(115200) << hex("fffa2c0100 01c200 fff0");
    QTest::newRow("baud 19200") << Rfc2217Codec::setBaudRate(19200) << hex("fffa2c0100 004b00 fff0");
    QTest::newRow("baud with IAC bytes") << Rfc2217Codec::setBaudRate(0xff00ffffu)
                                         << hex("fffa2c01 ffff00ffffffff fff0");
    QTest::newRow("data size 7") << Rfc2217Codec::setDataSize(7) << hex("fffa2c0207fff0");
    QTest::newRow("parity even") << Rfc2217Codec::setParity(ComLineSettings::ParityEven) << hex("fffa2c0303fff0");
    QTest::newRow("two stop bits") << Rfc2217Codec::setStopSize(ComLineSettings::Stop2) << hex("fffa2c0402fff0");
}

void tst_Rfc2217Codec::builders()
{
    QFETCH(QByteArray, built);
    QFETCH(QByteArray, wire);
    QCOMPARE(built, wire);
}

void tst_Rfc2217Codec::confirmations_data()
{
    QTest::addColumn<QByteArray>("received");
    QTest::addColumn<QString>("confirmed");
    QTest::addColumn<bool>("changed");
    QTest::newRow("all four") << hex("fffa2c6500004b00fff0 fffa2c6607fff0 fffa2c6702fff0 fffa2c6802fff0")
                              << QStringLiteral("19200,7,O,2") << true;
    QTest::newRow("one and a half stop bits") << hex("fffa2c6803fff0") << QStringLiteral("?,?,?,1.5") << true;
    QTest::newRow("short baud value ignored") << hex("fffa2c6501c2fff0") << QStringLiteral("?,?,?,?") << false;
    QTest::newRow("zero baud ignored") << hex("fffa2c6500000000fff0") << QStringLiteral("?,?,?,?") << false;
    QTest::newRow("data size out of range") << hex("fffa2c6609fff0 fffa2c6604fff0") << QStringLiteral("?,?,?,?")
                                            << false;
    QTest::newRow("parity out of range") << hex("fffa2c6706fff0") << QStringLiteral("?,?,?,?") << false;
    QTest::newRow("client-direction code ignored") << hex("fffa2c0103fff0") << QStringLiteral("?,?,?,?") << false;
    QTest::newRow("overlong subnegotiation dropped")
        << hex("fffa2c6808") + QByteArray(Rfc2217Codec::maxSubnegotiation, 'x') + hex("fff0 fffa2c6802fff0")
        << QStringLiteral("?,?,?,2") << true;
    QTest::newRow("broken subnegotiation, next one read")
        << hex("fffa2c6802 fffb03 fffa2c6801fff0") << QStringLiteral("?,?,?,1") << true;
}

void tst_Rfc2217Codec::confirmations()
{
    QFETCH(QByteArray, received);
    QFETCH(QString, confirmed);
    QFETCH(bool, changed);
    Rfc2217Codec c = acceptedCodec();
    bool sawChange = false;
    QByteArray data;
    // one byte at a time, so that every value is split across reads
    for (char b : received) {
        const auto out = c.decode(QByteArray(1, b));
        sawChange |= out.confirmedChanged;
        data += out.data;
    }
    QCOMPARE(c.confirmed().toText(), confirmed);
    QCOMPARE(sawChange, changed);
    QVERIFY(data.isEmpty());
}

void tst_Rfc2217Codec::wantedSettings()
{
    Rfc2217Codec c;
    c.start();
    // Before the server agrees nothing goes out; the acceptance carries the settings.
    QVERIFY(c.setWanted({9600, 0, 0, ComLineSettings::Stop1}).isEmpty());
    QVERIFY(c.setWanted({115200, 0, 0, ComLineSettings::Stop1}).isEmpty());
    const auto out = c.decode(hex("fffd2c"));
    QCOMPARE(out.reply, Rfc2217Codec::setBaudRate(115200) + Rfc2217Codec::setDataSize(0)
                 + Rfc2217Codec::setParity(0) + Rfc2217Codec::setStopSize(1));
    // Afterwards only what changed.
    QCOMPARE(c.setWanted({19200, 0, 0, ComLineSettings::Stop2}),
             Rfc2217Codec::setBaudRate(19200) + Rfc2217Codec::setStopSize(2));
    QVERIFY(c.setWanted({19200, 0, 0, ComLineSettings::Stop2}).isEmpty());
    // A new connection sends everything again.
    c.start();
    QCOMPARE(c.decode(hex("fffd2c")).reply, Rfc2217Codec::setBaudRate(19200) + Rfc2217Codec::setDataSize(0)
                                                 + Rfc2217Codec::setParity(0) + Rfc2217Codec::setStopSize(2));
    // Refused: nothing is ever sent.
    c.start();
    c.decode(hex("fffe2c"));
    QVERIFY(c.setWanted({38400, 0, 0, ComLineSettings::Stop1}).isEmpty());
}

void tst_Rfc2217Codec::withoutBinary()
{
    Rfc2217Codec c;
    c.start();
    c.decode(hex("fffd2c fffe00 fffc00")); // the server refuses binary both ways
    QVERIFY(!c.localBinary());
    QVERIFY(!c.remoteBinary());
    // A lone CR goes out as CR NUL, CR LF stays; received CR NUL is CR again, also split.
    QCOMPARE(c.encode(hex("410d42 0d0a ff 0d")), hex("410d0042 0d0a ffff 0d00"));
    QByteArray got = decodeInChunks(c, hex("410d0042 0d0a 0d"), 1);
    got += c.decode(hex("0043")).data;
    QCOMPARE(got, hex("410d42 0d0a 0d 43"));
    // With binary agreed the same bytes pass unchanged.
    Rfc2217Codec b = acceptedCodec();
    QCOMPARE(b.encode(hex("0d42")), hex("0d42"));
    QCOMPARE(b.decode(hex("0d00")).data, hex("0d00"));
}

void tst_Rfc2217Codec::noAnswer()
{
    // A raw TCP server never answers: after the wait every byte passes unchanged.
    Rfc2217Codec raw;
    raw.start();
    QCOMPARE(raw.decode(hex("4142")).data, hex("4142"));
    QVERIFY(raw.giveUp());
    QCOMPARE(raw.state(), Rfc2217Codec::ComPortState::Plain);
    QCOMPARE(raw.encode(hex("ff41")), hex("ff41"));
    QCOMPARE(raw.decode(hex("fffd2c")).data, hex("fffd2c"));
    QVERIFY(!raw.giveUp());

    // A Telnet server without the option: framing stays.
    Rfc2217Codec telnet;
    telnet.start();
    telnet.decode(hex("fffb03"));
    QVERIFY(telnet.giveUp());
    QCOMPARE(telnet.state(), Rfc2217Codec::ComPortState::Refused);
    QCOMPARE(telnet.encode(hex("ff")), hex("ffff"));
    QCOMPARE(telnet.decode(hex("ffff")).data, hex("ff"));

    // Accepted in time: nothing to give up.
    Rfc2217Codec ok = acceptedCodec();
    QVERIFY(!ok.giveUp());
}

void tst_Rfc2217Codec::lineText_data()
{
    QTest::addColumn<ComLineSettings>("line");
    QTest::addColumn<QString>("text");
    QTest::newRow("8N1") << ComLineSettings{115200, 8, ComLineSettings::ParityNone, ComLineSettings::Stop1}
                         << QStringLiteral("115200,8,N,1");
    QTest::newRow("7M1.5") << ComLineSettings{300, 7, ComLineSettings::ParityMark, ComLineSettings::Stop1_5}
                           << QStringLiteral("300,7,M,1.5");
    QTest::newRow("only baud") << ComLineSettings{9600, 0, 0, 0} << QStringLiteral("9600,?,?,?");
    QTest::newRow("bad codes") << ComLineSettings{0, 0, 9, 7} << QStringLiteral("?,?,?,?");
}

void tst_Rfc2217Codec::lineText()
{
    QFETCH(ComLineSettings, line);
    QFETCH(QString, text);
    QCOMPARE(line.toText(), text);
}


QTEST_APPLESS_MAIN(tst_Rfc2217Codec)
#include "tst_rfc2217codec.moc"
