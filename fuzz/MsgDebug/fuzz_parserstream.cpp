// Feeds an arbitrary byte stream, cut into arbitrary chunks, through the queue and the
// parser loop (run without its thread) and checks that the parser never stalls on a
// whole frame candidate and that every byte is accounted for.
#include "CCirQueue.h"
#include "fuzzcommon.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CDebugWorker& w = fuzzWorker();
    CCirQueue& q = *w.queue();
    FuzzedDataProvider in(data, size);
    long long fed = 0;
    const long long base = static_cast<long long>(q.bytes_output());
    while (in.remaining_bytes() > 0) {
        const size_t chunk = in.ConsumeIntegralInRange<size_t>(1, 4096);
        const std::string bytes = in.ConsumeBytesAsString(chunk);
        w.receiveBlock(QByteArray(bytes.data(), static_cast<int>(bytes.size())));
        fed += static_cast<long long>(bytes.size());
        w.parsePending();

        // What is left must be an incomplete frame: fewer than 7 bytes, or a good head
        // with a plausible length that is not yet all there.
        const long long held = q.Used();
        if (held >= 7) {
            const char* view = nullptr;
            if (q.Front(view, 7) != 0)
                abort();
            const int length = (static_cast<unsigned char>(view[3]) << 8) | static_cast<unsigned char>(view[4]);
            const bool head = view[0] == 0x7d && view[1] == 0x7d && view[2] == 0x7d;
            if (!head || length < CDebugWorker::MinFrameSize || held >= length)
                abort();
        }
        const long long consumed = static_cast<long long>(q.bytes_output()) - base;
        if (consumed + held != fed)
            abort();
        if (static_cast<long long>(w.formatErrSize()) + w.errSize() > consumed)
            abort();
    }
    if (w.contentSize() != fed)
        abort();
    QCoreApplication::processEvents();
    // Empty the queue and counters for the next input without touching the whole ring.
    const long long rest = q.Used();
    if (rest > 0)
        q.Pop(static_cast<int>(rest));
    w.clearHistory();
    return 0;
}
