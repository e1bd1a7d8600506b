// The older chip interface and the system commands: chip values,
// registers, the timing measurement, frames, system configuration values,
// hand-built chip pin and SPI commands and decimated frames. These await one
// answer prefix only (exchange_single): a module error packet is never their
// answer, so a refused command ends in the reply timeout.
#include "command/RadarInterface.hpp"

#include <cstring>
#include <optional>
#include <stdexcept>

#include <linkwell/SarvikException.hpp>

#include "command/CommandRow.hpp"
#include "command/ReplyValue.hpp"
#include "common/LittleEndian.hpp"
#include "link/AbstractRadarCommunicator.hpp"
#include "log/ConsoleAndFileLogger.hpp"

namespace {

// Replies carry their data from this byte on.
constexpr std::size_t payload_offset = 14;

// The answer of a setter of the older interface: {0x11, 0x00, the command's
// operation byte}.
Bytes setter_answer(uint8_t operation)
{
    return { LINKWELL_MESSAGE_REPLY, 0x00, operation };
}

// The setters that drop their answer: its arrival is the acknowledgement. An
// empty answer comes only from a closed connection, where the command never
// went out, and must not read as success.
int arrival_status(const Bytes& answer)
{
    return answer.empty() ? 1 : 0;
}

// The first four data bytes of an answer decoded as a reply, when it has
// them.
std::optional<uint32_t> leading_u32(const Parser& parser, const Bytes& answer)
{
    ParseResult<Reply> result;
    parser.parse_reply(answer, &result);
    if (result.error || !result.valid || result.record.length < 4 || !result.record.data)
        return std::nullopt;
    return little_endian::u32(result.record.data);
}

// The answer value of the older system setters: its first four data bytes,
// or 1 for an answer that is empty or carries no value.
int answer_value(const Parser& parser, const Bytes& answer)
{
    const std::optional<uint32_t> value = leading_u32(parser, answer);
    return value ? static_cast<int>(*value) : 1;
}

// The first data byte of a value answer; an answer too short to carry it
// (the empty answer of a closed connection included) is refused, not read.
uint8_t first_data_byte(const Bytes& answer, const char* method)
{
    if (answer.size() <= payload_offset)
        throw std::runtime_error(std::string(method) + ": no value in the answer");
    return answer[payload_offset];
}

// A decimated frame as the receiver delivers it: 0x51, u32 length, u32 frame
// counter, 13 bytes not read here, then the samples, 6 bytes each.
constexpr std::size_t decimated_counter_offset = 5;
constexpr std::size_t decimated_samples_offset = 22;
constexpr std::size_t decimated_sample_size = 6;

// A 48-bit signed sample: the unsigned low 32 bits, then the signed high 16.
double decimated_sample(const uint8_t* bytes)
{
    const int64_t high = little_endian::i16(bytes + 4);
    return static_cast<double>(high * (int64_t { 1 } << 32) + int64_t { little_endian::u32(bytes) });
}

} // namespace

// ==== The older chip interface ==============================================

float RadarInterface::get_z3_float(uint32_t id)
{
    // No blank before the method name: callers match this text.
    return get<float>(
        getter("get_z3_float", { { LINKWELL_MESSAGE_REPLY, f32_value, 0x14 } }, "error parsing reply in"),
        commands.create_get_float(id));
}

uint32_t RadarInterface::get_z3_int(uint32_t id)
{
    return get<uint32_t>(
        getter("get_z3_int", { { LINKWELL_MESSAGE_REPLY, u32_value, 0x12 } }), commands.create_get_int(id));
}

void RadarInterface::set_debug_level(uint8_t level)
{
    const Bytes reply = answer(
        single_reply("set_debug_level", { LINKWELL_MESSAGE_ACK }), commands.create_set_debug_level(level));
    if (reply.empty() || reply[0] == LINKWELL_MESSAGE_ERROR)
        throw Sarvik::SarvikException("set_debug_level returned error", 1);
}

