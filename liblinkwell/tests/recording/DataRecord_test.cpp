#include <linkwell/DataRecord.hpp>

#include "support/StdoutCapture.hpp"

#include <gtest/gtest.h>

#include <functional>

using Sarvik::DataRecord;

using testsupport::bytes_of;
using testsupport::stdout_of;

namespace {

DataRecord record(uint32_t type, const std::string& data, uint32_t version = 13)
{
    DataRecord r;
    r.data = bytes_of(data);
    r.data_type = type;
    r.is_valid = true;
    r.meta_version = version;
    return r;
}

const std::string sleep_line = "t;7;2;14.5;0.75;88;0.125;2.5\n";
const std::string vital_line = "t;11;3;12.5;0.5;0.25;61;0.75;0.125;1;2;3;4\n";

TEST(DataRecordCsvHeader, OnlyLinesOfCsvTypesThatBeginWithTimestamp)
{
    const std::vector<std::tuple<uint32_t, std::string, bool>> cases = {
        { 0x20000, "TimeStamp;FrameCounter;SleepStage;Confidence\n", true },
        { 0x20000, "TIMESTAMP;", true },
        { 0x4, "timestamp;x", true },
        { 0x10, "Timestamp;perf", true }, // performance status is no binary-only type
        { 0x20000, "TimeStamp", false }, // too short
        { 0x20000, "t;1;2;3\n", false },
        { 0x400, "timestamp;binary", false },
        { 0x400000, "TimeStamp;", false },
    };
    for (const auto& [type, data, header] : cases)
        EXPECT_EQ(header, record(type, data).is_csv_header()) << type << " " << data;
}

struct ConversionRefusal {
    const char* name;
    DataRecord record;
    std::function<void(const DataRecord&, bool*)> convert;
    std::string output;
};

void PrintTo(const ConversionRefusal& r, std::ostream* os)
{
    *os << r.name;
}

DataRecord invalid(DataRecord r)
{
    r.is_valid = false;
    return r;
}

DataRecord user_header(DataRecord r)
{
    r.is_user_header = true;
    return r;
}

const auto to_packet = [](const DataRecord& r, bool* ok) { r.to_binary_packet(ok); };
const auto to_sleep = [](const DataRecord& r, bool* ok) { r.to_sleep_data(ok); };
const auto to_vitals = [](const DataRecord& r, bool* ok) { r.to_vitalsigns_data(ok); };

class Refused : public testing::TestWithParam<ConversionRefusal> { };

TEST_P(Refused, ConversionFailsWithItsErrorLineAndNothingThrown)
{
    const ConversionRefusal& r = GetParam();
    bool ok = true;
    EXPECT_EQ(r.output, stdout_of([&] { EXPECT_NO_THROW(r.convert(r.record, &ok)); }));
    EXPECT_FALSE(ok);
    EXPECT_NO_THROW(r.convert(r.record, nullptr));
}

INSTANTIATE_TEST_SUITE_P(Preconditions, Refused,
    testing::Values(ConversionRefusal { "OldVersion", record(0x4, sleep_line, 11), to_packet,
                        "ERROR: unsupported meta file version\n" },
        ConversionRefusal { "OldVersionBeforeInvalid", invalid(record(0x4, "", 11)), to_sleep,
            "ERROR: unsupported meta file version\n" },
        ConversionRefusal { "Invalid", invalid(record(0x4, sleep_line)), to_packet,
            "ERROR: cannot convert invalid disk record to binary\n" },
        ConversionRefusal {
            "Empty", record(0x400, ""), to_packet, "ERROR: cannot convert invalid disk record to binary\n" },
        ConversionRefusal { "UserHeader", user_header(record(0x4, sleep_line)), to_sleep,
            "ERROR: cannot convert user header to binary\n" },
        ConversionRefusal { "SleepOfAnotherType", record(0x10000, vital_line), to_sleep,
            "ERROR: cannot convert disk record to binary: type mismatch\n" },
        ConversionRefusal { "VitalSignsOfAnotherType", record(0x4, sleep_line), to_vitals,
            "ERROR: cannot convert disk record to binary: type mismatch\n" },
        ConversionRefusal { "PerformanceStatus", record(0x10, "x"), to_packet,
            "ERROR: cannot convert unsupported data type to binary\n" },
        ConversionRefusal { "CsvHeader", record(0x4, "TimeStamp;FrameCounter\n"), to_packet,
            "ERROR: cannot convert csv header to binary\n" },
        ConversionRefusal { "NumberThatIsNone", record(0x4, "t;x;2;14.5;0.75;88;0.125;2.5\n"), to_packet,
            "ERROR: failed to convert disk record to binary\n" },
        ConversionRefusal { "ShortSleepLine", record(0x4, "t;7;2\n"), to_sleep,
            "ERROR: failed to convert disk record to binary\n" },
        ConversionRefusal { "MalformedArray", record(0x8000, "t;4;1;1.5;[2]\n"), to_packet,
            "WARNING: invalid string array: 1.5\nERROR: failed to convert disk record to binary\n" }),
    [](const testing::TestParamInfo<ConversionRefusal>& param_info) {
        return std::string(param_info.param.name);
    });

TEST(DataRecordConversion, CsvRecordsBecomeTheirPacketsAndDecodedRecords)
{
    bool ok = false;
    const Bytes stage = record(0x20000, "t;9;3;80\n").to_binary_packet(&ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(Bytes({ 0x50, 0x02, 0x3A, 0x08, 0x41, 9, 0, 0, 0, 3, 0, 0, 0, 80, 0, 0, 0 }), stage);

    ok = false;
    const Sarvik::SleepData s = record(0x4, sleep_line).to_sleep_data(&ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(7u, s.frame_counter);
    EXPECT_EQ(2u, s.sensor_state);
    EXPECT_EQ(14.5f, s.respiration_rate);
    EXPECT_EQ(0.75f, s.distance);
    EXPECT_EQ(88u, s.signal_quality);
    EXPECT_EQ(0.125f, s.movement_slow);
    EXPECT_EQ(2.5f, s.movement_fast);

    ok = false;
    const Sarvik::VitalSignsData v = record(0x10000, vital_line).to_vitalsigns_data(&ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(11u, v.frame_counter);
    EXPECT_EQ(3u, v.sensor_state);
    EXPECT_EQ(12.5f, v.respiration_rate);
    EXPECT_EQ(61.0f, v.heart_rate);
    EXPECT_EQ(4.0f, v.normalized_movement_end);
}

} // namespace
