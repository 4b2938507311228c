#include "SerialPortWatch.h"

#include "serialPortDevice_.h"

#include <QCoreApplication>
#include "assistlog.h"
#include <QDir>
#include <QFileSystemWatcher>
#include <QPointer>

SerialPortWatch::SerialPortWatch(const QString& directory, QObject* parent)
    : QObject(parent)
    , dir(directory)
    , watcher(new QFileSystemWatcher(this))
{
    current = scan(dir);
    settle.setSingleShot(true);
    settle.setInterval(settleMs);
    connect(&settle, &QTimer::timeout, this, &SerialPortWatch::rescan);
    connect(&fallback, &QTimer::timeout, this, &SerialPortWatch::rescan);
    connect(watcher, &QFileSystemWatcher::directoryChanged, this, [this]() {
        if (!settle.isActive())
            settle.start();
    });
    if (!watcher->addPath(dir)) {
        qCDebug(lcAssist) << "cannot watch" << dir << "- rescanning every" << fallbackScanMs << "ms";
        fallback.start(fallbackScanMs);
    }
}

SerialPortWatch* SerialPortWatch::shared()
{
    static QPointer<SerialPortWatch> watch;
    if (!watch)
        watch = new SerialPortWatch(QStringLiteral("/dev"), QCoreApplication::instance());
    return watch;
}

QStringList SerialPortWatch::scan(const QString& directory)
{
    // As "ls <dir> | grep ttyS": every entry but the hidden ones, devices and dangling
    // links included.
    const QStringList names =
        QDir(directory).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    QString lines;
    for (const QString& name : names) {
        if (name.contains(QLatin1String("ttyS")))
            lines += name + QLatin1Char('\n');
    }
    return filterSerialPortNames(lines);
}

void SerialPortWatch::rescan()
{
    // A directory that was replaced (or came back) is watched again.
    if (!watcher->directories().contains(dir) && watcher->addPath(dir))
        fallback.stop();
    const QStringList ports = scan(dir);
    if (ports == current)
        return;
    current = ports;
    emit portsChanged(current);
}
