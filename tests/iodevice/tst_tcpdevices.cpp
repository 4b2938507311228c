#include "tcpClientSocket_.h"
#include "tcpServerSocket_.h"

#include <QPointer>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <memory>
#include <vector>

namespace {

std::unique_ptr<QTcpSocket> connectTo(quint16 port, const QHostAddress& host = QHostAddress::LocalHost)
{
    auto s = std::make_unique<QTcpSocket>();
    s->connectToHost(host, port);
    if (!s->waitForConnected(5000))
        return nullptr;
    return s;
}

// A port on which nothing listens right now.
quint16 closedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

} // namespace

class tst_TcpDevices : public QObject
{
    Q_OBJECT
private slots:
    void serverRemovesExactlyTheDisconnectedClient();
    void serverRemovesAllUnconnectedInOneWalk();
    void serverWriteToOneClient_data();
    void serverWriteToOneClient();
    void serverAllAddressesReportsMappedIpv4();
    void serverFreesRemovedClients();
    void serverCloseDisconnectsAll();
    void serverReceivesFromEveryClient();
    void serverOpenFailure();
    void clientReconnectsUntilServerListens();
    void clientFromOpenDoesNotReconnect();
    void clientOpenFailure();
    void deletingConnectedClientSignalsOnce();
    void clientRoundTrip();
    void readPauseHoldsBytesUntilResumed_data();
    void readPauseHoldsBytesUntilResumed();
    void openAsync_data();
    void openAsync();
    void portsOutOfRange_data();
    void portsOutOfRange();
};

void tst_TcpDevices::serverRemovesExactlyTheDisconnectedClient()
{
    tcpServerSocket_ server;
    TcpServerParams params{QHostAddress::LocalHost, 0};
    QVERIFY(server.open(&params));
    QVERIFY(server.isValid());
    QSignalSpy newSpy(&server, &tcpServerSocket_::newConnectIPportInfo_signal);
    QSignalSpy goneSpy(&server, &tcpServerSocket_::disConnect_signal);
    QVERIFY(newSpy.isValid() && goneSpy.isValid());

    std::vector<std::unique_ptr<QTcpSocket>> peers;
    for (int i = 0; i < 3; ++i) {
        peers.push_back(connectTo(server.server->serverPort()));
        QVERIFY(peers.back());
        QTRY_COMPARE(int(server.clients.size()), i + 1);
    }
    QCOMPARE(newSpy.count(), 3);
    QCOMPARE(newSpy.at(1).at(1).toInt(), int(peers[1]->localPort()));
    QCOMPARE(server.lastClient, server.clients.back());

    const int secondPort = peers[1]->localPort();
    peers[1]->disconnectFromHost();
    QTRY_COMPARE(goneSpy.count(), 1);
    QCOMPARE(goneSpy.at(0).at(0).toString(), QStringLiteral("127.0.0.1"));
    QCOMPARE(goneSpy.at(0).at(1).toInt(), secondPort);
    QCOMPARE(int(server.clients.size()), 2);
    QCOMPARE(int(server.clients[0]->peerPort()), int(peers[0]->localPort()));
    QCOMPARE(int(server.clients[1]->peerPort()), int(peers[2]->localPort()));
}

void tst_TcpDevices::serverRemovesAllUnconnectedInOneWalk()
{
    tcpServerSocket_ server;
    TcpServerParams params{QHostAddress::LocalHost, 0};
    QVERIFY(server.open(&params));
    std::vector<std::unique_ptr<QTcpSocket>> peers;
    for (int i = 0; i < 3; ++i) {
        peers.push_back(connectTo(server.server->serverPort()));
        QVERIFY(peers.back());
    }
    QTRY_COMPARE(int(server.clients.size()), 3);
    QSignalSpy goneSpy(&server, &tcpServerSocket_::disConnect_signal);

    // Two clients are gone before the slot runs: one walk must take out both.
    QTcpSocket* first = server.clients[0];
    QTcpSocket* third = server.clients[2];
    const int thirdPort = third->peerPort();
    for (QTcpSocket* s : {first, third}) {
        s->blockSignals(true);
        s->abort();
        s->blockSignals(false);
    }
    server.disConnect_slot();
    QCOMPARE(goneSpy.count(), 1);
    QCOMPARE(goneSpy.at(0).at(1).toInt(), thirdPort); // the last one taken out
    QCOMPARE(int(server.clients.size()), 1);
    QCOMPARE(int(server.clients[0]->peerPort()), int(peers[1]->localPort()));

    // No unconnected client at all: one signal with an empty address and port 0.
    server.disConnect_slot();
    QCOMPARE(goneSpy.count(), 2);
    QCOMPARE(goneSpy.at(1).at(0).toString(), QString());
    QCOMPARE(goneSpy.at(1).at(1).toInt(), 0);
}

