#include "Rfc2217Codec.h"

#include "vcomlog.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace {

QByteArray optionReply(quint8 verb, quint8 option)
{
    QByteArray r(3, Qt::Uninitialized);
    r[0] = static_cast<char>(Telnet::IAC);
    r[1] = static_cast<char>(verb);
    r[2] = static_cast<char>(option);
    return r;
}

const char* verbName(quint8 verb)
{
    switch (verb) {
    case Telnet::WILL: return "WILL";
    case Telnet::WONT: return "WONT";
    case Telnet::DO: return "DO";
    case Telnet::DONT: return "DONT";
    default: return "?";
    }
}

} // namespace

QString ComLineSettings::toText() const
{
    static const char parityLetters[] = "?NOEMS";
    const QString baud = baudRate ? QString::number(baudRate) : QStringLiteral("?");
    const QString data = dataSize ? QString::number(dataSize) : QStringLiteral("?");
    const QString par = QString(QLatin1Char(parity >= 1 && parity <= 5 ? parityLetters[parity] : '?'));
    QString stop = QStringLiteral("?");
    if (stopSize == Stop1)
        stop = QStringLiteral("1");
    else if (stopSize == Stop2)
        stop = QStringLiteral("2");
    else if (stopSize == Stop1_5)
        stop = QStringLiteral("1.5");
    return QStringLiteral("%1,%2,%3,%4").arg(baud, data, par, stop);
}

QByteArray Rfc2217Codec::start()
{
    std::fill(std::begin(us), std::end(us), Q::No);
    std::fill(std::begin(him), std::end(him), Q::No);
    rx = Rx::Data;
    verb = 0;
    lastWasCr = false;
    sawTelnet = false;
    subOverflow = false;
    sub.clear();
    comPort = ComPortState::Pending;
    sentLine = ComLineSettings(); // what the last server confirmed stays on show

    // We will use the COM port option, and binary transmission both ways (else a
    // Telnet peer may add or strip bytes after CR).
    us[Telnet::OptComPort] = Q::WantYes;
    us[Telnet::OptBinary] = Q::WantYes;
    him[Telnet::OptBinary] = Q::WantYes;
    return optionReply(Telnet::WILL, Telnet::OptComPort) + optionReply(Telnet::WILL, Telnet::OptBinary)
        + optionReply(Telnet::DO, Telnet::OptBinary);
}

bool Rfc2217Codec::localBinary() const
{
    return us[Telnet::OptBinary] == Q::Yes;
}

bool Rfc2217Codec::remoteBinary() const
{
    return him[Telnet::OptBinary] == Q::Yes;
}

bool Rfc2217Codec::acceptLocal(quint8 option)
{
    return option == Telnet::OptBinary || option == Telnet::OptSuppressGoAhead || option == Telnet::OptComPort;
}

bool Rfc2217Codec::acceptRemote(quint8 option)
{
    // Not ECHO: a server echoing our bytes back would corrupt the serial stream.
    return option == Telnet::OptBinary || option == Telnet::OptSuppressGoAhead || option == Telnet::OptComPort;
}

void Rfc2217Codec::setState(ComPortState s, Output& out)
{
    if (comPort == s)
        return;
    comPort = s;
    out.stateChanged = true;
}

