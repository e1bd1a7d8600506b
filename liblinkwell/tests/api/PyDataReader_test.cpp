#include <linkwell/PyDataReader.hpp>

#include "support/PlaybackSession.hpp"
#include "support/TestSupport.hpp"

#include <gtest/gtest.h>

#include <type_traits>

using Sarvik::DataRecord;
using Sarvik::PyDataReader;
using testsupport::byte_data_type;
using testsupport::byte_records;
using testsupport::TempDir;
using testsupport::write_session;

static_assert(
    !std::is_copy_constructible_v<
        PyDataReader> && !std::is_move_constructible_v<PyDataReader> && !std::is_copy_assignable_v<PyDataReader> && !std::is_move_assignable_v<PyDataReader>);

namespace {

std::string text(const DataRecord& record)
{
    return std::string(record.data.begin(), record.data.end());
}

} // namespace

TEST(PyDataReader, ForwardsEveryCallToItsReader)
{
    TempDir dir;
    const std::string index = write_session(dir.path(), byte_records(3, 100), 200);
    PyDataReader reader;
    EXPECT_FALSE(reader.is_open());
    EXPECT_EQ(-1, reader.get_start_epoch());
    EXPECT_FALSE(reader.read_record().is_valid);
    EXPECT_EQ(1, reader.open(index, 0));

    ASSERT_EQ(0, reader.open(index, -1));
    EXPECT_TRUE(reader.is_open());
    EXPECT_EQ(testsupport::playback_session_start, reader.get_start_epoch());
    EXPECT_EQ(200, reader.get_duration());
    EXPECT_EQ(6, reader.get_size());
    EXPECT_EQ(byte_data_type, reader.get_data_types());
    EXPECT_EQ(2u, reader.get_max_record_size());
    EXPECT_EQ(testsupport::playback_session_id, reader.get_session_id());

    EXPECT_EQ("r0", text(reader.peek_record()));
    const DataRecord first = reader.read_record();
    EXPECT_EQ("r0", text(first));
    EXPECT_EQ(byte_data_type, first.data_type);
    EXPECT_EQ(testsupport::playback_session_start, first.epoch);

    EXPECT_EQ(0, reader.seek_ms(150));
    EXPECT_EQ("r2", text(reader.read_record()));
    EXPECT_EQ(1, reader.seek_ms(201));
    EXPECT_EQ(0, reader.seek_byte(3));
    EXPECT_EQ("r1", text(reader.read_record()));
    EXPECT_EQ(1, reader.seek_byte(7));

    EXPECT_EQ(1, reader.set_filter(0));
    EXPECT_EQ(0, reader.set_filter(testsupport::sleep_stage_type));
    EXPECT_EQ(testsupport::sleep_stage_type, reader.get_filter());
    EXPECT_TRUE(reader.at_end());
    reader.close();
    EXPECT_FALSE(reader.is_open());
}
