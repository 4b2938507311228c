#include "rights.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>

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

bool restartAsAdministrator(QString* error)
{
    const QString pkexec = QStandardPaths::findExecutable(QStringLiteral("pkexec"));
    if (pkexec.isEmpty()) {
        *error = QCoreApplication::translate("rights", "The program pkexec was not found; install the package pkexec, "
                                                       "or start the program as root.");
        return false;
    }
    // pkexec serves only a living parent, and a detached process has none: a small shell
    // stays as its parent. The program's real path is the one the polkit action names;
    // everything goes as positional parameters, never through the shell's parser.
    QStringList arguments{QStringLiteral("-c"), QStringLiteral("\"$0\" \"$@\""), pkexec,
                          QCoreApplication::applicationFilePath()};
    arguments += QCoreApplication::arguments().mid(1);
    if (!QProcess::startDetached(QStringLiteral("/bin/sh"), arguments)) {
        *error = QCoreApplication::translate("rights", "pkexec could not be started.");
        return false;
    }
    return true;
}

} // namespace rights
