// File-sending worker against a real loopback TCP peer: block sizes, progress, repeat,
// pause/continue/stop, settings taken at the next block, bounded blocks in flight,
// teardown while sending, and the serial default block.

#include "FileSendWorker.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

// Peak resident set (VmHWM) of this process in KiB, or -1.
qint64 peakRssKiB()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> lines = f.readAll().split('\n');
    for (const QByteArray& l : lines) {
        if (l.startsWith("VmHWM:"))
            return l.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

// A connected loopback pair: `sender` is written by the test's chunk handler, the
// accepted socket reads into `received` (or only hashes, for big files).
struct Loopback
{
    QTcpServer server;
    QTcpSocket sender;
    QTcpSocket* reader = nullptr;
    QByteArray received;
    qint64 receivedCount = 0;
    bool keepBytes = true;
    QCryptographicHash hash{QCryptographicHash::Sha256};
    QTimer pace;         // when active, reads at most paceBytes per tick
    qint64 paceBytes = 0;

    bool connectPair()
    {
        if (!server.listen(QHostAddress::LocalHost, 0))
            return false;
        sender.connectToHost(QHostAddress::LocalHost, server.serverPort());
        if (!sender.waitForConnected(5000) || !server.waitForNewConnection(5000))
            return false;
        reader = server.nextPendingConnection();
        QObject::connect(reader, &QTcpSocket::readyRead, reader, [this] {
            if (!pace.isActive())
                drain(-1);
        });
        QObject::connect(&pace, &QTimer::timeout, reader, [this] { drain(paceBytes); });
        return true;
    }
    void drain(qint64 max)
    {
        const QByteArray b = max < 0 ? reader->readAll() : reader->read(max);
        receivedCount += b.size();
        hash.addData(b);
        if (keepBytes)
            received += b;
    }
};

} // namespace

class tst_FileSendWorker : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void serialDefaultBlock_data();
    void serialDefaultBlock();
    void blockSizeFor_data();
    void blockSizeFor();
    void blocksAndProgress();
    void bigFileIdenticalAndBounded();
    void repeatRestarts();
    void pauseHoldsBlocks();
    void stopWhilePaused();
    void settingsTakeEffectAtNextBlock();
    void sendCheckFailingIdles();
    void creditsBoundBlocksInFlight();
    void teardownWhileSending_data();
    void teardownWhileSending();
    void startFailsOnMissingFile();

private:
    QString makeFile(const QString& name, const QByteArray& content);
    // Wires worker → sender socket with the drain that returns the credits.
    void wire(FileSendWorker& w, FileSendDrain& drain, Loopback& lb, QList<int>* sizes = nullptr,
              qint64* maxBacklog = nullptr);

    QTemporaryDir dir;
};

void tst_FileSendWorker::initTestCase()
{
    QVERIFY(dir.isValid());
}

QString tst_FileSendWorker::makeFile(const QString& name, const QByteArray& content)
{
    const QString path = dir.filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(content) != content.size())
        return QString();
    return path;
}

void tst_FileSendWorker::wire(FileSendWorker& w, FileSendDrain& drain, Loopback& lb, QList<int>* sizes,
                              qint64* maxBacklog)
{
    drain.setWorker(&w);
    QTcpSocket* s = &lb.sender;
    drain.setBacklogFunction([s] { return s->bytesToWrite(); });
    drain.watch(s);
    connect(&w, &FileSendWorker::sendData_signal, &drain, [=, &drain](const QByteArray& chunk) {
        s->write(chunk);
        if (sizes)
            sizes->append(chunk.size());
        if (maxBacklog)
            *maxBacklog = std::max(*maxBacklog, s->bytesToWrite());
        drain.chunkWritten();
    });
}

void tst_FileSendWorker::serialDefaultBlock_data()
{
    QTest::addColumn<QString>("baud");
    QTest::addColumn<QString>("bits");
    QTest::addColumn<int>("block");
    QTest::newRow("9600 8") << "9600" << "8" << 872;
    QTest::newRow("115200 8") << "115200" << "8" << 10472;
    QTest::newRow("300 5") << "300" << "5" << 37;
    QTest::newRow("garbage baud") << "fast" << "8" << 0;
}

void tst_FileSendWorker::serialDefaultBlock()
{
    QFETCH(QString, baud);
    QFETCH(QString, bits);
    QFETCH(int, block);
    QCOMPARE(FileSendWorker::serialDefaultBlock(baud, bits), block);
}

