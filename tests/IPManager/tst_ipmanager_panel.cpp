// The IP manager panel's form and log, its header view, the device tree and the device
// console, offscreen and without the test network.
#include "CDeviceListManager.h"
#include "CIceDevConsolo.h"
#include "IPManager.h"
#include "MyQHeaderView.h"
#include "testutil.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTableWidget>
#include <QtTest>

class tst_IPManagerPanel : public QObject
{
    Q_OBJECT
private slots:
    void formAtConstruction();
    void loopbackNeverListed();
    void addressValidator_data();
    void addressValidator();
    void logLineFormat();
    void languageChangeKeepsHeader();
    void configWithoutRows();
    void chineseTranslation();
    void consoles();
    void headerCheckBox();
    void treeItems();
    void treeClicks();
    void treeActions();
    void consoleForm();
    void consoleCommandParam_data();
    void consoleCommandParam();
    void consoleConnectionState();
    void consoleLoginEndsWithResult();
    void consoleWarning();
    void consoleMonitorThread();
};

void tst_IPManagerPanel::formAtConstruction()
{
    IPManager panel;
    for (const char* name : {"label_8", "label_5", "label_7", "dev_name_edit", "user_edit", "password_edit",
                             "btn_refresh_card", "labelDeviceInfo"}) {
        QWidget* w = panel.findChild<QWidget*>(QString::fromLatin1(name));
        QVERIFY2(w && w->isHidden(), name);
    }
    auto* tabs = panel.findChild<QTabWidget*>(QStringLiteral("tabWidget"));
    QCOMPARE(tabs->count(), 1);
    QCOMPARE(tabs->tabText(0), QStringLiteral("Device Info"));
    QCOMPARE(panel.findChild<QLineEdit*>(QStringLiteral("mask_edit"))->text(), QStringLiteral("255.255.255.0"));
    QCOMPARE(panel.findChild<QLineEdit*>(QStringLiteral("user_edit"))->text(), QStringLiteral("admin"));
    QCOMPARE(panel.findChild<QLineEdit*>(QStringLiteral("password_edit"))->text(), QStringLiteral("739"));
    QVERIFY(!panel.findChild<QLineEdit*>(QStringLiteral("password_edit"))->isEnabled());
    QCOMPARE(panel.findChild<QPushButton*>(QStringLiteral("btn_serach"))->text(), QStringLiteral("Search Device"));
    QCOMPARE(panel.findChild<QPushButton*>(QStringLiteral("btn_serach"))->width(), 110);
    auto* table = panel.findChild<QTableWidget*>(QStringLiteral("tableWidget"));
    QCOMPARE(table->columnCount(), 11);
    QCOMPARE(table->rowCount(), 0);
    QVERIFY(qobject_cast<MyQHeaderView*>(table->horizontalHeader()));
    QVERIFY(!table->verticalHeader()->isVisible());
    QCOMPARE(table->horizontalHeaderItem(0)->text(), QStringLiteral("       "));
    QCOMPARE(table->horizontalHeaderItem(10)->text(), QStringLiteral("Status"));
    QVERIFY(qobject_cast<CDeviceListManager*>(panel.GetManagerWidget()));
    QCOMPARE(panel.currentRow(), 1);
}

void tst_IPManagerPanel::loopbackNeverListed()
{
    IPManager panel;
    auto* cards = panel.findChild<QComboBox*>(QStringLiteral("card_list"));
    for (int i = 0; i < cards->count(); ++i) {
        QVERIFY2(!cards->itemText(i).startsWith(QLatin1String("lo")), qPrintable(cards->itemText(i)));
        QCOMPARE(cards->itemData(i).toInt(), i);
    }
    const int before = cards->count();
    panel.initialize(); // a refresh lists each adapter once
    QCOMPARE(cards->count(), before);
    QCOMPARE(panel.adapterCount(), before);
}

void tst_IPManagerPanel::addressValidator_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("state");
    QTest::newRow("address") << "198.18.0.7" << int(QValidator::Acceptable);
    QTest::newRow("255") << "255.255.255.255" << int(QValidator::Acceptable);
    QTest::newRow("256") << "256.1.1.1" << int(QValidator::Invalid);
    QTest::newRow("typing") << "198.18." << int(QValidator::Intermediate);
    QTest::newRow("letters") << "a.b.c.d" << int(QValidator::Invalid);
    QTest::newRow("five parts") << "1.2.3.4.5" << int(QValidator::Invalid);
}

