#include "CDebugWorker.h"
#include "MySortFilterProxyModel.h"
#include "simprocess.h"
#include "statusmessages.h"
#include "tcpClientSocket_.h"
#include "testutil.h"
#include "winDebug.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableView>
#include <QtTest>

#include <algorithm>

namespace {
Command makeCommand(int index, const QString& type, const QByteArray& content = QByteArray("\x01", 1),
                    const QString& message = QStringLiteral("m"), const QString& src = QStringLiteral("S"),
                    const QString& dst = QStringLiteral("D"))
{
    Command c;
    c.index = index;
    c.time = QDateTime::currentDateTime();
    c.type = type;
    c.source = src;
    c.destination = dst;
    c.content = content;
    c.message = message;
    return c;
}

QColor background(QStandardItemModel* m, int row)
{
    return m->item(row, 0)->background().color();
}

// Runs the test in a temporary working directory, where the record file is written.
class TempCurrentDir
{
public:
    TempCurrentDir()
        : previous(QDir::currentPath())
    {
        QDir::setCurrent(dir.path());
    }
    ~TempCurrentDir() { QDir::setCurrent(previous); }
    QString filePath(const QString& name) const { return dir.filePath(name); }

private:
    QTemporaryDir dir;
    QString previous;
};

const QColor White(255, 255, 255);
const QColor Grey(233, 231, 227);
} // namespace

class tst_WinDebug : public QObject
{
    Q_OBJECT
private slots:
    void coloursAndRowCap();
    void rulesAndFilter();
    void newValueKeepsChosenRules();
    void rulesAreBounded();
    void findNext();
    void panesFollowTheFilteredView();
    void findNextUnderFilter();
    void startWhileDisconnected();
    void clearEmptiesEverything();
    void recordFileAndLiveFrames();
    void reconnectionResendsStart();
    void closeStopsTheLink();
    void floodShowsNewestHundred();
    void columnsFitTheirContents_data();
    void columnsFitTheirContents();
};

void tst_WinDebug::coloursAndRowCap()
{
    winDebug w;
    QStandardItemModel* m = w.frameModel();
    for (int k = 1; k <= 3; ++k)
        QVERIFY(w.doUpdateFrame(makeCommand(k, QStringLiteral("A"))));
    QCOMPARE(background(m, 0), White);
    QCOMPARE(background(m, 1), Grey);
    QCOMPARE(background(m, 2), White);
    QCOMPARE(m->item(0, 4)->text(), QStringLiteral("01 "));
    QCOMPARE(m->item(0, 4)->data(Qt::UserRole).toString(), QStringLiteral("m"));
    for (int k = 4; k <= 101; ++k)
        w.doUpdateFrame(makeCommand(k, QStringLiteral("A")));
    QCOMPARE(m->rowCount(), 100);
    QCOMPARE(m->verticalHeaderItem(0)->text(), QStringLiteral("2"));
    QCOMPARE(m->verticalHeaderItem(99)->text(), QStringLiteral("101"));
    for (int r = 0; r < 99; ++r)
        QVERIFY2(background(m, r) != background(m, r + 1), qPrintable(QString::number(r)));
    for (int k = 102; k <= 105; ++k)
        w.doUpdateFrame(makeCommand(k, QStringLiteral("A")));
    QCOMPARE(m->rowCount(), 100);
    QCOMPARE(m->verticalHeaderItem(0)->text(), QStringLiteral("6"));
    for (int r = 0; r < 99; ++r)
        QVERIFY(background(m, r) != background(m, r + 1));
}

