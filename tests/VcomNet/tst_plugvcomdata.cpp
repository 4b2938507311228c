#include "ConnectionUnit.h"
#include "VSPConnection.h"
#include "VSPConnectionMsg.h"
#include "VSPortFunction.h"
#include "plugVComData.h"
#include "plugVComManager.h"
#include "testutil.h"
#include "vcomtestutil.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSerialPort>
#include <QSettings>
#include <QStackedWidget>
#include <QTcpServer>
#include <QTranslator>
#include <QUdpSocket>
#include <QtTest>

#include <csignal>
#include <iostream>
#include <memory>

using namespace vcomtest;

namespace {

// Debug lines are part of what we check; CTest turns them off, the rules are read once.
const bool debugLinesOn = qputenv("QT_LOGGING_RULES", "vxa.vcom.debug=true");

quint16 freeTcpPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

template <typename T>
T* child(QObject* parent, const char* name)
{
    return parent->findChild<T*>(QLatin1String(name));
}

bool choose(QComboBox* box, const QString& text)
{
    const int i = box->findText(text);
    if (i < 0)
        return false;
    box->setCurrentIndex(i);
    return true;
}

quint16 freeUdpPort()
{
    QUdpSocket probe;
    probe.bind(QHostAddress::LocalHost, 0);
    return probe.localPort();
}

void writeSaved(const QString& dir, const QString& fileName, const QString& type, const QString& name1,
                const QString& name2, const QString& serverPort = QString(), const QString& key = QString(),
                const QString& value = QString())
{
    QDir().mkpath(dir);
    QSettings ini(dir + QLatin1Char('/') + fileName, QSettings::IniFormat);
    ini.setValue(QStringLiteral("connect/id"), name1.mid(4));
    ini.setValue(QStringLiteral("connect/type"), type);
    ini.setValue(QStringLiteral("connect/com_name1"), name1);
    ini.setValue(QStringLiteral("connect/com_name2"), name2);
    ini.setValue(QStringLiteral("server/port"), serverPort);
    ini.setValue(QStringLiteral("udp/local_port"), QString::number(freeUdpPort()));
    ini.setValue(QStringLiteral("udp/remote_addr"), QStringLiteral("127.0.0.1"));
    ini.setValue(QStringLiteral("udp/remote_port"), QStringLiteral("9"));
    ini.setValue(QStringLiteral("client/ip_addr"), QStringLiteral("127.0.0.1"));
    ini.setValue(QStringLiteral("client/port"), QString::number(freeTcpPort()));
    if (!key.isEmpty())
        ini.setValue(key, value);
}

QString connectionDir(const testutil::TempAppDir& app)
{
    return app.path() + QStringLiteral("/service/connection");
}

// Presses a "new" button that should create a connection. Another program may take the
// chosen name meanwhile: the box that then comes is answered and its text returned
// instead of waiting for ever.
QString pressNew(QPushButton* button)
{
    auto text = std::make_shared<QString>();
    const QPointer<QTimer> answerer =
        testutil::answerNextModal(QStringLiteral("OK"), [text](QWidget* w) { *text = testutil::modalText(w); });
    button->click(); // a box comes (and is answered) within this call, or not at all
    testutil::cancelAnswer(answerer);
    return *text;
}

// Re-executed as a child: holds the tool on the given application directory until killed.
int holdTool(int argc, char** argv)
{
    QApplication app(argc, argv);
    setAppDirPath(QString::fromLocal8Bit(argv[2]));
    const int expected = QByteArray(argv[3]).toInt();
    plugVComData tool;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &tool, [&]() {
        if (tool.connectionIds().size() == expected) {
            poll.stop();
            std::cout << "ready" << std::endl;
        }
    });
    poll.start(20);
    QTimer::singleShot(60000, &app, &QCoreApplication::quit); // never outlive the test
    return app.exec();
}

} // namespace

class tst_plugVComData : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void cleanupTestCase();

    void serverConnectionSavedAndRecreated();
    void comComFileAndName();
    void equalComNamesRefused();
    void failedCreationNotSaved();
    void failedBridgeNotSaved();
    void savedBridgeShownFailed();
    void formRefusesBadValues_data();
    void formRefusesBadValues();
    void savedFilesLoaded_data();
    void savedFilesLoaded();
    void deleteConnection_data();
    void deleteConnection();
    void deleteAnsweredNo();
    void busyPortRefusesDeletion();
    void treeMenuOpensForms();
    void killedProgramLeavesNothingAndIsRecreated();
    void languageChange();

