#include "tcpServerSocket_.h"

#include <QTcpServer>
#include <QTcpSocket>

namespace {
const char* const peerIpProperty = "vxaPeerIp";
const char* const peerPortProperty = "vxaPeerPort";
const char* const activeBufferProperty = "vxaActiveReadBuffer";
} // namespace

tcpServerSocket_::tcpServerSocket_(QObject* parent)
    : AbsIoDevice(parent)
    , server(new QTcpServer(this))
{
    connect(server, &QTcpServer::newConnection, this, &tcpServerSocket_::newConnect_slot);
}

tcpServerSocket_::~tcpServerSocket_()
{
    close();
    delete server;
    server = nullptr;
}

bool tcpServerSocket_::open(const void* params)
{
    if (!params)
        return false;
    const auto* p = static_cast<const TcpServerParams*>(params);
    listenAddress = p->address;
    listenPort = p->port;
    // 0 asks the system for any free port; anything outside 0-65535 would wrap.
    if (listenPort < 0 || listenPort > 65535) {
        errorText = tr("port %1 is out of range (1-65535)").arg(listenPort);
        return false;
    }
    if (server->listen(listenAddress, static_cast<quint16>(listenPort))) {
        valid = true;
        return true;
    }
    errorText = server->errorString();
    return false;
}

bool tcpServerSocket_::listen(int port)
{
    listenAddress = QHostAddress(QHostAddress::Any);
    listenPort = port;
    if (port < 0 || port > 65535) {
        errorText = tr("port %1 is out of range (1-65535)").arg(port);
        return false;
    }
    if (server->listen(QHostAddress::Any, static_cast<quint16>(port)))
        return true;
    errorText = server->errorString();
    return false;
}

void tcpServerSocket_::newConnect_slot()
{
    while (server->hasPendingConnections()) {
        QTcpSocket* client = server->nextPendingConnection();
        if (!client)
            return;
        lastClient = client;
        // Kept with the socket: once it is unconnected the socket forgets its peer.
        client->setProperty(peerIpProperty, client->peerAddress().toString());
        client->setProperty(peerPortProperty, int(client->peerPort()));
        emit newConnectIPportInfo_signal(client->peerAddress().toString(), client->peerPort());
        clients.push_back(client);
        connect(client, &QTcpSocket::readyRead, this, &tcpServerSocket_::readData_slot);
        connect(client, &QTcpSocket::disconnected, this, &tcpServerSocket_::disConnect_slot);
        if (readPaused)
            pauseClient(client, true);
        // A client that went away before we got here never emits disconnected again.
        if (client->state() == QAbstractSocket::UnconnectedState)
            QMetaObject::invokeMethod(this, &tcpServerSocket_::disConnect_slot, Qt::QueuedConnection);
    }
}

void tcpServerSocket_::readData_slot()
{
    for (QTcpSocket* client : clients) {
        const QByteArray data = client->readAll();
        if (!data.isEmpty())
            emit receiveData(data, client->peerAddress().toString(), client->peerPort());
    }
}

void tcpServerSocket_::write(const QByteArray& data)
{
    send(data);
}

qint64 tcpServerSocket_::send(const QByteArray& data)
{
    qint64 most = -1;
    for (QTcpSocket* client : clients)
        most = qMax(most, client->write(data));
    return most;
}

QTcpSocket* tcpServerSocket_::findClient(const QString& ip, int port) const
{
    for (QTcpSocket* client : clients) {
        if (client->peerAddress().toString() == ip && client->peerPort() == port)
            return client;
    }
    return nullptr;
}

void tcpServerSocket_::write(QString ip, int port, const QByteArray& data)
{
    if (QTcpSocket* client = findClient(ip, port))
        client->write(data);
}

void tcpServerSocket_::disConnectOneClient(QString ip, int port)
{
    if (QTcpSocket* client = findClient(ip, port))
        client->disconnectFromHost();
}

void tcpServerSocket_::disConnect_slot()
{
    QString ip;
    int port = 0;
    for (auto it = clients.begin(); it != clients.end();) {
        QTcpSocket* client = *it;
        if (client->state() == QAbstractSocket::UnconnectedState) {
            ip = client->property(peerIpProperty).toString();
            port = client->property(peerPortProperty).toInt();
            it = clients.erase(it);
            if (lastClient == client)
                lastClient = nullptr;
            // Freed at once so that many short connections do not pile up.
            client->disconnect(this);
            client->deleteLater();
        } else {
            ++it;
        }
    }
    emit disConnect_signal(ip, port);
}

void tcpServerSocket_::pauseClient(QTcpSocket* client, bool paused)
{
    disconnect(client, &QTcpSocket::readyRead, this, &tcpServerSocket_::readData_slot);
    if (paused) {
        if (!client->property(activeBufferProperty).isValid())
            client->setProperty(activeBufferProperty, client->readBufferSize());
        client->setReadBufferSize(pausedReadBuffer);
    } else {
        const QVariant active = client->property(activeBufferProperty);
        if (active.isValid()) {
            client->setReadBufferSize(active.toLongLong());
            client->setProperty(activeBufferProperty, QVariant());
        }
        connect(client, &QTcpSocket::readyRead, this, &tcpServerSocket_::readData_slot);
    }
}

void tcpServerSocket_::setReadPaused(bool paused)
{
    for (QTcpSocket* client : clients)
        pauseClient(client, paused);
    if (!paused && readPaused)
        QMetaObject::invokeMethod(this, &tcpServerSocket_::readData_slot, Qt::QueuedConnection);
    AbsIoDevice::setReadPaused(paused);
}

void tcpServerSocket_::close()
{
    for (auto it = clients.rbegin(); it != clients.rend(); ++it)
        (*it)->disconnectFromHost();
    server->close();
    valid = false;
}
