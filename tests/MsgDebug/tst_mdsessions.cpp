#include "dlgConnectParam.h"
#include "plugMDData.h"
#include "plugMDManager.h"
#include "simprocess.h"
#include "testutil.h"
#include "winDebug.h"

#include <QComboBox>
#include <QMenu>
#include <QSettings>
#include <QStackedWidget>
#include <QStandardItemModel>
#include <QTcpServer>
#include <QtTest>

namespace {
QStringList comboItems(dlgConnectParam& d)
{
    auto* combo = d.findChild<QComboBox*>(QStringLiteral("edit_ip"));
    QStringList out;
    for (int k = 0; k < combo->count(); ++k)
        out << combo->itemText(k);
    return out;
}

void acceptAddress(const QString& address)
{
    dlgConnectParam d;
    d.findChild<QComboBox*>(QStringLiteral("edit_ip"))->setCurrentText(address);
    d.accept();
    QCOMPARE(d.result(), int(QDialog::Accepted));
}

// A loopback port where nothing listens, so session windows stay disconnected.
int closedPort()
{
    QTcpServer s;
    s.listen(QHostAddress::LocalHost, 0);
    return s.serverPort();
}

// Texts of the actions of the next popup menu, which is then closed.
void capturePopup(QStringList* texts)
{
    auto* timer = new QTimer;
    timer->setInterval(10);
    auto* tries = new int(0);
    QObject::connect(timer, &QTimer::timeout, [timer, texts, tries]() {
        if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            for (QAction* a : menu->actions())
                *texts << a->text();
            menu->close();
        } else if (++*tries < 500) {
            return;
        }
        timer->stop();
        timer->deleteLater();
        delete tries;
    });
    timer->start();
}

QPoint itemCentre(plugMDManager* tree, int row)
{
    return tree->visualItemRect(tree->topLevelItem(row)).center();
}
} // namespace

class tst_MDSessions : public QObject
{
    Q_OBJECT
private slots:
    void dialogFirstUse();
    void dialogKeepsNewestFive();
    void dialogRepeatedAddress();
    void dialogHandEditedHistory_data();
    void dialogHandEditedHistory();
    void dialogEmptyAddress();
    void dialogCancelCreatesNothing();
    void sessionNumbersReused();
    void sixtyFifthSessionRefused();
    void contextMenus();
    void leftClickSwitches();
    void sessionAgainstSimulator();
};

void tst_MDSessions::dialogFirstUse()
{
    testutil::TempAppDir app;
    {
        dlgConnectParam d;
        QCOMPARE(d.windowTitle(), QStringLiteral("Connect Param"));
        QVERIFY(comboItems(d).isEmpty());
        QVERIFY(d.findChild<QComboBox*>(QStringLiteral("edit_ip"))->currentText().isEmpty());
        QVERIFY(d.findChild<QWidget*>(QStringLiteral("edit_port"))->isHidden());
        QVERIFY(d.findChild<QWidget*>(QStringLiteral("label_4"))->isHidden());
        d.findChild<QComboBox*>(QStringLiteral("edit_ip"))->setCurrentText(QStringLiteral("192.168.0.10"));
        d.accept();
        QCOMPARE(d.ip, QStringLiteral("192.168.0.10"));
        QCOMPARE(d.port, QStringLiteral("60000"));
    }
    QSettings ini(app.filePath(QStringLiteral("config/debug.ini")), QSettings::IniFormat);
    QCOMPARE(ini.value(QStringLiteral("ip/num")).toString(), QStringLiteral("1"));
    QCOMPARE(ini.value(QStringLiteral("ip/1")).toString(), QStringLiteral("192.168.0.10"));
    QCOMPARE(ini.value(QStringLiteral("ip/last")).toString(), QStringLiteral("192.168.0.10"));
    dlgConnectParam next;
    QCOMPARE(comboItems(next), QStringList{QStringLiteral("192.168.0.10")});
    QCOMPARE(next.findChild<QComboBox*>(QStringLiteral("edit_ip"))->currentText(), QStringLiteral("192.168.0.10"));
}

