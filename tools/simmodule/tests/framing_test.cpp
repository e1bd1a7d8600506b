// The module's wire forms and its de-framer, byte for byte.
#include "TestClient.hpp"
#include "simmodule/Deframer.hpp"
#include "simmodule/Framing.hpp"

#include <gtest/gtest.h>

#include <random>

using simtest::hex;
using simtest::to_hex;
using namespace simmodule;

TEST(Framing, FramesEscapeSpecialBytesAndTheChecksum)
{
    const struct {
        const char* payload;
        const char* wire;
    } cases[] = {
        { "", "7d 7f 7d 7e" }, // empty payload: the checksum 7d is escaped
        { "26", "7d 26 5b 7e" }, //
        { "10 13", "7d 10 13 7f 7e 7e" }, // checksum 7e escaped
        { "7d 7e 7f", "7d 7f 7d 7f 7e 7f 7f 01 7e" }, // every special byte escaped
        { "7c 80 ff", "7d 7c 80 ff 7f 7e 7e" }, // 7c, 80 and ff are not special
    };
    for (const auto& c : cases)
        EXPECT_EQ(to_hex(hex(c.wire)), to_hex(frame(hex(c.payload)))) << c.payload;
}

TEST(Framing, UnframedFormsCarryLengthAndExtraByte)
{
    const Bytes data = hex("7d 7e 7f");
    EXPECT_EQ("51 03 00 00 00 7d 7e 7f 00", to_hex(raw_length_packet(data)));
    EXPECT_EQ("51 03 00 00 00 7d 7e 7f ee", to_hex(raw_length_packet(data, 0xEE)));
    EXPECT_EQ("7c 7c 7c 7c 03 00 00 00 ee 7d 7e 7f", to_hex(marker_packet(data, 0xEE)));
    EXPECT_EQ("51 00 00 00 00 00", to_hex(encode({}, Form::RawLength)));
    EXPECT_EQ("7c 7c 7c 7c 00 00 00 00 00", to_hex(encode({}, Form::Marker)));
    EXPECT_EQ("7d 01", to_hex(encode(hex("7d 01"), Form::Raw)));
}

struct DeframeCase {
    const char* name;
    std::vector<const char*> chunks;
    std::vector<const char*> payloads;
    uint64_t errors;
};

TEST(Deframer, CutsPayloadsAndCountsErrors)
{
    const DeframeCase cases[] = {
        { "one packet", { "7d 26 5b 7e" }, { "26" }, 0 },
        { "escaped checksum split across chunks", { "7d 10", "13 7f", "7e 7e" }, { "10 13" }, 0 },
        { "empty payload", { "7d 7f 7d 7e" }, { "" }, 0 },
        { "escape split from its byte", { "7d 7f", "7d 7f 7e 7f", "7f 01 7e" }, { "7d 7e 7f" }, 0 },
        { "wrong checksum", { "7d 26 5c 7e 7d 26 5b 7e" }, { "26" }, 1 },
        { "stray bytes count once per run", { "01 02 03 7d 26 5b 7e 7e" }, { "26" }, 2 },
        { "start inside a frame restarts", { "7d 01 02 7d 26 5b 7e" }, { "26" }, 1 },
        { "end with nothing stored", { "7d 7e 7d 26 5b 7e" }, { "26" }, 1 },
        { "back to back", { "7d 26 5b 7e 7d 10 6d 7e" }, { "26", "10" }, 0 },
    };
    for (const auto& c : cases) {
        Deframer deframer;
        std::vector<std::string> got;
        for (const char* chunk : c.chunks) {
            const Bytes bytes = hex(chunk);
            for (const Bytes& payload : deframer.feed(bytes.data(), bytes.size()))
                got.push_back(to_hex(payload));
        }
        EXPECT_EQ(std::vector<std::string>(c.payloads.begin(), c.payloads.end()), got) << c.name;
        EXPECT_EQ(c.errors, deframer.errors()) << c.name;
    }
}

TEST(Deframer, DropsOversizedFramesAndRecovers)
{
    Deframer deframer(4);
    Bytes stream = frame(hex("01 02 03 04 05 06"));
    const Bytes good = frame(hex("26"));
    stream.insert(stream.end(), good.begin(), good.end());
    const auto packets = deframer.feed(stream.data(), stream.size());
    ASSERT_EQ(1u, packets.size());
    EXPECT_EQ("26", to_hex(packets[0]));
    EXPECT_EQ(1u, deframer.errors());
}

TEST(Deframer, RoundTripsRandomPayloadsInRandomChunks)
{
    std::mt19937 random(7);
    std::vector<Bytes> sent;
    Bytes stream;
    for (int i = 0; i < 300; ++i) {
        Bytes payload(random() % 40);
        for (auto& b : payload)
            b = static_cast<uint8_t>(0x7C + random() % 5); // mostly special bytes
        const Bytes wire = frame(payload);
        stream.insert(stream.end(), wire.begin(), wire.end());
        sent.push_back(std::move(payload));
    }
    Deframer deframer;
    std::vector<Bytes> got;
    for (size_t at = 0; at < stream.size();) {
        const size_t size = std::min<size_t>(1 + random() % 9, stream.size() - at);
        for (Bytes& payload : deframer.feed(stream.data() + at, size))
            got.push_back(std::move(payload));
        at += size;
    }
    EXPECT_EQ(sent, got);
    EXPECT_EQ(0u, deframer.errors());
}

TEST(Deframer, AgreesWithTheTestsOwnFramer)
{
    const Bytes payload = hex("90 58 7d 7e 7f 00 ff");
    EXPECT_EQ(simtest::frame(payload), frame(payload));
}
