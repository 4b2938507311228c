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
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QStackedWidget>
#include <QStandardItemModel>
#include <QStatusBar>
#include <QTableView>
#include <QToolBar>
#include <QToolBox>
#include <QToolButton>
#include <QtTest>

#include <functional>

using desktoputil::ScopedLook;
using testutil::TempAppDir;

namespace {

using Colours = QPair<QColor, QColor>; // text, background
using ColourProbe = std::function<Colours()>;
using KeyCheck = std::function<bool(vxaWindow&, const QKeySequence&)>;

QToolBox* toolBox(vxaWindow& w)
{
    return w.findChild<QToolBox*>(QStringLiteral("toolBox"));
}
plugUartNetManager* assistTree(vxaWindow& w)
{
    return qobject_cast<plugUartNetManager*>(toolBox(w)->widget(2));
}
int assistPanels(vxaWindow& w)
{
    return w.findChildren<QComboBox*>(QStringLiteral("choose_protocol")).size();
}

// A new assistant panel of the given kind (0 COM ... 3 UDP), shown.
QWidget* addPanel(vxaWindow& w, int kind)
{
    assistTree(w)->newAction->trigger();
    auto* tools = w.findChild<QStackedWidget*>(QStringLiteral("stackedWidget"));
    QWidget* panel = qobject_cast<QStackedWidget*>(tools->widget(2))->currentWidget();
    panel->findChild<QComboBox*>(QStringLiteral("choose_protocol"))->setCurrentIndex(kind);
    return panel;
}

Colours paletteColours(const QWidget* w, QPalette::ColorRole text, QPalette::ColorRole background)
{
    const_cast<QWidget*>(w)->ensurePolished();
    return {w->palette().color(text), w->palette().color(background)};
}

// A button's text, without the mnemonic marker, and the width it has for it.
QPair<QString, int> buttonText(const QAbstractButton* b)
{
    QString text = b->text();
    text.remove(QLatin1Char('&'));
    int room = b->width();
    if (qobject_cast<const QCheckBox*>(b))
        room -= b->style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, b)
                + b->style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, b);
    else if (!b->icon().isNull())
        room -= b->iconSize().width();
    return {text, room};
}

} // namespace

Q_DECLARE_METATYPE(ColourProbe)
Q_DECLARE_METATYPE(KeyCheck)

class tst_DesktopFit : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void smallScreen_data();
    void smallScreen();
    void fitIntoArea_data();
    void fitIntoArea();
    void rememberedSizeFitsScreen();
    void darkPaletteContrast_data();
    void darkPaletteContrast();
    void largerFontFits_data();
    void largerFontFits();
    void keys_data();
    void keys();
    void controlsNeedAPanel();
};

void tst_DesktopFit::initTestCase()
{
    Q_INIT_RESOURCE(vxa);
}

void tst_DesktopFit::smallScreen_data()
{
    QTest::addColumn<int>("page");
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("panels");
    const char* const pages[] = {"IP Manager", "VCOM", "assistant", "debug"};
    const char* const kinds[] = {"COM", "TCP server", "TCP client", "UDP"};
    for (int page = 0; page < 4; ++page) {
        for (int kind = 0; kind < 4; ++kind) {
            for (int panels : {1, 3}) {
                if (panels == 3 && page != 2)
                    continue;
                QTest::addRow("%s, %d %s", pages[page], panels, kinds[kind]) << page << kind << panels;
            }
        }
    }
}

// At 1024x700 (a 1366x768 screen less its panels and the frame) every button and
// label is on the window or in a scroll area that reaches it.
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
    QVERIFY2(w.minimumSizeHint().boundedTo(small) == w.minimumSizeHint(),
             qPrintable(QStringLiteral("minimum %1x%2").arg(w.minimumSizeHint().width()).arg(w.minimumSizeHint().height())));
    w.resize(small);
    QTRY_COMPARE(w.size(), small);
    const auto widgets = w.findChildren<QWidget*>();
    for (QWidget* b : widgets) {
        if (!b->isVisibleTo(&w) || !(qobject_cast<QAbstractButton*>(b) || qobject_cast<QLabel*>(b)))
            continue;
        bool scrolls = false;
        for (QWidget* p = b->parentWidget(); p && !scrolls; p = p->parentWidget())
            scrolls = qobject_cast<QScrollArea*>(p) != nullptr;
        const QRect at(b->mapTo(&w, QPoint(0, 0)), b->size());
        QVERIFY2(scrolls || w.rect().contains(at), qPrintable(b->objectName()));
    }
}

