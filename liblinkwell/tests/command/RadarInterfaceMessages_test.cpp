// Data messages: every kind lands in its own default queue and nowhere else,
// and every reader decodes it, in its throwing and status-code forms, or
// refuses a short or foreign packet without touching the caller's record.
#include "command/RadarInterface.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <future>
#include <mutex>
#include <thread>
#include <type_traits>

#include "protocol/MessageCatalogue.hpp"
#include "protocol/Parser.hpp"
#include "simmodule/DataSource.hpp"
#include "simmodule/Messages.hpp"
#include "support/LogChecks.hpp"
#include "support/MessagePackets.hpp"
#include "support/RecordingLogger.hpp"
#include "support/SimulatedConnection.hpp"
#include "support/TestSupport.hpp"

namespace {

using testsupport::dump;
using testsupport::hex;
using testsupport::SimulatedConnection;
using namespace std::chrono_literals;
using R = RadarInterface;
namespace packets = testsupport::packets;
using packets::f32_field;
using packets::f32_item;
using packets::u32_field;

constexpr uint32_t pd_float = 0x10, pd_byte = 0x11, nm_float = 0x12, nm_byte = 0x13;

// ---- routing --------------------------------------------------------------

struct Kind {
    std::string queue;
    Bytes packet;
};

// One packet of each of the 23 kinds, with the default queue it belongs in.
std::vector<Kind> every_kind()
{
    return {
        { "name_of_presence_single_subscription", packets::presence_single() },
        { "name_of_presence_movinglist_subscription", packets::presence_movinglist(2, 3) },
        { "d4d70752-c146-11e6-a4a6-cec0c932ce01", packets::data_float(7, 8, { 1.0f, 2.0f }) },
        { "2588cebf-cbcb-40af-b0ad-37d7e959ae1a", simmodule::text_data_message(7, 8, "text") },
        { "0d80de13-d19a-4563-8657-e7209e6fa2ee", simmodule::byte_data_message(7, 8, { 1, 2, 3 }) },
        { "baseband_iq_subscription_id", packets::baseband(0x0C, 3) },
        { "baseband_ap_subscription_id", packets::baseband(0x0D, 3) },
        { "pulsedoppler_float_subscription_id", packets::pulsedoppler_float(pd_float, 4) },
        { "noisemap_float_subscription_id", packets::pulsedoppler_float(nm_float, 4) },
        { "pulsedoppler_byte_subscription_id", packets::pulsedoppler_byte(pd_byte, 4) },
        { "noisemap_byte_subscription_id", packets::pulsedoppler_byte(nm_byte, 4) },
        { "system_message_subscription_id", packets::system_status(0x1234) },
        { "respiration_legacy_subscription_id", packets::respiration_status() },
        { "respiration_sleep_subscription_id", packets::sleep_status() },
        { "respiration_movinglist_subscription_id", packets::respiration_movinglist(2) },
        { "respiration_detectionlist_subscription_id", packets::respiration_detectionlist(2) },
        { "respiration_normalizedmovementlist_subscription_id",
            packets::respiration_normalizedmovementlist(2) },
        { "sleepstage_subscription_id", packets::sleepstage_status() },
        { "vital_signs_subscription_id", packets::vitalsigns_status() },
        { "radar_rf_subscription_id", packets::radar_rf(0xC1A3117E, 3) },
        { "radar_rf_normalized_subscription_id", packets::radar_rf(0xB13B8F12, 3) },
        { "radar_baseband_float_subscription_id", packets::radar_baseband_float(3) },
        { "radar_baseband_q15_subscription_id", packets::radar_baseband_q15(3) },
    };
}

TEST(Routing, EveryKindLandsInItsOwnQueueAndOnlyThere)
{
    SimulatedConnection connection;
    auto& radar = connection.radar();
    const auto kinds = every_kind();
    ASSERT_EQ(23u, kinds.size());
    for (const auto& kind : kinds)
        connection.module().send_packet(kind.packet);
    connection.settle();

    // A packet routed to a second queue would leave two there; one routed
    // elsewhere would leave its own queue empty.
    for (const auto& kind : kinds) {
        EXPECT_EQ(1, radar.get_number_of_packets(kind.queue)) << kind.queue;
        EXPECT_EQ(testsupport::to_hex(kind.packet), testsupport::to_hex(radar.get_packet(kind.queue)))
            << kind.queue;
    }
}

TEST(Routing, StreamsNotSubscribedByDefaultNeedANamedQueue)
{
    SimulatedConnection connection;
    auto& radar = connection.radar();
    const Bytes performance = hex("a0 50 05 01 02");
    const Bytes settings = hex("a0 50 03 01 02");
    connection.deliver(performance);
    connection.deliver(settings);
    for (const auto& kind : every_kind())
        EXPECT_EQ(0, radar.get_number_of_packets(kind.queue)) << kind.queue;

    radar.subscribe_to_performance_status("performance");
    radar.subscribe_to_radar_settings("settings");
    connection.deliver(performance);
    connection.deliver(settings);
    EXPECT_EQ(performance, radar.get_packet("performance"));
    EXPECT_EQ(settings, radar.get_packet("settings"));
}

TEST(Routing, CallbackFormsGetWholePacketsOnTheDispatcherThread)
{
    SimulatedConnection connection;
    auto& radar = connection.radar();
    std::promise<std::pair<Bytes, std::thread::id>> seen;
    radar.subscribe_to_vital_signs("vital callback", [&](Bytes packet) {
        seen.set_value({ packet, std::this_thread::get_id() });
        return true;
    });
    connection.deliver(packets::vitalsigns_status());
    auto result = seen.get_future();
    ASSERT_EQ(std::future_status::ready, result.wait_for(5s));
    const auto [packet, thread] = result.get();
    EXPECT_EQ(packets::vitalsigns_status(), packet);
    EXPECT_NE(std::this_thread::get_id(), thread);
    // The default queue is there as well.
    EXPECT_EQ(1, radar.peek_message_vital_signs());
}

TEST(Routing, OnlyTheExactPrefixCounts)
{
    SimulatedConnection connection;
    auto& radar = connection.radar();
    Bytes near = packets::vitalsigns_status();
    near[4] = 0x21; // content id 0x21020102
    connection.deliver(near);
    EXPECT_EQ(0, radar.peek_message_vital_signs());
}

TEST(Routing, SubscribeToRawNormalizedIsTheFloatDataSubscriptionUnderItsOwnTrace)
{
    SimulatedConnection connection;
    auto& radar = connection.radar();
    connection.log().clear();
    radar.subscribe_to_raw_normalized("frames");
    const std::vector<std::string> expected { "subscribe_to_raw_normalized -- begin",
        "subscribe_to_data_float -- begin", "subscribe_to_data_float -- end",
        "subscribe_to_raw_normalized -- end" };
    EXPECT_EQ(expected, connection.log().texts());
    connection.deliver(packets::data_float(1, 0xAB, { 3.0f }));
    const RawNormalizedFrame frame = radar.get_raw_normalized_frame("frames");
    EXPECT_EQ(0xABu, frame.info);
    EXPECT_EQ(std::vector<float> { 3.0f }, frame.data);
}

// ---- every reader: good, short and foreign packets --------------------------

template <typename Record> using Read = std::function<Record(RadarInterface&)>;
template <typename Record> using StatusRead = std::function<int(RadarInterface&, Record*)>;

// What a reader must produce: a test of the good packet's record, and a
// record that no packet yields, with a comparison, to see that a refused read
// left the caller's record alone.
template <typename Record> struct Expect {
    std::function<bool(const Record&)> is_good;
    Record sentinel;
    std::function<bool(const Record&, const Record&)> same;
};

// One kind of message with every form of its reader, a packet they decode,
// a packet too short for them, and the default queue the packets go
// through.
struct ReaderCase {
    std::string label;
    std::string queue;
    Bytes good;
    Bytes short_packet;
    std::string error_text;
    // One per form, throwing and status-code: reads one packet; "" when it
    // got the good packet's record, else what went wrong.
    std::vector<std::function<std::string(RadarInterface&)>> read_good;
    // One per throwing form: reads one packet; the text it threw.
    std::vector<std::function<std::string(RadarInterface&)>> read_error;
    // One per status-code form: reads one packet; true when it returned 1
    // and left the caller's record as it was.
    std::vector<std::function<bool(RadarInterface&)>> refused_untouched;
};

template <typename Record>
ReaderCase reader_case(std::string label, std::string queue, Bytes good, std::string error_text,
    std::vector<Read<Record>> reads, std::vector<StatusRead<Record>> status_reads, Expect<Record> expect)
{
    ReaderCase c;
    c.label = std::move(label);
    c.queue = std::move(queue);
    c.good = good;
    c.short_packet = Bytes(good.begin(), good.end() - 1);
    c.error_text = std::move(error_text);
    for (const auto& read : reads) {
        c.read_good.push_back([read, expect](RadarInterface& radar) -> std::string {
            return expect.is_good(read(radar)) ? "" : "throwing form: wrong record";
        });
        c.read_error.push_back([read](RadarInterface& radar) -> std::string {
            try {
                read(radar);
                return "no exception";
            } catch (const std::runtime_error& e) {
                return e.what();
            }
        });
    }
    for (const auto& read : status_reads) {
        c.read_good.push_back([read, expect](RadarInterface& radar) -> std::string {
            Record out = expect.sentinel;
            if (read(radar, &out) != 0)
                return "status form failed";
            return expect.is_good(out) ? "" : "status form: wrong record";
        });
        c.refused_untouched.push_back([read, expect](RadarInterface& radar) {
            Record out = expect.sentinel;
            return read(radar, &out) == 1 && expect.same(out, expect.sentinel);
        });
    }
    return c;
}

const uint32_t mark = 0xFEEDBEEF;

// Records compared on their frame counter, which the sentinel sets.
template <typename Record> Expect<Record> by_counter(std::function<bool(const Record&)> is_good)
{
    Record sentinel;
    sentinel.frame_counter = mark;
    return { std::move(is_good), sentinel,
        [](const Record& a, const Record& b) { return a.frame_counter == b.frame_counter; } };
}

// Pulse-Doppler records have no frame counter.
template <typename Record> Expect<Record> by_parameter_1(std::function<bool(const Record&)> is_good)
{
    Record sentinel;
    sentinel.parameter_1 = mark;
    sentinel.data.resize(1);
    return { std::move(is_good), sentinel,
        [](const Record& a, const Record& b) { return a.parameter_1 == b.parameter_1 && a.data == b.data; } };
}

std::vector<ReaderCase> reader_cases()
{
    std::vector<ReaderCase> cases;

    cases.push_back(
        reader_case<Sarvik::PresenceSingleData>("PresenceSingle", "name_of_presence_single_subscription",
            packets::presence_single(), "parser error of presence single data read_message_presence_single",
            { [](R& r) { return r.read_message_presence_single(); } },
            { [](R& r, Sarvik::PresenceSingleData* o) { return r.read_message_presence_single(o); },
                [](R& r, Sarvik::PresenceSingleData* o) {
                    return r.read_message_presence_single(&o->frame_counter, &o->presence_state, &o->distance,
                        &o->direction, &o->signal_quality);
                } },
            Expect<Sarvik::PresenceSingleData> { [](const Sarvik::PresenceSingleData& d) {
                                                    return d.frame_counter == u32_field(1)
                                                        && d.presence_state == u32_field(2)
                                                        && d.distance == f32_field(3) && d.direction == 0x7F
                                                        && d.signal_quality == u32_field(5);
                                                },
                Sarvik::PresenceSingleData { 1, 2, 3.0f, 4, 5 },
                [](const Sarvik::PresenceSingleData& a, const Sarvik::PresenceSingleData& b) {
                    return a.frame_counter == b.frame_counter && a.presence_state == b.presence_state
                        && a.distance == b.distance && a.direction == b.direction
                        && a.signal_quality == b.signal_quality;
                } }));

    cases.push_back(reader_case<Sarvik::PresenceMovingListData>("PresenceMovingList",
        "name_of_presence_movinglist_subscription", packets::presence_movinglist(2, 3),
        "parser error of presence moving list read_message_presence_movinglist",
        { [](R& r) { return r.read_message_presence_movinglist(); } },
        { [](R& r, Sarvik::PresenceMovingListData* o) { return r.read_message_presence_movinglist(o); } },
        by_counter<Sarvik::PresenceMovingListData>([](const Sarvik::PresenceMovingListData& d) {
            return d.frame_counter == u32_field(1) && d.movement_fast_items.size() == 2
                && d.detection_velocity_items
                == std::vector<float> { f32_item(5, 0), f32_item(5, 1), f32_item(5, 2) };
        })));

    cases.push_back(reader_case<Sarvik::BasebandIqData>("BasebandIq", "baseband_iq_subscription_id",
        packets::baseband(0x0C, 3), "parser error of baseband IQ data get_baseband_iq_data",
        { [](R& r) { return r.read_message_baseband_iq(); },
            [](R& r) { return r.get_baseband_iq_data("baseband_iq_subscription_id"); } },
        { [](R& r, Sarvik::BasebandIqData* o) { return r.read_message_baseband_iq(o); },
            [](R& r, Sarvik::BasebandIqData* o) {
                return r.get_baseband_iq_data("baseband_iq_subscription_id", o);
            } },
        by_counter<Sarvik::BasebandIqData>([](const Sarvik::BasebandIqData& d) {
            return d.frame_counter == u32_field(1) && d.num_bins == 3 && d.parameter_4 == f32_field(6)
                && d.q_data.at(2) == f32_item(2, 2);
        })));

    cases.push_back(reader_case<Sarvik::BasebandApData>("BasebandAp", "baseband_ap_subscription_id",
        packets::baseband(0x0D, 3), "parser error of baseband AP data get_baseband_ap_data",
        { [](R& r) { return r.read_message_baseband_ap(); },
            [](R& r) { return r.get_baseband_ap_data("baseband_ap_subscription_id"); } },
        { [](R& r, Sarvik::BasebandApData* o) { return r.read_message_baseband_ap(o); },
            [](R& r, Sarvik::BasebandApData* o) {
                return r.get_baseband_ap_data("baseband_ap_subscription_id", o);
            } },
        by_counter<Sarvik::BasebandApData>([](const Sarvik::BasebandApData& d) {
            return d.num_bins == 3 && d.amplitude.at(0) == f32_item(1, 0) && d.phase.at(1) == f32_item(2, 1);
        })));

    cases.push_back(reader_case<Sarvik::RespirationData>("Respiration", "respiration_legacy_subscription_id",
        packets::respiration_status(), "parser error of respiration data get_respiration_data",
        { [](R& r) { return r.read_message_respiration_legacy(); },
            [](R& r) { return r.get_respiration_data("respiration_legacy_subscription_id"); } },
        { [](R& r, Sarvik::RespirationData* o) { return r.read_message_respiration_legacy(o); },
            [](R& r, Sarvik::RespirationData* o) {
                return r.get_respiration_data("respiration_legacy_subscription_id", o);
            } },
        by_counter<Sarvik::RespirationData>([](const Sarvik::RespirationData& d) {
            return d.frame_counter == u32_field(1) && d.movement == f32_field(5)
                && d.signal_quality == u32_field(6);
        })));

    cases.push_back(reader_case<Sarvik::SleepData>("Sleep", "respiration_sleep_subscription_id",
        packets::sleep_status(), "parser error of respiration data get_sleep_data",
        { [](R& r) { return r.read_message_respiration_sleep(); },
            [](R& r) { return r.get_sleep_data("respiration_sleep_subscription_id"); } },
        { [](R& r, Sarvik::SleepData* o) { return r.read_message_respiration_sleep(o); },
            [](R& r, Sarvik::SleepData* o) {
                return r.get_sleep_data("respiration_sleep_subscription_id", o);
            } },
        by_counter<Sarvik::SleepData>([](const Sarvik::SleepData& d) {
            return d.frame_counter == u32_field(1) && d.respiration_rate == f32_field(3)
                && d.movement_fast == f32_field(7);
        })));

    cases.push_back(reader_case<Sarvik::RespirationMovingListData>("RespirationMovingList",
        "respiration_movinglist_subscription_id", packets::respiration_movinglist(2),
        "parser error of respiration movinglist data in read_message_respiration_movinglist",
        { [](R& r) { return r.read_message_respiration_movinglist(); } },
        { [](R& r, Sarvik::RespirationMovingListData* o) {
            return r.read_message_respiration_movinglist(o);
        } },
        by_counter<Sarvik::RespirationMovingListData>([](const Sarvik::RespirationMovingListData& d) {
            return d.frame_counter == u32_field(1)
                && d.movement_fast_items == std::vector<float> { f32_item(2, 0), f32_item(2, 1) };
        })));

    cases.push_back(reader_case<Sarvik::RespirationDetectionListData>("RespirationDetectionList",
        "respiration_detectionlist_subscription_id", packets::respiration_detectionlist(2),
        "parser error of respiration detectionlist data in read_message_respiration_detectionlist",
        { [](R& r) { return r.read_message_respiration_detectionlist(); } },
        { [](R& r, Sarvik::RespirationDetectionListData* o) {
            return r.read_message_respiration_detectionlist(o);
        } },
        by_counter<Sarvik::RespirationDetectionListData>([](const Sarvik::RespirationDetectionListData& d) {
            return d.detection_count == 2 && d.detection_velocity_items.at(1) == f32_item(3, 1);
        })));

    cases.push_back(reader_case<Sarvik::RespirationNormalizedMovementListData>(
        "RespirationNormalizedMovementList", "respiration_normalizedmovementlist_subscription_id",
        packets::respiration_normalizedmovementlist(2),
        "parser error of respiration normalizedmovementlist data in "
        "read_message_respiration_normalizedmovementlist",
        { [](R& r) { return r.read_message_respiration_normalizedmovementlist(); } },
        { [](R& r, Sarvik::RespirationNormalizedMovementListData* o) {
            return r.read_message_respiration_normalizedmovementlist(o);
        } },
        by_counter<Sarvik::RespirationNormalizedMovementListData>(
            [](const Sarvik::RespirationNormalizedMovementListData& d) {
                return d.count == 2 && d.bin_length == f32_field(3)
                    && d.normalized_movement_fast_items.at(1) == f32_item(2, 1);
            })));

    cases.push_back(reader_case<Sarvik::VitalSignsData>("VitalSigns", "vital_signs_subscription_id",
        packets::vitalsigns_status(), "parser error of vital signs in read_message_vital_signs",
        { [](R& r) { return r.read_message_vital_signs(); } },
        { [](R& r, Sarvik::VitalSignsData* o) { return r.read_message_vital_signs(o); } },
        by_counter<Sarvik::VitalSignsData>([](const Sarvik::VitalSignsData& d) {
            return d.frame_counter == u32_field(1) && d.heart_rate == f32_field(6)
                && d.normalized_movement_end == f32_field(12);
        })));

    cases.push_back(reader_case<Sarvik::SleepStageData>("SleepStage", "sleepstage_subscription_id",
        packets::sleepstage_status(), "parser error of sleepstage signs in read_message_sleepstage",
        { [](R& r) { return r.read_message_sleepstage(); } },
        { [](R& r, Sarvik::SleepStageData* o) { return r.read_message_sleepstage(o); } },
        by_counter<Sarvik::SleepStageData>([](const Sarvik::SleepStageData& d) {
            return d.sleep_stage == u32_field(2) && d.confidence == u32_field(3);
        })));

    const std::vector<float> rf_items { f32_item(1, 0), f32_item(1, 1), f32_item(1, 2) };
    cases.push_back(reader_case<Sarvik::RadarRfData>("RadarRf", "radar_rf_subscription_id",
        packets::radar_rf(0xC1A3117E, 3), "parser error of radar rf data get_radar_rf_data",
        { [](R& r) { return r.read_message_radar_rf(); },
            [](R& r) { return r.get_radar_rf_data("radar_rf_subscription_id"); } },
        { [](R& r, Sarvik::RadarRfData* o) { return r.read_message_radar_rf(o); },
            [](R& r, Sarvik::RadarRfData* o) { return r.get_radar_rf_data("radar_rf_subscription_id", o); } },
        by_counter<Sarvik::RadarRfData>([rf_items](const Sarvik::RadarRfData& d) {
            return d.frame_counter == u32_field(1) && d.parameter_5 == f32_field(7) && d.data == rf_items;
        })));

    cases.push_back(reader_case<Sarvik::RadarRfNormalizedData>("RadarRfNormalized",
        "radar_rf_normalized_subscription_id", packets::radar_rf(0xB13B8F12, 3),
        "parser error of radar rf normalized data get_radar_rf_normalized_data",
        { [](R& r) { return r.read_message_radar_rf_normalized(); },
            [](R& r) { return r.get_radar_rf_normalized_data("radar_rf_normalized_subscription_id"); } },
        { [](R& r, Sarvik::RadarRfNormalizedData* o) { return r.read_message_radar_rf_normalized(o); },
            [](R& r, Sarvik::RadarRfNormalizedData* o) {
                return r.get_radar_rf_normalized_data("radar_rf_normalized_subscription_id", o);
            } },
        by_counter<Sarvik::RadarRfNormalizedData>([rf_items](const Sarvik::RadarRfNormalizedData& d) {
            return d.frame_counter == u32_field(1) && d.data == rf_items;
        })));

    cases.push_back(reader_case<Sarvik::RadarBasebandFloatData>("RadarBasebandFloat",
        "radar_baseband_float_subscription_id", packets::radar_baseband_float(3),
        "parser error of radar baseband float data get_radar_baseband_float_data",
        { [](R& r) { return r.read_message_radar_baseband_float(); },
            [](R& r) { return r.get_radar_baseband_float_data("radar_baseband_float_subscription_id"); } },
        { [](R& r, Sarvik::RadarBasebandFloatData* o) { return r.read_message_radar_baseband_float(o); },
            [](R& r, Sarvik::RadarBasebandFloatData* o) {
                return r.get_radar_baseband_float_data("radar_baseband_float_subscription_id", o);
            } },
        by_counter<Sarvik::RadarBasebandFloatData>([](const Sarvik::RadarBasebandFloatData& d) {
            return d.parameter_7 == u32_field(9) && d.parameter_9 == f32_field(11)
                && d.q_data.at(2) == f32_item(2, 2);
        })));

    cases.push_back(reader_case<Sarvik::RadarBasebandQ15Data>("RadarBasebandQ15",
        "radar_baseband_q15_subscription_id", packets::radar_baseband_q15(3),
        "parser error of radar baseband q15 data get_radar_baseband_q15_data",
        { [](R& r) { return r.read_message_radar_baseband_q15(); },
            [](R& r) { return r.get_radar_baseband_q15_data("radar_baseband_q15_subscription_id"); } },
        { [](R& r, Sarvik::RadarBasebandQ15Data* o) { return r.read_message_radar_baseband_q15(o); },
            [](R& r, Sarvik::RadarBasebandQ15Data* o) {
                return r.get_radar_baseband_q15_data("radar_baseband_q15_subscription_id", o);
            } },
        by_counter<Sarvik::RadarBasebandQ15Data>([](const Sarvik::RadarBasebandQ15Data& d) {
            return d.parameter_10 == f32_field(12) && d.i_data.at(0) == packets::i16_item(1, 0)
                && d.q_data.at(2) == packets::i16_item(2, 2);
        })));

    auto pd_float_check = [](const Sarvik::PulseDopplerFloatData& d) {
        return d.parameter_1 == u32_field(1) && d.count == 4 && d.parameter_10 == f32_field(11)
            && d.data.at(3) == f32_item(1, 3);
    };
    auto pd_byte_check = [](const Sarvik::PulseDopplerByteData& d) {
        return d.parameter_1 == u32_field(1) && d.parameter_12 == f32_field(13)
            && d.data.at(3) == packets::u8_item(3);
    };
    cases.push_back(reader_case<Sarvik::PulseDopplerFloatData>("PulseDopplerFloat",
        "pulsedoppler_float_subscription_id", packets::pulsedoppler_float(pd_float, 4),
        "parser error of pulse-Doppler float data get_pulsedoppler_float_data",
        { [](R& r) { return r.read_message_pulsedoppler_float(); },
            [](R& r) { return r.get_pulsedoppler_float_data("pulsedoppler_float_subscription_id"); } },
        { [](R& r, Sarvik::PulseDopplerFloatData* o) { return r.read_message_pulsedoppler_float(o); },
            [](R& r, Sarvik::PulseDopplerFloatData* o) {
                return r.get_pulsedoppler_float_data("pulsedoppler_float_subscription_id", o);
            } },
        by_parameter_1<Sarvik::PulseDopplerFloatData>(pd_float_check)));
    cases.push_back(reader_case<Sarvik::PulseDopplerByteData>("PulseDopplerByte",
        "pulsedoppler_byte_subscription_id", packets::pulsedoppler_byte(pd_byte, 4),
        "parser error of pulse-Doppler byte data get_pulsedoppler_byte_data",
        { [](R& r) { return r.read_message_pulsedoppler_byte(); },
            [](R& r) { return r.get_pulsedoppler_byte_data("pulsedoppler_byte_subscription_id"); } },
        { [](R& r, Sarvik::PulseDopplerByteData* o) { return r.read_message_pulsedoppler_byte(o); },
            [](R& r, Sarvik::PulseDopplerByteData* o) {
                return r.get_pulsedoppler_byte_data("pulsedoppler_byte_subscription_id", o);
            } },
        by_parameter_1<Sarvik::PulseDopplerByteData>(pd_byte_check)));
    cases.push_back(reader_case<Sarvik::PulseDopplerFloatData>("NoisemapFloat",
        "noisemap_float_subscription_id", packets::pulsedoppler_float(nm_float, 4),
        "parser error of noisemap float data get_noisemap_float_data",
        { [](R& r) { return r.read_message_noisemap_float(); },
            [](R& r) { return r.get_noisemap_float_data("noisemap_float_subscription_id"); } },
        { [](R& r, Sarvik::PulseDopplerFloatData* o) { return r.read_message_noisemap_float(o); },
            [](R& r, Sarvik::PulseDopplerFloatData* o) {
                return r.get_noisemap_float_data("noisemap_float_subscription_id", o);
            } },
        by_parameter_1<Sarvik::PulseDopplerFloatData>(pd_float_check)));
    cases.push_back(reader_case<Sarvik::PulseDopplerByteData>("NoisemapByte", "noisemap_byte_subscription_id",
        packets::pulsedoppler_byte(nm_byte, 4), "parser error of noisemap byte data get_noisemap_byte_data",
        { [](R& r) { return r.read_message_noisemap_byte(); },
            [](R& r) { return r.get_noisemap_byte_data("noisemap_byte_subscription_id"); } },
        { [](R& r, Sarvik::PulseDopplerByteData* o) { return r.read_message_noisemap_byte(o); },
            [](R& r, Sarvik::PulseDopplerByteData* o) {
                return r.get_noisemap_byte_data("noisemap_byte_subscription_id", o);
            } },
        by_parameter_1<Sarvik::PulseDopplerByteData>(pd_byte_check)));

    // The float message decodes from byte 14 on, so a short packet is one
    // shorter than its header.
    Sarvik::DataFloat float_sentinel;
    float_sentinel.info = mark;
    ReaderCase data_float = reader_case<Sarvik::DataFloat>("DataFloat",
        "d4d70752-c146-11e6-a4a6-cec0c932ce01", packets::data_float(5, 6, { 1.5f, 2.5f }),
        "parser error of float data in read_message_data_float",
        { [](R& r) { return r.read_message_data_float(); } },
        { [](R& r, Sarvik::DataFloat* o) { return r.read_message_data_float(o); } },
        Expect<Sarvik::DataFloat> {
            [](const Sarvik::DataFloat& d) {
                return d.content_id == 5 && d.info == 6 && d.data == std::vector<float> { 1.5f, 2.5f };
            },
            float_sentinel,
            [](const Sarvik::DataFloat& a, const Sarvik::DataFloat& b) {
                return a.info == b.info && a.data == b.data;
            } });
    data_float.short_packet.resize(13);
    cases.push_back(data_float);

    // No status-code form of its own.
    ReaderCase frame = reader_case<RawNormalizedFrame>("RawNormalizedFrame",
        "d4d70752-c146-11e6-a4a6-cec0c932ce01", packets::data_float(5, 6, { 1.5f }),
        "parser error of float data in get_raw_normalized_frame",
        { [](R& r) { return r.get_raw_normalized_frame("d4d70752-c146-11e6-a4a6-cec0c932ce01"); } }, {},
        Expect<RawNormalizedFrame> {
            [](const RawNormalizedFrame& f) { return f.info == 6 && f.data == std::vector<float> { 1.5f }; },
            {}, {} });
    frame.short_packet.resize(13);
    cases.push_back(frame);

    cases.push_back(reader_case<unsigned int>("SystemStatus", "system_message_subscription_id",
        packets::system_status(0xA5A5), "parser error of system status data read_message_system",
        { [](R& r) { return r.read_message_system(); } },
        { [](R& r, unsigned int* o) { return r.read_message_system_no_throw(o); } },
        Expect<unsigned int> { [](const unsigned int& s) { return s == 0xA5A5; }, mark,
            [](const unsigned int& a, const unsigned int& b) { return a == b; } }));
    return cases;
}

// A packet of another kind for the reader's queue: presence single, or for
// the presence-single reader a respiration status.
Bytes foreign_packet_for(const std::string& queue)
{
    return queue == "name_of_presence_single_subscription" ? packets::respiration_status()
                                                           : packets::presence_single();
}

void PrintTo(const ReaderCase& c, std::ostream* os)
{
    *os << c.label;
}

class Readers : public ::testing::TestWithParam<ReaderCase> {
protected:
    // Puts the packet at the head of the reader's queue.
    void queue_packet(const Bytes& packet)
    {
        connection.deliver(packet);
        ASSERT_EQ(1, radar.get_number_of_packets(GetParam().queue)) << testsupport::to_hex(packet);
    }

