// The assistant panel against real endpoints: opening and closing the four kinds,
// the receive display, the counters and the TCP server's client list.

#include "assisttestutil.h"

#include "MyLineEdit.h"
#include "SerialPortWatch.h"

#include <QNetworkDatagram>
#include <QRegularExpression>
#include <QAbstractItemView>
#include <QGroupBox>
#include <QSerialPort>
#include <QSettings>
#include <QStackedWidget>
#include <QTranslator>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QtTest>

#include <memory>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace assisttest;

class tst_UartNetAssist : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void formDefaults();
    void myLineEditReportsLeftClicksOnly();
    void serialHeaderOnceAndCounters();
    void serialOpenFailure_data();
    void serialOpenFailure();
    void serialParamsDisabledWhileOpen();
    void zeroByteTextVersusHex_data();
    void zeroByteTextVersusHex();
    void timeStampEndsLineEvenWithoutWrap();
    void noWrapJoinsChunks();
    void headerPerSenderChange();
    void serverClientCombo();
    void lastClientGoneStopsPeriodic();
    void disconnectOneClient();
    void closingServerDuringPeriodicShowsNoBox_data();
    void closingServerDuringPeriodicShowsNoBox();
    void serverOpenFailureShownInLabel();
    void tcpClientOpenAndHistory();
    void tcpClientCloseByButtonShowsNoBox();
    void tcpClientPeerCloseDuringPeriodicShowsBox();
    void tcpClientPeerCloseWithoutPeriodicNoBox();
    void malformedClientAddressOpensNothing_data();
    void malformedClientAddressOpensNothing();
    void tcpClientPrefillFromLocalAddress();
    void tcpClientClosedPortShowsReason();
    void tcpClientAttemptRunsWithoutBlocking();
    void tcpClientResetServerShowsReason();
    void udpReceiveAndHistory();
    void nodeNameSignal();
    void languageChangeKeepsState();
    void packetGapFromField_data();
    void packetGapFromField();
    void removedSerialPortClosesPanel();
    void openDeviceReopensWithoutBox();
    void releaseDuringPeriodicShowsNoBox();
    void portOutOfRangeRefused_data();
    void portOutOfRangeRefused();
    void typedPathClosedOnlyWhenItGoes();
    void udpSenderHistoryBounded();
    void destroyWhileGapFieldHasFocus();

private:
    testutil::TempAppDir* appDir = nullptr;
    testutil::SocatPair* socat = nullptr;
    UartNetAssist* panel = nullptr;
};

void tst_UartNetAssist::initTestCase()
{
    if (testutil::haveSocat()) {
        socat = new testutil::SocatPair;
        if (!socat->isValid()) {
            delete socat;
            socat = nullptr;
        }
    }
}

void tst_UartNetAssist::cleanupTestCase()
{
    delete socat;
    socat = nullptr;
}

void tst_UartNetAssist::init()
{
    appDir = new testutil::TempAppDir;
    panel = new UartNetAssist;
    panel->show();
}

void tst_UartNetAssist::cleanup()
{
    delete panel;
    panel = nullptr;
    delete appDir;
    appDir = nullptr;
    // A box a failed test left open would block the next one.
    QTRY_VERIFY_WITH_TIMEOUT(!QApplication::activeModalWidget(), 5000);
}

void tst_UartNetAssist::formDefaults()
{
    QCOMPARE(panel->windowTitle(), QStringLiteral("Form"));
    auto* proto = child<QComboBox>(panel, "choose_protocol");
    QCOMPARE(proto->count(), 4);
    QCOMPARE(proto->itemText(0), QStringLiteral("COM"));
    QCOMPARE(proto->itemText(3), QStringLiteral("Udp"));
    QCOMPARE(child<QComboBox>(panel, "baud_rate")->currentText(), QStringLiteral("9600"));
    QCOMPARE(child<QComboBox>(panel, "data_bit")->currentText(), QStringLiteral("8"));
    auto* parity = child<QComboBox>(panel, "check_bit");
    QCOMPARE(parity->count(), 5);
    QCOMPARE(parity->itemData(1).toInt(), int(QSerialPort::EvenParity));
    QCOMPARE(parity->itemData(4).toInt(), int(QSerialPort::MarkParity));
    auto* stop = child<QComboBox>(panel, "stop_bit");
    QCOMPARE(stop->itemText(1), QStringLiteral("1.5"));
    QCOMPARE(stop->itemData(1).toInt(), int(QSerialPort::OneAndHalfStop));
    QCOMPARE(child<QLineEdit>(panel, "edit_additional")->text(), QStringLiteral("\\r\\n"));
    QCOMPARE(child<QLineEdit>(panel, "circular_time")->text(), QStringLiteral("1000"));
    QVERIFY(child<QCheckBox>(panel, "wrap_auto")->isChecked());
    QVERIFY(!child<QPushButton>(panel, "btn_send")->isEnabled());
    QCOMPARE(child<QPushButton>(panel, "open_com")->text(), QStringLiteral("open"));
    QVERIFY(!child<QWidget>(panel, "file_send_widget")->isVisible());
    QVERIFY(!child<QWidget>(panel, "remote_addr_widget")->isVisible());
    QVERIFY(!child<QWidget>(panel, "clients_widget")->isVisible());
    // The packet gap takes 0 to 10000 only.
    auto* gap = child<QLineEdit>(panel, "edit_timeGap");
    int pos = 0;
    QString big = QStringLiteral("20000");
    QVERIFY(gap->validator());
    QVERIFY(gap->validator()->validate(big, pos) != QValidator::Acceptable);
    auto* ips = child<QComboBox>(panel, "local_ip_list");
    QCOMPARE(ips->itemText(ips->count() - 1), QStringLiteral("0.0.0.0"));
    QVERIFY(ips->findText(QStringLiteral("127.0.0.1")) >= 0);
    QVERIFY(ips->lineEdit()->isReadOnly());
}

void tst_UartNetAssist::myLineEditReportsLeftClicksOnly()
{
    auto* edit = qobject_cast<MyLineEdit*>(child<QComboBox>(panel, "local_ip_list")->lineEdit());
    QVERIFY(edit);
    QVERIFY(qobject_cast<MyLineEdit*>(child<QComboBox>(panel, "com_list")->lineEdit()));
    QSignalSpy spy(edit, &MyLineEdit::clicked);
    QVERIFY(spy.isValid());
    QTest::mouseClick(edit, Qt::RightButton);
    QTest::mouseClick(edit, Qt::MiddleButton);
    QCOMPARE(spy.count(), 0);
    QTest::mouseClick(edit, Qt::LeftButton);
    QCOMPARE(spy.count(), 1);
    // The read-only address edit opens the address list.
    QTRY_VERIFY_WITH_TIMEOUT(child<QComboBox>(panel, "local_ip_list")->view()->isVisible(), 5000);
    child<QComboBox>(panel, "local_ip_list")->hidePopup();
}

