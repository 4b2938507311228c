// The window on an ordinary laptop: 1366x768, a dark palette, a larger font, the keyboard.

#include "DataMonitor.h"
#include "desktopfit.h"
#include "desktoputil.h"
#include "plugUartNetManager.h"
#include "testutil.h"
#include "vxaWindow.h"
#include "winDebug.h"
#include "windowsettings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTableView>
#include <QToolBar>
#include <QToolBox>
#include <QToolButton>
#include <QtTest>

using desktoputil::ScopedLook;
using testutil::TempAppDir;
using Colours = QPair<QColor, QColor>; // text, background
using Probe = std::function<Colours()>;
using KeyCheck = std::function<bool(vxaWindow&)>;
Q_DECLARE_METATYPE(Probe)
Q_DECLARE_METATYPE(KeyCheck)

namespace {

QToolBox* toolBox(vxaWindow& w)
{
    return w.findChild<QToolBox*>(QStringLiteral("toolBox"));
}
plugUartNetManager* assistTree(vxaWindow& w)
{
    return qobject_cast<plugUartNetManager*>(toolBox(w)->widget(2));
}
// A new assistant panel of a kind (0 COM ... 3 UDP), the one shown.
QWidget* addPanel(vxaWindow& w, int kind)
{
    assistTree(w)->newAction->trigger();
    auto* tools = w.findChild<QStackedWidget*>(QStringLiteral("stackedWidget"));
    QWidget* panel = qobject_cast<QStackedWidget*>(tools->widget(2))->currentWidget();
    panel->findChild<QComboBox*>(QStringLiteral("choose_protocol"))->setCurrentIndex(kind);
    return panel;
}
// Colours as painted: the palette after the widget's style sheet has been applied.
Colours colours(QWidget* w, QPalette::ColorRole text, QPalette::ColorRole background)
{
    w->ensurePolished();
    return {w->palette().color(text), w->palette().color(background)};
}
Probe inWindow(const char* name, QPalette::ColorRole text, QPalette::ColorRole background)
{
    return [=]() {
        TempAppDir appDir;
        vxaWindow w;
        QWidget* panel = addPanel(w, 1);
        auto* found = w.findChild<QWidget*>(QLatin1String(name));
        return colours(found ? found : panel->findChild<QWidget*>(QLatin1String(name)), text, background);
    };
}

} // namespace

class tst_DesktopFit : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { Q_INIT_RESOURCE(vxa); }
    void smallScreen_data();
    void smallScreen();
    void fitIntoArea_data();
    void fitIntoArea();
    void darkPaletteContrast_data();
    void darkPaletteContrast();
    void largerFontFits_data();
    void largerFontFits();
    void keys_data();
    void keys();
    void controlsNeedAPanel();
};

void tst_DesktopFit::smallScreen_data()
{
    QTest::addColumn<int>("page");
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("panels");
    for (int page = 0; page < 4; ++page) {
        for (int kind = 0; kind < 4; ++kind)
            QTest::addRow("page %d, panel kind %d", page, kind) << page << kind << (page == 2 ? 3 : 1);
    }
}

// At 1024x700 (a 1366x768 screen less its panel and the frame) every button and label is
// on the window or in a scroll area that reaches it.
void tst_DesktopFit::smallScreen()
{
    QFETCH(int, page);
    QFETCH(int, kind);
    QFETCH(int, panels);
    TempAppDir appDir;
    vxaWindow w;
    for (int i = 0; i < panels; ++i)
        addPanel(w, kind);
    toolBox(w)->setCurrentIndex(page);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    const QSize small(1024, 700);
    QCOMPARE(w.minimumSizeHint().boundedTo(small), w.minimumSizeHint());
    w.resize(small);
    QTRY_COMPARE(w.size(), small);
    const auto widgets = w.findChildren<QWidget*>();
    for (QWidget* c : widgets) {
        if (!c->isVisibleTo(&w) || !(qobject_cast<QAbstractButton*>(c) || qobject_cast<QLabel*>(c)))
            continue;
        bool scrolls = false;
        for (QWidget* p = c->parentWidget(); p && !scrolls; p = p->parentWidget())
            scrolls = qobject_cast<QScrollArea*>(p);
        QVERIFY2(scrolls || w.rect().contains(QRect(c->mapTo(&w, QPoint()), c->size())), qPrintable(c->objectName()));
    }
}

