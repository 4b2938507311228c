#include "CDebugWorker.h"
#include "CCirQueue.h"
#include "simprocess.h"
#include "tcpClientSocket_.h"

#include <QSignalSpy>
#include <QProcess>
#include <QTcpSocket>
#include <QtTest>

namespace {
QByteArray element(int type, const QByteArray& value, int declared = -1)
{
    const int n = declared < 0 ? value.size() : declared;
    QByteArray e;
    e.append(char(type >> 8)).append(char(type)).append(char(n >> 8)).append(char(n));
    return e + value;
}

QByteArray frame(int code, const QByteArray& body)
{
    const int length = body.size() + 11;
    QByteArray f("\x7d\x7d\x7d", 3);
    f.append(char(length >> 8)).append(char(length)).append(char(code >> 8)).append(char(code));
    f += body;
    unsigned char sum = 0;
    for (char c : f)
        sum = static_cast<unsigned char>(sum + static_cast<unsigned char>(c));
    f.append(char(sum));
    f.append("\x7f\x7f\x7f", 3);
    return f;
}

QByteArray typedFrame(const QByteArray& type, int code = 0)
{
    return frame(code, element(0x1000, type) + element(0x1100, "S") + element(0x1101, "D")
                           + element(0x1200, QByteArray("\x01\x02", 2)) + element(0x1201, "msg"));
}

QString hexLine(const char* bytes, int n)
{
    return QStringLiteral("cmd ") + QString::fromLatin1(QByteArray(bytes, n).toHex(' '));
}
} // namespace

class tst_DebugWorker : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void commandFrames_data();
    void commandFrames();
    void fillCmdWithPayload();
    void kindOfCode_data();
    void kindOfCode();
    void decodeElements();
    void untrustedLength_data();
    void untrustedLength();
    void elementWalkStaysInFrame();
    void rejections_data();
    void rejections();
    void historyKeepsNewest100();
    void clearHistoryRestartsIndex();
    void recordFile();
    void commandsSeenBySimulator();
    void liveStream_data();
    void liveStream();
    void failedStartLeavesNothingRunning();
    void simulatorFrameSizeLimit_data();
    void simulatorFrameSizeLimit();
    void simulatorStopsOnDisconnect();
    void simulatorPacesByElapsedTime();
};

void tst_DebugWorker::initTestCase()
{
    QVERIFY(QFileInfo::exists(QStringLiteral(VXA_BIN_DIR "/vxa-dbgsim")));
}

void tst_DebugWorker::commandFrames_data()
{
    QTest::addColumn<int>("which");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("start") << 0 << QByteArray("\x7d\x7d\x7d\x00\x0b\x80\x00\x02\x7f\x7f\x7f", 11);
    QTest::newRow("stop") << 1 << QByteArray("\x7d\x7d\x7d\x00\x0b\x80\x01\x03\x7f\x7f\x7f", 11);
    QTest::newRow("heartbeat") << 2 << QByteArray("\x7d\x7d\x7d\x00\x0b\x81\x00\x03\x7f\x7f\x7f", 11);
}

void tst_DebugWorker::commandFrames()
{
    QFETCH(int, which);
    QFETCH(QByteArray, expected);
    CDebugWorker w;
    const unsigned short codes[] = {0x8000, 0x8001, 0x8100};
    QCOMPARE(w.fillCmd(codes[which], nullptr, 0), 11);
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(w.commandBuffer()), 11), expected);
    // Not connected: nothing can be sent.
    QCOMPARE(w.sendStartDebugCmd(), -1);
}

void tst_DebugWorker::fillCmdWithPayload()
{
    CDebugWorker w;
    unsigned char payload[] = {0x01, 0x02, 0x03};
    QCOMPARE(w.fillCmd(0x1234, payload, 3), 14);
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(w.commandBuffer()), 14),
             frame(0x1234, QByteArray("\x01\x02\x03", 3)));
    QCOMPARE(w.fillCmd(0x1234, payload, 600), 0); // does not fit the command buffer
}

