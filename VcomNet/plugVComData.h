#pragma once

#include "VSPConnection.h"

#include <QMap>
#include <QPointer>
#include <QWidget>

class plugVComManager;
class VSPortFunction;
class VSPConnectionMsg;
class Ui_plugVComData;

// The VCOM-Network Connection tool: creation forms, one panel per connection, the
// connection tree, the saved files under service/connection/ and their recreation
// at start-up.
class plugVComData : public QWidget
{
    Q_OBJECT
public:
    explicit plugVComData(QWidget* parent = nullptr);
    ~plugVComData() override;

    QWidget* getManagerWidget();
    // The tree's main actions, for the window's toolbar of this tool.
    QList<QAction*> toolBarActions() const;

    // Creates the pair, the tree node and the panel; on success writes id into params.
    bool createConnection(const VSP_CONNECTION_TYPE& type, VSP_CONNECTION_PARAMS& params);
    void addIniFile(const VSP_CONNECTION_PARAMS& params);
    void loadConfig();
    void updateValidComNames();

    VSPConnectionMsg* panel(int idx) const { return panels.value(idx); }
    QList<int> connectionIds() const { return panels.keys(); }
    QString iniPath(int idx) const { return iniPaths.value(idx); }
    VSPortFunction* pairs() const { return portFunction; }

    static constexpr int loadDelayMs = 1000;

public slots:
    void deleteConnection_slot(int idx);

protected:
    void changeEvent(QEvent* event) override;

private:
    void setupForms();
    void openForm(int type);
    void switchTo(int idx);
    void newFromForm(VSP_CONNECTION_TYPE type);
    void refreshNames();

    Ui_plugVComData* ui = nullptr;
    QPointer<plugVComManager> manager; // the tool box may delete it first
    VSPortFunction* portFunction = nullptr;
    QMap<int, VSPConnectionMsg*> panels;
    QMap<int, QString> iniPaths;
};
