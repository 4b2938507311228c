#include "IPManager.h"
#include "ipmanagerlog.h"

#include "CDeviceListManager.h"
#include "CIceDevConsolo.h"
#include "MyQHeaderView.h"
#include "desktopfit.h"
#include "ipcapture.h"
#include "rights.h"
#include "tablelayout.h"
#include "ui_IPManager.h"

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QEvent>
#include <QHBoxLayout>
#include <QMenu>
#include <QMessageBox>
#include <QMutexLocker>
#include <QNetworkInterface>
#include <QRegularExpressionValidator>
#include <QScrollBar>
#include <QTimer>
#include <QTreeWidgetItem>
#include <QUrl>

#include <map>

namespace {

constexpr qint64 kAnswerWindowNs = 3000000000LL; // 3 s after the request or the last answer
// A plant answers one search with thousands of frames within milliseconds; the kernel keeps
// them until the search thread gets to them (5000 answers take well under 4 MiB).
constexpr int kSearchBufferBytes = 32 * 1024 * 1024;
// Rows are added in slices of at most this long, so the window keeps answering during a burst.
constexpr qint64 kRowSliceNs = 20000000LL;
// Columns are fitted once the answers pause this long, not after every slice.
constexpr int kResizeDelayMs = 150;

const char* const kIpPattern =
    "^((2(5[0-5]|[0-4]\\d))|[0-1]?\\d{1,2})(\\.((2(5[0-5]|[0-4]\\d))|[0-1]?\\d{1,2})){3}$";

enum Column { ColCheck = 0, ColId, ColVersion, ColMac, ColName, ColIp, ColMask, ColGateway, ColSerial, ColUart, ColStatus, ColumnCount };

// Whatever widths were remembered or fitted to the rows: a whole dotted address in each
// address column and every title in full (a larger font than last time, say).
void keepColumnsReadable(QTableWidget* t)
{
    for (int c : {int(ColIp), int(ColMask), int(ColGateway)})
        widenColumnToText(t, c, QStringLiteral("255.255.255.255"));
    auto* header = t->horizontalHeader();
    header->resizeSection(ColCheck, qMax(header->sectionSize(ColCheck), header->sectionSizeHint(ColCheck)));
    desktopfit::fitHeaderToText(header);
}

// Before the first search the columns fit their longest values, not 100 pixels each,
// so that most of them are in sight at the window's first size; then the user's
// widths from the last run, if any.
void fitDeviceColumns(QTableWidget* t)
{
    const QString ip = QStringLiteral("255.255.255.255");
    fitColumnsToSamples(t, {{ColId, {QStringLiteral("999")}},
                            {ColVersion, {QStringLiteral("1.1")}},
                            {ColMac, {QStringLiteral("FF:FF:FF:FF:FF:FF"), QStringLiteral("ff:ff:ff:ff:ff:ff")}},
                            {ColIp, {ip}},
                            {ColMask, {ip}},
                            {ColGateway, {ip}},
                            {ColUart, {QStringLiteral("9")}}});
    rememberHeaderState(t->horizontalHeader(), QStringLiteral("ipDevices"));
    keepColumnsReadable(t);
}

} // namespace

IPManager::IPManager(QWidget* parent)
    : QWidget(parent)
    , ui(new Ui_IPManager)
{
    ui->setupUi(this);
    const QRegularExpression ipRe(QString::fromLatin1(kIpPattern));
    ui->ip_edit->setValidator(new QRegularExpressionValidator(ipRe, ui->ip_edit));
    ui->mask_edit->setValidator(new QRegularExpressionValidator(ipRe, ui->mask_edit));
    ui->gateway_edit->setValidator(new QRegularExpressionValidator(ipRe, ui->gateway_edit));

    header = new MyQHeaderView(ui->tableWidget);
    ui->tableWidget->setHorizontalHeader(header);

    resizeTimer = new QTimer(this);
    resizeTimer->setObjectName(QStringLiteral("columnFitTimer"));
    resizeTimer->setSingleShot(true);
    resizeTimer->setInterval(kResizeDelayMs);
    connect(resizeTimer, &QTimer::timeout, this, &IPManager::resizeColumnsNow);

    createActions();
    initialize();
    ui->card_list->setCurrentIndex(-1);
    setupSignals();
    if (ui->card_list->count() > 0)
        ui->card_list->setCurrentIndex(0); // runs the adapter-selected handler once
    setupDevieListTable();
    fitDeviceColumns(ui->tableWidget);

    ui->label_8->hide();
    ui->label_5->hide();
    ui->label_7->hide();
    ui->dev_name_edit->hide();
    ui->user_edit->hide();
    ui->password_edit->hide();
    ui->btn_refresh_card->hide();
    ui->labelDeviceInfo->hide();
    ui->labelDeviceInfo->setStyleSheet(ui->labelDeviceInfo->styleSheet()
                                       + desktopfit::colourRule("color", desktopfit::textColourOn(QColor(221, 217, 207))));
    ui->tabWidget->removeTab(1);
}

