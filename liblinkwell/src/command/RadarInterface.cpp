#include "command/RadarInterface.hpp"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <thread>
#include <tuple>

#include "common/LittleEndian.hpp"
#include "link/AbstractFactory.hpp"
#include "link/AbstractIo.hpp"
#include "link/RadarCommunicator.hpp"
#include "link/VoidRadarCommunicator.hpp"
#include "log/ConsoleAndFileLogger.hpp"
#include "protocol/protocol_records.hpp"
#include <linkwell/SarvikException.hpp>
#include <linkwell/protocol_framing.h>
#include <linkwell/protocol_parser.h>

using Sarvik::SarvikException;

namespace {

// ==== Shared helpers ========================================================

const char* const presence_single_queue = "name_of_presence_single_subscription";
const char* const presence_movinglist_queue = "name_of_presence_movinglist_subscription";
const char* const trace_channel = "log_trace";

constexpr int reconnect_attempts = 3;

// Replies to get commands and generic data messages carry their text or data
// from this byte on.
constexpr std::size_t payload_offset = 14;

constexpr uint8_t ack_byte = 0x10;
constexpr uint8_t error_byte = 0x20;

using little_endian::u32;

// An application-data message is matched by 0x50 and its content id.
Bytes appdata_prefix(unsigned content_id)
{
    Bytes prefix { 0x50 };
    little_endian::append_u32(prefix, content_id);
    return prefix;
}

// Everything from the offset on, byte for byte; nothing for a packet that
// ends before it (an empty packet of a closed connection included).
std::string text_from(const Bytes& packet, std::size_t offset)
{
    if (packet.size() <= offset)
        return {};
    return std::string(packet.begin() + static_cast<std::ptrdiff_t>(offset), packet.end());
}

// ==== Reply checks ==========================================================

// The acknowledgement check of the set commands: an empty reply and an
// error reply fail; anything else passes.
void handle_ack(const Bytes& reply, std::string method_name)
{
    if (reply.empty())
        throw SarvikException(method_name + " response from module is empty", 1);
    if (reply[0] != error_byte)
        return;
    // An error reply too short for its code still fails, with a code of its
    // own.
    const int code = reply.size() >= 5 ? static_cast<int>(u32(&reply[1])) : 32;
    throw SarvikException(method_name + ": module reponded with QRB_SPR_ERROR", code);
}

// The error-byte check: the module's code is not read.
void check_error_byte(const Bytes& reply, const char* failure_text)
{
    if (reply.empty() || reply[0] == error_byte)
        throw SarvikException(failure_text, 1);
}

// The first four data bytes of a reply, when it has them.
std::optional<uint32_t> leading_u32(const Reply& reply)
{
    if (reply.length < 4 || !reply.data)
        return std::nullopt;
    return u32(reply.data);
}

// ==== Decoded records =======================================================
//
// The decoders check every count against the packet; the readers check once
// more, in 64 bits, that each array a record points to lies wholly inside its
// packet before anything is copied out of it.

bool span_within(const Bytes& packet, const void* items, uint64_t count, uint64_t element_size)
{
    if (count == 0)
        return true;
    if (!items || packet.empty())
        return false;
    const auto begin = reinterpret_cast<uintptr_t>(packet.data());
    const auto at = reinterpret_cast<uintptr_t>(items);
    if (at < begin)
        return false;
    return uint64_t(at - begin) + count * element_size <= packet.size();
}

template <typename Record> bool arrays_within(const Record&, const Bytes&)
{
    return true;
}

bool arrays_within(const PresenceMovingListData& r, const Bytes& p)
{
    const uint64_t m = r.movement_interval_count;
    const uint64_t d = r.detection_count;
    return span_within(p, r.movement_slow_items, m, 4) && span_within(p, r.movement_fast_items, m, 4)
        && span_within(p, r.detection_distance_items, d, 4)
        && span_within(p, r.detection_radar_cross_section_items, d, 4)
        && span_within(p, r.detection_velocity_items, d, 4);
}

bool arrays_within(const RespirationMovingListData& r, const Bytes& p)
{
    return span_within(p, r.movement_slow_items, r.movement_interval_count, 4)
        && span_within(p, r.movement_fast_items, r.movement_interval_count, 4);
}

bool arrays_within(const RespirationDetectionListData& r, const Bytes& p)
{
    return span_within(p, r.detection_distance_items, r.detection_count, 4)
        && span_within(p, r.detection_radar_cross_section_items, r.detection_count, 4)
        && span_within(p, r.detection_velocity_items, r.detection_count, 4);
}

bool arrays_within(const RespirationNormalizedMovementListData& r, const Bytes& p)
{
    return span_within(p, r.normalized_movement_slow_items, r.count, 4)
        && span_within(p, r.normalized_movement_fast_items, r.count, 4);
}

bool arrays_within(const BasebandIqData& r, const Bytes& p)
{
    return span_within(p, r.i_data, r.num_bins, 4) && span_within(p, r.q_data, r.num_bins, 4);
}

bool arrays_within(const BasebandApData& r, const Bytes& p)
{
    return span_within(p, r.amplitude, r.num_bins, 4) && span_within(p, r.phase, r.num_bins, 4);
}

bool arrays_within(const RadarRfData& r, const Bytes& p)
{
    return span_within(p, r.data, r.num_bins, 4);
}

bool arrays_within(const RadarRfNormalizedData& r, const Bytes& p)
{
    return span_within(p, r.data, r.num_bins, 4);
}

bool arrays_within(const RadarBasebandFloatData& r, const Bytes& p)
{
    return span_within(p, r.i_data, r.num_bins, 4) && span_within(p, r.q_data, r.num_bins, 4);
}

bool arrays_within(const RadarBasebandQ15Data& r, const Bytes& p)
{
    return span_within(p, r.i_data, r.num_bins, 2) && span_within(p, r.q_data, r.num_bins, 2);
}

bool arrays_within(const PulseDopplerFloatData& r, const Bytes& p)
{
    return span_within(p, r.data, r.count, 4);
}

bool arrays_within(const PulseDopplerByteData& r, const Bytes& p)
{
    return span_within(p, r.data, r.count, 1);
}

bool arrays_within(const FloatData_& r, const Bytes& p)
{
    return span_within(p, r.data, r.length, 4);
}

template <typename Codec> auto public_record(const Codec& record)
{
    return to_public(record);
}

unsigned int public_record(const SystemStatus& record)
{
    return record.status;
}

// A generic data message (A0, sub-type, content id, info, length, payload
// from byte 14): the header fields when the packet is one of this sub-type.
std::optional<std::pair<unsigned, unsigned>> generic_data_header(const Bytes& packet, uint8_t subtype)
{
    if (packet.size() < payload_offset)
        return std::nullopt;
    if (packet[0] != 0xA0 || packet[1] != subtype)
        return std::nullopt;
    return std::make_pair(u32(&packet[2]), u32(&packet[6]));
}

} // namespace

// ==== Connection lifecycle ==================================================

RadarInterface::RadarInterface(
    AbstractIo& module_io, const std::string& name, AbstractFactory& transport_factory, Logger& log)
    : io(module_io)
    , factory(transport_factory)
    , device_name(name)
    , logger(log)
    , communicator(std::make_unique<RadarCommunicator>(module_io, transport_factory, log))
    , parser(log)
    , default_timeout(2)
    , baseband_ap_queue_name("baseband_ap_subscription_id")
    , baseband_iq_queue_name("baseband_iq_subscription_id")
    , pulsedoppler_float_queue_name("pulsedoppler_float_subscription_id")
    , noisemap_float_queue_name("noisemap_float_subscription_id")
    , pulsedoppler_byte_queue_name("pulsedoppler_byte_subscription_id")
    , noisemap_byte_queue_name("noisemap_byte_subscription_id")
    , data_float_queue_name("d4d70752-c146-11e6-a4a6-cec0c932ce01")
    , data_string_queue_name("2588cebf-cbcb-40af-b0ad-37d7e959ae1a")
    , data_byte_queue_name("0d80de13-d19a-4563-8657-e7209e6fa2ee")
    , system_status_queue_name("system_message_subscription_id")
    , resp_status_queue_name("respiration_legacy_subscription_id")
    , sleep_status_queue_name("respiration_sleep_subscription_id")
    , respiration_movinglist_queue_name("respiration_movinglist_subscription_id")
    , respiration_detectionlist_queue_name("respiration_detectionlist_subscription_id")
    , respiration_normalizedmovementlist_queue_name("respiration_normalizedmovementlist_subscription_id")
    , vital_signs_queue_name("vital_signs_subscription_id")
    , sleepstage_queue_name("sleepstage_subscription_id")
    , radar_rf_queue_name("radar_rf_subscription_id")
    , radar_rf_normalized_queue_name("radar_rf_normalized_subscription_id")
    , radar_baseband_float_queue_name("radar_baseband_float_subscription_id")
    , radar_baseband_q15_queue_name("radar_baseband_q15_subscription_id")
{
    Trace trace(logger, 3, "RadarInterface - base");
    // Even an unopened connection logs what the module says once opened.
    log_trace();
    logger.log(1, std::string("git sha: ") + get_radar_com_version());
    logger.log(1, std::string("build date: ") + get_radar_com_build_date());
    if (!device_name.empty()) {
        auto_subscribe();
        if (communicator.use()->open(device_name) != 0)
            throw std::runtime_error("unable to open file: " + device_name);
    }
}

RadarInterface::~RadarInterface()
{
    {
        Trace trace(logger, 3, "~RadarInterface");
    }
    // The closed communicator goes in first: destroying the live one removes
    // the trace channel's callback before its thread stops, so no packet
    // reaches this object while its members go. A reader still waiting in a
    // queue is woken and has left before anything is destroyed.
    communicator.replace(std::make_unique<VoidRadarCommunicator>());
}

int RadarInterface::open(const std::string& name)
{
    Trace trace(logger, 3, "open");
    device_name = name;
    // The old communicator is gone, its thread joined and its io closed,
    // before the new one is made on the same io.
    communicator.replace(std::make_unique<VoidRadarCommunicator>());
    communicator.replace(std::make_unique<RadarCommunicator>(io, factory, logger));
    log_trace();
    auto_subscribe();
    return communicator.use()->open(device_name);
}

void RadarInterface::open_throw(const std::string& name)
{
    throw_if_error([&] { return open(name); });
}

void RadarInterface::close()
{
    Trace trace(logger, 3, "close");
    communicator.replace(std::make_unique<VoidRadarCommunicator>());
}

void RadarInterface::reset()
{
    Trace trace(logger, 3, "reset");
    const AbstractRadarCommunicator::Subscriptions saved = communicator.use()->get_subscriptions();
    module_reset();
    for (int attempt = 0; attempt < reconnect_attempts; ++attempt) {
        try {
            close();
            (logger.slog(0) << "waiting for device to come back ...").flush();
            pause_before_reconnect();
            if (open(device_name) != 0)
                throw SarvikException("open failed in reset", 1);
            // open() made the default queues already; the saved entries
            // replace them under the same names and bring back the caller's.
            auto use = communicator.use();
            for (const auto& [name, entry] : saved) {
                if (entry.second)
                    use->subscribe(name, entry.second, entry.first);
                else
                    use->subscribe(name, entry.first);
            }
            return;
        } catch (...) {
            // Another attempt, or the failure below.
        }
    }
    throw SarvikException("failed to reconnect after reset", 1);
}

int RadarInterface::reset_no_throw()
{
    return no_throw([&] { reset(); });
}

void RadarInterface::pause_before_reconnect()
{
    std::this_thread::sleep_for(std::chrono::seconds(3));
}

// ==== Generic sending =======================================================

Bytes RadarInterface::send_command_single(const Bytes& payload, const Bytes& response_prefix)
{
    Trace trace(logger, 3, "send_command_single");
    auto use = communicator.use();
    return use->send(default_timeout, commands.create_command(payload), response_prefix);
}

Bytes RadarInterface::send_command_multi(const Bytes& payload, const std::vector<Bytes>& response_prefixes)
{
    Trace trace(logger, 3, "send_command_multi");
    auto use = communicator.use();
    return use->send(default_timeout, commands.create_command(payload), response_prefixes);
}

int RadarInterface::send_command(const Bytes& bytes)
{
    Trace trace(logger, 3, "send_command");
    communicator.use()->send(bytes);
    return 0;
}

// ==== Queues ================================================================

int RadarInterface::subscribe(const std::string& name, const Bytes& prefix)
{
    Trace trace(logger, 3, "subscribe");
    communicator.use()->subscribe(name, prefix);
    return 0;
}

void RadarInterface::unsubscribe(const std::string& name)
{
    Trace trace(logger, 3, "unsubscribe");
    communicator.use()->unsubscribe(name);
}

int RadarInterface::get_number_of_packets(const std::string& name)
{
    Trace trace(logger, 3, "get_number_of_packets");
    return communicator.use()->get_number_of_packets(name);
}

void RadarInterface::clear(const std::string& name)
{
    Trace trace(logger, 3, "clear");
    communicator.use()->clear(name);
}

Bytes RadarInterface::get_packet(const std::string& name)
{
    Trace trace(logger, 3, "get_packet");
    auto use = communicator.use();
    return use->get_packet(name);
}

// ==== Module trace channel ==================================================

int RadarInterface::log_trace()
{
    Trace trace(logger, 3, "log_trace");
    communicator.use()->subscribe(
        trace_channel, [this](Bytes packet) { return log_module_trace(packet); }, Bytes { 0xA0, 0x13 });
    return 0;
}

bool RadarInterface::log_module_trace(const Bytes& packet)
{
    (logger.slog(2) << "trace: " << text_from(packet, payload_offset)).flush();
    return true;
}

std::string RadarInterface::get_trace(const std::string& name)
{
    Trace trace(logger, 3, "get_trace");
    auto use = communicator.use();
    return text_from(use->get_packet(name), payload_offset);
}

// ==== Settings and logging ==================================================

void RadarInterface::set_default_timeout(unsigned seconds)
{
    default_timeout = seconds;
}

int RadarInterface::set_log_level(int level)
{
    logger.set_log_level(level);
    return 0;
}

void RadarInterface::log(unsigned level, const std::string& text)
{
    logger.log(level, text);
}

std::string RadarInterface::git_sha()
{
    return get_radar_com_version();
}

std::string RadarInterface::build_date()
{
    return get_radar_com_build_date();
}

// ==== Error machinery =======================================================

void RadarInterface::throw_if_error(std::function<int()> f)
{
    const int result = f();
    if (result != 0)
        throw SarvikException("method failed", result);
}

int RadarInterface::try_and_catch(std::function<void()> f)
{
    try {
        f();
        return 0;
    } catch (const SarvikException& e) {
        (logger.serror() << e.what() << " error code: " << e.code).flush();
        // A module may well report an error with the code 0; it is still a
        // failure, and its outputs were not written.
        return e.code == 0 ? 1 : e.code;
    } catch (...) {
        return 1;
    }
}

std::optional<Reply> RadarInterface::decode_reply(const Bytes& packet) const
{
    ParseResult<Reply> result;
    parser.parse_reply(packet, &result);
    if (result.error || !result.valid)
        return std::nullopt;
    return result.record;
}

// ==== Module identity, sensor mode and LED ==================================

