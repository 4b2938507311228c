// The IP manager panel against the device simulator, over a veth pair between two
// network namespaces (started through netns.sh; skips otherwise).
#include "CIceDevConsolo.h"
#include "IPManager.h"
#include "simulator.h"
#include "testutil.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QMenu>
#include <QStackedWidget>
#include <QTreeWidget>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkInterface>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTableWidget>
#include <QtTest>

#include "MyQHeaderView.h"

#include <memory>

namespace {

const QString kBusy = QStringLiteral("Searching");

bool run(const QStringList& args)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedChannels);
    p.start(QStringLiteral("ip"), args);
    return p.waitForFinished(10000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// A second adapter in the test namespace (one end of a spare veth pair; the other end has
// no IPv4 address and so is not listed), removed with the object.
// With peerInSimulatorNamespace the other end goes to the simulator's namespace, where a
// second simulator can answer on it; deleting our end removes both.
class DummyAdapter
{
public:
    explicit DummyAdapter(const QString& address, bool peerInSimulatorNamespace = false)
        : name(QStringLiteral("vxd%1").arg(QCoreApplication::applicationPid()))
        , peer(QStringLiteral("vxe%1").arg(QCoreApplication::applicationPid()))
    {
        ok = run({"link", "add", name, "type", "veth", "peer", "name", peer});
        removed = !ok;
        ok = ok && run({"addr", "add", address, "dev", name}) && run({"link", "set", name, "up"});
        if (peerInSimulatorNamespace) {
            const QString ns = qEnvironmentVariable("VXA_NETNS_SIM");
            ok = ok && run({"link", "set", peer, "netns", ns}) && run({"-n", ns, "link", "set", peer, "up"});
        } else {
            ok = ok && run({"link", "set", peer, "up"});
        }
    }
    ~DummyAdapter() { remove(); }
    void remove()
    {
        if (!removed)
            run({"link", "del", name});
        removed = true;
    }
    QString name;
    QString peer;
    bool ok = false;
    bool removed = false;
};

// Stands in for the browser: "Logon Web" hands its address to whatever handles http.
class UrlCatcher : public QObject
{
    Q_OBJECT
public slots:
    void openUrl(const QUrl& url) { urls << url.toString(); }

public:
    QStringList urls;
};

} // namespace

class tst_IPManagerNet : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void adapters();
    void refreshIsIdempotent();
    void noDevice();
    void twoDevicesInArrivalOrder();
    void lateAnswerExtendsSearch();
    void burstOfAnswers();
    void duplicateAndMalformedAnswers();
    void configureTickedRows_data();
    void configureTickedRows();
    void configureResults_data();
    void configureResults();
    void headerBoxTicksEveryRow();
    void nothingTicked();
    void invalidFormAddress();
    void invalidMacCellIsNotSent();
    void indicator();
    void lateConfigResultAfterNewSearch();
    void noAdapter();
    void vanishedAdapter();
    void sendFailureLogIsReadable();
    void destroyDuringSearchAndConfig();
    void namesWithNulBytes();
    void configButtonLockedWhileRunning();
    void answerCountsOnlyForItsDevice();
    void adapterVanishesMidSearch();
    void adapterVanishesMidConfig();
    void tickedBoxesAreTheSelection();
    void contextMenu_data();
    void contextMenu();
    void contextMenuOnlyOnIdleRows();
    void plantSizedSearch();

private:
    QComboBox* cardList() { return panel->findChild<QComboBox*>(QStringLiteral("card_list")); }
    QPushButton* button(const char* name) { return panel->findChild<QPushButton*>(QString::fromLatin1(name)); }
    QLineEdit* edit(const char* name) { return panel->findChild<QLineEdit*>(QString::fromLatin1(name)); }
    QTableWidget* table() { return panel->findChild<QTableWidget*>(QStringLiteral("tableWidget")); }
    QPlainTextEdit* log() { return panel->findChild<QPlainTextEdit*>(QStringLiteral("card_address")); }
    QCheckBox* rowBox(int row) { return panel->rowCheckBox(row); }
    QString cell(int row, int col)
    {
        QTableWidgetItem* it = table()->item(row, col);
        return it ? it->text() : QString();
    }
    // Clicks "Search Device" and waits for the search to end; returns its duration in ms.
    qint64 search();
    QStringList logLines() { return log()->toPlainText().split(QLatin1Char('\n'), Qt::SkipEmptyParts); }
    QByteArray adapterMacHex();
    // Shows the panel and returns its header once the "Sel All" box has been painted.
    MyQHeaderView* shownHeader();
    void clickHeaderBox(MyQHeaderView* header)
    {
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, header->checkBoxRect().center());
    }
    // Selects the spare adapter in the panel (rebuilt, so that it lists it).
    bool useAdapter(const DummyAdapter& dummy)
    {
        panel.reset(new IPManager);
        const int idx = cardList()->findText(dummy.name, Qt::MatchStartsWith);
        cardList()->setCurrentIndex(idx);
        return idx >= 0;
    }

    // Right-clicks the device table on a row (or below the rows for -1); the menu shown, if any.
    QMenu* rightClick(int row)
    {
        QWidget* vp = table()->viewport();
        const QPoint pos = row >= 0 ? table()->visualRect(table()->model()->index(row, 4)).center() : QPoint(5, vp->height() - 5);
        QContextMenuEvent ev(QContextMenuEvent::Mouse, pos, vp->mapToGlobal(pos));
        QApplication::sendEvent(vp, &ev);
        auto* menu = panel->findChild<QMenu*>(QStringLiteral("deviceMenu"));
        return menu && menu->isVisible() ? menu : nullptr;
    }

    std::unique_ptr<IPManager> panel;
};