void tst_TcpDevices::serverWriteToOneClient_data()
{
    QTest::addColumn<bool>("matchPort");
    QTest::newRow("matching address and port") << true;
    QTest::newRow("port matches no client") << false;
}

void tst_TcpDevices::serverWriteToOneClient()
{
    QFETCH(bool, matchPort);
    tcpServerSocket_ server;
    TcpServerParams params{QHostAddress::LocalHost, 0};
    QVERIFY(server.open(&params));
    auto a = connectTo(server.server->serverPort());
    auto b = connectTo(server.server->serverPort());
    QVERIFY(a && b);
    QTRY_COMPARE(int(server.clients.size()), 2);

    const int port = matchPort ? b->localPort() : b->localPort() + a->localPort();
    server.write(QStringLiteral("127.0.0.1"), port, "only-b");
    server.write("to-all");
    QTRY_VERIFY(a->bytesAvailable() >= 6);
    QTRY_VERIFY(b->bytesAvailable() >= (matchPort ? 12 : 6));
    QCOMPARE(a->readAll(), QByteArray("to-all"));
    QCOMPARE(b->readAll(), matchPort ? QByteArray("only-bto-all") : QByteArray("to-all"));
}

void tst_TcpDevices::serverAllAddressesReportsMappedIpv4()
{
    tcpServerSocket_ server;
    QVERIFY(server.listen(0));
    QVERIFY(!server.isValid()); // listen() leaves the open flag to its user
    QSignalSpy newSpy(&server, &tcpServerSocket_::newConnectIPportInfo_signal);
    auto peer = connectTo(server.server->serverPort(), QHostAddress(QStringLiteral("127.0.0.1")));
    QVERIFY(peer);
    QTRY_COMPARE(newSpy.count(), 1);
    const QString ip = newSpy.at(0).at(0).toString();
    QCOMPARE(ip, QStringLiteral("::ffff:127.0.0.1"));

    server.write(QStringLiteral("127.0.0.1"), peer->localPort(), "dotted");
    server.write(ip, peer->localPort(), "mapped");
    QTRY_COMPARE(peer->bytesAvailable(), qint64(6));
    QCOMPARE(peer->readAll(), QByteArray("mapped"));
}

void tst_TcpDevices::serverFreesRemovedClients()
{
    tcpServerSocket_ server;
    TcpServerParams params{QHostAddress::LocalHost, 0};
    QVERIFY(server.open(&params));
    QList<QPointer<QTcpSocket>> accepted;
    connect(&server, &tcpServerSocket_::newConnectIPportInfo_signal, this,
            [&]() { accepted.append(server.lastClient); });
    for (int i = 0; i < 20; ++i) {
        auto peer = connectTo(server.server->serverPort());
        QVERIFY(peer);
        QTRY_COMPARE(accepted.size(), i + 1);
        peer->disconnectFromHost();
        QTRY_VERIFY(server.clients.empty());
    }
    // Every taken-out socket is deleted, not kept as a child of the server.
    QTRY_VERIFY(std::all_of(accepted.begin(), accepted.end(), [](const QPointer<QTcpSocket>& p) { return p.isNull(); }));
    QCOMPARE(server.server->findChildren<QTcpSocket*>().size(), 0);
}

