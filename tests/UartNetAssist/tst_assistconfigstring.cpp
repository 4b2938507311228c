// The configuration string on its own, tested on text: plain lines stay as earlier
// versions wrote them, values holding separators survive, and the input range checks.

#include "AssistConfigString.h"
#include "AssistInput.h"

#include <QtTest>

class tst_AssistConfigString : public QObject
{
    Q_OBJECT

private slots:
    void plainLinesUnchanged_data();
    void plainLinesUnchanged();
    void separatorsSurvive_data();
    void separatorsSurvive();
    void malformedLines_data();
    void malformedLines();
    void ranges_data();
    void ranges();
    void hostPortValidator_data();
    void hostPortValidator();
};

namespace {

// A panel-shaped line: seven fields, the serial parameters, receive and send options split.
AssistConfigString make(const QString& endpoint, const QString& interval, const QString& addition,
                        const QString& udp, const QString& sendBox)
{
    AssistConfigString c;
    c.setField(0, QStringLiteral("0"));
    c.setField(1, endpoint);
    c.setSubFields(2, {QStringLiteral("5"), QStringLiteral("0"), QStringLiteral("3"), QStringLiteral("0")});
    c.setSubFields(3, {QStringLiteral("1"), QStringLiteral("0"), QStringLiteral("0")});
    c.setSubFields(4, {QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("0"), interval, QStringLiteral("1"),
                       addition, QStringLiteral("0"), QStringLiteral("0")});
    c.setField(5, udp);
    c.setField(6, sendBox);
    return c;
}

} // namespace

void tst_AssistConfigString::plainLinesUnchanged_data()
{
    QTest::addColumn<QString>("line");
    QTest::newRow("fresh serial panel") << QStringLiteral("0,ttyS0,5_0_3_0,1_0_0,0_0_0_1000_0_\\r\\n_0_0,,hello");
    QTest::newRow("percent signs stay") << QStringLiteral("3,127.0.0.1,4003,0_0_1,1_0_0_1000_0_%2C_1_0,127.0.0.1:5000,100%25");
    QTest::newRow("commas in the send box") << QStringLiteral("1,127.0.0.1,4001,1_0_0,0_0_0_1000_0_x_0_0,,a,b,,c,");
    QTest::newRow("multi-line send box") << QStringLiteral("2,0.0.0.0,127.0.0.1:4002,1_1_0,0_0_1_20_1_\\n_0_0,,l1\nl2");
    QTest::newRow("underscore in the port name") << QStringLiteral("0,/dev/serial/by-id/usb-FTDI_A1,5_0_3_0,1_0_0,0_0_0_1000_0_x_0_0,,");
}

void tst_AssistConfigString::plainLinesUnchanged()
{
    QFETCH(QString, line);
    AssistConfigString in;
    QVERIFY(in.parse(line));
    QVERIFY(!in.isEscaped());
    // Fields come back as written, and building them again gives the same bytes.
    AssistConfigString out;
    out.setField(0, in.field(0));
    out.setField(1, in.field(1));
    if (in.field(0) == QLatin1String("0"))
        out.setSubFields(2, in.subFields(2));
    else
        out.setField(2, in.field(2));
    out.setSubFields(3, in.subFields(3));
    out.setSubFields(4, in.subFields(4));
    out.setField(5, in.field(5));
    out.setField(6, in.field(6));
    QCOMPARE(out.toString(), line);
    QCOMPARE(in.subFields(4).size(), 8);
}

void tst_AssistConfigString::separatorsSurvive_data()
{
    QTest::addColumn<QString>("endpoint");
    QTest::addColumn<QString>("interval");
    QTest::addColumn<QString>("addition");
    QTest::addColumn<QString>("udp");
    QTest::addColumn<QString>("sendBox");
    QTest::newRow("underscore in the addition") << "ttyS0" << "1000" << "_END\\r\\n" << "" << "x";
    QTest::newRow("comma in the send box and addition") << "ttyS0" << "1000" << "," << "" << ",OK\r\n";
    QTest::newRow("comma in the UDP destination") << "ttyS0" << "1000" << "x" << "a,b:1" << "y";
    QTest::newRow("comma in a typed port path") << "/tmp/a,b" << "1000" << "x" << "" << "";
    QTest::newRow("escape-like text kept") << "ttyS0" << "1000" << "%5F_%2C" << "" << "100%25 %zz %";
    QTest::newRow("all of them") << "/tmp/p_1,2" << "5_0" << "_,%" << ",:_" << "_,%\n,";
}