std::string RadarInterface::get_system_info(uint8_t code)
{
    Trace trace(logger, 3, "get_system_info");
    auto use = communicator.use();
    const Bytes reply = use->send(default_timeout, commands.create_get_system_info(code),
        std::vector<Bytes> { { 0x11, 0x13, 0x58 }, { 0x20 } });
    const std::optional<Reply> decoded = decode_reply(reply);
    if (!decoded)
        throw std::runtime_error("error parsing reply in get_system_info");
    if (decoded->length == 0)
        return {};
    return std::string(reinterpret_cast<const char*>(decoded->data), decoded->length);
}

void RadarInterface::set_sensor_mode_and_submode(uint8_t mode, uint8_t submode)
{
    Trace trace(logger, 3, "set_sensor_mode_and_submode");
    auto use = communicator.use();
    const Bytes reply = use->send(default_timeout, commands.create_set_sensor_mode(mode, submode),
        std::vector<Bytes> { { 0x10 }, { 0x20 } });
    check_error_byte(reply, "set sensor mode failed");
}

namespace {

// The reply prefixes of a command that only sets something.
std::vector<Bytes> ack_or_error()
{
    return { { 0x10 }, { 0x20 } };
}

using little_endian::f32;

// A get reply decoded, where a reply whose data holds fewer than `needed`
// bytes counts as refused, with the parser's own code for a packet too short.
ParseResult<Reply> parse_get_reply(const Parser& parser, const Bytes& reply, uint32_t needed)
{
    ParseResult<Reply> result;
    parser.parse_reply(reply, &result);
    if (!result.error && (!result.valid || result.record.length < needed || !result.record.data)) {
        result.error = true;
        result.error_code = LINKWELL_PARSE_ERROR_LENGTH;
    }
    return result;
}

// The data of a get reply that holds at least `needed` bytes (at least 1);
// std::runtime_error "parse_reply failed in <method>" otherwise. The data
// points into the reply.
const uint8_t* reply_data(const Parser& parser, const Bytes& reply, uint32_t needed, const char* method)
{
    const ParseResult<Reply> result = parse_get_reply(parser, reply, needed);
    if (result.error)
        throw std::runtime_error(std::string("parse_reply failed in ") + method);
    return result.record.data;
}

// The same with the failure as SarvikException carrying the module's or the
// parser's code.
const uint8_t* reply_data_or_code(
    const Parser& parser, const Bytes& reply, uint32_t needed, const char* failure)
{
    const ParseResult<Reply> result = parse_get_reply(parser, reply, needed);
    if (result.error)
        throw SarvikException(failure, static_cast<int>(result.error_code));
    return result.record.data;
}

// The ack-record check: a reply the parser does not take as an
// acknowledgement throws the text with its code (the module's for an error
// reply, 5 for the empty reply of a closed connection).
void check_ack_record(const Parser& parser, const Bytes& reply, const std::string& failure)
{
    ParseResult<Ack> result;
    parser.parse_ack(reply, &result);
    if (result.error || !result.valid)
        throw SarvikException(failure, result.error ? static_cast<int>(result.error_code) : 1);
}

} // namespace

int RadarInterface::get_system_info(uint8_t code, std::string* info)
{
    Trace trace(logger, 3, "get_system_info");
    auto use = communicator.use();
    const Bytes reply = use->send(default_timeout, commands.create_get_system_info(code),
        std::vector<Bytes> { { 0x11, 0x13, 0x58 }, { 0x20 } });
    const std::optional<Reply> decoded = decode_reply(reply);
    if (!decoded)
        return -1;
    *info = decoded->length ? std::string(reinterpret_cast<const char*>(decoded->data), decoded->length)
                            : std::string();
    return 0;
}

std::string RadarInterface::get_item_number()
{
    return get_system_info(0);
}

int RadarInterface::get_item_number(std::string* text)
{
    return no_throw([&] { return get_item_number(); }, text);
}

std::string RadarInterface::get_order_code()
{
    return get_system_info(1);
}

int RadarInterface::get_order_code(std::string* text)
{
    return no_throw([&] { return get_order_code(); }, text);
}

std::string RadarInterface::get_firmware_id()
{
    return get_system_info(2);
}

int RadarInterface::get_firmware_id(std::string* text)
{
    return no_throw([&] { return get_firmware_id(); }, text);
}

std::string RadarInterface::get_firmware_version()
{
    return get_system_info(3);
}

int RadarInterface::get_firmware_version(std::string* text)
{
    return no_throw([&] { return get_firmware_version(); }, text);
}

std::string RadarInterface::get_build_info()
{
    return get_system_info(4);
}

int RadarInterface::get_build_info(std::string* text)
{
    return no_throw([&] { return get_build_info(); }, text);
}

std::string RadarInterface::get_app_id_list()
{
    return get_system_info(5);
}

int RadarInterface::get_app_id_list(std::string* text)
{
    return no_throw([&] { return get_app_id_list(); }, text);
}

std::string RadarInterface::get_serial_number()
{
    return get_system_info(6);
}

int RadarInterface::get_serial_number(std::string* text)
{
    return no_throw([&] { return get_serial_number(); }, text);
}

void RadarInterface::set_sensor_mode_run()
{
    set_sensor_mode(0x01);
}

void RadarInterface::set_sensor_mode_idle()
{
    set_sensor_mode(0x11);
}

uint8_t RadarInterface::get_sensor_mode()
{
    Trace trace(logger, 3, "get_sensor_mode");
    auto use = communicator.use();
    const Bytes reply = use->send(
        default_timeout, commands.create_get_sensor_mode(), std::vector<Bytes> { { 0x11, 0x10 }, { 0x20 } });
    return reply_data(parser, reply, 1, "get_sensor_mode")[0];
}

int RadarInterface::set_sensor_mode_and_submode_no_throw(uint8_t mode, uint8_t submode)
{
    return no_throw([&] { set_sensor_mode_and_submode(mode, submode); });
}

int RadarInterface::set_sensor_mode_no_throw(uint8_t mode)
{
    return set_sensor_mode_and_submode_no_throw(mode, 0);
}

int RadarInterface::set_sensor_mode_run_no_throw()
{
    return no_throw([&] { set_sensor_mode(0x01); });
}

int RadarInterface::set_sensor_mode_idle_no_throw()
{
    return no_throw([&] { set_sensor_mode(0x11); });
}

int RadarInterface::get_sensor_mode_no_throw(uint8_t* mode)
{
    return no_throw([&] { return get_sensor_mode(); }, mode);
}

void RadarInterface::set_led_control(uint8_t mode, uint8_t parameter)
{
    Trace trace(logger, 3, "set_led_control");
    auto use = communicator.use();
    const Bytes reply
        = use->send(default_timeout, commands.create_set_led_control(mode, parameter), ack_or_error());
    check_error_byte(reply, "set_led_control failed");
}

uint8_t RadarInterface::get_led_control()
{
    Trace trace(logger, 3, "get_led_control");
    auto use = communicator.use();
    const Bytes reply = use->send(
        default_timeout, commands.create_get_led_control(), std::vector<Bytes> { { 0x11, 0x10 }, { 0x20 } });
    return reply_data(parser, reply, 1, "get_led_control")[0];
}

int RadarInterface::set_led_control_no_throw(uint8_t mode, uint8_t parameter)
{
    return no_throw([&] { set_led_control(mode, parameter); });
}

int RadarInterface::get_led_control_no_throw(uint8_t* mode)
{
    return no_throw([&] { return get_led_control(); }, mode);
}

// ==== Message subscriptions and queues ======================================

int RadarInterface::subscribe_queue(const char* trace_name, const std::string& name, Bytes prefix)
{
    Trace trace(logger, 3, trace_name);
    communicator.use()->subscribe(name, std::move(prefix));
    return 0;
}

int RadarInterface::subscribe_callback(
    const char* trace_name, const std::string& name, PacketCallback callback, Bytes prefix)
{
    Trace trace(logger, 3, trace_name);
    communicator.use()->subscribe(name, std::move(callback), std::move(prefix));
    return 0;
}

int RadarInterface::subscribe_to_presence_single(const std::string& name, PacketCallback callback)
{
    return subscribe_callback("subscribe_to_presence_single", name, std::move(callback),
        appdata_prefix(LINKWELL_CONTENT_ID_PRESENCE_SINGLE));
}

int RadarInterface::subscribe_to_presence_single()
{
    return subscribe_queue("subscribe_to_presence_single", presence_single_queue,
        appdata_prefix(LINKWELL_CONTENT_ID_PRESENCE_SINGLE));
}

int RadarInterface::subscribe_to_presence_movinglist(const std::string& name, PacketCallback callback)
{
    return subscribe_callback("subscribe_to_presence_movinglist", name, std::move(callback),
        appdata_prefix(LINKWELL_CONTENT_ID_PRESENCE_MOVINGLIST));
}

int RadarInterface::subscribe_to_presence_movinglist()
{
    return subscribe_queue("subscribe_to_presence_movinglist", presence_movinglist_queue,
        appdata_prefix(LINKWELL_CONTENT_ID_PRESENCE_MOVINGLIST));
}

int RadarInterface::subscribe_to_data_float(const std::string& name, PacketCallback callback)
{
    return subscribe_callback("subscribe_to_data_float", name, std::move(callback), Bytes { 0xA0, 0x12 });
}

int RadarInterface::subscribe_to_data_float(const std::string& name)
{
    return subscribe_queue("subscribe_to_data_float", name, Bytes { 0xA0, 0x12 });
}

int RadarInterface::subscribe_to_raw_normalized(const std::string& name)
{
    Trace trace(logger, 3, "subscribe_to_raw_normalized");
    return subscribe_to_data_float(name);
}

int RadarInterface::subscribe_to_raw_normalized(const std::string& name, std::function<bool(Bytes)> callback)
{
    Trace trace(logger, 3, "subscribe_to_raw_normalized");
    return subscribe_to_data_float(name, std::move(callback));
}

int RadarInterface::subscribe_to_data_string(const std::string& name, PacketCallback callback)
{
    return subscribe_callback("subscribe_to_data_string", name, std::move(callback), Bytes { 0xA0, 0x13 });
}

int RadarInterface::subscribe_to_data_string(const std::string& name)
{
    return subscribe_queue("subscribe_to_data_string", name, Bytes { 0xA0, 0x13 });
}

int RadarInterface::subscribe_to_debug_messages(const std::string& name, PacketCallback callback)
{
    return subscribe_to_data_string(name, std::move(callback));
}

int RadarInterface::subscribe_to_debug_messages(const std::string& name)
{
    return subscribe_to_data_string(name);
}

int RadarInterface::subscribe_to_trace(const std::string& name)
{
    return subscribe_to_data_string(name);
}

int RadarInterface::subscribe_to_data_byte(const std::string& name, PacketCallback callback)
{
    return subscribe_callback("subscribe_to_data_byte", name, std::move(callback), Bytes { 0xA0, 0x10 });
}

int RadarInterface::subscribe_to_data_byte(const std::string& name)
{
    return subscribe_queue("subscribe_to_data_byte", name, Bytes { 0xA0, 0x10 });
}

int RadarInterface::subscribe_to_baseband_iq(const std::string& name, PacketCallback callback)
{
    return subscribe_callback("subscribe_to_baseband_iq", name, std::move(callback),
        appdata_prefix(LINKWELL_CONTENT_ID_BASEBAND_IQ));
}

int RadarInterface::subscribe_to_baseband_iq(const std::string& name)
{
    return subscribe_queue("subscribe_to_baseband_iq", name, appdata_prefix(LINKWELL_CONTENT_ID_BASEBAND_IQ));
}

int RadarInterface::subscribe_to_baseband_iq()
{
    return subscribe_to_baseband_iq(baseband_iq_queue_name);
}

int RadarInterface::subscribe_to_baseband_ap(const std::string& name, PacketCallback callback)
{
    return subscribe_callback("subscribe_to_baseband_ap", name, std::move(callback),
        appdata_prefix(LINKWELL_CONTENT_ID_BASEBAND_AP));
}

int RadarInterface::subscribe_to_baseband_ap(const std::string& name)
{
    return subscribe_queue("subscribe_to_baseband_ap", name, appdata_prefix(LINKWELL_CONTENT_ID_BASEBAND_AP));
}

int RadarInterface::subscribe_to_baseband_ap()
{
    return subscribe_to_baseband_ap(baseband_ap_queue_name);
}

int RadarInterface::subscribe_to_pulsedoppler_float(const std::string& name, PacketCallback callback)
{
    return subscribe_callback("subscribe_to_pulsedoppler_float", name, std::move(callback),
        appdata_prefix(LINKWELL_CONTENT_ID_PULSEDOPPLER_FLOAT));
}

int RadarInterface::subscribe_to_pulsedoppler_float(const std::string& name)
{
    return subscribe_queue(
        "subscribe_to_pulsedoppler_float", name, appdata_prefix(LINKWELL_CONTENT_ID_PULSEDOPPLER_FLOAT));
}

int RadarInterface::subscribe_to_pulsedoppler_float()
{
    return subscribe_to_pulsedoppler_float(pulsedoppler_float_queue_name);
}

int RadarInterface::subscribe_to_noisemap_float(const std::string& name, PacketCallback callback)
{
    return subscribe_callback("subscribe_to_noisemap_float", name, std::move(callback),
        appdata_prefix(LINKWELL_CONTENT_ID_NOISEMAP_FLOAT));
}

int RadarInterface::subscribe_to_noisemap_float(const std::string& name)
{
    return subscribe_queue(
        "subscribe_to_noisemap_float", name, appdata_prefix(LINKWELL_CONTENT_ID_NOISEMAP_FLOAT));
}

int RadarInterface::subscribe_to_noisemap_float()
{
    return subscribe_to_noisemap_float(noisemap_float_queue_name);
}

int RadarInterface::subscribe_to_pulsedoppler_byte(const std::string& name, PacketCallback callback)
{
    return subscribe_callback("subscribe_to_pulsedoppler_byte", name, std::move(callback),
        appdata_prefix(LINKWELL_CONTENT_ID_PULSEDOPPLER_BYTE));
}

int RadarInterface::subscribe_to_pulsedoppler_byte(const std::string& name)
{
    return subscribe_queue(
        "subscribe_to_pulsedoppler_byte", name, appdata_prefix(LINKWELL_CONTENT_ID_PULSEDOPPLER_BYTE));
}

int RadarInterface::subscribe_to_pulsedoppler_byte()
{
    return subscribe_to_pulsedoppler_byte(pulsedoppler_byte_queue_name);
}

int RadarInterface::subscribe_to_noisemap_byte(const std::string& name, PacketCallback callback)
{
    return subscribe_callback("subscribe_to_noisemap_byte", name, std::move(callback),
        appdata_prefix(LINKWELL_CONTENT_ID_NOISEMAP_BYTE));
}

int RadarInterface::subscribe_to_noisemap_byte(const std::string& name)
{
    return subscribe_queue(
        "subscribe_to_noisemap_byte", name, appdata_prefix(LINKWELL_CONTENT_ID_NOISEMAP_BYTE));
}

int RadarInterface::subscribe_to_noisemap_byte()
{
    return subscribe_to_noisemap_byte(noisemap_byte_queue_name);
}

