#include "udpSocket_.h"

#include <QNetworkDatagram>
#include <QSignalSpy>
#include <QUdpSocket>
#include <QtTest>

class tst_UdpSocket : public QObject
{
    Q_OBJECT
private slots:
    void pendingDatagramsInOrder();
    void dualStackReportsDottedIpv4();
    void writeToNamedAndDefaultDestination();
    void writeWithoutInitSendsNothing();
    void closedDeviceStaysSilent();
    void bindFailure();
    void readPause();
    void portsOutOfRange_data();
    void portsOutOfRange();
    void initReportsBusyPort();
};

void tst_UdpSocket::pendingDatagramsInOrder()
{
    udpSocket_ dev;
    UdpParams params{QHostAddress::LocalHost, 0};
    QVERIFY(dev.open(&params));
    QVERIFY(dev.isValid());
    const quint16 port = dev.udpSocket()->localPort();
    QSignalSpy data(&dev, &AbsIoDevice::receiveData);
    QSignalSpy addr(&dev, &udpSocket_::receiveAddr);
    QVERIFY(data.isValid() && addr.isValid());

    QUdpSocket peer;
    QVERIFY(peer.bind(QHostAddress::LocalHost, 0));
    // Sent back to back, before the device's event loop turns: one readyRead, three datagrams.
    QCOMPARE(peer.writeDatagram("first", QHostAddress::LocalHost, port), qint64(5));
    QCOMPARE(peer.writeDatagram(QByteArray(), QHostAddress::LocalHost, port), qint64(0));
    QCOMPARE(peer.writeDatagram(QByteArray("th\0rd", 5), QHostAddress::LocalHost, port), qint64(5));
    QTRY_COMPARE(data.count(), 3);
    QCOMPARE(data.at(0).at(0).toByteArray(), QByteArray("first"));
    QCOMPARE(data.at(1).at(0).toByteArray(), QByteArray());
    QCOMPARE(data.at(2).at(0).toByteArray(), QByteArray("th\0rd", 5));
    QCOMPARE(addr.count(), 3);
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(data.at(i).at(1).toString(), QStringLiteral("127.0.0.1"));
        QCOMPARE(data.at(i).at(2).toInt(), int(peer.localPort()));
        QCOMPARE(addr.at(i).at(0).toString(), QStringLiteral("127.0.0.1"));
        QCOMPARE(addr.at(i).at(1).toInt(), int(peer.localPort()));
    }
}

void tst_UdpSocket::dualStackReportsDottedIpv4()
{
    udpSocket_ dev;
    UdpParams params{QHostAddress::Any, 0};
    QVERIFY(dev.open(&params));
    QSignalSpy data(&dev, &AbsIoDevice::receiveData);
    QUdpSocket peer;
    QVERIFY(peer.bind(QHostAddress(QStringLiteral("127.0.0.1")), 0));
    peer.writeDatagram("v4", QHostAddress(QStringLiteral("127.0.0.1")), dev.udpSocket()->localPort());
    QTRY_COMPARE(data.count(), 1);
    QCOMPARE(data.at(0).at(1).toString(), QStringLiteral("127.0.0.1"));
}

void tst_UdpSocket::writeToNamedAndDefaultDestination()
{
    QUdpSocket peer;
    QVERIFY(peer.bind(QHostAddress::LocalHost, 0));
    udpSocket_ dev;
    dev.init(0, QStringLiteral("127.0.0.1"), peer.localPort());
    QVERIFY(!dev.isValid()); // init does not change the open flag
    dev.write("default");
    dev.write(QStringLiteral("127.0.0.1"), peer.localPort(), "named");
    QList<QByteArray> got;
    auto drain = [&]() {
        while (peer.hasPendingDatagrams())
            got.append(peer.receiveDatagram().data());
        return got.size();
    };
    QTRY_COMPARE(drain(), 2);
    QCOMPARE(got, (QList<QByteArray>{"default", "named"}));
}

void tst_UdpSocket::writeWithoutInitSendsNothing()
{
    QUdpSocket watcher;
    QVERIFY(watcher.bind(QHostAddress::LocalHost, 0));
    udpSocket_ dev;
    UdpParams params{QHostAddress::LocalHost, 0};
    QVERIFY(dev.open(&params));
    dev.write("nowhere");                                     // no default destination
    dev.write(QStringLiteral("not-an-address"), watcher.localPort(), "bad");
    dev.write(QStringLiteral("127.0.0.1"), watcher.localPort(), "marker");
    // The marker arrives; nothing sent before it reached the watcher.
    QTRY_VERIFY(watcher.hasPendingDatagrams());
    QCOMPARE(watcher.receiveDatagram().data(), QByteArray("marker"));
    QVERIFY(!watcher.hasPendingDatagrams());
}

