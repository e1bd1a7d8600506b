// The named module personalities, as a host sees them over TCP.
#include "TestClient.hpp"
#include "simmodule/Deframer.hpp"
#include "simmodule/Messages.hpp"
#include "simmodule/Personality.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <deque>
#include <map>

using namespace std::chrono_literals;
using namespace simmodule;
using simtest::hex;
using simtest::TestClient;
using simtest::to_hex;

namespace {

bool starts_with(const Bytes& packet, const Bytes& prefix)
{
    return packet.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), packet.begin());
}

uint32_t u32_at(const Bytes& packet, size_t offset)
{
    uint32_t v = 0;
    for (size_t i = 0; i < 4; ++i)
        v |= uint32_t(packet.at(offset + i)) << (8 * i);
    return v;
}

float f32_at(const Bytes& packet, size_t offset)
{
    const uint32_t bits = u32_at(packet, offset);
    float value = 0;
    std::memcpy(&value, &bits, 4);
    return value;
}

// The values of a float data frame (A0 12, content id, info, byte count).
std::vector<float> frame_values(const Bytes& packet)
{
    std::vector<float> values;
    for (size_t offset = 14; offset + 4 <= packet.size(); offset += 4)
        values.push_back(f32_at(packet, offset));
    return values;
}

Bytes chip_set_f32(uint32_t parameter, std::vector<float> values)
{
    PayloadWriter writer;
    writer.bytes(command::chip_set(parameter));
    for (const float v : values)
        writer.f32(v);
    return writer.take();
}

const Bytes chip_frame_prefix { message::data, value_type::f32, 0x10, 0x00, 0x00, 0x00 };

class PersonalityTest : public ::testing::Test {
protected:
    void start(const std::string& personality, double rate_hz = 200)
    {
        apply_personality(module, personality, rate_hz);
        client = std::make_unique<TestClient>(module);
    }
    void start(const Personality& personality)
    {
        apply_personality(module, personality, 200);
        client = std::make_unique<TestClient>(module);
    }

    // The text of a system-information reply.
    std::string system_info(uint8_t code)
    {
        const Bytes reply = ask(command::get_system_info(code));
        if (!starts_with(reply, { 0x11, 0x13, 0x58 }) || reply.size() < 14)
            return "(refused: " + to_hex(reply) + ")";
        return std::string(reply.begin() + 14, reply.end());
    }

    // The next packet from the module, whatever it is.
    Bytes next_packet()
    {
        while (packets.empty()) {
            const Bytes chunk = client->read_for(50ms);
            for (Bytes& packet : deframer.feed(chunk.data(), chunk.size()))
                packets.push_back(std::move(packet));
            if (chunk.empty() && ++idle_reads > 100)
                throw std::runtime_error("no packet from the module");
        }
        idle_reads = 0;
        Bytes packet = std::move(packets.front());
        packets.pop_front();
        return packet;
    }

    // The next packet that starts with `prefix`, skipping data messages.
    Bytes next_with_prefix(const Bytes& prefix)
    {
        for (int skipped = 0; skipped < 10000; ++skipped) {
            Bytes packet = next_packet();
            if (starts_with(packet, prefix))
                return packet;
        }
        throw std::runtime_error("no packet starting " + to_hex(prefix));
    }

    // Sends a command and returns the first packet that is not a data
    // message, i.e. its answer.
    Bytes ask(const Bytes& command)
    {
        client->send_command(command);
        for (;;) {
            Bytes packet = next_packet();
            if (!starts_with(packet, { message::app_data }) && !starts_with(packet, { message::data }))
                return packet;
        }
    }

    SimModule module { Transport::Tcp };
    std::unique_ptr<TestClient> client;
    Deframer deframer;
    std::deque<Bytes> packets;
    int idle_reads = 0;
};

} // namespace

