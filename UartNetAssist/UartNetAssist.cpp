#include "UartNetAssist.h"
#include "assistlog.h"
#include "ui_UartNetAssist.h"

#include "AbsIoDevice.h"
#include "AssistConfigString.h"
#include "AssistInput.h"
#include "AssistPrefs.h"
#include "MyLineEdit.h"
#include "RecvFindBar.h"
#include "SerialOpenError.h"
#include "SerialPortWatch.h"
#include "appdir.h"
#include "commonhelpers.h"
#include "serialPortDevice_.h"
#include "tcpClientSocket_.h"
#include "tcpServerSocket_.h"
#include "udpSocket_.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QEvent>
#include <QFileInfo>
#include <QHostAddress>
#include <QIntValidator>
#include <QMessageBox>
#include <QNetworkInterface>
#include <QScrollBar>
#include <QSerialPort>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

namespace {

const char* const kProtoCom = "COM";
const char* const kProtoTcpServer = "Tcp Server";
const char* const kProtoTcpClient = "Tcp Client";
const char* const kProtoUdp = "Udp";

// First tail of a big chunk tried for the receive view (doubled until it fills it).
constexpr int kTextTailProbe = 16384;

// Text put into the receive view in one step, the time one display update may spend
// on steps, and the pause before the next update when text is left.
constexpr int kFlushSliceChars = 32768;
constexpr int kFlushBudgetMs = 10;
constexpr int kFlushNextStepMs = 1;

// Fills an empty send box for SendContent().
const char* const kDefaultSendText = "http://www.example.com";

QString invalidPortText(const QString& port)
{
    return QCoreApplication::translate("UartNetAssist", "Invalid port %1: enter a number from %2 to %3.")
        .arg(port.isEmpty() ? QStringLiteral("\"\"") : port)
        .arg(AssistInput::minPort)
        .arg(AssistInput::maxPort);
}

QString nowStamp()
{
    return QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
}

QString checkedFlag(const QAbstractButton* b)
{
    return b->isChecked() ? QStringLiteral("1") : QStringLiteral("0");
}

// The characters QTextCursor::insertText turns into paragraph breaks ("\r\n" counts once),
// written as '\n', so that pending text counts lines exactly as the view will.
void normaliseBreaks(QString& s)
{
    const QChar* begin = s.constData();
    const QChar* end = begin + s.size();
    const QChar* p = begin;
    for (; p != end; ++p) {
        const ushort u = p->unicode();
        if (u == '\r' || u == 0x2029 || u == 0xfdd0 || u == 0xfdd1)
            break;
    }
    if (p == end)
        return;
    QString out;
    out.reserve(s.size());
    out.append(begin, static_cast<int>(p - begin));
    for (; p != end; ++p) {
        const ushort u = p->unicode();
        if (u == '\r') {
            if (p + 1 != end && p[1] == QLatin1Char('\n'))
                ++p;
            out += QLatin1Char('\n');
        } else if (u == 0x2029 || u == 0xfdd0 || u == 0xfdd1) {
            out += QLatin1Char('\n');
        } else {
            out += *p;
        }
    }
    s = out;
}

// If `s`, inserted at the end of the view, fills the view on its own (reaches `maxBlocks`
// lines or more than `maxChars` characters, its breaks counted as the view counts them),
// the index in `s` where the part that stays visible begins; otherwise -1. Scans from
// the end, so the cost is what stays visible, not the length of `s`.
int keptStart(const QString& s, int maxBlocks, int maxChars)
{
    const QChar* d = s.constData();
    int chars = 0;
    int breaks = 0;
    for (int i = s.size() - 1; i >= 0; --i) {
        const int after = i + 1;
        const ushort u = d[i].unicode();
        bool isBreak = false;
        if (u == '\n') {
            isBreak = true;
            if (i > 0 && d[i - 1] == QLatin1Char('\r'))
                --i; // CR LF is one break
        } else if (u == '\r' || u == 0x2029 || u == 0xfdd0 || u == 0xfdd1) {
            isBreak = true;
        }
        if (++chars > maxChars)
            return after;
        if (isBreak && ++breaks == maxBlocks)
            return after;
    }
    return -1;
}

} // namespace

UartNetAssist::UartNetAssist(QWidget* parent)
    : QWidget(parent)
    , ui(new Ui_UartNetAssist)
{
    ui->setupUi(this);
    periodicTimer = new QTimer;
    ui->splitter->setStretchFactor(0, 3); // most room for what arrives
    ui->splitter->setStretchFactor(1, 1);

    recvViewTimer.setSingleShot(true);
    recvViewTimer.setInterval(recvViewFlushMs);
    connect(&recvViewTimer, &QTimer::timeout, this, &UartNetAssist::flushRecvView);
    ui->recv_text->setUndoRedoEnabled(false); // an undo stack would keep every byte received
    ui->recv_text->setMaximumBlockCount(recvViewMaxBlocks);

    AssistShared::instance().reload();
    loadHistoryFile();
    setupSignals();
    updateUI();

    ui->file_send_widget->hide();
    ui->local_addr_port->hide();
    ui->btn_pause->setEnabled(false);
    ui->btn_stop->setEnabled(false);
    ui->baud_rate->setCurrentText(QStringLiteral("9600"));
    ui->edit_timeGap->setValidator(new QIntValidator(0, 10000, ui->edit_timeGap));
    ui->circular_time->setValidator(
        new QIntValidator(AssistInput::minIntervalMs, AssistInput::maxIntervalMs, ui->circular_time));
    ui->addr_port_edit->setValidator(new QIntValidator(AssistInput::minPort, AssistInput::maxPort, ui->addr_port_edit));
    ui->remote_ip_port->setValidator(new HostPortValidator(ui->remote_ip_port));
    ui->remote_addr_history->setValidator(new HostPortValidator(ui->remote_addr_history));

    auto* comEdit = new MyLineEdit(ui->com_list);
    ui->com_list->setLineEdit(comEdit);
    if (!serialPorts.isEmpty())
        ui->com_list->setCurrentIndex(0);

    const QString localIp = ui->local_ip_list->currentText();
    auto* ipEdit = new MyLineEdit(ui->local_ip_list);
    ipEdit->setReadOnly(true);
    ui->local_ip_list->setLineEdit(ipEdit);
    ui->local_ip_list->setEditText(localIp);
    connect(ipEdit, &MyLineEdit::clicked, ui->local_ip_list, &QComboBox::showPopup);

    setupFileTransfer();
    setupOptions();
    setupDesktopFit();
}

