// The panel's optional features end to end on real UDP sockets: checksums on the wire,
// the view options (also applied to a second open panel), scrollback, the find bar and
// the send history; with every option off the view and the configuration string are
// those of a plain panel.

#include "AssistPrefs.h"
#include "FrameChecksum.h"
#include "RecvViewFormat.h"
#include "assisttestutil.h"

#include <QElapsedTimer>
#include <QMenu>
#include <QNetworkDatagram>
#include <QRegularExpression>
#include <QSettings>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QtTest>

using namespace assisttest;

struct Chunk
{
    int peer;
    QByteArray data;
};
Q_DECLARE_METATYPE(Chunk)

namespace {

// Feeds chunks straight into the receive slot, so that chunk sizes are exact.
class FedPanel : public UartNetAssist
{
public:
    using UartNetAssist::receiveData_slot;
};

} // namespace

class tst_UartNetAssistOptions : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void plainPanelUnchanged();
    void checksumOnTheWire_data();
    void checksumOnTheWire();
    void checksumChoiceShared();
    void viewOptionsFromMenu_data();
    void viewOptionsFromMenu();
    void scrollbackKeepsMoreLines();
    void largeScrollbackEqualsInsertingEveryChunk_data();
    void largeScrollbackEqualsInsertingEveryChunk();
    void findBarCountsAndWraps();
    void sendHistoryRecall();

private:
    // Opens `p` as a UDP socket whose destination is `peer`.
    void openUdpTo(UartNetAssist* p, QUdpSocket& peer, int& port);
    void receive(const QByteArray& data, int expectTotal);
    // Triggers the receive view's context menu action `name` of panel `p`.
    void triggerMenuAction(UartNetAssist* p, const char* name);

    testutil::TempAppDir* appDir = nullptr;
    UartNetAssist* panel = nullptr;
    QUdpSocket* peer = nullptr;
    int port = 0;
};

void tst_UartNetAssistOptions::init()
{
    appDir = new testutil::TempAppDir;
    panel = new UartNetAssist;
    panel->show();
    peer = new QUdpSocket;
    QVERIFY(peer->bind(QHostAddress::LocalHost, 0));
}

void tst_UartNetAssistOptions::cleanup()
{
    delete panel;
    panel = nullptr;
    delete peer;
    peer = nullptr;
    delete appDir;
    appDir = nullptr;
    QTRY_VERIFY_WITH_TIMEOUT(!QApplication::activeModalWidget(), 5000);
}

void tst_UartNetAssistOptions::openUdpTo(UartNetAssist* p, QUdpSocket& to, int& localPort)
{
    localPort = freeUdpPort();
    openLocal(p, 3, localPort);
    QVERIFY(isOpen(p));
    child<QComboBox>(p, "remote_addr_history")->setEditText(QStringLiteral("127.0.0.1:%1").arg(to.localPort()));
}

void tst_UartNetAssistOptions::receive(const QByteArray& data, int expectTotal)
{
    QCOMPARE(peer->writeDatagram(data, QHostAddress::LocalHost, quint16(port)), qint64(data.size()));
    QTRY_COMPARE_WITH_TIMEOUT(recvLabel(panel), QStringLiteral("Recv:%1").arg(expectTotal), 5000);
}

void tst_UartNetAssistOptions::triggerMenuAction(UartNetAssist* p, const char* name)
{
    auto* view = child<QPlainTextEdit>(p, "recv_text");
    emit view->customContextMenuRequested(QPoint(5, 5));
    QMenu* menu = view->findChild<QMenu*>(QStringLiteral("recv_menu"));
    QVERIFY(menu);
    QAction* action = menu->findChild<QAction*>(QString::fromLatin1(name));
    QVERIFY2(action, name);
    action->trigger();
    menu->close();
}

void tst_UartNetAssistOptions::plainPanelUnchanged()
{
    openUdpTo(panel, *peer, port);
    const QString before = panel->GetCurrentConfig();
    QCOMPARE(before, QStringLiteral("3,127.0.0.1,%1,1_0_0,0_0_0_1000_0_\\r\\n_0_0,127.0.0.1:%2,http://www.example.com")
                         .arg(port)
                         .arg(peer->localPort()));
    receive(QByteArray("a\r\nb\0c\t", 7), 7);
    receive(QByteArray("\x01z"), 9);
    const QString header = QStringLiteral("[Receive from 127.0.0.1:%1]:").arg(peer->localPort());
    // The plain rules: a zero byte ends the text, control bytes are passed as they are.
    QTRY_COMPARE_WITH_TIMEOUT(recvText(panel), header + QStringLiteral("a\nb\n\u0001z\n"), 5000);

    // Choices kept outside the seven fields leave the string as it was.
    child<QComboBox>(panel, "checksum_type")->setCurrentIndex(5);
    AssistViewPrefs all;
    all.msStamps = all.showEscapes = all.hexTextColumn = true;
    all.scrollback = 1000;
    QVERIFY(AssistShared::instance().setView(all));
    QCOMPARE(panel->GetCurrentConfig(), before);
    QCOMPARE(before.split(QLatin1Char(',')).size(), 7);
}