void tst_TcpDevices::serverCloseDisconnectsAll()
{
    tcpServerSocket_ server;
    TcpServerParams params{QHostAddress::LocalHost, 0};
    QVERIFY(server.open(&params));
    const quint16 port = server.server->serverPort();
    auto a = connectTo(port);
    auto b = connectTo(port);
    QVERIFY(a && b);
    QTRY_COMPARE(int(server.clients.size()), 2);
    QSignalSpy goneSpy(&server, &tcpServerSocket_::disConnect_signal);
    server.close();
    QVERIFY(!server.isValid());
    QVERIFY(!server.server->isListening());
    QTRY_COMPARE(a->state(), QAbstractSocket::UnconnectedState);
    QTRY_COMPARE(b->state(), QAbstractSocket::UnconnectedState);
    QTRY_VERIFY(server.clients.empty());
    QVERIFY(goneSpy.count() >= 1);
}

void tst_TcpDevices::serverReceivesFromEveryClient()
{
    tcpServerSocket_ server;
    TcpServerParams params{QHostAddress::LocalHost, 0};
    QVERIFY(server.open(&params));
    auto a = connectTo(server.server->serverPort());
    auto b = connectTo(server.server->serverPort());
    QVERIFY(a && b);
    QTRY_COMPARE(int(server.clients.size()), 2);
    QMap<int, QByteArray> got;
    connect(&server, &AbsIoDevice::receiveData, this,
            [&](const QByteArray& d, const QString& ip, int port) {
                QCOMPARE(ip, QStringLiteral("127.0.0.1"));
                got[port] += d;
            });
    a->write("from-a");
    b->write(QByteArray("from-b\0", 7));
    QTRY_COMPARE(got.value(a->localPort()), QByteArray("from-a"));
    QTRY_COMPARE(got.value(b->localPort()), QByteArray("from-b\0", 7));
}

void tst_TcpDevices::serverOpenFailure()
{
    QTcpServer taken;
    QVERIFY(taken.listen(QHostAddress::LocalHost, 0));
    tcpServerSocket_ server;
    TcpServerParams params{QHostAddress::LocalHost, int(taken.serverPort())};
    QVERIFY(!server.open(&params));
    QVERIFY(!server.isValid());
    QVERIFY(!server.errorText.isEmpty());
    QVERIFY(!server.open(nullptr));
}

void tst_TcpDevices::clientReconnectsUntilServerListens()
{
    const quint16 port = closedPort();
    tcpClientSocket_ client;
    client.reconnectInterval = 100;
    QSignalSpy upSpy(&client, &tcpClientSocket_::connected_signal);
    QVERIFY(upSpy.isValid());
    QVERIFY(client.connectServer(QStringLiteral("127.0.0.1"), port));
    QVERIFY(!client.isValid());
    QVERIFY(client.reconnectTimer.isActive());
    QTRY_VERIFY(client.refusedCount >= 2);
    QCOMPARE(upSpy.count(), 0);

    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost, port));
    QTRY_COMPARE(upSpy.count(), 1);
    QVERIFY(client.isValid());
    QVERIFY(client.connected);
    QTRY_VERIFY(!client.reconnectTimer.isActive());

    // The link drops: the client says so and starts retrying.
    QSignalSpy downSpy(&client, &tcpClientSocket_::disConnect_signal);
    QTRY_VERIFY(server.hasPendingConnections());
    QTcpSocket* accepted = server.nextPendingConnection();
    accepted->abort();
    QTRY_COMPARE(downSpy.count(), 1);
    QVERIFY(!client.isValid());
    QVERIFY(client.reconnectTimer.isActive());
    QTRY_COMPARE(upSpy.count(), 2);
}

void tst_TcpDevices::clientFromOpenDoesNotReconnect()
{
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost, 0));
    tcpClientSocket_ client;
    TcpClientParams params{QHostAddress::LocalHost, QHostAddress::LocalHost, int(server.serverPort())};
    QSignalSpy upSpy(&client, &tcpClientSocket_::connected_signal);
    QVERIFY(client.open(&params));
    QVERIFY(client.isValid());
    QVERIFY(client.localPort > 0);
    QCOMPARE(upSpy.count(), 0); // one-shot opening does not announce itself
    QVERIFY(!client.connected);

    QSignalSpy downSpy(&client, &tcpClientSocket_::disConnect_signal);
    QTRY_VERIFY(server.hasPendingConnections());
    server.nextPendingConnection()->close();
    QTRY_COMPARE(downSpy.count(), 1);
    QVERIFY(!client.isValid());
    QVERIFY(!client.reconnectTimer.isActive());
}

