// The assistant panel's sending side against real peers: frames, addition bytes,
// destinations, the send check, periodic sending, replies and the hex toggle.

#include "assisttestutil.h"

#include <QElapsedTimer>
#include <QNetworkDatagram>
#include <QSerialPort>
#include <QTcpSocket>
#include <QtTest>

using namespace assisttest;

namespace {

// Reaches what the panel keeps to itself: the periodic timer and the device backlog.
class ProbePanel : public UartNetAssist
{
public:
    using UartNetAssist::deviceBacklog;
    QTimer* timer() const { return periodicTimer; }
};

} // namespace

class tst_UartNetAssistSend : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void additionBytes_data();
    void additionBytes();
    void hexFrames_data();
    void hexFrames();
    void hexWithoutDigitsSendsNothing();
    void hexWithoutDigitsStopsPeriodic();
    void hexToggleConvertsSendBox();
    void serialSend();
    void sendCheckReasons_data();
    void sendCheckReasons();
    void udpInvalidDestinationByButton();
    void periodicFirstFrameAfterOneInterval();
    void periodicEmptyBoxDoesNotStart();
    void uncheckingPeriodicStops();
    void clearAfterSend_data();
    void clearAfterSend();
    void replyExclusivity();
    void autoReplyEchoesWithAddition();
    void customReplySendsSendBox();
    void sendContentFillsEmptyBox();
    void clearUdpHistory_data();
    void clearUdpHistory();
    void periodicIntervalOutOfRange_data();
    void periodicIntervalOutOfRange();
    void periodicBoundedBehindNonReader();

private:
    // A TCP client panel connected to a local server; `peer` is the server's side.
    void connectClientPanel();

    testutil::TempAppDir* appDir = nullptr;
    UartNetAssist* panel = nullptr;
    QTcpServer* server = nullptr;
    QTcpSocket* peer = nullptr;
};

void tst_UartNetAssistSend::init()
{
    appDir = new testutil::TempAppDir;
    panel = new UartNetAssist;
    panel->show();
}

void tst_UartNetAssistSend::cleanup()
{
    delete panel;
    panel = nullptr;
    delete server; // its pending socket goes with it
    server = nullptr;
    peer = nullptr;
    delete appDir;
    appDir = nullptr;
    QTRY_VERIFY_WITH_TIMEOUT(!QApplication::activeModalWidget(), 5000);
}

void tst_UartNetAssistSend::connectClientPanel()
{
    server = new QTcpServer;
    QVERIFY(server->listen(QHostAddress::LocalHost, 0));
    openClient(panel, QStringLiteral("127.0.0.1:%1").arg(server->serverPort()));
    QVERIFY(isOpen(panel));
    QTRY_VERIFY_WITH_TIMEOUT(server->hasPendingConnections(), 5000);
    peer = server->nextPendingConnection();
}

void tst_UartNetAssistSend::additionBytes_data()
{
    QTest::addColumn<bool>("on");
    QTest::addColumn<QString>("addition");
    QTest::addColumn<QByteArray>("wire");
    QTest::newRow("default CR LF") << true << QStringLiteral("\\r\\n") << QByteArray("AT\r\n");
    QTest::newRow("plain text") << true << QStringLiteral("OK") << QByteArray("ATOK");
    QTest::newRow("text then LF") << true << QStringLiteral("AB\\n") << QByteArray("ATAB\n");
    QTest::newRow("LF CR order gives CR LF") << true << QStringLiteral("\\n\\r") << QByteArray("AT\r\n");
    QTest::newRow("hex-looking text stays text") << true << QStringLiteral("55AA") << QByteArray("AT55AA");
    QTest::newRow("escape in the middle") << true << QStringLiteral("X\\rY") << QByteArray("ATXY\r");
    QTest::newRow("off") << false << QStringLiteral("\\r\\n") << QByteArray("AT");
}