void tst_UartNetAssistOptions::checksumOnTheWire_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<bool>("hex");
    QTest::addColumn<bool>("addition");
    QTest::addColumn<bool>("periodic");
    QTest::addColumn<QString>("box");
    QTest::addColumn<QByteArray>("wire");
    QTest::newRow("text, crc-16/modbus") << 3 << false << false << false << "123456789"
                                        << QByteArray("123456789\x37\x4b");
    QTest::newRow("hex, crc-16/modbus") << 3 << true << false << false << "01 03 00 00 00 0a"
                                       << QByteArray::fromHex("01030000000ac5cd");
    QTest::newRow("text, crc-32, before the addition") << 5 << false << true << false << "123456789"
                                                      << QByteArray("123456789\x26\x39\xf4\xcb\r\n");
    QTest::newRow("periodic, sum-8") << 1 << false << false << true << "123456789"
                                    << QByteArray("123456789\xdd");
    QTest::newRow("none") << 0 << false << false << false << "123456789" << QByteArray("123456789");
}

void tst_UartNetAssistOptions::checksumOnTheWire()
{
    QFETCH(int, type);
    QFETCH(bool, hex);
    QFETCH(bool, addition);
    QFETCH(bool, periodic);
    QFETCH(QString, box);
    QFETCH(QByteArray, wire);
    openUdpTo(panel, *peer, port);
    child<QComboBox>(panel, "checksum_type")->setCurrentIndex(type);
    child<QCheckBox>(panel, "send_in_hex")->setChecked(hex);
    child<QCheckBox>(panel, "auto_addition")->setChecked(addition);
    child<QCheckBox>(panel, "circular_send")->setChecked(periodic);
    child<QLineEdit>(panel, "circular_time")->setText(QStringLiteral("50"));
    child<QPlainTextEdit>(panel, "send_text")->setPlainText(box);
    child<QPushButton>(panel, "btn_send")->click();
    QTRY_VERIFY_WITH_TIMEOUT(peer->hasPendingDatagrams(), 5000);
    QCOMPARE(peer->receiveDatagram().data(), wire);
    if (periodic) {
        QTRY_VERIFY_WITH_TIMEOUT(peer->hasPendingDatagrams(), 5000); // each tick carries it
        QCOMPARE(peer->receiveDatagram().data(), wire);
        child<QPushButton>(panel, "btn_send")->click();
    } else {
        QCOMPARE(sendLabel(panel), QStringLiteral("Send:%1").arg(wire.size()));
    }
}

void tst_UartNetAssistOptions::checksumChoiceShared()
{
    UartNetAssist second;
    child<QComboBox>(panel, "checksum_type")->setCurrentIndex(4);
    QCOMPARE(child<QComboBox>(&second, "checksum_type")->currentIndex(), 4);
    QCOMPARE(QSettings(appDir->filePath(QStringLiteral("config/assist.ini")), QSettings::IniFormat)
                 .value(QStringLiteral("send/checksum")).toString(),
             QStringLiteral("4"));
    UartNetAssist later;
    QCOMPARE(child<QComboBox>(&later, "checksum_type")->currentIndex(), 4);
    // The combo's items are the checksums in the order of the stored index.
    auto* combo = child<QComboBox>(&later, "checksum_type");
    QCOMPARE(combo->count(), int(FrameChecksum::TypeCount));
    for (int i = 1; i < combo->count(); ++i)
        QCOMPARE(combo->itemText(i), QString::fromLatin1(FrameChecksum::name(FrameChecksum::typeFromIndex(i))));
}

void tst_UartNetAssistOptions::viewOptionsFromMenu_data()
{
    QTest::addColumn<QByteArray>("action");
    QTest::addColumn<QString>("receiveOptions"); // wrap_time_hex
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("pattern"); // what follows the header
    QTest::newRow("ms stamps") << QByteArray("action_ms_stamps") << "1_1_0" << QByteArray("hi")
                               << "\\[\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3}\\]hi\\n";
    QTest::newRow("control bytes") << QByteArray("action_show_escapes") << "0_0_0" << QByteArray("a\0\r\n", 4)
                                   << "a\\\\x00\\\\r\\\\n\\n";
    QTest::newRow("hex with text column") << QByteArray("action_hex_text_column") << "0_0_1" << QByteArray("AB\n")
                                          << "\\n41 42 0a {41}AB\\.\\n";
}