TEST_F(PersonalityTest, PresenceModuleIdentifiesItselfAndAnswersPing)
{
    start("presence");
    for (uint8_t code = 0; code <= 6; ++code) {
        const Bytes reply = ask(command::get_system_info(code));
        ASSERT_TRUE(starts_with(reply, { 0x11, 0x13, 0x58 })) << to_hex(reply);
        EXPECT_EQ(reply.size() - 14, u32_at(reply, 10));
        EXPECT_GT(reply.size(), 14u);
    }
    const Bytes serial = ask(command::get_system_info(system_info::serial_number));
    EXPECT_EQ("SIMP0000001", std::string(serial.begin() + 14, serial.end()));
    EXPECT_EQ("20 01 00 00 00", to_hex(ask(hex("90 58 09"))));
    EXPECT_EQ("01 ae ea aa ee", to_hex(ask(hex("01 ae ea aa ee"))));
    EXPECT_EQ("10", to_hex(ask(hex("90 71 11 00 00 00 01 00 00 00 01 00 00 00")))); // anything else: ack
    EXPECT_EQ(0u, deframer.errors());
}

TEST_F(PersonalityTest, PresenceModuleStreamsPresenceMessages)
{
    start("presence");
    const Bytes first = next_with_prefix({ 0x50, 0x1E, 0xFA, 0x3B, 0x72 });
    const Bytes second = next_with_prefix({ 0x50, 0x1E, 0xFA, 0x3B, 0x72 });
    EXPECT_EQ(22u, first.size());
    EXPECT_EQ(u32_at(first, 5) + 1, u32_at(second, 5)); // consecutive frame counters

    const Bytes list = next_with_prefix({ 0x50, 0x1F, 0xFA, 0x3B, 0x72 });
    const uint32_t movements = u32_at(list, 13);
    const uint32_t detections = u32_at(list, 17);
    EXPECT_EQ(21u + 8 * movements + 12 * detections, list.size());
}

TEST_F(PersonalityTest, IdleSensorModePausesTheStreamsAndRunRestartsThem)
{
    start("presence");
    next_with_prefix({ 0x50 });
    EXPECT_EQ("10", to_hex(ask(hex("20 11"))));
    // After the ack nothing streams: the next packet is the answer itself.
    client->send_command(command::get_sensor_mode());
    const Bytes mode = next_packet();
    ASSERT_TRUE(starts_with(mode, { 0x11, 0x10 })) << to_hex(mode);
    EXPECT_EQ(0x11, mode.at(14));

    EXPECT_EQ("10", to_hex(ask(hex("20 01"))));
    const Bytes restarted = next_with_prefix({ 0x50, 0x1E, 0xFA, 0x3B, 0x72 });
    EXPECT_EQ(0u, u32_at(restarted, 5));
    const Bytes running = ask(command::get_sensor_mode());
    EXPECT_EQ(0x01, running.at(14));
}

TEST_F(PersonalityTest, LedControlIsRemembered)
{
    start("respiration");
    EXPECT_EQ("10", to_hex(ask(hex("24 03 00"))));
    const Bytes led = ask(command::get_led_control());
    EXPECT_EQ("11 10 2c 2a af 71 00 00 00 00 01 00 00 00 03", to_hex(led));
}

TEST_F(PersonalityTest, RespirationModuleStreamsRespirationMessages)
{
    start("respiration");
    const Bytes status = next_with_prefix({ 0x50, 0x26, 0xFE, 0x75, 0x23 });
    EXPECT_EQ(29u, status.size());
    const Bytes list = next_with_prefix({ 0x50, 0x00, 0x3B, 0x0A, 0x61 });
    EXPECT_EQ(13u + 8 * u32_at(list, 9), list.size());
    const Bytes serial = ask(command::get_system_info(system_info::serial_number));
    EXPECT_EQ("SIMR0000001", std::string(serial.begin() + 14, serial.end()));
}