IPManager::~IPManager()
{
    joinThreads();
    qDeleteAll(devices);
    devices.clear();
    qDeleteAll(consoles);
    consoles.clear();
    delete deviceTree.data();
    ui->tableWidget->viewport()->removeEventFilter(this);
    delete ui;
}

void IPManager::joinThreads()
{
    stopping = true;
    if (searchThread.joinable())
        searchThread.join();
    if (configThread.joinable())
        configThread.join();
}

QWidget* IPManager::GetManagerWidget()
{
    return deviceTree.data();
}

void IPManager::createActions()
{
    actLogonWeb = new QAction(tr("Logon Web"), ui->tableWidget);
    actOpenConsolo = new QAction(tr("Open Consolo"), ui->tableWidget);
    actIndicatorOn = new QAction(tr("Indicator On"), ui->tableWidget);
    actIndicatorOff = new QAction(tr("Indicator Off"), ui->tableWidget);
    menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("deviceMenu"));
    menu->addActions({actLogonWeb, actOpenConsolo, actIndicatorOn, actIndicatorOff});
    ui->tableWidget->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(ui->tableWidget, &QWidget::customContextMenuRequested, this, &IPManager::onTableContextMenu);
}

void IPManager::onTableContextMenu(const QPoint& pos)
{
    const QModelIndex index = ui->tableWidget->indexAt(pos);
    if (!index.isValid())
        return; // empty space: no device to act on
    curRow = index.row();
    ui->tableWidget->setCurrentCell(index.row(), index.column() == ColCheck ? ColId : index.column());
    // The row may belong to a table that a running search or configuration is changing.
    const bool idle = !searching && !configRunning;
    for (QAction* a : menu->actions())
        a->setEnabled(idle);
    menu->popup(ui->tableWidget->viewport()->mapToGlobal(pos));
}

void IPManager::setHeaderLabels(bool blankFirst)
{
    ui->tableWidget->setHorizontalHeaderLabels({blankFirst ? tr("       ") : QString(), tr("ID"), tr("Version"), tr("MAC"), tr("Dev Name"), tr("IP"),
                                                tr("NetMask"), tr("Gateway"), tr("SerialNum"), tr("UartNum"), tr("Status")});
}

void IPManager::setupDevieListTable()
{
    QTableWidget* t = ui->tableWidget;
    t->setColumnCount(ColumnCount);
    setHeaderLabels();
    t->verticalHeader()->setVisible(false);
    t->setSelectionMode(QAbstractItemView::SingleSelection);
    t->horizontalHeader()->setStretchLastSection(true);
    t->horizontalHeader()->setStyleSheet(QStringLiteral("alignment: left;"));
    t->setColumnWidth(ColCheck, 80);
    keepColumnsReadable(t);
}

