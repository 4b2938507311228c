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

signals:
    void receiveData(const QByteArray& data, QString ip = QString(), int port = 0);

protected:
    bool valid = false;
};
