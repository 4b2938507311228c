// The panel's file functions end to end: sending a file to a loopback TCP peer through
// the panel's controls, pause/continue/stop, repeat, the serial default block on a
// pseudo-terminal, teardown while sending, receive-to-file with rollover, and the
// Save Data / Load File buttons.

#include "assisttestutil.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace assisttest;

namespace {

// A TCP peer on loopback that the panel connects to as a client.
struct Peer
{
    QTcpServer server;
    QTcpSocket* sock = nullptr;
    QByteArray received;
    bool listen() { return server.listen(QHostAddress::LocalHost, 0); }
    QString address() const { return QStringLiteral("127.0.0.1:%1").arg(server.serverPort()); }
    bool accept()
    {
        // The panel's event loop may have taken the connection in already.
        if (!QTest::qWaitFor([this] { return server.hasPendingConnections(); }, 5000))
            return false;
        sock = server.nextPendingConnection();
        QObject::connect(sock, &QTcpSocket::readyRead, sock, [this] { received += sock->readAll(); });
        return true;
    }
};

// Reaches the panel's file-sending worker, to wait until it holds.
class ProbePanel : public UartNetAssist
{
public:
    const FileSendWorker& worker() const { return fileSendThread; }
};

const FileSendWorker& workerOf(UartNetAssist* p)
{
    return static_cast<ProbePanel*>(p)->worker();
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

} // namespace

class tst_FileSendPanel : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void blocksProgressAndStopLine_data();
    void blocksProgressAndStopLine();
    void largeFileByteIdentical();
    void pauseContinueStop();
    void periodicSendingRepeats();
    void serialDefaultBlock();
    void controlsReachWorkerAtNextBlock();
    void lostClientPausesUntilNextClient();
    void sendFileFailedToOpen();
    void cancelledChoiceLeavesModeOff();
    void leavingModeStopsSending();
    void deletePanelWhileSending_data();
    void deletePanelWhileSending();
    void receiveToFileRollsOver();
    void receiveToFileKinds_data();
    void receiveToFileKinds();
    void receiveLimitDoesNotWrap();
    void unwritableRolloverEndsMode();
    void failedWriteEndsMode_data();
    void failedWriteEndsMode();
    void saveDataAndLoadFile();

private:
    QString makeFile(const QString& name, const QByteArray& content);
    // Connects the panel as a TCP client to peer and turns on send-from-file with path.
    bool connectAndChoose(Peer& peer, const QString& path);
    // TCP server panel with one connected test client; returns the client.
    QTcpSocket* serverWithClient();

    std::unique_ptr<testutil::TempAppDir> appDir;
    std::unique_ptr<QTemporaryDir> files;
    std::unique_ptr<UartNetAssist> panel;
    std::unique_ptr<QTcpSocket> client;
};

void tst_FileSendPanel::init()
{
    appDir = std::make_unique<testutil::TempAppDir>();
    files = std::make_unique<QTemporaryDir>();
    QVERIFY(files->isValid());
    panel = std::make_unique<ProbePanel>();
    panel->show();
}

void tst_FileSendPanel::cleanup()
{
    client.reset();
    panel.reset();
    files.reset();
    appDir.reset();
}

QString tst_FileSendPanel::makeFile(const QString& name, const QByteArray& content)
{
    const QString path = files->filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(content) != content.size())
        return QString();
    return path;
}

bool tst_FileSendPanel::connectAndChoose(Peer& peer, const QString& path)
{
    if (!peer.listen())
        return false;
    openClient(panel.get(), peer.address());
    if (!peer.accept() || !isOpen(panel.get()))
        return false;
    panel->chooseOpenFile = [path](const QString&, const QString&, const QString&) { return path; };
    child<QCheckBox>(panel.get(), "file_data_src")->click();
    return child<QCheckBox>(panel.get(), "file_data_src")->isChecked();
}

QTcpSocket* tst_FileSendPanel::serverWithClient()
{
    const int port = freeTcpPort();
    openLocal(panel.get(), 1, port);
    if (!isOpen(panel.get()))
        return nullptr;
    client = std::make_unique<QTcpSocket>();
    client->connectToHost(QHostAddress::LocalHost, static_cast<quint16>(port));
    if (!client->waitForConnected(5000))
        return nullptr;
    return client.get();
}

