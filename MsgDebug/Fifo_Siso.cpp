#include "Fifo_Siso.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {
uint64_t roundUpToPowerOfTwo(uint64_t v)
{
    uint64_t p = 1;
    while (p < v && p != 0)
        p <<= 1;
    return p;
}
} // namespace

Fifo_Siso::Fifo_Siso() = default;

Fifo_Siso::~Fifo_Siso()
{
    release();
}

void Fifo_Siso::release()
{
    delete[] buffer;
    delete[] frontBuffer;
    buffer = nullptr;
    frontBuffer = nullptr;
    bufferSize = 0;
    maxFrontSize = 0;
}

int Fifo_Siso::initialize(unsigned long long size, unsigned int maxFront, void* /*memory*/)
{
    reset();
    release();
    const uint64_t rounded = roundUpToPowerOfTwo(size);
    if (size == 0 || rounded == 0)
        return 4;
    buffer = new (std::nothrow) char[rounded];
    if (!buffer)
        return 4;
    bufferSize = rounded;
    if (maxFront == 0 || maxFront == 0xFFFFFFFFU)
        return 0;
    frontBuffer = new (std::nothrow) char[maxFront];
    if (!frontBuffer) {
        release();
        return 4;
    }
    maxFrontSize = maxFront;
    return 0;
}

int Fifo_Siso::reset()
{
    writePosition = 0;
    bytesInput = 0;
    readPosition = 0;
    bytesOutput = 0;
    fetchPosition = 0;
    bytesFetched = 0;
    return 0;
}

unsigned long long Fifo_Siso::buffer_usage() const
{
    return bytesInput.load() - bytesOutput.load();
}

unsigned long long Fifo_Siso::buffer_free() const
{
    return bufferSize - buffer_usage();
}

unsigned long long Fifo_Siso::bytes_input() const
{
    return bytesInput.load();
}

unsigned long long Fifo_Siso::bytes_output() const
{
    return bytesOutput.load();
}

unsigned long long Fifo_Siso::buffer_size() const
{
    return bufferSize;
}

unsigned int Fifo_Siso::max_front_size() const
{
    return maxFrontSize;
}

float Fifo_Siso::percent_of_usage() const
{
    if (bufferSize == 0)
        return 0.0f;
    return static_cast<float>(static_cast<double>(buffer_usage()) / static_cast<double>(bufferSize) * 100.0);
}

int Fifo_Siso::push_back(const char* data, unsigned int n)
{
    if (!buffer)
        return 3;
    if (bufferSize - buffer_usage() < n)
        return 6;
    const uint64_t pos = writePosition.load() & (bufferSize - 1);
    const uint64_t first = std::min<uint64_t>(n, bufferSize - pos);
    std::memcpy(buffer + pos, data, first);
    if (first < n)
        std::memcpy(buffer, data + first, n - first);
    writePosition += n;
    bytesInput += n;
    return 0;
}

int Fifo_Siso::pop_front(unsigned int n)
{
    if (!buffer)
        return 3;
    if (buffer_usage() < n)
        return 2;
    readPosition += n;
    bytesOutput += n;
    return 0;
}

int Fifo_Siso::front(const char*& out, unsigned int n) const
{
    if (!buffer)
        return 3;
    if (buffer_usage() < n)
        return 5;
    const uint64_t pos = readPosition.load() & (bufferSize - 1);
    if (bufferSize - pos >= n) {
        out = buffer + pos;
        return 0;
    }
    if (!frontBuffer || maxFrontSize < n)
        return 2;
    const uint64_t first = bufferSize - pos;
    std::memcpy(frontBuffer, buffer + pos, first);
    std::memcpy(frontBuffer + first, buffer, n - first);
    out = frontBuffer;
    return 0;
}

unsigned int Fifo_Siso::fetch_front(const char*& out, unsigned int n)
{
    if (!buffer) {
        out = nullptr;
        return 0;
    }
    const uint64_t c = fetchPosition.load() & (bufferSize - 1);
    out = buffer + c;
    const uint64_t count = std::min<uint64_t>({uint64_t(n), bytesInput.load() - bytesFetched.load(), bufferSize - c});
    fetchPosition += count;
    bytesFetched += count;
    return static_cast<unsigned int>(count);
}
