#include "serialPortDevice_.h"
#include "testutil.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QtTest>

#include <atomic>
#include <fcntl.h>
#include <thread>
#include <unistd.h>

namespace {

// Raw writer on the far end of a pseudo-terminal pair, so the test controls the
// timing of the bytes exactly (no event loop in between).
class PtyWriter
{
public:
    explicit PtyWriter(const QString& path) { fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY); }
    ~PtyWriter()
    {
        if (fd >= 0)
            ::close(fd);
    }
    bool isOpen() const { return fd >= 0; }
    bool write(const QByteArray& data)
    {
        qint64 done = 0;
        while (done < data.size()) {
            const ssize_t n = ::write(fd, data.constData() + done, size_t(data.size() - done));
            if (n <= 0)
                return false;
            done += n;
        }
        return true;
    }
    // Bytes available on this end (what the device under test wrote), read without blocking.
    QByteArray readAvailable()
    {
        QByteArray out;
        const int flags = ::fcntl(fd, F_GETFL);
        ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
        char buf[4096];
        ssize_t n;
        while ((n = ::read(fd, buf, sizeof buf)) > 0)
            out.append(buf, int(n));
        ::fcntl(fd, F_SETFL, flags);
        return out;
    }
    int handle() const { return fd; }

private:
    int fd = -1;
};

QByteArray joined(const QSignalSpy& spy)
{
    QByteArray all;
    for (const auto& args : spy)
        all += args.at(0).toByteArray();
    return all;
}

} // namespace

class tst_SerialPortDevice : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void filterNames_data();
    void filterNames();
    void realPortList();
    void mergeBursts_data();
    void mergeBursts();
    void continuousStreamIsBounded();
    void closeThenWriteSendsNothing();
    void closeDeliversPendingBytes();
    void writeReachesPeer();
    void openMissingPort();
    void openNullParams();
};

void tst_SerialPortDevice::initTestCase()
{
    if (!testutil::haveSocat())
        QSKIP("socat is not installed; ./test.sh installs it");
}

void tst_SerialPortDevice::filterNames_data()
{
    QTest::addColumn<QString>("lsOutput");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("plain character order") << "ttyS0\nttyS1\nttyS10\nttyS2\n"
                                           << QStringList{"ttyS0", "ttyS1", "ttyS10", "ttyS2"};
    QTest::newRow("above 255 left out") << "ttyS300\nttyS255\nttyS256\n" << QStringList{"ttyS255"};
    QTest::newRow("no digits counts as 0") << "ttySabc\nttyS3\n" << QStringList{"ttyS3", "ttySabc"};
    QTest::newRow("duplicates once") << "ttyS4\nttyS4\n" << QStringList{"ttyS4"};
    QTest::newRow("no final line feed drops last line") << "ttyS1\nttyS2" << QStringList{"ttyS1"};
    QTest::newRow("empty") << "" << QStringList{};
}

void tst_SerialPortDevice::filterNames()
{
    QFETCH(QString, lsOutput);
    QFETCH(QStringList, expected);
    QCOMPARE(filterSerialPortNames(lsOutput), expected);
}

void tst_SerialPortDevice::realPortList()
{
    const QStringList list = getSerialPortList();
    QStringList sorted = list;
    std::sort(sorted.begin(), sorted.end());
    QCOMPARE(list, sorted);
    for (const QString& name : list) {
        QVERIFY2(name.contains(QLatin1String("ttyS")), qPrintable(name));
        QVERIFY2(name.mid(4).toInt() <= 255, qPrintable(name));
        QCOMPARE(list.count(name), 1);
    }
}

void tst_SerialPortDevice::mergeBursts_data()
{
    QTest::addColumn<int>("mergeInterval");
    QTest::addColumn<int>("gapMs");
    QTest::addColumn<int>("expectedPackets");
    // gapMs -1: the next burst follows once the previous packet was delivered and at
    // least 30 ms have passed, so the split never depends on the machine's speed.
    QTest::newRow("10 ms apart join") << 500 << 10 << 1;
    QTest::newRow("apart by more than the gap split") << 50 << -1 << 3;
    QTest::newRow("interval 0 delivers each burst") << 0 << -1 << 3;
}