void tst_WinDebug::rulesAndFilter()
{
    winDebug w;
    auto* combo = w.findChild<QComboBox*>(QStringLiteral("comboBox"));
    QVERIFY(combo);
    QCOMPARE(combo->count(), 1);
    QCOMPARE(combo->itemData(0, Qt::WhatsThisRole).toInt(), 3);
    w.doUpdateFrame(makeCommand(1, QStringLiteral("B")));
    w.doUpdateFrame(makeCommand(2, QStringLiteral("A")));
    w.doUpdateFrame(makeCommand(3, QStringLiteral("C")));
    w.doUpdateFrame(makeCommand(4, QStringLiteral("A")));
    QStringList items;
    for (int k = 0; k < combo->count(); ++k)
        items << combo->itemText(k);
    QCOMPARE(items, (QStringList{"ALL", "[DST]:D", "[SRC]:S", "[TYPE]:A", "[TYPE]:B", "[TYPE]:C"}));
    auto* proxy = w.proxyModel();
    QCOMPARE(proxy->rowCount(), 4);

    combo->setCurrentIndex(items.indexOf(QStringLiteral("[TYPE]:A")));
    QCOMPARE(proxy->rowCount(), 2);
    for (int r = 0; r < proxy->rowCount(); ++r)
        QCOMPARE(proxy->index(r, 1).data().toString(), QStringLiteral("A"));
    QCOMPARE(combo->lineEdit()->toolTip(), QStringLiteral("[TYPE]:A"));

    combo->setCurrentIndex(items.indexOf(QStringLiteral("[TYPE]:B")));
    QCOMPARE(proxy->rowCount(), 3); // A or B, never C
    QCOMPARE(w.chosenRules(), (QStringList{"[TYPE]:A", "[TYPE]:B"}));
    QCOMPARE(combo->lineEdit()->toolTip(), QStringLiteral("[TYPE]:A|[TYPE]:B"));

    // Choosing a chosen rule again switches it off.
    combo->setCurrentIndex(items.indexOf(QStringLiteral("[TYPE]:A")));
    QCOMPARE(proxy->rowCount(), 1);
    QCOMPARE(proxy->index(0, 1).data().toString(), QStringLiteral("B"));

    combo->setCurrentIndex(0);
    QCOMPARE(proxy->rowCount(), 4);
    QVERIFY(w.chosenRules().isEmpty());
    QCOMPARE(combo->lineEdit()->text(), QStringLiteral("ALL"));
}

void tst_WinDebug::newValueKeepsChosenRules()
{
    winDebug w;
    auto* combo = w.findChild<QComboBox*>(QStringLiteral("comboBox"));
    w.doUpdateFrame(makeCommand(1, QStringLiteral("A")));
    w.doUpdateFrame(makeCommand(2, QStringLiteral("B")));
    combo->setCurrentIndex(combo->findText(QStringLiteral("[TYPE]:A")));
    QCOMPARE(w.proxyModel()->rowCount(), 1);
    // Known and new values alike leave the choice alone; the new rule goes in sorted.
    w.doUpdateFrame(makeCommand(3, QStringLiteral("A")));
    QCOMPARE(w.proxyModel()->rowCount(), 2);
    w.doUpdateFrame(makeCommand(4, QStringLiteral("0")));
    w.doUpdateFrame(makeCommand(5, QStringLiteral("Z")));
    QCOMPARE(w.proxyModel()->rowCount(), 2);
    QCOMPARE(w.chosenRules(), QStringList{QStringLiteral("[TYPE]:A")});
    QCOMPARE(combo->itemText(combo->currentIndex()), QStringLiteral("[TYPE]:A"));
    QCOMPARE(combo->lineEdit()->toolTip(), QStringLiteral("[TYPE]:A"));
    QStringList items;
    for (int k = 0; k < combo->count(); ++k)
        items << combo->itemText(k);
    QCOMPARE(items, QStringList{"ALL"} + w.knownRules());
    QCOMPARE(w.knownRules(), (QStringList{"[DST]:D", "[SRC]:S", "[TYPE]:0", "[TYPE]:A", "[TYPE]:B", "[TYPE]:Z"}));
}