void tst_TcpDevices::clientOpenFailure()
{
    tcpClientSocket_ client;
    TcpClientParams params{QHostAddress::LocalHost, QHostAddress::LocalHost, int(closedPort())};
    QVERIFY(!client.open(&params));
    QVERIFY(!client.isValid());
    QVERIFY(!client.errorText.isEmpty());
    QVERIFY(!client.open(nullptr));
}

void tst_TcpDevices::deletingConnectedClientSignalsOnce()
{
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost, 0));
    auto* client = new tcpClientSocket_;
    QVERIFY(client->connectServer(QStringLiteral("127.0.0.1"), server.serverPort()));
    QTRY_VERIFY(client->isValid());
    int downs = 0;
    connect(client, &tcpClientSocket_::disConnect_signal, this, [&]() { ++downs; });
    delete client;
    QCOMPARE(downs, 1);
}

void tst_TcpDevices::clientRoundTrip()
{
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost, 0));
    tcpClientSocket_ client;
    TcpClientParams params{QHostAddress::LocalHost, QHostAddress::LocalHost, int(server.serverPort())};
    QVERIFY(client.open(&params));
    QTRY_VERIFY(server.hasPendingConnections());
    std::unique_ptr<QTcpSocket> peer(server.nextPendingConnection());
    QSignalSpy rx(&client, &AbsIoDevice::receiveData);
    client.write(QByteArray("ping\0", 5));
    QTRY_COMPARE(peer->bytesAvailable(), qint64(5));
    QCOMPARE(peer->readAll(), QByteArray("ping\0", 5));
    peer->write("pong");
    QTRY_VERIFY(!rx.isEmpty());
    QCOMPARE(rx.at(0).at(0).toByteArray(), QByteArray("pong"));
    QCOMPARE(rx.at(0).at(1).toString(), QStringLiteral("127.0.0.1"));
    QCOMPARE(rx.at(0).at(2).toInt(), int(server.serverPort()));
}

void tst_TcpDevices::readPauseHoldsBytesUntilResumed_data()
{
    QTest::addColumn<bool>("serverSide");
    QTest::newRow("tcp client device") << false;
    QTest::newRow("tcp server device, client joins while paused") << true;
}

void tst_TcpDevices::readPauseHoldsBytesUntilResumed()
{
    QFETCH(bool, serverSide);
    QByteArray payload(1024 * 1024, Qt::Uninitialized);
    for (int i = 0; i < payload.size(); ++i)
        payload[i] = char(i % 253);

    QByteArray received;
    QTcpServer plainServer; // parent of the accepted peer: must outlive it
    std::unique_ptr<AbsIoDevice> device;
    std::unique_ptr<QTcpSocket> peer;
    if (serverSide) {
        auto* server = new tcpServerSocket_;
        device.reset(server);
        TcpServerParams params{QHostAddress::LocalHost, 0};
        QVERIFY(server->open(&params));
        device->setReadPaused(true);
        peer = connectTo(server->server->serverPort());
        QVERIFY(peer);
        QTRY_COMPARE(int(server->clients.size()), 1);
    } else {
        QVERIFY(plainServer.listen(QHostAddress::LocalHost, 0));
        auto* client = new tcpClientSocket_;
        device.reset(client);
        TcpClientParams params{QHostAddress::LocalHost, QHostAddress::LocalHost, int(plainServer.serverPort())};
        QVERIFY(client->open(&params));
        QTRY_VERIFY(plainServer.hasPendingConnections());
        peer.reset(plainServer.nextPendingConnection());
        device->setReadPaused(true);
    }
    QVERIFY(device->isReadPaused());
    connect(device.get(), &AbsIoDevice::receiveData, this, [&](const QByteArray& d) { received += d; });
    peer->write(payload);
    // Waiting is the point: a paused device must deliver nothing.
    QTest::qWait(300);
    QCOMPARE(received.size(), 0);

    device->setReadPaused(false);
    QTRY_COMPARE_WITH_TIMEOUT(received.size(), payload.size(), 10000);
    QVERIFY(received == payload);
}