void tst_UartNetAssistOptions::viewOptionsFromMenu()
{
    QFETCH(QByteArray, action);
    QFETCH(QString, receiveOptions);
    QFETCH(QByteArray, data);
    QFETCH(QString, pattern);
    UartNetAssist other; // already open when the option changes: follows it too
    panel->ApplyConfig(QStringLiteral("3,127.0.0.1,0,%1,0_0_0_1000_0_x_0_0,,").arg(receiveOptions));
    other.ApplyConfig(panel->GetCurrentConfig());
    triggerMenuAction(panel, action.constData());
    const QRegularExpression expected(QStringLiteral("^\\[Receive from 127\\.0\\.0\\.1:\\d+\\]:") + pattern + '$');
    for (UartNetAssist* p : {panel, &other}) {
        int localPort = 0;
        openUdpTo(p, *peer, localPort);
        QCOMPARE(peer->writeDatagram(data, QHostAddress::LocalHost, quint16(localPort)), qint64(data.size()));
        QTRY_VERIFY2_WITH_TIMEOUT(expected.match(recvText(p)).hasMatch(), qPrintable(recvText(p)), 5000);
    }
    // Switched off again from the other panel, and remembered either way.
    QSettings ini(appDir->filePath(QStringLiteral("config/assist.ini")), QSettings::IniFormat);
    const QString key = QStringLiteral("view/") + QString::fromLatin1(action.mid(7));
    QCOMPARE(ini.value(key).toString(), QStringLiteral("true"));
    triggerMenuAction(&other, action.constData());
    QCOMPARE(QSettings(ini.fileName(), QSettings::IniFormat).value(key).toString(), QStringLiteral("false"));
}

void tst_UartNetAssistOptions::scrollbackKeepsMoreLines()
{
    triggerMenuAction(panel, "action_scrollback_1000");
    openUdpTo(panel, *peer, port);
    int total = 0;
    for (int i = 0; i < 300; ++i) {
        const QByteArray line = "line " + QByteArray::number(i);
        total += line.size();
        QCOMPARE(peer->writeDatagram(line, QHostAddress::LocalHost, quint16(port)), qint64(line.size()));
        if (i % 50 == 49)
            QTRY_COMPARE_WITH_TIMEOUT(recvLabel(panel), QStringLiteral("Recv:%1").arg(total), 5000);
    }
    auto* view = child<QPlainTextEdit>(panel, "recv_text");
    // The header's line holds the first chunk; a last empty line follows the final break.
    QTRY_COMPARE_WITH_TIMEOUT(view->document()->blockCount(), 301, 5000);
    QVERIFY(recvText(panel).contains(QStringLiteral("]:line 0\nline 1\n")));
    QCOMPARE(QSettings(appDir->filePath(QStringLiteral("config/assist.ini")), QSettings::IniFormat)
                 .value(QStringLiteral("view/scrollback")).toString(),
             QStringLiteral("1000"));
    // Back to 50: the view drops what is beyond it at once.
    triggerMenuAction(panel, "action_scrollback_50");
    QCOMPARE(view->document()->blockCount(), 50);
}

void tst_UartNetAssistOptions::largeScrollbackEqualsInsertingEveryChunk_data()
{
    QTest::addColumn<QString>("options"); // wrap_time_hex
    QTest::addColumn<QVector<Chunk>>("chunks");
    const auto lines = [](int bytes, int seed) {
        QByteArray b;
        for (int i = 0; b.size() < bytes; ++i)
            b += "line " + QByteArray::number(seed) + '.' + QByteArray::number(i) + ((i % 3) ? "\n" : "\r\n");
        return b;
    };
    QVector<Chunk> mixed;
    for (int i = 0; i < 40; ++i)
        mixed.append({i % 3 == 0 ? 1 : 0, lines(i % 10 == 9 ? 300000 : 2000, i)});
    mixed.append({0, lines(2500000, 99)}); // fills the view many times over
    for (int i = 0; i < 30; ++i)
        mixed.append({i % 2, lines(3000, 100 + i)});
    QTest::newRow("text, wrapped") << "1_0_0" << mixed;
    QTest::newRow("text, not wrapped") << "0_0_0" << mixed;
    QVector<Chunk> zero = mixed;
    zero[9].data[100] = '\0';
    zero[40].data[zero[40].data.size() - 5000] = '\0';
    QTest::newRow("text with zero bytes") << "1_0_0" << zero;
    QVector<Chunk> hex = mixed.mid(0, 12);
    hex.append({1, lines(200000, 7)});
    hex.append({0, lines(50, 8)});
    QTest::newRow("hex, wrapped") << "1_0_1" << hex;
    // One endless line: folded, and never laid out whole.
    QVector<Chunk> endless;
    for (int i = 0; i < 30; ++i)
        endless.append({0, QByteArray(i == 20 ? 300000 : 5000, char('a' + i % 26))});
    QTest::newRow("one endless line") << "0_0_0" << endless;
}

