#pragma once

#include <cstddef>
#include <memory>
#include <mutex>
#include <vector>

// Recycles the picture buffers that exportFrame hands out. A host drops a
// picture soon after the next one arrives, so a few buffers circulate
// instead of a fresh allocation per call. A buffer comes back to the pool
// only when its last holder drops it; one the pool cannot keep (the pool is
// full or gone, or the picture size has changed) is freed. Buffers come back
// only to a pool owned by a shared pointer.
//
// Each buffer is a page mapping of its own rather than a block of the
// caller's heap: a frame-sized block would otherwise sit in the arena of
// whichever host thread asked for it, and freed ones would stay resident
// there; a mapping is returned to the system as soon as it is freed.
class CFrameBufferPool : public std::enable_shared_from_this<CFrameBufferPool>
{
public:
    CFrameBufferPool();
    virtual ~CFrameBufferPool();

    // A buffer of `bytes` bytes with undefined contents, shared by its
    // holders; never one that someone still holds. Throws std::bad_alloc
    // when no memory can be had.
    std::shared_ptr<unsigned char[]> take(std::size_t bytes);

    std::size_t spareCount();

private:
    struct Unmap
    {
        std::size_t bytes;
        void operator()(unsigned char* buffer) const;
    };
    using Mapping = std::unique_ptr<unsigned char[], Unmap>;

    static Mapping map(std::size_t bytes);
    void giveBack(Mapping buffer);

    struct Return
    {
        std::weak_ptr<CFrameBufferPool> pool;
        std::size_t bytes;
        void operator()(unsigned char* buffer) const;
    };

    std::mutex mutex;
    std::size_t bufferBytes = 0;
    std::vector<Mapping> spares;
};
