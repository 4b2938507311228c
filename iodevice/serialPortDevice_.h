#pragma once

#include "AbsIoDevice.h"

#include <QElapsedTimer>
#include <QSerialPort>
#include <QStringList>

class QTimer;

struct SerialPortParams
{
    QString portName;
    int baudRate = 9600;
    int dataBits = QSerialPort::Data8;
    int parity = QSerialPort::NoParity;
    int stopBits = QSerialPort::OneStop;
    bool flag1 = false; // copied into the device, not used by it
    bool flag2 = true;
};

class serialPortDevice_ : public AbsIoDevice
{
    Q_OBJECT
public:
    explicit serialPortDevice_(QObject* parent = nullptr);
    ~serialPortDevice_() override;

    bool open(const void* params) override;
    bool initSerialPort(QString name);
    void write(const QByteArray& data) override;
    // As write, returning the bytes taken for writing (-1 when the port is not open).
    qint64 send(const QByteArray& data);
    void close() override;
    void setReadPaused(bool paused) override;

    // Quiet time in ms that ends a received packet; the assistant sets it from its
    // packet-gap field, a VCOM bridge from its packing interval. 0: no waiting.
    int mergeInterval = 50;
    // Error code (QSerialPort::SerialPortError) of the last failed open.
    int lastErrorCode = QSerialPort::NoError;
    QString errorText;

    // A stream that never pauses is still delivered: a pending packet goes out once
    // it holds this many bytes, or once its first byte has waited maxPacketAge().
    static constexpr int maxPacketSize = 64 * 1024;
    int maxPacketAge() const;

    // Bytes read and held for the packing gap.
    int pendingSize() const { return pending.size(); }

    // The serial port, for users that need flow control on it (may be null).
    QSerialPort* serialPort() const { return port; }

signals:
    // Emitted just before bytes are taken from the port: a user that must order other
    // output against the data (line settings) can act, and deliverPending() first.
    void aboutToRead();

public slots:
    void portRecvDataDealy();
    // Delivers the bytes held for the packing gap now, without reading the port.
    void deliverPending();

private:
    bool openPort(const QString& name, int baud, int data, int par, int stop);
    void flush();

    QSerialPort* port = nullptr;
    QString portName;
    int baudRate = 9600;
    int dataBits = QSerialPort::Data8;
    int parity = QSerialPort::NoParity;
    int stopBits = QSerialPort::OneStop;
    bool flag1 = false;
    bool flag2 = true;
    QTimer* mergeTimer = nullptr;
    QByteArray pending;          // bytes read but not yet delivered
    QElapsedTimer pendingSince;  // age of the first pending byte
};

// Serial device names of the machine (ttyS0, ttyS1, ...), from "ls /dev | grep ttyS".
QStringList getSerialPortList();
// The filtering step of getSerialPortList on the command's output: number after
// "ttyS" at most 255, no duplicates, plain character order.
QStringList filterSerialPortNames(const QString& lsOutput);