void tst_UartNetAssistSend::additionBytes()
{
    QFETCH(bool, on);
    QFETCH(QString, addition);
    QFETCH(QByteArray, wire);
    connectClientPanel();
    if (on)
        panel->AutoAddition();
    QCOMPARE(child<QCheckBox>(panel, "auto_addition")->isChecked(), on);
    child<QLineEdit>(panel, "edit_additional")->setText(addition);
    child<QPlainTextEdit>(panel, "send_text")->setPlainText(QStringLiteral("AT"));
    child<QPushButton>(panel, "btn_send")->click();
    QTRY_COMPARE_WITH_TIMEOUT(peer->bytesAvailable(), qint64(wire.size()), 5000);
    QCOMPARE(peer->readAll(), wire);
    QCOMPARE(sendLabel(panel), QStringLiteral("Send:%1").arg(wire.size()));
}

void tst_UartNetAssistSend::hexFrames_data()
{
    QTest::addColumn<QString>("hex");
    QTest::addColumn<QByteArray>("wire");
    QTest::newRow("spaced") << QStringLiteral("41 42") << QByteArray("AB");
    QTest::newRow("joined") << QStringLiteral("4142") << QByteArray("AB");
    QTest::newRow("odd digit count") << QStringLiteral("a1f") << QByteArray("\x0a\x1f", 2);
    QTest::newRow("0x prefix") << QStringLiteral("0x41") << QByteArray("\x00\x41", 2);
    QTest::newRow("zero byte kept") << QStringLiteral("00 ff 10") << QByteArray("\x00\xff\x10", 3);
    QTest::newRow("two spaces") << QStringLiteral("41  42") << QByteArray("AB");
}

void tst_UartNetAssistSend::hexFrames()
{
    QFETCH(QString, hex);
    QFETCH(QByteArray, wire);
    connectClientPanel();
    child<QCheckBox>(panel, "send_in_hex")->setChecked(true); // no conversion by program
    child<QPlainTextEdit>(panel, "send_text")->setPlainText(hex);
    child<QPushButton>(panel, "btn_send")->click();
    QTRY_COMPARE_WITH_TIMEOUT(peer->bytesAvailable(), qint64(wire.size()), 5000);
    QCOMPARE(peer->readAll(), wire);
}

void tst_UartNetAssistSend::hexWithoutDigitsSendsNothing()
{
    connectClientPanel();
    child<QCheckBox>(panel, "send_in_hex")->setChecked(true);
    child<QPlainTextEdit>(panel, "send_text")->setPlainText(QStringLiteral("zz yy"));
    auto box = catchNextBox();
    child<QPushButton>(panel, "btn_send")->click();
    QTRY_VERIFY_WITH_TIMEOUT(box->seen, 5000);
    QCOMPARE(box->title, QStringLiteral("tips"));
    QCOMPARE(box->text, QStringLiteral("there is no data!"));
    QCOMPARE(sendLabel(panel), QStringLiteral("Send:0"));
    QVERIFY(!peer->waitForReadyRead(100)); // the point: nothing was written
}

void tst_UartNetAssistSend::hexWithoutDigitsStopsPeriodic()
{
    connectClientPanel();
    child<QCheckBox>(panel, "send_in_hex")->setChecked(true);
    child<QCheckBox>(panel, "circular_send")->click();
    child<QLineEdit>(panel, "circular_time")->setText(QStringLiteral("50"));
    auto* box = child<QPlainTextEdit>(panel, "send_text");
    box->setPlainText(QStringLiteral("31"));
    auto* send = child<QPushButton>(panel, "btn_send");
    send->click();
    QCOMPARE(send->text(), QStringLiteral("stop send"));
    QTRY_VERIFY_WITH_TIMEOUT(peer->bytesAvailable() >= 2, 5000);

    auto rec = catchNextBox();
    box->setPlainText(QStringLiteral("zz yy"));
    QTRY_VERIFY_WITH_TIMEOUT(rec->seen, 5000);
    QCOMPARE(rec->text, QStringLiteral("there is no data!"));
    QCOMPARE(send->text(), QStringLiteral("send"));
    QVERIFY(box->isEnabled());
    QVERIFY(child<QPushButton>(panel, "clear_send_data")->isEnabled());
}

