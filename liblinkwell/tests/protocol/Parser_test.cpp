#include "protocol/Parser.hpp"
#include "support/MessagePackets.hpp"
#include "support/RecordingLogger.hpp"
#include "support/TestSupport.hpp"

#include <gtest/gtest.h>

using testsupport::Bytes;
using testsupport::hex;
using namespace testsupport::packets;

namespace {

class ParserTest : public ::testing::Test {
protected:
    testsupport::RecordingLogger logger;
    Parser parser { logger };
};

TEST_F(ParserTest, LogsItsConstructionAtLevelFive)
{
    const auto entries = logger.entries();
    ASSERT_EQ(1u, entries.size());
    EXPECT_EQ(5u, entries[0].level);
    EXPECT_EQ("parser constructor", entries[0].text);
}

TEST_F(ParserTest, ModuleErrorFailsAnAck)
{
    ParseResult<Ack> result;
    EXPECT_EQ(5, parser.parse_ack(hex("20 05 00 00 00"), &result));
    EXPECT_TRUE(result.error);
    EXPECT_EQ(5u, result.error_code);
    EXPECT_FALSE(result.valid);
}

// Callers test the flag, not the status: a module code 0 is still an error.
TEST_F(ParserTest, ModuleErrorCodeZeroStillSetsTheErrorFlag)
{
    ParseResult<Ack> result;
    EXPECT_EQ(0, parser.parse_ack(error(0), &result));
    EXPECT_TRUE(result.error);
    EXPECT_EQ(0u, result.error_code);
    EXPECT_FALSE(result.valid);
}

TEST_F(ParserTest, ReplyRecordPointsIntoThePacketVector)
{
    const Bytes packet = reply(0x11, 0x58, 0, hex("2A 00 00 00"));
    ParseResult<Reply> result;
    EXPECT_EQ(0, parser.parse_reply(packet, &result));
    EXPECT_FALSE(result.error);
    EXPECT_TRUE(result.valid);
    EXPECT_EQ(packet.data() + 14, result.record.data);
    EXPECT_EQ(4u, result.record.length);
    EXPECT_EQ(0x58u, result.record.id);
}

TEST_F(ParserTest, ShortPongIsForeign)
{
    ParseResult<unsigned int> result;
    EXPECT_EQ(1, parser.parse_pong(hex("01 02 03"), &result));
    EXPECT_TRUE(result.error);
    EXPECT_EQ(0xDEADBEEFu, result.error_code);
    EXPECT_FALSE(result.valid);
}

TEST_F(ParserTest, EmptyPacketReportsFive)
{
    ParseResult<SystemStatus> result;
    EXPECT_EQ(5, parser.parse_system_status({}, &result));
    EXPECT_TRUE(result.error);
    EXPECT_EQ(5u, result.error_code);
}

TEST_F(ParserTest, ResultStartsPrepared)
{
    const ParseResult<RespirationData> fresh;
    EXPECT_FALSE(fresh.error);
    EXPECT_EQ(0xDEADBEEFu, fresh.error_code);
    EXPECT_FALSE(fresh.valid);
}

// Every method reaches the decoder of its own name and fills its own record.
TEST_F(ParserTest, EveryMethodDecodesItsMessage)
{
    {
        ParseResult<unsigned int> r;
        EXPECT_EQ(0, parser.parse_pong(pong(0xEEAAEAAE), &r));
        EXPECT_TRUE(r.valid);
        EXPECT_EQ(0xEEAAEAAEu, r.record);
    }
    {
        ParseResult<FloatData_> r;
        EXPECT_EQ(0, parser.parse_data_float(data_float(3, 4, { 1.0f, 2.0f }), &r));
        EXPECT_EQ(2u, r.record.length);
        EXPECT_EQ(4u, r.record.info);
    }
    {
        ParseResult<SystemStatus> r;
        EXPECT_EQ(0, parser.parse_system_status(system_status(9), &r));
        EXPECT_EQ(9u, r.record.status);
    }
    auto check = [](auto&& method, const Bytes& packet, auto result, auto field_check) {
        EXPECT_EQ(0, method(packet, &result));
        EXPECT_TRUE(result.valid);
        EXPECT_FALSE(result.error);
        field_check(result.record);
    };
#define CHECK(method, Record, packet, expr)                                                                  \
    check([this](const Bytes& p, ParseResult<Record>* r) { return parser.method(p, r); }, packet,            \
        ParseResult<Record> {}, [](const Record& rec) { expr; })
    CHECK(parse_respiration_status, RespirationData, respiration_status(),
        EXPECT_EQ(u32_field(3), rec.respiration_rate));
    CHECK(parse_sleep_status, SleepData, sleep_status(), EXPECT_EQ(f32_field(7), rec.movement_fast));
    CHECK(parse_vitalsigns_status, VitalSignsData, vitalsigns_status(),
        EXPECT_EQ(f32_field(6), rec.heart_rate));
    CHECK(parse_sleepstage_status, SleepStageData, sleepstage_status(),
        EXPECT_EQ(u32_field(2), rec.sleep_stage));
    CHECK(parse_baseband_ap, BasebandApData, baseband(0x0D, 2), EXPECT_EQ(2u, rec.num_bins));
    CHECK(parse_baseband_iq, BasebandIqData, baseband(0x0C, 3), EXPECT_EQ(3u, rec.num_bins));
    CHECK(parse_radar_rf, RadarRfData, radar_rf(0xC1A3117E, 4), EXPECT_EQ(4u, rec.num_bins));
    CHECK(parse_radar_rf_normalized, RadarRfNormalizedData, radar_rf(0xB13B8F12, 5),
        EXPECT_EQ(5u, rec.num_bins));
    CHECK(parse_radar_baseband_float, RadarBasebandFloatData, radar_baseband_float(2),
        EXPECT_EQ(u32_field(9), rec.parameter_7));
    CHECK(parse_radar_baseband_q15, RadarBasebandQ15Data, radar_baseband_q15(2),
        EXPECT_EQ(f32_field(12), rec.parameter_10));
    CHECK(parse_presence_single, PresenceSingleData, presence_single(), EXPECT_EQ(0x7F, rec.direction));
    CHECK(parse_presence_movinglist, PresenceMovingListData, presence_movinglist(1, 2),
        EXPECT_EQ(2u, rec.detection_count));
    CHECK(parse_respiration_movinglist, RespirationMovingListData, respiration_movinglist(3),
        EXPECT_EQ(3u, rec.movement_interval_count));
    CHECK(parse_respiration_detectionlist, RespirationDetectionListData, respiration_detectionlist(4),
        EXPECT_EQ(4u, rec.detection_count));
    CHECK(parse_respiration_normalizedmovementlist, RespirationNormalizedMovementListData,
        respiration_normalizedmovementlist(2), EXPECT_EQ(f32_field(3), rec.bin_length));
    CHECK(parse_pulsedoppler_float, PulseDopplerFloatData, pulsedoppler_float(0x12, 3),
        EXPECT_EQ(3u, rec.count));
    CHECK(
        parse_pulsedoppler_byte, PulseDopplerByteData, pulsedoppler_byte(0x11, 5), EXPECT_EQ(5u, rec.count));
#undef CHECK
    {
        ParseResult<Ack> r;
        EXPECT_EQ(0, parser.parse_ack(ack(), &r));
        EXPECT_TRUE(r.valid);
    }
}

// A refusal leaves the record untouched and the valid flag clear.
TEST_F(ParserTest, RefusedContentLeavesNoRecord)
{
    ParseResult<BasebandIqData> result;
    Bytes packet = baseband(0x0C, 4);
    put_u32(packet, 9, 0xFFFFFFFF);
    EXPECT_EQ(2, parser.parse_baseband_iq(packet, &result));
    EXPECT_TRUE(result.error);
    EXPECT_EQ(2u, result.error_code);
    EXPECT_FALSE(result.valid);
    EXPECT_EQ(nullptr, result.record.i_data);
}

} // namespace
