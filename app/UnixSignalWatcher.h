#pragma once

#include <QObject>
#include <QVector>

#include <csignal>
#include <initializer_list>

class QSocketNotifier;

// Turns POSIX signals into a Qt signal on the event loop (self-pipe), so that SIGTERM
// or SIGINT can end the program the way closing the window does and destructors run.
// One watcher at a time; the previous handlers come back when it goes.
class UnixSignalWatcher : public QObject
{
    Q_OBJECT
public:
    explicit UnixSignalWatcher(std::initializer_list<int> watched, QObject* parent = nullptr);
    ~UnixSignalWatcher() override;

    bool isValid() const { return notifier != nullptr; }

signals:
    void signalReceived(int signalNumber);

private:
    void readPipe();

    QSocketNotifier* notifier = nullptr;
    QVector<int> signalNumbers;
    QVector<struct sigaction> previous;
};