void tst_MDSessions::dialogKeepsNewestFive()
{
    testutil::TempAppDir app;
    for (int k = 1; k <= 6; ++k)
        acceptAddress(QStringLiteral("10.0.0.%1").arg(k));
    QSettings ini(app.filePath(QStringLiteral("config/debug.ini")), QSettings::IniFormat);
    QCOMPARE(ini.value(QStringLiteral("ip/num")).toInt(), 5);
    for (int k = 1; k <= 5; ++k)
        QCOMPARE(ini.value(QStringLiteral("ip/%1").arg(k)).toString(), QStringLiteral("10.0.0.%1").arg(k + 1));
    QCOMPARE(ini.value(QStringLiteral("ip/last")).toString(), QStringLiteral("10.0.0.6"));
    dlgConnectParam d;
    QCOMPARE(comboItems(d), (QStringList{"10.0.0.6", "10.0.0.5", "10.0.0.4", "10.0.0.3", "10.0.0.2"}));
}

void tst_MDSessions::dialogRepeatedAddress()
{
    testutil::TempAppDir app;
    acceptAddress(QStringLiteral("10.0.0.1"));
    acceptAddress(QStringLiteral("10.0.0.2"));
    acceptAddress(QStringLiteral("10.0.0.1"));
    QSettings ini(app.filePath(QStringLiteral("config/debug.ini")), QSettings::IniFormat);
    QCOMPARE(ini.value(QStringLiteral("ip/num")).toInt(), 2);
    QCOMPARE(ini.value(QStringLiteral("ip/1")).toString(), QStringLiteral("10.0.0.1"));
    QCOMPARE(ini.value(QStringLiteral("ip/2")).toString(), QStringLiteral("10.0.0.2"));
    QCOMPARE(ini.value(QStringLiteral("ip/last")).toString(), QStringLiteral("10.0.0.1"));
}

void tst_MDSessions::dialogHandEditedHistory_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<QStringList>("listed"); // newest first
    QTest::addColumn<QStringList>("stored"); // after accepting 10.9.9.9, oldest first
    const QByteArray two("1=10.0.0.1\n2=10.0.0.2\n");
    QTest::newRow("huge count, two entries")
        << "[ip]\nnum=3000000\n" + two << QStringList{"10.0.0.2", "10.0.0.1"}
        << QStringList{"10.0.0.1", "10.0.0.2", "10.9.9.9"};
    QTest::newRow("count at int max")
        << "[ip]\nnum=2147483647\n" + two << QStringList{"10.0.0.2", "10.0.0.1"}
        << QStringList{"10.0.0.1", "10.0.0.2", "10.9.9.9"};
    QTest::newRow("count not a number") << "[ip]\nnum=lots\n" + two << QStringList() << QStringList{"10.9.9.9"};
    QTest::newRow("count below the entries")
        << QByteArray("[ip]\nnum=1\n1=10.0.0.1\n2=10.0.0.2\n3=10.0.0.3\n") << QStringList{"10.0.0.1"}
        << QStringList{"10.0.0.1", "10.9.9.9"};
    QByteArray seven("[ip]\nnum=7\n");
    for (int k = 1; k <= 7; ++k)
        seven += QByteArray::number(k) + "=10.0.0." + QByteArray::number(k) + "\n";
    QTest::newRow("seven entries trimmed to five")
        << seven << QStringList{"10.0.0.7", "10.0.0.6", "10.0.0.5", "10.0.0.4", "10.0.0.3"}
        << QStringList{"10.0.0.4", "10.0.0.5", "10.0.0.6", "10.0.0.7", "10.9.9.9"};
}

void tst_MDSessions::dialogHandEditedHistory()
{
    QFETCH(QByteArray, ini);
    QFETCH(QStringList, listed);
    QFETCH(QStringList, stored);
    testutil::TempAppDir app;
    QFile f(app.filePath(QStringLiteral("config/debug.ini")));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(ini);
    f.close();
    {
        dlgConnectParam d;
        QCOMPARE(comboItems(d), listed);
        d.findChild<QComboBox*>(QStringLiteral("edit_ip"))->setCurrentText(QStringLiteral("10.9.9.9"));
        d.accept();
        QCOMPARE(d.result(), int(QDialog::Accepted));
    }
    QSettings after(f.fileName(), QSettings::IniFormat);
    QCOMPARE(after.value(QStringLiteral("ip/num")).toInt(), stored.size());
    after.beginGroup(QStringLiteral("ip"));
    QStringList numbered;
    for (const QString& key : after.childKeys())
        if (key != QLatin1String("num") && key != QLatin1String("last"))
            numbered << key;
    QCOMPARE(numbered.size(), stored.size()); // nothing left beyond the count
    for (int k = 0; k < stored.size(); ++k)
        QCOMPARE(after.value(QString::number(k + 1)).toString(), stored.at(k));
    QCOMPARE(after.value(QStringLiteral("last")).toString(), QStringLiteral("10.9.9.9"));
}

