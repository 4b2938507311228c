#pragma once

// One SSH session to a device, through libssh: connect, host key check against a
// known-hosts file, password login, commands with streamed output, a liveness probe.
// GUI-free. Every call may come from any thread; calls are serialised by one mutex, and
// abort() may interrupt a call in progress from another thread.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <mutex>

struct ssh_session_struct;

class SshSession
{
public:
    enum class HostKey { Known, Unknown, Changed, Failed };

    SshSession();
    ~SshSession();
    SshSession(const SshSession&) = delete;
    SshSession& operator=(const SshSession&) = delete;

    // TCP connection and key exchange, ending within timeoutMs or soon after *cancel is set.
    bool connectTo(const QString& host, int port, const QString& knownHostsFile, int timeoutMs,
                   const std::atomic<bool>& cancel, QString* error);
    // The server's key against the known-hosts file; *fingerprint gets "SHA256:..." text.
    HostKey checkHostKey(QString* fingerprint, QString* error);
    // Records the server's key in the known-hosts file (after the user accepted it).
    bool rememberHostKey(QString* error);
    bool authenticate(const QString& user, const QByteArray& password, int timeoutMs, const std::atomic<bool>& cancel,
                      QString* error);
    // Runs one command line, handing its output (stdout and stderr) to onOutput as it
    // arrives, until the command ends, *cancel is set or the session breaks.
    bool execute(const QByteArray& commandLine, const std::function<void(const QByteArray&)>& onOutput,
                 const std::atomic<bool>& cancel, int* exitStatus, QString* error);
    // A keep-alive round: false once the session has gone.
    bool probe();
    // Ends the session: politely when no other call is in progress, by closing the socket otherwise.
    void close();
    // Makes every call in progress fail at once; safe from any thread.
    void abort();

    // A command line whose arguments reach the program exactly as given: each one is quoted
    // for the remote shell, so nothing in them is interpreted there.
    static QByteArray commandLine(const QString& program, const QStringList& arguments);

private:
    QString lastError() const;

    ssh_session_struct* session = nullptr;
    std::mutex mutex;
    std::atomic<int> socketFd{-1};
    std::atomic<bool> aborted{false};
};