void tst_UartNetAssist::serialHeaderOnceAndCounters()
{
    if (!socat)
        QSKIP("socat is not available");
    openSerial(panel, socat->portA());
    QVERIFY(isOpen(panel));
    QVERIFY(child<QPushButton>(panel, "btn_send")->isEnabled());

    QSerialPort peer(socat->portB());
    QVERIFY(peer.open(QIODevice::ReadWrite));
    peer.write("hello");
    QTRY_COMPARE_WITH_TIMEOUT(recvLabel(panel), QStringLiteral("Recv:5"), 5000);
    QTRY_COMPARE_WITH_TIMEOUT(recvText(panel), QStringLiteral("[Receive from :0]:hello\n"), 5000);
    peer.write("world");
    QTRY_COMPARE_WITH_TIMEOUT(recvText(panel), QStringLiteral("[Receive from :0]:hello\nworld\n"), 5000);
    QCOMPARE(recvLabel(panel), QStringLiteral("Recv:10"));

    // Clearing keeps the sender, so no new header until it changes.
    panel->ClearReceive();
    QVERIFY(recvText(panel).isEmpty());
    peer.write("again");
    QTRY_COMPARE_WITH_TIMEOUT(recvText(panel), QStringLiteral("again\n"), 5000);

    panel->ResetCount();
    QCOMPARE(recvLabel(panel), QStringLiteral("Recv:0"));
    QCOMPARE(sendLabel(panel), QStringLiteral("Send:0"));

    child<QPushButton>(panel, "open_com")->click();
    QVERIFY(!isOpen(panel));
    QVERIFY(!child<QPushButton>(panel, "btn_send")->isEnabled());
}

void tst_UartNetAssist::serialOpenFailure_data()
{
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("baud");
    QTest::addColumn<int>("stopIndex");
    QTest::addColumn<QString>("expected");
    QTest::newRow("missing device") << QStringLiteral("/nonexistent/ttyVXA") << QStringLiteral("9600") << 0
                                    << QStringLiteral("/nonexistent/ttyVXA device not found. The port is gone: check that "
                                                   "the device is plugged in.");
    QTest::newRow("port in use") << QStringLiteral("socat-a") << QStringLiteral("9600") << 0
                                 << QStringLiteral("Failed to open the serial port %1. Check whether it is "
                                                   "occupied by other programs.");
    // A baud rate typed as text is no rate at all.
    QTest::newRow("unsupported setting") << QStringLiteral("socat-a-free") << QStringLiteral("fast") << 1
                                         << QStringLiteral("Failed to open the serial port %1. Check whether "
                                                           "the parameters are correct.");
}

void tst_UartNetAssist::serialOpenFailure()
{
    QFETCH(QString, port);
    QFETCH(QString, baud);
    QFETCH(int, stopIndex);
    QFETCH(QString, expected);
    QSerialPort holder;
    if (port.startsWith(QLatin1String("socat-a"))) {
        if (!socat)
            QSKIP("socat is not available");
        const bool hold = port == QLatin1String("socat-a");
        port = socat->portA();
        expected = expected.arg(port);
        if (hold) {
            holder.setPortName(port);
            QVERIFY(holder.open(QIODevice::ReadWrite));
        }
    }
    child<QComboBox>(panel, "baud_rate")->setEditText(baud);
    child<QComboBox>(panel, "stop_bit")->setCurrentIndex(stopIndex);
    auto box = catchNextBox();
    openSerial(panel, port);
    QTRY_VERIFY_WITH_TIMEOUT(box->seen, 5000);
    QCOMPARE(box->title, QStringLiteral("tips"));
    QCOMPARE(box->text, expected);
    QVERIFY(!isOpen(panel));
    QVERIFY(child<QComboBox>(panel, "com_list")->isEnabled());
}

void tst_UartNetAssist::serialParamsDisabledWhileOpen()
{
    if (!socat)
        QSKIP("socat is not available");
    openSerial(panel, socat->portA());
    QVERIFY(isOpen(panel));
    for (const char* name : {"choose_protocol", "com_list", "baud_rate", "check_bit", "data_bit", "stop_bit"})
        QVERIFY2(!child<QWidget>(panel, name)->isEnabled(), name);
    QCOMPARE(child<QPushButton>(panel, "open_com")->styleSheet(), QStringLiteral("background-color:green"));
    panel->CloseDevice();
    for (const char* name : {"choose_protocol", "com_list", "baud_rate", "check_bit", "data_bit", "stop_bit"})
        QVERIFY2(child<QWidget>(panel, name)->isEnabled(), name);
    QCOMPARE(child<QPushButton>(panel, "open_com")->text(), QStringLiteral("open"));
}

void tst_UartNetAssist::zeroByteTextVersusHex_data()
{
    QTest::addColumn<bool>("hex");
    QTest::addColumn<QString>("shown");
    QTest::newRow("text stops at the zero") << false << QStringLiteral("ab\n");
    QTest::newRow("hex shows every byte") << true << QStringLiteral("61 62 00 63 64 \n");
}

void tst_UartNetAssist::zeroByteTextVersusHex()
{
    QFETCH(bool, hex);
    QFETCH(QString, shown);
    QTcpServer peerServer;
    QVERIFY(peerServer.listen(QHostAddress::LocalHost, 0));
    if (hex)
        child<QCheckBox>(panel, "show_in_hex")->click();
    openClient(panel, QStringLiteral("127.0.0.1:%1").arg(peerServer.serverPort()));
    QVERIFY(isOpen(panel));
    QTRY_VERIFY_WITH_TIMEOUT(peerServer.hasPendingConnections(), 5000);
    QTcpSocket* peer = peerServer.nextPendingConnection();
    peer->write(QByteArray("ab\0cd", 5));
    QTRY_COMPARE_WITH_TIMEOUT(recvLabel(panel), QStringLiteral("Recv:5"), 5000);
    const QString header = QStringLiteral("[Receive from 127.0.0.1:%1]:").arg(peerServer.serverPort());
    QTRY_COMPARE_WITH_TIMEOUT(recvText(panel), header + shown, 5000);
}