void tst_IPManagerNet::initTestCase()
{
    if (!Simulator::available())
        QSKIP("needs the test network: run through tests/IPManager/netns.sh as root (CTest does this)");
}

void tst_IPManagerNet::init()
{
    panel.reset(new IPManager);
}

void tst_IPManagerNet::cleanup()
{
    panel.reset();
}

QByteArray tst_IPManagerNet::adapterMacHex()
{
    const QNetworkInterface iface = QNetworkInterface::interfaceFromName(qEnvironmentVariable("VXA_TEST_IFACE"));
    return iface.hardwareAddress().remove(QLatin1Char(':')).toLower().toLatin1();
}

qint64 tst_IPManagerNet::search()
{
    QSignalSpy done(panel.get(), &IPManager::searchDone_signal);
    if (!done.isValid())
        return -1;
    QElapsedTimer t;
    t.start();
    QTest::mouseClick(button("btn_serach"), Qt::LeftButton);
    if (button("btn_serach")->text() != kBusy || button("btn_serach")->isEnabled() || button("btn_config")->isEnabled())
        return -2;
    // Polled, not done.wait(): a search that fails at once may signal before wait() starts.
    QElapsedTimer limit;
    limit.start();
    while (done.isEmpty() && limit.elapsed() < 20000)
        QTest::qWait(5);
    if (done.isEmpty())
        return -3;
    const qint64 ms = t.elapsed();
    QCoreApplication::processEvents();
    if (button("btn_serach")->text() != QLatin1String("Search Device") || !button("btn_serach")->isEnabled())
        return -4;
    return ms;
}

void tst_IPManagerNet::adapters()
{
    // Only the veth end: loopback is never listed.
    QCOMPARE(cardList()->count(), 1);
    const QString iface = qEnvironmentVariable("VXA_TEST_IFACE");
    const QNetworkInterface ni = QNetworkInterface::interfaceFromName(iface);
    QCOMPARE(cardList()->itemText(0), QStringLiteral("%1(%2)").arg(iface, ni.hardwareAddress()));
    QCOMPARE(cardList()->itemData(0).toInt(), 0);
    QCOMPARE(log()->toPlainText(), QStringLiteral("198.18.0.2"));
    QCOMPARE(edit("ip_edit")->text(), QStringLiteral("198.18.0.2"));
    QCOMPARE(edit("gateway_edit")->text(), QStringLiteral("198.18.0.1"));
    QVERIFY(panel->findCardInfoFromIp(QStringLiteral("198.18.0.2")));
    QVERIFY(panel->findCardInfoFromIp(QStringLiteral("198.18.0.2"))->hasCaptureDevice);
    QVERIFY(!panel->findCardInfoFromIp(QStringLiteral("127.0.0.1")));
    QVERIFY(panel->findCardInfoFromName(iface));
    QVERIFY(!panel->findCardInfoFromName(QStringLiteral("lo")));
}

void tst_IPManagerNet::refreshIsIdempotent()
{
    panel->initialize();
    panel->initialize();
    QCOMPARE(cardList()->count(), 1);
    QCOMPARE(panel->adapterCount(), 1);
    QCOMPARE(cardList()->itemData(0).toInt(), 0);
}

void tst_IPManagerNet::noDevice()
{
    Simulator sim({"--devices", "0"});
    QVERIFY(sim.isReady());
    const QString before = log()->toPlainText();
    const qint64 ms = search();
    QVERIFY2(ms >= 2900 && ms < 8000, qPrintable(QString::number(ms)));
    QCOMPARE(table()->rowCount(), 0);
    QCOMPARE(log()->toPlainText(), before); // nothing logged
    // The request as the device saw it, byte for byte.
    QTRY_COMPARE_WITH_TIMEOUT(sim.framesWithOpcode("0010").size(), 1, 5000);
    QCOMPARE(sim.framesWithOpcode("0010").first(), "ffffffffffff" + adapterMacHex() + "08062300001000006688");
}

void tst_IPManagerNet::twoDevicesInArrivalOrder()
{
    Simulator sim({"--devices", "2", "--interval", "300", "--name", "Unit", "--ports", "4"});
    QVERIFY(sim.isReady());
    QSignalSpy added(panel.get(), &IPManager::addDevMsg_signal);
    QVERIFY(added.isValid());
    QVERIFY(search() > 0);
    QCOMPARE(added.count(), 2);
    QCOMPARE(table()->rowCount(), 2);
    QCOMPARE(table()->columnCount(), 11);
    const QStringList row0{"1", "1.0", "02:56:58:00:00:01", "Unit-1", "198.18.1.10", "255.254.0.0", "198.18.0.1", "SN0001", "4"};
    const QStringList row1{"2", "1.0", "02:56:58:00:00:02", "Unit-2", "198.18.1.11", "255.254.0.0", "198.18.0.1", "SN0002", "4"};
    for (int c = 1; c <= 9; ++c) {
        QCOMPARE(cell(0, c), row0.at(c - 1));
        QCOMPARE(cell(1, c), row1.at(c - 1));
        QCOMPARE(table()->item(0, c)->textAlignment(), int(Qt::AlignCenter));
        QVERIFY(!(table()->item(0, c)->flags() & Qt::ItemIsEditable));
    }
    QVERIFY(!rowBox(0)->isChecked());
    QTRY_COMPARE(table()->columnWidth(0), 80);
}

