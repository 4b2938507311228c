// The receive view under load: display updates are gathered and bounded, yet the view
// ends exactly as if every chunk had been inserted; boxes raised by received data never
// stack up.

#include "assisttestutil.h"

#include "AssistPrefs.h"
#include "RecvFindBar.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTextCodec>
#include <QTextCursor>
#include <QTextDocument>
#include <QtTest>

using namespace assisttest;

struct Chunk
{
    int peer; // index of the sending socket
    QByteArray data;
};
Q_DECLARE_METATYPE(Chunk)

namespace {

// What a view bounded like the panel's shows after inserting every chunk one by one,
// the way a plain terminal would: header paragraph on a sender change (as appendPlainText
// does it), data inserted at the end, oldest lines and characters dropped. A bare
// document: the same text engine as the view, without laying out every line.
class ReferenceView
{
public:
    ReferenceView() { doc.setMaximumBlockCount(UartNetAssist::recvViewMaxBlocks); }

    void add(const QString& sender, const QString& formatted)
    {
        QTextCursor end(&doc);
        if (sender != lastSender) {
            end.movePosition(QTextCursor::End);
            if (!doc.isEmpty())
                end.insertBlock();
            end.insertText(QStringLiteral("[Receive from %1]:").arg(sender));
            lastSender = sender;
            trim();
        }
        end.movePosition(QTextCursor::End);
        end.insertText(formatted);
        trim();
    }

    QString text() const { return doc.toPlainText(); }

private:
    void trim()
    {
        const int excess = doc.characterCount() - 1 - UartNetAssist::recvViewMaxChars;
        if (excess > 0) {
            QTextCursor c(&doc);
            c.setPosition(excess, QTextCursor::KeepAnchor);
            c.removeSelectedText();
        }
    }

    QTextDocument doc;
    QString lastSender;
};

QString hexOf(const QByteArray& data)
{
    QString out;
    for (const char c : data)
        out += QStringLiteral("%1 ").arg(static_cast<uchar>(c), 2, 16, QLatin1Char('0'));
    return out;
}

const QString kStampPattern = QStringLiteral("\\[\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\]");
const QString kStampPlaceholder = QStringLiteral("[YYYY-MM-DD hh:mm:ss]"); // same length as a stamp

// Everything after the first line, which the character bound may have cut anywhere.
QString afterFirstLine(const QString& s)
{
    const int nl = s.indexOf(QLatin1Char('\n'));
    return nl < 0 ? QString() : s.mid(nl + 1);
}

// Feeds chunks straight into the receive slot, so that chunk sizes beyond what a
// datagram carries are exact.
class FedPanel : public UartNetAssist
{
public:
    using UartNetAssist::receiveData_slot;
};

QByteArray lines(int count, const QByteArray& prefix, int width = 40)
{
    QByteArray out;
    for (int i = 1; i <= count; ++i)
        out += (prefix + QByteArray::number(i)).leftJustified(width - 1, '.') + '\n';
    return out;
}

} // namespace

class tst_UartNetAssistView : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void boundedViewEqualsInsertingEveryChunk_data();
    void boundedViewEqualsInsertingEveryChunk();
    void bigChunksEqualInsertingEveryChunk_data();
    void bigChunksEqualInsertingEveryChunk();
    void clearDropsPendingText();
    void oneBoxAtATimeUnderFlood_data();
    void oneBoxAtATimeUnderFlood();
    void viewAndFindFollowTheModel_data();
    void viewAndFindFollowTheModel();

private:
    testutil::TempAppDir* appDir = nullptr;
    UartNetAssist* panel = nullptr;
};

void tst_UartNetAssistView::init()
{
    appDir = new testutil::TempAppDir;
    panel = new UartNetAssist;
    panel->show();
}

void tst_UartNetAssistView::cleanup()
{
    delete panel;
    panel = nullptr;
    delete appDir;
    appDir = nullptr;
    QTRY_VERIFY_WITH_TIMEOUT(!QApplication::activeModalWidget(), 5000);
}