void tst_DebugWorker::kindOfCode_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("kind");
    QTest::newRow("0") << 0 << 1;
    QTest::newRow("1") << 1 << 2;
    QTest::newRow("2") << 2 << 4;
    QTest::newRow("3") << 3 << 8;
    QTest::newRow("16") << 16 << 16;
    QTest::newRow("4 has no bit") << 4 << 0;
    QTest::newRow("0x8000 has no bit") << 0x8000 << 0;
}

void tst_DebugWorker::kindOfCode()
{
    QFETCH(int, code);
    QFETCH(int, kind);
    CDebugWorker w;
    w.receiveBlock(typedFrame("T", code));
    QCOMPARE(w.parsePending(), 1);
    QCOMPARE(w.history().size(), 1);
    QCOMPARE(w.history().first().kind, kind);
}

void tst_DebugWorker::decodeElements()
{
    CDebugWorker w;
    QSignalSpy frames(&w, &CDebugWorker::updateFrame);
    QVERIFY(frames.isValid());
    // Unknown elements are skipped; a later element of the same type wins.
    const QByteArray body = element(0x7777, "zz") + element(0x1000, "old") + element(0x1100, "src")
        + element(0x0000, QByteArray()) + element(0x1101, "dst") + element(0x1200, QByteArray("\x00\xff", 2))
        + element(0x1201, "hello") + element(0x1000, "new");
    w.receiveBlock(frame(2, body));
    w.parsePending();
    QTRY_COMPARE_WITH_TIMEOUT(frames.count(), 1, 5000);
    const QList<QVariant> a = frames.first();
    QCOMPARE(a.at(0).toInt(), 1);
    QCOMPARE(a.at(2).toString(), QStringLiteral("new"));
    QCOMPARE(a.at(3).toString(), QStringLiteral("src"));
    QCOMPARE(a.at(4).toString(), QStringLiteral("dst"));
    QCOMPARE(a.at(5).toByteArray(), QByteArray("\x00\xff", 2));
    QCOMPARE(a.at(6).toString(), QStringLiteral("hello"));
    QCOMPARE(w.history().first().kind, 4);
}

void tst_DebugWorker::untrustedLength_data()
{
    QTest::addColumn<QByteArray>("prefix");
    QTest::addColumn<int>("formatErrors");
    QTest::newRow("length 5") << QByteArray("\x7d\x7d\x7d\x00\x05", 5) << 5;
    QTest::newRow("length 0") << QByteArray("\x7d\x7d\x7d\x00\x00\x00\x00", 7) << 7;
    QTest::newRow("length 10") << QByteArray("\x7d\x7d\x7d\x00\x0a\x00\x00\x00\x00\x7f", 10) << 10;
    QTest::newRow("one garbage byte") << QByteArray(1, '\0') << 1;
}

// A length that cannot be a frame neither stalls the parser nor is trusted: the
// candidate is skipped byte by byte and the following frame still decodes.
void tst_DebugWorker::untrustedLength()
{
    QFETCH(QByteArray, prefix);
    QFETCH(int, formatErrors);
    CDebugWorker w;
    QSignalSpy fmt(&w, &CDebugWorker::updateFormatErrSize);
    QVERIFY(fmt.isValid());
    w.receiveBlock(prefix + typedFrame("T"));
    w.parsePending();
    QCOMPARE(w.formatErrSize(), formatErrors);
    QCOMPARE(w.history().size(), 1);
    QCOMPARE(w.history().first().type, QStringLiteral("T"));
    QCOMPARE(w.queue()->Used(), 0LL);
    QTRY_VERIFY_WITH_TIMEOUT(!fmt.isEmpty() && fmt.last().at(0).toInt() == formatErrors, 5000);
}

