// Receive view formatting and find, on bytes: stamps, visible control bytes, the hex
// text column, cutting big chunks exactly, and matching with wrap-around.

#include "RecvFind.h"
#include "RecvViewFormat.h"

#include <QtTest>

using RecvViewFormat::Options;

namespace {

// "s" stamps, "m" ms stamps, "h" hex, "c" hex text column, "e" escapes, "w" line feed.
Options optionsOf(const QString& flags)
{
    Options o;
    o.stamps = flags.contains(QLatin1Char('s'));
    o.msStamps = flags.contains(QLatin1Char('m'));
    o.hex = flags.contains(QLatin1Char('h'));
    o.hexTextColumn = flags.contains(QLatin1Char('c'));
    o.escapes = flags.contains(QLatin1Char('e'));
    o.lineFeed = flags.contains(QLatin1Char('w'));
    return o;
}

const QString kStamp = QStringLiteral("[2026-12-08 06:05:04]");
const QString kPad21 = QString(21, QLatin1Char(' '));

} // namespace

class tst_RecvViewFormat : public QObject
{
    Q_OBJECT

private slots:
    void stamps();
    void chunks_data();
    void chunks();
    void tailIsSuffixOfWhole_data();
    void tailIsSuffixOfWhole();
    void piecesMakeTheWhole_data();
    void piecesMakeTheWhole();
    void foldLongLines_data();
    void foldLongLines();
    void hexNeedle_data();
    void hexNeedle();
    void findAll_data();
    void findAll();
    void stepWrapsAround();
};

void tst_RecvViewFormat::stamps()
{
    const QDateTime t(QDate(2026, 12, 8), QTime(6, 5, 4, 7));
    QCOMPARE(RecvViewFormat::stamp(t, false), QStringLiteral("[2026-12-08 06:05:04]"));
    QCOMPARE(RecvViewFormat::stamp(t, true), QStringLiteral("[2026-12-08 06:05:04.007]"));
    QCOMPARE(RecvViewFormat::stamp(t, false).size(), RecvViewFormat::stampWidth(false));
    QCOMPARE(RecvViewFormat::stamp(t, true).size(), RecvViewFormat::stampWidth(true));
}

void tst_RecvViewFormat::chunks_data()
{
    QTest::addColumn<QString>("flags");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<bool>("atLineStart");
    QTest::addColumn<QString>("expected");

    // Every option off: the plain rules (a zero byte ends the text).
    QTest::newRow("plain, zero byte cuts") << "w" << QByteArray("ab\0cd", 5) << true << QStringLiteral("ab\n");
    QTest::newRow("plain, stamp") << "s" << QByteArray("ab") << true << kStamp + QStringLiteral("ab\n");
    QTest::newRow("hex, zero byte shown") << "h" << QByteArray("a\0", 2) << true << QStringLiteral("61 00 ");

    QTest::newRow("escapes, line endings and tab")
        << "e" << QByteArray("a\r\nb\tc") << true << QStringLiteral("a\\r\\n\nb\\tc");
    QTest::newRow("escapes, zero byte no longer cuts")
        << "ew" << QByteArray("a\0b\x1b\x7f", 5) << true << QStringLiteral("a\\x00b\\x1b\\x7f\n");
    QTest::newRow("escapes, utf-8 kept")
        << "e" << QByteArray("\xe4\xb8\xad\n") << true << QStringLiteral("\u4e2d\\n\n");
    // Broken bytes stay replacement characters and do not swallow the escape after them.
    QTest::newRow("escapes, broken utf-8 before a control byte")
        << "e" << QByteArray("\xe4\xb8\r") << true << QStringLiteral("\ufffd\ufffd\\r");
    QTest::newRow("escapes ignored in hex") << "eh" << QByteArray("\r") << true << QStringLiteral("0d ");

    const QString row1 = QStringLiteral("30 31 32 33 34 35 36 37 38 39 41 42 43 44 45 46  0123456789ABCDEF\n");
    const QString row2 = QStringLiteral("00 7f ff 20 7e ") + QString(34, QLatin1Char(' ')) + QStringLiteral("... ~\n");
    const QByteArray twenty = QByteArray("0123456789ABCDEF") + QByteArray("\x00\x7f\xff\x20\x7e", 5);
    QTest::newRow("hex text column, two rows") << "hc" << twenty << true << row1 + row2;
    QTest::newRow("hex text column, after a header line") << "hc" << QByteArray("0") << false
                                                           << QStringLiteral("\n30") + QString(46, QLatin1Char(' '))
                                                                  + QStringLiteral(" 0\n");
    QTest::newRow("hex text column, stamp and indent")
        << "hcs" << twenty << true << kStamp + row1 + kPad21 + row2;
    QTest::newRow("hex text column off in text mode") << "c" << QByteArray("ab") << true << QStringLiteral("ab");
}