void tst_UartNetAssistView::boundedViewEqualsInsertingEveryChunk_data()
{
    QTest::addColumn<QString>("options"); // "wrap_time_hex" as in the configuration string
    QTest::addColumn<QVector<Chunk>>("chunks");

    const auto pattern = [](int n, int seed) {
        QByteArray b;
        for (int i = 0; i < n; ++i)
            b.append(char('a' + (i + seed) % 26));
        return b;
    };

    QVector<Chunk> longLine;
    for (int i = 0; i < 120; ++i)
        longLine.append({0, pattern(1000, i)});
    QTest::newRow("one endless line, text") << QStringLiteral("0_0_0") << longLine;

    QVector<Chunk> lines;
    for (int i = 0; i < 400; ++i) {
        QByteArray b = "line " + QByteArray::number(i);
        b += (i % 3 == 0) ? "\r\n" : (i % 3 == 1) ? "\r" : "\n";
        lines.append({0, b});
    }
    QTest::newRow("many short lines, mixed breaks") << QStringLiteral("0_0_0") << lines;

    QVector<Chunk> split;
    for (int i = 0; i < 200; ++i)
        split.append({0, (i % 2) ? QByteArray("\nB") : QByteArray("A\r")}); // CR LF split over chunks
    QTest::newRow("CR and LF in separate chunks") << QStringLiteral("0_0_0") << split;

    QVector<Chunk> twoPeers;
    for (int i = 0; i < 300; ++i)
        twoPeers.append({(i / 7) % 2, pattern(100 + (i * 37) % 400, i)});
    QTest::newRow("two peers, hex, wrapped") << QStringLiteral("1_0_1") << twoPeers;
    QTest::newRow("two peers, text, wrapped") << QStringLiteral("1_0_0") << twoPeers;

    QVector<Chunk> big;
    for (int i = 0; i < 40; ++i)
        big.append({i % 2, pattern(12000, i)});
    QTest::newRow("big hex chunks beyond the bound") << QStringLiteral("0_0_1") << big;
    QTest::newRow("hex with time stamps") << QStringLiteral("1_1_1") << twoPeers;
    QTest::newRow("text with time stamps") << QStringLiteral("1_1_0") << lines;
}

void tst_UartNetAssistView::boundedViewEqualsInsertingEveryChunk()
{
    QFETCH(QString, options);
    QFETCH(QVector<Chunk>, chunks);
    const QStringList opt = options.split(QLatin1Char('_'));
    const bool wrap = opt.at(0) == QLatin1String("1");
    const bool stamps = opt.at(1) == QLatin1String("1");
    const bool hex = opt.at(2) == QLatin1String("1");

    const int port = freeUdpPort();
    panel->ApplyConfig(QStringLiteral("3,127.0.0.1,%1,%2,0_0_0_1000_0_x_0_0,,").arg(port).arg(options));
    child<QPushButton>(panel, "connect")->click();
    QVERIFY(isOpen(panel));

    QUdpSocket peers[2];
    QVERIFY(peers[0].bind(QHostAddress::LocalHost, 0));
    QVERIFY(peers[1].bind(QHostAddress::LocalHost, 0));

    ReferenceView reference;
    quint64 total = 0;
    int batchBytes = 0;
    for (int i = 0; i < chunks.size(); ++i) {
        const Chunk& c = chunks.at(i);
        QCOMPARE(peers[c.peer].writeDatagram(c.data, QHostAddress::LocalHost, quint16(port)), qint64(c.data.size()));
        total += quint64(c.data.size());
        QString formatted = stamps ? kStampPlaceholder : QString();
        formatted += hex ? hexOf(c.data) : QString::fromLocal8Bit(c.data);
        if (wrap || stamps)
            formatted += QLatin1Char('\n');
        reference.add(QStringLiteral("127.0.0.1:%1").arg(peers[c.peer].localPort()), formatted);
        // Batches small enough for the socket buffer; several chunks land in one display update.
        batchBytes += c.data.size();
        if (batchBytes >= 40000 || i % 16 == 15 || i + 1 == chunks.size()) {
            batchBytes = 0;
            // Polled finely: a batch takes a few milliseconds, the QTRY step would dominate.
            const QString want = QStringLiteral("Recv:%1").arg(total);
            QElapsedTimer batch;
            batch.start();
            while (recvLabel(panel) != want && batch.elapsed() < 10000)
                QTest::qWait(2);
            QCOMPARE(recvLabel(panel), want);
        }
    }

    auto* view = child<QPlainTextEdit>(panel, "recv_text");
    QString expected = reference.text();
    const auto normalised = [&](QString text) {
        // The first line may hold a stamp cut in half; every other stamp is compared as a pattern.
        return stamps ? afterFirstLine(text).replace(QRegularExpression(kStampPattern), kStampPlaceholder) : text;
    };
    if (stamps)
        expected = afterFirstLine(expected);
    // The last chunks reach the view with the next display update.
    QString shown;
    QElapsedTimer waited;
    waited.start();
    while ((shown = normalised(view->toPlainText())) != expected && waited.elapsed() < 5000)
        QTest::qWait(20);
    QVERIFY(view->document()->blockCount() <= UartNetAssist::recvViewMaxBlocks);
    QVERIFY(view->toPlainText().size() <= UartNetAssist::recvViewMaxChars);
    if (shown != expected) {
        const int at = [&] {
            int i = 0;
            while (i < shown.size() && i < expected.size() && shown.at(i) == expected.at(i))
                ++i;
            return i;
        }();
        QFAIL(qPrintable(QStringLiteral("views differ at %1 of %2/%3: shown \"%4\" expected \"%5\"")
                             .arg(at).arg(shown.size()).arg(expected.size())
                             .arg(shown.mid(at, 40), expected.mid(at, 40))));
    }
}

