// What a data file stores for one module message of each type: one golden
// record per writer, the messages each writer refuses (short, foreign or
// with counts that claim more than the message holds) and the warning a
// recorder logs for them, the pulse-Doppler start, the CSV time stamp and
// the radar settings file, also under a comma-decimal locale.
#include "recording/RecordFormats.hpp"

#include <linkwell/DataRecorder.hpp>

#include "support/LogChecks.hpp"
#include "support/MessagePackets.hpp"
#include "support/ProcessLocale.hpp"
#include "support/RecordingLogger.hpp"
#include "support/SessionFiles.hpp"
#include "support/TestSupport.hpp"
#include "support/TimeZone.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <ctime>

using Sarvik::BasebandApDataType;
using Sarvik::BasebandIqDataType;
using Sarvik::ByteDataType;
using Sarvik::DataRecorder;
using Sarvik::DataType;
using Sarvik::FloatDataType;
using Sarvik::NoiseMapByteDataType;
using Sarvik::NoiseMapFloatDataType;
using Sarvik::PerformanceStatusType;
using Sarvik::PresenceMovingListDataType;
using Sarvik::PresenceSingleDataType;
using Sarvik::PulseDopplerByteDataType;
using Sarvik::PulseDopplerFloatDataType;
using Sarvik::RadarBasebandFloatDataType;
using Sarvik::RadarBasebandQ15DataType;
using Sarvik::RadarRfDataType;
using Sarvik::RadarRfNormalizedDataType;
using Sarvik::RecordingOptions;
using Sarvik::RespirationDataType;
using Sarvik::RespirationDetectionListDataType;
using Sarvik::RespirationMovingListDataType;
using Sarvik::RespirationNormalizedMovementListDataType;
using Sarvik::SleepDataType;
using Sarvik::SleepStageDataType;
using Sarvik::StringDataType;
using Sarvik::VitalSignsDataType;
using testsupport::comma_locale;
using testsupport::packets::appdata;
namespace record_formats = Sarvik::record_formats;
using testsupport::locale_name;
using testsupport::PayloadBuilder;
using testsupport::text_of;
using testsupport::TimeZone;
using testsupport::UnderLocale;

