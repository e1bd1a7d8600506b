// Message decoders. Packets come from modules, TCP peers and recordings on
// disk, so every count in them is untrusted: each read is preceded by a
// length test, and sizes computed from counts use 64-bit arithmetic so that
// no count can wrap a size around into an apparent match.
#include <linkwell/protocol_parser.h>

#include "common/LittleEndian.hpp"

static_assert(sizeof(packed_float) == 4 && alignof(packed_float) == 1, "packed_float is 4 bytes, any offset");
static_assert(sizeof(packed_int16) == 2 && alignof(packed_int16) == 1, "packed_int16 is 2 bytes, any offset");

namespace {

// Bounds-checked view of one packet. Callers test has() before reading.
class Packet {
public:
    Packet(const uint8_t* data, uint32_t length)
        : data_(data)
        , length_(data ? length : 0)
    { }

    bool empty() const { return length_ == 0; }
    uint32_t length() const { return length_; }
    bool has(uint64_t bytes) const { return length_ >= bytes; }
    uint8_t u8(uint32_t at) const { return data_[at]; }
    uint32_t u32(uint32_t at) const { return little_endian::u32(data_ + at); }
    float f32(uint32_t at) const { return little_endian::f32(data_ + at); }
    const uint8_t* bytes(uint64_t at) const { return data_ + at; }
    const packed_float* floats(uint64_t at) const
    {
        return reinterpret_cast<const packed_float*>(data_ + at);
    }
    const packed_int16* int16s(uint64_t at) const
    {
        return reinterpret_cast<const packed_int16*>(data_ + at);
    }

private:
    const uint8_t* data_;
    uint32_t length_;
};

// A caller's table may have been filled by hand; a missing slot is skipped
// rather than called.
template <typename Slot, typename Value> void call(Slot slot, Value value, void* user)
{
    if (slot)
        slot(value, user);
}

int report(const HostParser* parser, uint32_t code, void* user, int result)
{
    if (parser)
        call(parser->on_error, code, user);
    return result;
}

template <typename Slot, typename Record>
int deliver(const HostParser* parser, Slot HostParser::*slot, const Record& record, void* user)
{
    if (parser)
        call(parser->*slot, record, user);
    return 0;
}

enum : uint32_t { content_start = 5 };

// Type byte 0x50 and content id together, for the list and frame decoders.
// Returns 0 when the packet is of the expected content, else the status.
int check_content(
    const HostParser* parser, const Packet& p, uint32_t content_id, uint32_t id_mask, void* user)
{
    if (!p.has(content_start))
        return report(parser, LINKWELL_PARSE_ERROR_LENGTH, user, LINKWELL_PARSE_ERROR_LENGTH);
    if (p.u8(0) != LINKWELL_MESSAGE_APPDATA || (p.u32(1) & id_mask) != content_id)
        return report(parser, LINKWELL_PARSE_ERROR_TYPE, user, LINKWELL_PARSE_ERROR_TYPE);
    return 0;
}

int check_content(const HostParser* parser, const Packet& p, uint32_t content_id, void* user)
{
    return check_content(parser, p, content_id, 0xFFFFFFFFu, user);
}

int too_short(const HostParser* parser, void* user)
{
    return report(parser, LINKWELL_PARSE_ERROR_LENGTH, user, LINKWELL_PARSE_ERROR_LENGTH);
}

// The status decoders test the content id only, not the type byte, and
// return 1 for every refusal.
int check_status(const HostParser* parser, const Packet& p, uint32_t content_id, uint32_t size, void* user)
{
    if (!p.has(content_start))
        return report(parser, LINKWELL_PARSE_ERROR_LENGTH, user, 1);
    if (p.u32(1) != content_id)
        return report(parser, LINKWELL_PARSE_ERROR_TYPE, user, 1);
    if (!p.has(size))
        return report(parser, LINKWELL_PARSE_ERROR_LENGTH, user, 1);
    return 0;
}

// The five fields that RF and baseband frames share; parameter_4 travels as
// an unsigned integer.
template <typename Record> void read_radar_frame_head(const Packet& p, Record& r)
{
    r.frame_counter = p.u32(5);
    r.num_bins = p.u32(9);
    r.parameter_1 = p.f32(13);
    r.parameter_2 = p.f32(17);
    r.parameter_3 = p.f32(21);
    r.parameter_4 = static_cast<float>(p.u32(25));
    r.parameter_5 = p.f32(29);
}

template <typename Record> void read_radar_baseband_head(const Packet& p, Record& r)
{
    read_radar_frame_head(p, r);
    r.parameter_6 = p.u32(33);
    r.parameter_7 = p.u32(37);
    r.parameter_8 = p.f32(41);
    r.parameter_9 = p.f32(45);
}

template <typename Record> void read_pulsedoppler_head(const Packet& p, Record& r)
{
    r.parameter_1 = p.u32(5);
    r.parameter_2 = p.u32(9);
    r.parameter_3 = p.u32(13);
    r.parameter_4 = p.u32(17);
    r.count = p.u32(21);
    r.parameter_5 = p.u32(25);
    r.parameter_6 = p.f32(29);
    r.parameter_7 = p.f32(33);
    r.parameter_8 = p.f32(37);
    r.parameter_9 = p.f32(41);
    r.parameter_10 = p.f32(45);
}

template <typename Record>
int decode_rf(const HostParser* parser, const Packet& p, uint32_t content_id, void* user,
    void (*HostParser::*slot)(Record, void*))
{
    if (p.empty())
        return report(parser, LINKWELL_PARSE_ERROR_EMPTY, user, LINKWELL_PARSE_ERROR_EMPTY);
    if (int status = check_content(parser, p, content_id, user))
        return status;
    const uint32_t fixed = 33;
    if (!p.has(fixed))
        return too_short(parser, user);
    const uint64_t n = p.u32(9);
    if (!p.has(fixed + 4 * n))
        return too_short(parser, user);
    Record r;
    read_radar_frame_head(p, r);
    r.data = p.floats(fixed);
    return deliver(parser, slot, r, user);
}

template <typename Record>
int decode_baseband(const HostParser* parser, const Packet& p, uint32_t content_id, void* user,
    void (*HostParser::*slot)(Record, void*), const packed_float* Record::*first,
    const packed_float* Record::*second)
{
    if (p.empty())
        return report(parser, LINKWELL_PARSE_ERROR_EMPTY, user, LINKWELL_PARSE_ERROR_EMPTY);
    if (int status = check_content(parser, p, content_id, user))
        return status;
    const uint32_t fixed = 29;
    if (!p.has(fixed))
        return too_short(parser, user);
    const uint64_t n = p.u32(9);
    if (!p.has(fixed + 8 * n))
        return too_short(parser, user);
    Record r;
    r.frame_counter = p.u32(5);
    r.num_bins = p.u32(9);
    r.parameter_1 = p.f32(13);
    r.parameter_2 = p.f32(17);
    r.parameter_3 = p.f32(21);
    r.parameter_4 = p.f32(25);
    r.*first = p.floats(fixed);
    r.*second = p.floats(fixed + 4 * n);
    return deliver(parser, slot, r, user);
}

} // namespace