int RadarInterface::subscribe_to_resp_status(const std::string& name, PacketCallback callback)
{
    return subscribe_callback("subscribe_to_resp_status", name, std::move(callback),
        appdata_prefix(LINKWELL_CONTENT_ID_RESPIRATION_STATUS));
}

int RadarInterface::subscribe_to_resp_status(const std::string& name)
{
    return subscribe_queue(
        "subscribe_to_resp_status", name, appdata_prefix(LINKWELL_CONTENT_ID_RESPIRATION_STATUS));
}

int RadarInterface::subscribe_to_respiration_legacy()
{
    return subscribe_to_resp_status(resp_status_queue_name);
}

int RadarInterface::subscribe_to_sleep_status(const std::string& name, PacketCallback callback)
{
    return subscribe_callback("subscribe_to_sleep_status", name, std::move(callback),
        appdata_prefix(LINKWELL_CONTENT_ID_SLEEP_STATUS));
}

int RadarInterface::subscribe_to_sleep_status(const std::string& name)
{
    return subscribe_queue(
        "subscribe_to_sleep_status", name, appdata_prefix(LINKWELL_CONTENT_ID_SLEEP_STATUS));
}

int RadarInterface::subscribe_to_respiration_sleep()
{
    return subscribe_to_sleep_status(sleep_status_queue_name);
}

// The respiration lists have no named form: the default form is the queue.
int RadarInterface::subscribe_to_respiration_movinglist(const std::string& name, PacketCallback callback)
{
    return subscribe_callback("subscribe_to_respiration_movinglist", name, std::move(callback),
        appdata_prefix(LINKWELL_CONTENT_ID_RESPIRATION_MOVINGLIST));
}

int RadarInterface::subscribe_to_respiration_movinglist()
{
    return subscribe_queue("subscribe_to_respiration_movinglist", respiration_movinglist_queue_name,
        appdata_prefix(LINKWELL_CONTENT_ID_RESPIRATION_MOVINGLIST));
}

int RadarInterface::subscribe_to_respiration_detectionlist(const std::string& name, PacketCallback callback)
{
    return subscribe_callback("subscribe_to_respiration_detectionlist", name, std::move(callback),
        appdata_prefix(LINKWELL_CONTENT_ID_RESPIRATION_DETECTIONLIST));
}

int RadarInterface::subscribe_to_respiration_detectionlist()
{
    return subscribe_queue("subscribe_to_respiration_detectionlist", respiration_detectionlist_queue_name,
        appdata_prefix(LINKWELL_CONTENT_ID_RESPIRATION_DETECTIONLIST));
}

int RadarInterface::subscribe_to_respiration_normalizedmovementlist(
    const std::string& name, PacketCallback callback)
{
    return subscribe_callback("subscribe_to_respiration_normalizedmovementlist", name, std::move(callback),
        appdata_prefix(LINKWELL_CONTENT_ID_RESPIRATION_NORMALIZEDMOVEMENTLIST));
}

int RadarInterface::subscribe_to_respiration_normalizedmovementlist()
{
    return subscribe_queue("subscribe_to_respiration_normalizedmovementlist",
        respiration_normalizedmovementlist_queue_name,
        appdata_prefix(LINKWELL_CONTENT_ID_RESPIRATION_NORMALIZEDMOVEMENTLIST));
}

int RadarInterface::subscribe_to_sleepstage(const std::string& name, PacketCallback callback)
{
    return subscribe_callback("subscribe_to_sleepstage", name, std::move(callback),
        appdata_prefix(LINKWELL_CONTENT_ID_SLEEP_STAGE));
}

int RadarInterface::subscribe_to_sleepstage(const std::string& name)
{
    return subscribe_queue("subscribe_to_sleepstage", name, appdata_prefix(LINKWELL_CONTENT_ID_SLEEP_STAGE));
}

int RadarInterface::subscribe_to_sleepstage()
{
    return subscribe_to_sleepstage(sleepstage_queue_name);
}

int RadarInterface::subscribe_to_vital_signs(const std::string& name, PacketCallback callback)
{
    return subscribe_callback("subscribe_to_vital_signs", name, std::move(callback),
        appdata_prefix(LINKWELL_CONTENT_ID_VITAL_SIGNS));
}

int RadarInterface::subscribe_to_vital_signs(const std::string& name)
{
    return subscribe_queue("subscribe_to_vital_signs", name, appdata_prefix(LINKWELL_CONTENT_ID_VITAL_SIGNS));
}

int RadarInterface::subscribe_to_vital_signs()
{
    return subscribe_to_vital_signs(vital_signs_queue_name);
}

int RadarInterface::subscribe_to_radar_rf(const std::string& name, PacketCallback callback)
{
    return subscribe_callback(
        "subscribe_to_radar_rf", name, std::move(callback), appdata_prefix(LINKWELL_CONTENT_ID_RADAR_RF));
}

int RadarInterface::subscribe_to_radar_rf(const std::string& name)
{
    return subscribe_queue("subscribe_to_radar_rf", name, appdata_prefix(LINKWELL_CONTENT_ID_RADAR_RF));
}

int RadarInterface::subscribe_to_radar_rf()
{
    return subscribe_to_radar_rf(radar_rf_queue_name);
}

int RadarInterface::subscribe_to_radar_rf_normalized(const std::string& name, PacketCallback callback)
{
    return subscribe_callback("subscribe_to_radar_rf_normalized", name, std::move(callback),
        appdata_prefix(LINKWELL_CONTENT_ID_RADAR_RF_NORMALIZED));
}

int RadarInterface::subscribe_to_radar_rf_normalized(const std::string& name)
{
    return subscribe_queue(
        "subscribe_to_radar_rf_normalized", name, appdata_prefix(LINKWELL_CONTENT_ID_RADAR_RF_NORMALIZED));
}

int RadarInterface::subscribe_to_radar_rf_normalized()
{
    return subscribe_to_radar_rf_normalized(radar_rf_normalized_queue_name);
}

int RadarInterface::subscribe_to_radar_baseband_float(const std::string& name, PacketCallback callback)
{
    return subscribe_callback("subscribe_to_radar_baseband_float", name, std::move(callback),
        appdata_prefix(LINKWELL_CONTENT_ID_RADAR_BASEBAND_FLOAT));
}

int RadarInterface::subscribe_to_radar_baseband_float(const std::string& name)
{
    return subscribe_queue(
        "subscribe_to_radar_baseband_float", name, appdata_prefix(LINKWELL_CONTENT_ID_RADAR_BASEBAND_FLOAT));
}

int RadarInterface::subscribe_to_radar_baseband_float()
{
    return subscribe_to_radar_baseband_float(radar_baseband_float_queue_name);
}

int RadarInterface::subscribe_to_radar_baseband_q15(const std::string& name, PacketCallback callback)
{
    return subscribe_callback("subscribe_to_radar_baseband_q15", name, std::move(callback),
        appdata_prefix(LINKWELL_CONTENT_ID_RADAR_BASEBAND_Q15));
}

int RadarInterface::subscribe_to_radar_baseband_q15(const std::string& name)
{
    return subscribe_queue(
        "subscribe_to_radar_baseband_q15", name, appdata_prefix(LINKWELL_CONTENT_ID_RADAR_BASEBAND_Q15));
}

int RadarInterface::subscribe_to_radar_baseband_q15()
{
    return subscribe_to_radar_baseband_q15(radar_baseband_q15_queue_name);
}

int RadarInterface::subscribe_to_performance_status(const std::string& name, PacketCallback callback)
{
    return subscribe_callback(
        "subscribe_to_performance_status", name, std::move(callback), Bytes { 0xA0, 0x50, 0x05 });
}

int RadarInterface::subscribe_to_performance_status(const std::string& name)
{
    return subscribe_queue("subscribe_to_performance_status", name, Bytes { 0xA0, 0x50, 0x05 });
}

int RadarInterface::subscribe_to_radar_settings(const std::string& name, PacketCallback callback)
{
    return subscribe_callback(
        "subscribe_to_radar_settings", name, std::move(callback), Bytes { 0xA0, 0x50, 0x03 });
}

int RadarInterface::subscribe_to_radar_settings(const std::string& name)
{
    return subscribe_queue("subscribe_to_radar_settings", name, Bytes { 0xA0, 0x50, 0x03 });
}

int RadarInterface::subscribe(const std::string& name, const Bytes& prefix, PacketCallback callback)
{
    return subscribe_callback("subscribe", name, std::move(callback), prefix);
}

int RadarInterface::auto_subscribe()
{
    subscribe_to_presence_single();
    subscribe_to_presence_movinglist();
    subscribe_to_data_float(data_float_queue_name);
    subscribe_to_data_string(data_string_queue_name);
    subscribe_to_data_byte(data_byte_queue_name);
    subscribe_to_baseband_iq();
    subscribe_to_baseband_ap();
    subscribe_to_pulsedoppler_float();
    subscribe_to_noisemap_float();
    subscribe_to_pulsedoppler_byte();
    subscribe_to_noisemap_byte();
    subscribe_to_system_status();
    subscribe_to_respiration_legacy();
    subscribe_to_respiration_sleep();
    subscribe_to_respiration_movinglist();
    subscribe_to_respiration_detectionlist();
    subscribe_to_respiration_normalizedmovementlist();
    subscribe_to_sleepstage();
    subscribe_to_vital_signs();
    subscribe_to_radar_rf();
    subscribe_to_radar_rf_normalized();
    subscribe_to_radar_baseband_float();
    subscribe_to_radar_baseband_q15();
    return 0;
}

int RadarInterface::peek_message_data_string()
{
    return get_number_of_packets(data_string_queue_name);
}

int RadarInterface::peek_message_data_byte()
{
    return get_number_of_packets(data_byte_queue_name);
}

int RadarInterface::read_message_data_string(unsigned* content_id, unsigned* info, std::string* text)
{
    const Bytes packet = get_packet(data_string_queue_name);
    const auto header = generic_data_header(packet, 0x13);
    if (!header)
        return 1;
    if (content_id)
        *content_id = header->first;
    if (info)
        *info = header->second;
    if (text)
        *text = text_from(packet, payload_offset);
    return 0;
}

int RadarInterface::read_message_data_byte(unsigned* content_id, unsigned* info, Bytes* data)
{
    const Bytes packet = get_packet(data_byte_queue_name);
    const auto header = generic_data_header(packet, 0x10);
    if (!header)
        return 1;
    if (content_id)
        *content_id = header->first;
    if (info)
        *info = header->second;
    if (data)
        data->assign(packet.begin() + payload_offset, packet.end());
    return 0;
}

// ==== Module file system ====================================================

namespace {

// Whole files move in chunks of at most this many bytes.
constexpr unsigned file_chunk_size = 256;
// A larger length from the module is refused: a corrupt or hostile length
// would otherwise run millions of round trips and claim as much memory.
constexpr unsigned max_file_length = 64u << 20;

// File-system and frame-injection failures carry no code: callers see 1.
std::runtime_error parse_failure(const std::string& operation)
{
    return std::runtime_error("parse_reply failed in " + operation);
}

std::vector<int> u32_values(const Bytes& data)
{
    std::vector<int> values(data.size() / 4);
    for (std::size_t i = 0; i < values.size(); ++i)
        values[i] = static_cast<int>(u32(&data[4 * i]));
    return values;
}

} // namespace

void RadarInterface::acknowledged_file_command(const char* operation, const Bytes& command)
{
    Trace trace(logger, 3, operation);
    auto use = communicator.use();
    const Bytes reply = use->send(default_timeout, command, ack_or_error());
    ParseResult<Ack> result;
    parser.parse_ack(reply, &result);
    if (result.error || !result.valid)
        throw parse_failure(operation);
}

Bytes RadarInterface::file_reply_data(
    const char* operation, const Bytes& command, uint8_t value_type, uint64_t bytes_per_item)
{
    Trace trace(logger, 3, operation);
    auto use = communicator.use();
    const Bytes reply
        = use->send(default_timeout, command, std::vector<Bytes> { { 0x11, value_type }, { error_byte } });
    const std::optional<Reply> decoded = decode_reply(reply);
    // A list reply counts 4-byte values, not bytes: the span it claims is
    // computed in 64 bits, so no count can wrap or reach past the reply.
    const uint64_t size = decoded ? bytes_per_item * decoded->length : 0;
    if (!decoded || payload_offset + size > reply.size())
        throw parse_failure(operation);
    const auto begin = reply.begin() + static_cast<std::ptrdiff_t>(payload_offset);
    return Bytes(begin, begin + static_cast<std::ptrdiff_t>(size));
}

void RadarInterface::create_file(unsigned type, unsigned id, unsigned length)
{
    acknowledged_file_command("create_file", commands.create_create_file_command(type, id, length));
}

void RadarInterface::open_file(unsigned type, unsigned id)
{
    acknowledged_file_command("open_file", commands.create_open_file_command(type, id));
}

void RadarInterface::set_file_data(unsigned type, unsigned id, unsigned offset, const Bytes& data)
{
    acknowledged_file_command("set_file_data", commands.create_set_file_data(type, id, offset, data));
}

void RadarInterface::close_file(unsigned type, unsigned id, bool flag)
{
    acknowledged_file_command("close_file", commands.create_close_file(type, id, flag ? 1 : 0));
}

unsigned RadarInterface::get_file_length(unsigned type, unsigned id)
{
    const Bytes data = file_reply_data("get_file_length", commands.create_get_file_length(type, id), 0x11, 1);
    if (data.size() < 4)
        throw parse_failure("get_file_length");
    return u32(data.data());
}

void RadarInterface::delete_file(unsigned type, unsigned id)
{
    acknowledged_file_command("delete_file", commands.create_delete_file(type, id));
}

Bytes RadarInterface::get_file_data(unsigned type, unsigned id, unsigned offset, unsigned length)
{
    return file_reply_data("get_file_data", commands.create_get_file_data(type, id, offset, length), 0x10, 1);
}

void RadarInterface::format_filesystem(unsigned value)
{
    acknowledged_file_command("format_filesystem", commands.create_format_filesystem(value));
}

std::vector<int> RadarInterface::search_for_file_by_type(unsigned type)
{
    return u32_values(
        file_reply_data("search_for_file_by_type", commands.create_search_for_file_type(type), 0x11, 4));
}

Sarvik::Files RadarInterface::find_all_files()
{
    std::vector<int> values
        = u32_values(file_reply_data("find_all_files", commands.create_find_all_files(), 0x11, 4));
    // Types first, then identifiers; an odd count gives the identifiers the
    // extra value.
    const auto half = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
    Sarvik::Files files;
    files.file_types.assign(values.begin(), half);
    files.file_identifiers.assign(half, values.end());
    return files;
}

void RadarInterface::set_file(unsigned type, unsigned id, const Bytes& data)
{
    if (data.size() > std::numeric_limits<unsigned>::max())
        throw std::length_error("set_file: " + std::to_string(data.size()) + " bytes do not fit a file");
    const auto size = static_cast<unsigned>(data.size());
    create_file(type, id, size);
    for (unsigned offset = 0; offset < size;) {
        const unsigned chunk = std::min(size - offset, file_chunk_size);
        const auto begin = data.begin() + static_cast<std::ptrdiff_t>(offset);
        set_file_data(type, id, offset, Bytes(begin, begin + chunk));
        offset += chunk;
    }
    close_file(type, id, true);
}

