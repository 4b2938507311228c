#include "plugUartNetData.h"

#include "CommandLibrary.h"
#include "UartNetAssist.h"
#include "appdir.h"
#include "statusmessages.h"

#include <QCoreApplication>
#include <QDir>
#include <QDockWidget>
#include <QFileDialog>
#include <QMessageBox>
#include <QScrollArea>
#include <QSettings>
#include <QStackedWidget>

plugUartNetData::plugUartNetData(QWidget* parent)
    : QWidget(parent)
    , dataWidget(new QStackedWidget(this))
{
    // Connection sets start in the folder the program saves into, so they are found again.
    chooseSaveFile = [](QWidget* p, const QString& title, const QString& filter) {
        QDir().mkpath(dataDirPath());
        return QFileDialog::getSaveFileName(p, title, dataDirPath(), filter);
    };
    chooseOpenFile = [](QWidget* p, const QString& title, const QString& filter) {
        return QFileDialog::getOpenFileName(p, title, dataDirPath(), filter);
    };
    setupManager();

    commandDock = new QDockWidget(this);
    commandDock->setObjectName(QStringLiteral("command_dock"));
    // Scrolled rather than pressed: with its buttons at full width the dock alone would
    // push the window past a small screen.
    auto* scroll = new QScrollArea(commandDock);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    library = new CommandLibrary(scroll);
    scroll->setWidget(library);
    commandDock->setWidget(scroll);
    commandDock->setWindowTitle(library->windowTitle()); // the library keeps it in its language
    connect(dataWidget.data(), &QStackedWidget::currentChanged, library,
            [this]() {
                if (dataWidget)
                    library->setPanel(qobject_cast<UartNetAssist*>(dataWidget->currentWidget()));
            });
}

plugUartNetData::~plugUartNetData()
{
    // Each panel's destructor closes its device and joins its file-sending worker.
    for (auto it = assists.begin(); it != assists.end(); ++it)
        delete it.value().data();
    assists.clear();
    delete managerWidget.data();
    delete commandDock.data();
}

QDockWidget* plugUartNetData::GetCommandDock()
{
    return commandDock;
}

CommandLibrary* plugUartNetData::commandLibrary() const
{
    return library.data();
}

QWidget* plugUartNetData::GetManagerWidget()
{
    return managerWidget;
}

QWidget* plugUartNetData::GetDataWidget()
{
    return dataWidget;
}

QList<QAction*> plugUartNetData::toolBarActions() const
{
    return managerWidget ? managerWidget->toolBarActions() : QList<QAction*>();
}

void plugUartNetData::setupManager()
{
    managerWidget = new plugUartNetManager;
    plugUartNetManager* m = managerWidget;
    connect(m, &plugUartNetManager::copyToolConfig, this, &plugUartNetData::doCopyConfigs);
    connect(m, &plugUartNetManager::pasteToolConfig, this, &plugUartNetData::doPasteConfigs);
    connect(m, &plugUartNetManager::newAssist, this, &plugUartNetData::newAssistWidget);
    connect(m, &plugUartNetManager::saveConnections, this, &plugUartNetData::doSaveConnections);
    connect(m, &plugUartNetManager::loadConnections, this, &plugUartNetData::doLoadConnections);
    connect(m, &plugUartNetManager::actionTrigger, this, [this](ACTIONTYPE type, int idx) {
        if (type == ACT_DELETE)
            deleteAssistWidget(idx);
        else
            doMultipleControl(type, idx);
    });
    connect(m, &plugUartNetManager::deleteAssist, this, &plugUartNetData::deleteAssistWidget);
    connect(m, &plugUartNetManager::switchAssist, this, &plugUartNetData::switchAssistWidget);
    for (bool& f : indexFree)
        f = true;
}

int plugUartNetData::getValidAssistIndex()
{
    for (int i = 0; i < maxAssists; ++i) {
        if (indexFree[i]) {
            indexFree[i] = false;
            return i + 1;
        }
    }
    return -1;
}

void plugUartNetData::releaseIndex(int idx)
{
    if (idx >= 1 && idx <= maxAssists)
        indexFree[idx - 1] = true;
}

UartNetAssist* plugUartNetData::assist(int idx) const
{
    return assists.value(idx).data();
}

QList<int> plugUartNetData::assistIndexes() const
{
    QList<int> idxs;
    for (auto it = assists.cbegin(); it != assists.cend(); ++it) {
        if (it.value())
            idxs.append(it.key());
    }
    return idxs;
}

UartNetAssist* plugUartNetData::addAssist()
{
    const int idx = getValidAssistIndex();
    if (idx < 0) {
        QMessageBox::information(managerWidget ? static_cast<QWidget*>(managerWidget) : this, tr("tips"),
                                 tr("At most %1 debugging assistants can be open at once. "
                                    "Delete one before creating another.")
                                     .arg(maxAssists));
        return nullptr;
    }
    auto* panel = new UartNetAssist;
    assists.insert(idx, panel);
    if (dataWidget) {
        dataWidget->addWidget(panel);
        dataWidget->setCurrentWidget(panel);
    }
    if (plugUartNetManager* m = managerWidget) {
        m->newNode(idx);
        // The new panel is the one shown, so the toolbar's Open and Send act on it.
        m->setCurrentItem(m->node(idx));
        connect(panel, &UartNetAssist::updateNodeName, m,
                [m, idx](QString name, bool isOn) { m->renameNode(idx, name, isOn); });
    }
    return panel;
}