void tst_IPManagerNet::lateAnswerExtendsSearch()
{
    // The second answer comes 2.7 s after the first (a little below 3 s, so that a loaded
    // machine cannot push it out of the window): the window starts again from it, and the
    // search ends about 3 s after the second answer instead of 3 s after the first.
    Simulator sim({"--devices", "2", "--interval", "2700"});
    QVERIFY(sim.isReady());
    const qint64 ms = search();
    QVERIFY2(ms >= 5500 && ms < 12000, qPrintable(QString::number(ms)));
    QCOMPARE(table()->rowCount(), 2);
    QCOMPARE(cell(1, 1), QStringLiteral("2"));
}

void tst_IPManagerNet::burstOfAnswers()
{
    // 300 answers at once: every one becomes a row, in arrival order, with its own ID.
    Simulator sim({"--devices", "300"});
    QVERIFY(sim.isReady());
    QSignalSpy added(panel.get(), &IPManager::addDevMsg_signal);
    QVERIFY(added.isValid());
    QVERIFY(search() > 0);
    QCOMPARE(added.count(), 300);
    QCOMPARE(table()->rowCount(), 300);
    for (int r = 0; r < 300; ++r) {
        QCOMPARE(cell(r, 1), QString::number(r + 1));
        QCOMPARE(cell(r, 4), QStringLiteral("VXA-DEV-%1").arg(r + 1));
    }
    // Each row's box selects its own ID.
    QSignalSpy selected(panel.get(), &IPManager::alarmTableRowSelected);
    QTest::mouseClick(rowBox(299), Qt::LeftButton);
    QCOMPARE(selected.count(), 1);
    QCOMPARE(selected.at(0).at(0).toInt(), 300);
}

void tst_IPManagerNet::duplicateAndMalformedAnswers()
{
    // Two copies of one answer make two rows; the copy with a broken trailer makes none;
    // the oversized last element is dropped without disturbing the others.
    Simulator sim({"--devices", "1", "--duplicate", "--malformed", "--version-byte", "0x24"});
    QVERIFY(sim.isReady());
    QVERIFY(search() > 0);
    QCOMPARE(table()->rowCount(), 2);
    for (int r = 0; r < 2; ++r) {
        QCOMPARE(cell(r, 1), QString::number(r + 1));
        QCOMPARE(cell(r, 2), QStringLiteral("1.1"));
        QCOMPARE(cell(r, 4), QStringLiteral("VXA-DEV-1"));
        QCOMPARE(cell(r, 9), QStringLiteral("1"));
    }
}

void tst_IPManagerNet::configureTickedRows_data()
{
    QTest::addColumn<bool>("temporary");
    QTest::addColumn<QByteArray>("opcode");
    QTest::newRow("permanent") << false << QByteArray("0030");
    QTest::newRow("temporary") << true << QByteArray("0070");
}

void tst_IPManagerNet::configureTickedRows()
{
    QFETCH(bool, temporary);
    QFETCH(QByteArray, opcode);
    Simulator sim({"--devices", "3"});
    QVERIFY(sim.isReady());
    QVERIFY(search() > 0);
    QCOMPARE(table()->rowCount(), 3);
    QTest::mouseClick(rowBox(0), Qt::LeftButton);
    QTest::mouseClick(rowBox(2), Qt::LeftButton);
    QVERIFY(rowBox(0)->isChecked() && !rowBox(1)->isChecked() && rowBox(2)->isChecked());
    edit("ip_edit")->setText(QStringLiteral("198.18.5.7"));
    edit("mask_edit")->setText(QStringLiteral("255.255.0.0"));
    edit("gateway_edit")->setText(QStringLiteral("198.18.5.1"));
    panel->findChild<QCheckBox*>(QStringLiteral("temporary_config"))->setChecked(temporary);
    panel->resize(800, 600); // too narrow for the Status column
    panel->show();
    QVERIFY(QTest::qWaitForWindowExposed(panel.get()));
    QSignalSpy done(panel.get(), &IPManager::configDone_signal);
    QVERIFY(done.isValid());
    QTest::mouseClick(button("btn_config"), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(done.count(), 2, 15000);
    QCOMPARE(done.at(0).at(0).toInt(), 0);
    QCOMPARE(done.at(1).at(0).toInt(), 2);

    for (int r : {0, 2}) {
        QTRY_COMPARE(cell(r, 10), QStringLiteral("success"));
        QCOMPARE(table()->item(r, 10)->foreground().color(), QColor(Qt::darkGreen));
        QCOMPARE(cell(r, 5), QStringLiteral("198.18.5.7"));
        QCOMPARE(cell(r, 6), QStringLiteral("255.255.0.0"));
        QCOMPARE(cell(r, 7), QStringLiteral("198.18.5.1"));
    }
    QCOMPARE(cell(1, 10), QString());
    QCOMPARE(cell(1, 5), QStringLiteral("198.18.1.11"));
    // The last result's Status cell has been scrolled into sight.
    const QRect status = table()->visualItemRect(table()->item(2, 10));
    QVERIFY(status.left() >= 0 && status.left() < table()->viewport()->width());

    QTRY_COMPARE(sim.framesWithOpcode(opcode.constData()).size(), 2);
    const QByteArray tail = "08062300" + opcode + "06040000" + "0004ffff0000c6120507" + "0004c6120501" + "00006688";
    const QList<QByteArray> req = sim.framesWithOpcode(opcode.constData());
    QCOMPARE(req.at(0), "025658000001" + adapterMacHex() + tail);
    QCOMPARE(req.at(1), "025658000003" + adapterMacHex() + tail);
}

void tst_IPManagerNet::configureResults_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("minMs");
    QTest::newRow("ip conflicts") << "0x69" << "ip conflicts" << 0;
    QTest::newRow("too often") << "0x67" << "too often" << 0;
    QTest::newRow("validation failed") << "0x68" << "validation failed" << 0;
    QTest::newRow("unknown code") << "0x01" << "" << 0;
    QTest::newRow("silence") << "none" << "failed" << 2900;
}

