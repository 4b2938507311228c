// The tools as an ordinary user of the installed program meets them: preferences and
// histories kept across a restart without a box and without a byte in the application
// directory, and every refusal for lack of rights explained in words.

#include "../MsgDebug/simprocess.h"
#include "../UartNetAssist/assisttestutil.h"
#include "AssistPrefs.h"
#include "CommandLibrary.h"
#include "IPManager.h"
#include "emptystate.h"
#include "ordinaryuser.h"
#include "plugVComData.h"
#include "plugVComManager.h"
#include "winDebug.h"

#include <QMenu>
#include <QStandardItemModel>
#include <QtTest>

#include <sched.h>
#include <sys/sysmacros.h>

using namespace assisttest;

namespace {

// Clicks button (null: none), answers the next box with `answer` and returns its text
// (empty when none came within 10 s).
QString boxAfter(QAbstractButton* button, const QString& answer = QStringLiteral("OK"))
{
    auto text = std::make_shared<QString>();
    testutil::answerNextModal(answer, [text](QWidget* box) { *text = testutil::modalText(box); }, 10000);
    if (button)
        QTimer::singleShot(0, button, &QAbstractButton::click);
    QTest::qWaitFor([text]() { return !text->isEmpty(); }, 10000);
    return *text;
}

} // namespace

