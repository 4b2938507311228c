#include "ConnectionUnit.h"

#include "Rfc2217Session.h"
#include "VSPortFunction.h"
#include "serialPortDevice_.h"
#include "tcpClientSocket_.h"
#include "tcpServerSocket_.h"
#include "udpSocket_.h"
#include "ui_SerialPortMsg.h"
#include "ui_TcpClientMsg.h"
#include "ui_TcpServerMsg.h"
#include "ui_UdpMsg.h"

#include <QEvent>
#include <QHostInfo>
#include <QTcpSocket>
#include <QTimer>
#include <QUdpSocket>


// ---- ConnectionUnit ----

ConnectionUnit::ConnectionUnit(QWidget* parent)
    : QWidget(parent)
{
}

ConnectionUnit::~ConnectionUnit() = default;

void ConnectionUnit::resetCount()
{
    receivedBytes = 0;
    sentBytes = 0;
    refreshUI();
}

QString ConnectionUnit::name()
{
    return unitName;
}

void ConnectionUnit::setReadPaused(bool paused)
{
    // A paused serial side leaves the pseudo-terminal to fill, so socat holds back the
    // user's program just as a slow line would; a paused socket slows its peer through TCP.
    if (AbsIoDevice* device = ioDevice())
        device->setReadPaused(paused);
    readPaused = paused;
}

void ConnectionUnit::fail(const QString& reason)
{
    failure = reason;
    refreshUI();
    emit failed(reason);
}

void ConnectionUnit::setNotice(const QString& text)
{
    if (text == notice)
        return;
    notice = text;
    refreshUI();
    emit noticeChanged(text);
}

void ConnectionUnit::addWrapped(qint32& counter, qint64 n)
{
    // only what really left counts; a refused write (-1) adds nothing
    if (n <= 0)
        return;
    // 32-bit counters wrap like signed integers, without undefined overflow.
    counter = static_cast<qint32>(static_cast<quint32>(counter) + static_cast<quint32>(n));
}

void ConnectionUnit::relay(ConnectionUnit* a, ConnectionUnit* b)
{
    connect(a, &ConnectionUnit::transmit, b, &ConnectionUnit::sendData);
    connect(b, &ConnectionUnit::transmit, a, &ConnectionUnit::sendData);
    // reader stops while writer is congested, or cannot send at all (a client that is
    // not connected): the bytes then wait where they came from
    auto check = [](ConnectionUnit* writer, ConnectionUnit* reader) {
        const qint64 pending = writer->bytesToWrite();
        if (pending > highWater || !writer->canSend())
            reader->setReadPaused(true); // also catches peers that joined meanwhile
        else if (reader->isReadPaused() && pending <= lowWater)
            reader->setReadPaused(false);
    };
    connect(a, &ConnectionUnit::transmit, b, [a, b, check]() { check(b, a); });
    connect(b, &ConnectionUnit::transmit, a, [a, b, check]() { check(a, b); });
    connect(b, &ConnectionUnit::outputProgress, a, [a, b, check]() { check(b, a); });
    connect(a, &ConnectionUnit::outputProgress, b, [a, b, check]() { check(a, b); });
    check(a, b);
    check(b, a);
}

void ConnectionUnit::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    QWidget::changeEvent(event);
}

// ---- SerialPortUnit ----

SerialPortUnit::SerialPortUnit(const VSP_CONNECTION_PARAMS& params)
    : ui(new Ui_SerialPortMsg)
{
    ui->setupUi(this);
    setup(params);
}

SerialPortUnit::~SerialPortUnit()
{
    if (serialPort) {
        serialPort->disconnect(this); // what close() still delivers has nowhere to go now
        serialPort->close();
        delete serialPort;
    }
    delete ui;
}