UartNetAssist::~UartNetAssist()
{
    // The form's widgets go in ~QWidget, after this body: a field losing the focus then
    // (editingFinished) or any other late signal must not reach a panel that is gone.
    const auto children = findChildren<QObject*>();
    for (QObject* child : children)
        QObject::disconnect(child, nullptr, this, nullptr);
    // The file-sending worker goes first: nothing may be sent while the panel goes.
    fileSendThread.stop(stopWaitMs);
    // Address changes gathered a moment ago are not lost with the last panel.
    if (!AssistShared::instance().flushAddresses())
        qCWarning(lcAssist).noquote() << AssistShared::instance().errorText;
    portScanTimer.stop();
    recvViewTimer.stop();
    periodicTimer->stop();
    closingByUser = true;
    if (device) {
        // Nothing the device says while it goes may reach a panel that is half gone.
        device->disconnect(this);
        delete device;
        device = nullptr;
    }
    delete noticeBox;
    delete ui;
    ui = nullptr;
    delete periodicTimer;
    periodicTimer = nullptr;
}

void UartNetAssist::setupSignals()
{
    ui->remote_addr_widget->hide();
    ui->clients_widget->hide();
    ui->stackedWidget->setCurrentIndex(0);

    const auto addresses = QNetworkInterface::allAddresses();
    for (const QHostAddress& addr : addresses) {
        if (addr.protocol() == QAbstractSocket::IPv4Protocol)
            ui->local_ip_list->addItem(addr.toString());
    }
    ui->local_ip_list->addItem(QStringLiteral("0.0.0.0"));
    connect(ui->local_ip_list, &QComboBox::currentTextChanged, this, [this](const QString& text) {
        ui->remote_ip_port->setEditText(QStringLiteral("%1:%2").arg(text).arg(AssistShared::instance().listenPort()));
    });
    ui->local_addr_port->setText(ui->local_ip_list->currentText());

    SerialPortWatch* watch = SerialPortWatch::shared();
    watch->rescanNow(); // a port added a moment ago is offered at once
    serialPorts = watch->ports();
    ui->com_list->addItems(serialPorts);
    connect(watch, &SerialPortWatch::portsChanged, this, &UartNetAssist::onSerialPortsChanged);
    connect(&portScanTimer, &QTimer::timeout, this, &UartNetAssist::onPortScanTimeout);
    portScanTimer.start(5000);

    ui->check_bit->clear();
    ui->check_bit->addItem(QStringLiteral("NONE"), int(QSerialPort::NoParity));
    ui->check_bit->addItem(QStringLiteral("EVEN"), int(QSerialPort::EvenParity));
    ui->check_bit->addItem(QStringLiteral("ODD"), int(QSerialPort::OddParity));
    ui->check_bit->addItem(QStringLiteral("SPACE"), int(QSerialPort::SpaceParity));
    ui->check_bit->addItem(QStringLiteral("MARK"), int(QSerialPort::MarkParity));
    ui->stop_bit->clear();
    ui->stop_bit->addItem(QStringLiteral("1"), int(QSerialPort::OneStop));
    ui->stop_bit->addItem(QStringLiteral("1.5"), int(QSerialPort::OneAndHalfStop));
    ui->stop_bit->addItem(QStringLiteral("2"), int(QSerialPort::TwoStop));
    ui->data_bit->setCurrentText(QStringLiteral("8"));

    connect(ui->edit_timeGap, &QLineEdit::editingFinished, this, [this]() {
        if (auto* serial = qobject_cast<serialPortDevice_*>(device))
            serial->mergeInterval = ui->edit_timeGap->text().toInt();
    });
    connect(ui->choose_protocol, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &UartNetAssist::onProtocolChanged);

    connect(ui->open_com, &QPushButton::clicked, this, [this]() {
        if (!device || !device->isValid()) {
            openDevice();
        } else {
            closeOwnDevice();
            updateUI();
        }
    });
    connect(ui->connect, &QPushButton::clicked, this, [this]() {
        if (clientConnecting) {
            // A second click gives the attempt up; nothing was connected, so no disconnect follows.
            closeOwnDevice();
            updateUI();
        } else if (device && device->isValid()) {
            closingByUser = true;
            closeOwnDevice();
            updateUI();
        } else if (openDevice()) {
            closingByUser = false;
        }
    });

    // Receive options.
    connect(ui->show_in_hex, &QCheckBox::clicked, this, [this](bool on) { showHex = on; });
    connect(ui->wrap_auto, &QCheckBox::clicked, this, [this](bool on) { wrapLines = on; });
    connect(ui->show_rcv_time, &QCheckBox::clicked, this, [this](bool on) {
        if (on) {
            ui->wrap_auto->setChecked(true);
            wrapLines = true;
        }
    });
    connect(ui->clear_rcv_data, &QPushButton::clicked, this, [this]() {
        pendingView.clear();
        pendingBreaks = 0;
        pendingReplacesView = false;
        clearDisplayQueue();
        recvViewTimer.stop();
        recvViewTimer.setInterval(recvViewFlushMs);
        ui->recv_text->clear();
    });

    // Sending.
    connect(ui->btn_send, &QPushButton::clicked, this, &UartNetAssist::onSendButton);
    connect(periodicTimer, &QTimer::timeout, this, &UartNetAssist::onPeriodicTick);
    connect(ui->circular_send, &QCheckBox::clicked, this, [this](bool on) {
        if (!on && periodicTimer->isActive())
            stopPeriodicSending();
    });
    connect(ui->auto_reply, &QCheckBox::toggled, this, [this](bool on) {
        if (on)
            ui->custom_reply->setChecked(false);
    });
    connect(ui->custom_reply, &QCheckBox::toggled, this, [this](bool on) {
        if (on)
            ui->auto_reply->setChecked(false);
    });
    connect(ui->send_in_hex, &QCheckBox::clicked, this, [this](bool on) {
        const QString text = ui->send_text->toPlainText();
        ui->send_text->setPlainText(on ? text2HexString(text, QLatin1Char(' '))
                                       : HexString2text(text, QLatin1Char(' ')));
    });
    connect(ui->clear_send_data, &QPushButton::clicked, ui->send_text, &QPlainTextEdit::clear);
    connect(ui->clear_addr_history, &QPushButton::clicked, this, [this]() {
        if (ui->remote_addr_history->count() < 1)
            return;
        const QPointer<UartNetAssist> self(this); // the question runs an event loop of its own
        const auto answer = QMessageBox::question(
            this, tr("tips"), tr("Are you sure to delete all remote host addr history?"),
            QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes);
        if (self && answer == QMessageBox::Yes) {
            ui->remote_addr_history->clear();
            AssistShared::instance().clearUdpPeers();
        }
    });

    // TCP server clients.
    connect(ui->disconnect_one_client, &QPushButton::clicked, this, [this]() {
        const QString text = ui->client_addrs->currentText();
        if (text == tr("All Connections")) {
            showNotice(QMessageBox::Information, tr("tips"), tr("Please choose a client connection first!"));
            return;
        }
        auto* server = qobject_cast<tcpServerSocket_*>(device);
        const QStringList parts = text.split(QLatin1Char(':'));
        if (server && parts.size() == 2) {
            closingByUser = true;
            server->disConnectOneClient(parts.at(0), parts.at(1).toInt());
        }
    });

    connect(ui->btnResetCnt, &QPushButton::clicked, this, [this]() {
        sendCount = 0;
        recvCount = 0;
        updateCount();
    });
    updateCount();
}

