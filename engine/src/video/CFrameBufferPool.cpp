#include "video/CFrameBufferPool.h"

#include <algorithm>
#include <new>
#include <sys/mman.h>

namespace {

// Enough for the engine's own share, the host's current picture and one
// on its way back.
constexpr std::size_t kMaxSpares = 3;

} // namespace

CFrameBufferPool::CFrameBufferPool() = default;
CFrameBufferPool::~CFrameBufferPool() = default;

std::shared_ptr<unsigned char[]> CFrameBufferPool::take(std::size_t bytes)
{
    // A mapping cannot be empty; a zero-byte buffer still gets one page.
    const std::size_t length = std::max<std::size_t>(bytes, 1);
    Mapping buffer;
    {
        const std::lock_guard<std::mutex> lock(mutex);
        if (length != bufferBytes) {
            spares.clear();
            bufferBytes = length;
        }
        if (!spares.empty()) {
            buffer = std::move(spares.back());
            spares.pop_back();
        }
    }
    if (!buffer)
        buffer = map(length);
    return { buffer.release(), Return { weak_from_this(), length } };
}

std::size_t CFrameBufferPool::spareCount()
{
    const std::lock_guard<std::mutex> lock(mutex);
    return spares.size();
}

CFrameBufferPool::Mapping CFrameBufferPool::map(std::size_t bytes)
{
    void* const address
        = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (address == MAP_FAILED)
        throw std::bad_alloc();
    return Mapping(static_cast<unsigned char*>(address), Unmap { bytes });
}

void CFrameBufferPool::giveBack(Mapping buffer)
{
    const std::lock_guard<std::mutex> lock(mutex);
    if (buffer.get_deleter().bytes == bufferBytes && spares.size() < kMaxSpares)
        spares.push_back(std::move(buffer));
}

void CFrameBufferPool::Unmap::operator()(unsigned char* buffer) const { munmap(buffer, bytes); }

void CFrameBufferPool::Return::operator()(unsigned char* buffer) const
{
    Mapping owned(buffer, Unmap { bytes });
    if (const auto owner = pool.lock())
        owner->giveBack(std::move(owned));
}
