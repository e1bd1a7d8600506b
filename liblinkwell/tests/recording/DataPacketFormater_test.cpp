#include <linkwell/DataPacketFormater.hpp>

#include "support/MessagePackets.hpp"
#include "support/ProcessLocale.hpp"
#include "support/TestSupport.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <stdexcept>

using Sarvik::DataPacketFormater;
using testsupport::comma_locale;
using testsupport::locale_name;
using testsupport::PayloadBuilder;
using testsupport::UnderLocale;
using testsupport::packets::appdata;

namespace {

Bytes line(const std::string& text)
{
    return Bytes(text.begin(), text.end());
}

struct Conversion {
    const char* name;
    unsigned type;
    Bytes record;
    Bytes message;
};

// Golden messages of every data type. Content ids are written out here, not
// taken from the codec's constants, so a wrong constant cannot hide itself.
std::vector<Conversion> conversions()
{
    return {
        { "BasebandAp", 0x1, { 0xAA, 0xBB }, appdata(0x0000000D).u8(0xAA).u8(0xBB) },
        { "BasebandIq", 0x2, { 0xAA }, appdata(0x0000000C).u8(0xAA) },
        { "PulseDopplerFloat", 0x40, { 1, 2, 3 }, appdata(0x00000010).u8(1).u8(2).u8(3) },
        { "PulseDopplerByte", 0x80, { 4 }, appdata(0x00000011).u8(4) },
        { "NoiseMapFloat", 0x100, { 5 }, appdata(0x00000012).u8(5) },
        { "NoiseMapByte", 0x200, { 6 }, appdata(0x00000013).u8(6) },
        { "FloatData", 0x400, { 7, 8 }, PayloadBuilder().u8(0xA0).u8(0x12).u8(7).u8(8) },
        { "EmptyFloatData", 0x400, {}, { 0xA0, 0x12 } },
        { "ByteData", 0x800, { 9 }, PayloadBuilder().u8(0xA0).u8(0x10).u8(9) },
        { "EmptyRadarRf", 0x80000, {}, { 0x50, 0x7E, 0x11, 0xA3, 0xC1 } },
        { "RadarRfNormalized", 0x100000, { 0x7D }, appdata(0xB13B8F12).u8(0x7D) },
        { "RadarBasebandFloat", 0x200000, { 0x7E }, appdata(0x026F1379).u8(0x7E) },
        { "RadarBasebandQ15", 0x400000, { 0x7F }, appdata(0xEC8D0AA5).u8(0x7F) },
        { "Sleep", 0x4, line("20240101 12:00:00.123;7;2;14.5;0.75;88;0.125;2.5\n"),
            appdata(0x2375A16C).u32(7).u32(2).f32(14.5f).f32(0.75f).u32(88).f32(0.125f).f32(2.5f) },
        { "RespirationHasNoFrameCounter", 0x8, line("t;2;15;1.25;0.5;90\n"),
            appdata(0x2375FE26).u32(0).u32(2).u32(15).f32(1.25f).f32(0.5f).u32(90) },
        { "StringCutAtSemicolon", 0x20, line("t;305419896;4294967295;hello; world\n"),
            PayloadBuilder().u8(0xA0).u8(0x13).u32(0x12345678).u32(0xFFFFFFFF).u32(5).text("hello", false) },
        { "StringKeepsInnerNewlines", 0x20, line("t;1;2;one\ntwo\n"),
            PayloadBuilder().u8(0xA0).u8(0x13).u32(1).u32(2).u32(7).text("one\ntwo", false) },
        { "EmptyString", 0x20, line("t;1;2;\n"), PayloadBuilder().u8(0xA0).u8(0x13).u32(1).u32(2).u32(0) },
        { "PresenceSingle", 0x1000, line("t;16777217;1;2.5;-1;77\n"),
            appdata(0x723BFA1E).u32(16777217).u32(1).f32(2.5f).u8(0xFF).u32(77) },
        { "PresenceMovingList", 0x2000, line("t;1;2;2;1;[0.5,1.5];[2,3];[4.5];[5];[6]\n"),
            appdata(0x723BFA1F)
                .u32(1)
                .u32(2)
                .u32(2)
                .u32(1)
                .f32(0.5f)
                .f32(1.5f)
                .f32(2)
                .f32(3)
                .f32(4.5f)
                .f32(5)
                .f32(6) },
        { "RespirationDetectionList", 0x4000, line("t;3;2;[1,2];[3,4];[5,6]\n"),
            appdata(0x610A3B02).u32(3).u32(2).f32(1).f32(2).f32(3).f32(4).f32(5).f32(6) },
        { "RespirationMovingListEmptyArrays", 0x8000, line("t;4;0;[];[]\n"),
            appdata(0x610A3B00).u32(4).u32(0) },
        { "VitalSigns", 0x10000, line("t;11;3;12.5;0.5;0.25;61;0.75;0.125;1;2;3;4\n"),
            appdata(0x20020102)
                .u32(11)
                .u32(3)
                .f32(12.5f)
                .f32(0.5f)
                .f32(0.25f)
                .f32(61)
                .f32(0.75f)
                .f32(0.125f)
                .f32(1)
                .f32(2)
                .f32(3)
                .f32(4) },
        { "SleepStage", 0x20000, line("t;9;3;80\n"), appdata(0x41083A02).u32(9).u32(3).u32(80) },
        { "RespirationNormalizedMovementList", 0x40000, line("t;5;0.5;0.25;2;[1,2];[3,4]\n"),
            appdata(0xC3A331CF).u32(5).f32(0.5f).f32(0.25f).u32(2).f32(1).f32(2).f32(3).f32(4) },
        // The unsigned fields: exact whatever their size, a fraction cut off,
        // a negative value wrapped, white space and a sign in front allowed.
        { "ExactLargeUnsigned", 0x20000, line("t;4294967295;16777217;4294967294\n"),
            appdata(0x41083A02).u32(0xFFFFFFFF).u32(16777217).u32(4294967294u) },
        { "UnsignedForms", 0x20000, line("t;3.9;-1; +12\n"),
            appdata(0x41083A02).u32(3).u32(0xFFFFFFFF).u32(12) },
        { "UnsignedExponent", 0x20000, line("t;1e3;0x10;7abc\n"),
            appdata(0x41083A02).u32(1000).u32(16).u32(7) },
        { "LowerCaseTimestampIsData", 0x20000, line("timestamp;1;2;3\n"),
            appdata(0x41083A02).u32(1).u32(2).u32(3) },
        { "TrailingCommaAddsNoItem", 0x8000, line("t;4;1;[1.5,];[2]\n"),
            appdata(0x610A3B00).u32(4).u32(1).f32(1.5f).f32(2) },
    };
}

class FromDisk : public UnderLocale { };

TEST_P(FromDisk, EveryTypeGivesItsGoldenMessageSilently)
{
    const DataPacketFormater formater(13);
    for (const Conversion& c : conversions()) {
        testing::internal::CaptureStdout();
        const Bytes message = formater.from_disk(c.type, c.record);
        EXPECT_EQ("", testing::internal::GetCapturedStdout()) << c.name;
        EXPECT_EQ(testsupport::to_hex(c.message), testsupport::to_hex(message)) << c.name;
    }
    // Version 12 converts as 13 does.
    EXPECT_EQ(Bytes({ 0xA0, 0x12 }), DataPacketFormater(12).from_disk(0x400, {}));
}

struct FormaterRefusal {
    const char* name;
    unsigned version;
    unsigned type;
    std::string record;
    std::string output;
};

std::vector<FormaterRefusal> refusals()
{
    const std::string sleep_header
        = "TimeStamp;FrameCounter;State;RPM;ObjectDistance;SignalQuality;MovementSlow;MovementFast\n";
    return {
        { "Version11", 11, 0x400, "",
            "WARNING: attempting to convert using unsupported meta version: 1.1\n" },
        { "Version10", 10, 0x400, "", "WARNING: attempting to convert using unsupported meta version: 1\n" },
        { "Version5", 5, 0x400, "", "WARNING: attempting to convert using unsupported meta version: 0.5\n" },
        { "Version0", 0, 0x400, "", "WARNING: attempting to convert using unsupported meta version: 0\n" },
        { "PerformanceStatus", 13, 0x10, "x",
            "WARNING: attempting to convert unsupported disk format: 16 to packet\n" },
        { "NoType", 13, 0, "x", "WARNING: attempting to convert unsupported disk format: 0 to packet\n" },
        { "UnknownBit", 13, 0x800000, "x",
            "WARNING: attempting to convert unsupported disk format: 8388608 to packet\n" },
        { "SeveralTypes", 13, 0x3, "x", "" },
        { "EveryType", 13, 0xFFFFFFFF, "x", "" },
        { "SleepHeader", 13, 0x4, sleep_header, "" },
        { "SleepHeaderWithoutNewline", 13, 0x4, sleep_header.substr(0, sleep_header.size() - 1),
            "WARNING: invalid header for sleep data: " + sleep_header.substr(0, sleep_header.size() - 1)
                + "\n" },
        { "RespirationHeader", 13, 0x8, "TimeStamp;State;RPM;ObjectDistance;ObjectMovement;SignalQuality\n",
            "" },
        { "StringHeader", 13, 0x20, "TimeStamp;ContentId;Info;Message\n", "" },
        { "ChangedStringHeader", 13, 0x20, "TimeStamp;ContentId;Info;Text\n",
            "WARNING: invalid header for string data: TimeStamp;ContentId;Info;Text\n\n" },
        { "ChangedRespirationHeader", 13, 0x8, "TimeStamp;State\n",
            "WARNING: invalid header for respiration data: TimeStamp;State\n\n" },
        { "RespirationListHeaderWarnsAsRespiration", 13, 0x4000, "TimeStamp;x\n",
            "WARNING: invalid header for respiration data: TimeStamp;x\n\n" },
        { "ChangedPresenceSingleHeader", 13, 0x1000, "TimeStamp;x\n",
            "WARNING: invalid header for presence single data: TimeStamp;x\n\n" },
        { "ChangedPresenceMovingListHeader", 13, 0x2000, "TimeStamp;x\n",
            "WARNING: invalid header for presence moving list data: TimeStamp;x\n\n" },
        { "ChangedVitalSignsHeader", 13, 0x10000, "TimeStamp;x\n",
            "WARNING: invalid header for vital signs data: TimeStamp;x\n\n" },
        { "ChangedSleepStageHeader", 13, 0x20000, "TimeStamp;FrameCounter;SleepStage;Certainty\n",
            "WARNING: invalid header for sleep stage data: TimeStamp;FrameCounter;SleepStage;Certainty\n\n" },
        { "ArrayWithoutBrackets", 13, 0x8000, "t;4;2;1.5,2;[3]\n", "WARNING: invalid string array: 1.5,2\n" },
        { "ArrayWithoutClosingBracket", 13, 0x40000, "t;5;0.5;0.25;2;[1,2;[3]\n",
            "WARNING: invalid string array: [1,2\n" },
        { "LastArrayWithoutBrackets", 13, 0x4000, "t;3;1;[1];[2];3\n", "WARNING: invalid string array: 3\n" },
    };
}

TEST_P(FromDisk, RefusedRecordsGiveNothingWithTheirExactWarnings)
{
    for (const FormaterRefusal& r : refusals()) {
        testing::internal::CaptureStdout();
        const Bytes message = DataPacketFormater(r.version).from_disk(r.type, line(r.record));
        EXPECT_EQ(r.output, testing::internal::GetCapturedStdout()) << r.name;
        EXPECT_TRUE(message.empty()) << r.name;
    }
}

struct BadNumber {
    const char* name;
    unsigned type;
    std::string record;
    bool out_of_range;
    const char* what;
};

TEST_P(FromDisk, FieldsWithoutANumberThrowToTheCaller)
{
    const std::vector<BadNumber> cases = {
        { "TextInUnsigned", 0x20000, "t;x;2;3\n", false, "stof" },
        { "EmptyUnsigned", 0x20000, "t;;2;3\n", false, "stof" },
        { "ShortLine", 0x20000, "t;1;2\n", false, "stof" },
        { "EmptyRecord", 0x4, "", false, "stof" },
        { "LowerCaseHeaderLine", 0x20000, "timestamp;FrameCounter;SleepStage;Confidence\n", false, "stof" },
        { "TextInFloat", 0x8, "t;1;2;abc;0.5;3\n", false, "stof" },
        { "TwoSigns", 0x8, "t;1;2;+-1;0.5;3\n", false, "stof" },
        { "FloatTooLarge", 0x8, "t;1;2;1e39;0.5;3\n", true, "stof" },
        { "UnsignedBeyond64Bits", 0x20000, "t;1e30;2;3\n", true, "stof" },
        { "UnsignedInfinity", 0x20000, "t;inf;2;3\n", true, "stof" },
        { "TextInArrayItem", 0x8000, "t;4;1;[1,x];[2]\n", false, "stof" },
        { "EmptyArrayItem", 0x8000, "t;4;1;[,1];[2]\n", false, "stof" },
        { "TextInDirection", 0x1000, "t;1;1;2.5;left;77\n", false, "stoi" },
        { "DirectionOutOfRange", 0x1000, "t;1;1;2.5;99999999999;77\n", true, "stoi" },
    };
    const DataPacketFormater formater(13);
    for (const BadNumber& c : cases) {
        try {
            formater.from_disk(c.type, line(c.record));
            ADD_FAILURE() << c.name << ": no exception";
        } catch (const std::out_of_range& e) {
            EXPECT_TRUE(c.out_of_range) << c.name;
            EXPECT_STREQ(c.what, e.what()) << c.name;
        } catch (const std::invalid_argument& e) {
            EXPECT_FALSE(c.out_of_range) << c.name;
            EXPECT_STREQ(c.what, e.what()) << c.name;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Locales, FromDisk, testing::Values("C", comma_locale), locale_name);

TEST(FromDiskTypes, SupportedTypesAreAllButPerformanceStatus)
{
    EXPECT_EQ(0x7FFFEFu, DataPacketFormater::supported_data_types());
}

} // namespace
