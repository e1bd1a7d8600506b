#include "protocol/HostParserWrapper.hpp"
#include "support/MessagePackets.hpp"
#include "support/TestSupport.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using testsupport::Bytes;
using namespace testsupport::packets;

namespace {

// Keeps the name of every receiver operation called, with a detail of its
// record that shows the record was the one decoded.
class CallbackRecorder : public PacketParserCallback {
public:
    std::vector<std::string> calls;

    void on_ack(const Ack* r) override { add("ack", r->ack); }
    void on_pong(uint32_t value) override { add("pong", value); }
    void on_error(uint32_t code) override { add("error", code); }
    void on_respiration(const RespirationData* r) override { add("respiration", r->respiration_rate); }
    void on_sleep(const SleepData* r) override { add("sleep", r->signal_quality); }
    void on_baseband_ap(const BasebandApData* r) override { add("baseband_ap", r->num_bins); }
    void on_baseband_iq(const BasebandIqData* r) override { add("baseband_iq", r->num_bins); }
    void on_radar_rf(const RadarRfData* r) override { add("radar_rf", r->num_bins); }
    void on_radar_rf_normalized(const RadarRfNormalizedData* r) override
    {
        add("radar_rf_normalized", r->num_bins);
    }
    void on_radar_baseband_float(const RadarBasebandFloatData* r) override
    {
        add("radar_baseband_float", r->num_bins);
    }
    void on_radar_baseband_q15(const RadarBasebandQ15Data* r) override
    {
        add("radar_baseband_q15", r->num_bins);
    }
    void on_presence_single(const PresenceSingleData* r) override { add("presence_single", r->direction); }
    void on_presence_movinglist(const PresenceMovingListData* r) override
    {
        add("presence_movinglist", r->detection_count);
    }
    void on_pulsedoppler_float(const PulseDopplerFloatData* r) override
    {
        add("pulsedoppler_float", r->count);
    }
    void on_pulsedoppler_byte(const PulseDopplerByteData* r) override { add("pulsedoppler_byte", r->count); }

private:
    void add(const std::string& name, uint64_t detail)
    {
        calls.push_back(name + " " + std::to_string(detail));
    }
};

std::vector<std::string> dispatch(const Bytes& packet)
{
    HostParserWrapper wrapper;
    CallbackRecorder receiver;
    parse(&wrapper, packet.data(), static_cast<uint32_t>(packet.size()), &receiver);
    return receiver.calls;
}

std::vector<std::string> one(const std::string& call)
{
    return { call };
}

TEST(HostParserWrapper, ForwardsEachRecordToItsReceiverOperation)
{
    EXPECT_EQ(one("pong 77"), dispatch(pong(77)));
    EXPECT_EQ(one("ack 0"), dispatch(ack()));
    EXPECT_EQ(one("error 9"), dispatch(error(9)));
    EXPECT_EQ(one("respiration " + std::to_string(u32_field(3))), dispatch(respiration_status()));
    EXPECT_EQ(one("sleep " + std::to_string(u32_field(5))), dispatch(sleep_status()));
    EXPECT_EQ(one("baseband_ap 2"), dispatch(baseband(0x0D, 2)));
    EXPECT_EQ(one("baseband_iq 3"), dispatch(baseband(0x0C, 3)));
    EXPECT_EQ(one("radar_rf 4"), dispatch(radar_rf(0xC1A3117E, 4)));
    EXPECT_EQ(one("radar_rf_normalized 5"), dispatch(radar_rf(0xB13B8F12, 5)));
    EXPECT_EQ(one("radar_baseband_float 6"), dispatch(radar_baseband_float(6)));
    EXPECT_EQ(one("radar_baseband_q15 7"), dispatch(radar_baseband_q15(7)));
    EXPECT_EQ(one("presence_single 127"), dispatch(presence_single()));
    EXPECT_EQ(one("presence_movinglist 2"), dispatch(presence_movinglist(1, 2)));
}

// parse does not reach the pulse-Doppler decoders; the dispatcher calls them
// directly.
TEST(HostParserWrapper, ForwardsPulseDoppler)
{
    HostParserWrapper wrapper;
    CallbackRecorder receiver;
    const Bytes f = pulsedoppler_float(0x12, 3);
    const Bytes b = pulsedoppler_byte(0x11, 4);
    parse_pulsedoppler_float(&wrapper, f.data(), static_cast<uint32_t>(f.size()), &receiver);
    parse_pulsedoppler_byte(&wrapper, b.data(), static_cast<uint32_t>(b.size()), &receiver);
    EXPECT_EQ((std::vector<std::string> { "pulsedoppler_float 3", "pulsedoppler_byte 4" }), receiver.calls);
}

TEST(HostParserWrapper, RecordsWithoutAReceiverOperationReachNoOne)
{
    HostParserWrapper wrapper;
    CallbackRecorder receiver;
    const Bytes packets[] = { vitalsigns_status(), sleepstage_status(), data_float(1, 2, { 3.0f }),
        respiration_movinglist(1), respiration_detectionlist(1), respiration_normalizedmovementlist(1) };
    for (const auto& p : packets)
        parse(&wrapper, p.data(), static_cast<uint32_t>(p.size()), &receiver);
    const Bytes lists[] = { respiration_movinglist(1), respiration_detectionlist(1) };
    parse_respiration_movinglist(
        &wrapper, lists[0].data(), static_cast<uint32_t>(lists[0].size()), &receiver);
    parse_respiration_detectionlist(
        &wrapper, lists[1].data(), static_cast<uint32_t>(lists[1].size()), &receiver);
    const Bytes r = reply(0x11, 1, 2, {});
    parse_reply(&wrapper, r.data(), static_cast<uint32_t>(r.size()), &receiver);
    const Bytes s = system_status(1);
    parse_system_status(&wrapper, s.data(), static_cast<uint32_t>(s.size()), &receiver);
    EXPECT_TRUE(receiver.calls.empty());
}

TEST(HostParserWrapper, DecoderErrorsReachTheErrorOperation)
{
    EXPECT_EQ(one("error 2"), dispatch(system_status(1))); // parse does not take system status
    EXPECT_EQ(one("error 2"), dispatch(testsupport::hex("50 1E FA 3B 72"))); // presence single, short
    EXPECT_EQ(one("error 5"), dispatch({}));
}

} // namespace