// ---------------------------------------------------------------- public operations

void UartNetAssist::release()
{
    if (!device)
        return;
    // The panel closes it, not the peer: the resulting disconnect is no news to report.
    if (device->isValid() && !qobject_cast<serialPortDevice_*>(device))
        closingByUser = true;
    closeOwnDevice();
}

void UartNetAssist::OpenDevice()
{
    const bool onNetworkPage = ui->stackedWidget->currentIndex() == 1;
    if (device && device->isValid()) {
        if (onNetworkPage)
            closingByUser = true;
        CloseDevice();
    }
    if (openDevice() && ui->stackedWidget->currentIndex() == 1)
        closingByUser = false;
}

void UartNetAssist::CloseDevice()
{
    if (!device)
        return;
    closeOwnDevice();
    updateUI();
}

void UartNetAssist::closeOwnDevice()
{
    // Disconnects reported while the panel closes its own device are not the peer's
    // doing (a server drops each of its clients in turn, and only the last would look
    // like "no connection left").
    const bool wasClosing = selfClosing;
    selfClosing = true;
    clientConnecting = false; // closing also ends an attempt under way
    device->close();
    selfClosing = wasClosing;
}

void UartNetAssist::SendContent()
{
    if (ui->send_text->toPlainText().isEmpty())
        ui->send_text->setPlainText(QString::fromLatin1(kDefaultSendText));
    emit ui->btn_send->clicked(false);
}

void UartNetAssist::AutoReply()
{
    ui->auto_reply->setChecked(!ui->auto_reply->isChecked());
}

void UartNetAssist::AutoAddition()
{
    ui->auto_addition->setChecked(!ui->auto_addition->isChecked());
}

void UartNetAssist::ClearReceive()
{
    emit ui->clear_rcv_data->clicked(false);
}

void UartNetAssist::ResetCount()
{
    emit ui->btnResetCnt->clicked(false);
}

// ---------------------------------------------------------------- opening and state

void UartNetAssist::onProtocolChanged(int index)
{
    if (index == 0) {
        ui->stackedWidget->setCurrentIndex(0);
        portScanTimer.start(2000);
        return;
    }
    portScanTimer.stop();
    ui->stackedWidget->setCurrentIndex(1);
    if (index == 1 || index == 3) {
        ui->net_label_2->setText(tr("Local Host Port"));
        ui->remote_ip_port->hide();
        ui->addr_port_edit->show();
        ui->addr_port_edit->setText(QString::number(AssistShared::instance().listenPort()));
    } else if (index == 2) {
        ui->net_label_2->setText(tr("Remote Addr:Port"));
        ui->addr_port_edit->hide();
        ui->remote_ip_port->show();
        // What any panel connected to last is offered first.
        const AssistShared& shared = AssistShared::instance();
        const QStringList clients = shared.clients();
        ui->remote_ip_port->clear();
        ui->remote_ip_port->addItems(clients);
        if (clients.isEmpty())
            ui->remote_ip_port->setEditText(
                QStringLiteral("%1:%2").arg(ui->local_ip_list->currentText()).arg(shared.listenPort()));
        else
            ui->remote_ip_port->setEditText(clients.constFirst());
    }
}

void UartNetAssist::enableParamSetting(bool enable)
{
    ui->choose_protocol->setEnabled(enable);
    ui->com_list->setEnabled(enable);
    ui->baud_rate->setEnabled(enable);
    ui->check_bit->setEnabled(enable);
    ui->data_bit->setEnabled(enable);
    ui->stop_bit->setEnabled(enable);
    ui->local_ip_list->setEnabled(enable);
    ui->addr_port_edit->setEnabled(enable);
    ui->remote_ip_port->setEnabled(enable);
}

void UartNetAssist::updateUI()
{
    const bool open = device && device->isValid();
    enableParamSetting(!open && !clientConnecting);
    ui->btn_send->setEnabled(open);

    ui->open_com->setText(open ? tr("close") : tr("open"));
    if (clientConnecting)
        ui->connect->setText(tr("connecting..."));
    else
        ui->connect->setText(open ? tr("disconnect") : tr("connect"));
    const QString style = open ? QStringLiteral("background-color:green") : QStringLiteral("background-color:none");
    ui->open_com->setStyleSheet(style);
    ui->connect->setStyleSheet(style);

    if (ui->choose_protocol->currentIndex() == 2) {
        if (auto* client = qobject_cast<tcpClientSocket_*>(device)) {
            if (open) {
                ui->local_addr_port->setText(
                    QStringLiteral("%1:%2").arg(ui->local_ip_list->currentText()).arg(client->localPort));
                ui->local_ip_list->hide();
                ui->local_addr_port->show();
            } else {
                ui->local_addr_port->setText(ui->local_ip_list->currentText());
                ui->local_ip_list->show();
                ui->local_addr_port->hide();
            }
        }
    }

    if (!open) {
        ui->remote_addr_widget->hide();
        ui->clients_widget->hide();
        if (ui->circular_send->isChecked() && periodicTimer->isActive())
            stopPeriodicSending();
    }
    emit updateNodeName(GetCurrentTitle(), open);
}