void tst_TcpDevices::openAsync_data()
{
    QTest::addColumn<QString>("server");
    QTest::newRow("server listens") << "listening";
    QTest::newRow("connection refused") << "closed";
    QTest::newRow("port out of range") << "out of range";
}

void tst_TcpDevices::openAsync()
{
    QFETCH(QString, server);
    QTcpServer listener;
    int port = 70000;
    if (server == QLatin1String("listening")) {
        QVERIFY(listener.listen(QHostAddress::LocalHost, 0));
        port = listener.serverPort();
    } else if (server == QLatin1String("closed")) {
        port = closedPort();
    }
    tcpClientSocket_ client;
    QSignalSpy opened(&client, &tcpClientSocket_::opened);
    QSignalSpy failed(&client, &tcpClientSocket_::openFailed);
    QSignalSpy up(&client, &tcpClientSocket_::connected_signal);
    QVERIFY(opened.isValid() && failed.isValid() && up.isValid());
    TcpClientParams params{QHostAddress::LocalHost, QHostAddress::LocalHost, port};
    if (server == QLatin1String("out of range")) {
        QVERIFY(!client.openAsync(&params));
        QVERIFY(client.errorText.contains(QLatin1String("out of range")));
        return;
    }
    QVERIFY(client.openAsync(&params));
    QVERIFY(!client.isValid()); // nothing waited for
    QTRY_COMPARE(opened.count() + failed.count(), 1);
    if (server == QLatin1String("listening")) {
        QCOMPARE(opened.count(), 1);
        QVERIFY(client.isValid());
        QVERIFY(client.localPort > 0);
    } else {
        QCOMPARE(failed.at(0).at(0).toString(), client.errorText);
        QVERIFY(!client.errorText.isEmpty());
        QVERIFY(!client.isValid());
        QVERIFY(!client.reconnectTimer.isActive()); // one attempt only
    }
    QCOMPARE(up.count(), 0);
}

void tst_TcpDevices::portsOutOfRange_data()
{
    QTest::addColumn<QString>("call");
    QTest::addColumn<int>("port");
    QTest::newRow("server open wraps to 4464") << "server open" << 70000;
    QTest::newRow("server open negative") << "server open" << -1;
    QTest::newRow("server listen 65536") << "server listen" << 65536;
    QTest::newRow("client open 0") << "client open" << 0;
    QTest::newRow("client open wraps") << "client open" << 70000;
    QTest::newRow("client connectServer wraps") << "client connectServer" << 65536 + 80;
}

void tst_TcpDevices::portsOutOfRange()
{
    QFETCH(QString, call);
    QFETCH(int, port);
    QString error;
    if (call.startsWith(QLatin1String("server"))) {
        tcpServerSocket_ server;
        if (call.endsWith(QLatin1String("open"))) {
            TcpServerParams params{QHostAddress::LocalHost, port};
            QVERIFY(!server.open(&params));
        } else {
            QVERIFY(!server.listen(port));
        }
        QVERIFY(!server.isValid());
        QVERIFY(!server.server->isListening());
        error = server.errorText;
    } else {
        tcpClientSocket_ client;
        if (call.endsWith(QLatin1String("open"))) {
            TcpClientParams params{QHostAddress::LocalHost, QHostAddress::LocalHost, port};
            QVERIFY(!client.open(&params));
        } else {
            QVERIFY(client.connectServer(QStringLiteral("127.0.0.1"), port));
        }
        QVERIFY(!client.isValid());
        QCOMPARE(client.tcpSocket()->state(), QAbstractSocket::UnconnectedState); // no attempt made
        error = client.errorText;
    }
    QVERIFY2(error.contains(QLatin1String("out of range")), qPrintable(error));
}

QTEST_GUILESS_MAIN(tst_TcpDevices)
#include "tst_tcpdevices.moc"