void tst_RecvViewFormat::chunks()
{
    QFETCH(QString, flags);
    QFETCH(QByteArray, data);
    QFETCH(bool, atLineStart);
    QFETCH(QString, expected);
    const QString shown = RecvViewFormat::format(data, optionsOf(flags), kStamp, atLineStart);
    QCOMPARE(shown, expected);
}

void tst_RecvViewFormat::tailIsSuffixOfWhole_data()
{
    QTest::addColumn<QString>("flags");
    QTest::addColumn<QByteArray>("data");

    // Multi-byte characters, broken sequences and control bytes, so that cuts land badly.
    const QByteArray pieces[] = {QByteArray("abc"), QByteArray("\xc3\xa9"), QByteArray("\xe4\xb8\xad"),
                                 QByteArray("\xf0\x9f\x98\x80"), QByteArray("\xe4\xb8"), QByteArray("\r\n"),
                                 QByteArray("\x80\x80\x80\x80"), QByteArray("\t\x01"), QByteArray("\xff")};
    QByteArray mixed;
    for (int i = 0; mixed.size() < 70000; ++i)
        mixed += pieces[(i * 7) % 9];
    QByteArray withZero = mixed;
    withZero[60000] = '\0';
    for (const char* flags : {"w", "", "e", "ew", "h", "hw", "hc", "hcs", "hcsm", "es"}) {
        QTest::newRow(qPrintable(QStringLiteral("mixed, %1").arg(QLatin1String(flags)))) << flags << mixed;
        QTest::newRow(qPrintable(QStringLiteral("zero byte, %1").arg(QLatin1String(flags)))) << flags << withZero;
    }
}

void tst_RecvViewFormat::tailIsSuffixOfWhole()
{
    QFETCH(QString, flags);
    QFETCH(QByteArray, data);
    const Options o = optionsOf(flags);
    const QDateTime t(QDate(2026, 12, 8), QTime(6, 5, 4, 7));
    const QString whole = RecvViewFormat::format(data, o, RecvViewFormat::stamp(t, o.msStamps), true);
    for (int tailBytes : {1, 15, 16, 17, 4096, 16385, 69999, 80000}) {
        const QString tail = RecvViewFormat::formatTail(data, o, tailBytes);
        if (tailBytes >= data.size()) {
            QVERIFY(tail.isNull()); // the whole chunk: formatted as such, stamp included
            continue;
        }
        QVERIFY2(whole.endsWith(tail), qPrintable(QString::number(tailBytes)));
        if (tailBytes >= 4096 && !tail.isNull())
            QVERIFY(tail.size() >= tailBytes / 4);
        // The tail really is about the last tailBytes bytes, not the whole chunk again.
        if (tailBytes < 20000 && !flags.contains(QLatin1Char('e')))
            QVERIFY(tail.size() < whole.size() / 2);
    }
}

void tst_RecvViewFormat::piecesMakeTheWhole_data()
{
    tailIsSuffixOfWhole_data();
}

void tst_RecvViewFormat::piecesMakeTheWhole()
{
    QFETCH(QString, flags);
    QFETCH(QByteArray, data);
    const Options o = optionsOf(flags);
    const QString stamp = RecvViewFormat::stamp(QDateTime(QDate(2026, 12, 8), QTime(6, 5, 4, 7)), o.msStamps);
    for (const bool atLineStart : {true, false}) {
        const QString whole = RecvViewFormat::format(data, o, stamp, atLineStart);
        for (const int maxBytes : {1, 7, 16, 100, 4096, 65536}) {
            QString joined;
            int pieces = 0;
            for (int from = 0; from < data.size(); ++pieces) {
                const int to = RecvViewFormat::pieceEnd(data, from, maxBytes, o);
                QVERIFY(to > from && to <= data.size());
                joined += RecvViewFormat::formatPiece(data, from, to, o, stamp, atLineStart);
                from = to;
            }
            QVERIFY2(joined == whole, qPrintable(QStringLiteral("%1 bytes per piece").arg(maxBytes)));
            QVERIFY(pieces >= qMin(data.size() / (4 * maxBytes), 2)); // really cut into pieces
        }
        // Where folding ends when the chunk is skipped, from any column.
        for (const int column : {0, 5, 99}) {
            QString folded = whole;
            int after = column;
            RecvViewFormat::foldLongLines(folded, after, 100);
            QCOMPARE(RecvViewFormat::endColumn(data, 0, o, column, 100), after);
        }
        // The bounds used to drop queued chunks never exceed what the view will count.
        QString counted = whole;
        counted.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
        qint64 chars = 0;
        qint64 breaks = 0;
        RecvViewFormat::lowerBounds(data, o, chars, breaks);
        QVERIFY(chars <= counted.size() && chars >= counted.size() / 8);
        QVERIFY(breaks <= counted.count(QLatin1Char('\n')));
    }
}

