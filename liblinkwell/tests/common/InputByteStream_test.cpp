#include "common/InputByteStream.hpp"

#include <gtest/gtest.h>

#include <cstring>

namespace {

uint32_t read_u32(std::istream& in)
{
    uint32_t value = 0;
    in.read(reinterpret_cast<char*>(&value), sizeof value);
    return value;
}

TEST(InputByteStream, ReadsTheBytesInOrderInPlace)
{
    const Bytes data = { 0x78, 0x56, 0x34, 0x12, 0xAB, 0x00, 0xFF };
    InputByteStream in(data);
    EXPECT_EQ(0x12345678u, read_u32(in));
    EXPECT_EQ(0xAB, in.get());
    EXPECT_EQ(0x00, in.get());
    EXPECT_EQ(0xFF, in.get()); // a 0xFF byte is data, not end of file
    EXPECT_TRUE(in.good());
    EXPECT_EQ(std::char_traits<char>::eof(), in.get());
    EXPECT_TRUE(in.eof());
}

TEST(InputByteStream, U32FromThreeBytesFailsTheStreamAndLeavesTheVector)
{
    const Bytes data = { 1, 2, 3 };
    InputByteStream in(data);
    read_u32(in);
    EXPECT_TRUE(in.eof());
    EXPECT_TRUE(in.fail());
    EXPECT_EQ(3, in.gcount());
    EXPECT_EQ((Bytes { 1, 2, 3 }), data);
}

TEST(InputByteStream, EmptyVectorIsAtEndAtOnce)
{
    const Bytes data;
    InputByteStream in(data);
    EXPECT_EQ(std::char_traits<char>::eof(), in.get());
    EXPECT_TRUE(in.eof());
}

TEST(InputByteStream, SeekingIsNotSupported)
{
    const Bytes data = { 1, 2, 3, 4 };
    InputByteStream in(data);
    in.get();
    in.seekg(0);
    EXPECT_TRUE(in.fail());
}

TEST(InputByteStream, ReadsWithoutCopyingTheVector)
{
    Bytes data = { 1, 2, 3, 4 };
    InputByteStream in(data);
    data[1] = 9; // same storage: what the stream reads is the vector itself
    in.get();
    EXPECT_EQ(9, in.get());
}

} // namespace