void tst_UartNetAssistView::bigChunksEqualInsertingEveryChunk_data()
{
    QTest::addColumn<QString>("options");
    QTest::addColumn<QVector<Chunk>>("chunks");

    // Multi-byte characters, CR LF pairs and broken sequences, so that any cut of a long
    // chunk lands somewhere awkward.
    const auto utf8Block = [](int n, int seed) {
        const QByteArray pieces[] = {QByteArray("abc"), QByteArray("\xc3\xa9"), QByteArray("\xe4\xb8\xad"),
                                     QByteArray("\xf0\x9f\x98\x80"), QByteArray("\xe4\xb8"),
                                     QByteArray("\x80\x80"), QByteArray("\xff")};
        QByteArray b;
        int i = seed;
        while (b.size() < n) {
            b += pieces[(i++ * 5) % 7];
            // Lines long enough that the character bound, not the line bound, decides.
            if (i % 1500 == 0)
                b += (i % 3000 == 0) ? QByteArray("\r\n") : QByteArray("xyz\r");
        }
        b.resize(n);
        return b;
    };
    const int big = 6 * UartNetAssist::recvViewMaxChars + 4;
    QVector<Chunk> text;
    for (int i = 0; i < 12; ++i)
        text.append({i % 3 == 2 ? 1 : 0, utf8Block(i % 4 == 0 ? 300 : big + 1 + i * 5, i)});
    QTest::newRow("utf-8 text, wrapped") << QStringLiteral("1_0_0") << text;
    QTest::newRow("utf-8 text, not wrapped") << QStringLiteral("0_0_0") << text;
    QTest::newRow("utf-8 text, time stamps") << QStringLiteral("1_1_0") << text;

    QVector<Chunk> zero = text;
    zero[1].data[100] = '\0';
    zero[5].data[zero[5].data.size() - 10] = '\0';
    QTest::newRow("text with zero bytes") << QStringLiteral("1_0_0") << zero;

    // Random bytes: a view that kept the wrong end of a chunk cannot match by chance.
    quint32 state = 12345;
    const auto randomBlock = [&state](int n) {
        QByteArray b(n, Qt::Uninitialized);
        for (char& c : b) {
            state = state * 1103515245u + 12345u;
            c = char(state >> 24);
        }
        return b;
    };
    QVector<Chunk> hex;
    for (int i = 0; i < 10; ++i)
        hex.append({i % 2, randomBlock(i % 3 == 0 ? 2000 : 40000 + i)});
    hex.append({0, randomBlock(3000)});
    hex.append({0, randomBlock(1000)});
    hex.append({1, randomBlock(40000)}); // fills nearly the whole view by itself
    hex.append({1, randomBlock(10)});
    QTest::newRow("hex, time stamps") << QStringLiteral("1_1_1") << hex;
    QTest::newRow("hex, wrapped") << QStringLiteral("1_0_1") << hex;
    QTest::newRow("hex, not wrapped") << QStringLiteral("0_0_1") << hex;
}