void tst_WinDebug::rulesAreBounded()
{
    // Sources beyond the cap push out the least recently seen ones, except chosen rules.
    winDebug w;
    auto* combo = w.findChild<QComboBox*>(QStringLiteral("comboBox"));
    const int cap = winDebug::MaxRulesPerKind;
    auto frameFrom = [](int k, const QString& src) {
        return makeCommand(k, QStringLiteral("T"), QByteArray("\x01", 1), QStringLiteral("m"), src);
    };
    for (int k = 0; k < cap; ++k)
        w.doUpdateFrame(frameFrom(k, QStringLiteral("S%1").arg(k, 5, 10, QLatin1Char('0'))));
    combo->setCurrentIndex(combo->findText(QStringLiteral("[SRC]:S00000"))); // the oldest, chosen
    w.doUpdateFrame(frameFrom(cap, QStringLiteral("S00001")));               // seen again: now recent
    for (int k = 0; k < 3; ++k)
        w.doUpdateFrame(frameFrom(cap + 1 + k, QStringLiteral("N%1").arg(k)));
    const QStringList rules = w.knownRules();
    QCOMPARE(rules.filter(QStringLiteral("[SRC]:")).size(), cap);
    QVERIFY(rules.contains(QStringLiteral("[SRC]:S00000"))); // chosen
    QVERIFY(rules.contains(QStringLiteral("[SRC]:S00001"))); // refreshed
    for (const char* gone : {"[SRC]:S00002", "[SRC]:S00003", "[SRC]:S00004"})
        QVERIFY2(!rules.contains(QString::fromLatin1(gone)), gone);
    QVERIFY(rules.contains(QStringLiteral("[SRC]:N2")));
    QVERIFY(std::is_sorted(rules.cbegin(), rules.cend()));
    QCOMPARE(combo->count(), rules.size() + 1);
    QCOMPARE(combo->itemText(0), QStringLiteral("ALL"));
    for (int k = 0; k < rules.size(); ++k)
        QCOMPARE(combo->itemText(k + 1), rules.at(k));
    QCOMPARE(w.chosenRules(), QStringList{QStringLiteral("[SRC]:S00000")});
    QCOMPARE(combo->lineEdit()->toolTip(), QStringLiteral("[SRC]:S00000"));
    // The filter still holds: none of the newer frames is from S00000.
    QCOMPARE(w.proxyModel()->rowCount(), 0);
}

void tst_WinDebug::findNext()
{
    winDebug w;
    for (int k = 0; k < 8; ++k) {
        QByteArray content("\x10\x20", 2);
        QString msg = QStringLiteral("plain");
        if (k == 2)
            content = QByteArray("\xab\xcd", 2); // found in the hex text
        if (k == 5)
            msg = QStringLiteral("has ab cd inside"); // found in the message
        w.doUpdateFrame(makeCommand(k + 1, QStringLiteral("A"), content, msg));
    }
    auto* find = w.findChild<QLineEdit*>(QStringLiteral("editFindContent"));
    auto* next = w.findChild<QPushButton*>(QStringLiteral("btnFindNext"));
    auto* view = w.findChild<QTableView*>(QStringLiteral("tableView"));
    QVERIFY(find && next && view);
    find->setText(QStringLiteral("ab cd"));
    next->click();
    QCOMPARE(view->currentIndex().row(), 2);
    next->click();
    QCOMPARE(view->currentIndex().row(), 5);
    next->click(); // nothing after row 5: starts over
    QCOMPARE(view->currentIndex().row(), 5);
    next->click();
    QCOMPARE(view->currentIndex().row(), 2);
    // Editing the text starts the search from the top again.
    next->click();
    QCOMPARE(view->currentIndex().row(), 5);
    find->setText(QStringLiteral("ab c"));
    next->click();
    QCOMPARE(view->currentIndex().row(), 2);
}

void tst_WinDebug::panesFollowTheFilteredView()
{
    winDebug w;
    w.doUpdateFrame(makeCommand(1, QStringLiteral("A"), QByteArray("\xaa", 1), QStringLiteral("frame A")));
    w.doUpdateFrame(makeCommand(2, QStringLiteral("B"), QByteArray("\xbb", 1), QStringLiteral("frame B")));
    auto* combo = w.findChild<QComboBox*>(QStringLiteral("comboBox"));
    auto* view = w.findChild<QTableView*>(QStringLiteral("tableView"));
    auto* data = w.findChild<QPlainTextEdit*>(QStringLiteral("textEditData"));
    auto* frame = w.findChild<QPlainTextEdit*>(QStringLiteral("textEditFrame"));
    combo->setCurrentIndex(combo->findText(QStringLiteral("[TYPE]:B")));
    QCOMPARE(w.proxyModel()->rowCount(), 1);
    view->selectRow(0); // view row 0 is table row 1
    QCOMPARE(frame->toPlainText(), QStringLiteral("frame B"));
    QCOMPARE(data->toPlainText(), QStringLiteral("bb "));
    w.doClearRight();
    QVERIFY(frame->toPlainText().isEmpty());
    QVERIFY(data->toPlainText().isEmpty());
}