Rfc2217Codec::Output Rfc2217Codec::decode(const QByteArray& bytes)
{
    Output out;
    if (comPort == ComPortState::Plain) {
        out.data = bytes;
        return out;
    }
    out.data.reserve(bytes.size());
    const char* p = bytes.constData();
    const int n = bytes.size();

    // Byte after IAC, also reached when a subnegotiation breaks off without IAC SE.
    auto afterIac = [&](quint8 c) {
        if (c == Telnet::IAC) {
            out.data.append(static_cast<char>(c));
            lastWasCr = false;
            rx = Rx::Data;
        } else if (c >= Telnet::WILL && c <= Telnet::DONT) {
            verb = c;
            rx = Rx::Option;
        } else if (c == Telnet::SB) {
            sub.clear();
            subOverflow = false;
            rx = Rx::Sub;
        } else if (c > Telnet::SE && c < Telnet::SB) {
            // NOP, data mark, go-ahead and the like carry nothing for a serial line.
            sawTelnet = true;
            rx = Rx::Data;
        } else {
            // No Telnet command: a raw port's binary data, passed on unchanged.
            out.data.append(static_cast<char>(Telnet::IAC));
            out.data.append(static_cast<char>(c));
            lastWasCr = false;
            rx = Rx::Data;
        }
    };

    for (int i = 0; i < n; ++i) {
        const quint8 c = static_cast<quint8>(p[i]);
        switch (rx) {
        case Rx::Data:
            if (c == Telnet::IAC) {
                rx = Rx::Iac;
            } else if (him[Telnet::OptBinary] != Q::No) {
                // Binary (or not yet refused): copy up to the next IAC in one go.
                const void* iac = std::memchr(p + i, Telnet::IAC, static_cast<size_t>(n - i));
                const int end = iac ? static_cast<int>(static_cast<const char*>(iac) - p) : n;
                out.data.append(p + i, end - i);
                lastWasCr = false;
                i = end - 1;
            } else {
                // Without binary mode a Telnet peer sends CR as CR NUL.
                if (!(lastWasCr && c == 0))
                    out.data.append(static_cast<char>(c));
                lastWasCr = c == '\r';
            }
            break;
        case Rx::Iac:
            afterIac(c);
            break;
        case Rx::Option:
            handleOption(verb, c, out);
            rx = Rx::Data;
            break;
        case Rx::Sub:
            if (c == Telnet::IAC) {
                rx = Rx::SubIac;
            } else if (sub.size() < maxSubnegotiation) {
                sub.append(static_cast<char>(c));
            } else {
                subOverflow = true;
            }
            break;
        case Rx::SubIac:
            if (c == Telnet::IAC) {
                if (sub.size() < maxSubnegotiation)
                    sub.append(static_cast<char>(c));
                else
                    subOverflow = true;
                rx = Rx::Sub;
            } else if (c == Telnet::SE) {
                sawTelnet = true; // only a whole subnegotiation counts
                if (!subOverflow)
                    handleSubnegotiation(out);
                sub.clear();
                rx = Rx::Data;
            } else {
                // IAC without SE ends a broken subnegotiation; the byte is a command.
                sub.clear();
                afterIac(c);
            }
            break;
        }
    }
    return out;
}

void Rfc2217Codec::handleOption(quint8 v, quint8 option, Output& out)
{
    sawTelnet = true;
    qCDebug(lcVcom) << "received" << verbName(v) << option;
    switch (v) {
    case Telnet::WILL:
        switch (him[option]) {
        case Q::No:
            if (acceptRemote(option)) {
                him[option] = Q::Yes;
                out.reply += optionReply(Telnet::DO, option);
            } else {
                out.reply += optionReply(Telnet::DONT, option);
            }
            break;
        case Q::Yes:
            break;
        case Q::WantNo:
        case Q::WantYes:
            him[option] = Q::Yes;
            break;
        }
        break;
    case Telnet::WONT:
        if (him[option] == Q::Yes)
            out.reply += optionReply(Telnet::DONT, option);
        him[option] = Q::No;
        break;
    case Telnet::DO:
        switch (us[option]) {
        case Q::No:
            if (acceptLocal(option)) {
                us[option] = Q::Yes;
                out.reply += optionReply(Telnet::WILL, option);
            } else {
                out.reply += optionReply(Telnet::WONT, option);
            }
            break;
        case Q::Yes:
            break;
        case Q::WantNo:
        case Q::WantYes:
            us[option] = Q::Yes;
            break;
        }
        if (option == Telnet::OptComPort && us[option] == Q::Yes && comPort != ComPortState::Accepted) {
            setState(ComPortState::Accepted, out);
            out.reply += lineCommands(true);
        }
        break;
    case Telnet::DONT:
        if (us[option] == Q::Yes)
            out.reply += optionReply(Telnet::WONT, option);
        us[option] = Q::No;
        if (option == Telnet::OptComPort)
            setState(ComPortState::Refused, out);
        break;
    default:
        break;
    }
}

void Rfc2217Codec::handleSubnegotiation(Output& out)
{
    if (sub.size() < 2 || static_cast<quint8>(sub.at(0)) != Telnet::OptComPort)
        return;
    const quint8 code = static_cast<quint8>(sub.at(1));
    const QByteArray value = sub.mid(2);
    ComLineSettings c = confirmedLine;
    switch (code) {
    case Telnet::ServerOffset + Telnet::Signature:
        // An empty signature asks for ours.
        if (value.isEmpty() && comPort == ComPortState::Accepted)
            out.reply += command(Telnet::Signature, QByteArrayLiteral("vxa VCOM"));
        break;
    case Telnet::ServerOffset + Telnet::SetBaudRate:
        if (value.size() == 4) {
            const auto* v = reinterpret_cast<const uchar*>(value.constData());
            const quint32 baud = (quint32(v[0]) << 24) | (quint32(v[1]) << 16) | (quint32(v[2]) << 8) | v[3];
            if (baud)
                c.baudRate = baud;
        }
        break;
    case Telnet::ServerOffset + Telnet::SetDataSize:
        if (value.size() == 1 && value.at(0) >= 5 && value.at(0) <= 8)
            c.dataSize = value.at(0);
        break;
    case Telnet::ServerOffset + Telnet::SetParity:
        if (value.size() == 1 && value.at(0) >= 1 && value.at(0) <= 5)
            c.parity = value.at(0);
        break;
    case Telnet::ServerOffset + Telnet::SetStopSize:
        if (value.size() == 1 && value.at(0) >= 1 && value.at(0) <= 3)
            c.stopSize = value.at(0);
        break;
    default:
        // Line and modem state notices, flow control: not used here.
        break;
    }
    if (c != confirmedLine) {
        confirmedLine = c;
        out.confirmedChanged = true;
        qCDebug(lcVcom) << "server confirms" << c.toText();
    }
}