void tst_UartNetAssistOptions::largeScrollbackEqualsInsertingEveryChunk()
{
    QFETCH(QString, options);
    QFETCH(QVector<Chunk>, chunks);
    const bool wrap = options.startsWith(QLatin1Char('1'));
    const bool hex = options.endsWith(QLatin1Char('1'));
    AssistViewPrefs prefs;
    prefs.scrollback = 1000;
    QVERIFY(AssistShared::instance().setView(prefs));
    FedPanel fed;
    fed.ApplyConfig(QStringLiteral("3,127.0.0.1,0,%1,0_0_0_1000_0_x_0_0,,").arg(options));

    // A bare document bounded like the view, every chunk inserted as it comes.
    QTextDocument reference;
    reference.setMaximumBlockCount(prefs.scrollback);
    const auto trim = [&]() {
        const int excess = reference.characterCount() - 1 - prefs.maxChars();
        if (excess > 0) {
            QTextCursor c(&reference);
            c.setPosition(excess, QTextCursor::KeepAnchor);
            c.removeSelectedText();
        }
    };
    // Lines beyond the fold width continue on the next line in a large view.
    int column = 0;
    const auto fold = [&column](QString text) {
        RecvViewFormat::foldLongLines(text, column, UartNetAssist::recvViewFoldChars);
        return text;
    };
    QString lastSender;
    for (const Chunk& c : chunks) {
        const QString ip = QStringLiteral("198.18.0.%1").arg(c.peer + 1);
        fed.receiveData_slot(c.data, ip, 4000);
        QTextCursor end(&reference);
        end.movePosition(QTextCursor::End);
        if (ip != lastSender) {
            if (!reference.isEmpty())
                end.insertBlock();
            column = 0;
            end.insertText(fold(QStringLiteral("[Receive from %1:4000]:").arg(ip)));
            lastSender = ip;
            trim();
        }
        QString formatted;
        if (hex) {
            for (const char ch : c.data)
                formatted += QStringLiteral("%1 ").arg(static_cast<uchar>(ch), 2, 16, QLatin1Char('0'));
        } else {
            const int zeroAt = c.data.indexOf('\0');
            formatted = QString::fromLocal8Bit(zeroAt < 0 ? c.data : c.data.left(zeroAt));
        }
        if (wrap)
            formatted += QLatin1Char('\n');
        end.movePosition(QTextCursor::End);
        end.insertText(fold(formatted));
        trim();
    }
    auto* view = child<QPlainTextEdit>(&fed, "recv_text");
    const QString expected = reference.toPlainText();
    QElapsedTimer waited;
    waited.start();
    while (view->toPlainText() != expected && waited.elapsed() < 20000)
        QTest::qWait(20);
    QVERIFY(view->document()->blockCount() <= prefs.scrollback);
    for (QTextBlock b = view->document()->begin(); b.isValid(); b = b.next())
        QVERIFY(b.length() <= UartNetAssist::recvViewFoldChars + 1);
    QCOMPARE(view->toPlainText().size(), expected.size());
    QVERIFY(view->toPlainText() == expected);
    // More than the default view could hold.
    QVERIFY(view->document()->blockCount() > UartNetAssist::recvViewMaxBlocks
            || expected.size() > UartNetAssist::recvViewMaxChars);
}

