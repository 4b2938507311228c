#include "tcpClientSocket_.h"
#include "iodevicelog.h"

#include <QTcpSocket>

tcpClientSocket_::tcpClientSocket_(QObject* parent)
    : AbsIoDevice(parent)
    , socket(new QTcpSocket(this))
{
    socket->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 67108864);
    connect(socket, &QTcpSocket::disconnected, this, &tcpClientSocket_::onDisconnected);
    connect(socket, &QTcpSocket::readyRead, this, &tcpClientSocket_::readData_slot);
    connect(&reconnectTimer, &QTimer::timeout, this, &tcpClientSocket_::onReconnectTimer);
}

tcpClientSocket_::~tcpClientSocket_()
{
    close();
    socket->close();
    delete socket;
    socket = nullptr;
}

bool tcpClientSocket_::open(const void* params)
{
    if (!params)
        return false;
    const auto* p = static_cast<const TcpClientParams*>(params);
    localAddress = p->localAddress;
    serverAddress = p->serverAddress;
    serverHost = serverAddress.toString();
    serverPort = p->serverPort;

    socket->abort();
    socket->bind(localAddress, 0);
    socket->connectToHost(serverHost, static_cast<quint16>(serverPort), QIODevice::ReadWrite,
                          QAbstractSocket::AnyIPProtocol);
    if (socket->waitForConnected(500)) {
        valid = true;
        localPort = socket->localPort();
        socket->setSocketOption(QAbstractSocket::KeepAliveOption, 1);
        return true;
    }
    errorText = socket->errorString();
    valid = false;
    return false;
}

bool tcpClientSocket_::connectServer(QString host, int port)
{
    serverHost = host;
    serverPort = port;
    close();
    autoReconnect = true;
    if (!doConnect())
        reconnectTimer.start(reconnectInterval);
    return true;
}

bool tcpClientSocket_::doConnect()
{
    // An attempt that outlived its 20 ms wait may have connected since.
    const bool lateConnect = socket->state() == QAbstractSocket::ConnectedState;
    if (!lateConnect) {
        socket->abort();
        socket->connectToHost(serverHost, static_cast<quint16>(serverPort), QIODevice::ReadWrite,
                              QAbstractSocket::AnyIPProtocol);
    }
    if (lateConnect || socket->waitForConnected(20)) {
        connected = true;
        valid = true;
        emit connected_signal();
        socket->setSocketOption(QAbstractSocket::KeepAliveOption, 1);
    } else {
        errorText = socket->errorString();
        if (socket->error() == QAbstractSocket::ConnectionRefusedError)
            ++refusedCount;
    }
    return valid;
}

void tcpClientSocket_::onReconnectTimer()
{
    if (connected)
        return;
    if (doConnect())
        reconnectTimer.stop();
}

void tcpClientSocket_::onDisconnected()
{
    connected = false;
    valid = false;
    emit disConnect_signal();
    if (autoReconnect)
        reconnectTimer.start(reconnectInterval);
}

void tcpClientSocket_::readData_slot()
{
    const QByteArray data = socket->readAll();
    emit receiveData(data, socket->peerAddress().toString(), socket->peerPort());
}

void tcpClientSocket_::write(const QByteArray& data)
{
    if (socket->write(data) != data.size())
        qCDebug(lcIoDevice) << "tcp client send err";
}

void tcpClientSocket_::setReadPaused(bool paused)
{
    disconnect(socket, &QTcpSocket::readyRead, this, &tcpClientSocket_::readData_slot);
    if (paused) {
        if (!readPaused)
            activeReadBuffer = socket->readBufferSize();
        socket->setReadBufferSize(pausedReadBuffer);
    } else {
        if (readPaused)
            socket->setReadBufferSize(activeReadBuffer);
        connect(socket, &QTcpSocket::readyRead, this, &tcpClientSocket_::readData_slot);
        if (readPaused && socket->bytesAvailable() > 0)
            QMetaObject::invokeMethod(this, &tcpClientSocket_::readData_slot, Qt::QueuedConnection);
    }
    AbsIoDevice::setReadPaused(paused);
}

void tcpClientSocket_::close()
{
    if (reconnectTimer.isActive())
        reconnectTimer.stop();
    if (socket)
        socket->abort();
    valid = false;
}

int tcpClientSocket_::read(QByteArray& out)
{
    out = socket->readAll();
    return out.size();
}

qint64 tcpClientSocket_::availableBytes() const
{
    return socket->bytesAvailable();
}