void tst_FileSendWorker::blockSizeFor_data()
{
    QTest::addColumn<int>("protocol");
    QTest::addColumn<QString>("single");
    QTest::addColumn<qint64>("block");
    QTest::newRow("serial empty uses default") << 0 << "" << qint64(10472);
    QTest::newRow("serial given") << 0 << "100" << qint64(100);
    QTest::newRow("tcp empty sends nothing") << 2 << "" << qint64(0);
    QTest::newRow("tcp non-numeric") << 1 << "abc" << qint64(0);
    QTest::newRow("udp given") << 3 << "2048" << qint64(2048);
}

void tst_FileSendWorker::blockSizeFor()
{
    QFETCH(int, protocol);
    QFETCH(QString, single);
    QFETCH(qint64, block);
    QCOMPARE(FileSendWorker::blockSizeFor(protocol, single, "115200", "8"), block);
}

void tst_FileSendWorker::blocksAndProgress()
{
    QByteArray content(5000, Qt::Uninitialized);
    for (int i = 0; i < content.size(); ++i)
        content[i] = char(i * 31 + 7);
    const QString path = makeFile("5000.bin", content);
    QVERIFY(!path.isEmpty());

    Loopback lb;
    QVERIFY(lb.connectPair());
    FileSendWorker w;
    FileSendDrain drain;
    QList<int> sizes;
    wire(w, drain, lb, &sizes);
    QSignalSpy progress(&w, &FileSendWorker::progress_signal);
    QSignalSpy finished(&w, &FileSendWorker::finished_signal);
    QVERIFY(progress.isValid() && finished.isValid());

    w.setSettings({2048, 0, false, true});
    QVERIFY(w.start(path));
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(lb.received, content, 5000);
    QCOMPARE(sizes, (QList<int>{2048, 2048, 904}));
    QCOMPARE(progress.count(), 3);
    QCOMPARE(progress.at(0).at(0).toLongLong(), 2048);
    QCOMPARE(progress.at(1).at(0).toLongLong(), 4096);
    QCOMPARE(progress.at(2).at(0).toLongLong(), 5000);
    QCOMPARE(progress.at(2).at(1).toLongLong(), 5000);
    QVERIFY(!w.isRunning());
}

void tst_FileSendWorker::bigFileIdenticalAndBounded()
{
    const int size = 32 * 1024 * 1024;
    const QString path = dir.filePath("big.bin");
    QCryptographicHash want(QCryptographicHash::Sha256);
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        QByteArray piece(1024 * 1024, Qt::Uninitialized);
        for (int done = 0; done < size; done += piece.size()) {
            QRandomGenerator::global()->fillRange(reinterpret_cast<quint32*>(piece.data()), piece.size() / 4);
            QCOMPARE(f.write(piece), qint64(piece.size()));
            want.addData(piece);
        }
    }

    Loopback lb;
    QVERIFY(lb.connectPair());
    lb.keepBytes = false;
    // A reader slower than the file: at most 256 KiB per millisecond tick.
    lb.paceBytes = 256 * 1024;
    lb.pace.start(1);

    const qint64 block = 64 * 1024;
    FileSendWorker w;
    FileSendDrain drain;
    qint64 maxBacklog = 0;
    wire(w, drain, lb, nullptr, &maxBacklog);
    QSignalSpy finished(&w, &FileSendWorker::finished_signal);
    QVERIFY(finished.isValid());

    const qint64 rssBefore = peakRssKiB();
    w.setSettings({block, 0, false, true});
    QVERIFY(w.start(path));
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 60000);
    QTRY_COMPARE_WITH_TIMEOUT(lb.receivedCount, qint64(size), 60000);
    QCOMPARE(lb.hash.result(), want.result());

    // Queued blocks never exceed the flow limit, and the socket's own buffer holds at
    // most the low-water mark plus the blocks written above it.
    QVERIFY2(w.peakBytesInFlight() <= 4 * block, QByteArray::number(w.peakBytesInFlight()).constData());
    QVERIFY2(maxBacklog <= drain.lowWater + 4 * block, QByteArray::number(maxBacklog).constData());
    const qint64 rssAfter = peakRssKiB();
    if (rssBefore > 0 && rssAfter > 0)
        QVERIFY2(rssAfter - rssBefore < 16 * 1024, QByteArray::number(rssAfter - rssBefore).constData());
    QFile::remove(path);
}