void tst_IPManagerPanel::addressValidator()
{
    QFETCH(QString, text);
    QFETCH(int, state);
    IPManager panel;
    for (const char* name : {"ip_edit", "mask_edit", "gateway_edit"}) {
        const QValidator* v = panel.findChild<QLineEdit*>(QString::fromLatin1(name))->validator();
        QVERIFY(v);
        auto* re = qobject_cast<const QRegularExpressionValidator*>(v);
        QVERIFY(re);
        QCOMPARE(re->regularExpression().pattern().size(), 79);
        QString t = text;
        int pos = 0;
        QCOMPARE(int(v->validate(t, pos)), state);
    }
}

void tst_IPManagerPanel::logLineFormat()
{
    IPManager panel;
    auto* log = panel.findChild<QPlainTextEdit*>(QStringLiteral("card_address"));
    const QDateTime before = QDateTime::currentDateTime();
    panel.addLog(QStringLiteral("hello %1"));
    const QString last = log->toPlainText().split(QLatin1Char('\n')).last();
    const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("^(\\d{8}-\\d\\d:\\d\\d:\\d\\d) (.*)$")).match(last);
    QVERIFY2(m.hasMatch(), qPrintable(last));
    QCOMPARE(m.captured(2), QStringLiteral("hello %1"));
    const QDateTime stamp = QDateTime::fromString(m.captured(1), QStringLiteral("yyyyMMdd-hh:mm:ss"));
    QVERIFY(stamp.isValid());
    QVERIFY(qAbs(stamp.secsTo(before)) <= 2);
}

void tst_IPManagerPanel::languageChangeKeepsHeader()
{
    IPManager panel;
    auto* mask = panel.findChild<QLineEdit*>(QStringLiteral("mask_edit"));
    mask->setText(QStringLiteral("255.0.0.0"));
    QEvent ev(QEvent::LanguageChange);
    QCoreApplication::sendEvent(&panel, &ev);
    auto* table = panel.findChild<QTableWidget*>(QStringLiteral("tableWidget"));
    QCOMPARE(table->columnCount(), 11);
    QStringList labels;
    for (int c = 0; c < 11; ++c)
        labels << table->horizontalHeaderItem(c)->text();
    QCOMPARE(labels, (QStringList{"", "ID", "Version", "MAC", "Dev Name", "IP", "NetMask", "Gateway", "SerialNum", "UartNum", "Status"}));
    QCOMPARE(mask->text(), QStringLiteral("255.255.255.0"));
    QCOMPARE(panel.findChild<QTabWidget*>(QStringLiteral("tabWidget"))->count(), 1);
}

void tst_IPManagerPanel::configWithoutRows()
{
    IPManager panel;
    QSignalSpy done(&panel, &IPManager::configDone_signal);
    QVERIFY(done.isValid());
    QString text;
    testutil::answerNextModal(QStringLiteral("OK"), [&text](QWidget* box) {
        text = box->windowTitle() + QLatin1Char('|') + box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))->text();
    });
    QTest::mouseClick(panel.findChild<QPushButton*>(QStringLiteral("btn_config")), Qt::LeftButton);
    QTRY_VERIFY(!qApp->activeModalWidget());
    QCOMPARE(text, QStringLiteral("tips|Please choose at least one device first!"));
    QCOMPARE(done.count(), 0);
}

void tst_IPManagerPanel::chineseTranslation()
{
    QTranslator zh;
    QVERIFY(zh.load(QStringLiteral(VXA_BIN_DIR "/languages/zh_CN/IPManager_zh_CN.qm")));
    IPManager panel;
    QCoreApplication::installTranslator(&zh); // sends the language change to every widget
    auto* table = panel.findChild<QTableWidget*>(QStringLiteral("tableWidget"));
    QTRY_COMPARE(panel.findChild<QPushButton*>(QStringLiteral("btn_serach"))->text(), QString::fromUtf8("\u641c\u7d22\u8bbe\u5907"));
    QCOMPARE(table->horizontalHeaderItem(10)->text(), QString::fromUtf8("\u72b6\u6001"));
    QCOMPARE(QCoreApplication::translate("MyQHeaderView", "Sel All"), QString::fromUtf8("\u5168\u9009"));
    QCOMPARE(QCoreApplication::translate("IPManager", "success"), QString::fromUtf8("\u6210\u529f"));
    CIceDevConsolo console;
    QTRY_COMPARE(console.findChild<QPushButton*>(QStringLiteral("btnLogin"))->text(), QString::fromUtf8("\u767b\u5f55"));
    QCoreApplication::removeTranslator(&zh);
    QTRY_COMPARE(panel.findChild<QPushButton*>(QStringLiteral("btn_serach"))->text(), QStringLiteral("Search Device"));
}