void tst_UartNetAssistSend::hexToggleConvertsSendBox()
{
    auto* box = child<QPlainTextEdit>(panel, "send_text");
    auto* hex = child<QCheckBox>(panel, "send_in_hex");
    box->setPlainText(QStringLiteral("AB"));
    hex->click();
    QCOMPARE(box->toPlainText(), QStringLiteral("41 42 "));
    hex->click();
    QCOMPARE(box->toPlainText(), QStringLiteral("AB"));
    // Back from hex stops at a zero byte.
    hex->click();
    box->setPlainText(QStringLiteral("41 00 42"));
    hex->click();
    QCOMPARE(box->toPlainText(), QStringLiteral("A"));
}

void tst_UartNetAssistSend::serialSend()
{
    if (!testutil::haveSocat())
        QSKIP("socat is not available");
    testutil::SocatPair pair;
    QVERIFY(pair.isValid());
    openSerial(panel, pair.portA());
    QVERIFY(isOpen(panel));
    QSerialPort other(pair.portB());
    QVERIFY(other.open(QIODevice::ReadWrite));
    panel->AutoAddition();
    child<QPlainTextEdit>(panel, "send_text")->setPlainText(QStringLiteral("AT"));
    panel->SendContent();
    QTRY_COMPARE_WITH_TIMEOUT(other.bytesAvailable(), qint64(4), 5000);
    QCOMPARE(other.readAll(), QByteArray("AT\r\n"));
    QCOMPARE(sendLabel(panel), QStringLiteral("Send:4"));
}

void tst_UartNetAssistSend::sendCheckReasons_data()
{
    QTest::addColumn<int>("protocol");
    QTest::addColumn<QString>("reason");
    QTest::newRow("serial not open") << 0 << QStringLiteral("Serial is not opend!");
    QTest::newRow("server without clients") << 1 << QStringLiteral("There is no connection now!");
    QTest::newRow("udp without port") << 3 << QStringLiteral("Invalid remote host addr,(Host:Port)");
    // These two have no reason of their own in the check; the panel names one.
    QTest::newRow("tcp client not connected") << 2 << QStringLiteral("The TCP client is not connected!");
    QTest::newRow("udp not open") << 4 << QStringLiteral("The UDP socket is not open!");
}

void tst_UartNetAssistSend::sendCheckReasons()
{
    QFETCH(int, protocol);
    QFETCH(QString, reason);
    if (protocol == 1) {
        openLocal(panel, 1, freeTcpPort());
        QVERIFY(isOpen(panel));
    } else if (protocol == 3) {
        openLocal(panel, 3, freeUdpPort());
        QVERIFY(isOpen(panel));
        child<QComboBox>(panel, "remote_addr_history")->setEditText(QStringLiteral("127.0.0.1"));
    } else if (protocol == 4) {
        setProtocol(panel, 3);
        child<QComboBox>(panel, "remote_addr_history")->setEditText(QStringLiteral("127.0.0.1:9"));
    } else {
        setProtocol(panel, protocol);
    }
    auto box = catchNextBox();
    panel->SendContent();
    QTRY_VERIFY_WITH_TIMEOUT(box->seen, 5000);
    QCOMPARE(box->title, QStringLiteral("tips"));
    QCOMPARE(box->text, reason);
    QCOMPARE(sendLabel(panel), QStringLiteral("Send:0"));
}

void tst_UartNetAssistSend::udpInvalidDestinationByButton()
{
    openLocal(panel, 3, freeUdpPort());
    child<QComboBox>(panel, "remote_addr_history")->setEditText(QStringLiteral("no-port-here"));
    auto box = catchNextBox();
    child<QPushButton>(panel, "btn_send")->click();
    QTRY_VERIFY_WITH_TIMEOUT(box->seen, 5000);
    QCOMPARE(box->text, QStringLiteral("Invalid remote host addr,(Host:Port)"));
}