void tst_UartNetAssist::timeStampEndsLineEvenWithoutWrap()
{
    QUdpSocket peer;
    QVERIFY(peer.bind(QHostAddress::LocalHost, 0));
    const int port = freeUdpPort();
    child<QCheckBox>(panel, "show_rcv_time")->click();
    QVERIFY(child<QCheckBox>(panel, "wrap_auto")->isChecked()); // checking the time stamp checks wrapping
    child<QCheckBox>(panel, "wrap_auto")->click();
    QVERIFY(!child<QCheckBox>(panel, "wrap_auto")->isChecked());
    openLocal(panel, 3, port);
    QVERIFY(isOpen(panel));
    peer.writeDatagram("one", QHostAddress::LocalHost, quint16(port));
    QTRY_COMPARE_WITH_TIMEOUT(recvLabel(panel), QStringLiteral("Recv:3"), 5000);
    peer.writeDatagram("two", QHostAddress::LocalHost, quint16(port));
    QTRY_COMPARE_WITH_TIMEOUT(recvLabel(panel), QStringLiteral("Recv:6"), 5000);
    const QRegularExpression re(QStringLiteral(
        "^\\[Receive from 127\\.0\\.0\\.1:%1\\]:\\[\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\]one\\n"
        "\\[\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\]two\\n$").arg(peer.localPort()));
    QTRY_VERIFY2_WITH_TIMEOUT(re.match(recvText(panel)).hasMatch(), qPrintable(recvText(panel)), 5000);
}

void tst_UartNetAssist::noWrapJoinsChunks()
{
    QUdpSocket peer;
    QVERIFY(peer.bind(QHostAddress::LocalHost, 0));
    const int port = freeUdpPort();
    child<QCheckBox>(panel, "wrap_auto")->click();
    openLocal(panel, 3, port);
    peer.writeDatagram("one", QHostAddress::LocalHost, quint16(port));
    QTRY_COMPARE_WITH_TIMEOUT(recvLabel(panel), QStringLiteral("Recv:3"), 5000);
    peer.writeDatagram("two", QHostAddress::LocalHost, quint16(port));
    QTRY_COMPARE_WITH_TIMEOUT(recvText(panel),
                              QStringLiteral("[Receive from 127.0.0.1:%1]:onetwo").arg(peer.localPort()), 5000);
}

void tst_UartNetAssist::headerPerSenderChange()
{
    QUdpSocket a, b;
    QVERIFY(a.bind(QHostAddress::LocalHost, 0));
    QVERIFY(b.bind(QHostAddress::LocalHost, 0));
    const int port = freeUdpPort();
    openLocal(panel, 3, port);
    QVERIFY(isOpen(panel));
    int total = 0;
    const auto send = [&](QUdpSocket& s, const char* text) {
        s.writeDatagram(text, QHostAddress::LocalHost, quint16(port));
        total += int(qstrlen(text));
    };
    send(a, "a1");
    QTRY_COMPARE_WITH_TIMEOUT(recvLabel(panel), QStringLiteral("Recv:%1").arg(total), 5000);
    send(a, "a2");
    QTRY_COMPARE_WITH_TIMEOUT(recvLabel(panel), QStringLiteral("Recv:%1").arg(total), 5000);
    send(b, "b1");
    QTRY_COMPARE_WITH_TIMEOUT(recvLabel(panel), QStringLiteral("Recv:%1").arg(total), 5000);
    send(a, "a3");
    QTRY_COMPARE_WITH_TIMEOUT(recvLabel(panel), QStringLiteral("Recv:%1").arg(total), 5000);
    const QString ha = QStringLiteral("[Receive from 127.0.0.1:%1]:").arg(a.localPort());
    const QString hb = QStringLiteral("[Receive from 127.0.0.1:%1]:").arg(b.localPort());
    // A header after a line feed starts a paragraph of its own, as appending does.
    const QString expected = ha + "a1\na2\n\n" + hb + "b1\n\n" + ha + "a3\n";
    QTRY_COMPARE_WITH_TIMEOUT(recvText(panel), expected, 5000);
}

void tst_UartNetAssist::serverClientCombo()
{
    const int port = freeTcpPort();
    openLocal(panel, 1, port);
    QVERIFY(isOpen(panel));
    QVERIFY(child<QWidget>(panel, "clients_widget")->isVisible());
    auto* combo = child<QComboBox>(panel, "client_addrs");
    const auto items = [combo]() {
        QStringList l;
        for (int i = 0; i < combo->count(); ++i)
            l << combo->itemText(i);
        return l;
    };
    QTcpSocket c1, c2, c3;
    const auto key = [](QTcpSocket& s) { return QStringLiteral("127.0.0.1:%1").arg(s.localPort()); };

    c1.connectToHost(QHostAddress::LocalHost, quint16(port));
    QVERIFY(c1.waitForConnected(5000));
    QTRY_COMPARE_WITH_TIMEOUT(items(), QStringList{key(c1)}, 5000);

    c2.connectToHost(QHostAddress::LocalHost, quint16(port));
    QVERIFY(c2.waitForConnected(5000));
    QTRY_COMPARE_WITH_TIMEOUT(items(), (QStringList{QStringLiteral("All Connections"), key(c1), key(c2)}), 5000);

    c3.connectToHost(QHostAddress::LocalHost, quint16(port));
    QVERIFY(c3.waitForConnected(5000));
    QTRY_COMPARE_WITH_TIMEOUT(items(),
                              (QStringList{QStringLiteral("All Connections"), key(c1), key(c2), key(c3)}), 5000);

    // Sending to "All Connections" reaches every client.
    combo->setCurrentIndex(0);
    child<QPlainTextEdit>(panel, "send_text")->setPlainText(QStringLiteral("hi"));
    child<QPushButton>(panel, "btn_send")->click();
    for (QTcpSocket* c : {&c1, &c2, &c3}) {
        QTRY_COMPARE_WITH_TIMEOUT(c->bytesAvailable(), qint64(2), 5000);
        QCOMPARE(c->readAll(), QByteArray("hi"));
    }
    // One chosen client only.
    combo->setCurrentText(key(c2));
    child<QPushButton>(panel, "btn_send")->click();
    QTRY_COMPARE_WITH_TIMEOUT(c2.bytesAvailable(), qint64(2), 5000);
    QCOMPARE(c2.readAll(), QByteArray("hi"));
    QCOMPARE(sendLabel(panel), QStringLiteral("Send:4"));
    QVERIFY(!c1.waitForReadyRead(100)); // the point: nothing reaches the others
    QCOMPARE(c3.bytesAvailable(), 0);

    const QString k1 = key(c1), k2 = key(c2), k3 = key(c3);
    c2.disconnectFromHost();
    QTRY_COMPARE_WITH_TIMEOUT(items(), (QStringList{QStringLiteral("All Connections"), k1, k3}), 5000);
    c1.disconnectFromHost();
    QTRY_COMPARE_WITH_TIMEOUT(items(), (QStringList{QStringLiteral("All Connections"), k3}), 5000);
    c3.disconnectFromHost();
    QTRY_COMPARE_WITH_TIMEOUT(combo->count(), 0, 5000);
    QCOMPARE(visibleBoxes(panel), 0); // no periodic sending, so no box
    QVERIFY(isOpen(panel));
}

