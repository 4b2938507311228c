// The per-connection packing interval and RFC 2217 line settings, end to end:
// real pairs under /dev, loopback sinks, ser2net as the device server.

#include "ConnectionUnit.h"
#include "Rfc2217Codec.h"
#include "Rfc2217Session.h"
#include "VSPConnectionMsg.h"
#include "VSPortFunction.h"
#include "plugVComData.h"
#include "plugVComManager.h"
#include "ser2netutil.h"
#include "testutil.h"
#include "vcomtestutil.h"

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSerialPort>
#include <QSettings>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <algorithm>
#include <memory>

using namespace vcomtest;

namespace {

QString field(QWidget* w, const char* name)
{
    auto* edit = w->findChild<QLineEdit*>(QLatin1String(name));
    return edit ? edit->text() : QStringLiteral("<missing %1>").arg(QLatin1String(name));
}

// Random bytes, a quarter of them 0xFF (also in runs), with CR NUL pairs among them.
QByteArray telnetHostile(int size)
{
    QByteArray data(size, Qt::Uninitialized);
    QRandomGenerator rng(2217);
    for (int i = 0; i < size; ++i) {
        const quint32 r = rng.generate();
        data[i] = (r & 3) == 0 ? char(0xff) : (r & 31) == 1 ? '\r' : (r & 31) == 2 ? '\0' : char(r >> 8);
    }
    return data;
}

// Moves everything a port or socket has into buf; true once buf holds want bytes.
bool drain(QIODevice& from, QByteArray& buf, int want)
{
    buf += from.readAll();
    return buf.size() >= want;
}

} // namespace

class tst_BridgeOptions : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void cleanupTestCase();

    void packingInterval_data();
    void packingInterval();
    void throughSer2net();
    void optionOffIsPlainTcp();
    void serverWithoutOption_data();
    void serverWithoutOption();
    void formsAndRestart();

private:
    // A pair for a new connection number; the panel bridges it to a client of port.
    VSP_CONNECTION_PARAMS clientParams(quint16 port);
    bool openUser(QSerialPort& user, const VSP_CONNECTION_PARAMS& p);

    std::unique_ptr<PairGuard> guard;
    std::unique_ptr<VSPortFunction> pairs;
};

void tst_BridgeOptions::init()
{
    if (!testutil::isRoot() || !testutil::haveSocat())
        QSKIP("bridges need root (links under /dev) and socat");
    guard.reset(new PairGuard);
    pairs.reset(new VSPortFunction);
}

void tst_BridgeOptions::cleanup()
{
    pairs.reset();
    guard.reset();
}

void tst_BridgeOptions::cleanupTestCase()
{
    QVERIFY(socatChildren(QCoreApplication::applicationPid()).isEmpty());
}

VSP_CONNECTION_PARAMS tst_BridgeOptions::clientParams(quint16 port)
{
    VSP_CONNECTION_PARAMS p;
    const int n = guard->take();
    if (!n)
        return p;
    p.type = QStringLiteral("Client");
    p.com_name1 = QStringLiteral("ttyS%1").arg(n);
    p.com_name2 = PairedComName(p.com_name1);
    p.id = QString::number(n);
    p.name = QStringLiteral("Client ") + p.com_name1;
    p.client_ip_addr = QStringLiteral("127.0.0.1");
    p.client_port = QString::number(port);
    if (!pairs->CreatePair(p.com_name1, p.com_name2))
        p.id.clear();
    guard->adoptPid(pairs->pairPid(p.com_name1));
    return p;
}

bool tst_BridgeOptions::openUser(QSerialPort& user, const VSP_CONNECTION_PARAMS& p)
{
    user.setPortName(p.com_name1);
    return user.open(QIODevice::ReadWrite);
}

void tst_BridgeOptions::packingInterval_data()
{
    QTest::addColumn<QString>("packMs");
    QTest::newRow("0: each read at once") << QStringLiteral("0");
    QTest::newRow("50: a burst becomes one packet") << QStringLiteral("50");
}