private:
    // The tool, with its saved files loaded (the start-up timer has run).
    std::unique_ptr<plugVComData> startTool();
    int takeNumber();

    std::unique_ptr<PairGuard> guard;
    std::unique_ptr<testutil::TempAppDir> app;
    bool loadedAtOnce = false;
};

void tst_plugVComData::init()
{
    if (!testutil::isRoot() || !testutil::haveSocat())
        QSKIP("the tool needs root (links under /dev) and socat");
    guard.reset(new PairGuard);
    app.reset(new testutil::TempAppDir);
}

void tst_plugVComData::cleanup()
{
    guard.reset();
    app.reset();
}

void tst_plugVComData::cleanupTestCase()
{
    QVERIFY(socatChildren(QCoreApplication::applicationPid()).isEmpty());
}

int tst_plugVComData::takeNumber()
{
    return guard->take();
}

std::unique_ptr<plugVComData> tst_plugVComData::startTool()
{
    std::unique_ptr<plugVComData> tool(new plugVComData);
    loadedAtOnce = !tool->connectionIds().isEmpty();
    // recreation runs once, loadDelayMs after construction
    QSignalSpy loaded(tool.get(), &plugVComData::configLoaded);
    // a saved name taken by another program meanwhile brings a box: answered, not waited on
    auto boxText = std::make_shared<QString>();
    const QPointer<QTimer> answerer = testutil::answerNextModal(
        QStringLiteral("OK"), [boxText](QWidget* w) { *boxText = testutil::modalText(w); }, 60000);
    if (!loaded.wait(30000))
        qWarning("the saved connections were not loaded within 30 s");
    testutil::cancelAnswer(answerer);
    if (!boxText->isEmpty())
        qWarning("loading showed: %s", qPrintable(*boxText));
    for (int id : tool->connectionIds())
        guard->adoptPid(tool->pairs()->pairPid(QStringLiteral("ttyS%1").arg(id)));
    return tool;
}

void tst_plugVComData::serverConnectionSavedAndRecreated()
{
    const int n = takeNumber();
    QVERIFY(n);
    const QString name = QStringLiteral("ttyS%1").arg(n);
    const QString port = QString::number(freeTcpPort());
    QString path;
    {
        auto tool = startTool();
        auto* manager = qobject_cast<plugVComManager*>(tool->getManagerWidget());
        QVERIFY(manager);
        emit manager->newConnection(CONNECTION_SERVER);
        QVERIFY(child<QStackedWidget>(tool.get(), "stackedWidget")->isVisibleTo(tool.get()));
        QVERIFY(choose(child<QComboBox>(tool.get(), "server_com_list"), name));
        QCOMPARE(child<QLineEdit>(tool.get(), "server_name")->text(), QStringLiteral("Server ") + name);
        child<QLineEdit>(tool.get(), "listen_port")->setText(port);
        QCOMPARE(pressNew(child<QPushButton>(tool.get(), "tcp_server_new")), QString());
        guard->adoptPid(tool->pairs()->pairPid(name));

        VSPConnectionMsg* panel = tool->panel(n);
        QVERIFY(panel);
        QCOMPARE(child<QStackedWidget>(tool.get(), "stackedWidget")->currentWidget(), panel);
        path = tool->iniPath(n);
        QCOMPARE(path, QDir(connectionDir(*app)).absoluteFilePath(name + QStringLiteral("_Server.ini")));
        QSettings ini(path, QSettings::IniFormat);
        QCOMPARE(ini.allKeys().size(), 14);
        QCOMPARE(ini.value(QStringLiteral("connect/pack_ms")).toString(), QStringLiteral("50"));
        QCOMPARE(ini.value(QStringLiteral("client/rfc2217")).toString(), QStringLiteral("false"));
        QCOMPARE(ini.value(QStringLiteral("connect/id")).toString(), QString::number(n));
        QCOMPARE(ini.value(QStringLiteral("connect/type")).toString(), QStringLiteral("Server"));
        QCOMPARE(ini.value(QStringLiteral("connect/com_name1")).toString(), name);
        QCOMPARE(ini.value(QStringLiteral("connect/com_name2")).toString(), QStringLiteral("ttyS%1").arg(n + 256));
        QCOMPARE(ini.value(QStringLiteral("server/port")).toString(), port);
        for (const char* key : {"client/ip_addr", "client/port", "udp/local_port", "udp/remote_addr", "udp/remote_port"})
            QCOMPARE(ini.value(QLatin1String(key)).toString(), QString());

        QTreeWidgetItem* node = manager->node(n);
        QVERIFY(node);
        QCOMPARE(node->text(0), QStringLiteral("Server ") + name);
        QCOMPARE(node->data(0, Qt::WhatsThisRole).toInt(), n);
        QCOMPARE(node->childCount(), 2);
        QCOMPARE(node->child(0)->text(0), name);
        QCOMPARE(node->child(1)->text(0), QStringLiteral("Server ") + port);

        // The name is no longer offered.
        tool->updateValidComNames();
        QCOMPARE(child<QComboBox>(tool.get(), "server_com_list")->findText(name), -1);
    }
    // The tool is gone: its socat ended and the links went with it; the file stays.
    QVERIFY(!linkPresent(devPath(n)));
    QVERIFY(!linkPresent(devPath(n + 256)));
    QVERIFY(QFile::exists(path));

    auto tool = startTool();
    VSPConnectionMsg* panel = tool->panel(n);
    QVERIFY(panel);
    QCOMPARE(panel->secondUnit()->name(), QStringLiteral("Tcp Server"));
    QCOMPARE(tool->iniPath(n), path);
    // loaded connections stay hidden until their node is clicked
    QVERIFY(!child<QStackedWidget>(tool.get(), "stackedWidget")->isVisibleTo(tool.get()));
    auto* manager = qobject_cast<plugVComManager*>(tool->getManagerWidget());
    QCOMPARE(manager->node(n)->text(0), QStringLiteral("Server ") + name);
    QCOMPARE(manager->node(n)->child(1)->text(0), QStringLiteral("Server ") + port);
    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, port.toUShort());
    QVERIFY(client.waitForConnected(5000));
    emit manager->switchConnection(n);
    QCOMPARE(child<QStackedWidget>(tool.get(), "stackedWidget")->currentWidget(), panel);
    QVERIFY(child<QStackedWidget>(tool.get(), "stackedWidget")->isVisibleTo(tool.get()));
}

