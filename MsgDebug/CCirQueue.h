#pragma once

#include "IBuffer.h"

#include <atomic>
#include <mutex>

// Ring buffer for one producer and one consumer. The shared count of held bytes is
// changed only under the mutex; each side owns its own running total.
// Status: 0 done; -1 no buffer / bad size / bad Pop or Front count; -2 bad Push count or
// Pop beyond what is held; -3 Push beyond size - max front size.
class CCirQueue : public IBuffer
{
public:
    CCirQueue();
    ~CCirQueue() override;
    CCirQueue(const CCirQueue&) = delete;
    CCirQueue& operator=(const CCirQueue&) = delete;

    int Initial(long long size, int maxFront);
    int Free();
    int Reset();
    int Memset(unsigned char fill);
    int Push(const char* data, int n);
    int Pop(int n);
    int Front(const char*& out, int n) const;
    int Front(const char*& out, int n, int& position);
    const char* GetBlockPointer(int n);
    const char* GetBlockPointer(int n, long long& lost);

    // Bytes held, as the consumer and producer test it.
    long long Used() const;

    float percent_of_usage() const override;
    unsigned long long buffer_usage() const override;
    unsigned long long buffer_free() const override;
    unsigned long long bytes_input() const override;
    unsigned long long bytes_output() const override;
    unsigned long long buffer_size() const override;
    unsigned int max_front_size() const override;

    int initialize(unsigned long long size, unsigned int maxFront, void* memory) override;
    int reset() override;
    int front(const char*& out, unsigned int n) const override;
    int push_back(const char* data, unsigned int n) override;
    int pop_front(unsigned int n) override;
    unsigned int fetch_front(const char*& out, unsigned int n) override;

private:
    char* buffer = nullptr;
    char* frontBuffer = nullptr;
    long long bufferSize = 0;
    long long maxFrontSize = 1040;
    long long used = 0;
    std::atomic<long long> bytesInput{0};
    std::atomic<long long> bytesOutput{0};
    long long blockPosition = 0;
    mutable std::mutex mutex;
};