void tst_RecvViewFormat::foldLongLines_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("folded");
    QTest::addColumn<int>("columnAfter");
    // Width 3 throughout.
    QTest::newRow("short, untouched") << "ab" << 0 << "ab" << 2;
    QTest::newRow("long line") << "abcdefgh" << 0 << "abc\ndef\ngh" << 2;
    QTest::newRow("continues a line") << "xyz" << 2 << "x\nyz" << 2;
    QTest::newRow("breaks start lines afresh") << "ab\ncdef\rgh" << 1 << "ab\ncde\nf\rgh" << 2;
    QTest::newRow("exactly full") << "abc" << 0 << "abc" << 3;
    QTest::newRow("full line, then a break") << "\nab" << 3 << "\nab" << 2;
    QTest::newRow("surrogate pair kept whole") << QStringLiteral("ab\U0001F600c") << 0
                                               << QStringLiteral("ab\U0001F600\nc") << 1;
}

void tst_RecvViewFormat::foldLongLines()
{
    QFETCH(QString, text);
    QFETCH(int, column);
    QFETCH(QString, folded);
    QFETCH(int, columnAfter);
    RecvViewFormat::foldLongLines(text, column, 3);
    QCOMPARE(text, folded);
    QCOMPARE(column, columnAfter);
}

void tst_RecvViewFormat::hexNeedle_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("needle");
    QTest::newRow("packed") << "4142" << "41 42";
    QTest::newRow("spaced, upper case") << "4A 0d" << "4a 0d";
    QTest::newRow("0x and commas") << "0x41,0X42" << "41 42";
    QTest::newRow("odd last digit") << "414" << "41 04";
    QTest::newRow("no hex at all") << "zz" << "";
}

void tst_RecvViewFormat::hexNeedle()
{
    QFETCH(QString, typed);
    QFETCH(QString, needle);
    QCOMPARE(RecvFind::needle(typed, true), needle);
    QCOMPARE(RecvFind::needle(typed, false), typed);
}

void tst_RecvViewFormat::findAll_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("needle");
    QTest::addColumn<bool>("caseSensitive");
    QTest::addColumn<bool>("hexView");
    QTest::addColumn<QVector<int>>("matches");

    QTest::newRow("ignoring case") << "OK ok Ok" << "ok" << false << false << QVector<int>{0, 3, 6};
    QTest::newRow("matching case") << "OK ok Ok" << "ok" << true << false << QVector<int>{3};
    QTest::newRow("not overlapping") << "aaaa" << "aa" << false << false << QVector<int>{0, 2};
    QTest::newRow("across lines") << "a\nb a\nb" << "a\nb" << false << false << QVector<int>{0, 4};
    QTest::newRow("none") << "abc" << "x" << false << false << QVector<int>();
    QTest::newRow("empty needle") << "abc" << "" << false << false << QVector<int>();
    // Hex: whole bytes only, any case of the view.
    QTest::newRow("hex bytes") << "41 42 41 42 \n41 42 " << "41 42" << true << true << QVector<int>{0, 6, 13};
    QTest::newRow("hex never inside bytes") << "14 14 21 " << "41" << false << true << QVector<int>();
    QTest::newRow("hex after a stamp") << "[2026-12-08 06:05:04]0d 0a " << "0d 0a" << false << true
                                       << QVector<int>{21};
}

void tst_RecvViewFormat::findAll()
{
    QFETCH(QString, text);
    QFETCH(QString, needle);
    QFETCH(bool, caseSensitive);
    QFETCH(bool, hexView);
    QFETCH(QVector<int>, matches);
    QCOMPARE(RecvFind::findAll(text, needle, caseSensitive, hexView), matches);
}

void tst_RecvViewFormat::stepWrapsAround()
{
    QCOMPARE(RecvFind::step(16, 17, true), 0);
    QCOMPARE(RecvFind::step(0, 17, false), 16);
    QCOMPARE(RecvFind::step(3, 17, true), 4);
    QCOMPARE(RecvFind::step(3, 17, false), 2);
    QCOMPARE(RecvFind::step(-1, 17, false), 16);
    QCOMPARE(RecvFind::step(0, 0, true), -1);
    const QVector<int> at{5, 40, 90};
    QCOMPARE(RecvFind::firstFrom(at, 0), 0);
    QCOMPARE(RecvFind::firstFrom(at, 41), 2);
    QCOMPARE(RecvFind::firstFrom(at, 91), 0); // past the last one: wraps to the first
    QCOMPARE(RecvFind::firstFrom({}, 0), -1);
}

QTEST_APPLESS_MAIN(tst_RecvViewFormat)
#include "tst_recvviewformat.moc"