void tst_FileSendPanel::blocksProgressAndStopLine_data()
{
    QTest::addColumn<bool>("addition");
    QTest::newRow("plain") << false;
    QTest::newRow("with auto addition") << true;
}

void tst_FileSendPanel::blocksProgressAndStopLine()
{
    QFETCH(bool, addition);
    QByteArray content(5000, Qt::Uninitialized);
    for (int i = 0; i < content.size(); ++i)
        content[i] = char('a' + i % 26);
    const QString path = makeFile("5000.txt", content);
    Peer peer;
    QVERIFY(connectAndChoose(peer, path));

    auto* sendBox = child<QPlainTextEdit>(panel.get(), "send_text");
    QVERIFY(sendBox->toPlainText().contains(path));
    QVERIFY(!sendBox->isEnabled());
    QVERIFY(child<QWidget>(panel.get(), "file_send_widget")->isVisible());
    QVERIFY(child<QPushButton>(panel.get(), "btn_send")->isHidden());

    child<QCheckBox>(panel.get(), "auto_addition")->setChecked(addition);
    child<QLineEdit>(panel.get(), "single_bytes")->setText("2048");
    child<QLineEdit>(panel.get(), "send_time_interval")->setText("0");
    QSignalSpy chunks(panel.get(), &UartNetAssist::sendData_signal);
    QSignalSpy progress(panel.get(), &UartNetAssist::updateSendFileProgress);
    QVERIFY(chunks.isValid() && progress.isValid());

    auto* start = child<QPushButton>(panel.get(), "btn_start");
    start->click();
    QVERIFY(!start->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(sendBox->toPlainText().contains("stop send"), 5000);
    QVERIFY(sendBox->toPlainText().contains("start send"));
    QVERIFY(start->isEnabled());
    QVERIFY(!child<QPushButton>(panel.get(), "btn_pause")->isEnabled());
    QVERIFY(!child<QPushButton>(panel.get(), "btn_stop")->isEnabled());

    QList<int> sizes;
    for (const auto& args : chunks)
        sizes << args.at(0).toByteArray().size();
    QCOMPARE(sizes, (QList<int>{2048, 2048, 904}));
    QList<int> values;
    for (const auto& args : progress)
        values << args.at(0).toInt();
    QCOMPARE(values, (QList<int>{2048, 4096, 5000, 0}));
    QCOMPARE(child<QProgressBar>(panel.get(), "progressBar")->value(), 0);

    const QByteArray crlf = addition ? QByteArray("\r\n") : QByteArray();
    const QByteArray expected = content.left(2048) + crlf + content.mid(2048, 2048) + crlf + content.mid(4096) + crlf;
    QTRY_COMPARE_WITH_TIMEOUT(peer.received, expected, 5000);
    QCOMPARE(sendLabel(panel.get()), QStringLiteral("Send:%1").arg(expected.size()));
}

void tst_FileSendPanel::largeFileByteIdentical()
{
    // 4 MiB of varied bytes in 64 KiB blocks: the panel must return every block's
    // credit, or the worker stalls after a few blocks.
    QByteArray content(4 * 1024 * 1024, Qt::Uninitialized);
    quint32 x = 12345;
    for (int i = 0; i < content.size(); ++i) {
        x = x * 1103515245u + 12345u;
        content[i] = char(x >> 24);
    }
    const QString path = makeFile("big.bin", content);
    Peer peer;
    QVERIFY(connectAndChoose(peer, path));
    child<QLineEdit>(panel.get(), "single_bytes")->setText("65536");
    child<QLineEdit>(panel.get(), "send_time_interval")->setText("0");
    child<QPushButton>(panel.get(), "btn_start")->click();
    QTRY_COMPARE_WITH_TIMEOUT(peer.received.size(), content.size(), 30000);
    QCOMPARE(QCryptographicHash::hash(peer.received, QCryptographicHash::Sha256),
             QCryptographicHash::hash(content, QCryptographicHash::Sha256));
    QTRY_VERIFY_WITH_TIMEOUT(child<QPushButton>(panel.get(), "btn_start")->isEnabled(), 5000);
}

void tst_FileSendPanel::pauseContinueStop()
{
    const QString path = makeFile("slow.bin", QByteArray(100000, 'z'));
    Peer peer;
    QVERIFY(connectAndChoose(peer, path));
    child<QLineEdit>(panel.get(), "single_bytes")->setText("100");
    child<QLineEdit>(panel.get(), "send_time_interval")->setText("20");
    QSignalSpy chunks(panel.get(), &UartNetAssist::sendData_signal);
    auto* pause = child<QPushButton>(panel.get(), "btn_pause");
    auto* sendBox = child<QPlainTextEdit>(panel.get(), "send_text");
    child<QPushButton>(panel.get(), "btn_start")->click();
    QTRY_VERIFY_WITH_TIMEOUT(chunks.count() >= 2, 5000);

    pause->click();
    QCOMPARE(pause->text(), QStringLiteral("continue"));
    QVERIFY(sendBox->toPlainText().trimmed().endsWith(" pause"));
    // Once the worker holds, every block it read is already emitted: delivering the
    // queued ones gives the final count; after that, watching is the point.
    QTRY_VERIFY_WITH_TIMEOUT(workerOf(panel.get()).isHolding(), 5000);
    QCoreApplication::sendPostedEvents();
    const int held = chunks.count();
    QTest::qWait(300); // 15 intervals in which nothing may come
    QCOMPARE(chunks.count(), held);

    pause->click();
    QCOMPARE(pause->text(), QStringLiteral("pause"));
    QVERIFY(sendBox->toPlainText().trimmed().endsWith(" continue"));
    QTRY_VERIFY_WITH_TIMEOUT(chunks.count() > held, 5000);

    // Stop while paused ends the worker and resets the controls.
    pause->click();
    QElapsedTimer t;
    t.start();
    child<QPushButton>(panel.get(), "btn_stop")->click();
    QVERIFY2(t.elapsed() < 900, "Stop waits for the worker, not for a fixed second");
    QTRY_VERIFY_WITH_TIMEOUT(child<QPushButton>(panel.get(), "btn_start")->isEnabled(), 5000);
    QCOMPARE(pause->text(), QStringLiteral("pause"));
    QVERIFY(!pause->isEnabled());
    QVERIFY(sendBox->toPlainText().contains("stop send"));
    QVERIFY(chunks.count() < 1000);
}

void tst_FileSendPanel::periodicSendingRepeats()
{
    const QByteArray content("0123456789");
    const QString path = makeFile("loop.bin", content);
    Peer peer;
    QVERIFY(connectAndChoose(peer, path));
    child<QCheckBox>(panel.get(), "circular_send")->setChecked(true);
    child<QLineEdit>(panel.get(), "single_bytes")->setText("4");
    child<QLineEdit>(panel.get(), "send_time_interval")->setText("5");
    QSignalSpy progress(panel.get(), &UartNetAssist::updateSendFileProgress);
    child<QPushButton>(panel.get(), "btn_start")->click();
    QTRY_VERIFY_WITH_TIMEOUT(peer.received.size() >= 3 * content.size(), 5000);
    QVERIFY(peer.received.startsWith(content + content + content));
    QList<int> values;
    for (const auto& args : progress)
        values << args.at(0).toInt();
    QCOMPARE(values.mid(0, 5), (QList<int>{4, 8, 10, 0, 4}));

    child<QPushButton>(panel.get(), "btn_stop")->click();
    QTRY_VERIFY_WITH_TIMEOUT(child<QPushButton>(panel.get(), "btn_start")->isEnabled(), 5000);
}

void tst_FileSendPanel::serialDefaultBlock()
{
    if (!testutil::haveSocat())
        QSKIP("socat is not installed: no pseudo-terminal pair for the serial case");
    testutil::SocatPair pair;
    QVERIFY(pair.isValid());
    child<QComboBox>(panel.get(), "baud_rate")->setCurrentText("115200");
    child<QComboBox>(panel.get(), "data_bit")->setCurrentText("8");
    openSerial(panel.get(), pair.portA());
    QVERIFY(isOpen(panel.get()));
    const QString path = makeFile("serial.bin", QByteArray(20000, 's'));
    panel->chooseOpenFile = [path](const QString&, const QString&, const QString&) { return path; };
    child<QCheckBox>(panel.get(), "file_data_src")->click();
    child<QLineEdit>(panel.get(), "single_bytes")->clear();
    child<QLineEdit>(panel.get(), "send_time_interval")->setText("0");
    QSignalSpy chunks(panel.get(), &UartNetAssist::sendData_signal);
    child<QPushButton>(panel.get(), "btn_start")->click();
    QTRY_COMPARE_WITH_TIMEOUT(chunks.count(), 2, 5000);
    QCOMPARE(chunks.at(0).at(0).toByteArray().size(), 10472);
    QCOMPARE(chunks.at(1).at(0).toByteArray().size(), 20000 - 10472);
    QTRY_VERIFY_WITH_TIMEOUT(child<QPushButton>(panel.get(), "btn_start")->isEnabled(), 5000);
    child<QPushButton>(panel.get(), "open_com")->click();
}

void tst_FileSendPanel::controlsReachWorkerAtNextBlock()
{
    const QString path = makeFile("controls.bin", QByteArray(5000, 'c'));
    Peer peer;
    QVERIFY(connectAndChoose(peer, path));
    child<QLineEdit>(panel.get(), "single_bytes")->setText("100");
    child<QLineEdit>(panel.get(), "send_time_interval")->setText("30");
    QSignalSpy chunks(panel.get(), &UartNetAssist::sendData_signal);
    child<QPushButton>(panel.get(), "btn_start")->click();
    QTRY_VERIFY_WITH_TIMEOUT(chunks.count() >= 1, 5000);
    child<QLineEdit>(panel.get(), "single_bytes")->setText("700");
    child<QLineEdit>(panel.get(), "send_time_interval")->setText("0");
    QTRY_VERIFY_WITH_TIMEOUT(child<QPushButton>(panel.get(), "btn_start")->isEnabled(), 5000);
    QList<int> sizes;
    for (const auto& args : chunks)
        sizes << args.at(0).toByteArray().size();
    QCOMPARE(sizes.first(), 100);
    const int firstBig = sizes.indexOf(700);
    QVERIFY(firstBig > 0);
    for (int i = 0; i < firstBig; ++i)
        QCOMPARE(sizes.at(i), 100);
    for (int i = firstBig; i < sizes.size() - 1; ++i)
        QCOMPARE(sizes.at(i), 700);
    QTRY_COMPARE_WITH_TIMEOUT(peer.received.size(), 5000, 5000);
}

void tst_FileSendPanel::lostClientPausesUntilNextClient()
{
    QTcpSocket* c = serverWithClient();
    QVERIFY(c);
    QComboBox* clients = child<QComboBox>(panel.get(), "client_addrs");
    QTRY_COMPARE(clients->count(), 1);
    const QString path = makeFile("server.bin", QByteArray(3000, 'v'));
    panel->chooseOpenFile = [path](const QString&, const QString&, const QString&) { return path; };
    child<QCheckBox>(panel.get(), "file_data_src")->click();
    child<QLineEdit>(panel.get(), "single_bytes")->setText("100");
    child<QLineEdit>(panel.get(), "send_time_interval")->setText("20");
    QSignalSpy chunks(panel.get(), &UartNetAssist::sendData_signal);
    child<QPushButton>(panel.get(), "btn_start")->click();
    QTRY_VERIFY_WITH_TIMEOUT(chunks.count() >= 2, 5000);

    // The only client leaves: the send check fails and the worker reads nothing more.
    client.reset();
    QTRY_COMPARE_WITH_TIMEOUT(clients->count(), 0, 5000);
    // The worker holds once its send check has failed; the blocks read before are delivered.
    QTRY_VERIFY_WITH_TIMEOUT(workerOf(panel.get()).isHolding(), 5000);
    QCoreApplication::sendPostedEvents();
    const int held = chunks.count();
    QTest::qWait(300); // the point: 15 intervals in which nothing may come
    QCOMPARE(chunks.count(), held);
    QVERIFY(!child<QPushButton>(panel.get(), "btn_start")->isEnabled());

    // A new client lets it go on; it gets the rest of the file.
    QTcpSocket next;
    QByteArray got;
    connect(&next, &QTcpSocket::readyRead, &next, [&] { got += next.readAll(); });
    next.connectToHost(QHostAddress::LocalHost, static_cast<quint16>(child<QLineEdit>(panel.get(), "addr_port_edit")->text().toInt()));
    QVERIFY(next.waitForConnected(5000));
    QTRY_VERIFY_WITH_TIMEOUT(child<QPushButton>(panel.get(), "btn_start")->isEnabled(), 5000);
    QCOMPARE(chunks.count(), 30);
    QVERIFY(got.size() > 0);
}

void tst_FileSendPanel::sendFileFailedToOpen()
{
    Peer peer;
    const QString missing = files->filePath("gone.bin");
    auto box = catchNextBox();
    QVERIFY(connectAndChoose(peer, missing));
    QTRY_VERIFY(box->seen);
    QCOMPARE(box->text, QStringLiteral("Open send file failed!"));
    QTRY_VERIFY(!QApplication::activeModalWidget());

    // Start says so again and leaves the controls usable instead of stuck.
    auto again = catchNextBox();
    auto* start = child<QPushButton>(panel.get(), "btn_start");
    start->click();
    QTRY_VERIFY(again->seen);
    QCOMPARE(again->text, QStringLiteral("Open send file failed!"));
    QTRY_VERIFY(!QApplication::activeModalWidget());
    QVERIFY(start->isEnabled());
    QVERIFY(!child<QPushButton>(panel.get(), "btn_pause")->isEnabled());
    QVERIFY(!child<QPushButton>(panel.get(), "btn_stop")->isEnabled());

    // Leaving the mode restores the send box and the send button.
    child<QCheckBox>(panel.get(), "file_data_src")->click();
    QVERIFY(child<QPlainTextEdit>(panel.get(), "send_text")->isEnabled());
    QVERIFY(child<QPlainTextEdit>(panel.get(), "send_text")->toPlainText().isEmpty());
    QVERIFY(!child<QPushButton>(panel.get(), "btn_send")->isHidden());
    QVERIFY(child<QWidget>(panel.get(), "file_send_widget")->isHidden());
}

void tst_FileSendPanel::leavingModeStopsSending()
{
    const QString path = makeFile("leave.bin", QByteArray(100000, 'l'));
    Peer peer;
    QVERIFY(connectAndChoose(peer, path));
    child<QLineEdit>(panel.get(), "single_bytes")->setText("100");
    child<QLineEdit>(panel.get(), "send_time_interval")->setText("10");
    QSignalSpy chunks(panel.get(), &UartNetAssist::sendData_signal);
    child<QPushButton>(panel.get(), "btn_start")->click();
    QTRY_VERIFY_WITH_TIMEOUT(chunks.count() >= 2, 5000);
    child<QCheckBox>(panel.get(), "file_data_src")->click();
    QVERIFY(child<QPushButton>(panel.get(), "btn_start")->isEnabled());
    QVERIFY(!child<QPushButton>(panel.get(), "btn_stop")->isEnabled());
    // The worker is joined; its own end, still queued, must not write into the cleared box.
    QVERIFY(!workerOf(panel.get()).isRunning());
    QCoreApplication::sendPostedEvents();
    QCOMPARE(child<QPlainTextEdit>(panel.get(), "send_text")->toPlainText(), QString());
    const int sent = chunks.count();
    QTest::qWait(100); // the point: nothing is sent after the mode is left
    QCOMPARE(chunks.count(), sent);
}

void tst_FileSendPanel::cancelledChoiceLeavesModeOff()
{
    panel->chooseOpenFile = [](const QString&, const QString&, const QString&) { return QString(); };
    panel->chooseSaveFile = [](const QString&, const QString&, const QString&) { return QString(); };
    auto* src = child<QCheckBox>(panel.get(), "file_data_src");
    src->click();
    QVERIFY(!src->isChecked());
    QVERIFY(child<QWidget>(panel.get(), "file_send_widget")->isHidden());
    auto* recv = child<QCheckBox>(panel.get(), "receive_to_file");
    recv->click();
    QVERIFY(!recv->isChecked());
    QVERIFY(child<QPlainTextEdit>(panel.get(), "recv_text")->isEnabled());
}

void tst_FileSendPanel::deletePanelWhileSending_data()
{
    QTest::addColumn<QString>("interval");
    QTest::addColumn<bool>("paused");
    QTest::newRow("sleeping a long interval") << "60000" << false;
    QTest::newRow("flooding a peer that does not read") << "0" << false;
    QTest::newRow("paused") << "0" << true;
}

void tst_FileSendPanel::deletePanelWhileSending()
{
    QFETCH(QString, interval);
    QFETCH(bool, paused);
    const QString path = makeFile("teardown.bin", QByteArray(16 * 1024 * 1024, 't'));
    Peer peer;
    QVERIFY(connectAndChoose(peer, path));
    // The peer reads nothing: its socket stays full.
    QObject::disconnect(peer.sock, &QTcpSocket::readyRead, nullptr, nullptr);
    peer.sock->setReadBufferSize(1);
    child<QLineEdit>(panel.get(), "single_bytes")->setText("65536");
    child<QLineEdit>(panel.get(), "send_time_interval")->setText(interval);
    QSignalSpy chunks(panel.get(), &UartNetAssist::sendData_signal);
    child<QPushButton>(panel.get(), "btn_start")->click();
    QTRY_VERIFY_WITH_TIMEOUT(chunks.count() >= 1, 5000);
    if (paused)
        child<QPushButton>(panel.get(), "btn_pause")->click();
    QTest::qWait(100); // not waiting for anything: teardown in the middle of sending is the point
    QElapsedTimer t;
    t.start();
    panel.reset();
    QVERIFY2(t.elapsed() < 3000, QByteArray::number(t.elapsed()).constData());
    QCoreApplication::processEvents();
}

void tst_FileSendPanel::receiveToFileRollsOver()
{
    QTcpSocket* c = serverWithClient();
    QVERIFY(c);
    QTRY_VERIFY(child<QComboBox>(panel.get(), "client_addrs")->count() > 0);
    const QString path = files->filePath("cap.dat");
    panel->chooseSaveFile = [path](const QString& title, const QString&, const QString&) {
        return title == "receive data save to file" ? path : QString();
    };
    child<QLineEdit>(panel.get(), "single_file_size")->setText("1");
    child<QCheckBox>(panel.get(), "receive_to_file")->click();
    QVERIFY(child<QCheckBox>(panel.get(), "receive_to_file")->isChecked());
    QVERIFY(!child<QPlainTextEdit>(panel.get(), "recv_text")->isEnabled());
    QVERIFY(!child<QLineEdit>(panel.get(), "single_file_size")->isEnabled());
    QTRY_VERIFY(recvText(panel.get()).contains("Receive data save to  file:\n" + path));

    QByteArray data(1200000, Qt::Uninitialized);
    for (int i = 0; i < data.size(); ++i)
        data[i] = char(i % 251);
    c->write(data.left(600000));
    c->write(data.mid(600000));
    QTRY_COMPARE_WITH_TIMEOUT(recvLabel(panel.get()), QStringLiteral("Recv:1200000"), 10000);
    const QByteArray first = readFile(path);
    const QByteArray second = readFile(files->filePath("cap_1.dat"));
    QCOMPARE(first.size(), 1048576);
    QCOMPARE(second.size(), 151424);
    QCOMPARE(first + second, data);
    // Nothing received is shown.
    QVERIFY(!recvText(panel.get()).contains("Receive from"));

    child<QCheckBox>(panel.get(), "receive_to_file")->click();
    QVERIFY(child<QPlainTextEdit>(panel.get(), "recv_text")->isEnabled());
    QVERIFY(child<QLineEdit>(panel.get(), "single_file_size")->isEnabled());
    QTRY_VERIFY(recvText(panel.get()).isEmpty());
    c->write("shown");
    QTRY_VERIFY(recvText(panel.get()).contains("shown"));
    QCOMPARE(readFile(files->filePath("cap_1.dat")).size(), 151424);
}

void tst_FileSendPanel::receiveToFileKinds_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("hex");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("dat gets raw bytes") << "capture.dat" << false << QByteArray("AB\0C", 4);
    QTest::newRow("txt gets the text") << "capture.txt" << false << QByteArray("AB\n");
    QTest::newRow("txt gets hex when shown") << "capture.txt" << true << QByteArray("41 42 00 43 \n");
    QTest::newRow("no suffix gets raw bytes") << "capture" << false << QByteArray("AB\0C", 4);
}

