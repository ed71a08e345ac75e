#include "video/CFrameBufferPool.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

TEST(CFrameBufferPool, HandsOutOnlyBuffersNobodyHolds)
{
    const auto pool = std::make_shared<CFrameBufferPool>();
    auto first = pool->take(64);
    const auto second = pool->take(64);
    EXPECT_NE(first.get(), second.get());

    // A dropped buffer comes back and is the next one handed out.
    const unsigned char* const firstAddress = first.get();
    auto copy = first;
    first.reset();
    EXPECT_EQ(pool->spareCount(), 0u) << "still held by a copy";
    copy.reset();
    EXPECT_EQ(pool->spareCount(), 1u);
    const auto third = pool->take(64);
    EXPECT_EQ(third.get(), firstAddress);
    EXPECT_EQ(pool->spareCount(), 0u);

    // An empty picture still gets a buffer of its own.
    EXPECT_NE(pool->take(0), nullptr);
}

TEST(CFrameBufferPool, KeepsFewSparesOfTheCurrentSizeOnly)
{
    auto pool = std::make_shared<CFrameBufferPool>();
    std::vector<std::shared_ptr<unsigned char[]>> held;
    for (int i = 0; i < 5; ++i)
        held.push_back(pool->take(32));
    held.clear();
    EXPECT_EQ(pool->spareCount(), 3u);

    // A new size drops the spares; a buffer of the old size is not kept.
    auto old = pool->take(32);
    const auto resized = pool->take(48);
    EXPECT_EQ(pool->spareCount(), 0u);
    old.reset();
    EXPECT_EQ(pool->spareCount(), 0u);

    // A buffer that outlives its pool is simply freed (the leak checker
    // watches this).
    auto survivor = pool->take(48);
    pool.reset();
    survivor[47] = 1;
    survivor.reset();
}