bool UartNetAssist::openDevice()
{
    const QString proto = ui->choose_protocol->currentText();
    AbsIoDevice* fresh = nullptr;
    if (proto == QLatin1String(kProtoCom))
        fresh = new serialPortDevice_;
    else if (proto == QLatin1String(kProtoTcpServer))
        fresh = new tcpServerSocket_;
    else if (proto == QLatin1String(kProtoTcpClient))
        fresh = new tcpClientSocket_;
    else if (proto == QLatin1String(kProtoUdp))
        fresh = new udpSocket_;
    if (!fresh) {
        updateUI();
        return false;
    }
    if (device) {
        // The old device's last words (a disconnect during its teardown) are not news.
        device->disconnect(this);
        delete device;
    }
    device = fresh;
    clientConnecting = false;

    bool ok = false;
    if (auto* serial = qobject_cast<serialPortDevice_*>(device)) {
        SerialPortParams params;
        params.portName = ui->com_list->currentText();
        params.baudRate = ui->baud_rate->currentText().toInt();
        params.dataBits = ui->data_bit->currentText().toInt();
        params.parity = ui->check_bit->currentData().toInt();
        params.stopBits = ui->stop_bit->currentData().toInt();
        params.flag1 = false;
        params.flag2 = true;
        ok = serial->open(&params);
        if (!ok) {
            const QString text = SerialOpenError::text(serial->lastErrorCode, params.portName);
            if (!text.isEmpty())
                showNotice(QMessageBox::Information, tr("tips"), text);
        }
    } else if (auto* server = qobject_cast<tcpServerSocket_*>(device)) {
        TcpServerParams params;
        params.address = QHostAddress(ui->local_ip_list->currentText());
        // A port out of range would wrap (70000 listens on 4464): refused here.
        const bool portOk = AssistInput::parsePort(ui->addr_port_edit->text(), &params.port);
        if (portOk)
            ok = server->open(&params);
        if (ok) {
            ui->device_open_err->clear();
            AssistShared::instance().setListenPort(params.port);
            ui->remote_addr_widget->hide();
            ui->clients_widget->show();
            ui->client_addrs->clear();
            serverClients.clear();
            connect(server, &tcpServerSocket_::newConnectIPportInfo_signal, this, [this](QString ip, int port) {
                serverClients.append(QStringLiteral("%1:%2").arg(ip).arg(port));
                if (serverClients.size() == 2)
                    serverClients.prepend(tr("All Connections"));
                ui->client_addrs->clear();
                ui->client_addrs->addItems(serverClients);
            });
            connect(server, &tcpServerSocket_::disConnect_signal, this, [this](QString ip, int port) {
                const QString key = QStringLiteral("%1:%2").arg(ip).arg(port);
                const int idx = ui->client_addrs->findText(key, Qt::MatchExactly | Qt::MatchCaseSensitive);
                if (idx >= 0)
                    ui->client_addrs->removeItem(idx);
                serverClients.removeOne(key);
                if (serverClients == QStringList{tr("All Connections")}) {
                    serverClients.clear();
                    ui->client_addrs->clear();
                }
                if (ui->client_addrs->count() == 0 && !closingByUser && !selfClosing)
                    handlePassiveDisconnect();
                closingByUser = false;
            });
        } else if (!portOk) {
            ui->device_open_err->setText(invalidPortText(ui->addr_port_edit->text()));
        } else {
            ui->device_open_err->setText(server->errorText);
        }
    } else if (auto* client = qobject_cast<tcpClientSocket_*>(device)) {
        const QString remote = ui->remote_ip_port->currentText();
        const QStringList parts = remote.split(QLatin1Char(':'));
        TcpClientParams params;
        if (parts.size() != 2) {
            qCDebug(lcAssist) << "client initial param is wrong!";
        } else if (!AssistInput::parsePort(parts.at(1), &params.serverPort)) {
            ui->device_open_err->setText(invalidPortText(parts.at(1)));
        } else {
            params.localAddress = QHostAddress(ui->local_ip_list->currentText());
            params.serverAddress = QHostAddress(parts.at(0));
            // The attempt runs on its own: a peer that does not answer must not freeze the window.
            connect(client, &tcpClientSocket_::opened, this, [this, remote]() { onClientOpened(remote); });
            connect(client, &tcpClientSocket_::openFailed, this, &UartNetAssist::onClientOpenFailed);
            clientConnecting = client->openAsync(&params);
            if (!clientConnecting)
                onClientOpenFailed(client->errorText);
        }
    } else if (auto* udp = qobject_cast<udpSocket_*>(device)) {
        UdpParams params;
        params.localAddress = QHostAddress(ui->local_ip_list->currentText());
        // 65536 would bind a port the system picks.
        const bool portOk = AssistInput::parsePort(ui->addr_port_edit->text(), &params.localPort);
        if (portOk)
            ok = udp->open(&params);
        if (ok) {
            ui->device_open_err->clear();
            AssistShared::instance().setListenPort(params.localPort);
            ui->remote_addr_widget->show();
            ui->clients_widget->hide();
            connect(udp, &udpSocket_::receiveAddr, this, &UartNetAssist::onUdpSender);
        } else if (!portOk) {
            ui->device_open_err->setText(invalidPortText(ui->addr_port_edit->text()));
        } else {
            ui->device_open_err->setText(udp->errorText);
        }
    }

    if (ok)
        connect(device, &AbsIoDevice::receiveData, this, &UartNetAssist::receiveData_slot);
    updateUI();
    return ok;
}

void UartNetAssist::onClientOpened(const QString& remote)
{
    auto* client = qobject_cast<tcpClientSocket_*>(device);
    if (!client)
        return;
    clientConnecting = false;
    ui->device_open_err->clear();
    AssistShared::instance().touchClient(remote);
    connect(client, &tcpClientSocket_::disConnect_signal, this, [this]() {
        if (closingByUser) {
            closingByUser = false;
            return;
        }
        if (!selfClosing)
            handlePassiveDisconnect();
    });
    connect(client, &AbsIoDevice::receiveData, this, &UartNetAssist::receiveData_slot);
    // The link the panel (or the user) asked for is up: a later loss is the peer's doing.
    closingByUser = false;
    updateUI();
}