bool SerialPortUnit::setup(const VSP_CONNECTION_PARAMS& params)
{
    ui->com_name->setText(params.com_name1);
    for (QWidget* w : {static_cast<QWidget*>(ui->label_status), static_cast<QWidget*>(ui->status),
                       static_cast<QWidget*>(ui->label_param), static_cast<QWidget*>(ui->param),
                       static_cast<QWidget*>(ui->label_opened_program),
                       static_cast<QWidget*>(ui->opened_program)})
        w->hide();
    pairPortName = params.com_name2;
    delete serialPort;
    serialPort = new serialPortDevice_;
    serialPort->mergeInterval = ConnectionParams::packMs(params.pack_ms);
    ui->pack_ms->setText(QString::number(serialPort->mergeInterval));
    connect(serialPort, &AbsIoDevice::receiveData, this, [this](const QByteArray& data) {
        emit transmit(data);
        addWrapped(sentBytes, data.size());
        refreshUI();
    });
    unitName = params.com_name1;
    refreshUI();
    return true;
}

bool SerialPortUnit::start()
{
    if (pairPortName == QLatin1String("-"))
        return true;
    const bool ok = serialPort->initSerialPort(pairPortName);
    if (QSerialPort* port = serialPort->serialPort())
        connect(port, &QIODevice::bytesWritten, this, &ConnectionUnit::outputProgress, Qt::UniqueConnection);
    if (!ok)
        fail(tr("%1 could not be opened: %2").arg(pairPortName, serialPort->errorText));
    return ok;
}

void SerialPortUnit::stop()
{
    if (serialPort)
        serialPort->close();
}

void SerialPortUnit::refreshUI()
{
    ui->received_bytes->setText(QString::number(receivedBytes));
    ui->sent_bytes->setText(QString::number(sentBytes));
}

void SerialPortUnit::setTitle(QString text, bool hideCounters)
{
    ui->com_name->setText(text);
    if (hideCounters) {
        ui->label_received->hide();
        ui->label_sent->hide();
        ui->received_bytes->hide();
        ui->sent_bytes->hide();
        ui->label_pack_ms->hide();
        ui->pack_ms->hide();
    }
}

void SerialPortUnit::sendData(const QByteArray& data)
{
    if (!serialPort || !serialPort->isValid())
        return;
    addWrapped(receivedBytes, serialPort->send(data));
    refreshUI();
}

void SerialPortUnit::showLineSettings(const QString& text)
{
    ui->param->setText(text);
    ui->param->setReadOnly(true);
    ui->label_param->show();
    ui->param->show();
}

qint64 SerialPortUnit::bytesToWrite() const
{
    QSerialPort* port = serialPort ? serialPort->serialPort() : nullptr;
    return port ? port->bytesToWrite() : 0;
}

AbsIoDevice* SerialPortUnit::ioDevice() const
{
    return serialPort;
}

void SerialPortUnit::retranslate()
{
    const QString name = ui->com_name->text();
    const QString received = ui->received_bytes->text();
    const QString sent = ui->sent_bytes->text();
    const QString param = ui->param->text();
    const QString packMs = ui->pack_ms->text();
    ui->retranslateUi(this);
    ui->com_name->setText(name);
    ui->param->setText(param);
    ui->pack_ms->setText(packMs);
    ui->received_bytes->setText(received);
    ui->sent_bytes->setText(sent);
}

// ---- TcpServerUnit ----

TcpServerUnit::TcpServerUnit(const VSP_CONNECTION_PARAMS& params)
    : ui(new Ui_TcpServerMsg)
{
    ui->setupUi(this);
    setup(params);
}

TcpServerUnit::~TcpServerUnit()
{
    delete server;
    delete ui;
}

bool TcpServerUnit::setup(const VSP_CONNECTION_PARAMS& params)
{
    ui->port->setText(params.server_port);
    delete server;
    server = new tcpServerSocket_;
    connect(server, &tcpServerSocket_::newConnectIPportInfo_signal, this, [this]() {
        ++clientCount;
        if (QTcpSocket* client = server->lastClient) {
            client->setReadBufferSize(networkReadChunk);
            connect(client, &QIODevice::bytesWritten, this, &ConnectionUnit::outputProgress);
        }
        refreshUI();
    });
    connect(server, &tcpServerSocket_::disConnect_signal, this, [this]() {
        --clientCount;
        refreshUI();
        emit outputProgress(); // a slow peer that left no longer holds the port back
    });
    connect(server, &AbsIoDevice::receiveData, this, [this](const QByteArray& data) {
        emit transmit(data);
        addWrapped(receivedBytes, data.size());
        refreshUI();
    });
    unitName = QStringLiteral("Tcp Server");
    refreshUI();
    return true;
}