void tst_IPManagerNet::configureResults()
{
    QFETCH(QString, code);
    QFETCH(QString, text);
    QFETCH(int, minMs);
    Simulator sim({"--devices", "1", "--config-result", code});
    QVERIFY(sim.isReady());
    QVERIFY(search() > 0);
    QTest::mouseClick(rowBox(0), Qt::LeftButton);
    QSignalSpy done(panel.get(), &IPManager::configDone_signal);
    QVERIFY(done.isValid());
    QElapsedTimer t;
    t.start();
    QTest::mouseClick(button("btn_config"), Qt::LeftButton);
    QVERIFY(!button("btn_config")->isEnabled()); // locked until the configuration has ended
    QTRY_COMPARE_WITH_TIMEOUT(done.count(), 1, 10000);
    QVERIFY(t.elapsed() >= minMs);
    QTRY_VERIFY(button("btn_config")->isEnabled());
    QTRY_COMPARE(cell(0, 10), text);
    QCOMPARE(table()->item(0, 10)->foreground().color(), QColor(Qt::red));
    QCOMPARE(cell(0, 5), QStringLiteral("198.18.1.10")); // unchanged
    QCOMPARE(cell(0, 6), QStringLiteral("255.254.0.0"));
}

void tst_IPManagerNet::headerBoxTicksEveryRow()
{
    Simulator sim({"--devices", "3"});
    QVERIFY(sim.isReady());
    panel->resize(1000, 700);
    panel->show();
    QVERIFY(QTest::qWaitForWindowExposed(panel.get()));
    QVERIFY(search() > 0);
    auto* header = qobject_cast<MyQHeaderView*>(table()->horizontalHeader());
    QVERIFY(header);
    header->viewport()->repaint();
    QTRY_VERIFY(!header->checkBoxRect().isEmpty());
    QSignalSpy toggled(header, &MyQHeaderView::headCheckBoxToggled);
    QVERIFY(toggled.isValid());
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, header->checkBoxRect().center());
    QCOMPARE(toggled.count(), 1);
    QCOMPARE(toggled.at(0).at(0).toBool(), true);
    for (int r = 0; r < 3; ++r)
        QVERIFY(rowBox(r)->isChecked());
    QSignalSpy done(panel.get(), &IPManager::configDone_signal);
    QTest::mouseClick(button("btn_config"), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(done.count(), 3, 15000);
    QTRY_COMPARE(sim.framesWithOpcode("0030").size(), 3);
    // Unticking through the header empties the selection again (scrolled back from the
    // Status column that the results brought into view).
    table()->horizontalScrollBar()->setValue(0);
    header->viewport()->repaint();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, header->checkBoxRect().center());
    QVERIFY(!rowBox(1)->isChecked());
    // The last row's result comes before the configuration has ended and given the button back.
    QTRY_VERIFY_WITH_TIMEOUT(button("btn_config")->isEnabled(), 15000);
    bool ok = false;
    testutil::answerNextModal(QStringLiteral("OK"), [&ok](QWidget* box) {
        ok = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))->text() == QLatin1String("Please choose at least one device first!");
    });
    QTest::mouseClick(button("btn_config"), Qt::LeftButton);
    QTRY_VERIFY(!qApp->activeModalWidget());
    QVERIFY(ok);
}

void tst_IPManagerNet::nothingTicked()
{
    Simulator sim({"--devices", "1"});
    QVERIFY(sim.isReady());
    QVERIFY(search() > 0);
    for (bool tickFirst : {false, true}) {
        if (tickFirst) {
            QTest::mouseClick(rowBox(0), Qt::LeftButton);
            QTest::mouseClick(rowBox(0), Qt::LeftButton);
            QVERIFY(!rowBox(0)->isChecked());
        }
        QString text;
        testutil::answerNextModal(QStringLiteral("OK"), [&text](QWidget* box) {
            text = box->windowTitle() + QLatin1Char('|') + box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))->text();
        });
        QTest::mouseClick(button("btn_config"), Qt::LeftButton);
        QTRY_VERIFY(!qApp->activeModalWidget());
        QCOMPARE(text, QStringLiteral("tips|Please choose at least one device first!"));
    }
    QTest::qWait(300); // nothing may go out; the simulator would report it
    QCOMPARE(sim.framesWithOpcode("0030").size(), 0);
}

