// The message decoders: one table of accept and reject cases per decoder
// family, the field layout of every record, the basic messages, and the
// dispatch of parse and parse_appdata.
#include "support/MessagePackets.hpp"
#include "support/TestSupport.hpp"
#include <linkwell/protocol_parser.h>

#include <gtest/gtest.h>

#include <any>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

using testsupport::Bytes;
using testsupport::hex;
using namespace testsupport::packets;

namespace {

using Decoder = int (*)(const HostParser*, const uint8_t*, uint32_t, void*);

// Every slot call a decoder made, with the last record it passed.
struct Calls {
    std::vector<std::string> slots; // "on_error" included
    std::vector<uint32_t> errors;
    std::any record;
    std::unique_ptr<Bytes> packet; // copy of the packet, see Recorder::run

    int data_calls() const
    {
        int n = 0;
        for (const auto& s : slots)
            n += s != "on_error";
        return n;
    }
};

template <typename T> void keep(const char* slot, T record, void* user)
{
    auto* calls = static_cast<Calls*>(user);
    calls->slots.push_back(slot);
    calls->record = record;
}

// A table whose every slot records its call.
struct Recorder : HostParser {
    Recorder()
    {
#define RECORD(slot, Type) slot = [](Type r, void* u) { keep(#slot, r, u); }
        RECORD(on_pong, uint32_t);
        on_error = [](uint32_t code, void* u) {
            auto* calls = static_cast<Calls*>(u);
            calls->slots.push_back("on_error");
            calls->errors.push_back(code);
        };
        RECORD(on_ack, Ack);
        RECORD(on_data_float, FloatData_);
        RECORD(on_reply, Reply);
        RECORD(on_respiration, RespirationData);
        RECORD(on_sleep, SleepData);
        RECORD(on_vitalsigns, VitalSignsData);
        RECORD(on_sleepstage, SleepStageData);
        RECORD(on_baseband_ap, BasebandApData);
        RECORD(on_baseband_iq, BasebandIqData);
        RECORD(on_presence_single, PresenceSingleData);
        RECORD(on_presence_movinglist, PresenceMovingListData);
        RECORD(on_system_status, SystemStatus);
        RECORD(on_respiration_movinglist, RespirationMovingListData);
        RECORD(on_respiration_detectionlist, RespirationDetectionListData);
        RECORD(on_respiration_normalizedmovementlist, RespirationNormalizedMovementListData);
        RECORD(on_pulsedoppler_float, PulseDopplerFloatData);
        RECORD(on_pulsedoppler_byte, PulseDopplerByteData);
        RECORD(on_radar_rf, RadarRfData);
        RECORD(on_radar_rf_normalized, RadarRfNormalizedData);
        RECORD(on_radar_baseband_float, RadarBasebandFloatData);
        RECORD(on_radar_baseband_q15, RadarBasebandQ15Data);
#undef RECORD
    }

