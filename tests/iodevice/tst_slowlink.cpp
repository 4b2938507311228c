// TCP connections across a slow link (about 300 ms per handshake), and name lookups that
// cannot leave the machine: run through slowlink.sh, which builds the link in two network
// namespaces of its own with their own hosts file, starts an echo server at the far end and
// skips when that is not possible.

#include "ConnectionUnit.h"
#include "tcpClientSocket_.h"

#include <QElapsedTimer>
#include <QLineEdit>
#include <QNetworkDatagram>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QTimer>
#include <QUdpSocket>
#include <QtTest>

namespace {

// Keeps the link's queue about depthMs deep with datagrams to the discard port of the
// far end, paced by the clock (a late timer catches up), so every packet we send waits
// behind it, as on a busy WAN link.
class Filler
{
public:
    Filler(const QHostAddress& to, qint64 bytesPerSecond, int depthMs)
        : target(to)
        , rate(bytesPerSecond)
        , initial(bytesPerSecond * depthMs / 1000)
    {
        clock.start();
        QObject::connect(&timer, &QTimer::timeout, &socket, [this]() { topUp(); });
        timer.start(10);
        topUp();
    }

private:
    void topUp()
    {
        static const QByteArray filler(500, 'f');
        const qint64 due = initial + rate * clock.elapsed() / 1000;
        while (sent + filler.size() <= due && socket.writeDatagram(filler, target, 9) == filler.size())
            sent += filler.size();
    }

    QHostAddress target;
    qint64 rate;
    qint64 initial;
    qint64 sent = 0;
    QUdpSocket socket;
    QTimer timer;
    QElapsedTimer clock;
};

} // namespace

class tst_SlowLink : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void linkIsSlow();
    void reconnectingClientConnectsAtFirstAttempt();
    void bridgeConnectsAtFirstAttempt();
    void udpBridgeRemoteHostName_data();
    void udpBridgeRemoteHostName();
    void oneShotOpen_data();
    void oneShotOpen();

private:
    QString server;
    quint16 port = 0;
    std::unique_ptr<Filler> filler;
};

void tst_SlowLink::initTestCase()
{
    server = qEnvironmentVariable("VXA_SLOWLINK_SERVER");
    port = static_cast<quint16>(qEnvironmentVariableIntValue("VXA_SLOWLINK_PORT"));
    if (server.isEmpty() || !port)
        QSKIP("needs the slow link: run through tests/iodevice/slowlink.sh as root (CTest does this)");
}

void tst_SlowLink::init()
{
    const int rate = qEnvironmentVariableIntValue("VXA_SLOWLINK_RATE");
    filler.reset(new Filler(QHostAddress(server), rate > 0 ? rate : 25000, 300));
}

void tst_SlowLink::cleanup()
{
    filler.reset();
}

void tst_SlowLink::linkIsSlow()
{
    // Without a slow handshake the other cases would prove nothing.
    QTcpSocket probe;
    QElapsedTimer t;
    t.start();
    probe.connectToHost(server, port);
    QTRY_COMPARE_WITH_TIMEOUT(probe.state(), QAbstractSocket::ConnectedState, 10000);
    qInfo("handshake took %d ms", int(t.elapsed()));
    QVERIFY2(t.elapsed() >= 100, qPrintable(QStringLiteral("handshake took %1 ms").arg(t.elapsed())));
}

void tst_SlowLink::reconnectingClientConnectsAtFirstAttempt()
{
    tcpClientSocket_ client; // default retry interval, 5000 ms
    QSignalSpy up(&client, &tcpClientSocket_::connected_signal);
    QSignalSpy rx(&client, &AbsIoDevice::receiveData);
    QVERIFY(up.isValid() && rx.isValid());
    QElapsedTimer t;
    t.start();
    QVERIFY(client.connectServer(server, port));
    QVERIFY(!client.isValid()); // the attempt is under way, nothing blocked
    QVERIFY(up.wait(client.reconnectInterval - 500));
    QVERIFY2(t.elapsed() < client.reconnectInterval, "connected only by a retry");
    QCOMPARE(up.count(), 1);
    QVERIFY(client.isValid());
    QCOMPARE(client.refusedCount, 0);
    QVERIFY(!client.reconnectTimer.isActive());

    client.write("echo me");
    QByteArray got;
    QTRY_VERIFY_WITH_TIMEOUT((got.clear(), std::for_each(rx.begin(), rx.end(), [&](const QList<QVariant>& a) {
                                  got += a.at(0).toByteArray();
                              }),
                              got == "echo me"),
                             10000);
}