// The older module streams only its respiration status, counted from frame
// 1, until its sleep profile is loaded: from the next run on it adds the
// sleep status; its respiration profile takes that back.
TEST_F(PersonalityTest, OlderModuleStreamsSleepStatusOnlyInItsSleepProfile)
{
    const Bytes respiration_status { 0x50, 0x26, 0xFE, 0x75, 0x23 };
    const Bytes sleep_status { 0x50, 0x6C, 0xA1, 0x75, 0x23 };
    const auto streamed = [&](size_t count) {
        std::map<uint32_t, size_t> kinds;
        for (size_t i = 0; i < count; ++i) {
            const Bytes packet = next_packet();
            if (starts_with(packet, { message::app_data }))
                ++kinds[u32_at(packet, 1)];
        }
        return kinds;
    };
    start("corvid", 20);
    const Bytes first = next_with_prefix(respiration_status);
    EXPECT_EQ(29u, first.size());
    EXPECT_EQ(1u, u32_at(first, 5));
    EXPECT_EQ(4u, u32_at(first, 9)) << "the module initialises first";
    EXPECT_EQ(0u, streamed(6).count(content::sleep_status));

    EXPECT_EQ("10", to_hex(ask(hex("21 17 7b f1 00"))));
    EXPECT_EQ(0u, streamed(4).count(content::sleep_status)) << "only from the next run on";
    EXPECT_EQ("10", to_hex(ask(hex("20 11"))));
    EXPECT_EQ("10", to_hex(ask(hex("20 01"))));
    const Bytes sleep = next_with_prefix(sleep_status);
    EXPECT_EQ(33u, sleep.size());
    EXPECT_EQ(1u, u32_at(sleep, 5));
    const float slow = f32_at(sleep, 25);
    const float fast = f32_at(sleep, 29);
    EXPECT_GT(slow, 0.0f);
    EXPECT_GT(fast, 0.0f);
    EXPECT_GT(streamed(10)[content::respiration_status], 0u);

    EXPECT_EQ("10", to_hex(ask(hex("21 d6 a2 23 14"))));
    EXPECT_EQ("10", to_hex(ask(hex("20 11"))));
    EXPECT_EQ("10", to_hex(ask(hex("20 01"))));
    next_with_prefix(respiration_status);
    EXPECT_EQ(0u, streamed(10).count(content::sleep_status));
    // Still no profile id to read back.
    EXPECT_EQ("20 01 00 00 00", to_hex(ask(hex("90 74"))));
}

// The newer respiration modules stream each of their six kinds, every one
// whole: its lists as long as their counts say.
TEST_F(PersonalityTest, NewerRespirationModulesStreamVitalSigns)
{
    for (const char* name : { "falcon", "merlin", "gannet" }) {
        client.reset();
        packets.clear();
        start(name);
        EXPECT_EQ(33u, next_with_prefix({ 0x50, 0x6C, 0xA1, 0x75, 0x23 }).size()) << name;
        const Bytes vital = next_with_prefix({ 0x50, 0x02, 0x01, 0x02, 0x20 });
        EXPECT_EQ(53u, vital.size()) << name;
        EXPECT_LE(u32_at(vital, 9), 2u) << name; // breathing, movement or tracking
        EXPECT_EQ(29u, next_with_prefix({ 0x50, 0x26, 0xFE, 0x75, 0x23 }).size()) << name;
        const Bytes moving = next_with_prefix({ 0x50, 0x00, 0x3B, 0x0A, 0x61 });
        EXPECT_EQ(8u, u32_at(moving, 9)) << name;
        EXPECT_EQ(13u + 8 * 8, moving.size()) << name;
        const Bytes normalized = next_with_prefix({ 0x50, 0xCF, 0x31, 0xA3, 0xC3 });
        EXPECT_EQ(16u, u32_at(normalized, 17)) << name;
        EXPECT_EQ(21u + 8 * 16, normalized.size()) << name;
        const Bytes detections = next_with_prefix({ 0x50, 0x02, 0x3B, 0x0A, 0x61 });
        EXPECT_EQ(2u, u32_at(detections, 9)) << name;
        EXPECT_EQ(13u + 12 * 2, detections.size()) << name;
    }
}

// A recording that starts asks for the parameter file and the profile id;
// an answer that never comes would hold it up for two reply timeouts. The
// application modules that run profiles keep both; the others refuse both.
TEST_F(PersonalityTest, EveryPersonalityAnswersFilesAndProfileIdAtOnce)
{
    const std::map<std::string, std::string> profiles = {
        { "osprey", "11 11 74 00 00 00 00 00 00 00 04 00 00 00 b8 4a 4d 01" },
        { "falcon", "11 11 74 00 00 00 00 00 00 00 04 00 00 00 ad 57 4e 06" },
        { "merlin", "11 11 74 00 00 00 00 00 00 00 04 00 00 00 ad 57 4e 06" },
        { "gannet", "11 11 74 00 00 00 00 00 00 00 04 00 00 00 ad 57 4e 06" },
    };
    for (const std::string& name : personality_names()) {
        client.reset(); // the module serves the next client once this one has gone
        packets.clear();
        start(name);
        const auto profile = profiles.find(name);
        const bool keeps = profile != profiles.end();
        EXPECT_EQ(keeps ? "10" : "20 01 00 00 00", to_hex(ask(hex("90 72 8c d9 7d 03 00 00 00 00")))) << name;
        EXPECT_EQ(keeps ? profile->second : "20 01 00 00 00", to_hex(ask(hex("90 74")))) << name;
    }
}

