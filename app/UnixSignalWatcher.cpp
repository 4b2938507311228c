#include "UnixSignalWatcher.h"

#include <QSocketNotifier>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {

int pipeFds[2] = {-1, -1}; // [0] read by the event loop, [1] written by the handler

void onSignal(int signalNumber)
{
    const int savedErrno = errno;
    const auto byte = static_cast<unsigned char>(signalNumber);
    // Non-blocking: if the pipe is full the event loop already has work to do.
    [[maybe_unused]] const ssize_t written = ::write(pipeFds[1], &byte, 1);
    errno = savedErrno;
}

} // namespace

UnixSignalWatcher::UnixSignalWatcher(std::initializer_list<int> watched, QObject* parent)
    : QObject(parent)
{
    if (pipeFds[0] >= 0)
        return; // another watcher owns the handlers
    if (::pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0) {
        pipeFds[0] = pipeFds[1] = -1;
        return;
    }
    notifier = new QSocketNotifier(pipeFds[0], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &UnixSignalWatcher::readPipe);

    for (int signalNumber : watched) {
        struct sigaction action = {};
        action.sa_handler = onSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        struct sigaction old = {};
        if (::sigaction(signalNumber, &action, &old) == 0) {
            signalNumbers.append(signalNumber);
            previous.append(old);
        }
    }
}

UnixSignalWatcher::~UnixSignalWatcher()
{
    if (!notifier)
        return;
    for (int i = 0; i < signalNumbers.size(); ++i)
        ::sigaction(signalNumbers.at(i), &previous.at(i), nullptr);
    delete notifier;
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);
    pipeFds[0] = pipeFds[1] = -1;
}

void UnixSignalWatcher::readPipe()
{
    unsigned char buffer[64];
    for (;;) {
        const ssize_t n = ::read(pipeFds[0], buffer, sizeof buffer);
        if (n <= 0)
            break;
        for (ssize_t i = 0; i < n; ++i)
            emit signalReceived(buffer[i]);
    }
}