void IPManager::initialize()
{
    if (initializing)
        return;
    initializing = true;
    // A refresh starts from nothing, so adapters are never listed twice.
    cards.clear();
    {
        const QSignalBlocker block(ui->card_list);
        ui->card_list->clear();
    }

    int index = 0;
    const QList<QNetworkInterface> ifaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface& iface : ifaces) {
        const QString name = iface.humanReadableName();
        if (name.startsWith(QLatin1String("Loopback")) || name.startsWith(QLatin1String("lo")))
            continue;
        NetCardInfo card;
        card.name = name;
        card.macText = iface.hardwareAddress();
        for (const QNetworkAddressEntry& e : iface.addressEntries())
            if (e.ip().protocol() == QAbstractSocket::IPv4Protocol)
                card.addresses << e.ip().toString();
        if (card.addresses.isEmpty())
            continue;
        card.macValid = ipframes::parseMac(card.macText, &card.mac);
        cards.insert(index++, card);
    }

    QString err;
    const QVector<PcapDeviceInfo> pdevs = listPcapDevices(&err);
    if (!err.isEmpty())
        qCDebug(lcIpManager) << QStringLiteral("Error in pcap_findalldevs: %1").arg(err);
    for (const PcapDeviceInfo& d : pdevs) {
        for (const QString& ip : d.ipv4) {
            auto it = std::find_if(cards.begin(), cards.end(), [&ip](const NetCardInfo& c) { return c.addresses.contains(ip); });
            if (it != cards.end()) {
                it->hasCaptureDevice = true;
                it->captureName = d.name;
                it->captureNetmaskRaw = d.netmaskRaw;
                break;
            }
        }
        qCDebug(lcIpManager) << (d.description.isEmpty() ? QStringLiteral("No description available") : d.description);
    }

    {
        const QSignalBlocker block(ui->card_list);
        for (auto it = cards.cbegin(); it != cards.cend(); ++it)
            ui->card_list->addItem(QStringLiteral("%1(%2)").arg(it->name, it->macText), it.key());
        ui->card_list->setCurrentIndex(-1);
    }

    if (!deviceTree) {
        deviceTree = new CDeviceListManager;
        // Tree items are numbered on their own; each one remembers the console it stands for.
        connect(deviceTree.data(), &CDeviceListManager::SwitchDevice, this, [this](int number) {
            const int idx = treeItemConsole.value(number, -1);
            if (consoles.contains(idx))
                doSwitchDevice(idx);
        });
    }
    setupDevieListTable();
    initializing = false;
}

const NetCardInfo* IPManager::findCardInfoFromIp(QString ip) const
{
    for (const NetCardInfo& c : cards)
        if (c.addresses.contains(ip))
            return &c;
    return nullptr;
}

const NetCardInfo* IPManager::findCardInfoFromName(QString name) const
{
    for (const NetCardInfo& c : cards)
        if (c.name == name)
            return &c;
    return nullptr;
}

std::optional<NetCardInfo> IPManager::currentCard() const
{
    const QVariant data = ui->card_list->currentData();
    if (!data.isValid())
        return std::nullopt;
    auto it = cards.constFind(data.toInt());
    if (it == cards.cend())
        return std::nullopt;
    return *it;
}

void IPManager::setupSignals()
{
    connect(ui->card_list, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &IPManager::onAdapterSelected);
    connect(ui->btn_serach, &QPushButton::clicked, this, &IPManager::startSearchThread);
    connect(ui->btn_refresh_card, &QPushButton::clicked, this, [this] {
        autoRefreshed = false;
        initialize();
        if (ui->card_list->count() > 0)
            ui->card_list->setCurrentIndex(0);
    });
    connect(this, &IPManager::searchDone_signal, this, [this] {
        flushPendingRows(); // the table is complete when the button comes back
        // The thread's last act was this signal, so the join cannot wait.
        if (searchThread.joinable())
            searchThread.join();
        searching = false;
        updateButtons();
    });
    connect(this, &IPManager::configEnded_signal, this, [this] {
        if (configThread.joinable())
            configThread.join(); // likewise ended: configEnded_signal is its last act
        configRunning = false;
        updateButtons();
    });
    connect(ui->btn_config, &QPushButton::clicked, this, &IPManager::onDoConfig);
    connect(this, &IPManager::configDone_signal, this, &IPManager::onConfigDone);
    connect(this, &IPManager::addDevMsg_signal, this, &IPManager::addDeviceMsgIntoTable);
    connect(actLogonWeb, &QAction::triggered, this, [this] {
        QTableWidgetItem* ip = ui->tableWidget->item(curRow, ColIp);
        if (ip)
            QDesktopServices::openUrl(QUrl(QStringLiteral("http://%1/us/login.html").arg(ip->text())));
    });
    connect(actOpenConsolo, &QAction::triggered, this, [this] {
        QTableWidgetItem* ip = ui->tableWidget->item(curRow, ColIp);
        QTableWidgetItem* name = ui->tableWidget->item(curRow, ColName);
        emit OpenConsolo(curRow, ip ? ip->text() : QString(), name ? name->text() : QString());
    });
    connect(actIndicatorOn, &QAction::triggered, this, [this] { lightControl(true); });
    connect(actIndicatorOff, &QAction::triggered, this, [this] { lightControl(false); });
    connect(this, &IPManager::OpenConsolo, this, &IPManager::doOpenConsolo);
    connect(this, &IPManager::AddLog_signal, this, &IPManager::addLog);
    connect(this, &IPManager::captureRefused_signal, this, &IPManager::showRightsMessage);
    connect(header, &MyQHeaderView::headCheckBoxToggled, this, &IPManager::onHeadCheckBoxToggled);
    connect(ui->tableWidget->verticalScrollBar(), &QScrollBar::valueChanged, this, &IPManager::scheduleCheckBoxes);
    ui->tableWidget->viewport()->installEventFilter(this);
}