    SimulatedConnection connection;
    RadarInterface& radar = connection.radar();
};

TEST_P(Readers, DecodeAGoodPacketInEveryForm)
{
    for (const auto& read : GetParam().read_good) {
        queue_packet(GetParam().good);
        EXPECT_EQ("", read(radar));
        EXPECT_EQ(0, radar.get_number_of_packets(GetParam().queue));
    }
}

TEST_P(Readers, RefuseAShortPacketAndConsumeIt)
{
    for (const auto& read : GetParam().read_error) {
        queue_packet(GetParam().short_packet);
        EXPECT_EQ(GetParam().error_text, read(radar));
        EXPECT_EQ(0, radar.get_number_of_packets(GetParam().queue));
    }
    for (const auto& refused_untouched : GetParam().refused_untouched) {
        queue_packet(GetParam().short_packet);
        EXPECT_TRUE(refused_untouched(radar));
        EXPECT_EQ(0, radar.get_number_of_packets(GetParam().queue));
    }
    // The packet behind a refused one is read normally.
    connection.deliver(GetParam().short_packet);
    connection.deliver(GetParam().good);
    EXPECT_EQ(GetParam().error_text, GetParam().read_error.front()(radar));
    EXPECT_EQ("", GetParam().read_good.front()(radar));
}

TEST_P(Readers, RefuseAPacketOfAnotherKind)
{
    // The reader's queue is made to take another kind's packets.
    const Bytes foreign = foreign_packet_for(GetParam().queue);
    radar.subscribe(GetParam().queue, Bytes(foreign.begin(), foreign.begin() + 5));
    for (const auto& read : GetParam().read_error) {
        queue_packet(foreign);
        EXPECT_EQ(GetParam().error_text, read(radar));
    }
    for (const auto& refused_untouched : GetParam().refused_untouched) {
        queue_packet(foreign);
        EXPECT_TRUE(refused_untouched(radar));
    }
}

TEST_P(Readers, FailAtOnceWhenTheConnectionIsClosed)
{
    radar.close();
    for (const auto& read : GetParam().read_error)
        EXPECT_EQ(GetParam().error_text, read(radar));
    for (const auto& refused_untouched : GetParam().refused_untouched)
        EXPECT_TRUE(refused_untouched(radar));
}

INSTANTIATE_TEST_SUITE_P(EveryReader, Readers, ::testing::ValuesIn(reader_cases()),
    [](const auto& param_info) { return param_info.param.label; });

// ---- reader details --------------------------------------------------------

TEST(ReaderDetails, NamedReaderOfAMissingQueueFailsAtOnce)
{
    SimulatedConnection connection;
    auto& radar = connection.radar();
    try {
        radar.get_respiration_data("no such queue");
        FAIL() << "no exception";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ("parser error of respiration data get_respiration_data", e.what());
    }
    Sarvik::RespirationData record;
    record.frame_counter = 9;
    EXPECT_EQ(1, radar.get_respiration_data("no such queue", &record));
    EXPECT_EQ(9u, record.frame_counter);
}

TEST(ReaderDetails, PeekIsZeroForAQueueThatIsNotThere)
{
    SimulatedConnection connection;
    auto& radar = connection.radar();
    connection.deliver(packets::vitalsigns_status());
    EXPECT_EQ(1, radar.peek_message_vital_signs());
    radar.unsubscribe("vital_signs_subscription_id");
    EXPECT_EQ(0, radar.peek_message_vital_signs());
    radar.subscribe_to_vital_signs();
    EXPECT_EQ(0, radar.peek_message_vital_signs());
}

TEST(ReaderDetails, ReadWaitsForTheNextPacket)
{
    SimulatedConnection connection;
    auto& radar = connection.radar();
    auto read = std::async(std::launch::async, [&] { return radar.read_message_baseband_iq(); });
    ASSERT_TRUE(connection.log().wait_for("get_baseband_iq_data -- begin"));
    EXPECT_EQ(std::future_status::timeout, read.wait_for(50ms));
    connection.module().send_packet(packets::baseband(0x0C, 2));
    ASSERT_EQ(std::future_status::ready, read.wait_for(5s));
    EXPECT_EQ(2u, read.get().num_bins);
}

TEST(ReaderDetails, RawFormsHandOutThePacketUnchanged)
{
    SimulatedConnection connection;
    auto& radar = connection.radar();
    // Too short for the decoder, which does not matter here.
    const Bytes broken = hex("50 10 00 00 00 01 02");
    connection.deliver(broken);
    connection.deliver(packets::pulsedoppler_byte(pd_byte, 2));
    connection.deliver(packets::pulsedoppler_float(nm_float, 2));
    connection.deliver(packets::pulsedoppler_byte(nm_byte, 2));
    EXPECT_EQ(broken, radar.read_message_pulsedoppler_raw_float());
    EXPECT_EQ(packets::pulsedoppler_byte(pd_byte, 2), radar.read_message_pulsedoppler_raw_byte());
    EXPECT_EQ(packets::pulsedoppler_float(nm_float, 2), radar.read_message_noisemap_raw_float());
    EXPECT_EQ(packets::pulsedoppler_byte(nm_byte, 2),
        radar.get_noisemap_raw_byte_data("noisemap_byte_subscription_id"));
    EXPECT_TRUE(radar.get_pulsedoppler_raw_float_data("no such queue").empty());
    EXPECT_TRUE(radar.get_noisemap_raw_float_data("no such queue").empty());
}

TEST(ReaderDetails, PulseDopplerAndNoiseMapDecodersTakeEitherContentId)
{
    SimulatedConnection connection;
    auto& radar = connection.radar();
    radar.subscribe_to_noisemap_float("noise as doppler");
    radar.subscribe_to_pulsedoppler_byte("doppler as noise");
    connection.deliver(packets::pulsedoppler_float(nm_float, 3));
    connection.deliver(packets::pulsedoppler_byte(pd_byte, 3));
    EXPECT_EQ(3u, radar.get_pulsedoppler_float_data("noise as doppler").count);
    EXPECT_EQ(3u, radar.get_noisemap_byte_data("doppler as noise").count);
}

TEST(ReaderDetails, NormalizedFrameOfAnEmptyFloatMessage)
{
    SimulatedConnection connection;
    auto& radar = connection.radar();
    radar.subscribe_to_raw_normalized("frames");
    connection.deliver(packets::data_float(1, 0x55, {}));
    const RawNormalizedFrame frame = radar.get_raw_normalized_frame("frames");
    EXPECT_EQ(0x55u, frame.info);
    EXPECT_TRUE(frame.data.empty());
}

TEST(ReaderDetails, SecondSystemStatusSubscriptionDropsWhatTheFirstHeld)
{
    SimulatedConnection connection;
    auto& radar = connection.radar();
    connection.deliver(packets::system_status(1));
    ASSERT_EQ(1, radar.peek_message_system());
    EXPECT_EQ(0, radar.subscribe_to_system_status());
    EXPECT_EQ(0, radar.peek_message_system());
    connection.deliver(packets::system_status(2));
    unsigned int status = 0;
    EXPECT_EQ(0, radar.read_message_system_no_throw(&status));
    EXPECT_EQ(2u, status);
}

TEST(ReaderDetails, DefaultAndNamedFormsOfTheSleepStreamAreOneSubscription)
{
    SimulatedConnection connection;
    auto& radar = connection.radar();
    connection.deliver(packets::sleep_status());
    radar.subscribe_to_sleep_status("respiration_sleep_subscription_id");
    EXPECT_EQ(0, radar.peek_message_respiration_sleep());
    connection.deliver(packets::sleep_status());
    radar.subscribe_to_respiration_sleep();
    EXPECT_EQ(0, radar.peek_message_respiration_sleep());
    connection.deliver(packets::sleep_status());
    EXPECT_EQ(1, radar.peek_message_respiration_sleep());
}

// ---- the queue bound, seen through the peek calls ----------------------------

TEST(QueueBound, KeepsTheNewestThousandPackets)
{
    SimulatedConnection connection;
    auto& radar = connection.radar();
    connection.module().send_burst(simmodule::DataSource::generate([](uint64_t i) {
        simmodule::PresenceSingle message;
        message.frame_counter = static_cast<uint32_t>(i);
        return simmodule::presence_single_message(message);
    }),
        1005);
    connection.settle();
    EXPECT_EQ(1000, radar.peek_message_presence_single());
    EXPECT_EQ(5u, radar.read_message_presence_single().frame_counter);
    EXPECT_EQ(999, radar.peek_message_presence_single());
    radar.clear("name_of_presence_single_subscription");
    EXPECT_EQ(0, radar.peek_message_presence_single());
}

// ---- generic string and byte data ------------------------------------------

TEST(GenericData, StringReaderTakesTheTextFromByteFourteen)
{
    SimulatedConnection connection;
    auto& radar = connection.radar();
    connection.deliver(simmodule::text_data_message(0x01020304, 0x0A0B0C0D, "hello"));
    connection.deliver(simmodule::text_data_message(1, 2, "")); // exactly the header
    Bytes overlong = simmodule::text_data_message(1, 2, "abcde");
    packets::put_u32(overlong, 10, 100); // says 100, carries 5
    connection.deliver(overlong);
    ASSERT_EQ(3, radar.peek_message_data_string());

    unsigned content_id = 0, info = 0;
    std::string text = "old";
    EXPECT_EQ(0, radar.read_message_data_string(&content_id, &info, &text));
    EXPECT_EQ(0x01020304u, content_id);
    EXPECT_EQ(0x0A0B0C0Du, info);
    EXPECT_EQ("hello", text);
    EXPECT_EQ(0, radar.read_message_data_string(nullptr, nullptr, &text));
    EXPECT_EQ("", text);
    EXPECT_EQ(0, radar.read_message_data_string(nullptr, nullptr, &text));
    EXPECT_EQ("abcde", text);
}

TEST(GenericData, ShortAndForeignPacketsFailAndAreConsumed)
{
    SimulatedConnection connection;
    auto& radar = connection.radar();
    unsigned content_id = 77, info = 77;
    std::string text = "old";
    Bytes data { 1 };

    // 13 bytes: one short of the header.
    connection.deliver(hex("a0 13 01 00 00 00 02 00 00 00 00 00 00"));
    connection.deliver(hex("a0 10 01 00 00 00 02 00 00 00 00 00 00"));
    EXPECT_EQ(1, radar.read_message_data_string(&content_id, &info, &text));
    EXPECT_EQ(0, radar.peek_message_data_string());
    EXPECT_EQ(1, radar.read_message_data_byte(&content_id, &info, &data));
    EXPECT_EQ(0, radar.peek_message_data_byte());

    // The string queue made to take byte-data packets: a foreign sub-type.
    radar.subscribe("2588cebf-cbcb-40af-b0ad-37d7e959ae1a", Bytes { 0xA0, 0x10 });
    connection.deliver(simmodule::byte_data_message(1, 2, { 9 }));
    EXPECT_EQ(1, radar.read_message_data_string(&content_id, &info, &text));
    EXPECT_EQ(0, radar.peek_message_data_string());

    EXPECT_EQ(77u, content_id);
    EXPECT_EQ(77u, info);
    EXPECT_EQ("old", text);
    EXPECT_EQ(Bytes { 1 }, data);
}

TEST(GenericData, ByteReaderWithoutOutputsConsumesOnePacket)
{
    SimulatedConnection connection;
    auto& radar = connection.radar();
    connection.deliver(simmodule::byte_data_message(3, 4, { 7, 8, 9 }));
    connection.deliver(simmodule::byte_data_message(5, 6, { 1 }));
    EXPECT_EQ(0, radar.read_message_data_byte(nullptr, nullptr, nullptr));
    unsigned content_id = 0, info = 0;
    Bytes data;
    EXPECT_EQ(0, radar.read_message_data_byte(&content_id, &info, &data));
    EXPECT_EQ(5u, content_id);
    EXPECT_EQ(6u, info);
    EXPECT_EQ(Bytes { 1 }, data);
}

TEST(GenericData, UnsubscribedQueueFailsAtOnce)
{
    SimulatedConnection connection;
    auto& radar = connection.radar();
    radar.unsubscribe("2588cebf-cbcb-40af-b0ad-37d7e959ae1a");
    std::string text;
    EXPECT_EQ(1, radar.read_message_data_string(nullptr, nullptr, &text));
}

// ---- every kind of the catalogue through the generic operations ---------------

namespace catalogue_kinds {

// Public records compared field by field, as their field lists give them.
#define LINKWELL_SAME_VALUE(field) &&a.field == b.field
#define LINKWELL_SAME_COUNT(field)
#define LINKWELL_SAME_ARRAY(field, count) &&a.field == b.field
#define LINKWELL_SAME_RECORD(Codec, Public, slot, fields)                                                    \
    bool same(const Public& a, const Public& b)                                                              \
    {                                                                                                        \
        return true fields(LINKWELL_SAME_VALUE, LINKWELL_SAME_COUNT, LINKWELL_SAME_ARRAY);                   \
    }
LINKWELL_MESSAGE_RECORDS(LINKWELL_SAME_RECORD)
#undef LINKWELL_SAME_RECORD
#undef LINKWELL_SAME_VALUE
#undef LINKWELL_SAME_COUNT
#undef LINKWELL_SAME_ARRAY

bool same(unsigned int a, unsigned int b)
{
    return a == b;
}

bool same(const Bytes& a, const Bytes& b)
{
    return a == b;
}

// What a reader of the kind must hand out for the packet.
template <typename Tag> typename Tag::Public expected(const Bytes& packet)
{
    if constexpr (std::is_same_v<typename Tag::Codec, RawPacket>) {
        return packet;
    } else {
        testsupport::RecordingLogger logger;
        Parser parser(logger);
        ParseResult<typename Tag::Codec> result;
        parser.decode<Tag>(packet, &result);
        return to_public(result.record);
    }
}

struct KindCase {
    const MessageKind* kind;
    // Delivers the kind's test packet, reads it back in both forms and, for a
    // kind with a decoder, refuses the packet cut short; "" when all went
    // well, else what did not.
    std::function<std::string(SimulatedConnection&, const std::string& queue)> read_back;
};

template <typename Tag> KindCase kind_case()
{
    return { &Tag::kind, [](SimulatedConnection& connection, const std::string& queue) -> std::string {
                auto& radar = connection.radar();
                const Bytes packet = packets::of_kind(Tag::kind);
                connection.deliver(packet);
                connection.deliver(packet);
                if (radar.get_number_of_packets(queue) != 2)
                    return "not in its queue";
                if (!same(expected<Tag>(packet), radar.read<Tag>(queue)))
                    return "throwing form: wrong record";
                typename Tag::Public out {};
                if (radar.read<Tag>(queue, &out) != 0 || !same(expected<Tag>(packet), out))
                    return "status form: wrong record";
                if constexpr (!std::is_same_v<typename Tag::Codec, RawPacket>) {
                    // Too short for any kind's header.
                    const size_t cut = std::min<size_t>(packet.size() - 1, 13);
                    connection.deliver(
                        Bytes(packet.begin(), packet.begin() + static_cast<std::ptrdiff_t>(cut)));
                    try {
                        radar.read<Tag>(queue);
                        return "short packet read";
                    } catch (const std::runtime_error& e) {
                        const std::string text = std::string(Tag::kind.reader_error) + Tag::kind.reader_trace;
                        if (e.what() != text)
                            return std::string("short packet: ") + e.what();
                    }
                }
                return "";
            } };
}

std::vector<KindCase> every_kind_case()
{
    std::vector<KindCase> cases;
#define LINKWELL_KIND_CASE(Tag, ...) cases.push_back(kind_case<messages::Tag>());
    LINKWELL_MESSAGE_CATALOGUE(LINKWELL_KIND_CASE)
#undef LINKWELL_KIND_CASE
    return cases;
}

class EveryKind : public ::testing::TestWithParam<KindCase> { };

// The default queue where the kind has one, else a queue of the caller's.
TEST_P(EveryKind, LandsInItsQueueAndReadsBackThroughTheCatalogue)
{
    const MessageKind& kind = *GetParam().kind;
    SimulatedConnection connection;
    auto& radar = connection.radar();
    std::string queue = "caller's queue";
    if (kind.default_queue)
        queue = kind.default_queue;
    else
        EXPECT_EQ(0, radar.subscribe_to(kind, queue));
    EXPECT_EQ("", GetParam().read_back(connection, queue));
    EXPECT_EQ(0, radar.peek(kind));
}

INSTANTIATE_TEST_SUITE_P(Catalogue, EveryKind, ::testing::ValuesIn(every_kind_case()),
    [](const auto& param_info) { return std::string(param_info.param.kind->name); });

} // namespace catalogue_kinds

// ---- every named subscription and peek form -----------------------------------
//
// Each named method is one line that ties a name to a kind; a line that names
// the wrong kind compiles. Every kind's packet is delivered, so a form that
// subscribes another kind's prefix, or a Trace under another name, shows.

namespace named_forms {

using CallbackForm = std::function<int(R&, const std::string&, R::PacketCallback)>;
using NamedForm = std::function<int(R&, const std::string&)>;
using DefaultForm = std::function<int(R&)>;

#define CALLBACK_FORM(method)                                                                                \
    [](R& r, const std::string& queue, R::PacketCallback callback) {                                         \
        return r.method(queue, std::move(callback));                                                         \
    }
#define NAMED_FORM(method) [](R& r, const std::string& queue) { return r.method(queue); }
#define DEFAULT_FORM(method) [](R& r) { return r.method(); }

// One kind's named subscription forms and peek, absent where the kind has
// none, and the Trace lines that each subscription logs.
struct KindForms {
    std::string label;
    const MessageKind* kind;
    std::vector<std::string> trace;
    CallbackForm callback;
    NamedForm named;
    DefaultForm by_default;
    DefaultForm peek;
};

std::vector<std::string> traced(const std::string& name)
{
    return { name + " -- begin", name + " -- end" };
}

std::vector<KindForms> every_named_form()
{
    using namespace messages;
    return {
        { "presence_single", &PresenceSingle::kind, traced("subscribe_to_presence_single"),
            CALLBACK_FORM(subscribe_to_presence_single), {}, DEFAULT_FORM(subscribe_to_presence_single),
            DEFAULT_FORM(peek_message_presence_single) },
        { "presence_movinglist", &PresenceMovingList::kind, traced("subscribe_to_presence_movinglist"),
            CALLBACK_FORM(subscribe_to_presence_movinglist), {},
            DEFAULT_FORM(subscribe_to_presence_movinglist), DEFAULT_FORM(peek_message_presence_movinglist) },
        { "data_float", &DataFloat::kind, traced("subscribe_to_data_float"),
            CALLBACK_FORM(subscribe_to_data_float), NAMED_FORM(subscribe_to_data_float), {},
            DEFAULT_FORM(peek_message_data_float) },
        { "raw_normalized", &DataFloat::kind,
            { "subscribe_to_raw_normalized -- begin", "subscribe_to_data_float -- begin",
                "subscribe_to_data_float -- end", "subscribe_to_raw_normalized -- end" },
            CALLBACK_FORM(subscribe_to_raw_normalized), NAMED_FORM(subscribe_to_raw_normalized), {}, {} },
        { "data_string", &DataString::kind, traced("subscribe_to_data_string"),
            CALLBACK_FORM(subscribe_to_data_string), NAMED_FORM(subscribe_to_data_string), {},
            DEFAULT_FORM(peek_message_data_string) },
        { "debug_messages", &DataString::kind, traced("subscribe_to_data_string"),
            CALLBACK_FORM(subscribe_to_debug_messages), NAMED_FORM(subscribe_to_debug_messages), {}, {} },
        { "trace", &DataString::kind, traced("subscribe_to_data_string"), {}, NAMED_FORM(subscribe_to_trace),
            {}, {} },
        { "data_byte", &DataByte::kind, traced("subscribe_to_data_byte"),
            CALLBACK_FORM(subscribe_to_data_byte), NAMED_FORM(subscribe_to_data_byte), {},
            DEFAULT_FORM(peek_message_data_byte) },
        { "baseband_iq", &BasebandIq::kind, traced("subscribe_to_baseband_iq"),
            CALLBACK_FORM(subscribe_to_baseband_iq), NAMED_FORM(subscribe_to_baseband_iq),
            DEFAULT_FORM(subscribe_to_baseband_iq), DEFAULT_FORM(peek_message_baseband_iq) },
        { "baseband_ap", &BasebandAp::kind, traced("subscribe_to_baseband_ap"),
            CALLBACK_FORM(subscribe_to_baseband_ap), NAMED_FORM(subscribe_to_baseband_ap),
            DEFAULT_FORM(subscribe_to_baseband_ap), DEFAULT_FORM(peek_message_baseband_ap) },
        { "pulsedoppler_float", &PulseDopplerFloat::kind, traced("subscribe_to_pulsedoppler_float"),
            CALLBACK_FORM(subscribe_to_pulsedoppler_float), NAMED_FORM(subscribe_to_pulsedoppler_float),
            DEFAULT_FORM(subscribe_to_pulsedoppler_float), DEFAULT_FORM(peek_message_pulsedoppler_float) },
        { "noisemap_float", &NoiseMapFloat::kind, traced("subscribe_to_noisemap_float"),
            CALLBACK_FORM(subscribe_to_noisemap_float), NAMED_FORM(subscribe_to_noisemap_float),
            DEFAULT_FORM(subscribe_to_noisemap_float), DEFAULT_FORM(peek_message_noisemap_float) },
        { "pulsedoppler_byte", &PulseDopplerByte::kind, traced("subscribe_to_pulsedoppler_byte"),
            CALLBACK_FORM(subscribe_to_pulsedoppler_byte), NAMED_FORM(subscribe_to_pulsedoppler_byte),
            DEFAULT_FORM(subscribe_to_pulsedoppler_byte), DEFAULT_FORM(peek_message_pulsedoppler_byte) },
        { "noisemap_byte", &NoiseMapByte::kind, traced("subscribe_to_noisemap_byte"),
            CALLBACK_FORM(subscribe_to_noisemap_byte), NAMED_FORM(subscribe_to_noisemap_byte),
            DEFAULT_FORM(subscribe_to_noisemap_byte), DEFAULT_FORM(peek_message_noisemap_byte) },
        { "system_status", &SystemMessage::kind, traced("subscribe_to_system_status"), {}, {},
            DEFAULT_FORM(subscribe_to_system_status), DEFAULT_FORM(peek_message_system) },
        { "resp_status", &RespirationLegacy::kind, traced("subscribe_to_resp_status"),
            CALLBACK_FORM(subscribe_to_resp_status), NAMED_FORM(subscribe_to_resp_status),
            DEFAULT_FORM(subscribe_to_respiration_legacy), DEFAULT_FORM(peek_message_respiration_legacy) },
        { "sleep_status", &RespirationSleep::kind, traced("subscribe_to_sleep_status"),
            CALLBACK_FORM(subscribe_to_sleep_status), NAMED_FORM(subscribe_to_sleep_status),
            DEFAULT_FORM(subscribe_to_respiration_sleep), DEFAULT_FORM(peek_message_respiration_sleep) },
        { "respiration_movinglist", &RespirationMovingList::kind,
            traced("subscribe_to_respiration_movinglist"), CALLBACK_FORM(subscribe_to_respiration_movinglist),
            {}, DEFAULT_FORM(subscribe_to_respiration_movinglist),
            DEFAULT_FORM(peek_message_respiration_movinglist) },
        { "respiration_detectionlist", &RespirationDetectionList::kind,
            traced("subscribe_to_respiration_detectionlist"),
            CALLBACK_FORM(subscribe_to_respiration_detectionlist), {},
            DEFAULT_FORM(subscribe_to_respiration_detectionlist),
            DEFAULT_FORM(peek_message_respiration_detectionlist) },
        { "respiration_normalizedmovementlist", &RespirationNormalizedMovementList::kind,
            traced("subscribe_to_respiration_normalizedmovementlist"),
            CALLBACK_FORM(subscribe_to_respiration_normalizedmovementlist), {},
            DEFAULT_FORM(subscribe_to_respiration_normalizedmovementlist),
            DEFAULT_FORM(peek_message_respiration_normalizedmovementlist) },
        { "sleepstage", &SleepStage::kind, traced("subscribe_to_sleepstage"),
            CALLBACK_FORM(subscribe_to_sleepstage), NAMED_FORM(subscribe_to_sleepstage),
            DEFAULT_FORM(subscribe_to_sleepstage), DEFAULT_FORM(peek_message_sleepstage) },
        { "vital_signs", &VitalSigns::kind, traced("subscribe_to_vital_signs"),
            CALLBACK_FORM(subscribe_to_vital_signs), NAMED_FORM(subscribe_to_vital_signs),
            DEFAULT_FORM(subscribe_to_vital_signs), DEFAULT_FORM(peek_message_vital_signs) },
        { "radar_rf", &RadarRf::kind, traced("subscribe_to_radar_rf"), CALLBACK_FORM(subscribe_to_radar_rf),
            NAMED_FORM(subscribe_to_radar_rf), DEFAULT_FORM(subscribe_to_radar_rf),
            DEFAULT_FORM(peek_message_radar_rf) },
        { "radar_rf_normalized", &RadarRfNormalized::kind, traced("subscribe_to_radar_rf_normalized"),
            CALLBACK_FORM(subscribe_to_radar_rf_normalized), NAMED_FORM(subscribe_to_radar_rf_normalized),
            DEFAULT_FORM(subscribe_to_radar_rf_normalized), DEFAULT_FORM(peek_message_radar_rf_normalized) },
        { "radar_baseband_float", &RadarBasebandFloat::kind, traced("subscribe_to_radar_baseband_float"),
            CALLBACK_FORM(subscribe_to_radar_baseband_float), NAMED_FORM(subscribe_to_radar_baseband_float),
            DEFAULT_FORM(subscribe_to_radar_baseband_float),
            DEFAULT_FORM(peek_message_radar_baseband_float) },
        { "radar_baseband_q15", &RadarBasebandQ15::kind, traced("subscribe_to_radar_baseband_q15"),
            CALLBACK_FORM(subscribe_to_radar_baseband_q15), NAMED_FORM(subscribe_to_radar_baseband_q15),
            DEFAULT_FORM(subscribe_to_radar_baseband_q15), DEFAULT_FORM(peek_message_radar_baseband_q15) },
        { "performance_status", &PerformanceStatus::kind, traced("subscribe_to_performance_status"),
            CALLBACK_FORM(subscribe_to_performance_status), NAMED_FORM(subscribe_to_performance_status), {},
            {} },
        { "radar_settings", &RadarSettings::kind, traced("subscribe_to_radar_settings"),
            CALLBACK_FORM(subscribe_to_radar_settings), NAMED_FORM(subscribe_to_radar_settings), {}, {} },
    };
}

#undef CALLBACK_FORM
#undef NAMED_FORM
#undef DEFAULT_FORM

class NamedForms : public ::testing::TestWithParam<KindForms> {
protected:
    // One packet of every kind of the catalogue, the row's kind among them.
    void deliver_every_kind()
    {
        for (const MessageKind* kind : messages::catalogue)
            connection.deliver(packets::of_kind(*kind));
    }

