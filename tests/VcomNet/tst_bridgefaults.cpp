// Bridges under the conditions that used to break them: line changes next to data, peers
// that refuse or are not there yet, raw servers sending 0xFF, a slow UDP link, a stop.

#include "ConnectionUnit.h"
#include "Rfc2217Codec.h"
#include "Rfc2217Session.h"
#include "VSPConnectionMsg.h"
#include "VSPortFunction.h"
#include "serialPortDevice_.h"
#include "tcpClientSocket_.h"
#include "testutil.h"
#include "udpSocket_.h"
#include "vcomtestutil.h"

#include <QLabel>
#include <QLineEdit>
#include <QSerialPort>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUdpSocket>
#include <QtTest>

#include <memory>

using namespace vcomtest;

namespace {

enum class Fault { LineThenData, DataThenLine, Refused, EarlyBytes, RawFF, Stopped, UdpSlowLink };

quint16 closedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

bool fill(QIODevice& from, QByteArray& buf, int want)
{
    buf += from.readAll();
    return buf.size() >= want;
}

} // namespace

Q_DECLARE_METATYPE(Fault)

class tst_BridgeFaults : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void cleanupTestCase();
    void fault_data();
    void fault();

private:
    std::unique_ptr<PairGuard> guard;
    std::unique_ptr<VSPortFunction> pairs;
};

void tst_BridgeFaults::init()
{
    if (!testutil::isRoot() || !testutil::haveSocat())
        QSKIP("bridges need root (links under /dev) and socat");
    guard.reset(new PairGuard);
    pairs.reset(new VSPortFunction);
}

void tst_BridgeFaults::cleanup()
{
    pairs.reset();
    guard.reset();
}

void tst_BridgeFaults::cleanupTestCase()
{
    QVERIFY(socatChildren(QCoreApplication::applicationPid()).isEmpty());
}

void tst_BridgeFaults::fault_data()
{
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<QString>("packMs");
    QTest::newRow("new baud then data: command first") << Fault::LineThenData << QStringLiteral("0");
    QTest::newRow("data drained then new baud: data first") << Fault::DataThenLine << QStringLiteral("50");
    QTest::newRow("refused port: the reason shows") << Fault::Refused << QStringLiteral("50");
    QTest::newRow("written before connecting: delivered") << Fault::EarlyBytes << QStringLiteral("0");
    QTest::newRow("raw server sends 41 ff 01 42: plain TCP") << Fault::RawFF << QStringLiteral("0");
    QTest::newRow("stopped client stays stopped") << Fault::Stopped << QStringLiteral("50");
    QTest::newRow("udp burst over a slow link: nothing lost") << Fault::UdpSlowLink << QStringLiteral("0");
}