void tst_UartNetAssist::lastClientGoneStopsPeriodic()
{
    const int port = freeTcpPort();
    openLocal(panel, 1, port);
    QTcpSocket c1;
    c1.connectToHost(QHostAddress::LocalHost, quint16(port));
    QVERIFY(c1.waitForConnected(5000));
    QTRY_COMPARE_WITH_TIMEOUT(child<QComboBox>(panel, "client_addrs")->count(), 1, 5000);

    child<QCheckBox>(panel, "circular_send")->click();
    child<QLineEdit>(panel, "circular_time")->setText(QStringLiteral("50"));
    child<QPlainTextEdit>(panel, "send_text")->setPlainText(QStringLiteral("tick"));
    auto* send = child<QPushButton>(panel, "btn_send");
    send->click();
    QCOMPARE(send->text(), QStringLiteral("stop send"));
    QVERIFY(!child<QPlainTextEdit>(panel, "send_text")->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(c1.bytesAvailable() >= 8, 5000);

    auto box = catchNextBox();
    c1.disconnectFromHost();
    QTRY_VERIFY_WITH_TIMEOUT(box->seen, 5000);
    QCOMPARE(box->title, QStringLiteral("tips"));
    QCOMPARE(box->text, QStringLiteral("There is no connection now!"));
    QCOMPARE(send->text(), QStringLiteral("send"));
    QVERIFY(child<QPlainTextEdit>(panel, "send_text")->isEnabled());
    QVERIFY(child<QPushButton>(panel, "clear_send_data")->isEnabled());
}

void tst_UartNetAssist::disconnectOneClient()
{
    const int port = freeTcpPort();
    openLocal(panel, 1, port);
    QTcpSocket c1, c2;
    c1.connectToHost(QHostAddress::LocalHost, quint16(port));
    c2.connectToHost(QHostAddress::LocalHost, quint16(port));
    QVERIFY(c1.waitForConnected(5000));
    QVERIFY(c2.waitForConnected(5000));
    auto* combo = child<QComboBox>(panel, "client_addrs");
    QTRY_COMPARE_WITH_TIMEOUT(combo->count(), 3, 5000);

    combo->setCurrentIndex(0);
    auto box = catchNextBox();
    child<QPushButton>(panel, "disconnect_one_client")->click();
    QTRY_VERIFY_WITH_TIMEOUT(box->seen, 5000);
    QCOMPARE(box->text, QStringLiteral("Please choose a client connection first!"));

    combo->setCurrentText(QStringLiteral("127.0.0.1:%1").arg(c2.localPort()));
    child<QPushButton>(panel, "disconnect_one_client")->click();
    QTRY_COMPARE_WITH_TIMEOUT(c2.state(), QAbstractSocket::UnconnectedState, 5000);
    QCOMPARE(c1.state(), QAbstractSocket::ConnectedState);
    QTRY_COMPARE_WITH_TIMEOUT(combo->findText(QStringLiteral("127.0.0.1:%1").arg(c2.localPort())), -1, 5000);
}

void tst_UartNetAssist::closingServerDuringPeriodicShowsNoBox_data()
{
    QTest::addColumn<int>("clients");
    QTest::addColumn<bool>("byButton");
    QTest::newRow("one client, button") << 1 << true;
    QTest::newRow("two clients, button") << 2 << true;
    QTest::newRow("three clients, button") << 3 << true;
    QTest::newRow("two clients, CloseDevice") << 2 << false;
}

void tst_UartNetAssist::closingServerDuringPeriodicShowsNoBox()
{
    QFETCH(int, clients);
    QFETCH(bool, byButton);
    const int port = freeTcpPort();
    openLocal(panel, 1, port);
    QVERIFY(isOpen(panel));
    std::vector<std::unique_ptr<QTcpSocket>> sockets;
    for (int i = 0; i < clients; ++i) {
        sockets.push_back(std::make_unique<QTcpSocket>());
        sockets.back()->connectToHost(QHostAddress::LocalHost, quint16(port));
        QVERIFY(sockets.back()->waitForConnected(5000));
    }
    QTRY_COMPARE_WITH_TIMEOUT(child<QComboBox>(panel, "client_addrs")->count(), clients == 1 ? 1 : clients + 1, 5000);
    child<QCheckBox>(panel, "circular_send")->click();
    child<QPlainTextEdit>(panel, "send_text")->setPlainText(QStringLiteral("tick"));
    child<QPushButton>(panel, "btn_send")->click();
    QCOMPARE(child<QPushButton>(panel, "btn_send")->text(), QStringLiteral("stop send"));

    if (byButton)
        child<QPushButton>(panel, "connect")->click();
    else
        panel->CloseDevice();
    QVERIFY(!isOpen(panel));
    QCOMPARE(child<QPushButton>(panel, "btn_send")->text(), QStringLiteral("send"));
    for (auto& s : sockets)
        QTRY_COMPARE_WITH_TIMEOUT(s->state(), QAbstractSocket::UnconnectedState, 5000);
    QCOMPARE(visibleBoxes(panel), 0);
}

void tst_UartNetAssist::serverOpenFailureShownInLabel()
{
    QTcpServer occupier;
    QVERIFY(occupier.listen(QHostAddress::LocalHost, 0));
    openLocal(panel, 1, occupier.serverPort());
    QVERIFY(!isOpen(panel));
    QVERIFY(!child<QLabel>(panel, "device_open_err")->text().isEmpty());
    QCOMPARE(visibleBoxes(panel), 0);
    QVERIFY(child<QComboBox>(panel, "choose_protocol")->isEnabled());
}

void tst_UartNetAssist::tcpClientOpenAndHistory()
{
    QTcpServer peerServer;
    QVERIFY(peerServer.listen(QHostAddress::LocalHost, 0));
    const QString remote = QStringLiteral("127.0.0.1:%1").arg(peerServer.serverPort());
    openClient(panel, remote);
    QVERIFY(isOpen(panel));
    QVERIFY(child<QLabel>(panel, "device_open_err")->text().isEmpty());
    // While connected the bound local address and port replace the address list.
    auto* local = child<QLineEdit>(panel, "local_addr_port");
    QVERIFY(local->isVisible());
    QVERIFY(!child<QComboBox>(panel, "local_ip_list")->isVisible());
    QVERIFY(local->text().startsWith(QStringLiteral("127.0.0.1:")));
    QTRY_VERIFY_WITH_TIMEOUT(peerServer.hasPendingConnections(), 5000);
    QTcpSocket* peer = peerServer.nextPendingConnection();
    QCOMPARE(local->text(), QStringLiteral("127.0.0.1:%1").arg(peer->peerPort()));

    child<QPlainTextEdit>(panel, "send_text")->setPlainText(QStringLiteral("ping"));
    child<QPushButton>(panel, "btn_send")->click();
    QTRY_COMPARE_WITH_TIMEOUT(peer->bytesAvailable(), qint64(4), 5000);
    QCOMPARE(peer->readAll(), QByteArray("ping"));
    QCOMPARE(sendLabel(panel), QStringLiteral("Send:4"));

    panel->CloseDevice();
    QVERIFY(!local->isVisible());
    // The successful address is kept in the history file for the next panel.
    delete panel;
    panel = new UartNetAssist;
    setProtocol(panel, 2);
    QCOMPARE(child<QComboBox>(panel, "remote_ip_port")->currentText(), remote);
}

void tst_UartNetAssist::tcpClientCloseByButtonShowsNoBox()
{
    QTcpServer peerServer;
    QVERIFY(peerServer.listen(QHostAddress::LocalHost, 0));
    openClient(panel, QStringLiteral("127.0.0.1:%1").arg(peerServer.serverPort()));
    QVERIFY(isOpen(panel));
    child<QCheckBox>(panel, "circular_send")->click();
    child<QPlainTextEdit>(panel, "send_text")->setPlainText(QStringLiteral("tick"));
    child<QPushButton>(panel, "btn_send")->click();
    QCOMPARE(child<QPushButton>(panel, "btn_send")->text(), QStringLiteral("stop send"));

    child<QPushButton>(panel, "connect")->click();
    QVERIFY(!isOpen(panel));
    QCOMPARE(visibleBoxes(panel), 0);
    QTest::qWait(200); // the point: no late box from the disconnect either
    QCOMPARE(visibleBoxes(panel), 0);
    QCOMPARE(child<QPushButton>(panel, "btn_send")->text(), QStringLiteral("send"));
}

void tst_UartNetAssist::tcpClientPeerCloseDuringPeriodicShowsBox()
{
    QTcpServer peerServer;
    QVERIFY(peerServer.listen(QHostAddress::LocalHost, 0));
    openClient(panel, QStringLiteral("127.0.0.1:%1").arg(peerServer.serverPort()));
    QTRY_VERIFY_WITH_TIMEOUT(peerServer.hasPendingConnections(), 5000);
    QTcpSocket* peer = peerServer.nextPendingConnection();
    child<QCheckBox>(panel, "circular_send")->click();
    child<QPlainTextEdit>(panel, "send_text")->setPlainText(QStringLiteral("tick"));
    child<QPushButton>(panel, "btn_send")->click();

    auto box = catchNextBox();
    peer->disconnectFromHost();
    QTRY_VERIFY_WITH_TIMEOUT(box->seen, 5000);
    QCOMPARE(box->title, QStringLiteral("tips"));
    QCOMPARE(box->text, QStringLiteral("The connection has been disconnected!"));
    QVERIFY(!isOpen(panel));
    QVERIFY(child<QComboBox>(panel, "choose_protocol")->isEnabled());
    QCOMPARE(child<QPushButton>(panel, "btn_send")->text(), QStringLiteral("send"));
}

void tst_UartNetAssist::tcpClientPeerCloseWithoutPeriodicNoBox()
{
    QTcpServer peerServer;
    QVERIFY(peerServer.listen(QHostAddress::LocalHost, 0));
    openClient(panel, QStringLiteral("127.0.0.1:%1").arg(peerServer.serverPort()));
    QTRY_VERIFY_WITH_TIMEOUT(peerServer.hasPendingConnections(), 5000);
    QTcpSocket* peer = peerServer.nextPendingConnection();
    peer->disconnectFromHost();
    QTRY_VERIFY_WITH_TIMEOUT(!isOpen(panel), 5000);
    QVERIFY(!child<QPushButton>(panel, "btn_send")->isEnabled());
    QCOMPARE(visibleBoxes(panel), 0);
}

void tst_UartNetAssist::malformedClientAddressOpensNothing_data()
{
    QTest::addColumn<QString>("remote");
    QTest::newRow("no colon") << QStringLiteral("127.0.0.1");
    QTest::newRow("two colons") << QStringLiteral("127.0.0.1:1:2");
}

void tst_UartNetAssist::malformedClientAddressOpensNothing()
{
    QFETCH(QString, remote);
    openClient(panel, remote);
    QVERIFY(!isOpen(panel));
    QCOMPARE(child<QPushButton>(panel, "connect")->text(), QStringLiteral("connect"));
    QVERIFY(child<QLabel>(panel, "device_open_err")->text().isEmpty());
    QCOMPARE(visibleBoxes(panel), 0);
}

void tst_UartNetAssist::tcpClientPrefillFromLocalAddress()
{
    // Fresh installation: listenPort is 0 and the client history empty.
    child<QComboBox>(panel, "local_ip_list")->setEditText(QStringLiteral("127.0.0.1"));
    setProtocol(panel, 1);
    QCOMPARE(child<QLineEdit>(panel, "addr_port_edit")->text(), QStringLiteral("0"));
    QCOMPARE(child<QLabel>(panel, "net_label_2")->text(), QStringLiteral("Local Host Port"));
    setProtocol(panel, 2);
    QCOMPARE(child<QLabel>(panel, "net_label_2")->text(), QStringLiteral("Remote Addr:Port"));
    QCOMPARE(child<QComboBox>(panel, "remote_ip_port")->currentText(), QStringLiteral("127.0.0.1:0"));
    QVERIFY(child<QComboBox>(panel, "remote_ip_port")->isVisible());
    QVERIFY(!child<QLineEdit>(panel, "addr_port_edit")->isVisible());
}

void tst_UartNetAssist::tcpClientClosedPortShowsReason()
{
    const QString remote = QStringLiteral("127.0.0.1:%1").arg(freeTcpPort());
    openClient(panel, remote);
    QVERIFY(!isOpen(panel));
    QCOMPARE(child<QPushButton>(panel, "connect")->text(), QStringLiteral("connect"));
    QCOMPARE(child<QLabel>(panel, "device_open_err")->text(), QStringLiteral("Connection refused"));
    QVERIFY(child<QComboBox>(panel, "choose_protocol")->isEnabled());
    QVERIFY(!child<QPushButton>(panel, "btn_send")->isEnabled());
    QCOMPARE(visibleBoxes(panel), 0);
    // Only addresses that connected are kept for the next panel.
    delete panel;
    panel = new UartNetAssist;
    setProtocol(panel, 2);
    QVERIFY(child<QComboBox>(panel, "remote_ip_port")->findText(remote) < 0);
}

void tst_UartNetAssist::tcpClientResetServerShowsReason()
{
    QTcpServer server; // takes each connection and resets it at once
    QVERIFY(server.listen(QHostAddress::LocalHost, 0));
    connect(&server, &QTcpServer::newConnection, &server, [&server]() {
        std::unique_ptr<QTcpSocket> s(server.nextPendingConnection());
        const linger now{1, 0};
        ::setsockopt(int(s->socketDescriptor()), SOL_SOCKET, SO_LINGER, &now, sizeof now);
    });
    QElapsedTimer t;
    t.start();
    QVERIFY(openClient(panel, QStringLiteral("127.0.0.1:%1").arg(server.serverPort())));
    QVERIFY2(t.elapsed() < 2000 && !isOpen(panel), qPrintable(QString::number(t.elapsed())));
    QCOMPARE(child<QLabel>(panel, "device_open_err")->text(), QStringLiteral("connection reset by the server"));
}

void tst_UartNetAssist::tcpClientAttemptRunsWithoutBlocking()
{
    // A listener whose accept queue is full drops further handshakes: an unanswered
    // peer on loopback.
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    QVERIFY(fd >= 0);
    const std::unique_ptr<int, void (*)(int*)> closer(new int(fd), [](int* f) {
        ::close(*f);
        delete f;
    });
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    QVERIFY(::bind(fd, reinterpret_cast<sockaddr*>(&addr), len) == 0);
    QVERIFY(::listen(fd, 0) == 0);
    QVERIFY(::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) == 0);
    QTcpSocket filler;
    filler.connectToHost(QHostAddress::LocalHost, ntohs(addr.sin_port));
    QTRY_COMPARE_WITH_TIMEOUT(filler.state(), QAbstractSocket::ConnectedState, 5000);

    const QString errBefore = child<QLabel>(panel, "device_open_err")->text();
    QSignalSpy node(panel, &UartNetAssist::updateNodeName);
    QVERIFY(node.isValid());
    setProtocol(panel, 2);
    child<QComboBox>(panel, "local_ip_list")->setEditText(QStringLiteral("127.0.0.1"));
    child<QComboBox>(panel, "remote_ip_port")->setEditText(QStringLiteral("127.0.0.1:%1").arg(ntohs(addr.sin_port)));
    auto* button = child<QPushButton>(panel, "connect");
    button->click();
    // The click comes back at once with the attempt under way and the settings locked.
    QVERIFY(clientConnecting(panel));
    QVERIFY(!isOpen(panel));
    QVERIFY(!child<QComboBox>(panel, "choose_protocol")->isEnabled());
    QVERIFY(!child<QComboBox>(panel, "remote_ip_port")->isEnabled());
    QVERIFY(!child<QPushButton>(panel, "btn_send")->isEnabled());
    // The window keeps running meanwhile.
    QTimer tick;
    tick.setSingleShot(true);
    QSignalSpy fired(&tick, &QTimer::timeout);
    tick.start(50);
    QVERIFY(fired.wait(5000));
    QVERIFY(clientConnecting(panel));
    QEvent languageChange(QEvent::LanguageChange); // the attempt goes on: still "connecting..."
    QCoreApplication::sendEvent(panel, &languageChange);
    QVERIFY(clientConnecting(panel));

    // A second click gives the attempt up.
    button->click();
    QCOMPARE(button->text(), QStringLiteral("connect"));
    QVERIFY(!isOpen(panel));
    QVERIFY(child<QComboBox>(panel, "choose_protocol")->isEnabled());
    QCOMPARE(child<QLabel>(panel, "device_open_err")->text(), errBefore);
    QVERIFY(!node.isEmpty());
    QCOMPARE(node.last().at(1).toBool(), false);
    QCOMPARE(visibleBoxes(panel), 0);
}