void tst_IPManagerPanel::consoles()
{
    IPManager panel;
    auto* tree = qobject_cast<CDeviceListManager*>(panel.GetManagerWidget());
    auto* stack = panel.findChild<QStackedWidget*>(QStringLiteral("stackedWidget"));
    auto* info = panel.findChild<QLabel*>(QStringLiteral("labelDeviceInfo"));
    panel.doOpenConsolo(3, QStringLiteral("198.18.0.9"), QStringLiteral("DevA"));
    QCOMPARE(stack->count(), 1);
    QCOMPARE(tree->topLevelItemCount(), 1);
    QCOMPARE(info->text(), QStringLiteral(" 198.18.0.9 : DevA"));
    QVERIFY(!info->isHidden());
    QPointer<QWidget> first = stack->currentWidget();
    QVERIFY(qobject_cast<CIceDevConsolo*>(first.data()));
    QCOMPARE(qobject_cast<CIceDevConsolo*>(first.data())->deviceIp(), QStringLiteral("198.18.0.9"));

    panel.doOpenConsolo(4, QStringLiteral("198.18.0.10"), QStringLiteral("DevB"));
    QCOMPARE(stack->count(), 2);
    panel.doOpenConsolo(3, QStringLiteral("198.18.0.9"), QStringLiteral("DevA")); // exists: only switches
    QCOMPARE(stack->count(), 2);
    QCOMPARE(tree->topLevelItemCount(), 2);
    QCOMPARE(stack->currentWidget(), first.data());
    QCOMPARE(info->text(), QStringLiteral(" 198.18.0.9 : DevA"));

    panel.doSwitchDevice(99); // no such console
    QVERIFY(info->isHidden());

    panel.ClearSearchResult();
    QVERIFY(first.isNull());
    QCOMPARE(stack->count(), 0);
    QCOMPARE(tree->topLevelItemCount(), 0);
    QCOMPARE(panel.findChild<QPushButton*>(QStringLiteral("btn_serach"))->text(), QStringLiteral("Searching"));
    QVERIFY(!panel.findChild<QPushButton*>(QStringLiteral("btn_config"))->isEnabled());
}

void tst_IPManagerPanel::headerCheckBox()
{
    QTableWidget table(2, 3);
    auto* header = new MyQHeaderView(&table);
    table.setHorizontalHeader(header);
    table.setColumnWidth(0, 80);
    table.resize(400, 200);
    table.show();
    QVERIFY(QTest::qWaitForWindowExposed(&table));
    header->viewport()->repaint();
    const int h = header->height();
    // Box, gap and the whole "Sel All" in the header's font, centred in the section.
    const int boxAndText = 16 + 5 + header->fontMetrics().horizontalAdvance(QStringLiteral("Sel All"));
    QCOMPARE(header->checkBoxRect(), QRect((80 - boxAndText) / 2, (h - 16) / 2, 16, 16));

    QSignalSpy toggled(header, &MyQHeaderView::headCheckBoxToggled);
    QVERIFY(toggled.isValid());
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, header->checkBoxRect().center());
    QCOMPARE(toggled.count(), 1);
    QVERIFY(header->isChecked());
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(70, h / 2)); // section 0, beside the box
    QCOMPARE(toggled.count(), 1);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, header->checkBoxRect().center());
    QCOMPARE(toggled.count(), 2);
    QCOMPARE(toggled.at(1).at(0).toBool(), false);
    header->setEnabled(false);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, header->checkBoxRect().center());
    QCOMPARE(toggled.count(), 2);
}

void tst_IPManagerPanel::treeItems()
{
    CDeviceListManager tree;
    QCOMPARE(tree.columnCount(), 1);
    QVERIFY(tree.isHeaderHidden());
    tree.AddDeviceMsg(QStringLiteral("198.18.0.5"), QStringLiteral("DevA"));
    tree.AddDeviceMsg(QStringLiteral("198.18.0.6"), QStringLiteral("DevB"));
    QTreeWidgetItem* a = tree.topLevelItem(0);
    QTreeWidgetItem* b = tree.topLevelItem(1);
    QCOMPARE(a->text(0), QStringLiteral("198.18.0.5"));
    QCOMPARE(a->data(0, Qt::ToolTipRole).toString(), QStringLiteral("DevA"));
    QCOMPARE(a->data(0, Qt::WhatsThisRole).toString(), QStringLiteral("DevA"));
    const int n = a->data(0, Qt::UserRole).toInt();
    QCOMPARE(b->data(0, Qt::UserRole).toInt(), n + 1);
    a->addChild(new QTreeWidgetItem(QStringList{QStringLiteral("child")}));
    tree.setCurrentItem(b);
    tree.ReleaseItems();
    QCOMPARE(tree.topLevelItemCount(), 0);
    QVERIFY(!tree.currentItem());
    // Numbers keep counting after a release.
    tree.AddDeviceMsg(QStringLiteral("198.18.0.7"), QStringLiteral("DevC"));
    QCOMPARE(tree.topLevelItem(0)->data(0, Qt::UserRole).toInt(), n + 2);
}

