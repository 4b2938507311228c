#pragma once

#include "AbsIoDevice.h"

#include <QAbstractSocket>
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

    // One attempt; blocks its thread for up to 500 ms (use openAsync on a GUI thread).
    bool open(const void* params) override;
    // One attempt without blocking: false at once for null params or a port out of range;
    // otherwise true, and the attempt ends in opened() or openFailed(reason), at the latest
    // after openTimeout ms. Like open(), it does not reconnect.
    bool openAsync(const void* params);
    int openTimeout = 10000;
    // Connects with automatic reconnection every reconnectInterval ms; always true. Each
    // attempt runs without blocking and may take up to one interval to complete.
    bool connectServer(QString host, int port);
    void write(const QByteArray& data) override;
    // As write, returning the bytes taken for sending (-1 while not connected).
    qint64 send(const QByteArray& data);
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
    // A reconnecting attempt failed; errorText holds the reason.
    void connectFailed(const QString& reason);
    // Outcome of openAsync.
    void opened();
    void openFailed(const QString& reason);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private slots:
    void readData_slot();
    bool doConnect();

private:
    void onDisconnected();
    void onReconnectTimer();
    void onConnected();
    void onConnectError(QAbstractSocket::SocketError error);
    void onOpenTimeout();
    bool startAttempt(const void* params);
    void opening();
    // A server that accepts and resets at once makes the socket try again and again
    // without a word: its write notifications are counted while connecting.
    void watchConnecting();
    void connectionReset();

    QTcpSocket* socket = nullptr;
    bool attemptPending = false; // a reconnecting attempt is under way
    bool openPending = false;    // an openAsync attempt is under way
    QTimer openTimer;
    qint64 activeReadBuffer = 0; // the socket's read buffer size while not paused
    int connectTests = 0;        // write notifications of the attempt under way
    bool resetReported = false;
};