// What a session recorded from the module carries: its parameter file tells
// the range it measures and the span of its zone.
TEST(Personality, ParameterFileTellsRangeVectorAndZoneSpan)
{
    const Personality osprey = personality("osprey");
    const std::optional<Bytes> file = osprey.files.file(file_type::parameter_file, 0);
    ASSERT_TRUE(file);
    const std::string text(file->begin(), file->end());
    EXPECT_NE(std::string::npos, text.find("\nRangeVec = {0.2, 7.9};\n")) << text;
    EXPECT_NE(std::string::npos, text.find("\nZoneSpan = {0.3, 7.5};\n")) << text;
    EXPECT_EQ(*file, module_parameter_file(osprey));

    Personality changed = personality("gannet");
    changed.zone_limits = ZoneLimits { 0.5f, 6.0f, 0.1f };
    const Bytes rewritten = module_parameter_file(changed);
    EXPECT_NE(
        std::string::npos, std::string(rewritten.begin(), rewritten.end()).find("ZoneSpan = {0.5, 6};"));
    EXPECT_TRUE(module_parameter_file(personality("corvid")).empty());
}

TEST_F(PersonalityTest, LoadingAProfileChangesTheProfileIdAndTheZoneIsKept)
{
    start("falcon");
    EXPECT_EQ("10", to_hex(ask(hex("21 ba be fa 47"))));
    EXPECT_EQ("11 11 74 00 00 00 00 00 00 00 04 00 00 00 ba be fa 47", to_hex(ask(hex("90 74"))));
    // The zone at first spans the zone limits; a new one is read back as set.
    EXPECT_EQ("11 12 1c 0a a1 96 00 00 00 00 08 00 00 00 cd cc cc 3e 00 00 20 40",
        to_hex(ask(hex("10 11 1c 0a a1 96"))));
    EXPECT_EQ("10", to_hex(ask(hex("10 10 1c 0a a1 96 00 00 00 3f 00 00 00 40"))));
    EXPECT_EQ("11 12 1c 0a a1 96 00 00 00 00 08 00 00 00 00 00 00 3f 00 00 00 40",
        to_hex(ask(hex("10 11 1c 0a a1 96"))));
}

// Baseband frames and pulse-Doppler rows flow while their output is switched
// on and the sensor runs: frames of 32 bins, matrices of 8 rows of 2 x 16
// values, instance 0 and then 1, each row's negative frequencies first.
TEST_F(PersonalityTest, RawOutputsStreamWhileSwitchedOn)
{
    // Slow enough that no row is dropped for a reader that falls behind.
    start("osprey", 20);
    EXPECT_EQ("10", to_hex(ask(hex("41 10 0d 00 00 00 01 00 00 00"))));
    const Bytes frame = next_with_prefix({ 0x50, 0x0D, 0x00, 0x00, 0x00 });
    EXPECT_EQ(32u, u32_at(frame, 9));
    EXPECT_EQ(5u + 24 + 2 * 4 * 32, frame.size());

    EXPECT_EQ("10", to_hex(ask(hex("41 10 11 00 00 00 03 00 00 00"))));
    for (uint32_t half = 0; half < 32; ++half) {
        const Bytes row = next_with_prefix({ 0x50, 0x11, 0x00, 0x00, 0x00 });
        EXPECT_EQ(half / 2 % 8, u32_at(row, 13)) << half; // range index
        EXPECT_EQ(8u, u32_at(row, 17)); // range count
        EXPECT_EQ(16u, u32_at(row, 21)); // values in the half
        EXPECT_EQ(half / 16, u32_at(row, 25)); // instance
        float start = 0;
        const uint32_t bits = u32_at(row, 45);
        std::memcpy(&start, &bits, 4);
        EXPECT_EQ(half % 2 == 0, start < 0) << half;
        EXPECT_EQ(5u + 52 + 16, row.size());
    }

    // Switched off (control 0) they stop; the presence stream goes on until
    // the sensor stops, after which nothing flows: the next packet after the
    // stop's acknowledgement is the answer to the next command.
    EXPECT_EQ("10", to_hex(ask(hex("41 10 0d 00 00 00 00 00 00 00"))));
    EXPECT_EQ("10", to_hex(ask(hex("41 10 11 00 00 00 00 00 00 00"))));
    EXPECT_EQ("10", to_hex(ask(hex("20 13"))));
    client->send_command(command::get_sensor_mode());
    const Bytes mode = next_packet();
    ASSERT_TRUE(starts_with(mode, { 0x11, 0x10 })) << to_hex(mode);
    EXPECT_EQ(0x13, mode.at(14));
}