bool TcpServerUnit::start()
{
    const QString port = ui->port->text();
    const int number = portFromText(port);
    if (!number) {
        fail(tr("TCP port \"%1\" is not a port number from 1 to 65535").arg(port));
        return false;
    }
    if (!server->listen(number)) {
        fail(tr("TCP port %1 could not be listened on: %2").arg(port, server->errorText));
        return false;
    }
    return true;
}

void TcpServerUnit::stop()
{
    if (server)
        server->close();
}

void TcpServerUnit::refreshUI()
{
    if (clientCount < 1)
        clientCount = 0;
    ui->connected_num->setText(QStringLiteral("%1/25").arg(clientCount));
    if (!failure.isEmpty())
        ui->status->setText(tr("Listen failed"));
    else
        ui->status->setText(clientCount < 1 ? tr("Listening") : tr("Connected"));
    ui->received_bytes->setText(QString::number(receivedBytes));
    ui->sent_bytes->setText(QString::number(sentBytes));
}

void TcpServerUnit::sendData(const QByteArray& data)
{
    if (!server)
        return;
    addWrapped(sentBytes, server->send(data));
    refreshUI();
}

qint64 TcpServerUnit::bytesToWrite() const
{
    qint64 most = 0;
    if (server) {
        for (QTcpSocket* client : server->clients) {
            // a client on its way out never writes its backlog
            if (client->state() == QAbstractSocket::ConnectedState)
                most = qMax(most, client->bytesToWrite());
        }
    }
    return most;
}

AbsIoDevice* TcpServerUnit::ioDevice() const
{
    return server;
}

void TcpServerUnit::retranslate()
{
    const QString port = ui->port->text();
    ui->retranslateUi(this);
    ui->port->setText(port);
    refreshUI();
}

// ---- TcpClientUnit ----

TcpClientUnit::TcpClientUnit(const VSP_CONNECTION_PARAMS& params)
    : ui(new Ui_TcpClientMsg)
{
    ui->setupUi(this);
    setup(params);
}

TcpClientUnit::~TcpClientUnit()
{
    delete client;
    delete ui;
}

bool TcpClientUnit::setup(const VSP_CONNECTION_PARAMS& params)
{
    ui->ip_address->setText(params.client_ip_addr);
    ui->port->setText(params.client_port);
    delete client;
    client = new tcpClientSocket_;
    delete session;
    session = nullptr;
    if (ConnectionParams::rfc2217(params.client_rfc2217)) {
        session = new Rfc2217Session(VSPortFunction::devDir + QLatin1Char('/') + params.com_name1,
                                     ConnectionParams::rfc2217DataSize(params.client_rfc2217_data),
                                     ConnectionParams::rfc2217Parity(params.client_rfc2217_parity), this);
        connect(session, &Rfc2217Session::sendWire, this, [this](const QByteArray& bytes) {
            if (client)
                client->write(bytes);
        });
        connect(session, &Rfc2217Session::statusChanged, this, &TcpClientUnit::lineStatusChanged);
    }
    connect(client, &AbsIoDevice::receiveData, this, [this](const QByteArray& data) {
        // Counted as payload: Telnet negotiation is not the user's data.
        const QByteArray payload = session ? session->received(data) : data;
        if (payload.isEmpty())
            return;
        emit transmit(payload);
        addWrapped(receivedBytes, payload.size());
        refreshUI();
    });
    connect(client, &tcpClientSocket_::connected_signal, this, [this]() {
        connected = true;
        setNotice(QString());
        if (session)
            client->write(session->connected());
        if (!waiting.isEmpty()) {
            const QByteArray data = waiting;
            waiting.clear();
            sendData(data);
        }
        refreshUI();
        emit outputProgress(); // a new server starts with nothing waiting
    });
    connect(client, &tcpClientSocket_::connectFailed, this, [this](const QString& reason) {
        setNotice(tr("%1:%2 cannot be reached: %3 (trying again every %4 s)")
                      .arg(ui->ip_address->text(), ui->port->text(), reason)
                      .arg(client->reconnectInterval / 1000));
    });
    connect(client, &tcpClientSocket_::disConnect_signal, this, [this]() {
        connected = false;
        if (session)
            session->disconnected();
        refreshUI();
        emit outputProgress();
    });
    client->tcpSocket()->setReadBufferSize(networkReadChunk);
    connect(client->tcpSocket(), &QIODevice::bytesWritten, this, &ConnectionUnit::outputProgress);
    unitName = QStringLiteral("Tcp Client");
    refreshUI();
    return true;
}