void tst_IPManagerNet::invalidFormAddress()
{
    Simulator sim({"--devices", "1"});
    QVERIFY(sim.isReady());
    QVERIFY(search() > 0);
    QTest::mouseClick(rowBox(0), Qt::LeftButton);
    edit("gateway_edit")->setText(QStringLiteral("198.18.0.")); // intermediate input
    QString text;
    testutil::answerNextModal(QStringLiteral("OK"), [&text](QWidget* box) {
        text = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))->text();
    });
    QTest::mouseClick(button("btn_config"), Qt::LeftButton);
    QTRY_VERIFY(!qApp->activeModalWidget());
    QVERIFY2(text.contains(QLatin1String("Gateway")) && text.contains(QLatin1String("198.18.0.")), qPrintable(text));
    QTest::qWait(300); // nothing may go out; the simulator would report it
    QCOMPARE(sim.framesWithOpcode("0030").size(), 0);
}

void tst_IPManagerNet::invalidMacCellIsNotSent()
{
    Simulator sim({"--devices", "2"});
    QVERIFY(sim.isReady());
    QVERIFY(search() > 0);
    table()->item(0, 3)->setText(QStringLiteral("02:56:58:00:00")); // five parts
    QTest::mouseClick(rowBox(0), Qt::LeftButton);
    QTest::mouseClick(rowBox(1), Qt::LeftButton);
    QSignalSpy done(panel.get(), &IPManager::configDone_signal);
    QVERIFY(done.isValid());
    QTest::mouseClick(button("btn_config"), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(done.count(), 2, 10000);
    QTRY_COMPARE(cell(0, 10), QStringLiteral("failed"));
    QTRY_COMPARE(cell(1, 10), QStringLiteral("success"));
    QVERIFY(log()->toPlainText().contains(QLatin1String("02:56:58:00:00")));
    QTRY_COMPARE(sim.framesWithOpcode("0030").size(), 1);
    const QList<QByteArray> req = sim.framesWithOpcode("0030");
    QVERIFY(req.first().startsWith("025658000002"));
}

void tst_IPManagerNet::indicator()
{
    Simulator sim({"--devices", "2"});
    QVERIFY(sim.isReady());
    QVERIFY(search() > 0);
    QCOMPARE(panel->currentRow(), 1); // the second row until something changes it
    panel->lightControl(true);
    panel->setCurrentRow(0);
    panel->lightControl(false);
    table()->item(0, 3)->setText(QStringLiteral("not a mac"));
    panel->lightControl(true); // nothing may go out for this one
    QTRY_COMPARE(sim.framesWithOpcode("0050").size(), 2);
    const QByteArray mac = adapterMacHex();
    const QList<QByteArray> f = sim.framesWithOpcode("0050");
    QCOMPARE(f.at(0), "025658000002" + mac + "0806230000500604000001" + QByteArray(18, '0') + mac + "00006688");
    QCOMPARE(f.at(1), "025658000001" + mac + "0806230000500604000002" + QByteArray(18, '0') + mac + "00006688");
    QTest::qWait(300); // the third call must not have sent anything; the simulator would report it
    QCOMPARE(sim.framesWithOpcode("0050").size(), 2);
}

void tst_IPManagerNet::lateConfigResultAfterNewSearch()
{
    // A result that arrives after a new search refilled the table belongs to a row that
    // no longer exists: it must not mark the new row.
    Simulator sim({"--devices", "1", "--config-result", "none"});
    QVERIFY(sim.isReady());
    QVERIFY(search() > 0);
    QTest::mouseClick(rowBox(0), Qt::LeftButton);
    QSignalSpy done(panel.get(), &IPManager::configDone_signal);
    QVERIFY(done.isValid());
    QTest::mouseClick(button("btn_config"), Qt::LeftButton);
    QVERIFY(search() > 0); // runs while the configuration waits for its answer
    QTRY_COMPARE_WITH_TIMEOUT(done.count(), 1, 10000);
    QTRY_VERIFY(button("btn_config")->isEnabled()); // its late result has been handled by now
    QCOMPARE(table()->rowCount(), 1);
    QCOMPARE(cell(0, 10), QString());
}

void tst_IPManagerNet::noAdapter()
{
    const QString iface = qEnvironmentVariable("VXA_TEST_IFACE");
    QVERIFY(run({"addr", "del", "198.18.0.2/24", "dev", iface}));
    struct Restore {
        QString iface;
        ~Restore() { run({"addr", "add", "198.18.0.2/24", "dev", iface}); }
    } restore{iface};
    panel.reset(new IPManager);
    QCOMPARE(cardList()->count(), 0);
    const qint64 ms = search();
    QVERIFY2(ms >= 0 && ms < 2000, qPrintable(QString::number(ms)));
    QCOMPARE(logLines().value(0).mid(18), QStringLiteral("No network adapter information"));
}

void tst_IPManagerNet::vanishedAdapter()
{
    // The adapter is listed (and matched) but gone when the search opens it.
    DummyAdapter dummy(QStringLiteral("198.19.7.1/24"));
    QVERIFY(dummy.ok);
    panel.reset(new IPManager);
    QCOMPARE(cardList()->count(), 2);
    const int idx = cardList()->findText(dummy.name, Qt::MatchStartsWith);
    QVERIFY(idx >= 0);
    cardList()->setCurrentIndex(idx);
    QCOMPARE(log()->toPlainText(), QStringLiteral("198.19.7.1"));
    dummy.remove();
    QVERIFY(search() > 0);
    const QStringList lines = logLines();
    QVERIFY2(!lines.isEmpty(), "no log line");
    const QRegularExpression stamp(QStringLiteral("^(\\d{8})-(\\d\\d):(\\d\\d):(\\d\\d) "));
    const QString last = lines.last();
    const QRegularExpressionMatch m = stamp.match(last);
    QVERIFY2(m.hasMatch(), qPrintable(last));
    QCOMPARE(m.captured(1), QDate::currentDate().toString(QStringLiteral("yyyyMMdd")));
    QCOMPARE(last.mid(18),
             QStringLiteral("The search did not start: the adapter %1 could not be opened.").arg(dummy.name));
    QVERIFY(log()->toPlainText().contains(QLatin1String("Unable to open the adapter")));
    QCOMPARE(table()->rowCount(), 0);
}

void tst_IPManagerNet::sendFailureLogIsReadable()
{
    // An adapter whose queue takes nothing opens but cannot send: the log line is readable Chinese.
    DummyAdapter dummy(QStringLiteral("198.19.8.1/24"));
    QVERIFY(dummy.ok);
    panel.reset(new IPManager);
    cardList()->setCurrentIndex(cardList()->findText(dummy.name, Qt::MatchStartsWith));
    QProcess tc;
    tc.start(QStringLiteral("tc"), {"qdisc", "add", "dev", dummy.name, "root", "pfifo", "limit", "0"});
    QVERIFY(tc.waitForFinished(10000) && tc.exitCode() == 0);
    QVERIFY(search() > 0);
    const QString last = logLines().value(logLines().size() - 1);
    QCOMPARE(last.mid(18), QString::fromUtf8("\xe8\xae\xbe\xe5\xa4\x87\xe6\x90\x9c\xe7\xb4\xa2\xe6\x95\xb0\xe6\x8d\xae\xe5\x8c\x85\xe5\x8f\x91\xe9\x80\x81\xe5\xa4\xb1\xe8\xb4\xa5"));
}

void tst_IPManagerNet::destroyDuringSearchAndConfig()
{
    Simulator sim({"--devices", "1", "--config-result", "none"});
    QVERIFY(sim.isReady());
    QVERIFY(search() > 0);
    QTest::mouseClick(rowBox(0), Qt::LeftButton);
    QTest::mouseClick(button("btn_config"), Qt::LeftButton); // waits 3 s for an answer that never comes
    QTest::mouseClick(button("btn_serach"), Qt::LeftButton);  // and a 3 s search on top
    QVERIFY(!button("btn_serach")->isEnabled());
    QElapsedTimer t;
    t.start();
    panel.reset();
    QVERIFY2(t.elapsed() < 2500, qPrintable(QString::number(t.elapsed())));
    QTest::qWait(100); // late queued results must find nothing to crash on
}

MyQHeaderView* tst_IPManagerNet::shownHeader()
{
    panel->resize(1000, 700);
    panel->show();
    if (!QTest::qWaitForWindowExposed(panel.get()))
        return nullptr;
    auto* header = qobject_cast<MyQHeaderView*>(table()->horizontalHeader());
    if (!header)
        return nullptr;
    header->viewport()->repaint();
    return header->checkBoxRect().isEmpty() ? nullptr : header;
}

void tst_IPManagerNet::namesWithNulBytes()
{
    // NULs inside a name or serial are dropped, not taken as the end of the text.
    Simulator sim({"--devices", "1", "--name-hex", "47610074650000", "--serial-hex", "00534e003737"});
    QVERIFY(sim.isReady());
    QVERIFY(search() > 0);
    QCOMPARE(table()->rowCount(), 1);
    QCOMPARE(cell(0, 4), QStringLiteral("Gate"));
    QCOMPARE(cell(0, 8), QStringLiteral("SN77"));
}

void tst_IPManagerNet::configButtonLockedWhileRunning()
{
    // Three silent devices keep a configuration busy for about 9 s. A second click must
    // neither start a second run nor wait for the first on the GUI thread.
    Simulator sim({"--devices", "3", "--config-result", "none"});
    QVERIFY(sim.isReady());
    QVERIFY(search() > 0);
    for (int r = 0; r < 3; ++r)
        QTest::mouseClick(rowBox(r), Qt::LeftButton);
    QSignalSpy ended(panel.get(), &IPManager::configEnded_signal);
    QVERIFY(ended.isValid());
    QTest::mouseClick(button("btn_config"), Qt::LeftButton);
    QVERIFY(!button("btn_config")->isEnabled());
    button("btn_config")->click(); // ignored while disabled
    QVERIFY(search() > 0);         // a search meanwhile must not unlock it either
    QVERIFY(!button("btn_config")->isEnabled());
    QVERIFY2(ended.isEmpty(), "the configuration should still be running");
    QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 1, 20000);
    QTRY_VERIFY(button("btn_config")->isEnabled());
    QCOMPARE(sim.framesWithOpcode("0030").size(), 3); // one run, one request per device
}