Bytes RadarInterface::get_file(unsigned type, unsigned id)
{
    open_file(type, id);
    const unsigned length = get_file_length(type, id);
    if (length > max_file_length)
        throw std::runtime_error("get_file: the module reports " + std::to_string(length)
            + " bytes, more than the limit of " + std::to_string(max_file_length));
    Bytes file;
    file.reserve(length);
    for (unsigned offset = 0; offset < length;) {
        const unsigned chunk = std::min(length - offset, file_chunk_size);
        const Bytes part = get_file_data(type, id, offset, chunk);
        // A chunk of another size would leave a hole or a surplus in the
        // file: it is never returned as if it were whole.
        if (part.size() != chunk)
            throw std::runtime_error("get_file: " + std::to_string(part.size()) + " bytes at offset "
                + std::to_string(offset) + ", " + std::to_string(chunk) + " asked for");
        file.insert(file.end(), part.begin(), part.end());
        offset += chunk;
    }
    close_file(type, id, false);
    return file;
}

int RadarInterface::create_file_no_throw(unsigned type, unsigned id, unsigned length)
{
    return no_throw([&] { create_file(type, id, length); });
}

int RadarInterface::open_file_no_throw(unsigned type, unsigned id)
{
    return no_throw([&] { open_file(type, id); });
}

int RadarInterface::delete_file_no_throw(unsigned type, unsigned id)
{
    return no_throw([&] { delete_file(type, id); });
}

int RadarInterface::close_file_no_throw(unsigned type, unsigned id, bool flag)
{
    return no_throw([&] { close_file(type, id, flag); });
}

int RadarInterface::format_filesystem_no_throw(unsigned value)
{
    return no_throw([&] { format_filesystem(value); });
}

int RadarInterface::set_file_data_no_throw(unsigned type, unsigned id, unsigned offset, const Bytes& data)
{
    return no_throw([&] { set_file_data(type, id, offset, data); });
}

int RadarInterface::set_file_no_throw(unsigned type, unsigned id, const Bytes& data)
{
    return no_throw([&] { set_file(type, id, data); });
}

int RadarInterface::get_file_length_no_throw(unsigned type, unsigned id, unsigned& length)
{
    return no_throw([&] { return get_file_length(type, id); }, length);
}

int RadarInterface::get_file_data_no_throw(
    unsigned type, unsigned id, unsigned offset, unsigned length, Bytes& data)
{
    return no_throw([&] { return get_file_data(type, id, offset, length); }, data);
}

int RadarInterface::get_file_no_throw(unsigned type, unsigned id, Bytes& file)
{
    return no_throw([&] { return get_file(type, id); }, file);
}

int RadarInterface::search_for_file_by_type_no_throw(unsigned type, std::vector<int>& identifiers)
{
    return no_throw([&] { return search_for_file_by_type(type); }, identifiers);
}

int RadarInterface::find_all_files_no_throw(Sarvik::Files& files)
{
    return no_throw([&] { return find_all_files(); }, files);
}

// ==== Frame injection and profile id ========================================

void RadarInterface::prepare_inject_frame(unsigned a, unsigned b, unsigned c)
{
    acknowledged_file_command("prepare_inject_frame", commands.create_prepare_inject_frame(a, b, c));
}

void RadarInterface::inject_frame(unsigned a, unsigned n, const std::vector<float>& frame)
{
    // The command carries 2 * n values: a shorter frame is refused before
    // anything goes to the module (the builder checks it).
    acknowledged_file_command("inject_frame", commands.create_inject_frame(a, n, frame));
}

unsigned RadarInterface::get_profileid()
{
    const Bytes data = file_reply_data("get_profileid", commands.create_get_profileid(), 0x11, 1);
    if (data.size() < 4)
        throw parse_failure("get_profileid");
    return u32(data.data());
}

int RadarInterface::prepare_inject_frame_no_throw(unsigned a, unsigned b, unsigned c)
{
    return no_throw([&] { prepare_inject_frame(a, b, c); });
}

int RadarInterface::inject_frame_no_throw(unsigned a, unsigned n, const std::vector<float>& frame)
{
    return no_throw([&] { inject_frame(a, n, frame); });
}

int RadarInterface::get_profileid_no_throw(unsigned& profile_id)
{
    return no_throw([&] { return get_profileid(); }, profile_id);
}

// ==== Message reading =======================================================

template <typename Codec>
auto RadarInterface::read_decoded(const char* trace_name, const std::string& queue, const char* error_prefix,
    int (Parser::*decode)(const Parser::Packet&, ParseResult<Codec>*) const)
{
    Trace trace(logger, 3, trace_name);
    // Held until the record is built: a close from another thread waits for
    // it, so the parser outlives the decode.
    auto use = communicator.use();
    const Bytes packet = use->get_packet(queue);
    ParseResult<Codec> result;
    (parser.*decode)(packet, &result);
    if (result.error || !result.valid || !arrays_within(result.record, packet))
        throw std::runtime_error(std::string(error_prefix) + trace_name);
    return public_record(result.record);
}

Bytes RadarInterface::read_raw(const char* trace_name, const std::string& queue)
{
    Trace trace(logger, 3, trace_name);
    auto use = communicator.use();
    return use->get_packet(queue);
}

int RadarInterface::peek_message_presence_single()
{
    return get_number_of_packets(presence_single_queue);
}

Sarvik::PresenceSingleData RadarInterface::read_message_presence_single()
{
    return read_decoded("read_message_presence_single", presence_single_queue,
        "parser error of presence single data ", &Parser::parse_presence_single);
}

int RadarInterface::read_message_presence_single(Sarvik::PresenceSingleData* out)
{
    return no_throw([&] { return read_message_presence_single(); }, out);
}

int RadarInterface::read_message_presence_single(unsigned int* frame_counter, unsigned int* presence_state,
    float* distance, unsigned char* direction, unsigned int* signal_quality)
{
    return no_throw(
        [&] {
            const Sarvik::PresenceSingleData r = read_message_presence_single();
            return std::make_tuple(
                r.frame_counter, r.presence_state, r.distance, r.direction, r.signal_quality);
        },
        frame_counter, presence_state, distance, direction, signal_quality);
}

int RadarInterface::peek_message_presence_movinglist()
{
    return get_number_of_packets(presence_movinglist_queue);
}

Sarvik::PresenceMovingListData RadarInterface::read_message_presence_movinglist()
{
    return read_decoded("read_message_presence_movinglist", presence_movinglist_queue,
        "parser error of presence moving list ", &Parser::parse_presence_movinglist);
}

int RadarInterface::read_message_presence_movinglist(Sarvik::PresenceMovingListData* out)
{
    return no_throw([&] { return read_message_presence_movinglist(); }, out);
}

int RadarInterface::peek_message_baseband_iq()
{
    return get_number_of_packets(baseband_iq_queue_name);
}

Sarvik::BasebandIqData RadarInterface::get_baseband_iq_data(std::string name)
{
    return read_decoded(
        "get_baseband_iq_data", name, "parser error of baseband IQ data ", &Parser::parse_baseband_iq);
}

int RadarInterface::get_baseband_iq_data(std::string name, Sarvik::BasebandIqData* out)
{
    return no_throw([&] { return get_baseband_iq_data(name); }, out);
}

Sarvik::BasebandIqData RadarInterface::read_message_baseband_iq()
{
    return get_baseband_iq_data(baseband_iq_queue_name);
}

int RadarInterface::read_message_baseband_iq(Sarvik::BasebandIqData* out)
{
    return no_throw([&] { return read_message_baseband_iq(); }, out);
}

int RadarInterface::peek_message_baseband_ap()
{
    return get_number_of_packets(baseband_ap_queue_name);
}

Sarvik::BasebandApData RadarInterface::get_baseband_ap_data(std::string name)
{
    return read_decoded(
        "get_baseband_ap_data", name, "parser error of baseband AP data ", &Parser::parse_baseband_ap);
}

int RadarInterface::get_baseband_ap_data(std::string name, Sarvik::BasebandApData* out)
{
    return no_throw([&] { return get_baseband_ap_data(name); }, out);
}

Sarvik::BasebandApData RadarInterface::read_message_baseband_ap()
{
    return get_baseband_ap_data(baseband_ap_queue_name);
}

int RadarInterface::read_message_baseband_ap(Sarvik::BasebandApData* out)
{
    return no_throw([&] { return read_message_baseband_ap(); }, out);
}

int RadarInterface::peek_message_respiration_legacy()
{
    return get_number_of_packets(resp_status_queue_name);
}

Sarvik::RespirationData RadarInterface::get_respiration_data(std::string name)
{
    return read_decoded(
        "get_respiration_data", name, "parser error of respiration data ", &Parser::parse_respiration_status);
}

int RadarInterface::get_respiration_data(std::string name, Sarvik::RespirationData* out)
{
    return no_throw([&] { return get_respiration_data(name); }, out);
}

Sarvik::RespirationData RadarInterface::read_message_respiration_legacy()
{
    return get_respiration_data(resp_status_queue_name);
}

int RadarInterface::read_message_respiration_legacy(Sarvik::RespirationData* out)
{
    return no_throw([&] { return read_message_respiration_legacy(); }, out);
}

int RadarInterface::peek_message_respiration_sleep()
{
    return get_number_of_packets(sleep_status_queue_name);
}

Sarvik::SleepData RadarInterface::get_sleep_data(std::string name)
{
    return read_decoded(
        "get_sleep_data", name, "parser error of respiration data ", &Parser::parse_sleep_status);
}

int RadarInterface::get_sleep_data(std::string name, Sarvik::SleepData* out)
{
    return no_throw([&] { return get_sleep_data(name); }, out);
}

Sarvik::SleepData RadarInterface::read_message_respiration_sleep()
{
    return get_sleep_data(sleep_status_queue_name);
}

int RadarInterface::read_message_respiration_sleep(Sarvik::SleepData* out)
{
    return no_throw([&] { return read_message_respiration_sleep(); }, out);
}

int RadarInterface::peek_message_respiration_movinglist()
{
    return get_number_of_packets(respiration_movinglist_queue_name);
}

Sarvik::RespirationMovingListData RadarInterface::read_message_respiration_movinglist()
{
    return read_decoded("read_message_respiration_movinglist", respiration_movinglist_queue_name,
        "parser error of respiration movinglist data in ", &Parser::parse_respiration_movinglist);
}

int RadarInterface::read_message_respiration_movinglist(Sarvik::RespirationMovingListData* out)
{
    return no_throw([&] { return read_message_respiration_movinglist(); }, out);
}

int RadarInterface::peek_message_respiration_detectionlist()
{
    return get_number_of_packets(respiration_detectionlist_queue_name);
}

Sarvik::RespirationDetectionListData RadarInterface::read_message_respiration_detectionlist()
{
    return read_decoded("read_message_respiration_detectionlist", respiration_detectionlist_queue_name,
        "parser error of respiration detectionlist data in ", &Parser::parse_respiration_detectionlist);
}

int RadarInterface::read_message_respiration_detectionlist(Sarvik::RespirationDetectionListData* out)
{
    return no_throw([&] { return read_message_respiration_detectionlist(); }, out);
}

int RadarInterface::peek_message_respiration_normalizedmovementlist()
{
    return get_number_of_packets(respiration_normalizedmovementlist_queue_name);
}

Sarvik::RespirationNormalizedMovementListData
RadarInterface::read_message_respiration_normalizedmovementlist()
{
    return read_decoded("read_message_respiration_normalizedmovementlist",
        respiration_normalizedmovementlist_queue_name,
        "parser error of respiration normalizedmovementlist data in ",
        &Parser::parse_respiration_normalizedmovementlist);
}

int RadarInterface::read_message_respiration_normalizedmovementlist(
    Sarvik::RespirationNormalizedMovementListData* out)
{
    return no_throw([&] { return read_message_respiration_normalizedmovementlist(); }, out);
}

int RadarInterface::peek_message_vital_signs()
{
    return get_number_of_packets(vital_signs_queue_name);
}

Sarvik::VitalSignsData RadarInterface::read_message_vital_signs()
{
    return read_decoded("read_message_vital_signs", vital_signs_queue_name, "parser error of vital signs in ",
        &Parser::parse_vitalsigns_status);
}

int RadarInterface::read_message_vital_signs(Sarvik::VitalSignsData* out)
{
    return no_throw([&] { return read_message_vital_signs(); }, out);
}

int RadarInterface::peek_message_sleepstage()
{
    return get_number_of_packets(sleepstage_queue_name);
}

Sarvik::SleepStageData RadarInterface::read_message_sleepstage()
{
    return read_decoded("read_message_sleepstage", sleepstage_queue_name,
        "parser error of sleepstage signs in ", &Parser::parse_sleepstage_status);
}

int RadarInterface::read_message_sleepstage(Sarvik::SleepStageData* out)
{
    return no_throw([&] { return read_message_sleepstage(); }, out);
}

int RadarInterface::peek_message_radar_rf()
{
    return get_number_of_packets(radar_rf_queue_name);
}

Sarvik::RadarRfData RadarInterface::get_radar_rf_data(std::string name)
{
    return read_decoded("get_radar_rf_data", name, "parser error of radar rf data ", &Parser::parse_radar_rf);
}

int RadarInterface::get_radar_rf_data(std::string name, Sarvik::RadarRfData* out)
{
    return no_throw([&] { return get_radar_rf_data(name); }, out);
}

Sarvik::RadarRfData RadarInterface::read_message_radar_rf()
{
    return get_radar_rf_data(radar_rf_queue_name);
}

int RadarInterface::read_message_radar_rf(Sarvik::RadarRfData* out)
{
    return no_throw([&] { return read_message_radar_rf(); }, out);
}

int RadarInterface::peek_message_radar_rf_normalized()
{
    return get_number_of_packets(radar_rf_normalized_queue_name);
}

Sarvik::RadarRfNormalizedData RadarInterface::get_radar_rf_normalized_data(std::string name)
{
    return read_decoded("get_radar_rf_normalized_data", name, "parser error of radar rf normalized data ",
        &Parser::parse_radar_rf_normalized);
}

int RadarInterface::get_radar_rf_normalized_data(std::string name, Sarvik::RadarRfNormalizedData* out)
{
    return no_throw([&] { return get_radar_rf_normalized_data(name); }, out);
}

Sarvik::RadarRfNormalizedData RadarInterface::read_message_radar_rf_normalized()
{
    return get_radar_rf_normalized_data(radar_rf_normalized_queue_name);
}

int RadarInterface::read_message_radar_rf_normalized(Sarvik::RadarRfNormalizedData* out)
{
    return no_throw([&] { return read_message_radar_rf_normalized(); }, out);
}

int RadarInterface::peek_message_radar_baseband_float()
{
    return get_number_of_packets(radar_baseband_float_queue_name);
}

Sarvik::RadarBasebandFloatData RadarInterface::get_radar_baseband_float_data(std::string name)
{
    return read_decoded("get_radar_baseband_float_data", name, "parser error of radar baseband float data ",
        &Parser::parse_radar_baseband_float);
}

int RadarInterface::get_radar_baseband_float_data(std::string name, Sarvik::RadarBasebandFloatData* out)
{
    return no_throw([&] { return get_radar_baseband_float_data(name); }, out);
}

