#pragma once

#include "AbsIoDevice.h"

#include <QHostAddress>
#include <QTimer>

class QTcpSocket;

struct TcpClientParams
{
    QHostAddress localAddress;
    QHostAddress serverAddress;
    int serverPort = 0;
};

class tcpClientSocket_ : public AbsIoDevice
{
    Q_OBJECT
public:
    explicit tcpClientSocket_(QObject* parent = nullptr);
    ~tcpClientSocket_() override;

    bool open(const void* params) override;
    // Connects with automatic reconnection every reconnectInterval ms; always true.
    bool connectServer(QString host, int port);
    void write(const QByteArray& data) override;
    void close() override;
    void setReadPaused(bool paused) override;
    int read(QByteArray& out);
    qint64 availableBytes() const;

    QTcpSocket* tcpSocket() const { return socket; }

    QString serverHost;
    int serverPort = 0;
    QHostAddress localAddress;
    QHostAddress serverAddress;
    bool connected = false;
    bool autoReconnect = false;
    int reconnectInterval = 5000;
    QTimer reconnectTimer;
    int localPort = 0;
    int refusedCount = 0;
    QString errorText;

signals:
    void connected_signal();
    void disConnect_signal();

private slots:
    void readData_slot();
    bool doConnect();

private:
    void onDisconnected();
    void onReconnectTimer();

    QTcpSocket* socket = nullptr;
    qint64 activeReadBuffer = 0; // the socket's read buffer size while not paused
};
