#include "Rfc2217Codec.h"

#include <QtTest>

namespace {

QByteArray hex(const char* text)
{
    return QByteArray::fromHex(QByteArray(text));
}

// A codec that asked for everything and was answered the way ser2net answers.
Rfc2217Codec acceptedCodec()
{
    Rfc2217Codec c;
    c.start();
    c.decode(hex("fffd2c fffb00 fffd00"));
    return c;
}

} // namespace

class tst_Rfc2217Codec : public QObject
{
    Q_OBJECT
private slots:
    void splitAnywhere_data();
    void splitAnywhere();
    void negotiation_data();
    void negotiation();
    void ser2netSession();
    void withoutBinary();
    void noAnswer();
};

void tst_Rfc2217Codec::splitAnywhere_data()
{
    QTest::addColumn<QByteArray>("wire");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("confirmed");
    const QString none = QStringLiteral("?,?,?,?");
    QTest::newRow("doubled IAC") << hex("41ffff42ffffffff43") << hex("41ff42ffff43") << none;
    QTest::newRow("confirmations amid data")
        << hex("3132 fffa2c6500004b00fff0 fffa2c6607fff0 3334 fffa2c6702fff0 fffa2c6802fff0")
        << hex("31323334") << QStringLiteral("19200,7,O,2");
    QTest::newRow("IAC inside a value") << hex("fffa2c65 00ffff00ffff fff0 ffff") << hex("ff")
                                        << QStringLiteral("16711935,?,?,?");
    QTest::newRow("options and commands amid data") << hex("41 fffb03 42 fff1 43 fffd00 44") << hex("41424344")
                                                    << none;
    QTest::newRow("other option's subnegotiation") << hex("41 fffa1801fff0 42") << hex("4142") << none;
    QTest::newRow("malformed values ignored")
        << hex("fffa2c6501c2fff0 fffa2c6500000000fff0 fffa2c6609fff0 fffa2c6706fff0 fffa2c0103fff0") << QByteArray()
        << none;
    QTest::newRow("overlong subnegotiation dropped")
        << hex("fffa2c6808") + QByteArray(Rfc2217Codec::maxSubnegotiation, 'x') + hex("fff0 fffa2c6803fff0")
        << QByteArray() << QStringLiteral("?,?,?,1.5");
    QTest::newRow("broken subnegotiation, next one read") << hex("fffa2c6802 fffb03 fffa2c6801fff0")
                                                          << QByteArray() << QStringLiteral("?,?,?,1");
}

