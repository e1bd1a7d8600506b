// Message subscriptions, queues and readers: every operation here is one
// kind of the message catalogue (MessageCatalogue.hpp) under its own name.
#include "command/RadarInterface.hpp"

#include <stdexcept>
#include <tuple>
#include <type_traits>
#include <utility>

#include "common/LittleEndian.hpp"
#include "link/AbstractRadarCommunicator.hpp"
#include "log/ConsoleAndFileLogger.hpp"
#include "protocol/MessageCatalogue.hpp"

namespace {

using namespace messages;

// Generic data messages carry their text or bytes from this byte on.
constexpr std::size_t payload_offset = 14;

std::string default_queue(const MessageKind& kind)
{
    if (!kind.default_queue)
        throw std::logic_error(std::string(kind.name) + " has no default queue");
    return kind.default_queue;
}

// A generic data message (A0, sub-type, content id, info, length, payload
// from byte 14): false for a packet that is not one of this sub-type, else
// true with the header fields handed out (null outputs skipped).
bool read_generic_header(const Bytes& packet, uint8_t subtype, unsigned* content_id, unsigned* info)
{
    if (packet.size() < payload_offset || packet[0] != LINKWELL_MESSAGE_DATA || packet[1] != subtype)
        return false;
    if (content_id)
        *content_id = little_endian::u32(&packet[2]);
    if (info)
        *info = little_endian::u32(&packet[6]);
    return true;
}

} // namespace

// ==== Any kind of message of the catalogue ==================================

int RadarInterface::subscribe_to(const MessageKind& kind, const std::string& name, PacketCallback callback)
{
    Trace trace(logger, 3, kind.subscribe_trace);
    communicator.use()->subscribe(name, std::move(callback), kind.prefix.to_bytes());
    return 0;
}

int RadarInterface::subscribe_to(const MessageKind& kind, const std::string& name)
{
    Trace trace(logger, 3, kind.subscribe_trace);
    communicator.use()->subscribe(name, kind.prefix.to_bytes());
    return 0;
}

int RadarInterface::subscribe_to(const MessageKind& kind)
{
    return subscribe_to(kind, default_queue(kind));
}

int RadarInterface::peek(const MessageKind& kind)
{
    return kind.default_queue ? get_number_of_packets(kind.default_queue) : 0;
}

template <typename Kind>
typename Kind::Public RadarInterface::read_traced(const char* trace_name, const std::string& queue)
{
    if constexpr (std::is_same_v<typename Kind::Codec, RawPacket>) {
        return read_raw(trace_name ? trace_name : "get_packet", queue);
    } else {
        Trace trace(logger, 3, trace_name);
        // Held until the record is built: a close from another thread waits
        // for it, so the parser outlives the decode.
        auto use = communicator.use();
        const Bytes packet = use->get_packet(queue);
        ParseResult<typename Kind::Codec> result;
        parser.decode<Kind>(packet, &result);
        if (result.error || !result.valid || !arrays_within(result.record, packet.data(), packet.size()))
            throw std::runtime_error(std::string(Kind::kind.reader_error) + trace_name);
        return to_public(result.record);
    }
}

template <typename Kind> typename Kind::Public RadarInterface::read(const std::string& queue)
{
    return read_traced<Kind>(Kind::kind.reader_trace, queue);
}

template <typename Kind> typename Kind::Public RadarInterface::read()
{
    return read<Kind>(default_queue(Kind::kind));
}

template <typename Kind> int RadarInterface::read(const std::string& queue, typename Kind::Public* out)
{
    return no_throw([&] { return read<Kind>(queue); }, out);
}

template <typename Kind> int RadarInterface::read(typename Kind::Public* out)
{
    return no_throw([&] { return read<Kind>(); }, out);
}

// Every kind's readers exist for the library's other interfaces, whatever
// this file uses of them.
#define LINKWELL_INSTANTIATE_READERS(Tag, ...)                                                               \
    template Tag::Public RadarInterface::read<Tag>(const std::string&);                                      \
    template Tag::Public RadarInterface::read<Tag>();                                                        \
    template int RadarInterface::read<Tag>(const std::string&, Tag::Public*);                                \
    template int RadarInterface::read<Tag>(Tag::Public*);
LINKWELL_MESSAGE_CATALOGUE(LINKWELL_INSTANTIATE_READERS)
#undef LINKWELL_INSTANTIATE_READERS

Bytes RadarInterface::read_raw(const char* trace_name, const std::string& queue)
{
    Trace trace(logger, 3, trace_name);
    auto use = communicator.use();
    return use->get_packet(queue);
}