void tst_BridgeOptions::packingInterval()
{
    QFETCH(QString, packMs);
    QTcpServer sink;
    QVERIFY(sink.listen(QHostAddress::LocalHost, 0));
    VSP_CONNECTION_PARAMS p = clientParams(sink.serverPort());
    QVERIFY(!p.id.isEmpty());
    p.pack_ms = packMs;
    VSPConnectionMsg panel(CONNECTION_CLIENT, p, p.id.toInt());
    QCOMPARE(field(panel.firstUnit(), "pack_ms"), packMs);
    QVERIFY(sink.waitForNewConnection(5000));
    std::unique_ptr<QTcpSocket> peer(sink.nextPendingConnection());
    QSerialPort user;
    QVERIFY2(openUser(user, p), qPrintable(user.errorString()));
    QSignalSpy packets(panel.firstUnit(), &ConnectionUnit::transmit);
    QVERIFY(packets.isValid());
    QByteArray got;

    if (packMs == QLatin1String("0")) {
        // 32-byte requests reach the sink as one packet each, in well under a
        // packing gap; the median of several keeps a busy machine from deciding.
        QSignalSpy arrived(peer.get(), &QIODevice::readyRead);
        QVector<qint64> micros;
        for (int i = 0; i < 5; ++i) {
            const QByteArray request = QByteArray(31, char('a' + i)) + '\n';
            QElapsedTimer t;
            t.start();
            user.write(request);
            while (!drain(*peer, got, 32 * (i + 1)) && t.elapsed() < 5000)
                arrived.wait(1000); // returns as soon as bytes come
            micros << t.nsecsElapsed() / 1000;
            QCOMPARE(got.size(), 32 * (i + 1));
            QCOMPARE(packets.count(), i + 1);
            QCOMPARE(packets.constLast().at(0).toByteArray(), request);
        }
        std::sort(micros.begin(), micros.end());
        QVERIFY2(micros.at(2) < 10000, qPrintable(QStringLiteral("median %1 us").arg(micros.at(2))));
    } else {
        // Two writes 10 ms apart (the wait is the point) leave as one packet.
        user.write("first half,");
        QVERIFY(user.waitForBytesWritten(1000));
        QTest::qWait(10);
        user.write("second half");
        QTRY_VERIFY_WITH_TIMEOUT(drain(*peer, got, 22), 5000);
        QCOMPARE(got, QByteArray("first half,second half"));
        QCOMPARE(packets.count(), 1);
    }
    panel.release();
}

void tst_BridgeOptions::throughSer2net()
{
    if (ser2nettest::ser2netProgram().isEmpty())
        QSKIP("ser2net is not installed");
    ser2nettest::Ser2Net server;
    QVERIFY2(server.isValid(), qPrintable(server.output()));
    VSP_CONNECTION_PARAMS p = clientParams(server.port());
    QVERIFY(!p.id.isEmpty());
    p.client_rfc2217 = QStringLiteral("true");
    p.client_rfc2217_parity = QStringLiteral("even");
    VSPConnectionMsg panel(CONNECTION_CLIENT, p, p.id.toInt());

    // The user's program sets the line; ser2net's port follows within a second.
    QSerialPort user;
    QVERIFY2(openUser(user, p), qPrintable(user.errorString()));
    int baud = 0, stop = 0;
    auto served = [&]() { return ser2nettest::terminalLine(server.servedPort(), &baud, &stop); };
    QVERIFY(user.setBaudRate(115200));
    QTRY_VERIFY_WITH_TIMEOUT(served() && baud == 115200 && stop == 1, 1000);
    QVERIFY(user.setBaudRate(19200));
    QVERIFY(user.setStopBits(QSerialPort::TwoStop));
    QTRY_VERIFY_WITH_TIMEOUT(served() && baud == 19200 && stop == 2, 1000);
    // Parity fixed on the form, data size left to the server (asked, not set).
    QTRY_COMPARE_WITH_TIMEOUT(field(panel.firstUnit(), "param"), QStringLiteral("19200,8,E,2"), 2000);
    QVERIFY(panel.firstUnit()->findChild<QLineEdit*>(QStringLiteral("param"))->isVisibleTo(panel.firstUnit()));

    // 1 MiB each way, a quarter of it 0xFF, arrives byte for byte.
    QSerialPort device;
    device.setPortName(server.devicePort());
    QVERIFY(device.open(QIODevice::ReadWrite));
    const QByteArray up = telnetHostile(1024 * 1024);
    QByteArray got;
    user.write(up);
    QTRY_VERIFY_WITH_TIMEOUT(drain(device, got, up.size()), 60000);
    QVERIFY(got == up);
    const QByteArray down = up.mid(7) + up.left(7);
    got.clear();
    device.write(down);
    QTRY_VERIFY_WITH_TIMEOUT(drain(user, got, down.size()), 60000);
    QVERIFY(got == down);
    // counters show payload, not the doubled IACs on the wire
    QCOMPARE(field(panel.secondUnit(), "sent_bytes"), QString::number(up.size()));
    QCOMPARE(field(panel.secondUnit(), "received_bytes"), QString::number(down.size()));
    panel.release();
}

