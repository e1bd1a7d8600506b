// Packets handed to the recorder one after another, to be written by one task
// of the recorder thread: their bytes lie back to back in a few blocks of
// memory (a block is allocated for many packets, and a batch is used again
// once it is written), each packet with the records of the recording it was
// handed to.
#pragma once

#include <cstddef>
#include <vector>

#include "recording/ByteView.hpp"
#include <linkwell/Bytes.hpp>

namespace Sarvik {

struct MetaData;
struct SessionMetaData;

class PacketBatch {
public:
    // Blocks of written batches, kept for the next packets so that their
    // memory is not given back to the system and asked for again.
    class BlockPool {
    public:
        // An empty block with room for at least `size` bytes.
        Bytes take(size_t size);
        void give(Bytes block);

    private:
        static constexpr size_t kept_bytes = 16 * 1024 * 1024;
        std::vector<Bytes> blocks_;
        size_t bytes_ = 0;
    };

    explicit PacketBatch(BlockPool& pool)
        : pool_(pool)
    { }
    ~PacketBatch() { clear(); }
    PacketBatch(const PacketBatch&) = delete;
    PacketBatch& operator=(const PacketBatch&) = delete;

    struct Packet {
        MetaData* meta;
        SessionMetaData* session;
        ByteView bytes; // inside block number `block` of the batch
        size_t block;
    };

    // Copies the packet into the batch. The pool's owner serialises the
    // batches that share it.
    void add(MetaData* meta, SessionMetaData* session, const Bytes& packet);
    // In the order they were added.
    const std::vector<Packet>& packets() const { return packets_; }
    // Gives the blocks before block number `block` back to the pool once
    // their packets are written, so that packets handed over meanwhile can
    // use their memory again.
    void release_blocks_before(size_t block);
    // Forgets the packets and gives the blocks back to the pool.
    void clear();

private:
    // A block holds this much unless a packet alone is larger.
    static constexpr size_t block_size = 1024 * 1024;

    BlockPool& pool_;
    // Never grown past their capacity, so packets never move.
    std::vector<Bytes> blocks_;
    std::vector<Packet> packets_;
};

} // namespace Sarvik
