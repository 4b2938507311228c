#include "dlgConnectParam.h"

#include "appdir.h"
#include "msgdebuglog.h"
#include "ui_dlgConnectParam.h"

#include <QCoreApplication>
#include <QEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QVector>

#include <algorithm>

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

// Reads at most the newest MaxHistory addresses. The count is only an upper bound: the
// keys really present are walked, so a hand-edited "ip/num=2147483647" costs nothing.
IpHistory readHistory()
{
    QSettings ini(historyFile(), QSettings::IniFormat);
    IpHistory h;
    bool ok = false;
    const qlonglong num = ini.value(QStringLiteral("ip/num"), 0).toLongLong(&ok);
    ini.beginGroup(QStringLiteral("ip"));
    QVector<qlonglong> present;
    for (const QString& key : ini.childKeys()) {
        bool isNumber = false;
        const qlonglong k = key.toLongLong(&isNumber);
        if (ok && isNumber && k >= 1 && k <= num)
            present.append(k);
    }
    std::sort(present.begin(), present.end());
    const int first = qMax(0, present.size() - dlgConnectParam::MaxHistory);
    for (int i = first; i < present.size(); ++i)
        h.addresses << ini.value(QString::number(present.at(i))).toString();
    h.last = ini.value(QStringLiteral("last")).toString();
    ini.endGroup();
    return h;
}

void writeHistory(const IpHistory& h)
{
    QSettings ini(historyFile(), QSettings::IniFormat);
    ini.beginGroup(QStringLiteral("ip"));
    // Entries beyond the new count (left by a longer, hand-edited list) go.
    for (const QString& key : ini.childKeys()) {
        bool isNumber = false;
        const qlonglong k = key.toLongLong(&isNumber);
        if (isNumber && (k < 1 || k > h.addresses.size()))
            ini.remove(key);
    }
    ini.setValue(QStringLiteral("num"), QString::number(h.addresses.size()));
    ini.setValue(QStringLiteral("last"), h.last);
    for (int k = 0; k < h.addresses.size(); ++k)
        ini.setValue(QString::number(k + 1), h.addresses.at(k));
    ini.endGroup();
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
    if (!history.contains(ip))
        history.append(ip);
    while (history.size() > MaxHistory)
        history.removeFirst(); // oldest first; the file may have held more

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