void tst_UdpSocket::closedDeviceStaysSilent()
{
    udpSocket_ dev;
    UdpParams params{QHostAddress::LocalHost, 0};
    QVERIFY(dev.open(&params));
    const quint16 port = dev.udpSocket()->localPort();
    QSignalSpy data(&dev, &AbsIoDevice::receiveData);
    dev.close();
    QVERIFY(!dev.isValid());
    QUdpSocket peer;
    peer.writeDatagram("late", QHostAddress::LocalHost, port);
    // Waiting is the point: a closed device must not report the datagram.
    QTest::qWait(200);
    QCOMPARE(data.count(), 0);
}

void tst_UdpSocket::bindFailure()
{
    QUdpSocket taken;
    QVERIFY(taken.bind(QHostAddress::LocalHost, 0));
    udpSocket_ dev;
    UdpParams params{QHostAddress::LocalHost, int(taken.localPort())};
    QVERIFY(!dev.open(&params));
    QVERIFY(!dev.isValid());
    QVERIFY(!dev.errorText.isEmpty());
    QVERIFY(!dev.open(nullptr));
}

void tst_UdpSocket::readPause()
{
    udpSocket_ dev;
    UdpParams params{QHostAddress::LocalHost, 0};
    QVERIFY(dev.open(&params));
    const quint16 port = dev.udpSocket()->localPort();
    QSignalSpy data(&dev, &AbsIoDevice::receiveData);
    dev.setReadPaused(true);
    QUdpSocket peer;
    peer.writeDatagram("held", QHostAddress::LocalHost, port);
    // Waiting is the point: nothing is read while paused.
    QTest::qWait(200);
    QCOMPARE(data.count(), 0);
    dev.setReadPaused(false);
    QTRY_COMPARE(data.count(), 1);
    QCOMPARE(data.at(0).at(0).toByteArray(), QByteArray("held"));

    // Resuming a closed device must not bring its reading back.
    dev.close();
    dev.setReadPaused(false);
    peer.writeDatagram("late", QHostAddress::LocalHost, port);
    // Waiting is the point: the closed device must stay silent.
    QTest::qWait(200);
    QCOMPARE(data.count(), 1);
}

void tst_UdpSocket::portsOutOfRange_data()
{
    QTest::addColumn<QString>("call");
    QTest::addColumn<int>("port");
    QTest::newRow("open wraps to 4464") << "open" << 70000;
    QTest::newRow("open 65536") << "open" << 65536;
    QTest::newRow("open negative") << "open" << -1;
    QTest::newRow("init local wraps") << "init local" << 70000;
    QTest::newRow("init remote 0") << "init remote" << 0;
    QTest::newRow("init remote 65536") << "init remote" << 65536;
    QTest::newRow("send to 0") << "send" << 0;
    QTest::newRow("send wraps") << "send" << 65536 + 9;
}

void tst_UdpSocket::portsOutOfRange()
{
    QFETCH(QString, call);
    QFETCH(int, port);
    udpSocket_ dev;
    if (call == QLatin1String("open")) {
        UdpParams params{QHostAddress::LocalHost, port};
        QVERIFY(!dev.open(&params));
        QVERIFY(!dev.isValid());
    } else if (call == QLatin1String("init local")) {
        QVERIFY(!dev.init(port, QStringLiteral("127.0.0.1"), 9));
    } else if (call == QLatin1String("init remote")) {
        QVERIFY(!dev.init(0, QStringLiteral("127.0.0.1"), port));
    } else {
        UdpParams params{QHostAddress::LocalHost, 0};
        QVERIFY(dev.open(&params));
        QCOMPARE(dev.send(QStringLiteral("127.0.0.1"), port, "x"), qint64(-1));
        return;
    }
    QVERIFY2(dev.errorText.contains(QLatin1String("out of range")), qPrintable(dev.errorText));
    QCOMPARE(dev.udpSocket()->state(), QAbstractSocket::UnconnectedState); // nothing bound
}

void tst_UdpSocket::initReportsBusyPort()
{
    QUdpSocket taken;
    QVERIFY(taken.bind(QHostAddress::Any, 0));
    udpSocket_ dev;
    QVERIFY(!dev.init(taken.localPort(), QStringLiteral("127.0.0.1"), 9));
    QVERIFY(!dev.errorText.isEmpty());

    udpSocket_ ok;
    QVERIFY(ok.init(0, QStringLiteral("127.0.0.1"), 9));
    // a host name is not an address: nothing leaves and the caller hears so
    QCOMPARE(ok.send(QStringLiteral("localhost"), 9, "x"), qint64(-1));
    QCOMPARE(ok.send(QStringLiteral("127.0.0.1"), taken.localPort(), "xy"), qint64(2));
}

QTEST_GUILESS_MAIN(tst_UdpSocket)
#include "tst_udpsocket.moc"