void tst_IPManagerNet::answerCountsOnlyForItsDevice()
{
    // Device 1 answers 3.1 s late, device 2 never: the late answer belongs to row 1 (which
    // first shows "failed", then the result), never to row 2, which is waiting meanwhile.
    Simulator sim({"--devices", "2", "--config-delays", "3100,none"});
    QVERIFY(sim.isReady());
    QVERIFY(search() > 0);
    QTest::mouseClick(rowBox(0), Qt::LeftButton);
    QTest::mouseClick(rowBox(1), Qt::LeftButton);
    edit("ip_edit")->setText(QStringLiteral("198.18.9.9"));
    QSignalSpy ended(panel.get(), &IPManager::configEnded_signal);
    QVERIFY(ended.isValid());
    QTest::mouseClick(button("btn_config"), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 1, 20000);
    QTRY_COMPARE(cell(0, 10), QStringLiteral("success"));
    QCOMPARE(cell(0, 5), QStringLiteral("198.18.9.9"));
    QCOMPARE(cell(1, 10), QStringLiteral("failed"));
    QCOMPARE(cell(1, 5), QStringLiteral("198.18.1.11")); // unchanged
}

void tst_IPManagerNet::adapterVanishesMidSearch()
{
    DummyAdapter dummy(QStringLiteral("198.19.9.1/24"), true);
    QVERIFY(dummy.ok);
    Simulator sim({"--iface", dummy.peer, "--devices", "0"});
    QVERIFY(sim.isReady());
    QVERIFY(useAdapter(dummy));
    QSignalSpy done(panel.get(), &IPManager::searchDone_signal);
    QVERIFY(done.isValid());
    QTest::mouseClick(button("btn_serach"), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(sim.framesWithOpcode("0010").size(), 1, 10000); // the search is listening
    dummy.remove();
    QTRY_COMPARE_WITH_TIMEOUT(done.count(), 1, 10000);
    QTRY_VERIFY(button("btn_serach")->isEnabled());
    QCOMPARE(table()->rowCount(), 0);
    const QString last = logLines().value(logLines().size() - 1).mid(18);
    QVERIFY2(last.startsWith(QStringLiteral("Capture on %1 stopped: ").arg(dummy.name)), qPrintable(last));
}

void tst_IPManagerNet::adapterVanishesMidConfig()
{
    DummyAdapter dummy(QStringLiteral("198.19.9.1/24"), true);
    QVERIFY(dummy.ok);
    Simulator sim({"--iface", dummy.peer, "--devices", "2", "--config-result", "none"});
    QVERIFY(sim.isReady());
    QVERIFY(useAdapter(dummy));
    QVERIFY(search() > 0);
    QCOMPARE(table()->rowCount(), 2);
    QTest::mouseClick(rowBox(0), Qt::LeftButton);
    QTest::mouseClick(rowBox(1), Qt::LeftButton);
    QSignalSpy ended(panel.get(), &IPManager::configEnded_signal);
    QVERIFY(ended.isValid());
    QTest::mouseClick(button("btn_config"), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(sim.framesWithOpcode("0030").size(), 1, 10000); // row 1 is waiting
    dummy.remove();
    QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 1, 10000);
    // Both rows get their status: the waiting one and the one never sent.
    QTRY_COMPARE(cell(0, 10), QStringLiteral("failed"));
    QTRY_COMPARE(cell(1, 10), QStringLiteral("failed"));
    QVERIFY2(log()->toPlainText().contains(QStringLiteral("Capture on %1 stopped: ").arg(dummy.name)),
             qPrintable(log()->toPlainText()));
    QTRY_VERIFY(button("btn_config")->isEnabled());
}

void tst_IPManagerNet::tickedBoxesAreTheSelection()
{
    Simulator sim({"--devices", "2"});
    QVERIFY(sim.isReady());
    MyQHeaderView* header = shownHeader();
    QVERIFY(header);
    QVERIFY(search() > 0);
    // Tick, untick, tick, then "Sel All" on and off: nothing is ticked in the end.
    QTest::mouseClick(rowBox(0), Qt::LeftButton);
    QTest::mouseClick(rowBox(0), Qt::LeftButton);
    QTest::mouseClick(rowBox(0), Qt::LeftButton);
    clickHeaderBox(header);
    clickHeaderBox(header);
    QVERIFY(!rowBox(0)->isChecked() && !rowBox(1)->isChecked());
    QString text;
    testutil::answerNextModal(QStringLiteral("OK"), [&text](QWidget* box) {
        text = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))->text();
    });
    QTest::mouseClick(button("btn_config"), Qt::LeftButton);
    QTRY_VERIFY(!qApp->activeModalWidget());
    QCOMPARE(text, QStringLiteral("Please choose at least one device first!"));

    // A new search empties the table and clears "Sel All" with it: one click ticks all.
    clickHeaderBox(header);
    QVERIFY(header->isChecked());
    QVERIFY(search() > 0);
    QVERIFY(!header->isChecked());
    QCOMPARE(table()->rowCount(), 2);
    clickHeaderBox(header);
    QVERIFY(rowBox(0)->isChecked() && rowBox(1)->isChecked());
    QTest::qWait(300); // nothing may have gone out; the simulator would report it
    QCOMPARE(sim.framesWithOpcode("0030").size(), 0);
}

