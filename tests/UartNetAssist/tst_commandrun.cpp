// Saved commands run on panels against a real peer that answers each line it gets,
// and the library's files.

#include "CommandEditor.h"
#include "CommandLibrary.h"
#include "CommandLibraryFile.h"
#include "assisttestutil.h"
#include "plugUartNetData.h"

#include <QDialogButtonBox>
#include <QDockWidget>
#include <QListWidget>
#include <QNetworkDatagram>
#include <QSerialPort>
#include <QSettings>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QtTest>

using namespace assisttest;

namespace {

// The far end: records what arrives and answers whole lines it knows.
class Peer : public QObject
{
public:
    enum Kind { TcpClientPanel, TcpServerPanel, UdpPanel, SerialPanel };

    QByteArray got;
    std::function<void(const QByteArray&)> reply;

    void take(const QByteArray& data)
    {
        static const QHash<QByteArray, QByteArray> answers = {
            {"AT\r\n", "\r\nOK\r\n"}, {"LOGIN admin\r\n", "Password: "}, {"secret\r\n", "Welcome\r\n> "},
            {"PING\n", "PONG\n"}};
        got += data;
        pending += data;
        for (int nl; (nl = pending.indexOf('\n')) >= 0;) {
            const QByteArray answer = answers.value(pending.left(nl + 1));
            pending.remove(0, nl + 1);
            if (!answer.isEmpty())
                reply(answer);
        }
    }

    // Opens `panel` as `kind` with this peer at the other end.
    bool connectTo(UartNetAssist* panel, Kind kind)
    {
        if (kind == TcpClientPanel) {
            server.listen(QHostAddress::LocalHost, 0);
            connect(&server, &QTcpServer::newConnection, this, [this]() { adopt(server.nextPendingConnection()); });
            return openClient(panel, QStringLiteral("127.0.0.1:%1").arg(server.serverPort())) && isOpen(panel);
        }
        if (kind == TcpServerPanel) {
            const int port = freeTcpPort();
            openLocal(panel, 1, port);
            auto* s = new QTcpSocket(this);
            adopt(s);
            s->connectToHost(QHostAddress::LocalHost, quint16(port));
            return QTest::qWaitFor([panel]() { return child<QComboBox>(panel, "client_addrs")->count() > 0; }, 5000);
        }
        if (kind == UdpPanel) {
            const int port = freeUdpPort();
            openLocal(panel, 3, port);
            udp.bind(QHostAddress::LocalHost, 0);
            child<QComboBox>(panel, "remote_addr_history")->setEditText(QStringLiteral("127.0.0.1:%1").arg(udp.localPort()));
            connect(&udp, &QUdpSocket::readyRead, this, [this]() {
                while (udp.hasPendingDatagrams())
                    take(udp.receiveDatagram().data());
            });
            reply = [this, port](const QByteArray& a) { udp.writeDatagram(a, QHostAddress::LocalHost, quint16(port)); };
            return isOpen(panel);
        }
        pair.reset(new testutil::SocatPair);
        if (!pair->isValid())
            return false;
        openSerial(panel, pair->portA());
        serial.setPortName(pair->portB());
        connect(&serial, &QSerialPort::readyRead, this, [this]() { take(serial.readAll()); });
        reply = [this](const QByteArray& a) { serial.write(a); };
        return serial.open(QIODevice::ReadWrite) && isOpen(panel);
    }

private:
    void adopt(QTcpSocket* s)
    {
        connect(s, &QTcpSocket::readyRead, this, [this, s]() { take(s->readAll()); });
        reply = [s](const QByteArray& a) { s->write(a); };
    }

    QByteArray pending;
    QTcpServer server;
    QUdpSocket udp;
    QSerialPort serial;
    std::unique_ptr<testutil::SocatPair> pair;
};

const char* const kLogin = "send LOGIN admin\nexpect Password:\nsend secret\nexpect Welcome 2000\nlog logged in";

} // namespace

