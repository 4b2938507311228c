#include "CIceDevConsolo.h"

#include "SshSession.h"
#include "appdir.h"
#include "ipframes.h"
#include "ui_DevConsolo.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QMessageBox>
#include <QMutexLocker>
#include <QProcess>
#include <QTextCodec>
#include <QTextDecoder>
#include <QTimer>

#include <chrono>

namespace {
constexpr int kSshPort = 22;
constexpr int kLoginTimeoutMs = 10000;
constexpr int kProbeIntervalMs = 1000; // a dropped session shows within a few seconds
}

const QString m_red_sheetStyle = QStringLiteral(
    "min-width:16px; min-height: 16px; max-width:16px; max-height: 16px; border-radius: 8px; border:1px solid black; background: red");
const QString m_green_sheetStyle = QStringLiteral(
    "min-width:16px; min-height: 16px; max-width:16px; max-height: 16px; border-radius: 8px; border:1px solid black; background: green");

std::atomic<int> CIceDevConsolo::sessionCounter{0};

CIceDevConsolo::CIceDevConsolo(QWidget* parent)
    : QTabWidget(parent)
    , ui(new Ui_DevConsolo)
    , decoder(QTextCodec::codecForName("UTF-8")->makeDecoder())
{
    ui->setupUi(this);
    SetupSshProxy();
    SetupWebEngine();

    connect(ui->btnLogin, &QPushButton::clicked, this, [this] {
        if (session != -1 && connected) {
            endSession();
            return;
        }
        ui->btnLogin->setText(tr("Login"));
        ui->btnLogin->setEnabled(false); // one login at a time; LoginResult gives it back
        setWaitCursor(true);
        joinWorker();
        loginUser = ui->editUserName->text();
        loginPassword = ui->editPassword->text().toUtf8();
        cancel = false;
        std::atomic_store(&ssh, std::make_shared<SshSession>());
        startWorker([this] { DoLoginDevice(); });
    });
    connect(ui->cmdList, &QComboBox::currentTextChanged, this, [this](const QString& text) {
        if (text == QLatin1String("netstat"))
            ui->editCmdParam->setText(QStringLiteral("-natp"));
        else
            ui->editCmdParam->clear();
    });
    connect(ui->btnExecute, &QPushButton::clicked, this, [this] {
        if (busy || !connected)
            return;
        joinWorker(); // not busy: the last job has returned
        busy = true;
        cancel = false;
        // Separate arguments, each quoted for the device's shell: what the user typed is
        // never re-read as shell syntax, on either side.
        const QStringList args = QProcess::splitCommand(ui->editCmdParam->text());
        command = SshSession::commandLine(ui->cmdList->currentText(), args);
        appendOutput(QStringLiteral("$ %1\n").arg(QString::fromUtf8(command)));
        startWorker([this] { DoExecuteCmd(); });
    });
    connect(ui->btnClearText, &QPushButton::clicked, ui->plainTextEdit, &QPlainTextEdit::clear);
    connect(this, &CIceDevConsolo::UpdateConnectionStatus, this, &CIceDevConsolo::OnConnectStatusChanged);
    connect(this, &CIceDevConsolo::Warning, this, [this](const QString& msg) {
        QMessageBox::warning(this, tr("tips"), msg, QMessageBox::Yes);
    });
    connect(this, &CIceDevConsolo::LoginResult, this, [this](bool success) {
        OnConnectStatusChanged(connected);
        ui->btnLogin->setEnabled(true);
        setWaitCursor(false);
        loginPassword.fill('\0'); // no copy outlives the attempt
        loginPassword.clear();
        if (success) {
            QTimer::singleShot(2000, this, [this] {
                if (connected)
                    StartMonitorThread();
            });
            return;
        }
        session = -1;
        QString msg;
        {
            QMutexLocker lock(&pendingMutex);
            msg.swap(pendingMessage);
        }
        if (!msg.isEmpty())
            ui->plainTextEdit->appendPlainText(msg);
    });
    connect(this, &CIceDevConsolo::hostKeyUnknown, this, &CIceDevConsolo::onHostKeyUnknown);
    connect(this, &CIceDevConsolo::outputArrived, this, [this](const QByteArray& chunk) { appendOutput(decoder->toUnicode(chunk)); });
    connect(this, &CIceDevConsolo::commandFinished, this, [this](const QString& summary) {
        if (!summary.isEmpty())
            ui->plainTextEdit->appendPlainText(summary);
    });
    connect(this, &CIceDevConsolo::connectionLost, this, [this] {
        StopMonitorThread();
        cancel = true;
        session = -1;
        OnConnectStatusChanged(false);
        ui->plainTextEdit->appendPlainText(tr("The connection to %1 was lost.").arg(devIp));
    });
    connect(this, &CIceDevConsolo::monitorEnded, this, [this](int generation) {
        // Its last act was this signal, so the join cannot wait.
        if (generation == monitorGeneration && monitorThread.joinable())
            monitorThread.join();
    });
    OnConnectStatusChanged(false);
}

