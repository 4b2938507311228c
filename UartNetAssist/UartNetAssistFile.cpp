// The assistant panel's file functions: sending a file in paced blocks from a worker
// thread, writing received data into size-limited rollover files, saving the receive
// box and loading a text file into the send box.

#include "UartNetAssist.h"
#include "assistlog.h"
#include "ui_UartNetAssist.h"

#include "appdir.h"
#include "serialPortDevice_.h"
#include "statusmessages.h"
#include "tcpClientSocket_.h"
#include "tcpServerSocket_.h"

#include <QDateTime>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QSerialPort>
#include <QTcpSocket>

#include <limits>

namespace {

QString sendLogStamp()
{
    return QDateTime::currentDateTime().toString(QStringLiteral("[yyyyMMdd-hh:mm:ss]"));
}

} // namespace

void UartNetAssist::setupFileTransfer()
{
    chooseOpenFile = [this](const QString& title, const QString& dir, const QString& filter) {
        return QFileDialog::getOpenFileName(this, title, dir, filter);
    };
    chooseSaveFile = [this](const QString& title, const QString& dir, const QString& filter) {
        return QFileDialog::getSaveFileName(this, title, dir, filter);
    };

    // The worker's signals come from its own thread and are queued onto the panel's.
    connect(&fileSendThread, &FileSendWorker::sendData_signal, this, &UartNetAssist::sendData_signal);
    connect(&fileSendThread, &FileSendWorker::finished_signal, this, &UartNetAssist::resetFileSendUI_signal);
    connect(&fileSendThread, &FileSendWorker::progress_signal, this, [this](qint64 sent, qint64) {
        emit updateSendFileProgress(static_cast<int>(sent >> progressShift));
    });
    connect(this, &UartNetAssist::sendData_signal, this, [this](const QByteArray& chunk) {
        sendDataWithDevice(chunk);
        watchDeviceDrain();
        fileDrain.chunkWritten();
    });
    connect(this, &UartNetAssist::updateSendFileProgress, ui->progressBar, &QProgressBar::setValue);
    connect(this, &UartNetAssist::resetFileSendUI_signal, this, &UartNetAssist::resetFileSendUI_slot);
    fileDrain.setWorker(&fileSendThread);
    fileDrain.setBacklogFunction([this] { return deviceBacklog(); });

    connect(ui->file_data_src, &QCheckBox::clicked, this, &UartNetAssist::sendFromFileClicked);
    connect(ui->btn_start, &QPushButton::clicked, this, &UartNetAssist::startFileSend_slot);
    connect(ui->btn_pause, &QPushButton::clicked, this, &UartNetAssist::pauseFileSend);
    connect(ui->btn_stop, &QPushButton::clicked, this, &UartNetAssist::stopFileSend_slot);
    connect(ui->receive_to_file, &QCheckBox::clicked, this, &UartNetAssist::receiveToFileClicked);
    connect(ui->save_rcv_data, &QPushButton::clicked, this, &UartNetAssist::saveRecvData);
    connect(ui->load_file, &QPushButton::clicked, this, &UartNetAssist::loadSendFile);

    // Changes reach the worker at its next block; the timer also follows the send check
    // (a client that leaves, a device that closes) while a file is being sent.
    connect(ui->single_bytes, &QLineEdit::textChanged, this, &UartNetAssist::updateFileSendSettings);
    connect(ui->send_time_interval, &QLineEdit::textChanged, this, &UartNetAssist::updateFileSendSettings);
    connect(ui->circular_send, &QCheckBox::toggled, this, &UartNetAssist::updateFileSendSettings);
    connect(ui->baud_rate, &QComboBox::currentTextChanged, this, &UartNetAssist::updateFileSendSettings);
    connect(ui->data_bit, &QComboBox::currentTextChanged, this, &UartNetAssist::updateFileSendSettings);
    fileSettingsTimer.setInterval(50);
    connect(&fileSettingsTimer, &QTimer::timeout, this, &UartNetAssist::updateFileSendSettings);
}

void UartNetAssist::appendSendLog(const QString& line)
{
    ui->send_text->appendPlainText(line);
}

void UartNetAssist::updateFileSendSettings()
{
    FileSendSettings s;
    s.blockSize = FileSendWorker::blockSizeFor(ui->choose_protocol->currentIndex(), ui->single_bytes->text(),
                                               ui->baud_rate->currentText(), ui->data_bit->currentText());
    s.intervalMs = ui->send_time_interval->text().toInt();
    s.repeat = ui->circular_send->isChecked();
    // The check may store a reason; keep the one the user saw last.
    const QString reason = lastError;
    s.sendable = checkSendableStatus();
    lastError = reason;
    fileSendThread.setSettings(s);
}

