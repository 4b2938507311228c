#pragma once

#include <QList>
#include <QMainWindow>
#include <QPointer>

class IPManager;
class plugMDData;
class plugUartNetData;
class plugVComData;
class EmptyStatePanel;
class QAction;
class QLabel;
class QToolBar;
class QTranslator;
class Ui_vxaWindow;
struct WindowSettings;

// The main window: each tool's manager widget is a page of the tool box on the left
// dock, its data widget the stack page with the same index in the centre.
class vxaWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit vxaWindow(QWidget* parent = nullptr);
    ~vxaWindow() override;

    // Replaces the installed translators by every file in languages/<language>/.
    void switchLanguage(const QString& language);
    // The translators made by the last switchLanguage, in the directory's listing order.
    const QList<QTranslator*>& languageTranslators() const { return translators; }
    // Asks whether to quit; true only when the user answered "&Yes".
    bool confirmQuit();
    // Writes geometry, dock layout, the tool shown and the tables' columns to
    // config/system.ini; done when the program quits.
    bool saveWindowState();
    // The toolbar of a tool slot (null for a tool without tree actions) and the
    // stand-in shown in the central area while that tool is empty.
    QToolBar* toolBar(int index) const { return toolBars.value(index); }
    EmptyStatePanel* emptyPanel(int index) const { return emptyPanels.value(index); }

protected:
    void changeEvent(QEvent* event) override;

private:
    void initialize();
    void setupTools();
    void setupSignals();
    void setupStatusBar();
    void setupToolBars(const QList<QList<QAction*>>& actions);
    void restoreWindowState(const WindowSettings& saved);
    void showToolChrome(int index);
    void addToolSlot(int index, QWidget* managerWidget, QWidget* dataWidget);
    void retranslateTools();
    void showAbout();
    // Keys of the menus and tools, toolbars that fit (windowfit.cpp).
    void setupKeys();
    // What retranslateUi, a palette or a font change undo: About keys, link colours, dock width.
    void refreshLook();
    // A remembered geometry larger than its screen's free area is reduced to it.
    void fitToScreen(const QByteArray& geometry);

    Ui_vxaWindow* ui = nullptr;
    QList<QAction*> toolActions;
    IPManager* ipManager = nullptr;
    plugVComData* vcomData = nullptr;
    plugUartNetData* assistData = nullptr;
    plugMDData* debugData = nullptr;
    QList<QTranslator*> translators;
    QLabel* logoLabel = nullptr;
    QList<QPointer<QWidget>> managerPages; // tool box page of each tool slot, by index
    QList<QToolBar*> toolBars;             // by tool slot; null where a tool has none
    QList<EmptyStatePanel*> emptyPanels;   // by tool slot; null where a tool has none
};