CIceDevConsolo::~CIceDevConsolo()
{
    monitorRunning = false;
    cancel = true;
    // Every call in progress fails at once, so both joins below are short.
    if (auto s = std::atomic_load(&ssh))
        s->abort();
    if (monitorThread.joinable())
        monitorThread.join();
    joinWorker();
    setWaitCursor(false);
    delete ui;
}

QString CIceDevConsolo::knownHostsFile()
{
    return dataFilePath(QStringLiteral("ssh/known_hosts"));
}

void CIceDevConsolo::SetDeviceInfo(QString ip, QString name)
{
    devIp = ip;
    devName = name;
}

void CIceDevConsolo::OnConnectStatusChanged(bool c)
{
    ui->editUserName->setEnabled(!c);
    ui->editPassword->setEnabled(!c);
    ui->cmdList->setEnabled(c);
    ui->editCmdParam->setEnabled(c);
    ui->btnExecute->setEnabled(c);
    ui->btnLogin->setText(c ? tr("Exit") : tr("Login"));
    ui->led_run->setStyleSheet(c ? m_green_sheetStyle : m_red_sheetStyle);
}

void CIceDevConsolo::StartMonitorThread()
{
    if (monitorThread.joinable() && monitorRunning)
        return; // one monitor watches the session already
    monitorRunning = true;
    if (monitorThread.joinable())
        monitorThread.join(); // told to stop; ends within one slice
    ++monitorGeneration;
    monitorThread = std::thread([this] { ThreadMonitorConnectionStatus(); });
}

void CIceDevConsolo::StopMonitorThread()
{
    // No wait here: the monitor sees the flag within one slice and is joined when its
    // monitorEnded arrives (or by the destructor).
    monitorRunning = false;
}

void CIceDevConsolo::ThreadMonitorConnectionStatus()
{
    const int generation = monitorGeneration;
    const std::shared_ptr<SshSession> s = std::atomic_load(&ssh);
    QElapsedTimer since;
    since.start();
    while (monitorRunning) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        if (since.elapsed() < kProbeIntervalMs)
            continue;
        since.restart();
        if (!s || !s->probe()) {
            if (monitorRunning && connected) {
                connected = false;
                if (s)
                    s->abort(); // a command still reading ends with it
                emit connectionLost();
            }
            break;
        }
    }
    emit monitorEnded(generation);
}

void CIceDevConsolo::SetupSshProxy() {}

void CIceDevConsolo::SetupWebEngine() {}

void CIceDevConsolo::DoLoginDevice()
{
    connected = false;
    const std::shared_ptr<SshSession> s = std::atomic_load(&ssh);
    auto fail = [this](const QString& msg) {
        {
            QMutexLocker lock(&pendingMutex);
            pendingMessage = msg;
        }
        emit LoginResult(false);
    };
    QString error;
    ipframes::Ip4Bytes ip{};
    if (!ipframes::parseIp4(devIp, &ip)) {
        // Only a device's own IPv4 address, never a name to look up somewhere else.
        fail(tr("Cannot connect to %1: not an IPv4 address").arg(devIp));
        return;
    }
    if (!s || !s->connectTo(devIp, kSshPort, knownHostsFile(), kLoginTimeoutMs, cancel, &error)) {
        fail(tr("Cannot connect to %1: %2").arg(devIp, error));
        return;
    }
    QString fingerprint;
    switch (s->checkHostKey(&fingerprint, &error)) {
    case SshSession::HostKey::Known:
        authenticate(s);
        return;
    case SshSession::HostKey::Unknown:
        emit hostKeyUnknown(fingerprint); // the login goes on once the user has decided
        return;
    case SshSession::HostKey::Changed: {
        const QString msg = tr("The host key of %1 has changed (it is now %2). Another device may be answering at this "
                               "address, or someone may be listening in: not connected. If the device was replaced, "
                               "remove its line from %3.")
                                .arg(devIp, fingerprint, knownHostsFile());
        s->close();
        emit Warning(msg);
        fail(msg);
        return;
    }
    case SshSession::HostKey::Failed:
        break;
    }
    s->close();
    fail(tr("Cannot check the host key of %1: %2").arg(devIp, error));
}

