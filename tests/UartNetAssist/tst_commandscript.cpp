// Command scripts on text: every keyword, escapes, nesting, and each error with its line.

#include "CommandScript.h"

#include <QtTest>

namespace {

// The steps in short: kind:bytes-in-hex-or-text@ms, repeats with their count and partner.
QString summary(const CommandScript& s)
{
    static const char* const names[] = {"send", "sendraw", "wait", "expect", "expectre",
                                        "repeat", "end", "log", "onfail"};
    QStringList out;
    for (const CommandScript::Step& st : s.steps()) {
        QString t = QString::fromLatin1(names[st.kind]);
        if (!st.bytes.isEmpty())
            t += QLatin1Char(':') + QString::fromLatin1(st.bytes.toHex());
        if (!st.text.isEmpty())
            t += QLatin1Char(':') + st.text;
        if (st.kind == CommandScript::Wait || st.kind == CommandScript::Expect || st.kind == CommandScript::ExpectRe)
            t += QLatin1Char('@') + QString::number(st.ms);
        if (st.kind == CommandScript::Repeat)
            t += QStringLiteral("x%1>%2").arg(st.count).arg(st.partner);
        if (st.kind == CommandScript::End)
            t += QStringLiteral("<%1").arg(st.partner);
        if (st.kind == CommandScript::OnFail)
            t += st.continueOnFail ? QStringLiteral(":continue") : QStringLiteral(":stop");
        out.append(t);
    }
    return out.join(QLatin1Char(' '));
}

} // namespace

class tst_CommandScript : public QObject
{
    Q_OBJECT

private slots:
    void parse_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("steps"); // empty when the script is refused
        QTest::addColumn<int>("errorLine");
        QTest::addColumn<QString>("reason");

        QTest::newRow("plain line is sent as typed") << "AT+CSQ\\r" << "send:41542b4353515c72" << 0 << "";
        QTest::newRow("plain line after blank lines") << "\n  hello world\n\n" << "send:202068656c6c6f20776f726c64" << 0 << "";
        QTest::newRow("comment only") << "# nothing" << "" << 0 << "";
        QTest::newRow("every keyword")
            << "send AT\nsendhex 01 03 A\nsendraw x\nsendrawhex 0103\nwait 250\nexpect OK\nexpecthex 0d 0a 500\n"
               "expectre ^\\d+ OK$ 20\nlog hello there\nonfail continue\nonfail stop"
            << "send:4154 send:01030a sendraw:78 sendraw:0103 wait@250 expect:4f4b@1000 expect:0d0a@500 "
               "expectre:^\\d+ OK$@20 log:hello there onfail:continue onfail:stop"
            << 0 << "";
        QTest::newRow("escapes") << "send a\\r\\n\\t\\\\\\x41\\xfF" << "send:610d0a095c41ff" << 0 << "";
        QTest::newRow("comments and blanks")
            << "# set-up\n\n  send AT   # wake up\nsend a#b" << "send:4154 send:612362" << 0 << "";
        QTest::newRow("two-digit hex word stays a byte") << "expecthex 01 10" << "expect:0110@1000" << 0 << "";
        QTest::newRow("expect last word is the time-out") << "expect value 42" << "expect:76616c7565@42" << 0 << "";
        QTest::newRow("nesting")
            << "repeat 2\n  repeat forever\n    send x\n  end\nend\nrepeat 1000\nend"
            << "repeatx2>4 repeatx0>3 send:78 end<1 end<0 repeatx1000>6 end<5" << 0 << "";

        QTest::newRow("unknown command") << "send a\nsned b" << "" << 2 << "unknown command 'sned'";
        QTest::newRow("repeat without end") << "send a\nrepeat 3\nrepeat 2\nend" << "" << 2 << "'repeat' without 'end'";
        QTest::newRow("end without repeat") << "repeat 2\nend\nend" << "" << 3 << "'end' without 'repeat'";
        QTest::newRow("end with argument") << "repeat 2\nend 2" << "" << 2 << "'end' takes nothing";
        QTest::newRow("unknown escape") << "log x\nsend a\\q" << "" << 2 << "unknown escape '\\q'";
        QTest::newRow("short \\x") << "send \\x4" << "" << 1 << "'\\x' needs two hex digits";
        QTest::newRow("trailing backslash") << "send a\\" << "" << 1 << "at the end";
        QTest::newRow("send without text") << "send\nlog a" << "" << 1 << "'send' needs a text";
        QTest::newRow("bad hex") << "log a\n\nsendhex 01 zz" << "" << 3 << "'zz' is not hex";
        QTest::newRow("empty hex") << "sendrawhex\nlog a" << "" << 1 << "no hex bytes";
        QTest::newRow("wait not a number") << "wait soon\nlog a" << "" << 1 << "'wait' needs";
        QTest::newRow("wait negative") << "log a\nwait -5" << "" << 2 << "'wait' needs";
        QTest::newRow("repeat zero") << "repeat 0\nend" << "" << 1 << "'repeat' needs a count";
        QTest::newRow("expect time-out zero") << "send a\nexpect OK 0" << "" << 2 << "time-out must be";
        QTest::newRow("expect nothing") << "send a\nexpect" << "" << 2 << "'expect' needs";
        QTest::newRow("bad regex") << "send a\nexpectre (ab" << "" << 2 << "invalid regular expression";
        QTest::newRow("bad onfail") << "onfail maybe\nlog a" << "" << 1 << "'onfail' takes";
    }

    void parse()
    {
        QFETCH(QString, script);
        QFETCH(QString, steps);
        QFETCH(int, errorLine);
        QFETCH(QString, reason);
        CommandScript s;
        QCOMPARE(s.parse(script), errorLine == 0);
        QCOMPARE(summary(s), steps);
        QCOMPARE(s.errorLine(), errorLine);
        if (errorLine > 0) {
            QVERIFY2(s.errorText().contains(reason), qPrintable(s.errorText()));
            QVERIFY(s.errorMessage().startsWith(QStringLiteral("line %1: ").arg(errorLine)));
        }
    }
};

QTEST_APPLESS_MAIN(tst_CommandScript)
#include "tst_commandscript.moc"
