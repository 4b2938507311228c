#include "vxaWindow.h"
#include "applog.h"
#include "ui_vxaWindow.h"

#include "IPManager.h"
#include "appdir.h"
#include "emptystate.h"
#include "plugMDData.h"
#include "plugUartNetData.h"
#include "plugVComData.h"
#include "statusmessages.h"
#include "tablelayout.h"
#include "windowsettings.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QToolBar>
#include <QTranslator>
#include <QUrl>

namespace {

const char* const toolTexts[] = {
    QT_TRANSLATE_NOOP("vxaWindow", "IP Manager"),
    QT_TRANSLATE_NOOP("vxaWindow", "VCOM-Network Connection"),
    QT_TRANSLATE_NOOP("vxaWindow", "Uart Net Assistant"),
    QT_TRANSLATE_NOOP("vxaWindow", "Message Debug"),
};
constexpr int toolCount = int(sizeof toolTexts / sizeof toolTexts[0]);

// Titles and object names of the tools' toolbars, by tool slot (IP Manager has none).
const char* const toolBarNames[] = {nullptr, "toolBarVCom", "toolBarAssist", "toolBarMsgDebug"};
constexpr int windowStateVersion = 1;

QString systemIniPath()
{
    return dataFilePath(QStringLiteral("config/system.ini"));
}

const QString makerUrl = QStringLiteral("https://www.example.com");
const QString makerMail = QStringLiteral("support@example.com");

} // namespace

vxaWindow::vxaWindow(QWidget* parent)
    : QMainWindow(parent)
    , ui(new Ui_vxaWindow())
{
    // Translators first, so that every text below is created translated.
    initialize();
    ui->setupUi(this);
    // The tables' column layouts are needed while the tools build their tables.
    const WindowSettings saved = WindowSettings::read(systemIniPath());
    setRememberedHeaderStates(saved.columns);
    setupTools();
    setupSignals();
    setupStatusBar();
    setupToolBars({{}, vcomData->toolBarActions(), assistData->toolBarActions(), debugData->toolBarActions()});
    setupKeys();
    restoreWindowState(saved);
    connect(qApp, &QCoreApplication::aboutToQuit, this, &vxaWindow::saveWindowState);
}

vxaWindow::~vxaWindow()
{
    // Removing the tools' pages below must not drive the stack any more.
    disconnect(ui->toolBox, nullptr, this, nullptr);
    disconnect(ui->stackedWidget, nullptr, this, nullptr);
    delete debugData;
    delete assistData;
    delete vcomData;
    delete ipManager;
    delete logoLabel;
    delete ui;
}

void vxaWindow::initialize()
{
    // The user's saved choice, else a system-wide default beside the program.
    const QString path = readFilePath(QStringLiteral("config/system.ini"));
    if (!QFileInfo::exists(path))
        return;
    QString language;
    {
        const QSettings settings(path, QSettings::IniFormat);
        language = settings.value(QStringLiteral("system/language")).toString();
    }
    switchLanguage(language);
}

void vxaWindow::switchLanguage(const QString& language)
{
    for (QTranslator* translator : qAsConst(translators))
        QCoreApplication::removeTranslator(translator);
    qDeleteAll(translators);
    translators.clear();

    // Translations the user added come first, then the installed ones.
    QDir dir(dataDirPath());
    if (!dir.cd(QStringLiteral("languages")) || !dir.cd(language)) {
        dir.setPath(appDirPath());
        if (!dir.cd(QStringLiteral("languages")) || !dir.cd(language))
            return;
    }
    const QFileInfoList entries = dir.entryInfoList(dir.filter() | QDir::NoDotAndDotDot);
    for (const QFileInfo& entry : entries) {
        if (!entry.isFile() && !entry.isSymLink())
            continue;
        auto* translator = new QTranslator(this);
        // Exactly this file: no ".qm" appended, no shortened-name fallbacks.
        if (translator->load(entry.absoluteFilePath(), QString(), QLatin1String(""), QLatin1String("")))
            QCoreApplication::installTranslator(translator);
        translators.append(translator);
    }

    const QString saved = dataFilePath(QStringLiteral("config/system.ini"));
    QSettings settings(saved, QSettings::IniFormat);
    if (settings.isWritable())
        settings.setValue(QStringLiteral("system/language"), language);
    else
        qCWarning(lcApp).noquote() << tr("Cannot save the language in %1.").arg(saved);
}