void tst_FileSendPanel::receiveToFileKinds()
{
    QFETCH(QString, name);
    QFETCH(bool, hex);
    QFETCH(QByteArray, expected);
    QTcpSocket* c = serverWithClient();
    QVERIFY(c);
    QTRY_VERIFY(child<QComboBox>(panel.get(), "client_addrs")->count() > 0);
    if (hex)
        child<QCheckBox>(panel.get(), "show_in_hex")->click();
    const QString path = files->filePath(name);
    panel->chooseSaveFile = [path](const QString&, const QString&, const QString&) { return path; };
    child<QCheckBox>(panel.get(), "receive_to_file")->click();
    c->write(QByteArray("AB\0C", 4));
    QTRY_COMPARE_WITH_TIMEOUT(recvLabel(panel.get()), QStringLiteral("Recv:4"), 5000);
    QCOMPARE(readFile(path), expected);
}

void tst_FileSendPanel::receiveLimitDoesNotWrap()
{
    QTcpSocket* c = serverWithClient();
    QVERIFY(c);
    QTRY_VERIFY(child<QComboBox>(panel.get(), "client_addrs")->count() > 0);
    const QString path = files->filePath("big.dat");
    panel->chooseSaveFile = [path](const QString&, const QString&, const QString&) { return path; };
    // 4096 MiB: in 32-bit arithmetic this would be a limit of 0 and roll over at once.
    child<QLineEdit>(panel.get(), "single_file_size")->setText("4096");
    child<QCheckBox>(panel.get(), "receive_to_file")->click();
    c->write("0123456789");
    QTRY_COMPARE_WITH_TIMEOUT(recvLabel(panel.get()), QStringLiteral("Recv:10"), 5000);
    QCOMPARE(readFile(path), QByteArray("0123456789"));
    QVERIFY(!QFile::exists(files->filePath("big_1.dat")));
}

