#pragma once

// Helpers for the VCOM tests: free connection numbers under /dev and guards that
// remove every link and end every socat a test made, even when the test fails.

#include "VSPortFunction.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPair>
#include <QRandomGenerator>
#include <QSet>
#include <QString>

#include <csignal>
#include <sys/types.h>
#include <unistd.h>

namespace vcomtest {

inline bool linkPresent(const QString& path)
{
    const QFileInfo info(path);
    return info.isSymLink() || info.exists();
}

inline QString devPath(int n)
{
    return QStringLiteral("/dev/ttyS%1").arg(n);
}

// Numbers the process has handed out, so two guards never share one.
inline QSet<int>& takenNumbers()
{
    static QSet<int> taken;
    return taken;
}

// A connection number N in 200..250 that the offered list contains and whose
// partner N + 256 does not exist either; 0 if none is free. The search starts at a
// random number, so test programs running side by side seldom reach for the same one.
inline int freeNumber()
{
    VSPortFunction probe;
    const QStringList offered = offeredComNames(probe.LoadBusyNames());
    const int start = QRandomGenerator::global()->bounded(51);
    for (int i = 0; i < 51; ++i) {
        const int n = 200 + (start + i) % 51;
        if (takenNumbers().contains(n) || !offered.contains(QStringLiteral("ttyS%1").arg(n)))
            continue;
        if (linkPresent(devPath(n)) || linkPresent(devPath(n + 256)))
            continue;
        takenNumbers().insert(n);
        return n;
    }
    return 0;
}

// A running (not zombie) socat with this process id.
inline bool isSocat(qint64 pid)
{
    if (pid <= 0)
        return false;
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray line = stat.readAll();
    const int close = line.lastIndexOf(')');
    if (close < 0 || line.mid(line.indexOf('(') + 1, close - line.indexOf('(') - 1) != "socat")
        return false;
    return line.mid(close + 2, 1) != "Z";
}

// Process id and parent id of every running socat.
inline QList<QPair<qint64, qint64>> runningSocats()
{
    QList<QPair<qint64, qint64>> found;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& e : entries) {
        bool ok = false;
        const qint64 pid = e.toLongLong(&ok);
        if (!ok || !isSocat(pid))
            continue;
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray line = stat.readAll();
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1)
            found.append({pid, fields.at(1).toLongLong()});
    }
    return found;
}

// Process ids of running socat processes whose parent is ppid.
inline QList<qint64> socatChildren(qint64 ppid)
{
    QList<qint64> found;
    for (const auto& p : runningSocats()) {
        if (p.second == ppid)
            found << p.first;
    }
    return found;
}

// Parent process id of the running socat that made the link at path, or 0 if none did.
inline qint64 linkMakerParent(const QString& path)
{
    const QByteArray arg = "link=" + path.toLocal8Bit();
    for (const auto& p : runningSocats()) {
        QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(p.first));
        if (!cmdline.open(QIODevice::ReadOnly))
            continue;
        const QList<QByteArray> args = cmdline.readAll().split('\0');
        for (const QByteArray& a : args) {
            if (a.endsWith(arg))
                return p.second;
        }
    }
    return 0;
}

// Owns the numbers a test uses: removes their links (only symbolic links, never a
// device node) and ends the socat processes recorded with adopt().
class PairGuard
{
public:
    PairGuard() = default;
    PairGuard(const PairGuard&) = delete;
    PairGuard& operator=(const PairGuard&) = delete;
    ~PairGuard() { cleanup(); }

    // A fresh number with both names free, or 0.
    int take()
    {
        const int n = freeNumber();
        if (n)
            numbers << n << n + 256;
        return n;
    }
    void adoptName(int n) { numbers << n; }
    void adoptPid(qint64 pid)
    {
        if (pid > 0)
            pids << pid;
    }

    void cleanup()
    {
        for (qint64 pid : qAsConst(pids)) {
            if (isSocat(pid))
                ::kill(static_cast<pid_t>(pid), SIGTERM);
        }
        for (int i = 0; i < 50 && anyAlive(); ++i)
            ::usleep(20000);
        for (qint64 pid : qAsConst(pids)) {
            if (isSocat(pid))
                ::kill(static_cast<pid_t>(pid), SIGKILL);
        }
        pids.clear();
        for (int n : qAsConst(numbers)) {
            if (QFileInfo(devPath(n)).isSymLink())
                QFile::remove(devPath(n));
        }
    }

private:
    bool anyAlive() const
    {
        for (qint64 pid : pids) {
            if (isSocat(pid))
                return true;
        }
        return false;
    }

    QList<int> numbers;
    QList<qint64> pids;
};

} // namespace vcomtest