TEST(Personality, RejectsUnknownNamesAndRates)
{
    SimModule module(Transport::Tcp);
    EXPECT_EQ((std::vector<std::string> { "presence", "respiration", "corvid", "osprey", "falcon", "merlin",
                  "gannet", "dax", "safe-mode", "not-listed", "bootloader", "open-bootloader" }),
        personality_names());
    EXPECT_THROW(personality("radar"), std::invalid_argument);
    EXPECT_THROW(apply_personality(module, "radar", 10), std::invalid_argument);
    EXPECT_THROW(apply_personality(module, "presence", 0), std::invalid_argument);
    EXPECT_THROW(apply_personality(module, "presence", -1), std::invalid_argument);
}

// Each model tells itself apart by its pong and its order code, and reports
// the settings the host reads when it identifies it.
TEST_F(PersonalityTest, ModelsAnswerWithTheirPongIdentityAndSettings)
{
    const struct {
        const char* name;
        const char* pong;
        const char* order_code;
        const char* zone_limits; // the reply, or the refusal
    } models[] = {
        { "corvid", "01 ea ae ee aa", "Corvid", "20 01 00 00 00" },
        { "osprey", "01 ea ae ee aa", "Osprey",
            "11 12 1d 0a a1 96 00 00 00 00 0c 00 00 00 9a 99 99 3e 00 00 f0 40 cd cc cc 3d" },
        { "falcon", "01 ea ae ee aa", "Falcon",
            "11 12 1d 0a a1 96 00 00 00 00 0c 00 00 00 cd cc cc 3e 00 00 20 40 cd cc 4c 3d" },
        { "merlin", "01 ea ae ee aa", "Merlin", nullptr },
        { "gannet", "01 ea ae ee aa", "Gannet", nullptr },
        { "safe-mode", "01 ef fe ee ff", "Falcon", nullptr },
        { "not-listed", "01 aa ee ea ae", "Osprey", nullptr },
    };
    for (const auto& model : models) {
        client.reset();
        packets.clear();
        start(model.name);
        // The ping's own value is not echoed: the pong is the module's.
        EXPECT_EQ(model.pong, to_hex(ask(hex("01 ae ea aa ee")))) << model.name;
        EXPECT_EQ(model.order_code, system_info(system_info::order_code)) << model.name;
        EXPECT_FALSE(system_info(system_info::serial_number).empty()) << model.name;
        if (model.zone_limits) {
            EXPECT_EQ(model.zone_limits, to_hex(ask(command::get_detection_zone_limits()))) << model.name;
        }
        EXPECT_EQ("11 11 2b 2a af 71 00 00 00 00 04 00 00 00 03 00 00 00",
            to_hex(ask(command::get_tx_center_frequency())))
            << model.name;
        EXPECT_EQ("(refused: 20 01 00 00 00)", system_info(8)) << model.name;
    }
}

TEST_F(PersonalityTest, EmbeddedPlatformReportsCoreIdBootloaderAndChipSettings)
{
    start("dax");
    EXPECT_EQ("DAX", system_info(system_info::firmware_id));
    EXPECT_EQ("3.2.1", system_info(system_info::firmware_version));
    EXPECT_EQ("sim-core-0001", system_info(8));
    EXPECT_EQ("SARVIK OPENBOOTLOADER", system_info(9));
    EXPECT_EQ("11 10 20 00 00 00 00 00 00 00 01 00 00 00 04", to_hex(ask(hex("50 11 20 00 00 00"))));
    EXPECT_EQ("11 10 13 00 00 00 00 00 00 00 01 00 00 00 01", to_hex(ask(hex("50 11 13 00 00 00"))));
    // Settings it has none of are refused, not acknowledged.
    EXPECT_EQ("20 01 00 00 00", to_hex(ask(command::get_detection_zone_limits())));
    EXPECT_EQ("20 01 00 00 00", to_hex(ask(command::get_tx_center_frequency())));
}