void IPManager::onAdapterSelected(int index)
{
    ui->card_address->clear();
    if (index < 0)
        return;
    auto it = cards.constFind(ui->card_list->itemData(index).toInt());
    if (it == cards.cend())
        return;
    for (const QString& a : it->addresses)
        ui->card_address->appendPlainText(a);
    const QString first = it->addresses.value(0);
    const QStringList parts = first.split(QLatin1Char('.'));
    if (parts.size() != 4)
        return;
    const QString prefix = QStringList(parts.mid(0, 3)).join(QLatin1Char('.'));
    ui->ip_edit->setText(prefix + QStringLiteral(".2"));
    ui->gateway_edit->setText(prefix + QStringLiteral(".1"));
    if (first.contains(QLatin1String("0.0.0.0"))) {
        // An adapter still waiting for its address: look again once, but never loop.
        if (!initializing && !autoRefreshed) {
            autoRefreshed = true;
            initialize();
            if (ui->card_list->count() > 0)
                ui->card_list->setCurrentIndex(0);
        }
    } else {
        autoRefreshed = false;
    }
}

void IPManager::ClearSearchResult()
{
    ++tableGeneration;
    pendingRows.clear();
    resizeTimer->stop();
    ui->tableWidget->clearContents();
    ui->tableWidget->setRowCount(0);
    qDeleteAll(devices);
    devices.clear();
    qDeleteAll(consoles);
    consoles.clear();
    treeItemConsole.clear();
    if (deviceTree)
        deviceTree->ReleaseItems();
    showConsolesTab(false);
    ui->labelDeviceInfo->clear();
    ui->labelDeviceInfo->hide();
    header->setChecked(false); // "Sel All" goes with the rows it ticked
    searching = true;
    updateButtons();
}

void IPManager::updateButtons()
{
    ui->btn_serach->setText(searching ? tr("Searching") : tr("Search Device"));
    ui->btn_serach->setEnabled(!searching);
    ui->btn_config->setEnabled(!searching && !configRunning);
}

void IPManager::startSearchThread()
{
    if (searching)
        return; // one search at a time; its button is disabled meanwhile
    ClearSearchResult();
    if (searchThread.joinable())
        searchThread.join(); // ended with its searchDone_signal
    {
        QMutexLocker lock(&rawMutex);
        rawAnswers.clear();
    }
    searchThread = std::thread(&IPManager::thrSearchDevices, this, currentCard());
}

bool IPManager::openNetDeviceSetFilter(const std::optional<NetCardInfo>& card, CaptureHandle* handle, int bufferBytes)
{
    if (!card || !card->hasCaptureDevice)
        return false;
    QString err;
    if (!handle->open(card->captureName, card->captureNetmaskRaw, &err, bufferBytes)) {
        qCDebug(lcIpManager) << err;
        emit AddLog_signal(err);
        if (!rights::hasRawNetworkRights()) {
            emit AddLog_signal(tr("No rights to send and capture raw Ethernet frames; the message explains how "
                                  "to get them."));
            emit captureRefused_signal(err);
        }
        return false;
    }
    return true;
}

void IPManager::thrSearchDevices(std::optional<NetCardInfo> card)
{
    if (!card) {
        emit AddLog_signal(tr("No network adapter information"));
        emit searchDone_signal();
        return;
    }
    CaptureHandle handle;
    if (!openNetDeviceSetFilter(card, &handle, kSearchBufferBytes)) {
        emit AddLog_signal(tr("The search did not start: the adapter %1 could not be opened.").arg(card->name));
        emit searchDone_signal();
        return;
    }
    if (!handle.send(ipframes::buildSearchRequest(card->mac))) {
        qCDebug(lcIpManager) << "search request:" << handle.errorString();
        emit AddLog_signal(QStringLiteral("设备搜索数据包发送失败"));
        handle.close();
        emit searchDone_signal();
        return;
    }
    int n = 0;
    QElapsedTimer since;
    since.start();
    QByteArray frame;
    while (!stopping && since.nsecsElapsed() <= kAnswerWindowNs) {
        const int rc = handle.next(&frame);
        if (rc < 0) {
            // The adapter went away (or the capture broke): nothing more can come, so say
            // so and end now rather than report an empty segment three seconds later.
            emit AddLog_signal(tr("Capture on %1 stopped: %2").arg(card->name, handle.errorString()));
            break;
        }
        if (rc == 0 || !ipframes::isSearchAnswer(frame))
            continue;
        {
            QMutexLocker lock(&rawMutex);
            rawAnswers.insert(n, frame);
        }
        emit addDevMsg_signal(n);
        ++n;
        since.restart();
    }
    handle.close();
    emit searchDone_signal();
}