void tst_UartNetAssistSend::periodicFirstFrameAfterOneInterval()
{
    connectClientPanel();
    child<QCheckBox>(panel, "circular_send")->click();
    child<QCheckBox>(panel, "clear_after_send")->click();
    child<QLineEdit>(panel, "circular_time")->setText(QStringLiteral("300"));
    child<QPlainTextEdit>(panel, "send_text")->setPlainText(QStringLiteral("P"));
    QElapsedTimer clock;
    clock.start();
    child<QPushButton>(panel, "btn_send")->click();
    QCOMPARE(sendLabel(panel), QStringLiteral("Send:0")); // nothing at the click itself
    QTRY_VERIFY_WITH_TIMEOUT(peer->bytesAvailable() >= 1, 5000);
    QVERIFY2(clock.elapsed() >= 250, qPrintable(QString::number(clock.elapsed())));
    QTRY_VERIFY_WITH_TIMEOUT(peer->bytesAvailable() >= 3, 5000);
    QVERIFY(clock.elapsed() >= 850);
    // With periodic sending the box is never cleared.
    QCOMPARE(child<QPlainTextEdit>(panel, "send_text")->toPlainText(), QStringLiteral("P"));
    child<QPushButton>(panel, "btn_send")->click();
    QCOMPARE(child<QPushButton>(panel, "btn_send")->text(), QStringLiteral("send"));
    QVERIFY(peer->readAll().startsWith("PPP"));
}

void tst_UartNetAssistSend::periodicEmptyBoxDoesNotStart()
{
    connectClientPanel();
    child<QCheckBox>(panel, "circular_send")->click();
    child<QPlainTextEdit>(panel, "send_text")->clear();
    auto box = catchNextBox();
    child<QPushButton>(panel, "btn_send")->click();
    QTRY_VERIFY_WITH_TIMEOUT(box->seen, 5000);
    QCOMPARE(box->text, QStringLiteral("there is no data!"));
    QCOMPARE(child<QPushButton>(panel, "btn_send")->text(), QStringLiteral("Send"));
    QVERIFY(child<QPlainTextEdit>(panel, "send_text")->isEnabled());
}

void tst_UartNetAssistSend::uncheckingPeriodicStops()
{
    connectClientPanel();
    auto* periodic = child<QCheckBox>(panel, "circular_send");
    periodic->click();
    child<QLineEdit>(panel, "circular_time")->setText(QStringLiteral("50"));
    child<QPlainTextEdit>(panel, "send_text")->setPlainText(QStringLiteral("x"));
    child<QPushButton>(panel, "btn_send")->click();
    QTRY_VERIFY_WITH_TIMEOUT(peer->bytesAvailable() >= 1, 5000);
    periodic->click();
    QCOMPARE(child<QPushButton>(panel, "btn_send")->text(), QStringLiteral("send"));
    QVERIFY(child<QPlainTextEdit>(panel, "send_text")->isEnabled());
    const QString count = sendLabel(panel);
    QTest::qWait(200); // the point: no more ticks
    QCOMPARE(sendLabel(panel), count);
}

void tst_UartNetAssistSend::clearAfterSend_data()
{
    QTest::addColumn<bool>("clear");
    QTest::addColumn<QString>("after");
    QTest::newRow("auto clear") << true << QString();
    QTest::newRow("keep") << false << QStringLiteral("keep me");
}

void tst_UartNetAssistSend::clearAfterSend()
{
    QFETCH(bool, clear);
    QFETCH(QString, after);
    connectClientPanel();
    child<QCheckBox>(panel, "clear_after_send")->setChecked(clear);
    child<QPlainTextEdit>(panel, "send_text")->setPlainText(QStringLiteral("keep me"));
    child<QPushButton>(panel, "btn_send")->click();
    QCOMPARE(child<QPlainTextEdit>(panel, "send_text")->toPlainText(), after);
    QTRY_COMPARE_WITH_TIMEOUT(peer->bytesAvailable(), qint64(7), 5000);
}

