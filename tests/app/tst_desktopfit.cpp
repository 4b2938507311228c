// The window on an ordinary laptop: 1366x768, a dark palette, a larger font, the keyboard.

#include "DataMonitor.h"
#include "desktopfit.h"
#include "desktoputil.h"
#include "plugUartNetManager.h"
#include "testutil.h"
#include "vxaWindow.h"
#include "winDebug.h"
#include "windowsettings.h"

#include <QtTest>
#include <QtWidgets>

using testutil::TempAppDir;
using desktoputil::scopedLook;

namespace {

QToolBox* toolBox(QWidget& w)
{
    return w.findChild<QToolBox*>(QStringLiteral("toolBox"));
}
template <typename T>
T* last(QWidget& w, const char* name)
{
    return w.findChildren<T*>(QLatin1String(name)).last();
}
// The main window with assistant panels of a kind (0 COM ... 3 UDP), showing a tool.
void fill(vxaWindow& w, int panels, int kind, int page)
{
    for (int i = 0; i < panels; ++i) {
        w.findChild<plugUartNetManager*>()->newAction->trigger();
        last<QComboBox>(w, "choose_protocol")->setCurrentIndex(kind);
    }
    toolBox(w)->setCurrentIndex(page);
}

// Text and background of a widget as painted (its palette once its style sheet applies);
// "row0"/"row1" are debug table rows.
QPair<QColor, QColor> painted(const QString& name, int text, int background)
{
    TempAppDir appDir;
    vxaWindow w;
    fill(w, 1, 1, 0);
    winDebug debug;
    DataMonitor monitor;
    for (int i : {0, 1})
        debug.doUpdateFrame(Command{i, QDateTime::currentDateTime(), 0, QStringLiteral("A"), {}, {}, {}, {}});
    const QModelIndex cell = debug.findChild<QTableView*>()->model()->index(name.right(1).toInt(), 0);
    if (name.startsWith(QLatin1String("row")))
        return {cell.data(Qt::ForegroundRole).value<QBrush>().color(), cell.data(Qt::BackgroundRole).value<QBrush>().color()};
    QWidget* found = nullptr;
    for (QWidget* top : std::initializer_list<QWidget*>{&monitor, &debug, &w}) // the monitor's table first
        found = found ? found : top->findChild<QWidget*>(name);
    found->ensurePolished();
    return {found->palette().color(QPalette::ColorRole(text)), found->palette().color(QPalette::ColorRole(background))};
}

} // namespace