void tst_WinDebug::findNextUnderFilter()
{
    winDebug w;
    w.doUpdateFrame(makeCommand(1, QStringLiteral("A"), QByteArray("\x11", 1), QStringLiteral("needle A")));
    w.doUpdateFrame(makeCommand(2, QStringLiteral("B"), QByteArray("\x22", 1), QStringLiteral("hay")));
    w.doUpdateFrame(makeCommand(3, QStringLiteral("B"), QByteArray("\x33", 1), QStringLiteral("needle B")));
    auto* combo = w.findChild<QComboBox*>(QStringLiteral("comboBox"));
    auto* frame = w.findChild<QPlainTextEdit*>(QStringLiteral("textEditFrame"));
    auto* view = w.findChild<QTableView*>(QStringLiteral("tableView"));
    combo->setCurrentIndex(combo->findText(QStringLiteral("[TYPE]:B")));
    w.findChild<QLineEdit*>(QStringLiteral("editFindContent"))->setText(QStringLiteral("needle"));
    w.doFindNext();
    QCOMPARE(view->currentIndex().row(), 1);
    QCOMPARE(frame->toPlainText(), QStringLiteral("needle B"));
}

void tst_WinDebug::startWhileDisconnected()
{
    winDebug w;
    auto* start = w.findChild<QAction*>(QStringLiteral("actionStart"));
    auto* stop = w.findChild<QAction*>(QStringLiteral("actionStop"));
    QVERIFY(start && stop);
    QString title, text;
    testutil::answerNextModal(QStringLiteral("OK"), [&](QWidget* box) {
        title = box->windowTitle();
        text = testutil::modalText(box);
    });
    start->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(!qApp->activeModalWidget(), 5000);
    QCOMPARE(title, QStringLiteral("tips"));
    QCOMPARE(text, QStringLiteral("Connection failure, Please check whether the network is faulty or there is a "
                                  "connection for message debugging of this device!"));
    QVERIFY(start->isEnabled());
    QVERIFY(!stop->isEnabled());
    QVERIFY(!w.debugWorker()->isRunning());
}

void tst_WinDebug::clearEmptiesEverything()
{
    winDebug w;
    w.debugWorker()->receiveBlock(QByteArray(4, '\0'));
    w.debugWorker()->parsePending();
    for (int k = 1; k <= 5; ++k)
        w.doUpdateFrame(makeCommand(k, QStringLiteral("A")));
    w.findChild<QTableView*>(QStringLiteral("tableView"))->selectRow(1);
    QVERIFY(!w.findChild<QPlainTextEdit*>(QStringLiteral("textEditFrame"))->toPlainText().isEmpty());
    w.doClear();
    QCOMPARE(w.frameModel()->rowCount(), 0);
    QVERIFY(w.knownRules().isEmpty());
    QCOMPARE(w.findChild<QComboBox*>(QStringLiteral("comboBox"))->count(), 1);
    QVERIFY(w.findChild<QPlainTextEdit*>(QStringLiteral("textEditFrame"))->toPlainText().isEmpty());
    QCOMPARE(w.debugWorker()->formatErrSize(), 0);
    QCOMPARE(w.debugWorker()->nextIndex(), 1);
    QCOMPARE(w.findChild<QLabel*>(QStringLiteral("err_format"))->text(), QStringLiteral("Err format: 0"));
}

