#include "rights.h"

#include <QCoreApplication>
#include <QFile>

#include <unistd.h>

namespace rights {

namespace {
// From <linux/capability.h>; the bit number is part of the kernel's ABI.
constexpr int capNetRaw = 13;

// The effective capability set from /proc/self/status ("CapEff:\t0000003fffffffff").
quint64 effectiveCapabilities()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    while (!status.atEnd()) {
        const QByteArray line = status.readLine();
        if (line.startsWith("CapEff:")) {
            bool ok = false;
            const quint64 caps = line.mid(7).trimmed().toULongLong(&ok, 16);
            return ok ? caps : 0;
        }
    }
    return 0;
}
} // namespace

bool startedSetId()
{
    return ::getuid() != ::geteuid() || ::getgid() != ::getegid();
}

bool isAdministrator()
{
    return ::geteuid() == 0;
}

bool hasRawNetworkRights()
{
    return isAdministrator() || (effectiveCapabilities() & (quint64(1) << capNetRaw)) != 0;
}

bool canCreateLinksIn(const QString& dir)
{
    return ::access(QFile::encodeName(dir).constData(), W_OK | X_OK) == 0;
}

} // namespace rights