void tst_plugVComData::comComFileAndName()
{
    const int a = takeNumber();
    const int b = takeNumber();
    QVERIFY(a && b);
    auto tool = startTool();
    auto* manager = qobject_cast<plugVComManager*>(tool->getManagerWidget());
    emit manager->newConnection(CONNECTION_PAIR);
    QVERIFY(choose(child<QComboBox>(tool.get(), "com_name_list1"), QStringLiteral("ttyS%1").arg(a)));
    QVERIFY(choose(child<QComboBox>(tool.get(), "com_name_list2"), QStringLiteral("ttyS%1").arg(b)));
    QCOMPARE(pressNew(child<QPushButton>(tool.get(), "com_com_new")), QString());
    guard->adoptPid(tool->pairs()->pairPid(QStringLiteral("ttyS%1").arg(a)));
    QVERIFY(tool->panel(a));
    QCOMPARE(QFileInfo(tool->iniPath(a)).fileName(), QStringLiteral("ttyS%1_ttyS%2.ini").arg(a).arg(b));
    QCOMPARE(manager->node(a)->text(0), QStringLiteral("ttyS%1 - ttyS%2").arg(a).arg(b));
    QCOMPARE(manager->node(a)->child(1)->text(0), QStringLiteral("ttyS%1").arg(b));
    QVERIFY(QFileInfo(devPath(a)).isSymLink());
    QVERIFY(QFileInfo(devPath(b)).isSymLink());
}

void tst_plugVComData::equalComNamesRefused()
{
    const int a = takeNumber();
    QVERIFY(a);
    auto tool = startTool();
    emit qobject_cast<plugVComManager*>(tool->getManagerWidget())->newConnection(CONNECTION_PAIR);
    QVERIFY(choose(child<QComboBox>(tool.get(), "com_name_list1"), QStringLiteral("ttyS%1").arg(a)));
    QVERIFY(choose(child<QComboBox>(tool.get(), "com_name_list2"), QStringLiteral("ttyS%1").arg(a)));
    QString text;
    testutil::answerNextModal(QStringLiteral("OK"), [&](QWidget* w) { text = testutil::modalText(w); });
    child<QPushButton>(tool.get(), "com_com_new")->click();
    QTRY_VERIFY(!QApplication::activeModalWidget());
    QCOMPARE(text, QStringLiteral("can't set serial com port with same name!"));
    QVERIFY(tool->connectionIds().isEmpty());
    QVERIFY(!linkPresent(devPath(a)));
    QVERIFY(!QDir(connectionDir(*app)).exists() || QDir(connectionDir(*app)).entryList(QDir::Files).isEmpty());
}