void IPManager::addDeviceMsgIntoTable(int idx)
{
    // Only noted here and decoded with its row in the next slice: a burst of thousands of
    // answers must cost the event loop next to nothing per answer, and rows go into the
    // table in slices, never one by one.
    pendingRows.append(idx);
    if (!flushPending) {
        flushPending = true;
        QTimer::singleShot(0, this, [this] { insertPendingRows(kRowSliceNs); });
    }
}

void IPManager::flushPendingRows()
{
    insertPendingRows(0);
    resizeColumnsNow();
}

void IPManager::insertPendingRows(qint64 budgetNs)
{
    flushPending = false;
    if (pendingRows.isEmpty())
        return;
    QElapsedTimer clock;
    clock.start();
    QTableWidget* t = ui->tableWidget;
    // The view repaints and lays out once after the slice anyway. No setUpdatesEnabled():
    // switching updates back on dirties every cell widget of the table, thousands of them.
    int done = 0;
    const int step = 16;
    QVector<ipframes::SearchAnswer> batch;
    while (done < pendingRows.size() && (budgetNs <= 0 || clock.nsecsElapsed() < budgetNs)) {
        const int n = std::min<int>(step, pendingRows.size() - done);
        batch.clear();
        {
            QMutexLocker lock(&rawMutex);
            for (int i = done; i < done + n; ++i) {
                auto raw = rawAnswers.find(pendingRows.at(i));
                if (raw == rawAnswers.end())
                    continue;
                batch.append(ipframes::decodeSearchAnswer(*raw));
                rawAnswers.erase(raw);
            }
        }
        const int first = t->rowCount();
        t->setRowCount(first + batch.size());
        for (int i = 0; i < batch.size(); ++i)
            addRow(first + i, batch.at(i));
        done += n;
    }
    pendingRows.remove(0, done);
    if (!pendingRows.isEmpty()) {
        flushPending = true;
        QTimer::singleShot(0, this, [this] { insertPendingRows(kRowSliceNs); });
    }
    resizeTimer->start(); // restarted by every slice: fitted once the burst is over
    scheduleCheckBoxes();
    qCDebug(lcIpManager) << "rows:" << done << "in" << clock.nsecsElapsed() / 1000 << "us," << pendingRows.size() << "waiting";
}

void IPManager::addRow(int row, const ipframes::SearchAnswer& a)
{
    QTableWidget* t = ui->tableWidget;
    const int id = row + 1; // the row count once this row is in
    const QString texts[] = {QString::number(id), a.version, a.macText, a.name, a.ipText,
                             a.maskText, a.gatewayText, a.serial, a.uartText};
    for (int c = ColId; c <= ColUart; ++c) {
        auto* item = new QTableWidgetItem(texts[c - ColId]);
        // Earlier rows already carry this formatting, so only the new rows need it.
        item->setTextAlignment(Qt::AlignCenter);
        item->setFlags(item->flags() & ~Qt::ItemIsEditable);
        t->setItem(row, c, item);
    }

    auto* dev = new DeviceMsg;
    dev->id = id;
    dev->name = a.name;
    dev->serial = a.serial;
    dev->uartNumber = a.uartNumber;
    dev->mac = a.mac;
    dev->ip = a.ip;
    dev->mask = a.mask;
    dev->gateway = a.gateway;
    delete devices.value(id);
    devices.insert(id, dev);
}