void tst_UartNetAssist::udpReceiveAndHistory()
{
    const int port = freeUdpPort();
    openLocal(panel, 3, port);
    QVERIFY(isOpen(panel));
    QVERIFY(child<QWidget>(panel, "remote_addr_widget")->isVisible());
    QUdpSocket peer;
    QVERIFY(peer.bind(QHostAddress::LocalHost, 0));
    peer.writeDatagram("hey", QHostAddress::LocalHost, quint16(port));
    const QString key = QStringLiteral("127.0.0.1:%1").arg(peer.localPort());
    auto* history = child<QComboBox>(panel, "remote_addr_history");
    QTRY_COMPARE_WITH_TIMEOUT(history->findText(key), 0, 5000);
    QCOMPARE(history->currentText(), key);
    peer.writeDatagram("hey", QHostAddress::LocalHost, quint16(port));
    QTRY_COMPARE_WITH_TIMEOUT(recvLabel(panel), QStringLiteral("Recv:6"), 5000);
    QCOMPARE(history->count(), 1);

    // The send button answers the peer chosen in the row.
    child<QPlainTextEdit>(panel, "send_text")->setPlainText(QStringLiteral("back"));
    child<QPushButton>(panel, "btn_send")->click();
    QTRY_VERIFY_WITH_TIMEOUT(peer.hasPendingDatagrams(), 5000);
    QCOMPARE(peer.receiveDatagram().data(), QByteArray("back"));

    // The panel closes; the peer is kept in the history file.
    delete panel;
    panel = new UartNetAssist;
    QCOMPARE(child<QComboBox>(panel, "remote_addr_history")->currentText(), key);
    setProtocol(panel, 3);
    QCOMPARE(child<QLineEdit>(panel, "addr_port_edit")->text(), QString::number(port));
}

