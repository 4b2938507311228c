#pragma once

#include <QObject>
#include <QStringList>
#include <QTimer>

class QFileSystemWatcher;

// Watches a device directory (/dev) for serial ports and keeps the list that
// getSerialPortList() gives (names holding "ttyS", number at most 255, sorted). One
// watch serves every assistant panel: a change of the directory is noticed through the
// file system watcher (a slow rescan stands in where that is not available), and the
// directory is read without starting a process, so nothing waits on the GUI thread.
class SerialPortWatch : public QObject
{
    Q_OBJECT
public:
    explicit SerialPortWatch(const QString& directory = QStringLiteral("/dev"), QObject* parent = nullptr);

    // The watch shared by all panels of the application (owned by the application).
    static SerialPortWatch* shared();

    QStringList ports() const { return current; }
    // Reads the directory now (no process, a directory listing) and reports a change.
    void rescanNow() { rescan(); }
    QString directory() const { return dir; }

    // The list for the entries of a directory, filtered as getSerialPortList() does.
    static QStringList scan(const QString& directory);

    // Changes of the directory are gathered for this long before it is read again.
    static constexpr int settleMs = 100;
    // Rescan period when the directory cannot be watched.
    static constexpr int fallbackScanMs = 2000;

signals:
    void portsChanged(const QStringList& ports);

private:
    void rescan();

    QString dir;
    QStringList current;
    QFileSystemWatcher* watcher = nullptr;
    QTimer settle;
    QTimer fallback;
};
