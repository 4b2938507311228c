// libFuzzer target: the configuration-answer check on arbitrary captured bytes.
#include "ipframes.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray frame = QByteArray::fromRawData(reinterpret_cast<const char*>(data), int(size));
    const int code = ipframes::configAnswerCode(frame);
    if (code < -1 || code > 255)
        std::abort();
    if (code >= 0 && (size < 30 || data[19] != code || (data[17] != 0x40 && data[17] != 0x80)))
        std::abort();
    ipframes::configResultText(code);
    return 0;
}