void tst_MDSessions::dialogEmptyAddress()
{
    testutil::TempAppDir app;
    dlgConnectParam d;
    QString title, text;
    testutil::answerNextModal(QStringLiteral("OK"), [&](QWidget* box) {
        title = box->windowTitle();
        text = testutil::modalText(box);
    });
    d.accept();
    QCOMPARE(title, QStringLiteral("tips"));
    QCOMPARE(text, QStringLiteral("Please fill all the parameters!"));
    QVERIFY(d.result() != QDialog::Accepted);
    QVERIFY(!QFileInfo::exists(app.filePath(QStringLiteral("config/debug.ini"))));
}

void tst_MDSessions::dialogCancelCreatesNothing()
{
    testutil::TempAppDir app;
    plugMDData tool;
    auto* tree = qobject_cast<plugMDManager*>(tool.GetManagerWidget());
    QVERIFY(tree);
    testutil::answerNextModal(QStringLiteral("Cancel"));
    emit tree->newAssist();
    QCOMPARE(tree->topLevelItemCount(), 0);
    QCOMPARE(tool.sessionCount(), 0);
}

void tst_MDSessions::sessionNumbersReused()
{
    testutil::TempAppDir app;
    plugMDData tool;
    auto* tree = qobject_cast<plugMDManager*>(tool.GetManagerWidget());
    auto* stack = qobject_cast<QStackedWidget*>(tool.GetDataWidget());
    QVERIFY(tree && stack);
    auto createThroughDialog = [&](const QString& address) {
        testutil::answerNextModal(QStringLiteral("OK"), [address](QWidget* dlg) {
            dlg->findChild<QComboBox*>(QStringLiteral("edit_ip"))->setCurrentText(address);
        });
        emit tree->newAssist();
    };
    createThroughDialog(QStringLiteral("127.0.0.1"));
    createThroughDialog(QStringLiteral("127.0.0.2"));
    QCOMPARE(tree->topLevelItemCount(), 2);
    QCOMPARE(tree->topLevelItem(0)->text(0), QStringLiteral("127.0.0.1"));
    QCOMPARE(tree->topLevelItem(0)->data(0, Qt::WhatsThisRole).toInt(), 0);
    QCOMPARE(tree->topLevelItem(1)->data(0, Qt::WhatsThisRole).toInt(), 1);
    QCOMPARE(stack->count(), 2);
    QCOMPARE(stack->currentWidget(), tool.window(1));

    tree->setCurrentItem(tree->topLevelItem(0));
    tree->findChild<QAction*>(QStringLiteral("actionDelete"))->trigger();
    QCOMPARE(tree->topLevelItemCount(), 1);
    QCOMPARE(stack->count(), 1);
    QVERIFY(stack->isHidden());
    QVERIFY(!tool.window(0));

    createThroughDialog(QStringLiteral("127.0.0.3"));
    QCOMPARE(tree->topLevelItemCount(), 2);
    QCOMPARE(tree->topLevelItem(1)->text(0), QStringLiteral("127.0.0.3"));
    QCOMPARE(tree->topLevelItem(1)->data(0, Qt::WhatsThisRole).toInt(), 0);
    QVERIFY(tool.window(0));
    emit tree->switchAssist(0);
    QVERIFY(!stack->isHidden());
    QCOMPARE(stack->currentWidget(), tool.window(0));
}

void tst_MDSessions::sixtyFifthSessionRefused()
{
    testutil::TempAppDir app;
    plugMDData tool;
    auto* tree = qobject_cast<plugMDManager*>(tool.GetManagerWidget());
    const int port = closedPort();
    for (int k = 0; k < 64; ++k)
        QCOMPARE(tool.createSession(QStringLiteral("127.0.0.1"), port), k);
    QCOMPARE(tool.createSession(QStringLiteral("127.0.0.1"), port), -1);
    QString title, text;
    bool wasDialog = false;
    testutil::answerNextModal(QStringLiteral("OK"), [&](QWidget* box) {
        title = box->windowTitle();
        text = testutil::modalText(box);
        wasDialog = qobject_cast<dlgConnectParam*>(box) != nullptr;
    });
    emit tree->newAssist();
    QVERIFY(!wasDialog);
    QCOMPARE(title, QStringLiteral("tips"));
    QCOMPARE(text, QStringLiteral("At most 64 debug sessions can be open at once. Please delete one first."));
    QCOMPARE(tree->topLevelItemCount(), 64);
    QCOMPARE(tool.sessionCount(), 64);
    // Freeing one number makes room again.
    tool.deleteSession(17);
    QCOMPARE(tool.createSession(QStringLiteral("127.0.0.1"), port), 17);
}

