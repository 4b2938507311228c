#pragma once

// Raw Ethernet frames of the device discovery and address configuration protocol.
// Pure byte work, no GUI and no capture: the panel, the device simulator, the tests and
// the fuzz targets all go through these functions.

#include <QByteArray>
#include <QString>

#include <array>

namespace ipframes {

using MacBytes = std::array<quint8, 6>;
using Ip4Bytes = std::array<quint8, 4>;

// Opcodes (bytes 16-17, big-endian).
enum Opcode : quint16 {
    OpSearchRequest = 0x0010,
    OpSearchAnswer = 0x0020,
    OpConfigPermanent = 0x0030,
    OpConfigAnswerPermanent = 0x0040,
    OpIndicator = 0x0050,
    OpConfigTemporary = 0x0070,
    OpConfigAnswerTemporary = 0x0080,
};

enum ElementType : quint8 {
    ElemIp = 0x14,
    ElemMac = 0x20,
    ElemMask = 0x24,
    ElemName = 0x30,
    ElemGateway = 0x34,
    ElemSerial = 0x36,
    ElemUartCount = 0x37,
};

// Result codes of a configuration answer (byte 19).
enum ConfigResult : int {
    ResultSuccess = 0x66,
    ResultTooOften = 0x67,
    ResultValidationFailed = 0x68,
    ResultIpConflicts = 0x69,
    ResultFailed = 0x70, // also used when no answer came
};

constexpr quint8 kProtocolMarker = 0x23;
constexpr int kSearchRequestSize = 22;
constexpr int kConfigRequestSize = 42;
constexpr int kIndicatorRequestSize = 42;
constexpr int kConfigAnswerMinSize = 30;

// The one place where address texts become bytes; everything else takes parsed bytes.
// Stricter than the shared string2array_mac/string2array_ip on purpose, so that no frame
// goes to a half-typed or garbled address: a MAC text must split at ':' into exactly six
// pieces of one or two hex digits, an IPv4 text must be four dotted decimal numbers 0-255.
// Both return false and leave *out untouched otherwise.
bool parseMac(const QString& text, MacBytes* out);
bool parseIp4(const QString& text, Ip4Bytes* out);

// Requests sent by the program.
QByteArray buildSearchRequest(const MacBytes& srcMac);
QByteArray buildConfigRequest(const MacBytes& dstMac, const MacBytes& srcMac, bool temporary,
                              const Ip4Bytes& mask, const Ip4Bytes& ip, const Ip4Bytes& gateway);
QByteArray buildIndicatorRequest(const MacBytes& dstMac, const MacBytes& srcMac, bool on);

// Frame classification.
quint16 opcodeOf(const QByteArray& frame); // 0 when the frame is too short
bool isSearchAnswer(const QByteArray& frame);
// The result code (byte 19) of an accepted configuration answer, or -1.
int configAnswerCode(const QByteArray& frame);
// The sender (bytes 6-11) of a frame; all zero when the frame is too short.
MacBytes sourceMacOf(const QByteArray& frame);
// The text shown for a result code; empty for unknown codes. Not translated here.
const char* configResultText(int code);

// One decoded search answer. Cell texts show every value byte; the byte fields hold at
// most their width (longer values are cut, shorter ones leave the rest zero).
struct SearchAnswer {
    QString version; // "1.0" when byte 14 is the protocol marker, else "1.1"
    QString macText;
    QString name;
    QString ipText;
    QString maskText;
    QString gatewayText;
    QString serial;
    QString uartText;
    MacBytes mac{};
    Ip4Bytes ip{};
    Ip4Bytes mask{};
    Ip4Bytes gateway{};
    int uartNumber = 0;
    bool truncated = false; // an element ran past the element area; the walk stopped there
};

// Decodes any byte array without reading outside it; meant for accepted answers.
SearchAnswer decodeSearchAnswer(const QByteArray& frame);

// Builds a search answer as a device sends it (simulator, tests, benchmark).
struct DeviceIdentity {
    MacBytes mac{};
    Ip4Bytes ip{};
    Ip4Bytes mask{};
    Ip4Bytes gateway{};
    QByteArray name;
    QByteArray serial;
    int uartCount = 1;
    quint8 versionByte = kProtocolMarker;
};
QByteArray buildSearchAnswer(const MacBytes& dstMac, const DeviceIdentity& dev);
QByteArray buildConfigAnswer(const MacBytes& dstMac, const MacBytes& srcMac, bool temporary, quint8 code);

QString macToText(const MacBytes& mac);
QString ip4ToText(const Ip4Bytes& ip);

} // namespace ipframes
