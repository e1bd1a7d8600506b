// The streaming frame writer against the independent reference framer.
#include "support/TestSupport.hpp"
#include <linkwell/protocol_framing.h>

#include <gtest/gtest.h>

#include <thread>

using testsupport::Bytes;
using testsupport::collect_byte;
using testsupport::frame;
using testsupport::hex;

namespace {

Bytes create_command(const Bytes& payload)
{
    Bytes out;
    EXPECT_EQ(0, createCommand(payload.data(), static_cast<uint32_t>(payload.size()), collect_byte, &out));
    return out;
}

} // namespace

TEST(ProtocolWriter, CreateCommandFramesLikeTheReference)
{
    const Bytes payloads[] = {
        {},
        { 0x26 },
        { 0x10, 0x13 },
        { 0x7D, 0x7E, 0x7F, 0x7C, 0x80, 0xFF, 0x00 },
        { 0x22, 0x10, 0x94, 0x2B, 0x6C, 0x3F },
    };
    for (const auto& payload : payloads)
        EXPECT_EQ(frame(payload), create_command(payload)) << testsupport::to_hex(payload);
}

TEST(ProtocolWriter, EmptyPayloadIsFourBytes)
{
    EXPECT_EQ(hex("7d 7f 7d 7e"), create_command({}));
}

TEST(ProtocolWriter, EscapesOnlySpecialBytes)
{
    EXPECT_EQ(hex("7d 80 ff 02 7e"), create_command({ 0x80, 0xFF }));
    EXPECT_EQ(hex("7d 7f 7d 7f 7e 7f 7f 01 7e"), create_command({ 0x7D, 0x7E, 0x7F }));
}

TEST(ProtocolWriter, ValuesAreLittleEndian)
{
    Bytes out;
    packet_start(collect_byte, &out);
    process_ushort(0x0102, collect_byte, &out);
    process_short(-2, collect_byte, &out);
    process_uint(0x01020304, collect_byte, &out);
    process_int(-1, collect_byte, &out);
    process_float(1.0f, collect_byte, &out);
    const uint16_t shorts[] = { 0xAABB, 0x0001 };
    process_ushorts(shorts, 2, collect_byte, &out);
    const float floats[] = { -2.0f };
    process_floats(floats, 1, collect_byte, &out);
    packet_end(collect_byte, &out);
    EXPECT_EQ(frame(hex("02 01 fe ff 04 03 02 01 ff ff ff ff 00 00 80 3f bb aa 01 00 00 00 00 c0")), out);
}

TEST(ProtocolWriter, SpecialBytesAreSpecialOnlyInTheLowEightBits)
{
    for (unsigned b : { 0x7Du, 0x7Eu, 0x7Fu, 0x17Du })
        EXPECT_TRUE(isSpecialByte(b)) << b;
    for (unsigned b : { 0x7Cu, 0x80u, 0x00u, 0xFFu, 0x100u })
        EXPECT_FALSE(isSpecialByte(b)) << b;
}

TEST(ProtocolWriter, ThreadsFramingAtOnceEachGetCorrectFrames)
{
    // Each thread frames its own payload many times over; with one shared
    // running checksum the interleaving corrupts the checksum byte.
    constexpr int rounds = 20000;
    auto worker = [](Bytes payload, int* failures) {
        const Bytes expected = frame(payload);
        for (int i = 0; i < rounds; ++i) {
            Bytes out;
            packet_start(collect_byte, &out);
            for (uint8_t b : payload)
                process_byte(b, collect_byte, &out);
            packet_end(collect_byte, &out);
            if (out != expected)
                ++*failures;
        }
    };
    int failures_a = 0, failures_b = 0;
    std::thread a(worker, Bytes { 0x01, 0x02, 0x03, 0x04, 0x05, 0x06 }, &failures_a);
    std::thread b(worker, Bytes { 0xF0, 0xE1, 0xD2, 0xC3, 0xB4, 0xA5 }, &failures_b);
    a.join();
    b.join();
    EXPECT_EQ(0, failures_a);
    EXPECT_EQ(0, failures_b);
}