Sarvik::RadarBasebandFloatData RadarInterface::read_message_radar_baseband_float()
{
    return get_radar_baseband_float_data(radar_baseband_float_queue_name);
}

int RadarInterface::read_message_radar_baseband_float(Sarvik::RadarBasebandFloatData* out)
{
    return no_throw([&] { return read_message_radar_baseband_float(); }, out);
}

int RadarInterface::peek_message_radar_baseband_q15()
{
    return get_number_of_packets(radar_baseband_q15_queue_name);
}

Sarvik::RadarBasebandQ15Data RadarInterface::get_radar_baseband_q15_data(std::string name)
{
    return read_decoded("get_radar_baseband_q15_data", name, "parser error of radar baseband q15 data ",
        &Parser::parse_radar_baseband_q15);
}

int RadarInterface::get_radar_baseband_q15_data(std::string name, Sarvik::RadarBasebandQ15Data* out)
{
    return no_throw([&] { return get_radar_baseband_q15_data(name); }, out);
}

Sarvik::RadarBasebandQ15Data RadarInterface::read_message_radar_baseband_q15()
{
    return get_radar_baseband_q15_data(radar_baseband_q15_queue_name);
}

int RadarInterface::read_message_radar_baseband_q15(Sarvik::RadarBasebandQ15Data* out)
{
    return no_throw([&] { return read_message_radar_baseband_q15(); }, out);
}

int RadarInterface::peek_message_pulsedoppler_float()
{
    return get_number_of_packets(pulsedoppler_float_queue_name);
}

Sarvik::PulseDopplerFloatData RadarInterface::get_pulsedoppler_float_data(std::string name)
{
    return read_decoded("get_pulsedoppler_float_data", name, "parser error of pulse-Doppler float data ",
        &Parser::parse_pulsedoppler_float);
}

int RadarInterface::get_pulsedoppler_float_data(std::string name, Sarvik::PulseDopplerFloatData* out)
{
    return no_throw([&] { return get_pulsedoppler_float_data(name); }, out);
}

Sarvik::PulseDopplerFloatData RadarInterface::read_message_pulsedoppler_float()
{
    return get_pulsedoppler_float_data(pulsedoppler_float_queue_name);
}

int RadarInterface::read_message_pulsedoppler_float(Sarvik::PulseDopplerFloatData* out)
{
    return get_pulsedoppler_float_data(pulsedoppler_float_queue_name, out);
}

Bytes RadarInterface::get_pulsedoppler_raw_float_data(std::string name)
{
    return read_raw("get_pulsedoppler_raw_float_data", name);
}

Bytes RadarInterface::read_message_pulsedoppler_raw_float()
{
    return get_pulsedoppler_raw_float_data(pulsedoppler_float_queue_name);
}

int RadarInterface::peek_message_pulsedoppler_byte()
{
    return get_number_of_packets(pulsedoppler_byte_queue_name);
}

Sarvik::PulseDopplerByteData RadarInterface::get_pulsedoppler_byte_data(std::string name)
{
    return read_decoded("get_pulsedoppler_byte_data", name, "parser error of pulse-Doppler byte data ",
        &Parser::parse_pulsedoppler_byte);
}

int RadarInterface::get_pulsedoppler_byte_data(std::string name, Sarvik::PulseDopplerByteData* out)
{
    return no_throw([&] { return get_pulsedoppler_byte_data(name); }, out);
}

Sarvik::PulseDopplerByteData RadarInterface::read_message_pulsedoppler_byte()
{
    return get_pulsedoppler_byte_data(pulsedoppler_byte_queue_name);
}

int RadarInterface::read_message_pulsedoppler_byte(Sarvik::PulseDopplerByteData* out)
{
    return get_pulsedoppler_byte_data(pulsedoppler_byte_queue_name, out);
}

Bytes RadarInterface::get_pulsedoppler_raw_byte_data(std::string name)
{
    return read_raw("get_pulsedoppler_raw_byte_data", name);
}

Bytes RadarInterface::read_message_pulsedoppler_raw_byte()
{
    return get_pulsedoppler_raw_byte_data(pulsedoppler_byte_queue_name);
}

int RadarInterface::peek_message_noisemap_float()
{
    return get_number_of_packets(noisemap_float_queue_name);
}

Sarvik::PulseDopplerFloatData RadarInterface::get_noisemap_float_data(std::string name)
{
    return read_decoded("get_noisemap_float_data", name, "parser error of noisemap float data ",
        &Parser::parse_pulsedoppler_float);
}

int RadarInterface::get_noisemap_float_data(std::string name, Sarvik::PulseDopplerFloatData* out)
{
    return no_throw([&] { return get_noisemap_float_data(name); }, out);
}

Sarvik::PulseDopplerFloatData RadarInterface::read_message_noisemap_float()
{
    return get_noisemap_float_data(noisemap_float_queue_name);
}

int RadarInterface::read_message_noisemap_float(Sarvik::PulseDopplerFloatData* out)
{
    return get_noisemap_float_data(noisemap_float_queue_name, out);
}

Bytes RadarInterface::get_noisemap_raw_float_data(std::string name)
{
    return read_raw("get_noisemap_raw_float_data", name);
}

Bytes RadarInterface::read_message_noisemap_raw_float()
{
    return get_noisemap_raw_float_data(noisemap_float_queue_name);
}

int RadarInterface::peek_message_noisemap_byte()
{
    return get_number_of_packets(noisemap_byte_queue_name);
}

Sarvik::PulseDopplerByteData RadarInterface::get_noisemap_byte_data(std::string name)
{
    return read_decoded("get_noisemap_byte_data", name, "parser error of noisemap byte data ",
        &Parser::parse_pulsedoppler_byte);
}

int RadarInterface::get_noisemap_byte_data(std::string name, Sarvik::PulseDopplerByteData* out)
{
    return no_throw([&] { return get_noisemap_byte_data(name); }, out);
}

Sarvik::PulseDopplerByteData RadarInterface::read_message_noisemap_byte()
{
    return get_noisemap_byte_data(noisemap_byte_queue_name);
}

int RadarInterface::read_message_noisemap_byte(Sarvik::PulseDopplerByteData* out)
{
    return get_noisemap_byte_data(noisemap_byte_queue_name, out);
}

Bytes RadarInterface::get_noisemap_raw_byte_data(std::string name)
{
    return read_raw("get_noisemap_raw_byte_data", name);
}

Bytes RadarInterface::read_message_noisemap_raw_byte()
{
    return get_noisemap_raw_byte_data(noisemap_byte_queue_name);
}

int RadarInterface::peek_message_data_float()
{
    return get_number_of_packets(data_float_queue_name);
}

int RadarInterface::peek_message_data_float(const std::string& name)
{
    return get_number_of_packets(name);
}

Sarvik::DataFloat RadarInterface::read_message_data_float()
{
    return read_decoded("read_message_data_float", data_float_queue_name, "parser error of float data in ",
        &Parser::parse_data_float);
}

int RadarInterface::read_message_data_float(Sarvik::DataFloat* out)
{
    return no_throw([&] { return read_message_data_float(); }, out);
}

int RadarInterface::peek_message_system()
{
    return get_number_of_packets(system_status_queue_name);
}

unsigned int RadarInterface::read_message_system()
{
    return read_decoded("read_message_system", system_status_queue_name,
        "parser error of system status data ", &Parser::parse_system_status);
}

int RadarInterface::read_message_system_no_throw(unsigned int* status)
{
    return no_throw([&] { return read_message_system(); }, status);
}

int RadarInterface::subscribe_to_system_status()
{
    return subscribe_queue("subscribe_to_system_status", system_status_queue_name, Bytes { 0x30 });
}

RawNormalizedFrame RadarInterface::get_raw_normalized_frame(const std::string& name)
{
    Sarvik::DataFloat message = read_decoded(
        "get_raw_normalized_frame", name, "parser error of float data in ", &Parser::parse_data_float);
    RawNormalizedFrame frame;
    frame.info = message.info;
    frame.data = std::move(message.data);
    return frame;
}

float RadarInterface::get_z3_float(uint32_t id)
{
    Trace trace(logger, 3, "get_z3_float");
    auto use = communicator.use();
    const Bytes reply = use->send(default_timeout, commands.create_get_float(id), Bytes { 0x11, 0x12, 0x14 });
    const std::optional<Reply> decoded = decode_reply(reply);
    const std::optional<uint32_t> bits = decoded ? leading_u32(*decoded) : std::nullopt;
    if (!bits)
        // No blank before the method name: callers match this text.
        throw std::runtime_error("error parsing reply in"
                                 "get_z3_float");
    float value;
    std::memcpy(&value, &*bits, sizeof value);
    return value;
}

uint32_t RadarInterface::get_z3_int(uint32_t id)
{
    Trace trace(logger, 3, "get_z3_int");
    auto use = communicator.use();
    const Bytes reply = use->send(default_timeout, commands.create_get_int(id), Bytes { 0x11, 0x11, 0x12 });
    const std::optional<Reply> decoded = decode_reply(reply);
    const std::optional<uint32_t> value = decoded ? leading_u32(*decoded) : std::nullopt;
    if (!value)
        throw std::runtime_error("parse_reply failed in get_z3_int");
    return *value;
}

// ==== Application settings and zones ========================================

void RadarInterface::set_baudrate(uint32_t rate)
{
    Trace trace(logger, 3, "set_baudrate");
    auto use = communicator.use();
    const Bytes reply = use->send(default_timeout, commands.create_set_baudrate(rate), ack_or_error());
    check_ack_record(parser, reply, "set baud rate command failed");
    // Only now does the module listen at the new rate.
    use->set_baudrate(rate);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
}

int RadarInterface::set_baudrate_no_throw(uint32_t rate)
{
    return no_throw([&] { set_baudrate(rate); });
}

void RadarInterface::set_parameter_file(const std::string& filename, const std::string& text)
{
    Trace trace(logger, 3, "set_parameter_file");
    const Bytes command = commands.create_set_parameter_file(filename, text);
    (logger.slog(6) << "filename: " << filename << "data: " << text).flush();
    auto use = communicator.use();
    const Bytes reply = use->send(default_timeout, command, ack_or_error());
    check_ack_record(parser, reply, "set_parameter_file failed");
}

std::string RadarInterface::get_parameter_file(const std::string& filename)
{
    Trace trace(logger, 3, "get_parameter_file");
    auto use = communicator.use();
    // A module error is not among the awaited replies: a refusal ends in the
    // timeout.
    const Bytes reply = use->send(default_timeout, commands.create_get_parameter_file(filename),
        std::vector<Bytes> { { 0x11, 0x13 }, { 0x13 } });
    const std::optional<Reply> decoded = decode_reply(reply);
    if (!decoded)
        throw std::runtime_error("error receiving data in get_parameter_file");
    if (decoded->length == 0)
        return {};
    return std::string(reinterpret_cast<const char*>(decoded->data), decoded->length);
}

int RadarInterface::set_parameter_file_no_throw(const std::string& filename, const std::string& text)
{
    return no_throw([&] { set_parameter_file(filename, text); });
}

int RadarInterface::get_parameter_file_no_throw(const std::string& filename, std::string& text)
{
    return no_throw([&] { return get_parameter_file(filename); }, text);
}

void RadarInterface::set_normalization(uint8_t value)
{
    Trace trace(logger, 3, "set_normalization");
    auto use = communicator.use();
    handle_ack(use->send(default_timeout, commands.create_set_normalization(value), ack_or_error()),
        "set_normalization");
}

uint8_t RadarInterface::get_normalization()
{
    Trace trace(logger, 3, "get_normalization");
    auto use = communicator.use();
    const Bytes reply = use->send(default_timeout, commands.create_get_normalization(),
        std::vector<Bytes> { { 0x11, 0x10, 0x10 }, { 0x20 } });
    return reply_data(parser, reply, 1, "get_normalization")[0];
}

void RadarInterface::set_phase_noise_correction(uint8_t value, float correction)
{
    Trace trace(logger, 3, "set_phase_noise_correction");
    auto use = communicator.use();
    handle_ack(use->send(default_timeout, commands.create_set_phase_noise_correction(value, correction),
                   ack_or_error()),
        "set_phase_noise_correction");
}

float RadarInterface::get_phase_noise_correction()
{
    Trace trace(logger, 3, "get_phase_noise_correction");
    auto use = communicator.use();
    const Bytes reply = use->send(default_timeout, commands.create_get_phase_noise_correction(),
        std::vector<Bytes> { { 0x11, 0x12, 0x11 }, { 0x20 } });
    return f32(reply_data(parser, reply, 4, "get_phase_noise_correction"));
}

void RadarInterface::set_decimation_factor(uint32_t factor)
{
    Trace trace(logger, 3, "set_decimation_factor");
    auto use = communicator.use();
    handle_ack(use->send(default_timeout, commands.create_set_decimation_factor(factor), ack_or_error()),
        "set_decimation_factor");
}

uint32_t RadarInterface::get_decimation_factor()
{
    Trace trace(logger, 3, "get_decimation_factor");
    auto use = communicator.use();
    const Bytes reply = use->send(default_timeout, commands.create_get_decimation_factor(),
        std::vector<Bytes> { { 0x11, 0x11, 0x12 }, { 0x20 } });
    return u32(reply_data(parser, reply, 4, "get_decimation_factor"));
}

void RadarInterface::set_number_format(uint8_t format)
{
    Trace trace(logger, 3, "set_number_format");
    auto use = communicator.use();
    handle_ack(use->send(default_timeout, commands.create_set_number_format(format), ack_or_error()),
        "set_number_format");
}

uint8_t RadarInterface::get_number_format()
{
    Trace trace(logger, 3, "get_number_format");
    auto use = communicator.use();
    const Bytes reply = use->send(default_timeout, commands.create_get_number_format(),
        std::vector<Bytes> { { 0x11, 0x10, 0x13 }, { 0x20 } });
    return reply_data(parser, reply, 1, "get_number_format")[0];
}

void RadarInterface::set_legacy_output(uint8_t value)
{
    Trace trace(logger, 3, "set_legacy_output");
    auto use = communicator.use();
    handle_ack(use->send(default_timeout, commands.create_set_legacy_output(value), ack_or_error()),
        "set_legacy_output");
}

uint8_t RadarInterface::get_legacy_output()
{
    Trace trace(logger, 3, "get_legacy_output");
    auto use = communicator.use();
    const Bytes reply = use->send(default_timeout, commands.create_get_legacy_output(),
        std::vector<Bytes> { { 0x11, 0x10, 0x14 }, { 0x20 } });
    return reply_data(parser, reply, 1, "get_legacy_output")[0];
}

int RadarInterface::set_normalization_no_throw(uint8_t value)
{
    return no_throw([&] { set_normalization(value); });
}

int RadarInterface::get_normalization_no_throw(uint8_t* value)
{
    return no_throw([&] { return get_normalization(); }, value);
}

int RadarInterface::set_phase_noise_correction_no_throw(uint8_t value, float correction)
{
    return no_throw([&] { set_phase_noise_correction(value, correction); });
}

int RadarInterface::get_phase_noise_correction_no_throw(float* correction)
{
    return no_throw([&] { return get_phase_noise_correction(); }, correction);
}

int RadarInterface::set_decimation_factor_no_throw(uint32_t factor)
{
    return no_throw([&] { set_decimation_factor(factor); });
}