void tst_AssistConfigString::separatorsSurvive()
{
    QFETCH(QString, endpoint);
    QFETCH(QString, interval);
    QFETCH(QString, addition);
    QFETCH(QString, udp);
    QFETCH(QString, sendBox);
    const QString line = make(endpoint, interval, addition, udp, sendBox).toString();
    QVERIFY2(line.startsWith(QLatin1Char('%')), qPrintable(line));
    AssistConfigString in;
    QVERIFY(in.parse(line));
    QCOMPARE(in.field(0), QStringLiteral("0"));
    QCOMPARE(in.field(1), endpoint);
    QCOMPARE(in.subFields(2), (QStringList{"5", "0", "3", "0"}));
    QCOMPARE(in.subFields(3), (QStringList{"1", "0", "0"}));
    const QStringList send = in.subFields(4);
    QCOMPARE(send.size(), 8);
    QCOMPARE(send.at(3), interval);
    QCOMPARE(send.at(4), QStringLiteral("1"));
    QCOMPARE(send.at(5), addition);
    QCOMPARE(in.field(5), udp);
    QCOMPARE(in.field(6), sendBox);
}

void tst_AssistConfigString::malformedLines_data()
{
    QTest::addColumn<QString>("line");
    QTest::newRow("empty") << QString();
    QTest::newRow("six fields") << QStringLiteral("3,127.0.0.1,4003,0_0_1,1_0_0_1000_0_x_1_0,127.0.0.1:5000");
    QTest::newRow("escaped with eight fields") << QStringLiteral("%0,a,b,c,d,e,f,g");
    QTest::newRow("escaped with six fields") << QStringLiteral("%0,a,b,c,d,e");
    QTest::newRow("only the mark") << QStringLiteral("%");
}

void tst_AssistConfigString::malformedLines()
{
    QFETCH(QString, line);
    AssistConfigString c;
    QVERIFY(!c.parse(line));
    QVERIFY(c.field(0).isEmpty());
}

void tst_AssistConfigString::ranges_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("port");
    QTest::addColumn<bool>("interval");
    QTest::newRow("1") << "1" << true << true;
    QTest::newRow("65535") << "65535" << true << true;
    QTest::newRow("65536 does not wrap") << "65536" << false << true;
    QTest::newRow("70000") << "70000" << false << true;
    QTest::newRow("0") << "0" << false << false;
    QTest::newRow("empty") << "" << false << false;
    QTest::newRow("negative") << "-5" << false << false;
    QTest::newRow("plus sign") << "+5" << false << false;
    QTest::newRow("blank around") << " 80" << false << false;
    QTest::newRow("24 h") << "86400000" << false << true;
    QTest::newRow("24 h and 1 ms") << "86400001" << false << false;
    QTest::newRow("beyond 32 bits") << "99999999999" << false << false;
    QTest::newRow("not a number") << "abc" << false << false;
}

void tst_AssistConfigString::ranges()
{
    QFETCH(QString, text);
    QFETCH(bool, port);
    QFETCH(bool, interval);
    int value = -1;
    QCOMPARE(AssistInput::parsePort(text, &value), port);
    if (port)
        QCOMPARE(value, text.toInt());
    QCOMPARE(AssistInput::parseInterval(text), interval);
    QCOMPARE(AssistInput::parseHostPort(QStringLiteral("127.0.0.1:") + text), port);
}

void tst_AssistConfigString::hostPortValidator_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("state");
    QTest::newRow("complete") << "127.0.0.1:4001" << int(QValidator::Acceptable);
    QTest::newRow("no port yet") << "127.0.0.1" << int(QValidator::Intermediate);
    QTest::newRow("colon typed") << "127.0.0.1:" << int(QValidator::Intermediate);
    QTest::newRow("port 0") << "127.0.0.1:0" << int(QValidator::Intermediate);
    QTest::newRow("port 65536") << "127.0.0.1:65536" << int(QValidator::Invalid);
    QTest::newRow("second colon") << "127.0.0.1:1:" << int(QValidator::Invalid);
    QTest::newRow("letter in port") << "127.0.0.1:8a" << int(QValidator::Invalid);
    QTest::newRow("no host") << ":4001" << int(QValidator::Intermediate);
}

void tst_AssistConfigString::hostPortValidator()
{
    QFETCH(QString, text);
    QFETCH(int, state);
    HostPortValidator v;
    int pos = text.size();
    QCOMPARE(int(v.validate(text, pos)), state);
}

QTEST_APPLESS_MAIN(tst_AssistConfigString)
#include "tst_assistconfigstring.moc"
