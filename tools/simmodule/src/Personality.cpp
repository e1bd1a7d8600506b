#include "simmodule/Personality.hpp"

#include "simmodule/Flash.hpp"
#include "simmodule/Messages.hpp"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <utility>

namespace simmodule {

namespace {

constexpr uint8_t sensor_mode_run = 0x01;
constexpr double pi = 3.14159265358979323846;
constexpr size_t movement_intervals = 8;

constexpr uint32_t detection_zone_parameter = 0x96A10A1C;

// Output ids of the raw outputs and their bits in ModuleState::outputs.
constexpr uint32_t output_baseband_iq = 0x0C;
constexpr uint32_t output_baseband_ap = 0x0D;
constexpr uint32_t output_pulse_doppler_float = 0x10;
constexpr uint32_t output_pulse_doppler_byte = 0x11;
constexpr uint32_t raw_output_ids[]
    = { output_baseband_iq, output_baseband_ap, output_pulse_doppler_float, output_pulse_doppler_byte };

// A pulse-Doppler matrix of the stream: range rows of two halves of values.
constexpr uint32_t doppler_rows = 8;
constexpr uint32_t doppler_half_width = 16;
constexpr uint32_t doppler_instances = 2;
constexpr uint32_t baseband_bins = 32;

struct ModuleState {
    std::atomic<uint8_t> sensor_mode { sensor_mode_run };
    std::atomic<uint8_t> led_mode { 0 };
    std::atomic<bool> has_profile { false };
    std::atomic<uint32_t> profile_id { 0 };
    std::atomic<Streams> streams { Streams::None };
    // Bit i: raw_output_ids[i] is switched on.
    std::atomic<uint32_t> outputs { 0 };
    std::mutex zone_mutex;
    std::array<float, 2> zone {};
};

// The radar chip of a module with ChipFrames: what the host set.
struct ChipState {
    std::mutex mutex;
    std::optional<uint8_t> downconversion;
    std::optional<uint8_t> tx_center_frequency;
    float fps = 0;
    float area_start = 0;
    float area_end = 0;
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

// The older module's sleeper: the module initialises for 3 s (its progress
// in the rate's low byte), then in every minute the person breathes for
// 40 s, turns over (5 s of movement, 5 s of the module tracking it) and
// lies still, breathing, for the rest.
enum OlderState : uint32_t { breathing = 0, movement = 1, movement_tracking = 2, initializing = 4 };

constexpr double initializing_seconds = 3.0;

uint32_t older_state_at(double t)
{
    if (t < initializing_seconds)
        return initializing;
    const double minute = std::fmod(t - initializing_seconds, 60.0);
    if (minute >= 40.0 && minute < 45.0)
        return movement;
    if (minute >= 45.0 && minute < 50.0)
        return movement_tracking;
    return breathing;
}

double older_rpm_at(double t)
{
    return 13.0 + 2.0 * std::sin(2 * pi * t / 300.0);
}

Bytes older_respiration_status_at(uint64_t index, double rate_hz)
{
    const double t = seconds(index, rate_hz);
    RespirationStatus m;
    m.frame_counter = static_cast<uint32_t>(index + 1);
    m.sensor_state = older_state_at(t);
    m.distance = static_cast<float>(0.9 + 0.01 * std::sin(2 * pi * t / 9.0));
    m.signal_quality = 60 + static_cast<uint32_t>(30 * std::fabs(std::sin(t / 13.0)));
    switch (m.sensor_state) {
    case initializing:
        m.respiration_rate = static_cast<uint32_t>(100.0 * t / initializing_seconds);
        m.signal_quality = 0;
        break;
    case breathing:
        m.respiration_rate = static_cast<uint32_t>(std::lround(older_rpm_at(t)));
        // The chest's excursion, the breathing pattern the host charts.
        m.movement = static_cast<float>(1.5 * std::sin(2 * pi * t * older_rpm_at(t) / 60.0));
        break;
    default:
        m.movement = static_cast<float>(3.5 * std::sin(2 * pi * t / 1.7));
        break;
    }
    return respiration_status_message(m);
}

Bytes older_sleep_status_at(uint64_t index, double rate_hz)
{
    const double t = seconds(index, rate_hz);
    SleepStatus m;
    m.frame_counter = static_cast<uint32_t>(index + 1);
    m.sensor_state = older_state_at(t);
    m.respiration_rate = static_cast<float>(older_rpm_at(t));
    m.distance = static_cast<float>(0.9 + 0.01 * std::sin(2 * pi * t / 9.0));
    m.signal_quality = 60 + static_cast<uint32_t>(30 * std::fabs(std::sin(t / 13.0)));
    const bool moving = m.sensor_state == movement || m.sensor_state == movement_tracking;
    m.movement_slow = static_cast<float>(moving ? 0.8 + 0.1 * std::sin(t) : 0.05);
    m.movement_fast = static_cast<float>(moving ? 0.4 + 0.2 * std::fabs(std::sin(3 * t)) : 0.01);
    return sleep_status_message(m);
}

// The sleeper the newer respiration modules watch: lies still, breathing,
// for 48 s of every minute, then moves (6 s) and is tracked while settling
// (6 s).
constexpr uint32_t breathing_state = 0;
constexpr uint32_t movement_state = 1;
constexpr uint32_t movement_tracking_state = 2;
constexpr size_t normalized_bins = 16;
constexpr float normalized_start = 0.4f;
constexpr float normalized_bin_length = 0.25f;

uint32_t sleeper_state(double t)
{
    const double s = std::fmod(t, 60.0);
    return s < 48.0 ? breathing_state : s < 54.0 ? movement_state : movement_tracking_state;
}

double sleeper_rpm(double t)
{
    return 13.0 + std::sin(2 * pi * t / 90.0);
}

float sleeper_distance(double t)
{
    return static_cast<float>(1.5 + 0.01 * std::sin(2 * pi * t / 7.0));
}

// Movement as the share of cells above the threshold: low while breathing.
float sleeper_movement(double t, double scale)
{
    const double level = sleeper_state(t) == breathing_state ? 2.0 + std::fabs(std::sin(t)) : 40.0;
    return static_cast<float>(level * scale);
}

Bytes sleep_status_at(uint64_t index, double rate_hz)
{
    const double t = seconds(index, rate_hz);
    SleepStatus m;
    m.frame_counter = static_cast<uint32_t>(index);
    m.sensor_state = sleeper_state(t);
    m.respiration_rate = static_cast<float>(sleeper_rpm(t));
    m.distance = sleeper_distance(t);
    m.signal_quality = 70 + static_cast<uint32_t>(20 * std::fabs(std::sin(t / 13.0)));
    m.movement_slow = sleeper_movement(t, 1.0);
    m.movement_fast = sleeper_movement(t, 0.5);
    return sleep_status_message(m);
}

Bytes vital_signs_at(uint64_t index, double rate_hz)
{
    const double t = seconds(index, rate_hz);
    VitalSigns m;
    m.frame_counter = static_cast<uint32_t>(index);
    m.sensor_state = sleeper_state(t);
    m.respiration_rate = static_cast<float>(sleeper_rpm(t));
    m.respiration_distance = sleeper_distance(t);
    m.respiration_confidence = m.sensor_state == breathing_state ? 0.9f : 0.2f;
    m.heart_rate = static_cast<float>(58.0 + 3.0 * std::sin(2 * pi * t / 45.0));
    m.heart_distance = m.respiration_distance;
    m.heart_confidence = m.sensor_state == breathing_state ? 0.8f : 0.1f;
    m.movement_slow = sleeper_movement(t, 1.0);
    m.movement_fast = sleeper_movement(t, 0.5);
    m.movement_start = normalized_start;
    m.movement_end = normalized_start + normalized_bin_length * normalized_bins;
    return vital_signs_message(m);
}

// The chest rises and falls: the breathing pattern.
Bytes sleeper_respiration_status_at(uint64_t index, double rate_hz)
{
    const double t = seconds(index, rate_hz);
    RespirationStatus m;
    m.frame_counter = static_cast<uint32_t>(index);
    m.sensor_state = sleeper_state(t);
    m.respiration_rate = static_cast<uint32_t>(std::lround(sleeper_rpm(t)));
    m.distance = sleeper_distance(t);
    m.movement = static_cast<float>(2.5 * std::sin(2 * pi * t * sleeper_rpm(t) / 60.0));
    m.signal_quality = 80;
    return respiration_status_message(m);
}

Bytes sleeper_moving_list_at(uint64_t index, double rate_hz)
{
    const double t = seconds(index, rate_hz);
    RespirationMovingList m;
    m.frame_counter = static_cast<uint32_t>(index);
    for (size_t i = 0; i < movement_intervals; ++i) {
        const bool chest = i == 3;
        m.movement_slow.push_back(chest ? sleeper_movement(t, 1.0) : 0.5f);
        m.movement_fast.push_back(chest ? sleeper_movement(t, 0.5) : 0.2f);
    }
    return respiration_moving_list_message(m);
}

Bytes sleeper_normalized_moving_list_at(uint64_t index, double rate_hz)
{
    const double t = seconds(index, rate_hz);
    NormalizedMovingList m;
    m.frame_counter = static_cast<uint32_t>(index);
    m.start = normalized_start;
    m.bin_length = normalized_bin_length;
    const size_t chest
        = static_cast<size_t>((sleeper_distance(t) - normalized_start) / normalized_bin_length);
    for (size_t i = 0; i < normalized_bins; ++i) {
        const bool near = i + 1 >= chest && i <= chest + 1;
        const double power = near ? 20.0 + 5.0 * std::sin(t) : 0.05 * static_cast<double>(i % 3);
        m.movement_slow.push_back(static_cast<float>(power));
        m.movement_fast.push_back(static_cast<float>(power * 0.3));
    }
    return normalized_moving_list_message(m);
}

// The body first, then where the breathing is seen.
Bytes sleeper_detection_list_at(uint64_t index, double rate_hz)
{
    const double t = seconds(index, rate_hz);
    RespirationDetectionList m;
    m.frame_counter = static_cast<uint32_t>(index);
    const float distance = sleeper_distance(t);
    m.distance = { distance, distance + 0.05f };
    m.radar_cross_section = { 0.8f, 0.3f };
    m.velocity = { 0.0f, 0.0f };
    return respiration_detection_list_message(m);
}

struct Stream {
    const char* name;
    Bytes (*make)(uint64_t index, double rate_hz);
};

std::vector<Stream> streams_of(Streams streams)
{
    switch (streams) {
    case Streams::Presence:
        return { { "presence_single", presence_single_at },
            { "presence_moving_list", presence_moving_list_at } };
    case Streams::Respiration:
        return { { "respiration_status", respiration_status_at },
            { "respiration_moving_list", respiration_moving_list_at } };
    case Streams::OlderRespiration:
        return { { "respiration_status", older_respiration_status_at } };
    case Streams::OlderSleep:
        return { { "respiration_status", older_respiration_status_at },
            { "sleep_status", older_sleep_status_at } };
    case Streams::VitalSigns:
        return { { "sleep_status", sleep_status_at }, { "vital_signs", vital_signs_at },
            { "respiration_status", sleeper_respiration_status_at },
            { "respiration_moving_list", sleeper_moving_list_at },
            { "normalized_moving_list", sleeper_normalized_moving_list_at },
            { "detection_list", sleeper_detection_list_at } };
    case Streams::None:
        break;
    }
    return {};
}

void start_streams(SimModule& module, Streams streams, double rate_hz)
{
    for (const Stream& stream : streams_of(streams)) {
        auto make = stream.make;
        module.start_stream(stream.name,
            DataSource::generate([make, rate_hz](uint64_t index) { return make(index, rate_hz); }), rate_hz);
    }
}

bool output_on(const ModuleState& state, uint32_t output_id)
{
    for (size_t i = 0; i < std::size(raw_output_ids); ++i)
        if (raw_output_ids[i] == output_id)
            return (state.outputs.load() >> i) & 1;
    return false;
}

// A target about 1.8 m away, as the presence stream sees it.
Bytes baseband_frame_at(uint64_t index, double rate_hz, bool iq)
{
    const double t = seconds(index, rate_hz);
    BasebandFrame frame;
    frame.frame_counter = static_cast<uint32_t>(index);
    frame.bin_length = 0.0514f;
    frame.range_offset = 0.3f;
    const double target = (presence_distance(t) - 0.3) / 0.0514;
    for (uint32_t k = 0; k < baseband_bins; ++k) {
        const double d = static_cast<double>(k) - target;
        const double amplitude = 10.0 + 1000.0 * std::exp(-d * d / 8.0);
        const double phase = std::fmod(0.3 * k + t, 2 * pi) - pi;
        frame.first.push_back(static_cast<float>(iq ? amplitude * std::cos(phase) : amplitude));
        frame.second.push_back(static_cast<float>(iq ? amplitude * std::sin(phase) : phase));
    }
    return baseband_frame_message(iq ? content::baseband_iq : content::baseband_amplitude_phase, frame);
}

// Packet `index` of the pulse-Doppler stream: per frame, the matrix of
// instance 0 and then that of instance 1, row by row, each row's negative
// frequencies first.
Bytes pulse_doppler_row_at(uint64_t index, bool byte_values)
{
    const uint64_t halves_per_matrix = 2 * doppler_rows;
    PulseDopplerHalfRow row;
    row.instance = static_cast<uint32_t>((index / halves_per_matrix) % doppler_instances);
    row.range_index = static_cast<uint32_t>((index / 2) % doppler_rows);
    row.range_count = doppler_rows;
    const bool first_half = index % 2 == 0;
    row.frequency_step = 0.5f;
    row.frequency_start = first_half ? -0.5f * doppler_half_width : 0.0f;
    row.range = 0.3f + 0.25f * static_cast<float>(row.range_index);
    row.byte_offset = -80.0f;
    row.byte_step = 0.5f;
    const uint64_t frame = index / (halves_per_matrix * doppler_instances);
    for (uint32_t k = 0; k < doppler_half_width; ++k) {
        // A peak that wanders through the rows frame by frame.
        const bool peak
            = row.range_index == frame % doppler_rows && k == (first_half ? doppler_half_width - 2 : 2);
        const uint8_t level = static_cast<uint8_t>(peak ? 200 : 40 + (k * 7 + row.range_index * 3) % 20);
        row.byte_values.push_back(level);
        row.values.push_back(std::pow(10.0f, (level * row.byte_step + row.byte_offset) / 10.0f));
    }
    return pulse_doppler_row_message(
        byte_values ? content::pulse_doppler_byte : content::pulse_doppler_float, row);
}

enum RawStream : unsigned { baseband_stream = 1, pulse_doppler_stream = 2 };

void update_baseband_stream(SimModule& module, const ModuleState& state, double rate_hz)
{
    const bool iq = output_on(state, output_baseband_iq);
    if (!iq && !output_on(state, output_baseband_ap)) {
        module.stop_stream("baseband");
        return;
    }
    module.start_stream("baseband",
        DataSource::generate([rate_hz, iq](uint64_t index) { return baseband_frame_at(index, rate_hz, iq); }),
        rate_hz);
}

void update_pulse_doppler_stream(SimModule& module, const ModuleState& state, double rate_hz)
{
    const bool float_rows = output_on(state, output_pulse_doppler_float);
    if (!float_rows && !output_on(state, output_pulse_doppler_byte)) {
        module.stop_stream("pulse_doppler");
        return;
    }
    module.start_stream("pulse_doppler", DataSource::generate([float_rows](uint64_t index) {
        return pulse_doppler_row_at(index, !float_rows);
    }),
        rate_hz * 2 * doppler_rows * doppler_instances);
}

// Streams the raw outputs of the kinds given that are switched on, while the
// sensor runs; a kind switched off stops. A stream (re)starts at its first
// packet: a whole frame, or the first row of a matrix.
void start_raw_streams(SimModule& module, const ModuleState& state, double rate_hz, unsigned kinds)
{
    if (state.sensor_mode.load() != sensor_mode_run)
        return;
    if (kinds & baseband_stream)
        update_baseband_stream(module, state, rate_hz);
    if (kinds & pulse_doppler_stream)
        update_pulse_doppler_stream(module, state, rate_hz);
}

float f32_at(const Bytes& payload, size_t offset)
{
    const uint32_t bits = u32_at(payload, offset);
    float value = 0;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// The number of bins of a frame area.
uint32_t bins_of(const ChipFrames& chip, float start, float end)
{
    return static_cast<uint32_t>(std::lround((end - start) / chip.bin_length)) + 1;
}

// A frame area end moved to the chip's bins and its limits.
float on_bin(const ChipFrames& chip, float metres)
{
    const double limit_bins = std::floor((chip.area_max - chip.area_min) / chip.bin_length);
    double bin = std::isfinite(metres) ? std::round((metres - chip.area_min) / chip.bin_length) : 0;
    bin = std::clamp(bin, 0.0, limit_bins);
    return static_cast<float>(chip.area_min + bin * chip.bin_length);
}

void update_chip_stream(SimModule& module, const ChipFrames& chip, const std::shared_ptr<ChipState>& state)
{
    float fps = 0;
    {
        const std::lock_guard<std::mutex> lock(state->mutex);
        fps = state->fps;
    }
    if (!(fps > 0) || !std::isfinite(fps)) {
        module.stop_stream("chip_frames");
        return;
    }
    // Each frame is made with the settings of the moment it is sent.
    module.start_stream("chip_frames", DataSource::generate([chip, state](uint64_t index) {
        uint32_t bins = 0;
        bool downconverted = false;
        {
            const std::lock_guard<std::mutex> lock(state->mutex);
            bins = bins_of(chip, state->area_start, state->area_end);
            downconverted = state->downconversion.value_or(0) != 0;
        }
        return float_data_message(content::chip_frame, static_cast<uint32_t>(index),
            chip_frame_values(chip.pattern, index, bins, downconverted));
    }),
        fps);
}

std::vector<Rule> chip_rules(SimModule& module, const Personality& personality)
{
    const ChipFrames chip = *personality.chip;
    auto state = std::make_shared<ChipState>();
    state->downconversion = personality.downconversion;
    state->tx_center_frequency = personality.chip_tx_center_frequency;
    state->area_start = on_bin(chip, 0.4f);
    state->area_end = on_bin(chip, 5.0f);
    SimModule* target = &module;

    std::vector<Rule> rules;
    // A setting the personality refuses to read stays refused until the host
    // sets it.
    const auto byte_setting = [&rules, state](uint32_t parameter, std::optional<uint8_t> ChipState::*field) {
        rules.push_back(Rule(command::chip_set(parameter)).reply_with([state, field](const Bytes& c) {
            const std::lock_guard<std::mutex> lock(state->mutex);
            (*state).*field = c.size() > 6 ? c[6] : 0;
            return std::vector<Bytes> { ack_reply() };
        }));
        rules.push_back(
            Rule(command::chip_get(parameter)).reply_with([state, field, parameter](const Bytes&) {
                const std::lock_guard<std::mutex> lock(state->mutex);
                const std::optional<uint8_t>& value = (*state).*field;
                return std::vector<Bytes> { value ? byte_reply(parameter, *value) : error_reply(1) };
            }));
    };
    byte_setting(parameter::chip_downconversion, &ChipState::downconversion);
    byte_setting(parameter::chip_tx_center_frequency, &ChipState::tx_center_frequency);
    rules.push_back(
        Rule(command::chip_set(parameter::chip_frame_area)).reply_with([state, chip](const Bytes& c) {
            if (c.size() < 14)
                return std::vector<Bytes> { error_reply(1) };
            const float start = on_bin(chip, f32_at(c, 6));
            const float end = on_bin(chip, f32_at(c, 10));
            const std::lock_guard<std::mutex> lock(state->mutex);
            state->area_start = start;
            state->area_end = std::max(start, end);
            return std::vector<Bytes> { ack_reply() };
        }));
    rules.push_back(Rule(command::chip_get(parameter::chip_frame_area)).reply_with([state](const Bytes&) {
        const std::lock_guard<std::mutex> lock(state->mutex);
        return std::vector<Bytes> { f32_reply(
            parameter::chip_frame_area, { state->area_start, state->area_end }) };
    }));
    rules.push_back(
        Rule(command::chip_set(parameter::chip_fps)).reply_with([state, chip, target](const Bytes& c) {
            if (c.size() < 10)
                return std::vector<Bytes> { error_reply(1) };
            {
                const std::lock_guard<std::mutex> lock(state->mutex);
                const float fps = f32_at(c, 6);
                state->fps = std::isfinite(fps) && fps > 0 ? fps : 0;
            }
            update_chip_stream(*target, chip, state);
            return std::vector<Bytes> { ack_reply() };
        }));
    rules.push_back(Rule(command::chip_get(parameter::chip_fps)).reply_with([state](const Bytes&) {
        const std::lock_guard<std::mutex> lock(state->mutex);
        return std::vector<Bytes> { f32_reply(parameter::chip_fps, { state->fps }) };
    }));
    return rules;
}

// An answer when there is a value, error 1 when there is none.
template <typename T, typename Reply>
Rule reply_or_refuse(const Bytes& prefix, const std::optional<T>& value, Reply reply)
{
    return value ? Rule(prefix).reply(reply(*value)) : Rule(prefix).error(1);
}

std::vector<Rule> application_rules(SimModule& module, const Personality& personality, double rate_hz)
{
    auto state = std::make_shared<ModuleState>();
    std::vector<Rule> rules;

    if (personality.pong) {
        rules.push_back(Rule(command::ping()).reply(pong_reply(*personality.pong)));
    } else {
        rules.push_back(Rule(command::ping()).reply_with([](const Bytes& command) {
            return std::vector<Bytes> { pong_reply(u32_at(command, 1)) };
        }));
    }
    const std::string* const texts[] = { &personality.item_number, &personality.order_code,
        &personality.firmware_id, &personality.firmware_version, &personality.build_info,
        &personality.app_id_list, &personality.serial_number };
    for (uint8_t code = 0; code < std::size(texts); ++code)
        rules.push_back(Rule(command::get_system_info(code)).reply(system_info_reply(*texts[code])));
    if (personality.core_id)
        rules.push_back(Rule(command::get_system_info(8)).reply(system_info_reply(*personality.core_id)));
    if (personality.bootloader_name)
        rules.push_back(
            Rule(command::get_system_info(9)).reply(system_info_reply(*personality.bootloader_name)));
    rules.push_back(Rule(command::get_system_info()).error(1));

    rules.push_back(reply_or_refuse(
        command::get_detection_zone_limits(), personality.zone_limits, [](const ZoneLimits& limits) {
            return f32_reply(parameter::detection_zone_limits, { limits.min, limits.max, limits.step });
        }));
    rules.push_back(reply_or_refuse(command::get_tx_center_frequency(), personality.tx_center_frequency,
        [](uint32_t band) { return u32_reply(parameter::tx_center_frequency, band); }));
    if (personality.chip) {
        for (Rule& rule : chip_rules(module, personality))
            rules.push_back(std::move(rule));
    }
    rules.push_back(
        reply_or_refuse(command::chip_get_tx_center_frequency(), personality.chip_tx_center_frequency,
            [](uint8_t band) { return byte_reply(parameter::chip_tx_center_frequency, band); }));
    rules.push_back(reply_or_refuse(command::chip_get_downconversion(), personality.downconversion,
        [](uint8_t on) { return byte_reply(parameter::chip_downconversion, on); }));

    // Its files answer the file commands; a recording that starts asks for
    // the parameter file and the profile id, and a missing one is refused at
    // once instead of leaving the host to wait for its reply timeout.
    for (Rule& rule : personality.files.rules())
        rules.push_back(std::move(rule));
    state->streams = personality.streams;
    if (!personality.profile_streams.empty()) {
        const auto profile_streams = personality.profile_streams;
        rules.push_back(
            Rule(command::load_profile()).reply_with([state, profile_streams](const Bytes& command) {
                const uint32_t id = u32_at(command, 1);
                for (const auto& [profile, streams] : profile_streams)
                    if (profile == id)
                        state->streams = streams;
                if (state->has_profile)
                    state->profile_id = id;
                return std::vector<Bytes> { ack_reply() };
            }));
    }
    if (personality.profile_id) {
        state->has_profile = true;
        state->profile_id = *personality.profile_id;
        rules.push_back(Rule(command::load_profile()).reply_with([state](const Bytes& command) {
            state->profile_id = u32_at(command, 1);
            return std::vector<Bytes> { ack_reply() };
        }));
    }
    rules.push_back(Rule(command::get_profile_id()).reply_with([state](const Bytes&) {
        if (!state->has_profile)
            return std::vector<Bytes> { error_reply(1) };
        return std::vector<Bytes> { u32_reply(0x74, state->profile_id.load()) };
    }));

    if (personality.zone_limits) {
        state->zone = { personality.zone_limits->min, personality.zone_limits->max };
        const Bytes zone_prefix = PayloadWriter().u8(0x10).u8(0x10).u32(detection_zone_parameter).take();
        rules.push_back(Rule(zone_prefix).reply_with([state](const Bytes& command) {
            if (command.size() >= 14) {
                const std::lock_guard<std::mutex> lock(state->zone_mutex);
                std::memcpy(state->zone.data(), command.data() + 6, 8);
            }
            return std::vector<Bytes> { ack_reply() };
        }));
        const Bytes get_zone = PayloadWriter().u8(0x10).u8(0x11).u32(detection_zone_parameter).take();
        rules.push_back(Rule(get_zone).reply_with([state](const Bytes&) {
            const std::lock_guard<std::mutex> lock(state->zone_mutex);
            return std::vector<Bytes> { f32_reply(
                detection_zone_parameter, { state->zone[0], state->zone[1] }) };
        }));
    }

    // Run streams the data, any other mode pauses it. The streams restart
    // from frame 0 on each run, as a module that restarts its measurement.
    const bool raw_outputs = personality.raw_outputs;
    SimModule* target = &module;
    rules.push_back(Rule(command::set_sensor_mode())
                        .reply_with([state, raw_outputs, target, rate_hz](const Bytes& command) {
                            const uint8_t mode = command.size() > 1 ? command[1] : 0;
                            const uint8_t before = state->sensor_mode.exchange(mode);
                            if (mode == sensor_mode_run && before != sensor_mode_run) {
                                start_streams(*target, state->streams.load(), rate_hz);
                                if (raw_outputs)
                                    start_raw_streams(
                                        *target, *state, rate_hz, baseband_stream | pulse_doppler_stream);
                            } else if (mode != sensor_mode_run) {
                                target->stop_all_streams();
                            }
                            return std::vector<Bytes> { ack_reply() };
                        }));
    if (raw_outputs) {
        rules.push_back(
            Rule(command::set_output_control()).reply_with([state, target, rate_hz](const Bytes& command) {
                const uint32_t output = u32_at(command, 2);
                const bool on = u32_at(command, 6) != 0;
                for (size_t i = 0; i < std::size(raw_output_ids); ++i) {
                    if (raw_output_ids[i] == output) {
                        if (on)
                            state->outputs |= 1u << i;
                        else
                            state->outputs &= ~(1u << i);
                        start_raw_streams(*target, *state, rate_hz,
                            output < output_pulse_doppler_float ? baseband_stream : pulse_doppler_stream);
                    }
                }
                return std::vector<Bytes> { ack_reply() };
            }));
    }
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

Personality demo(const char* name, const char* serial_number, Streams streams)
{
    Personality p;
    p.name = name;
    p.item_number = std::string("SIM-") + (streams == Streams::Presence ? "PRESENCE" : "RESPIRATION") + "-01";
    p.order_code = streams == Streams::Presence ? "SIM-P01-A" : "SIM-R01-A";
    p.firmware_id = name;
    p.firmware_version = streams == Streams::Presence ? "1.4.2" : "2.1.0";
    p.build_info = "simulated build";
    p.app_id_list = name;
    p.serial_number = serial_number;
    p.streams = streams;
    return p;
}

// An application module in normal mode, as the model's maker ships it.
Personality model(const char* name, const char* order_code, const char* item_number,
    const char* serial_number, std::optional<ZoneLimits> zone_limits, Streams streams)
{
    Personality p;
    p.name = name;
    p.pong = pong::normal;
    p.item_number = item_number;
    p.order_code = order_code;
    p.firmware_id = order_code;
    p.firmware_version = "1.6.2";
    p.build_info = "simulated build 2024-05-02";
    p.app_id_list = order_code;
    p.serial_number = serial_number;
    p.zone_limits = zone_limits;
    p.tx_center_frequency = 3;
    p.streams = streams;
    return p;
}

Personality embedded_platform()
{
    Personality p;
    p.name = "dax";
    p.pong = pong::normal;
    p.item_number = "000201-001";
    p.order_code = "DAX";
    p.firmware_id = "DAX";
    p.firmware_version = "3.2.1";
    p.build_info = "simulated build 2024-05-02";
    p.serial_number = "SIMD0000001";
    p.core_id = "sim-core-0001";
    p.bootloader_name = "SARVIK OPENBOOTLOADER";
    p.chip_tx_center_frequency = 4;
    p.downconversion = 1;
    p.chip = ChipFrames();
    return p;
}

// Osprey, Falcon, Merlin and Gannet run a profile, keep a parameter file and
// stream their raw outputs.
Personality with_profile(Personality p, uint32_t profile_id, std::pair<float, float> range_vector)
{
    p.profile_id = profile_id;
    p.range_vector = range_vector;
    p.raw_outputs = true;
    p.files.store(file_type::parameter_file, 0, module_parameter_file(p));
    return p;
}

// Profiles the modules start with: presence, adult respiration.
constexpr uint32_t presence_profile = 0x014D4AB8;
constexpr uint32_t adult_respiration_profile = 0x064E57AD;
// The older module's two profiles.
constexpr uint32_t corvid_sleep_profile = 0x00F17B17;
constexpr uint32_t corvid_respiration_profile = 0x1423A2D6;

std::vector<Personality> all_personalities()
{
    Personality corvid
        = model("corvid", "Corvid", "000095-101", "SIMC0000001", std::nullopt, Streams::Respiration);
    corvid.firmware_version = "1.4.2";
    corvid.streams = Streams::OlderRespiration;
    corvid.profile_streams = { { corvid_sleep_profile, Streams::OlderSleep },
        { corvid_respiration_profile, Streams::OlderRespiration } };

    Personality safe_mode = model(
        "safe-mode", "Falcon", "000140-101", "SIMS0000001", ZoneLimits { 0.4f, 2.5f, 0.05f }, Streams::None);
    safe_mode.pong = pong::safe_mode;
    safe_mode.firmware_id = "SAFEMODE";

    Personality not_listed = model("not-listed", "Osprey", "000120-101", "SIMN0000001",
        ZoneLimits { 0.3f, 7.5f, 0.1f }, Streams::Presence);
    not_listed.pong = pong::not_listed;

    Personality bootloader;
    bootloader.name = "bootloader";
    bootloader.bootloader_info = "SARVIK BOOTLOADER V:1.4.0 H:Falcon R:SIMF0000001";
    Personality open_bootloader;
    open_bootloader.name = "open-bootloader";
    open_bootloader.bootloader_info = "SARVIK OPENBOOTLOADER V:2.0.1 ID:SIM-CORE-0001";

    return {
        demo("presence", "SIMP0000001", Streams::Presence),
        demo("respiration", "SIMR0000001", Streams::Respiration),
        corvid,
        with_profile(model("osprey", "Osprey", "000120-101", "SIMO0000001", ZoneLimits { 0.3f, 7.5f, 0.1f },
                         Streams::Presence),
            presence_profile, { 0.2f, 7.9f }),
        with_profile(model("falcon", "Falcon", "000140-101", "SIMF0000001", ZoneLimits { 0.4f, 2.5f, 0.05f },
                         Streams::VitalSigns),
            adult_respiration_profile, { 0.3f, 2.9f }),
        with_profile(model("merlin", "Merlin", "000150-101", "SIMM0000001", ZoneLimits { 0.4f, 3.0f, 0.05f },
                         Streams::VitalSigns),
            adult_respiration_profile, { 0.3f, 3.4f }),
        with_profile(model("gannet", "Gannet", "000160-101", "SIMG0000001", ZoneLimits { 0.4f, 4.0f, 0.05f },
                         Streams::VitalSigns),
            adult_respiration_profile, { 0.3f, 4.4f }),
        embedded_platform(),
        safe_mode,
        not_listed,
        bootloader,
        open_bootloader,
    };
}

} // namespace

std::vector<float> chip_frame_values(FramePattern pattern, uint64_t index, uint32_t bins, bool downconverted)
{
    const size_t count = downconverted ? 2 * size_t { bins } : 8 * size_t { bins };
    std::vector<float> values(count, 0.0f);
    switch (pattern) {
    case FramePattern::Zeros:
        break;
    case FramePattern::Ramp:
        for (size_t i = 0; i < count; ++i)
            values[i] = static_cast<float>(i + 1);
        break;
    case FramePattern::Target: {
        // Ranges in bins: the reflector's envelope over a faint floor, a
        // phase that turns with the frame and with the range.
        const double t = static_cast<double>(index) / 17.0;
        const double target = (2.0 + 0.5 * std::sin(2 * pi * t / 10.0)) / 0.05144032835;
        const auto envelope = [target](double bin) {
            const double d = bin - target;
            return 0.002 + std::exp(-d * d / 18.0);
        };
        if (downconverted) {
            for (uint32_t k = 0; k < bins; ++k) {
                const double phase = 0.9 * k + 0.7 * t;
                values[k] = static_cast<float>(envelope(k) * std::cos(phase));
                values[bins + k] = static_cast<float>(envelope(k) * std::sin(phase));
            }
        } else {
            for (size_t j = 0; j < count; ++j)
                values[j] = static_cast<float>(envelope(j / 8.0) * std::cos(2 * pi * j / 4.0 + 0.7 * t));
        }
        break;
    }
    }
    return values;
}

std::vector<std::string> frame_pattern_names()
{
    return { "target", "ramp", "zeros" };
}

std::optional<FramePattern> frame_pattern(const std::string& name)
{
    if (name == "target")
        return FramePattern::Target;
    if (name == "ramp")
        return FramePattern::Ramp;
    if (name == "zeros")
        return FramePattern::Zeros;
    return std::nullopt;
}

Bytes module_parameter_file(const Personality& personality)
{
    if (!personality.zone_limits || !personality.range_vector)
        return {};
    char text[512];
    const int length = std::snprintf(text, sizeof text,
        "# %s module parameters\n"
        "FrameRate = 17;\n"
        "RangeVec = {%g, %g};\n"
        "ZoneSpan = {%g, %g};\n"
        "ZoneStep = %g;\n",
        personality.order_code.c_str(), static_cast<double>(personality.range_vector->first),
        static_cast<double>(personality.range_vector->second),
        static_cast<double>(personality.zone_limits->min), static_cast<double>(personality.zone_limits->max),
        static_cast<double>(personality.zone_limits->step));
    if (length <= 0)
        return {};
    return Bytes(text, text + std::min<size_t>(static_cast<size_t>(length), sizeof text - 1));
}

std::vector<std::string> personality_names()
{
    std::vector<std::string> names;
    for (const Personality& p : all_personalities())
        names.push_back(p.name);
    return names;
}

Personality personality(const std::string& name)
{
    for (Personality& p : all_personalities())
        if (p.name == name)
            return std::move(p);
    throw std::invalid_argument("unknown personality \"" + name + "\"");
}

void apply_personality(SimModule& module, const Personality& personality, double rate_hz)
{
    if (!(rate_hz > 0) || !std::isfinite(rate_hz))
        throw std::invalid_argument("rate must be a positive number of packets per second");
    module.stop_all_streams();
    if (personality.bootloader_info) {
        // A bootloader knows its own three requests only.
        BootloaderScript script;
        script.info = *personality.bootloader_info;
        module.set_rules(bootloader_rules(script));
        return;
    }
    module.set_rules(application_rules(module, personality, rate_hz));
    start_streams(module, personality.streams, rate_hz);
}

void apply_personality(SimModule& module, const std::string& name, double rate_hz)
{
    apply_personality(module, personality(name), rate_hz);
}

} // namespace simmodule
