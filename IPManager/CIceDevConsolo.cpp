#include "CIceDevConsolo.h"

#include "ui_DevConsolo.h"

#include <QApplication>
#include <QEvent>
#include <QMessageBox>
#include <QMutexLocker>
#include <QTimer>

#include <chrono>

const QString m_red_sheetStyle = QStringLiteral(
    "min-width:16px; min-height: 16px; max-width:16px; max-height: 16px; border-radius: 8px; border:1px solid black; background: red");
const QString m_green_sheetStyle = QStringLiteral(
    "min-width:16px; min-height: 16px; max-width:16px; max-height: 16px; border-radius: 8px; border:1px solid black; background: green");

CIceDevConsolo::CIceDevConsolo(QWidget* parent)
    : QTabWidget(parent)
    , ui(new Ui_DevConsolo)
{
    ui->setupUi(this);
    SetupSshProxy();
    SetupWebEngine();

    connect(ui->btnLogin, &QPushButton::clicked, this, [this] {
        if (session != -1 && connected) {
            StopMonitorThread();
            connected = false;
            OnConnectStatusChanged(false);
            return;
        }
        ui->btnLogin->setText(tr("Login"));
        QApplication::setOverrideCursor(Qt::WaitCursor);
        joinWorker();
        workerThread = std::thread([this] { DoLoginDevice(); });
    });
    connect(ui->cmdList, &QComboBox::currentTextChanged, this, [this](const QString& text) {
        if (text == QLatin1String("netstat"))
            ui->editCmdParam->setText(QStringLiteral("-natp"));
        else
            ui->editCmdParam->clear();
    });
    connect(ui->btnExecute, &QPushButton::clicked, this, [this] {
        if (busy)
            return;
        joinWorker();
        busy = true;
        workerThread = std::thread([this] { DoExecuteCmd(); });
    });
    connect(ui->btnClearText, &QPushButton::clicked, ui->plainTextEdit, &QPlainTextEdit::clear);
    connect(this, &CIceDevConsolo::UpdateConnectionStatus, this, &CIceDevConsolo::OnConnectStatusChanged);
    connect(this, &CIceDevConsolo::Warning, this, [this](const QString& msg) {
        QMessageBox::warning(this, tr("tips"), msg, QMessageBox::Yes);
    });
    connect(this, &CIceDevConsolo::LoginResult, this, [this](bool success) {
        OnConnectStatusChanged(connected);
        QApplication::restoreOverrideCursor();
        if (success) {
            QTimer::singleShot(2000, this, &CIceDevConsolo::StartMonitorThread);
            return;
        }
        QString msg;
        {
            QMutexLocker lock(&pendingMutex);
            msg.swap(pendingMessage);
        }
        if (!msg.isEmpty())
            ui->plainTextEdit->appendPlainText(msg);
    });
    OnConnectStatusChanged(false);
}

CIceDevConsolo::~CIceDevConsolo()
{
    StopMonitorThread();
    joinWorker();
    delete ui;
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
    monitorRunning = true;
    if (monitorThread.joinable())
        monitorThread.join();
    monitorThread = std::thread([this] { ThreadMonitorConnectionStatus(); });
}

void CIceDevConsolo::StopMonitorThread()
{
    monitorRunning = false;
    // The grace period only matters for a running monitor; without one there is nothing to wait for.
    if (monitorThread.joinable()) {
        std::this_thread::sleep_for(std::chrono::seconds(2));
        monitorThread.join();
    }
}

void CIceDevConsolo::ThreadMonitorConnectionStatus()
{
    // No session transport: watch the flag in short slices so a stop is noticed promptly.
    while (monitorRunning)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

void CIceDevConsolo::SetupSshProxy() {}

void CIceDevConsolo::SetupWebEngine() {}

void CIceDevConsolo::DoLoginDevice()
{
    connected = false;
    // No login transport is built in; the attempt ends at once and says so.
    {
        QMutexLocker lock(&pendingMutex);
        pendingMessage = tr("Login to %1 is not available: no console transport.").arg(devIp);
    }
    emit LoginResult(false);
}

void CIceDevConsolo::DoExecuteCmd()
{
    // No command transport is built in; the hook only releases the busy flag.
    busy = false;
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
