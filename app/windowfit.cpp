// The main window on ordinary desktops: the remembered size held to the screen, keys
// for the menus and the tools, toolbars that fit, colours that follow the palette.

#include "vxaWindow.h"
#include "ui_vxaWindow.h"

#include "desktopfit.h"
#include "emptystate.h"
#include "windowsettings.h"

#include <QEvent>
#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QToolBar>

namespace {

// Shows a toolbar's texts beside the icons while they fit its width and only the icons
// (texts in the tool tips) when a larger font or a narrow window would push actions
// behind the overflow button.
class ToolBarFit : public QObject
{
public:
    explicit ToolBarFit(QToolBar* bar)
        : QObject(bar)
        , bar(bar)
    {
        bar->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::Resize:
        case QEvent::Show:
            refit();
            break;
        case QEvent::FontChange:
        case QEvent::LanguageChange:
            textWidth = 0; // measured again with the texts shown
            bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
            refit();
            break;
        default:
            break;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    void refit()
    {
        if (!bar->isVisible() || refitting)
            return;
        refitting = true;
        if (bar->toolButtonStyle() == Qt::ToolButtonTextBesideIcon) {
            textWidth = bar->sizeHint().width();
            if (textWidth > bar->width())
                bar->setToolButtonStyle(Qt::ToolButtonIconOnly);
        } else if (textWidth > 0 && textWidth <= bar->width()) {
            bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        }
        refitting = false;
    }

    QToolBar* bar;
    int textWidth = 0;
    bool refitting = false;
};

QString makerLinkStyle(const QPalette& palette)
{
    // Black and blue as always on a light status bar; on a dark one the palette's
    // text and a lighter blue.
    const QColor text = desktopfit::isDark(palette) ? palette.color(QPalette::WindowText) : QColor(Qt::black);
    const QColor hover = desktopfit::statusColour(QColor(0, 0, 255), palette);
    return QStringLiteral("QPushButton { %1 border: none; }"
                          "QPushButton:hover { %2 border: none; }"
                          "QPushButton:focus { text-decoration: underline; }")
        .arg(desktopfit::colourRule("color", text), desktopfit::colourRule("color", hover));
}

} // namespace

void vxaWindow::setupKeys()
{
    // Ctrl+1 ... Ctrl+4 show the tools in the System menu's order; the last action is Exit.
    for (int i = 0; i < toolActions.size() - 1 && i < 9; ++i)
        toolActions.at(i)->setShortcut(QKeySequence(Qt::CTRL | (Qt::Key_1 + i)));
    if (!toolActions.isEmpty())
        toolActions.last()->setShortcuts(desktopfit::standardKeys(QKeySequence::Quit, QKeySequence(Qt::CTRL | Qt::Key_Q)));
    refreshLook();

    // Ctrl+N runs the shown tool's "new" action, as Insert does in its tree.
    auto* newAction = new QAction(this);
    newAction->setObjectName(QStringLiteral("newInToolAction"));
    const QList<QKeySequence> newKeys = desktopfit::standardKeys(QKeySequence::New, QKeySequence(Qt::CTRL | Qt::Key_N));
    newAction->setShortcuts(newKeys);
    addAction(newAction);
    connect(newAction, &QAction::triggered, this, [this]() {
        const int index = ui->toolBox->currentIndex();
        if (EmptyStateHint* hint = EmptyStateHint::of(managerPages.value(index)))
            hint->triggerNew();
    });

    for (int i = 0; i < toolBars.size(); ++i) {
        if (!toolBars.at(i))
            continue;
        new ToolBarFit(toolBars.at(i));
        const EmptyStateHint* hint = EmptyStateHint::of(managerPages.value(i));
        const auto actions = toolBars.at(i)->actions();
        for (QAction* action : actions) {
            const bool isNew = hint && hint->action() == action;
            desktopfit::showShortcutsInToolTip(action, isNew ? newKeys : QList<QKeySequence>{});
        }
    }
}

void vxaWindow::refreshLook()
{
    // The form's key stays first (the menu shows it), F1 beside it in the tool tip.
    QList<QKeySequence> about{ui->actionAbout->shortcut()};
    about += desktopfit::standardKeys(QKeySequence::HelpContents, QKeySequence(Qt::Key_F1));
    about.removeAll(QKeySequence());
    ui->actionAbout->setShortcuts(about);
    desktopfit::showShortcutsInToolTip(ui->actionAbout);
    ui->menuHelp->setToolTipsVisible(true);
    if (auto* link = findChild<QPushButton*>(QStringLiteral("makerLinkButton")))
        link->setStyleSheet(makerLinkStyle(palette()));

    // The tools dock is as wide as the longest tool name in the current font.
    int names = 0;
    const auto tabs = ui->toolBox->findChildren<QAbstractButton*>(QStringLiteral("qt_toolbox_toolboxbutton"));
    for (const QAbstractButton* tab : tabs)
        names = qMax(names, tab->sizeHint().width());
    ui->toolBox->setMinimumWidth(names);
    const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, ui->scrollArea);
    const int frames = 2 * (ui->scrollArea->frameWidth() + 3); // and the two layouts' margins
    ui->dockWidget_2->setMinimumWidth(qMax(225, names + bar + frames));
}

void vxaWindow::fitToScreen(const QByteArray& geometry)
{
    QRect frame;
    QRect client;
    bool maximized = false;
    if (!storedWindowFrame(geometry, &frame, &client, &maximized) || maximized)
        return;
    const QScreen* screen = QGuiApplication::screenAt(frame.center());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    if (client.width() <= area.width() && client.height() <= area.height())
        return; // a frame that sticks out a little is the window manager's business
    const QRect fitted = fitIntoArea(frame, client, area);
    // Never below what the window needs, and only ever smaller than it was.
    const QSize size = fitted.size().expandedTo(minimumSizeHint()).boundedTo(client.size());
    if (size != client.size())
        setGeometry(QRect(fitted.topLeft(), size));
}