void tst_FileSendPanel::unwritableRolloverEndsMode()
{
    QTcpSocket* c = serverWithClient();
    QVERIFY(c);
    QTRY_VERIFY(child<QComboBox>(panel.get(), "client_addrs")->count() > 0);
    const QString path = files->filePath("roll.dat");
    // A directory where the first rollover file should go: even root cannot open it.
    QVERIFY(QDir(files->path()).mkdir("roll_1.dat"));
    panel->chooseSaveFile = [path](const QString&, const QString&, const QString&) { return path; };
    child<QLineEdit>(panel.get(), "single_file_size")->setText("0");
    child<QCheckBox>(panel.get(), "receive_to_file")->click();
    auto box = catchNextBox();
    c->write("data");
    QTRY_VERIFY_WITH_TIMEOUT(box->seen, 5000);
    QCOMPARE(box->text, QStringLiteral("Open receive file failed!"));
    QCOMPARE(box->title, QStringLiteral("tips"));
    QTRY_VERIFY(!QApplication::activeModalWidget());
    QVERIFY(!child<QCheckBox>(panel.get(), "receive_to_file")->isChecked());
    QVERIFY(child<QPlainTextEdit>(panel.get(), "recv_text")->isEnabled());
    QVERIFY(child<QLineEdit>(panel.get(), "single_file_size")->isEnabled());
    // Later data are shown again.
    c->write("next");
    QTRY_VERIFY(recvText(panel.get()).contains("next"));
}

