#include "CFrameBufferPool.h"

namespace {

// Enough for the engine's own share, the host's current picture and one
// on its way back.
constexpr std::size_t kMaxSpares = 3;

} // namespace

CFrameBufferPool::CFrameBufferPool() = default;
CFrameBufferPool::~CFrameBufferPool() = default;

std::shared_ptr<unsigned char[]> CFrameBufferPool::take(std::size_t bytes)
{
    std::unique_ptr<unsigned char[]> buffer;
    {
        const std::lock_guard<std::mutex> lock(mutex);
        if (bytes != bufferBytes) {
            spares.clear();
            bufferBytes = bytes;
        }
        if (!spares.empty()) {
            buffer = std::move(spares.back());
            spares.pop_back();
        }
    }
    if (!buffer)
        buffer = std::make_unique_for_overwrite<unsigned char[]>(bytes);
    return { buffer.release(), Return { weak_from_this(), bytes } };
}

std::size_t CFrameBufferPool::spareCount()
{
    const std::lock_guard<std::mutex> lock(mutex);
    return spares.size();
}

void CFrameBufferPool::giveBack(std::unique_ptr<unsigned char[]> buffer, std::size_t bytes)
{
    const std::lock_guard<std::mutex> lock(mutex);
    if (bytes == bufferBytes && spares.size() < kMaxSpares)
        spares.push_back(std::move(buffer));
}

void CFrameBufferPool::Return::operator()(unsigned char* buffer) const
{
    std::unique_ptr<unsigned char[]> owned(buffer);
    if (const auto owner = pool.lock())
        owner->giveBack(std::move(owned), bytes);
}
