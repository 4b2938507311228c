// vxa-shots: starts the main window on a throw-away application directory, drives each
// tool as a user would (a device search, a VCOM connection with traffic, an assistant
// with received data, a debug session) and saves one screenshot per tool.
//
// Run by tools/screenshots.sh, which provides the virtual X server, the network
// namespace and the simulators; on its own it needs the same.

#include "CommandLibrary.h"
#include "UnixSignalWatcher.h"
#include "appdir.h"
#include "plugVComManager.h"
#include "vxaWindow.h"

#include <QAction>
#include <QApplication>
#include <QCommandLineParser>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QPalette>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolBar>
#include <QToolBox>
#include <QWindow>

#include <cstdio>
#include <functional>

namespace {

QString outDir;
int failures = 0;
bool stopRequested = false; // SIGTERM/SIGINT: give up, but let every destructor run

void say(const QString& text)
{
    static QElapsedTimer clock;
    if (!clock.isValid())
        clock.start();
    std::fprintf(stderr, "vxa-shots: %6.1f s %s\n", clock.elapsed() / 1000.0, qPrintable(text));
}

// Runs the event loop until pred holds or limitMs have passed.
bool waitFor(const std::function<bool()>& pred, int limitMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!pred()) {
        if (clock.elapsed() > limitMs || stopRequested)
            return false;
        QEventLoop loop;
        QTimer::singleShot(20, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

// Lets queued layout and paint work run, so the picture shows the settled window.
void settle()
{
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
}

void shoot(QWidget* w, const QString& name)
{
    settle();
    const QString path = QDir(outDir).filePath(name);
    if (w->grab().save(path)) {
        say(QStringLiteral("saved %1").arg(path));
    } else {
        say(QStringLiteral("could not save %1").arg(path));
        ++failures;
    }
}

template <typename T>
T* child(QObject* parent, const char* name)
{
    T* found = parent->findChild<T*>(QLatin1String(name));
    if (!found) {
        say(QStringLiteral("no %1 found").arg(QLatin1String(name)));
        ++failures;
    }
    return found;
}

// The visible one among the window's widgets of that name (each tool has a stack).
template <typename T>
T* visibleChild(QObject* parent, const char* name)
{
    const auto all = parent->findChildren<T*>(QLatin1String(name));
    for (T* w : all) {
        if (w->isVisible())
            return w;
    }
    return nullptr;
}

// Hands the next modal dialog or box, once it is up, to answer (which must close it).
void answerNextModal(QTimer& timer, std::function<void(QWidget*)> answer)
{
    timer.setInterval(20);
    QObject::connect(&timer, &QTimer::timeout, &timer, [&timer, answer]() {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            timer.stop();
            answer(modal);
        }
    });
    timer.start();
}

void showTool(vxaWindow& w, int index)
{
    w.findChild<QToolBox*>(QStringLiteral("toolBox"))->setCurrentIndex(index);
    settle();
}

void ipManager(vxaWindow& w, const QString& adapter, int devices)
{
    showTool(w, 0);
    auto* cards = child<QComboBox>(&w, "card_list");
    auto* search = child<QPushButton>(&w, "btn_serach");
    auto* table = child<QTableWidget>(&w, "tableWidget");
    if (!cards || !search || !table)
        return;
    const int index = cards->findText(adapter + QLatin1Char('('), Qt::MatchStartsWith);
    if (index < 0) {
        say(QStringLiteral("adapter %1 not offered").arg(adapter));
        ++failures;
        return;
    }
    cards->setCurrentIndex(index);
    waitFor([search]() { return search->isEnabled(); }, 10000);
    search->click();
    if (!waitFor([&]() { return table->rowCount() >= devices && search->isEnabled(); }, 20000)) {
        say(QStringLiteral("only %1 of %2 devices found").arg(table->rowCount()).arg(devices));
        ++failures;
    }
    shoot(&w, QStringLiteral("ipmanager.png"));
}

void vcom(vxaWindow& w, quint16 port)
{
    showTool(w, 1);
    auto* tree = qobject_cast<plugVComManager*>(w.findChild<QToolBox*>(QStringLiteral("toolBox"))->widget(1));
    if (!tree)
        return;
    tree->newServerAction->trigger();
    auto* comList = child<QComboBox>(&w, "server_com_list");
    auto* listen = child<QLineEdit>(&w, "listen_port");
    auto* create = child<QPushButton>(&w, "tcp_server_new");
    if (!comList || !listen || !create)
        return;
    const QString com = comList->currentText();
    listen->setText(QString::number(port));
    create->click();
    if (!waitFor([tree]() { return tree->topLevelItemCount() > 0; }, 5000)) {
        say(QStringLiteral("no VCOM connection was made (root and socat needed)"));
        ++failures;
        shoot(&w, QStringLiteral("vcom.png"));
        return;
    }
    tree->expandAll();

    // The monitor first, so that it lists the traffic below.
    QWidget* monitor = nullptr;
    if (auto* open = visibleChild<QPushButton>(&w, "data_monitor")) {
        open->click();
        const auto tops = QApplication::topLevelWidgets();
        for (QWidget* top : tops) {
            if (top->inherits("DataMonitor"))
                monitor = top;
        }
    }
    QTcpSocket client;
    client.connectToHost(QStringLiteral("127.0.0.1"), port);
    waitFor([&client]() { return client.state() == QAbstractSocket::ConnectedState; }, 5000);
    QFile tty(QStringLiteral("/dev/") + com);
    const bool ttyOpen = tty.open(QIODevice::ReadWrite | QIODevice::Unbuffered);
    for (int i = 1; i <= 3; ++i) {
        client.write(QStringLiteral("AT+READ=%1\r\n").arg(i).toLatin1());
        client.flush();
        if (ttyOpen)
            tty.write(QStringLiteral("+READ: %1,23.%2C\r\n").arg(i).arg(i * 3).toLatin1());
        waitFor([&client]() { return client.bytesAvailable() > 0; }, 2000);
        client.readAll();
    }
    auto* table = monitor ? monitor->findChild<QTableWidget*>(QStringLiteral("tableWidget")) : nullptr;
    if (table)
        waitFor([table]() { return table->rowCount() >= 6; }, 3000);
    shoot(&w, QStringLiteral("vcom.png"));
    if (monitor) {
        monitor->resize(939, 420);
        shoot(monitor, QStringLiteral("vcom-monitor.png"));
        monitor->hide();
    }
    tty.close();
    client.abort();
}

// The same assistant on a 1366x768 laptop with a dark desktop palette.
void assistantDark(vxaWindow& w)
{
    const QPalette light = QApplication::palette();
    const QSize size = w.size();
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(53, 53, 53));
    dark.setColor(QPalette::WindowText, Qt::white);
    dark.setColor(QPalette::Base, QColor(35, 35, 35));
    dark.setColor(QPalette::AlternateBase, QColor(53, 53, 53));
    dark.setColor(QPalette::Text, Qt::white);
    dark.setColor(QPalette::Button, QColor(53, 53, 53));
    dark.setColor(QPalette::ButtonText, Qt::white);
    dark.setColor(QPalette::Highlight, QColor(42, 130, 218));
    dark.setColor(QPalette::HighlightedText, Qt::black);
    dark.setColor(QPalette::PlaceholderText, QColor(160, 160, 160));
    QApplication::setPalette(dark);
    w.resize(1366, 768);
    waitFor([&w]() { return w.size() == QSize(1366, 768); }, 3000);
    shoot(&w, QStringLiteral("assistant-dark-1366x768.png"));
    QApplication::setPalette(light);
    w.resize(size);
    settle();
}

void assistant(vxaWindow& w, quint16 port)
{
    showTool(w, 2);
    shoot(&w, QStringLiteral("assistant-empty.png"));
    QToolBar* bar = w.toolBar(2);
    if (!bar || bar->actions().isEmpty())
        return;
    bar->actions().first()->trigger();
    settle();
    auto* protocol = visibleChild<QComboBox>(&w, "choose_protocol");
    if (!protocol) {
        say(QStringLiteral("no assistant panel"));
        ++failures;
        return;
    }
    QWidget* panel = protocol->window() == &w ? protocol->parentWidget() : nullptr;
    while (panel && !panel->inherits("UartNetAssist"))
        panel = panel->parentWidget();
    if (!panel)
        return;
    protocol->setCurrentIndex(protocol->findText(QStringLiteral("Tcp Server")));
    if (auto* ip = child<QComboBox>(panel, "local_ip_list"))
        ip->setEditText(QStringLiteral("127.0.0.1"));
    if (auto* edit = child<QLineEdit>(panel, "addr_port_edit"))
        edit->setText(QString::number(port));
    if (auto* open = child<QPushButton>(panel, "connect"))
        open->click();
    QTcpSocket device;
    device.connectToHost(QStringLiteral("127.0.0.1"), port);
    waitFor([&device]() { return device.state() == QAbstractSocket::ConnectedState; }, 5000);
    for (int i = 1; i <= 4; ++i)
        device.write(QStringLiteral("sensor %1: 23.%2 C\r\n").arg(i).arg(i * 7).toLatin1());
    device.flush();
    auto* recv = child<QPlainTextEdit>(panel, "recv_text");
    if (recv)
        waitFor([recv]() { return recv->toPlainText().count(QLatin1Char('\n')) >= 3; }, 5000);
    if (auto* send = child<QPlainTextEdit>(panel, "send_text"))
        send->setPlainText(QStringLiteral("AT+READ=ALL"));
    shoot(&w, QStringLiteral("assistant.png"));
    // Two saved commands, the first run once against the device, which answers it.
    if (auto* library = w.findChild<CommandLibrary*>()) {
        library->addCommand(QStringLiteral("Read sensors"),
                            QStringLiteral("# every sensor, then OK\nsend AT+READ=ALL\\r\\n\nexpect OK 2000\nlog sensors read"));
        library->addCommand(QStringLiteral("Modbus poll"),
                            QStringLiteral("repeat 10\nsendhex 01 03 00 00 00 02\nexpecthex 01 03 04\nwait 500\nend"));
        QObject::connect(&device, &QTcpSocket::readyRead, &device, [&device]() {
            if (device.readAll().contains("AT+READ"))
                device.write("sensor 1: 23.7 C\r\nOK\r\n");
        });
        // The run log shows its lines in batches: the result line comes last.
        auto* log = library->findChild<QPlainTextEdit*>(QStringLiteral("command_log"));
        if (library->runCommand(0) && log)
            waitFor([log]() { return log->toPlainText().contains(QLatin1String("passed")); }, 5000);
    }
    assistantDark(w);
    device.abort();
}

void messageDebug(vxaWindow& w, const QString& host)
{
    showTool(w, 3);
    QToolBar* bar = w.toolBar(3);
    if (!bar || bar->actions().isEmpty())
        return;
    // The address dialog is modal: answered from the event loop it runs.
    QTimer answer;
    answerNextModal(answer, [host](QWidget* dialog) {
        if (auto* ip = dialog->findChild<QComboBox*>(QStringLiteral("edit_ip")))
            ip->setCurrentText(host);
        QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
    });
    say(QStringLiteral("opening a debug session with %1").arg(host));
    bar->actions().first()->trigger();
    waitFor([]() { return !QApplication::activeModalWidget(); }, 5000);
    settle();
    QAction* start = nullptr;
    const auto starts = w.findChildren<QAction*>(QStringLiteral("actionStart"));
    for (QAction* a : starts)
        start = a;
    if (!start) {
        say(QStringLiteral("no debug session"));
        ++failures;
        return;
    }
    say(QStringLiteral("starting the debug session"));
    waitFor([start]() { return start->isEnabled(); }, 5000);
    // Start asks whether to record the frames into a file: not for a picture.
    QTimer noRecord;
    answerNextModal(noRecord, [](QWidget* box) {
        if (auto* question = qobject_cast<QMessageBox*>(box)) {
            if (QAbstractButton* no = question->button(QMessageBox::No)) {
                no->click();
                return;
            }
        }
        box->close();
    });
    start->trigger();
    auto* table = visibleChild<QTableView>(&w, "tableView");
    if (!table || !waitFor([table]() { return table->model()->rowCount() >= 30; }, 10000)) {
        say(QStringLiteral("no debug frames arrived"));
        ++failures;
    }
    shoot(&w, QStringLiteral("msgdebug.png"));
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    Q_INIT_RESOURCE(vxa);
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption outOpt(QStringLiteral("out"), QStringLiteral("Directory for the PNG files."),
                                    QStringLiteral("dir"));
    const QCommandLineOption adapterOpt(QStringLiteral("adapter"), QStringLiteral("Adapter to search on."),
                                        QStringLiteral("name"));
    const QCommandLineOption devicesOpt(QStringLiteral("devices"), QStringLiteral("Devices to expect."),
                                        QStringLiteral("n"), QStringLiteral("1"));
    const QCommandLineOption debugOpt(QStringLiteral("debug-host"), QStringLiteral("Address of the debug simulator."),
                                      QStringLiteral("addr"), QStringLiteral("127.0.0.1"));
    parser.addOptions({outOpt, adapterOpt, devicesOpt, debugOpt});
    parser.process(app);
    outDir = parser.value(outOpt);
    if (outDir.isEmpty() || !QDir().mkpath(outDir)) {
        say(QStringLiteral("--out names no usable directory"));
        return 2;
    }

    // A first start: no remembered layout, no saved connections of the user's.
    QTemporaryDir appDir;
    QDir(appDir.path()).mkpath(QStringLiteral("config"));
    setAppDirPath(appDir.path());

    // Ended from outside (the script's time limit): the tools still close their pairs
    // and links on the way out.
    UnixSignalWatcher stopSignals({SIGTERM, SIGINT});
    QObject::connect(&stopSignals, &UnixSignalWatcher::signalReceived, &app, []() {
        stopRequested = true;
        if (QWidget* modal = QApplication::activeModalWidget())
            modal->close();
    });

    int status = 0;
    {
        vxaWindow w;
        w.move(0, 0);
        w.show();
        if (!waitFor([&w]() { return w.windowHandle() && w.windowHandle()->isExposed(); }, 10000)) {
            say(QStringLiteral("the window never appeared"));
            return 1;
        }
        if (parser.isSet(adapterOpt))
            ipManager(w, parser.value(adapterOpt), parser.value(devicesOpt).toInt());
        if (!stopRequested)
            vcom(w, 5000);
        if (!stopRequested)
            assistant(w, 6000);
        if (!stopRequested)
            messageDebug(w, parser.value(debugOpt));
        status = failures == 0 && !stopRequested ? 0 : 1;
        say(QStringLiteral("closing"));
    }
    say(QStringLiteral("closed"));
    setAppDirPath(QString());
    return status;
}
