// The receiver: packet forms, errors, return values and instance state, fed
// in chunks; the bulk path of parseData against the byte-at-a-time form.
#include "protocol/protocol_receiver.hpp"
#include "support/TestSupport.hpp"
#include <linkwell/protocol_framing.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <memory>
#include <ostream>
#include <random>
#include <string>
#include <vector>

using testsupport::Bytes;
using testsupport::frame;
using testsupport::hex;
using testsupport::to_hex;

namespace {

using ParseFunction = int (*)(ApplicationProtocol*, const uint8_t*, uint32_t);

// One callback of the receiver: a packet (error 0) or an error code.
struct Event {
    uint32_t error = 0;
    size_t offset = 0; // of the packet in the receive buffer
    Bytes bytes;
    bool operator==(const Event& o) const
    {
        return error == o.error && offset == o.offset && bytes == o.bytes;
    }
};

std::string describe(const Event& e)
{
    if (e.error)
        return "error " + std::to_string(e.error);
    return "packet: " + to_hex(e.bytes);
}

// Runs the body once with every form of parseData's bulk loops that this
// processor offers, from the baseline to the widest, restoring the widest.
template <typename Body> void with_each_block_form(Body body)
{
    static const char* const names[] = { "baseline blocks", "AVX2 blocks", "AVX-512 blocks" };
    const ReceiverBlocks widest = widestReceiverBlocks();
    for (int form = 0; form <= static_cast<int>(widest); ++form) {
        useReceiverBlocks(static_cast<ReceiverBlocks>(form));
        SCOPED_TRACE(names[form]);
        body();
    }
    useReceiverBlocks(widest);
}

// A receiver instance in storage of getInstanceSize() bytes, with its own
// buffer, that records every callback and checks that each delivered packet
// lies inside the buffer.
class Receiver {
public:
    explicit Receiver(uint32_t capacity, ParseFunction parse = parseData)
        : storage_(new unsigned char[getInstanceSize()])
        , buffer_(capacity)
        , parse_(parse)
    {
        instance_
            = createApplicationProtocol(on_packet, on_error, this, storage_.get(), buffer_.data(), capacity);
    }

    int feed(const Bytes& chunk)
    {
        return parse_(instance_, chunk.data(), static_cast<uint32_t>(chunk.size()));
    }

    const std::vector<Event>& events() const { return events_; }
    std::vector<std::string> described_events() const
    {
        std::vector<std::string> out;
        for (const auto& e : events_)
            out.push_back(describe(e));
        return out;
    }
    const ApplicationProtocol& instance() const { return *instance_; }
    Bytes stored_bytes() const { return Bytes(buffer_.begin(), buffer_.begin() + instance_->stored); }

    std::string state() const
    {
        const ApplicationProtocol& p = *instance_;
        std::string mode = p.raw_length ? "raw length" : p.marker_mode ? "marker" : "framed";
        if (p.raw_length && p.marker_mode)
            mode = "raw length and marker";
        std::string out = mode + ", " + std::to_string(p.stored) + " stored";
        if (p.escape_pending)
            out += ", escape pending";
        return out;
    }

private:
    static void on_packet(void* user, const uint8_t* data, uint32_t count)
    {
        auto* self = static_cast<Receiver*>(user);
        const uint8_t* begin = self->buffer_.data();
        const uint8_t* end = begin + self->buffer_.size();
        if (count != 0 && (data < begin || data + count > end)) {
            ADD_FAILURE() << "packet of " << count << " bytes outside the receive buffer";
            self->events_.push_back({ 0, SIZE_MAX, {} });
            return;
        }
        self->events_.push_back(
            { 0, count ? static_cast<size_t>(data - begin) : 0, Bytes(data, data + count) });
    }
    static void on_error(void* user, uint32_t code)
    {
        static_cast<Receiver*>(user)->events_.push_back({ code, 0, {} });
    }

