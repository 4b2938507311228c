#include "ipframes.h"

#include <QStringList>

namespace ipframes {

namespace {

constexpr quint8 kTrailer[2] = {0x66, 0x88};

void putMac(QByteArray& f, int at, const MacBytes& mac)
{
    for (int i = 0; i < 6; ++i)
        f[at + i] = char(mac[size_t(i)]);
}

void putIp(QByteArray& f, int at, const Ip4Bytes& ip)
{
    for (int i = 0; i < 4; ++i)
        f[at + i] = char(ip[size_t(i)]);
}

// Common 18-byte head: destination, source, EtherType 0x0806, marker, 00, opcode.
QByteArray frameHead(int size, const MacBytes& dst, const MacBytes& src, quint16 opcode, quint8 marker = kProtocolMarker)
{
    QByteArray f(size, '\0');
    putMac(f, 0, dst);
    putMac(f, 6, src);
    f[12] = char(0x08);
    f[13] = char(0x06);
    f[14] = char(marker);
    f[15] = 0;
    f[16] = char(opcode >> 8);
    f[17] = char(opcode & 0xff);
    return f;
}

quint8 at(const QByteArray& f, int i)
{
    return quint8(f.at(i));
}

// Every value byte as one Latin-1 character, NULs removed. The explicit length matters:
// the QByteArray overload stops at the first NUL, which would cut "Ga\0te" to "Ga".
QString latin1Text(const QByteArray& value)
{
    QString s = QString::fromLatin1(value.constData(), value.size());
    s.remove(QChar(0));
    return s;
}

QString dottedText(const QByteArray& value)
{
    QStringList parts;
    for (char c : value)
        parts << QString::number(quint8(c));
    return parts.join(QLatin1Char('.'));
}

QString colonHexText(const QByteArray& value)
{
    QStringList parts;
    for (char c : value)
        parts << QStringLiteral("%1").arg(quint8(c), 2, 16, QLatin1Char('0'));
    return parts.join(QLatin1Char(':'));
}

template <size_t N>
void copyCut(const QByteArray& value, std::array<quint8, N>* out)
{
    out->fill(0);
    const int n = qMin(value.size(), int(N));
    for (int i = 0; i < n; ++i)
        (*out)[size_t(i)] = quint8(value.at(i));
}

} // namespace

bool parseMac(const QString& text, MacBytes* out)
{
    const QStringList parts = text.split(QLatin1Char(':'));
    if (parts.size() != 6)
        return false;
    MacBytes mac{};
    for (int i = 0; i < 6; ++i) {
        const QString& p = parts.at(i);
        bool ok = false;
        const uint v = p.toUInt(&ok, 16);
        if (!ok || p.size() > 2 || v > 0xff)
            return false;
        mac[size_t(i)] = quint8(v);
    }
    *out = mac;
    return true;
}

bool parseIp4(const QString& text, Ip4Bytes* out)
{
    const QStringList parts = text.split(QLatin1Char('.'));
    if (parts.size() != 4)
        return false;
    Ip4Bytes ip{};
    for (int i = 0; i < 4; ++i) {
        const QString& p = parts.at(i);
        if (p.isEmpty() || p.size() > 3)
            return false;
        for (QChar c : p)
            if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                return false;
        const uint v = p.toUInt();
        if (v > 255)
            return false;
        ip[size_t(i)] = quint8(v);
    }
    *out = ip;
    return true;
}

QByteArray buildSearchRequest(const MacBytes& srcMac)
{
    static const MacBytes broadcast = {0xff, 0xff, 0xff, 0xff, 0xff, 0xff};
    QByteArray f = frameHead(kSearchRequestSize, broadcast, srcMac, OpSearchRequest);
    f[20] = char(kTrailer[0]);
    f[21] = char(kTrailer[1]);
    return f;
}

QByteArray buildConfigRequest(const MacBytes& dstMac, const MacBytes& srcMac, bool temporary,
                              const Ip4Bytes& mask, const Ip4Bytes& ip, const Ip4Bytes& gateway)
{
    QByteArray f = frameHead(kConfigRequestSize, dstMac, srcMac, temporary ? OpConfigTemporary : OpConfigPermanent);
    f[18] = 0x06;
    f[19] = 0x04;
    f[22] = 0x00;
    f[23] = 0x04;
    putIp(f, 24, mask);
    putIp(f, 28, ip);
    f[32] = 0x00;
    f[33] = 0x04;
    putIp(f, 34, gateway);
    f[40] = char(kTrailer[0]);
    f[41] = char(kTrailer[1]);
    return f;
}

QByteArray buildIndicatorRequest(const MacBytes& dstMac, const MacBytes& srcMac, bool on)
{
    QByteArray f = frameHead(kIndicatorRequestSize, dstMac, srcMac, OpIndicator);
    f[18] = 0x06;
    f[19] = 0x04;
    f[22] = char(on ? 0x01 : 0x02);
    putMac(f, 32, srcMac);
    f[40] = char(kTrailer[0]);
    f[41] = char(kTrailer[1]);
    return f;
}

quint16 opcodeOf(const QByteArray& frame)
{
    if (frame.size() < 18)
        return 0;
    return quint16((at(frame, 16) << 8) | at(frame, 17));
}

bool isSearchAnswer(const QByteArray& frame)
{
    const int L = frame.size();
    if (L < 22)
        return false;
    return at(frame, 12) == 0x08 && at(frame, 13) == 0x06 && opcodeOf(frame) == OpSearchAnswer
        && at(frame, L - 4) == 0x00 && at(frame, L - 3) == 0x00 && at(frame, L - 2) == kTrailer[0]
        && at(frame, L - 1) == kTrailer[1];
}

int configAnswerCode(const QByteArray& frame)
{
    if (frame.size() < kConfigAnswerMinSize)
        return -1;
    if (at(frame, 12) != 0x08 || at(frame, 13) != 0x06)
        return -1;
    if (at(frame, 26) != 0x00 || at(frame, 27) != 0x00 || at(frame, 28) != kTrailer[0] || at(frame, 29) != kTrailer[1])
        return -1;
    if (at(frame, 16) != 0x00 || (at(frame, 17) != 0x40 && at(frame, 17) != 0x80))
        return -1;
    return at(frame, 19);
}

MacBytes sourceMacOf(const QByteArray& frame)
{
    MacBytes mac{};
    if (frame.size() >= 12)
        for (int i = 0; i < 6; ++i)
            mac[size_t(i)] = at(frame, 6 + i);
    return mac;
}

const char* configResultText(int code)
{
    switch (code) {
    case ResultSuccess: return "success";
    case ResultTooOften: return "too often";
    case ResultValidationFailed: return "validation failed";
    case ResultIpConflicts: return "ip conflicts";
    case ResultFailed: return "failed";
    default: return "";
    }
}

SearchAnswer decodeSearchAnswer(const QByteArray& frame)
{
    SearchAnswer a;
    const int L = frame.size();
    if (L < 15)
        return a;
    a.version = at(frame, 14) == kProtocolMarker ? QStringLiteral("1.0") : QStringLiteral("1.1");
    const int end = L - 4; // the element area stops before 00 00 66 88
    int off = 20;
    while (off < end) {
        // Type and length must both lie inside the element area, and so must the value.
        if (off + 2 > end) {
            a.truncated = true;
            break;
        }
        const quint8 type = at(frame, off);
        const int n = at(frame, off + 1);
        if (off + 2 + n > end) {
            a.truncated = true;
            break;
        }
        const QByteArray value = frame.mid(off + 2, n);
        switch (type) {
        case ElemIp:
            a.ipText = dottedText(value);
            copyCut(value, &a.ip);
            break;
        case ElemMac:
            a.macText = colonHexText(value);
            copyCut(value, &a.mac);
            break;
        case ElemMask:
            a.maskText = dottedText(value);
            copyCut(value, &a.mask);
            break;
        case ElemName:
            a.name = latin1Text(value);
            break;
        case ElemGateway:
            a.gatewayText = dottedText(value);
            copyCut(value, &a.gateway);
            break;
        case ElemSerial:
            a.serial = latin1Text(value);
            break;
        case ElemUartCount:
            if (n > 0) {
                a.uartNumber = quint8(value.at(n - 1));
                a.uartText = QString::number(a.uartNumber);
            } else {
                a.uartNumber = 0;
                a.uartText.clear();
            }
            break;
        default:
            break;
        }
        off += 2 + n;
    }
    return a;
}

QByteArray buildSearchAnswer(const MacBytes& dstMac, const DeviceIdentity& dev)
{
    QByteArray f = frameHead(20, dstMac, dev.mac, OpSearchAnswer, dev.versionByte);
    auto element = [&f](quint8 type, const QByteArray& value) {
        const int n = qMin(value.size(), 255);
        f.append(char(type));
        f.append(char(n));
        f.append(value.left(n));
    };
    auto bytes = [](const auto& arr) {
        return QByteArray(reinterpret_cast<const char*>(arr.data()), int(arr.size()));
    };
    element(ElemMac, bytes(dev.mac));
    element(ElemIp, bytes(dev.ip));
    element(ElemMask, bytes(dev.mask));
    element(ElemGateway, bytes(dev.gateway));
    element(ElemName, dev.name);
    element(ElemSerial, dev.serial);
    QByteArray uart(2, '\0');
    uart[0] = char((dev.uartCount >> 8) & 0xff);
    uart[1] = char(dev.uartCount & 0xff);
    element(ElemUartCount, uart);
    f.append(QByteArray::fromRawData("\x00\x00\x66\x88", 4));
    return f;
}

QByteArray buildConfigAnswer(const MacBytes& dstMac, const MacBytes& srcMac, bool temporary, quint8 code)
{
    QByteArray f = frameHead(kConfigAnswerMinSize, dstMac, srcMac,
                             temporary ? OpConfigAnswerTemporary : OpConfigAnswerPermanent);
    f[18] = 0x00;
    f[19] = char(code);
    f[26] = 0x00;
    f[27] = 0x00;
    f[28] = char(kTrailer[0]);
    f[29] = char(kTrailer[1]);
    return f;
}

QString macToText(const MacBytes& mac)
{
    return colonHexText(QByteArray(reinterpret_cast<const char*>(mac.data()), 6));
}

QString ip4ToText(const Ip4Bytes& ip)
{
    return dottedText(QByteArray(reinterpret_cast<const char*>(ip.data()), 4));
}

} // namespace ipframes