void tst_UartNetAssistView::bigChunksEqualInsertingEveryChunk()
{
    QFETCH(QString, options);
    QFETCH(QVector<Chunk>, chunks);
    const QStringList opt = options.split(QLatin1Char('_'));
    const bool wrap = opt.at(0) == QLatin1String("1");
    const bool stamps = opt.at(1) == QLatin1String("1");
    const bool hex = opt.at(2) == QLatin1String("1");

    FedPanel fed;
    fed.ApplyConfig(QStringLiteral("3,127.0.0.1,0,%1,0_0_0_1000_0_x_0_0,,").arg(options));
    ReferenceView reference;
    for (const Chunk& c : chunks) {
        const QString ip = QStringLiteral("198.18.0.%1").arg(c.peer + 1);
        fed.receiveData_slot(c.data, ip, 4000);
        QString formatted = stamps ? kStampPlaceholder : QString();
        const int zeroAt = c.data.indexOf('\0');
        formatted += hex ? hexOf(c.data) : QString::fromLocal8Bit(zeroAt < 0 ? c.data : c.data.left(zeroAt));
        if (wrap || stamps)
            formatted += QLatin1Char('\n');
        reference.add(ip + QStringLiteral(":4000"), formatted);
    }
    auto* view = child<QPlainTextEdit>(&fed, "recv_text");
    QString expected = reference.text();
    if (stamps)
        expected = afterFirstLine(expected);
    QString shown;
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 5000) {
        shown = view->toPlainText();
        if (stamps)
            shown = afterFirstLine(shown).replace(QRegularExpression(kStampPattern), kStampPlaceholder);
        if (shown == expected)
            break;
        QTest::qWait(20);
    }
    QVERIFY(view->toPlainText().size() <= UartNetAssist::recvViewMaxChars);
    QVERIFY(view->document()->blockCount() <= UartNetAssist::recvViewMaxBlocks);
    QCOMPARE(shown.size(), expected.size());
    QVERIFY(shown == expected);
}

void tst_UartNetAssistView::clearDropsPendingText()
{
    const int port = freeUdpPort();
    openLocal(panel, 3, port);
    QUdpSocket peer;
    QVERIFY(peer.bind(QHostAddress::LocalHost, 0));
    peer.writeDatagram("first", QHostAddress::LocalHost, quint16(port));
    QTRY_COMPARE_WITH_TIMEOUT(recvLabel(panel), QStringLiteral("Recv:5"), 5000);
    // Cleared before the gathered text reached the view: it must not appear afterwards.
    panel->ClearReceive();
    peer.writeDatagram("second", QHostAddress::LocalHost, quint16(port));
    QTRY_COMPARE_WITH_TIMEOUT(recvText(panel), QStringLiteral("second\n"), 5000);
}

void tst_UartNetAssistView::oneBoxAtATimeUnderFlood_data()
{
    QTest::addColumn<bool>("autoReply");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("sentPerChunk");
    QTest::newRow("auto reply to an invalid UDP destination")
        << true << QStringLiteral("Warning") << QStringLiteral("Invalid remote host addr,(Host:Port)") << 4;
    QTest::newRow("custom reply with an empty hex frame")
        << false << QStringLiteral("tips") << QStringLiteral("there is no data!") << 0;
}

