#include "VSPConnectionMsg.h"
#include "vcomlog.h"

#include "ConnectionUnit.h"
#include "DataMonitor.h"
#include "Rfc2217Session.h"
#include "VSPortFunction.h"
#include "desktopfit.h"
#include "serialPortDevice_.h"
#include "vcomlog.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

VSPConnectionMsg::VSPConnectionMsg(VSP_CONNECTION_TYPE type, const VSP_CONNECTION_PARAMS& params, int idx,
                                   QWidget* parent)
    : QWidget(parent)
    , connectionId(idx)
    , connectionType(type)
    , comName1(params.com_name1)
    , comName2(params.com_name2)
{
    setObjectName(QStringLiteral("VSPConnectionMsg"));
    auto* vbox = new QVBoxLayout(this);

    title = new QLabel(this);
    title->setObjectName(QStringLiteral("title"));
    title->setAlignment(Qt::AlignCenter);
    title->setMinimumHeight(45);
    // weight 75 is bold; a bare 75 in a style sheet would read as a CSS weight (thin)
    title->setStyleSheet(QStringLiteral("font: bold 18px \"微软雅黑\";")); // the palette's text colour
    vbox->addWidget(title);

    status = new QLabel(this);
    status->setObjectName(QStringLiteral("status"));
    status->setAlignment(Qt::AlignCenter);
    status->setWordWrap(true);
    status->setStyleSheet(desktopfit::colourRule("color", desktopfit::statusColour(QColor(200, 0, 0), palette())));
    status->hide();
    vbox->addWidget(status);

    horizontalLayout_2 = new QHBoxLayout;
    horizontalLayout_2->setObjectName(QStringLiteral("horizontalLayout_2"));
    horizontalLayout_2->setSpacing(30);
    vbox->addLayout(horizontalLayout_2, 1);

    horizontalLayout = new QHBoxLayout;
    horizontalLayout->setObjectName(QStringLiteral("horizontalLayout"));
    horizontalLayout->addStretch();
    auto makeButton = [this](const char* name) {
        auto* b = new QPushButton(this);
        b->setObjectName(QLatin1String(name));
        b->setMinimumSize(120, 40);
        horizontalLayout->addWidget(b);
        return b;
    };
    data_monitor = makeButton("data_monitor");
    delete_connection = makeButton("delete_connection");
    reset_count = makeButton("reset_count");
    vbox->addLayout(horizontalLayout);
    retranslate();

    setupMsgByType(type, params);
    setupSignals();
}

VSPConnectionMsg::~VSPConnectionMsg()
{
    delete monitor;
    monitor = nullptr; // the units' last words must not reach it
    delete unitA;
    delete unitB;
}

void VSPConnectionMsg::setupMsgByType(VSP_CONNECTION_TYPE type, const VSP_CONNECTION_PARAMS& params)
{
    title->setText(params.name);
    switch (type) {
    case CONNECTION_PAIR: {
        auto* a = new SerialPortUnit(params);
        a->setTitle(params.com_name1, true);
        auto* b = new SerialPortUnit(params);
        b->setTitle(params.com_name2, true);
        unitA = a;
        unitB = b;
        data_monitor->hide();
        reset_count->hide();
        break;
    }
    case CONNECTION_SERVER:
        unitA = new SerialPortUnit(params);
        unitB = new TcpServerUnit(params);
        break;
    case CONNECTION_CLIENT: {
        auto* serial = new SerialPortUnit(params);
        auto* client = new TcpClientUnit(params);
        if (Rfc2217Session* session = client->lineSession()) {
            serial->showLineSettings(client->lineStatus());
            connect(client, &TcpClientUnit::lineStatusChanged, serial, &SerialPortUnit::showLineSettings);
            // Data and line commands leave in the order the program issued them: the line
            // is looked at before each read, and a change first sends what was read before.
            connect(serial->device(), &serialPortDevice_::aboutToRead, session, &Rfc2217Session::checkLine);
            connect(session, &Rfc2217Session::lineChanging, serial->device(), &serialPortDevice_::deliverPending);
        }
        unitA = serial;
        unitB = client;
        break;
    }
    case CONNECTION_UDP:
        unitA = new SerialPortUnit(params);
        unitB = new UdpUnit(params);
        break;
    default:
        // An unknown kind gets no units: nothing to wire or start.
        qCDebug(lcVcom) << "no bridge for connection type" << type;
        data_monitor->hide();
        reset_count->hide();
        return;
    }

    if (type != CONNECTION_PAIR) {
        for (ConnectionUnit* unit : {unitA, unitB}) {
            connect(unit, &ConnectionUnit::failed, this, &VSPConnectionMsg::showStatus);
            connect(unit, &ConnectionUnit::noticeChanged, this, &VSPConnectionMsg::showStatus);
        }
        ConnectionUnit::relay(unitA, unitB);
        unitA->start();
        unitB->start();
        for (ConnectionUnit* unit : {unitA, unitB}) {
            connect(unit, &ConnectionUnit::transmit, this, [this, unit](const QByteArray& data) {
                if (monitor)
                    monitor->addMsg(unit->name(), data);
            });
        }
    }

    horizontalLayout_2->addStretch();
    horizontalLayout_2->addWidget(unitA);
    horizontalLayout_2->addSpacing(20);
    horizontalLayout_2->addWidget(unitB);
    horizontalLayout_2->addStretch();
}