namespace {

using std::chrono::milliseconds;
using std::chrono::system_clock;

// 2017-01-31 14:25:01.047 UTC.
const system_clock::time_point moment = system_clock::time_point(milliseconds(1485872701047));

PayloadBuilder data_message(uint8_t sub_type)
{
    return std::move(PayloadBuilder().u8(0xA0).u8(sub_type));
}

record_formats::Record format(DataType type, const Bytes& message)
{
    bool started = false;
    return record_formats::format(type, message, moment, started);
}

Bytes performance_message()
{
    PayloadBuilder b;
    b.u8(0xA0).u8(0x50).u32(5).u32(0xAA).u32(92);
    for (uint32_t offset = 14; offset < 106; offset += 4)
        b.u32(offset == 98 ? static_cast<uint32_t>(-7) : 1000 + offset);
    return b;
}

struct Golden {
    const char* name;
    DataType type;
    Bytes message;
    std::string record; // after "<time stamp>;" for CSV types
};

const std::string stamp = "2017-01-31T14:25:01.047+00:00";

std::vector<Golden> golden_records()
{
    const Bytes data { 1, 2, 0x7D, 0xFF };
    return {
        { "BasebandAp", BasebandApDataType, appdata(0x0D).bytes(data), text_of(data) },
        { "BasebandApTakesIq", BasebandApDataType, appdata(0x0C).bytes(data), text_of(data) },
        { "BasebandIq", BasebandIqDataType, appdata(0x0C).bytes(data), text_of(data) },
        { "FloatData", FloatDataType, data_message(0x12).bytes(data), text_of(data) },
        { "ByteData", ByteDataType, data_message(0x10).bytes(data), text_of(data) },
        { "RadarRf", RadarRfDataType, appdata(0xC1A3117E).bytes(data), text_of(data) },
        { "RadarRfNormalized", RadarRfNormalizedDataType, appdata(0xB13B8F12).bytes(data), text_of(data) },
        { "RadarBasebandFloat", RadarBasebandFloatDataType, appdata(0x026F1379).bytes(data), text_of(data) },
        { "RadarBasebandQ15", RadarBasebandQ15DataType, appdata(0xEC8D0AA5).bytes(data), text_of(data) },
        { "Sleep", SleepDataType,
            appdata(0x2375A16C).u32(7).u32(2).f32(14.5f).f32(12.345678f).u32(90).f32(0.1f).f32(100.0f),
            "7;2;14.5;12.3457;90;0.1;100\n" },
        { "Respiration", RespirationDataType,
            appdata(0x2375FE26).u32(99).u32(3).u32(12).f32(1.5f).f32(0.25f).u32(80), "3;12;1.5;0.25;80\n" },
        { "StringData", StringDataType,
            data_message(0x13).u32(0x1234).u32(7).u32(11).text("hello;world", false),
            "4660;7;hello;world\n" },
        { "PresenceSingle", PresenceSingleDataType, appdata(0x723BFA1E).u32(5).u32(1).f32(2.5f).u8(3).u32(60),
            "5;1;2.5;3;60\n" },
        { "PresenceMovingList", PresenceMovingListDataType,
            appdata(0x723BFA1F)
                .u32(9)
                .u32(1)
                .u32(2)
                .u32(1)
                .f32(0.5f)
                .f32(1.5f)
                .f32(2)
                .f32(3)
                .f32(4)
                .f32(5)
                .f32(6),
            "9;1;2;1;[0.5,1.5];[2,3];[4];[5];[6]\n" },
        { "PresenceMovingListWithoutDetections", PresenceMovingListDataType,
            appdata(0x723BFA1F).u32(9).u32(0).u32(0).u32(0), "9;0;0;0;[];[];[];[];[]\n" },
        { "RespirationDetectionList", RespirationDetectionListDataType,
            appdata(0x610A3B02).u32(4).u32(2).f32(1).f32(2).f32(3).f32(4).f32(5).f32(6),
            "4;2;[1,2];[3,4];[5,6]\n" },
        { "RespirationDetectionListEmpty", RespirationDetectionListDataType,
            appdata(0x610A3B02).u32(4).u32(0), "4;0;[];[];[]\n" },
        { "RespirationMovingList", RespirationMovingListDataType,
            appdata(0x610A3B00).u32(8).u32(1).f32(0.125f).f32(-2.5f), "8;1;[0.125];[-2.5]\n" },
        { "RespirationMovingListEmpty", RespirationMovingListDataType, appdata(0x610A3B00).u32(8).u32(0),
            "8;0;[];[]\n" },
        { "VitalSigns", VitalSignsDataType,
            appdata(0x20020102)
                .u32(1)
                .u32(2)
                .f32(3)
                .f32(4)
                .f32(5)
                .f32(6)
                .f32(7)
                .f32(8)
                .f32(9.5f)
                .f32(10)
                .f32(11)
                .f32(1e-7f),
            "1;2;3;4;5;6;7;8;9.5;10;11;1e-07\n" },
        { "SleepStage", SleepStageDataType, appdata(0x41083A02).u32(1).u32(2).u32(0xFFFFFFFF),
            "1;2;4294967295\n" },
        { "NormalizedMovementList", RespirationNormalizedMovementListDataType,
            appdata(0xC3A331CF).u32(3).f32(0.5f).f32(0.1f).u32(2).f32(1).f32(2).f32(3).f32(4),
            "3;0.5;0.1;2;[1,2];[3,4]\n" },
        { "NormalizedMovementListEmpty", RespirationNormalizedMovementListDataType,
            appdata(0xC3A331CF).u32(3).f32(0.5f).f32(0.1f).u32(0), "3;0.5;0.1;0;[];[]\n" },
    };
}

class Writers : public UnderLocale {
protected:
    TimeZone utc { "UTC0" };
};

TEST_P(Writers, StoreEachTypesRecord)
{
    for (const auto& g : golden_records()) {
        SCOPED_TRACE(g.name);
        const auto record = format(g.type, g.message);
        const bool csv = !record_formats::csv_header_line(g.type).empty();
        EXPECT_EQ(csv ? stamp + ";" + g.record : g.record, text_of(record.bytes()));
        EXPECT_EQ("", record.note);
    }
}

TEST_P(Writers, StoreThePerformanceStatusAsATextBlock)
{
    const auto record = format(PerformanceStatusType, performance_message());
    EXPECT_EQ("Radar performance status\n"
              "  |- timestamp: 14:25:01.47\n"
              "  |- frame stitch: 1038\n"
              "  |- radar sweep: 1014\n"
              "  |- radar capture frame: 1018\n"
              "  |- radar normalized frame: 1022\n"
              "  |- app do primary: 1026\n"
              "  |- app do secondary: 1030\n"
              "  |- overflow radar trigger: 1046\n"
              "  |- overflow primary: 1050\n"
              "  |- overflow output: 1054\n"
              "  |- fps: 1042\n"
              "  |- idle ticks: 1090\n"
              "  |- period system ticks: -7\n"
              "  |- com TX buffer high watermark: 1094\n"
              "  |- mem sys stack untouched: 1058\n"
              "  |- mem OS heap: 1062\n"
              "  |- mem task radar: 1066\n"
              "  |- mem task app engine primary: 1070\n"
              "  |- mem task app engine secondary: 1074\n"
              "  |- mem task system: 1078\n"
              "  |- mem task uart RX: 1082\n"
              "  |- mem task uart TX: 1086\n",
        text_of(record.bytes()));
}

INSTANTIATE_TEST_SUITE_P(Locales, Writers, testing::Values("C", comma_locale), locale_name);

// What a recorder logs about one message of the type: the texts of its
// error-level lines, and whether it wrote any file.
struct Recorded {
    std::vector<std::string> errors;
    bool wrote_files;
};

Recorded record_one(DataType type, const Bytes& message)
{
    testsupport::TempDir dir;
    testsupport::RecordingLogger log;
    {
        DataRecorder recorder(log);
        RecordingOptions options;
        options.set_session_id("6a1c52e0-7777-4888-9999-aaaabbbbcccc");
        EXPECT_EQ(0, recorder.start_recording(type, dir.path(), options));
        recorder.process(type, message);
    }
    return { log.errors(), !testsupport::names_in(dir.path()).empty() };
}

TEST(Writers, RefuseWhatTheMessageDoesNotHold)
{
    struct RefusedMessage {
        const char* name;
        DataType type;
        Bytes message;
        std::string note;
        // Why the message is malformed; empty for one that is skipped on
        // purpose or refused with a note.
        std::string refusal;
    };
    const uint32_t huge = 0xFFFFFFFF;
    const std::string foreign = "unexpected head";
    Bytes performance = performance_message();
    performance.pop_back();
    Bytes other_performance = performance_message();
    other_performance[2] = 4;
    const std::vector<RefusedMessage> cases = {
        { "EmptyByteData", ByteDataType, data_message(0x10), "", "" },
        { "EmptyBaseband", BasebandApDataType, appdata(0x0D), "", "" },
        { "ForeignContentId", PresenceSingleDataType,
            appdata(0x723BFA1F).u32(5).u32(1).f32(2.5f).u8(3).u32(60), "", foreign },
        { "PresenceSingleShort", PresenceSingleDataType,
            appdata(0x723BFA1E).u32(5).u32(1).f32(2.5f).u8(3).u8(0), "", "needs 22 bytes" },
        { "PresenceSingleNotAppData", PresenceSingleDataType,
            PayloadBuilder().u8(0x51).u32(0x723BFA1E).u32(5).u32(1).f32(2.5f).u8(3).u32(60), "", foreign },
        { "MovingListCountsOverflow", PresenceMovingListDataType,
            appdata(0x723BFA1F).u32(9).u32(1).u32(huge).u32(huge), "", "needs 85899345921 bytes" },
        { "MovingListOneValueShort", PresenceMovingListDataType,
            appdata(0x723BFA1F).u32(9).u32(1).u32(1).u32(0).f32(1), "", "needs 29 bytes" },
        { "MovingListHead", PresenceMovingListDataType, appdata(0x723BFA1F).u32(9).u32(1).u32(0), "",
            "needs 21 bytes" },
        { "DetectionListCount", RespirationDetectionListDataType, appdata(0x610A3B02).u32(4).u32(huge), "",
            "needs 51539607553 bytes" },
        { "RespirationMovingListCount", RespirationMovingListDataType, appdata(0x610A3B00).u32(8).u32(huge),
            "", "needs 34359738373 bytes" },
        { "NormalizedMovementListCount", RespirationNormalizedMovementListDataType,
            appdata(0xC3A331CF).u32(3).f32(0.5f).f32(0.1f).u32(huge), "", "needs 34359738381 bytes" },
        { "Sleep32Bytes", SleepDataType,
            appdata(0x2375A16C).u32(7).u32(2).f32(1).f32(2).u32(3).f32(4).u8(0).u8(0).u8(0), "",
            "needs 33 bytes" },
        { "SleepStage16Bytes", SleepStageDataType, appdata(0x41083A02).u32(1).u32(2).u8(0).u8(0).u8(0), "",
            "needs 17 bytes" },
        { "VitalSignsShort", VitalSignsDataType, appdata(0x20020102).u32(1).u32(2), "", "needs 53 bytes" },
        { "PulseDoppler16Bytes", PulseDopplerFloatDataType,
            appdata(0x10).u32(0xAB).u32(0xCD).u8(0).u8(0).u8(0), "", "needs 17 bytes" },
        { "PulseDopplerBeforeItsStart", PulseDopplerFloatDataType,
            appdata(0x10).u32(0xAB).u32(0xCD).u32(3).u8(1), "", "" },
        { "RespirationState4", RespirationDataType,
            appdata(0x2375FE26).u32(9).u32(4).u32(1).f32(1).f32(1).u32(1), "", "" },
        { "RespirationSize", RespirationDataType,
            appdata(0x2375FE26).u32(9).u32(3).u32(1).f32(1).f32(1).u8(0),
            "invalid respiration binary, expected size: 24, actual: 21", "" },
        { "StringLength", StringDataType, data_message(0x13).u32(1).u32(2).u32(5).text("abc", false),
            "expected string message with length: 5, actual: 3", "" },
        { "StringShorterThanItsHead", StringDataType, data_message(0x13).u32(1).u32(2).u8(0).u8(0).u8(0), "",
            "needs 14 bytes" },
        { "PerformanceSize", PerformanceStatusType, performance,
            "invalid performance status binary, expected size: 92, actual: 91", "" },
        { "PerformanceShort", PerformanceStatusType, PayloadBuilder().u8(0xA0).u8(0x50).u32(5).u8(1),
            "invalid performance status binary, expected size: 92, actual: -7", "" },
        { "PerformanceOtherKind", PerformanceStatusType, other_performance, "", foreign },
        { "RadarWrongHead", RadarRfDataType, data_message(0x10).u32(0xC1A3117E).u8(1), "", foreign },
        { "FloatDataAsByteData", ByteDataType, data_message(0x12).u8(1), "", foreign },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto record = format(c.type, c.message);
        EXPECT_TRUE(record.empty()) << text_of(record.bytes());
        EXPECT_EQ(c.note, record.note);
        EXPECT_EQ(c.refusal, record.refusal);

        // A recorder warns about a malformed message, once, and writes
        // nothing for it.
        const Recorded recorded = record_one(c.type, c.message);
        EXPECT_FALSE(recorded.wrote_files);
        std::vector<std::string> expected;
        if (!c.refusal.empty())
            expected.push_back(DataRecorder::data_type_to_string(c.type) + ": message of "
                + std::to_string(c.message.size()) + " bytes refused (" + c.refusal + ")");
        EXPECT_EQ(expected, recorded.errors);
    }
}

TEST(Writers, PulseDopplerRecordingBeginsWithTheFirstMessageOfASweep)
{
    const auto message = [](uint32_t content_id, uint32_t step, uint8_t value) -> Bytes {
        return appdata(content_id).u32(0xAB).u32(0xCD).u32(step).u8(value);
    };
    struct Type {
        DataType type;
        uint32_t content_id;
    };
    for (const Type t : { Type { PulseDopplerFloatDataType, 0x10 }, Type { PulseDopplerByteDataType, 0x11 },
             Type { NoiseMapFloatDataType, 0x12 }, Type { NoiseMapByteDataType, 0x13 } }) {
        SCOPED_TRACE(t.type);
        bool started = false;
        const auto stored
            = [&](const Bytes& m) { return !record_formats::format(t.type, m, moment, started).empty(); };
        EXPECT_FALSE(stored(message(t.content_id, 3, 1)));
        EXPECT_FALSE(stored(message(t.content_id ^ 1, 0, 1))) << "another type's sweep start";
        EXPECT_FALSE(started);
        const Bytes first = message(t.content_id, 0, 2);
        EXPECT_EQ(Bytes(first.begin() + 5, first.end()),
            record_formats::format(t.type, first, moment, started).bytes());
        EXPECT_TRUE(started);
        EXPECT_TRUE(stored(message(t.content_id, 5, 3)));
        EXPECT_FALSE(stored(Bytes(first.begin(), first.begin() + 16))) << "16 bytes";
    }
}

TEST(CsvTimeStamp, ShowsLocalTimeWithMillisecondsAndTheOffsetFromUtc)
{
    struct Case {
        const char* tz;
        std::string text;
    };
    for (const Case& c : { Case { "UTC0", "2017-01-31T14:25:01.047+00:00" },
             Case { "XXX-01:30", "2017-01-31T15:55:01.047+01:30" },
             Case { "XXX+05", "2017-01-31T09:25:01.047-05:00" } }) {
        const TimeZone zone(c.tz);
        EXPECT_EQ(c.text, record_formats::csv_time_stamp(moment)) << c.tz;
    }
    const TimeZone zone("UTC0");
    EXPECT_EQ("2017-01-31T14:25:01.000+00:00",
        record_formats::csv_time_stamp(system_clock::time_point(milliseconds(1485872701000))));
}

TEST(CsvHeaders, NameTheFieldsOfEachCsvType)
{
    EXPECT_EQ("TimeStamp;Counter;PresenceState;MovementIntervalCount;DetectionCount;MovementSlowItem;"
              "MovementFastItem;DetectionDistance;DetectionRadarCrossSection;DetectionVelocity\n",
        record_formats::csv_header_line(PresenceMovingListDataType));
    EXPECT_EQ("TimeStamp;FrameCounter;SleepStage;Confidence\n",
        record_formats::csv_header_line(SleepStageDataType));
    EXPECT_EQ("", record_formats::csv_header_line(PerformanceStatusType));
    EXPECT_EQ("", record_formats::csv_header_line(ByteDataType));
    EXPECT_STREQ("txt", record_formats::file_extension(PerformanceStatusType));
    EXPECT_STREQ("csv", record_formats::file_extension(VitalSignsDataType));
    EXPECT_STREQ("dat", record_formats::file_extension(RadarBasebandQ15DataType));
    EXPECT_EQ(nullptr, record_formats::file_extension(static_cast<DataType>(3)));
}

class RadarSettings : public UnderLocale { };

Bytes settings_with(size_t block_size, int32_t pg_select)
{
    PayloadBuilder b;
    b.text("name\n", false);
    Bytes block(block_size, 0);
    const auto put = [&](size_t at, uint32_t v) {
        for (size_t i = 0; i < 4 && at + i < block.size(); ++i)
            block[at + i] = uint8_t(v >> (8 * i));
    };
    float f = 2.5f;
    uint32_t bits;
    std::memcpy(&bits, &f, 4);
    put(44, bits);
    put(992, static_cast<uint32_t>(pg_select));
    for (size_t i = 0; i < 13; ++i)
        put(1020 + 4 * i, bits + uint32_t(i));
    b.bytes(block);
    return b;
}

TEST_P(RadarSettings, AreWrittenOnlyFromAWholeBlock)
{
    const std::string text = record_formats::radar_settings_text(settings_with(1072, 0));
    EXPECT_EQ(
        0u, text.find("[MainSection]\nGUID=name\n\n[ChipSettings]\nSamplingRate=2.5\nCarrierFrequency=2.5\n"))
        << text;
    EXPECT_NE(std::string::npos, text.find("\nFrameStitch=0\n"));

    // Why settings give no text, or what their text leaves out.
    struct Problem {
        Bytes settings;
        std::string problem;
        bool has_text;
    };
    for (const auto& p : { Problem { settings_with(1072, 12), "", true },
             Problem { settings_with(1071, 0), "settings block of 1071 bytes, needs 1072", false },
             Problem { settings_with(0, 0), "settings block of 0 bytes, needs 1072", false },
             Problem { { 'n', 'a', 'm', 'e' }, "no name line", false },
             Problem { settings_with(1072, 13), "PGselect 13 outside 0 to 12, no carrier frequency", true },
             Problem {
                 settings_with(1072, -1), "PGselect -1 outside 0 to 12, no carrier frequency", true } }) {
        std::string problem = "left over";
        EXPECT_EQ(p.has_text, !record_formats::radar_settings_text(p.settings, &problem).empty())
            << p.problem;
        EXPECT_EQ(p.problem, problem);
    }

    EXPECT_EQ("", record_formats::radar_settings_text(settings_with(1071, 0)));
    EXPECT_EQ("", record_formats::radar_settings_text(settings_with(1073, 0)));
    EXPECT_EQ("", record_formats::radar_settings_text({}));
    EXPECT_EQ("", record_formats::radar_settings_text({ 'n', 'a', 'm', 'e' })) << "no line break";
    Bytes nameless = settings_with(1072, 0);
    nameless.erase(nameless.begin(), nameless.begin() + 4);
    EXPECT_EQ("", record_formats::radar_settings_text(nameless));

    // A PGselect outside the 13 carrier frequencies reads nothing outside the
    // block and shows no frequency.
    for (int32_t pg : { -1, 13, 0x7FFFFFFF })
        EXPECT_NE(std::string::npos,
            record_formats::radar_settings_text(settings_with(1072, pg))
                .find("\nCarrierFrequency=\nPulsesPerStep="))
            << pg;
}

INSTANTIATE_TEST_SUITE_P(Locales, RadarSettings, testing::Values("C", comma_locale), locale_name);

} // namespace