void tst_UartNetAssistOptions::findBarCountsAndWraps()
{
    openUdpTo(panel, *peer, port);
    QByteArray data;
    for (int i = 0; i < 17; ++i)
        data += (i % 2) ? "OK\r\n" : "ok ";
    receive(data, data.size());
    QTRY_VERIFY_WITH_TIMEOUT(recvText(panel).endsWith(QStringLiteral("ok \n")), 5000);

    auto* view = child<QPlainTextEdit>(panel, "recv_text");
    QApplication::setActiveWindow(panel);
    QVERIFY(QTest::qWaitForWindowActive(panel));
    view->setFocus();
    QTRY_VERIFY_WITH_TIMEOUT(view->hasFocus(), 5000);
    QTest::keyClick(view, Qt::Key_F, Qt::ControlModifier);
    QWidget* bar = child<QWidget>(panel, "find_bar");
    QVERIFY(bar->isVisible());
    auto* text = child<QLineEdit>(panel, "find_text");
    QTRY_VERIFY_WITH_TIMEOUT(text->hasFocus(), 5000);
    QTest::keyClicks(text, QStringLiteral("ok"));
    auto* count = child<QLabel>(panel, "find_count");
    QCOMPARE(count->text(), QStringLiteral("1 of 17"));
    QTest::keyClick(text, Qt::Key_Return);
    QCOMPARE(count->text(), QStringLiteral("2 of 17"));
    QTest::keyClick(text, Qt::Key_Return, Qt::ShiftModifier);
    QTest::keyClick(text, Qt::Key_Return, Qt::ShiftModifier);
    QCOMPARE(count->text(), QStringLiteral("17 of 17")); // wrapped backwards
    QTest::keyClick(text, Qt::Key_Return);
    QCOMPARE(count->text(), QStringLiteral("1 of 17"));
    QCOMPARE(view->extraSelections().size(), 17);
    QCOMPARE(view->textCursor().selectedText().toLower(), QStringLiteral("ok"));
    child<QCheckBox>(panel, "find_case")->setChecked(true);
    QCOMPARE(count->text(), QStringLiteral("1 of 9"));

    // In a hex view the typed text is bytes: "0d0a" finds every line end.
    child<QCheckBox>(panel, "show_in_hex")->click();
    receive(data, 2 * data.size());
    QTRY_VERIFY_WITH_TIMEOUT(recvText(panel).endsWith(QStringLiteral("6f 6b 20 \n")), 5000);
    text->setText(QStringLiteral("0D0A"));
    QCOMPARE(count->text(), QStringLiteral("1 of 8"));
    QTest::keyClick(text, Qt::Key_Escape);
    QVERIFY(!bar->isVisible());
    QVERIFY(view->extraSelections().isEmpty());
}

void tst_UartNetAssistOptions::sendHistoryRecall()
{
    openUdpTo(panel, *peer, port);
    UartNetAssist other;
    auto* box = child<QPlainTextEdit>(panel, "send_text");
    const auto send = [&](const QString& payload) {
        box->setPlainText(payload);
        child<QPushButton>(panel, "btn_send")->click();
        QTRY_VERIFY_WITH_TIMEOUT(peer->hasPendingDatagrams(), 5000);
        QCOMPARE(peer->receiveDatagram().data(), payload.toLocal8Bit());
    };
    send(QStringLiteral("first"));
    send(QStringLiteral("second"));
    send(QStringLiteral("two\nlines"));
    send(QStringLiteral("first"));
    auto* history = child<QComboBox>(panel, "send_history");
    QCOMPARE(history->count(), 3);
    QCOMPARE(history->itemData(0).toString(), QStringLiteral("first"));
    QCOMPARE(history->itemData(1).toString(), QStringLiteral("two\nlines"));
    QCOMPARE(child<QComboBox>(&other, "send_history")->itemData(2).toString(), QStringLiteral("second"));

    box->setPlainText(QStringLiteral("draft"));
    box->setFocus();
    QTest::keyClick(box, Qt::Key_Up, Qt::ControlModifier);
    QCOMPARE(box->toPlainText(), QStringLiteral("first"));
    QTest::keyClick(box, Qt::Key_Up, Qt::ControlModifier);
    QCOMPARE(box->toPlainText(), QStringLiteral("two\nlines"));
    QTest::keyClick(box, Qt::Key_Down, Qt::ControlModifier);
    QTest::keyClick(box, Qt::Key_Down, Qt::ControlModifier);
    QCOMPARE(box->toPlainText(), QStringLiteral("draft"));

    emit history->activated(2);
    QCOMPARE(box->toPlainText(), QStringLiteral("second"));
    QCOMPARE(history->currentIndex(), -1);

    QSettings ini(appDir->filePath(QStringLiteral("config/assist.ini")), QSettings::IniFormat);
    QCOMPARE(ini.value(QStringLiteral("send_history/count")).toInt(), 3);
    QCOMPARE(ini.value(QStringLiteral("send_history/2")).toString(), QStringLiteral("two\nlines"));
}

QTEST_MAIN(tst_UartNetAssistOptions)
#include "tst_uartnetassist_options.moc"
