#pragma once

#include <QByteArray>
#include <QString>

// Telnet bytes and option codes used by the COM port control option (RFC 854, 2217).
namespace Telnet {
enum : quint8 {
    SE = 240,
    NOP = 241,
    SB = 250,
    WILL = 251,
    WONT = 252,
    DO = 253,
    DONT = 254,
    IAC = 255,
};
enum : quint8 {
    OptBinary = 0,
    OptEcho = 1,
    OptSuppressGoAhead = 3,
    OptComPort = 44,
};
// Client-to-server commands of the COM port option; the server answers with code + 100.
enum : quint8 {
    Signature = 0,
    SetBaudRate = 1,
    SetDataSize = 2,
    SetParity = 3,
    SetStopSize = 4,
    ServerOffset = 100,
};
} // namespace Telnet

// Line settings in the option's own codes; 0 means "not known" (or, in a request,
// "tell me the current value" without changing it).
struct ComLineSettings
{
    enum Parity { ParityNone = 1, ParityOdd = 2, ParityEven = 3, ParityMark = 4, ParitySpace = 5 };
    enum StopSize { Stop1 = 1, Stop2 = 2, Stop1_5 = 3 };

    quint32 baudRate = 0;
    int dataSize = 0; // 5..8
    int parity = 0;   // Parity
    int stopSize = 0; // StopSize

    bool operator==(const ComLineSettings& o) const
    {
        return baudRate == o.baudRate && dataSize == o.dataSize && parity == o.parity && stopSize == o.stopSize;
    }
    bool operator!=(const ComLineSettings& o) const { return !(*this == o); }

    // "115200,8,E,1"; a part not known shows as "?".
    QString toText() const;
};

// Client side of a Telnet connection carrying the COM port control option, on bytes:
// negotiation, IAC escaping both ways, subnegotiations split across reads, the line
// setting commands and the server's confirmations. Owns no socket; the caller writes
// what the functions return.
class Rfc2217Codec
{
public:
    enum class ComPortState {
        Pending,  // asked, no answer yet
        Accepted, // the server takes line settings
        Refused,  // a Telnet server that said no: Telnet framing stays, no line settings
        Plain,    // no Telnet answer at all: bytes pass unchanged from now on
    };

    struct Output
    {
        QByteArray data;            // payload for the serial side
        QByteArray reply;           // to send to the server now
        bool confirmedChanged = false;
        bool stateChanged = false;
    };

    // Starts over (for a new TCP connection) and returns the opening requests.
    QByteArray start();
    Output decode(const QByteArray& bytes);
    // Payload to wire bytes.
    QByteArray encode(const QByteArray& data) const;

    // The settings the client wants (0 parts are only asked for). Returns the commands
    // to send now: those that differ from what was sent, once the option is accepted;
    // until then they wait and go out with the acceptance reply.
    QByteArray setWanted(const ComLineSettings& wanted);
    // No answer in time: a server that never spoke Telnet is treated as a raw one;
    // one that did keeps the framing. Returns true when the state changed.
    bool giveUp();

    ComPortState state() const { return comPort; }
    bool telnetSeen() const { return sawTelnet; }
    const ComLineSettings& confirmed() const { return confirmedLine; }
    const ComLineSettings& wanted() const { return wantedLine; }
    bool localBinary() const;
    bool remoteBinary() const;

    // One COM port command with its value escaped.
    static QByteArray command(quint8 code, const QByteArray& value);
    static QByteArray setBaudRate(quint32 baud);
    static QByteArray setDataSize(int bits);
    static QByteArray setParity(int parity);
    static QByteArray setStopSize(int stopSize);
    static QByteArray escape(const QByteArray& data);

    static constexpr int maxSubnegotiation = 512;

private:
    enum class Q : quint8 { No, Yes, WantNo, WantYes };
    enum class Rx : quint8 { Data, Iac, Option, Sub, SubIac };

    void handleOption(quint8 verb, quint8 option, Output& out);
    void handleSubnegotiation(Output& out);
    QByteArray lineCommands(bool all);
    void setState(ComPortState s, Output& out);
    static bool acceptLocal(quint8 option);
    static bool acceptRemote(quint8 option);

    Q us[256] = {};
    Q him[256] = {};
    Rx rx = Rx::Data;
    quint8 verb = 0;
    bool lastWasCr = false;
    bool sawTelnet = false;
    bool subOverflow = false;
    QByteArray sub;
    ComPortState comPort = ComPortState::Pending;
    ComLineSettings wantedLine;
    ComLineSettings sentLine;
    ComLineSettings confirmedLine;
};