QString VSPConnectionMsg::failureText() const
{
    QStringList lines;
    for (const ConnectionUnit* unit : {unitA, unitB}) {
        if (unit && !unit->failureText().isEmpty())
            lines << unit->failureText();
    }
    return lines.join(QLatin1Char('\n'));
}

void VSPConnectionMsg::addStatusNote(const QString& note)
{
    statusNotes << note;
    showStatus();
}

void VSPConnectionMsg::showStatus()
{
    QStringList lines;
    const QString failures = failureText();
    if (!failures.isEmpty())
        lines << failures;
    for (const ConnectionUnit* unit : {unitA, unitB}) {
        if (unit && !unit->noticeText().isEmpty())
            lines << unit->noticeText();
    }
    lines << statusNotes;
    status->setText(lines.join(QLatin1Char('\n')));
    status->setVisible(!lines.isEmpty());
}

void VSPConnectionMsg::setupSignals()
{
    connect(data_monitor, &QPushButton::clicked, this, &VSPConnectionMsg::openMonitor);
    connect(reset_count, &QPushButton::clicked, this, [this]() {
        if (unitA)
            unitA->resetCount();
        if (unitB)
            unitB->resetCount();
    });
    connect(delete_connection, &QPushButton::clicked, this, &VSPConnectionMsg::askDelete);
}

void VSPConnectionMsg::openMonitor()
{
    if (!monitor) {
        monitor = new DataMonitor(nullptr);
        monitor->setWindowTitle(title->text());
    }
    monitor->show();
}

void VSPConnectionMsg::askDelete()
{
    QMessageBox question(QMessageBox::Question, tr("tips"), tr("Are you sure to delete the connection?"),
                         QMessageBox::NoButton, this);
    QPushButton* yes = question.addButton(tr("Yes"), QMessageBox::YesRole);
    QPushButton* no = question.addButton(tr("No"), QMessageBox::NoRole);
    question.setDefaultButton(yes);
    question.setEscapeButton(no);
    question.exec();
    if (question.clickedButton() != yes)
        return;
    if (isComBusy()) {
        QMessageBox::critical(this, tr("tips"),
                              tr("serial port %1 is busy, please close it then try again!").arg(comName1),
                              QMessageBox::Ok);
        return;
    }
    release();
    emit deleteConnection_signal(connectionId);
}

void VSPConnectionMsg::release()
{
    if (unitA)
        unitA->stop();
    if (unitB)
        unitB->stop();
}

bool VSPConnectionMsg::isComBusy()
{
    // The pseudo-terminal is held by socat itself; any other holder is a user program.
    return isPortOpenByOthers(comName1, pairProcessId);
}

void VSPConnectionMsg::retranslate()
{
    setWindowTitle(tr("Form"));
    data_monitor->setText(tr("data monitor"));
    delete_connection->setText(tr("delete"));
    reset_count->setText(tr("reset count"));
}

void VSPConnectionMsg::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    QWidget::changeEvent(event);
}
