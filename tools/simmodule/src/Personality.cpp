#include "simmodule/Personality.hpp"

#include "simmodule/Messages.hpp"

#include <array>
#include <atomic>
#include <cmath>
#include <memory>
#include <stdexcept>

namespace simmodule {

namespace {

constexpr uint8_t sensor_mode_run = 0x01;
constexpr double pi = 3.14159265358979323846;
constexpr size_t movement_intervals = 8;

// Texts in the order of the system-information codes 0 to 6.
using Identity = std::array<const char*, 7>;

const Identity presence_identity = {
    "SIM-PRESENCE-01",
    "SIM-P01-A",
    "presence",
    "1.4.2",
    "simulated build",
    "presence",
    "SIMP0000001",
};
const Identity respiration_identity = {
    "SIM-RESPIRATION-01",
    "SIM-R01-A",
    "respiration",
    "2.1.0",
    "simulated build",
    "respiration",
    "SIMR0000001",
};

struct ModuleState {
    std::atomic<uint8_t> sensor_mode { sensor_mode_run };
    std::atomic<uint8_t> led_mode { 0 };
};

uint32_t u32_at(const Bytes& payload, size_t offset)
{
    uint32_t value = 0;
    for (size_t i = 0; i < 4 && offset + i < payload.size(); ++i)
        value |= uint32_t(payload[offset + i]) << (8 * i);
    return value;
}

double seconds(uint64_t index, double rate_hz)
{
    return static_cast<double>(index) / rate_hz;
}

// Someone walks in and out: present for 20 s, away for 10 s.
bool present_at(double t)
{
    return std::fmod(t, 30.0) < 20.0;
}

float presence_distance(double t)
{
    return static_cast<float>(1.8 + 0.9 * std::sin(2 * pi * t / 12.0));
}

Bytes presence_single_at(uint64_t index, double rate_hz)
{
    const double t = seconds(index, rate_hz);
    PresenceSingle m;
    m.frame_counter = static_cast<uint32_t>(index);
    m.presence_state = present_at(t) ? 1 : 0;
    if (m.presence_state) {
        m.distance = presence_distance(t);
        m.direction = std::cos(2 * pi * t / 12.0) > 0 ? 2 : 1; // moving away : approaching
        m.signal_quality = 70 + static_cast<uint32_t>(20 * std::fabs(std::sin(t)));
    }
    return presence_single_message(m);
}

Bytes presence_moving_list_at(uint64_t index, double rate_hz)
{
    const double t = seconds(index, rate_hz);
    const bool present = present_at(t);
    PresenceMovingList m;
    m.frame_counter = static_cast<uint32_t>(index);
    m.presence_state = present ? 1 : 0;
    for (size_t i = 0; i < movement_intervals; ++i) {
        const double level = present ? 0.5 + 0.5 * std::sin(t + static_cast<double>(i)) : 0.02;
        m.movement_slow.push_back(static_cast<float>(level));
        m.movement_fast.push_back(static_cast<float>(level * 0.6));
    }
    if (present) {
        m.detection_distance.push_back(presence_distance(t));
        m.detection_radar_cross_section.push_back(0.8f);
        m.detection_velocity.push_back(static_cast<float>(0.9 * 2 * pi / 12.0 * std::cos(2 * pi * t / 12.0)));
    }
    return presence_moving_list_message(m);
}

Bytes respiration_status_at(uint64_t index, double rate_hz)
{
    const double t = seconds(index, rate_hz);
    RespirationStatus m;
    m.frame_counter = static_cast<uint32_t>(index);
    m.sensor_state = 1;
    m.respiration_rate = 14 + static_cast<uint32_t>(std::lround(2 * std::sin(2 * pi * t / 60.0)));
    m.distance = static_cast<float>(1.2 + 0.02 * std::sin(2 * pi * t / 4.3));
    m.movement = static_cast<float>(0.05 + 0.05 * std::fabs(std::sin(t / 7.0)));
    m.signal_quality = 75 + static_cast<uint32_t>(15 * std::fabs(std::sin(t / 11.0)));
    return respiration_status_message(m);
}

Bytes respiration_moving_list_at(uint64_t index, double rate_hz)
{
    const double t = seconds(index, rate_hz);
    RespirationMovingList m;
    m.frame_counter = static_cast<uint32_t>(index);
    // Breathing shows as slow movement in the interval that holds the chest.
    for (size_t i = 0; i < movement_intervals; ++i) {
        const double breathing = i == 3 ? 0.6 + 0.4 * std::sin(2 * pi * t * 14.0 / 60.0) : 0.03;
        m.movement_slow.push_back(static_cast<float>(breathing));
        m.movement_fast.push_back(static_cast<float>(breathing * 0.2));
    }
    return respiration_moving_list_message(m);
}

struct Stream {
    const char* name;
    Bytes (*make)(uint64_t index, double rate_hz);
};

struct Personality {
    const char* name;
    const Identity* identity;
    std::vector<Stream> streams;
};

const std::vector<Personality>& personalities()
{
    static const std::vector<Personality> all = {
        { "presence", &presence_identity,
            { { "presence_single", presence_single_at },
                { "presence_moving_list", presence_moving_list_at } } },
        { "respiration", &respiration_identity,
            { { "respiration_status", respiration_status_at },
                { "respiration_moving_list", respiration_moving_list_at } } },
    };
    return all;
}

void start_streams(SimModule& module, const Personality& personality, double rate_hz)
{
    for (const Stream& stream : personality.streams) {
        auto make = stream.make;
        module.start_stream(stream.name,
            DataSource::generate([make, rate_hz](uint64_t index) { return make(index, rate_hz); }), rate_hz);
    }
}

std::vector<Rule> rules_for(SimModule& module, const Personality& personality, double rate_hz)
{
    auto state = std::make_shared<ModuleState>();
    std::vector<Rule> rules;

    rules.push_back(Rule(command::ping()).reply_with([](const Bytes& command) {
        return std::vector<Bytes> { pong_reply(u32_at(command, 1)) };
    }));
    for (uint8_t code = 0; code < personality.identity->size(); ++code)
        rules.push_back(
            Rule(command::get_system_info(code)).reply(system_info_reply((*personality.identity)[code])));
    rules.push_back(Rule(command::get_system_info()).error(1));
    // It keeps no files and no profile: asked for either (as a recording
    // that starts asks for the parameter file and the profile id), it says so
    // at once instead of leaving the host to wait for its reply timeout.
    rules.push_back(Rule(command::open_file()).error(1));
    rules.push_back(Rule(command::get_profile_id()).error(1));

    // Run streams the data, any other mode pauses it. The streams restart
    // from frame 0 on each run, as a module that restarts its measurement.
    const Personality* who = &personality;
    SimModule* target = &module;
    rules.push_back(
        Rule(command::set_sensor_mode()).reply_with([state, who, target, rate_hz](const Bytes& command) {
            const uint8_t mode = command.size() > 1 ? command[1] : 0;
            const uint8_t before = state->sensor_mode.exchange(mode);
            if (mode == sensor_mode_run && before != sensor_mode_run)
                start_streams(*target, *who, rate_hz);
            else if (mode != sensor_mode_run)
                target->stop_all_streams();
            return std::vector<Bytes> { ack_reply() };
        }));
    rules.push_back(Rule(command::get_sensor_mode()).reply_with([state](const Bytes&) {
        return std::vector<Bytes> { byte_reply(0x26, state->sensor_mode.load()) };
    }));
    rules.push_back(Rule(command::set_led_control()).reply_with([state](const Bytes& command) {
        if (command.size() > 1)
            state->led_mode = command[1];
        return std::vector<Bytes> { ack_reply() };
    }));
    rules.push_back(Rule(command::get_led_control()).reply_with([state](const Bytes&) {
        return std::vector<Bytes> { byte_reply(
            u32_at(command::get_led_control(), 2), state->led_mode.load()) };
    }));
    rules.push_back(Rule({}).ack());
    return rules;
}

} // namespace

std::vector<std::string> personality_names()
{
    std::vector<std::string> names;
    for (const Personality& personality : personalities())
        names.push_back(personality.name);
    return names;
}

void apply_personality(SimModule& module, const std::string& name, double rate_hz)
{
    if (!(rate_hz > 0) || !std::isfinite(rate_hz))
        throw std::invalid_argument("rate must be a positive number of packets per second");
    for (const Personality& personality : personalities()) {
        if (name != personality.name)
            continue;
        module.stop_all_streams();
        module.set_rules(rules_for(module, personality, rate_hz));
        start_streams(module, personality, rate_hz);
        return;
    }
    throw std::invalid_argument("unknown personality \"" + name + "\"");
}

} // namespace simmodule