void tst_plugVComData::failedCreationNotSaved()
{
    const int n = takeNumber();
    QVERIFY(n);
    auto tool = startTool();
    emit qobject_cast<plugVComManager*>(tool->getManagerWidget())->newConnection(CONNECTION_UDP);
    QVERIFY(choose(child<QComboBox>(tool.get(), "udp_com_list"), QStringLiteral("ttyS%1").arg(n)));
    // Another program takes the name after the list was filled.
    QVERIFY(QFile::link(QStringLiteral("/dev/null"), devPath(n)));
    QString text;
    testutil::answerNextModal(QStringLiteral("OK"), [&](QWidget* w) { text = testutil::modalText(w); });
    child<QPushButton>(tool.get(), "udp_new")->click();
    QTRY_VERIFY(!QApplication::activeModalWidget());
    // the fixed first line, then the cause
    QCOMPARE(text.section(QLatin1Char('\n'), 0, 0), QStringLiteral("create com pair failed, please try other com name"));
    QCOMPARE(text.section(QLatin1Char('\n'), 1), QStringLiteral("%1 exists already").arg(devPath(n)));
    QVERIFY(tool->connectionIds().isEmpty());
    QVERIFY(qobject_cast<plugVComManager*>(tool->getManagerWidget())->topLevelItemCount() == 0);
    QVERIFY(!QDir(connectionDir(*app)).exists() || QDir(connectionDir(*app)).entryList(QDir::Files).isEmpty());
    QCOMPARE(QFileInfo(devPath(n)).symLinkTarget(), QStringLiteral("/dev/null"));
}

void tst_plugVComData::failedBridgeNotSaved()
{
    const int n = takeNumber();
    QVERIFY(n);
    const QString name = QStringLiteral("ttyS%1").arg(n);
    QTcpServer taken;
    QVERIFY(taken.listen(QHostAddress::Any, 0));
    auto tool = startTool();
    emit qobject_cast<plugVComManager*>(tool->getManagerWidget())->newConnection(CONNECTION_SERVER);
    QVERIFY(choose(child<QComboBox>(tool.get(), "server_com_list"), name));
    child<QLineEdit>(tool.get(), "listen_port")->setText(QString::number(taken.serverPort()));
    QCOMPARE(pressNew(child<QPushButton>(tool.get(), "tcp_server_new")), QString());
    guard->adoptPid(tool->pairs()->pairPid(name));

    // The panel shows why, and nothing is saved to be retried at every start.
    VSPConnectionMsg* panel = tool->panel(n);
    QVERIFY(panel);
    QVERIFY(child<QStackedWidget>(tool.get(), "stackedWidget")->isVisibleTo(tool.get()));
    QCOMPARE(child<QStackedWidget>(tool.get(), "stackedWidget")->currentWidget(), panel);
    auto* status = child<QLabel>(panel, "status");
    QVERIFY(status->isVisibleTo(panel));
    QVERIFY2(status->text().contains(QLatin1String("could not be listened on")), qPrintable(status->text()));
    QVERIFY(status->text().endsWith(QLatin1String("The connection was not saved.")));
    QCOMPARE(child<QLineEdit>(panel->secondUnit(), "status")->text(), QStringLiteral("Listen failed"));
    QCOMPARE(tool->iniPath(n), QString());
    QVERIFY(!QDir(connectionDir(*app)).exists() || QDir(connectionDir(*app)).entryList(QDir::Files).isEmpty());

    // It can be deleted like any other.
    QPointer<VSPConnectionMsg> watch(panel);
    testutil::answerNextModal(QStringLiteral("Yes"));
    child<QPushButton>(panel, "delete_connection")->click();
    QTRY_VERIFY(watch.isNull());
    QVERIFY(!linkPresent(devPath(n)));
    QVERIFY(!qobject_cast<plugVComManager*>(tool->getManagerWidget())->node(n));
}

void tst_plugVComData::savedBridgeShownFailed()
{
    const int n = takeNumber();
    QVERIFY(n);
    const QString name = QStringLiteral("ttyS%1").arg(n);
    QUdpSocket taken;
    QVERIFY(taken.bind(QHostAddress::Any, 0));
    writeSaved(connectionDir(*app), name + QStringLiteral("_Udp.ini"), QStringLiteral("Udp"), name,
               PairedComName(name), QString(), QStringLiteral("udp/local_port"), QString::number(taken.localPort()));
    auto tool = startTool();
    VSPConnectionMsg* panel = tool->panel(n);
    QVERIFY(panel);
    // the port may be free at the next start: the file stays, the panel says what failed
    QVERIFY(QFile::exists(tool->iniPath(n)));
    QVERIFY2(panel->failureText().contains(QLatin1String("could not be bound")), qPrintable(panel->failureText()));
    QCOMPARE(child<QLabel>(panel, "status")->text(), panel->failureText());
}