void plugUartNetData::newAssistWidget()
{
    addAssist();
}

void plugUartNetData::doPasteConfigs()
{
    // A copy: the refusal box runs an event loop in which a new copy may be taken.
    const QStringList configs = copiedConfigs;
    for (const QString& config : configs) {
        UartNetAssist* panel = addAssist();
        if (!panel)
            break;
        panel->ApplyConfig(config);
    }
}

void plugUartNetData::doCopyConfigs(QList<int> idxs)
{
    copiedConfigs.clear();
    for (int idx : idxs) {
        if (UartNetAssist* panel = assist(idx))
            copiedConfigs.append(panel->GetCurrentConfig());
    }
}

void plugUartNetData::deleteAssistWidget(int idx)
{
    if (!assists.contains(idx))
        return;
    UartNetAssist* panel = assists.value(idx).data();
    if (panel) {
        panel->release();
        if (dataWidget)
            dataWidget->removeWidget(panel);
    }
    if (dataWidget)
        dataWidget->hide();
    delete panel;
    assists.remove(idx);
    if (managerWidget)
        managerWidget->removeNode(idx);
    releaseIndex(idx);
}

void plugUartNetData::switchAssistWidget(int idx)
{
    UartNetAssist* panel = assist(idx);
    if (!panel || !dataWidget)
        return;
    dataWidget->setCurrentWidget(panel);
    dataWidget->show();
}

void plugUartNetData::doMultipleControl(ACTIONTYPE type, int idx)
{
    UartNetAssist* panel = assist(idx);
    if (!panel)
        return;
    switch (type) {
    case ACT_DELETE:
        deleteAssistWidget(idx);
        return;
    case ACT_OPEN:
        panel->OpenDevice();
        break;
    case ACT_CLOSE:
        panel->CloseDevice();
        break;
    case ACT_SEND:
        panel->SendContent();
        break;
    case ACT_AUTO_REPLY:
        panel->AutoReply();
        break;
    case ACT_AUTO_ADDITION:
        panel->AutoAddition();
        break;
    case ACT_CLEAR_RECEIVE:
        panel->ClearReceive();
        break;
    case ACT_RESET_COUNT:
        panel->ResetCount();
        break;
    }
    // An operation may have shown a box whose event loop deleted the panel.
    switchAssistWidget(idx);
}

void plugUartNetData::doSaveConnections(QVector<int>& assistIdxs)
{
    QWidget* parent = managerWidget ? static_cast<QWidget*>(managerWidget) : this;
    const QString fileName = chooseSaveFile(parent, tr("Save to file"), tr("ini files(*.ini)"));
    if (fileName.isEmpty() || assists.isEmpty())
        return;

    QSettings set(fileName, QSettings::IniFormat);
    bool saved = set.isWritable();
    if (saved) {
        set.clear();
        set.setValue(QStringLiteral("ConnectionNum/Num"), QString::number(assists.size()));
        int k = 0;
        for (int idx : assistIdxs) {
            UartNetAssist* panel = assist(idx);
            if (!panel)
                continue;
            set.setValue(QStringLiteral("Connections/%1").arg(++k), panel->GetCurrentConfig());
            // Keeps the window responsive for long sets.
            QCoreApplication::processEvents();
        }
        // A panel deleted meanwhile leaves fewer entries than counted above.
        set.setValue(QStringLiteral("ConnectionNum/Num"), QString::number(k));
        set.sync();
        saved = set.status() == QSettings::NoError;
    }
    if (saved) {
        StatusMessages::post(tr("Connection set saved to %1").arg(fileName));
        QMessageBox::information(parent, tr("Tips"), tr("Save connection configs done."));
    } else {
        QMessageBox::warning(parent, tr("Tips"),
                             tr("Save connection configs failed: %1 cannot be written.").arg(fileName));
    }
}

void plugUartNetData::doLoadConnections()
{
    QWidget* parent = managerWidget ? static_cast<QWidget*>(managerWidget) : this;
    const QString fileName = chooseOpenFile(parent, tr("Choose file"), tr("ini files(*)"));
    if (fileName.isEmpty())
        return;

    QSettings set(fileName, QSettings::IniFormat);
    const int n = set.value(QStringLiteral("ConnectionNum/Num")).toInt();
    int loaded = 0;
    for (int k = 1; k <= n; ++k) {
        UartNetAssist* panel = addAssist();
        if (!panel)
            break;
        ++loaded;
        const QVariant v = set.value(QStringLiteral("Connections/%1").arg(k));
        // A hand-written entry without quotes reads back as a list split at its commas.
        const QString config = v.type() == QVariant::StringList ? v.toStringList().join(QLatin1Char(',')) : v.toString();
        panel->ApplyConfig(config);
        QCoreApplication::processEvents();
    }
    StatusMessages::post(tr("%n connection(s) loaded from %1", nullptr, loaded).arg(fileName));
}