qint64 UartNetAssist::deviceBacklog() const
{
    if (auto* client = qobject_cast<tcpClientSocket_*>(device))
        return client->tcpSocket() ? client->tcpSocket()->bytesToWrite() : 0;
    if (auto* serial = qobject_cast<serialPortDevice_*>(device))
        return serial->serialPort() ? serial->serialPort()->bytesToWrite() : 0;
    if (auto* server = qobject_cast<tcpServerSocket_*>(device)) {
        qint64 most = 0;
        for (QTcpSocket* c : server->clients)
            most = std::max(most, c->bytesToWrite());
        return most;
    }
    return 0; // datagrams leave at once
}

void UartNetAssist::watchDeviceDrain()
{
    if (auto* client = qobject_cast<tcpClientSocket_*>(device)) {
        fileDrain.watch(client->tcpSocket());
    } else if (auto* serial = qobject_cast<serialPortDevice_*>(device)) {
        fileDrain.watch(serial->serialPort());
    } else if (auto* server = qobject_cast<tcpServerSocket_*>(device)) {
        for (QTcpSocket* c : server->clients)
            fileDrain.watch(c);
    }
}

void UartNetAssist::sendFromFileClicked(bool checked)
{
    if (!checked) {
        // The worker reads a file of its own; it stops with the mode, and its stop line
        // goes before the send box is cleared.
        if (fileSending || fileSendThread.isRunning()) {
            stopFileSend_slot();
            resetFileSendUI_slot();
        }
        sendFromFile = false;
        ui->send_text->clear();
        ui->send_text->setEnabled(true);
        if (sendFile.isOpen())
            sendFile.close();
        ui->file_send_widget->hide();
        ui->btn_send->show();
        return;
    }
    sendFilePath = chooseOpenFile(tr("open file"), sendDialogDir.isEmpty() ? QDir::homePath() : sendDialogDir,
                                  tr("All Files(*.*);;Data File(*.dat);;Txt File(*.txt)"));
    if (sendFilePath.isEmpty()) {
        sendFromFile = false;
        ui->file_data_src->setChecked(false);
        return;
    }
    sendFromFile = true;
    ui->send_text->clear();
    appendSendLog(tr("Open file data source:"));
    appendSendLog(sendFilePath);
    ui->send_text->setEnabled(false);
    if (sendFile.isOpen())
        sendFile.close();
    sendFile.setFileName(sendFilePath);
    sendDialogDir = QFileInfo(sendFilePath).absolutePath();
    if (!sendFile.open(QIODevice::ReadOnly))
        showNotice(QMessageBox::Warning, tr("tips"), tr("Open send file failed!"));
    ui->file_send_widget->show();
    ui->btn_send->hide();
}

void UartNetAssist::startFileSend_slot()
{
    if (!checkSendableStatus()) {
        showNotice(QMessageBox::Information, tr("tips"), lastError);
        return;
    }
    if (fileSending)
        return;
    updateFileSendSettings();
    // A file that could not be opened leaves the controls as they are (Start stays
    // enabled) and says so again, instead of starting a worker that does nothing.
    if (!sendFile.isOpen() || !fileSendThread.start(sendFilePath)) {
        qCDebug(lcAssist) << "file send not started:" << fileSendThread.errorText;
        showNotice(QMessageBox::Warning, tr("tips"), tr("Open send file failed!"));
        return;
    }
    const qint64 size = QFileInfo(sendFilePath).size();
    progressShift = 0;
    while ((size >> progressShift) > std::numeric_limits<int>::max())
        ++progressShift;
    ui->progressBar->setRange(0, static_cast<int>(size >> progressShift));
    fileSending = true;
    fileDrain.reset();
    fileSettingsTimer.start();
    ui->btn_start->setEnabled(false);
    ui->btn_pause->setEnabled(true);
    ui->btn_stop->setEnabled(true);
    appendSendLog(tr("%1 start send").arg(sendLogStamp()));
}

void UartNetAssist::pauseFileSend()
{
    fileSendPaused = !fileSendPaused;
    fileSendThread.setPaused(fileSendPaused);
    ui->btn_pause->setText(fileSendPaused ? tr("continue") : tr("pause"));
    appendSendLog(sendLogStamp() + QLatin1Char(' ') + (fileSendPaused ? tr("pause") : tr("continue")));
}

void UartNetAssist::stopFileSend_slot()
{
    fileSending = false;
    // The worker wakes at once; the wait is only an upper bound.
    if (!fileSendThread.stop(stopWaitMs))
        qCDebug(lcAssist) << "file send worker still busy after" << stopWaitMs << "ms";
}