void tst_plugVComData::formRefusesBadValues_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("reason");
    QTest::newRow("server port wraps") << int(CONNECTION_SERVER) << "listen_port" << "70000"
                                       << "local TCP port \"70000\" is not a port number from 1 to 65535";
    QTest::newRow("server port empty") << int(CONNECTION_SERVER) << "listen_port" << ""
                                       << "local TCP port \"\" is not a port number from 1 to 65535";
    QTest::newRow("client port 0") << int(CONNECTION_CLIENT) << "client_remote_port" << "0"
                                   << "remote port \"0\" is not a port number from 1 to 65535";
    QTest::newRow("client address empty") << int(CONNECTION_CLIENT) << "client_remote_addr" << ""
                                          << "remote address \"\" is neither an IP address nor a host name";
    QTest::newRow("udp listen port wraps") << int(CONNECTION_UDP) << "udp_listen_port" << "65536"
                                           << "listen port \"65536\" is not a port number from 1 to 65535";
    QTest::newRow("udp remote address") << int(CONNECTION_UDP) << "udp_remote_addr" << "-bad-"
                                        << "remote address \"-bad-\" is neither an IP address nor a host name";
}

void tst_plugVComData::formRefusesBadValues()
{
    QFETCH(int, type);
    QFETCH(QString, field);
    QFETCH(QString, value);
    QFETCH(QString, reason);
    auto tool = startTool();
    emit qobject_cast<plugVComManager*>(tool->getManagerWidget())->newConnection(type);
    auto* edit = child<QLineEdit>(tool.get(), field.toLatin1().constData());
    QVERIFY(edit);
    QVERIFY(edit->validator());
    // the validator refuses what it can see by itself; the rest is checked on "new"
    QString probe = value;
    int pos = 0;
    const bool hostRow = field.endsWith(QLatin1String("addr"));
    QVERIFY(hostRow || edit->validator()->validate(probe, pos) != QValidator::Acceptable);
    edit->setText(value);
    QString text;
    testutil::answerNextModal(QStringLiteral("OK"), [&](QWidget* w) { text = testutil::modalText(w); });
    const char* button = type == CONNECTION_SERVER ? "tcp_server_new" : type == CONNECTION_CLIENT ? "tcp_client_new"
                                                                                                   : "udp_new";
    child<QPushButton>(tool.get(), button)->click();
    QTRY_VERIFY(!QApplication::activeModalWidget());
    QCOMPARE(text, reason);
    QVERIFY(tool->connectionIds().isEmpty());
    QVERIFY(socatChildren(QCoreApplication::applicationPid()).isEmpty());
    QVERIFY(!QDir(connectionDir(*app)).exists() || QDir(connectionDir(*app)).entryList(QDir::Files).isEmpty());
}

void tst_plugVComData::savedFilesLoaded_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("name1"); // %1 = a free number, %2 = its partner
    QTest::addColumn<QString>("name2");
    QTest::addColumn<bool>("loads");
    QTest::addColumn<QString>("unitName");
    QTest::addColumn<QString>("key"); // a value edited by hand
    QTest::addColumn<QString>("value");
    QTest::newRow("lower-case server") << "server" << "ttyS%1" << "ttyS%2" << true << "Tcp Server" << "" << "";
    QTest::newRow("upper-case UDP") << "UDP" << "ttyS%1" << "ttyS%2" << true << "UDP" << "" << "";
    QTest::newRow("client") << "Client" << "ttyS%1" << "ttyS%2" << true << "Tcp Client" << "" << "";
    QTest::newRow("unknown type word") << "Modem" << "ttyS%1" << "ttyS%2" << false << "" << "" << "";
    QTest::newRow("blank smuggles a socat address") << "Server" << "ttyS%1 pty,link=/tmp/vxa-evil" << "ttyS%2"
                                                   << false << "" << "" << "";
    QTest::newRow("option after the name") << "Udp" << "ttyS%1,link=/tmp/vxa-evil" << "ttyS%2" << false << ""
                                           << "" << "";
    QTest::newRow("path as partner") << "Client" << "ttyS%1" << "../tmp/vxa-evil" << false << "" << "" << "";
    QTest::newRow("partner is not N + 256") << "Server" << "ttyS%1" << "ttyS%1" << false << "" << "" << "";
    QTest::newRow("user side above 256") << "Server" << "ttyS%2" << "ttyS%1" << false << "" << "" << "";
    QTest::newRow("server port wraps") << "Server" << "ttyS%1" << "ttyS%2" << false << "" << "server/port" << "70000";
    QTest::newRow("server port 0") << "Server" << "ttyS%1" << "ttyS%2" << false << "" << "server/port" << "0";
    QTest::newRow("server port not a number") << "Server" << "ttyS%1" << "ttyS%2" << false << ""
                                              << "server/port" << "50x";
    QTest::newRow("client port negative") << "Client" << "ttyS%1" << "ttyS%2" << false << "" << "client/port" << "-1";
    QTest::newRow("client address empty") << "Client" << "ttyS%1" << "ttyS%2" << false << "" << "client/ip_addr"
                                          << "";
    QTest::newRow("udp listen port wraps") << "Udp" << "ttyS%1" << "ttyS%2" << false << "" << "udp/local_port"
                                           << "65536";
    QTest::newRow("udp remote port 0") << "Udp" << "ttyS%1" << "ttyS%2" << false << "" << "udp/remote_port" << "0";
    QTest::newRow("udp remote address with blank") << "Udp" << "ttyS%1" << "ttyS%2" << false << ""
                                                   << "udp/remote_addr" << "host name";
}