bool TcpClientUnit::start()
{
    if (!client)
        return false;
    const QString port = ui->port->text();
    const int number = portFromText(port);
    if (!number) {
        fail(tr("remote port \"%1\" is not a port number from 1 to 65535").arg(port));
        return false;
    }
    return client->connectServer(ui->ip_address->text(), number);
}

void TcpClientUnit::stop()
{
    if (client)
        client->close();
}

void TcpClientUnit::refreshUI()
{
    ui->status->setText(connected ? tr("Connected") : tr("Not Connected"));
    ui->received_bytes->setText(QString::number(receivedBytes));
    ui->sent_bytes->setText(QString::number(sentBytes));
}

void TcpClientUnit::sendData(const QByteArray& data)
{
    if (!client)
        return;
    if (!connected) {
        // Only what was read before the pause can arrive now: it waits for the server.
        if (waiting.size() < highWater)
            waiting += data;
        return;
    }
    // what counts is the user's payload, not the doubled IACs on the wire
    if (client->send(session ? session->encode(data) : data) > 0) {
        addWrapped(sentBytes, data.size());
        client->tcpSocket()->flush(); // out now, not on the next pass of the event loop
    }
    refreshUI();
}

QString TcpClientUnit::lineStatus() const
{
    return session ? session->statusText() : QString();
}

qint64 TcpClientUnit::bytesToWrite() const
{
    // A socket that lost its peer still holds the old backlog while it reports the loss;
    // that backlog will never be written and must not keep the port paused.
    if (!client || client->tcpSocket()->state() != QAbstractSocket::ConnectedState)
        return 0;
    return client->tcpSocket()->bytesToWrite();
}

AbsIoDevice* TcpClientUnit::ioDevice() const
{
    return client;
}

void TcpClientUnit::retranslate()
{
    const QString ip = ui->ip_address->text();
    const QString port = ui->port->text();
    ui->retranslateUi(this);
    ui->ip_address->setText(ip);
    ui->port->setText(port);
    refreshUI();
    if (session)
        emit lineStatusChanged(session->statusText());
}

// ---- UdpUnit ----

UdpUnit::UdpUnit(const VSP_CONNECTION_PARAMS& params)
    : ui(new Ui_UdpMsg)
    , retryTimer(new QTimer(this))
{
    retryTimer->setSingleShot(true);
    connect(retryTimer, &QTimer::timeout, this, &UdpUnit::sendQueued);
    ui->setupUi(this);
    setup(params);
}

UdpUnit::~UdpUnit()
{
    delete udp;
    delete ui;
}

bool UdpUnit::setup(const VSP_CONNECTION_PARAMS& params)
{
    ui->listen_port->setText(params.udp_local_port);
    ui->remote_address->setText(params.udp_remote_addr);
    ui->remote_port->setText(params.udp_remote_port);
    delete udp;
    udp = new udpSocket_;
    connect(udp, &AbsIoDevice::receiveData, this, [this](const QByteArray& data) {
        emit transmit(data);
        addWrapped(receivedBytes, data.size());
        refreshUI();
    });
    unitName = QStringLiteral("UDP");
    refreshUI();
    return true;
}