void tst_UartNetAssistView::oneBoxAtATimeUnderFlood()
{
    QFETCH(bool, autoReply);
    QFETCH(QString, title);
    QFETCH(QString, text);
    QFETCH(int, sentPerChunk);

    const int port = freeUdpPort();
    openLocal(panel, 3, port);
    QVERIFY(isOpen(panel));
    if (autoReply) {
        panel->AutoReply();
    } else {
        child<QCheckBox>(panel, "send_in_hex")->setChecked(true);
        child<QPlainTextEdit>(panel, "send_text")->setPlainText(QStringLiteral("zz"));
        child<QCheckBox>(panel, "custom_reply")->click();
    }
    QUdpSocket peer;
    QVERIFY(peer.bind(QHostAddress::LocalHost, 0));
    auto* history = child<QComboBox>(panel, "remote_addr_history");

    const auto flood = [&](int n) {
        for (int i = 0; i < n; ++i) {
            history->setEditText(QStringLiteral("not-an-address")); // the peer's entry replaced by junk
            peer.writeDatagram("data", QHostAddress::LocalHost, quint16(port));
            QTest::qWait(1); // pacing the flood, not waiting for anything
        }
    };
    flood(1);
    QTRY_COMPARE_WITH_TIMEOUT(recvLabel(panel), QStringLiteral("Recv:4"), 5000);
    QTRY_COMPARE_WITH_TIMEOUT(visibleBoxes(panel), 1, 5000);
    flood(30);
    QTRY_COMPARE_WITH_TIMEOUT(recvLabel(panel), QStringLiteral("Recv:124"), 5000);
    // Every chunk was answered (and counted), yet there is still exactly one box.
    QCOMPARE(visibleBoxes(panel), 1);
    QCOMPARE(sendLabel(panel), QStringLiteral("Send:%1").arg(31 * sentPerChunk));

    QMessageBox* box = nullptr;
    for (QMessageBox* b : panel->findChildren<QMessageBox*>())
        if (b->isVisible())
            box = b;
    QVERIFY(box);
    QCOMPARE(box->windowTitle(), title);
    QCOMPARE(box->text(), text);
    QCOMPARE(QApplication::activeModalWidget(), box);
    box->button(QMessageBox::Ok)->click();
    QTRY_COMPARE_WITH_TIMEOUT(visibleBoxes(panel), 0, 5000);

    // Once answered, the next fault is reported again.
    flood(1);
    QTRY_COMPARE_WITH_TIMEOUT(visibleBoxes(panel), 1, 5000);
    auto rec = catchNextBox();
    QTRY_VERIFY_WITH_TIMEOUT(rec->seen, 5000);
    QCOMPARE(rec->text, text);
}

void tst_UartNetAssistView::viewAndFindFollowTheModel_data()
{
    QTest::addColumn<int>("scrollback");
    QTest::addColumn<bool>("hex");     // with time stamps and the text column
    QTest::addColumn<QByteArrayList>("chunks");
    QTest::addColumn<QString>("needle"); // typed into the find bar once all is shown
    QTest::addColumn<int>("key");        // then pressed: Enter, Shift+Enter (as Key_Up) or none
    QTest::addColumn<QByteArray>("later"); // received before the key
    const QByteArray later;
    const QByteArray mark("\xef\xbb\xbf");
    QByteArrayList flood;
    for (int i = 0; i < 590; ++i) // more than the view, then more while it inserts
        flood << lines(100, "c" + QByteArray::number(i) + " ", 30);
    QByteArray hexData;
    for (int i = 0; i < 40; ++i) // 0x12 five times; "12" also as text and in the stamps
        hexData += i % 8 == 3 ? QByteArray("\x12", 1) : QByteArray("12");
    QTest::newRow("CR LF across a 16 KiB piece") << 1000 << false
        << QByteArrayList{lines(420, "line ").left(16383) + "\r\nnext\n"} << QString() << 0 << later;
    QTest::newRow("byte-order marks at run and piece starts") << 1000 << false
        << QByteArrayList{mark + "first\n", lines(420, "fill ").left(16384) + mark + "piece\n"} << QString() << 0 << later;
    QTest::newRow("many lines inserted in steps") << 10000 << false << flood << QString() << 0 << later;
    QTest::newRow("hex find: received bytes only") << 1000 << true << QByteArrayList{hexData} << "12" << 0 << later;
    QTest::newRow("6000 matches, the last one reachable") << 10000 << false << QByteArrayList{lines(6000, "hit ")}
                                                          << "hit " << int(Qt::Key_Up) << QByteArray();
    QTest::newRow("Enter after the shown match scrolled out") << 50 << false << QByteArrayList{lines(49, "hit ")}
                                                              << "hit " << int(Qt::Key_Return) << lines(5, "new ");
}