int RadarInterface::set_Z3_float(uint32_t id, float value)
{
    return answer_value(parser,
        answer(single_reply("set_Z3_float", setter_answer(0x13)), commands.create_set_float(id, value)));
}

int RadarInterface::set_Z3_int(uint32_t id, uint32_t value)
{
    return answer_value(
        parser, answer(single_reply("set_Z3_int", setter_answer(0x11)), commands.create_set_int(id, value)));
}

int RadarInterface::set_Z3_register(uint32_t address, uint32_t value)
{
    return answer_value(parser,
        answer(single_reply("set_Z3_register", setter_answer(0x15)),
            commands.create_set_register(address, value)));
}

uint32_t RadarInterface::get_z3_register(uint32_t address)
{
    const Bytes reply = answer(single_reply("get_z3_register", { LINKWELL_MESSAGE_REPLY, u32_value, 0x16 }),
        commands.create_get_register(address));
    const std::optional<uint32_t> value = leading_u32(parser, reply);
    if (!value)
        throw std::runtime_error("parse_reply failed in get_z3_register");
    return *value;
}

int RadarInterface::run_timing_measurement()
{
    // The measurement itself takes the module a long while.
    constexpr unsigned timing_measurement_timeout = 70;
    return answer_value(parser,
        answer(single_reply("run_timing_measurement", setter_answer(0x20)),
            commands.create_run_timing_measurement(), timing_measurement_timeout));
}

int RadarInterface::set_fps(uint32_t fps)
{
    constexpr int fps_config_id = 26;
    return arrival_status(answer(single_reply("set_fps", { LINKWELL_MESSAGE_ACK }),
        commands.create_config_set_int(fps_config_id, static_cast<int>(fps))));
}

RawNormalizedFrame RadarInterface::capture_single_normalized_frame()
{
    const Bytes reply = answer(single_reply("capture_single_normalized_frame", { LINKWELL_MESSAGE_REPLY }),
        commands.create_get_frame());
    ParseResult<Reply> result;
    parser.parse_reply(reply, &result);
    // This reply's length field counts floats, not bytes.
    const uint64_t length = result.record.length;
    if (result.error || !result.valid || payload_offset + 4 * length > reply.size())
        throw std::runtime_error("parser error of reply in capture_single_normalized_frame");
    RawNormalizedFrame frame;
    frame.info = result.record.info;
    frame.data.resize(length);
    if (length)
        std::memcpy(frame.data.data(), &reply[payload_offset], 4 * length);
    return frame;
}

void RadarInterface::set_sensor_mode(uint8_t mode)
{
    Trace trace(logger, 3, "set_sensor_mode");
    set_sensor_mode_and_submode(mode, 0);
}

int RadarInterface::system_run_test(uint8_t code)
{
    return arrival_status(answer(
        single_reply("system_run_test", { LINKWELL_MESSAGE_ACK }), commands.create_config_run_test(code)));
}

int RadarInterface::set_debug_level_no_throw(uint8_t level)
{
    return no_throw([&] { set_debug_level(level); });
}

// ==== System configuration values ===========================================

int RadarInterface::set_sys_config_int(uint32_t id, uint32_t value)
{
    return arrival_status(answer(single_reply("set_sys_config_int", { LINKWELL_MESSAGE_ACK }),
        commands.create_config_set_int(static_cast<int>(id), static_cast<int>(value))));
}

int RadarInterface::set_sys_config_float(uint32_t id, float value)
{
    return arrival_status(answer(single_reply("set_sys_config_float", { LINKWELL_MESSAGE_ACK }),
        commands.create_config_set_float(static_cast<int>(id), value)));
}

// ==== Chip pins, SPI and frame rate by hand-built payloads ==================

uint8_t RadarInterface::get_z7_io_pin_value(uint8_t pin)
{
    return first_data_byte(answer(single_reply("get_z7_io_pin_value", { LINKWELL_MESSAGE_REPLY, u32_value }),
                               commands.create_command({ 0x90, 0x36, pin })),
        "get_z7_io_pin_value");
}