void tst_DesktopFit::fitIntoArea_data()
{
    QTest::addColumn<QRect>("frame");
    QTest::addColumn<QRect>("client");
    QTest::addColumn<QRect>("area");
    QTest::addColumn<QRect>("fitted");
    const QRect laptop(0, 0, 1366, 740); // 1366x768 less a 28-pixel panel
    QTest::newRow("fits") << QRect(100, 70, 939, 672) << QRect(100, 100, 939, 642) << laptop
                          << QRect(100, 100, 939, 642);
    QTest::newRow("too tall") << QRect(100, 0, 760, 1035) << QRect(100, 30, 760, 1005) << laptop
                              << QRect(100, 30, 760, 710);
    QTest::newRow("too big, off to the right") << QRect(900, 200, 1600, 1230) << QRect(900, 230, 1600, 1200)
                                               << laptop << QRect(0, 30, 1366, 710);
    QTest::newRow("no frame known") << QRect(0, 0, 1400, 800) << QRect(0, 0, 1400, 800) << laptop
                                    << QRect(0, 0, 1366, 740);
    QTest::newRow("second screen") << QRect(1500, 0, 1366, 900) << QRect(1500, 30, 1366, 870)
                                   << QRect(1366, 0, 1366, 768) << QRect(1366, 30, 1366, 738);
}

void tst_DesktopFit::fitIntoArea()
{
    QFETCH(QRect, frame);
    QFETCH(QRect, client);
    QFETCH(QRect, area);
    QFETCH(QRect, fitted);
    QCOMPARE(::fitIntoArea(frame, client, area), fitted);
}

// A size remembered on a bigger screen comes back no larger than this screen's free area.
void tst_DesktopFit::rememberedSizeFitsScreen()
{
    TempAppDir appDir;
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    {
        QWidget big;
        big.setGeometry(available.adjusted(0, 0, 600, 500));
        WindowSettings s;
        s.geometry = big.saveGeometry();
        QVERIFY(s.write(appDir.filePath(QStringLiteral("config/system.ini"))));
    }
    vxaWindow w;
    const QSize expected = available.size().expandedTo(w.minimumSizeHint());
    QVERIFY(w.width() <= expected.width() && w.height() <= expected.height());
    QVERIFY(w.width() < available.width() + 600);
}

void tst_DesktopFit::darkPaletteContrast_data()
{
    QTest::addColumn<ColourProbe>("probe");
    QTest::addColumn<QColor>("lightText"); // as on a light desktop before; invalid: the palette's

    auto debugRow = [](int row) {
        return [row]() {
            winDebug win;
            auto* table = win.findChild<QTableView*>(QStringLiteral("tableView"));
            for (int i = 0; i <= row; ++i) {
                Command c;
                c.index = i;
                c.time = QDateTime::currentDateTime();
                c.type = QStringLiteral("REQUEST");
                win.doUpdateFrame(c);
            }
            const QModelIndex index = table->model()->index(row, 0);
            return Colours(index.data(Qt::ForegroundRole).value<QBrush>().color(),
                           index.data(Qt::BackgroundRole).value<QBrush>().color());
        };
    };
    QTest::newRow("debug table, white row") << ColourProbe(debugRow(0)) << QColor(Qt::black);
    QTest::newRow("debug table, grey row") << ColourProbe(debugRow(1)) << QColor(Qt::black);
    QTest::newRow("debug table, selected row") << ColourProbe([]() {
        winDebug win;
        return paletteColours(win.findChild<QTableView*>(QStringLiteral("tableView")), QPalette::HighlightedText,
                              QPalette::Highlight);
    }) << QColor(Qt::black); // blue on blue before, unreadable on any desktop
    QTest::newRow("data monitor") << ColourProbe([]() {
        DataMonitor monitor;
        return paletteColours(monitor.findChild<QTableView*>(), QPalette::Text, QPalette::Base);
    }) << QColor(Qt::black);
    QTest::newRow("web address") << ColourProbe([]() {
        TempAppDir appDir;
        vxaWindow w;
        const Colours c = paletteColours(w.findChild<QPushButton*>(QStringLiteral("makerLinkButton")),
                                         QPalette::ButtonText, QPalette::Window);
        return Colours(c.first, w.statusBar()->palette().color(QPalette::Window));
    }) << QColor(Qt::black);
    auto panelRow = [](const char* name, QPalette::ColorRole text, QPalette::ColorRole background) {
        return [=]() {
            TempAppDir appDir;
            vxaWindow w;
            QWidget* panel = addPanel(w, 1);
            return paletteColours(panel->findChild<QWidget*>(QLatin1String(name)), text, background);
        };
    };
    QTest::newRow("remote address bar") << ColourProbe(panelRow("label_name", QPalette::WindowText, QPalette::Window))
                                        << QColor(Qt::black);
    QTest::newRow("send button") << ColourProbe(panelRow("btn_send", QPalette::ButtonText, QPalette::Button))
                                 << QColor(0, 116, 0);
    QTest::newRow("device console title") << ColourProbe([]() {
        TempAppDir appDir;
        vxaWindow w;
        return paletteColours(w.findChild<QLabel*>(QStringLiteral("labelDeviceInfo")), QPalette::WindowText,
                              QPalette::Window);
    }) << QColor(Qt::black);
    for (const QColor& status : {QColor(Qt::darkGreen), QColor(Qt::red), QColor(200, 0, 0), QColor(0, 116, 0)}) {
        QTest::addRow("status text %s", qPrintable(status.name())) << ColourProbe([status]() {
            const QPalette p = QApplication::palette();
            return Colours(desktopfit::statusColour(status, p), p.color(QPalette::Base));
        }) << status;
    }
}

