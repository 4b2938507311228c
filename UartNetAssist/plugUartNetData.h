#pragma once

#include "plugUartNetManager.h"

#include <QList>
#include <QMap>
#include <QPointer>
#include <QStringList>
#include <QVector>
#include <QWidget>

#include <functional>

class CommandLibrary;
class QDockWidget;
class QStackedWidget;
class UartNetAssist;

// The "Uart Net Assistant" tool: owns up to 64 assistant panels, numbered 1 to 64,
// shows one at a time in its stacked widget and lists them in its tree, from which
// they are created, deleted, copied, pasted, driven together, and saved or loaded as
// a connection set (an INI file).
class plugUartNetData : public QWidget
{
    Q_OBJECT
public:
    static constexpr int maxAssists = 64;

    explicit plugUartNetData(QWidget* parent = nullptr);
    ~plugUartNetData() override;

    QWidget* GetManagerWidget();
    QWidget* GetDataWidget();
    // The saved commands beside the panels, on a dock the window places.
    QDockWidget* GetCommandDock();
    CommandLibrary* commandLibrary() const;
    // The tree's main actions, for the window's toolbar of this tool.
    QList<QAction*> toolBarActions() const;

    // Takes the lowest free instance number, or returns -1 when all 64 are in use.
    int getValidAssistIndex();

    // Panel of an instance number, or null.
    UartNetAssist* assist(int idx) const;
    // Instance numbers of the living panels, ascending.
    QList<int> assistIndexes() const;
    QStringList copiedConfigurations() const { return copiedConfigs; }

    // Ask for the file of a connection set; the defaults show file dialogs. Arguments:
    // dialog parent, title, filter; an empty answer cancels.
    std::function<QString(QWidget*, const QString&, const QString&)> chooseSaveFile;
    std::function<QString(QWidget*, const QString&, const QString&)> chooseOpenFile;

public slots:
    void newAssistWidget();
    void deleteAssistWidget(int idx);
    void switchAssistWidget(int idx);
    void doMultipleControl(ACTIONTYPE type, int idx);
    void doCopyConfigs(QList<int> idxs);
    void doPasteConfigs();
    void doSaveConnections(QVector<int>& assistIdxs);
    void doLoadConnections();

private:
    void setupManager();
    // Adds a panel under the next free number; null (after telling the user) when
    // all numbers are taken.
    UartNetAssist* addAssist();
    void releaseIndex(int idx);

    // The main window re-parents both widgets; either may be deleted before us.
    QPointer<QStackedWidget> dataWidget;
    QPointer<plugUartNetManager> managerWidget;
    QPointer<QDockWidget> commandDock;
    QPointer<CommandLibrary> library; // on the dock
    QMap<int, QPointer<UartNetAssist>> assists;
    QStringList copiedConfigs;
    bool indexFree[maxAssists];
};