int RadarInterface::set_z7_io_pin_value(uint8_t pin, uint8_t value)
{
    return arrival_status(answer(untraced(single_reply("set_z7_io_pin_value", setter_answer(0x35))),
        commands.create_command({ 0x90, 0x35, pin, value })));
}

int RadarInterface::set_z7_io_pin_mode(uint8_t pin, uint8_t mode)
{
    return arrival_status(
        answer(untraced(single_reply("set_z7_io_pin_mode", { LINKWELL_MESSAGE_REPLY, 0x00 })),
            commands.create_command({ 0x90, 0x21, pin, mode })));
}

int RadarInterface::set_z7_io_pin_dir(uint8_t pin, uint8_t direction)
{
    return arrival_status(
        answer(untraced(single_reply("set_z7_io_pin_dir", { LINKWELL_MESSAGE_REPLY, 0x00 })),
            commands.create_command({ 0x90, 0x34, pin, direction })));
}

int RadarInterface::set_z7_io_pin_enable(uint8_t pin)
{
    return arrival_status(
        answer(untraced(single_reply("set_z7_io_pin_enable", { LINKWELL_MESSAGE_REPLY, 0x00 })),
            commands.create_command({ 0x90, 0x37, pin })));
}

int RadarInterface::set_z7_io_pin_disable(uint8_t pin)
{
    return arrival_status(
        answer(untraced(single_reply("set_z7_io_pin_disable", { LINKWELL_MESSAGE_REPLY, 0x00 })),
            commands.create_command({ 0x90, 0x38, pin })));
}

uint8_t RadarInterface::read_z7_spi(uint8_t address)
{
    return first_data_byte(
        answer(untraced(single_reply("read_z7_spi", { LINKWELL_MESSAGE_REPLY, u32_value, 0x32 })),
            commands.create_command({ 0x90, 0x32, address })),
        "read_z7_spi");
}

int RadarInterface::write_z7_spi(uint8_t address, uint8_t value)
{
    // Bit 7 of the address marks a write to the chip's register.
    const auto write_address = static_cast<uint8_t>(address | 0x80);
    return arrival_status(answer(untraced(single_reply("write_z7_spi", setter_answer(0x33))),
        commands.create_command({ 0x90, 0x33, write_address, value })));
}

int RadarInterface::set_z7_fps(uint32_t fps)
{
    Bytes payload { 0x90, 0x24 };
    little_endian::append_u32(payload, fps);
    return arrival_status(
        answer(untraced(single_reply("set_z7_fps", setter_answer(0x24))), commands.create_command(payload)));
}

// ==== Decimated frames ======================================================

int RadarInterface::subscribe_to_z7_desim(const std::string& name)
{
    return subscribe(name, Bytes { LINKWELL_MESSAGE_DECIMATED_FRAME });
}

int RadarInterface::get_z7_decim_frame(
    const std::string& name, uint32_t* frame_counter, double* samples, uint32_t capacity)
{
    Trace trace(logger, 3, "get_z7_decim_frame");
    // Held to the end: a destruction from another thread waits for it, so
    // the members used below are still there.
    auto use = communicator.use();
    const Bytes packet = use->get_packet(name);
    if (packet.empty() || packet[0] != LINKWELL_MESSAGE_DECIMATED_FRAME) {
        logger.error("packet is not fast appdata packet");
        return 1;
    }
    if (packet.size() < decimated_counter_offset + 4)
        return 1;
    // The counter is handed out even when the samples are refused below.
    if (frame_counter)
        *frame_counter = little_endian::u32(&packet[decimated_counter_offset]);
    if (packet.size() < decimated_samples_offset)
        return 1;
    const std::size_t count = (packet.size() - decimated_samples_offset) / decimated_sample_size;
    if (count > capacity || (count > 0 && !samples))
        return 1;
    for (std::size_t i = 0; i < count; ++i)
        samples[i] = decimated_sample(&packet[decimated_samples_offset + i * decimated_sample_size]);
    return 0;
}
