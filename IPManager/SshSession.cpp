#include "SshSession.h"
#include "ipmanagerlog.h"

#include <libssh/libssh.h>
#include <libssh/server.h> // ssh_send_keepalive: a request the peer must answer, for either side

#include <QCoreApplication>
#include <QElapsedTimer>

#include <chrono>
#include <thread>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

namespace {

// How long a call may wait for the device before the session counts as broken; also the
// time after which unacknowledged data makes the kernel drop the connection, so that a
// pulled cable is noticed by the next keep-alive, not minutes later.
constexpr long kIoTimeoutSec = 4;
constexpr int kReadSliceMs = 100;

void napShortly()
{
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

QByteArray shellQuote(const QString& arg)
{
    QByteArray q = arg.toUtf8();
    q.replace('\'', "'\\''");
    return '\'' + q + '\'';
}

} // namespace

SshSession::SshSession()
    : session(ssh_new())
{
}

SshSession::~SshSession()
{
    std::lock_guard<std::mutex> lock(mutex);
    if (session) {
        if (ssh_is_connected(session) && !aborted) {
            ssh_set_blocking(session, 0); // the goodbye is a courtesy, never a wait
            ssh_disconnect(session);
        }
        ssh_free(session);
    }
}

QString SshSession::lastError() const
{
    return session ? QString::fromLocal8Bit(ssh_get_error(session)) : QCoreApplication::translate("SshSession", "no SSH session");
}

bool SshSession::connectTo(const QString& host, int port, const QString& knownHostsFile, int timeoutMs,
                           const std::atomic<bool>& cancel, QString* error)
{
    std::lock_guard<std::mutex> lock(mutex);
    if (!session) {
        *error = lastError();
        return false;
    }
    const QByteArray h = host.toUtf8();
    const QByteArray known = knownHostsFile.toLocal8Bit();
    const int noConfig = 0;
    const long timeout = kIoTimeoutSec;
    ssh_options_set(session, SSH_OPTIONS_HOST, h.constData());
    ssh_options_set(session, SSH_OPTIONS_PORT, &port);
    // Only our own file decides which hosts are known, never ~/.ssh or /etc/ssh.
    ssh_options_set(session, SSH_OPTIONS_PROCESS_CONFIG, &noConfig);
    ssh_options_set(session, SSH_OPTIONS_KNOWNHOSTS, known.constData());
    ssh_options_set(session, SSH_OPTIONS_GLOBAL_KNOWNHOSTS, known.constData());
    ssh_options_set(session, SSH_OPTIONS_TIMEOUT, &timeout);

    // Non-blocking, so that a device that does not answer can be given up at any moment.
    ssh_set_blocking(session, 0);
    QElapsedTimer clock;
    clock.start();
    int rc = SSH_AGAIN;
    while ((rc = ssh_connect(session)) == SSH_AGAIN) {
        if (cancel || aborted || clock.elapsed() > timeoutMs) {
            ssh_disconnect(session);
            ssh_set_blocking(session, 1);
            *error = cancel || aborted ? QCoreApplication::translate("SshSession", "cancelled") : QCoreApplication::translate("SshSession", "no answer from %1:%2").arg(host).arg(port);
            return false;
        }
        socketFd = ssh_get_fd(session);
        napShortly();
    }
    ssh_set_blocking(session, 1);
    if (rc != SSH_OK) {
        *error = lastError();
        return false;
    }
    const int fd = ssh_get_fd(session);
    socketFd = fd;
    const unsigned int userTimeout = unsigned(kIoTimeoutSec * 1000);
    setsockopt(fd, IPPROTO_TCP, TCP_USER_TIMEOUT, &userTimeout, sizeof userTimeout);
    qCDebug(lcIpManager) << "ssh: connected to" << host << port;
    return true;
}

SshSession::HostKey SshSession::checkHostKey(QString* fingerprint, QString* error)
{
    std::lock_guard<std::mutex> lock(mutex);
    ssh_key key = nullptr;
    if (ssh_get_server_publickey(session, &key) != SSH_OK) {
        *error = lastError();
        return HostKey::Failed;
    }
    unsigned char* hash = nullptr;
    size_t len = 0;
    const int rc = ssh_get_publickey_hash(key, SSH_PUBLICKEY_HASH_SHA256, &hash, &len);
    ssh_key_free(key);
    if (rc != SSH_OK) {
        *error = lastError();
        return HostKey::Failed;
    }
    char* text = ssh_get_fingerprint_hash(SSH_PUBLICKEY_HASH_SHA256, hash, len);
    *fingerprint = QString::fromLatin1(text);
    ssh_string_free_char(text);
    ssh_clean_pubkey_hash(&hash);

    switch (ssh_session_is_known_server(session)) {
    case SSH_KNOWN_HOSTS_OK:
        return HostKey::Known;
    case SSH_KNOWN_HOSTS_CHANGED:
    case SSH_KNOWN_HOSTS_OTHER: // a key of another type than the one recorded: just as suspicious
        return HostKey::Changed;
    case SSH_KNOWN_HOSTS_UNKNOWN:
    case SSH_KNOWN_HOSTS_NOT_FOUND:
        return HostKey::Unknown;
    case SSH_KNOWN_HOSTS_ERROR:
        break;
    }
    *error = lastError();
    return HostKey::Failed;
}

bool SshSession::rememberHostKey(QString* error)
{
    std::lock_guard<std::mutex> lock(mutex);
    if (ssh_session_update_known_hosts(session) != SSH_OK) {
        *error = lastError();
        return false;
    }
    return true;
}

bool SshSession::authenticate(const QString& user, const QByteArray& password, int timeoutMs,
                              const std::atomic<bool>& cancel, QString* error)
{
    std::lock_guard<std::mutex> lock(mutex);
    const QByteArray u = user.toUtf8();
    ssh_options_set(session, SSH_OPTIONS_USER, u.constData());
    ssh_set_blocking(session, 0);
    QElapsedTimer clock;
    clock.start();
    int rc = SSH_AUTH_AGAIN;
    while ((rc = ssh_userauth_password(session, nullptr, password.constData())) == SSH_AUTH_AGAIN) {
        if (cancel || aborted || clock.elapsed() > timeoutMs)
            break;
        napShortly();
    }
    ssh_set_blocking(session, 1);
    if (rc == SSH_AUTH_SUCCESS)
        return true;
    if (rc == SSH_AUTH_AGAIN)
        *error = QCoreApplication::translate("SshSession", "no answer to the login");
    else if (rc == SSH_AUTH_DENIED || rc == SSH_AUTH_PARTIAL)
        *error = QCoreApplication::translate("SshSession", "user name or password not accepted");
    else
        *error = lastError();
    return false;
}

bool SshSession::execute(const QByteArray& commandLine, const std::function<void(const QByteArray&)>& onOutput,
                         const std::atomic<bool>& cancel, int* exitStatus, QString* error)
{
    *exitStatus = -1;
    ssh_channel channel = nullptr;
    {
        std::lock_guard<std::mutex> lock(mutex);
        channel = ssh_channel_new(session);
        if (!channel || ssh_channel_open_session(channel) != SSH_OK || ssh_channel_request_exec(channel, commandLine.constData()) != SSH_OK) {
            *error = lastError();
            if (channel)
                ssh_channel_free(channel);
            return false;
        }
    }
    // The lock is taken per read only, so the keep-alive can run between two reads.
    char buf[4096];
    bool ok = true;
    while (!cancel && !aborted) {
        std::unique_lock<std::mutex> lock(mutex);
        int n = ssh_channel_read_timeout(channel, buf, sizeof buf, 0, kReadSliceMs);
        QByteArray chunk;
        if (n > 0)
            chunk.append(buf, n);
        int m = 0;
        while (n >= 0 && (m = ssh_channel_read_nonblocking(channel, buf, sizeof buf, 1)) > 0)
            chunk.append(buf, m);
        // SSH_EOF is the command's end, not a failure.
        const bool eof = ssh_channel_is_eof(channel) || n == SSH_EOF || m == SSH_EOF;
        if (n == SSH_EOF)
            n = 0;
        if (n < 0 || (m < 0 && m != SSH_EOF)) {
            *error = lastError();
            ok = false;
        }
        lock.unlock();
        if (!chunk.isEmpty())
            onOutput(chunk);
        if (!ok || (eof && n == 0))
            break;
    }
    std::lock_guard<std::mutex> lock(mutex);
    if (ok && !cancel && !aborted)
        *exitStatus = ssh_channel_get_exit_status(channel);
    if (!aborted)
        ssh_channel_close(channel);
    ssh_channel_free(channel);
    return ok;
}

bool SshSession::probe()
{
    std::lock_guard<std::mutex> lock(mutex);
    if (aborted || !ssh_is_connected(session))
        return false;
    // The reply (or the connection's end) is read in the same call; a dead peer makes the
    // send or the read fail and the session is marked closed.
    ssh_send_keepalive(session);
    return ssh_is_connected(session) && !(ssh_get_status(session) & (SSH_CLOSED | SSH_CLOSED_ERROR));
}

void SshSession::close()
{
    std::unique_lock<std::mutex> lock(mutex, std::try_to_lock);
    if (lock.owns_lock() && !aborted) {
        ssh_set_blocking(session, 0);
        ssh_disconnect(session);
        socketFd = -1;
        aborted = true;
        return;
    }
    abort(); // a command is reading: closing the socket ends it
}

void SshSession::abort()
{
    aborted = true;
    const int fd = socketFd.load();
    if (fd >= 0)
        ::shutdown(fd, SHUT_RDWR);
}

QByteArray SshSession::commandLine(const QString& program, const QStringList& arguments)
{
    QByteArray line = shellQuote(program);
    for (const QString& a : arguments)
        line += ' ' + shellQuote(a);
    return line;
}
