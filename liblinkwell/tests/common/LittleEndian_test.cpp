// Wire values read at odd offsets, with the sign of the 16-bit form and the
// bit image of floats, and the u32 writer as the readers' inverse.
#include "common/LittleEndian.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

TEST(LittleEndian, ReadsAtAnyOffsetLeastSignificantFirst)
{
    // One byte in front, so that every value sits at an odd address.
    const uint8_t bytes[] = { 0xEE, 0x78, 0x56, 0x34, 0x12 };
    EXPECT_EQ(0x12345678u, little_endian::u32(bytes + 1));
    EXPECT_EQ(0x5678u, little_endian::u16(bytes + 1));

    const uint8_t negative[] = { 0xEE, 0xFE, 0xFF };
    EXPECT_EQ(0xFFFEu, little_endian::u16(negative + 1));
    EXPECT_EQ(-2, little_endian::i16(negative + 1));

    const uint8_t one_and_a_half[] = { 0xEE, 0x00, 0x00, 0xC0, 0x3F };
    EXPECT_EQ(1.5f, little_endian::f32(one_and_a_half + 1));
    const uint8_t quiet_nan[] = { 0x00, 0x00, 0xC0, 0x7F };
    EXPECT_TRUE(std::isnan(little_endian::f32(quiet_nan)));
}

TEST(LittleEndian, AppendIsTheInverseOfTheReader)
{
    for (uint32_t value : { 0u, 1u, 0x80000000u, 0xDEADBEEFu, std::numeric_limits<uint32_t>::max() }) {
        std::vector<uint8_t> bytes { 0xAA };
        little_endian::append_u32(bytes, value);
        ASSERT_EQ(5u, bytes.size());
        EXPECT_EQ(0xAA, bytes[0]);
        EXPECT_EQ(value, little_endian::u32(bytes.data() + 1));
    }
}

} // namespace
