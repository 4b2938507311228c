#include "ConnectionUnit.h"
#include "plugVComManager.h"
#include "tcpServerSocket_.h"
#include "testutil.h"

#include <QLineEdit>
#include <QMenu>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QUdpSocket>
#include <QtTest>

// Units and the tree on their own: no links under /dev needed.
class tst_ConnectionUnit : public QObject
{
    Q_OBJECT
private slots:
    void serialUnitWithoutPort();
    void serialUnitRelaysThroughPty();
    void serialUnitReportsMissingPort();
    void serverCountNeverBelowZero();
    void clientStatus();
    void udpUnitSendsLongPacketWhole();
    void treeNodes_data();
    void treeNodes();
    void treeClicks();
};

namespace {

QString field(QWidget* unit, const char* name)
{
    auto* edit = unit->findChild<QLineEdit*>(QLatin1String(name));
    return edit ? edit->text() : QString();
}

VSP_CONNECTION_PARAMS params(const QString& name1, const QString& name2)
{
    VSP_CONNECTION_PARAMS p;
    p.com_name1 = name1;
    p.com_name2 = name2;
    return p;
}

} // namespace

void tst_ConnectionUnit::serialUnitWithoutPort()
{
    SerialPortUnit unit(params(QStringLiteral("ttyS3"), QStringLiteral("-")));
    QCOMPARE(unit.name(), QStringLiteral("ttyS3"));
    QCOMPARE(field(&unit, "com_name"), QStringLiteral("ttyS3"));
    QVERIFY(unit.start()); // nothing to open
    unit.sendData("dropped");
    QCOMPARE(unit.receivedCount(), 0);
    QCOMPARE(field(&unit, "received_bytes"), QStringLiteral("0"));
}

void tst_ConnectionUnit::serialUnitReportsMissingPort()
{
    QTemporaryDir dir;
    const QString missing = dir.filePath(QStringLiteral("ttyS259"));
    SerialPortUnit unit(params(QStringLiteral("ttyS3"), missing));
    QSignalSpy failed(&unit, &ConnectionUnit::failed);
    QVERIFY(failed.isValid());
    QVERIFY(!unit.start());
    QCOMPARE(failed.count(), 1);
    QVERIFY2(unit.failureText().startsWith(missing + QStringLiteral(" could not be opened: ")),
             qPrintable(unit.failureText()));
    unit.sendData("dropped");
    QCOMPARE(unit.receivedCount(), 0);
}

void tst_ConnectionUnit::serialUnitRelaysThroughPty()
{
    if (!testutil::haveSocat())
        QSKIP("socat is not installed");
    testutil::SocatPair pty;
    QVERIFY(pty.isValid());
    SerialPortUnit unit(params(QStringLiteral("ttyS3"), pty.portB()));
    QSignalSpy transmitted(&unit, &ConnectionUnit::transmit);
    QVERIFY(transmitted.isValid());
    QVERIFY(unit.start());
    QSerialPort user(pty.portA());
    QVERIFY(user.open(QIODevice::ReadWrite));
    user.write("from user");
    QTRY_COMPARE_WITH_TIMEOUT(transmitted.count(), 1, 5000);
    QCOMPARE(transmitted.at(0).at(0).toByteArray(), QByteArray("from user"));
    QCOMPARE(field(&unit, "sent_bytes"), QStringLiteral("9"));
    unit.sendData("to user");
    QByteArray got;
    QTRY_VERIFY_WITH_TIMEOUT((got += user.readAll()) == "to user", 5000);
    QCOMPARE(field(&unit, "received_bytes"), QStringLiteral("7"));
    unit.resetCount();
    QCOMPARE(field(&unit, "received_bytes"), QStringLiteral("0"));
    QCOMPARE(field(&unit, "sent_bytes"), QStringLiteral("0"));
    unit.stop();
    unit.sendData("after stop");
    QCOMPARE(field(&unit, "received_bytes"), QStringLiteral("0"));
}

void tst_ConnectionUnit::serverCountNeverBelowZero()
{
    QTcpServer probe;
    QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
    const quint16 port = probe.serverPort();
    probe.close();
    VSP_CONNECTION_PARAMS p;
    p.server_port = QString::number(port);
    TcpServerUnit unit(p);
    QCOMPARE(field(&unit, "status"), QStringLiteral("Listening"));
    QVERIFY(unit.start());
    emit unit.device()->disConnect_signal(QString(), 0); // a spurious extra notice
    QCOMPARE(field(&unit, "connected_num"), QStringLiteral("0/25"));
    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, port);
    QVERIFY(client.waitForConnected(5000));
    QTRY_COMPARE_WITH_TIMEOUT(field(&unit, "connected_num"), QStringLiteral("1/25"), 5000);
    QCOMPARE(field(&unit, "status"), QStringLiteral("Connected"));
    unit.stop();
}

void tst_ConnectionUnit::udpUnitSendsLongPacketWhole()
{
    // The serial side hands over packets of up to 64 KiB, more than one datagram holds.
    QUdpSocket sink;
    QVERIFY(sink.bind(QHostAddress::LocalHost, 0));
    QUdpSocket probe;
    QVERIFY(probe.bind(QHostAddress::LocalHost, 0));
    const quint16 localPort = probe.localPort();
    probe.close();
    VSP_CONNECTION_PARAMS p;
    p.udp_local_port = QString::number(localPort);
    p.udp_remote_addr = QStringLiteral("127.0.0.1");
    p.udp_remote_port = QString::number(sink.localPort());
    UdpUnit unit(p);
    QVERIFY(unit.start());
    QByteArray packet(64 * 1024, Qt::Uninitialized);
    for (int i = 0; i < packet.size(); ++i)
        packet[i] = char(i * 7);
    unit.sendData(packet);
    QByteArray received;
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            while (sink.hasPendingDatagrams()) {
                QByteArray d(int(sink.pendingDatagramSize()), Qt::Uninitialized);
                sink.readDatagram(d.data(), d.size());
                received += d;
            }
            return received.size() >= packet.size();
        }(),
        5000);
    QCOMPARE(received, packet);
    QCOMPARE(field(&unit, "sent_bytes"), QString::number(packet.size()));
    unit.stop();
}