void tst_FileSendPanel::failedWriteEndsMode_data()
{
    QTest::addColumn<bool>("tmpfs");
    QTest::newRow("device that is always full") << false;
    QTest::newRow("tiny file system filling up") << true;
}

void tst_FileSendPanel::failedWriteEndsMode()
{
    QFETCH(bool, tmpfs);
    QString path = QStringLiteral("/dev/full");
    // A 16 KiB tmpfs mounted for this case only, unmounted even when the case fails.
    struct Mount
    {
        QString dir;
        ~Mount()
        {
            if (!dir.isEmpty())
                QProcess::execute(QStringLiteral("umount"), {QStringLiteral("-l"), dir});
        }
    } mount;
    if (tmpfs) {
        if (!testutil::isRoot())
            QSKIP("mounting a small file system needs root");
        const QString dir = files->filePath("small");
        QVERIFY(QDir().mkpath(dir));
        if (QProcess::execute(QStringLiteral("mount"),
                              {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                               QStringLiteral("size=16k"), QStringLiteral("vxa-test"), dir}) != 0)
            QSKIP("tmpfs cannot be mounted here");
        mount.dir = dir;
        path = dir + QStringLiteral("/cap.dat");
    }
    QTcpSocket* c = serverWithClient();
    QVERIFY(c);
    QTRY_VERIFY(child<QComboBox>(panel.get(), "client_addrs")->count() > 0);
    panel->chooseSaveFile = [path](const QString&, const QString&, const QString&) { return path; };
    child<QCheckBox>(panel.get(), "receive_to_file")->click();
    QVERIFY(child<QCheckBox>(panel.get(), "receive_to_file")->isChecked());

    auto box = std::make_shared<BoxRecord>();
    auto details = std::make_shared<QString>();
    testutil::answerNextModal(QStringLiteral("OK"), [box, details](QWidget* w) {
        box->seen = true;
        box->title = w->windowTitle();
        box->text = testutil::modalText(w);
        if (auto* mb = qobject_cast<QMessageBox*>(w))
            *details = mb->informativeText();
    });
    c->write(QByteArray(64 * 1024, 'f'));
    QTRY_VERIFY_WITH_TIMEOUT(box->seen, 10000);
    QCOMPARE(box->title, QStringLiteral("tips"));
    QCOMPARE(box->text, QStringLiteral("Write receive file failed!"));
    QVERIFY2(details->contains(path), qPrintable(*details));
    QVERIFY2(details->contains(QLatin1String("No space left on device")), qPrintable(*details));
    QTRY_VERIFY(!QApplication::activeModalWidget());
    QVERIFY(!child<QCheckBox>(panel.get(), "receive_to_file")->isChecked());
    QVERIFY(child<QPlainTextEdit>(panel.get(), "recv_text")->isEnabled());
    QVERIFY(child<QLineEdit>(panel.get(), "single_file_size")->isEnabled());
    // What follows is shown, not lost.
    c->write("after");
    QTRY_VERIFY(recvText(panel.get()).contains("after"));
}

void tst_FileSendPanel::saveDataAndLoadFile()
{
    QTcpSocket* c = serverWithClient();
    QVERIFY(c);
    QTRY_VERIFY(child<QComboBox>(panel.get(), "client_addrs")->count() > 0);
    c->write("line one");
    QTRY_VERIFY(recvText(panel.get()).contains("line one"));
    const QString saved = files->filePath("saved.txt");
    panel->chooseSaveFile = [saved](const QString& title, const QString&, const QString&) {
        return title == "name save file" ? saved : QString();
    };
    child<QPushButton>(panel.get(), "save_rcv_data")->click();
    QCOMPARE(QString::fromLocal8Bit(readFile(saved)), recvText(panel.get()));

    const QString load = makeFile("load.txt", QByteArray("h\xc3\xa9llo\0tail", 11));
    panel->chooseOpenFile = [load](const QString& title, const QString&, const QString&) {
        return title == "choose load file" ? load : QString();
    };
    child<QPushButton>(panel.get(), "load_file")->click();
    QCOMPARE(child<QPlainTextEdit>(panel.get(), "send_text")->toPlainText(), QStringLiteral("h\u00e9llo"));
}

QTEST_MAIN(tst_FileSendPanel)
#include "tst_filesendpanel.moc"