void tst_WinDebug::recordFileAndLiveFrames()
{
    TempCurrentDir cwd;
    SimProcess sim({QStringLiteral("--count"), QStringLiteral("5"), QStringLiteral("--rate"), QStringLiteral("100"),
                    QStringLiteral("--types"), QStringLiteral("T1,T2")});
    QVERIFY(sim.isValid());
    winDebug w;
    w.connectToHost(QStringLiteral("127.0.0.1"), sim.port());
    QTRY_VERIFY_WITH_TIMEOUT(w.debugWorker()->isValid(), 5000);
    auto* light = w.findChild<QAction*>(QStringLiteral("actionLight"));
    QCOMPARE(light->toolTip(), QStringLiteral("Connected"));
    QString title, text;
    testutil::answerNextModal(QStringLiteral("&Yes"), [&](QWidget* box) {
        title = box->windowTitle();
        text = testutil::modalText(box);
    });
    QSignalSpy posted(StatusMessages::instance(), &StatusMessages::message);
    w.doStart();
    // Where the record goes is said, once.
    QCOMPARE(posted.count(), 1);
    QCOMPARE(posted.first().at(0).toString(),
             QStringLiteral("Recording frames into ") + QDir::current().absoluteFilePath(QStringLiteral("rs1.txt")));
    QCOMPARE(title, QStringLiteral("Save to file"));
    QCOMPARE(text, QStringLiteral("Do you want to save data to the file named rs1.txt?"));
    QVERIFY(w.isSaving());
    QVERIFY(!w.findChild<QAction*>(QStringLiteral("actionStart"))->isEnabled());
    QTRY_COMPARE_WITH_TIMEOUT(w.frameModel()->rowCount(), 5, 5000);
    QCOMPARE(w.knownRules(), (QStringList{"[DST]:DST1", "[SRC]:SRC1", "[TYPE]:T1", "[TYPE]:T2"}));
    w.doStop();
    QVERIFY(w.findChild<QAction*>(QStringLiteral("actionStart"))->isEnabled());
    QFile f(cwd.filePath(QStringLiteral("rs1.txt")));
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray all = f.readAll();
    QCOMPARE(all.count("\r\n\r\n"), 5);
    QVERIFY(all.endsWith("\r\n\r\n"));
    QVERIFY(all.startsWith("Type::T1  Source::SRC1  Destination::DST1  Data::00 01 02 03 04 05 06 07   Date::"));
    QVERIFY(all.contains("  Description::message\r\n\r\nType::T2"));
}

void tst_WinDebug::reconnectionResendsStart()
{
    SimProcess sim({QStringLiteral("--drop-after"), QStringLiteral("3"), QStringLiteral("--rate"), QStringLiteral("50")});
    QVERIFY(sim.isValid());
    winDebug w;
    w.debugWorker()->device()->reconnectInterval = 200;
    w.connectToHost(QStringLiteral("127.0.0.1"), sim.port());
    QTRY_VERIFY_WITH_TIMEOUT(w.debugWorker()->isValid(), 5000);
    testutil::answerNextModal(QStringLiteral("&No"));
    w.doStart();
    QVERIFY(!w.isSaving());
    const QString start = QStringLiteral("cmd 7d 7d 7d 00 0b 80 00 02 7f 7f 7f");
    QCOMPARE(sim.waitForLine(QStringLiteral("cmd 7d 7d 7d 00 0b 80 00"), 5000), start);
    QVERIFY(!sim.waitForLine(QStringLiteral("dropping"), 5000).isEmpty());
    QCOMPARE(sim.waitForLine(QStringLiteral("cmd 7d 7d 7d 00 0b 80 00"), 5000), start);
    QTRY_VERIFY_WITH_TIMEOUT(w.frameModel()->rowCount() >= 5, 5000);
    QCOMPARE(w.findChild<QAction*>(QStringLiteral("actionLight"))->toolTip(), QStringLiteral("Connected"));
    w.doStop();
}