void tst_ConnectionUnit::clientStatus()
{
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost, 0));
    VSP_CONNECTION_PARAMS p;
    p.client_ip_addr = QStringLiteral("127.0.0.1");
    p.client_port = QString::number(server.serverPort());
    TcpClientUnit unit(p);
    QCOMPARE(field(&unit, "status"), QStringLiteral("Not Connected"));
    QCOMPARE(field(&unit, "ip_address"), QStringLiteral("127.0.0.1"));
    QVERIFY(unit.start());
    QVERIFY(server.waitForNewConnection(5000));
    std::unique_ptr<QTcpSocket> peer(server.nextPendingConnection());
    QTRY_COMPARE_WITH_TIMEOUT(field(&unit, "status"), QStringLiteral("Connected"), 5000);
    unit.sendData("abc");
    QByteArray got;
    QTRY_VERIFY_WITH_TIMEOUT((got += peer->readAll()) == "abc", 5000);
    QCOMPARE(field(&unit, "sent_bytes"), QStringLiteral("3"));
    peer->disconnectFromHost();
    QTRY_COMPARE_WITH_TIMEOUT(field(&unit, "status"), QStringLiteral("Not Connected"), 5000);
    unit.stop();
}

void tst_ConnectionUnit::treeNodes_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("second");
    QTest::newRow("pair") << 0 << "ttyS4";
    QTest::newRow("server") << 1 << "Server 6000";
    QTest::newRow("client") << 2 << "Client 127.0.0.1 5000";
    QTest::newRow("udp") << 3 << "Udp 5001";
    QTest::newRow("unknown") << -1 << "";
}

void tst_ConnectionUnit::treeNodes()
{
    QFETCH(int, type);
    QFETCH(QString, second);
    plugVComManager tree;
    VSP_CONNECTION_PARAMS p = params(QStringLiteral("ttyS3"), QStringLiteral("ttyS4"));
    p.name = QStringLiteral("the name");
    p.server_port = QStringLiteral("6000");
    p.client_ip_addr = QStringLiteral("127.0.0.1");
    p.client_port = QStringLiteral("5000");
    p.udp_local_port = QStringLiteral("5001");
    QVERIFY(tree.newNode(static_cast<VSP_CONNECTION_TYPE>(type), p, 3));
    QTreeWidgetItem* node = tree.node(3);
    QVERIFY(node);
    QCOMPARE(node->text(0), QStringLiteral("the name"));
    QCOMPARE(node->data(0, Qt::WhatsThisRole).toInt(), 3);
    QCOMPARE(node->child(0)->text(0), QStringLiteral("ttyS3"));
    QCOMPARE(node->child(1)->text(0), second);
    // a second node under the same number replaces the first
    QVERIFY(tree.newNode(static_cast<VSP_CONNECTION_TYPE>(type), p, 3));
    QCOMPARE(tree.topLevelItemCount(), 1);
    tree.removeNode(3);
    QCOMPARE(tree.topLevelItemCount(), 0);
    tree.removeNode(3); // nothing left: no effect
}

void tst_ConnectionUnit::treeClicks()
{
    plugVComManager tree;
    tree.resize(300, 300);
    VSP_CONNECTION_PARAMS p = params(QStringLiteral("ttyS9"), QStringLiteral("ttyS265"));
    p.name = QStringLiteral("Server ttyS9");
    p.server_port = QStringLiteral("6000");
    tree.newNode(CONNECTION_SERVER, p, 9);
    tree.expandAll();
    tree.show();
    QVERIFY(QTest::qWaitForWindowExposed(&tree));
    QSignalSpy switched(&tree, &plugVComManager::switchConnection);
    QSignalSpy created(&tree, &plugVComManager::newConnection);
    QVERIFY(switched.isValid() && created.isValid());

    QTreeWidgetItem* node = tree.node(9);
    QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, tree.visualItemRect(node).center());
    QCOMPARE(switched.count(), 1);
    QCOMPARE(switched.at(0).at(0).toInt(), 9);
    QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, tree.visualItemRect(node->child(1)).center());
    QCOMPARE(switched.count(), 1); // children do nothing

    // right button on a node: no menu
    QTest::mouseClick(tree.viewport(), Qt::RightButton, {}, tree.visualItemRect(node).center());
    QVERIFY(!QApplication::activePopupWidget());
    // right button on empty space: the menu with the four kinds
    QTest::mouseClick(tree.viewport(), Qt::RightButton, {}, QPoint(150, 280));
    QTRY_VERIFY(QApplication::activePopupWidget());
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    QVERIFY(menu);
    QCOMPARE(menu->actions().size(), 4);
    menu->actions().at(2)->trigger();
    menu->close();
    QCOMPARE(created.count(), 1);
    QCOMPARE(created.at(0).at(0).toInt(), int(CONNECTION_CLIENT));
}

QTEST_MAIN(tst_ConnectionUnit)
#include "tst_connectionunit.moc"