void tst_BridgeFaults::fault()
{
    QFETCH(Fault, fault);
    QFETCH(QString, packMs);
    const QString slowServer = qEnvironmentVariable("VXA_SLOWLINK_SERVER");
    const quint16 echoPort = static_cast<quint16>(qEnvironmentVariableIntValue("VXA_SLOWLINK_UDP_PORT"));
    if (fault == Fault::UdpSlowLink && (slowServer.isEmpty() || !echoPort))
        QSKIP("needs the slow link: run through tests/iodevice/slowlink.sh as root (CTest does this)");

    const int n = guard->take();
    QVERIFY(n);
    VSP_CONNECTION_PARAMS p;
    p.com_name1 = QStringLiteral("ttyS%1").arg(n);
    p.com_name2 = PairedComName(p.com_name1);
    p.id = QString::number(n);
    p.pack_ms = packMs;
    QVERIFY(pairs->CreatePair(p.com_name1, p.com_name2));
    guard->adoptPid(pairs->pairPid(p.com_name1));
    QSerialPort user;
    user.setPortName(p.com_name1);
    QVERIFY2(user.open(QIODevice::ReadWrite), qPrintable(user.errorString()));
    QByteArray got;

    if (fault == Fault::UdpSlowLink) {
        // The echo comes back over the fast direction; the slow one refuses datagrams
        // once the socket buffer is full.
        p.type = QStringLiteral("Udp");
        p.udp_local_port = QString::number(closedPort());
        p.udp_remote_addr = slowServer;
        p.udp_remote_port = QString::number(echoPort);
        VSPConnectionMsg panel(CONNECTION_UDP, p, n);
        auto* udp = qobject_cast<UdpUnit*>(panel.secondUnit());
        // The socket's buffer fills before the queue of the link does (the system doubles it).
        udp->device()->udpSocket()->setSocketOption(QAbstractSocket::SendBufferSizeSocketOption, 64 * 1024);
        QByteArray burst(128 * 1024, Qt::Uninitialized);
        for (int i = 0; i < burst.size(); ++i)
            burst[i] = char(i * 7 + i / 251);
        user.write(burst);
        QTRY_VERIFY_WITH_TIMEOUT(fill(user, got, burst.size()), 60000);
        QVERIFY(got == burst);
        QCOMPARE(udp->findChild<QLineEdit*>(QStringLiteral("sent_bytes"))->text(), QString::number(burst.size()));
        panel.release();
        return;
    }

    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost, 0));
    const quint16 port = server.serverPort();
    if (fault == Fault::Refused || fault == Fault::EarlyBytes)
        server.close(); // nobody there (yet)
    p.type = QStringLiteral("Client");
    p.client_ip_addr = QStringLiteral("127.0.0.1");
    p.client_port = QString::number(port);
    const bool telnet = fault == Fault::LineThenData || fault == Fault::DataThenLine || fault == Fault::RawFF;
    p.client_rfc2217 = telnet ? QStringLiteral("true") : QStringLiteral("false");
    VSPConnectionMsg panel(CONNECTION_CLIENT, p, n);
    auto* client = qobject_cast<TcpClientUnit*>(panel.secondUnit());
    auto* status = panel.findChild<QLabel*>(QStringLiteral("status"));

    if (fault == Fault::Refused) {
        QTRY_VERIFY_WITH_TIMEOUT(status->isVisibleTo(&panel), 5000);
        QVERIFY2(status->text().contains(QLatin1String("refused")), qPrintable(status->text()));
        QVERIFY(panel.failureText().isEmpty()); // still trying: saved like a working one
        panel.release();
        return;
    }
    if (fault == Fault::EarlyBytes) {
        user.write("written while not connected");
        QVERIFY(user.waitForBytesWritten(1000));
        QTest::qWait(300); // the point: the bridge had time to read (and lose) them
        QVERIFY(server.listen(QHostAddress::LocalHost, port));
        client->device()->reconnectTimer.start(100);
    }
    QTRY_VERIFY_WITH_TIMEOUT(server.hasPendingConnections(), 10000);
    std::unique_ptr<QTcpSocket> peer(server.nextPendingConnection());

    switch (fault) {
    case Fault::EarlyBytes:
        QTRY_VERIFY_WITH_TIMEOUT(fill(*peer, got, 27), 5000);
        QCOMPARE(got, QByteArray("written while not connected"));
        break;
    case Fault::Stopped:
        client->device()->reconnectInterval = 100;
        panel.release();
        QTest::qWait(600); // the point: no new attempt comes
        QVERIFY(!server.hasPendingConnections());
        return;
    case Fault::RawFF:
        peer->write(QByteArray::fromHex("41ff0142"));
        QTRY_VERIFY_WITH_TIMEOUT(fill(user, got, 4), 5000);
        QCOMPARE(got, QByteArray::fromHex("41ff0142"));
        QTRY_COMPARE_WITH_TIMEOUT(client->lineStatus(), QStringLiteral("no RFC 2217 answer from the server, plain TCP"),
                                  Rfc2217Session::answerTimeoutMs + 5000);
        break;
    default: {
        // A server taking the option; every speed change and every piece of data is
        // recorded in the order it arrives.
        peer->write(QByteArray::fromHex("fffd2c fffb00 fffd00"));
        QByteArray wire;
        const auto seen = [&](const QByteArray& what) {
            wire += peer->readAll();
            return wire.indexOf(what);
        };
        QTRY_VERIFY_WITH_TIMEOUT(seen(Rfc2217Codec::setBaudRate(9600)) >= 0, 5000);
        auto* serial = qobject_cast<SerialPortUnit*>(panel.firstUnit());
        const quint32 bauds[] = {19200, 38400, 57600, 115200, 4800};
        for (const quint32 baud : bauds) {
            const QByteArray data = "data at " + QByteArray::number(baud);
            if (fault == Fault::LineThenData) {
                QVERIFY(user.setBaudRate(static_cast<qint32>(baud)));
                user.write(data);
            } else {
                // Written, and read by the bridge (held for the packing gap) before the change.
                user.write(data);
                QVERIFY(user.waitForBytesWritten(1000));
                QTRY_COMPARE_WITH_TIMEOUT(serial->device()->pendingSize(), data.size(), 5000);
                QVERIFY(user.setBaudRate(static_cast<qint32>(baud)));
            }
            const QByteArray command = Rfc2217Codec::setBaudRate(baud);
            QTRY_VERIFY_WITH_TIMEOUT(seen(command) >= 0 && seen(data) >= 0, 5000);
            if (fault == Fault::LineThenData)
                QVERIFY2(seen(command) < seen(data), qPrintable(QString::number(baud)));
            else
                QVERIFY2(seen(data) < seen(command), qPrintable(QString::number(baud)));
        }
        break;
    }
    }
    panel.release();
}

QTEST_MAIN(tst_BridgeFaults)
#include "tst_bridgefaults.moc"
