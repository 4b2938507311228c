// The tools as a newcomer meets them: hints in empty trees, Insert and double-click
// creating the first node, the central stand-in for an empty tool, the toolbars.

#include "CDeviceListManager.h"
#include "IPManager.h"
#include "VSPConnectionMsg.h"
#include "emptystate.h"
#include "plugMDData.h"
#include "plugMDManager.h"
#include "plugUartNetData.h"
#include "plugUartNetManager.h"
#include "plugVComData.h"
#include "plugVComManager.h"
#include "statusmessages.h"
#include "testutil.h"
#include "vcomtestutil.h"
#include "vxaWindow.h"

#include <QComboBox>
#include <QMenu>
#include <QPushButton>
#include <QStackedWidget>
#include <QStatusBar>
#include <QToolBar>
#include <QToolBox>
#include <QtTest>

#include <memory>

namespace {

enum TreeKind { Assistant, Vcom, Debug, Devices };

// A tool tree on its own, with a way to give it one node.
struct Tree
{
    std::unique_ptr<QTreeWidget> view;
    std::function<void()> addNode;
};

Tree makeTree(TreeKind kind)
{
    Tree t;
    switch (kind) {
    case Assistant: {
        auto* m = new plugUartNetManager;
        t.view.reset(m);
        t.addNode = [m]() { m->newNode(1); };
        break;
    }
    case Vcom: {
        auto* m = new plugVComManager;
        t.view.reset(m);
        t.addNode = [m]() {
            VSP_CONNECTION_PARAMS p;
            p.name = QStringLiteral("ttyS1 - ttyS2");
            p.com_name1 = QStringLiteral("ttyS1");
            p.com_name2 = QStringLiteral("ttyS2");
            m->newNode(CONNECTION_PAIR, p, 1);
        };
        break;
    }
    case Debug: {
        auto* m = new plugMDManager;
        t.view.reset(m);
        t.addNode = [m]() { m->newNode(QStringLiteral("127.0.0.1"), 0); };
        break;
    }
    case Devices: {
        auto* m = new CDeviceListManager;
        t.view.reset(m);
        t.addNode = [m]() { m->AddDeviceMsg(QStringLiteral("198.18.0.2"), QStringLiteral("dev")); };
        break;
    }
    }
    return t;
}

// Pixels that differ from the background in a band across the middle of the viewport,
// where the hint is drawn and where no node of a short tree ever is.
int middleInk(QAbstractItemView* view)
{
    const QImage image = view->viewport()->grab().toImage();
    const QRgb background = image.pixel(2, image.height() - 3);
    int ink = 0;
    for (int y = image.height() / 2 - 30; y < image.height() / 2 + 30; ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) != background)
                ++ink;
        }
    }
    return ink;
}

QToolBox* toolBox(vxaWindow& w)
{
    return w.findChild<QToolBox*>(QStringLiteral("toolBox"));
}

} // namespace

class tst_ToolChrome : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void hintFollowsNodes_data();
    void hintFollowsNodes();
    void insertCreatesNode_data();
    void insertCreatesNode();
    void doubleClickOnEmptyAreaOnly();
    void vcomInsertCreatesNode();
    void emptyToolPanel();
    void toolBarsShareActions();
    void statusMessagesShown();
};

void tst_ToolChrome::initTestCase()
{
    Q_INIT_RESOURCE(vxa);
}

void tst_ToolChrome::hintFollowsNodes_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("hasAction");
    QTest::newRow("assistant") << int(Assistant) << true;
    QTest::newRow("vcom") << int(Vcom) << true;
    QTest::newRow("message debug") << int(Debug) << true;
    QTest::newRow("ip manager devices") << int(Devices) << false;
}

void tst_ToolChrome::hintFollowsNodes()
{
    QFETCH(int, kind);
    QFETCH(bool, hasAction);
    Tree t = makeTree(TreeKind(kind));
    t.view->resize(240, 320);
    t.view->show();
    QVERIFY(QTest::qWaitForWindowExposed(t.view.get()));

    EmptyStateHint* hint = EmptyStateHint::of(t.view.get());
    QVERIFY(hint);
    QVERIFY(!hint->text().isEmpty());
    QCOMPARE(hint->action() != nullptr, hasAction);
    QVERIFY(hint->isEmpty());
    QVERIFY2(middleInk(t.view.get()) > 50, "no hint painted in the empty tree");

    QSignalSpy changed(hint, &EmptyStateHint::emptyChanged);
    QVERIFY(changed.isValid());
    t.addNode();
    QVERIFY(!hint->isEmpty());
    QCOMPARE(changed.count(), 1);
    QCOMPARE(middleInk(t.view.get()), 0);

    delete t.view->topLevelItem(0);
    QVERIFY(hint->isEmpty());
    QCOMPARE(changed.count(), 2);
    QVERIFY(middleInk(t.view.get()) > 50);
}