void tst_DesktopFit::darkPaletteContrast()
{
    QFETCH(ColourProbe, probe);
    QFETCH(QColor, lightText);
    {
        ScopedLook light(false);
        const Colours c = probe();
        if (lightText.isValid())
            QCOMPARE(c.first, lightText);
    }
    ScopedLook dark(true);
    const Colours c = probe();
    const double ratio = desktopfit::contrastRatio(c.first, c.second);
    QVERIFY2(ratio >= 4.5, qPrintable(QStringLiteral("%1 on %2: %3:1").arg(c.first.name(), c.second.name()).arg(ratio)));
}

void tst_DesktopFit::largerFontFits_data()
{
    QTest::addColumn<int>("page");
    QTest::newRow("IP Manager") << 0;
    QTest::newRow("VCOM") << 1;
    QTest::newRow("assistant") << 2;
    QTest::newRow("debug window") << 3;
    QTest::newRow("data monitor") << 4;
}

// With the application font at 1.5 times its size no button or column title is cut.
void tst_DesktopFit::largerFontFits()
{
    QFETCH(int, page);
    ScopedLook look(false, 1.5);
    TempAppDir appDir;
    std::unique_ptr<QWidget> top;
    if (page < 3) {
        auto* w = new vxaWindow;
        top.reset(w);
        addPanel(*w, 0);
        toolBox(*w)->setCurrentIndex(page);
    } else if (page == 3) {
        top.reset(new winDebug);
    } else {
        top.reset(new DataMonitor);
    }
    top->resize(1366, 768);
    top->show();
    QVERIFY(QTest::qWaitForWindowExposed(top.get()));
    const auto buttons = top->findChildren<QAbstractButton*>();
    for (const QAbstractButton* b : buttons) {
        const QPair<QString, int> t = buttonText(b);
        auto* tool = qobject_cast<const QToolButton*>(b);
        if (!b->isVisible() || t.first.isEmpty() || (tool && tool->toolButtonStyle() == Qt::ToolButtonIconOnly))
            continue; // an icon-only toolbar shows its texts in the tool tips
        QVERIFY2(b->fontMetrics().horizontalAdvance(t.first) <= t.second, qPrintable(b->objectName() + t.first));
    }
    // No toolbar action is pushed behind the overflow button.
    const auto bars = top->findChildren<QToolBar*>();
    for (const QToolBar* bar : bars) {
        const auto actions = bar->actions();
        for (QAction* a : actions)
            QVERIFY2(!bar->isVisible() || bar->widgetForAction(a)->isVisible(), qPrintable(a->text()));
    }
    const auto headers = top->findChildren<QHeaderView*>();
    for (const QHeaderView* h : headers) {
        if (!h->isVisible() || h->orientation() != Qt::Horizontal || !h->model())
            continue;
        for (int i = 0; i < h->count(); ++i) {
            const QString text = h->model()->headerData(i, Qt::Horizontal).toString();
            if (!h->isSectionHidden(i))
                QVERIFY2(h->fontMetrics().horizontalAdvance(text) <= h->sectionSize(i), qPrintable(text));
        }
    }
}

