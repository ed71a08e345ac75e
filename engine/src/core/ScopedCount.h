#pragma once

#include <atomic>

// Counts one more for as long as it lives: a thread inside some section, so
// that other threads can see whether anybody is.
class ScopedCount
{
public:
    explicit ScopedCount(std::atomic<int>& counter)
        : count(counter)
    {
        ++count;
    }
    ~ScopedCount() { --count; }
    ScopedCount(const ScopedCount&) = delete;
    ScopedCount& operator=(const ScopedCount&) = delete;

private:
    std::atomic<int>& count;
};
