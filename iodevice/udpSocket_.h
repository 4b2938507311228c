#pragma once

#include "AbsIoDevice.h"

#include <QHostAddress>

class QUdpSocket;

struct UdpParams
{
    QHostAddress localAddress;
    int localPort = 0;
};

class udpSocket_ : public AbsIoDevice
{
    Q_OBJECT
public:
    explicit udpSocket_(QObject* parent = nullptr);
    ~udpSocket_() override;

    bool open(const void* params) override;
    // Binds to all addresses at localPort and sets the default destination; does not set
    // valid. False with errorText when a port is out of range or the bind fails.
    bool init(int localPort, QString remoteIp, int remotePort);
    void write(const QByteArray& data) override;
    void write(QString ip, int port, const QByteArray& data);
    // As write, returning the bytes that left (-1 when the datagram was not sent: the
    // address is no IP address, the port is out of range, or the system refused it).
    qint64 send(const QByteArray& data);
    qint64 send(const QString& ip, int port, const QByteArray& data);
    void close() override;
    void setReadPaused(bool paused) override;

    QUdpSocket* udpSocket() const { return socket; }

    QString remoteIp;
    int remotePort = 0;
    QHostAddress localAddress;
    int localPort = 0;
    QString errorText;

signals:
    void receiveAddr(QString ip, int port);
    void disConnect_signal();

private slots:
    void readData_slot();

private:
    QUdpSocket* socket = nullptr;
    bool closed = false; // close() is for good: nothing is connected again
};