QCheckBox* IPManager::rowCheckBox(int row)
{
    QTableWidget* t = ui->tableWidget;
    if (QWidget* cell = t->cellWidget(row, ColCheck))
        return cell->findChild<QCheckBox*>();
    QTableWidgetItem* idItem = t->item(row, ColId);
    DeviceMsg* dev = idItem ? devices.value(idItem->text().toInt()) : nullptr;
    if (!dev)
        return nullptr;
    const int id = dev->id;
    auto* cell = new QWidget;
    auto* box = new QCheckBox(cell);
    box->setChecked(dev->checked);
    auto* lay = new QHBoxLayout(cell);
    lay->setContentsMargins(0, 0, 0, 0);
    lay->addStretch();
    lay->addWidget(box);
    lay->addStretch();
    connect(box, &QCheckBox::toggled, this, [this, id](bool checked) {
        if (DeviceMsg* d = devices.value(id))
            d->checked = checked;
    });
    connect(box, &QCheckBox::clicked, this, [this, id](bool checked) {
        if (checked)
            emit alarmTableRowSelected(id);
        else
            emit alarmTableRowCanceled(id);
    });
    dev->checkBox = box;
    // Born outside the viewport: the view moves it straight to its row, and no repaint
    // bookkeeping among the sibling cells is spent on a row out of sight.
    cell->move(-10000, -10000);
    t->setCellWidget(row, ColCheck, cell);
    return box;
}

void IPManager::addVisibleCheckBoxes()
{
    checkBoxesPending = false;
    QTableWidget* t = ui->tableWidget;
    if (t->rowCount() == 0)
        return;
    // A little beyond the visible rows, so that scrolling by a few rows shows boxes at once.
    const int margin = 20;
    int top = t->rowAt(0);
    int bottom = t->rowAt(t->viewport()->height() - 1);
    if (top < 0)
        top = 0;
    if (bottom < 0)
        bottom = t->rowCount() - 1;
    for (int r = std::max(0, top - margin); r <= std::min(t->rowCount() - 1, bottom + margin); ++r)
        rowCheckBox(r);
}

void IPManager::scheduleCheckBoxes()
{
    if (!checkBoxesPending) {
        checkBoxesPending = true;
        QTimer::singleShot(0, this, &IPManager::addVisibleCheckBoxes);
    }
}

bool IPManager::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ui->tableWidget->viewport() && event->type() == QEvent::Resize)
        scheduleCheckBoxes();
    return QWidget::eventFilter(watched, event);
}

void IPManager::resizeColumnsNow()
{
    resizeTimer->stop();
    QTableWidget* t = ui->tableWidget;
    if (t->rowCount() == 0)
        return;
    QElapsedTimer clock;
    clock.start();
    // The rows in view and a few hundred more decide the widths, not all of thousands.
    t->horizontalHeader()->setResizeContentsPrecision(300);
    t->resizeColumnsToContents();
    t->setColumnWidth(ColCheck, 80);
    keepColumnsReadable(t);
    qCDebug(lcIpManager) << "columns fitted in" << clock.nsecsElapsed() / 1000 << "us";
}

void IPManager::onHeadCheckBoxToggled(bool checked)
{
    flushPendingRows();
    for (DeviceMsg* d : qAsConst(devices)) {
        d->checked = checked;
        if (d->checkBox)
            d->checkBox->setChecked(checked);
        if (checked)
            emit alarmTableRowSelected(d->id);
        else
            emit alarmTableRowCanceled(d->id);
    }
}

void IPManager::onDoConfig()
{
    if (configRunning)
        return; // the button is disabled while a configuration runs
    flushPendingRows();
    // The boxes themselves are the selection: nothing remembered from earlier clicks.
    QVector<ConfigRow> rows;
    QTableWidget* t = ui->tableWidget;
    for (int r = 0; r < t->rowCount(); ++r) {
        QTableWidgetItem* idItem = t->item(r, ColId);
        if (!idItem)
            continue;
        DeviceMsg* d = devices.value(idItem->text().toInt());
        if (!d || !d->checked)
            continue;
        QTableWidgetItem* mac = t->item(r, ColMac);
        rows.append({r, mac ? mac->text() : QString()});
    }
    if (rows.isEmpty()) {
        QMessageBox::critical(this, tr("tips"), tr("Please choose at least one device first!"), QMessageBox::Ok);
        return;
    }
    ConfigJob job;
    job.card = currentCard();
    job.temporary = ui->temporary_config->isChecked();
    job.rows = rows;
    // Never send a half-typed address: name the field instead.
    const struct {
        QLineEdit* edit;
        ipframes::Ip4Bytes* out;
        const char* label;
    } fields[] = {
        {ui->ip_edit, &job.ip, QT_TR_NOOP("IP Address")},
        {ui->mask_edit, &job.mask, QT_TR_NOOP("Subnet Mask")},
        {ui->gateway_edit, &job.gateway, QT_TR_NOOP("Gateway")},
    };
    for (const auto& f : fields) {
        if (!ipframes::parseIp4(f.edit->text(), f.out)) {
            QMessageBox::critical(this, tr("tips"),
                                  tr("%1 is not a valid address: \"%2\"").arg(tr(f.label), f.edit->text()), QMessageBox::Ok);
            return;
        }
    }
    configTexts = QStringList{ui->ip_edit->text(), ui->mask_edit->text(), ui->gateway_edit->text()};
    configGeneration = tableGeneration;
    if (configThread.joinable())
        configThread.join(); // the previous one ended with configEnded_signal
    configRunning = true;
    updateButtons();
    configThread = std::thread(&IPManager::thrSendConfigMsg, this, std::move(job));
}