void tst_UartNetAssist::nodeNameSignal()
{
    QSignalSpy spy(panel, &UartNetAssist::updateNodeName);
    QVERIFY(spy.isValid());
    const int port = freeUdpPort();
    openLocal(panel, 3, port);
    QVERIFY(!spy.isEmpty());
    QCOMPARE(spy.last().at(0).toString(), QStringLiteral("Udp_127.0.0.1_%1").arg(port));
    QCOMPARE(spy.last().at(1).toBool(), true);
    panel->CloseDevice();
    QCOMPARE(spy.last().at(1).toBool(), false);
    QCOMPARE(panel->GetCurrentTitle(), QStringLiteral("Udp_127.0.0.1_%1").arg(port));
    setProtocol(panel, 0);
    child<QComboBox>(panel, "com_list")->setEditText(QStringLiteral("ttyS3"));
    QCOMPARE(panel->GetCurrentTitle(), QStringLiteral("COM_ttyS3_9600-NONE-8-1"));
}

void tst_UartNetAssist::languageChangeKeepsState()
{
    QTranslator zh;
    QVERIFY(zh.load(QStringLiteral(VXA_BIN_DIR "/languages/zh_CN/UartNetAssist_zh_CN.qm")));
    setProtocol(panel, 2);
    child<QComboBox>(panel, "remote_ip_port")->setEditText(QStringLiteral("127.0.0.1:4000"));
    child<QPlainTextEdit>(panel, "send_text")->setPlainText(QStringLiteral("typed"));
    QVERIFY(QCoreApplication::installTranslator(&zh));
    QTRY_COMPARE_WITH_TIMEOUT(child<QGroupBox>(panel, "groupBox")->title(), QStringLiteral("通讯端口"), 5000);
    QCOMPARE(child<QComboBox>(panel, "choose_protocol")->currentIndex(), 2);
    QCOMPARE(child<QComboBox>(panel, "choose_protocol")->currentText(), QStringLiteral("Tcp Client"));
    QCOMPARE(child<QStackedWidget>(panel, "stackedWidget")->currentIndex(), 1);
    QCOMPARE(child<QLabel>(panel, "net_label_2")->text(), QStringLiteral("远程地址:端口"));
    QCOMPARE(child<QPushButton>(panel, "connect")->text(), QStringLiteral("连接"));
    QCOMPARE(recvLabel(panel), QStringLiteral("接收:0"));
    // What the user entered survives the new texts.
    QCOMPARE(child<QPlainTextEdit>(panel, "send_text")->toPlainText(), QStringLiteral("typed"));
    QCOMPARE(child<QLineEdit>(panel, "edit_additional")->text(), QStringLiteral("\\r\\n"));
    QCOMPARE(child<QComboBox>(panel, "remote_ip_port")->currentText(), QStringLiteral("127.0.0.1:4000"));
    QVERIFY(QCoreApplication::removeTranslator(&zh));
    QTRY_COMPARE_WITH_TIMEOUT(child<QGroupBox>(panel, "groupBox")->title(), QStringLiteral("Communication Port"), 5000);
    QCOMPARE(child<QPushButton>(panel, "connect")->text(), QStringLiteral("connect"));
}

