// Feeds arbitrary server bytes to the Telnet codec, whole and cut into arbitrary pieces:
// both must give the same payload, replies and state (a read boundary changes nothing),
// the payload is never longer than the wire, and after any of it, data a binary server
// escapes comes back unchanged.
#include "Rfc2217Codec.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#define check(x) checkAt((x), __LINE__)

namespace {

struct Result
{
    QByteArray data;
    QByteArray reply;
};

void checkAt(bool ok, int line)
{
    if (!ok) {
        std::fprintf(stderr, "check failed at line %d\n", line);
        abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size)
{
    FuzzedDataProvider in(bytes, size);
    ComLineSettings wanted;
    wanted.baudRate = in.ConsumeIntegral<quint32>();
    wanted.dataSize = in.ConsumeIntegralInRange<int>(0, 8);
    wanted.parity = in.ConsumeIntegralInRange<int>(0, 5);
    wanted.stopSize = in.ConsumeIntegralInRange<int>(0, 3);
    const bool giveUpFirst = in.ConsumeBool();
    const std::string cuts = in.ConsumeBytesAsString(in.ConsumeIntegralInRange<size_t>(0, 64));
    const std::string wireText = in.ConsumeRemainingBytesAsString();
    const QByteArray wire(wireText.data(), static_cast<int>(wireText.size()));

    Rfc2217Codec whole;
    Rfc2217Codec pieces;
    for (Rfc2217Codec* c : {&whole, &pieces}) {
        c->setWanted(wanted);
        c->start();
        if (giveUpFirst)
            c->giveUp();
    }
    Result a;
    const Rfc2217Codec::Output out = whole.decode(wire);
    a.data = out.data;
    a.reply = out.reply;
    Result b;
    int at = 0;
    for (size_t i = 0; at < wire.size(); ++i) {
        const int n = i < cuts.size() ? 1 + static_cast<unsigned char>(cuts[i]) % 97 : wire.size() - at;
        const Rfc2217Codec::Output o = pieces.decode(wire.mid(at, n));
        b.data += o.data;
        b.reply += o.reply;
        at += n;
    }
    check(a.data == b.data && a.reply == b.reply);
    check(whole.state() == pieces.state() && whole.confirmed() == pieces.confirmed());
    check(whole.telnetSeen() == pieces.telnetSeen());
    check(a.data.size() <= wire.size());
    if (whole.state() == Rfc2217Codec::ComPortState::Plain)
        check(a.data == wire);

    // A server that takes binary both ways now: escaped payload decodes to itself. The first
    // round ends whatever command the wire left open, the second is then read as such.
    const QByteArray payload = wire.left(256);
    whole.decode(QByteArray::fromHex("fffb00fffd00"));
    whole.decode(QByteArray::fromHex("fffb00fffd00"));
    // A raw server's bytes pass as they are.
    const bool plain = whole.state() == Rfc2217Codec::ComPortState::Plain;
    check(plain || whole.remoteBinary());
    const Rfc2217Codec::Output back = whole.decode(plain ? payload : Rfc2217Codec::escape(payload));
    check(back.data == payload);
    return 0;
}
