#pragma once

#include "PtyLineWatcher.h"
#include "Rfc2217Codec.h"

#include <QObject>
#include <QTimer>

// The COM port control side of a TCP client bridge: speaks Telnet to the server,
// carries the line settings of the user's port there (baud rate and stop bits as the
// user's program sets them, data size and parity as fixed on the form) and reports
// what the server confirms. The unit passes the wire through received() and encode().
class Rfc2217Session : public QObject
{
    Q_OBJECT
public:
    // userPort: the pseudo-terminal the user's program opens; dataSize 5..8 and
    // parity 1..5 are sent after connecting, 0 keeps the server's own setting.
    Rfc2217Session(const QString& userPort, int dataSize, int parity, QObject* parent = nullptr);

    // A new TCP connection: the opening requests to send.
    QByteArray connected();
    void disconnected();
    // Wire bytes from the server to payload; negotiation replies go out through sendWire.
    QByteArray received(const QByteArray& wire);
    // Payload to wire bytes for the server.
    QByteArray encode(const QByteArray& payload) const { return codec.encode(payload); }

    QString statusText() const;
    // Looks at the user's port now: called before the bridge reads its data, so that a
    // change made before those bytes were written reaches the server before them.
    void checkLine() { watcher.poll(); }
    const Rfc2217Codec& telnet() const { return codec; }

    // How long a server may take to answer the opening requests.
    static constexpr int answerTimeoutMs = 3000;

signals:
    // Line commands follow: what the serial side still holds must be sent first.
    void lineChanging();
    void sendWire(const QByteArray& bytes);
    void statusChanged(const QString& text);

private:
    void userLineChanged(quint32 baud, int stopBits);
    void noAnswer();
    void report();

    Rfc2217Codec codec;
    PtyLineWatcher watcher;
    QTimer answerTimer;
    int fixedDataSize = 0;
    int fixedParity = 0;
    bool online = false;
    QString lastStatus;
};
