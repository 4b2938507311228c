#include "tcpClientSocket_.h"
#include "iodevicelog.h"

#include <QEvent>
#include <QSocketNotifier>
#include <QTcpSocket>

tcpClientSocket_::tcpClientSocket_(QObject* parent)
    : AbsIoDevice(parent)
    , socket(new QTcpSocket(this))
{
    socket->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 67108864);
    connect(socket, &QTcpSocket::disconnected, this, &tcpClientSocket_::onDisconnected);
    connect(socket, &QTcpSocket::readyRead, this, &tcpClientSocket_::readData_slot);
    connect(&reconnectTimer, &QTimer::timeout, this, &tcpClientSocket_::onReconnectTimer);
    connect(socket, &QTcpSocket::connected, this, &tcpClientSocket_::onConnected);
    openTimer.setSingleShot(true);
    connect(&openTimer, &QTimer::timeout, this, &tcpClientSocket_::onOpenTimeout);
    connect(socket, &QTcpSocket::errorOccurred, this, &tcpClientSocket_::onConnectError);
    connect(socket, &QTcpSocket::stateChanged, this, [this](QAbstractSocket::SocketState state) {
        // the socket's notifier exists once this signal's emitter has gone on
        if (state == QAbstractSocket::ConnectingState)
            QMetaObject::invokeMethod(this, &tcpClientSocket_::watchConnecting, Qt::QueuedConnection);
    });
}

void tcpClientSocket_::watchConnecting()
{
    connectTests = 0;
    resetReported = false;
    const auto notifiers = socket->findChildren<QSocketNotifier*>();
    for (QSocketNotifier* n : notifiers) {
        if (n->type() == QSocketNotifier::Write)
            n->installEventFilter(this);
    }
}

bool tcpClientSocket_::eventFilter(QObject* watched, QEvent* event)
{
    // One notification ends a normal attempt (connected or refused); a reset connection
    // is silently tried again, hundreds of times a second.
    constexpr int resetLoop = 8;
    if (event->type() == QEvent::SockAct && socket->state() == QAbstractSocket::ConnectingState
        && (openPending || attemptPending) && ++connectTests > resetLoop) {
        if (!resetReported) {
            resetReported = true;
            QMetaObject::invokeMethod(this, &tcpClientSocket_::connectionReset, Qt::QueuedConnection);
        }
        return true; // no further attempt meanwhile
    }
    return AbsIoDevice::eventFilter(watched, event);
}

void tcpClientSocket_::connectionReset()
{
    if (socket->state() != QAbstractSocket::ConnectingState || !(openPending || attemptPending))
        return;
    errorText = tr("connection reset by the server");
    socket->abort();
    if (openPending) {
        openPending = false;
        openTimer.stop();
        emit openFailed(errorText);
    } else {
        attemptPending = false;
        emit connectFailed(errorText);
    }
}

tcpClientSocket_::~tcpClientSocket_()
{
    close();
    socket->close();
    delete socket;
    socket = nullptr;
}

bool tcpClientSocket_::startAttempt(const void* params)
{
    if (!params)
        return false;
    const auto* p = static_cast<const TcpClientParams*>(params);
    localAddress = p->localAddress;
    serverAddress = p->serverAddress;
    serverHost = serverAddress.toString();
    serverPort = p->serverPort;

    socket->abort();
    attemptPending = false;
    openPending = false;
    openTimer.stop();
    valid = false;
    if (serverPort < 1 || serverPort > 65535) {
        errorText = tr("port %1 is out of range (1-65535)").arg(serverPort);
        return false;
    }
    socket->bind(localAddress, 0);
    socket->connectToHost(serverHost, static_cast<quint16>(serverPort), QIODevice::ReadWrite,
                          QAbstractSocket::AnyIPProtocol);
    return true;
}

void tcpClientSocket_::opening()
{
    valid = true;
    localPort = socket->localPort();
    socket->setSocketOption(QAbstractSocket::KeepAliveOption, 1);
}

bool tcpClientSocket_::open(const void* params)
{
    if (!startAttempt(params))
        return false;
    if (socket->waitForConnected(500)) {
        opening();
        return true;
    }
    errorText = socket->errorString();
    valid = false;
    return false;
}

bool tcpClientSocket_::openAsync(const void* params)
{
    if (!startAttempt(params))
        return false;
    // the attempt may already have failed inside connectToHost (no route, for example)
    if (socket->state() == QAbstractSocket::UnconnectedState) {
        errorText = socket->errorString();
        QMetaObject::invokeMethod(this, [this]() { emit openFailed(errorText); }, Qt::QueuedConnection);
        return true;
    }
    openPending = true;
    openTimer.start(openTimeout);
    return true;
}

void tcpClientSocket_::onOpenTimeout()
{
    if (!openPending)
        return;
    openPending = false;
    socket->abort();
    errorText = tr("no answer from %1:%2 within %3 ms").arg(serverHost).arg(serverPort).arg(openTimeout);
    emit openFailed(errorText);
}

bool tcpClientSocket_::connectServer(QString host, int port)
{
    serverHost = host;
    serverPort = port;
    close();
    autoReconnect = true;
    // The attempt completes (or fails) on its own; the timer retries until connected.
    doConnect();
    if (!connected)
        reconnectTimer.start(reconnectInterval);
    return true;
}

bool tcpClientSocket_::doConnect()
{
    if (connected)
        return true;
    // An attempt still under way after a whole interval is given up: a server that does
    // not answer at all (packets dropped) is tried afresh, as after a refusal.
    socket->abort();
    attemptPending = false;
    if (serverPort < 1 || serverPort > 65535) {
        errorText = tr("port %1 is out of range (1-65535)").arg(serverPort);
        return false;
    }
    attemptPending = true;
    socket->connectToHost(serverHost, static_cast<quint16>(serverPort), QIODevice::ReadWrite,
                          QAbstractSocket::AnyIPProtocol);
    return valid;
}

void tcpClientSocket_::onConnected()
{
    if (openPending) {
        openPending = false;
        openTimer.stop();
        opening();
        emit opened();
        return;
    }
    if (!attemptPending)
        return; // the blocking open() reports for itself
    attemptPending = false;
    connected = true;
    valid = true;
    reconnectTimer.stop();
    socket->setSocketOption(QAbstractSocket::KeepAliveOption, 1);
    emit connected_signal();
}

void tcpClientSocket_::onConnectError(QAbstractSocket::SocketError error)
{
    if (openPending) {
        openPending = false;
        openTimer.stop();
        errorText = socket->errorString();
        emit openFailed(errorText);
        return;
    }
    if (!attemptPending)
        return;
    attemptPending = false;
    errorText = socket->errorString();
    if (error == QAbstractSocket::ConnectionRefusedError)
        ++refusedCount;
    emit connectFailed(errorText);
}

void tcpClientSocket_::onReconnectTimer()
{
    if (connected) {
        reconnectTimer.stop();
        return;
    }
    doConnect();
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
    if (send(data) != data.size())
        qCDebug(lcIoDevice) << "tcp client send err";
}

qint64 tcpClientSocket_::send(const QByteArray& data)
{
    if (socket->state() != QAbstractSocket::ConnectedState)
        return -1;
    return socket->write(data);
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
    // Stopped for good: the disconnect the abort reports must not schedule a retry.
    autoReconnect = false;
    attemptPending = false;
    openPending = false;
    openTimer.stop();
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