class tst_CommandRun : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        appDir = new testutil::TempAppDir;
        panel = new UartNetAssist;
        panel->show();
        child<QComboBox>(panel, "checksum_type")->setCurrentIndex(0); // shared by all panels
        // The panel adds its "Auto Addition" (\r\n) to each send, as its Send button does.
        child<QCheckBox>(panel, "auto_addition")->setChecked(true);
        child<QLineEdit>(panel, "edit_additional")->setText(QStringLiteral("\\r\\n"));
        library = new CommandLibrary;
        library->setPanel(panel);
        library->show();
        peer = new Peer;
        finished = new QSignalSpy(library, &CommandLibrary::runFinished);
        QVERIFY(finished->isValid());
    }

    void cleanup()
    {
        delete finished;
        delete library;
        delete panel;
        delete peer;
        delete appDir;
    }

    void loginOnEveryPanel_data()
    {
        QTest::addColumn<int>("kind");
        QTest::newRow("tcp client") << int(Peer::TcpClientPanel);
        QTest::newRow("tcp server") << int(Peer::TcpServerPanel);
        QTest::newRow("udp") << int(Peer::UdpPanel);
        QTest::newRow("serial") << int(Peer::SerialPanel);
    }

    void loginOnEveryPanel()
    {
        QFETCH(int, kind);
        if (kind == Peer::SerialPanel && !testutil::haveSocat())
            QSKIP("socat is not installed");
        QVERIFY(peer->connectTo(panel, Peer::Kind(kind)));
        QVERIFY(run(QString::fromLatin1(kLogin)));
        QTRY_COMPARE_WITH_TIMEOUT(finished->count(), 1, 10000);
        QVERIFY2(finished->at(0).at(1).toBool(), qPrintable(log()));
        QVERIFY(finished->at(0).at(2).toString().startsWith(QLatin1String("passed in ")));
        QCOMPARE(peer->got, QByteArray("LOGIN admin\r\nsecret\r\n"));
        QTRY_VERIFY(log().contains(QLatin1String("passed in "))); // the log view is filled in batches
        QVERIFY(log().contains(QLatin1String("line 2: received \"Password:\"")));
        QVERIFY(log().contains(QLatin1String("line 3: sent \"secret\\r\\n\"")));
        QVERIFY(log().contains(QLatin1String("line 5: logged in")));
        QVERIFY(QRegularExpression(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d\\.\\d{3} line 1: sent"), QRegularExpression::MultilineOption)
                    .match(log()).hasMatch());
        // Received data still reach the panel's view.
        QTRY_VERIFY(recvText(panel).contains(QLatin1String("Welcome")));
    }

    void outcomes_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<bool>("passed");
        QTest::addColumn<QString>("result");
        QTest::addColumn<QByteArray>("wire");
        QTest::addColumn<QString>("logged");

        QTest::newRow("missing answer fails at its line")
            << "sendraw AT\\r\\n\nexpect OK\nsendraw NOPE\\r\\n\n# no answer to that\nexpect OK 300\nsendraw never\\n"
            << false << "failed at line 5: no 'OK' within 300 ms" << QByteArray("AT\r\nNOPE\r\n") << "";
        QTest::newRow("onfail continue goes on")
            << "onfail continue\nsendraw NOPE\\r\\n\nexpect OK 200\nsendraw AT\\r\\n\nexpectre ^\\s+OK" << false
            << "1 expect(s) failed" << QByteArray("NOPE\r\nAT\r\n") << "";
        QTest::newRow("nested repeat counts")
            << "repeat 3\nrepeat 2\nsendraw PING\\n\nexpecthex 50 4F 4E 47\nend\nwait 1\nend" << true << "passed in "
            << QByteArray("PING\n").repeated(6) << "line 4: received 50 4F 4E 47";
        QTest::newRow("regex with no match")
            << "sendraw PING\\n\nexpectre P[0-9]+ 200" << false << "failed at line 2: no match for 'P[0-9]+' within 200 ms"
            << QByteArray("PING\n") << "";
        // CRC-16/MODBUS of 01 03 00 00 00 01 is 84 0A (low byte first), then the addition "\r\n".
        QTest::newRow("sendhex: checksum and addition") << "sendhex 01 03 00 00 00 01" << true << "passed in "
                                                        << QByteArray::fromHex("010300000001840a0d0a") << "";
        QTest::newRow("sendrawhex: neither") << "sendrawhex 01 03 00 00 00 01" << true << "passed in "
                                             << QByteArray::fromHex("010300000001") << "";
        QTest::newRow("sendraw: neither") << "sendraw AB" << true << "passed in " << QByteArray("AB") << "";
        QTest::newRow("plain line: as the Send button")
            << "AB" << true << "passed in " << QByteArray("AB") + QByteArray::fromHex("b1d1") + "\r\n" << "";
    }

    // Runs to a TCP server panel's client with CRC-16/MODBUS chosen; the send box is left alone.
    void outcomes()
    {
        QFETCH(QString, script);
        QFETCH(bool, passed);
        QFETCH(QString, result);
        QFETCH(QByteArray, wire);
        QFETCH(QString, logged);
        child<QComboBox>(panel, "checksum_type")->setCurrentIndex(3);
        child<QPlainTextEdit>(panel, "send_text")->setPlainText(QStringLiteral("untouched"));
        QVERIFY(peer->connectTo(panel, Peer::TcpServerPanel));
        QVERIFY(run(script));
        QTRY_COMPARE_WITH_TIMEOUT(finished->count(), 1, 10000);
        QCOMPARE(finished->at(0).at(1).toBool(), passed);
        QVERIFY2(finished->at(0).at(2).toString().contains(result), qPrintable(finished->at(0).at(2).toString()));
        QTRY_COMPARE(peer->got, wire);
        QTRY_VERIFY(log().contains(logged));
        QCOMPARE(child<QPlainTextEdit>(panel, "send_text")->toPlainText(), QStringLiteral("untouched"));
    }

    void stopAndPanelGone_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("reason");
        QTest::newRow("stop button") << "stop" << "stopped by the user";
        QTest::newRow("panel closed") << "close" << "the panel was closed";
        QTest::newRow("panel deleted") << "delete" << "the panel was deleted";
        QTest::newRow("not open") << "unopened" << "the panel is not open";
    }

    void stopAndPanelGone()
    {
        QFETCH(QString, how);
        QFETCH(QString, reason);
        if (how == QLatin1String("unopened")) {
            QVERIFY(!run(QStringLiteral("send x")));
            QTRY_VERIFY(log().contains(reason));
            QVERIFY(!child<QPushButton>(library, "btn_stop_command")->isEnabled());
            return;
        }
        QVERIFY(peer->connectTo(panel, Peer::TcpClientPanel));
        QVERIFY(run(QStringLiteral("repeat forever\nsendraw PING\\n\nexpect PONG\nend")));
        QTRY_VERIFY(peer->got.count("PING") >= 20);
        QTRY_VERIFY(child<QLabel>(library, "command_progress")->text().startsWith(QLatin1String("loop ")));
        // One run per panel at a time.
        QVERIFY(!library->runCommand(0));
        QVERIFY(child<QPushButton>(library, "btn_stop_command")->isEnabled());
        const int sentBytes = sendLabel(panel).section(QLatin1Char(':'), 1).toInt();
        if (how == QLatin1String("stop")) {
            child<QPushButton>(library, "btn_stop_command")->click();
        } else if (how == QLatin1String("close")) {
            child<QPushButton>(panel, "connect")->click();
        } else {
            delete panel;
            panel = nullptr;
        }
        QCOMPARE(finished->count(), 1);
        QVERIFY(!finished->at(0).at(1).toBool());
        QVERIFY2(finished->at(0).at(2).toString().contains(reason), qPrintable(finished->at(0).at(2).toString()));
        // Nothing more is sent once the run has ended (a closed socket may drop its last bytes).
        QTest::qWait(300); // the wait is the point: proving that no further PING follows
        QVERIFY(peer->got.size() <= sentBytes);
        if (how == QLatin1String("stop"))
            QCOMPARE(peer->got.size(), sentBytes);
        QCOMPARE(finished->count(), 1);
    }

    void libraryFiles()
    {
        const QString script = QStringLiteral("# set-up\nsend AT+X=\"a,b\"\\r\nexpect OK 500\n");
        QVERIFY(library->addCommand(QStringLiteral("Set up"), script));
        QVERIFY(library->addCommand(QStringLiteral("Ping"), QStringLiteral("PING")));
        QString error;
        QVERIFY(!library->addCommand(QStringLiteral("Bad"), QStringLiteral("send a\nrepeat 2"), &error));
        QCOMPARE(error, QStringLiteral("line 2: 'repeat' without 'end'"));
        // Reordering (as a drag does) is saved too.
        auto* list = child<QListWidget>(library, "command_list");
        QVERIFY(list->model()->moveRow(QModelIndex(), 1, QModelIndex(), 0));
        const QVector<SavedCommand> expected = {{QStringLiteral("Ping"), QStringLiteral("PING")},
                                                {QStringLiteral("Set up"), script}};
        QCOMPARE(library->commands(), expected);

        // config/commands.ini in the data folder, with the keys other tools may read.
        QSettings ini(appDir->filePath(QStringLiteral("config/commands.ini")), QSettings::IniFormat);
        QCOMPARE(ini.value(QStringLiteral("commands/count")).toString(), QStringLiteral("2"));
        QCOMPARE(ini.value(QStringLiteral("commands/1/name")).toString(), QStringLiteral("Ping"));
        QCOMPARE(ini.value(QStringLiteral("commands/2/script")).toString(), script);
        QCOMPARE(CommandLibrary().commands(), expected);

        // Export, then import into the same library: appended, with how many were added.
        const QString shared = appDir->filePath(QStringLiteral("shared.ini"));
        QVERIFY(library->exportFile(shared));
        QSettings file(shared, QSettings::IniFormat);
        file.setValue(QStringLiteral("commands/count"), 5); // a count beyond the entries present
        file.setValue(QStringLiteral("commands/3/name"), QStringLiteral("Faulty"));
        file.setValue(QStringLiteral("commands/3/script"), QStringLiteral("send a\nend"));
        file.sync();
        QCOMPARE(library->importFile(shared), QStringLiteral("2 command(s) added from %1. 1 left out: a faulty script "
                                                             "or a full library.").arg(shared));
        QCOMPARE(library->commands(), expected + expected);
        QCOMPARE(CommandLibrary().commands(), expected + expected);
    }

    void shortcutRunsOnCurrentPanel()
    {
        plugUartNetData tool;
        tool.GetCommandDock()->resize(300, 500);
        tool.show();
        tool.newAssistWidget();
        UartNetAssist* first = tool.assist(1);
        QVERIFY(peer->connectTo(first, Peer::TcpClientPanel));
        tool.newAssistWidget(); // now the current panel, and not open
        CommandLibrary* lib = tool.commandLibrary();
        QVERIFY(lib->addCommand(QStringLiteral("ping"), QStringLiteral("sendraw PING\\n\nexpect PONG")));
        QSignalSpy done(lib, &CommandLibrary::runFinished);
        tool.switchAssistWidget(1);
        tool.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&tool));
        QTest::keyClick(child<QListWidget>(lib, "command_list"), Qt::Key_1, Qt::ControlModifier | Qt::ShiftModifier);
        QTRY_COMPARE(done.count(), 1);
        QCOMPARE(done.at(0).at(0).value<QObject*>(), first);
        QVERIFY(done.at(0).at(1).toBool());
        QCOMPARE(peer->got, QByteArray("PING\n"));
    }

    void editorChecksAsTyped()
    {
        CommandEditor editor;
        QPushButton* ok = child<QDialogButtonBox>(&editor, "buttonBox")->button(QDialogButtonBox::Ok);
        editor.setCommand(QStringLiteral("Loop"), QStringLiteral("repeat 2\nsend a\nend 2"));
        QVERIFY(!ok->isEnabled());
        QCOMPARE(child<QLabel>(&editor, "command_check")->text(), QStringLiteral("line 3: 'end' takes nothing after it"));
        child<QPlainTextEdit>(&editor, "command_script")->setPlainText(QStringLiteral("repeat 2\nsend a\nend"));
        QVERIFY(ok->isEnabled());
    }

private:
    // Adds the script as the only command and runs it on the panel.
    bool run(const QString& script)
    {
        return library->addCommand(QStringLiteral("test"), script) && library->runCommand(library->commands().size() - 1);
    }
    QString log() const { return child<QPlainTextEdit>(library, "command_log")->toPlainText(); }

    testutil::TempAppDir* appDir = nullptr;
    UartNetAssist* panel = nullptr;
    CommandLibrary* library = nullptr;
    Peer* peer = nullptr;
    QSignalSpy* finished = nullptr;
};

QTEST_MAIN(tst_CommandRun)
#include "tst_commandrun.moc"