void tst_SlowLink::bridgeConnectsAtFirstAttempt()
{
    VSP_CONNECTION_PARAMS params;
    params.client_ip_addr = server;
    params.client_port = QString::number(port);
    TcpClientUnit unit(params);
    QElapsedTimer t;
    t.start();
    QVERIFY(unit.start());
    auto* status = unit.findChild<QLineEdit*>(QStringLiteral("status"));
    QVERIFY(status);
    QTRY_COMPARE_WITH_TIMEOUT(status->text(), QStringLiteral("Connected"), unit.device()->reconnectInterval - 500);
    QVERIFY2(t.elapsed() < unit.device()->reconnectInterval, "connected only by a retry");
    QCOMPARE(unit.device()->refusedCount, 0);
    unit.stop();
}

void tst_SlowLink::udpBridgeRemoteHostName_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<bool>("resolves");
    QTest::newRow("name from the hosts file") << "vxa-loop.test" << true;
    QTest::newRow("unknown name") << "no-such-host.test" << false;
}

void tst_SlowLink::udpBridgeRemoteHostName()
{
    QFETCH(QString, host);
    QFETCH(bool, resolves);
    QUdpSocket peer;
    QVERIFY(peer.bind(QHostAddress::LocalHost, 0));
    VSP_CONNECTION_PARAMS params;
    QUdpSocket probe; // a free port for the unit
    QVERIFY(probe.bind(QHostAddress::Any, 0));
    params.udp_local_port = QString::number(probe.localPort());
    probe.close();
    params.udp_remote_addr = host;
    params.udp_remote_port = QString::number(peer.localPort());
    UdpUnit unit(params);
    QSignalSpy failed(&unit, &ConnectionUnit::failed);
    QVERIFY(unit.start());
    // Until the name is resolved nothing leaves and nothing is counted.
    int arrived = 0;
    auto drain = [&]() {
        while (peer.hasPendingDatagrams())
            arrived += peer.receiveDatagram().data().size();
        return arrived;
    };
    if (resolves) {
        QTRY_VERIFY_WITH_TIMEOUT((unit.sendData("ping"), drain() > 0), 10000);
        QCOMPARE(unit.failureText(), QString());
        // every byte counted went out as a datagram, and only those
        QTRY_COMPARE_WITH_TIMEOUT(drain(), int(unit.sentCount()), 5000);
    } else {
        QVERIFY(failed.wait(10000));
        QVERIFY2(unit.failureText().contains(QLatin1String("could not be resolved")), qPrintable(unit.failureText()));
        unit.sendData("lost");
        QCOMPARE(unit.sentCount(), 0);
    }
    unit.stop();
}

void tst_SlowLink::oneShotOpen_data()
{
    QTest::addColumn<int>("timeoutMs");
    QTest::addColumn<bool>("opens");
    QTest::newRow("slow handshake completes") << 10000 << true;
    QTest::newRow("gives up after its time limit") << 50 << false;
}

void tst_SlowLink::oneShotOpen()
{
    QFETCH(int, timeoutMs);
    QFETCH(bool, opens);
    tcpClientSocket_ client;
    client.openTimeout = timeoutMs;
    QSignalSpy opened(&client, &tcpClientSocket_::opened);
    QSignalSpy failed(&client, &tcpClientSocket_::openFailed);
    TcpClientParams params{QHostAddress::AnyIPv4, QHostAddress(server), port};
    QVERIFY(client.openAsync(&params));
    QVERIFY(!client.isValid());
    QTRY_COMPARE_WITH_TIMEOUT(opened.count() + failed.count(), 1, 15000);
    QCOMPARE(opened.count(), opens ? 1 : 0);
    QCOMPARE(client.isValid(), opens);
    if (!opens)
        QVERIFY2(client.errorText.contains(QLatin1String("within 50 ms")), qPrintable(client.errorText));
}

QTEST_MAIN(tst_SlowLink)
#include "tst_slowlink.moc"
