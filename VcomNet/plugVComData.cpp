#include "plugVComData.h"
#include "vcomlog.h"

#include "AdminNotice.h"
#include "VSPConnectionMsg.h"
#include "VSPortFunction.h"
#include "plugVComManager.h"
#include "rights.h"
#include "ui_plugVComData.h"
#include "vcomlog.h"

#include "emptystate.h"
#include "statusmessages.h"
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QIntValidator>
#include <QLineEdit>
#include <QMessageBox>
#include <QRegularExpressionValidator>
#include <QTimer>

plugVComData::plugVComData(QWidget* parent)
    : QWidget(parent)
    , ui(new Ui_plugVComData)
{
    ui->setupUi(this);
    const bool mayCreateLinks = rights::canCreateLinksIn(VSPortFunction::devDir);
    if (!mayCreateLinks)
        ui->verticalLayout->insertWidget(0, new AdminNotice(this));
    manager = new plugVComManager;
    connect(manager, &plugVComManager::newConnection, this, &plugVComData::openForm);
    connect(manager, &plugVComManager::switchConnection, this, &plugVComData::switchTo);
    setupForms();
    // An open creation form is the tool's work even before the first connection exists.
    if (EmptyStateHint* hint = EmptyStateHint::of(manager)) {
        hint->setContentWidget(ui->stackedWidget);
        // The empty page tells an ordinary user at once, before any form is opened.
        if (!mayCreateLinks)
            hint->setNoteFactory([](QWidget* parent) { return new AdminNotice(parent); });
    }
    portFunction = new VSPortFunction;
    updateValidComNames();
    ui->stackedWidget->hide();
    QTimer::singleShot(loadDelayMs, this, &plugVComData::loadConfig);
}

plugVComData::~plugVComData()
{
    for (VSPConnectionMsg* p : qAsConst(panels)) {
        p->release();
        delete p;
    }
    panels.clear();
    delete manager;
    delete portFunction; // ends every socat
    delete ui;
}

QWidget* plugVComData::getManagerWidget()
{
    return manager;
}

QList<QAction*> plugVComData::toolBarActions() const
{
    return manager ? manager->toolBarActions() : QList<QAction*>();
}

void plugVComData::setupForms()
{
    connect(ui->com_com_new, &QPushButton::clicked, this, [this]() { newFromForm(CONNECTION_PAIR); });
    connect(ui->tcp_server_new, &QPushButton::clicked, this, [this]() { newFromForm(CONNECTION_SERVER); });
    connect(ui->tcp_client_new, &QPushButton::clicked, this, [this]() { newFromForm(CONNECTION_CLIENT); });
    connect(ui->udp_new, &QPushButton::clicked, this, [this]() { newFromForm(CONNECTION_UDP); });
    for (QPushButton* cancel : {ui->com_com_cancel, ui->tcp_server_cancel, ui->tcp_client_cancel, ui->udp_cancel})
        connect(cancel, &QPushButton::clicked, ui->stackedWidget, &QWidget::hide);
    // Only whole port numbers and host texts can be typed; what is still incomplete is
    // refused on "new" with the reason.
    for (QLineEdit* port : {ui->listen_port, ui->client_remote_port, ui->udp_listen_port, ui->udp_remote_port})
        port->setValidator(new QIntValidator(1, 65535, port));
    const QRegularExpression hostChars(QStringLiteral("[A-Za-z0-9.:-]{1,253}"));
    for (QLineEdit* host : {ui->client_remote_addr, ui->udp_remote_addr})
        host->setValidator(new QRegularExpressionValidator(hostChars, host));
    for (QLineEdit* pack : {ui->server_pack_ms, ui->client_pack_ms, ui->udp_pack_ms})
        pack->setValidator(new QIntValidator(0, ConnectionParams::maxPackMs, pack));
    connect(ui->server_com_list, &QComboBox::currentTextChanged, this, &plugVComData::refreshNames);
    connect(ui->client_com_list, &QComboBox::currentTextChanged, this, &plugVComData::refreshNames);
    connect(ui->udp_com_list, &QComboBox::currentTextChanged, this, &plugVComData::refreshNames);
}

void plugVComData::refreshNames()
{
    ui->server_name->setText(tr("Server %1").arg(ui->server_com_list->currentText()));
    ui->client_name->setText(tr("Client %1").arg(ui->client_com_list->currentText()));
    ui->udp_name->setText(tr("UDP %1").arg(ui->udp_com_list->currentText()));
}