void UartNetAssist::onClientOpenFailed(const QString& reason)
{
    clientConnecting = false;
    qCDebug(lcAssist) << "client connect to server failed!";
    ui->device_open_err->setText(reason);
    updateUI();
}

void UartNetAssist::handlePassiveDisconnect()
{
    const int index = ui->choose_protocol->currentIndex();
    if (index == 1) {
        if (periodicTimer->isActive() && !ui->send_text->isEnabled()) {
            stopPeriodicSending();
            showNotice(QMessageBox::Information, tr("tips"), tr("There is no connection now!"));
        }
    } else if (index == 2) {
        const bool wasSending = periodicTimer->isActive();
        updateUI();
        if (wasSending)
            showNotice(QMessageBox::Information, tr("tips"), tr("The connection has been disconnected!"));
    }
}

bool UartNetAssist::openPortRemoved() const
{
    if (!qobject_cast<serialPortDevice_*>(device) || !device->isValid())
        return false;
    // A name without a directory is one under /dev; a typed path (/dev/ttyUSB0, a link
    // in /tmp) is checked as it is. A link left dangling counts as gone.
    const QString name = ui->com_list->currentText();
    const QString path = name.contains(QLatin1Char('/')) ? name : QStringLiteral("/dev/") + name;
    return !QFileInfo::exists(path);
}

void UartNetAssist::refillPortList(const QStringList& ports)
{
    // A typed path or a port still present stays the current text.
    const QString text = ui->com_list->currentText();
    ui->com_list->clear();
    ui->com_list->addItems(ports);
    if (!text.isEmpty() && (text.contains(QLatin1Char('/')) || ports.contains(text)))
        ui->com_list->setEditText(text);
    serialPorts = ports;
}

void UartNetAssist::onSerialPortsChanged(const QStringList& ports)
{
    if (ui->com_list->isEnabled())
        refillPortList(ports);
    else if (openPortRemoved())
        onPortScanTimeout();
}

void UartNetAssist::onPortScanTimeout()
{
    if (openPortRemoved()) {
        const QString openPort = ui->com_list->currentText();
        appendToRecvView(QStringLiteral("[") + nowStamp() + QStringLiteral("]") + tr("Device is removed!"), true);
        emit ui->open_com->clicked(false);
        refillPortList(SerialPortWatch::shared()->ports());
        qCDebug(lcAssist) << "serial port" << openPort << "removed";
        return;
    }
    // Other ports coming and going never close an open one; the list follows them
    // while no port is open.
    const QStringList ports = SerialPortWatch::shared()->ports();
    if (ui->com_list->isEnabled() && ports != serialPorts)
        refillPortList(ports);
}

void UartNetAssist::onUdpSender(const QString& ip, int port)
{
    const QString key = QStringLiteral("%1:%2").arg(ip).arg(port);
    const RecentList::Change change = AssistShared::instance().touchUdpPeer(key);
    // The same sender again changes nothing (the common case under a flood); a sender
    // another panel heard first is still new to this panel's combo.
    if (!change.added && key == lastUdpPeer)
        return;
    lastUdpPeer = key;
    // The combo follows the history in place: the new sender in front, the one that made
    // room removed.
    if (!change.dropped.isEmpty()) {
        const int idx = ui->remote_addr_history->findText(change.dropped, Qt::MatchExactly | Qt::MatchCaseSensitive);
        if (idx >= 0 && ui->remote_addr_history->count() > 1)
            ui->remote_addr_history->removeItem(idx);
    }
    if (ui->remote_addr_history->findText(key, Qt::MatchExactly | Qt::MatchCaseSensitive) < 0) {
        const QString text = ui->remote_addr_history->currentText();
        ui->remote_addr_history->insertItem(0, key);
        ui->remote_addr_history->setEditText(text.isEmpty() ? key : text);
    }
}

// ---------------------------------------------------------------- receiving

void UartNetAssist::receiveData_slot(QByteArray data, QString ip, int port)
{
    recvCount += static_cast<quint32>(data.size());
    updateCount();
    emit dataReceived(data); // a command waiting for an answer

    // Receive-to-file mode: the data go to the file and nothing is shown.
    if (WriteDataToFile(data)) {
        if (ui->auto_reply->isChecked())
            sendDataWithDevice(data);
        if (ui->custom_reply->isChecked() && !ui->send_text->toPlainText().isEmpty())
            sendData();
        return;
    }

    // The display takes its share first: a reply below may open a box, and data arriving
    // meanwhile must still be shown after this chunk, not before it.
    const QString key = QStringLiteral("%1:%2").arg(ip).arg(port);
    QString header;
    if (key != lastSender) {
        header = QStringLiteral("[") + tr("Receive from %1%2:").arg(key, QStringLiteral("]"));
        lastSender = key;
    }
    if (usesDisplayQueue()) {
        queueReceived(header, data);
    } else {
        if (!header.isEmpty())
            appendToRecvView(header, true);
        // Only the end of a big chunk can stay in view; formatting the rest would only be
        // thrown away. A tail is used only once it fills the view on its own, so the time
        // stamp in front of it would scroll out as well.
        QString text;
        const RecvViewFormat::Options options = viewOptions();
        for (int tailBytes = kTextTailProbe; tailBytes < data.size(); tailBytes *= 2) {
            const QString tail = RecvViewFormat::formatTail(data, options, tailBytes);
            if (tail.isNull())
                break;
            if (keptStart(tail, viewMaxBlocks, viewMaxChars) >= 0) {
                text = tail;
                break;
            }
        }
        if (text.isEmpty())
            DataPreprocessing(data, text);
        appendToRecvView(text, false);
    }

    if (ui->auto_reply->isChecked())
        sendDataWithDevice(data);
    if (ui->custom_reply->isChecked() && !ui->send_text->toPlainText().isEmpty())
        sendData();
}