class tst_OrdinaryUser : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        if (::geteuid() != 0)
            QSKIP("switching to an ordinary user needs root");
        layout.reset(new ordinaryuser::InstalledLayout);
    }

    void preferencesAndHistoriesSurviveRestart()
    {
        QFile old(layout->appDir() + QStringLiteral("/config/assist.ini")); // left by an older version run as root
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write("[send_history]\ncount=1\n1=left by root\n") > 0);
        old.close();
        const QStringList installed = layout->appFiles();
        const auto send = [](UartNetAssist* p, const QString& text) {
            child<QPlainTextEdit>(p, "send_text")->setPlainText(text);
            child<QPushButton>(p, "btn_send")->click();
        };
        // First start: every preference toggled, addresses and payloads added, from two panels.
        const QStringList first = ordinaryuser::run(*layout, [send]() {
            QTcpServer server;
            server.listen(QHostAddress::LocalHost, 0);
            QUdpSocket peer;
            peer.bind(QHostAddress::LocalHost, 0);
            auto* client = new UartNetAssist;
            auto* udp = new UartNetAssist;
            for (const char* name : {"action_ms_stamps", "action_show_escapes", "action_hex_text_column",
                                     "action_scrollback_1000"}) {
                auto* view = child<QPlainTextEdit>(name[7] == 's' ? udp : client, "recv_text");
                emit view->customContextMenuRequested(QPoint(5, 5));
                QMenu* menu = view->findChild<QMenu*>(QStringLiteral("recv_menu"));
                menu->findChild<QAction*>(QLatin1String(name))->trigger();
                menu->close();
            }
            child<QComboBox>(udp, "checksum_type")->setCurrentIndex(3);
            openClient(client, QStringLiteral("127.0.0.1:%1").arg(server.serverPort()));
            send(client, QStringLiteral("from client"));
            const int port = freeUdpPort();
            openLocal(udp, 3, port);
            peer.writeDatagram("x", QHostAddress::LocalHost, quint16(port));
            QTest::qWaitFor([udp]() { return child<QComboBox>(udp, "remote_addr_history")->count() == 1; }, 5000);
            send(udp, QStringLiteral("from udp"));
            CommandLibrary().addCommand(QStringLiteral("AT"), QStringLiteral("send AT\nexpect OK"));
            const QStringList out{QString::number(QApplication::activeModalWidget() != nullptr),
                                  QStringLiteral("127.0.0.1:%1").arg(peer.localPort()), QString::number(port),
                                  QStringLiteral("127.0.0.1:%1").arg(server.serverPort())};
            delete udp; // closed last, it must not take the client's address along
            delete client;
            return out;
        });
        QCOMPARE(first.value(0), QStringLiteral("0"));

        // Second start: a new panel finds everything back.
        const QStringList second = ordinaryuser::run(*layout, []() {
            auto* p = new UartNetAssist;
            const AssistViewPrefs view = AssistShared::instance().view();
            auto* sent = child<QComboBox>(p, "send_history");
            QStringList out{QStringLiteral("%1%2%3 %4").arg(view.msStamps).arg(view.showEscapes).arg(view.hexTextColumn)
                                .arg(view.scrollback),
                            QString::number(child<QComboBox>(p, "checksum_type")->currentIndex()),
                            QStringList{sent->itemData(0).toString(), sent->itemData(1).toString(),
                                        sent->itemData(2).toString()}.join(QLatin1Char(',')),
                            child<QComboBox>(p, "remote_addr_history")->itemText(0)};
            setProtocol(p, 3);
            out << child<QLineEdit>(p, "addr_port_edit")->text();
            setProtocol(p, 2);
            out << child<QComboBox>(p, "remote_ip_port")->currentText()
                << QString::number(QApplication::activeModalWidget() != nullptr);
            const QVector<SavedCommand> saved = CommandLibrary().commands();
            out << (saved.isEmpty() ? QString() : saved.first().name + QLatin1Char('=') + saved.first().script);
            delete p;
            return out;
        });
        const QStringList expected = QStringList{"111 1000", "3", "from udp,from client,left by root"} + first.mid(1);
        QCOMPARE(second, expected + QStringList({"0", "AT=send AT\nexpect OK"}));
        QCOMPARE(layout->appFiles(), installed);
        for (const char* file : {"assist.ini", "commands.ini"})
            QVERIFY(QFileInfo::exists(layout->home() + QStringLiteral("/.config/vxa/config/") + QLatin1String(file)));
    }

    void refusalsAreExplained_data()
    {
        QTest::addColumn<QString>("tool");
        QTest::addColumn<QStringList>("expected"); // in the child's lines; %1 the device, %2 the application dir
        QTest::newRow("VCOM: /dev refuses links")
            << "vcom" << QStringList{"notice", "create com pair failed, please try other com name",
                                     "Virtual serial ports are links under /dev, which only the administrator may create"};
        QTest::newRow("serial: device of another group")
            << "serial" << QStringList{"serial port %1. Its device file belongs to the group \"dialout\": add yourself to "
                                       "that group (sudo usermod -aG dialout $USER) and log in again.",
                                       "%1-gone device not found. The port is gone"};
        QTest::newRow("record file: unwritable working directory")
            << "record" << QStringList{"The frames cannot be recorded in %2/rs1.txt: Permission denied.", "frames shown"};
        QTest::newRow("IP Manager: capture refused") << "capture" << QStringList{"setcap cap_net_raw+ep", "1 box", "log"};
    }

    void refusalsAreExplained()
    {
        QFETCH(QString, tool);
        QFETCH(QStringList, expected);
        const QString device = layout->home() + QStringLiteral("/ttyVXA");
        const QString appDir = layout->appDir();
        std::function<bool()> asRoot;
        std::function<QStringList()> fn;
        if (tool == QLatin1String("vcom")) { // the real /dev, which nobody may not write
            fn = []() {
                auto* data = new plugVComData;
                auto* manager = qobject_cast<plugVComManager*>(data->getManagerWidget());
                QWidget host;
                EmptyStatePanel panel(EmptyStateHint::of(manager), &host);
                host.show();
                panel.setActive(true);
                auto* button = panel.findChild<QPushButton*>(QStringLiteral("restartAsAdministrator"));
                QStringList out{button && button->isVisible() ? QStringLiteral("notice") : QString()};
                emit manager->newConnection(CONNECTION_UDP);
                const QString text = boxAfter(data->findChild<QPushButton*>(QStringLiteral("udp_new")));
                out << text.split(QLatin1Char('\n')).mid(0, 2);
                delete data;
                return out;
            };
        } else if (tool == QLatin1String("serial")) {
            asRoot = [device]() { // a copy of /dev/null owned by root:dialout, mode 0660
                const group* dialout = ::getgrnam("dialout");
                const QByteArray path = QFile::encodeName(device);
                return dialout && ::mknod(path.constData(), S_IFCHR | 0660, makedev(1, 3)) == 0
                    && ::chown(path.constData(), 0, dialout->gr_gid) == 0 && ::chmod(path.constData(), 0660) == 0;
            };
            fn = [device]() {
                QStringList out;
                auto* p = new UartNetAssist;
                for (const QString& port : {device, device + QStringLiteral("-gone")}) {
                    child<QComboBox>(p, "com_list")->setEditText(port);
                    out << boxAfter(child<QPushButton>(p, "open_com"));
                }
                delete p;
                return out;
            };
        } else if (tool == QLatin1String("record")) {
            fn = [appDir]() {
                QDir::setCurrent(appDir);
                SimProcess sim({QStringLiteral("--rate"), QStringLiteral("50")});
                auto* w = new winDebug;
                w->connectToHost(QStringLiteral("127.0.0.1"), sim.port());
                QTest::qWaitFor([w]() { return w->debugWorker()->isValid(); }, 10000);
                auto* start = new QPushButton(w);
                connect(start, &QPushButton::clicked, w, &winDebug::doStart);
                boxAfter(start, QStringLiteral("&Yes")); // "save data to the file named rs1.txt?"
                QStringList out{boxAfter(nullptr)};
                if (QTest::qWaitFor([w]() { return w->frameModel()->rowCount() > 2; }, 10000))
                    out << QStringLiteral("frames shown");
                delete w;
                return out;
            };
        } else {
            asRoot = []() { // a network of its own: no frame could reach a real adapter
                return ::unshare(CLONE_NEWNET) == 0
                    && ::system("ip link add vxu0 type veth peer name vxu1 && ip addr add 198.18.77.1/24 dev vxu0 "
                                "&& ip link set vxu0 up") == 0;
            };
            fn = []() {
                auto* ipm = new IPManager;
                auto* cards = ipm->findChild<QComboBox*>(QStringLiteral("card_list"));
                cards->setCurrentIndex(cards->findText(QStringLiteral("vxu0"), Qt::MatchStartsWith));
                auto* search = ipm->findChild<QPushButton*>(QStringLiteral("btn_serach"));
                for (int i = 0; i < 2; ++i) { // a second try adds no second box
                    search->click();
                    QTest::qWaitFor([=]() { return ipm->findChild<QMessageBox*>() && search->isEnabled(); }, 10000);
                }
                const QString log = ipm->findChild<QPlainTextEdit*>(QStringLiteral("card_address"))->toPlainText();
                const QStringList out{ipm->findChild<QMessageBox*>() ? ipm->findChild<QMessageBox*>()->text() : QString(),
                                      QStringLiteral("%1 box").arg(ipm->findChildren<QMessageBox*>().size()),
                                      log.contains(QLatin1String("setcap")) || log.contains(QLatin1String("Filter"))
                                          ? log : QStringLiteral("log")};
                delete ipm;
                return out;
            };
        }
        const QStringList got = ordinaryuser::run(*layout, fn, asRoot);
        QVERIFY2(got.size() == expected.size(), qPrintable(got.join(QLatin1Char('|'))));
        for (int i = 0; i < expected.size(); ++i)
            QVERIFY2(got.at(i).contains(QString(expected.at(i)).replace("%1", device).replace("%2", appDir)),
                     qPrintable(got.join(QLatin1Char('|'))));
    }

private:
    std::unique_ptr<ordinaryuser::InstalledLayout> layout;
};

QTEST_APPLESS_MAIN(tst_OrdinaryUser)
#include "tst_ordinaryuser.moc"
