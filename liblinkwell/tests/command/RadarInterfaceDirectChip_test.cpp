// Direct chip and system commands: system configuration values, the chip's
// pins, SPI registers and frame rate by hand-built payloads, the timing
// measurement's long wait, and decimated frames with their 48-bit samples.
#include "support/CommandTestKit.hpp"

#include <arpa/inet.h>
#include <netinet/in.h>

#include "link/TcpIpFactory.hpp"
#include "link/UartIo.hpp"

using namespace commandtest;
using simmodule::get_reply;
using testsupport::dump;
using testsupport::logged_at;
using testsupport::to_hex;

namespace {

// The answer of the older setters: {0x11, 0x00, id}.
Bytes setter_answer(uint8_t id)
{
    return get_reply(0x00, id, u32s({ 0 }));
}

struct DirectCase {
    std::string label;
    std::function<std::string(RadarInterface&)> call; // its outcome as text
    Bytes sent;
    Bytes answer; // the answer it awaits
    std::string result;
    std::string closed; // its result or failure on a closed connection
    std::string trace; // the Trace it opens; empty for none
};

void PrintTo(const DirectCase& c, std::ostream* os)
{
    *os << c.label;
}

using R = RadarInterface;

std::vector<DirectCase> direct_cases()
{
    const Bytes ack = simmodule::ack_reply();
    const std::string dropped_on_close = "1";
    return {
        { "SetSysConfigInt", calls([](R& r) { return r.set_sys_config_int(3, 7); }),
            PayloadBuilder().u8(0x90).u8(0x51).u32(3).u32(7), ack, "0", dropped_on_close,
            "set_sys_config_int" },
        { "SetSysConfigFloat", calls([](R& r) { return r.set_sys_config_float(3, 2.5f); }),
            PayloadBuilder().u8(0x90).u8(0x52).u32(3).f32(2.5f), ack, "0", dropped_on_close,
            "set_sys_config_float" },
        // set_fps is set_sys_config_int with the id 26.
        { "SetFpsIsConfigValue26", calls([](R& r) { return r.set_fps(20); }),
            PayloadBuilder().u8(0x90).u8(0x51).u32(26).u32(20), ack, "0", dropped_on_close, "set_fps" },
        // The pin is not part of the awaited prefix; the first data byte is
        // the low byte of the value.
        { "GetZ7IoPinValue", calls([](R& r) { return r.get_z7_io_pin_value(4); }), hex("90 36 04"),
            simmodule::u32_reply(0x99, 0x0201), "1", runtime("get_z7_io_pin_value: no value in the answer"),
            "get_z7_io_pin_value" },
        { "SetZ7IoPinValue", calls([](R& r) { return r.set_z7_io_pin_value(4, 1); }), hex("90 35 04 01"),
            setter_answer(0x35), "0", dropped_on_close, "" },
        { "SetZ7IoPinMode", calls([](R& r) { return r.set_z7_io_pin_mode(4, 2); }), hex("90 21 04 02"),
            setter_answer(0x77), "0", dropped_on_close, "" },
        { "SetZ7IoPinDir", calls([](R& r) { return r.set_z7_io_pin_dir(4, 1); }), hex("90 34 04 01"),
            setter_answer(0x34), "0", dropped_on_close, "" },
        { "SetZ7IoPinEnable", calls([](R& r) { return r.set_z7_io_pin_enable(4); }), hex("90 37 04"),
            setter_answer(0x37), "0", dropped_on_close, "" },
        { "SetZ7IoPinDisable", calls([](R& r) { return r.set_z7_io_pin_disable(4); }), hex("90 38 04"),
            setter_answer(0x38), "0", dropped_on_close, "" },
        { "ReadZ7Spi", calls([](R& r) { return r.read_z7_spi(5); }), hex("90 32 05"),
            simmodule::u32_reply(0x32, 0xAB), "171", runtime("read_z7_spi: no value in the answer"), "" },
        // Bit 7 of the address marks the write.
        { "WriteZ7Spi", calls([](R& r) { return r.write_z7_spi(0x05, 0xAA); }), hex("90 33 85 aa"),
            setter_answer(0x33), "0", dropped_on_close, "" },
        { "WriteZ7SpiAddressWithBit7", calls([](R& r) { return r.write_z7_spi(0x85, 0xAA); }),
            hex("90 33 85 aa"), setter_answer(0x33), "0", dropped_on_close, "" },
        { "SetZ7Fps", calls([](R& r) { return r.set_z7_fps(1000); }), hex("90 24 e8 03 00 00"),
            setter_answer(0x24), "0", dropped_on_close, "" },
        { "SystemRunTest", calls([](R& r) { return r.system_run_test(5); }), hex("90 50 05"), ack, "0",
            dropped_on_close, "system_run_test" },
        { "SetDebugLevelTwin", calls([](R& r) { return r.set_debug_level_no_throw(3); }), hex("b0 03"), ack,
            "0", "1", "set_debug_level" },
    };
}

class DirectCommands : public ::testing::TestWithParam<DirectCase> {
protected:
    SimulatedConnection connection;
    RadarInterface& radar = connection.radar();
    simmodule::SimModule& module = connection.module();

