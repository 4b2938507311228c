#pragma once

#include <QByteArray>
#include <QString>

// Checksums an assistant panel can append to each frame it sends. The order is the
// order of the panel's checksum combo and the value stored in the preferences file.
namespace FrameChecksum {

enum Type {
    None = 0,
    Sum8,           // low byte of the sum of all bytes
    Xor8,           // all bytes XOR-ed
    Crc16Modbus,    // poly 0x8005 reflected, init 0xFFFF; sent low byte first
    Crc16CcittFalse, // poly 0x1021, init 0xFFFF; sent high byte first
    Crc32,          // IEEE 802.3 (zlib); sent little-endian
    TypeCount
};

// The type of a stored index; anything out of range is None.
Type typeFromIndex(int index);
// Untranslated name for the combo (translated by the panel with tr()).
const char* name(Type type);

// The checksum's value over data (0 for None).
quint32 value(Type type, const QByteArray& data);
// The checksum's bytes in wire order (empty for None).
QByteArray bytes(Type type, const QByteArray& data);
// data followed by its checksum bytes.
QByteArray appended(Type type, const QByteArray& data);

} // namespace FrameChecksum