void tst_UartNetAssistSend::replyExclusivity()
{
    auto* autoReply = child<QCheckBox>(panel, "auto_reply");
    auto* customReply = child<QCheckBox>(panel, "custom_reply");
    customReply->click();
    QVERIFY(customReply->isChecked());
    panel->AutoReply();
    QVERIFY(autoReply->isChecked());
    QVERIFY(!customReply->isChecked());
    customReply->click();
    QVERIFY(customReply->isChecked());
    QVERIFY(!autoReply->isChecked());
    panel->AutoReply();
    panel->AutoReply();
    QVERIFY(!autoReply->isChecked());
    QVERIFY(!customReply->isChecked());
}

void tst_UartNetAssistSend::autoReplyEchoesWithAddition()
{
    const int port = freeUdpPort();
    openLocal(panel, 3, port);
    panel->AutoReply();
    panel->AutoAddition();
    QUdpSocket udpPeer;
    QVERIFY(udpPeer.bind(QHostAddress::LocalHost, 0));
    // The reply goes to the destination row, not to whoever sent.
    child<QComboBox>(panel, "remote_addr_history")->setEditText(QStringLiteral("127.0.0.1:%1").arg(udpPeer.localPort()));
    udpPeer.writeDatagram("abc", QHostAddress::LocalHost, quint16(port));
    QTRY_VERIFY_WITH_TIMEOUT(udpPeer.hasPendingDatagrams(), 5000);
    QCOMPARE(udpPeer.receiveDatagram().data(), QByteArray("abc\r\n"));
    QCOMPARE(sendLabel(panel), QStringLiteral("Send:5"));
    QCOMPARE(recvLabel(panel), QStringLiteral("Recv:3"));
}

void tst_UartNetAssistSend::customReplySendsSendBox()
{
    connectClientPanel();
    child<QCheckBox>(panel, "custom_reply")->click();
    child<QPlainTextEdit>(panel, "send_text")->setPlainText(QStringLiteral("ack"));
    peer->write("one");
    QTRY_COMPARE_WITH_TIMEOUT(peer->bytesAvailable(), qint64(3), 5000);
    QCOMPARE(peer->readAll(), QByteArray("ack"));
    // An empty send box gives no reply at all.
    child<QPlainTextEdit>(panel, "send_text")->clear();
    peer->write("two");
    QTRY_COMPARE_WITH_TIMEOUT(recvLabel(panel), QStringLiteral("Recv:6"), 5000);
    QCOMPARE(sendLabel(panel), QStringLiteral("Send:3"));
    QCOMPARE(visibleBoxes(panel), 0);
}

void tst_UartNetAssistSend::sendContentFillsEmptyBox()
{
    connectClientPanel();
    child<QPlainTextEdit>(panel, "send_text")->clear();
    panel->SendContent();
    const QString text = child<QPlainTextEdit>(panel, "send_text")->toPlainText();
    QVERIFY(!text.isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(peer->bytesAvailable(), qint64(text.toLocal8Bit().size()), 5000);
    QCOMPARE(peer->readAll(), text.toLocal8Bit());
}

void tst_UartNetAssistSend::clearUdpHistory_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<int>("remaining");
    QTest::newRow("yes clears") << QStringLiteral("&Yes") << 0;
    QTest::newRow("no keeps") << QStringLiteral("&No") << 1;
}

void tst_UartNetAssistSend::clearUdpHistory()
{
    QFETCH(QString, answer);
    QFETCH(int, remaining);
    const int port = freeUdpPort();
    openLocal(panel, 3, port);
    QUdpSocket udpPeer;
    QVERIFY(udpPeer.bind(QHostAddress::LocalHost, 0));
    udpPeer.writeDatagram("x", QHostAddress::LocalHost, quint16(port));
    auto* history = child<QComboBox>(panel, "remote_addr_history");
    QTRY_COMPARE_WITH_TIMEOUT(history->count(), 1, 5000);

    auto box = catchNextBox(answer);
    child<QPushButton>(panel, "clear_addr_history")->click(); // modal: returns once answered
    QVERIFY(box->seen);
    QCOMPARE(box->title, QStringLiteral("tips"));
    QCOMPARE(box->text, QStringLiteral("Are you sure to delete all remote host addr history?"));
    QCOMPARE(history->count(), remaining);

    // The next panel starts from what this one leaves in the history file.
    delete panel;
    panel = new UartNetAssist;
    QCOMPARE(child<QComboBox>(panel, "remote_addr_history")->count(), remaining);
}