void tst_IPManagerNet::contextMenu_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("seen"); // by the simulator, the browser or the device tree
    QTest::newRow("indicator on") << 1 << "Indicator On" << "02:56:58:00:00:02 on";
    QTest::newRow("indicator off") << 0 << "Indicator Off" << "02:56:58:00:00:01 off";
    QTest::newRow("logon web") << 2 << "Logon Web" << "http://198.18.1.12/us/login.html";
    QTest::newRow("open consolo") << 1 << "Open Consolo" << "198.18.1.11";
}

void tst_IPManagerNet::contextMenu()
{
    QFETCH(int, row);
    QFETCH(QString, action);
    QFETCH(QString, seen);
    QTemporaryDir dir;
    const QString indicators = dir.filePath(QStringLiteral("indicators"));
    Simulator sim({"--devices", "3", "--indicator-log", indicators});
    QVERIFY(sim.isReady());
    UrlCatcher browser;
    QDesktopServices::setUrlHandler(QStringLiteral("http"), &browser, "openUrl");
    QVERIFY(shownHeader());
    QVERIFY(search() > 0);
    auto* tabs = panel->findChild<QTabWidget*>(QStringLiteral("tabWidget"));
    QCOMPARE(tabs->count(), 1); // no consoles yet
    QMenu* menu = rightClick(row);
    QVERIFY(menu);
    QCOMPARE(table()->currentRow(), row);
    const QList<QAction*> all = menu->actions();
    QAction* act = *std::find_if(all.begin(), all.end(), [&action](QAction* a) { return a->text() == action; });
    QVERIFY(act->isEnabled());
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(act).center());
    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
    if (action.startsWith(QLatin1String("Indicator"))) {
        auto logged = [&indicators] {
            QFile f(indicators);
            return f.open(QIODevice::ReadOnly) ? QString::fromLatin1(f.readAll()) : QString();
        };
        QTRY_COMPARE(logged(), seen + QLatin1Char('\n'));
    } else if (action == QLatin1String("Logon Web")) {
        QCOMPARE(browser.urls, QStringList{seen});
    } else {
        // Shown on its own tab and listed in the tree; a second console, then back through the tree.
        auto* tree = qobject_cast<QTreeWidget*>(panel->GetManagerWidget());
        QCOMPARE(tabs->count(), 2);
        QCOMPARE(tabs->currentIndex(), 1);
        QTest::mouseClick(rightClick(0), Qt::LeftButton, {}, menu->actionGeometry(act).center());
        QCOMPARE(tree->topLevelItemCount(), 2);
        QCOMPARE(tree->topLevelItem(0)->text(0), seen);
        tree->show();
        QVERIFY(QTest::qWaitForWindowExposed(tree));
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(tree->topLevelItem(0)).center());
        QVERIFY(panel->findChild<QLabel*>(QStringLiteral("labelDeviceInfo"))->text().contains(seen));
        auto* shown = qobject_cast<CIceDevConsolo*>(panel->findChild<QStackedWidget*>(QStringLiteral("stackedWidget"))->currentWidget());
        QVERIFY(shown && shown->deviceIp() == seen);
        QVERIFY(search() > 0); // the consoles go with the rows, and their tab with them
        QCOMPARE(tabs->count(), 1);
        QCOMPARE(tree->topLevelItemCount(), 0);
    }
}

