#include "udpSocket_.h"

#include <QNetworkDatagram>
#include <QUdpSocket>

udpSocket_::udpSocket_(QObject* parent)
    : AbsIoDevice(parent)
    , socket(new QUdpSocket(this))
{
    connect(socket, &QUdpSocket::disconnected, this, &udpSocket_::disConnect_signal);
    connect(socket, &QUdpSocket::readyRead, this, &udpSocket_::readData_slot);
}

udpSocket_::~udpSocket_()
{
    close();
    socket->close();
    delete socket;
    socket = nullptr;
}

bool udpSocket_::open(const void* params)
{
    if (!params)
        return false;
    const auto* p = static_cast<const UdpParams*>(params);
    localAddress = p->localAddress;
    localPort = p->localPort;
    // 0 asks the system for any free port; anything outside 0-65535 would wrap.
    if (localPort < 0 || localPort > 65535) {
        errorText = tr("port %1 is out of range (1-65535)").arg(localPort);
        valid = false;
        return false;
    }
    valid = socket->bind(localAddress, static_cast<quint16>(localPort));
    if (!valid)
        errorText = socket->errorString();
    return valid;
}

bool udpSocket_::init(int port, QString ip, int rport)
{
    localPort = port;
    remoteIp = ip;
    remotePort = rport;
    if (port < 0 || port > 65535) {
        errorText = tr("port %1 is out of range (1-65535)").arg(port);
        return false;
    }
    if (rport < 1 || rport > 65535) {
        errorText = tr("port %1 is out of range (1-65535)").arg(rport);
        return false;
    }
    if (!socket->bind(QHostAddress::Any, static_cast<quint16>(port))) {
        errorText = socket->errorString();
        return false;
    }
    return true;
}

void udpSocket_::write(const QByteArray& data)
{
    send(remoteIp, remotePort, data);
}

void udpSocket_::write(QString ip, int port, const QByteArray& data)
{
    send(ip, port, data);
}

qint64 udpSocket_::send(const QString& ip, int port, const QByteArray& data)
{
    // A text that is no address must not become the null address, which the
    // system would take as "this host"; a port out of range would wrap.
    const QHostAddress address(ip);
    if (address.isNull() || port < 1 || port > 65535)
        return -1;
    return socket->writeDatagram(data, address, static_cast<quint16>(port));
}

qint64 udpSocket_::send(const QByteArray& data)
{
    return send(remoteIp, remotePort, data);
}

void udpSocket_::readData_slot()
{
    while (socket->hasPendingDatagrams()) {
        QByteArray data;
        data.resize(static_cast<int>(qMax<qint64>(0, socket->pendingDatagramSize())));
        QHostAddress sender;
        quint16 senderPort = 0;
        const qint64 n = socket->readDatagram(data.data(), data.size(), &sender, &senderPort);
        if (n < 0)
            continue;
        data.resize(static_cast<int>(n));
        QString ip = sender.toString();
        ip.remove(QStringLiteral("::ffff:"));
        if (ip.isEmpty())
            continue;
        emit receiveData(data, ip, senderPort);
        emit receiveAddr(ip, senderPort);
    }
}

void udpSocket_::setReadPaused(bool paused)
{
    // Datagrams left unread are dropped by the kernel, as on any congested UDP path.
    if (!closed) {
        disconnect(socket, &QUdpSocket::readyRead, this, &udpSocket_::readData_slot);
        if (!paused) {
            connect(socket, &QUdpSocket::readyRead, this, &udpSocket_::readData_slot);
            if (readPaused)
                QMetaObject::invokeMethod(this, &udpSocket_::readData_slot, Qt::QueuedConnection);
        }
    }
    AbsIoDevice::setReadPaused(paused);
}

void udpSocket_::close()
{
    valid = false;
    closed = true;
    // From now on the device receives nothing, even if bound again.
    socket->disconnect();
    socket->abort();
}