void tst_FileSendWorker::repeatRestarts()
{
    const QByteArray content("0123456789abcdef");
    const QString path = makeFile("repeat.bin", content);
    Loopback lb;
    QVERIFY(lb.connectPair());
    FileSendWorker w;
    FileSendDrain drain;
    wire(w, drain, lb);
    QSignalSpy progress(&w, &FileSendWorker::progress_signal);
    QSignalSpy finished(&w, &FileSendWorker::finished_signal);

    w.setSettings({10, 2, true, true});
    QVERIFY(w.start(path));
    QTRY_VERIFY_WITH_TIMEOUT(lb.received.size() >= 3 * content.size(), 5000);
    QVERIFY(w.isRunning());
    QVERIFY(w.stop(5000));
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 5000);

    // Every pass starts at the beginning of the file and restarts the progress at 0.
    QVERIFY(lb.received.startsWith(content + content + content));
    QList<qint64> values;
    for (const auto& args : progress)
        values << args.at(0).toLongLong();
    QCOMPARE(values.mid(0, 4), (QList<qint64>{10, 16, 0, 10}));
}

void tst_FileSendWorker::pauseHoldsBlocks()
{
    QByteArray content(2000, 'p');
    const QString path = makeFile("pause.bin", content);
    Loopback lb;
    QVERIFY(lb.connectPair());
    FileSendWorker w;
    FileSendDrain drain;
    QList<int> sizes;
    wire(w, drain, lb, &sizes);
    QSignalSpy finished(&w, &FileSendWorker::finished_signal);

    w.setSettings({100, 20, false, true});
    QVERIFY(w.start(path));
    QTRY_VERIFY_WITH_TIMEOUT(sizes.size() >= 2, 5000);
    w.setPaused(true);
    QVERIFY(w.isPaused());
    // Once the worker holds, every block it read is already emitted: delivering the
    // queued ones gives the final count.
    QTRY_VERIFY_WITH_TIMEOUT(w.isHolding(), 5000);
    QCoreApplication::sendPostedEvents();
    const int held = sizes.size();
    QTest::qWait(300); // the point: 15 intervals in which nothing more may come
    QCOMPARE(sizes.size(), held);
    QVERIFY(held < 20);
    QVERIFY(w.isRunning());

    w.setPaused(false);
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(lb.received, content, 5000);
    QCOMPARE(sizes.size(), 20);
}

void tst_FileSendWorker::stopWhilePaused()
{
    const QString path = makeFile("stoppaused.bin", QByteArray(5000, 's'));
    Loopback lb;
    QVERIFY(lb.connectPair());
    FileSendWorker w;
    FileSendDrain drain;
    QList<int> sizes;
    wire(w, drain, lb, &sizes);
    QSignalSpy finished(&w, &FileSendWorker::finished_signal);

    w.setSettings({100, 20, false, true});
    QVERIFY(w.start(path));
    QTRY_VERIFY_WITH_TIMEOUT(!sizes.isEmpty(), 5000);
    w.setPaused(true);
    QVERIFY(w.stop(2000));
    QVERIFY(!w.isRunning());
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 5000);
    QVERIFY(sizes.size() < 50);
}

void tst_FileSendWorker::settingsTakeEffectAtNextBlock()
{
    const QString path = makeFile("settings.bin", QByteArray(3000, 'x'));
    Loopback lb;
    QVERIFY(lb.connectPair());
    FileSendWorker w;
    FileSendDrain drain;
    QList<int> sizes;
    wire(w, drain, lb, &sizes);
    QSignalSpy finished(&w, &FileSendWorker::finished_signal);

    w.setSettings({100, 30, false, true});
    QVERIFY(w.start(path));
    QTRY_VERIFY_WITH_TIMEOUT(!sizes.isEmpty(), 5000);
    w.setSettings({700, 0, false, true});
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(lb.received.size(), 3000, 5000);
    QCOMPARE(sizes.first(), 100);
    QVERIFY(sizes.contains(700));
    // Once changed, only the new size (and the remainder) follow.
    const int firstBig = sizes.indexOf(700);
    for (int i = firstBig; i < sizes.size() - 1; ++i)
        QCOMPARE(sizes.at(i), 700);
}

