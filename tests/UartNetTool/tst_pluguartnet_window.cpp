// The "Uart Net Assistant" slot of the main window end to end: a new panel from the
// tree, open as TCP client, send and receive, send a file, save the set through the
// real file dialog and load it back into the same window.

#include "UartNetAssist.h"
#include "plugUartNetManager.h"
#include "testutil.h"
#include "vxaWindow.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSettings>
#include <QStackedWidget>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QToolBox>
#include <QtTest>

#include <functional>

namespace {

template <class T>
T* child(QWidget* w, const char* name)
{
    T* c = w->findChild<T*>(QString::fromLatin1(name));
    if (!c)
        qFatal("control %s not found", name);
    return c;
}

// Answers the next file dialog with path (typed into the dialog, then accepted);
// `after` runs once it has closed (e.g. to answer the box that follows). The dialog
// loads its directory in the background, so an accept that does not take yet is
// simply tried again on the next tick.
void answerFileDialog(const QString& path, bool* seen, std::function<void()> after = {})
{
    auto* timer = new QTimer;
    auto* ticks = new int(0);
    auto* accepted = new QPointer<QFileDialog>;
    const int baseLevel = QThread::currentThread()->loopLevel();
    timer->setInterval(20);
    auto* acted = new bool(false);
    QObject::connect(timer, &QTimer::timeout, timer, [=] {
        const bool giveUp = ++*ticks > 500;
        // The dialog is gone (deleted or hidden) once an accept has taken.
        if (*acted && (!*accepted || !(*accepted)->isVisible())) {
            timer->stop();
            if (after)
                after();
        } else if (!giveUp) {
            auto* dlg = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            // Showing the dialog may process events before its own loop runs; accepting
            // then would leave that loop waiting for ever. Act only inside the loop.
            if (dlg && QThread::currentThread()->loopLevel() > baseLevel) {
                *seen = true;
                *acted = true;
                *accepted = dlg;
                // Typed as a user would: selectFile() leaves a focused name field alone.
                dlg->setDirectory(QFileInfo(path).absolutePath());
                if (auto* name = dlg->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
                    name->setText(QFileInfo(path).fileName());
                else
                    dlg->selectFile(path);
                QMetaObject::invokeMethod(dlg, "accept");
            }
            return;
        }
        timer->stop();
        timer->deleteLater();
        delete ticks;
        delete accepted;
        delete acted;
    });
    timer->start();
}

} // namespace

class tst_PlugUartNetWindow : public QObject
{
    Q_OBJECT

private slots:
    void slotEndToEnd();
};

void tst_PlugUartNetWindow::slotEndToEnd()
{
    testutil::TempAppDir appDir;
    QTemporaryDir files;
    QVERIFY(files.isValid());
    vxaWindow window;
    window.show();

    auto* box = window.findChild<QToolBox*>(QStringLiteral("toolBox"));
    QVERIFY(box);
    auto* tree = qobject_cast<plugUartNetManager*>(box->widget(2));
    QVERIFY2(tree, "tool box page 2 is the assistant's tree");
    auto* windowStack = window.findChild<QStackedWidget*>(QStringLiteral("stackedWidget"));
    QVERIFY(windowStack);
    auto* panels = qobject_cast<QStackedWidget*>(windowStack->widget(2));
    QVERIFY2(panels, "stack page 2 is the assistant's panel stack");

    tree->newAction->trigger();
    QCOMPARE(tree->topLevelItemCount(), 1);
    auto* panel = qobject_cast<UartNetAssist*>(panels->currentWidget());
    QVERIFY(panel);

    // Open as TCP client to a loopback server; the node takes the panel's title.
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost, 0));
    child<QComboBox>(panel, "choose_protocol")->setCurrentIndex(2);
    child<QComboBox>(panel, "local_ip_list")->setEditText("127.0.0.1");
    child<QComboBox>(panel, "remote_ip_port")->setEditText(QStringLiteral("127.0.0.1:%1").arg(server.serverPort()));
    tree->topLevelItem(0)->setSelected(true);
    tree->openAction->trigger();
    QVERIFY(server.waitForNewConnection(5000));
    QTcpSocket* peer = server.nextPendingConnection();
    QTRY_VERIFY(tree->topLevelItem(0)->text(0).startsWith("Tcp Client_127.0.0.1:"));
    // The open ends on its own after the call: wait until the panel can send.
    QTRY_VERIFY(child<QPushButton>(panel, "btn_send")->isEnabled());

    // Send from the tree, receive into the panel.
    QByteArray got;
    connect(peer, &QTcpSocket::readyRead, peer, [&] { got += peer->readAll(); });
    child<QPlainTextEdit>(panel, "send_text")->setPlainText("ping");
    tree->sendAction->trigger();
    QTRY_COMPARE(got, QByteArray("ping"));
    peer->write("pong");
    QTRY_VERIFY(child<QPlainTextEdit>(panel, "recv_text")->toPlainText().contains("pong"));

    // Send a file through the real open dialog.
    const QString sendPath = files.filePath("send.bin");
    {
        QFile f(sendPath);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(3000, 'f'));
    }
    got.clear();
    bool seen = false;
    answerFileDialog(sendPath, &seen);
    child<QCheckBox>(panel, "file_data_src")->click();
    QVERIFY(seen);
    QVERIFY(child<QCheckBox>(panel, "file_data_src")->isChecked());
    child<QLineEdit>(panel, "send_time_interval")->setText("0");
    child<QPushButton>(panel, "btn_start")->click();
    QTRY_COMPARE_WITH_TIMEOUT(got.size(), 3000, 5000);
    QTRY_VERIFY(child<QPushButton>(panel, "btn_start")->isEnabled());

    // Save the set through the real save dialog, then load it back: two panels.
    const QString setPath = files.filePath("set.ini");
    seen = false;
    QString doneText;
    answerFileDialog(setPath, &seen, [&] {
        testutil::answerNextModal("OK", [&](QWidget* w) { doneText = testutil::modalText(w); });
    });
    tree->saveAction->trigger();
    QTRY_COMPARE(doneText, QStringLiteral("Save connection configs done."));
    QVERIFY(seen);
    QSettings saved(setPath, QSettings::IniFormat);
    QCOMPARE(saved.value("ConnectionNum/Num").toString(), QStringLiteral("1"));
    QCOMPARE(saved.value("Connections/1").toString(), panel->GetCurrentConfig());

    seen = false;
    answerFileDialog(setPath, &seen);
    tree->loadAction->trigger();
    QVERIFY(seen);
    QCOMPARE(tree->topLevelItemCount(), 2);
    auto* loaded = qobject_cast<UartNetAssist*>(panels->currentWidget());
    QVERIFY(loaded && loaded != panel);
    QCOMPARE(loaded->GetCurrentConfig(), panel->GetCurrentConfig());
    QTRY_VERIFY(!QApplication::activeModalWidget());
}

QTEST_MAIN(tst_PlugUartNetWindow)
#include "tst_pluguartnet_window.moc"