    void SetUp() override
    {
        radar.set_default_timeout(1);
        module.clear_received();
    }

    std::string run(const DirectCase& c) { return c.call(radar); }
};

TEST_P(DirectCommands, SendTheirBytesAndTakeTheirAnswer)
{
    const DirectCase& c = GetParam();
    module.add_rule(Rule({}).reply(c.answer));
    EXPECT_EQ(c.result, run(c));
    ASSERT_EQ(1u, module.received_count());
    EXPECT_EQ(to_hex(c.sent), to_hex(module.received_at(0)));
    if (!c.trace.empty()) {
        EXPECT_TRUE(logged_at(connection.log(), 3, c.trace + " -- end")) << dump(connection.log());
    }
}

// These await one answer only: an error packet is never the answer, so the
// one that follows it is taken.
TEST_P(DirectCommands, ErrorPacketsAreNotTheAnswer)
{
    const DirectCase& c = GetParam();
    module.add_rule(Rule({}).error(42).reply(c.answer));
    EXPECT_EQ(c.result, run(c));
}

// A closed connection answers emptily at once: no dropped answer may read as
// success there.
TEST_P(DirectCommands, ClosedConnectionIsAFailure)
{
    const DirectCase& c = GetParam();
    radar.close();
    EXPECT_EQ(c.closed, run(c));
}

INSTANTIATE_TEST_SUITE_P(Each, DirectCommands, ::testing::ValuesIn(direct_cases()),
    [](const auto& param_info) { return param_info.param.label; });

TEST(DirectCommandsRefused, EndInTheTimeout)
{
    SimulatedConnection connection;
    auto& radar = connection.radar();
    radar.set_default_timeout(1);
    connection.module().add_rule(Rule({}).error(42));
    EXPECT_EQ(runtime(timeout_text), outcome([&] { return radar.write_z7_spi(1, 2); }));
}

// An answer that matches its prefix but has no data byte is not read.
TEST(DirectCommandsShortAnswer, ByteReadersRefuseIt)
{
    SimulatedConnection connection;
    auto& radar = connection.radar();
    connection.module().add_rule(
        Rule({ 0x90, 0x36 }).reply(hex("11 11 36 00 00 00 00 00 00 00 00 00 00 00")));
    connection.module().add_rule(Rule({ 0x90, 0x32 }).reply(hex("11 11 32")));
    EXPECT_EQ(runtime("get_z7_io_pin_value: no value in the answer"),
        outcome([&] { return radar.get_z7_io_pin_value(1); }));
    EXPECT_EQ(runtime("read_z7_spi: no value in the answer"), outcome([&] { return radar.read_z7_spi(1); }));
}

TEST(DirectCommandsOverSerial, SpiWriteAndRead)
{
    SimulatedConnection connection(Transport::Pty);
    auto& radar = connection.radar();
    connection.module().add_rule(Rule({ 0x90, 0x33 }).reply(setter_answer(0x33)));
    connection.module().add_rule(Rule({ 0x90, 0x32 }).reply(simmodule::u32_reply(0x32, 0x7E)));
    connection.module().clear_received();
    EXPECT_EQ(0, radar.write_z7_spi(0x7D, 0x7E));
    EXPECT_EQ(0x7E, radar.read_z7_spi(0x7D));
    EXPECT_EQ(hex("90 33 fd 7e"), connection.module().received_at(0));
    EXPECT_EQ(hex("90 32 7d"), connection.module().received_at(1));
}

// ---- the timing measurement ---------------------------------------------------

// Records the timeout each exchange of the older commands waits with.
class TimeoutSpy : public RadarInterface {
public:
    using RadarInterface::RadarInterface;