void tst_ToolChrome::insertCreatesNode_data()
{
    QTest::addColumn<int>("kind");
    QTest::newRow("assistant") << int(Assistant);
    QTest::newRow("message debug") << int(Debug);
}

void tst_ToolChrome::insertCreatesNode()
{
    QFETCH(int, kind);
    testutil::TempAppDir app;
    std::unique_ptr<QObject> tool;
    QTreeWidget* tree = nullptr;
    if (kind == Assistant) {
        auto* t = new plugUartNetData;
        tool.reset(t);
        tree = qobject_cast<QTreeWidget*>(t->GetManagerWidget());
    } else {
        auto* t = new plugMDData;
        tool.reset(t);
        tree = qobject_cast<QTreeWidget*>(t->GetManagerWidget());
        testutil::answerNextModal(QStringLiteral("OK"), [](QWidget* dlg) {
            dlg->findChild<QComboBox*>(QStringLiteral("edit_ip"))->setCurrentText(QStringLiteral("127.0.0.1"));
        });
    }
    QVERIFY(tree);
    tree->show();
    QCOMPARE(tree->topLevelItemCount(), 0);
    QTest::keyClick(tree, Qt::Key_Insert);
    QTRY_COMPARE(tree->topLevelItemCount(), 1);
    QTRY_VERIFY(!QApplication::activeModalWidget());
    // With a modifier it is some other shortcut, not "new".
    QTest::keyClick(tree, Qt::Key_Insert, Qt::ShiftModifier);
    QCoreApplication::processEvents();
    QCOMPARE(tree->topLevelItemCount(), 1);
}

void tst_ToolChrome::doubleClickOnEmptyAreaOnly()
{
    plugUartNetData tool;
    auto* tree = qobject_cast<plugUartNetManager*>(tool.GetManagerWidget());
    tree->resize(240, 320);
    tree->show();
    QVERIFY(QTest::qWaitForWindowExposed(tree));
    QTest::mouseDClick(tree->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(100, 250));
    QTRY_COMPARE(tree->topLevelItemCount(), 1);
    // On a node it stays what the tree makes of it: no new node.
    const QPoint onNode = tree->visualItemRect(tree->topLevelItem(0)).center();
    QTest::mouseDClick(tree->viewport(), Qt::LeftButton, Qt::NoModifier, onNode);
    QTest::mouseDClick(tree->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(100, 250));
    QTRY_COMPARE(tree->topLevelItemCount(), 2);
    QCoreApplication::processEvents();
    QCOMPARE(tree->topLevelItemCount(), 2);
}

void tst_ToolChrome::vcomInsertCreatesNode()
{
    if (!testutil::isRoot() || !testutil::haveSocat())
        QSKIP("VCOM connections need root (links under /dev) and socat");
    vcomtest::PairGuard guard;
    const int a = guard.take();
    const int b = guard.take();
    QVERIFY(a && b);
    testutil::TempAppDir app;
    plugVComData tool;
    // Saved connections are recreated once, loadDelayMs after construction; that pass
    // must be over before this test saves one of its own.
    QTest::qWait(plugVComData::loadDelayMs + 100);
    tool.show();
    auto* tree = qobject_cast<plugVComManager*>(tool.getManagerWidget());
    QVERIFY(tree);
    tree->show();
    EmptyStateHint* hint = EmptyStateHint::of(tree);
    QVERIFY(hint->isEmpty());

    // Insert offers the four kinds of connection, as a right-click does.
    QTest::keyClick(tree, Qt::Key_Insert);
    QMenu* menu = tree->newConnectionAction->menu();
    QTRY_VERIFY(menu->isVisible());
    QCOMPARE(menu->actions().first(), tree->newPairAction);
    menu->hide();
    tree->newPairAction->trigger();
    // The open form is the tool's work: the central stand-in gives way to it.
    QVERIFY(!hint->isEmpty());
    auto* first = tool.findChild<QComboBox*>(QStringLiteral("com_name_list1"));
    auto* second = tool.findChild<QComboBox*>(QStringLiteral("com_name_list2"));
    first->setCurrentIndex(first->findText(QStringLiteral("ttyS%1").arg(a)));
    second->setCurrentIndex(second->findText(QStringLiteral("ttyS%1").arg(b)));
    QVERIFY(first->currentIndex() >= 0 && second->currentIndex() >= 0);
    tool.findChild<QPushButton*>(QStringLiteral("com_com_new"))->click();
    guard.adoptPid(tool.pairs()->pairPid(QStringLiteral("ttyS%1").arg(a)));
    QCOMPARE(tree->topLevelItemCount(), 1);
    QVERIFY(tree->node(a));

    // Deleting it says so in the status bar's words.
    QSignalSpy posted(StatusMessages::instance(), &StatusMessages::message);
    testutil::answerNextModal(QStringLiteral("Yes"));
    tool.panel(a)->findChild<QPushButton*>(QStringLiteral("delete_connection"))->click();
    QTRY_COMPARE(tree->topLevelItemCount(), 0);
    QCOMPARE(posted.count(), 1);
    QCOMPARE(posted.first().at(0).toString(),
             QStringLiteral("Connection ttyS%1 - ttyS%2 deleted").arg(a).arg(b));
    QCOMPARE(posted.first().at(1).toInt(), 5000);
    QVERIFY(hint->isEmpty());
}