void tst_MDSessions::contextMenus()
{
    testutil::TempAppDir app;
    plugMDData tool;
    auto* tree = qobject_cast<plugMDManager*>(tool.GetManagerWidget());
    tree->resize(300, 300);
    tree->show();
    QVERIFY(QTest::qWaitForWindowExposed(tree));
    tool.createSession(QStringLiteral("127.0.0.1"), closedPort());

    QStringList texts;
    capturePopup(&texts);
    QTest::mouseClick(tree->viewport(), Qt::RightButton, {}, QPoint(150, 280));
    QTRY_COMPARE_WITH_TIMEOUT(texts, QStringList{QStringLiteral("New MsgDebugging")}, 5000);

    texts.clear();
    capturePopup(&texts);
    QTest::mouseClick(tree->viewport(), Qt::RightButton, {}, itemCentre(tree, 0));
    QTRY_COMPARE_WITH_TIMEOUT(texts, QStringList{QStringLiteral("Delete")}, 5000);
    QVERIFY(tree->topLevelItem(0)->isSelected());
}

void tst_MDSessions::leftClickSwitches()
{
    testutil::TempAppDir app;
    plugMDData tool;
    auto* tree = qobject_cast<plugMDManager*>(tool.GetManagerWidget());
    auto* stack = qobject_cast<QStackedWidget*>(tool.GetDataWidget());
    tree->resize(300, 300);
    tree->show();
    QVERIFY(QTest::qWaitForWindowExposed(tree));
    const int port = closedPort();
    tool.createSession(QStringLiteral("127.0.0.1"), port);
    tool.createSession(QStringLiteral("127.0.0.2"), port);
    QSignalSpy switched(tree, &plugMDManager::switchAssist);
    QVERIFY(switched.isValid());
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, itemCentre(tree, 0));
    QCOMPARE(switched.count(), 1);
    QCOMPARE(switched.first().at(0).toInt(), 0);
    QCOMPARE(stack->currentWidget(), tool.window(0));
}

// The dialog always connects to port 60000, so the simulator listens there on loopback.
void tst_MDSessions::sessionAgainstSimulator()
{
    testutil::TempAppDir app;
    {
        QTcpServer probe;
        if (!probe.listen(QHostAddress::LocalHost, 60000))
            QSKIP("Port 60000 on 127.0.0.1 is in use; the session dialog always uses that port.");
    }
    SimProcess sim({QStringLiteral("--rate"), QStringLiteral("100"), QStringLiteral("--types"), QStringLiteral("A,B")}, 60000);
    QVERIFY(sim.isValid());
    plugMDData tool;
    auto* tree = qobject_cast<plugMDManager*>(tool.GetManagerWidget());
    testutil::answerNextModal(QStringLiteral("OK"), [](QWidget* dlg) {
        dlg->findChild<QComboBox*>(QStringLiteral("edit_ip"))->setCurrentText(QStringLiteral("127.0.0.1"));
    });
    emit tree->newAssist();
    winDebug* w = tool.window(0);
    QVERIFY(w);
    QTRY_VERIFY_WITH_TIMEOUT(w->debugWorker()->isValid(), 5000);
    testutil::answerNextModal(QStringLiteral("&No"));
    w->findChild<QAction*>(QStringLiteral("actionStart"))->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(w->frameModel()->rowCount() >= 5, 5000);
    QCOMPARE(w->knownRules(), (QStringList{"[DST]:DST1", "[SRC]:SRC1", "[TYPE]:A", "[TYPE]:B"}));
    tree->setCurrentItem(tree->topLevelItem(0));
    tree->findChild<QAction*>(QStringLiteral("actionDelete"))->trigger();
    QVERIFY(!tool.window(0));
    // Deleting the window ends the link with the stop command.
    QVERIFY(!sim.waitForLine(QStringLiteral("cmd 7d 7d 7d 00 0b 80 01"), 5000).isEmpty());
}

QTEST_MAIN(tst_MDSessions)
#include "tst_mdsessions.moc"
