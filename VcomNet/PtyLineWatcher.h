#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

// Watches the line settings a user's program sets on a pseudo-terminal. Linux ptys
// keep the baud rate and the stop bits a program sets, but force 8 data bits and no
// parity, so only those two are read. The watcher keeps its own descriptor on the
// port (never read from) and polls it on a short timer: a few microseconds a tick.
class PtyLineWatcher : public QObject
{
    Q_OBJECT
public:
    explicit PtyLineWatcher(QObject* parent = nullptr);
    ~PtyLineWatcher() override;

    // Starts watching path; false with errorString() when it cannot be opened now
    // (the watcher keeps trying on each tick).
    bool start(const QString& path, int intervalMs = defaultIntervalMs);
    void stop();
    bool isWatching() const { return fd >= 0; }

    quint32 baudRate() const { return lastBaud; }
    int stopBits() const { return lastStop; } // 1 or 2; 0 before the first reading
    QString errorString() const { return error; }

    // Reads the settings now (as a tick does); changed() comes before it returns.
    void poll();

    // Reads the output baud rate and the stop bits of an open terminal.
    static bool readLine(int fd, quint32* baud, int* stopBits);

    static constexpr int defaultIntervalMs = 50;

signals:
    // The first reading and every change after it.
    void changed(quint32 baudRate, int stopBits);

private:
    bool openPort();

    QString path;
    QTimer timer;
    int fd = -1;
    quint32 lastBaud = 0;
    int lastStop = 0;
    QString error;
};