void UartNetAssist::DataPreprocessing(const QByteArray& data, QString& out)
{
    const RecvViewFormat::Options options = viewOptions();
    const QString stamp = options.stamps ? RecvViewFormat::stamp(QDateTime::currentDateTime(), options.msStamps)
                                         : QString();
    // A receive file holds only formatted chunks, so it is always at a line start there.
    out += RecvViewFormat::format(data, options, stamp, recvToFile || recvViewAtLineStart());
}

void UartNetAssist::appendToRecvView(const QString& text, bool asNewParagraph)
{
    QString piece = text;
    if (asNewParagraph) {
        // As appendPlainText: a new paragraph unless the view is empty.
        const bool viewEmpty =
            pendingView.isEmpty() && (pendingReplacesView || ui->recv_text->document()->isEmpty());
        if (!viewEmpty)
            piece.prepend(QLatin1Char('\n'));
    }
    if (piece.isEmpty())
        return;
    const int start = keptStart(piece, viewMaxBlocks, viewMaxChars);
    if (start >= 0) {
        // This piece alone fills the view: nothing shown or pending before it stays.
        pendingView = piece.mid(start);
        normaliseBreaks(pendingView);
        pendingBreaks = pendingView.count(QLatin1Char('\n'));
        pendingReplacesView = true;
    } else {
        normaliseBreaks(piece);
        pendingView += piece;
        pendingBreaks += piece.count(QLatin1Char('\n'));
        // Once the pending text fills the view, the view's old text will all scroll out.
        if (pendingView.size() > viewMaxChars || pendingBreaks >= viewMaxBlocks)
            pendingReplacesView = true;
        // Cut it down to what stays visible only now and then, so that many small
        // pieces do not each pay for a cut; a large view gets a smaller margin, as
        // text beyond the view is memory spent on nothing.
        const int charSlack = qMin(viewMaxChars, qMax(viewMaxChars / 4, 65536));
        const int breakSlack = qMin(viewMaxBlocks, qMax(viewMaxBlocks / 4, 1000));
        if (pendingView.size() > viewMaxChars + charSlack || pendingBreaks >= viewMaxBlocks + breakSlack) {
            pendingView.remove(0, keptStart(pendingView, viewMaxBlocks, viewMaxChars));
            pendingBreaks = pendingView.count(QLatin1Char('\n'));
        }
    }
    if (!recvViewTimer.isActive())
        recvViewTimer.start();
}

void UartNetAssist::flushRecvView()
{
    QElapsedTimer spent;
    spent.start();
    if (!displayQueue.empty())
        formatQueuedPieces(spent, kFlushBudgetMs / 2);
    if (pendingView.isEmpty() && !pendingReplacesView) {
        if (!displayQueue.empty()) {
            recvViewTimer.setInterval(kFlushNextStepMs);
            recvViewTimer.start();
        }
        return;
    }
    QPlainTextEdit* view = ui->recv_text;
    QTextDocument* doc = view->document();
    if (pendingReplacesView) {
        pendingView.remove(0, qMax(0, keptStart(pendingView, viewMaxBlocks, viewMaxChars)));
        pendingBreaks = pendingView.count(QLatin1Char('\n')); // what was cut held breaks too
        pendingReplacesView = false;
        if (pendingView.size() <= kFlushSliceChars) {
            view->setPlainText(pendingView);
            pendingView.clear();
            pendingBreaks = 0;
        } else {
            view->clear(); // all of it scrolls out; the pending text follows in steps
        }
    }

    // A large scrollback can take more than one update can insert without stalling the
    // panel: steps of a slice each, until the budget is spent; the rest follows shortly.
    int done = 0;
    while (done < pendingView.size() && (done == 0 || spent.elapsed() < kFlushBudgetMs)) {
        int n = qMin(kFlushSliceChars, pendingView.size() - done);
        if (done + n < pendingView.size() && pendingView.at(done + n - 1).isHighSurrogate())
            ++n; // never split a character
        QTextCursor end(doc);
        end.movePosition(QTextCursor::End);
        end.insertText(done == 0 && n == pendingView.size() ? pendingView : pendingView.mid(done, n));
        done += n;
        const int excess = doc->characterCount() - 1 - viewMaxChars;
        if (excess > 0) {
            QTextCursor cut(doc);
            cut.setPosition(excess, QTextCursor::KeepAnchor);
            cut.removeSelectedText();
        }
    }
    if (done == pendingView.size()) {
        pendingView.clear();
        pendingBreaks = 0;
    } else {
        pendingBreaks -= QStringRef(&pendingView, 0, done).count(QLatin1Char('\n'));
        pendingView.remove(0, done);
    }
    if (pendingView.isEmpty() && displayQueue.empty()) {
        recvViewTimer.setInterval(recvViewFlushMs);
    } else {
        recvViewTimer.setInterval(kFlushNextStepMs);
        recvViewTimer.start();
    }

    // While the find bar shows a match, new data do not pull the view away from it.
    if (findBar && findBar->isVisible())
        return;
    view->moveCursor(QTextCursor::End);
    if (!view->hasFocus())
        view->verticalScrollBar()->setValue(view->verticalScrollBar()->maximum());
}

void UartNetAssist::updateCount()
{
    ui->send_label->setText(tr("Send:%1").arg(sendCount));
    ui->recv_label->setText(tr("Recv:%1").arg(recvCount));
}

// ---------------------------------------------------------------- sending

bool UartNetAssist::checkSendableStatus()
{
    const QString proto = ui->choose_protocol->currentText();
    if (proto == QLatin1String(kProtoCom)) {
        if (qobject_cast<serialPortDevice_*>(device) && device->isValid())
            return true;
        lastError = tr("Serial is not opend!");
        return false;
    }
    if (proto == QLatin1String(kProtoTcpServer)) {
        auto* server = qobject_cast<tcpServerSocket_*>(device);
        if (server && server->isValid() && !server->clients.empty())
            return true;
        lastError = tr("There is no connection now!");
        return false;
    }
    if (proto == QLatin1String(kProtoTcpClient)) {
        // No reason of its own: a closed client is plain from the panel.
        if (qobject_cast<tcpClientSocket_*>(device) && device->isValid())
            return true;
        lastError = tr("The TCP client is not connected!");
        return false;
    }
    if (proto == QLatin1String(kProtoUdp)) {
        if (ui->remote_addr_history->currentText().split(QLatin1Char(':')).size() != 2) {
            lastError = tr("Invalid remote host addr,(Host:Port)");
            return false;
        }
        if (qobject_cast<udpSocket_*>(device) && device->isValid())
            return true;
        lastError = tr("The UDP socket is not open!");
        return false;
    }
    return true;
}