void tst_plugVComData::savedFilesLoaded()
{
    QFETCH(QString, type);
    QFETCH(QString, name1);
    QFETCH(QString, name2);
    QFETCH(bool, loads);
    QFETCH(QString, unitName);
    QFETCH(QString, key);
    QFETCH(QString, value);
    const int n = takeNumber();
    QVERIFY(n);
    for (QString* name : {&name1, &name2}) {
        name->replace(QLatin1String("%1"), QString::number(n));
        name->replace(QLatin1String("%2"), QString::number(n + 256));
    }
    writeSaved(connectionDir(*app), QStringLiteral("saved.ini"), type, name1, name2, QString::number(freeTcpPort()),
               key, value);
    if (!loads)
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^skipping \"saved.ini\"")));
    auto tool = startTool();
    if (loads) {
        QVERIFY(!loadedAtOnce); // saved connections come back after the start-up delay
        QVERIFY(tool->panel(n));
        QCOMPARE(tool->panel(n)->secondUnit()->name(), unitName);
        QCOMPARE(tool->iniPath(n), QDir(connectionDir(*app)).absoluteFilePath(QStringLiteral("saved.ini")));
        QCOMPARE(qobject_cast<plugVComManager*>(tool->getManagerWidget())->node(n)->text(0),
                 QStringLiteral("%1 %2").arg(type, name1));
    } else {
        QVERIFY(tool->connectionIds().isEmpty());
        QVERIFY(socatChildren(QCoreApplication::applicationPid()).isEmpty());
        // The number stays free, so a program running beside us may take it meanwhile: a
        // link there counts against us unless another program's socat made it.
        const qint64 maker = linkMakerParent(devPath(n));
        QVERIFY(!linkPresent(devPath(n)) || (maker != 0 && maker != QCoreApplication::applicationPid()));
        QVERIFY(!linkPresent(QStringLiteral("/tmp/vxa-evil")));
    }
}

void tst_plugVComData::deleteConnection_data()
{
    QTest::addColumn<QString>("savedId");
    QTest::newRow("saved id matches the port") << "n";
    // Files written by a failed creation of older versions, or edited by hand.
    QTest::newRow("empty saved id") << "";
    QTest::newRow("saved id of another port") << "7";
}

void tst_plugVComData::deleteConnection()
{
    QFETCH(QString, savedId);
    const int n = takeNumber();
    QVERIFY(n);
    const QString name = QStringLiteral("ttyS%1").arg(n);
    writeSaved(connectionDir(*app), name + QStringLiteral("_Udp.ini"), QStringLiteral("Udp"), name,
               PairedComName(name));
    QSettings(connectionDir(*app) + QStringLiteral("/") + name + QStringLiteral("_Udp.ini"), QSettings::IniFormat)
        .setValue(QStringLiteral("connect/id"), savedId == QLatin1String("n") ? QString::number(n) : savedId);
    auto tool = startTool();
    VSPConnectionMsg* panel = tool->panel(n);
    QVERIFY(panel);
    const qint64 pid = tool->pairs()->pairPid(name);
    QVERIFY(isSocat(pid));
    const QString path = tool->iniPath(n);
    QVERIFY(QFile::exists(path));
    QPointer<VSPConnectionMsg> watch(panel);

    testutil::answerNextModal(QStringLiteral("Yes"));
    child<QPushButton>(panel, "delete_connection")->click();
    QTRY_VERIFY(!QApplication::activeModalWidget());
    QTRY_VERIFY(watch.isNull());
    QVERIFY(!tool->panel(n));
    QVERIFY(!qobject_cast<plugVComManager*>(tool->getManagerWidget())->node(n));
    QCOMPARE(qobject_cast<plugVComManager*>(tool->getManagerWidget())->topLevelItemCount(), 0);
    QVERIFY(!QFile::exists(path));
    QVERIFY(!isSocat(pid));
    QVERIFY(!linkPresent(devPath(n)));
    QVERIFY(!linkPresent(devPath(n + 256)));
    QVERIFY(!child<QStackedWidget>(tool.get(), "stackedWidget")->isVisibleTo(tool.get()));
    // offered again at once
    QVERIFY(child<QComboBox>(tool.get(), "udp_com_list")->findText(name) >= 0);
}