void UartNetAssist::resetFileSendUI_slot()
{
    // The end of a worker that a new Start has already replaced, or of one whose
    // controls were already reset.
    if (fileSendThread.isRunning() || (!fileSending && ui->btn_start->isEnabled()))
        return;
    fileSendThread.join();
    fileSettingsTimer.stop();
    fileDrain.reset();
    fileSending = false;
    fileSendPaused = false;
    fileSendThread.setPaused(false);
    ui->btn_pause->setText(tr("pause"));
    ui->btn_start->setEnabled(true);
    ui->btn_pause->setEnabled(false);
    ui->btn_stop->setEnabled(false);
    appendSendLog(tr("%1 stop send").arg(sendLogStamp()));
    emit updateSendFileProgress(0);
}

void UartNetAssist::receiveToFileClicked(bool checked)
{
    if (!checked) {
        leaveReceiveToFile();
        return;
    }
    recvFilePath = chooseSaveFile(tr("receive data save to file"),
                                  recvDialogDir.isEmpty() ? saveDialogDir() : recvDialogDir,
                                  tr("Data File(*.dat);;Txt File(*.txt);;All Files(*.*)"));
    if (recvFilePath.isEmpty()) {
        recvToFile = false;
        ui->receive_to_file->setChecked(false);
        return;
    }
    if (!recvFile.open(recvFilePath)) {
        receiveFileFailed(tr("Open receive file failed!"), recvFile.errorFile, recvFile.errorReason);
        return;
    }
    recvToFile = true;
    StatusMessages::post(tr("Receiving into %1").arg(recvFilePath));
    recvFile.setLimit(RecvFileWriter::limitFromMiB(ui->single_file_size->text(), recvFile.limit()));
    recvDialogDir = recvFile.directory();
    ClearReceive();
    ui->recv_text->appendPlainText(tr("Receive data save to  file:"));
    ui->recv_text->appendPlainText(recvFilePath);
    ui->recv_text->setEnabled(false);
    ui->single_file_size->setEnabled(false);
}

void UartNetAssist::leaveReceiveToFile()
{
    recvToFile = false;
    ClearReceive();
    ui->recv_text->setEnabled(true);
    ui->single_file_size->setEnabled(true);
    recvFile.close();
}

bool UartNetAssist::WriteDataToFile(const QByteArray& data)
{
    if (!recvToFile || !recvFile.isOpen())
        return false;
    QByteArray bytes;
    if (recvFile.isTextFile()) {
        QString text;
        DataPreprocessing(data, text);
        bytes = text.toLocal8Bit();
    } else {
        bytes = data;
    }
    switch (recvFile.write(bytes)) {
    case RecvFileWriter::Ok:
        break;
    case RecvFileWriter::RolloverFailed:
        receiveFileFailed(tr("Open receive file failed!"), recvFile.errorFile, recvFile.errorReason);
        break;
    case RecvFileWriter::WriteFailed:
        // A full disk or a removed mount: what follows would be lost unseen.
        receiveFileFailed(tr("Write receive file failed!"), recvFile.errorFile, recvFile.errorReason);
        break;
    }
    return true;
}

void UartNetAssist::receiveFileFailed(const QString& text, const QString& file, const QString& reason)
{
    qCDebug(lcAssist) << "receive to file ended:" << text << file << reason;
    const bool wasOn = recvToFile;
    ui->receive_to_file->setChecked(false);
    if (wasOn)
        leaveReceiveToFile();
    else
        recvFile.close();
    recvToFile = false;
    showNotice(QMessageBox::Warning, tr("tips"), text, tr("File: %1\nReason: %2").arg(file, reason));
}

void UartNetAssist::saveRecvData()
{
    const QString name = chooseSaveFile(tr("name save file"), QStringLiteral("/"), tr("txt files(*.txt)"));
    if (name.isEmpty())
        return;
    flushRecvView();
    QFile f(name);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        qCDebug(lcAssist) << "save receive data failed:" << name << f.errorString();
        return;
    }
    f.write(ui->recv_text->toPlainText().toLocal8Bit());
}

void UartNetAssist::loadSendFile()
{
    const QString name = chooseOpenFile(tr("choose load file"), QStringLiteral("/"), tr("txt files(*.txt)"));
    if (name.isEmpty())
        return;
    QFile f(name);
    if (!f.open(QIODevice::ReadOnly))
        return;
    QByteArray bytes = f.readAll();
    const int zero = bytes.indexOf('\0');
    if (zero >= 0)
        bytes.truncate(zero);
    ui->send_text->setPlainText(QString::fromUtf8(bytes));
}