void IPManager::thrSendConfigMsg(ConfigJob job)
{
    // Every row that gets no answer any more is reported, so no row is left waiting.
    auto failFrom = [this, &job](int first) {
        for (int k = first; k < job.rows.size(); ++k)
            emit configDone_signal(job.rows.at(k).row, ipframes::ResultFailed);
    };
    CaptureHandle handle;
    if (!openNetDeviceSetFilter(job.card, &handle)) {
        failFrom(0);
        emit configEnded_signal();
        return;
    }
    const ipframes::MacBytes src = job.card->mac;
    // Rows whose wait ran out, by device: a late answer still lands on its own row.
    std::map<ipframes::MacBytes, int> waitedOut;
    for (int k = 0; k < job.rows.size() && !stopping; ++k) {
        const ConfigRow& r = job.rows.at(k);
        ipframes::MacBytes dst{};
        if (!ipframes::parseMac(r.macText, &dst)) {
            // No frame to a made-up address: report this row as failed and go on.
            emit AddLog_signal(tr("Row %1: MAC address \"%2\" is not valid, nothing sent").arg(r.row + 1).arg(r.macText));
            emit configDone_signal(r.row, ipframes::ResultFailed);
            continue;
        }
        if (!handle.send(ipframes::buildConfigRequest(dst, src, job.temporary, job.mask, job.ip, job.gateway))) {
            qCDebug(lcIpManager) << QStringLiteral("发送失败") << handle.errorString();
            emit AddLog_signal(tr("Sending the configuration on %1 failed: %2").arg(job.card->name, handle.errorString()));
            failFrom(k);
            break;
        }
        int code = ipframes::ResultFailed;
        bool answered = false;
        bool broken = false;
        QElapsedTimer since;
        since.start();
        QByteArray frame;
        while (!stopping && since.nsecsElapsed() <= kAnswerWindowNs) {
            const int rc = handle.next(&frame);
            if (rc < 0) {
                broken = true;
                break;
            }
            if (rc == 0)
                continue;
            const int c = ipframes::configAnswerCode(frame);
            if (c < 0)
                continue;
            // Only the addressed device can answer for this row.
            const ipframes::MacBytes from = ipframes::sourceMacOf(frame);
            if (from == dst) {
                code = c;
                answered = true;
                break;
            }
            auto late = waitedOut.find(from);
            if (late != waitedOut.end()) {
                emit configDone_signal(late->second, c);
                waitedOut.erase(late);
            }
        }
        if (stopping)
            break;
        if (broken) {
            emit AddLog_signal(tr("Capture on %1 stopped: %2").arg(job.card->name, handle.errorString()));
            failFrom(k);
            break;
        }
        emit configDone_signal(r.row, code);
        if (!answered)
            waitedOut[dst] = r.row;
    }
    handle.close();
    emit configEnded_signal();
}

void IPManager::onConfigDone(int row, int ret)
{
    if (configGeneration != tableGeneration || row < 0 || row >= ui->tableWidget->rowCount())
        return; // the table was refilled by a search since this configuration started
    const QString text = QCoreApplication::translate("IPManager", ipframes::configResultText(ret));
    auto* item = new QTableWidgetItem(text);
    item->setTextAlignment(Qt::AlignCenter);
    item->setFlags(item->flags() & ~Qt::ItemIsEditable);
    item->setForeground(desktopfit::statusColour(
        ret == ipframes::ResultSuccess ? QColor(Qt::darkGreen) : QColor(Qt::red), ui->tableWidget->palette()));
    ui->tableWidget->setItem(row, ColStatus, item);
    // The eleventh column is usually out of sight: each result is brought into view.
    ui->tableWidget->scrollToItem(item);
    if (ret == ipframes::ResultSuccess) {
        const int cols[] = {ColIp, ColMask, ColGateway};
        for (int i = 0; i < 3; ++i) {
            QTableWidgetItem* cell = ui->tableWidget->item(row, cols[i]);
            if (cell)
                cell->setText(configTexts.value(i));
        }
    }
}