class tst_DesktopFit : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { Q_INIT_RESOURCE(vxa); }

    void fits_data()
    {
        QTest::addColumn<int>("page"); // 4: a debug window, 5: a data monitor
        QTest::addColumn<int>("kind");
        for (int page = 0; page < 6; ++page) {
            for (int kind = 0; kind < (page < 4 ? 4 : 1); ++kind)
                QTest::addRow("page %d, panel kind %d", page, kind) << page << kind;
        }
    }
    // At 1024x700 (1366x768 less a panel and the frame) every button and label is on the
    // window or in a scroll area, with three assistant panels on the assistant's page. With
    // the font 1.5 times larger no button, toolbar action or column title is cut (an
    // icon-only toolbar has its texts in the tool tips).
    void fits()
    {
        QFETCH(int, page);
        QFETCH(int, kind);
        TempAppDir appDir;
        for (qreal scale : {1.0, 1.5}) {
            const auto look = scopedLook(false, scale);
            std::unique_ptr<QWidget> top(page == 4 ? new winDebug : page == 5 ? static_cast<QWidget*>(new DataMonitor) : nullptr);
            if (!top) {
                top.reset(new vxaWindow);
                fill(static_cast<vxaWindow&>(*top), page == 2 ? 3 : 1, kind, page);
            }
            const QSize size = scale > 1 ? QSize(1366, 768) : QSize(1024, 700);
            QCOMPARE(top->minimumSizeHint().boundedTo(scale > 1 ? top->minimumSizeHint() : size), top->minimumSizeHint());
            top->resize(size);
            top->show();
            QVERIFY(QTest::qWaitForWindowExposed(top.get()));
            QTRY_VERIFY(scale > 1 || top->size() == size);
            for (QWidget* c : top->findChildren<QWidget*>()) {
                bool ok = scale > 1 || !c->isVisible() || !(qobject_cast<QAbstractButton*>(c) || qobject_cast<QLabel*>(c))
                          || top->rect().contains(QRect(c->mapTo(top.get(), QPoint()), c->size()));
                for (QWidget* p = c->parentWidget(); p && !ok; p = p->parentWidget())
                    ok = qobject_cast<QScrollArea*>(p);
                // A button's size hint is its text's advance plus its icon, box and margins.
                auto* b = qobject_cast<QAbstractButton*>(c);
                if (scale > 1 && b && b->isVisible() && !b->text().isEmpty())
                    ok = b->width() >= b->sizeHint().width();
                if (auto* bar = qobject_cast<QToolBar*>(c->parentWidget()); bar && scale > 1 && bar->isVisible())
                    ok = ok && (c->isVisible() || c->objectName() == QLatin1String("qt_toolbar_ext_button"));
                QVERIFY2(ok, qPrintable(c->objectName() + (b ? b->text() : QString())));
            }
            for (QHeaderView* h : top->findChildren<QHeaderView*>()) {
                for (int i = 0; scale > 1 && h->isVisible() && h->orientation() == Qt::Horizontal && i < h->count(); ++i) {
                    const QString title = h->model()->headerData(i, Qt::Horizontal).toString();
                    QVERIFY2(h->isSectionHidden(i) || h->fontMetrics().horizontalAdvance(title) <= h->sectionSize(i), qPrintable(title));
                }
            }
        }
    }

    // A size remembered on a bigger screen comes back no larger than this screen's free
    // area (or the window's minimum, if larger), its frame kept on the screen.
    void rememberedSize()
    {
        const QRect laptop(0, 0, 1366, 740), frame(9, 0, 1966, 1240);
        QCOMPARE(fitIntoArea(frame, frame.adjusted(0, 30, 0, 0), laptop), QRect(0, 30, 1366, 710));
        TempAppDir appDir;
        const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
        QWidget big;
        big.setGeometry(available.adjusted(0, 0, 600, 500));
        WindowSettings s;
        s.geometry = big.saveGeometry();
        QVERIFY(s.write(appDir.filePath(QStringLiteral("config/system.ini"))));
        vxaWindow w;
        QCOMPARE(w.size().boundedTo(available.size().expandedTo(w.minimumSizeHint())), w.size());
    }

    void darkPalette_data()
    {
        QTest::addColumn<QString>("name"); // empty: a status colour on the palette's base
        QTest::addColumn<int>("text");
        QTest::addColumn<int>("background");
        QTest::addColumn<QColor>("lightText"); // as before on a light desktop
        const QColor black(Qt::black);
        QTest::newRow("debug, white row") << "row0" << 0 << 0 << black;
        QTest::newRow("debug, grey row") << "row1" << 0 << 0 << black;
        QTest::newRow("debug, selection (was blue on blue)") << "tableView" << int(QPalette::HighlightedText) << int(QPalette::Highlight) << black;
        QTest::newRow("data monitor") << "tableWidget" << int(QPalette::Text) << int(QPalette::Base) << black;
        QTest::newRow("web address") << "makerLinkButton" << int(QPalette::ButtonText) << int(QPalette::Window) << black;
        QTest::newRow("remote address bar") << "label_name" << int(QPalette::WindowText) << int(QPalette::Window) << black;
        QTest::newRow("send button") << "btn_send" << int(QPalette::ButtonText) << int(QPalette::Button) << QColor(0, 116, 0);
        QTest::newRow("device console") << "labelDeviceInfo" << int(QPalette::WindowText) << int(QPalette::Window) << black;
        for (const QColor& c : {QColor(Qt::darkGreen), QColor(Qt::red), QColor(200, 0, 0)})
            QTest::addRow("status %s", qPrintable(c.name())) << QString() << 0 << 0 << c;
    }
    // Colours the program sets read at 4.5:1 on a dark palette and stay as they were on a light one.
    void darkPalette()
    {
        QFETCH(QString, name);
        QFETCH(int, text);
        QFETCH(int, background);
        QFETCH(QColor, lightText);
        for (bool dark : {false, true}) {
            const auto look = scopedLook(dark);
            const QPalette p = QApplication::palette();
            const auto c = name.isEmpty() ? qMakePair(desktopfit::statusColour(lightText, p), p.color(QPalette::Base))
                                          : painted(name, text, background);
            QVERIFY(dark || c.first == lightText);
            QVERIFY2(!dark || desktopfit::contrastRatio(c.first, c.second) >= 4.5, qPrintable(c.first.name() + c.second.name()));
        }
    }

    void keys_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<QKeySequence>("key");
        QTest::addColumn<QString>("boxText"); // null: no box expected
        QTest::addColumn<int>("toolShown");
        for (int i = 0; i < 4; ++i)
            QTest::addRow("Ctrl+%d", i + 1) << 3 - i << QKeySequence(Qt::CTRL | (Qt::Key_1 + i)) << QString() << i;
        QTest::newRow("Ctrl+N, a second panel") << 2 << QKeySequence(Qt::CTRL | Qt::Key_N) << QString() << 2;
        QTest::newRow("Ctrl+Q asks") << 0 << QKeySequence(Qt::CTRL | Qt::Key_Q) << "quit system" << 0;
        QTest::newRow("F1") << 0 << QKeySequence(Qt::Key_F1) << "example.com" << 0;
        // Send pressed with the device closed: the panel's notice.
        QTest::newRow("Ctrl+Return") << 2 << QKeySequence(Qt::CTRL | Qt::Key_Return) << "" << 2;
    }
    // Each key does its work, and a menu or a tool tip shows it.
    void keys()
    {
        QFETCH(int, page);
        QFETCH(QKeySequence, key);
        QFETCH(QString, boxText);
        QFETCH(int, toolShown);
        TempAppDir appDir;
        vxaWindow w;
        fill(w, 1, 3, page);
        last<QPushButton>(w, "btn_send")->setEnabled(true);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QApplication::setActiveWindow(&w);
        last<QPlainTextEdit>(w, "send_text")->setFocus();
        const QString keyText = key.toString(QKeySequence::NativeText);
        bool shown = last<QPushButton>(w, "btn_send")->toolTip().contains(keyText);
        for (const QAction* a : w.findChildren<QAction*>())
            shown = shown || (!a->associatedWidgets().isEmpty() && a->shortcut() == key) || a->toolTip().contains(keyText);
        QVERIFY(shown);

        auto said = std::make_shared<QString>();
        if (!boxText.isNull())
            testutil::answerNextModal(QStringLiteral("&No"), [said](QWidget* box) { *said = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))->text(); });
        QTest::keySequence(QApplication::focusWidget(), key);
        QTRY_COMPARE(toolBox(w)->currentIndex(), toolShown);
        QTRY_COMPARE(w.findChildren<QComboBox*>(QStringLiteral("choose_protocol")).size(), key == QKeySequence(Qt::CTRL | Qt::Key_N) ? 2 : 1);
        QTRY_VERIFY2(boxText.isNull() || (!said->isEmpty() && said->contains(boxText)), qPrintable(*said));
        QTRY_VERIFY(!QApplication::activeModalWidget());
        QVERIFY(w.isVisible() && !last<QPlainTextEdit>(w, "send_text")->toPlainText().contains(QLatin1Char('\n')));
    }

    // Open, Close and Send act on the selected panels: with none they are disabled.
    void controlsNeedAPanel()
    {
        TempAppDir appDir;
        vxaWindow w;
        auto* tree = w.findChild<plugUartNetManager*>();
        auto enabled = [tree]() { return tree->openAction->isEnabled() + tree->closeAction->isEnabled() + tree->sendAction->isEnabled(); };
        const int none = enabled();
        fill(w, 1, 3, 2);
        const int made = enabled(); // the new panel is the current one
        tree->clearSelection();
        const int cleared = enabled();
        tree->topLevelItem(0)->setSelected(true);
        const int selected = enabled();
        tree->deleteAction->trigger();
        QCOMPARE(QList<int>({none, made, cleared, selected, enabled()}), QList<int>({0, 3, 0, 3, 0}));
    }
};

QTEST_MAIN(tst_DesktopFit)
#include "tst_desktopfit.moc"
