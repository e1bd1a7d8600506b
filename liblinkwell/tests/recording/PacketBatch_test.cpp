// Packets copied into a batch stay whole and in order, whether they share a
// block, fill one exactly or are larger than a block, and also when the
// blocks come back from the pool for the next batch.
#include "recording/PacketBatch.hpp"

#include <gtest/gtest.h>

#include <cstring>

using Sarvik::PacketBatch;

namespace {

Bytes pattern(size_t size, uint8_t seed)
{
    Bytes bytes(size);
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<uint8_t>(seed + i * 7);
    return bytes;
}

void expect_batch_holds(const PacketBatch& batch, const std::vector<Bytes>& packets)
{
    ASSERT_EQ(packets.size(), batch.packets().size());
    for (size_t i = 0; i < packets.size(); ++i) {
        const auto& view = batch.packets()[i].bytes;
        ASSERT_EQ(packets[i].size(), view.size()) << "packet " << i;
        EXPECT_EQ(0, std::memcmp(packets[i].data(), view.data(), view.size())) << "packet " << i;
    }
}

} // namespace

TEST(PacketBatch, PacketsOfEverySizeStayWholeAlsoInBlocksUsedAgain)
{
    constexpr size_t mib = 1024 * 1024;
    const std::vector<Bytes> packets = { pattern(100, 1), pattern(2 * mib - 100, 2), pattern(1, 3),
        pattern(5 * mib + 3, 4), pattern(2 * mib, 5), pattern(64, 6) };
    PacketBatch::BlockPool pool;
    for (int round = 0; round < 3; ++round) {
        PacketBatch batch(pool);
        for (const Bytes& packet : packets)
            batch.add(nullptr, nullptr, packet);
        expect_batch_holds(batch, packets);
        // Blocks given back while later packets are still read stay apart
        // from them.
        batch.release_blocks_before(batch.packets().back().block);
        EXPECT_EQ(packets.back().size(), batch.packets().back().bytes.size());
        EXPECT_EQ(0,
            std::memcmp(packets.back().data(), batch.packets().back().bytes.data(), packets.back().size()));
    }
}