void tst_WinDebug::closeStopsTheLink()
{
    SimProcess sim({QStringLiteral("--rate"), QStringLiteral("50")});
    QVERIFY(sim.isValid());
    winDebug w;
    w.connectToHost(QStringLiteral("127.0.0.1"), sim.port());
    QTRY_VERIFY_WITH_TIMEOUT(w.debugWorker()->isValid(), 5000);
    testutil::answerNextModal(QStringLiteral("&No"));
    w.doStart();
    QTRY_VERIFY_WITH_TIMEOUT(w.frameModel()->rowCount() >= 2, 5000);
    w.close();
    QVERIFY(!w.debugWorker()->isRunning());
    QCOMPARE(w.frameModel()->rowCount(), 0);
    QVERIFY(!sim.waitForLine(QStringLiteral("cmd 7d 7d 7d 00 0b 80 01"), 5000).isEmpty());
}

// A burst far larger than the table reaches the window as the newest 100 frames only:
// the display sheds the rest instead of queueing them.
void tst_WinDebug::floodShowsNewestHundred()
{
    winDebug w;
    QByteArray frame = QByteArray::fromHex("7d7d7d0015000010000001411201000162");
    unsigned char sum = 0;
    for (char c : frame)
        sum = static_cast<unsigned char>(sum + static_cast<unsigned char>(c));
    frame.append(char(sum)).append("\x7f\x7f\x7f", 3);
    QCOMPARE(frame.size(), 0x15);
    QByteArray burst;
    for (int k = 0; k < 5000; ++k)
        burst += frame;
    CDebugWorker* worker = w.debugWorker();
    worker->receiveBlock(burst);
    QCOMPARE(worker->parsePending(), 5000);
    QTRY_COMPARE_WITH_TIMEOUT(w.frameModel()->rowCount(), 100, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(w.frameModel()->verticalHeaderItem(99)->text(), QStringLiteral("5000"), 5000);
    QCOMPARE(w.frameModel()->verticalHeaderItem(0)->text(), QStringLiteral("4901"));
    QCOMPARE(worker->shedFrames(), 4900LL);
    QCOMPARE(w.frameModel()->item(99, 1)->text(), QStringLiteral("A"));
    QCOMPARE(w.frameModel()->item(99, 4)->data(Qt::UserRole).toString(), QStringLiteral("b"));
}

void tst_WinDebug::columnsFitTheirContents_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("source");
    QTest::addColumn<bool>("capped");
    QTest::newRow("short names") << "A" << "S" << false;
    QTest::newRow("simulator names") << "TYPE_A" << "module.alpha" << false;
    QTest::newRow("long type and source") << "CONFIGURATION_CHANGED" << "gateway.uplink.port7" << false;
    QTest::newRow("endless source") << "TYPE_B" << QString(300, QLatin1Char('x')) << true;
}

void tst_WinDebug::columnsFitTheirContents()
{
    QFETCH(QString, type);
    QFETCH(QString, source);
    QFETCH(bool, capped);
    winDebug w;
    w.resize(900, 500);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QVERIFY(w.doUpdateFrame(makeCommand(1, type, QByteArray("\x01", 1), QStringLiteral("m"), source)));
    auto* view = w.findChild<QTableView*>(QStringLiteral("tableView"));
    QVERIFY(view);
    // What the view itself would need to show column c's cells whole.
    auto contentWidth = [view](int c) { return static_cast<QAbstractItemView*>(view)->sizeHintForColumn(c); };
    for (int c = 0; c < 3; ++c) {
        if (capped && c == 2)
            continue;
        QVERIFY2(view->columnWidth(c) >= contentWidth(c),
                 qPrintable(QStringLiteral("column %1: %2 < %3").arg(c).arg(view->columnWidth(c)).arg(contentWidth(c))));
    }
    // A peer's endless name leaves the content column in sight.
    QVERIFY(view->columnWidth(2) <= view->fontMetrics().averageCharWidth() * 48);
    const int line = view->fontMetrics().height();
    QVERIFY(view->rowHeight(0) >= line);
    QVERIFY2(view->rowHeight(0) <= line + 8, qPrintable(QString::number(view->rowHeight(0))));
}

QTEST_MAIN(tst_WinDebug)
#include "tst_windebug.moc"