TEST_F(PersonalityTest, IdentityAndFilesAreOptionsOfAPersonality)
{
    Personality falcon = personality("falcon");
    falcon.order_code = "falcon";
    falcon.firmware_version = "";
    falcon.zone_limits.reset();
    falcon.tx_center_frequency = 4;
    falcon.files.store(file_type::crash_dump, 2, { 0xDE, 0xAD });
    start(falcon);
    EXPECT_EQ("falcon", system_info(system_info::order_code));
    EXPECT_EQ("", system_info(system_info::firmware_version));
    EXPECT_EQ("20 01 00 00 00", to_hex(ask(command::get_detection_zone_limits())));
    EXPECT_EQ("11 11 2b 2a af 71 00 00 00 00 04 00 00 00 04 00 00 00",
        to_hex(ask(command::get_tx_center_frequency())));
    EXPECT_EQ("11 11 64 00 00 00 00 00 00 00 01 00 00 00 02 00 00 00", to_hex(ask(hex("90 64 50 4d 55 04"))));
    EXPECT_EQ("10", to_hex(ask(hex("90 70 50 4d 55 04 02 00 00 00"))));
    EXPECT_FALSE(falcon.files.contains(file_type::crash_dump, 2)); // the copy shares the store
}

TEST_F(PersonalityTest, BootloaderAnswersItsOwnRequestsAndRefusesTheRest)
{
    start("bootloader");
    const Bytes info = ask(hex("c0 00"));
    ASSERT_FALSE(info.empty());
    EXPECT_EQ(0xE0, info[0]);
    EXPECT_EQ("SARVIK BOOTLOADER V:1.4.0 H:Falcon R:SIMF0000001", std::string(info.begin() + 1, info.end()));
    EXPECT_EQ("e0", to_hex(ask(hex("c0 10 00 02 00 aa bb"))));
    EXPECT_EQ("e0", to_hex(ask(hex("c0 20"))));
    EXPECT_EQ("20 01 00 00 00", to_hex(ask(command::ping())));
    EXPECT_EQ("20 01 00 00 00", to_hex(ask(command::get_system_info(1))));

    client.reset();
    Personality chosen = personality("open-bootloader");
    chosen.bootloader_info = std::string("SARVIK OPENBOOTLOADER V:2.0.1 ID:") + '\xff' + '\0' + "X";
    start(chosen);
    const Bytes open = ask(command::bootloader_info());
    EXPECT_EQ(
        "\xe0" + *chosen.bootloader_info, std::string(open.begin(), open.end())); // any bytes, as chosen
}

