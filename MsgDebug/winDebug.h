#pragma once

#include "CDebugWorker.h"
#include "DebugRuleSet.h"

#include <QMainWindow>
#include <QMutex>
#include <QPointer>
#include <QStringList>
#include <QTimer>

class QAction;
class QMessageBox;
class QStandardItemModel;
class MySortFilterProxyModel;
class Ui_debugWindow;

// One message-debugging session: a CDebugWorker link and a table of the newest 100
// decoded frames with rule filter, content search and detail panes.
class winDebug : public QMainWindow
{
    Q_OBJECT
public:
    static constexpr int MaxRows = 100;
    static constexpr int MaxRulesPerKind = 1000; // most recently seen values per kind

    explicit winDebug(QWidget* parent = nullptr);
    ~winDebug() override;

    void connectToHost(QString ip, int port);
    CDebugWorker* debugWorker() const { return worker; }
    QStandardItemModel* frameModel() const { return model; }
    MySortFilterProxyModel* proxyModel() const { return proxy; }
    QStringList knownRules() const { return rules.sorted(); }
    QStringList chosenRules() const { return selectRules; }
    bool isSaving() const { return saveFlag; }

public slots:
    bool doUpdateFrame(Command cmd);
    void doStart();
    void doStop();
    void doClear();
    void doClearRight();
    void doItemChanged(QModelIndex current, QModelIndex previous);
    void doDelFile();
    void doFilterRuleChanged(int index);
    void doFindNext();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void reportRecordFailure(const QString& path, const QString& reason);

    void initialize();
    void setupModel();
    void createAction();
    void enableAction(bool running);
    void createColumns();
    void resetComboBox();
    void resetFilterRules();
    void connectWorker();
    void retranslate();
    void showChosenRules();

    Ui_debugWindow* ui = nullptr;
    CDebugWorker* worker = nullptr;
    QStandardItemModel* model = nullptr;
    MySortFilterProxyModel* proxy = nullptr;
    DebugRuleSet rules{MaxRulesPerKind};
    QStringList selectRules;
    int findPosition = 0;
    bool saveFlag = false;
    QPointer<QMessageBox> recordBox;
    QMutex mutex;
    QAction* actionStart = nullptr;
    QAction* actionStop = nullptr;
    QAction* actionClear = nullptr;
    QAction* actionLight = nullptr;
    bool lightConnected = false;
    QTimer scrollTimer; // one scroll per burst of frames: scrolling costs more than a row
};
