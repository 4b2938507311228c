#include "serialPortDevice_.h"

#include <QDebug>
#include <QPointer>
#include <QProcess>
#include <QTimer>

#include <algorithm>

serialPortDevice_::serialPortDevice_(QObject* parent)
    : AbsIoDevice(parent)
    , mergeTimer(new QTimer(this))
{
    mergeTimer->setSingleShot(true);
    connect(mergeTimer, &QTimer::timeout, this, &serialPortDevice_::flush);
}

serialPortDevice_::~serialPortDevice_()
{
    if (port && port->isOpen()) {
        port->clear();
        port->close();
    }
    delete mergeTimer;
    delete port;
}

int serialPortDevice_::maxPacketAge() const
{
    return std::max(100, 10 * mergeInterval);
}

bool serialPortDevice_::openPort(const QString& name, int baud, int data, int par, int stop)
{
    portName = name;
    baudRate = baud;
    dataBits = data;
    parity = par;
    stopBits = stop;

    QSerialPort* old = port;
    port = new QSerialPort();
    delete old;
    pending.clear();
    mergeTimer->stop();

    port->setPortName(portName);
    port->setBaudRate(baudRate, QSerialPort::AllDirections);
    port->setDataBits(static_cast<QSerialPort::DataBits>(dataBits));
    port->setParity(static_cast<QSerialPort::Parity>(parity));
    port->setStopBits(static_cast<QSerialPort::StopBits>(stopBits));
    if (!port->open(QIODevice::ReadWrite))
        return false;
    valid = true;
    if (readPaused)
        port->setReadBufferSize(pausedReadBuffer);
    else
        connect(port, &QSerialPort::readyRead, this, &serialPortDevice_::portRecvDataDealy);
    return true;
}

bool serialPortDevice_::open(const void* params)
{
    if (!params)
        return false;
    const auto* p = static_cast<const SerialPortParams*>(params);
    flag1 = p->flag1;
    flag2 = p->flag2;
    if (openPort(p->portName, p->baudRate, p->dataBits, p->parity, p->stopBits))
        return true;
    errorText = port->errorString();
    lastErrorCode = port->error();
    return false;
}

bool serialPortDevice_::initSerialPort(QString name)
{
    if (openPort(name, 9600, QSerialPort::Data8, QSerialPort::NoParity, QSerialPort::OneStop))
        return true;
    errorText = port->errorString();
    return false;
}

void serialPortDevice_::portRecvDataDealy()
{
    // Reading here (not at the flush) lets the size and age bounds see the bytes;
    // the quiet-gap rule is unchanged: the packet goes out mergeInterval ms after
    // the last arrival.
    if (!port)
        return;
    emit aboutToRead();
    if (!port)
        return;
    if (pending.isEmpty())
        pendingSince.start();
    pending.append(port->readAll());
    if (mergeInterval <= 0) {
        flush(); // no packing: every read goes out as it is
        return;
    }
    if (pending.size() >= maxPacketSize) {
        while (pending.size() >= maxPacketSize) {
            const QByteArray packet = pending.left(maxPacketSize);
            pending.remove(0, maxPacketSize);
            emit receiveData(packet, QString(), 0);
        }
        pendingSince.start(); // the rest arrived just now
    } else if (!pending.isEmpty() && pendingSince.elapsed() >= maxPacketAge()) {
        flush();
    }
    if (pending.isEmpty()) {
        mergeTimer->stop();
        return;
    }
    if (mergeTimer->isActive())
        mergeTimer->stop();
    mergeTimer->start(mergeInterval);
}

void serialPortDevice_::flush()
{
    mergeTimer->stop();
    // A paused port keeps what it has not read: its reader cannot take more now.
    if (port && !readPaused) {
        emit aboutToRead();
        if (port)
            pending.append(port->readAll());
    }
    deliverPending();
}

void serialPortDevice_::deliverPending()
{
    mergeTimer->stop();
    while (!pending.isEmpty()) {
        // Never more than maxPacketSize in one packet, even if a burst was larger.
        const QByteArray packet = pending.left(maxPacketSize);
        pending.remove(0, packet.size());
        emit receiveData(packet, QString(), 0);
    }
}

void serialPortDevice_::setReadPaused(bool paused)
{
    if (port) {
        disconnect(port, &QSerialPort::readyRead, this, &serialPortDevice_::portRecvDataDealy);
        if (paused) {
            port->setReadBufferSize(pausedReadBuffer);
        } else {
            port->setReadBufferSize(0);
            connect(port, &QSerialPort::readyRead, this, &serialPortDevice_::portRecvDataDealy);
            if (readPaused)
                QMetaObject::invokeMethod(this, &serialPortDevice_::portRecvDataDealy, Qt::QueuedConnection);
        }
    }
    AbsIoDevice::setReadPaused(paused);
}

void serialPortDevice_::write(const QByteArray& data)
{
    send(data);
}

qint64 serialPortDevice_::send(const QByteArray& data)
{
    if (!port || !port->isOpen())
        return -1;
    return port->write(data);
}

void serialPortDevice_::close()
{
    // Bytes still waiting for the quiet gap are delivered before the port goes.
    if (port && port->isOpen()) {
        QPointer<serialPortDevice_> self(this);
        flush();
        if (!self)
            return; // a receiver deleted us
        port->close();
    }
    mergeTimer->stop();
    pending.clear();
    valid = false;
}

QStringList filterSerialPortNames(const QString& lsOutput)
{
    QStringList lines = lsOutput.split(QLatin1Char('\n'));
    if (!lines.isEmpty())
        lines.removeLast(); // the empty text after the final line feed
    QStringList result;
    for (const QString& line : qAsConst(lines)) {
        const int number = line.mid(4).toInt(); // text after "ttyS"; 0 when it does not parse
        if (number <= 255 && !result.contains(line))
            result.append(line);
    }
    std::sort(result.begin(), result.end());
    return result;
}

QStringList getSerialPortList()
{
    QProcess ls;
    QProcess grep;
    ls.setStandardOutputProcess(&grep);
    ls.start(QStringLiteral("ls"), {QStringLiteral("/dev")});
    grep.start(QStringLiteral("grep"), {QStringLiteral("ttyS")});
    grep.waitForStarted(30000);
    ls.waitForFinished(30000);
    grep.waitForFinished(30000);
    const QString out = QString::fromLocal8Bit(grep.readAllStandardOutput());
    grep.readAllStandardError();
    ls.close();
    grep.close();
    return filterSerialPortNames(out);
}