int RadarInterface::get_decimation_factor_no_throw(uint32_t* factor)
{
    return no_throw([&] { return get_decimation_factor(); }, factor);
}

int RadarInterface::set_number_format_no_throw(uint8_t format)
{
    return no_throw([&] { set_number_format(format); });
}

int RadarInterface::get_number_format_no_throw(uint8_t* format)
{
    return no_throw([&] { return get_number_format(); }, format);
}

int RadarInterface::set_legacy_output_no_throw(uint8_t value)
{
    return no_throw([&] { set_legacy_output(value); });
}

int RadarInterface::get_legacy_output_no_throw(uint8_t* value)
{
    return no_throw([&] { return get_legacy_output(); }, value);
}

void RadarInterface::set_detection_zone(float start, float end)
{
    Trace trace(logger, 3, "set_detection_zone");
    auto use = communicator.use();
    check_ack_record(parser,
        use->send(default_timeout, commands.create_set_detection_zone(start, end), ack_or_error()),
        "set_detection_zone failed");
}

std::pair<float, float> RadarInterface::get_detection_zone()
{
    Trace trace(logger, 3, "get_detection_zone");
    auto use = communicator.use();
    const Bytes reply = use->send(default_timeout, commands.create_get_detection_zone(),
        std::vector<Bytes> { { 0x11, 0x12 }, { 0x20 } });
    const uint8_t* data = reply_data_or_code(parser, reply, 8, "get_detection_zone failed");
    return { f32(data), f32(data + 4) };
}

std::tuple<float, float, float> RadarInterface::get_detection_zone_limits()
{
    Trace trace(logger, 3, "get_detection_zone_limits");
    auto use = communicator.use();
    const Bytes reply = use->send(default_timeout, commands.create_get_detection_zone_limits(),
        std::vector<Bytes> { { 0x11, 0x12 }, { 0x20 } });
    const uint8_t* data = reply_data_or_code(parser, reply, 12, "get_detection_zone_limits failed");
    return { f32(data), f32(data + 4), f32(data + 8) };
}

void RadarInterface::set_application_user_zone(float start, float end)
{
    Trace trace(logger, 3, "set_application_user_zone");
    auto use = communicator.use();
    check_ack_record(parser,
        use->send(default_timeout, commands.create_set_application_user_zone(start, end), ack_or_error()),
        "set_application_user_zone failed");
}

std::pair<float, float> RadarInterface::get_application_user_zone()
{
    Trace trace(logger, 3, "get_application_user_zone");
    auto use = communicator.use();
    const Bytes reply = use->send(default_timeout, commands.create_get_application_user_zone(),
        std::vector<Bytes> { { 0x11, 0x12 }, { 0x20 } });
    const uint8_t* data = reply_data_or_code(parser, reply, 8, "get_application_user_zone failed");
    return { f32(data), f32(data + 4) };
}

int RadarInterface::set_detection_zone_no_throw(float start, float end)
{
    return no_throw([&] { set_detection_zone(start, end); });
}

int RadarInterface::get_detection_zone_no_throw(float* start, float* end)
{
    return no_throw([&] { return get_detection_zone(); }, start, end);
}

int RadarInterface::get_detection_zone_limits_no_throw(float* first, float* second, float* third)
{
    return no_throw([&] { return get_detection_zone_limits(); }, first, second, third);
}

int RadarInterface::set_application_user_zone_no_throw(float start, float end)
{
    return no_throw([&] { set_application_user_zone(start, end); });
}

int RadarInterface::get_application_user_zone_no_throw(float* start, float* end)
{
    return no_throw([&] { return get_application_user_zone(); }, start, end);
}

void RadarInterface::set_sensitivity(uint32_t sensitivity)
{
    Trace trace(logger, 3, "set_sensitivity");
    auto use = communicator.use();
    check_ack_record(parser,
        use->send(default_timeout, commands.create_set_sensitivity(sensitivity), ack_or_error()),
        "set_sensitivity failed");
}

uint32_t RadarInterface::get_sensitivity()
{
    Trace trace(logger, 3, "get_sensitivity");
    auto use = communicator.use();
    const Bytes reply = use->send(
        default_timeout, commands.create_get_sensitivity(), std::vector<Bytes> { { 0x11, 0x11 }, { 0x20 } });
    return reply_data(parser, reply, 1, "get_sensitivity")[0];
}

void RadarInterface::set_tx_center_frequency(uint32_t frequency)
{
    Trace trace(logger, 3, "set_tx_center_frequency");
    auto use = communicator.use();
    check_ack_record(parser,
        use->send(default_timeout, commands.create_set_tx_center_frequency(frequency), ack_or_error()),
        "set_tx_center_frequency failed");
}

uint32_t RadarInterface::get_tx_center_frequency()
{
    Trace trace(logger, 3, "get_tx_center_frequency");
    auto use = communicator.use();
    const Bytes reply = use->send(default_timeout, commands.create_get_tx_center_frequency(),
        std::vector<Bytes> { { 0x11, 0x11 }, { 0x20 } });
    return u32(reply_data(parser, reply, 4, "get_tx_center_frequency"));
}

int RadarInterface::set_sensitivity_no_throw(uint32_t sensitivity)
{
    return no_throw([&] { set_sensitivity(sensitivity); });
}

int RadarInterface::get_sensitivity_no_throw(uint32_t* sensitivity)
{
    return no_throw([&] { return get_sensitivity(); }, sensitivity);
}

int RadarInterface::set_tx_center_frequency_no_throw(uint32_t frequency)
{
    return no_throw([&] { set_tx_center_frequency(frequency); });
}

int RadarInterface::get_tx_center_frequency_no_throw(uint32_t* frequency)
{
    return no_throw([&] { return get_tx_center_frequency(); }, frequency);
}

// ==== Noise map =============================================================

void RadarInterface::store_noisemap()
{
    Trace trace(logger, 3, "store_noisemap");
    auto use = communicator.use();
    handle_ack(
        use->send(default_timeout, commands.create_store_noise_map(), ack_or_error()), "store_noisemap");
}

void RadarInterface::load_noisemap()
{
    Trace trace(logger, 3, "load_noisemap");
    auto use = communicator.use();
    handle_ack(use->send(default_timeout, commands.create_load_noise_map(), ack_or_error()), "load_noisemap");
}

void RadarInterface::delete_noisemap()
{
    Trace trace(logger, 3, "delete_noisemap");
    auto use = communicator.use();
    handle_ack(
        use->send(default_timeout, commands.create_delete_noise_map(), ack_or_error()), "delete_noisemap");
}

void RadarInterface::set_noisemap_control(uint32_t control)
{
    Trace trace(logger, 3, "set_noisemap_control");
    auto use = communicator.use();
    handle_ack(use->send(default_timeout, commands.create_set_noisemap_control(control), ack_or_error()),
        "set_noisemap_control");
}

uint32_t RadarInterface::get_noisemap_control()
{
    Trace trace(logger, 3, "get_noisemap_control");
    auto use = communicator.use();
    const Bytes reply = use->send(default_timeout, commands.create_get_noisemap_control(),
        std::vector<Bytes> { { 0x11, 0x11 }, { 0x20 } });
    return reply_data(parser, reply, 1, "get_noisemap_control")[0];
}

void RadarInterface::set_periodic_noisemap_store(uint32_t first, uint32_t second)
{
    Trace trace(logger, 3, "set_periodic_noisemap_store");
    auto use = communicator.use();
    handle_ack(use->send(default_timeout, commands.create_set_periodic_noisemap_store(first, second),
                   ack_or_error()),
        "set_periodic_noisemap_store");
}

std::pair<uint32_t, uint32_t> RadarInterface::get_periodic_noisemap_store()
{
    Trace trace(logger, 3, "get_periodic_noisemap_store");
    auto use = communicator.use();
    const Bytes reply = use->send(default_timeout, commands.create_get_periodic_noisemap_store(),
        std::vector<Bytes> { { 0x11, 0x11 }, { 0x20 } });
    const uint8_t* data = reply_data(parser, reply, 8, "get_periodic_noisemap_store");
    return { u32(data), u32(data + 4) };
}

int RadarInterface::store_noisemap_no_throw()
{
    return no_throw([&] { store_noisemap(); });
}

int RadarInterface::load_noisemap_no_throw()
{
    return no_throw([&] { load_noisemap(); });
}

int RadarInterface::delete_noisemap_no_throw()
{
    return no_throw([&] { delete_noisemap(); });
}

int RadarInterface::set_noisemap_control_no_throw(uint32_t control)
{
    return no_throw([&] { set_noisemap_control(control); });
}

int RadarInterface::get_noisemap_control_no_throw(uint32_t* control)
{
    return no_throw([&] { return get_noisemap_control(); }, control);
}

int RadarInterface::set_periodic_noisemap_store_no_throw(uint32_t first, uint32_t second)
{
    return no_throw([&] { set_periodic_noisemap_store(first, second); });
}

int RadarInterface::get_periodic_noisemap_store_no_throw(uint32_t* first, uint32_t* second)
{
    return no_throw([&] { return get_periodic_noisemap_store(); }, first, second);
}

// ==== IO pins and output control ============================================

void RadarInterface::set_iopin_control(uint32_t pin, uint32_t first, uint32_t second)
{
    Trace trace(logger, 3, "set_iopin_control");
    auto use = communicator.use();
    handle_ack(
        use->send(default_timeout, commands.create_set_iopin_control(pin, first, second), ack_or_error()),
        "set_iopin_control");
}

std::pair<uint32_t, uint32_t> RadarInterface::get_iopin_control(uint32_t pin)
{
    Trace trace(logger, 3, "get_iopin_control");
    auto use = communicator.use();
    const Bytes reply = use->send(default_timeout, commands.create_get_iopin_control(pin),
        std::vector<Bytes> { { 0x11, 0x11 }, { 0x20 } });
    const uint8_t* data = reply_data_or_code(parser, reply, 8, "get_iopin_control failed");
    return { u32(data), u32(data + 4) };
}

void RadarInterface::set_iopin_value(uint32_t pin, uint32_t value)
{
    Trace trace(logger, 3, "set_iopin_value");
    auto use = communicator.use();
    handle_ack(use->send(default_timeout, commands.create_set_iopin_value(pin, value), ack_or_error()),
        "set_iopin_value");
}

uint32_t RadarInterface::get_iopin_value(uint32_t pin)
{
    Trace trace(logger, 3, "get_iopin_value");
    auto use = communicator.use();
    const Bytes reply = use->send(default_timeout, commands.create_get_iopin_value(pin),
        std::vector<Bytes> { { 0x11, 0x11 }, { 0x20 } });
    return u32(reply_data(parser, reply, 4, "get_iopin_value"));
}

void RadarInterface::set_output_control(uint32_t output, uint32_t control)
{
    Trace trace(logger, 3, "set_output_control");
    auto use = communicator.use();
    handle_ack(
        use->send(default_timeout, commands.create_set_output_control(output, control), ack_or_error()),
        "set_output_control");
}

uint32_t RadarInterface::get_output_control(uint32_t output)
{
    Trace trace(logger, 3, "get_output_control");
    auto use = communicator.use();
    const Bytes reply = use->send(default_timeout, commands.create_get_output_control(output),
        std::vector<Bytes> { { 0x11, 0x11 }, { 0x20 } });
    return reply_data(parser, reply, 1, "get_output_control")[0];
}

void RadarInterface::set_debug_output_control(uint32_t output, uint32_t control)
{
    Trace trace(logger, 3, "set_debug_output_control");
    auto use = communicator.use();
    handle_ack(
        use->send(default_timeout, commands.create_set_debug_output_control(output, control), ack_or_error()),
        "set_debug_output_control");
}

uint32_t RadarInterface::get_debug_output_control(uint32_t output)
{
    Trace trace(logger, 3, "get_debug_output_control");
    auto use = communicator.use();
    const Bytes reply = use->send(default_timeout, commands.create_get_debug_output_control(output),
        std::vector<Bytes> { { 0x11, 0x11 }, { 0x20 } });
    return reply_data(parser, reply, 1, "get_debug_output_control")[0];
}

int RadarInterface::set_iopin_control_no_throw(uint32_t pin, uint32_t first, uint32_t second)
{
    return no_throw([&] { set_iopin_control(pin, first, second); });
}

int RadarInterface::get_iopin_control_no_throw(uint32_t pin, uint32_t* first, uint32_t* second)
{
    return no_throw([&] { return get_iopin_control(pin); }, first, second);
}

int RadarInterface::set_iopin_value_no_throw(uint32_t pin, uint32_t value)
{
    return no_throw([&] { set_iopin_value(pin, value); });
}

int RadarInterface::get_iopin_value(uint32_t pin, uint32_t* value)
{
    return no_throw([&] { return get_iopin_value(pin); }, value);
}

int RadarInterface::set_output_control_no_throw(uint32_t output, uint32_t control)
{
    return no_throw([&] { set_output_control(output, control); });
}

int RadarInterface::get_output_control_no_throw(uint32_t output, uint32_t* control)
{
    return no_throw([&] { return get_output_control(output); }, control);
}

int RadarInterface::set_debug_output_control_no_throw(uint32_t output, uint32_t control)
{
    return no_throw([&] { set_debug_output_control(output, control); });
}

int RadarInterface::get_debug_output_control_no_throw(uint32_t output, uint32_t* control)
{
    return no_throw([&] { return get_debug_output_control(output); }, control);
}

// ==== Profiles, output switches and module lifecycle ========================

namespace {

// The pong value, or 1 for a reply that is no whole pong (an error reply, a
// short pong, the empty reply of a closed connection).
uint32_t pong_value(const Parser& parser, const Bytes& reply)
{
    ParseResult<unsigned int> result;
    parser.parse_pong(reply, &result);
    if (result.error || !result.valid)
        return 1;
    return result.record;
}

constexpr uint32_t sleep_profile_id = 0x00F17B17;
constexpr uint32_t respiration_profile_id = 0x1423A2D6;
constexpr int baseband_iq = 1;
constexpr int baseband_ap = 2;
constexpr unsigned bootloader_key = 0x3F6C2B94;
constexpr unsigned bootloader_key_second = 0x7D41C0A3;

} // namespace

uint32_t RadarInterface::ping()
{
    Trace trace(logger, 3, "ping");
    auto use = communicator.use();
    const Bytes reply
        = use->send(default_timeout, commands.create_ping(), std::vector<Bytes> { { 0x01 }, { 0x20 } });
    return pong_value(parser, reply);
}

void RadarInterface::module_reset()
{
    Trace trace(logger, 3, "module_reset");
    auto use = communicator.use();
    const Bytes reply = use->send(
        default_timeout, commands.create_module_reset(), std::vector<Bytes> { { 0x10 }, { 0x20 } });
    handle_ack(reply, "module_reset");
}

void RadarInterface::load_profile(uint32_t profile_id)
{
    Trace trace(logger, 3, "load_profile");
    auto use = communicator.use();
    check_ack_record(parser,
        use->send(default_timeout, commands.create_load_profile(profile_id), ack_or_error()),
        "load profile failed");
}

void RadarInterface::load_sleep_profile()
{
    load_profile(sleep_profile_id);
}

void RadarInterface::load_respiration_profile()
{
    load_profile(respiration_profile_id);
}