extern "C" {

// ---- default slots ----------------------------------------------------------

void default_pong_callback(uint32_t, void*) { }
void default_error_callback(uint32_t, void*) { }
void default_ack_callback(Ack, void*) { }
void default_datafloat_callback(FloatData_, void*) { }
void default_reply_callback(Reply, void*) { }
void default_respiration_callback(RespirationData, void*) { }
void default_sleep_callback(SleepData, void*) { }
void default_vitalsigns_callback(VitalSignsData, void*) { }
void default_sleepstage_callback(SleepStageData, void*) { }
void default_baseband_ap_callback(BasebandApData, void*) { }
void default_baseband_iq_callback(BasebandIqData, void*) { }
void default_presence_single(PresenceSingleData, void*) { }
void default_presence_movinglist(PresenceMovingListData, void*) { }
void default_system_status(SystemStatus, void*) { }
void default_respiration_movinglist(RespirationMovingListData, void*) { }
void default_respiration_detectionlist(RespirationDetectionListData, void*) { }
void default_respiration_normalizedmovementlist(RespirationNormalizedMovementListData, void*) { }
void default_pulsedoppler_float_callback(PulseDopplerFloatData, void*) { }
void default_pulsedoppler_byte_callback(PulseDopplerByteData, void*) { }
void default_radar_rf_callback(RadarRfData, void*) { }
void default_radar_rf_normalized_callback(RadarRfNormalizedData, void*) { }
void default_radar_baseband_float_callback(RadarBasebandFloatData, void*) { }
void default_radar_baseband_q15_callback(RadarBasebandQ15Data, void*) { }

HostParser* init_host_parser(HostParser* parser)
{
    if (!parser)
        return parser;
    parser->on_pong = default_pong_callback;
    parser->on_error = default_error_callback;
    parser->on_ack = default_ack_callback;
    parser->on_data_float = default_datafloat_callback;
    parser->on_reply = default_reply_callback;
    parser->on_respiration = default_respiration_callback;
    parser->on_sleep = default_sleep_callback;
    parser->on_vitalsigns = default_vitalsigns_callback;
    parser->on_sleepstage = default_sleepstage_callback;
    parser->on_baseband_ap = default_baseband_ap_callback;
    parser->on_baseband_iq = default_baseband_iq_callback;
    parser->on_presence_single = default_presence_single;
    parser->on_presence_movinglist = default_presence_movinglist;
    parser->on_system_status = default_system_status;
    parser->on_respiration_movinglist = default_respiration_movinglist;
    parser->on_respiration_detectionlist = default_respiration_detectionlist;
    parser->on_respiration_normalizedmovementlist = default_respiration_normalizedmovementlist;
    parser->on_pulsedoppler_float = default_pulsedoppler_float_callback;
    parser->on_pulsedoppler_byte = default_pulsedoppler_byte_callback;
    parser->on_radar_rf = default_radar_rf_callback;
    parser->on_radar_rf_normalized = default_radar_rf_normalized_callback;
    parser->on_radar_baseband_float = default_radar_baseband_float_callback;
    parser->on_radar_baseband_q15 = default_radar_baseband_q15_callback;
    return parser;
}

// ---- dispatching decoders ---------------------------------------------------

int parse(const HostParser* parser, const uint8_t* data, uint32_t length, void* user)
{
    const Packet p(data, length);
    if (p.empty())
        return report(parser, LINKWELL_PARSE_ERROR_EMPTY, user, LINKWELL_PARSE_ERROR_EMPTY);
    switch (p.u8(0)) {
    case LINKWELL_MESSAGE_PONG:
        return parse_pong(parser, data, length, user);
    case LINKWELL_MESSAGE_ACK:
        return parse_ack(parser, data, length, user);
    case LINKWELL_MESSAGE_ERROR:
        return parse_error(parser, data, length, user);
    case LINKWELL_MESSAGE_APPDATA:
        return parse_appdata(parser, data, length, user);
    case LINKWELL_MESSAGE_DATA:
        return parse_data(parser, data, length, user);
    default:
        // Reported as a length error but returned as 4: callers tell an
        // unknown message from a bad one by the return value.
        return report(parser, LINKWELL_PARSE_ERROR_LENGTH, user, 4);
    }
}

int parse_appdata(const HostParser* parser, const uint8_t* data, uint32_t length, void* user)
{
    const Packet p(data, length);
    if (p.empty())
        return report(parser, LINKWELL_PARSE_ERROR_EMPTY, user, LINKWELL_PARSE_ERROR_EMPTY);
    if (!p.has(content_start))
        return too_short(parser, user);
    switch (p.u32(1)) {
    case LINKWELL_CONTENT_ID_BASEBAND_IQ:
        return parse_baseband_iq(parser, data, length, user);
    case LINKWELL_CONTENT_ID_BASEBAND_AP:
        return parse_baseband_ap(parser, data, length, user);
    case LINKWELL_CONTENT_ID_RADAR_BASEBAND_FLOAT:
        return parse_radar_baseband_float(parser, data, length, user);
    case LINKWELL_CONTENT_ID_VITAL_SIGNS:
        return parse_vitalsigns_status(parser, data, length, user);
    case LINKWELL_CONTENT_ID_SLEEP_STATUS:
        return parse_sleep_status(parser, data, length, user);
    case LINKWELL_CONTENT_ID_RESPIRATION_STATUS:
        return parse_respiration_status(parser, data, length, user);
    case LINKWELL_CONTENT_ID_SLEEP_STAGE:
        return parse_sleepstage_status(parser, data, length, user);
    case LINKWELL_CONTENT_ID_PRESENCE_SINGLE:
        return parse_presence_single(parser, data, length, user);
    case LINKWELL_CONTENT_ID_PRESENCE_MOVINGLIST:
        return parse_presence_movinglist(parser, data, length, user);
    case LINKWELL_CONTENT_ID_RADAR_RF_NORMALIZED:
        return parse_radar_rf_normalized(parser, data, length, user);
    case LINKWELL_CONTENT_ID_RADAR_RF:
        return parse_radar_rf(parser, data, length, user);
    case LINKWELL_CONTENT_ID_RADAR_BASEBAND_Q15:
        return parse_radar_baseband_q15(parser, data, length, user);
    default:
        return 0;
    }
}

int parse_data(const HostParser* parser, const uint8_t* data, uint32_t length, void* user)
{
    const Packet p(data, length);
    if (p.empty())
        return report(parser, LINKWELL_PARSE_ERROR_EMPTY, user, LINKWELL_PARSE_ERROR_EMPTY);
    if (!p.has(2))
        return too_short(parser, user);
    if (p.u8(1) == LINKWELL_DATA_SUBTYPE_FLOAT)
        return parse_data_float(parser, data, length, user);
    return 1;
}

// ---- basic messages ----------------------------------------------------------

int parse_error(const HostParser* parser, const uint8_t* data, uint32_t length, void* user)
{
    const Packet p(data, length);
    if (p.empty())
        return report(parser, LINKWELL_PARSE_ERROR_EMPTY, user, LINKWELL_PARSE_ERROR_EMPTY);
    if (p.u8(0) != LINKWELL_MESSAGE_ERROR)
        return report(parser, LINKWELL_PARSE_ERROR_FOREIGN, user, 1);
    if (!p.has(5))
        return too_short(parser, user);
    const uint32_t code = p.u32(1);
    return report(parser, code, user, static_cast<int>(code));
}

int parse_pong(const HostParser* parser, const uint8_t* data, uint32_t length, void* user)
{
    const Packet p(data, length);
    if (p.empty())
        return report(parser, LINKWELL_PARSE_ERROR_EMPTY, user, LINKWELL_PARSE_ERROR_EMPTY);
    if (p.u8(0) != LINKWELL_MESSAGE_PONG)
        return parse_error(parser, data, length, user);
    if (!p.has(5))
        return report(parser, LINKWELL_PARSE_ERROR_FOREIGN, user, 1);
    return deliver(parser, &HostParser::on_pong, p.u32(1), user);
}

int parse_ack(const HostParser* parser, const uint8_t* data, uint32_t length, void* user)
{
    const Packet p(data, length);
    if (p.empty())
        return report(parser, LINKWELL_PARSE_ERROR_EMPTY, user, LINKWELL_PARSE_ERROR_EMPTY);
    if (p.u8(0) != LINKWELL_MESSAGE_ACK)
        return parse_error(parser, data, length, user);
    const Ack ack = { 0 };
    return deliver(parser, &HostParser::on_ack, ack, user);
}

int parse_system_status(const HostParser* parser, const uint8_t* data, uint32_t length, void* user)
{
    const Packet p(data, length);
    if (p.empty())
        return report(parser, LINKWELL_PARSE_ERROR_EMPTY, user, LINKWELL_PARSE_ERROR_EMPTY);
    if (p.u8(0) != LINKWELL_MESSAGE_SYSTEM_STATUS)
        return parse_error(parser, data, length, user);
    if (!p.has(5))
        return too_short(parser, user);
    const SystemStatus status = { p.u32(1) };
    return deliver(parser, &HostParser::on_system_status, status, user);
}

int parse_data_float(const HostParser* parser, const uint8_t* data, uint32_t length, void* user)
{
    const Packet p(data, length);
    if (p.empty())
        return report(parser, LINKWELL_PARSE_ERROR_EMPTY, user, LINKWELL_PARSE_ERROR_EMPTY);
    if (p.u8(0) != LINKWELL_MESSAGE_DATA || !p.has(2) || p.u8(1) != LINKWELL_DATA_SUBTYPE_FLOAT)
        return parse_error(parser, data, length, user);
    const uint32_t fixed = 14;
    if (!p.has(fixed))
        return report(parser, LINKWELL_PARSE_ERROR_FOREIGN, user, 1);
    FloatData_ r;
    r.content_id = p.u32(2);
    r.info = p.u32(6);
    r.length = (p.length() - fixed) / 4;
    r.data = p.floats(fixed);
    return deliver(parser, &HostParser::on_data_float, r, user);
}

// Layout: type (1), id (2-5), info (6-9), length (10-13), data from 14. A
// reply too short for its length field carries no data; one whose declared
// data runs past the packet is refused.
int parse_reply(const HostParser* parser, const uint8_t* data, uint32_t length, void* user)
{
    const Packet p(data, length);
    if (p.empty())
        return report(parser, LINKWELL_PARSE_ERROR_EMPTY, user, LINKWELL_PARSE_ERROR_EMPTY);
    if (p.u8(0) != LINKWELL_MESSAGE_REPLY)
        return parse_error(parser, data, length, user);
    if (!p.has(10))
        return too_short(parser, user);
    Reply r;
    r.type = p.u8(1);
    r.id = p.u32(2);
    r.info = p.u32(6);
    const uint32_t data_start = 14;
    if (p.has(data_start)) {
        const uint64_t end = uint64_t(data_start) + p.u32(10);
        if (!p.has(end))
            return too_short(parser, user);
        r.length = p.u32(10);
        r.data = r.length ? p.bytes(data_start) : nullptr;
        r.trailing = p.has(end + 1) ? p.u8(static_cast<uint32_t>(end)) : 0;
    } else {
        r.length = 0;
        r.data = nullptr;
        r.trailing = p.has(11) ? p.u8(10) : 0;
    }
    return deliver(parser, &HostParser::on_reply, r, user);
}

// ---- status contents ---------------------------------------------------------

int parse_respiration_status(const HostParser* parser, const uint8_t* data, uint32_t length, void* user)
{
    const Packet p(data, length);
    if (p.empty())
        return report(parser, LINKWELL_PARSE_ERROR_EMPTY, user, LINKWELL_PARSE_ERROR_EMPTY);
    if (int status = check_status(parser, p, LINKWELL_CONTENT_ID_RESPIRATION_STATUS, 29, user))
        return status;
    RespirationData r;
    r.frame_counter = p.u32(5);
    r.sensor_state = p.u32(9);
    r.respiration_rate = p.u32(13);
    r.distance = p.f32(17);
    r.movement = p.f32(21);
    r.signal_quality = p.u32(25);
    return deliver(parser, &HostParser::on_respiration, r, user);
}

int parse_sleep_status(const HostParser* parser, const uint8_t* data, uint32_t length, void* user)
{
    const Packet p(data, length);
    if (p.empty())
        return report(parser, LINKWELL_PARSE_ERROR_EMPTY, user, LINKWELL_PARSE_ERROR_EMPTY);
    if (int status = check_status(parser, p, LINKWELL_CONTENT_ID_SLEEP_STATUS, 33, user))
        return status;
    SleepData r;
    r.frame_counter = p.u32(5);
    r.sensor_state = p.u32(9);
    r.respiration_rate = p.f32(13);
    r.distance = p.f32(17);
    r.signal_quality = p.u32(21);
    r.movement_slow = p.f32(25);
    r.movement_fast = p.f32(29);
    return deliver(parser, &HostParser::on_sleep, r, user);
}

int parse_vitalsigns_status(const HostParser* parser, const uint8_t* data, uint32_t length, void* user)
{
    const Packet p(data, length);
    if (p.empty())
        return report(parser, LINKWELL_PARSE_ERROR_EMPTY, user, LINKWELL_PARSE_ERROR_EMPTY);
    if (int status = check_status(parser, p, LINKWELL_CONTENT_ID_VITAL_SIGNS, 53, user))
        return status;
    VitalSignsData r;
    r.frame_counter = p.u32(5);
    r.sensor_state = p.u32(9);
    r.respiration_rate = p.f32(13);
    r.respiration_distance = p.f32(17);
    r.respiration_confidence = p.f32(21);
    r.heart_rate = p.f32(25);
    r.heart_distance = p.f32(29);
    r.heart_confidence = p.f32(33);
    r.normalized_movement_slow = p.f32(37);
    r.normalized_movement_fast = p.f32(41);
    r.normalized_movement_start = p.f32(45);
    r.normalized_movement_end = p.f32(49);
    return deliver(parser, &HostParser::on_vitalsigns, r, user);
}

int parse_sleepstage_status(const HostParser* parser, const uint8_t* data, uint32_t length, void* user)
{
    const Packet p(data, length);
    if (p.empty())
        return report(parser, LINKWELL_PARSE_ERROR_EMPTY, user, LINKWELL_PARSE_ERROR_EMPTY);
    if (int status = check_status(parser, p, LINKWELL_CONTENT_ID_SLEEP_STAGE, 17, user))
        return status;
    SleepStageData r;
    r.frame_counter = p.u32(5);
    r.sleep_stage = p.u32(9);
    r.confidence = p.u32(13);
    return deliver(parser, &HostParser::on_sleepstage, r, user);
}

// ---- list contents -------------------------------------------------------------

int parse_presence_single(const HostParser* parser, const uint8_t* data, uint32_t length, void* user)
{
    const Packet p(data, length);
    if (p.empty())
        return report(parser, LINKWELL_PARSE_ERROR_EMPTY, user, LINKWELL_PARSE_ERROR_EMPTY);
    if (int status = check_content(parser, p, LINKWELL_CONTENT_ID_PRESENCE_SINGLE, user))
        return status;
    if (!p.has(22))
        return too_short(parser, user);
    PresenceSingleData r;
    r.frame_counter = p.u32(5);
    r.presence_state = p.u32(9);
    r.distance = p.f32(13);
    r.direction = p.u8(17);
    r.signal_quality = p.u32(18);
    return deliver(parser, &HostParser::on_presence_single, r, user);
}

int parse_presence_movinglist(const HostParser* parser, const uint8_t* data, uint32_t length, void* user)
{
    const Packet p(data, length);
    if (p.empty())
        return report(parser, LINKWELL_PARSE_ERROR_EMPTY, user, LINKWELL_PARSE_ERROR_EMPTY);
    if (int status = check_content(parser, p, LINKWELL_CONTENT_ID_PRESENCE_MOVINGLIST, user))
        return status;
    const uint32_t fixed = 21;
    if (!p.has(fixed))
        return too_short(parser, user);
    const uint64_t m = p.u32(13);
    const uint64_t d = p.u32(17);
    if (!p.has(fixed + 8 * m + 12 * d))
        return too_short(parser, user);
    PresenceMovingListData r;
    r.frame_counter = p.u32(5);
    r.presence_state = p.u32(9);
    r.movement_interval_count = p.u32(13);
    r.detection_count = p.u32(17);
    r.movement_slow_items = p.floats(fixed);
    r.movement_fast_items = p.floats(fixed + 4 * m);
    r.detection_distance_items = p.floats(fixed + 8 * m);
    r.detection_radar_cross_section_items = p.floats(fixed + 8 * m + 4 * d);
    r.detection_velocity_items = p.floats(fixed + 8 * m + 8 * d);
    return deliver(parser, &HostParser::on_presence_movinglist, r, user);
}

int parse_respiration_movinglist(const HostParser* parser, const uint8_t* data, uint32_t length, void* user)
{
    const Packet p(data, length);
    if (p.empty())
        return report(parser, LINKWELL_PARSE_ERROR_EMPTY, user, LINKWELL_PARSE_ERROR_EMPTY);
    if (int status = check_content(parser, p, LINKWELL_CONTENT_ID_RESPIRATION_MOVINGLIST, user))
        return status;
    const uint32_t fixed = 13;
    if (!p.has(fixed))
        return too_short(parser, user);
    const uint64_t m = p.u32(9);
    if (!p.has(fixed + 8 * m))
        return too_short(parser, user);
    RespirationMovingListData r;
    r.frame_counter = p.u32(5);
    r.movement_interval_count = p.u32(9);
    r.movement_slow_items = p.floats(fixed);
    r.movement_fast_items = p.floats(fixed + 4 * m);
    return deliver(parser, &HostParser::on_respiration_movinglist, r, user);
}

int parse_respiration_detectionlist(
    const HostParser* parser, const uint8_t* data, uint32_t length, void* user)
{
    const Packet p(data, length);
    if (p.empty())
        return report(parser, LINKWELL_PARSE_ERROR_EMPTY, user, LINKWELL_PARSE_ERROR_EMPTY);
    if (int status = check_content(parser, p, LINKWELL_CONTENT_ID_RESPIRATION_DETECTIONLIST, user))
        return status;
    const uint32_t fixed = 13;
    if (!p.has(fixed))
        return too_short(parser, user);
    const uint64_t d = p.u32(9);
    if (!p.has(fixed + 12 * d))
        return too_short(parser, user);
    RespirationDetectionListData r;
    r.frame_counter = p.u32(5);
    r.detection_count = p.u32(9);
    r.detection_distance_items = p.floats(fixed);
    r.detection_radar_cross_section_items = p.floats(fixed + 4 * d);
    r.detection_velocity_items = p.floats(fixed + 8 * d);
    return deliver(parser, &HostParser::on_respiration_detectionlist, r, user);
}

int parse_respiration_normalizedmovementlist(
    const HostParser* parser, const uint8_t* data, uint32_t length, void* user)
{
    const Packet p(data, length);
    if (p.empty())
        return report(parser, LINKWELL_PARSE_ERROR_EMPTY, user, LINKWELL_PARSE_ERROR_EMPTY);
    const uint32_t fixed = 21;
    // The length is tested before the type here: a packet without its fixed
    // part is a length error whatever it claims to be.
    if (!p.has(fixed))
        return too_short(parser, user);
    if (int status = check_content(parser, p, LINKWELL_CONTENT_ID_RESPIRATION_NORMALIZEDMOVEMENTLIST, user))
        return status;
    const uint64_t n = p.u32(17);
    if (!p.has(fixed + 8 * n))
        return too_short(parser, user);
    RespirationNormalizedMovementListData r;
    r.frame_counter = p.u32(5);
    r.start = p.f32(9);
    r.bin_length = p.f32(13);
    r.count = p.u32(17);
    r.normalized_movement_slow_items = p.floats(fixed);
    r.normalized_movement_fast_items = p.floats(fixed + 4 * n);
    return deliver(parser, &HostParser::on_respiration_normalizedmovementlist, r, user);
}

// ---- radar frames ------------------------------------------------------------------

int parse_baseband_iq(const HostParser* parser, const uint8_t* data, uint32_t length, void* user)
{
    return decode_baseband(parser, Packet(data, length), LINKWELL_CONTENT_ID_BASEBAND_IQ, user,
        &HostParser::on_baseband_iq, &BasebandIqData::i_data, &BasebandIqData::q_data);
}

int parse_baseband_ap(const HostParser* parser, const uint8_t* data, uint32_t length, void* user)
{
    return decode_baseband(parser, Packet(data, length), LINKWELL_CONTENT_ID_BASEBAND_AP, user,
        &HostParser::on_baseband_ap, &BasebandApData::amplitude, &BasebandApData::phase);
}

int parse_radar_rf(const HostParser* parser, const uint8_t* data, uint32_t length, void* user)
{
    return decode_rf(
        parser, Packet(data, length), LINKWELL_CONTENT_ID_RADAR_RF, user, &HostParser::on_radar_rf);
}

int parse_radar_rf_normalized(const HostParser* parser, const uint8_t* data, uint32_t length, void* user)
{
    return decode_rf(parser, Packet(data, length), LINKWELL_CONTENT_ID_RADAR_RF_NORMALIZED, user,
        &HostParser::on_radar_rf_normalized);
}

int parse_radar_baseband_float(const HostParser* parser, const uint8_t* data, uint32_t length, void* user)
{
    const Packet p(data, length);
    if (p.empty())
        return report(parser, LINKWELL_PARSE_ERROR_EMPTY, user, LINKWELL_PARSE_ERROR_EMPTY);
    if (int status = check_content(parser, p, LINKWELL_CONTENT_ID_RADAR_BASEBAND_FLOAT, user))
        return status;
    const uint32_t fixed = 49;
    if (!p.has(fixed))
        return too_short(parser, user);
    const uint64_t n = p.u32(9);
    if (!p.has(fixed + 8 * n))
        return too_short(parser, user);
    RadarBasebandFloatData r;
    read_radar_baseband_head(p, r);
    r.i_data = p.floats(fixed);
    r.q_data = p.floats(fixed + 4 * n);
    return deliver(parser, &HostParser::on_radar_baseband_float, r, user);
}

int parse_radar_baseband_q15(const HostParser* parser, const uint8_t* data, uint32_t length, void* user)
{
    const Packet p(data, length);
    if (p.empty())
        return report(parser, LINKWELL_PARSE_ERROR_EMPTY, user, LINKWELL_PARSE_ERROR_EMPTY);
    if (int status = check_content(parser, p, LINKWELL_CONTENT_ID_RADAR_BASEBAND_Q15, user))
        return status;
    const uint32_t fixed = 53;
    if (!p.has(fixed))
        return too_short(parser, user);
    const uint64_t n = p.u32(9);
    if (!p.has(fixed + 4 * n))
        return too_short(parser, user);
    RadarBasebandQ15Data r;
    read_radar_baseband_head(p, r);
    r.parameter_10 = p.f32(49);
    r.i_data = p.int16s(fixed);
    r.q_data = p.int16s(fixed + 2 * n);
    return deliver(parser, &HostParser::on_radar_baseband_q15, r, user);
}

// ---- pulse-Doppler and noise map ------------------------------------------------------

// Bit 1 of the content id tells pulse-Doppler (0x10, 0x11) from noise map
// (0x12, 0x13); the layouts are the same.
static const uint32_t pulsedoppler_id_mask = ~uint32_t(0x2);

int parse_pulsedoppler_float(const HostParser* parser, const uint8_t* data, uint32_t length, void* user)
{
    const Packet p(data, length);
    if (p.empty())
        return report(parser, LINKWELL_PARSE_ERROR_EMPTY, user, LINKWELL_PARSE_ERROR_EMPTY);
    if (int status
        = check_content(parser, p, LINKWELL_CONTENT_ID_PULSEDOPPLER_FLOAT, pulsedoppler_id_mask, user))
        return status;
    const uint32_t fixed = 49;
    if (!p.has(fixed) || p.length() != fixed + 4 * uint64_t(p.u32(21)))
        return too_short(parser, user);
    PulseDopplerFloatData r;
    read_pulsedoppler_head(p, r);
    r.data = p.floats(fixed);
    return deliver(parser, &HostParser::on_pulsedoppler_float, r, user);
}

int parse_pulsedoppler_byte(const HostParser* parser, const uint8_t* data, uint32_t length, void* user)
{
    const Packet p(data, length);
    if (p.empty())
        return report(parser, LINKWELL_PARSE_ERROR_EMPTY, user, LINKWELL_PARSE_ERROR_EMPTY);
    if (int status
        = check_content(parser, p, LINKWELL_CONTENT_ID_PULSEDOPPLER_BYTE, pulsedoppler_id_mask, user))
        return status;
    const uint32_t fixed = 57;
    if (!p.has(fixed) || p.length() != fixed + uint64_t(p.u32(21)))
        return too_short(parser, user);
    PulseDopplerByteData r;
    read_pulsedoppler_head(p, r);
    r.parameter_11 = p.f32(49);
    r.parameter_12 = p.f32(53);
    r.data = p.bytes(fixed);
    return deliver(parser, &HostParser::on_pulsedoppler_byte, r, user);
}

} // extern "C"