void tst_DesktopFit::fitIntoArea_data()
{
    QTest::addColumn<QRect>("frame");
    QTest::addColumn<QRect>("client");
    QTest::addColumn<QRect>("area");
    QTest::addColumn<QRect>("fitted");
    const QRect laptop(0, 0, 1366, 740); // 1366x768 less a 28-pixel panel
    QTest::newRow("fits") << QRect(100, 70, 939, 672) << QRect(100, 100, 939, 642) << laptop << QRect(100, 100, 939, 642);
    QTest::newRow("too tall") << QRect(100, 0, 760, 1035) << QRect(100, 30, 760, 1005) << laptop << QRect(100, 30, 760, 710);
    QTest::newRow("too big, to the right") << QRect(900, 200, 1600, 1230) << QRect(900, 230, 1600, 1200) << laptop
                                           << QRect(0, 30, 1366, 710);
    QTest::newRow("second screen") << QRect(1500, 0, 1366, 900) << QRect(1500, 30, 1366, 870)
                                   << QRect(1366, 0, 1366, 768) << QRect(1366, 30, 1366, 738);
}

// The rule, then the window: a size remembered on a bigger screen comes back no larger
// than this screen's free area (or the window's minimum, if that is larger).
void tst_DesktopFit::fitIntoArea()
{
    QFETCH(QRect, frame);
    QFETCH(QRect, client);
    QFETCH(QRect, area);
    QFETCH(QRect, fitted);
    QCOMPARE(::fitIntoArea(frame, client, area), fitted);

    TempAppDir appDir;
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    QWidget big;
    big.setGeometry(available.adjusted(0, 0, client.width(), client.height()));
    WindowSettings s;
    s.geometry = big.saveGeometry();
    QVERIFY(s.write(appDir.filePath(QStringLiteral("config/system.ini"))));
    vxaWindow w;
    const QSize limit = available.size().expandedTo(w.minimumSizeHint());
    QCOMPARE(w.size().boundedTo(limit), w.size());
}

void tst_DesktopFit::darkPaletteContrast_data()
{
    QTest::addColumn<Probe>("probe");
    QTest::addColumn<QColor>("lightText"); // on a light desktop, as before

    for (int row : {0, 1}) {
        QTest::addRow("debug table, row %d", row) << Probe([row]() {
            winDebug win;
            for (int i = 0; i <= row; ++i)
                win.doUpdateFrame(Command{i, QDateTime::currentDateTime(), 0, QStringLiteral("A"), {}, {}, {}, {}});
            const QModelIndex cell = win.findChild<QTableView*>()->model()->index(row, 0);
            return Colours(cell.data(Qt::ForegroundRole).value<QBrush>().color(),
                           cell.data(Qt::BackgroundRole).value<QBrush>().color());
        }) << QColor(Qt::black);
    }
    QTest::newRow("debug table, selection") << Probe([]() {
        winDebug win;
        return colours(win.findChild<QTableView*>(), QPalette::HighlightedText, QPalette::Highlight);
    }) << QColor(Qt::black); // was blue on blue
    QTest::newRow("data monitor") << Probe([]() {
        DataMonitor monitor;
        return colours(monitor.findChild<QTableView*>(), QPalette::Text, QPalette::Base);
    }) << QColor(Qt::black);
    QTest::newRow("web address") << Probe([]() {
        TempAppDir appDir;
        vxaWindow w;
        const Colours c = colours(w.findChild<QPushButton*>(QStringLiteral("makerLinkButton")), QPalette::ButtonText,
                                  QPalette::Window);
        return Colours(c.first, w.statusBar()->palette().color(QPalette::Window));
    }) << QColor(Qt::black);
    QTest::newRow("remote address bar") << inWindow("label_name", QPalette::WindowText, QPalette::Window)
                                        << QColor(Qt::black);
    QTest::newRow("send button") << inWindow("btn_send", QPalette::ButtonText, QPalette::Button) << QColor(0, 116, 0);
    QTest::newRow("device console title") << inWindow("labelDeviceInfo", QPalette::WindowText, QPalette::Window)
                                          << QColor(Qt::black);
    for (const QColor& status : {QColor(Qt::darkGreen), QColor(Qt::red), QColor(200, 0, 0)}) {
        QTest::addRow("status %s", qPrintable(status.name())) << Probe([status]() {
            const QPalette p = QApplication::palette();
            return Colours(desktopfit::statusColour(status, p), p.color(QPalette::Base));
        }) << status;
    }
}