void RadarInterface::enable_baseband(int kind, bool enable)
{
    Trace trace(logger, 3, "enable_baseband");
    auto use = communicator.use();
    const Bytes reply
        = use->send(default_timeout, commands.create_enable_baseband(kind, enable), ack_or_error());
    check_error_byte(reply, enable ? "enable baseband failed" : "disable baseband failed");
}

void RadarInterface::enable_baseband_ap()
{
    enable_baseband(baseband_ap, true);
}

void RadarInterface::disable_baseband_ap()
{
    enable_baseband(baseband_ap, false);
}

void RadarInterface::enable_baseband_iq()
{
    enable_baseband(baseband_iq, true);
}

void RadarInterface::disable_baseband_iq()
{
    enable_baseband(baseband_iq, false);
}

void RadarInterface::enable_resp_output()
{
    Trace trace(logger, 3, "enable_resp_output");
    auto use = communicator.use();
    check_ack_record(parser, use->send(default_timeout, commands.create_enable_resp_ouput(), ack_or_error()),
        "enable_resp_output failed");
}

void RadarInterface::disable_resp_output()
{
    Trace trace(logger, 3, "disable_resp_output");
    auto use = communicator.use();
    check_ack_record(parser, use->send(default_timeout, commands.create_disable_resp_ouput(), ack_or_error()),
        "disable_resp_output failed");
}

void RadarInterface::reset_to_factory_preset()
{
    Trace trace(logger, 3, "reset_to_factory_preset");
    auto use = communicator.use();
    check_ack_record(parser,
        use->send(default_timeout, commands.create_reset_to_factory_preset(), ack_or_error()),
        "reset_to_factory_preset failed");
}

int RadarInterface::system_run_test(uint8_t code, Bytes* result)
{
    Trace trace(logger, 3, "system_run_test");
    auto use = communicator.use();
    const Bytes reply = use->send(default_timeout, commands.create_system_run_test(code),
        std::vector<Bytes> { { 0x11, 0x10 }, { 0x20 }, { 0x10 } });
    // The parser has checked the reply's length field against its data.
    const std::optional<Reply> decoded = decode_reply(reply);
    if (!decoded)
        return 1;
    result->assign(decoded->data, decoded->data + decoded->length);
    return 0;
}

void RadarInterface::start_bootloader(unsigned int key)
{
    auto use = communicator.use();
    handle_ack(use->send(default_timeout, commands.create_start_bootloader(key), ack_or_error()),
        "start_bootloader");
}

void RadarInterface::start_bootloader()
{
    // Bootloaders of different ages take different keys.
    try {
        start_bootloader(bootloader_key);
    } catch (...) {
        start_bootloader(bootloader_key_second);
    }
}

int RadarInterface::load_profile_no_throw(uint32_t profile_id)
{
    return no_throw([&] { load_profile(profile_id); });
}

int RadarInterface::load_sleep_profile_no_throw()
{
    return no_throw([&] { load_profile(sleep_profile_id); });
}

int RadarInterface::load_respiration_profile_no_throw()
{
    return no_throw([&] { load_profile(respiration_profile_id); });
}

int RadarInterface::enable_baseband_no_throw(int kind)
{
    return no_throw([&] { enable_baseband(kind, true); });
}

int RadarInterface::enable_baseband_ap_no_throw()
{
    return no_throw([&] { enable_baseband(baseband_ap, true); });
}

int RadarInterface::disable_baseband_ap_no_throw()
{
    return no_throw([&] { enable_baseband(baseband_ap, false); });
}

int RadarInterface::enable_baseband_iq_no_throw()
{
    return no_throw([&] { enable_baseband(baseband_iq, true); });
}

int RadarInterface::disable_baseband_iq_no_throw()
{
    return no_throw([&] { enable_baseband(baseband_iq, false); });
}

int RadarInterface::enable_resp_output_no_throw()
{
    return no_throw([&] { enable_resp_output(); });
}

int RadarInterface::disable_resp_output_no_throw()
{
    return no_throw([&] { disable_resp_output(); });
}

int RadarInterface::reset_to_factory_preset_no_throw()
{
    return no_throw([&] { reset_to_factory_preset(); });
}

int RadarInterface::module_reset_no_throw()
{
    return no_throw([&] { module_reset(); });
}

int RadarInterface::start_bootloader_no_throw()
{
    return no_throw([&] { start_bootloader(); });
}

int RadarInterface::ping(uint32_t* pong)
{
    // ping() reads the empty reply of a closed connection as 1, like a
    // refused ping; as a status that would be success for a ping that never
    // went out, so the twin makes the exchange itself and fails on it.
    return no_throw(
        [&] {
            Trace trace(logger, 3, "ping");
            auto use = communicator.use();
            const Bytes reply = use->send(
                default_timeout, commands.create_ping(), std::vector<Bytes> { { 0x01 }, { 0x20 } });
            if (reply.empty())
                throw SarvikException("ping response from module is empty", 1);
            return pong_value(parser, reply);
        },
        pong);
}

// ==== Z7 chip driver commands ===============================================

namespace {

// A chip-driver reading: the method's name and the reply it awaits besides an
// error, {0x11, value type, low byte of the parameter id}. A reply to another
// parameter or of another type is not taken as the answer.
struct ChipReading {
    const char* method;
    uint8_t value_type;
    uint8_t parameter;
};

constexpr uint8_t byte_value = 0x10;
constexpr uint8_t u32_value = 0x11;
constexpr uint8_t f32_value = 0x12;

namespace chip {
constexpr ChipReading fps { "z7driver_get_fps", f32_value, 0x10 };
constexpr ChipReading pulsesperstep { "z7driver_get_pulsesperstep", u32_value, 0x11 };
constexpr ChipReading iterations { "z7driver_get_iterations", u32_value, 0x12 };
constexpr ChipReading downconversion { "z7driver_get_downconversion", byte_value, 0x13 };
constexpr ChipReading frame_area { "z7driver_get_frame_area", f32_value, 0x14 };
constexpr ChipReading dac_min { "z7driver_get_dac_min", u32_value, 0x16 };
constexpr ChipReading dac_max { "z7driver_get_dac_max", u32_value, 0x17 };
constexpr ChipReading frame_area_offset { "z7driver_get_frame_area_offset", f32_value, 0x18 };
constexpr ChipReading tx_center_frequency { "z7driver_get_tx_center_frequency", byte_value, 0x20 };
constexpr ChipReading tx_power { "z7driver_get_tx_power", byte_value, 0x21 };
constexpr ChipReading spi_register { "z7driver_get_spi_register", byte_value, 0x22 };
constexpr ChipReading pif_register { "z7driver_get_pif_register", byte_value, 0x23 };
constexpr ChipReading xif_register { "z7driver_get_xif_register", byte_value, 0x24 };
constexpr ChipReading prf_div { "z7driver_get_prf_div", byte_value, 0x25 };
constexpr ChipReading frame_bin_count { "z7driver_get_frame_bin_count", u32_value, 0x26 };
// The SPI bulk read awaits the same reply as the single SPI register.
constexpr ChipReading spi_transfer { "z7driver_read_from_spi_register", byte_value, 0x22 };
constexpr ChipReading i2c_transfer { "z7driver_read_from_i2c_register", byte_value, 0x27 };
} // namespace chip

// How a result of each type is taken from a reader's reply: a value from the
// start of the data, which must hold it whole; a bulk read as every data byte
// the reply's length field gives. A refused reply throws std::runtime_error
// "parse_reply failed in <method>".
template <typename T> struct ChipValue;

template <> struct ChipValue<uint8_t> {
    static uint8_t read(const Parser& parser, const Bytes& reply, const char* method)
    {
        return reply_data(parser, reply, 1, method)[0];
    }
};

template <> struct ChipValue<uint32_t> {
    static uint32_t read(const Parser& parser, const Bytes& reply, const char* method)
    {
        return u32(reply_data(parser, reply, 4, method));
    }
};

template <> struct ChipValue<float> {
    static float read(const Parser& parser, const Bytes& reply, const char* method)
    {
        return f32(reply_data(parser, reply, 4, method));
    }
};

template <> struct ChipValue<Sarvik::FrameArea> {
    static Sarvik::FrameArea read(const Parser& parser, const Bytes& reply, const char* method)
    {
        const uint8_t* data = reply_data(parser, reply, 8, method);
        Sarvik::FrameArea area;
        area.start = f32(data);
        area.end = f32(data + 4);
        return area;
    }
};

template <> struct ChipValue<Bytes> {
    static Bytes read(const Parser& parser, const Bytes& reply, const char* method)
    {
        // The decoder has checked that the data its length field gives lie
        // inside the reply.
        ParseResult<Reply> result;
        parser.parse_reply(reply, &result);
        if (result.error || !result.valid)
            throw std::runtime_error(std::string("parse_reply failed in ") + method);
        const Reply& r = result.record;
        return r.length ? Bytes(r.data, r.data + r.length) : Bytes();
    }
};

} // namespace

void RadarInterface::write_chip(const char* method, const Bytes& command)
{
    Trace trace(logger, 3, method);
    handle_ack(communicator.use()->send(default_timeout, command, ack_or_error()), method);
}

template <typename T, typename Reading>
T RadarInterface::read_chip(const Reading& reading, const Bytes& command)
{
    Trace trace(logger, 3, reading.method);
    auto use = communicator.use();
    const Bytes reply = use->send(default_timeout, command,
        std::vector<Bytes> { { 0x11, reading.value_type, reading.parameter }, { error_byte } });
    return ChipValue<T>::read(parser, reply, reading.method);
}

void RadarInterface::z7driver_init()
{
    write_chip("z7driver_init", commands.create_z7driver_init());
}

void RadarInterface::z7driver_set_fps(float fps)
{
    write_chip("z7driver_set_fps", commands.create_z7driver_set_fps(fps));
}

void RadarInterface::z7driver_set_pulsesperstep(uint32_t value)
{
    write_chip("z7driver_set_pulsesperstep", commands.create_z7driver_set_pulsesperstep(value));
}

void RadarInterface::z7driver_set_iterations(uint32_t value)
{
    write_chip("z7driver_set_iterations", commands.create_z7driver_set_iterations(value));
}

void RadarInterface::z7driver_set_downconversion(uint8_t value)
{
    write_chip("z7driver_set_downconversion", commands.create_z7driver_set_downconversion(value));
}

void RadarInterface::z7driver_set_frame_area(float start, float end)
{
    write_chip("z7driver_set_frame_area", commands.create_z7driver_set_frame_area(start, end));
}

void RadarInterface::z7driver_set_dac_min(uint32_t value)
{
    write_chip("z7driver_set_dac_min", commands.create_z7driver_set_dac_min(value));
}

void RadarInterface::z7driver_set_dac_max(uint32_t value)
{
    write_chip("z7driver_set_dac_max", commands.create_z7driver_set_dac_max(value));
}

void RadarInterface::z7driver_set_frame_area_offset(float offset)
{
    write_chip("z7driver_set_frame_area_offset", commands.create_z7driver_set_frame_area_offset(offset));
}

void RadarInterface::z7driver_set_enable(uint8_t value)
{
    write_chip("z7driver_set_enable", commands.create_z7driver_set_enable(value));
}

void RadarInterface::z7driver_set_tx_center_frequency(uint8_t value)
{
    write_chip("z7driver_set_tx_center_frequency", commands.create_z7driver_set_tx_center_frequency(value));
}

void RadarInterface::z7driver_set_tx_power(uint8_t value)
{
    write_chip("z7driver_set_tx_power", commands.create_z7driver_set_tx_power(value));
}

void RadarInterface::z7driver_set_spi_register(uint8_t address, uint8_t value)
{
    write_chip("z7driver_set_spi_register", commands.create_z7driver_set_spi_register(address, value));
}

void RadarInterface::z7driver_set_pif_register(uint8_t address, uint8_t value)
{
    write_chip("z7driver_set_pif_register", commands.create_z7driver_set_pif_register(address, value));
}

void RadarInterface::z7driver_set_xif_register(uint8_t address, uint8_t value)
{
    write_chip("z7driver_set_xif_register", commands.create_z7driver_set_xif_register(address, value));
}

void RadarInterface::z7driver_set_prf_div(uint8_t value)
{
    write_chip("z7driver_set_prf_div", commands.create_z7driver_set_prf_div(value));
}

void RadarInterface::z7driver_write_to_spi_register(uint8_t address, const Bytes& data)
{
    write_chip(
        "z7driver_write_to_spi_register", commands.create_z7driver_write_to_spi_register(address, data));
}

void RadarInterface::z7driver_write_to_i2c_register(uint8_t address, const Bytes& data)
{
    write_chip(
        "z7driver_write_to_i2c_register", commands.create_z7driver_write_to_i2c_register(address, data));
}

float RadarInterface::z7driver_get_fps()
{
    return read_chip<float>(chip::fps, commands.create_z7driver_get_fps());
}

uint32_t RadarInterface::z7driver_get_pulsesperstep()
{
    return read_chip<uint32_t>(chip::pulsesperstep, commands.create_z7driver_get_pulsesperstep());
}

uint32_t RadarInterface::z7driver_get_iterations()
{
    return read_chip<uint32_t>(chip::iterations, commands.create_z7driver_get_iterations());
}

uint8_t RadarInterface::z7driver_get_downconversion()
{
    return read_chip<uint8_t>(chip::downconversion, commands.create_z7driver_get_downconversion());
}

Sarvik::FrameArea RadarInterface::z7driver_get_frame_area()
{
    return read_chip<Sarvik::FrameArea>(chip::frame_area, commands.create_z7driver_get_frame_area());
}

uint32_t RadarInterface::z7driver_get_dac_min()
{
    return read_chip<uint32_t>(chip::dac_min, commands.create_z7driver_get_dac_min());
}

uint32_t RadarInterface::z7driver_get_dac_max()
{
    return read_chip<uint32_t>(chip::dac_max, commands.create_z7driver_get_dac_max());
}

float RadarInterface::z7driver_get_frame_area_offset()
{
    return read_chip<float>(chip::frame_area_offset, commands.create_z7driver_get_frame_area_offset());
}

uint8_t RadarInterface::z7driver_get_tx_center_frequency()
{
    return read_chip<uint8_t>(chip::tx_center_frequency, commands.create_z7driver_get_tx_center_frequency());
}

uint8_t RadarInterface::z7driver_get_tx_power()
{
    return read_chip<uint8_t>(chip::tx_power, commands.create_z7driver_get_tx_power());
}

uint8_t RadarInterface::z7driver_get_spi_register(uint8_t address)
{
    return read_chip<uint8_t>(chip::spi_register, commands.create_z7driver_get_spi_register(address));
}

uint8_t RadarInterface::z7driver_get_pif_register(uint8_t address)
{
    return read_chip<uint8_t>(chip::pif_register, commands.create_z7driver_get_pif_register(address));
}

uint8_t RadarInterface::z7driver_get_xif_register(uint8_t address)
{
    return read_chip<uint8_t>(chip::xif_register, commands.create_z7driver_get_xif_register(address));
}

uint8_t RadarInterface::z7driver_get_prf_div()
{
    return read_chip<uint8_t>(chip::prf_div, commands.create_z7driver_get_prf_div());
}