void tst_IPManagerNet::contextMenuOnlyOnIdleRows()
{
    Simulator sim({"--devices", "3"});
    QVERIFY(sim.isReady());
    QVERIFY(shownHeader());
    QSignalSpy done(panel.get(), &IPManager::searchDone_signal);
    QTest::mouseClick(button("btn_serach"), Qt::LeftButton);
    QTRY_COMPARE(table()->rowCount(), 3); // answers in, the search still waits for more
    QMenu* menu = rightClick(1);
    QVERIFY(menu && done.isEmpty());
    for (QAction* a : menu->actions())
        QVERIFY2(!a->isEnabled(), qPrintable(a->text()));
    menu->close();
    QTRY_COMPARE_WITH_TIMEOUT(done.count(), 1, 10000);
    QVERIFY(!rightClick(-1)); // empty space below the rows: no menu
}

void tst_IPManagerNet::plantSizedSearch()
{
    Simulator sim({"--devices", "5000"});
    QVERIFY(sim.isReady());
    QVERIFY(search() > 0);
    QCOMPARE(table()->rowCount(), 5000);
    for (int r : {0, 2499, 4999})
        QCOMPARE(cell(r, 4), QStringLiteral("VXA-DEV-%1").arg(r + 1));
}

QTEST_MAIN(tst_IPManagerNet)
#include "tst_ipmanager_net.moc"