void tst_DesktopFit::darkPaletteContrast()
{
    QFETCH(Probe, probe);
    QFETCH(QColor, lightText);
    {
        ScopedLook light(false);
        QCOMPARE(probe().first, lightText);
    }
    ScopedLook dark(true);
    const Colours c = probe();
    QVERIFY2(desktopfit::contrastRatio(c.first, c.second) >= 4.5, qPrintable(c.first.name() + c.second.name()));
}

void tst_DesktopFit::largerFontFits_data()
{
    QTest::addColumn<int>("page");
    for (int page = 0; page < 5; ++page)
        QTest::addRow("%s", QList<const char*>{"IP Manager", "VCOM", "assistant", "debug", "monitor"}[page]) << page;
}

// With the application font at 1.5 times its size no button, toolbar action or column
// title is cut.
void tst_DesktopFit::largerFontFits()
{
    QFETCH(int, page);
    ScopedLook look(false, 1.5);
    TempAppDir appDir;
    std::unique_ptr<QWidget> top(page == 3 ? new winDebug : page == 4 ? static_cast<QWidget*>(new DataMonitor) : nullptr);
    if (!top) {
        auto* w = new vxaWindow;
        top.reset(w);
        addPanel(*w, 0);
        toolBox(*w)->setCurrentIndex(page);
    }
    top->resize(1366, 768);
    top->show();
    QVERIFY(QTest::qWaitForWindowExposed(top.get()));
    for (const QAbstractButton* b : top->findChildren<QAbstractButton*>()) {
        const QString text = b->text().remove(QLatin1Char('&'));
        auto* tool = qobject_cast<const QToolButton*>(b);
        if (!b->isVisible() || text.isEmpty() || (tool && tool->toolButtonStyle() == Qt::ToolButtonIconOnly))
            continue; // an icon-only toolbar has its texts in the tool tips
        const int box = qobject_cast<const QCheckBox*>(b) ? b->style()->pixelMetric(QStyle::PM_IndicatorWidth) + 4 : 0;
        QVERIFY2(b->fontMetrics().horizontalAdvance(text) <= b->width() - box - (b->icon().isNull() ? 0 : b->iconSize().width()),
                 qPrintable(text));
    }
    for (const QToolBar* bar : top->findChildren<QToolBar*>()) {
        for (QAction* a : bar->actions())
            QVERIFY2(!bar->isVisible() || bar->widgetForAction(a)->isVisible(), qPrintable(a->text()));
    }
    for (const QHeaderView* h : top->findChildren<QHeaderView*>()) {
        for (int i = 0; h->isVisible() && h->orientation() == Qt::Horizontal && i < h->count(); ++i) {
            const QString text = h->model()->headerData(i, Qt::Horizontal).toString();
            QVERIFY2(h->isSectionHidden(i) || h->fontMetrics().horizontalAdvance(text) <= h->sectionSize(i), qPrintable(text));
        }
    }
}

