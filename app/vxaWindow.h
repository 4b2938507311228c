#pragma once

#include <QList>
#include <QMainWindow>
#include <QPointer>

class IPManager;
class plugMDData;
class plugUartNetData;
class plugVComData;
class QAction;
class QLabel;
class QTranslator;
class Ui_vxaWindow;

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

protected:
    void changeEvent(QEvent* event) override;

private:
    void initialize();
    void setupTools();
    void setupSignals();
    void setupStatusBar();
    void addToolSlot(int index, QWidget* managerWidget, QWidget* dataWidget);
    void retranslateTools();
    void showAbout();

    Ui_vxaWindow* ui = nullptr;
    QList<QAction*> toolActions;
    IPManager* ipManager = nullptr;
    plugVComData* vcomData = nullptr;
    plugUartNetData* assistData = nullptr;
    plugMDData* debugData = nullptr;
    QList<QTranslator*> translators;
    QLabel* logoLabel = nullptr;
    QList<QPointer<QWidget>> managerPages; // tool box page of each tool slot, by index
};