void IPManager::lightControl(bool on)
{
    const std::optional<NetCardInfo> card = currentCard();
    CaptureHandle handle;
    if (!openNetDeviceSetFilter(card, &handle))
        return;
    QTableWidgetItem* macItem = ui->tableWidget->item(curRow, ColMac);
    ipframes::MacBytes dst{};
    if (macItem && ipframes::parseMac(macItem->text(), &dst))
        handle.send(ipframes::buildIndicatorRequest(dst, card->mac, on));
    handle.close();
}

void IPManager::showRightsMessage(const QString& reason)
{
    if (rightsBox)
        return;
    auto* box = new QMessageBox(
        QMessageBox::Warning, tr("tips"),
        tr("Searching and configuring devices send and capture raw Ethernet frames, which needs the "
           "CAP_NET_RAW capability or administrator rights.\n\nThe package grants the capability when it is "
           "installed. On a file system without capabilities give it once with\n\n"
           "    sudo setcap cap_net_raw+ep %1\n\nor start the program as administrator.")
            .arg(QCoreApplication::applicationFilePath()),
        QMessageBox::Ok, this);
    box->setObjectName(QStringLiteral("rightsMessage"));
    box->setDetailedText(reason);
    box->setTextInteractionFlags(Qt::TextSelectableByMouse);
    box->setAttribute(Qt::WA_DeleteOnClose);
    rightsBox = box;
    box->open();
}

void IPManager::addLog(QString msg)
{
    ui->card_address->appendPlainText(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hh:mm:ss ")) + msg);
}

void IPManager::doOpenConsolo(int idx, QString devIp, QString name)
{
    if (consoles.contains(idx)) {
        ui->stackedWidget->setCurrentWidget(consoles.value(idx));
        doSwitchDevice(idx);
        return;
    }
    auto* console = new CIceDevConsolo;
    console->SetDeviceInfo(devIp, name);
    ui->stackedWidget->addWidget(console);
    ui->stackedWidget->setCurrentWidget(console);
    consoles.insert(idx, console);
    if (deviceTree) {
        deviceTree->AddDeviceMsg(devIp, name);
        QTreeWidgetItem* item = deviceTree->topLevelItem(deviceTree->topLevelItemCount() - 1);
        treeItemConsole.insert(item->data(0, Qt::UserRole).toInt(), idx);
        deviceTree->setCurrentItem(item);
    }
    doSwitchDevice(idx);
}

void IPManager::doSwitchDevice(int idx)
{
    CIceDevConsolo* console = consoles.value(idx);
    if (console) {
        ui->stackedWidget->setCurrentWidget(console);
        ui->labelDeviceInfo->setText(QStringLiteral(" ") + tr("%1 : %2").arg(console->deviceIp(), console->deviceName()));
        ui->labelDeviceInfo->show();
        ui->stackedWidget->show();
    } else {
        ui->labelDeviceInfo->hide();
        ui->stackedWidget->hide();
    }
    showConsolesTab(!consoles.isEmpty());
    ui->tabWidget->setCurrentIndex(1);
}

void IPManager::showConsolesTab(bool show)
{
    const int at = ui->tabWidget->indexOf(ui->tab_2);
    if (show && at < 0)
        ui->tabWidget->addTab(ui->tab_2, tr("Device Consolo"));
    else if (!show && at >= 0)
        ui->tabWidget->removeTab(at);
}

void IPManager::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange) {
        ui->retranslateUi(this);
        setHeaderLabels(false);
        if (ui->btn_serach->isEnabled())
            ui->btn_serach->setText(tr("Search Device"));
        else
            ui->btn_serach->setText(tr("Searching"));
        if (actLogonWeb)
            actLogonWeb->setText(tr("Logon Web"));
        if (actOpenConsolo)
            actOpenConsolo->setText(tr("Open Consolo"));
        actIndicatorOn->setText(tr("Indicator On"));
        actIndicatorOff->setText(tr("Indicator Off"));
    }
    QWidget::changeEvent(event);
}
