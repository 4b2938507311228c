#include "CCirQueue.h"

#include <cstring>
#include <new>

CCirQueue::CCirQueue() = default;

CCirQueue::~CCirQueue()
{
    Free();
}

int CCirQueue::Initial(long long size, int maxFront)
{
    if (size <= 0 || maxFront <= 0)
        return -1;
    bufferSize = size;
    {
        std::lock_guard<std::mutex> lock(mutex);
        used = 0;
    }
    bytesInput = 0;
    bytesOutput = 0;
    blockPosition = 0;
    maxFrontSize = maxFront;
    delete[] frontBuffer;
    frontBuffer = new (std::nothrow) char[static_cast<size_t>(maxFront)];
    delete[] buffer;
    buffer = new (std::nothrow) char[static_cast<size_t>(size)];
    if (!frontBuffer || !buffer) {
        delete[] frontBuffer;
        delete[] buffer;
        frontBuffer = nullptr;
        buffer = nullptr;
        bufferSize = 0;
        return -1;
    }
    return 0;
}

int CCirQueue::Free()
{
    delete[] buffer;
    delete[] frontBuffer;
    buffer = nullptr;
    frontBuffer = nullptr;
    return 0;
}

int CCirQueue::Reset()
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        used = 0;
    }
    bytesInput = 0;
    bytesOutput = 0;
    blockPosition = 0;
    if (!buffer)
        return -1;
    std::memset(buffer, 0, static_cast<size_t>(bufferSize));
    return 0;
}

int CCirQueue::Memset(unsigned char fill)
{
    if (!buffer)
        return -1;
    std::memset(buffer, fill, static_cast<size_t>(bufferSize));
    return 0;
}

long long CCirQueue::Used() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return used;
}

int CCirQueue::Push(const char* data, int n)
{
    if (!buffer)
        return -1;
    if (n <= 0)
        return -2;
    if (Used() + n >= bufferSize - maxFrontSize)
        return -3;
    const long long in = bytesInput.load();
    const long long pos = in % bufferSize;
    const long long first = (pos + n <= bufferSize) ? n : bufferSize - pos;
    std::memcpy(buffer + pos, data, static_cast<size_t>(first));
    if (first < n)
        std::memcpy(buffer, data + first, static_cast<size_t>(n - first));
    {
        std::lock_guard<std::mutex> lock(mutex);
        used += n;
    }
    // Published after `used`, so the statistics never promise bytes Front would refuse.
    bytesInput = in + n;
    return 0;
}

int CCirQueue::Pop(int n)
{
    if (n <= 0)
        return -1;
    if (Used() < n)
        return -2;
    bytesOutput += n;
    std::lock_guard<std::mutex> lock(mutex);
    used -= n;
    return 0;
}

int CCirQueue::Front(const char*& out, int n) const
{
    // Without a ring there is nothing to view (the ring may not be initialised yet).
    if (!buffer || !frontBuffer || n < 0)
        return -1;
    if (Used() < n || maxFrontSize < n)
        return -1;
    const long long pos = bytesOutput.load() % bufferSize;
    if (pos + n <= bufferSize) {
        out = buffer + pos;
        return 0;
    }
    const long long first = bufferSize - pos;
    std::memcpy(frontBuffer, buffer + pos, static_cast<size_t>(first));
    std::memcpy(frontBuffer + first, buffer, static_cast<size_t>(n - first));
    out = frontBuffer;
    return 0;
}

int CCirQueue::Front(const char*& out, int n, int& position)
{
    const int rc = Front(out, n);
    position = static_cast<int>(bytesOutput.load());
    return rc;
}

const char* CCirQueue::GetBlockPointer(int n)
{
    if (!buffer || n <= 0 || bufferSize % n != 0)
        return nullptr;
    if (bytesInput.load() >= blockPosition + n && n <= bufferSize / 2) {
        const char* p = buffer + blockPosition % bufferSize;
        blockPosition += n;
        return p;
    }
    return nullptr;
}

const char* CCirQueue::GetBlockPointer(int n, long long& lost)
{
    if (!buffer || n <= 0 || bufferSize % n != 0)
        return nullptr;
    const long long in = bytesInput.load();
    if (in - blockPosition > bufferSize - maxFrontSize) {
        lost = in - blockPosition - (bufferSize - maxFrontSize);
        blockPosition = in + maxFrontSize - bufferSize;
    } else {
        lost = 0;
    }
    if (in - n >= blockPosition && n <= bufferSize / 2) {
        const char* p = buffer + blockPosition % bufferSize;
        blockPosition += n;
        return p;
    }
    return nullptr;
}

float CCirQueue::percent_of_usage() const
{
    if (bufferSize <= 0)
        return 0.0f;
    return static_cast<float>(static_cast<double>(buffer_usage()) / static_cast<double>(bufferSize) * 100.0);
}

unsigned long long CCirQueue::buffer_usage() const
{
    return static_cast<unsigned int>(bytesInput.load() - bytesOutput.load());
}

unsigned long long CCirQueue::buffer_free() const
{
    return static_cast<unsigned long long>(bufferSize) - buffer_usage();
}

unsigned long long CCirQueue::bytes_input() const
{
    return static_cast<unsigned long long>(bytesInput.load());
}

unsigned long long CCirQueue::bytes_output() const
{
    return static_cast<unsigned long long>(bytesOutput.load());
}

unsigned long long CCirQueue::buffer_size() const
{
    return static_cast<unsigned long long>(bufferSize);
}

unsigned int CCirQueue::max_front_size() const
{
    return static_cast<unsigned int>(maxFrontSize);
}

int CCirQueue::initialize(unsigned long long size, unsigned int maxFront, void* /*memory*/)
{
    if (size > 0x7fffffffffffffffULL || maxFront > 0x7fffffffU)
        return -1;
    return Initial(static_cast<long long>(size), static_cast<int>(maxFront));
}

int CCirQueue::reset()
{
    return Reset();
}

int CCirQueue::front(const char*& out, unsigned int n) const
{
    if (n > 0x7fffffffU)
        return -1;
    return Front(out, static_cast<int>(n));
}

int CCirQueue::push_back(const char* data, unsigned int n)
{
    if (n > 0x7fffffffU)
        return -3;
    return Push(data, static_cast<int>(n));
}

int CCirQueue::pop_front(unsigned int n)
{
    if (n > 0x7fffffffU)
        return -2;
    return Pop(static_cast<int>(n));
}

unsigned int CCirQueue::fetch_front(const char*& out, unsigned int n)
{
    if (n > 0x7fffffffU)
        return 0;
    long long lost = 0;
    const char* p = GetBlockPointer(static_cast<int>(n), lost);
    if (!p)
        return 0;
    out = p;
    return n;
}
