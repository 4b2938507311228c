#include "PtyLineWatcher.h"

#include <QFile>

#include <asm/termbits.h> // termios2: the numeric speed, also for rates without a B constant
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

PtyLineWatcher::PtyLineWatcher(QObject* parent)
    : QObject(parent)
{
    connect(&timer, &QTimer::timeout, this, &PtyLineWatcher::poll);
}

PtyLineWatcher::~PtyLineWatcher()
{
    stop();
}

bool PtyLineWatcher::start(const QString& portPath, int intervalMs)
{
    stop();
    path = portPath;
    timer.start(qBound(10, intervalMs, 1000));
    if (!openPort())
        return false;
    poll();
    return true;
}

void PtyLineWatcher::stop()
{
    timer.stop();
    if (fd >= 0)
        ::close(fd);
    fd = -1;
    lastBaud = 0;
    lastStop = 0;
}

bool PtyLineWatcher::openPort()
{
    // Never the controlling terminal, never blocking: this descriptor only asks.
    fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    error.clear();
    return true;
}

bool PtyLineWatcher::readLine(int fd, quint32* baudRate, int* stopBits)
{
    struct termios2 tio;
    std::memset(&tio, 0, sizeof tio);
    if (::ioctl(fd, TCGETS2, &tio) != 0)
        return false;
    *baudRate = tio.c_ospeed;
    *stopBits = (tio.c_cflag & CSTOPB) ? 2 : 1;
    return true;
}

void PtyLineWatcher::poll()
{
    if (fd < 0 && !openPort())
        return;
    quint32 b = 0;
    int s = 0;
    if (!readLine(fd, &b, &s)) {
        // The pair went away under us: start over with a fresh descriptor later.
        error = QString::fromLocal8Bit(std::strerror(errno));
        ::close(fd);
        fd = -1;
        return;
    }
    if (b == lastBaud && s == lastStop)
        return;
    lastBaud = b;
    lastStop = s;
    emit changed(lastBaud, lastStop);
}