    // Read and written on the caller's thread only.
    std::vector<unsigned> timeouts;

protected:
    Bytes exchange_single(const Bytes& command, Bytes reply_prefix, unsigned timeout) override
    {
        timeouts.push_back(timeout);
        return RadarInterface::exchange_single(command, std::move(reply_prefix), timeout);
    }
};

// The measurement takes the module up to a minute: it waits 70 seconds,
// whatever the default timeout is, while its neighbours keep the default.
TEST(TimingMeasurement, WaitsSeventySecondsWhateverTheDefault)
{
    simmodule::SimModule module(Transport::Tcp);
    module.add_rule(Rule({ 0x90, 0x20 }).reply(get_reply(0x00, 0x20, u32s({ 12 }))));
    module.add_rule(Rule({ 0x90, 0x11 }).reply(get_reply(0x00, 0x11, u32s({ 0 }))));
    testsupport::RecordingLogger logger;
    TcpIpFactory factory(htonl(INADDR_LOOPBACK), htons(module.tcp_port()));
    UartIo io(logger, factory);
    {
        TimeoutSpy radar(io, "127.0.0.1", factory, logger);
        for (unsigned default_timeout : { 1u, 100u }) {
            radar.set_default_timeout(default_timeout);
            radar.timeouts.clear();
            EXPECT_EQ(12, radar.run_timing_measurement());
            EXPECT_EQ(0, radar.set_Z3_int(1, 2));
            EXPECT_EQ((std::vector<unsigned> { 70, default_timeout }), radar.timeouts);
        }
    }
    module.stop();
}

// And it does wait past the default timeout for an answer that comes late.
TEST(TimingMeasurement, OutlastsTheDefaultTimeout)
{
    SimulatedConnection connection;
    auto& radar = connection.radar();
    radar.set_default_timeout(1);
    connection.module().add_rule(
        Rule({ 0x90, 0x20 }).after(1500ms).reply(get_reply(0x00, 0x20, u32s({ 12 }))));
    EXPECT_EQ(12, radar.run_timing_measurement());
}

// ---- decimated frames ---------------------------------------------------------

const char* const frames = "z7 frames";

// What the receiver hands on for a raw length packet: 0x51, the length,
// then `data`. Here `data` is the frame counter, 13 bytes not read, and the
// samples.
Bytes frame_data(uint32_t counter, const Bytes& samples)
{
    return PayloadBuilder().u32(counter).bytes(Bytes(13, 0x33)).bytes(samples);
}

struct DecimatedCase {
    std::string label;
    Bytes data; // carried by a raw length packet
    uint32_t capacity;
    int status;
    uint32_t counter; // expected in the counter output (0xFFFFFFFF: untouched)
    std::vector<double> samples; // expected in the sample buffer (NaN-free)
};

void PrintTo(const DecimatedCase& c, std::ostream* os)
{
    *os << c.label;
}

constexpr double untouched_sample = -0.5;

std::vector<DecimatedCase> decimated_cases()
{
    const Bytes two = hex("01 00 00 00 00 00  ff ff ff ff ff ff");
    return {
        { "TwoSamples", frame_data(7, two), 2, 0, 7, { 1.0, -1.0, untouched_sample } },
        // The counter is handed out even though the samples do not fit.
        { "CapacityTooSmall", frame_data(7, two), 1, 1, 7,
            { untouched_sample, untouched_sample, untouched_sample } },
        // Bytes after the last whole sample are ignored.
        { "TrailingBytesIgnored", frame_data(8, hex("01 00 00 00 00 00  ff ff ff ff ff ff  55")), 2, 0, 8,
            { 1.0, -1.0, untouched_sample } },
        { "HighPart", frame_data(9, hex("00 00 00 00 01 00")), 3, 0, 9,
            { 4294967296.0, untouched_sample, untouched_sample } },
        { "MostNegative", frame_data(9, hex("00 00 00 00 00 80")), 1, 0, 9,
            { -140737488355328.0, untouched_sample, untouched_sample } },
        { "LargestPositive", frame_data(9, hex("ff ff ff ff ff 7f")), 1, 0, 9,
            { 140737488355327.0, untouched_sample, untouched_sample } },
        { "NoSamples", frame_data(10, {}), 0, 0, 10,
            { untouched_sample, untouched_sample, untouched_sample } },
        // Shorter than the sample area: the counter, then failure.
        { "HeaderCutShort", PayloadBuilder().u32(11).bytes(Bytes(5, 0)), 3, 1, 11,
            { untouched_sample, untouched_sample, untouched_sample } },
        // Not even a whole counter: nothing is stored.
        { "CounterCutShort", { 0x0C, 0x00 }, 3, 1, 0xFFFFFFFF,
            { untouched_sample, untouched_sample, untouched_sample } },
    };
}

class DecimatedFrames : public ::testing::TestWithParam<DecimatedCase> { };

TEST_P(DecimatedFrames, ConvertSignedSamplesWithinTheCapacity)
{
    const DecimatedCase& c = GetParam();
    SimulatedConnection connection;
    auto& radar = connection.radar();
    EXPECT_EQ(0, radar.subscribe_to_z7_desim(frames));
    connection.module().send_packet(c.data, simmodule::Form::RawLength);
    ASSERT_TRUE(testsupport::eventually([&] { return radar.get_number_of_packets(frames) == 1; }));

    uint32_t counter = 0xFFFFFFFF;
    std::vector<double> samples(3, untouched_sample);
    EXPECT_EQ(c.status, radar.get_z7_decim_frame(frames, &counter, samples.data(), c.capacity));
    EXPECT_EQ(c.counter, counter);
    EXPECT_EQ(c.samples, samples);
    // Consumed in every case.
    EXPECT_EQ(0, radar.get_number_of_packets(frames));
    EXPECT_TRUE(connection.log().errors().empty()) << dump(connection.log());
    EXPECT_TRUE(logged_at(connection.log(), 3, "get_z7_decim_frame -- end"));
}

INSTANTIATE_TEST_SUITE_P(Each, DecimatedFrames, ::testing::ValuesIn(decimated_cases()),
    [](const auto& param_info) { return param_info.param.label; });

TEST(DecimatedFrame, AnotherKindOfPacketIsRefusedWithALogLine)
{
    SimulatedConnection connection;
    auto& radar = connection.radar();
    radar.subscribe(frames, { 0x50 });
    connection.deliver(simmodule::app_data_message(0x11223344, frame_data(1, Bytes(6, 0))));
    uint32_t counter = 3;
    double sample = untouched_sample;
    EXPECT_EQ(1, radar.get_z7_decim_frame(frames, &counter, &sample, 1));
    EXPECT_EQ(3u, counter);
    EXPECT_EQ(untouched_sample, sample);
    EXPECT_TRUE(testsupport::logged_error(connection.log(), "packet is not fast appdata packet"));
    EXPECT_EQ(0, radar.get_number_of_packets(frames));
}

// Without a queue of that name, or on a closed connection, the read gets an
// empty packet at once rather than waiting.
TEST(DecimatedFrame, NoQueueFailsAtOnce)
{
    SimulatedConnection connection;
    auto& radar = connection.radar();
    uint32_t counter = 3;
    EXPECT_EQ(1, radar.get_z7_decim_frame("no such queue", &counter, nullptr, 0));
    radar.subscribe_to_z7_desim(frames);
    radar.close();
    EXPECT_EQ(1, radar.get_z7_decim_frame(frames, &counter, nullptr, 0));
    EXPECT_EQ(3u, counter);
}

TEST(DecimatedFrame, FramesArriveInOrderOverSerial)
{
    SimulatedConnection connection(Transport::Pty);
    auto& radar = connection.radar();
    radar.subscribe_to_z7_desim(frames);
    for (uint32_t i = 0; i < 3; ++i)
        connection.module().send_packet(
            frame_data(i, PayloadBuilder().u32(i * 1000).u16(0)), simmodule::Form::RawLength);
    ASSERT_TRUE(testsupport::eventually([&] { return radar.get_number_of_packets(frames) == 3; }));
    for (uint32_t i = 0; i < 3; ++i) {
        uint32_t counter = 0;
        double sample = 0;
        ASSERT_EQ(0, radar.get_z7_decim_frame(frames, &counter, &sample, 1));
        EXPECT_EQ(i, counter);
        EXPECT_EQ(i * 1000.0, sample);
    }
}

} // namespace