void tst_UartNetAssist::packetGapFromField_data()
{
    QTest::addColumn<QString>("gap");
    QTest::addColumn<QString>("shown");
    QTest::newRow("default 50 ms splits bursts 300 ms apart") << QString() << QStringLiteral("[Receive from :0]:a\nb\n");
    QTest::newRow("3000 ms joins them") << QStringLiteral("3000") << QStringLiteral("[Receive from :0]:ab\n");
}

void tst_UartNetAssist::packetGapFromField()
{
    QFETCH(QString, gap);
    QFETCH(QString, shown);
    if (!socat)
        QSKIP("socat is not available");
    openSerial(panel, socat->portA());
    QVERIFY(isOpen(panel));
    if (!gap.isEmpty()) {
        // The field reaches the open device when its editing finishes.
        auto* field = child<QLineEdit>(panel, "edit_timeGap");
        field->setText(gap);
        emit field->editingFinished();
    }
    QSerialPort peer(socat->portB());
    QVERIFY(peer.open(QIODevice::ReadWrite));
    peer.write("a");
    QVERIFY(peer.waitForBytesWritten(1000));
    QTest::qWait(300); // the point: a pause six times one gap and a tenth of the other
    peer.write("b");
    QTRY_COMPARE_WITH_TIMEOUT(recvText(panel), shown, 10000);
}

void tst_UartNetAssist::removedSerialPortClosesPanel()
{
    if (!testutil::isRoot())
        QSKIP("needs root to add a serial port link under /dev");
    if (!socat)
        QSKIP("socat is not available");
    const QString name = QStringLiteral("ttyS249");
    const QString link = QStringLiteral("/dev/") + name;
    if (QFileInfo::exists(link) || QFileInfo(link).isSymLink())
        QSKIP("/dev/ttyS249 is in use");
    struct LinkGuard
    {
        QString path;
        ~LinkGuard() { QFile::remove(path); }
    } guard{link};
    QVERIFY(QFile::link(socat->portA(), link));

    delete panel; // a panel that saw the port at start-up
    panel = new UartNetAssist;
    panel->show();
    QVERIFY(child<QComboBox>(panel, "com_list")->findText(name) >= 0);
    setProtocol(panel, 1);
    setProtocol(panel, 0); // back on the serial page the watch ticks every 2 s
    openSerial(panel, name);
    QVERIFY(isOpen(panel));

    QVERIFY(QFile::remove(link));
    QTRY_VERIFY_WITH_TIMEOUT(!isOpen(panel), 8000);
    QTRY_VERIFY2_WITH_TIMEOUT(recvText(panel).contains(QRegularExpression(QStringLiteral(
                 "^\\[\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\]Device is removed!$"),
                 QRegularExpression::MultilineOption)),
             qPrintable(recvText(panel)), 5000);
    QCOMPARE(child<QComboBox>(panel, "com_list")->findText(name), -1);
    QVERIFY(child<QComboBox>(panel, "com_list")->isEnabled());
}

void tst_UartNetAssist::openDeviceReopensWithoutBox()
{
    QTcpServer peerServer;
    QVERIFY(peerServer.listen(QHostAddress::LocalHost, 0));
    openClient(panel, QStringLiteral("127.0.0.1:%1").arg(peerServer.serverPort()));
    QVERIFY(isOpen(panel));
    QTRY_VERIFY_WITH_TIMEOUT(peerServer.hasPendingConnections(), 5000);
    QTcpSocket* first = peerServer.nextPendingConnection();
    child<QCheckBox>(panel, "circular_send")->click();
    child<QPlainTextEdit>(panel, "send_text")->setPlainText(QStringLiteral("tick"));
    child<QPushButton>(panel, "btn_send")->click();

    panel->OpenDevice();
    QTRY_VERIFY_WITH_TIMEOUT(isOpen(panel), 5000);
    QTRY_VERIFY_WITH_TIMEOUT(peerServer.hasPendingConnections(), 5000);
    QTRY_COMPARE_WITH_TIMEOUT(first->state(), QAbstractSocket::UnconnectedState, 5000);
    QCOMPARE(visibleBoxes(panel), 0);
    // The peer closing the new link later is news again.
    QTcpSocket* second = peerServer.nextPendingConnection();
    child<QPushButton>(panel, "btn_send")->click();
    QCOMPARE(child<QPushButton>(panel, "btn_send")->text(), QStringLiteral("stop send"));
    auto box = catchNextBox();
    second->disconnectFromHost();
    QTRY_VERIFY_WITH_TIMEOUT(box->seen, 5000);
    QCOMPARE(box->text, QStringLiteral("The connection has been disconnected!"));
}

void tst_UartNetAssist::releaseDuringPeriodicShowsNoBox()
{
    QTcpServer peerServer;
    QVERIFY(peerServer.listen(QHostAddress::LocalHost, 0));
    openClient(panel, QStringLiteral("127.0.0.1:%1").arg(peerServer.serverPort()));
    QVERIFY(isOpen(panel));
    child<QCheckBox>(panel, "circular_send")->click();
    child<QPlainTextEdit>(panel, "send_text")->setPlainText(QStringLiteral("tick"));
    child<QPushButton>(panel, "btn_send")->click();
    panel->release();
    QCOMPARE(visibleBoxes(panel), 0);
    QTest::qWait(100); // the point: no late box either
    QCOMPARE(visibleBoxes(panel), 0);
}

