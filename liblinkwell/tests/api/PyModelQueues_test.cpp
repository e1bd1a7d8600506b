// The message queues behind the value-returning model classes: every
// peek_message_ method counts its own queue and every read_message_ method
// takes from it and returns the decoded record, or throws the decoder's
// error for a packet that does not decode; the string and byte readers keep
// their 0/1 status; PyCorvid's queues under the caller's names.
#include "support/CommandTestKit.hpp"
#include "support/MessagePackets.hpp"
#include "support/PyModelConnection.hpp"
#include "support/TestSupport.hpp"

#include "simmodule/Messages.hpp"

#include <gtest/gtest.h>

// A namespace of its own: the program's other files build queue tables and
// helpers of the same names.
namespace py_model_queues {

using commandtest::outcome;
using testsupport::hex;
using testsupport::PyModelConnection;
using testsupport::to_hex;
namespace packets = testsupport::packets;

const std::string first_field = std::to_string(packets::u32_field(1));
const std::string parser_error = "runtime_error: parser error of ";

// ---- the connection's own queues ----------------------------------------------------

struct QueueRow {
    std::string kind;
    Bytes packet;
    std::function<int(PyModelConnection&)> peek;
    // Reads one packet: the record's key field, or the exception.
    std::function<std::string(PyModelConnection&)> read;
    std::string good; // what reading `packet` gives
    size_t short_size; // a packet cut to this size does not decode
};

// A reader of a record, judged by one of its fields.
template <typename Model, typename Record>
QueueRow queue(std::string kind, int (Model::*peek)(), Record (Model::*read)(), uint32_t Record::*key,
    Bytes packet, std::string good = first_field)
{
    const size_t short_size = packet.size() - 1;
    return { std::move(kind), std::move(packet),
        [peek](PyModelConnection& c) { return (c.get<Model>().*peek)(); },
        [read, key](PyModelConnection& c) { return outcome([&] { return (c.get<Model>().*read)().*key; }); },
        std::move(good), short_size };
}

// Every reader in turn: two packets come, the count is 2, one read decodes
// the first and leaves 1; a packet cut short throws the decoder's error and
// is consumed.
void check_queues(const std::vector<QueueRow>& rows)
{
    PyModelConnection c;
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
        EXPECT_EQ(parser_error, refused.substr(0, parser_error.size())) << refused;
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

TEST(PyModelQueues, PyDax)
{
    using M = Sarvik::PyDax;
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
            [](PyModelConnection& c) { return c.dax.peek_message_system(); },
            [](PyModelConnection& c) { return outcome([&] { return c.dax.read_message_system(); }); }, "4660",
            4 },
    });
}

TEST(PyModelQueues, PyOsprey)
{
    using M = Sarvik::PyOsprey;
    auto rows = application_module_queues<M>();
    rows.push_back(
        queue("presence_single", &M::peek_message_presence_single, &M::read_message_presence_single,
            &Sarvik::PresenceSingleData::frame_counter, packets::presence_single()));
    rows.push_back(queue("presence_movinglist", &M::peek_message_presence_movinglist,
        &M::read_message_presence_movinglist, &Sarvik::PresenceMovingListData::frame_counter,
        packets::presence_movinglist(2, 3)));
    check_queues(rows);
}

TEST(PyModelQueues, PyFalcon)
{
    check_queues(respiration_module_queues<Sarvik::PyFalcon>());
}

TEST(PyModelQueues, PyGannet)
{
    check_queues(respiration_module_queues<Sarvik::PyGannet>());
}

TEST(PyModelQueues, PyFalconAndPyGannetReadTheSameQueues)
{
    PyModelConnection c;
    c.simulated.deliver(packets::vitalsigns_status());
    EXPECT_EQ(1, c.falcon.peek_message_vital_signs());
    EXPECT_EQ(1, c.gannet.peek_message_vital_signs());
    const auto vital = c.within_limit([&] { return c.gannet.read_message_vital_signs(); });
    EXPECT_EQ(packets::u32_field(1), vital.frame_counter);
    EXPECT_EQ(0, c.falcon.peek_message_vital_signs());
}

// Text and byte data keep the status form: 0 with the content id, info word
// and payload written (null pointers skipped); 1, without an exception and
// with the outputs untouched, for a packet that is not of the kind. The
// packet is consumed either way.
TEST(PyModelQueues, PyDaxStringAndByteDataKeepTheirStatus)
{
    PyModelConnection c;
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

    // One byte short of the header, for each queue.
    c.simulated.deliver(hex("a0 13 01 00 00 00 02 00 00 00 00 00 00"));
    c.simulated.deliver(hex("a0 10 01 00 00 00 02 00 00 00 00 00 00"));
    content_id = info = 77;
    EXPECT_EQ("1", outcome([&] {
        return c.within_limit([&] { return dax.read_message_data_string(&content_id, &info, &text); });
    }));
    EXPECT_EQ("1", outcome([&] {
        return c.within_limit([&] { return dax.read_message_data_byte(&content_id, &info, &data); });
    }));
    EXPECT_EQ(0, dax.peek_message_data_string());
    EXPECT_EQ(0, dax.peek_message_data_byte());
    EXPECT_EQ(77u, content_id);
    EXPECT_EQ(77u, info);
    EXPECT_EQ("hello", text);
    EXPECT_EQ((Bytes { 1, 2, 3 }), data);
}

