#include "link/Reader.hpp"

#include <algorithm>
#include <cassert>
#include <exception>

#include "link/ModuleIo.hpp"
#include "log/ConsoleAndFileLogger.hpp"

Reader::Reader(Logger& logger, ModuleIo& io, Active* active, Protocol* protocol)
    : logger_(logger)
    , io_(io)
    , active_(active)
    , protocol_(protocol)
    , whole_packets_(io.reads_whole_packets())
    , buffer_(whole_packets_ ? 0 : read_buffer_size)
{
    protocol_->subscribe(
        [this](const uint8_t* packet, unsigned length) { packets_.emplace_back(packet, packet + length); });
}

Reader::~Reader()
{
    io_.interrupt_reads();
    active_->stop();
}

void Reader::start(Sink sink)
{
    // The sink is only ever touched on the reader thread, so it changes hands
    // there, between two reads.
    active_->add([this, sink = std::move(sink)]() mutable {
        sink_ = std::move(sink);
        if (!reading_) {
            reading_ = true;
            active_->add([this] { read(); });
        }
    });
}

void Reader::read()
{
    bool go_on = true;
    try {
        go_on = single_read();
    } catch (const std::exception& e) {
        // A bad packet or a failing sink must not end the connection's
        // reading: the next packet may well be fine.
        logger_.error(std::string("Reader: handling received bytes failed: ") + e.what());
    } catch (...) {
        logger_.error("Reader: handling received bytes failed with an unknown exception");
    }
    if (go_on)
        active_->add([this] { read(); });
    else
        reading_ = false;
}

bool Reader::single_read()
{
    if (whole_packets_)
        return read_whole_packets();
    // The buffer keeps its capacity; after a short read only the part cut off
    // is filled again.
    buffer_.resize(read_buffer_size);
    const int result = io_.read(buffer_.data(), read_buffer_size, read_timeout);
    if (result < 0)
        return bail_out();
    assert(static_cast<unsigned>(result) <= read_buffer_size);
    const unsigned count = std::min(static_cast<unsigned>(result), read_buffer_size);
    if (count == 0)
        return true;
    // Cut to the bytes read, the buffer itself is the byte dump: no copy of
    // every chunk for a level that is usually off.
    buffer_.resize(count);
    if (logger_.logs(5))
        logger_.print_bytes(5, buffer_);
    try {
        protocol_->parse(buffer_.data(), count);
    } catch (...) {
        // The packets cut before the fault are good.
        hand_over_packets();
        throw;
    }
    hand_over_packets();
    return true;
}

// As many packets as a read of bytes could bring, in one hand-over, so that
// each waiter on them is woken once for all of them.
bool Reader::read_whole_packets()
{
    int result = 0;
    try {
        result = io_.read_packets(packets_, read_buffer_size, read_timeout);
    } catch (...) {
        hand_over_packets();
        throw;
    }
    if (result < 0)
        return bail_out();
    if (logger_.logs(5))
        for (const std::vector<uint8_t>& packet : packets_)
            logger_.print_bytes(5, packet);
    hand_over_packets();
    return true;
}

bool Reader::bail_out()
{
    logger_.error("io_read() returned negative: \n");
    logger_.error("Reader is bailing out\n");
    return false;
}

void Reader::hand_over_packets()
{
    if (packets_.empty())
        return;
    // Also when the sink throws. The vector keeps its room for the next
    // read, which likely cuts as many, unless the sink took it.
    struct Emptied {
        std::vector<std::vector<uint8_t>>& packets;
        ~Emptied() { packets.clear(); }
    } emptied { packets_ };
    if (sink_)
        sink_(std::move(packets_));
}