int RadarInterface::auto_subscribe()
{
    for (const MessageKind* kind : catalogue)
        if (kind->default_queue)
            subscribe_to(*kind);
    return 0;
}

int RadarInterface::subscribe(const std::string& name, const Bytes& prefix, PacketCallback callback)
{
    Trace trace(logger, 3, "subscribe");
    communicator.use()->subscribe(name, std::move(callback), prefix);
    return 0;
}

// ==== Every kind's operations under their own names ========================
//
// Each line defines the operations of one form for one kind, as declared in
// RadarInterface.hpp: the callback, named-queue and default-queue
// subscriptions, the count of the default queue, the reader of the default
// queue and the reader of a named queue (each with its status-code twin), and
// the undecoded readers.

#define LINKWELL_SUBSCRIBE_CALLBACK(method, Tag)                                                             \
    int RadarInterface::method(const std::string& name, PacketCallback callback)                             \
    {                                                                                                        \
        return subscribe_to(Tag::kind, name, std::move(callback));                                           \
    }
#define LINKWELL_SUBSCRIBE_NAMED(method, Tag)                                                                \
    int RadarInterface::method(const std::string& name)                                                      \
    {                                                                                                        \
        return subscribe_to(Tag::kind, name);                                                                \
    }
#define LINKWELL_SUBSCRIBE_DEFAULT(method, Tag)                                                              \
    int RadarInterface::method()                                                                             \
    {                                                                                                        \
        return subscribe_to(Tag::kind);                                                                      \
    }
#define LINKWELL_PEEK(method, Tag)                                                                           \
    int RadarInterface::method()                                                                             \
    {                                                                                                        \
        return peek(Tag::kind);                                                                              \
    }
#define LINKWELL_READ(method, Tag)                                                                           \
    Tag::Public RadarInterface::method()                                                                     \
    {                                                                                                        \
        return read<Tag>();                                                                                  \
    }                                                                                                        \
    int RadarInterface::method(Tag::Public* out)                                                             \
    {                                                                                                        \
        return read<Tag>(out);                                                                               \
    }
#define LINKWELL_READ_NAMED(method, Tag)                                                                     \
    Tag::Public RadarInterface::method(std::string name)                                                     \
    {                                                                                                        \
        return read<Tag>(name);                                                                              \
    }                                                                                                        \
    int RadarInterface::method(std::string name, Tag::Public* out)                                           \
    {                                                                                                        \
        return read<Tag>(name, out);                                                                         \
    }
