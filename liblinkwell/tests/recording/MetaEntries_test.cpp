#include "recording/CloseFileMetaEntry.hpp"
#include "recording/FileMapMetaEntry.hpp"
#include "recording/MetaFileHeader.hpp"
#include "recording/WriteFileMetaEntry.hpp"

#include "support/TestSupport.hpp"

#include <gtest/gtest.h>

using testsupport::hex;
using testsupport::to_hex;

namespace {

TEST(MetaEntries, WriteAndCloseEntriesAre33BytesInTheirStoredLayout)
{
    const WriteFileMetaEntry write(0x01020304, 0x400, 0x0A0B0C0D, 0x1122334455667788, 0x0102, 7);
    EXPECT_EQ(
        "04 03 02 01 01 00 04 00 00 0d 0c 0b 0a 07 00 00 00 88 77 66 55 44 33 22 11 02 01 00 00 00 00 00 00",
        to_hex(write.to_raw()));
    const CloseFileMetaEntry close(5, 0x20, 300, -1, 2);
    EXPECT_EQ(
        "05 00 00 00 02 20 00 00 00 00 00 00 00 02 00 00 00 2c 01 00 00 00 00 00 00 ff ff ff ff ff ff ff ff",
        to_hex(close.to_raw()));
    EXPECT_EQ(0u, close.bytes_written());
    EXPECT_EQ(300, close.offset());
}

TEST(MetaEntries, ValidDataTypesOfEachKind)
{
    const std::vector<std::tuple<uint32_t, bool, bool>> cases = {
        // data type, valid for a write entry, valid for a close entry
        { 0x1, true, true },
        { 0x400000, true, true },
        { ~0x20u, true, false }, // a user header
        { 0x0, false, false },
        { 0x3, false, false },
        { ~0x0u, false, false },
        { ~0x3u, false, false },
    };
    for (const auto& [type, write_valid, close_valid] : cases) {
        EXPECT_EQ(write_valid, WriteFileMetaEntry(0, type, 1, 0, 1, 0).is_valid()) << std::hex << type;
        EXPECT_EQ(close_valid, CloseFileMetaEntry(0, type, 1, 1, 0).is_valid()) << std::hex << type;
    }
}

TEST(MetaEntries, FileMapListsSizePrefixedNames)
{
    const FileMapMetaEntry map(9, { "a.dat", "" });
    EXPECT_EQ(FileMapMetaEntry::FileMap, map.type());
    EXPECT_EQ(hex("09000000 03 02000000 06000000 612e64617400 01000000 00"), map.to_raw());
    EXPECT_EQ(hex("03000000616200"), AbstractMetaEntry::string_to_bytes("ab"));
}

TEST(MetaEntries, EpochOffsetIsWholeMillisecondsSinceOpeningAndNeverNegative)
{
    const auto opened = std::chrono::steady_clock::now();
    using std::chrono::microseconds;
    EXPECT_EQ(1500u, AbstractMetaEntry::epoch_offset_between(opened, opened + microseconds(1500999)));
    EXPECT_EQ(0u, AbstractMetaEntry::epoch_offset_between(opened, opened - microseconds(5000)));
}

TEST(MetaFileHeaderLayout, Version13HeaderAndClosingBlock)
{
    MetaFileHeader header;
    header.created = 0x0102030405060708;
    header.profile_id = 0xAABBCCDD;
    const Bytes raw = header.to_raw("id");
    ASSERT_EQ(89u + 3u, raw.size());
    EXPECT_EQ(hex("d3c2b1a0 0d000000 0807060504030201 00 00000000 0000000000000000 ffffffffffffffff 00000000 "
                  "ffffffffffffffff 00000000 ddccbbaa"),
        Bytes(raw.begin(), raw.begin() + 57));
    EXPECT_EQ(Bytes(28, 0xCD), Bytes(raw.begin() + 57, raw.begin() + 85));
    EXPECT_EQ(hex("03000000 696400"), Bytes(raw.begin() + 85, raw.end()));

    header.state = 1;
    header.duration = 2;
    header.bytes_recorded = 3;
    header.file_map_offset = 4;
    header.data_types = 5;
    header.max_record_size = 6;
    const Bytes closing = header.closing_block();
    EXPECT_EQ(
        hex("01 02000000 0300000000000000 0400000000000000 05000000 ffffffffffffffff 06000000"), closing);
    const Bytes closed = header.to_raw("id");
    EXPECT_EQ(closing, Bytes(closed.begin() + MetaFileHeader::ClosingBlockOffset, closed.begin() + 53));
}

} // namespace