void tst_BridgeOptions::optionOffIsPlainTcp()
{
    QTcpServer sink;
    QVERIFY(sink.listen(QHostAddress::LocalHost, 0));
    VSP_CONNECTION_PARAMS p = clientParams(sink.serverPort());
    QVERIFY(!p.id.isEmpty());
    VSPConnectionMsg panel(CONNECTION_CLIENT, p, p.id.toInt());
    QVERIFY(!qobject_cast<TcpClientUnit*>(panel.secondUnit())->lineSession());
    QVERIFY(!panel.firstUnit()->findChild<QLineEdit*>(QStringLiteral("param"))->isVisibleTo(panel.firstUnit()));
    QVERIFY(sink.waitForNewConnection(5000));
    std::unique_ptr<QTcpSocket> peer(sink.nextPendingConnection());
    QSerialPort user;
    QVERIFY2(openUser(user, p), qPrintable(user.errorString()));
    const QByteArray bytes = telnetHostile(4096);
    user.write(bytes);
    QByteArray got;
    QTRY_VERIFY_WITH_TIMEOUT(drain(*peer, got, bytes.size()), 5000);
    QVERIFY(got == bytes);
    peer->write(bytes);
    got.clear();
    QTRY_VERIFY_WITH_TIMEOUT(drain(user, got, bytes.size()), 5000);
    QVERIFY(got == bytes);
    panel.release();
}

void tst_BridgeOptions::serverWithoutOption_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<bool>("doubled");
    QTest::newRow("Telnet server refusing") << QByteArray::fromHex("fffe2c fffc00 fffe00")
                                            << QStringLiteral("RFC 2217 refused by the server, plain TCP") << true;
    QTest::newRow("raw server, no answer")
        << QByteArray() << QStringLiteral("no RFC 2217 answer from the server, plain TCP") << false;
}

void tst_BridgeOptions::serverWithoutOption()
{
    QFETCH(QByteArray, answer);
    QFETCH(QString, shown);
    QFETCH(bool, doubled);
    QTcpServer sink;
    QVERIFY(sink.listen(QHostAddress::LocalHost, 0));
    VSP_CONNECTION_PARAMS p = clientParams(sink.serverPort());
    QVERIFY(!p.id.isEmpty());
    p.client_rfc2217 = QStringLiteral("true");
    VSPConnectionMsg panel(CONNECTION_CLIENT, p, p.id.toInt());
    QVERIFY(sink.waitForNewConnection(5000));
    std::unique_ptr<QTcpSocket> peer(sink.nextPendingConnection());
    QByteArray got;
    QTRY_VERIFY_WITH_TIMEOUT(drain(*peer, got, 9), 5000); // WILL COM port, WILL and DO binary
    QCOMPARE(got, QByteArray::fromHex("fffb2c fffb00 fffd00"));
    got.clear();
    peer->write(answer);
    QTRY_COMPARE_WITH_TIMEOUT(field(panel.firstUnit(), "param"), shown, Rfc2217Session::answerTimeoutMs + 5000);

    // The connection carries on: bytes both ways, IAC doubled only towards Telnet.
    QSerialPort user;
    QVERIFY2(openUser(user, p), qPrintable(user.errorString()));
    user.write(QByteArray::fromHex("41ff42"));
    const QByteArray wire = QByteArray::fromHex(doubled ? "41ffff42" : "41ff42");
    QTRY_VERIFY_WITH_TIMEOUT(drain(*peer, got, wire.size()), 5000);
    QCOMPARE(got, wire);
    peer->write(wire);
    got.clear();
    QTRY_VERIFY_WITH_TIMEOUT(drain(user, got, 3), 5000);
    QCOMPARE(got, QByteArray::fromHex("41ff42"));
    panel.release();
}

