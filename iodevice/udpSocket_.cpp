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
    valid = socket->bind(localAddress, static_cast<quint16>(localPort));
    if (!valid)
        errorText = socket->errorString();
    return valid;
}

void udpSocket_::init(int port, QString ip, int rport)
{
    localPort = port;
    socket->bind(QHostAddress::Any, static_cast<quint16>(port));
    remoteIp = ip;
    remotePort = rport;
}

void udpSocket_::write(const QByteArray& data)
{
    write(remoteIp, remotePort, data);
}

void udpSocket_::write(QString ip, int port, const QByteArray& data)
{
    // A text that is no address must not become the null address, which the
    // system would take as "this host".
    const QHostAddress address(ip);
    if (address.isNull())
        return;
    socket->writeDatagram(data, address, static_cast<quint16>(port));
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

void udpSocket_::close()
{
    valid = false;
    // From now on the device receives nothing, even if bound again.
    socket->disconnect();
    socket->abort();
}