void vxaWindow::setupTools()
{
    ui->menuWindwos->addAction(ui->dockWidget_2->toggleViewAction());
    while (ui->toolBox->count() > 0)
        ui->toolBox->removeItem(0);

    // The tool slots, in index order; each tool fills its slot with one line.
    delete ipManager;
    ipManager = new IPManager();
    addToolSlot(0, ipManager->GetManagerWidget(), ipManager);
    delete vcomData;
    vcomData = new plugVComData();
    addToolSlot(1, vcomData->getManagerWidget(), vcomData);
    delete assistData;
    assistData = new plugUartNetData();
    addToolSlot(2, assistData->GetManagerWidget(), assistData->GetDataWidget());
    // The assistant's saved commands dock beside its panels (shown with them, see showToolChrome).
    addDockWidget(Qt::RightDockWidgetArea, assistData->GetCommandDock());
    ui->menuWindwos->addAction(assistData->GetCommandDock()->toggleViewAction());
    delete debugData;
    debugData = new plugMDData();
    addToolSlot(3, debugData->GetManagerWidget(), debugData->GetDataWidget());

    ui->menuSystem->addSeparator();
    auto* exitAction = new QAction(tr("Exit"), this);
    connect(exitAction, &QAction::triggered, this, [this]() {
        if (confirmQuit())
            QCoreApplication::quit();
    });
    toolActions.append(exitAction);
    ui->menuSystem->addAction(exitAction);

    connect(ui->toolBox, &QToolBox::currentChanged, this, [this](int index) {
        if (index >= 0 && index < ui->stackedWidget->count())
            ui->stackedWidget->setCurrentIndex(index);
    });
}

void vxaWindow::addToolSlot(int index, QWidget* managerWidget, QWidget* dataWidget)
{
    Q_ASSERT(index == managerPages.size() && index < toolCount);
    // A tool without a manager or data widget still takes its index with an empty
    // page, so that tool box page k and stack page k always belong to the same tool.
    QWidget* managerPage = managerWidget ? managerWidget : new QWidget;
    ui->stackedWidget->addWidget(dataWidget ? dataWidget : new QWidget);
    const QString text = tr(toolTexts[index]);
    ui->toolBox->addItem(managerPage, QIcon(QStringLiteral(":/system/plug")), text);
    managerPages.append(managerPage);

    auto* action = new QAction(text, this);
    connect(action, &QAction::triggered, this, [this, index]() { ui->toolBox->setCurrentIndex(index); });
    toolActions.append(action);
    ui->menuSystem->addAction(action);
}

void vxaWindow::setupSignals()
{
    connect(ui->actionAbout, &QAction::triggered, this, &vxaWindow::showAbout);
    connect(StatusMessages::instance(), &StatusMessages::message, ui->statusBar, &QStatusBar::showMessage);
}

void vxaWindow::setupToolBars(const QList<QList<QAction*>>& actions)
{
    for (int i = 0; i < managerPages.size(); ++i) {
        QToolBar* bar = nullptr;
        if (i < actions.size() && !actions.at(i).isEmpty()) {
            bar = new QToolBar(tr(toolTexts[i]), this);
            bar->setObjectName(QLatin1String(toolBarNames[i]));
            bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
            bar->addActions(actions.at(i));
            // Shown with its tool, so the user has nothing to switch on or off.
            bar->toggleViewAction()->setVisible(false);
            addToolBar(Qt::TopToolBarArea, bar);
        }
        toolBars.append(bar);

        EmptyStatePanel* panel = nullptr;
        EmptyStateHint* hint = EmptyStateHint::of(managerPages.at(i));
        if (hint && hint->action())
            panel = new EmptyStatePanel(hint, ui->stackedWidget);
        emptyPanels.append(panel);
    }
    connect(ui->stackedWidget, &QStackedWidget::currentChanged, this, &vxaWindow::showToolChrome);
    showToolChrome(ui->stackedWidget->currentIndex());
}

void vxaWindow::showToolChrome(int index)
{
    for (int i = 0; i < toolBars.size(); ++i) {
        if (toolBars.at(i))
            toolBars.at(i)->setVisible(i == index);
        if (emptyPanels.at(i))
            emptyPanels.at(i)->setActive(i == index);
    }
    if (QDockWidget* commands = assistData ? assistData->GetCommandDock() : nullptr)
        commands->setVisible(index == 2);
}