void tst_Rfc2217Codec::splitAnywhere()
{
    QFETCH(QByteArray, wire);
    QFETCH(QByteArray, data);
    QFETCH(QString, confirmed);
    // every chunk size from one byte to all at once
    for (int chunk = 1; chunk <= wire.size(); ++chunk) {
        Rfc2217Codec c = acceptedCodec();
        QByteArray got;
        for (int i = 0; i < wire.size(); i += chunk)
            got += c.decode(wire.mid(i, chunk)).data;
        QCOMPARE(got, data);
        QCOMPARE(c.confirmed().toText(), confirmed);
    }
    // and back: the payload encodes to wire bytes that decode to it again
    Rfc2217Codec c = acceptedCodec();
    QCOMPARE(acceptedCodec().decode(c.encode(data)).data, data);
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
    QTest::newRow("answers to our own requests need none") << hex("fffd00 fffc00") << QByteArray() << pending;
    QTest::newRow("WILL ECHO refused") << hex("fffb01") << hex("fffe01") << pending;
    QTest::newRow("DO terminal type refused") << hex("fffd18") << hex("fffc18") << pending;
    QTest::newRow("WILL unknown refused each time") << hex("fffb63 fffb63") << hex("fffe63 fffe63") << pending;
    QTest::newRow("WONT/DONT of an option that is off: silence") << hex("fffc63 fffe63") << QByteArray() << pending;
    QTest::newRow("SGA accepted both ways, once") << hex("fffb03 fffd03 fffb03") << hex("fffd03 fffb03") << pending;
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

void tst_Rfc2217Codec::ser2netSession()
{
    // What ser2net 4.3 sends on a telnet(rfc2217) accepter before anything else.
    Rfc2217Codec c;
    QVERIFY(c.setWanted({9600, 0, ComLineSettings::ParityEven, ComLineSettings::Stop1}).isEmpty());
    c.start();
    QVERIFY(c.setWanted({115200, 0, ComLineSettings::ParityEven, ComLineSettings::Stop1}).isEmpty());
    const auto out = c.decode(hex("fffb03 fffd03 fffb01 fffe01 fffd00 fffb00 fffd2c"));
    QCOMPARE(out.reply, hex("fffd03 fffb03 fffe01 fffa2c010001c200fff0 fffa2c0200fff0 fffa2c0303fff0 "
                            "fffa2c0401fff0"));
    QCOMPARE(c.state(), Rfc2217Codec::ComPortState::Accepted);
    QVERIFY(c.localBinary() && c.remoteBinary());
    const auto conf = c.decode(hex("fffa2c6b00fff0 fffa2c650001c200fff0 fffa2c6608fff0 fffa2c6703fff0 "
                                   "fffa2c6801fff0"));
    QVERIFY(conf.confirmedChanged);
    QCOMPARE(c.confirmed().toText(), QStringLiteral("115200,8,E,1"));
    // Afterwards only what changed goes out; a baud rate with IAC bytes is escaped.
    QCOMPARE(c.setWanted({0xff00ffffu, 0, ComLineSettings::ParityEven, ComLineSettings::Stop2}),
             hex("fffa2c01 ffff00ffffffff fff0 fffa2c0402fff0"));
    QVERIFY(c.setWanted({0xff00ffffu, 0, ComLineSettings::ParityEven, ComLineSettings::Stop2}).isEmpty());
    // A new connection sends everything again; after a refusal nothing ever goes.
    c.start();
    QCOMPARE(c.decode(hex("fffd2c")).reply.count(char(Telnet::SB)), 4);
    c.start();
    c.decode(hex("fffe2c"));
    QVERIFY(c.setWanted({38400, 0, 0, ComLineSettings::Stop1}).isEmpty());
}

void tst_Rfc2217Codec::withoutBinary()
{
    Rfc2217Codec c;
    c.start();
    c.decode(hex("fffd2c fffe00 fffc00")); // binary refused both ways
    // A lone CR goes out as CR NUL, CR LF stays; received CR NUL is CR again, also split.
    QCOMPARE(c.encode(hex("410d42 0d0a ff 0d")), hex("410d0042 0d0a ffff 0d00"));
    QByteArray got;
    for (char b : hex("410d0042 0d0a 0d 0043"))
        got += c.decode(QByteArray(1, b)).data;
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
    QVERIFY(raw.giveUp());
    QCOMPARE(raw.state(), Rfc2217Codec::ComPortState::Plain);
    QCOMPARE(raw.encode(hex("ff41")), hex("ff41"));
    QCOMPARE(raw.decode(hex("fffd2c")).data, hex("fffd2c"));
    QVERIFY(!raw.giveUp());
    // A Telnet server without the option: the framing stays.
    Rfc2217Codec telnet;
    telnet.start();
    telnet.decode(hex("fffb03"));
    QVERIFY(telnet.giveUp());
    QCOMPARE(telnet.state(), Rfc2217Codec::ComPortState::Refused);
    QCOMPARE(telnet.encode(hex("ff")), hex("ffff"));
    // Accepted in time: nothing to give up.
    Rfc2217Codec ok = acceptedCodec();
    QVERIFY(!ok.giveUp());
}

QTEST_APPLESS_MAIN(tst_Rfc2217Codec)
#include "tst_rfc2217codec.moc"