void CIceDevConsolo::authenticate(const std::shared_ptr<SshSession>& s)
{
    QString error;
    if (!s->authenticate(loginUser, loginPassword, kLoginTimeoutMs, cancel, &error)) {
        s->close();
        {
            QMutexLocker lock(&pendingMutex);
            pendingMessage = tr("Login to %1 as %2 failed: %3").arg(devIp, loginUser, error);
        }
        emit LoginResult(false);
        return;
    }
    session = ++sessionCounter;
    connected = true;
    emit LoginResult(true);
}

void CIceDevConsolo::onHostKeyUnknown(const QString& fingerprint)
{
    joinWorker(); // it ended with the signal that brought us here
    setWaitCursor(false);
    auto* box = new QMessageBox(QMessageBox::Question, tr("tips"),
                                tr("The device %1 is not known yet. Its host key has the SHA-256 fingerprint\n%2\n"
                                   "Accept this key and log in? It is remembered for the next logins.")
                                    .arg(devIp, fingerprint),
                                QMessageBox::Yes | QMessageBox::No, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setDefaultButton(QMessageBox::No);
    connect(box, &QMessageBox::finished, this, [this](int result) { finishLogin(result == QMessageBox::Yes); });
    box->open();
}

void CIceDevConsolo::finishLogin(bool hostKeyAccepted)
{
    const std::shared_ptr<SshSession> s = std::atomic_load(&ssh);
    if (!s)
        return;
    if (!hostKeyAccepted) {
        s->close();
        {
            QMutexLocker lock(&pendingMutex);
            pendingMessage = tr("The host key of %1 was not accepted: not connected.").arg(devIp);
        }
        emit LoginResult(false);
        return;
    }
    QString error;
    if (!makeDataDirFor(QStringLiteral("ssh/known_hosts"), &error))
        emit Warning(tr("The host key cannot be remembered: %1").arg(error));
    setWaitCursor(true);
    startWorker([this, s] {
        QString why;
        if (!s->rememberHostKey(&why))
            emit Warning(tr("The host key cannot be remembered in %1: %2").arg(knownHostsFile(), why));
        authenticate(s);
    });
}

void CIceDevConsolo::DoExecuteCmd()
{
    const std::shared_ptr<SshSession> s = std::atomic_load(&ssh);
    int status = -1;
    QString error;
    const bool ok = s && s->execute(command, [this](const QByteArray& chunk) { emit outputArrived(chunk); }, cancel, &status, &error);
    busy = false;
    if (!ok)
        emit commandFinished(tr("The command failed: %1").arg(error));
    else if (status >= 0)
        emit commandFinished(tr("[exit status %1]").arg(status));
    else
        emit commandFinished(QString());
}

void CIceDevConsolo::endSession()
{
    StopMonitorThread();
    connected = false;
    cancel = true;
    if (const std::shared_ptr<SshSession> s = std::atomic_load(&ssh))
        s->close();
    session = -1;
    OnConnectStatusChanged(false);
}

void CIceDevConsolo::appendOutput(const QString& text)
{
    QPlainTextEdit* out = ui->plainTextEdit;
    out->moveCursor(QTextCursor::End);
    out->insertPlainText(text);
    out->ensureCursorVisible();
}

void CIceDevConsolo::setWaitCursor(bool on)
{
    if (on && !waitCursor)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else if (!on && waitCursor)
        QApplication::restoreOverrideCursor();
    waitCursor = on;
}

void CIceDevConsolo::startWorker(std::function<void()> job)
{
    workerThread = std::thread(std::move(job));
}

void CIceDevConsolo::joinWorker()
{
    if (workerThread.joinable())
        workerThread.join();
}

void CIceDevConsolo::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange) {
        ui->retranslateUi(this);
        OnConnectStatusChanged(connected);
    }
    QTabWidget::changeEvent(event);
}