#define LINKWELL_READ_RAW(default_method, named_method, Tag)                                                 \
    Bytes RadarInterface::default_method()                                                                   \
    {                                                                                                        \
        return named_method(default_queue(Tag::kind));                                                       \
    }                                                                                                        \
    Bytes RadarInterface::named_method(std::string name)                                                     \
    {                                                                                                        \
        return read_raw(#named_method, name);                                                                \
    }

// clang-format off
LINKWELL_SUBSCRIBE_CALLBACK(subscribe_to_presence_single, PresenceSingle)
LINKWELL_SUBSCRIBE_DEFAULT(subscribe_to_presence_single, PresenceSingle)
LINKWELL_PEEK(peek_message_presence_single, PresenceSingle)
LINKWELL_READ(read_message_presence_single, PresenceSingle)

LINKWELL_SUBSCRIBE_CALLBACK(subscribe_to_presence_movinglist, PresenceMovingList)
LINKWELL_SUBSCRIBE_DEFAULT(subscribe_to_presence_movinglist, PresenceMovingList)
LINKWELL_PEEK(peek_message_presence_movinglist, PresenceMovingList)
LINKWELL_READ(read_message_presence_movinglist, PresenceMovingList)

LINKWELL_SUBSCRIBE_CALLBACK(subscribe_to_data_float, DataFloat)
LINKWELL_SUBSCRIBE_NAMED(subscribe_to_data_float, DataFloat)
LINKWELL_PEEK(peek_message_data_float, DataFloat)
LINKWELL_READ(read_message_data_float, DataFloat)

LINKWELL_SUBSCRIBE_CALLBACK(subscribe_to_data_string, DataString)
LINKWELL_SUBSCRIBE_NAMED(subscribe_to_data_string, DataString)
LINKWELL_PEEK(peek_message_data_string, DataString)

LINKWELL_SUBSCRIBE_CALLBACK(subscribe_to_data_byte, DataByte)
LINKWELL_SUBSCRIBE_NAMED(subscribe_to_data_byte, DataByte)
LINKWELL_PEEK(peek_message_data_byte, DataByte)

LINKWELL_SUBSCRIBE_CALLBACK(subscribe_to_baseband_iq, BasebandIq)
LINKWELL_SUBSCRIBE_NAMED(subscribe_to_baseband_iq, BasebandIq)
LINKWELL_SUBSCRIBE_DEFAULT(subscribe_to_baseband_iq, BasebandIq)
LINKWELL_PEEK(peek_message_baseband_iq, BasebandIq)
LINKWELL_READ(read_message_baseband_iq, BasebandIq)
LINKWELL_READ_NAMED(get_baseband_iq_data, BasebandIq)

LINKWELL_SUBSCRIBE_CALLBACK(subscribe_to_baseband_ap, BasebandAp)
LINKWELL_SUBSCRIBE_NAMED(subscribe_to_baseband_ap, BasebandAp)
LINKWELL_SUBSCRIBE_DEFAULT(subscribe_to_baseband_ap, BasebandAp)
LINKWELL_PEEK(peek_message_baseband_ap, BasebandAp)
LINKWELL_READ(read_message_baseband_ap, BasebandAp)
LINKWELL_READ_NAMED(get_baseband_ap_data, BasebandAp)

LINKWELL_SUBSCRIBE_CALLBACK(subscribe_to_pulsedoppler_float, PulseDopplerFloat)
LINKWELL_SUBSCRIBE_NAMED(subscribe_to_pulsedoppler_float, PulseDopplerFloat)
LINKWELL_SUBSCRIBE_DEFAULT(subscribe_to_pulsedoppler_float, PulseDopplerFloat)
LINKWELL_PEEK(peek_message_pulsedoppler_float, PulseDopplerFloat)
LINKWELL_READ(read_message_pulsedoppler_float, PulseDopplerFloat)
LINKWELL_READ_NAMED(get_pulsedoppler_float_data, PulseDopplerFloat)
LINKWELL_READ_RAW(read_message_pulsedoppler_raw_float, get_pulsedoppler_raw_float_data, PulseDopplerFloat)

LINKWELL_SUBSCRIBE_CALLBACK(subscribe_to_noisemap_float, NoiseMapFloat)
LINKWELL_SUBSCRIBE_NAMED(subscribe_to_noisemap_float, NoiseMapFloat)
LINKWELL_SUBSCRIBE_DEFAULT(subscribe_to_noisemap_float, NoiseMapFloat)
LINKWELL_PEEK(peek_message_noisemap_float, NoiseMapFloat)
LINKWELL_READ(read_message_noisemap_float, NoiseMapFloat)
LINKWELL_READ_NAMED(get_noisemap_float_data, NoiseMapFloat)
LINKWELL_READ_RAW(read_message_noisemap_raw_float, get_noisemap_raw_float_data, NoiseMapFloat)

LINKWELL_SUBSCRIBE_CALLBACK(subscribe_to_pulsedoppler_byte, PulseDopplerByte)
LINKWELL_SUBSCRIBE_NAMED(subscribe_to_pulsedoppler_byte, PulseDopplerByte)
LINKWELL_SUBSCRIBE_DEFAULT(subscribe_to_pulsedoppler_byte, PulseDopplerByte)
LINKWELL_PEEK(peek_message_pulsedoppler_byte, PulseDopplerByte)
LINKWELL_READ(read_message_pulsedoppler_byte, PulseDopplerByte)
LINKWELL_READ_NAMED(get_pulsedoppler_byte_data, PulseDopplerByte)
LINKWELL_READ_RAW(read_message_pulsedoppler_raw_byte, get_pulsedoppler_raw_byte_data, PulseDopplerByte)

LINKWELL_SUBSCRIBE_CALLBACK(subscribe_to_noisemap_byte, NoiseMapByte)
LINKWELL_SUBSCRIBE_NAMED(subscribe_to_noisemap_byte, NoiseMapByte)
LINKWELL_SUBSCRIBE_DEFAULT(subscribe_to_noisemap_byte, NoiseMapByte)
LINKWELL_PEEK(peek_message_noisemap_byte, NoiseMapByte)
LINKWELL_READ(read_message_noisemap_byte, NoiseMapByte)
LINKWELL_READ_NAMED(get_noisemap_byte_data, NoiseMapByte)
LINKWELL_READ_RAW(read_message_noisemap_raw_byte, get_noisemap_raw_byte_data, NoiseMapByte)

LINKWELL_SUBSCRIBE_DEFAULT(subscribe_to_system_status, SystemMessage)
LINKWELL_PEEK(peek_message_system, SystemMessage)

LINKWELL_SUBSCRIBE_CALLBACK(subscribe_to_resp_status, RespirationLegacy)
LINKWELL_SUBSCRIBE_NAMED(subscribe_to_resp_status, RespirationLegacy)
LINKWELL_SUBSCRIBE_DEFAULT(subscribe_to_respiration_legacy, RespirationLegacy)
LINKWELL_PEEK(peek_message_respiration_legacy, RespirationLegacy)
LINKWELL_READ(read_message_respiration_legacy, RespirationLegacy)
LINKWELL_READ_NAMED(get_respiration_data, RespirationLegacy)

LINKWELL_SUBSCRIBE_CALLBACK(subscribe_to_sleep_status, RespirationSleep)
LINKWELL_SUBSCRIBE_NAMED(subscribe_to_sleep_status, RespirationSleep)
LINKWELL_SUBSCRIBE_DEFAULT(subscribe_to_respiration_sleep, RespirationSleep)
LINKWELL_PEEK(peek_message_respiration_sleep, RespirationSleep)
LINKWELL_READ(read_message_respiration_sleep, RespirationSleep)
LINKWELL_READ_NAMED(get_sleep_data, RespirationSleep)

LINKWELL_SUBSCRIBE_CALLBACK(subscribe_to_respiration_movinglist, RespirationMovingList)
LINKWELL_SUBSCRIBE_DEFAULT(subscribe_to_respiration_movinglist, RespirationMovingList)
LINKWELL_PEEK(peek_message_respiration_movinglist, RespirationMovingList)
LINKWELL_READ(read_message_respiration_movinglist, RespirationMovingList)

LINKWELL_SUBSCRIBE_CALLBACK(subscribe_to_respiration_detectionlist, RespirationDetectionList)
LINKWELL_SUBSCRIBE_DEFAULT(subscribe_to_respiration_detectionlist, RespirationDetectionList)
LINKWELL_PEEK(peek_message_respiration_detectionlist, RespirationDetectionList)
LINKWELL_READ(read_message_respiration_detectionlist, RespirationDetectionList)

LINKWELL_SUBSCRIBE_CALLBACK(subscribe_to_respiration_normalizedmovementlist, RespirationNormalizedMovementList)
LINKWELL_SUBSCRIBE_DEFAULT(subscribe_to_respiration_normalizedmovementlist, RespirationNormalizedMovementList)
LINKWELL_PEEK(peek_message_respiration_normalizedmovementlist, RespirationNormalizedMovementList)
LINKWELL_READ(read_message_respiration_normalizedmovementlist, RespirationNormalizedMovementList)

LINKWELL_SUBSCRIBE_CALLBACK(subscribe_to_sleepstage, SleepStage)
LINKWELL_SUBSCRIBE_NAMED(subscribe_to_sleepstage, SleepStage)
LINKWELL_SUBSCRIBE_DEFAULT(subscribe_to_sleepstage, SleepStage)
LINKWELL_PEEK(peek_message_sleepstage, SleepStage)
LINKWELL_READ(read_message_sleepstage, SleepStage)

LINKWELL_SUBSCRIBE_CALLBACK(subscribe_to_vital_signs, VitalSigns)
LINKWELL_SUBSCRIBE_NAMED(subscribe_to_vital_signs, VitalSigns)
LINKWELL_SUBSCRIBE_DEFAULT(subscribe_to_vital_signs, VitalSigns)
LINKWELL_PEEK(peek_message_vital_signs, VitalSigns)
LINKWELL_READ(read_message_vital_signs, VitalSigns)

LINKWELL_SUBSCRIBE_CALLBACK(subscribe_to_radar_rf, RadarRf)
LINKWELL_SUBSCRIBE_NAMED(subscribe_to_radar_rf, RadarRf)
LINKWELL_SUBSCRIBE_DEFAULT(subscribe_to_radar_rf, RadarRf)
LINKWELL_PEEK(peek_message_radar_rf, RadarRf)
LINKWELL_READ(read_message_radar_rf, RadarRf)
LINKWELL_READ_NAMED(get_radar_rf_data, RadarRf)

LINKWELL_SUBSCRIBE_CALLBACK(subscribe_to_radar_rf_normalized, RadarRfNormalized)
LINKWELL_SUBSCRIBE_NAMED(subscribe_to_radar_rf_normalized, RadarRfNormalized)
LINKWELL_SUBSCRIBE_DEFAULT(subscribe_to_radar_rf_normalized, RadarRfNormalized)
LINKWELL_PEEK(peek_message_radar_rf_normalized, RadarRfNormalized)
LINKWELL_READ(read_message_radar_rf_normalized, RadarRfNormalized)
LINKWELL_READ_NAMED(get_radar_rf_normalized_data, RadarRfNormalized)

LINKWELL_SUBSCRIBE_CALLBACK(subscribe_to_radar_baseband_float, RadarBasebandFloat)
LINKWELL_SUBSCRIBE_NAMED(subscribe_to_radar_baseband_float, RadarBasebandFloat)
LINKWELL_SUBSCRIBE_DEFAULT(subscribe_to_radar_baseband_float, RadarBasebandFloat)
LINKWELL_PEEK(peek_message_radar_baseband_float, RadarBasebandFloat)
LINKWELL_READ(read_message_radar_baseband_float, RadarBasebandFloat)
LINKWELL_READ_NAMED(get_radar_baseband_float_data, RadarBasebandFloat)

LINKWELL_SUBSCRIBE_CALLBACK(subscribe_to_radar_baseband_q15, RadarBasebandQ15)
LINKWELL_SUBSCRIBE_NAMED(subscribe_to_radar_baseband_q15, RadarBasebandQ15)
LINKWELL_SUBSCRIBE_DEFAULT(subscribe_to_radar_baseband_q15, RadarBasebandQ15)
LINKWELL_PEEK(peek_message_radar_baseband_q15, RadarBasebandQ15)
LINKWELL_READ(read_message_radar_baseband_q15, RadarBasebandQ15)
LINKWELL_READ_NAMED(get_radar_baseband_q15_data, RadarBasebandQ15)

LINKWELL_SUBSCRIBE_CALLBACK(subscribe_to_performance_status, PerformanceStatus)
LINKWELL_SUBSCRIBE_NAMED(subscribe_to_performance_status, PerformanceStatus)

LINKWELL_SUBSCRIBE_CALLBACK(subscribe_to_radar_settings, RadarSettings)
LINKWELL_SUBSCRIBE_NAMED(subscribe_to_radar_settings, RadarSettings)
// clang-format on

#undef LINKWELL_SUBSCRIBE_CALLBACK
#undef LINKWELL_SUBSCRIBE_NAMED
#undef LINKWELL_SUBSCRIBE_DEFAULT
#undef LINKWELL_PEEK
#undef LINKWELL_READ
#undef LINKWELL_READ_NAMED
#undef LINKWELL_READ_RAW

// ==== The other names and forms =============================================

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

int RadarInterface::read_message_presence_single(unsigned int* frame_counter, unsigned int* presence_state,
    float* distance, unsigned char* direction, unsigned int* signal_quality)
{
    return no_throw(
        [&] {
            const Sarvik::PresenceSingleData r = read<PresenceSingle>();
            return std::make_tuple(
                r.frame_counter, r.presence_state, r.distance, r.direction, r.signal_quality);
        },
        frame_counter, presence_state, distance, direction, signal_quality);
}

int RadarInterface::peek_message_data_float(const std::string& name)
{
    return get_number_of_packets(name);
}

unsigned int RadarInterface::read_message_system()
{
    return read<SystemMessage>();
}

int RadarInterface::read_message_system_no_throw(unsigned int* status)
{
    return read<SystemMessage>(status);
}

RawNormalizedFrame RadarInterface::get_raw_normalized_frame(const std::string& name)
{
    Sarvik::DataFloat message = read_traced<DataFloat>("get_raw_normalized_frame", name);
    RawNormalizedFrame frame;
    frame.info = message.info;
    frame.data = std::move(message.data);
    return frame;
}

// ==== Generic string and byte data ==========================================

int RadarInterface::read_message_data_string(unsigned* content_id, unsigned* info, std::string* text)
{
    const Bytes packet = get_packet(default_queue(DataString::kind));
    if (!read_generic_header(packet, LINKWELL_DATA_SUBTYPE_STRING, content_id, info))
        return 1;
    if (text)
        text->assign(packet.begin() + payload_offset, packet.end());
    return 0;
}

int RadarInterface::read_message_data_byte(unsigned* content_id, unsigned* info, Bytes* data)
{
    const Bytes packet = get_packet(default_queue(DataByte::kind));
    if (!read_generic_header(packet, LINKWELL_DATA_SUBTYPE_BYTE, content_id, info))
        return 1;
    if (data)
        data->assign(packet.begin() + payload_offset, packet.end());
    return 0;
}