void tst_DebugWorker::elementWalkStaysInFrame()
{
    CDebugWorker w;
    // The source element claims 200 bytes but only 3 remain in the body.
    const QByteArray body = element(0x1000, "A") + element(0x1100, "abc", 200) + element(0x1101, "never");
    w.receiveBlock(frame(0, body) + typedFrame("B"));
    w.parsePending();
    const QList<Command> h = w.history();
    QCOMPARE(h.size(), 2);
    QCOMPARE(h.at(0).type, QStringLiteral("A"));
    QCOMPARE(h.at(0).source, QString());
    QCOMPARE(h.at(0).destination, QString());
    QCOMPARE(h.at(1).type, QStringLiteral("B"));
    // A header cut short by the body's end also stops the walk.
    w.receiveBlock(frame(0, element(0x1000, "C") + QByteArray("\x12", 1)));
    w.parsePending();
    QCOMPARE(w.history().last().type, QStringLiteral("C"));
}

void tst_DebugWorker::rejections_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("error");
    QByteArray badSum = typedFrame("T");
    badSum[badSum.size() - 4] = char(badSum.at(badSum.size() - 4) + 1);
    QByteArray longer = typedFrame("T");
    longer[4] = char(longer.at(4) + 5);
    QByteArray tiny = typedFrame("T");
    tiny[3] = 0;
    tiny[4] = 3;
    QTest::newRow("empty") << QByteArray() << QStringLiteral("Received data is empty!");
    QTest::newRow("bad head") << QByteArray("\x7c\x7d\x7d\x00\x0b\x00\x00\x00\x7f\x7f\x7f", 11) << QStringLiteral("Head or tail is wrong!");
    QTest::newRow("bad tail") << QByteArray("\x7d\x7d\x7d\x00\x0b\x00\x00\x00\x7f\x7f\x7e", 11) << QStringLiteral("Head or tail is wrong!");
    QTest::newRow("too short for head and tail") << QByteArray("\x7d\x7d\x7d\x7f\x7f", 5) << QStringLiteral("Head or tail is wrong!");
    QTest::newRow("checksum") << badSum << QStringLiteral("Checksum is not equal!");
    QTest::newRow("length beyond data") << longer << QStringLiteral("Length is wrong!");
    QTest::newRow("length below 11") << tiny << QStringLiteral("Length is wrong!");
}

void tst_DebugWorker::rejections()
{
    QFETCH(QByteArray, data);
    QFETCH(QString, error);
    CDebugWorker w;
    QSignalSpy frames(&w, &CDebugWorker::updateFrame);
    QSignalSpy errs(&w, &CDebugWorker::updateErrSize);
    QVERIFY(frames.isValid() && errs.isValid());
    w.parseMsgIntoCommand(data);
    QCOMPARE(w.lastError(), error);
    QCOMPARE(w.errSize(), data.size());
    QTRY_COMPARE_WITH_TIMEOUT(errs.count(), 1, 5000);
    QCOMPARE(errs.first().at(0).toInt(), data.size());
    QCOMPARE(errs.first().at(1).toString(), error);
    QCOMPARE(frames.count(), 0);
    QCOMPARE(w.nextIndex(), 1);
}

void tst_DebugWorker::historyKeepsNewest100()
{
    CDebugWorker w;
    QSignalSpy frames(&w, &CDebugWorker::updateFrame);
    QVERIFY(frames.isValid());
    QByteArray stream;
    for (int k = 1; k <= 101; ++k)
        stream += typedFrame(QByteArray::number(k));
    w.receiveBlock(stream);
    QCOMPARE(w.parsePending(), 101);
    const QList<Command> h = w.history();
    QCOMPARE(h.size(), 100);
    QCOMPARE(h.first().index, 2);
    QCOMPARE(h.first().type, QStringLiteral("2"));
    QCOMPARE(h.last().index, 101);
    QCOMPARE(w.nextIndex(), 102);
    // The display hand-over keeps the newest 100 as well.
    QTRY_COMPARE_WITH_TIMEOUT(frames.count(), 100, 5000);
    QCOMPARE(frames.last().at(0).toInt(), 101);
    QCOMPARE(frames.first().at(0).toInt(), 2);
    QCOMPARE(w.shedFrames(), 1LL);
    QCOMPARE(w.contentSize(), stream.size());
}

