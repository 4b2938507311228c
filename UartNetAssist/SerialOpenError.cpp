#include "SerialOpenError.h"

#include <QCoreApplication>
#include <QFile>
#include <QSerialPort>

#include <cerrno>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

namespace SerialOpenError {

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("UartNetAssist", text);
}

} // namespace

QString owningGroup(const QString& path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return QString();
    if (const group* g = ::getgrgid(st.st_gid))
        return QString::fromLocal8Bit(g->gr_name);
    return QString::number(st.st_gid);
}

QString text(int errorCode, const QString& name)
{
    const QString path = name.contains(QLatin1Char('/')) ? name : QStringLiteral("/dev/") + name;
    switch (errorCode) {
    case QSerialPort::DeviceNotFoundError:
        return tr("%1 device not found. The port is gone: check that the device is plugged in.").arg(name);
    case QSerialPort::PermissionError: {
        // A port busy in another program is readable and writable for us; a refused one is not.
        const QByteArray file = QFile::encodeName(path);
        if (::access(file.constData(), R_OK | W_OK) != 0 && (errno == EACCES || errno == EPERM)) {
            const QString group = owningGroup(path);
            if (group.isEmpty() || group == QLatin1String("root"))
                return tr("You have no permission to open the serial port %1: only the administrator may open it.")
                    .arg(name);
            return tr("You have no permission to open the serial port %1. Its device file belongs to the group "
                      "\"%2\": add yourself to that group (sudo usermod -aG %2 $USER) and log in again.")
                .arg(name, group);
        }
        if (!QFile::exists(path))
            return tr("%1 device not found. The port is gone: check that the device is plugged in.").arg(name);
        return tr("Failed to open the serial port %1. Check whether it is occupied by other programs.").arg(name);
    }
    case QSerialPort::UnsupportedOperationError:
        return tr("Failed to open the serial port %1. Check whether the parameters are correct.").arg(name);
    default:
        return QString();
    }
}

} // namespace SerialOpenError
