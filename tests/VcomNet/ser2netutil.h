#pragma once

// ser2net as a real RFC 2217 server for the tests: a socat pseudo-terminal pair in a
// temporary directory, ser2net driving one end through a telnet(rfc2217) accepter on a
// free loopback port, and the other end left to the test as "the device". Everything
// ends with the object: ser2net, socat and the directory.

#include "testutil.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <memory>
#include <termios.h>
#include <fcntl.h>
#include <unistd.h>

namespace ser2nettest {

inline QString ser2netProgram()
{
    QString p = QStandardPaths::findExecutable(QStringLiteral("ser2net"));
    if (p.isEmpty())
        p = QStandardPaths::findExecutable(QStringLiteral("ser2net"), {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin")});
    return p;
}

// Baud rate and stop bits of a terminal, read the plain termios way.
inline bool terminalLine(const QString& path, int* baud, int* stopBits)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return false;
    termios tio{};
    const bool ok = ::tcgetattr(fd, &tio) == 0;
    ::close(fd);
    if (!ok)
        return false;
    static const struct { speed_t code; int rate; } rates[] = {
        {B1200, 1200}, {B2400, 2400}, {B4800, 4800}, {B9600, 9600}, {B19200, 19200},
        {B38400, 38400}, {B57600, 57600}, {B115200, 115200}, {B230400, 230400},
    };
    *baud = 0;
    for (const auto& r : rates) {
        if (::cfgetospeed(&tio) == r.code)
            *baud = r.rate;
    }
    *stopBits = (tio.c_cflag & CSTOPB) ? 2 : 1;
    return true;
}

class Ser2Net
{
public:
    Ser2Net()
    {
        if (ser2netProgram().isEmpty() || !pair.isValid() || !dir.isValid())
            return;
        {
            QTcpServer probe; // a free port; ser2net binds it right after
            if (!probe.listen(QHostAddress::LocalHost, 0))
                return;
            tcpPort = probe.serverPort();
        }
        const QString config = dir.filePath(QStringLiteral("ser2net.yaml"));
        QFile f(config);
        if (!f.open(QIODevice::WriteOnly))
            return;
        f.write(QStringLiteral("connection: &vxatest\n"
                               "  accepter: telnet(rfc2217),tcp,127.0.0.1,%1\n"
                               "  connector: serialdev,%2,local\n"
                               "  options:\n"
                               "    kickolduser: true\n"
                               "    mdns: false\n")
                    .arg(tcpPort)
                    .arg(pair.portA())
                    .toUtf8());
        f.close();
        proc.setProcessChannelMode(QProcess::MergedChannels);
        proc.start(ser2netProgram(), {QStringLiteral("-n"), QStringLiteral("-u"), QStringLiteral("-c"), config,
                                      QStringLiteral("-P"), dir.filePath(QStringLiteral("ser2net.pid"))});
        if (!proc.waitForStarted(5000))
            return;
        // Ready once the accepter takes a connection.
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 10000 && proc.state() == QProcess::Running) {
            QTcpSocket s;
            s.connectToHost(QHostAddress::LocalHost, tcpPort);
            if (s.waitForConnected(500)) {
                s.abort();
                ok = true;
                break;
            }
            QTest::qWait(20);
        }
    }
    ~Ser2Net()
    {
        if (proc.state() != QProcess::NotRunning) {
            proc.terminate();
            if (!proc.waitForFinished(5000)) {
                proc.kill();
                proc.waitForFinished(5000);
            }
        }
    }
    Ser2Net(const Ser2Net&) = delete;
    Ser2Net& operator=(const Ser2Net&) = delete;

    bool isValid() const { return ok; }
    quint16 port() const { return tcpPort; }
    // The end ser2net drives, and the far end standing for the device.
    QString servedPort() const { return pair.portA(); }
    QString devicePort() const { return pair.portB(); }
    QString output() { return QString::fromLocal8Bit(proc.readAll()); }

private:
    QTemporaryDir dir;
    testutil::SocatPair pair;
    QProcess proc;
    quint16 tcpPort = 0;
    bool ok = false;
};

} // namespace ser2nettest