uint32_t RadarInterface::z7driver_get_frame_bin_count()
{
    return read_chip<uint32_t>(chip::frame_bin_count, commands.create_z7driver_get_framebincount());
}

Bytes RadarInterface::z7driver_read_from_spi_register(uint8_t address, uint32_t length)
{
    return read_chip<Bytes>(
        chip::spi_transfer, commands.create_z7driver_read_from_spi_register(address, length));
}

Bytes RadarInterface::z7driver_read_from_i2c_register(uint32_t length)
{
    return read_chip<Bytes>(chip::i2c_transfer, commands.create_z7driver_read_from_i2c_register(length));
}

int RadarInterface::z7driver_init_no_throw()
{
    return no_throw([&] { z7driver_init(); });
}

int RadarInterface::z7driver_set_fps_no_throw(float fps)
{
    return no_throw([&] { z7driver_set_fps(fps); });
}

int RadarInterface::z7driver_set_frame_area_offset_no_throw(float offset)
{
    return no_throw([&] { z7driver_set_frame_area_offset(offset); });
}

int RadarInterface::z7driver_set_frame_area_no_throw(float start, float end)
{
    return no_throw([&] { z7driver_set_frame_area(start, end); });
}

int RadarInterface::z7driver_set_iterations_no_throw(uint32_t value)
{
    return no_throw([&] { z7driver_set_iterations(value); });
}

int RadarInterface::z7driver_set_pulsesperstep_no_throw(uint32_t value)
{
    return no_throw([&] { z7driver_set_pulsesperstep(value); });
}

int RadarInterface::z7driver_set_dac_min_no_throw(uint32_t value)
{
    return no_throw([&] { z7driver_set_dac_min(value); });
}

int RadarInterface::z7driver_set_dac_max_no_throw(uint32_t value)
{
    return no_throw([&] { z7driver_set_dac_max(value); });
}

int RadarInterface::z7driver_set_downconversion_no_throw(uint8_t value)
{
    return no_throw([&] { z7driver_set_downconversion(value); });
}

int RadarInterface::z7driver_set_enable_no_throw(uint8_t value)
{
    return no_throw([&] { z7driver_set_enable(value); });
}

int RadarInterface::z7driver_set_tx_center_frequency_no_throw(uint8_t value)
{
    return no_throw([&] { z7driver_set_tx_center_frequency(value); });
}

int RadarInterface::z7driver_set_tx_power_no_throw(uint8_t value)
{
    return no_throw([&] { z7driver_set_tx_power(value); });
}

int RadarInterface::z7driver_set_prf_div_no_throw(uint8_t value)
{
    return no_throw([&] { z7driver_set_prf_div(value); });
}

int RadarInterface::z7driver_set_spi_register_no_throw(uint8_t address, uint8_t value)
{
    return no_throw([&] { z7driver_set_spi_register(address, value); });
}

int RadarInterface::z7driver_set_pif_register_no_throw(uint8_t address, uint8_t value)
{
    return no_throw([&] { z7driver_set_pif_register(address, value); });
}

int RadarInterface::z7driver_set_xif_register_no_throw(uint8_t address, uint8_t value)
{
    return no_throw([&] { z7driver_set_xif_register(address, value); });
}

int RadarInterface::z7driver_write_to_spi_register_no_throw(uint8_t address, const Bytes& data)
{
    return no_throw([&] { z7driver_write_to_spi_register(address, data); });
}

int RadarInterface::z7driver_write_to_i2c_register_no_throw(uint8_t address, const Bytes& data)
{
    return no_throw([&] { z7driver_write_to_i2c_register(address, data); });
}

int RadarInterface::z7driver_get_iterations_no_throw(uint32_t* value)
{
    return no_throw([&] { return z7driver_get_iterations(); }, value);
}

int RadarInterface::z7driver_get_pulsesperstep_no_throw(uint32_t* value)
{
    return no_throw([&] { return z7driver_get_pulsesperstep(); }, value);
}

int RadarInterface::z7driver_get_dac_min_no_throw(uint32_t* value)
{
    return no_throw([&] { return z7driver_get_dac_min(); }, value);
}

int RadarInterface::z7driver_get_dac_max_no_throw(uint32_t* value)
{
    return no_throw([&] { return z7driver_get_dac_max(); }, value);
}

int RadarInterface::z7driver_get_frame_bin_count_no_throw(uint32_t* value)
{
    return no_throw([&] { return z7driver_get_frame_bin_count(); }, value);
}

int RadarInterface::z7driver_get_downconversion_no_throw(uint8_t* value)
{
    return no_throw([&] { return z7driver_get_downconversion(); }, value);
}

int RadarInterface::z7driver_get_tx_center_frequency_no_throw(uint8_t* value)
{
    return no_throw([&] { return z7driver_get_tx_center_frequency(); }, value);
}

int RadarInterface::z7driver_get_tx_power_no_throw(uint8_t* value)
{
    return no_throw([&] { return z7driver_get_tx_power(); }, value);
}

int RadarInterface::z7driver_get_prf_div(uint8_t* value)
{
    return no_throw([&] { return z7driver_get_prf_div(); }, value);
}

int RadarInterface::z7driver_get_fps_no_throw(float* fps)
{
    return no_throw([&] { return z7driver_get_fps(); }, fps);
}

int RadarInterface::z7driver_get_frame_area_offset(float* offset)
{
    return no_throw([&] { return z7driver_get_frame_area_offset(); }, offset);
}

int RadarInterface::z7driver_get_spi_register_no_throw(uint8_t address, uint8_t* value)
{
    return no_throw([&] { return z7driver_get_spi_register(address); }, value);
}

int RadarInterface::z7driver_get_pif_register(uint8_t address, uint8_t* value)
{
    return no_throw([&] { return z7driver_get_pif_register(address); }, value);
}

int RadarInterface::z7driver_get_xif_register(uint8_t address, uint8_t* value)
{
    return no_throw([&] { return z7driver_get_xif_register(address); }, value);
}

int RadarInterface::z7driver_get_frame_area_no_throw(Sarvik::FrameArea* area)
{
    return no_throw([&] { return z7driver_get_frame_area(); }, area);
}

int RadarInterface::z7driver_read_from_spi_register_no_throw(uint8_t address, Bytes* data, uint32_t length)
{
    return no_throw([&] { return z7driver_read_from_spi_register(address, length); }, data);
}

int RadarInterface::z7driver_read_from_i2c_register_no_throw(Bytes* data, uint32_t length)
{
    return no_throw([&] { return z7driver_read_from_i2c_register(length); }, data);
}

// ==== Direct chip and system commands =======================================

namespace {

// The setters that drop their answer: its arrival is the acknowledgement. An
// empty answer comes only from a closed connection, where the command never
// went out, and must not read as success.
int arrival_status(const Bytes& answer)
{
    return answer.empty() ? 1 : 0;
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
    return static_cast<double>(high * (int64_t { 1 } << 32) + int64_t { u32(bytes) });
}

} // namespace

Bytes RadarInterface::exchange_single(const Bytes& command, Bytes reply_prefix, unsigned timeout)
{
    auto use = communicator.use();
    return use->send(timeout, command, std::move(reply_prefix));
}

int RadarInterface::answer_value(const Bytes& answer) const
{
    const std::optional<Reply> decoded = decode_reply(answer);
    const std::optional<uint32_t> value = decoded ? leading_u32(*decoded) : std::nullopt;
    return value ? static_cast<int>(*value) : 1;
}

void RadarInterface::set_debug_level(uint8_t level)
{
    Trace trace(logger, 3, "set_debug_level");
    const Bytes answer
        = exchange_single(commands.create_set_debug_level(level), { ack_byte }, default_timeout);
    check_error_byte(answer, "set_debug_level returned error");
}

int RadarInterface::set_Z3_float(uint32_t id, float value)
{
    Trace trace(logger, 3, "set_Z3_float");
    return answer_value(
        exchange_single(commands.create_set_float(id, value), { 0x11, 0x00, 0x13 }, default_timeout));
}

int RadarInterface::set_Z3_int(uint32_t id, uint32_t value)
{
    Trace trace(logger, 3, "set_Z3_int");
    return answer_value(
        exchange_single(commands.create_set_int(id, value), { 0x11, 0x00, 0x11 }, default_timeout));
}

int RadarInterface::set_Z3_register(uint32_t address, uint32_t value)
{
    Trace trace(logger, 3, "set_Z3_register");
    return answer_value(
        exchange_single(commands.create_set_register(address, value), { 0x11, 0x00, 0x15 }, default_timeout));
}

uint32_t RadarInterface::get_z3_register(uint32_t address)
{
    Trace trace(logger, 3, "get_z3_register");
    const Bytes answer
        = exchange_single(commands.create_get_register(address), { 0x11, 0x11, 0x16 }, default_timeout);
    const std::optional<Reply> decoded = decode_reply(answer);
    const std::optional<uint32_t> value = decoded ? leading_u32(*decoded) : std::nullopt;
    if (!value)
        throw std::runtime_error("parse_reply failed in get_z3_register");
    return *value;
}

int RadarInterface::run_timing_measurement()
{
    Trace trace(logger, 3, "run_timing_measurement");
    // The measurement itself takes the module a long while.
    constexpr unsigned timing_measurement_timeout = 70;
    return answer_value(exchange_single(
        commands.create_run_timing_measurement(), { 0x11, 0x00, 0x20 }, timing_measurement_timeout));
}

int RadarInterface::set_fps(uint32_t fps)
{
    Trace trace(logger, 3, "set_fps");
    constexpr int fps_config_id = 26;
    return arrival_status(exchange_single(
        commands.create_config_set_int(fps_config_id, static_cast<int>(fps)), { ack_byte }, default_timeout));
}

RawNormalizedFrame RadarInterface::capture_single_normalized_frame()
{
    Trace trace(logger, 3, "capture_single_normalized_frame");
    const Bytes answer = exchange_single(commands.create_get_frame(), { 0x11 }, default_timeout);
    const std::optional<Reply> decoded = decode_reply(answer);
    // This reply's length field counts floats, not bytes.
    if (!decoded || payload_offset + 4 * uint64_t(decoded->length) > answer.size())
        throw std::runtime_error("parser error of reply in capture_single_normalized_frame");
    RawNormalizedFrame frame;
    frame.info = decoded->info;
    frame.data.resize(decoded->length);
    if (decoded->length)
        std::memcpy(frame.data.data(), &answer[payload_offset], 4 * std::size_t(decoded->length));
    return frame;
}

void RadarInterface::set_sensor_mode(uint8_t mode)
{
    Trace trace(logger, 3, "set_sensor_mode");
    set_sensor_mode_and_submode(mode, 0);
}

int RadarInterface::system_run_test(uint8_t code)
{
    Trace trace(logger, 3, "system_run_test");
    return arrival_status(
        exchange_single(commands.create_config_run_test(code), { ack_byte }, default_timeout));
}

int RadarInterface::set_debug_level_no_throw(uint8_t level)
{
    return no_throw([&] { set_debug_level(level); });
}

int RadarInterface::set_sys_config_int(uint32_t id, uint32_t value)
{
    Trace trace(logger, 3, "set_sys_config_int");
    return arrival_status(
        exchange_single(commands.create_config_set_int(static_cast<int>(id), static_cast<int>(value)),
            { ack_byte }, default_timeout));
}

int RadarInterface::set_sys_config_float(uint32_t id, float value)
{
    Trace trace(logger, 3, "set_sys_config_float");
    return arrival_status(exchange_single(
        commands.create_config_set_float(static_cast<int>(id), value), { ack_byte }, default_timeout));
}

uint8_t RadarInterface::get_z7_io_pin_value(uint8_t pin)
{
    Trace trace(logger, 3, "get_z7_io_pin_value");
    const Bytes answer
        = exchange_single(commands.create_command({ 0x90, 0x36, pin }), { 0x11, 0x11 }, default_timeout);
    return first_data_byte(answer, "get_z7_io_pin_value");
}

int RadarInterface::set_z7_io_pin_value(uint8_t pin, uint8_t value)
{
    return arrival_status(exchange_single(
        commands.create_command({ 0x90, 0x35, pin, value }), { 0x11, 0x00, 0x35 }, default_timeout));
}

int RadarInterface::set_z7_io_pin_mode(uint8_t pin, uint8_t mode)
{
    return arrival_status(
        exchange_single(commands.create_command({ 0x90, 0x21, pin, mode }), { 0x11, 0x00 }, default_timeout));
}

int RadarInterface::set_z7_io_pin_dir(uint8_t pin, uint8_t direction)
{
    return arrival_status(exchange_single(
        commands.create_command({ 0x90, 0x34, pin, direction }), { 0x11, 0x00 }, default_timeout));
}

int RadarInterface::set_z7_io_pin_enable(uint8_t pin)
{
    return arrival_status(
        exchange_single(commands.create_command({ 0x90, 0x37, pin }), { 0x11, 0x00 }, default_timeout));
}

int RadarInterface::set_z7_io_pin_disable(uint8_t pin)
{
    return arrival_status(
        exchange_single(commands.create_command({ 0x90, 0x38, pin }), { 0x11, 0x00 }, default_timeout));
}

uint8_t RadarInterface::read_z7_spi(uint8_t address)
{
    const Bytes answer = exchange_single(
        commands.create_command({ 0x90, 0x32, address }), { 0x11, 0x11, 0x32 }, default_timeout);
    return first_data_byte(answer, "read_z7_spi");
}

int RadarInterface::write_z7_spi(uint8_t address, uint8_t value)
{
    // Bit 7 of the address marks a write to the chip's register.
    const auto write_address = static_cast<uint8_t>(address | 0x80);
    return arrival_status(exchange_single(commands.create_command({ 0x90, 0x33, write_address, value }),
        { 0x11, 0x00, 0x33 }, default_timeout));
}

int RadarInterface::set_z7_fps(uint32_t fps)
{
    Bytes payload { 0x90, 0x24 };
    little_endian::append_u32(payload, fps);
    return arrival_status(
        exchange_single(commands.create_command(payload), { 0x11, 0x00, 0x24 }, default_timeout));
}

int RadarInterface::subscribe_to_z7_desim(const std::string& name)
{
    return subscribe(name, Bytes { 0x51 });
}

int RadarInterface::get_z7_decim_frame(
    const std::string& name, uint32_t* frame_counter, double* samples, uint32_t capacity)
{
    Trace trace(logger, 3, "get_z7_decim_frame");
    // Held to the end: a destruction from another thread waits for it, so
    // the members used below are still there.
    auto use = communicator.use();
    const Bytes packet = use->get_packet(name);
    if (packet.empty() || packet[0] != 0x51) {
        logger.error("packet is not fast appdata packet");
        return 1;
    }
    if (packet.size() < decimated_counter_offset + 4)
        return 1;
    // The counter is handed out even when the samples are refused below.
    if (frame_counter)
        *frame_counter = u32(&packet[decimated_counter_offset]);
    if (packet.size() < decimated_samples_offset)
        return 1;
    const std::size_t count = (packet.size() - decimated_samples_offset) / decimated_sample_size;
    if (count > capacity || (count > 0 && !samples))
        return 1;
    for (std::size_t i = 0; i < count; ++i)
        samples[i] = decimated_sample(&packet[decimated_samples_offset + i * decimated_sample_size]);
    return 0;
}