// The embedded platform's chip keeps the frame area on its bins (n bin
// lengths: n + 1 bins) within its limits, and sends frames of the area and
// the down-conversion of the moment: the I values, then the Q values, or 8
// RF samples per bin.
TEST_F(PersonalityTest, EmbeddedPlatformChipSendsFramesOfItsAreaAndDownconversion)
{
    Personality dax = personality("dax");
    dax.chip->pattern = FramePattern::Ramp;
    start(dax);
    const float bin = dax.chip->bin_length;

    const struct {
        float start, end; // asked for
        float bins_from_min_start, bins_from_min_end; // reported, in bins from the lower limit
    } areas[] = {
        { 0.5f, 2.0f, 17, 47 }, { -3.0f, 0.0f, 0, 8 }, // below the lower limit: clamped to it
        { 2.0f, 99.0f, 47, 590 }, // beyond the upper limit: the last whole bin
        { 3.0f, 1.0f, 66, 66 }, // an end before the start: one bin
        { std::nanf(""), HUGE_VALF, 0, 0 }, // no numbers: the lower limit
    };
    for (const auto& area : areas) {
        EXPECT_EQ("10", to_hex(ask(chip_set_f32(parameter::chip_frame_area, { area.start, area.end }))));
        const Bytes reply = ask(command::chip_get(parameter::chip_frame_area));
        ASSERT_TRUE(starts_with(reply, { 0x11, 0x12, 0x14 })) << to_hex(reply);
        EXPECT_NEAR(-0.4 + area.bins_from_min_start * bin, f32_at(reply, 14), 1e-5) << area.start;
        EXPECT_NEAR(-0.4 + area.bins_from_min_end * bin, f32_at(reply, 18), 1e-5) << area.end;
    }

    EXPECT_EQ("10", to_hex(ask(chip_set_f32(parameter::chip_frame_area, { 0.5f, 2.0f }))));
    EXPECT_EQ("10", to_hex(ask(chip_set_f32(parameter::chip_fps, { 17.0f }))));
    std::vector<float> values = frame_values(next_with_prefix(chip_frame_prefix));
    ASSERT_EQ(2u * 31, values.size());
    EXPECT_EQ(1.0f, values.front());
    EXPECT_EQ(62.0f, values.back());

    EXPECT_EQ("10", to_hex(ask(hex("50 10 13 00 00 00 00"))));
    EXPECT_EQ(
        "11 10 13 00 00 00 00 00 00 00 01 00 00 00 00", to_hex(ask(command::chip_get_downconversion())));
    // Frames already on their way may still be down-converted.
    for (int frame = 0; frame < 5 && values.size() != 8u * 31; ++frame)
        values = frame_values(next_with_prefix(chip_frame_prefix));
    EXPECT_EQ(8u * 31, values.size());

    // A rate of 0 stops them: the next packet after the answer is the next
    // command's answer.
    EXPECT_EQ("10", to_hex(ask(chip_set_f32(parameter::chip_fps, { 0.0f }))));
    client->send_command(command::ping());
    EXPECT_EQ(message::pong, next_packet().at(0));
}

// The frames come at the rate the host sets, the frame counter from 0.
TEST_F(PersonalityTest, EmbeddedPlatformChipStreamsAtTheFrameRateSet)
{
    start("dax");
    EXPECT_EQ("10", to_hex(ask(chip_set_f32(parameter::chip_fps, { 17.0f }))));
    const Bytes first = next_with_prefix(chip_frame_prefix);
    const auto begin = std::chrono::steady_clock::now();
    EXPECT_EQ(0u, u32_at(first, 6));
    Bytes last;
    for (int frame = 1; frame <= 17; ++frame)
        last = next_with_prefix(chip_frame_prefix);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    EXPECT_EQ(17u, u32_at(last, 6));
    // 17 frame periods: a second, with room for a loaded machine.
    EXPECT_GT(seconds, 0.8);
    EXPECT_LT(seconds, 1.6);
}

TEST(Personality, ChipFramePatterns)
{
    EXPECT_EQ((std::vector<float> { 1, 2, 3, 4, 5, 6 }), chip_frame_values(FramePattern::Ramp, 9, 3, true));
    EXPECT_EQ(std::vector<float>(16, 0.0f), chip_frame_values(FramePattern::Zeros, 0, 2, false));
    for (const bool downconverted : { true, false }) {
        const std::vector<float> target = chip_frame_values(FramePattern::Target, 3, 191, downconverted);
        ASSERT_EQ(downconverted ? 382u : 1528u, target.size());
        float peak = 0;
        for (const float v : target) {
            ASSERT_TRUE(std::isfinite(v));
            peak = std::max(peak, std::fabs(v));
        }
        EXPECT_GT(peak, 0.5f); // the reflector is within the frame
    }
    for (const std::string& name : frame_pattern_names())
        EXPECT_TRUE(frame_pattern(name).has_value()) << name;
    EXPECT_FALSE(frame_pattern("noise").has_value());
}

// A chip setting the personality does not report is refused until the host
// sets it; then it reads back what was set.
TEST_F(PersonalityTest, EmbeddedPlatformChipSettingsReadBackWhatWasSet)
{
    Personality dax = personality("dax");
    dax.chip_tx_center_frequency.reset();
    start(dax);
    EXPECT_EQ("20 01 00 00 00", to_hex(ask(command::chip_get_tx_center_frequency())));
    EXPECT_EQ("10", to_hex(ask(hex("50 10 20 00 00 00 03"))));
    EXPECT_EQ(
        "11 10 20 00 00 00 00 00 00 00 01 00 00 00 03", to_hex(ask(command::chip_get_tx_center_frequency())));
    EXPECT_EQ(
        "11 10 13 00 00 00 00 00 00 00 01 00 00 00 01", to_hex(ask(command::chip_get_downconversion())));
}