void tst_IPManagerPanel::treeClicks()
{
    CDeviceListManager tree;
    tree.AddDeviceMsg(QStringLiteral("198.18.0.5"), QStringLiteral("DevA"));
    tree.AddDeviceMsg(QStringLiteral("198.18.0.6"), QStringLiteral("DevB"));
    tree.resize(200, 200);
    tree.show();
    QVERIFY(QTest::qWaitForWindowExposed(&tree));
    QSignalSpy sw(&tree, &CDeviceListManager::SwitchDevice);
    QVERIFY(sw.isValid());
    QTreeWidgetItem* b = tree.topLevelItem(1);
    const QPoint pos = tree.visualItemRect(b).center();
    QTest::mouseRelease(tree.viewport(), Qt::LeftButton, {}, pos); // not selected: nothing
    QCOMPARE(sw.count(), 0);
    QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, pos);
    QCOMPARE(sw.count(), 1);
    QCOMPARE(sw.at(0).at(0).toInt(), b->data(0, Qt::UserRole).toInt());
    QTest::mouseClick(tree.viewport(), Qt::RightButton, {}, pos);
    QCOMPARE(sw.count(), 1);
}

void tst_IPManagerPanel::treeActions()
{
    CDeviceListManager tree;
    QSignalSpy open(&tree, &CDeviceListManager::OpenConsolo);
    QSignalSpy again(&tree, &CDeviceListManager::ReSearchDevices);
    QVERIFY(open.isValid() && again.isValid());
    tree.openConsoloAction()->trigger(); // nothing selected
    QCOMPARE(open.count(), 0);
    tree.AddDeviceMsg(QStringLiteral("198.18.0.5"), QStringLiteral("DevA"));
    tree.topLevelItem(0)->setSelected(true);
    tree.openConsoloAction()->trigger();
    QCOMPARE(open.count(), 1);
    QCOMPARE(open.at(0).at(0).toInt(), tree.topLevelItem(0)->data(0, Qt::UserRole).toInt());
    QCOMPARE(open.at(0).at(1).toString(), QStringLiteral("198.18.0.5"));
    QCOMPARE(open.at(0).at(2).toString(), QStringLiteral("DevA"));
    tree.reSearchAction()->trigger();
    QCOMPARE(again.count(), 1);
    QCOMPARE(tree.openConsoloAction()->text(), QStringLiteral("Open Consolo"));
}

void tst_IPManagerPanel::consoleForm()
{
    CIceDevConsolo c;
    QCOMPARE(c.windowTitle(), QStringLiteral("TabWidget"));
    QCOMPARE(c.count(), 1);
    QCOMPARE(c.tabText(0), QStringLiteral("NetCommand"));
    auto* user = c.findChild<QLineEdit*>(QStringLiteral("editUserName"));
    auto* pass = c.findChild<QLineEdit*>(QStringLiteral("editPassword"));
    QCOMPARE(user->text(), QStringLiteral("root"));
    QCOMPARE(pass->text(), QStringLiteral("qa.pr.47"));
    QCOMPARE(pass->echoMode(), QLineEdit::Password);
    auto* cmd = c.findChild<QComboBox*>(QStringLiteral("cmdList"));
    QCOMPARE(cmd->count(), 3);
    QCOMPARE(cmd->itemText(1), QStringLiteral("netstat"));
    // Disconnected: red LED, "Login", login fields on, command row off.
    QCOMPARE(c.findChild<QLabel*>(QStringLiteral("led_run"))->styleSheet(), m_red_sheetStyle);
    QCOMPARE(c.findChild<QPushButton*>(QStringLiteral("btnLogin"))->text(), QStringLiteral("Login"));
    QVERIFY(user->isEnabled() && pass->isEnabled());
    QVERIFY(!cmd->isEnabled());
    QVERIFY(!c.findChild<QLineEdit*>(QStringLiteral("editCmdParam"))->isEnabled());
    QVERIFY(!c.findChild<QPushButton*>(QStringLiteral("btnExecute"))->isEnabled());
    QCOMPARE(c.sessionHandle(), -1);
    auto* out = c.findChild<QPlainTextEdit*>(QStringLiteral("plainTextEdit"));
    out->setPlainText(QStringLiteral("old"));
    QTest::mouseClick(c.findChild<QPushButton*>(QStringLiteral("btnClearText")), Qt::LeftButton);
    QVERIFY(out->toPlainText().isEmpty());
}

