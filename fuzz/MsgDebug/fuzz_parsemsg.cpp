// Feeds arbitrary bytes to the frame decoder as if they were one whole frame.
#include "fuzzcommon.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CDebugWorker& w = fuzzWorker();
    const int before = w.nextIndex();
    const int errBefore = w.errSize();
    const QByteArray frame(reinterpret_cast<const char*>(data), static_cast<int>(size));
    w.parseMsgIntoCommand(frame);
    // Each input is either one decoded frame or one rejection of all its bytes.
    const bool decoded = w.nextIndex() == before + 1;
    const bool rejected = w.errSize() == errBefore + static_cast<int>(size);
    if (decoded == rejected && size > 0)
        abort();
    if (w.history().size() > CDebugWorker::HistorySize)
        abort();
    QCoreApplication::processEvents();
    if (w.nextIndex() > 100000)
        w.clearHistory();
    return 0;
}