void tst_UartNetAssist::portOutOfRangeRefused_data()
{
    QTest::addColumn<int>("protocol");
    QTest::addColumn<QString>("port");
    QTest::newRow("udp 65536") << 3 << QStringLiteral("65536");
    QTest::newRow("udp 0") << 3 << QStringLiteral("0");
    QTest::newRow("server 70000") << 1 << QStringLiteral("70000");
    QTest::newRow("server empty") << 1 << QString();
    QTest::newRow("server negative") << 1 << QStringLiteral("-1");
    QTest::newRow("client 70000") << 2 << QStringLiteral("70000");
    QTest::newRow("client 0") << 2 << QStringLiteral("0");
}

void tst_UartNetAssist::portOutOfRangeRefused()
{
    QFETCH(int, protocol);
    QFETCH(QString, port);
    if (protocol == 2) {
        auto* remote = child<QComboBox>(panel, "remote_ip_port");
        QString typed = QStringLiteral("127.0.0.1:") + port;
        int pos = 0;
        QVERIFY(remote->validator());
        QVERIFY(remote->validator()->validate(typed, pos) != QValidator::Acceptable);
        openClient(panel, QStringLiteral("127.0.0.1:") + port);
    } else {
        auto* field = child<QLineEdit>(panel, "addr_port_edit");
        QString typed = port;
        int pos = 0;
        QVERIFY(field->validator());
        QVERIFY(field->validator()->validate(typed, pos) != QValidator::Acceptable);
        setProtocol(panel, protocol);
        child<QComboBox>(panel, "local_ip_list")->setEditText(QStringLiteral("127.0.0.1"));
        field->setText(port); // as a configuration string or a hand-edited file could
        child<QPushButton>(panel, "connect")->click();
    }
    // Nothing listens on a wrapped or system-chosen port: the panel stays closed and says why.
    QVERIFY(!isOpen(panel));
    QVERIFY2(child<QLabel>(panel, "device_open_err")->text().startsWith(QLatin1String("Invalid port")),
             qPrintable(child<QLabel>(panel, "device_open_err")->text()));
    QCOMPARE(visibleBoxes(panel), 0);
}

void tst_UartNetAssist::typedPathClosedOnlyWhenItGoes()
{
    if (!testutil::haveSocat())
        QSKIP("socat is not available");
    auto own = std::make_unique<testutil::SocatPair>();
    QVERIFY(own->isValid());
    setProtocol(panel, 1);
    setProtocol(panel, 0); // back on the serial page the watch ticks every 2 s
    openSerial(panel, own->portA());
    QVERIFY(isOpen(panel));

    if (testutil::isRoot()) {
        // Another ttyS entry coming and going (a VCOM pair made in the same program)
        // changes the count of serial ports, not this port.
        const QString name = QStringLiteral("ttyS248");
        const QString link = QStringLiteral("/dev/") + name;
        if (!QFileInfo::exists(link) && !QFileInfo(link).isSymLink()) {
            struct LinkGuard
            {
                QString path;
                ~LinkGuard() { QFile::remove(path); }
            } guard{link};
            QVERIFY(QFile::link(own->portB(), link));
            QTRY_VERIFY_WITH_TIMEOUT(SerialPortWatch::shared()->ports().contains(name), 10000);
            QVERIFY(isOpen(panel));
            QVERIFY(QFile::remove(link));
            QTRY_VERIFY_WITH_TIMEOUT(!SerialPortWatch::shared()->ports().contains(name), 10000);
            QVERIFY(isOpen(panel));
        }
    }
    QVERIFY(!recvText(panel).contains(QLatin1String("Device is removed!")));

    own.reset(); // socat ends and its links go
    QTRY_VERIFY_WITH_TIMEOUT(!isOpen(panel), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(recvText(panel).contains(QLatin1String("Device is removed!")), 5000);
    QVERIFY(child<QComboBox>(panel, "com_list")->isEnabled());
}

void tst_UartNetAssist::udpSenderHistoryBounded()
{
    const int port = freeUdpPort();
    openLocal(panel, 3, port);
    QVERIFY(isOpen(panel));
    const int senders = 130;
    std::vector<std::unique_ptr<QUdpSocket>> peers;
    for (int i = 0; i < senders; ++i) {
        peers.push_back(std::make_unique<QUdpSocket>());
        QVERIFY(peers.back()->bind(QHostAddress::LocalHost, 0));
        peers.back()->writeDatagram("x", QHostAddress::LocalHost, quint16(port));
        // One at a time, so that the order of the senders is known.
        QTRY_COMPARE_WITH_TIMEOUT(recvLabel(panel), QStringLiteral("Recv:%1").arg(i + 1), 5000);
    }
    auto* combo = child<QComboBox>(panel, "remote_addr_history");
    const auto key = [&peers](int i) { return QStringLiteral("127.0.0.1:%1").arg(peers.at(i)->localPort()); };
    QCOMPARE(combo->count(), UartNetAssist::historySize);
    QVERIFY(combo->findText(key(senders - 1)) >= 0);
    QCOMPARE(combo->findText(key(senders - UartNetAssist::historySize - 1)), -1);
    // A known sender again changes nothing.
    peers.at(senders - 1)->writeDatagram("y", QHostAddress::LocalHost, quint16(port));
    QTRY_COMPARE_WITH_TIMEOUT(recvLabel(panel), QStringLiteral("Recv:%1").arg(senders + 1), 5000);
    QCOMPARE(combo->count(), UartNetAssist::historySize);

    delete panel;
    panel = nullptr;
    QSettings ini(appDir->filePath(QStringLiteral("config/assist.ini")), QSettings::IniFormat);
    QCOMPARE(ini.value(QStringLiteral("udp/remote_num")).toInt(), UartNetAssist::historySize);
    QCOMPARE(ini.value(QStringLiteral("udp/%1").arg(UartNetAssist::historySize)).toString(), key(senders - 1));
}

void tst_UartNetAssist::destroyWhileGapFieldHasFocus()
{
    if (!socat)
        QSKIP("socat is not available");
    openSerial(panel, socat->portA());
    QVERIFY(isOpen(panel));
    panel->activateWindow();
    auto* gap = child<QLineEdit>(panel, "edit_timeGap");
    gap->setFocus();
    QTRY_VERIFY_WITH_TIMEOUT(gap->hasFocus(), 5000);
    QTest::keyClicks(gap, QStringLiteral("0"));
    // The field loses the focus while the panel goes, so its signal fires inside
    // ~QWidget; the panel's handler must no longer be connected then (the sanitizer
    // build reports a call on a half-destroyed panel otherwise).
    QSignalSpy finished(gap, &QLineEdit::editingFinished);
    QVERIFY(finished.isValid());
    delete panel;
    panel = nullptr;
    QCOMPARE(finished.count(), 1);
}

QTEST_MAIN(tst_UartNetAssist)
#include "tst_uartnetassist.moc"