void tst_ToolChrome::emptyToolPanel()
{
    testutil::TempAppDir app;
    vxaWindow w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    EmptyStatePanel* panel = w.emptyPanel(2);
    QVERIFY(panel);
    QVERIFY(!w.emptyPanel(0)); // the IP manager is never empty in the centre
    QVERIFY(!panel->isVisible());

    toolBox(w)->setCurrentIndex(2);
    QVERIFY(panel->isVisible());
    QCOMPARE(panel->geometry(), panel->parentWidget()->rect());
    QVERIFY(!w.emptyPanel(3)->isVisible());

    auto* tree = qobject_cast<QTreeWidget*>(toolBox(w)->widget(2));
    QVERIFY(tree);
    panel->button()->click();
    QCOMPARE(tree->topLevelItemCount(), 1);
    QVERIFY(!panel->isVisible());

    // The last node deleted: the stand-in is back.
    tree->topLevelItem(0)->setSelected(true);
    QTest::keyClick(tree, Qt::Key_Delete);
    QTRY_COMPARE(tree->topLevelItemCount(), 0);
    QVERIFY(panel->isVisible());
    toolBox(w)->setCurrentIndex(1);
    QVERIFY(!panel->isVisible());
    QVERIFY(w.emptyPanel(1)->isVisible());
}

void tst_ToolChrome::toolBarsShareActions()
{
    testutil::TempAppDir app;
    vxaWindow w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QVERIFY(!w.toolBar(0));
    auto* assist = qobject_cast<plugUartNetManager*>(toolBox(w)->widget(2));
    auto* vcom = qobject_cast<plugVComManager*>(toolBox(w)->widget(1));
    QVERIFY(assist && vcom);
    QCOMPARE(w.toolBar(2)->actions(), (QList<QAction*>{assist->newAction.data(), assist->openAction.data(),
                                                        assist->closeAction.data(), assist->sendAction.data(),
                                                        assist->saveAction.data(), assist->loadAction.data()}));
    QCOMPARE(w.toolBar(1)->actions(), (QList<QAction*>{vcom->newPairAction, vcom->newServerAction,
                                                        vcom->newClientAction, vcom->newUdpAction}));
    QCOMPARE(w.toolBar(3)->actions().size(), 1);
    QCOMPARE(w.toolBar(3)->actions().first()->objectName(), QStringLiteral("actionNew"));

    for (int tool = 0; tool < 4; ++tool) {
        toolBox(w)->setCurrentIndex(tool);
        for (int i = 1; i < 4; ++i)
            QCOMPARE(w.toolBar(i)->isVisible(), i == tool);
    }
    // One object: triggered from the toolbar, it is the context menu's New.
    toolBox(w)->setCurrentIndex(2);
    QWidget* button = w.toolBar(2)->widgetForAction(assist->newAction.data());
    QVERIFY(button);
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(assist->topLevelItemCount(), 1);
}

void tst_ToolChrome::statusMessagesShown()
{
    testutil::TempAppDir app;
    vxaWindow w;
    StatusMessages::post(QStringLiteral("Connection set saved to /tmp/x.ini"));
    QCOMPARE(w.statusBar()->currentMessage(), QStringLiteral("Connection set saved to /tmp/x.ini"));
}

QTEST_MAIN(tst_ToolChrome)
#include "tst_toolchrome.moc"