void tst_DesktopFit::keys_data()
{
    QTest::addColumn<int>("page");
    QTest::addColumn<QKeySequence>("key");
    QTest::addColumn<KeyCheck>("pressAndCheck");

    for (int i = 0; i < 4; ++i) {
        QTest::addRow("Ctrl+%d", i + 1) << (3 - i) << QKeySequence(Qt::CTRL | (Qt::Key_1 + i))
                                        << KeyCheck([i](vxaWindow& w, const QKeySequence& key) {
                                               QTest::keySequence(&w, key);
                                               return toolBox(w)->currentIndex() == i;
                                           });
    }
    QTest::newRow("Ctrl+N, assistant") << 2 << QKeySequence(Qt::CTRL | Qt::Key_N)
                                       << KeyCheck([](vxaWindow& w, const QKeySequence& key) {
                                              QTest::keySequence(&w, key);
                                              return QTest::qWaitFor([&w]() { return assistPanels(w) == 2; });
                                          });
    auto boxSays = [](const QString& button, const QString& text) {
        return [=](vxaWindow& w, const QKeySequence& key) {
            auto said = std::make_shared<QString>();
            testutil::answerNextModal(button, [said](QWidget* box) {
                if (auto* m = qobject_cast<QMessageBox*>(box))
                    *said = m->text();
            });
            QTest::keySequence(&w, key);
            return QTest::qWaitFor([said]() { return !said->isEmpty(); }) && said->contains(text) && w.isVisible();
        };
    };
    QTest::newRow("Ctrl+Q asks first") << 0 << QKeySequence(Qt::CTRL | Qt::Key_Q)
                                       << KeyCheck(boxSays(QStringLiteral("&No"), QStringLiteral("quit system")));
    QTest::newRow("F1, About") << 0 << QKeySequence(Qt::Key_F1)
                               << KeyCheck(boxSays(QStringLiteral("OK"), QStringLiteral("example.com")));
    QTest::newRow("Ctrl+Return sends") << 2 << QKeySequence(Qt::CTRL | Qt::Key_Return)
                                       << KeyCheck([](vxaWindow& w, const QKeySequence&) {
                                              auto* send = w.findChildren<QPushButton*>(QStringLiteral("btn_send")).last();
                                              auto* box = w.findChildren<QPlainTextEdit*>(QStringLiteral("send_text")).last();
                                              send->setEnabled(true); // the closed device's notice answered below
                                              QSignalSpy clicked(send, &QPushButton::clicked);
                                              testutil::answerNextModal(QStringLiteral("OK"));
                                              box->setFocus();
                                              QTest::keyClick(box, Qt::Key_Return, Qt::ControlModifier);
                                              return clicked.count() == 1 && !box->toPlainText().contains(QLatin1Char('\n'))
                                                     && send->toolTip().contains(QStringLiteral("Ctrl+Return"));
                                          });
}

// Each key does its work, and a menu or a tool tip shows it.
void tst_DesktopFit::keys()
{
    QFETCH(int, page);
    QFETCH(QKeySequence, key);
    QFETCH(KeyCheck, pressAndCheck);
    TempAppDir appDir;
    vxaWindow w;
    addPanel(w, 3);
    toolBox(w)->setCurrentIndex(page);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QApplication::setActiveWindow(&w);

    const QString keyText = key.toString(QKeySequence::NativeText);
    bool shown = key == QKeySequence(Qt::CTRL | Qt::Key_Return); // in the send button's tool tip
    const auto actions = w.findChildren<QAction*>();
    for (const QAction* a : actions) {
        const bool inMenu = !a->associatedWidgets().isEmpty() && a->shortcut() == key;
        shown = shown || inMenu || a->toolTip().contains(keyText);
    }
    QVERIFY2(shown, qPrintable(keyText));
    QVERIFY(pressAndCheck(w, key));
    QTRY_VERIFY(!QApplication::activeModalWidget());
}

// Open, Close and Send act on the selected panels: with none they are disabled.
void tst_DesktopFit::controlsNeedAPanel()
{
    TempAppDir appDir;
    vxaWindow w;
    plugUartNetManager* tree = assistTree(w);
    auto enabled = [tree]() {
        return tree->openAction->isEnabled() + tree->closeAction->isEnabled() + tree->sendAction->isEnabled();
    };
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
