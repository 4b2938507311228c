// Sends a large file from an assistant panel (TCP client, block 64 KiB, interval 0)
// to a loopback reader on its own thread, then the same file with a plain
// QTcpSocket writer. Prints throughput, their ratio, the peak RSS growth of the
// panel run and whether the reader got the file byte for byte.
//
// Usage: bench_file_send [size in MiB, default 512; 4 with BENCH_SMOKE=1]

#include "UartNetAssist.h"
#include "benchsmoke.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSemaphore>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <cstdio>
#include <cstring>
#include <memory>

namespace {

constexpr qint64 block = 64 * 1024;

qint64 procStatusKiB(const char* key)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> lines = f.readAll().split('\n');
    for (const QByteArray& l : lines) {
        if (l.startsWith(key))
            return l.mid(static_cast<int>(qstrlen(key))).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

// Accepts one connection on 127.0.0.1 and reads the file's size in bytes, comparing
// them with the file read alongside (from the page cache: far cheaper than hashing,
// and not counted as resident like a mapping would be).
class Reader : public QThread
{
public:
    explicit Reader(const QString& path)
        : file(path)
    {
    }
    quint16 port = 0;
    qint64 received = 0;
    bool identical = false;
    QSemaphore listening;

protected:
    void run() override
    {
        QTcpServer server;
        if (server.listen(QHostAddress::LocalHost, 0))
            port = server.serverPort();
        listening.release();
        if (!file.open(QIODevice::ReadOnly))
            return;
        const qint64 expected = file.size();
        if (!port || !server.waitForNewConnection(30000))
            return;
        std::unique_ptr<QTcpSocket> sock(server.nextPendingConnection());
        bool same = true;
        QByteArray want;
        while (received < expected) {
            if (sock->bytesAvailable() == 0 && !sock->waitForReadyRead(30000))
                break;
            const QByteArray b = sock->readAll();
            if (want.size() < b.size())
                want.resize(b.size());
            if (same && file.read(want.data(), b.size()) != b.size())
                same = false;
            if (same && memcmp(want.constData(), b.constData(), static_cast<size_t>(b.size())) != 0)
                same = false;
            received += b.size();
        }
        identical = same && received == expected;
    }

private:
    QFile file;
};

template <class T>
T* child(QWidget* w, const char* name)
{
    T* c = w->findChild<T*>(QString::fromLatin1(name));
    if (!c)
        qFatal("form control %s not found", name);
    return c;
}

// Waits (with the event loop running) until the reader thread has ended.
void waitFor(Reader& r)
{
    QEventLoop loop;
    QObject::connect(&r, &QThread::finished, &loop, &QEventLoop::quit);
    if (!r.isFinished())
        loop.exec();
    r.wait();
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const qint64 mib = argc > 1 ? QByteArray(argv[1]).toLongLong() : benchSmoke() ? 4 : 512;
    const qint64 size = mib * 1024 * 1024;

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("send.bin"));
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly))
            qFatal("cannot create %s", qPrintable(path));
        QByteArray piece(1024 * 1024, Qt::Uninitialized);
        quint64 x = 0x9e3779b97f4a7c15ull;
        for (qint64 done = 0; done < size; done += piece.size()) {
            auto* p = reinterpret_cast<quint64*>(piece.data());
            for (int i = 0; i < piece.size() / 8; ++i) {
                x ^= x << 13;
                x ^= x >> 7;
                x ^= x << 17;
                p[i] = x;
            }
            f.write(piece);
        }
    }

    // Panel run.
    const qint64 rssStart = procStatusKiB("VmRSS:");
    auto panel = std::make_unique<UartNetAssist>();
    panel->chooseOpenFile = [&path](const QString&, const QString&, const QString&) { return path; };
    Reader panelReader(path);
    panelReader.start();
    panelReader.listening.acquire();
    child<QComboBox>(panel.get(), "choose_protocol")->setCurrentIndex(2);
    child<QComboBox>(panel.get(), "local_ip_list")->setEditText(QStringLiteral("127.0.0.1"));
    child<QComboBox>(panel.get(), "remote_ip_port")->setEditText(QStringLiteral("127.0.0.1:%1").arg(panelReader.port));
    // The client connects without blocking: sending starts once it is connected.
    auto* connectButton = child<QPushButton>(panel.get(), "connect");
    connectButton->click();
    QElapsedTimer connecting;
    connecting.start();
    while (connectButton->text() != QLatin1String("disconnect") && connecting.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    if (connectButton->text() != QLatin1String("disconnect"))
        qFatal("the panel did not connect to the reader");
    child<QCheckBox>(panel.get(), "file_data_src")->click();
    child<QLineEdit>(panel.get(), "single_bytes")->setText(QString::number(block));
    child<QLineEdit>(panel.get(), "send_time_interval")->setText(QStringLiteral("0"));
    const qint64 hwmBefore = procStatusKiB("VmHWM:");
    QElapsedTimer t;
    t.start();
    child<QPushButton>(panel.get(), "btn_start")->click();
    waitFor(panelReader);
    const double panelSecs = t.nsecsElapsed() / 1e9;
    const qint64 hwmAfter = procStatusKiB("VmHWM:");
    // Let the worker's end reach the panel before it goes.
    QEventLoop settle;
    QTimer::singleShot(200, &settle, &QEventLoop::quit);
    settle.exec();
    panel.reset();

    // Plain writer run.
    Reader plainReader(path);
    plainReader.start();
    plainReader.listening.acquire();
    QTcpSocket sock;
    sock.connectToHost(QHostAddress::LocalHost, plainReader.port);
    if (!sock.waitForConnected(5000))
        qFatal("plain writer cannot connect");
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    t.restart();
    while (!f.atEnd()) {
        sock.write(f.read(block));
        while (sock.bytesToWrite() > 4 * block)
            sock.waitForBytesWritten(10000);
    }
    while (sock.bytesToWrite() > 0 && sock.waitForBytesWritten(10000)) {
    }
    waitFor(plainReader);
    const double plainSecs = t.nsecsElapsed() / 1e9;

    const double mb = size / 1e6;
    const double panelRate = mb / panelSecs;
    const double plainRate = mb / plainSecs;
    std::printf("file: %lld MiB, block %lld KiB, interval 0, loopback TCP\n", static_cast<long long>(mib),
                static_cast<long long>(block / 1024));
    std::printf("panel:  %8.1f MB/s  (%.2f s)  identical: %s (%lld bytes)\n", panelRate, panelSecs,
                panelReader.identical ? "yes" : "NO", static_cast<long long>(panelReader.received));
    std::printf("plain:  %8.1f MB/s  (%.2f s)  identical: %s\n", plainRate, plainSecs,
                plainReader.identical ? "yes" : "NO");
    std::printf("ratio panel/plain: %.2f (target >= 0.5)\n", panelRate / plainRate);
    std::printf("RSS at start %lld KiB; peak RSS growth during the panel run: %lld KiB (target <= 65536)\n",
                static_cast<long long>(rssStart), static_cast<long long>(hwmAfter - hwmBefore));
    return panelReader.identical && plainReader.identical ? 0 : 1;
}
