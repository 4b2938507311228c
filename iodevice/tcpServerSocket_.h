#pragma once

#include "AbsIoDevice.h"

#include <QHostAddress>
#include <vector>

class QTcpServer;
class QTcpSocket;

struct TcpServerParams
{
    QHostAddress address;
    int port = 0;
};

class tcpServerSocket_ : public AbsIoDevice
{
    Q_OBJECT
public:
    explicit tcpServerSocket_(QObject* parent = nullptr);
    ~tcpServerSocket_() override;

    bool open(const void* params) override;
    // Listens on all addresses (IPv4 and IPv6); does not set valid.
    bool listen(int port);
    void write(const QByteArray& data) override;
    // As write, returning the most bytes any client took (-1 without clients).
    qint64 send(const QByteArray& data);
    void write(QString ip, int port, const QByteArray& data);
    void disConnectOneClient(QString ip, int port);
    void close() override;
    void setReadPaused(bool paused) override;

    QTcpServer* server = nullptr;
    std::vector<QTcpSocket*> clients;
    QTcpSocket* lastClient = nullptr;
    QHostAddress listenAddress;
    int listenPort = 0;
    QString errorText;

signals:
    void newConnectIPportInfo_signal(QString ip, int port);
    void disConnect_signal(QString ip, int port);

public slots:
    void newConnect_slot();
    void disConnect_slot();
    void readData_slot();

private:
    QTcpSocket* findClient(const QString& ip, int port) const;
    void pauseClient(QTcpSocket* client, bool paused);
};