void UartNetAssist::stopPeriodicSending()
{
    periodicTimer->stop();
    ui->btn_send->setText(tr("send"));
    ui->send_text->setEnabled(true);
    ui->clear_send_data->setEnabled(true);
}

void UartNetAssist::sendData()
{
    QMutexLocker lock(&sendMutex);
    const QString text = ui->send_text->toPlainText();
    const QByteArray frame = ui->send_in_hex->isChecked() ? HexString2ByteArray(text, QLatin1Char(' '))
                                                          : text.toLocal8Bit();
    if (frame.isEmpty()) {
        if (ui->circular_send->isChecked() && periodicTimer->isActive())
            stopPeriodicSending();
        lock.unlock();
        showNotice(QMessageBox::Information, tr("tips"), tr("there is no data!"));
        return;
    }
    sendDataWithDevice(withChecksum(frame));
}

void UartNetAssist::sendDataWithDevice(const QByteArray& data)
{
    const QByteArray frame = withAddition(data);
    writeFrame(frame);
    sendCount += static_cast<quint32>(frame.size());
    updateCount();
    if (ui->clear_after_send->isChecked() && !ui->circular_send->isChecked())
        ui->send_text->clear();
}

QByteArray UartNetAssist::withAddition(const QByteArray& data) const
{
    QByteArray frame = data;
    if (ui->auto_addition->isChecked()) {
        QString addition = ui->edit_additional->text();
        QByteArray suffix;
        if (addition.contains(QLatin1String("\\r")))
            suffix.append('\r');
        if (addition.contains(QLatin1String("\\n")))
            suffix.append('\n');
        addition.remove(QLatin1String("\\r"));
        addition.remove(QLatin1String("\\n"));
        frame.append(addition.toLocal8Bit());
        frame.append(suffix);
    }
    return frame;
}

void UartNetAssist::writeFrame(const QByteArray& frame)
{
    const QString proto = ui->choose_protocol->currentText();
    if (device) {
        if (proto == QLatin1String(kProtoTcpServer)) {
            if (auto* server = qobject_cast<tcpServerSocket_*>(device)) {
                const QString target = ui->client_addrs->currentText();
                if (target == tr("All Connections")) {
                    server->write(frame);
                } else {
                    const QStringList parts = target.split(QLatin1Char(':'));
                    if (parts.size() == 2)
                        server->write(parts.at(0), parts.at(1).toInt(), frame);
                }
            }
        } else if (proto == QLatin1String(kProtoUdp)) {
            const QStringList parts = ui->remote_addr_history->currentText().split(QLatin1Char(':'));
            if (parts.size() != 2) {
                showNotice(QMessageBox::Critical, tr("Warning"), tr("Invalid remote host addr,(Host:Port)"));
            } else if (auto* udp = qobject_cast<udpSocket_*>(device)) {
                udp->write(parts.at(0), parts.at(1).toInt(), frame);
            }
        } else {
            device->write(frame);
        }
    }
}

void UartNetAssist::onSendButton()
{
    if (sendFromFile)
        return;
    if (!checkSendableStatus()) {
        showNotice(QMessageBox::Information, tr("tips"), lastError);
        return;
    }
    if (!ui->circular_send->isChecked()) {
        const QString payload = ui->send_text->toPlainText(); // before "Auto Clear Input"
        sendData();
        rememberSent(payload);
        return;
    }
    if (ui->send_text->toPlainText().toLocal8Bit().isEmpty()) {
        showNotice(QMessageBox::Information, tr("tips"), tr("there is no data!"));
        return;
    }
    if (!periodicTimer->isActive()) {
        int interval = 0;
        if (!AssistInput::parseInterval(ui->circular_time->text(), &interval)) {
            // A 0 ms timer would flood the device; a negative one would never fire.
            showNotice(QMessageBox::Information, tr("tips"),
                       tr("The interval must be a number of milliseconds from %1 to %2.")
                           .arg(AssistInput::minIntervalMs)
                           .arg(AssistInput::maxIntervalMs));
            return;
        }
        periodicTimer->start(interval);
        rememberSent(ui->send_text->toPlainText());
        ui->btn_send->setText(tr("stop send"));
        ui->send_text->setEnabled(false);
        ui->clear_send_data->setEnabled(false);
    } else {
        stopPeriodicSending();
    }
}

void UartNetAssist::onPeriodicTick()
{
    // Behind a peer that does not read, the frames would pile up in the device without
    // bound: this tick is skipped until it has passed most of them on.
    if (deviceBacklog() > periodicBacklogLimit)
        return;
    sendData();
}

void UartNetAssist::showNotice(int icon, const QString& title, const QString& text, const QString& details)
{
    // A box already answered may linger until its deferred deletion; it no longer counts.
    if (noticeBox && noticeBox->isVisible()) {
        qCDebug(lcAssist) << "box already open, not shown again:" << text;
        return;
    }
    auto* box = new QMessageBox(static_cast<QMessageBox::Icon>(icon), title, text, QMessageBox::Ok, this);
    if (!details.isEmpty())
        box->setInformativeText(details);
    box->setAttribute(Qt::WA_DeleteOnClose);
    noticeBox = box;
    box->open();
}

// ---------------------------------------------------------------- configuration string

