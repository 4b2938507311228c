#pragma once

#include "AbsIoDevice.h"
#include "VSPConnection.h"

#include <QByteArray>
#include <QList>
#include <QWidget>

class serialPortDevice_;
class tcpServerSocket_;
class tcpClientSocket_;
class udpSocket_;
class Rfc2217Session;
class QHostInfo;
class QTimer;
class Ui_SerialPortMsg;
class Ui_TcpServerMsg;
class Ui_TcpClientMsg;
class Ui_UdpMsg;

// One side of a VCOM bridge: a small information widget that owns one I/O device.
// Bytes the device receives leave through transmit; sendData writes to the device.
class ConnectionUnit : public QWidget
{
    Q_OBJECT
public:
    explicit ConnectionUnit(QWidget* parent = nullptr);
    ~ConnectionUnit() override;

    virtual bool setup(const VSP_CONNECTION_PARAMS& params) = 0;
    virtual bool start() = 0;
    virtual void stop() = 0;
    virtual void resetCount();
    virtual void refreshUI() = 0;
    virtual QString name();

    // Flow control between the two units of a bridge: bytes accepted by sendData but
    // not yet written out on this unit's side, and stopping/resuming reading it.
    virtual qint64 bytesToWrite() const { return 0; }
    // Whether bytes given to sendData can leave now; while not, the other side waits.
    virtual bool canSend() const { return true; }
    void setReadPaused(bool paused);
    bool isReadPaused() const { return readPaused; }

    // Wires a and b both ways (transmit to sendData) with back-pressure: a unit stops
    // reading while the other has more than highWater bytes unwritten, and reads
    // again once that is down to lowWater.
    static void relay(ConnectionUnit* a, ConnectionUnit* b);
    static constexpr qint64 highWater = 4 * 1024 * 1024;
    static constexpr qint64 lowWater = 1024 * 1024;
    // What the paused side may still hold in its own read buffer.
    static constexpr qint64 pausedReadBuffer = AbsIoDevice::pausedReadBuffer;
    // Most a socket hands over at once, so one burst cannot overshoot highWater by much.
    static constexpr qint64 networkReadChunk = 256 * 1024;

    qint32 receivedCount() const { return receivedBytes; }
    qint32 sentCount() const { return sentBytes; }

    // Why this unit's side does not work (could not be opened, bound, resolved); empty
    // while it works or is still connecting.
    QString failureText() const { return failure; }
    // Why a unit that keeps trying does not reach its peer now; empty while it does.
    QString noticeText() const { return notice; }

signals:
    void transmit(QByteArray data);
    // The unit's side failed; failureText() holds the reason.
    void failed(const QString& reason);
    // Some of the pending output was written, or a peer went away.
    void outputProgress();
    void noticeChanged(const QString& text);

public slots:
    virtual void sendData(const QByteArray& data) = 0;

protected:
    void changeEvent(QEvent* event) override;
    virtual void retranslate() {}
    // The unit's device, if it has one now; reading is paused and resumed on it.
    virtual AbsIoDevice* ioDevice() const = 0;
    static void addWrapped(qint32& counter, qint64 n);
    // Records a failure, shows it and tells the panel.
    void fail(const QString& reason);
    void setNotice(const QString& text);

    qint32 receivedBytes = 0;
    qint32 sentBytes = 0;
    QString unitName;
    bool readPaused = false;
    QString failure;
    QString notice;
};

class SerialPortUnit : public ConnectionUnit
{
    Q_OBJECT
public:
    explicit SerialPortUnit(const VSP_CONNECTION_PARAMS& params);
    ~SerialPortUnit() override;

    bool setup(const VSP_CONNECTION_PARAMS& params) override;
    bool start() override;
    void stop() override;
    void refreshUI() override;
    void setTitle(QString text, bool hideCounters);

    qint64 bytesToWrite() const override;

    serialPortDevice_* device() const { return serialPort; }

public slots:
    void sendData(const QByteArray& data) override;
    // Shows the "com param:" row with the line settings the far end reports.
    void showLineSettings(const QString& text);

protected:
    void retranslate() override;
    AbsIoDevice* ioDevice() const override;

private:
    Ui_SerialPortMsg* ui = nullptr;
    serialPortDevice_* serialPort = nullptr;
    QString pairPortName;
};

class TcpServerUnit : public ConnectionUnit
{
    Q_OBJECT
public:
    explicit TcpServerUnit(const VSP_CONNECTION_PARAMS& params);
    ~TcpServerUnit() override;

    bool setup(const VSP_CONNECTION_PARAMS& params) override;
    bool start() override;
    void stop() override;
    void refreshUI() override;

    qint64 bytesToWrite() const override;

    tcpServerSocket_* device() const { return server; }

public slots:
    void sendData(const QByteArray& data) override;

protected:
    void retranslate() override;
    AbsIoDevice* ioDevice() const override;

private:
    Ui_TcpServerMsg* ui = nullptr;
    tcpServerSocket_* server = nullptr;
    qint32 clientCount = 0;
};

class TcpClientUnit : public ConnectionUnit
{
    Q_OBJECT
public:
    explicit TcpClientUnit(const VSP_CONNECTION_PARAMS& params);
    ~TcpClientUnit() override;

    bool setup(const VSP_CONNECTION_PARAMS& params) override;
    bool start() override;
    void stop() override;
    void refreshUI() override;

    qint64 bytesToWrite() const override;
    bool canSend() const override { return connected; }

    tcpClientSocket_* device() const { return client; }
    // The COM port control towards the server, when the connection asks for it.
    Rfc2217Session* lineSession() const { return session; }
    QString lineStatus() const;

signals:
    void lineStatusChanged(const QString& text);

public slots:
    void sendData(const QByteArray& data) override;

protected:
    void retranslate() override;
    AbsIoDevice* ioDevice() const override;

private:
    Ui_TcpClientMsg* ui = nullptr;
    tcpClientSocket_* client = nullptr;
    Rfc2217Session* session = nullptr;
    bool connected = false;
    // What reached the unit while no server was connected (the serial side pauses then,
    // but a packet already on its way still arrives); it leaves first on connect.
    QByteArray waiting;
};

class UdpUnit : public ConnectionUnit
{
    Q_OBJECT
public:
    explicit UdpUnit(const VSP_CONNECTION_PARAMS& params);
    ~UdpUnit() override;

    bool setup(const VSP_CONNECTION_PARAMS& params) override;
    bool start() override;
    void stop() override;
    void refreshUI() override;
    qint64 bytesToWrite() const override { return queuedBytes; }
    bool canSend() const override { return queue.isEmpty(); }
    // How soon a datagram the socket refused is tried again.
    static constexpr int retryMs = 2;

    udpSocket_* device() const { return udp; }

public slots:
    void sendData(const QByteArray& data) override;

protected:
    void retranslate() override;
    AbsIoDevice* ioDevice() const override;

private:
    void remoteResolved(const QHostInfo& info);
    // Sends what is queued until the socket refuses more; the rest is tried again shortly.
    void sendQueued();

    Ui_UdpMsg* ui = nullptr;
    udpSocket_* udp = nullptr;
    bool bound = false;
    int lookupId = -1; // a host name lookup under way
    QList<QByteArray> queue; // datagrams taken from the serial side, not yet sent
    qint64 queuedBytes = 0;
    QTimer* retryTimer = nullptr;
};