QByteArray Rfc2217Codec::lineCommands(bool all)
{
    QByteArray r;
    if (all || wantedLine.baudRate != sentLine.baudRate)
        r += setBaudRate(wantedLine.baudRate);
    if (all || wantedLine.dataSize != sentLine.dataSize)
        r += setDataSize(wantedLine.dataSize);
    if (all || wantedLine.parity != sentLine.parity)
        r += setParity(wantedLine.parity);
    if (all || wantedLine.stopSize != sentLine.stopSize)
        r += setStopSize(wantedLine.stopSize);
    sentLine = wantedLine;
    return r;
}

QByteArray Rfc2217Codec::setWanted(const ComLineSettings& w)
{
    wantedLine = w;
    if (comPort != ComPortState::Accepted)
        return QByteArray();
    return lineCommands(false);
}

bool Rfc2217Codec::giveUp()
{
    if (comPort != ComPortState::Pending)
        return false;
    comPort = sawTelnet ? ComPortState::Refused : ComPortState::Plain;
    if (comPort == ComPortState::Plain) {
        rx = Rx::Data;
        sub.clear();
    }
    return true;
}

QByteArray Rfc2217Codec::encode(const QByteArray& data) const
{
    if (comPort == ComPortState::Plain)
        return data;
    const bool crNul = us[Telnet::OptBinary] == Q::No;
    if (!crNul)
        return escape(data);
    QByteArray out;
    out.reserve(data.size() + 16);
    for (int i = 0; i < data.size(); ++i) {
        const char c = data.at(i);
        out.append(c);
        if (static_cast<quint8>(c) == Telnet::IAC)
            out.append(c);
        else if (c == '\r' && (i + 1 >= data.size() || data.at(i + 1) != '\n'))
            out.append('\0');
    }
    return out;
}

QByteArray Rfc2217Codec::escape(const QByteArray& data)
{
    const char* p = data.constData();
    const int n = data.size();
    const void* first = std::memchr(p, Telnet::IAC, static_cast<size_t>(n));
    if (!first)
        return data;
    QByteArray out;
    out.reserve(n + n / 64 + 16);
    int from = 0;
    while (from < n) {
        const void* iac = std::memchr(p + from, Telnet::IAC, static_cast<size_t>(n - from));
        if (!iac) {
            out.append(p + from, n - from);
            break;
        }
        const int at = static_cast<int>(static_cast<const char*>(iac) - p);
        out.append(p + from, at - from + 1);
        out.append(static_cast<char>(Telnet::IAC));
        from = at + 1;
    }
    return out;
}

QByteArray Rfc2217Codec::command(quint8 code, const QByteArray& value)
{
    QByteArray r;
    r.reserve(value.size() + 8);
    r.append(static_cast<char>(Telnet::IAC));
    r.append(static_cast<char>(Telnet::SB));
    r.append(static_cast<char>(Telnet::OptComPort));
    r.append(static_cast<char>(code));
    r.append(escape(value));
    r.append(static_cast<char>(Telnet::IAC));
    r.append(static_cast<char>(Telnet::SE));
    return r;
}

QByteArray Rfc2217Codec::setBaudRate(quint32 baud)
{
    QByteArray v(4, Qt::Uninitialized);
    v[0] = static_cast<char>(baud >> 24);
    v[1] = static_cast<char>(baud >> 16);
    v[2] = static_cast<char>(baud >> 8);
    v[3] = static_cast<char>(baud);
    return command(Telnet::SetBaudRate, v);
}

QByteArray Rfc2217Codec::setDataSize(int bits)
{
    return command(Telnet::SetDataSize, QByteArray(1, static_cast<char>(bits)));
}

QByteArray Rfc2217Codec::setParity(int parity)
{
    return command(Telnet::SetParity, QByteArray(1, static_cast<char>(parity)));
}

QByteArray Rfc2217Codec::setStopSize(int stopSize)
{
    return command(Telnet::SetStopSize, QByteArray(1, static_cast<char>(stopSize)));
}