bool UdpUnit::start()
{
    const QString local = ui->listen_port->text();
    const QString remote = ui->remote_address->text();
    const QString remotePort = ui->remote_port->text();
    if (!portFromText(local)) {
        fail(tr("listen port \"%1\" is not a port number from 1 to 65535").arg(local));
        return false;
    }
    if (!portFromText(remotePort)) {
        fail(tr("remote port \"%1\" is not a port number from 1 to 65535").arg(remotePort));
        return false;
    }
    if (!hostTextValid(remote)) {
        fail(tr("remote address \"%1\" is neither an IP address nor a host name").arg(remote));
        return false;
    }
    // A host name is looked up without blocking; until then nothing is sent (or counted).
    const bool literal = !QHostAddress(remote).isNull();
    if (!udp->init(portFromText(local), literal ? remote : QString(), portFromText(remotePort))) {
        fail(tr("UDP port %1 could not be bound: %2").arg(local, udp->errorText));
        return false;
    }
    bound = true;
    if (!literal)
        lookupId = QHostInfo::lookupHost(remote, this, &UdpUnit::remoteResolved);
    return true;
}

void UdpUnit::remoteResolved(const QHostInfo& info)
{
    lookupId = -1;
    if (!udp)
        return;
    QHostAddress address;
    for (const QHostAddress& a : info.addresses()) {
        // the socket listens on both IP versions; IPv4 first, as a user typing a name expects
        if (a.protocol() == QAbstractSocket::IPv4Protocol) {
            address = a;
            break;
        }
        if (address.isNull())
            address = a;
    }
    if (address.isNull()) {
        const QString reason = info.error() != QHostInfo::NoError ? info.errorString() : tr("no address");
        fail(tr("remote host %1 could not be resolved: %2").arg(info.hostName(), reason));
        return;
    }
    udp->remoteIp = address.toString();
}

void UdpUnit::stop()
{
    if (lookupId >= 0) {
        QHostInfo::abortHostLookup(lookupId);
        lookupId = -1;
    }
    bound = false;
    retryTimer->stop();
    queue.clear();
    queuedBytes = 0;
    if (udp)
        udp->close();
}

void UdpUnit::refreshUI()
{
    ui->received_bytes->setText(QString::number(receivedBytes));
    ui->sent_bytes->setText(QString::number(sentBytes));
}

void UdpUnit::sendData(const QByteArray& data)
{
    // an unbound socket would send from a port the system picks: a failed start sends
    // nothing; nor does a remote name not (yet) resolved
    if (!udp || !bound || QHostAddress(udp->remoteIp).isNull())
        return;
    // A packet is one datagram, but a datagram holds at most 65507 bytes: a longer
    // burst inside the packing gap goes out in pieces instead of being refused whole.
    constexpr int maxDatagram = 65507;
    for (int at = 0; at < data.size(); at += maxDatagram) {
        const QByteArray piece = data.size() <= maxDatagram ? data : data.mid(at, maxDatagram);
        queue.append(piece);
        queuedBytes += piece.size();
    }
    sendQueued();
}

void UdpUnit::sendQueued()
{
    // A full socket buffer (a slow link) refuses a datagram for now: it waits, in order,
    // and the serial side stops reading until the queue is sent (relay, canSend).
    bool progress = false;
    while (!queue.isEmpty() && udp) {
        const qint64 n = udp->send(queue.constFirst());
        const QAbstractSocket::SocketError error = udp->udpSocket()->error();
        if (n < 0 && error != QAbstractSocket::DatagramTooLargeError) {
            // a full buffer frees up in moments; a network that is down takes longer
            retryTimer->start(error == QAbstractSocket::TemporaryError ? retryMs : 50 * retryMs);
            break;
        }
        addWrapped(sentBytes, n);
        queuedBytes -= queue.constFirst().size();
        queue.removeFirst();
        progress = true;
    }
    refreshUI();
    if (progress)
        emit outputProgress();
}

AbsIoDevice* UdpUnit::ioDevice() const
{
    return udp;
}

void UdpUnit::retranslate()
{
    const QString a = ui->listen_port->text();
    const QString b = ui->remote_address->text();
    const QString c = ui->remote_port->text();
    ui->retranslateUi(this);
    ui->listen_port->setText(a);
    ui->remote_address->setText(b);
    ui->remote_port->setText(c);
    refreshUI();
}
