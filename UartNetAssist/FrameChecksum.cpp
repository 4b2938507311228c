#include "FrameChecksum.h"

#include <QtGlobal>

#include <array>

namespace FrameChecksum {

namespace {

quint32 sum8(const QByteArray& data)
{
    quint32 sum = 0;
    for (const char c : data)
        sum += static_cast<uchar>(c);
    return sum & 0xff;
}

quint32 xor8(const QByteArray& data)
{
    uchar x = 0;
    for (const char c : data)
        x ^= static_cast<uchar>(c);
    return x;
}

quint32 crc16Modbus(const QByteArray& data)
{
    quint16 crc = 0xffff;
    for (const char c : data) {
        crc ^= static_cast<uchar>(c);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? quint16((crc >> 1) ^ 0xa001) : quint16(crc >> 1);
    }
    return crc;
}

quint32 crc16CcittFalse(const QByteArray& data)
{
    quint16 crc = 0xffff;
    for (const char c : data) {
        crc ^= quint16(static_cast<uchar>(c) << 8);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x8000) ? quint16((crc << 1) ^ 0x1021) : quint16(crc << 1);
    }
    return crc;
}

// Frames may be file chunks of some KiB: a table keeps that a byte step each.
const std::array<quint32, 256>& crc32Table()
{
    static const std::array<quint32, 256> table = [] {
        std::array<quint32, 256> t{};
        for (quint32 i = 0; i < 256; ++i) {
            quint32 c = i;
            for (int bit = 0; bit < 8; ++bit)
                c = (c & 1) ? (c >> 1) ^ 0xedb88320u : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    return table;
}

quint32 crc32(const QByteArray& data)
{
    const auto& table = crc32Table();
    quint32 crc = 0xffffffffu;
    for (const char c : data)
        crc = table[(crc ^ static_cast<uchar>(c)) & 0xff] ^ (crc >> 8);
    return crc ^ 0xffffffffu;
}

} // namespace

Type typeFromIndex(int index)
{
    return (index > None && index < TypeCount) ? static_cast<Type>(index) : None;
}

const char* name(Type type)
{
    switch (type) {
    case Sum8:
        return "SUM-8";
    case Xor8:
        return "XOR-8";
    case Crc16Modbus:
        return "CRC-16/MODBUS";
    case Crc16CcittFalse:
        return "CRC-16/CCITT-FALSE";
    case Crc32:
        return "CRC-32";
    default:
        return "None";
    }
}

quint32 value(Type type, const QByteArray& data)
{
    switch (type) {
    case Sum8:
        return sum8(data);
    case Xor8:
        return xor8(data);
    case Crc16Modbus:
        return crc16Modbus(data);
    case Crc16CcittFalse:
        return crc16CcittFalse(data);
    case Crc32:
        return crc32(data);
    default:
        return 0;
    }
}

QByteArray bytes(Type type, const QByteArray& data)
{
    const quint32 v = value(type, data);
    QByteArray out;
    switch (type) {
    case Sum8:
    case Xor8:
        out.append(char(v & 0xff));
        break;
    case Crc16Modbus: // Modbus RTU puts the CRC low byte first
        out.append(char(v & 0xff));
        out.append(char((v >> 8) & 0xff));
        break;
    case Crc16CcittFalse:
        out.append(char((v >> 8) & 0xff));
        out.append(char(v & 0xff));
        break;
    case Crc32:
        for (int shift = 0; shift < 32; shift += 8)
            out.append(char((v >> shift) & 0xff));
        break;
    default:
        break;
    }
    return out;
}

QByteArray appended(Type type, const QByteArray& data)
{
    return data + bytes(type, data);
}

} // namespace FrameChecksum
