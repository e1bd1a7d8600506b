#include "recording/PacketBatch.hpp"

#include <algorithm>

namespace Sarvik {

Bytes PacketBatch::BlockPool::take(size_t size)
{
    for (auto block = blocks_.rbegin(); block != blocks_.rend(); ++block) {
        if (block->capacity() >= size) {
            Bytes found = std::move(*block);
            blocks_.erase(std::next(block).base());
            bytes_ -= found.capacity();
            return found;
        }
    }
    Bytes block;
    block.reserve(size);
    return block;
}

void PacketBatch::BlockPool::give(Bytes block)
{
    if (bytes_ + block.capacity() > kept_bytes)
        return;
    block.clear();
    bytes_ += block.capacity();
    blocks_.push_back(std::move(block));
}

void PacketBatch::add(MetaData* meta, SessionMetaData* session, const Bytes& packet)
{
    if (blocks_.empty() || blocks_.back().capacity() - blocks_.back().size() < packet.size())
        blocks_.push_back(pool_.take(std::max(packet.size(), block_size)));
    Bytes& block = blocks_.back();
    const size_t at = block.size();
    block.insert(block.end(), packet.begin(), packet.end());
    packets_.push_back({ meta, session, ByteView(block.data() + at, packet.size()), blocks_.size() - 1 });
}

void PacketBatch::release_blocks_before(size_t block)
{
    for (size_t i = 0; i < block && i < blocks_.size(); ++i) {
        if (blocks_[i].capacity() != 0)
            pool_.give(std::move(blocks_[i]));
        blocks_[i] = Bytes();
    }
}

void PacketBatch::clear()
{
    packets_.clear();
    if (packets_.capacity() > block_size / sizeof(Packet))
        packets_.shrink_to_fit();
    release_blocks_before(blocks_.size());
    blocks_.clear();
}

} // namespace Sarvik