void vxaWindow::restoreWindowState(const WindowSettings& saved)
{
    QList<QRect> screens;
    const auto all = QGuiApplication::screens();
    for (const QScreen* screen : all)
        screens.append(screen->availableGeometry());
    // A geometry from a screen that is gone would put the window out of reach.
    if (!saved.geometry.isEmpty() && geometryOnScreens(saved.geometry, screens)) {
        restoreGeometry(saved.geometry);
        fitToScreen(saved.geometry);
    }
    if (!saved.state.isEmpty())
        restoreState(saved.state, windowStateVersion);
    if (saved.tool >= 0 && saved.tool < ui->toolBox->count())
        ui->toolBox->setCurrentIndex(saved.tool);
    // The toolbars follow the tool, whatever the stored layout said about them.
    showToolChrome(ui->stackedWidget->currentIndex());
}

bool vxaWindow::saveWindowState()
{
    WindowSettings s;
    s.geometry = saveGeometry();
    s.state = saveState(windowStateVersion);
    s.tool = ui->toolBox->currentIndex();
    s.columns = rememberedHeaderStates();
    return s.write(systemIniPath());
}

void vxaWindow::setupStatusBar()
{
    auto* holder = new QWidget(this);
    auto* layout = new QHBoxLayout(holder);
    layout->setContentsMargins(0, 0, 0, 0);

    auto* link = new QPushButton(makerUrl, holder);
    link->setObjectName(QStringLiteral("makerLinkButton"));
    link->setFlat(true);
    // Its colours follow the palette: refreshLook.
    connect(link, &QPushButton::clicked, this, []() { QDesktopServices::openUrl(QUrl(makerUrl)); });

    logoLabel = new QLabel(holder);
    logoLabel->resize(138, 25);
    const QPixmap logo(QStringLiteral(":/system/logo_gray"));
    if (!logo.isNull())
        logoLabel->setPixmap(logo.scaled(138, 25, Qt::KeepAspectRatio, Qt::SmoothTransformation));

    layout->addWidget(link);
    layout->addSpacerItem(new QSpacerItem(10, 10));
    layout->addWidget(logoLabel);
    layout->setStretch(0, 0);
    layout->setStretch(1, 1);
    layout->setStretch(2, 0);

    refreshLook(); // the link's style first: the status bar takes its height from it
    ui->statusBar->insertWidget(0, holder, 1);
    ui->statusBar->setContentsMargins(0, 0, 0, 0);
}

bool vxaWindow::confirmQuit()
{
    QMessageBox box(QMessageBox::Question, tr("Messages"), tr("Do you want to quit system?"),
                    QMessageBox::NoButton, this);
    QPushButton* yes = box.addButton(tr("&Yes"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(tr("&No"), QMessageBox::NoRole);
    box.setDefaultButton(yes);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes;
}

void vxaWindow::showAbout()
{
    const QSettings version(appDirPath() + QStringLiteral("/config/version.ini"), QSettings::IniFormat);
    const QVariant value = version.value(QStringLiteral("VXA/TAG"));
    // An unquoted tag with a comma reads back as a list; show it as written.
    const QString tag = value.type() == QVariant::StringList
                            ? value.toStringList().join(QStringLiteral(", "))
                            : value.toString();
    const QString text = tag + QStringLiteral("\n\n") + makerUrl + QStringLiteral("\n\n") + makerMail
                         + QStringLiteral("\n\n") + tr("Copyright (C) 2026 The VXA developers");
    // Plain text: the tag comes from a hand-editable file, and markup in it (an <img> say)
    // would be rendered and could grow the box past the screen.
    QMessageBox box(this);
    box.setWindowTitle(tr("About"));
    box.setTextFormat(Qt::PlainText);
    box.setText(text);
    box.setIconPixmap(windowIcon().pixmap(64, 64));
    box.addButton(QMessageBox::Ok);
    box.exec();
}

void vxaWindow::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange && ui->centralWidget) {
        ui->retranslateUi(this);
        retranslateTools();
        refreshLook();
    }
    if ((event->type() == QEvent::PaletteChange || event->type() == QEvent::FontChange) && ui->centralWidget)
        refreshLook();
    QMainWindow::changeEvent(event);
}

void vxaWindow::retranslateTools()
{
    for (int i = 0; i < managerPages.size(); ++i) {
        const int index = ui->toolBox->indexOf(managerPages.at(i));
        if (index < 0)
            continue;
        const QString text = tr(toolTexts[i]);
        ui->toolBox->setItemText(index, text);
        if (index < toolActions.size() - 1)
            toolActions.at(index)->setText(text);
    }
    if (!toolActions.isEmpty())
        toolActions.last()->setText(tr("Exit"));
    for (int i = 0; i < toolBars.size(); ++i) {
        if (toolBars.at(i))
            toolBars.at(i)->setWindowTitle(tr(toolTexts[i]));
    }
}