void tst_plugVComData::deleteAnsweredNo()
{
    const int n = takeNumber();
    QVERIFY(n);
    const QString name = QStringLiteral("ttyS%1").arg(n);
    writeSaved(connectionDir(*app), name + QStringLiteral("_Udp.ini"), QStringLiteral("Udp"), name,
               PairedComName(name));
    auto tool = startTool();
    VSPConnectionMsg* panel = tool->panel(n);
    QVERIFY(panel);
    QString text;
    testutil::answerNextModal(QStringLiteral("No"), [&](QWidget* w) { text = testutil::modalText(w); });
    child<QPushButton>(panel, "delete_connection")->click();
    QTRY_VERIFY(!QApplication::activeModalWidget());
    QCOMPARE(text, QStringLiteral("Are you sure to delete the connection?"));
    QCOMPARE(tool->panel(n), panel);
    QVERIFY(QFile::exists(tool->iniPath(n)));
    QVERIFY(isSocat(tool->pairs()->pairPid(name)));
    QVERIFY(QFileInfo(devPath(n)).isSymLink());
}

void tst_plugVComData::busyPortRefusesDeletion()
{
    const int n = takeNumber();
    QVERIFY(n);
    const QString name = QStringLiteral("ttyS%1").arg(n);
    writeSaved(connectionDir(*app), name + QStringLiteral("_Udp.ini"), QStringLiteral("Udp"), name,
               PairedComName(name));
    auto tool = startTool();
    VSPConnectionMsg* panel = tool->panel(n);
    QVERIFY(panel);
    QPointer<VSPConnectionMsg> watch(panel);

    // A program holds the user-side port, from another process as a user's program would.
    QProcess holder;
    holder.start(QStringLiteral("sleep"), {QStringLiteral("30")});
    QVERIFY(holder.waitForStarted(5000));
    QProcess opener;
    opener.start(QStringLiteral("sh"),
                 {QStringLiteral("-c"), QStringLiteral("exec 3<>%1; echo open; exec sleep 30").arg(devPath(n))});
    QVERIFY(opener.waitForReadyRead(5000));
    QVERIFY(panel->isComBusy());

    QString busyText;
    testutil::answerNextModal(QStringLiteral("Yes"), [&](QWidget*) {
        testutil::answerNextModal(QStringLiteral("OK"), [&](QWidget* w) { busyText = testutil::modalText(w); });
    });
    child<QPushButton>(panel, "delete_connection")->click();
    QTRY_VERIFY(!busyText.isEmpty());
    QTRY_VERIFY(!QApplication::activeModalWidget());
    QCOMPARE(busyText, QStringLiteral("serial port %1 is busy, please close it then try again!").arg(name));
    QCOMPARE(tool->panel(n), panel);
    QVERIFY(QFile::exists(tool->iniPath(n)));

    opener.kill();
    opener.waitForFinished(5000);
    holder.kill();
    holder.waitForFinished(5000);
    QVERIFY(!panel->isComBusy());
    testutil::answerNextModal(QStringLiteral("Yes"));
    child<QPushButton>(panel, "delete_connection")->click();
    QTRY_VERIFY(watch.isNull());
    QVERIFY(!linkPresent(devPath(n)));
}

void tst_plugVComData::treeMenuOpensForms()
{
    auto tool = startTool();
    auto* manager = qobject_cast<plugVComManager*>(tool->getManagerWidget());
    auto* stack = child<QStackedWidget>(tool.get(), "stackedWidget");
    const QList<QAction*> actions{manager->newPairAction, manager->newServerAction, manager->newClientAction,
                                  manager->newUdpAction};
    const QStringList texts{"New Com Pair", "New Com Server", "New Com Client", "New Com Udp"};
    for (int type = 0; type < 4; ++type) {
        QCOMPARE(actions.at(type)->text(), texts.at(type));
        actions.at(type)->trigger();
        QVERIFY(stack->isVisibleTo(tool.get()));
        QCOMPARE(stack->currentIndex(), type);
        child<QPushButton>(tool.get(), std::array<const char*, 4>{"com_com_cancel", "tcp_server_cancel",
                                                                   "tcp_client_cancel", "udp_cancel"}[type])
            ->click();
        QVERIFY(!stack->isVisibleTo(tool.get()));
    }
    // the two COM - COM choices differ by default
    QVERIFY(child<QComboBox>(tool.get(), "com_name_list1")->currentText()
            != child<QComboBox>(tool.get(), "com_name_list2")->currentText());
}