void tst_DebugWorker::clearHistoryRestartsIndex()
{
    CDebugWorker w;
    w.receiveBlock(QByteArray(3, '\0') + typedFrame("A") + typedFrame("B"));
    w.parsePending();
    QCOMPARE(w.nextIndex(), 3);
    QCOMPARE(w.formatErrSize(), 3);
    w.clearHistory();
    QCOMPARE(w.history().size(), 0);
    QCOMPARE(w.contentSize(), 0);
    QCOMPARE(w.formatErrSize(), 0);
    QCOMPARE(w.errSize(), 0);
    w.receiveBlock(typedFrame("C"));
    w.parsePending();
    QCOMPARE(w.history().size(), 1);
    QCOMPARE(w.history().first().index, 1);
}

void tst_DebugWorker::recordFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("rs1.txt"));
    CDebugWorker w;
    w.setRecordFile(path);
    w.receiveBlock(typedFrame("A") + typedFrame("B"));
    w.parsePending();
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray text = f.readAll();
    QVERIFY(text.endsWith("\r\n\r\n"));
    QCOMPARE(text.count("Type::"), 2);
    QVERIFY(text.startsWith("Type::A  Source::S  Destination::D  Data::01 02   Date::"));
    QVERIFY(text.contains("  Description::msg\r\n\r\nType::B"));
    w.setRecordFile(QString());
    w.receiveBlock(typedFrame("C"));
    w.parsePending();
    f.close();
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll().count("Type::"), 2);
}

void tst_DebugWorker::commandsSeenBySimulator()
{
    SimProcess sim({QStringLiteral("--rate"), QStringLiteral("50")});
    QVERIFY(sim.isValid());
    CDebugWorker w;
    QSignalSpy conn(&w, &CDebugWorker::connected);
    QVERIFY(conn.isValid());
    w.connectToHost(QStringLiteral("127.0.0.1"), sim.port());
    QTRY_VERIFY_WITH_TIMEOUT(w.isValid(), 5000);
    QCOMPARE(conn.count(), 1);
    QVERIFY(w.start());
    QVERIFY(w.isRunning());
    QVERIFY(!w.start()); // already running
    QCOMPARE(sim.waitForLine(QStringLiteral("cmd "), 5000), hexLine("\x7d\x7d\x7d\x00\x0b\x80\x00\x02\x7f\x7f\x7f", 11));
    QCOMPARE(sim.waitForLine(QStringLiteral("cmd "), 5000), hexLine("\x7d\x7d\x7d\x00\x0b\x81\x00\x03\x7f\x7f\x7f", 11));
    QTRY_VERIFY_WITH_TIMEOUT(w.history().size() >= 3, 5000);
    w.stop();
    QVERIFY(!w.isRunning());
    QCOMPARE(sim.waitForLine(QStringLiteral("cmd 7d 7d 7d 00 0b 80 01"), 5000), hexLine("\x7d\x7d\x7d\x00\x0b\x80\x01\x03\x7f\x7f\x7f", 11));
    QCOMPARE(w.formatErrSize(), 0);
    QCOMPARE(w.errSize(), 0);
}

void tst_DebugWorker::liveStream_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("frames");
    QTest::addColumn<int>("formatErrors");
    QTest::addColumn<int>("errors");
    QTest::addColumn<QString>("lastError");
    const QStringList one{QStringLiteral("--count"), QStringLiteral("1"), QStringLiteral("--frame-size"), QStringLiteral("60")};
    QTest::newRow("garbage byte") << (one + QStringList{"--fault", "garbage"}) << 1 << 1 << 0 << QString();
    QTest::newRow("split frame") << (one + QStringList{"--fault", "split"}) << 1 << 0 << 0 << QString();
    QTest::newRow("bad checksum") << (one + QStringList{"--fault", "checksum"}) << 0 << 0 << 60 << QStringLiteral("Checksum is not equal!");
    QTest::newRow("bad tail") << (one + QStringList{"--fault", "tail"}) << 0 << 60 << 0 << QString();
    QTest::newRow("undersized length") << (one + QStringList{"--fault", "short-length"}) << 1 << 5 << 0 << QString();
    QTest::newRow("zero length") << (one + QStringList{"--fault", "zero-length"}) << 1 << 7 << 0 << QString();
    QTest::newRow("unknown elements") << (one + QStringList{"--unknown"}) << 1 << 0 << 0 << QString();
    QTest::newRow("150 frames") << QStringList{"--count", "150", "--rate", "0"} << 100 << 0 << 0 << QString();
}

