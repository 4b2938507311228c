#pragma once

#include <QMap>
#include <QPointer>
#include <QWidget>

#include <array>

class QAction;
class QStackedWidget;
class plugMDManager;
class winDebug;

// The "Message Debug" tool: up to 64 debug sessions, each a winDebug in a stack,
// listed in a tree for the tool box.
class plugMDData : public QWidget
{
    Q_OBJECT
public:
    static constexpr int MaxSessions = 64;

    explicit plugMDData(QWidget* parent = nullptr);
    ~plugMDData() override;

    QWidget* GetManagerWidget();
    QWidget* GetDataWidget();
    // The tree's main actions, for the window's toolbar of this tool.
    QList<QAction*> toolBarActions() const;

    // Creates a session window connected to ip:port under the lowest free number;
    // -1 when all numbers are in use.
    int createSession(const QString& ip, int port);
    winDebug* window(int idx) const;
    int sessionCount() const { return windows.size(); }

public slots:
    void newSession();
    void deleteSession(int idx);
    void switchSession(int idx);

private:
    int takeFreeNumber();

    QPointer<QStackedWidget> stack;
    QPointer<plugMDManager> manager; // the tool box may delete it first
    QMap<int, QPointer<winDebug>> windows;
    std::array<bool, MaxSessions> freeNumbers;
};
