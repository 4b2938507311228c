#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

// One small device interface over a serial port, a TCP client, a TCP server and a
// UDP socket. Users create the concrete class, open it with the parameter record of
// its kind, write bytes, receive them through receiveData, and close or delete it.
class AbsIoDevice : public QObject
{
    Q_OBJECT
public:
    // Devices are owned by their user; the parent argument is accepted and not used.
    explicit AbsIoDevice(QObject* parent = nullptr);
    ~AbsIoDevice() override;

    virtual bool isValid();
    virtual std::wstring getErrMsg();
    virtual bool open(const void* params) = 0;
    virtual void write(const QByteArray& data) = 0;
    virtual void close();

    // Back-pressure for relays: while paused the device takes no bytes from its endpoint,
    // so the kernel buffers fill and the peer (or the program on a pseudo-terminal) is
    // slowed, as by a slow line. Resuming delivers what waited.
    virtual void setReadPaused(bool paused);
    bool isReadPaused() const { return readPaused; }
    // Read buffer size while paused: small, so the endpoint's own buffers take the rest.
    static constexpr qint64 pausedReadBuffer = 64 * 1024;

signals:
    void receiveData(const QByteArray& data, QString ip = QString(), int port = 0);

protected:
    bool valid = false;
    bool readPaused = false;
};