QString UartNetAssist::GetCurrentConfig()
{
    // Built from values, not filled into placeholders: a field may itself hold "%1".
    AssistConfigString config;
    const int proto = ui->choose_protocol->currentIndex();
    if (proto >= 0 && proto <= 3) {
        config.setField(0, QString::number(proto));
        if (proto == 0) {
            config.setField(1, ui->com_list->currentText());
            config.setSubFields(2, {QString::number(ui->baud_rate->currentIndex()),
                                    QString::number(ui->check_bit->currentIndex()),
                                    QString::number(ui->data_bit->currentIndex()),
                                    QString::number(ui->stop_bit->currentIndex())});
        } else if (proto == 2) {
            config.setField(1, ui->local_ip_list->currentText());
            config.setField(2, ui->remote_ip_port->currentText());
        } else {
            config.setField(1, ui->local_ip_list->currentText());
            config.setField(2, ui->addr_port_edit->text());
        }
    }
    config.setSubFields(3, {checkedFlag(ui->wrap_auto), checkedFlag(ui->show_rcv_time), checkedFlag(ui->show_in_hex)});
    config.setSubFields(4, {checkedFlag(ui->clear_after_send), checkedFlag(ui->send_in_hex),
                            checkedFlag(ui->circular_send), ui->circular_time->text(),
                            checkedFlag(ui->auto_addition), ui->edit_additional->text(),
                            checkedFlag(ui->auto_reply), checkedFlag(ui->custom_reply)});
    config.setField(5, ui->remote_addr_history->currentText());
    config.setField(6, ui->send_text->toPlainText());
    return config.toString();
}

void UartNetAssist::ApplyConfig(QString line)
{
    AssistConfigString config;
    if (!config.parse(line))
        return;

    // Numbers are taken only in range; a value that is not is skipped and the field
    // keeps what it had (a wrapped port or a 0 ms period must not reach a device).
    const auto hostPortOk = [](const QString& text) {
        return text.isEmpty() || AssistInput::parseHostPort(text);
    };
    const int proto = config.field(0).toInt();
    ui->choose_protocol->setCurrentIndex(proto);
    if (proto == 0) {
        ui->com_list->setEditText(config.field(1));
        const QStringList serial = config.subFields(2);
        if (serial.size() == 4) {
            ui->baud_rate->setCurrentIndex(serial.at(0).toInt());
            ui->check_bit->setCurrentIndex(serial.at(1).toInt());
            ui->data_bit->setCurrentIndex(serial.at(2).toInt());
            ui->stop_bit->setCurrentIndex(serial.at(3).toInt());
        }
    } else if (proto == 1 || proto == 3) {
        ui->local_ip_list->setEditText(config.field(1));
        if (AssistInput::parsePort(config.field(2)))
            ui->addr_port_edit->setText(config.field(2));
        else
            qCDebug(lcAssist) << "configuration: port out of range:" << config.field(2);
    } else if (proto == 2) {
        ui->local_ip_list->setEditText(config.field(1));
        if (hostPortOk(config.field(2)))
            ui->remote_ip_port->setEditText(config.field(2));
        else
            qCDebug(lcAssist) << "configuration: remote address out of range:" << config.field(2);
    }

    const QStringList recv = config.subFields(3);
    if (recv.size() == 3) {
        wrapLines = recv.at(0) == QLatin1String("1");
        ui->wrap_auto->setChecked(wrapLines);
        ui->show_rcv_time->setChecked(recv.at(1) == QLatin1String("1"));
        showHex = recv.at(2) == QLatin1String("1");
        ui->show_in_hex->setChecked(showHex);
    }

    const QStringList send = config.subFields(4);
    if (send.size() == 8) {
        const auto one = [&send](int i) { return send.at(i) == QLatin1String("1"); };
        ui->clear_after_send->setChecked(one(0));
        ui->send_in_hex->setChecked(one(1));
        ui->circular_send->setChecked(one(2));
        if (AssistInput::parseInterval(send.at(3)))
            ui->circular_time->setText(send.at(3));
        else
            qCDebug(lcAssist) << "configuration: interval out of range:" << send.at(3);
        ui->auto_addition->setChecked(one(4));
        ui->edit_additional->setText(send.at(5));
        ui->auto_reply->setChecked(one(6));
        ui->custom_reply->setChecked(one(7));
    }

    if (hostPortOk(config.field(5)))
        ui->remote_addr_history->setEditText(config.field(5));
    else
        qCDebug(lcAssist) << "configuration: UDP destination out of range:" << config.field(5);
    ui->send_text->setPlainText(config.field(6));
    emit updateNodeName(GetCurrentTitle(), false);
}

QString UartNetAssist::GetCurrentTitle()
{
    const QString t = ui->choose_protocol->currentText();
    switch (ui->choose_protocol->currentIndex()) {
    case 0:
        return QStringLiteral("%1_%2_%3")
            .arg(t, ui->com_list->currentText(),
                 QStringLiteral("%1-%2-%3-%4")
                     .arg(ui->baud_rate->currentText(), ui->check_bit->currentText(),
                          ui->data_bit->currentText(), ui->stop_bit->currentText()));
    case 1:
    case 3:
        return QStringLiteral("%1_%2_%3").arg(t, ui->local_ip_list->currentText(), ui->addr_port_edit->text());
    case 2:
        return QStringLiteral("%1_%2_%3").arg(t, ui->local_addr_port->text(), ui->remote_ip_port->currentText());
    default:
        return QString();
    }
}

// ---------------------------------------------------------------- history file

void UartNetAssist::loadHistoryFile()
{
    const AssistShared& shared = AssistShared::instance();
    const QStringList clients = shared.clients();
    if (!clients.isEmpty()) {
        ui->remote_ip_port->addItems(clients);
        ui->remote_ip_port->setEditText(clients.constFirst());
    }
    const QStringList peers = shared.udpPeers();
    if (!peers.isEmpty()) {
        ui->remote_addr_history->addItems(peers);
        ui->remote_addr_history->setEditText(peers.constFirst());
    }
}

// ---------------------------------------------------------------- language

void UartNetAssist::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange && ui) {
        const int page = ui->stackedWidget->currentIndex();
        const int proto = ui->choose_protocol->currentIndex();
        ui->retranslateUi(this);
        ui->stackedWidget->setCurrentIndex(page);
        ui->choose_protocol->setCurrentIndex(proto);
        const bool open = device && device->isValid();
        ui->open_com->setText(open ? tr("close") : tr("open"));
        if (clientConnecting) // the attempt goes on; a click would give it up
            ui->connect->setText(tr("connecting..."));
        else
            ui->connect->setText(open ? tr("disconnect") : tr("connect"));
        if (proto == 2)
            ui->net_label_2->setText(tr("Remote Addr:Port"));
        else
            ui->net_label_2->setText(tr("Local Host Port"));
        if (periodicTimer->isActive())
            ui->btn_send->setText(tr("stop send"));
        updateCount();
    }
    QWidget::changeEvent(event);
}
