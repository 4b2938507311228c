#include "UartNetAssist.h"
#include "ui_UartNetAssist.h"

#include "AbsIoDevice.h"

#include <QEvent>
#include <QMessageBox>

UartNetAssist::UartNetAssist(QWidget* parent)
    : QWidget(parent)
    , ui(new Ui_UartNetAssist)
{
    ui->setupUi(this);
    periodicTimer = new QTimer(this);
    ui->file_send_widget->hide();
    ui->local_addr_port->hide();
    ui->remote_addr_widget->hide();
    ui->clients_widget->hide();
}

UartNetAssist::~UartNetAssist()
{
    delete device;
    delete ui;
}

void UartNetAssist::release() {}
void UartNetAssist::OpenDevice() {}
void UartNetAssist::CloseDevice() {}
void UartNetAssist::SendContent() {}
void UartNetAssist::AutoReply() {}
void UartNetAssist::AutoAddition() {}
void UartNetAssist::ClearReceive() {}
void UartNetAssist::ResetCount() {}
QString UartNetAssist::GetCurrentConfig() { return QString(); }
void UartNetAssist::ApplyConfig(QString) {}
QString UartNetAssist::GetCurrentTitle() { return QString(); }
void UartNetAssist::receiveData_slot(QByteArray, QString, int) {}
void UartNetAssist::updateCount() {}
void UartNetAssist::changeEvent(QEvent* event) { QWidget::changeEvent(event); }
bool UartNetAssist::openDevice() { return false; }
void UartNetAssist::updateUI() {}
void UartNetAssist::enableParamSetting(bool) {}
void UartNetAssist::handlePassiveDisconnect() {}
void UartNetAssist::onProtocolChanged(int) {}
void UartNetAssist::onPortScanTimeout() {}
void UartNetAssist::DataPreprocessing(const QByteArray&, QString&) {}
void UartNetAssist::appendToRecvView(const QString&, bool) {}
void UartNetAssist::flushRecvView() {}
bool UartNetAssist::checkSendableStatus() { return false; }
void UartNetAssist::sendData() {}
void UartNetAssist::sendDataWithDevice(const QByteArray&) {}
void UartNetAssist::onSendButton() {}
void UartNetAssist::stopPeriodicSending() {}
void UartNetAssist::loadHistoryFile() {}
void UartNetAssist::saveHistoryIntoIniFile() {}
void UartNetAssist::showNotice(int, const QString&, const QString&) {}
void UartNetAssist::setupSignals() {}