void tst_UartNetAssistSend::periodicIntervalOutOfRange_data()
{
    QTest::addColumn<QString>("interval");
    QTest::newRow("zero") << QStringLiteral("0");
    QTest::newRow("empty") << QString();
    QTest::newRow("negative") << QStringLiteral("-5");
    QTest::newRow("not a number") << QStringLiteral("fast");
    QTest::newRow("beyond 24 h") << QStringLiteral("86400001");
}

void tst_UartNetAssistSend::periodicIntervalOutOfRange()
{
    QFETCH(QString, interval);
    auto* field = child<QLineEdit>(panel, "circular_time");
    int pos = 0;
    QString typed = interval;
    QVERIFY(field->validator());
    QVERIFY(field->validator()->validate(typed, pos) != QValidator::Acceptable);
    QString longest = QStringLiteral("86400000");
    QCOMPARE(field->validator()->validate(longest, pos), QValidator::Acceptable);

    connectClientPanel();
    child<QCheckBox>(panel, "circular_send")->click();
    field->setText(interval); // as a configuration string or history could
    child<QPlainTextEdit>(panel, "send_text")->setPlainText(QStringLiteral("x"));
    auto box = catchNextBox();
    child<QPushButton>(panel, "btn_send")->click();
    QTRY_VERIFY_WITH_TIMEOUT(box->seen, 5000);
    QVERIFY2(box->text.startsWith(QLatin1String("The interval must be")), qPrintable(box->text));
    QCOMPARE(child<QPushButton>(panel, "btn_send")->text(), QStringLiteral("Send"));
    QVERIFY(child<QPlainTextEdit>(panel, "send_text")->isEnabled());
    QCOMPARE(sendLabel(panel), QStringLiteral("Send:0"));
}

void tst_UartNetAssistSend::periodicBoundedBehindNonReader()
{
    // A server that never accepts: the connection completes in the kernel, which stops
    // taking data once its buffers are full.
    QTcpServer stalled;
    QVERIFY(stalled.listen(QHostAddress::LocalHost, 0));
    stalled.pauseAccepting();
    delete panel;
    auto* probe = new ProbePanel;
    panel = probe;
    panel->show();
    openClient(panel, QStringLiteral("127.0.0.1:%1").arg(stalled.serverPort()));
    QVERIFY(isOpen(panel));

    const int frameSize = 60000;
    child<QCheckBox>(panel, "circular_send")->click();
    child<QLineEdit>(panel, "circular_time")->setText(QStringLiteral("1"));
    child<QPlainTextEdit>(panel, "send_text")->setPlainText(QString(frameSize, QLatin1Char('x')));
    qint64 most = 0;
    int ticks = 0;
    QObject scope; // ends the probe with this function, even when it fails
    connect(probe->timer(), &QTimer::timeout, &scope, [&]() {
        most = qMax(most, probe->deviceBacklog());
        ++ticks;
    });
    child<QPushButton>(panel, "btn_send")->click();
    QCOMPARE(child<QPushButton>(panel, "btn_send")->text(), QStringLiteral("stop send"));
    // Unbounded, 600 frames of 60 kB would leave far more than the kernel takes queued.
    QTRY_VERIFY_WITH_TIMEOUT(ticks >= 600, 60000);
    QVERIFY2(most > 0, "the peer's buffers never filled");
    QVERIFY2(most <= UartNetAssist::periodicBacklogLimit + frameSize, QByteArray::number(most).constData());
    child<QPushButton>(panel, "btn_send")->click();
    QCOMPARE(child<QPushButton>(panel, "btn_send")->text(), QStringLiteral("send"));
}

QTEST_MAIN(tst_UartNetAssistSend)
#include "tst_uartnetassist_send.moc"