void tst_SerialPortDevice::mergeBursts()
{
    QFETCH(int, mergeInterval);
    QFETCH(int, gapMs);
    QFETCH(int, expectedPackets);

    testutil::SocatPair pair;
    QVERIFY(pair.isValid());
    serialPortDevice_ dev;
    dev.mergeInterval = mergeInterval;
    SerialPortParams params;
    params.portName = pair.portA();
    params.baudRate = 115200;
    QVERIFY2(dev.open(&params), qPrintable(dev.errorText));
    QVERIFY(dev.isValid());
    QSignalSpy spy(&dev, &AbsIoDevice::receiveData);
    QVERIFY(spy.isValid());

    PtyWriter writer(pair.portB());
    QVERIFY(writer.isOpen());
    QElapsedTimer sinceLast;
    QElapsedTimer sinceFirst;
    sinceFirst.start();
    for (int i = 0; i < 3; ++i) {
        if (i && gapMs >= 0) {
            QTest::qWait(gapMs); // paces the input; the long merge interval leaves a wide margin
        } else if (i) {
            QTRY_COMPARE_WITH_TIMEOUT(spy.count(), i, 5000);
            QVERIFY2(sinceLast.elapsed() >= mergeInterval - 5, "delivered before the quiet gap");
            QTest::qWait(30); // paces the input, as a device pausing between messages
        }
        QVERIFY(writer.write(QByteArray("burst") + QByteArray::number(i)));
        sinceLast.start();
    }
    if (expectedPackets == 1 && sinceFirst.elapsed() >= mergeInterval)
        QSKIP("the machine was too slow to write the bursts within the merge interval");
    QTRY_VERIFY_WITH_TIMEOUT(joined(spy) == "burst0burst1burst2", 5000);
    if (expectedPackets == 1)
        QVERIFY2(sinceLast.elapsed() >= mergeInterval - 5, "delivered before the quiet gap");
    // Waiting is the point: a wrongly split packet gets the chance to show up before counting.
    QTest::qWait(mergeInterval + 100);
    QCOMPARE(spy.count(), expectedPackets);
    for (const auto& args : spy) {
        QCOMPARE(args.at(1).toString(), QString());
        QCOMPARE(args.at(2).toInt(), 0);
    }
}

void tst_SerialPortDevice::continuousStreamIsBounded()
{
    testutil::SocatPair pair;
    QVERIFY(pair.isValid());
    serialPortDevice_ dev;
    SerialPortParams params;
    params.portName = pair.portA();
    QVERIFY2(dev.open(&params), qPrintable(dev.errorText));

    QElapsedTimer clock;
    QList<qint64> arrival;
    QByteArray received;
    int largest = 0;
    connect(&dev, &AbsIoDevice::receiveData, this, [&](const QByteArray& data) {
        arrival.append(clock.elapsed());
        received += data;
        largest = std::max(largest, data.size());
    });

    // A writer that never pauses for the merge interval, for 2 s.
    PtyWriter writer(pair.portB());
    QVERIFY(writer.isOpen());
    std::atomic<qint64> written{0};
    std::atomic<bool> writeFailed{false};
    clock.start();
    std::thread producer([&]() {
        QElapsedTimer t;
        t.start();
        QByteArray chunk(2048, Qt::Uninitialized);
        qint64 n = 0;
        while (t.elapsed() < 2000) {
            for (char& c : chunk)
                c = char(n++ % 251);
            if (!writer.write(chunk)) {
                writeFailed = true;
                return;
            }
            written += chunk.size();
            ::usleep(2000);
        }
    });
    // the device is served by this thread's event loop while the producer writes
    QTRY_VERIFY_WITH_TIMEOUT(written.load() > 0 && (writeFailed || clock.elapsed() >= 2000), 30000);
    producer.join();
    QVERIFY(!writeFailed);
    QTRY_COMPARE_WITH_TIMEOUT(qint64(received.size()), written.load(), 10000);

    QVERIFY(!arrival.isEmpty());
    // The first packet leaves once its first byte is maxPacketAge() old, not at the end
    // of the stream (allow some scheduling slack on a loaded machine).
    QVERIFY2(arrival.first() < dev.maxPacketAge() + 700, qPrintable(QString::number(arrival.first())));
    QVERIFY(arrival.size() > 2);
    QVERIFY(largest <= serialPortDevice_::maxPacketSize);
    for (int i = 0; i < received.size(); ++i) {
        if (received.at(i) != char(i % 251))
            QFAIL(qPrintable(QStringLiteral("byte %1 out of order").arg(i)));
    }
}

