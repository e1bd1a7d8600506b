// The message queues behind the model classes: every peek_message_ method
// counts its own queue and every read_message_ method takes from it, decodes
// into the caller's record and leaves the record alone when the packet does
// not decode; Corvid's queues under the caller's names and its callbacks;
// NotSupported's raw packets, named queues and decimated frames, with reads
// by a name without a queue and of packets too short for what they should
// carry failing at once, without reading past a packet's end.
#include "support/MessagePackets.hpp"
#include "support/ModelConnection.hpp"
#include "support/TestSupport.hpp"

#include "simmodule/Messages.hpp"

#include <gtest/gtest.h>

#include <future>
#include <thread>

// A namespace of its own: the program's other files build queue tables and
// helpers of the same names.
namespace model_queues {

using testsupport::hex;
using testsupport::ModelConnection;
using testsupport::to_hex;
namespace packets = testsupport::packets;

constexpr uint32_t untouched = 0xDEADBEEF;
const std::string first_field = std::to_string(packets::u32_field(1));

std::string status_and(int status, uint32_t value)
{
    return std::to_string(status) + " | " + std::to_string(value);
}

// ---- the connection's own queues ----------------------------------------------------

struct QueueRow {
    std::string kind;
    Bytes packet;
    std::function<int(ModelConnection&)> peek;
    // Reads one packet: the status and the record's key field.
    std::function<std::string(ModelConnection&)> read;
    std::string good; // what reading `packet` gives
    size_t short_size; // a packet cut to this size does not decode
};

// A reader into a record, judged by one of its fields.
template <typename Model, typename Record>
QueueRow queue(std::string kind, int (Model::*peek)(), int (Model::*read)(Record*), uint32_t Record::*key,
    Bytes packet, std::string good = first_field)
{
    const size_t short_size = packet.size() - 1;
    return { std::move(kind), std::move(packet),
        [peek](ModelConnection& c) { return (c.get<Model>().*peek)(); },
        [read, key](ModelConnection& c) {
            Record record;
            record.*key = untouched;
            const int status = (c.get<Model>().*read)(&record);
            return status_and(status, record.*key);
        },
        "0 | " + good, short_size };
}

// Every reader in turn: two packets come, the count is 2, one read decodes
// the first and leaves 1; a packet cut short is refused with the record
// untouched.
void check_queues(const std::vector<QueueRow>& rows)
{
    ModelConnection c;
    for (const QueueRow& row : rows) {
        SCOPED_TRACE(row.kind);
        c.simulated.deliver(row.packet);
        c.simulated.deliver(row.packet);
        EXPECT_EQ(2, row.peek(c));
        EXPECT_EQ(row.good, c.within_limit([&] { return row.read(c); }));
        EXPECT_EQ(1, row.peek(c));
        EXPECT_EQ(row.good, c.within_limit([&] { return row.read(c); }));

        c.simulated.deliver(Bytes(row.packet.begin(), row.packet.begin() + row.short_size));
        EXPECT_EQ(1, row.peek(c));
        const std::string refused = c.within_limit([&] { return row.read(c); });
        EXPECT_NE("0", refused.substr(0, 1)) << refused;
        EXPECT_EQ(std::to_string(untouched), refused.substr(refused.find("| ") + 2)) << refused;
        EXPECT_EQ(0, row.peek(c));
    }
}

template <typename M> std::vector<QueueRow> application_module_queues()
{
    using Pd = Sarvik::PulseDopplerFloatData;
    using PdByte = Sarvik::PulseDopplerByteData;
    return {
        queue("baseband_ap", &M::peek_message_baseband_ap, &M::read_message_baseband_ap,
            &Sarvik::BasebandApData::frame_counter, packets::baseband(0x0D, 3)),
        queue("baseband_iq", &M::peek_message_baseband_iq, &M::read_message_baseband_iq,
            &Sarvik::BasebandIqData::frame_counter, packets::baseband(0x0C, 3)),
        queue("pulsedoppler_float", &M::peek_message_pulsedoppler_float, &M::read_message_pulsedoppler_float,
            &Pd::parameter_1, packets::pulsedoppler_float(0x10, 4)),
        queue("pulsedoppler_byte", &M::peek_message_pulsedoppler_byte, &M::read_message_pulsedoppler_byte,
            &PdByte::parameter_1, packets::pulsedoppler_byte(0x11, 4)),
        queue("noisemap_float", &M::peek_message_noisemap_float, &M::read_message_noisemap_float,
            &Pd::parameter_1, packets::pulsedoppler_float(0x12, 4)),
        queue("noisemap_byte", &M::peek_message_noisemap_byte, &M::read_message_noisemap_byte,
            &PdByte::parameter_1, packets::pulsedoppler_byte(0x13, 4)),
    };
}

template <typename M> std::vector<QueueRow> respiration_module_queues()
{
    auto rows = application_module_queues<M>();
    const std::vector<QueueRow> more {
        queue("respiration_legacy", &M::peek_message_respiration_legacy, &M::read_message_respiration_legacy,
            &Sarvik::RespirationData::frame_counter, packets::respiration_status()),
        queue("respiration_sleep", &M::peek_message_respiration_sleep, &M::read_message_respiration_sleep,
            &Sarvik::SleepData::frame_counter, packets::sleep_status()),
        queue("respiration_movinglist", &M::peek_message_respiration_movinglist,
            &M::read_message_respiration_movinglist, &Sarvik::RespirationMovingListData::frame_counter,
            packets::respiration_movinglist(2)),
        queue("respiration_detectionlist", &M::peek_message_respiration_detectionlist,
            &M::read_message_respiration_detectionlist, &Sarvik::RespirationDetectionListData::frame_counter,
            packets::respiration_detectionlist(2)),
        queue("respiration_normalizedmovementlist", &M::peek_message_respiration_normalizedmovementlist,
            &M::read_message_respiration_normalizedmovementlist,
            &Sarvik::RespirationNormalizedMovementListData::frame_counter,
            packets::respiration_normalizedmovementlist(2)),
        queue("vital_signs", &M::peek_message_vital_signs, &M::read_message_vital_signs,
            &Sarvik::VitalSignsData::frame_counter, packets::vitalsigns_status()),
    };
    rows.insert(rows.end(), more.begin(), more.end());
    return rows;
}

TEST(ModelQueues, Dax)
{
    using M = Sarvik::Dax;
    // The float data decodes as many values as follow its header: only a
    // packet shorter than the header is refused.
    QueueRow data_float = queue("data_float", &M::peek_message_data_float, &M::read_message_data_float,
        &Sarvik::DataFloat::content_id, packets::data_float(7, 8, { 1.0f, 2.0f }), "7");
    data_float.short_size = 13;
    check_queues({
        data_float,
        queue("radar_rf", &M::peek_message_radar_rf, &M::read_message_radar_rf,
            &Sarvik::RadarRfData::frame_counter, packets::radar_rf(0xC1A3117E, 3)),
        queue("radar_rf_normalized", &M::peek_message_radar_rf_normalized,
            &M::read_message_radar_rf_normalized, &Sarvik::RadarRfNormalizedData::frame_counter,
            packets::radar_rf(0xB13B8F12, 3)),
        queue("radar_baseband_float", &M::peek_message_radar_baseband_float,
            &M::read_message_radar_baseband_float, &Sarvik::RadarBasebandFloatData::frame_counter,
            packets::radar_baseband_float(3)),
        queue("radar_baseband_q15", &M::peek_message_radar_baseband_q15, &M::read_message_radar_baseband_q15,
            &Sarvik::RadarBasebandQ15Data::frame_counter, packets::radar_baseband_q15(3)),
        { "system", packets::system_status(0x1234),
            [](ModelConnection& c) { return c.dax.peek_message_system(); },
            [](ModelConnection& c) {
                uint32_t status = untouched;
                const int result = c.dax.read_message_system(&status);
                return status_and(result, status);
            },
            "0 | 4660", 4 },
    });
}

TEST(ModelQueues, Osprey)
{
    using M = Sarvik::Osprey;
    auto rows = application_module_queues<M>();
    rows.push_back(
        queue("presence_single", &M::peek_message_presence_single, &M::read_message_presence_single,
            &Sarvik::PresenceSingleData::frame_counter, packets::presence_single()));
    rows.push_back(queue("presence_movinglist", &M::peek_message_presence_movinglist,
        &M::read_message_presence_movinglist, &Sarvik::PresenceMovingListData::frame_counter,
        packets::presence_movinglist(2, 3)));
    check_queues(rows);
}

TEST(ModelQueues, Falcon)
{
    check_queues(respiration_module_queues<Sarvik::Falcon>());
}

TEST(ModelQueues, Gannet)
{
    check_queues(respiration_module_queues<Sarvik::Gannet>());
}

// Text and byte data give their content id, info word and payload; null
// pointers are skipped, the packet is consumed all the same; a packet of
// another kind in the queue gives 1.
TEST(ModelQueues, DaxStringAndByteData)
{
    ModelConnection c;
    auto& dax = c.dax;
    c.simulated.deliver(simmodule::text_data_message(7, 8, "hello"));
    c.simulated.deliver(simmodule::text_data_message(9, 10, "skipped"));
    EXPECT_EQ(2, dax.peek_message_data_string());
    uint32_t content_id = 0, info = 0;
    std::string text;
    EXPECT_EQ(0, c.within_limit([&] { return dax.read_message_data_string(&content_id, &info, &text); }));
    EXPECT_EQ(7u, content_id);
    EXPECT_EQ(8u, info);
    EXPECT_EQ("hello", text);
    EXPECT_EQ(0, c.within_limit([&] { return dax.read_message_data_string(nullptr, nullptr, nullptr); }));
    EXPECT_EQ(0, dax.peek_message_data_string());

    c.simulated.deliver(simmodule::byte_data_message(11, 12, { 1, 2, 3 }));
    EXPECT_EQ(1, dax.peek_message_data_byte());
    Bytes data;
    EXPECT_EQ(0, c.within_limit([&] { return dax.read_message_data_byte(&content_id, &info, &data); }));
    EXPECT_EQ(11u, content_id);
    EXPECT_EQ(12u, info);
    EXPECT_EQ((Bytes { 1, 2, 3 }), data);
    EXPECT_EQ(0, dax.peek_message_data_byte());
}

// ---- Corvid: queues under the caller's names ------------------------------------------

struct NamedRow {
    std::string kind;
    Bytes packet;
    std::function<int(Sarvik::Corvid&, const std::string&)> subscribe;
    std::function<std::string(Sarvik::Corvid&, std::string)> read; // status | key field
    std::function<int(Sarvik::Corvid&, const std::string&, std::function<bool(Bytes)>)> subscribe_callback;
};

template <typename Record>
NamedRow named(std::string kind, Bytes packet, int (Sarvik::Corvid::*subscribe)(const std::string&),
    int (Sarvik::Corvid::*read)(std::string, Record*), uint32_t Record::*key,
    int (Sarvik::Corvid::*subscribe_callback)(const std::string&, std::function<bool(Bytes)>))
{
    return { std::move(kind), std::move(packet),
        [subscribe](Sarvik::Corvid& corvid, const std::string& name) { return (corvid.*subscribe)(name); },
        [read, key](Sarvik::Corvid& corvid, std::string name) {
            Record record;
            record.*key = untouched;
            const int status = (corvid.*read)(std::move(name), &record);
            return status_and(status, record.*key);
        },
        [subscribe_callback](
            Sarvik::Corvid& corvid, const std::string& name, std::function<bool(Bytes)> callback) {
            return (corvid.*subscribe_callback)(name, std::move(callback));
        } };
}

std::vector<NamedRow> corvid_queues()
{
    using C = Sarvik::Corvid;
    return {
        named("resp_status", packets::respiration_status(), &C::subscribe_to_resp_status,
            &C::get_respiration_data, &Sarvik::RespirationData::frame_counter, &C::subscribe_to_resp_status),
        named("sleep_status", packets::sleep_status(), &C::subscribe_to_sleep_status, &C::get_sleep_data,
            &Sarvik::SleepData::frame_counter, &C::subscribe_to_sleep_status),
        named("baseband_ap", packets::baseband(0x0D, 3), &C::subscribe_to_baseband_ap,
            &C::get_baseband_ap_data, &Sarvik::BasebandApData::frame_counter, &C::subscribe_to_baseband_ap),
        named("baseband_iq", packets::baseband(0x0C, 3), &C::subscribe_to_baseband_iq,
            &C::get_baseband_iq_data, &Sarvik::BasebandIqData::frame_counter, &C::subscribe_to_baseband_iq),
    };
}

class CorvidQueues : public ::testing::TestWithParam<NamedRow> { };

// Two names each get every message; reading one leaves the other; clear
// empties; a name never subscribed counts 0 and its read fails at once.
TEST_P(CorvidQueues, EachNameCollectsEveryMessageOfItsKind)
{
    const NamedRow& row = GetParam();
    ModelConnection c;
    auto& corvid = c.corvid;
    EXPECT_EQ(0, row.subscribe(corvid, "first"));
    EXPECT_EQ(0, row.subscribe(corvid, "second"));
    c.simulated.deliver(row.packet);
    EXPECT_EQ(1, corvid.get_number_of_packets("first"));
    EXPECT_EQ(1, corvid.get_number_of_packets("second"));

    EXPECT_EQ("0 | " + first_field, c.within_limit([&] { return row.read(corvid, "first"); }));
    EXPECT_EQ(0, corvid.get_number_of_packets("first"));
    EXPECT_EQ(1, corvid.get_number_of_packets("second"));
    corvid.clear("second");
    EXPECT_EQ(0, corvid.get_number_of_packets("second"));

    EXPECT_EQ(0, corvid.get_number_of_packets("never"));
    const std::string refused = c.within_limit([&] { return row.read(corvid, "never"); });
    EXPECT_EQ("1 | " + std::to_string(untouched), refused);
}

// The callback gets each whole message on the connection's dispatcher
// thread.
TEST_P(CorvidQueues, CallbacksGetWholeMessagesOnTheDispatcherThread)
{
    const NamedRow& row = GetParam();
    ModelConnection c;
    std::promise<std::pair<Bytes, std::thread::id>> seen;
    EXPECT_EQ(0, row.subscribe_callback(c.corvid, "callback", [&](Bytes packet) {
        seen.set_value({ packet, std::this_thread::get_id() });
        return true;
    }));
    c.simulated.deliver(row.packet);
    auto result = seen.get_future();
    ASSERT_EQ(std::future_status::ready, result.wait_for(std::chrono::seconds(10)));
    const auto [packet, thread] = result.get();
    EXPECT_EQ(to_hex(row.packet), to_hex(packet));
    EXPECT_NE(std::this_thread::get_id(), thread);
}

void PrintTo(const NamedRow& row, std::ostream* out)
{
    *out << row.kind;
}

INSTANTIATE_TEST_SUITE_P(Each, CorvidQueues, ::testing::ValuesIn(corvid_queues()),
    [](const auto& param_info) { return param_info.param.kind; });

// ---- NotSupported: raw packets and queues by name -----------------------------------

struct RawRow {
    std::string kind;
    Bytes packet;
    int (Sarvik::NotSupported::*peek)();
    Bytes (Sarvik::NotSupported::*read)();
};

// The readers hand out the packet as it came, undecoded.
TEST(ModelQueues, NotSupportedRawPackets)
{
    using N = Sarvik::NotSupported;
    const std::vector<RawRow> rows {
        { "pulsedoppler_float", packets::pulsedoppler_float(0x10, 4), &N::peek_message_pulsedoppler_float,
            &N::read_message_pulsedoppler_float },
        { "noisemap_float", packets::pulsedoppler_float(0x12, 4), &N::peek_message_noisemap_float,
            &N::read_message_noisemap_float },
        { "pulsedoppler_byte", packets::pulsedoppler_byte(0x11, 4), &N::peek_message_pulsedoppler_byte,
            &N::read_message_pulsedoppler_byte },
        { "noisemap_byte", packets::pulsedoppler_byte(0x13, 4), &N::peek_message_noisemap_byte,
            &N::read_message_noisemap_byte },
    };
    ModelConnection c;
    auto& not_supported = c.not_supported;
    for (const RawRow& row : rows) {
        SCOPED_TRACE(row.kind);
        Bytes second = row.packet;
        second.push_back(0x99);
        c.simulated.deliver(row.packet);
        c.simulated.deliver(second);
        EXPECT_EQ(2, (not_supported.*row.peek)());
        EXPECT_EQ(to_hex(row.packet), to_hex(c.within_limit([&] { return (not_supported.*row.read)(); })));
        EXPECT_EQ(to_hex(second), to_hex(c.within_limit([&] { return (not_supported.*row.read)(); })));
        EXPECT_EQ(0, (not_supported.*row.peek)());
    }
}

TEST(ModelQueues, NotSupportedQueuesByName)
{
    ModelConnection c;
    auto& not_supported = c.not_supported;
    const Bytes floats = packets::data_float(7, 8, { 1.0f });
    const Bytes bytes = simmodule::byte_data_message(9, 10, { 1, 2 });
    const Bytes text = simmodule::text_data_message(11, 12, "module says hi");
    EXPECT_EQ(0, not_supported.subscribe_to_data_float("floats"));
    EXPECT_EQ(0, not_supported.subscribe_to_data_byte("bytes"));
    EXPECT_EQ(0, not_supported.subscribe_to_trace("trace"));
    for (const Bytes& packet : { floats, bytes, text })
        c.simulated.deliver(packet);

    EXPECT_EQ(1, not_supported.peek_message_data_float("floats"));
    EXPECT_EQ(1, not_supported.get_number_of_packets("bytes"));
    EXPECT_EQ(0, not_supported.get_number_of_packets("never"));
    EXPECT_EQ(to_hex(floats), to_hex(c.within_limit([&] { return not_supported.get_packet("floats"); })));
    EXPECT_EQ(to_hex(bytes), to_hex(c.within_limit([&] { return not_supported.get_packet("bytes"); })));
    EXPECT_EQ("module says hi", c.within_limit([&] { return not_supported.get_trace("trace"); }));

    // The float data also waits in the connection's own queue.
    Sarvik::DataFloat data;
    EXPECT_EQ(0, c.within_limit([&] { return not_supported.read_message_data_float(&data); }));
    EXPECT_EQ(7u, data.content_id);
    EXPECT_EQ(std::vector<float> { 1.0f }, data.data);

    c.simulated.deliver(floats);
    not_supported.clear("floats");
    EXPECT_EQ(0, not_supported.peek_message_data_float("floats"));
}

TEST(ModelQueues, NotSupportedCallbacks)
{
    ModelConnection c;
    std::promise<Bytes> floats, bytes;
    EXPECT_EQ(0, c.not_supported.subscribe_to_data_float("floats", [&](Bytes packet) {
        floats.set_value(packet);
        return true;
    }));
    EXPECT_EQ(0, c.not_supported.subscribe_to_data_byte("bytes", [&](Bytes packet) {
        bytes.set_value(packet);
        return true;
    }));
    const Bytes float_packet = packets::data_float(7, 8, { 1.0f });
    const Bytes byte_packet = simmodule::byte_data_message(9, 10, { 1, 2 });
    c.simulated.deliver(float_packet);
    c.simulated.deliver(byte_packet);
    auto float_seen = floats.get_future();
    auto byte_seen = bytes.get_future();
    ASSERT_EQ(std::future_status::ready, float_seen.wait_for(std::chrono::seconds(10)));
    ASSERT_EQ(std::future_status::ready, byte_seen.wait_for(std::chrono::seconds(10)));
    EXPECT_EQ(to_hex(float_packet), to_hex(float_seen.get()));
    EXPECT_EQ(to_hex(byte_packet), to_hex(byte_seen.get()));
}

// A decimated frame: 'Q', length, then the counter and, from byte 22 of the
// packet, 6-byte signed samples.
Bytes decimated_frame(uint32_t counter, const Bytes& samples)
{
    testsupport::PayloadBuilder b;
    b.u32(counter).bytes(Bytes(13, 0)).bytes(samples);
    return b;
}

TEST(ModelQueues, NotSupportedDecimatedFrames)
{
    ModelConnection c;
    auto& not_supported = c.not_supported;
    EXPECT_EQ(0, not_supported.subscribe_to_z7_desim("frames"));
    c.module().send_packet(
        decimated_frame(7, hex("01 00 00 00 00 00  ff ff ff ff ff ff")), simmodule::Form::RawLength);
    ASSERT_TRUE(testsupport::eventually([&] { return not_supported.get_number_of_packets("frames") == 1; }));
    uint32_t counter = untouched;
    std::vector<double> samples(3, -9.0);
    EXPECT_EQ(0, c.within_limit([&] {
        return not_supported.get_z7_decim_frame("frames", &counter, samples.data(), 3);
    }));
    EXPECT_EQ(7u, counter);
    EXPECT_EQ((std::vector<double> { 1.0, -1.0, -9.0 }), samples);
}

// Reads that have nothing to read, or a packet too short for what it should
// carry, come back at once with nothing, never with bytes from past the
// packet's end.
TEST(ModelQueues, NotSupportedReadsOfNothingOrOfShortPacketsFail)
{
    ModelConnection c;
    auto& not_supported = c.not_supported;
    uint32_t counter = untouched;
    double sample = -9.0;
    const auto decimated = [&](const std::string& name) {
        return c.within_limit([&] { return not_supported.get_z7_decim_frame(name, &counter, &sample, 1); });
    };

    EXPECT_EQ("", c.within_limit([&] { return not_supported.get_trace("never"); }));
    EXPECT_TRUE(c.within_limit([&] { return not_supported.get_packet("never"); }).empty());
    EXPECT_EQ(1, decimated("never"));

    not_supported.subscribe_to_trace("trace");
    for (const Bytes& packet : { hex("a0 13"), hex("a0 13 01 00 00 00 02 00 00 00 05 00") })
        c.simulated.deliver(packet);
    EXPECT_EQ("", c.within_limit([&] { return not_supported.get_trace("trace"); }));
    EXPECT_EQ("", c.within_limit([&] { return not_supported.get_trace("trace"); }));

    not_supported.subscribe_to_z7_desim("frames");
    c.module().send_packet({ 0x07, 0x00 }, simmodule::Form::RawLength);
    ASSERT_TRUE(testsupport::eventually([&] { return not_supported.get_number_of_packets("frames") == 1; }));
    EXPECT_EQ(1, decimated("frames"));
    EXPECT_EQ(untouched, counter);
    EXPECT_EQ(-9.0, sample);
}

} // namespace model_queues
