// Feeds arbitrary module bytes to the receiver, cut into chunks at positions
// taken from the input, into a small buffer and into a connection-sized one.
// Every run is made by parseData and by the byte-at-a-time form, and the two
// must agree on every packet, error, return value and on the state; parseData
// runs with each form of its bulk loops.
//
// Input layout: byte 0 picks the small capacity (0 to 63), byte 1 the number
// of cuts (0 to 7), then two bytes per cut (little-endian offsets into the
// stream, modulo its length); the rest is the stream. Shorter inputs are a
// stream as they stand, in one chunk, with a small capacity of 16.
#include "protocol/protocol_receiver.hpp"
#include <linkwell/protocol_framing.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr uint32_t connection_capacity = 20000;

using ParseFunctionPointer = int (*)(ApplicationProtocol*, const uint8_t*, uint32_t);

void require(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "receiver invariant broken: %s\n", what);
        std::abort();
    }
}

struct Event {
    uint32_t error;
    size_t offset;
    std::vector<uint8_t> bytes;
    bool operator==(const Event& o) const
    {
        return error == o.error && offset == o.offset && bytes == o.bytes;
    }
};

class Run {
public:
    Run(uint32_t capacity, ParseFunctionPointer parse)
        : buffer_(capacity)
        , storage_(getInstanceSize())
        , parse_(parse)
    {
        instance_
            = createApplicationProtocol(on_packet, on_error, this, storage_.data(), buffer_.data(), capacity);
    }

    int feed(const uint8_t* data, uint32_t length)
    {
        const size_t events_before = events_.size();
        const int result = parse_(instance_, data, length);
        size_t packets = 0;
        for (size_t i = events_before; i < events_.size(); ++i)
            packets += events_[i].error == 0;
        require(result == -1 || (result >= 0 && static_cast<size_t>(result) == packets),
            "the result counts the packets of the call");
        // Only the first packet of a call may have begun in an earlier chunk;
        // each further one takes at least three bytes of this one.
        require(result <= static_cast<int>((uint64_t { length } + 2) / 3),
            "no more packets than the chunk can hold");
        if (result == -1)
            require(!events_.empty() && events_.back().error == PROTOCOL_ERROR_BUFFER_FULL,
                "-1 only after a buffer-full error, which ends the call");
        check_state();
        return result;
    }

    const std::vector<Event>& events() const { return events_; }
    const ApplicationProtocol& instance() const { return *instance_; }
    bool same_state_as(const Run& o) const
    {
        const ApplicationProtocol& a = *instance_;
        const ApplicationProtocol& b = *o.instance_;
        return a.stored == b.stored && a.raw_length == b.raw_length && a.marker_mode == b.marker_mode
            && a.escape_pending == b.escape_pending
            // A buffer of capacity 0 has no data pointer for memcmp.
            && (a.stored == 0 || std::memcmp(buffer_.data(), o.buffer_.data(), a.stored) == 0);
    }

private:
    void check_state() const
    {
        const ApplicationProtocol& p = *instance_;
        require(p.stored <= p.capacity, "stored count within the capacity");
        require(p.raw_length <= 1 && p.marker_mode <= 1 && p.escape_pending <= 1, "flags are 0 or 1");
        require(!(p.raw_length && p.marker_mode), "one mode at a time");
        require(!p.escape_pending || (!p.raw_length && !p.marker_mode), "escapes only in framed mode");
    }

    static void on_packet(void* user, const uint8_t* data, uint32_t count)
    {
        auto* self = static_cast<Run*>(user);
        const uint8_t* begin = self->buffer_.data();
        require(count <= self->buffer_.size(), "packet no longer than the buffer");
        if (count != 0)
            require(
                data >= begin && data + count <= begin + self->buffer_.size(), "packet inside the buffer");
        self->events_.push_back({ 0, count ? static_cast<size_t>(data - begin) : 0, { data, data + count } });
    }

    static void on_error(void* user, uint32_t code)
    {
        require(code >= 1 && code <= 4, "error codes 1 to 4");
        static_cast<Run*>(user)->events_.push_back({ code, 0, {} });
    }

    std::vector<uint8_t> buffer_;
    std::vector<unsigned char> storage_;
    ParseFunctionPointer parse_;
    ApplicationProtocol* instance_ = nullptr;
    std::vector<Event> events_;
};

void run_both(uint32_t capacity, const uint8_t* stream, size_t size, const std::vector<size_t>& cuts)
{
    Run bulk(capacity, parseData);
    Run bytewise(capacity, parseDataBytewise);
    size_t from = 0;
    for (size_t i = 0; i <= cuts.size(); ++i) {
        const size_t to = i < cuts.size() ? cuts[i] : size;
        const auto length = static_cast<uint32_t>(to - from);
        const int a = bulk.feed(stream + from, length);
        const int b = bytewise.feed(stream + from, length);
        require(a == b, "both forms return the same");
        require(bulk.events() == bytewise.events(), "both forms deliver and report the same");
        require(bulk.same_state_as(bytewise), "both forms end in the same state");
        from = to;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    uint32_t small_capacity = 16;
    std::vector<size_t> cuts;
    const uint8_t* stream = data;
    size_t stream_size = size;
    if (size >= 2 && size >= 2 + 2 * size_t { static_cast<uint8_t>(data[1] % 8) }) {
        small_capacity = data[0] % 64;
        const size_t count = data[1] % 8;
        stream = data + 2 + 2 * count;
        stream_size = size - 2 - 2 * count;
        for (size_t i = 0; i < count && stream_size > 0; ++i)
            cuts.push_back((data[2 + 2 * i] | data[3 + 2 * i] << 8) % (stream_size + 1));
        std::sort(cuts.begin(), cuts.end());
    }
    if (stream_size > UINT32_MAX)
        return 0;
    // parseData's bulk loops come in a baseline form and wider ones; each
    // one that the processor offers must match the byte-at-a-time yardstick.
    const ReceiverBlocks widest = widestReceiverBlocks();
    for (int form = 0; form <= static_cast<int>(widest); ++form) {
        useReceiverBlocks(static_cast<ReceiverBlocks>(form));
        run_both(small_capacity, stream, stream_size, cuts);
        run_both(connection_capacity, stream, stream_size, cuts);
    }
    useReceiverBlocks(widest);
    return 0;
}