void tst_plugVComData::killedProgramLeavesNothingAndIsRecreated()
{
    const int a = takeNumber();
    const int b = takeNumber();
    QVERIFY(a && b);
    const QString nameA = QStringLiteral("ttyS%1").arg(a);
    const QString nameB = QStringLiteral("ttyS%1").arg(b);
    writeSaved(connectionDir(*app), nameA + QStringLiteral("_Server.ini"), QStringLiteral("Server"), nameA,
               PairedComName(nameA), QString::number(freeTcpPort()));
    writeSaved(connectionDir(*app), nameB + QStringLiteral("_Udp.ini"), QStringLiteral("Udp"), nameB,
               PairedComName(nameB));

    QProcess holder;
    holder.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    holder.start(QCoreApplication::applicationFilePath(),
                 {QStringLiteral("--hold-tool"), app->path(), QStringLiteral("2")});
    QVERIFY(holder.waitForStarted(5000));
    QByteArray out;
    QTRY_VERIFY_WITH_TIMEOUT((out += holder.readAllStandardOutput()).contains("ready"), 15000);
    const QList<qint64> socats = socatChildren(holder.processId());
    for (qint64 pid : socats)
        guard->adoptPid(pid);
    QCOMPARE(socats.size(), 2);
    for (int n : {a, a + 256, b, b + 256})
        QVERIFY(QFileInfo(devPath(n)).isSymLink());

    ::kill(static_cast<pid_t>(holder.processId()), SIGKILL);
    QVERIFY(holder.waitForFinished(5000));
    for (qint64 pid : socats)
        QTRY_VERIFY_WITH_TIMEOUT(!isSocat(pid), 5000);
    for (int n : {a, a + 256, b, b + 256})
        QTRY_VERIFY_WITH_TIMEOUT(!linkPresent(devPath(n)), 5000);

    auto tool = startTool();
    QCOMPARE(tool->connectionIds(), (QList<int>{qMin(a, b), qMax(a, b)}));
    for (int n : {a, a + 256, b, b + 256})
        QVERIFY(QFileInfo(devPath(n)).isSymLink());
}

void tst_plugVComData::languageChange()
{
    const int n = takeNumber();
    QVERIFY(n);
    const QString name = QStringLiteral("ttyS%1").arg(n);
    writeSaved(connectionDir(*app), name + QStringLiteral("_Server.ini"), QStringLiteral("Server"), name,
               PairedComName(name), QString::number(freeTcpPort()));
    auto tool = startTool();
    QVERIFY(tool->panel(n));
    QTranslator translator;
    QVERIFY(translator.load(QStringLiteral(VXA_BIN_DIR "/languages/zh_CN/VcomNet_zh_CN.qm")));
    QCoreApplication::installTranslator(&translator);
    auto* manager = qobject_cast<plugVComManager*>(tool->getManagerWidget());
    QTRY_COMPARE(manager->newPairAction->text(), QStringLiteral("新建串口对")); // the change event is posted
    QCOMPARE(child<QPushButton>(tool->panel(n), "delete_connection")->text(), QStringLiteral("删除"));
    QCOMPARE(child<QPushButton>(tool.get(), "tcp_server_new")->text(), QStringLiteral("新建"));
    QCOMPARE(child<QLineEdit>(tool.get(), "server_name")->text(),
             QStringLiteral("服务器 ") + child<QComboBox>(tool.get(), "server_com_list")->currentText());
    ConnectionUnit* net = tool->panel(n)->secondUnit();
    QCOMPARE(child<QLineEdit>(net, "status")->text(), QStringLiteral("监听中"));
    QCOMPARE(child<QLineEdit>(net, "port")->text(), QSettings(tool->iniPath(n), QSettings::IniFormat)
                                                         .value(QStringLiteral("server/port")).toString());
    QCoreApplication::removeTranslator(&translator);
    QTRY_COMPARE(manager->newPairAction->text(), QStringLiteral("New Com Pair"));
    QCOMPARE(child<QLineEdit>(net, "status")->text(), QStringLiteral("Listening"));
}

int main(int argc, char** argv)
{
    if (argc >= 4 && qstrcmp(argv[1], "--hold-tool") == 0)
        return holdTool(argc, argv);
    QApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    tst_plugVComData tc;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&tc, argc, argv);
}

#include "tst_plugvcomdata.moc"