    Bytes own_packet() const { return packets::of_kind(*GetParam().kind); }

    // What the callback form was handed; declared first, so that it outlives
    // the connection whose dispatcher calls the callback.
    std::mutex mutex;
    std::vector<Bytes> seen;
    SimulatedConnection connection;
    RadarInterface& radar = connection.radar();
};

// The default queue first, while it holds nothing but what the test sends.
TEST_P(NamedForms, EachFormTakesOnlyItsKindUnderItsTrace)
{
    const KindForms& forms = GetParam();
    if (forms.by_default) {
        connection.log().clear();
        EXPECT_EQ(0, forms.by_default(radar));
        EXPECT_EQ(forms.trace, connection.log().texts()) << "default form";
    }
    if (forms.peek) {
        ASSERT_NE(nullptr, forms.kind->default_queue);
        EXPECT_EQ(0, forms.peek(radar));
        deliver_every_kind();
        EXPECT_EQ(1, forms.peek(radar));
        EXPECT_EQ(own_packet(), radar.get_packet(forms.kind->default_queue));
        // Another kind's queue still holds its packet.
        EXPECT_EQ(0, forms.peek(radar));
    }
    if (forms.callback) {
        connection.log().clear();
        EXPECT_EQ(0, forms.callback(radar, "callback queue", [&](Bytes packet) {
            std::lock_guard<std::mutex> lock(mutex);
            seen.push_back(std::move(packet));
            return true;
        }));
        EXPECT_EQ(forms.trace, connection.log().texts()) << "callback form";
        deliver_every_kind();
        std::lock_guard<std::mutex> lock(mutex);
        EXPECT_EQ(std::vector<Bytes> { own_packet() }, seen);
        seen.clear();
    }
    if (forms.named) {
        connection.log().clear();
        EXPECT_EQ(0, forms.named(radar, "named queue"));
        EXPECT_EQ(forms.trace, connection.log().texts()) << "named form";
        deliver_every_kind();
        ASSERT_EQ(1, radar.get_number_of_packets("named queue"));
        EXPECT_EQ(own_packet(), radar.get_packet("named queue"));
    }
}

INSTANTIATE_TEST_SUITE_P(EveryKind, NamedForms, ::testing::ValuesIn(every_named_form()),
    [](const auto& param_info) { return param_info.param.label; });

} // namespace named_forms

} // namespace