    // Decodes a heap copy of exactly the packet's size, so that a read past
    // its end is caught by the address sanitizer; the copy stays alive in
    // the returned calls for records that point into it.
    struct Result {
        int status;
        Calls calls;
    };
    Result run(Decoder decoder, const Bytes& packet) const
    {
        Result out { 0, {} };
        out.calls.packet = std::make_unique<Bytes>(packet);
        const uint8_t* data = packet.empty() ? nullptr : out.calls.packet->data();
        out.status = decoder(this, data, static_cast<uint32_t>(packet.size()), &out.calls);
        return out;
    }
};

// What a decoder did with one packet: the status it returned and either the
// code it reported or the data slot it called.
struct Outcome {
    int status;
    std::optional<uint32_t> reported; // error slot code; none when a data slot is expected
};

Outcome accepted()
{
    return { 0, std::nullopt };
}

Bytes without_last(Bytes packet)
{
    packet.pop_back();
    return packet;
}
Outcome refused(uint32_t code, int status)
{
    return { status, code };
}

std::string describe(const Recorder::Result& r)
{
    std::string out = "status " + std::to_string(r.status) + ", slots:";
    for (size_t i = 0, e = 0; i < r.calls.slots.size(); ++i) {
        out += " " + r.calls.slots[i];
        if (r.calls.slots[i] == "on_error")
            out += "(" + std::to_string(r.calls.errors[e++]) + ")";
    }
    return out;
}

void expect_outcome(
    const Recorder::Result& r, const Outcome& expected, const char* data_slot, const std::string& what)
{
    SCOPED_TRACE(what + ": " + describe(r));
    EXPECT_EQ(expected.status, r.status);
    ASSERT_EQ(1u, r.calls.slots.size());
    if (expected.reported) {
        EXPECT_EQ("on_error", r.calls.slots[0]);
        ASSERT_EQ(1u, r.calls.errors.size());
        EXPECT_EQ(*expected.reported, r.calls.errors[0]);
    } else {
        EXPECT_EQ(data_slot, r.calls.slots[0]);
    }
}

// A content decoder with the cases that every one of them must get right.
struct ContentCase {
    const char* name;
    Decoder decode;
    Bytes good;
    const char* slot;
    Outcome one_short;
    Outcome one_long;
    Outcome wrong_id;
    Outcome wrong_type_byte;
    std::vector<size_t> count_offsets;
    // (offset, count) pairs whose size wraps to the fixed part in 32 bits
    std::vector<std::pair<size_t, uint32_t>> wrapping_counts;
    size_t fixed_size;
};

std::ostream& operator<<(std::ostream& os, const ContentCase& c)
{
    return os << c.name;
}

const Outcome status_short = refused(2, 1);
const Outcome status_wrong_id = refused(3, 1);
const Outcome content_short = refused(2, 2);
const Outcome content_wrong = refused(3, 3);

std::vector<ContentCase> content_cases()
{
    return {
        // Status contents: the type byte is not tested; refusals return 1.
        { "respiration status", parse_respiration_status, respiration_status(), "on_respiration",
            status_short, accepted(), status_wrong_id, accepted(), {}, {}, 29 },
        { "sleep status", parse_sleep_status, sleep_status(), "on_sleep", status_short, accepted(),
            status_wrong_id, accepted(), {}, {}, 33 },
        { "vital signs", parse_vitalsigns_status, vitalsigns_status(), "on_vitalsigns", status_short,
            accepted(), status_wrong_id, accepted(), {}, {}, 53 },
        { "sleep stage", parse_sleepstage_status, sleepstage_status(), "on_sleepstage", status_short,
            accepted(), status_wrong_id, accepted(), {}, {}, 17 },
        // Lists.
        { "presence single", parse_presence_single, presence_single(), "on_presence_single", content_short,
            accepted(), content_wrong, content_wrong, {}, {}, 22 },
        { "presence moving list", parse_presence_movinglist, presence_movinglist(2, 3),
            "on_presence_movinglist", content_short, accepted(), content_wrong, content_wrong, { 13, 17 },
            { { 13, 1u << 29 }, { 17, 1u << 30 } }, 21 },
        { "respiration moving list", parse_respiration_movinglist, respiration_movinglist(3),
            "on_respiration_movinglist", content_short, accepted(), content_wrong, content_wrong, { 9 },
            { { 9, 1u << 29 } }, 13 },
        { "respiration detection list", parse_respiration_detectionlist, respiration_detectionlist(2),
            "on_respiration_detectionlist", content_short, accepted(), content_wrong, content_wrong, { 9 },
            { { 9, 1u << 30 } }, 13 },
        { "respiration normalized movement list", parse_respiration_normalizedmovementlist,
            respiration_normalizedmovementlist(4), "on_respiration_normalizedmovementlist", content_short,
            accepted(), content_wrong, content_wrong, { 17 }, { { 17, 1u << 29 } }, 21 },
        // Radar frames.
        { "baseband I/Q", parse_baseband_iq, baseband(0x0C, 5), "on_baseband_iq", content_short, accepted(),
            content_wrong, content_wrong, { 9 }, { { 9, 1u << 29 } }, 29 },
        { "baseband A/P", parse_baseband_ap, baseband(0x0D, 5), "on_baseband_ap", content_short, accepted(),
            content_wrong, content_wrong, { 9 }, { { 9, 1u << 29 } }, 29 },
        { "radar RF", parse_radar_rf, radar_rf(0xC1A3117E, 6), "on_radar_rf", content_short, accepted(),
            content_wrong, content_wrong, { 9 }, { { 9, 1u << 30 } }, 33 },
        { "radar RF normalized", parse_radar_rf_normalized, radar_rf(0xB13B8F12, 6), "on_radar_rf_normalized",
            content_short, accepted(), content_wrong, content_wrong, { 9 }, { { 9, 1u << 30 } }, 33 },
        { "radar baseband float", parse_radar_baseband_float, radar_baseband_float(3),
            "on_radar_baseband_float", content_short, accepted(), content_wrong, content_wrong, { 9 },
            { { 9, 1u << 29 } }, 49 },
        { "radar baseband Q15", parse_radar_baseband_q15, radar_baseband_q15(3), "on_radar_baseband_q15",
            content_short, accepted(), content_wrong, content_wrong, { 9 }, { { 9, 1u << 30 } }, 53 },
        // Pulse-Doppler and noise map: the length must match exactly.
        { "pulse-Doppler float", parse_pulsedoppler_float, pulsedoppler_float(0x10, 10),
            "on_pulsedoppler_float", content_short, content_short, content_wrong, content_wrong, { 21 },
            { { 21, 1u << 30 } }, 49 },
        { "noise map float", parse_pulsedoppler_float, pulsedoppler_float(0x12, 10), "on_pulsedoppler_float",
            content_short, content_short, content_wrong, content_wrong, { 21 }, { { 21, 1u << 30 } }, 49 },
        { "pulse-Doppler byte", parse_pulsedoppler_byte, pulsedoppler_byte(0x11, 10), "on_pulsedoppler_byte",
            content_short, content_short, content_wrong, content_wrong, { 21 }, {}, 57 },
        { "noise map byte", parse_pulsedoppler_byte, pulsedoppler_byte(0x13, 10), "on_pulsedoppler_byte",
            content_short, content_short, content_wrong, content_wrong, { 21 }, {}, 57 },
    };
}

class ContentDecoder : public ::testing::TestWithParam<ContentCase> {
protected:
    Recorder table;
};

TEST_P(ContentDecoder, AcceptsTheWellFormedPacket)
{
    const auto& c = GetParam();
    expect_outcome(table.run(c.decode, c.good), accepted(), c.slot, "good packet");
}

TEST_P(ContentDecoder, OneByteShortOrLong)
{
    const auto& c = GetParam();
    Bytes shorter = without_last(c.good);
    Bytes longer = c.good;
    longer.push_back(0xAA);
    expect_outcome(table.run(c.decode, shorter), c.one_short, c.slot, "one byte short");
    expect_outcome(table.run(c.decode, longer), c.one_long, c.slot, "one byte long");
}

TEST_P(ContentDecoder, RefusesAnotherContentIdOrTypeByte)
{
    const auto& c = GetParam();
    Bytes wrong_id = c.good;
    wrong_id[4] ^= 0x40;
    Bytes wrong_type = c.good;
    wrong_type[0] = 0x51;
    expect_outcome(table.run(c.decode, wrong_id), c.wrong_id, c.slot, "wrong content id");
    expect_outcome(table.run(c.decode, wrong_type), c.wrong_type_byte, c.slot, "wrong type byte");
}

TEST_P(ContentDecoder, EmptyPacketReportsFive)
{
    const auto& c = GetParam();
    expect_outcome(table.run(c.decode, {}), refused(5, 5), c.slot, "empty");
    // A null pointer with a length is no packet either.
    Calls calls;
    EXPECT_EQ(5, c.decode(&table, nullptr, 40, &calls));
}

TEST_P(ContentDecoder, EveryTruncationIsRefusedWithoutADataSlot)
{
    const auto& c = GetParam();
    for (size_t n = 1; n < c.good.size(); ++n) {
        const auto r = table.run(c.decode, Bytes(c.good.begin(), c.good.begin() + n));
        SCOPED_TRACE("first " + std::to_string(n) + " bytes: " + describe(r));
        EXPECT_NE(0, r.status);
        EXPECT_EQ(0, r.calls.data_calls());
        EXPECT_EQ(1u, r.calls.errors.size());
    }
}

TEST_P(ContentDecoder, HugeCountsAreRefused)
{
    const auto& c = GetParam();
    for (size_t offset : c.count_offsets) {
        Bytes packet = c.good;
        put_u32(packet, offset, 0xFFFFFFFF);
        const auto r = table.run(c.decode, packet);
        SCOPED_TRACE("count at " + std::to_string(offset) + ": " + describe(r));
        EXPECT_EQ(2, r.status);
        EXPECT_EQ(0, r.calls.data_calls());
    }
}

// Counts whose size, computed in 32 bits, would wrap around to exactly the
// packet's fixed part.
TEST_P(ContentDecoder, CountsThatWrapA32BitSizeAreRefused)
{
    const auto& c = GetParam();
    for (const auto& [offset, count] : c.wrapping_counts) {
        Bytes packet(c.good.begin(), c.good.begin() + c.fixed_size);
        for (size_t other : c.count_offsets)
            put_u32(packet, other, 0);
        put_u32(packet, offset, count);
        const auto r = table.run(c.decode, packet);
        SCOPED_TRACE("count " + std::to_string(count) + " at " + std::to_string(offset) + ": " + describe(r));
        EXPECT_EQ(2, r.status);
        EXPECT_EQ(0, r.calls.data_calls());
    }
}

TEST_P(ContentDecoder, ZeroCountsLeaveEmptyArrays)
{
    const auto& c = GetParam();
    if (c.count_offsets.empty())
        return;
    Bytes packet(c.good.begin(), c.good.begin() + c.fixed_size);
    for (size_t offset : c.count_offsets)
        put_u32(packet, offset, 0);
    expect_outcome(table.run(c.decode, packet), accepted(), c.slot, "zero counts");
}

INSTANTIATE_TEST_SUITE_P(
    AllContents, ContentDecoder, ::testing::ValuesIn(content_cases()), [](const auto& param_info) {
        std::string name;
        for (char ch : std::string(param_info.param.name))
            if (std::isalnum(static_cast<unsigned char>(ch)))
                name += ch;
        return name;
    });

// ---- record layouts -----------------------------------------------------

template <typename T> T decoded(const Recorder::Result& r)
{
    EXPECT_EQ(0, r.status) << describe(r);
    return std::any_cast<T>(r.calls.record);
}

std::vector<uint8_t> items(const uint8_t* p, uint32_t n)
{
    return std::vector<uint8_t>(p, p + n);
}

std::vector<float> items(const packed_float* p, uint32_t n)
{
    std::vector<float> out;
    for (uint32_t i = 0; i < n; ++i)
        out.push_back(packed_float_value(p[i]));
    return out;
}

std::vector<int16_t> items(const packed_int16* p, uint32_t n)
{
    std::vector<int16_t> out;
    for (uint32_t i = 0; i < n; ++i)
        out.push_back(packed_int16_value(p[i]));
    return out;
}

class RecordLayout : public ::testing::Test {
protected:
    Recorder table;
};

TEST_F(RecordLayout, StatusRecords)
{
    const auto rr = table.run(parse_respiration_status, respiration_status());
    const auto resp = decoded<RespirationData>(rr);
    EXPECT_EQ(u32_field(1), resp.frame_counter);
    EXPECT_EQ(u32_field(2), resp.sensor_state);
    EXPECT_EQ(u32_field(3), resp.respiration_rate);
    EXPECT_EQ(f32_field(4), resp.distance);
    EXPECT_EQ(f32_field(5), resp.movement);
    EXPECT_EQ(u32_field(6), resp.signal_quality);

    const auto sr = table.run(parse_sleep_status, sleep_status());
    const auto sleep = decoded<SleepData>(sr);
    EXPECT_EQ(u32_field(1), sleep.frame_counter);
    EXPECT_EQ(u32_field(2), sleep.sensor_state);
    EXPECT_EQ(f32_field(3), sleep.respiration_rate);
    EXPECT_EQ(f32_field(4), sleep.distance);
    EXPECT_EQ(u32_field(5), sleep.signal_quality);
    EXPECT_EQ(f32_field(6), sleep.movement_slow);
    EXPECT_EQ(f32_field(7), sleep.movement_fast);

    const auto vr = table.run(parse_vitalsigns_status, vitalsigns_status());
    const auto vital = decoded<VitalSignsData>(vr);
    EXPECT_EQ(u32_field(1), vital.frame_counter);
    EXPECT_EQ(u32_field(2), vital.sensor_state);
    const float floats[] = { vital.respiration_rate, vital.respiration_distance, vital.respiration_confidence,
        vital.heart_rate, vital.heart_distance, vital.heart_confidence, vital.normalized_movement_slow,
        vital.normalized_movement_fast, vital.normalized_movement_start, vital.normalized_movement_end };
    for (int k = 3; k <= 12; ++k)
        EXPECT_EQ(f32_field(k), floats[k - 3]) << "field " << k;

    const auto str = table.run(parse_sleepstage_status, sleepstage_status());
    const auto stage = decoded<SleepStageData>(str);
    EXPECT_EQ(u32_field(1), stage.frame_counter);
    EXPECT_EQ(u32_field(2), stage.sleep_stage);
    EXPECT_EQ(u32_field(3), stage.confidence);
}

TEST_F(RecordLayout, PresenceRecords)
{
    const auto sr = table.run(parse_presence_single, presence_single());
    const auto single = decoded<PresenceSingleData>(sr);
    EXPECT_EQ(u32_field(1), single.frame_counter);
    EXPECT_EQ(u32_field(2), single.presence_state);
    EXPECT_EQ(f32_field(3), single.distance);
    EXPECT_EQ(0x7F, single.direction);
    EXPECT_EQ(u32_field(5), single.signal_quality);

    const auto lr = table.run(parse_presence_movinglist, presence_movinglist(2, 3));
    const auto list = decoded<PresenceMovingListData>(lr);
    EXPECT_EQ(u32_field(1), list.frame_counter);
    EXPECT_EQ(u32_field(2), list.presence_state);
    EXPECT_EQ(2u, list.movement_interval_count);
    EXPECT_EQ(3u, list.detection_count);
    EXPECT_EQ(f32_items(1, 2), items(list.movement_slow_items, 2));
    EXPECT_EQ(f32_items(2, 2), items(list.movement_fast_items, 2));
    EXPECT_EQ(f32_items(3, 3), items(list.detection_distance_items, 3));
    EXPECT_EQ(f32_items(4, 3), items(list.detection_radar_cross_section_items, 3));
    EXPECT_EQ(f32_items(5, 3), items(list.detection_velocity_items, 3));
}

TEST_F(RecordLayout, RespirationLists)
{
    const auto mr = table.run(parse_respiration_movinglist, respiration_movinglist(3));
    const auto moving = decoded<RespirationMovingListData>(mr);
    EXPECT_EQ(u32_field(1), moving.frame_counter);
    EXPECT_EQ(3u, moving.movement_interval_count);
    EXPECT_EQ(f32_items(1, 3), items(moving.movement_slow_items, 3));
    EXPECT_EQ(f32_items(2, 3), items(moving.movement_fast_items, 3));

    const auto dr = table.run(parse_respiration_detectionlist, respiration_detectionlist(2));
    const auto detection = decoded<RespirationDetectionListData>(dr);
    EXPECT_EQ(u32_field(1), detection.frame_counter);
    EXPECT_EQ(2u, detection.detection_count);
    EXPECT_EQ(f32_items(1, 2), items(detection.detection_distance_items, 2));
    EXPECT_EQ(f32_items(2, 2), items(detection.detection_radar_cross_section_items, 2));
    EXPECT_EQ(f32_items(3, 2), items(detection.detection_velocity_items, 2));

    const auto nr
        = table.run(parse_respiration_normalizedmovementlist, respiration_normalizedmovementlist(4));
    const auto normalized = decoded<RespirationNormalizedMovementListData>(nr);
    EXPECT_EQ(u32_field(1), normalized.frame_counter);
    EXPECT_EQ(f32_field(2), normalized.start);
    EXPECT_EQ(f32_field(3), normalized.bin_length);
    EXPECT_EQ(4u, normalized.count);
    EXPECT_EQ(f32_items(1, 4), items(normalized.normalized_movement_slow_items, 4));
    EXPECT_EQ(f32_items(2, 4), items(normalized.normalized_movement_fast_items, 4));
}

TEST_F(RecordLayout, BasebandFrames)
{
    const auto ir = table.run(parse_baseband_iq, baseband(0x0C, 5));
    const auto iq = decoded<BasebandIqData>(ir);
    EXPECT_EQ(u32_field(1), iq.frame_counter);
    EXPECT_EQ(5u, iq.num_bins);
    EXPECT_EQ(f32_field(3), iq.parameter_1);
    EXPECT_EQ(f32_field(4), iq.parameter_2);
    EXPECT_EQ(f32_field(5), iq.parameter_3);
    EXPECT_EQ(f32_field(6), iq.parameter_4);
    EXPECT_EQ(f32_items(1, 5), items(iq.i_data, 5));
    EXPECT_EQ(f32_items(2, 5), items(iq.q_data, 5));

    const auto ar = table.run(parse_baseband_ap, baseband(0x0D, 5));
    const auto ap = decoded<BasebandApData>(ar);
    EXPECT_EQ(f32_field(6), ap.parameter_4);
    EXPECT_EQ(f32_items(1, 5), items(ap.amplitude, 5));
    EXPECT_EQ(f32_items(2, 5), items(ap.phase, 5));
}

template <typename Rf> void expect_rf_fields(const Rf& rf)
{
    EXPECT_EQ(u32_field(1), rf.frame_counter);
    EXPECT_EQ(6u, rf.num_bins);
    EXPECT_EQ(f32_field(3), rf.parameter_1);
    EXPECT_EQ(f32_field(4), rf.parameter_2);
    EXPECT_EQ(f32_field(5), rf.parameter_3);
    EXPECT_EQ(static_cast<float>(u32_field(6)), rf.parameter_4);
    EXPECT_EQ(f32_field(7), rf.parameter_5);
    EXPECT_EQ(f32_items(1, 6), items(rf.data, 6));
}

// RF and radar-baseband frames carry parameter_4 as an unsigned integer.
TEST_F(RecordLayout, RadarFrames)
{
    expect_rf_fields(decoded<RadarRfData>(table.run(parse_radar_rf, radar_rf(0xC1A3117E, 6))));
    expect_rf_fields(
        decoded<RadarRfNormalizedData>(table.run(parse_radar_rf_normalized, radar_rf(0xB13B8F12, 6))));

    const auto fr = table.run(parse_radar_baseband_float, radar_baseband_float(3));
    const auto bf = decoded<RadarBasebandFloatData>(fr);
    EXPECT_EQ(u32_field(1), bf.frame_counter);
    EXPECT_EQ(3u, bf.num_bins);
    EXPECT_EQ(static_cast<float>(u32_field(6)), bf.parameter_4);
    EXPECT_EQ(f32_field(7), bf.parameter_5);
    EXPECT_EQ(u32_field(8), bf.parameter_6);
    EXPECT_EQ(u32_field(9), bf.parameter_7);
    EXPECT_EQ(f32_field(10), bf.parameter_8);
    EXPECT_EQ(f32_field(11), bf.parameter_9);
    EXPECT_EQ(f32_items(1, 3), items(bf.i_data, 3));
    EXPECT_EQ(f32_items(2, 3), items(bf.q_data, 3));

    const auto qr = table.run(parse_radar_baseband_q15, radar_baseband_q15(3));
    const auto q15 = decoded<RadarBasebandQ15Data>(qr);
    EXPECT_EQ(u32_field(8), q15.parameter_6);
    EXPECT_EQ(f32_field(11), q15.parameter_9);
    EXPECT_EQ(f32_field(12), q15.parameter_10);
    EXPECT_EQ(
        (std::vector<int16_t> { i16_item(1, 0), i16_item(1, 1), i16_item(1, 2) }), items(q15.i_data, 3));
    EXPECT_EQ(
        (std::vector<int16_t> { i16_item(2, 0), i16_item(2, 1), i16_item(2, 2) }), items(q15.q_data, 3));
}

TEST_F(RecordLayout, PulseDopplerAndNoiseMap)
{
    const auto fr = table.run(parse_pulsedoppler_float, pulsedoppler_float(0x12, 10));
    const auto pf = decoded<PulseDopplerFloatData>(fr);
    EXPECT_EQ(u32_field(1), pf.parameter_1);
    EXPECT_EQ(u32_field(4), pf.parameter_4);
    EXPECT_EQ(10u, pf.count);
    EXPECT_EQ(u32_field(6), pf.parameter_5);
    EXPECT_EQ(f32_field(7), pf.parameter_6);
    EXPECT_EQ(f32_field(11), pf.parameter_10);
    EXPECT_EQ(f32_items(1, 10), items(pf.data, 10));

    // A noise map in byte form decodes as a pulse-Doppler byte record.
    const auto br = table.run(parse_pulsedoppler_byte, pulsedoppler_byte(0x13, 4));
    const auto pb = decoded<PulseDopplerByteData>(br);
    EXPECT_EQ(u32_field(2), pb.parameter_2);
    EXPECT_EQ(4u, pb.count);
    EXPECT_EQ(f32_field(11), pb.parameter_10);
    EXPECT_EQ(f32_field(12), pb.parameter_11);
    EXPECT_EQ(f32_field(13), pb.parameter_12);
    EXPECT_EQ((std::vector<uint8_t> { u8_item(0), u8_item(1), u8_item(2), u8_item(3) }), items(pb.data, 4));
}

TEST(PulseDoppler, TenValuesDecodeOnlyAtExactly89Bytes)
{
    Recorder table;
    Bytes packet = pulsedoppler_float(0x10, 10);
    ASSERT_EQ(89u, packet.size());
    EXPECT_EQ(0, table.run(parse_pulsedoppler_float, packet).status);
    EXPECT_EQ(2, table.run(parse_pulsedoppler_float, Bytes(packet.begin(), packet.end() - 1)).status);
    packet.push_back(0);
    EXPECT_EQ(2, table.run(parse_pulsedoppler_float, packet).status);
}

TEST(PulseDoppler, FloatAndByteIdsAreNotInterchangeable)
{
    Recorder table;
    EXPECT_EQ(3, table.run(parse_pulsedoppler_float, pulsedoppler_byte(0x11, 4)).status);
    EXPECT_EQ(3, table.run(parse_pulsedoppler_byte, pulsedoppler_float(0x12, 4)).status);
}

TEST(NormalizedMovementList, LengthIsTestedBeforeTheType)
{
    Recorder table;
    const Bytes other_content(20, 0x11);
    const auto r = table.run(parse_respiration_normalizedmovementlist, other_content);
    EXPECT_EQ(2, r.status);
    ASSERT_EQ(1u, r.calls.errors.size());
    EXPECT_EQ(2u, r.calls.errors[0]);
}

// ---- basic messages -------------------------------------------------------

struct BasicCase {
    const char* what;
    Decoder decode;
    Bytes packet;
    Outcome outcome;
    const char* slot;
};

std::ostream& operator<<(std::ostream& os, const BasicCase& c)
{
    return os << c.what;
}

class BasicDecoder : public ::testing::TestWithParam<BasicCase> {
protected:
    Recorder table;
};

TEST_P(BasicDecoder, Outcome)
{
    const auto& c = GetParam();
    expect_outcome(table.run(c.decode, c.packet), c.outcome, c.slot, c.what);
}

const uint32_t foreign = 0xDEADBEEF;

INSTANTIATE_TEST_SUITE_P(Table, BasicDecoder,
    ::testing::Values(
        // pong
        BasicCase { "pong", parse_pong, pong(0x12345678), accepted(), "on_pong" },
        BasicCase { "pong, 4 bytes", parse_pong, hex("01 78 56 34"), refused(foreign, 1), nullptr },
        BasicCase { "pong, one byte long", parse_pong, hex("01 78 56 34 12 00"), accepted(), "on_pong" },
        BasicCase { "error handed to pong", parse_pong, error(9), refused(9, 9), nullptr },
        BasicCase { "ack handed to pong", parse_pong, ack(), refused(foreign, 1), nullptr },
        BasicCase { "empty pong", parse_pong, {}, refused(5, 5), nullptr },
        // ack
        BasicCase { "ack", parse_ack, ack(), accepted(), "on_ack" },
        BasicCase { "ack with more bytes", parse_ack, hex("10 01 02"), accepted(), "on_ack" },
        BasicCase { "error 7 handed to ack", parse_ack, error(7), refused(7, 7), nullptr },
        BasicCase { "reply handed to ack", parse_ack, reply(0x11, 1, 2, {}), refused(foreign, 1), nullptr },
        // error
        BasicCase { "error", parse_error, error(0x1234), refused(0x1234, 0x1234), nullptr },
        BasicCase { "error with code 0", parse_error, error(0), refused(0, 0), nullptr },
        BasicCase { "error, 4 bytes", parse_error, hex("20 01 00 00"), refused(2, 2), nullptr },
        BasicCase { "error, 1 byte", parse_error, hex("20"), refused(2, 2), nullptr },
        BasicCase { "ack handed to error", parse_error, ack(), refused(foreign, 1), nullptr },
        // system status
        BasicCase { "system status", parse_system_status, system_status(3), accepted(), "on_system_status" },
        BasicCase {
            "system status, 4 bytes", parse_system_status, hex("30 03 00 00"), refused(2, 2), nullptr },
        BasicCase { "system status, 1 byte", parse_system_status, hex("30"), refused(2, 2), nullptr },
        BasicCase { "error handed to system status", parse_system_status, error(4), refused(4, 4), nullptr },
        // float data
        BasicCase {
            "float data", parse_data_float, data_float(7, 8, { 1.0f, 2.0f }), accepted(), "on_data_float" },
        BasicCase { "float data, 13 bytes", parse_data_float, without_last(data_float(7, 8, {})),
            refused(foreign, 1), nullptr },
        BasicCase { "byte data handed to float data", parse_data_float, hex("A0 10 00 00 00 00"),
            refused(foreign, 1), nullptr },
        BasicCase {
            "1-byte data handed to float data", parse_data_float, hex("A0"), refused(foreign, 1), nullptr },
        BasicCase { "error handed to float data", parse_data_float, error(6), refused(6, 6), nullptr },
        // data
        BasicCase { "data: float data", parse_data, data_float(7, 8, { 1.0f }), accepted(), "on_data_float" },
        BasicCase { "data: 1 byte", parse_data, hex("A0"), refused(2, 2), nullptr },
        // reply
        BasicCase { "reply", parse_reply, reply(0x11, 1, 2, hex("01 02 03 04")), accepted(), "on_reply" },
        BasicCase {
            "reply, 9 bytes", parse_reply, hex("11 11 01 00 00 00 02 00 00"), refused(2, 2), nullptr },
        BasicCase { "reply whose data runs past the packet", parse_reply,
            without_last(reply(0x11, 1, 2, hex("01 02 03 04"))), refused(2, 2), nullptr },
        BasicCase { "error handed to reply", parse_reply, error(42), refused(42, 42), nullptr },
        BasicCase { "ack handed to reply", parse_reply, ack(), refused(foreign, 1), nullptr }));

// Data packets of another sub-type are no error: they go to other readers.
TEST(ParseData, OtherSubTypesReturnOneAndCallNoSlot)
{
    Recorder table;
    for (const Bytes& packet : { hex("A0 10 01 02"), hex("A0 13 61 62"), hex("A0 50 05") }) {
        const auto r = table.run(parse_data, packet);
        EXPECT_EQ(1, r.status);
        EXPECT_TRUE(r.calls.slots.empty());
    }
}

TEST(ParseData, DoesNotTestTheTypeByte)
{
    Recorder table;
    Bytes packet = data_float(1, 2, { 3.0f });
    packet[0] = 0x55;
    // The float-data decoder does, and refuses it.
    const auto r = table.run(parse_data, packet);
    EXPECT_EQ(1, r.status);
    EXPECT_EQ((std::vector<uint32_t> { foreign }), r.calls.errors);
}

TEST(ParseDataFloat, CountsWholeFloatsAndKeepsTheFields)
{
    Recorder table;
    Bytes packet = data_float(0xC0FFEE, 0x77, { 1.5f, -2.5f, 3.5f });
    packet.push_back(0x01); // a partial float is not counted
    packet.push_back(0x02);
    const auto r = table.run(parse_data_float, packet);
    const auto record = decoded<FloatData_>(r);
    EXPECT_EQ(0xC0FFEEu, record.content_id);
    EXPECT_EQ(0x77u, record.info);
    EXPECT_EQ(3u, record.length);
    EXPECT_EQ((std::vector<float> { 1.5f, -2.5f, 3.5f }), items(record.data, record.length));
}

TEST(ParsePong, PassesTheValue)
{
    Recorder table;
    EXPECT_EQ(0xEEAAEAAEu, decoded<uint32_t>(table.run(parse_pong, pong(0xEEAAEAAE))));
    EXPECT_EQ(0, decoded<Ack>(table.run(parse_ack, ack())).ack);
    EXPECT_EQ(
        0x01020304u, decoded<SystemStatus>(table.run(parse_system_status, system_status(0x01020304))).status);
}

// ---- replies ----------------------------------------------------------------

TEST(ParseReply, WellFormedReplyPointsAtItsData)
{
    Recorder table;
    const auto r = table.run(parse_reply, reply(0x13, 0x01020304, 0x0A0B0C0D, hex("61 62 63")));
    const auto record = decoded<Reply>(r);
    EXPECT_EQ(0x13, record.type);
    EXPECT_EQ(0x01020304u, record.id);
    EXPECT_EQ(0x0A0B0C0Du, record.info);
    EXPECT_EQ(3u, record.length);
    EXPECT_EQ(r.calls.packet->data() + 14, record.data);
    // No byte follows the data: the trailing value is 0.
    EXPECT_EQ(0, record.trailing);
}

TEST(ParseReply, TrailingByteAfterTheData)
{
    Recorder table;
    Bytes packet = reply(0x10, 1, 2, hex("05"));
    packet.push_back(0x99);
    const auto record = decoded<Reply>(table.run(parse_reply, packet));
    EXPECT_EQ(1u, record.length);
    EXPECT_EQ(0x99, record.trailing);
}

TEST(ParseReply, ShortRepliesHaveNoLengthAndNoData)
{
    struct Case {
        size_t size;
        uint8_t trailing;
    };
    // 11 bytes: the trailing value is byte 10. Up to 13 bytes the length
    // field is incomplete and is not read.
    const Bytes full = hex("11 12 01 00 00 00 02 00 00 00 AB CD EF");
    for (const Case c : { Case { 10, 0 }, Case { 11, 0xAB }, Case { 12, 0xAB }, Case { 13, 0xAB } }) {
        Recorder table;
        const auto record
            = decoded<Reply>(table.run(parse_reply, Bytes(full.begin(), full.begin() + c.size)));
        SCOPED_TRACE(c.size);
        EXPECT_EQ(0x12, record.type);
        EXPECT_EQ(1u, record.id);
        EXPECT_EQ(2u, record.info);
        EXPECT_EQ(0u, record.length);
        EXPECT_EQ(nullptr, record.data);
        EXPECT_EQ(c.trailing, record.trailing);
    }
}

TEST(ParseReply, EmptyDataHasANullPointer)
{
    Recorder table;
    const auto record = decoded<Reply>(table.run(parse_reply, reply(0x11, 1, 2, {})));
    EXPECT_EQ(0u, record.length);
    EXPECT_EQ(nullptr, record.data);
}

TEST(ParseReply, HugeDeclaredLengthIsRefused)
{
    for (uint32_t declared : { 5u, 0x7FFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFF2u }) {
        Recorder table;
        Bytes packet = reply(0x11, 1, 2, hex("01 02 03 04"));
        put_u32(packet, 10, declared);
        const auto r = table.run(parse_reply, packet);
        SCOPED_TRACE(declared);
        EXPECT_EQ(2, r.status);
        EXPECT_EQ(0, r.calls.data_calls());
    }
}

// ---- parse and parse_appdata ----------------------------------------------------

TEST(Parse, DispatchesOnTheFirstByte)
{
    struct Case {
        Bytes packet;
        const char* slot;
    };
    const Case cases[] = {
        { pong(1), "on_pong" },
        { ack(), "on_ack" },
        { data_float(1, 2, {}), "on_data_float" },
        { respiration_status(), "on_respiration" },
        { presence_single(), "on_presence_single" },
    };
    for (const auto& c : cases) {
        Recorder table;
        expect_outcome(table.run(parse, c.packet), accepted(), c.slot, c.slot);
    }
}

TEST(Parse, UnknownFirstByteReportsTwoAndReturnsFour)
{
    for (const Bytes& packet :
        { reply(0x11, 1, 2, {}), system_status(1), hex("E0 01"), hex("51 00 00 00 00") }) {
        Recorder table;
        expect_outcome(table.run(parse, packet), refused(2, 4), nullptr, testsupport::to_hex(packet));
    }
}

TEST(Parse, ErrorPacketReportsTheModuleCode)
{
    Recorder table;
    expect_outcome(table.run(parse, error(17)), refused(17, 17), nullptr, "error 17");
    expect_outcome(table.run(parse, {}), refused(5, 5), nullptr, "empty");
}

TEST(ParseAppdata, DecodesTheTwelveContentsItKnows)
{
    struct Case {
        Bytes packet;
        const char* slot;
    };
    const Case cases[] = {
        { baseband(0x0C, 2), "on_baseband_iq" },
        { baseband(0x0D, 2), "on_baseband_ap" },
        { radar_baseband_float(2), "on_radar_baseband_float" },
        { vitalsigns_status(), "on_vitalsigns" },
        { sleep_status(), "on_sleep" },
        { respiration_status(), "on_respiration" },
        { sleepstage_status(), "on_sleepstage" },
        { presence_single(), "on_presence_single" },
        { presence_movinglist(1, 1), "on_presence_movinglist" },
        { radar_rf(0xB13B8F12, 2), "on_radar_rf_normalized" },
        { radar_rf(0xC1A3117E, 2), "on_radar_rf" },
        { radar_baseband_q15(2), "on_radar_baseband_q15" },
    };
    for (const auto& c : cases) {
        Recorder table;
        expect_outcome(table.run(parse_appdata, c.packet), accepted(), c.slot, c.slot);
    }
}

TEST(ParseAppdata, OtherContentsReturnZeroAndCallNoSlot)
{
    const Bytes others[]
        = { respiration_movinglist(2), respiration_detectionlist(2), respiration_normalizedmovementlist(2),
              pulsedoppler_float(0x10, 2), pulsedoppler_byte(0x13, 2), hex("50 EF BE AD DE") };
    for (const auto& packet : others) {
        Recorder table;
        const auto r = table.run(parse_appdata, packet);
        EXPECT_EQ(0, r.status);
        EXPECT_TRUE(r.calls.slots.empty());
    }
    // The respiration moving list has its own decoder all the same.
    Recorder table;
    EXPECT_EQ(0, table.run(parse_respiration_movinglist, respiration_movinglist(2)).status);
}

TEST(ParseAppdata, PacketWithoutAWholeContentIdIsShort)
{
    for (const Bytes& packet : { hex("50"), hex("50 1E FA 3B") }) {
        Recorder table;
        expect_outcome(table.run(parse_appdata, packet), refused(2, 2), nullptr, testsupport::to_hex(packet));
    }
}

// ---- the table ------------------------------------------------------------------

TEST(InitHostParser, EverySlotGetsItsDoNothingDefault)
{
    HostParser table;
    std::memset(&table, 0xA5, sizeof table); // as an uninitialised table
    EXPECT_EQ(&table, init_host_parser(&table));
    EXPECT_EQ(&default_pong_callback, table.on_pong);
    EXPECT_EQ(&default_error_callback, table.on_error);
    EXPECT_EQ(&default_ack_callback, table.on_ack);
    EXPECT_EQ(&default_datafloat_callback, table.on_data_float);
    EXPECT_EQ(&default_reply_callback, table.on_reply);
    EXPECT_EQ(&default_respiration_callback, table.on_respiration);
    EXPECT_EQ(&default_sleep_callback, table.on_sleep);
    EXPECT_EQ(&default_vitalsigns_callback, table.on_vitalsigns);
    EXPECT_EQ(&default_sleepstage_callback, table.on_sleepstage);
    EXPECT_EQ(&default_baseband_ap_callback, table.on_baseband_ap);
    EXPECT_EQ(&default_baseband_iq_callback, table.on_baseband_iq);
    EXPECT_EQ(&default_presence_single, table.on_presence_single);
    EXPECT_EQ(&default_presence_movinglist, table.on_presence_movinglist);
    EXPECT_EQ(&default_system_status, table.on_system_status);
    EXPECT_EQ(&default_respiration_movinglist, table.on_respiration_movinglist);
    EXPECT_EQ(&default_respiration_detectionlist, table.on_respiration_detectionlist);
    EXPECT_EQ(&default_respiration_normalizedmovementlist, table.on_respiration_normalizedmovementlist);
    EXPECT_EQ(&default_pulsedoppler_float_callback, table.on_pulsedoppler_float);
    EXPECT_EQ(&default_pulsedoppler_byte_callback, table.on_pulsedoppler_byte);
    EXPECT_EQ(&default_radar_rf_callback, table.on_radar_rf);
    EXPECT_EQ(&default_radar_rf_normalized_callback, table.on_radar_rf_normalized);
    EXPECT_EQ(&default_radar_baseband_float_callback, table.on_radar_baseband_float);
    EXPECT_EQ(&default_radar_baseband_q15_callback, table.on_radar_baseband_q15);
    static_assert(sizeof(HostParser) == 23 * sizeof(void (*)()), "23 slots");

    // A default table takes every kind of packet without effect.
    const Bytes packets[] = { pong(1), ack(), error(3), pulsedoppler_float(0x10, 1),
        pulsedoppler_byte(0x11, 1), reply(0x11, 1, 2, {}) };
    for (const auto& p : packets) {
        parse(&table, p.data(), static_cast<uint32_t>(p.size()), nullptr);
        parse_pulsedoppler_float(&table, p.data(), static_cast<uint32_t>(p.size()), nullptr);
        parse_pulsedoppler_byte(&table, p.data(), static_cast<uint32_t>(p.size()), nullptr);
        parse_reply(&table, p.data(), static_cast<uint32_t>(p.size()), nullptr);
    }
}

TEST(HostParserTable, MissingSlotsAndAMissingTableAreSkipped)
{
    HostParser table {};
    const Bytes packet = pong(5);
    EXPECT_EQ(0, parse_pong(&table, packet.data(), static_cast<uint32_t>(packet.size()), nullptr));
    EXPECT_EQ(0, parse_pong(nullptr, packet.data(), static_cast<uint32_t>(packet.size()), nullptr));
    EXPECT_EQ(7, parse_error(nullptr, error(7).data(), 5, nullptr));
}

} // namespace