void tst_DebugWorker::liveStream()
{
    QFETCH(QStringList, args);
    QFETCH(int, frames);
    QFETCH(int, formatErrors);
    QFETCH(int, errors);
    QFETCH(QString, lastError);
    SimProcess sim(args);
    QVERIFY(sim.isValid());
    CDebugWorker w;
    QSignalSpy shown(&w, &CDebugWorker::updateFrame);
    QVERIFY(shown.isValid());
    w.connectToHost(QStringLiteral("127.0.0.1"), sim.port());
    QTRY_VERIFY_WITH_TIMEOUT(w.isValid(), 5000);
    QVERIFY(w.start());
    QVERIFY(!sim.waitForLine(QStringLiteral("sent"), 5000).isEmpty());
    if (frames > 0) {
        QTRY_COMPARE_WITH_TIMEOUT(w.history().size(), frames, 5000);
        QTRY_COMPARE_WITH_TIMEOUT(w.history().last().index, frames == 100 ? 150 : 1, 5000);
        const Command c = w.history().last();
        QVERIFY(c.type.startsWith(QLatin1String("TYPE_")));
        QCOMPARE(c.source, QStringLiteral("SRC1"));
        QCOMPARE(c.destination, QStringLiteral("DST1"));
        QCOMPARE(c.message, QStringLiteral("message"));
        QCOMPARE(c.kind, 1);
    }
    QTRY_COMPARE_WITH_TIMEOUT(w.formatErrSize(), formatErrors, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(w.errSize(), errors, 5000);
    if (errors)
        QCOMPARE(w.lastError(), lastError);
    QCOMPARE(w.history().size(), frames);
    if (frames == 1)
        QTRY_COMPARE_WITH_TIMEOUT(shown.count(), 1, 5000);
    w.stop();
    QCOMPARE(w.history().size(), frames);
}

void tst_DebugWorker::failedStartLeavesNothingRunning()
{
    CDebugWorker w;
    QVERIFY(!w.isValid());
    QVERIFY(!w.start());
    QVERIFY(!w.isRunning());
    QVERIFY(!w.start());
    QVERIFY(!w.isRunning());
    // Once the device is reachable, Start works without any stop in between.
    SimProcess sim({QStringLiteral("--rate"), QStringLiteral("20")});
    QVERIFY(sim.isValid());
    w.connectToHost(QStringLiteral("127.0.0.1"), sim.port());
    QTRY_VERIFY_WITH_TIMEOUT(w.isValid(), 5000);
    QVERIFY(w.start());
    QCOMPARE(sim.waitForLine(QStringLiteral("cmd "), 5000), hexLine("\x7d\x7d\x7d\x00\x0b\x80\x00\x02\x7f\x7f\x7f", 11));
    QTRY_VERIFY_WITH_TIMEOUT(!w.history().isEmpty(), 5000);
    w.stop();
}

void tst_DebugWorker::simulatorFrameSizeLimit_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<bool>("accepted");
    // Default elements: TYPE_A, SRC1, DST1, "message": 52 bytes around the content.
    QTest::newRow("largest content that fits") << QStringList{"--content-size", "65483"} << true;
    QTest::newRow("one byte more") << QStringList{"--content-size", "65484"} << false;
    QTest::newRow("content beyond 16 bits") << QStringList{"--content-size", "70000"} << false;
    QTest::newRow("long message") << QStringList{"--messages", QString(65500, QLatin1Char('m'))} << false;
    QTest::newRow("frame size beyond 16 bits") << QStringList{"--frame-size", "65536"} << false;
    QTest::newRow("content size not a number") << QStringList{"--content-size", "lots"} << false;
    QTest::newRow("negative content size") << QStringList{"--content-size", "-1"} << false;
}

