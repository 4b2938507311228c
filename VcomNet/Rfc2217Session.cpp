#include "Rfc2217Session.h"

#include "vcomlog.h"

Rfc2217Session::Rfc2217Session(const QString& userPort, int dataSize, int parity, QObject* parent)
    : QObject(parent)
    , fixedDataSize(dataSize >= 5 && dataSize <= 8 ? dataSize : 0)
    , fixedParity(parity >= ComLineSettings::ParityNone && parity <= ComLineSettings::ParitySpace ? parity : 0)
{
    answerTimer.setSingleShot(true);
    connect(&answerTimer, &QTimer::timeout, this, &Rfc2217Session::noAnswer);
    connect(&watcher, &PtyLineWatcher::changed, this, &Rfc2217Session::userLineChanged);
    // Data size and parity of a pty are forced to 8N by the kernel: only the form's
    // fixed values are ever sent for them, never what the port shows.
    ComLineSettings wanted;
    wanted.dataSize = fixedDataSize;
    wanted.parity = fixedParity;
    codec.setWanted(wanted);
    if (!watcher.start(userPort))
        qCDebug(lcVcom) << "cannot watch" << userPort << "yet:" << watcher.errorString();
    lastStatus = statusText();
}

QByteArray Rfc2217Session::connected()
{
    online = true;
    const QByteArray opening = codec.start();
    answerTimer.start(answerTimeoutMs);
    report();
    return opening;
}

void Rfc2217Session::disconnected()
{
    online = false;
    answerTimer.stop();
    report();
}

QByteArray Rfc2217Session::received(const QByteArray& wire)
{
    const Rfc2217Codec::Output out = codec.decode(wire);
    if (!out.reply.isEmpty() && online)
        emit sendWire(out.reply);
    if (codec.state() != Rfc2217Codec::ComPortState::Pending)
        answerTimer.stop();
    if (out.stateChanged || out.confirmedChanged)
        report();
    return out.data;
}

void Rfc2217Session::userLineChanged(quint32 baud, int stopBits)
{
    ComLineSettings wanted = codec.wanted();
    wanted.baudRate = baud;
    wanted.stopSize = stopBits == 2 ? ComLineSettings::Stop2 : ComLineSettings::Stop1;
    const QByteArray commands = codec.setWanted(wanted);
    qCDebug(lcVcom) << "user port now" << baud << "baud," << stopBits << "stop bits";
    if (online && !commands.isEmpty()) {
        // Data the program wrote before the change leave before the command.
        emit lineChanging();
        emit sendWire(commands);
    }
}

void Rfc2217Session::noAnswer()
{
    if (codec.giveUp())
        report();
}

QString Rfc2217Session::statusText() const
{
    const ComLineSettings& c = codec.confirmed();
    switch (codec.state()) {
    case Rfc2217Codec::ComPortState::Refused:
        return tr("RFC 2217 refused by the server, plain TCP");
    case Rfc2217Codec::ComPortState::Plain:
        return tr("no RFC 2217 answer from the server, plain TCP");
    case Rfc2217Codec::ComPortState::Accepted:
    case Rfc2217Codec::ComPortState::Pending:
        break;
    }
    if (c != ComLineSettings())
        return c.toText(); // the settings last confirmed, also while reconnecting
    if (!online)
        return tr("RFC 2217: not connected");
    return tr("RFC 2217: waiting for the server");
}

void Rfc2217Session::report()
{
    const QString text = statusText();
    if (text == lastStatus)
        return;
    lastStatus = text;
    emit statusChanged(text);
}