void plugVComData::updateValidComNames()
{
    const QStringList names = offeredComNames(portFunction->LoadBusyNames());
    for (QComboBox* box : {ui->com_name_list1, ui->com_name_list2, ui->server_com_list, ui->client_com_list,
                           ui->udp_com_list}) {
        box->clear();
        box->addItems(names);
        box->setCurrentIndex(names.isEmpty() ? -1 : 0);
    }
    if (names.size() > 1)
        ui->com_name_list2->setCurrentIndex(1);
    refreshNames();
}

void plugVComData::openForm(int type)
{
    if (type < CONNECTION_PAIR || type > CONNECTION_UDP)
        return;
    updateValidComNames();
    ui->stackedWidget->show();
    ui->stackedWidget->setCurrentIndex(type);
}

void plugVComData::switchTo(int idx)
{
    if (VSPConnectionMsg* p = panels.value(idx)) {
        ui->stackedWidget->setCurrentWidget(p);
        ui->stackedWidget->show();
    }
}

void plugVComData::newFromForm(VSP_CONNECTION_TYPE type)
{
    VSP_CONNECTION_PARAMS params;
    switch (type) {
    case CONNECTION_PAIR:
        params.type = QStringLiteral("Pair");
        params.com_name1 = ui->com_name_list1->currentText();
        params.com_name2 = ui->com_name_list2->currentText();
        params.name = QStringLiteral("%1 - %2").arg(params.com_name1, params.com_name2);
        if (params.com_name1 == params.com_name2) {
            QMessageBox::critical(this, tr("tips"), tr("can't set serial com port with same name!"),
                                  QMessageBox::Ok);
            return;
        }
        break;
    case CONNECTION_SERVER:
        params.type = QStringLiteral("Server");
        params.name = ui->server_name->text();
        params.com_name1 = ui->server_com_list->currentText();
        params.com_name2 = PairedComName(params.com_name1);
        params.server_port = ui->listen_port->text();
        params.pack_ms = ui->server_pack_ms->text().trimmed(); // checked below
        break;
    case CONNECTION_CLIENT:
        params.type = QStringLiteral("Client");
        params.name = ui->client_name->text();
        params.com_name1 = ui->client_com_list->currentText();
        params.com_name2 = PairedComName(params.com_name1);
        params.client_ip_addr = ui->client_remote_addr->text();
        params.client_port = ui->client_remote_port->text();
        params.pack_ms = ui->client_pack_ms->text().trimmed(); // checked below
        params.client_rfc2217 = ui->client_rfc2217->isChecked() ? QStringLiteral("true") : QStringLiteral("false");
        // combo rows: "keep", then 5..8 data bits; "keep", then the parity codes 1..5
        params.client_rfc2217_data = ui->client_rfc2217_data->currentIndex() > 0
            ? QString::number(4 + ui->client_rfc2217_data->currentIndex())
            : QStringLiteral("keep");
        params.client_rfc2217_parity =
            ConnectionParams::parityWords().value(ui->client_rfc2217_parity->currentIndex(), QStringLiteral("keep"));
        break;
    case CONNECTION_UDP:
        params.type = QStringLiteral("Udp");
        params.name = ui->udp_name->text();
        params.com_name1 = ui->udp_com_list->currentText();
        params.com_name2 = PairedComName(params.com_name1);
        params.udp_local_port = ui->udp_listen_port->text();
        params.udp_remote_addr = ui->udp_remote_addr->text();
        params.udp_remote_port = ui->udp_remote_port->text();
        params.pack_ms = ui->udp_pack_ms->text().trimmed(); // checked below
        break;
    }
    const QString problem = ConnectionFile::valuesProblem(type, params);
    if (!problem.isEmpty()) {
        QMessageBox::critical(this, tr("tips"), problem, QMessageBox::Ok);
        return;
    }
    // Only a connection that exists and works is saved; a failed one would be retried at
    // every start. A bridge that could not start stays on view with its reason.
    if (!createConnection(type, params))
        return;
    VSPConnectionMsg* p = panels.value(params.id.toInt());
    if (p && !p->failureText().isEmpty()) {
        p->addStatusNote(tr("The connection was not saved."));
        ui->stackedWidget->show();
        return;
    }
    addIniFile(params);
}

