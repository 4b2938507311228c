// libFuzzer target: the search-answer check and decoder on arbitrary captured bytes.
#include "ipframes.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // fromRawData: no copy, no terminator, so any read past the frame hits the sanitizer.
    const QByteArray frame = QByteArray::fromRawData(reinterpret_cast<const char*>(data), int(size));
    const bool accepted = ipframes::isSearchAnswer(frame);
    const ipframes::SearchAnswer a = ipframes::decodeSearchAnswer(frame);
    // Texts come from value bytes inside the frame only.
    const int n = int(size);
    if (a.name.size() > n || a.serial.size() > n || a.macText.size() > 3 * n || a.ipText.size() > 4 * n)
        std::abort();
    if (accepted && a.version.isEmpty())
        std::abort();
    if (a.uartNumber < 0 || a.uartNumber > 255)
        std::abort();
    return 0;
}
