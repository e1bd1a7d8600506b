#include <linkwell/DataRecorder.hpp>
#include <linkwell/PreferredSplitSize.hpp>
#include <linkwell/RecordingOptions.hpp>

#include "recording/DataTypeTable.hpp"

#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <vector>

using Sarvik::DataRecorder;
using Sarvik::PreferredSplitSize;
using Sarvik::RecordingOptions;

namespace {

struct SplitCase {
    const char* name;
    void (*apply)(PreferredSplitSize&);
    int type;
    int duration;
    long long byte_count;
    int hour;
    const char* output;
};

void PrintTo(const SplitCase& c, std::ostream* os)
{
    *os << c.name;
}

class SplitRule : public testing::TestWithParam<SplitCase> { };

TEST_P(SplitRule, KeepsOnlyTheLastValueGiven)
{
    const SplitCase& c = GetParam();
    PreferredSplitSize split;
    testing::internal::CaptureStdout();
    c.apply(split);
    EXPECT_EQ(c.output, testing::internal::GetCapturedStdout());
    EXPECT_EQ(c.type, split.get_type());
    EXPECT_EQ(c.duration, split.get_duration());
    EXPECT_EQ(c.byte_count, split.get_byte_count());
    EXPECT_EQ(c.hour, split.get_fixed_daily_hour());
}

constexpr int no_split = PreferredSplitSize::NoSplit;

INSTANTIATE_TEST_SUITE_P(Setters, SplitRule,
    testing::Values(SplitCase { "Default", [](PreferredSplitSize&) {}, no_split, -1, -1, -1, "" },
        SplitCase { "Duration", [](PreferredSplitSize& s) { s.set_duration(60); }, 0, 60, -1, -1, "" },
        SplitCase {
            "ZeroDuration", [](PreferredSplitSize& s) { s.set_duration(0); }, no_split, -1, -1, -1, "" },
        SplitCase {
            "NegativeDuration", [](PreferredSplitSize& s) { s.set_duration(-5); }, no_split, -1, -1, -1, "" },
        SplitCase { "ByteCount", [](PreferredSplitSize& s) { s.set_byte_count(1); }, 1, -1, 1, -1, "" },
        SplitCase { "ByteCountAbove32Bits", [](PreferredSplitSize& s) { s.set_byte_count(5000000000LL); }, 1,
            -1, 5000000000LL, -1, "" },
        SplitCase {
            "ZeroByteCount", [](PreferredSplitSize& s) { s.set_byte_count(0); }, no_split, -1, -1, -1, "" },
        SplitCase { "HourZero", [](PreferredSplitSize& s) { s.set_fixed_daily_hour(0); }, 2, -1, -1, 0, "" },
        SplitCase { "Hour23", [](PreferredSplitSize& s) { s.set_fixed_daily_hour(23); }, 2, -1, -1, 23, "" },
        SplitCase { "NegativeHour", [](PreferredSplitSize& s) { s.set_fixed_daily_hour(-1); }, no_split, -1,
            -1, -1, "" },
        SplitCase { "Hour24IsClamped", [](PreferredSplitSize& s) { s.set_fixed_daily_hour(24); }, 2, -1, -1,
            23,
            "WARNING: set_fixed_daily_hour: invalid hour: 24: must be in range [0-23]; clamping value\n" },
        SplitCase { "DurationAfterByteCount",
            [](PreferredSplitSize& s) {
                s.set_byte_count(100);
                s.set_duration(5);
            },
            0, 5, -1, -1, "" },
        SplitCase { "RefusedValueForgetsTheRule",
            [](PreferredSplitSize& s) {
                s.set_fixed_daily_hour(4);
                s.set_duration(0);
            },
            no_split, -1, -1, -1, "" }),
    [](const testing::TestParamInfo<SplitCase>& param_info) { return std::string(param_info.param.name); });

TEST(SplitRuleCopies, CopiesAreDeepAndMovesTakeTheValue)
{
    PreferredSplitSize original;
    original.set_byte_count(42);
    PreferredSplitSize copy(original);
    original.set_duration(7);
    EXPECT_EQ(42, copy.get_byte_count());

    PreferredSplitSize assigned;
    assigned = original;
    original.set_fixed_daily_hour(3);
    EXPECT_EQ(7, assigned.get_duration());

    PreferredSplitSize moved(std::move(assigned));
    EXPECT_EQ(7, moved.get_duration());
    assigned = copy; // a moved-from rule can be assigned to again
    EXPECT_EQ(42, assigned.get_byte_count());
}

TEST(RecordingOptionsDefaults, FreshIdNoSplitsNoLimitNoHeaderNoFlush)
{
    const RecordingOptions options;
    EXPECT_TRUE(std::regex_match(options.get_session_id(),
        std::regex("[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}")))
        << options.get_session_id();
    EXPECT_EQ(PreferredSplitSize::NoSplit, options.get_file_split_size().get_type());
    EXPECT_EQ(PreferredSplitSize::NoSplit, options.get_directory_split_size().get_type());
    EXPECT_EQ(-1, options.get_data_rate_limit());
    EXPECT_TRUE(options.get_user_header().empty());
    EXPECT_FALSE(options.get_flush_on_write());
}

TEST(RecordingOptionsDefaults, EveryObjectHasItsOwnId)
{
    std::set<std::string> ids;
    for (int i = 0; i < 100; ++i)
        ids.insert(RecordingOptions().get_session_id());
    EXPECT_EQ(100u, ids.size());
}

TEST(RecordingOptionsCopies, CopyKeepsEveryFieldIncludingTheSession)
{
    RecordingOptions options;
    PreferredSplitSize hourly;
    hourly.set_duration(3600);
    PreferredSplitSize daily;
    daily.set_fixed_daily_hour(6);
    options.set_file_split_size(hourly);
    options.set_directory_split_size(daily);
    options.set_data_rate_limit(250);
    options.set_user_header({ 1, 2, 3 });
    options.set_flush_on_write(true);

    const RecordingOptions copy(options);
    RecordingOptions assigned;
    assigned = options;
    for (const RecordingOptions* o : { &copy, static_cast<const RecordingOptions*>(&assigned) }) {
        EXPECT_EQ(options.get_session_id(), o->get_session_id());
        EXPECT_EQ(3600, o->get_file_split_size().get_duration());
        EXPECT_EQ(6, o->get_directory_split_size().get_fixed_daily_hour());
        EXPECT_EQ(250, o->get_data_rate_limit());
        EXPECT_EQ((Bytes { 1, 2, 3 }), o->get_user_header());
        EXPECT_TRUE(o->get_flush_on_write());
    }

    // Changing the source afterwards leaves the copy alone, also the split
    // rule returned by value.
    options.get_file_split_size().set_byte_count(1);
    options.set_session_id("");
    EXPECT_EQ(3600, options.get_file_split_size().get_duration());
    EXPECT_NE("", copy.get_session_id());

    RecordingOptions moved(std::move(assigned));
    EXPECT_EQ(copy.get_session_id(), moved.get_session_id());
}

TEST(DataTypeNames, DisplayNamesOfEveryTypeAndOfOtherValues)
{
    const std::vector<std::pair<uint32_t, const char*>> names = {
        { 0x1, "Baseband amplitude phase data" },
        { 0x2, "Baseband iq data" },
        { 0x4, "Sleep data" },
        { 0x8, "Respiration data" },
        { 0x10, "Performance status" },
        { 0x20, "String data" },
        { 0x40, "Pulse doppler float data" },
        { 0x80, "Pulse doppler byte data" },
        { 0x100, "Noise map float data" },
        { 0x200, "Noise map byte data" },
        { 0x400, "Float data" },
        { 0x800, "Byte data" },
        { 0x1000, "presence single" },
        { 0x2000, "presence moving list" },
        { 0x4000, "respiration detection list" },
        { 0x8000, "respiration moving list" },
        { 0x10000, "vital signs" },
        { 0x20000, "sleep stage" },
        { 0x40000, "respiration normalized movement list" },
        { 0x80000, "radar rf" },
        { 0x100000, "radar rf normalized" },
        { 0x200000, "radar baseband float" },
        { 0x400000, "radar baseband Q15" },
        { 0x0, "<unknown data type>" },
        { 0x3, "<unknown data type>" },
        { 0x800000, "<unknown data type>" },
        { 0xFFFFFFFF, "<unknown data type>" },
    };
    for (const auto& [value, name] : names)
        EXPECT_EQ(name, DataRecorder::data_type_to_string(static_cast<Sarvik::DataType>(value))) << value;
}

TEST(DataTypeNames, WalkOrderIsValueOrderWithTwoSwapsAndBaseNamesFollowTheTypes)
{
    std::vector<uint32_t> order;
    for (const auto& info : Sarvik::data_type_walk_order)
        order.push_back(info.type);
    const std::vector<uint32_t> expected
        = { 0x1, 0x2, 0x4, 0x8, 0x10, 0x20, 0x40, 0x80, 0x100, 0x200, 0x400, 0x800, 0x1000, 0x2000, 0x8000,
              0x4000, 0x40000, 0x10000, 0x20000, 0x80000, 0x100000, 0x200000, 0x400000 };
    EXPECT_EQ(expected, order);

    const std::vector<std::pair<uint32_t, const char*>> base_names = {
        { 0x10, "sarvik_perf" },
        { 0x20, "sarvik_datastring" },
        { 0x4000, "sarvik_respiration_detectionlist" },
        { 0x8000, "sarvik_respiration_movinglist" },
        { 0x40000, "sarvik_respiration_normalizedmovementlist" },
        { 0x400000, "sarvik_radar_baseband_q15" },
    };
    for (const auto& [value, name] : base_names)
        EXPECT_STREQ(name, Sarvik::find_data_type(value)->base_name) << value;
}

} // namespace
