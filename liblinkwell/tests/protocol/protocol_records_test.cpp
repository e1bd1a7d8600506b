// Decoded records copied into the public records: every array with exactly
// its count of elements, taken from unaligned places in the packet.
#include "protocol/Parser.hpp"
#include "protocol/protocol_records.hpp"
#include "support/MessagePackets.hpp"
#include "support/RecordingLogger.hpp"

#include <gtest/gtest.h>

using testsupport::Bytes;
using namespace testsupport::packets;

namespace {

class PublicRecords : public ::testing::Test {
protected:
    template <typename T, typename Method> T decode(Method method, const Bytes& packet)
    {
        ParseResult<T> result;
        (parser.*method)(packet, &result);
        EXPECT_TRUE(result.valid);
        return result.record;
    }

    testsupport::RecordingLogger logger;
    Parser parser { logger };
};

TEST_F(PublicRecords, ScalarRecordsKeepEveryField)
{
    const auto resp
        = to_public(decode<RespirationData>(&Parser::parse_respiration_status, respiration_status()));
    EXPECT_EQ(u32_field(1), resp.frame_counter);
    EXPECT_EQ(u32_field(6), resp.signal_quality);
    const auto sleep = to_public(decode<SleepData>(&Parser::parse_sleep_status, sleep_status()));
    EXPECT_EQ(f32_field(6), sleep.movement_slow);
    EXPECT_EQ(f32_field(7), sleep.movement_fast);
    const auto vital
        = to_public(decode<VitalSignsData>(&Parser::parse_vitalsigns_status, vitalsigns_status()));
    EXPECT_EQ(f32_field(3), vital.respiration_rate);
    EXPECT_EQ(f32_field(12), vital.normalized_movement_end);
    const auto stage
        = to_public(decode<SleepStageData>(&Parser::parse_sleepstage_status, sleepstage_status()));
    EXPECT_EQ(u32_field(3), stage.confidence);
    const auto single
        = to_public(decode<PresenceSingleData>(&Parser::parse_presence_single, presence_single()));
    EXPECT_EQ(f32_field(3), single.distance);
    EXPECT_EQ(0x7F, single.direction);
    EXPECT_EQ(u32_field(5), single.signal_quality);
}

TEST_F(PublicRecords, ListsOwnTheirItems)
{
    Bytes packet = presence_movinglist(2, 3);
    const auto list = to_public(decode<PresenceMovingListData>(&Parser::parse_presence_movinglist, packet));
    packet.assign(packet.size(), 0); // the copy no longer depends on the packet
    EXPECT_EQ(u32_field(1), list.frame_counter);
    EXPECT_EQ(u32_field(2), list.presence_state);
    EXPECT_EQ(f32_items(1, 2), list.movement_slow_items);
    EXPECT_EQ(f32_items(2, 2), list.movement_fast_items);
    EXPECT_EQ(f32_items(3, 3), list.detection_distance_items);
    EXPECT_EQ(f32_items(4, 3), list.detection_radar_cross_section_items);
    EXPECT_EQ(f32_items(5, 3), list.detection_velocity_items);

    const auto moving = to_public(
        decode<RespirationMovingListData>(&Parser::parse_respiration_movinglist, respiration_movinglist(4)));
    EXPECT_EQ(f32_items(1, 4), moving.movement_slow_items);
    EXPECT_EQ(f32_items(2, 4), moving.movement_fast_items);

    const auto detection = to_public(decode<RespirationDetectionListData>(
        &Parser::parse_respiration_detectionlist, respiration_detectionlist(2)));
    EXPECT_EQ(2u, detection.detection_count);
    EXPECT_EQ(f32_items(3, 2), detection.detection_velocity_items);

    const auto normalized = to_public(decode<RespirationNormalizedMovementListData>(
        &Parser::parse_respiration_normalizedmovementlist, respiration_normalizedmovementlist(3)));
    EXPECT_EQ(3u, normalized.count);
    EXPECT_EQ(f32_field(2), normalized.start);
    EXPECT_EQ(f32_items(2, 3), normalized.normalized_movement_fast_items);
}

TEST_F(PublicRecords, FramesOwnTheirSamples)
{
    const auto iq = to_public(decode<BasebandIqData>(&Parser::parse_baseband_iq, baseband(0x0C, 5)));
    EXPECT_EQ(f32_field(6), iq.parameter_4);
    EXPECT_EQ(f32_items(1, 5), iq.i_data);
    EXPECT_EQ(f32_items(2, 5), iq.q_data);
    const auto ap = to_public(decode<BasebandApData>(&Parser::parse_baseband_ap, baseband(0x0D, 1)));
    EXPECT_EQ(f32_items(1, 1), ap.amplitude);
    EXPECT_EQ(f32_items(2, 1), ap.phase);
    const auto rf = to_public(decode<RadarRfData>(&Parser::parse_radar_rf, radar_rf(0xC1A3117E, 3)));
    EXPECT_EQ(static_cast<float>(u32_field(6)), rf.parameter_4);
    EXPECT_EQ(f32_items(1, 3), rf.data);
    const auto rfn = to_public(
        decode<RadarRfNormalizedData>(&Parser::parse_radar_rf_normalized, radar_rf(0xB13B8F12, 2)));
    EXPECT_EQ(f32_field(7), rfn.parameter_5);
    EXPECT_EQ(f32_items(1, 2), rfn.data);
    const auto bf = to_public(
        decode<RadarBasebandFloatData>(&Parser::parse_radar_baseband_float, radar_baseband_float(2)));
    EXPECT_EQ(u32_field(8), bf.parameter_6);
    EXPECT_EQ(f32_field(11), bf.parameter_9);
    EXPECT_EQ(f32_items(2, 2), bf.q_data);
    const auto q15
        = to_public(decode<RadarBasebandQ15Data>(&Parser::parse_radar_baseband_q15, radar_baseband_q15(3)));
    EXPECT_EQ(f32_field(12), q15.parameter_10);
    EXPECT_EQ((std::vector<int16_t> { i16_item(1, 0), i16_item(1, 1), i16_item(1, 2) }), q15.i_data);
    EXPECT_EQ((std::vector<int16_t> { i16_item(2, 0), i16_item(2, 1), i16_item(2, 2) }), q15.q_data);
}

TEST_F(PublicRecords, PulseDopplerAndFloatData)
{
    const auto pf = to_public(
        decode<PulseDopplerFloatData>(&Parser::parse_pulsedoppler_float, pulsedoppler_float(0x10, 4)));
    EXPECT_EQ(4u, pf.count);
    EXPECT_EQ(u32_field(6), pf.parameter_5);
    EXPECT_EQ(f32_field(11), pf.parameter_10);
    EXPECT_EQ(f32_items(1, 4), pf.data);
    const auto pb = to_public(
        decode<PulseDopplerByteData>(&Parser::parse_pulsedoppler_byte, pulsedoppler_byte(0x13, 3)));
    EXPECT_EQ(f32_field(13), pb.parameter_12);
    EXPECT_EQ((std::vector<uint8_t> { u8_item(0), u8_item(1), u8_item(2) }), pb.data);
    const auto df
        = to_public(decode<FloatData_>(&Parser::parse_data_float, data_float(5, 6, { 0.5f, -1.0f })));
    EXPECT_EQ(5u, df.content_id);
    EXPECT_EQ(6u, df.info);
    EXPECT_EQ((std::vector<float> { 0.5f, -1.0f }), df.data);
}

TEST_F(PublicRecords, EmptyArraysStayEmpty)
{
    const auto rf = to_public(decode<RadarRfData>(&Parser::parse_radar_rf, radar_rf(0xC1A3117E, 0)));
    EXPECT_TRUE(rf.data.empty());
    const auto list = to_public(
        decode<PresenceMovingListData>(&Parser::parse_presence_movinglist, presence_movinglist(0, 0)));
    EXPECT_TRUE(list.movement_slow_items.empty());
    EXPECT_TRUE(list.detection_velocity_items.empty());
}

} // namespace