// ---- PyCorvid: queues under the caller's names ----------------------------------------

struct NamedRow {
    std::string kind;
    Bytes packet;
    std::function<int(Sarvik::PyCorvid&, const std::string&)> subscribe;
    // Reads by name: the record's key field, or the exception.
    std::function<std::string(Sarvik::PyCorvid&, std::string)> read;
    std::function<std::string(RadarInterface&, std::string)> operation;
};

template <typename Record>
NamedRow named(std::string kind, Bytes packet, int (Sarvik::PyCorvid::*subscribe)(const std::string&),
    Record (Sarvik::PyCorvid::*read)(std::string), Record (RadarInterface::*operation)(std::string),
    uint32_t Record::*key)
{
    return { std::move(kind), std::move(packet),
        [subscribe](Sarvik::PyCorvid& corvid, const std::string& name) { return (corvid.*subscribe)(name); },
        [read, key](Sarvik::PyCorvid& corvid, std::string name) {
            return outcome([&] { return (corvid.*read)(std::move(name)).*key; });
        },
        [operation, key](RadarInterface& radar, std::string name) {
            return outcome([&] { return (radar.*operation)(std::move(name)).*key; });
        } };
}

std::vector<NamedRow> corvid_queues()
{
    using C = Sarvik::PyCorvid;
    using R = RadarInterface;
    return {
        named("resp_status", packets::respiration_status(), &C::subscribe_to_resp_status,
            &C::get_respiration_data, &R::get_respiration_data, &Sarvik::RespirationData::frame_counter),
        named("sleep_status", packets::sleep_status(), &C::subscribe_to_sleep_status, &C::get_sleep_data,
            &R::get_sleep_data, &Sarvik::SleepData::frame_counter),
        named("baseband_ap", packets::baseband(0x0D, 3), &C::subscribe_to_baseband_ap,
            &C::get_baseband_ap_data, &R::get_baseband_ap_data, &Sarvik::BasebandApData::frame_counter),
        named("baseband_iq", packets::baseband(0x0C, 3), &C::subscribe_to_baseband_iq,
            &C::get_baseband_iq_data, &R::get_baseband_iq_data, &Sarvik::BasebandIqData::frame_counter),
    };
}

class PyCorvidQueues : public ::testing::TestWithParam<NamedRow> { };

// Two names each get every message; reading one leaves the other; the whole
// packet comes back as it came; clear empties and unsubscribe removes a
// queue; a name never subscribed counts 0, its packet is empty and its data
// read fails at once as the operation's does.
TEST_P(PyCorvidQueues, EachNameCollectsEveryMessageOfItsKind)
{
    const NamedRow& row = GetParam();
    PyModelConnection c;
    auto& corvid = c.corvid;
    EXPECT_EQ(0, row.subscribe(corvid, "first"));
    EXPECT_EQ(0, row.subscribe(corvid, "second"));
    c.simulated.deliver(row.packet);
    c.simulated.deliver(row.packet);
    EXPECT_EQ(2, corvid.get_number_of_packets("first"));
    EXPECT_EQ(2, corvid.get_number_of_packets("second"));

    EXPECT_EQ(first_field, c.within_limit([&] { return row.read(corvid, "first"); }));
    EXPECT_EQ(to_hex(row.packet), to_hex(c.within_limit([&] { return corvid.get_packet("first"); })));
    EXPECT_EQ(0, corvid.get_number_of_packets("first"));
    EXPECT_EQ(2, corvid.get_number_of_packets("second"));
    corvid.clear("second");
    EXPECT_EQ(0, corvid.get_number_of_packets("second"));

    corvid.unsubscribe("first");
    c.simulated.deliver(row.packet);
    EXPECT_EQ(0, corvid.get_number_of_packets("first"));
    EXPECT_EQ(1, corvid.get_number_of_packets("second"));

    EXPECT_EQ(0, corvid.get_number_of_packets("never"));
    EXPECT_TRUE(c.within_limit([&] { return corvid.get_packet("never"); }).empty());
    const std::string refused = c.within_limit([&] { return row.read(corvid, "never"); });
    EXPECT_EQ(row.operation(c.radar(), "never"), refused);
    EXPECT_EQ(parser_error, refused.substr(0, parser_error.size())) << refused;
}

void PrintTo(const NamedRow& row, std::ostream* out)
{
    *out << row.kind;
}

INSTANTIATE_TEST_SUITE_P(Each, PyCorvidQueues, ::testing::ValuesIn(corvid_queues()),
    [](const auto& param_info) { return param_info.param.kind; });

// A packet that does not decode as the data asked for: the decoder's error.
TEST(PyModelQueues, PyCorvidDataOfAnotherKindThrowsTheParserError)
{
    PyModelConnection c;
    EXPECT_EQ(0, c.corvid.subscribe_to_resp_status("resp"));
    const Bytes packet = packets::respiration_status();
    c.simulated.deliver(Bytes(packet.begin(), packet.end() - 1));
    const std::string refused = outcome(
        [&] { return c.within_limit([&] { return c.corvid.get_respiration_data("resp"); }).frame_counter; });
    EXPECT_EQ(parser_error, refused.substr(0, parser_error.size())) << refused;
    EXPECT_EQ(0, c.corvid.get_number_of_packets("resp"));
}

} // namespace py_model_queues
