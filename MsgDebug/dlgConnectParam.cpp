#include "dlgConnectParam.h"

#include "appdir.h"
#include "msgdebuglog.h"
#include "ui_dlgConnectParam.h"

#include <QCoreApplication>
#include <QEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>

namespace {
// config/debug.ini: "ip/num", "ip/1".."ip/num" (oldest first) and "ip/last".
QString historyFile()
{
    return dataFilePath(QStringLiteral("config/debug.ini"));
}

struct IpHistory
{
    QStringList addresses;
    QString last;
};

IpHistory readHistory()
{
    QSettings ini(historyFile(), QSettings::IniFormat);
    IpHistory h;
    const int num = ini.value(QStringLiteral("ip/num"), 0).toInt();
    for (int k = 1; k <= num; ++k)
        h.addresses << ini.value(QStringLiteral("ip/%1").arg(k)).toString();
    h.last = ini.value(QStringLiteral("ip/last")).toString();
    return h;
}

void writeHistory(const IpHistory& h)
{
    QSettings ini(historyFile(), QSettings::IniFormat);
    ini.setValue(QStringLiteral("ip/num"), QString::number(h.addresses.size()));
    ini.setValue(QStringLiteral("ip/last"), h.last);
    for (int k = 0; k < h.addresses.size(); ++k)
        ini.setValue(QStringLiteral("ip/%1").arg(k + 1), h.addresses.at(k));
    ini.sync();
    if (ini.status() != QSettings::NoError)
        qCWarning(lcMsgDebug).noquote()
            << QCoreApplication::translate("dlgConnectParam", "Cannot save the address history in %1.").arg(historyFile());
}
} // namespace

dlgConnectParam::dlgConnectParam(QWidget* parent)
    : QDialog(parent)
    , ui(new Ui_dlgConnectParam)
{
    ui->setupUi(this);
    connect(ui->buttonBox, &QDialogButtonBox::accepted, this, &dlgConnectParam::accept);
    connect(ui->buttonBox, &QDialogButtonBox::rejected, this, &dlgConnectParam::reject);

    const IpHistory h = readHistory();
    history = h.addresses;
    for (int k = history.size() - 1; k >= 0; --k)
        ui->edit_ip->addItem(history.at(k));
    if (!h.last.isEmpty())
        ui->edit_ip->setCurrentText(h.last);
    else
        ui->edit_ip->setCurrentText(QString());
    ui->label_4->hide();
    ui->edit_port->hide();
}

dlgConnectParam::~dlgConnectParam()
{
    delete ui;
}

void dlgConnectParam::accept()
{
    ip = ui->edit_ip->currentText();
    port = QStringLiteral("60000"); // the debug link always uses this port
    if (ip.isEmpty() || port.isEmpty()) {
        QMessageBox::critical(this, tr("tips"), tr("Please fill all the parameters!"), QMessageBox::Ok);
        return;
    }
    if (!history.contains(ip)) {
        if (history.size() >= MaxHistory)
            history.removeFirst();
        history.append(ip);
    }
    updateIpHistory();
    QDialog::accept();
}

void dlgConnectParam::updateIpHistory()
{
    if (history.isEmpty())
        return;
    writeHistory({history, ip});
}

void dlgConnectParam::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange)
        ui->retranslateUi(this);
    QDialog::changeEvent(event);
}
