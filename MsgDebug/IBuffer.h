#pragma once

// A byte queue between one producer and one consumer: bytes are appended at the back,
// the front is viewed in place (a contiguous view even across the ring's end) and then
// dropped. Status codes and counters are those of each implementation.
class IBuffer
{
public:
    virtual ~IBuffer() = default;

    virtual float percent_of_usage() const = 0;
    virtual unsigned long long buffer_usage() const = 0;
    virtual unsigned long long buffer_free() const = 0;
    virtual unsigned long long bytes_input() const = 0;
    virtual unsigned long long bytes_output() const = 0;
    virtual unsigned long long buffer_size() const = 0;
    virtual unsigned int max_front_size() const = 0;
    virtual unsigned long long input_bytes() const { return 0; }

    // `memory` is accepted for interface compatibility and not used.
    virtual int initialize(unsigned long long size, unsigned int maxFront, void* memory) = 0;
    virtual int reset() = 0;
    virtual int front(const char*& out, unsigned int n) const = 0;
    virtual int push_back(const char* data, unsigned int n) = 0;
    virtual int pop_front(unsigned int n) = 0;
    virtual unsigned int fetch_front(const char*& out, unsigned int n) = 0;
};