void tst_UartNetAssistView::viewAndFindFollowTheModel()
{
    QFETCH(int, scrollback);
    QFETCH(bool, hex);
    QFETCH(QByteArrayList, chunks);
    QFETCH(QString, needle);
    QFETCH(int, key);
    QFETCH(QByteArray, later);
    AssistViewPrefs prefs;
    prefs.scrollback = scrollback;
    prefs.hexTextColumn = hex;
    QVERIFY(AssistShared::instance().setView(prefs));
    FedPanel fed;
    fed.show();
    fed.ApplyConfig(QStringLiteral("3,127.0.0.1,0,0_%1_%1,0_0_0_1000_0_x_0_0,,").arg(hex ? 1 : 0));
    auto* view = child<QPlainTextEdit>(&fed, "recv_text");
    auto* findText = child<QLineEdit>(&fed, "find_text");
    auto* count = child<QLabel>(&fed, "find_count");
    // The model: a document taking each chunk whole (a byte-order mark kept), bounded alike.
    QTextDocument model;
    model.setMaximumBlockCount(scrollback);
    const auto toModel = [&](const QString& text) {
        QTextCursor end(&model);
        end.movePosition(QTextCursor::End);
        end.insertText(text);
        QTextCursor cut(&model);
        cut.setPosition(qMax(0, model.characterCount() - 1 - prefs.maxChars()), QTextCursor::KeepAnchor);
        cut.removeSelectedText();
    };
    const auto feed = [&](const QByteArray& chunk) {
        fed.receiveData_slot(chunk, QStringLiteral("127.0.0.1"), 4000);
        QTextCodec::ConverterState keepMarks(QTextCodec::IgnoreHeader);
        toModel(QTextCodec::codecForName("UTF-8")->toUnicode(chunk.constData(), chunk.size(), &keepMarks));
    };
    const auto matches = [&](QVector<int> at = {}) {
        const QString t = model.toPlainText();
        for (int i = t.indexOf(needle); i >= 0; i = t.indexOf(needle, i + needle.size()))
            at << i;
        return at;
    };
    toModel(QStringLiteral("[Receive from 127.0.0.1:4000]:"));
    for (int i = 0; i < chunks.size(); ++i) {
        feed(chunks.at(i));
        if (i % 50 == 49)
            QTest::qWait(5); // the point: more arrives while the view is inserting
    }
    const auto shows = [&]() { return hex || view->toPlainText() == model.toPlainText(); };
    QTRY_VERIFY_WITH_TIMEOUT(shows(), 10000);
    if (needle.isEmpty())
        return;
    child<RecvFindBar>(&fed, "find_bar")->open();
    QTest::keyClicks(findText, needle);
    const int total = hex ? 5 : matches().size();
    QTRY_COMPARE_WITH_TIMEOUT(count->text(), QStringLiteral("1 of %1").arg(total), 5000);
    if (!later.isEmpty()) {
        feed(later);
        QTRY_VERIFY_WITH_TIMEOUT(shows(), 10000);
    }
    if (key)
        QTest::keyClick(findText, Qt::Key_Return, key == Qt::Key_Up ? Qt::ShiftModifier : Qt::NoModifier);
    // Shift+Enter wraps to the last match; Enter after the shown one went shows the oldest left.
    const QVector<int> now = matches();
    const int shown = key == Qt::Key_Up ? now.size() : 1;
    QCOMPARE(count->text(), QStringLiteral("%1 of %2").arg(shown).arg(hex ? 5 : now.size()));
    if (!hex)
        QCOMPARE(view->textCursor().selectionStart(), now.at(shown - 1));
}

QTEST_MAIN(tst_UartNetAssistView)
#include "tst_uartnetassist_view.moc"
