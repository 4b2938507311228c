#pragma once

#include "IBuffer.h"

#include <atomic>
#include <cstdint>

// Lock-free ring for one producer and one consumer. The size is a power of two, so
// positions wrap by masking. Status: 0 done; 2 pop beyond held or wrapped front without
// room; 3 no buffer; 4 allocation failure; 5 front beyond held; 6 push beyond free.
class Fifo_Siso : public IBuffer
{
public:
    Fifo_Siso();
    ~Fifo_Siso() override;
    Fifo_Siso(const Fifo_Siso&) = delete;
    Fifo_Siso& operator=(const Fifo_Siso&) = delete;

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
    void release();

    char* buffer = nullptr;
    uint64_t bufferSize = 0;
    char* frontBuffer = nullptr;
    uint32_t maxFrontSize = 0;
    std::atomic<uint64_t> writePosition{0};
    std::atomic<uint64_t> bytesInput{0};
    std::atomic<uint64_t> readPosition{0};
    std::atomic<uint64_t> bytesOutput{0};
    std::atomic<uint64_t> fetchPosition{0};
    std::atomic<uint64_t> bytesFetched{0};
};