void tst_IPManagerPanel::consoleCommandParam_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("param");
    QTest::newRow("netstat") << "netstat" << "-natp";
    QTest::newRow("ps") << "ps" << "";
}

void tst_IPManagerPanel::consoleCommandParam()
{
    QFETCH(QString, command);
    QFETCH(QString, param);
    CIceDevConsolo c;
    auto* cmd = c.findChild<QComboBox*>(QStringLiteral("cmdList"));
    auto* edit = c.findChild<QLineEdit*>(QStringLiteral("editCmdParam"));
    edit->setText(QStringLiteral("x"));
    cmd->setCurrentText(command);
    QCOMPARE(edit->text(), param);
    cmd->setCurrentText(QStringLiteral("ping"));
    QCOMPARE(edit->text(), QString());
}

void tst_IPManagerPanel::consoleConnectionState()
{
    CIceDevConsolo c;
    emit c.UpdateConnectionStatus(true);
    QCOMPARE(c.findChild<QLabel*>(QStringLiteral("led_run"))->styleSheet(), m_green_sheetStyle);
    QCOMPARE(c.findChild<QPushButton*>(QStringLiteral("btnLogin"))->text(), QStringLiteral("Exit"));
    QVERIFY(c.findChild<QPushButton*>(QStringLiteral("btnExecute"))->isEnabled());
    QVERIFY(!c.findChild<QLineEdit*>(QStringLiteral("editUserName"))->isEnabled());
    emit c.UpdateConnectionStatus(false);
    QCOMPARE(c.findChild<QLabel*>(QStringLiteral("led_run"))->styleSheet(), m_red_sheetStyle);
    QCOMPARE(c.findChild<QPushButton*>(QStringLiteral("btnLogin"))->text(), QStringLiteral("Login"));
}

void tst_IPManagerPanel::consoleLoginEndsWithResult()
{
    CIceDevConsolo c;
    // Not an address: the attempt ends without sending anything anywhere.
    c.SetDeviceInfo(QStringLiteral("198.18.0.999"), QStringLiteral("DevA"));
    QSignalSpy result(&c, &CIceDevConsolo::LoginResult);
    QVERIFY(result.isValid());
    QTest::mouseClick(c.findChild<QPushButton*>(QStringLiteral("btnLogin")), Qt::LeftButton);
    QTRY_COMPARE(result.count(), 1);
    QCOMPARE(result.at(0).at(0).toBool(), false);
    QTRY_VERIFY(!QApplication::overrideCursor()); // the wait cursor is restored
    QVERIFY(c.findChild<QPlainTextEdit*>(QStringLiteral("plainTextEdit"))->toPlainText().contains(QLatin1String("198.18.0.9")));
    QVERIFY(!c.isConnected());
    QCOMPARE(c.findChild<QPushButton*>(QStringLiteral("btnLogin"))->text(), QStringLiteral("Login"));
}

void tst_IPManagerPanel::consoleWarning()
{
    CIceDevConsolo c;
    QString text;
    testutil::answerNextModal(QStringLiteral("&Yes"), [&text](QWidget* box) {
        text = box->windowTitle() + QLatin1Char('|') + box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))->text();
    });
    emit c.Warning(QStringLiteral("careful"));
    QTRY_VERIFY(!qApp->activeModalWidget());
    QCOMPARE(text, QStringLiteral("tips|careful"));
}

void tst_IPManagerPanel::consoleMonitorThread()
{
    auto* c = new CIceDevConsolo;
    c->StartMonitorThread();
    QVERIFY(c->isMonitorRunning());
    QElapsedTimer t;
    t.start();
    c->StopMonitorThread(); // returns at once: the window never waits for the monitor
    QVERIFY(!c->isMonitorRunning());
    delete c; // joins the monitor, which has seen the flag within one slice
    QVERIFY2(t.elapsed() < 1000, qPrintable(QString::number(t.elapsed())));
}

QTEST_MAIN(tst_IPManagerPanel)
#include "tst_ipmanager_panel.moc"