void tst_DebugWorker::simulatorFrameSizeLimit()
{
    // A frame longer than its 16-bit length field must be refused, not sent with a wrapped length.
    QFETCH(QStringList, args);
    QFETCH(bool, accepted);
    QProcess p;
    p.start(QStringLiteral(VXA_BIN_DIR "/vxa-dbgsim"), args << QStringLiteral("--port") << QStringLiteral("0"));
    QVERIFY(p.waitForStarted(5000));
    if (accepted) {
        QByteArray out;
        QTRY_VERIFY_WITH_TIMEOUT((out += p.readAllStandardOutput()).startsWith("listening "), 10000);
        p.kill();
        QVERIFY(p.waitForFinished(5000));
        return;
    }
    QVERIFY(p.waitForFinished(10000));
    QCOMPARE(p.exitCode(), 2);
    QVERIFY(p.readAllStandardOutput().startsWith("error: "));
}

void tst_DebugWorker::simulatorStopsOnDisconnect()
{
    // Streaming as fast as possible with split frames: when the client goes, the simulator
    // stops writing at once and serves the next client.
    SimProcess sim({QStringLiteral("--rate"), QStringLiteral("0"), QStringLiteral("--fault"), QStringLiteral("split")});
    QVERIFY(sim.isValid());
    const QByteArray start("\x7d\x7d\x7d\x00\x0b\x80\x00\x02\x7f\x7f\x7f", 11);
    {
        QTcpSocket first;
        first.connectToHost(QHostAddress::LocalHost, quint16(sim.port()));
        QVERIFY(first.waitForConnected(5000));
        first.write(start);
        QTRY_VERIFY_WITH_TIMEOUT(first.bytesAvailable() > 0, 10000);
        first.abort();
    }
    QVERIFY(!sim.waitForLine(QStringLiteral("sent "), 10000).isEmpty());
    QTcpSocket second;
    second.connectToHost(QHostAddress::LocalHost, quint16(sim.port()));
    QVERIFY(second.waitForConnected(5000));
    second.write(start);
    QTRY_VERIFY_WITH_TIMEOUT(second.bytesAvailable() > 0, 10000);
    QVERIFY(sim.lines().filter(QStringLiteral("write failed")).size() <= 1);
}

void tst_DebugWorker::simulatorPacesByElapsedTime()
{
    // 300 frames at 150 frames/s take 2 s. Counting timer ticks instead (one frame per
    // 10 ms tick) gave 100 frames/s and 3 s. A loaded machine delays ticks, but pacing
    // by the clock catches up, hence the wide upper margin.
    SimProcess sim({QStringLiteral("--rate"), QStringLiteral("150"), QStringLiteral("--count"), QStringLiteral("300"),
                    QStringLiteral("--frame-size"), QStringLiteral("60")});
    QVERIFY(sim.isValid());
    QTcpSocket s;
    s.connectToHost(QHostAddress::LocalHost, quint16(sim.port()));
    QVERIFY(s.waitForConnected(5000));
    qint64 received = 0;
    connect(&s, &QTcpSocket::readyRead, &s, [&]() { received += s.readAll().size(); });
    QElapsedTimer t;
    t.start();
    s.write(QByteArray("\x7d\x7d\x7d\x00\x0b\x80\x00\x02\x7f\x7f\x7f", 11));
    QTRY_COMPARE_WITH_TIMEOUT(received, qint64(300 * 60), 15000);
    const qint64 ms = t.elapsed();
    QVERIFY2(ms >= 1900 && ms < 2700, qPrintable(QString::number(ms)));
}

QTEST_GUILESS_MAIN(tst_DebugWorker)
#include "tst_debugworker.moc"