bool plugVComData::createConnection(const VSP_CONNECTION_TYPE& type, VSP_CONNECTION_PARAMS& params)
{
    if (!portFunction->CreatePair(params.com_name1, params.com_name2)) {
        // The fixed first line is what users know; the cause (socat's own words) follows it.
        QString text = tr("create com pair failed, please try other com name");
        if (!rights::canCreateLinksIn(VSPortFunction::devDir))
            text += QLatin1Char('\n') + AdminNotice::rightsText();
        if (!portFunction->lastError().isEmpty())
            text += QLatin1Char('\n') + portFunction->lastError();
        QMessageBox::information(this, tr("tips"), text, QMessageBox::Ok);
        return false;
    }
    const int idx = static_cast<int>(params.com_name1.mid(4).toUInt());
    if (manager)
        manager->newNode(type, params, idx);
    params.id = QString::number(idx);
    auto* p = new VSPConnectionMsg(type, params, idx, this);
    p->setPairProcessId(portFunction->pairPid(params.com_name1));
    connect(p, &VSPConnectionMsg::deleteConnection_signal, this, &plugVComData::deleteConnection_slot);
    ui->stackedWidget->addWidget(p);
    ui->stackedWidget->setCurrentWidget(p);
    panels.insert(idx, p);
    return true;
}

void plugVComData::addIniFile(const VSP_CONNECTION_PARAMS& params)
{
    const QString dir = ConnectionFile::directory();
    QDir().mkpath(dir);
    const QString path = QDir(dir).absoluteFilePath(ConnectionFile::fileName(params));
    if (!ConnectionFile::write(path, params)) {
        const QString text = tr("Cannot save the connection in %1; it will not be recreated at the next start.").arg(path);
        qCWarning(lcVcom).noquote() << text;
        QMessageBox::warning(this, tr("tips"), text);
    }
    iniPaths.insert(params.id.toInt(), path);
}

void plugVComData::loadConfig()
{
    loadSaved();
    emit configLoaded();
}

void plugVComData::loadSaved()
{
    const QDir dir(ConnectionFile::directory());
    if (!dir.exists())
        return;
    const QFileInfoList files = dir.entryInfoList({QStringLiteral("*.ini")}, QDir::Files | QDir::NoSymLinks,
                                                  QDir::Name | QDir::IgnoreCase);
    int recreated = 0;
    for (const QFileInfo& file : files) {
        VSP_CONNECTION_PARAMS params = ConnectionFile::read(file.absoluteFilePath());
        const int type = connectionTypeFromWord(params.type);
        if (type < 0) {
            qCWarning(lcVcom) << "skipping" << file.fileName() << "with unknown connection type" << params.type;
            continue;
        }
        if (!ConnectionFile::namesValid(type, params)) {
            qCWarning(lcVcom) << "skipping" << file.fileName() << "with invalid port names" << params.com_name1
                              << params.com_name2;
            continue;
        }
        const QString problem = ConnectionFile::valuesProblem(type, params);
        if (!problem.isEmpty()) {
            qCWarning(lcVcom) << "skipping" << file.fileName() << "because its" << problem;
            continue;
        }
        if (!createConnection(static_cast<VSP_CONNECTION_TYPE>(type), params))
            continue;
        // Keyed like the panel, so that every loaded connection can be deleted.
        iniPaths.insert(params.id.toInt(), file.absoluteFilePath());
        ++recreated;
    }
    if (recreated > 0)
        StatusMessages::post(tr("%n saved connection(s) recreated", nullptr, recreated));
}

void plugVComData::deleteConnection_slot(int idx)
{
    // A connection that failed at creation has no file; it is deleted all the same.
    VSPConnectionMsg* p = panels.value(idx);
    if (!p)
        return;
    if (!portFunction->DeletePair(QStringLiteral("ttyS%1").arg(idx)))
        return;
    updateValidComNames();
    const QTreeWidgetItem* node = manager ? manager->node(idx) : nullptr;
    const QString name = node ? node->text(0) : QStringLiteral("ttyS%1").arg(idx);
    panels.remove(idx);
    ui->stackedWidget->removeWidget(p);
    ui->stackedWidget->hide();
    if (manager)
        manager->removeNode(idx);
    p->deleteLater(); // we are inside its own button's signal
    const QString path = iniPaths.take(idx);
    if (!path.isEmpty() && QFile::exists(path) && !QFile::remove(path))
        qCWarning(lcVcom) << "could not remove" << path;
    StatusMessages::post(tr("Connection %1 deleted").arg(name));
}

void plugVComData::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange) {
        ui->retranslateUi(this);
        // the forms start over with their initial values
        ui->listen_port->setText(QStringLiteral("5000"));
        ui->client_remote_addr->setText(QStringLiteral("127.0.0.1"));
        ui->client_remote_port->setText(QStringLiteral("5000"));
        ui->udp_listen_port->setText(QStringLiteral("5000"));
        ui->udp_remote_addr->setText(QStringLiteral("127.0.0.1"));
        ui->udp_remote_port->setText(QStringLiteral("5001"));
        refreshNames();
    }
    QWidget::changeEvent(event);
}