    std::unique_ptr<unsigned char[]> storage_;
    Bytes buffer_;
    ParseFunction parse_;
    ApplicationProtocol* instance_ = nullptr;
    std::vector<Event> events_;
};

std::string packet(const Bytes& bytes)
{
    return "packet: " + to_hex(bytes);
}

std::string packet(const char* bytes)
{
    return packet(hex(bytes));
}

std::string error_event(int code)
{
    return "error " + std::to_string(code);
}

Bytes cat_all(const std::vector<Bytes>& parts)
{
    Bytes out;
    for (const auto& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

Bytes cat(std::initializer_list<Bytes> parts)
{
    return cat_all(parts);
}

struct ReceiveCase {
    std::string name;
    uint32_t capacity;
    std::vector<Bytes> chunks;
    std::vector<int> returns; // of parseData, one per chunk
    std::vector<std::string> events;
    std::string final_state;
};

void PrintTo(const ReceiveCase& c, std::ostream* os)
{
    *os << c.name;
}

constexpr uint32_t connection_capacity = 20000; // the buffer size of a connection

std::vector<ReceiveCase> receive_cases()
{
    const std::string idle = "framed, 0 stored";
    return {
        // Framed packets.
        { "OneBytePacket", 64, { hex("7d 26 5b 7e") }, { 1 }, { packet("26") }, idle },
        { "ChecksumMismatch", 64, { hex("7d 26 5c 7e") }, { 0 }, { error_event(1) }, idle },
        { "EscapedChecksum", 64, { hex("7d 10 13 7f 7e 7e") }, { 1 }, { packet("10 13") }, idle },
        { "EscapedChecksumSplitInThree", 64, { hex("7d 10"), hex("13 7f"), hex("7e 7e") }, { 0, 0, 1 },
            { packet("10 13") }, idle },
        { "EscapePendingCarriesOver", 64, { hex("7d 10"), hex("13 7f") }, { 0, 0 }, {},
            "framed, 2 stored, escape pending" },
        { "EmptyPacket", 64, { hex("7d 7f 7d 7e") }, { 1 }, { packet("") }, idle },
        { "EscapedPayloadBytes", 64, { hex("7d 7f 7d 7f 7e 7f 7f 80 ff 7f 7e 7e") }, { 1 },
            { packet("7d 7e 7f 80 ff") }, idle },
        { "TwoPacketsInOneChunk", 64, { hex("7d 26 5b 7e 7d 10 13 7f 7e 7e") }, { 2 },
            { packet("26"), packet("10 13") }, idle },
        { "EmptyChunk", 64, { Bytes {} }, { 0 }, {}, idle },

        // Errors 2 and 3, and the missing idle state.
        { "BytesBeforeStartAreLost", 64, { hex("01 02 7d 26 5b 7e") }, { 1 },
            { error_event(2), packet("26") }, idle },
        { "BytesBetweenPacketsAreLost", 64, { hex("7d 26 5b 7e 33 7d 26 5b 7e") }, { 2 },
            { packet("26"), error_event(2), packet("26") }, idle },
        { "BytesAfterEndFormAPacket", 64, { hex("33 4e 7e") }, { 1 }, { packet("33") }, idle },
        { "EndWithNothingStored", 64, { hex("7e") }, { 0 }, { error_event(3) }, idle },
        { "EndBetweenPacketsChangesNothing", 64, { hex("7d 26 5b 7e 7e 7d 26 5b 7e") }, { 2 },
            { packet("26"), error_event(3), packet("26") }, idle },
        { "StartThenEndIsIncomplete", 64, { hex("7d 7e") }, { 0 }, { error_event(3) }, idle },
        { "ErrorsAreCountedAsNoPackets", 64, { hex("7d 26 5c 7e 7e 01 7d") }, { 0 },
            { error_event(1), error_event(3), error_event(2) }, idle },

        // Raw length packets.
        { "RawLength", 64, { hex("7d 51 03 00 00 00 7d 7e 7f 7e") }, { 1 },
            { packet("51 03 00 00 00 7d 7e 7f") }, idle },
        { "RawLengthZeroWithoutStart", 64, { hex("51 00 00 00 00 aa") }, { 1 }, { packet("51 00 00 00 00") },
            idle },
        { "RawLengthSplit", 64, { hex("51 02"), hex("00 00"), hex("00 aa"), hex("bb cc") }, { 0, 0, 0, 1 },
            { packet("51 02 00 00 00 aa bb") }, idle },
        { "RawLengthInProgress", 64, { hex("7d 51 2c 7e") }, { 0 }, {}, "raw length, 3 stored" },
        { "EscapedRawByteIsFramed", 64, { hex("7d 7f 51 2c 7e") }, { 1 }, { packet("51") }, idle },
        { "RawByteNotFirstIsData", 64, { hex("7d 01 51 2d 7e") }, { 1 }, { packet("01 51") }, idle },

        // Marker packets.
        { "Marker", 64, { hex("7c 7c 7c 7c 03 00 00 00 ee 01 02 03") }, { 1 }, { packet("01 02 03") }, idle },
        { "MarkerZeroLength", 64, { hex("7c 7c 7c 7c 00 00 00 00 ee") }, { 1 }, { packet("") }, idle },
        { "MarkerSplit", 64, { hex("7c 7c"), hex("7c 7c 02"), hex("00 00 00 ee 7d"), hex("7e") },
            { 0, 0, 0, 1 }, { packet("7d 7e") }, idle },
        { "MarkerInsideFramedPacketDropsItSilently", 64, { hex("7d 01 7c 7c 7c 7c 03 00 00 00 ee 01 02 03") },
            { 1 }, { packet("01 02 03") }, idle },
        { "NoMarkerAfterEscapedStart", 64, { hex("7d 7f 7d 7c 7c 7c 7c 00 7e") }, { 1 },
            { packet("7d 7c 7c 7c 7c") }, idle },
        { "EscapedMarkerBytesCount", 64, { hex("7d 7c 7c 7c 7f 7c 02 00 00 00 ee 01 02") }, { 1 },
            { packet("01 02") }, idle },
        { "ThreeMarkerBytesAreData", 64, { hex("7d 7c 7c 7c 01 7e") }, { 1 }, { packet("7c 7c 7c") }, idle },

        // Buffer full (capacity 8).
        { "LargestFramedPacketFits", 8, { hex("7d 01 02 03 04 05 06 7a 7e") }, { 1 },
            { packet("01 02 03 04 05 06") }, idle },
        { "FramedPacketOneTooLongThenRecovers", 8,
            { hex("7d 01 02 03 04 05 06 07 7f 7d 7e"), hex("7d 26 5b 7e") }, { -1, 1 },
            { error_event(4), packet("26") }, idle },
        { "BufferFullDropsRestOfChunk", 8,
            { hex("7d 26 5b 7e 01 02 03 04 05 06 07 08 09 7d 26 5b 7e"), hex("7d 26 5b 7e") }, { -1, 1 },
            { packet("26"), error_event(4), packet("26") }, idle },
        { "LargestRawLengthFits", 8, { hex("51 02 00 00 00 aa bb cc") }, { 1 },
            { packet("51 02 00 00 00 aa bb") }, idle },
        { "RawLengthOneTooLong", 8, { hex("51 03 00 00 00 aa bb cc dd") }, { -1 }, { error_event(4) }, idle },
        { "LargestMarkerFits", 8, { hex("7c 7c 7c 7c 03 00 00 00 ee 01 02 03") }, { 1 },
            { packet("01 02 03") }, idle },
        { "MarkerOneTooLong", 8, { hex("7c 7c 7c 7c 04 00 00 00 ee 01 02 03 04") }, { -1 },
            { error_event(4) }, idle },
        { "CapacityZero", 0, { hex("7d 26 5b 7e"), hex("7e") }, { -1, -1 },
            { error_event(4), error_event(4) }, idle },

        // Lengths near 2^32 must not wrap around to a small packet.
        { "RawLengthAllOnesEndsInBufferFull", 16, { hex("51 ff ff ff ff 00"), Bytes(10, 0x00), hex("00") },
            { 0, 0, -1 }, { error_event(4) }, idle },
        { "RawLengthWrapsTo32BitZero", 16, { hex("51 fa ff ff ff"), Bytes(12, 0x00) }, { 0, -1 },
            { error_event(4) }, idle },
        { "MarkerLengthAllOnesEndsInBufferFull", 16,
            { hex("7c 7c 7c 7c ff ff ff ff"), Bytes(12, 0x00), hex("00") }, { 0, 0, -1 }, { error_event(4) },
            idle },
        { "MarkerLengthAllOnesIsStillInProgress", 64, { hex("7c 7c 7c 7c ff ff ff ff 00 01") }, { 0 }, {},
            "marker, 6 stored" },

        // The buffer of a connection: 19998 payload bytes at most.
        { "LargestFramedPacketOfAConnection", connection_capacity, { frame(Bytes(19998, 0x01)) }, { 1 },
            { packet(Bytes(19998, 0x01)) }, idle },
        { "FramedPacketOneTooLongForAConnection", connection_capacity,
            { cat({ frame(Bytes(19999, 0x01)), hex("7d 26 5b 7e") }) }, { -1 }, { error_event(4) }, idle },
        { "LargestRawLengthOfAConnection", connection_capacity,
            { cat({ hex("51 1a 4e 00 00"), Bytes(19994, 0x7d), hex("7e") }) }, { 1 },
            { packet(cat({ hex("51 1a 4e 00 00"), Bytes(19994, 0x7d) })) }, idle },
    };
}

bool has_buffer_full(const ReceiveCase& c)
{
    return std::find(c.events.begin(), c.events.end(), error_event(4)) != c.events.end();
}

// The stream of a case cut into chunks: one byte each, and in two at every
// position (at forty random ones for long streams).
std::vector<std::vector<size_t>> chunkings_of(size_t size)
{
    std::vector<std::vector<size_t>> chunkings { std::vector<size_t>(size, 1) };
    std::mt19937 random(42);
    const bool every = size <= 256;
    for (size_t i = 0; i < (every ? size : 40); ++i) {
        const size_t at = every ? i : random() % size;
        chunkings.push_back({ at, size - at });
    }
    return chunkings;
}

class ReceiveTable : public ::testing::TestWithParam<ReceiveCase> { };

TEST_P(ReceiveTable, Receives)
{
    const ReceiveCase& c = GetParam();
    ASSERT_EQ(c.chunks.size(), c.returns.size());
    const std::pair<const char*, ParseFunction> forms[]
        = { { "parseData", parseData }, { "parseDataBytewise", parseDataBytewise } };
    for (const auto& [form, parse] : forms) {
        SCOPED_TRACE(form);
        Receiver receiver(c.capacity, parse);
        std::vector<int> returns;
        for (const auto& chunk : c.chunks)
            returns.push_back(receiver.feed(chunk));
        EXPECT_EQ(c.returns, returns);
        EXPECT_EQ(c.events, receiver.described_events());
        EXPECT_EQ(c.final_state, receiver.state());
    }

    // Packets may be split anywhere: unless a buffer-full error drops the
    // rest of a chunk, every chunking gives the same callbacks.
    if (has_buffer_full(c))
        return;
    const Bytes whole = cat_all(c.chunks);
    int expected_packets = 0;
    for (const auto& e : c.events)
        expected_packets += e.rfind("packet", 0) == 0;
    for (const auto& sizes : chunkings_of(whole.size())) {
        Receiver receiver(c.capacity);
        int packets = 0;
        size_t offset = 0;
        for (size_t size : sizes) {
            packets += receiver.feed(Bytes(whole.begin() + offset, whole.begin() + offset + size));
            offset += size;
        }
        SCOPED_TRACE(sizes.size() == 2 ? "split at " + std::to_string(sizes[0]) : "one byte at a time");
        EXPECT_EQ(c.events, receiver.described_events());
        EXPECT_EQ(c.final_state, receiver.state());
        EXPECT_EQ(expected_packets, packets);
    }
}

INSTANTIATE_TEST_SUITE_P(Receiver, ReceiveTable, ::testing::ValuesIn(receive_cases()),
    [](const ::testing::TestParamInfo<ReceiveCase>& param_info) { return param_info.param.name; });

// Payload bytes with the special values, the raw length byte and the marker
// byte far more often than in real data, so that every rule gets exercised.
uint8_t awkward_byte(std::mt19937& random)
{
    static const uint8_t awkward[] = { 0x7C, 0x7D, 0x7E, 0x7F, 0x51, 0x00, 0xFF, 0x80 };
    if (random() % 3 == 0)
        return awkward[random() % sizeof awkward];
    return static_cast<uint8_t>(random());
}

TEST(Receiver, FramedPayloadsOfEveryLengthComeBackUnchanged)
{
    with_each_block_form([&] {
        // A payload must not begin with 0x51 (a raw length packet) nor hold four
        // 0x7C in a row (marker mode); every other byte is free.
        std::mt19937 random(7);
        std::vector<Bytes> payloads;
        Bytes stream;
        for (size_t length = 0; length <= 300; ++length) {
            Bytes payload(length);
            for (auto& b : payload)
                b = awkward_byte(random);
            for (size_t i = 3; i < payload.size(); ++i)
                if (payload[i] == 0x7C && payload[i - 1] == 0x7C && payload[i - 2] == 0x7C
                    && payload[i - 3] == 0x7C)
                    payload[i] = 0x7B;
            if (!payload.empty() && payload[0] == 0x51)
                payload[0] = 0x52;
            payloads.push_back(payload);
            const Bytes framed = frame(payload);
            stream.insert(stream.end(), framed.begin(), framed.end());
        }
        for (size_t chunk : { size_t { 1 }, size_t { 7 }, size_t { 1000 }, stream.size() }) {
            Receiver receiver(connection_capacity);
            int packets = 0;
            for (size_t at = 0; at < stream.size(); at += chunk)
                packets += receiver.feed(
                    Bytes(stream.begin() + at, stream.begin() + std::min(at + chunk, stream.size())));
            SCOPED_TRACE("chunks of " + std::to_string(chunk));
            EXPECT_EQ(static_cast<int>(payloads.size()), packets);
            ASSERT_EQ(payloads.size(), receiver.events().size());
            for (size_t i = 0; i < payloads.size(); ++i)
                EXPECT_EQ(packet(payloads[i]), describe(receiver.events()[i])) << "length " << i;
        }
    });
}

TEST(Receiver, InstanceIsFilledInTheCallersStorageWithoutTouchingTheBuffer)
{
    static_assert(offsetof(ApplicationProtocol, buffer) < offsetof(ApplicationProtocol, capacity)
            && offsetof(ApplicationProtocol, capacity) < offsetof(ApplicationProtocol, stored)
            && offsetof(ApplicationProtocol, stored) < offsetof(ApplicationProtocol, on_packet)
            && offsetof(ApplicationProtocol, on_packet) < offsetof(ApplicationProtocol, on_error)
            && offsetof(ApplicationProtocol, on_error) < offsetof(ApplicationProtocol, raw_length)
            && offsetof(ApplicationProtocol, raw_length) < offsetof(ApplicationProtocol, marker_mode)
            && offsetof(ApplicationProtocol, marker_mode) < offsetof(ApplicationProtocol, user_data)
            && offsetof(ApplicationProtocol, user_data) < offsetof(ApplicationProtocol, escape_pending),
        "the record's fields keep their documented order");
    EXPECT_EQ(sizeof(ApplicationProtocol), getInstanceSize());

    auto storage = std::make_unique<unsigned char[]>(getInstanceSize());
    std::memset(storage.get(), 0xA5, getInstanceSize());
    Bytes buffer(16, 0xEE);
    int user = 0;
    auto on_packet = [](void*, const uint8_t*, uint32_t) {};
    auto on_error = [](void*, uint32_t) {};
    ApplicationProtocol* p
        = createApplicationProtocol(on_packet, on_error, &user, storage.get(), buffer.data(), 16);

    EXPECT_EQ(static_cast<void*>(storage.get()), static_cast<void*>(p));
    EXPECT_EQ(buffer.data(), p->buffer);
    EXPECT_EQ(16u, p->capacity);
    EXPECT_EQ(0u, p->stored);
    EXPECT_EQ(static_cast<ReceivedPacketCallback>(on_packet), p->on_packet);
    EXPECT_EQ(static_cast<ReceiveErrorCallback>(on_error), p->on_error);
    EXPECT_EQ(0, p->raw_length);
    EXPECT_EQ(0u, p->marker_mode);
    EXPECT_EQ(&user, p->user_data);
    EXPECT_EQ(0, p->escape_pending);
    EXPECT_EQ(Bytes(16, 0xEE), buffer);
    destroyProtocol(p);
    EXPECT_EQ(Bytes(16, 0xEE), buffer);
}

TEST(Receiver, MissingCallbacksAreSkipped)
{
    auto storage = std::make_unique<unsigned char[]>(getInstanceSize());
    Bytes buffer(8);
    ApplicationProtocol* p
        = createApplicationProtocol(nullptr, nullptr, nullptr, storage.get(), buffer.data(), 8);
    const Bytes stream = hex("7d 26 5b 7e 7e 7d 26 5c 7e 01 02 03 04 05 06 07 08 09");
    EXPECT_EQ(-1, parseData(p, stream.data(), static_cast<uint32_t>(stream.size())));
    const Bytes next = hex("7d 26 5b 7e");
    EXPECT_EQ(1, parseData(p, next.data(), static_cast<uint32_t>(next.size())));
}

TEST(Receiver, VersionAndBuildDate)
{
    EXPECT_STREQ("0a8e9e99e817", get_radar_com_version());
    EXPECT_STREQ("2018-10-16 13:39:16", get_radar_com_build_date());
}

// Streams that mix every packet form, damaged packets, huge lengths and
// noise rich in special bytes.
Bytes random_stream(std::mt19937& random, size_t pieces)
{
    Bytes stream;
    auto append = [&stream](const Bytes& b) { stream.insert(stream.end(), b.begin(), b.end()); };
    auto random_bytes = [&random](size_t n) {
        Bytes b(n);
        for (auto& x : b)
            x = awkward_byte(random);
        return b;
    };
    auto length_bytes = [&random](uint32_t small) {
        static const uint32_t huge[] = { 0xFFFFFFFFu, 0xFFFFFFFAu, 0xFFFFFFFBu, 0x80000000u, 19994u, 19995u };
        const uint32_t l = random() % 8 == 0 ? huge[random() % 6] : small;
        return testsupport::PayloadBuilder().u32(l).build();
    };
    for (size_t i = 0; i < pieces; ++i) {
        switch (random() % 7) {
        case 0:
        case 1:
            append(frame(random_bytes(random() % 200)));
            break;
        case 2: { // damaged checksum or a lost end byte
            Bytes f = frame(random_bytes(random() % 40));
            if (random() % 2)
                f.pop_back();
            else
                f[f.size() - 2] ^= 0x01;
            append(f);
            break;
        }
        case 3: {
            const uint32_t l = random() % 300;
            append(cat({ hex("51"), length_bytes(l), random_bytes(l + 1) }));
            break;
        }
        case 4: {
            const uint32_t l = random() % 300;
            append(cat({ Bytes(3 + random() % 3, 0x7C), length_bytes(l), random_bytes(l + 1) }));
            break;
        }
        case 5:
            append(random_bytes(random() % 30));
            break;
        case 6:
            append(Bytes(random() % 2000, static_cast<uint8_t>(random())));
            break;
        }
    }
    return stream;
}

TEST(Receiver, BulkPathBehavesExactlyLikeTheBytewiseReceiver)
{
    with_each_block_form([&] {
        std::mt19937 random(20240611);
        const uint32_t capacities[] = { 0, 1, 4, 5, 6, 8, 16, 64, 300, 1024, connection_capacity };
        for (int round = 0; round < 400; ++round) {
            const uint32_t capacity = capacities[random() % (sizeof capacities / sizeof capacities[0])];
            const Bytes stream = random_stream(random, 1 + random() % 40);
            Receiver bulk(capacity, parseData);
            Receiver bytewise(capacity, parseDataBytewise);
            size_t at = 0;
            while (at < stream.size()) {
                const size_t max_chunk = random() % 4 == 0 ? 8 : 3000;
                const size_t size = std::min<size_t>(random() % (max_chunk + 1), stream.size() - at);
                const Bytes chunk(stream.begin() + at, stream.begin() + at + size);
                at += size;
                ASSERT_EQ(bytewise.feed(chunk), bulk.feed(chunk)) << "round " << round << " at " << at;
                ASSERT_EQ(bytewise.events(), bulk.events()) << "round " << round << " at " << at;
                ASSERT_EQ(bytewise.state(), bulk.state()) << "round " << round << " at " << at;
                ASSERT_EQ(bytewise.stored_bytes(), bulk.stored_bytes()) << "round " << round << " at " << at;
            }
        }
    });
}

} // namespace

namespace {

// Runs of 0x7C bytes at every position of the bulk path's 16- and 32-byte
// blocks, after an ordinary byte, an escaped 0x7C or the start of a packet,
// fed whole and split next to the run: a lone 0x7C is stored in bulk, a
// second one in a row is left to the byte-at-a-time rules, and the two
// receivers must stay indistinguishable. With a long tail the 64-byte blocks
// take the run too, which may straddle two of them.
TEST(Receiver, MarkerByteRunsAtEveryBlockPositionMatchTheBytewiseReceiver)
{
    with_each_block_form([&] {
        const Bytes lead_ins[] = { hex("41"), hex("7F 7C"), Bytes {} };
        for (size_t tail : { 40, 150 }) {
            for (const Bytes& lead_in : lead_ins) {
                for (size_t run = 1; run <= 5; ++run) {
                    for (size_t offset = 0; offset < 70; ++offset) {
                        Bytes stream = hex("7D");
                        stream.insert(stream.end(), offset, 0x41);
                        stream.insert(stream.end(), lead_in.begin(), lead_in.end());
                        stream.insert(stream.end(), run, 0x7C);
                        stream.insert(stream.end(), tail, 0x42);
                        stream.push_back(0x7E);
                        const size_t run_at = 1 + offset + lead_in.size();
                        for (size_t split : { stream.size(), run_at - 1, run_at, run_at + 1, run_at + run }) {
                            Receiver bulk(connection_capacity, parseData);
                            Receiver bytewise(connection_capacity, parseDataBytewise);
                            for (Receiver* receiver : { &bulk, &bytewise }) {
                                receiver->feed(Bytes(stream.begin(), stream.begin() + split));
                                receiver->feed(Bytes(stream.begin() + split, stream.end()));
                            }
                            const std::string where = "tail " + std::to_string(tail) + ", lead-in "
                                + to_hex(lead_in) + ", run " + std::to_string(run) + ", offset "
                                + std::to_string(offset) + ", split " + std::to_string(split);
                            ASSERT_EQ(bytewise.events(), bulk.events()) << where;
                            ASSERT_EQ(bytewise.state(), bulk.state()) << where;
                            ASSERT_EQ(bytewise.stored_bytes(), bulk.stored_bytes()) << where;
                        }
                    }
                }
            }
        }
    });
}

} // namespace

namespace {

// Escapes of every kind of byte at every position of the blocks, in a packet
// that fills the buffer up to a few bytes either side of its capacity, fed
// whole and split next to the escape: the bulk path stores an escaped byte
// inside its run, and must still leave an escaped 0x7C, an escape that ends
// a chunk and an escape that meets a full buffer to the byte-at-a-time
// rules.
TEST(Receiver, EscapesAtEveryBlockPositionAndBufferEdgeMatchTheBytewiseReceiver)
{
    with_each_block_form([&] {
        const uint8_t escaped_bytes[] = { 0x41, 0x51, 0x7C, 0x7D, 0x7E, 0x7F };
        const Bytes lead_ins[] = { Bytes {}, hex("7C"), hex("7C 7C 7C") };
        for (uint8_t escaped : escaped_bytes) {
            for (const Bytes& lead_in : lead_ins) {
                for (size_t offset = 0; offset < 70; ++offset) {
                    // Start byte, offset plain bytes, the lead-in, the escape
                    // pair, a second pair right behind it, and a tail.
                    Bytes stream = hex("7D");
                    stream.insert(stream.end(), offset, 0x41);
                    stream.insert(stream.end(), lead_in.begin(), lead_in.end());
                    const size_t escape_at = stream.size();
                    for (int pair = 0; pair < 2; ++pair) {
                        stream.push_back(0x7F);
                        stream.push_back(escaped);
                    }
                    stream.insert(stream.end(), 37, 0x42);
                    stream.push_back(0x7E);
                    const uint32_t stored_at_escape = static_cast<uint32_t>(escape_at - 1);
                    for (uint32_t capacity : { stored_at_escape, stored_at_escape + 1, stored_at_escape + 2,
                             stored_at_escape + 3, connection_capacity }) {
                        for (size_t split : { stream.size(), escape_at, escape_at + 1, escape_at + 2 }) {
                            Receiver bulk(capacity, parseData);
                            Receiver bytewise(capacity, parseDataBytewise);
                            std::vector<int> returns[2];
                            int which = 0;
                            for (Receiver* receiver : { &bulk, &bytewise }) {
                                returns[which].push_back(
                                    receiver->feed(Bytes(stream.begin(), stream.begin() + split)));
                                returns[which].push_back(
                                    receiver->feed(Bytes(stream.begin() + split, stream.end())));
                                ++which;
                            }
                            const std::string where = "escaped " + to_hex(Bytes { escaped }) + ", lead-in "
                                + to_hex(lead_in) + ", offset " + std::to_string(offset) + ", capacity "
                                + std::to_string(capacity) + ", split " + std::to_string(split);
                            ASSERT_EQ(returns[1], returns[0]) << where;
                            ASSERT_EQ(bytewise.events(), bulk.events()) << where;
                            ASSERT_EQ(bytewise.state(), bulk.state()) << where;
                            ASSERT_EQ(bytewise.stored_bytes(), bulk.stored_bytes()) << where;
                        }
                    }
                }
            }
        }
    });
}

} // namespace

namespace {

// Feeds stream to a bulk and a byte-at-a-time receiver of the same capacity,
// cut at each of the given positions, and tells where they first differ
// (empty when they never do).
std::string difference_from_bytewise(uint32_t capacity, const Bytes& stream, std::vector<size_t> cuts)
{
    Receiver bulk(capacity, parseData);
    Receiver bytewise(capacity, parseDataBytewise);
    std::sort(cuts.begin(), cuts.end());
    cuts.push_back(stream.size());
    size_t from = 0;
    for (size_t to : cuts) {
        const Bytes chunk(stream.begin() + from, stream.begin() + to);
        const int bulk_returned = bulk.feed(chunk);
        const int bytewise_returned = bytewise.feed(chunk);
        const std::string where = "in the chunk up to " + std::to_string(to) + ": ";
        if (bulk_returned != bytewise_returned)
            return where + "returned " + std::to_string(bulk_returned) + " instead of "
                + std::to_string(bytewise_returned);
        if (bulk.events() != bytewise.events())
            return where + "callbacks differ";
        if (bulk.state() != bytewise.state())
            return where + "state " + bulk.state() + " instead of " + bytewise.state();
        if (bulk.stored_bytes() != bytewise.stored_bytes())
            return where + "stored bytes differ";
        from = to;
    }
    return {};
}

// The checksum byte of a packet whose escaped payload is wire, escaped if it
// has to be: every 0x7F of wire takes the byte after it as it is.
Bytes checksum_for(const Bytes& wire)
{
    uint8_t x = 0x7D;
    for (size_t i = 0; i < wire.size(); ++i)
        x ^= wire[i] == 0x7F && i + 1 < wire.size() ? wire[++i] : wire[i];
    return x >= 0x7D ? Bytes { 0x7F, x } : Bytes { x };
}

// Runs of 0x7F of every length in a long packet, at every position of two
// 64-byte blocks, followed by each kind of byte: the first 0x7F of a run
// escapes the second, the third the fourth, and so on, so the byte after a
// run of odd length is escaped and the one after a run of even length is
// not. A run may end a block, so that the byte it escapes begins the next
// one. After 0x7C bytes, so that an escaped 0x7C may be the fourth in a row.
// Intact and damaged, fed whole and cut next to the run.
TEST(Receiver, EscapeRunsAtEveryBlockPositionMatchTheBytewiseReceiver)
{
    with_each_block_form([&] {
        const uint8_t followers[] = { 0x41, 0x51, 0x7C, 0x7D, 0x7E };
        const Bytes lead_ins[] = { Bytes {}, hex("7C"), hex("7C 7C 7C") };
        for (uint8_t follower : followers) {
            for (size_t run = 1; run <= 6; ++run) {
                for (size_t offset = 0; offset < 140; ++offset) {
                    for (const Bytes& lead_in : lead_ins) {
                        Bytes wire;
                        for (size_t i = 0; i < offset; ++i)
                            wire.push_back(static_cast<uint8_t>(0x20 + i % 64));
                        wire.insert(wire.end(), lead_in.begin(), lead_in.end());
                        const size_t run_at = 1 + wire.size();
                        wire.insert(wire.end(), run, 0x7F);
                        wire.push_back(follower);
                        wire.insert(wire.end(), 150, 0x42);
                        for (bool intact : { true, false }) {
                            Bytes checksum = checksum_for(wire);
                            if (!intact)
                                checksum.back() ^= 0x01;
                            const Bytes stream
                                = cat({ hex("7D"), wire, checksum, hex("7E"), frame(Bytes(200, 0x43)) });
                            for (const auto& cuts : std::vector<std::vector<size_t>> { {}, { run_at },
                                     { run_at + 1 }, { run_at + run }, { run_at + run + 1 } }) {
                                ASSERT_EQ("", difference_from_bytewise(1024, stream, cuts))
                                    << "follower " << to_hex(Bytes { follower }) << ", run " << run
                                    << ", offset " << offset << ", lead-in " << to_hex(lead_in)
                                    << (intact ? ", intact, " : ", damaged, ")
                                    << (cuts.empty() ? "whole" : "cut at " + std::to_string(cuts[0]));
                            }
                        }
                    }
                }
            }
        }
    });
}

// Long packets full of escapes, 0x7C bytes and stray start and end bytes,
// intact and with a damaged checksum, cut in two at every position and into
// random pieces, into buffers from just too small to roomy: the checksum of
// a packet gathered across chunks and blocks, the buffer's room running out
// inside a block, and packets that end inside a block all as the bytewise
// receiver has them.
TEST(Receiver, LongPacketsCutAnywhereMatchTheBytewiseReceiver)
{
    with_each_block_form([&] {
        std::mt19937 random(611);
        for (int round = 0; round < 12; ++round) {
            Bytes payload(200 + random() % 400);
            for (auto& b : payload)
                b = random() % 4 == 0 ? static_cast<uint8_t>(0x7C + random() % 4)
                                      : static_cast<uint8_t>(random());
            for (size_t i = 3; i < payload.size(); ++i)
                if (payload[i] == 0x7C && payload[i - 1] == 0x7C && payload[i - 2] == 0x7C
                    && payload[i - 3] == 0x7C)
                    payload[i] = 0x7B;
            payload[0] = 0x52;
            Bytes stream = frame(payload);
            if (round % 3 == 1)
                stream[stream.size() - 2] ^= 0x01; // the checksum, or the escaped byte of an escaped one
            const Bytes tail = frame(Bytes(130, 0x44));
            stream.insert(stream.end(), tail.begin(), tail.end());
            const auto size = static_cast<uint32_t>(payload.size());
            for (uint32_t capacity : { size - 1, size, size + 1, size + 70, uint32_t { 2048 } }) {
                for (size_t cut = 0; cut <= stream.size(); ++cut)
                    ASSERT_EQ("", difference_from_bytewise(capacity, stream, { cut }))
                        << "round " << round << ", capacity " << capacity << ", cut at " << cut;
                for (int pieces = 0; pieces < 20; ++pieces) {
                    std::vector<size_t> cuts(1 + random() % 6);
                    for (auto& c : cuts)
                        c = random() % (stream.size() + 1);
                    ASSERT_EQ("", difference_from_bytewise(capacity, stream, cuts))
                        << "round " << round << ", capacity " << capacity << ", pieces " << pieces;
                }
            }
        }
    });
}

} // namespace