void tst_FileSendWorker::sendCheckFailingIdles()
{
    const QString path = makeFile("check.bin", QByteArray(500, 'c'));
    Loopback lb;
    QVERIFY(lb.connectPair());
    FileSendWorker w;
    FileSendDrain drain;
    QList<int> sizes;
    wire(w, drain, lb, &sizes);
    QSignalSpy progress(&w, &FileSendWorker::progress_signal);
    QSignalSpy finished(&w, &FileSendWorker::finished_signal);

    w.setSettings({100, 0, false, false});
    QVERIFY(w.start(path));
    // Nothing is read while the check fails: watching for a while is the point.
    QTRY_VERIFY_WITH_TIMEOUT(w.isHolding(), 5000);
    QTest::qWait(200);
    QVERIFY(sizes.isEmpty());
    QCOMPARE(progress.count(), 0);
    QVERIFY(w.isRunning());

    w.setSettings({100, 0, false, true});
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 5000);
    QCOMPARE(sizes.size(), 5);
}

void tst_FileSendWorker::creditsBoundBlocksInFlight()
{
    const QString path = makeFile("credits.bin", QByteArray(100 * 64, 'k'));
    FileSendWorker w;
    QList<QByteArray> got;
    connect(&w, &FileSendWorker::sendData_signal, this, [&](const QByteArray& c) { got.append(c); });
    QSignalSpy finished(&w, &FileSendWorker::finished_signal);
    w.setFlowLimit(4, 1024 * 1024);
    w.setSettings({64, 0, false, true});
    QVERIFY(w.start(path));
    QTRY_COMPARE_WITH_TIMEOUT(got.size(), 4, 5000);
    // Nobody returned a credit: the worker must wait, not read on.
    QTest::qWait(200);
    QCOMPARE(got.size(), 4);
    QCOMPARE(w.chunksInFlight(), 4);
    QCOMPARE(w.bytesInFlight(), qint64(4 * 64));

    w.releaseChunks(2);
    QTRY_COMPARE_WITH_TIMEOUT(got.size(), 6, 5000);
    QTest::qWait(100); // the point: no credit, no seventh block
    QCOMPARE(got.size(), 6);

    // A byte limit below one block still lets one block through at a time.
    w.setFlowLimit(100, 10);
    w.releaseChunks(4);
    QTRY_COMPARE_WITH_TIMEOUT(got.size(), 7, 5000);
    QTest::qWait(100); // the point: one block at a time under the byte limit
    QCOMPARE(got.size(), 7);
    QCOMPARE(w.chunksInFlight(), 1);

    QVERIFY(w.stop(2000));
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 5000);
}

void tst_FileSendWorker::teardownWhileSending_data()
{
    QTest::addColumn<int>("intervalMs");
    QTest::addColumn<bool>("releaseCredits");
    QTest::addColumn<bool>("paused");
    QTest::newRow("sleeping a long interval") << 60000 << true << false;
    QTest::newRow("waiting for credits") << 0 << false << false;
    QTest::newRow("paused") << 0 << true << true;
}

void tst_FileSendWorker::teardownWhileSending()
{
    QFETCH(int, intervalMs);
    QFETCH(bool, releaseCredits);
    QFETCH(bool, paused);
    const QString path = makeFile("teardown.bin", QByteArray(1024 * 1024, 't'));
    int chunks = 0;
    // Blocks still queued when the worker goes die with this receiver.
    auto receiver = std::make_unique<QObject>();
    auto w = std::make_unique<FileSendWorker>();
    connect(w.get(), &FileSendWorker::sendData_signal, receiver.get(), [&, wp = w.get()](const QByteArray&) {
        ++chunks;
        if (releaseCredits)
            wp->releaseChunks(1);
    });
    w->setSettings({100, intervalMs, true, true});
    QVERIFY(w->start(path));
    QTRY_VERIFY_WITH_TIMEOUT(chunks >= 1, 5000);
    if (paused)
        w->setPaused(true);
    QElapsedTimer t;
    t.start();
    w.reset(); // joins the thread
    QVERIFY2(t.elapsed() < 3000, QByteArray::number(t.elapsed()).constData());
    receiver.reset();
    QCoreApplication::processEvents();
}

void tst_FileSendWorker::startFailsOnMissingFile()
{
    FileSendWorker w;
    QSignalSpy finished(&w, &FileSendWorker::finished_signal);
    QVERIFY(!w.start(dir.filePath("does-not-exist.bin")));
    QVERIFY(!w.errorText.isEmpty());
    QVERIFY(!w.isRunning());

    // A running send refuses a second start.
    const QString path = makeFile("twice.bin", QByteArray(100, 'a'));
    w.setSettings({10, 1000, false, true});
    QVERIFY(w.start(path));
    QVERIFY(!w.start(path));
    QVERIFY(w.stop(2000));
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 5000);
}

QTEST_GUILESS_MAIN(tst_FileSendWorker)
#include "tst_filesendworker.moc"