void tst_BridgeOptions::formsAndRestart()
{
    testutil::TempAppDir app;
    const int n = guard->take();
    QVERIFY(n);
    const QString name = QStringLiteral("ttyS%1").arg(n);
    QTcpServer sink;
    QVERIFY(sink.listen(QHostAddress::LocalHost, 0));
    {
        plugVComData tool;
        auto* manager = qobject_cast<plugVComManager*>(tool.getManagerWidget());
        emit manager->newConnection(CONNECTION_CLIENT);
        auto* box = tool.findChild<QComboBox*>(QStringLiteral("client_com_list"));
        box->setCurrentIndex(box->findText(name));
        tool.findChild<QLineEdit*>(QStringLiteral("client_remote_port"))->setText(QString::number(sink.serverPort()));
        auto* pack = tool.findChild<QLineEdit*>(QStringLiteral("client_pack_ms"));
        QCOMPARE(pack->text(), QStringLiteral("50"));
        pack->setText(QStringLiteral("1001"));
        QVERIFY(!pack->hasAcceptableInput());
        pack->setText(QString()); // what the validator lets through is refused on "new"
        QString refusal;
        testutil::answerNextModal(QStringLiteral("OK"), [&](QWidget* w) { refusal = testutil::modalText(w); });
        tool.findChild<QPushButton*>(QStringLiteral("tcp_client_new"))->click();
        QVERIFY(refusal.contains(QStringLiteral("packing interval")));
        QVERIFY(!tool.panel(n));
        pack->setText(QStringLiteral("0"));
        auto* data = tool.findChild<QComboBox*>(QStringLiteral("client_rfc2217_data"));
        QVERIFY(!data->isEnabled());
        tool.findChild<QCheckBox*>(QStringLiteral("client_rfc2217"))->setChecked(true);
        QVERIFY(data->isEnabled());
        data->setCurrentIndex(data->findText(QStringLiteral("7")));
        tool.findChild<QComboBox*>(QStringLiteral("client_rfc2217_parity"))->setCurrentIndex(3); // even
        tool.findChild<QPushButton*>(QStringLiteral("tcp_client_new"))->click();
        guard->adoptPid(tool.pairs()->pairPid(name));
        QVERIFY(tool.panel(n));
        QCOMPARE(field(tool.panel(n)->firstUnit(), "pack_ms"), QStringLiteral("0"));
        const QSettings ini(tool.iniPath(n), QSettings::IniFormat);
        QCOMPARE(ini.value(QStringLiteral("connect/pack_ms")).toString(), QStringLiteral("0"));
        QCOMPARE(ini.value(QStringLiteral("client/rfc2217")).toString(), QStringLiteral("true"));
        QCOMPARE(ini.value(QStringLiteral("client/rfc2217_data")).toString(), QStringLiteral("7"));
        QCOMPARE(ini.value(QStringLiteral("client/rfc2217_parity")).toString(), QStringLiteral("even"));
    }
    // After a restart the loaded connection has both settings again.
    auto tool = std::make_unique<plugVComData>();
    QTRY_VERIFY_WITH_TIMEOUT(tool->panel(n), plugVComData::loadDelayMs + 10000);
    guard->adoptPid(tool->pairs()->pairPid(name));
    QCOMPARE(field(tool->panel(n)->firstUnit(), "pack_ms"), QStringLiteral("0"));
    auto* client = qobject_cast<TcpClientUnit*>(tool->panel(n)->secondUnit());
    QVERIFY(client && client->lineSession());
    QCOMPARE(client->lineSession()->telnet().wanted().dataSize, 7);
    QCOMPARE(client->lineSession()->telnet().wanted().parity, int(ComLineSettings::ParityEven));
}

QTEST_MAIN(tst_BridgeOptions)
#include "tst_bridgeoptions.moc"