void tst_SerialPortDevice::closeThenWriteSendsNothing()
{
    testutil::SocatPair pair;
    QVERIFY(pair.isValid());
    PtyWriter peer(pair.portB());
    QVERIFY(peer.isOpen());
    serialPortDevice_ dev;
    QVERIFY2(dev.initSerialPort(pair.portA()), qPrintable(dev.errorText));
    dev.close();
    QVERIFY(!dev.isValid());
    dev.write("must not arrive");
    // Waiting is the point: the peer must stay silent.
    QTest::qWait(200);
    QCOMPARE(peer.readAvailable(), QByteArray());
}

void tst_SerialPortDevice::closeDeliversPendingBytes()
{
    testutil::SocatPair pair;
    QVERIFY(pair.isValid());
    serialPortDevice_ dev;
    dev.mergeInterval = 10000; // the quiet gap does not end while we look
    QVERIFY2(dev.initSerialPort(pair.portA()), qPrintable(dev.errorText));
    QSignalSpy arrived(dev.serialPort(), &QIODevice::readyRead);
    QSignalSpy spy(&dev, &AbsIoDevice::receiveData);
    QVERIFY(arrived.isValid() && spy.isValid());
    PtyWriter writer(pair.portB());
    QVERIFY(writer.isOpen());
    QVERIFY(writer.write("tail"));
    QTRY_VERIFY_WITH_TIMEOUT(!arrived.isEmpty(), 5000);
    QCOMPARE(spy.count(), 0);
    dev.close();
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toByteArray(), QByteArray("tail"));
    QVERIFY(!dev.isValid());
}

void tst_SerialPortDevice::writeReachesPeer()
{
    testutil::SocatPair pair;
    QVERIFY(pair.isValid());
    PtyWriter peer(pair.portB());
    QVERIFY(peer.isOpen());
    serialPortDevice_ dev;
    QVERIFY2(dev.initSerialPort(pair.portA()), qPrintable(dev.errorText));
    const QByteArray data("hello\0world", 11);
    dev.write(data);
    QByteArray got;
    QTRY_VERIFY_WITH_TIMEOUT((got += peer.readAvailable()) == data, 5000);
}

void tst_SerialPortDevice::openMissingPort()
{
    QTemporaryDir dir;
    serialPortDevice_ dev;
    SerialPortParams params;
    params.portName = dir.filePath(QStringLiteral("no-such-tty"));
    QVERIFY(!dev.open(&params));
    QVERIFY(!dev.isValid());
    QCOMPARE(dev.lastErrorCode, int(QSerialPort::DeviceNotFoundError));
    QVERIFY(!dev.errorText.isEmpty());
}

void tst_SerialPortDevice::openNullParams()
{
    serialPortDevice_ dev;
    QVERIFY(!dev.open(nullptr));
    QVERIFY(!dev.isValid());
}

QTEST_GUILESS_MAIN(tst_SerialPortDevice)
#include "tst_serialportdevice.moc"