void tst_DesktopFit::keys_data()
{
    QTest::addColumn<int>("page");
    QTest::addColumn<QKeySequence>("key");
    QTest::addColumn<QString>("modalText");
    QTest::addColumn<KeyCheck>("done");
    for (int i = 0; i < 4; ++i)
        QTest::addRow("Ctrl+%d", i + 1) << (3 - i) << QKeySequence(Qt::CTRL | (Qt::Key_1 + i)) << QString()
                                        << KeyCheck([i](vxaWindow& w) { return toolBox(w)->currentIndex() == i; });
    QTest::newRow("Ctrl+N") << 2 << QKeySequence(Qt::CTRL | Qt::Key_N) << QString() << KeyCheck([](vxaWindow& w) {
        return w.findChildren<QComboBox*>(QStringLiteral("choose_protocol")).size() == 2;
    });
    const KeyCheck stillOpen = [](vxaWindow& w) { return w.isVisible(); };
    QTest::newRow("Ctrl+Q asks") << 0 << QKeySequence(Qt::CTRL | Qt::Key_Q) << "quit system" << stillOpen;
    QTest::newRow("F1") << 0 << QKeySequence(Qt::Key_F1) << "example.com" << stillOpen;
    // The closed device's notice shows that the send button was pressed.
    QTest::newRow("Ctrl+Return") << 2 << QKeySequence(Qt::CTRL | Qt::Key_Return) << "" << KeyCheck([](vxaWindow& w) {
        return !w.findChildren<QPlainTextEdit*>(QStringLiteral("send_text")).last()->toPlainText().contains(QLatin1Char('\n'));
    });
}

// Each key does its work, and a menu or a tool tip shows it.
void tst_DesktopFit::keys()
{
    QFETCH(int, page);
    QFETCH(QKeySequence, key);
    QFETCH(QString, modalText);
    QFETCH(KeyCheck, done);
    TempAppDir appDir;
    vxaWindow w;
    addPanel(w, 3);
    w.findChildren<QPushButton*>(QStringLiteral("btn_send")).last()->setEnabled(true);
    toolBox(w)->setCurrentIndex(page);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QApplication::setActiveWindow(&w);
    w.findChildren<QPlainTextEdit*>(QStringLiteral("send_text")).last()->setFocus();

    bool shown = false;
    for (const QAction* a : w.findChildren<QAction*>())
        shown = shown || (!a->associatedWidgets().isEmpty() && a->shortcut() == key)
                || a->toolTip().contains(key.toString(QKeySequence::NativeText));
    for (const QWidget* b : w.findChildren<QPushButton*>(QStringLiteral("btn_send")))
        shown = shown || b->toolTip().contains(key.toString(QKeySequence::NativeText));
    QVERIFY(shown);

    auto said = std::make_shared<QString>();
    if (!modalText.isNull())
        testutil::answerNextModal(QStringLiteral("&No"), [said](QWidget* box) { *said = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))->text(); });
    QTest::keySequence(QApplication::focusWidget(), key);
    QTRY_VERIFY(done(w));
    if (!modalText.isNull())
        QTRY_VERIFY2(said->contains(modalText), qPrintable(*said));
    QTRY_VERIFY(!QApplication::activeModalWidget());
}

// Open, Close and Send act on the selected panels: with none they are disabled.
void tst_DesktopFit::controlsNeedAPanel()
{
    TempAppDir appDir;
    vxaWindow w;
    plugUartNetManager* tree = assistTree(w);
    auto enabled = [tree]() { return tree->openAction->isEnabled() + tree->closeAction->isEnabled() + tree->sendAction->isEnabled(); };
    QCOMPARE(enabled(), 0);
    addPanel(w, 3);
    QCOMPARE(enabled(), 3); // the new panel is the current one
    tree->clearSelection();
    QCOMPARE(enabled(), 0);
    tree->topLevelItem(0)->setSelected(true);
    QCOMPARE(enabled(), 3);
    tree->deleteAction->trigger();
    QCOMPARE(enabled(), 0);
}

QTEST_MAIN(tst_DesktopFit)
#include "tst_desktopfit.moc"
