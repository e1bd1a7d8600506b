/* Message decoders of the module protocol: codec records, content ids,
 * HostParser, parse and parse_appdata. C linkage.
 *
 * A decoder takes one de-framed packet (no start byte, checksum or end byte),
 * checks it and calls exactly one slot of a caller-owned HostParser table:
 * a data slot with the decoded record, or the error slot with a status code.
 * Nothing is allocated or copied: array members of a record point into the
 * packet and are valid only while the slot runs. Every read stays inside the
 * packet's length, whatever counts the packet declares. */
#ifndef LINKWELL_PROTOCOL_PARSER_H
#define LINKWELL_PROTOCOL_PARSER_H

#include <string.h>

#include "protocol_framing.h"

LINKWELL_EXTERN_C_BEGIN

/* First byte of a packet. */
#define LINKWELL_MESSAGE_PONG 0x01u
#define LINKWELL_MESSAGE_ACK 0x10u
#define LINKWELL_MESSAGE_REPLY 0x11u
#define LINKWELL_MESSAGE_ERROR 0x20u
#define LINKWELL_MESSAGE_SYSTEM_STATUS 0x30u
#define LINKWELL_MESSAGE_APPDATA 0x50u
#define LINKWELL_MESSAGE_DECIMATED_FRAME 0x51u
#define LINKWELL_MESSAGE_DATA 0xA0u
#define LINKWELL_MESSAGE_BOOTLOADER 0xE0u

/* Second byte of a data (0xA0) packet. */
#define LINKWELL_DATA_SUBTYPE_BYTE 0x10u
#define LINKWELL_DATA_SUBTYPE_FLOAT 0x12u
#define LINKWELL_DATA_SUBTYPE_STRING 0x13u

/* Content id: bytes 1-4 of an application-data (0x50) packet. */
#define LINKWELL_CONTENT_ID_BASEBAND_IQ 0x0000000Cu
#define LINKWELL_CONTENT_ID_BASEBAND_AP 0x0000000Du
#define LINKWELL_CONTENT_ID_PULSEDOPPLER_FLOAT 0x00000010u
#define LINKWELL_CONTENT_ID_PULSEDOPPLER_BYTE 0x00000011u
#define LINKWELL_CONTENT_ID_NOISEMAP_FLOAT 0x00000012u
#define LINKWELL_CONTENT_ID_NOISEMAP_BYTE 0x00000013u
#define LINKWELL_CONTENT_ID_RADAR_BASEBAND_FLOAT 0x026F1379u
#define LINKWELL_CONTENT_ID_VITAL_SIGNS 0x20020102u
#define LINKWELL_CONTENT_ID_SLEEP_STATUS 0x2375A16Cu
#define LINKWELL_CONTENT_ID_RESPIRATION_STATUS 0x2375FE26u
#define LINKWELL_CONTENT_ID_SLEEP_STAGE 0x41083A02u
#define LINKWELL_CONTENT_ID_RESPIRATION_MOVINGLIST 0x610A3B00u
#define LINKWELL_CONTENT_ID_RESPIRATION_DETECTIONLIST 0x610A3B02u
#define LINKWELL_CONTENT_ID_PRESENCE_SINGLE 0x723BFA1Eu
#define LINKWELL_CONTENT_ID_PRESENCE_MOVINGLIST 0x723BFA1Fu
#define LINKWELL_CONTENT_ID_RADAR_RF_NORMALIZED 0xB13B8F12u
#define LINKWELL_CONTENT_ID_RADAR_RF 0xC1A3117Eu
#define LINKWELL_CONTENT_ID_RESPIRATION_NORMALIZEDMOVEMENTLIST 0xC3A331CFu
#define LINKWELL_CONTENT_ID_RADAR_BASEBAND_Q15 0xEC8D0AA5u

/* Status codes that decoders report through the error slot. A module's
 * error packet reports the module's own code instead. */
#define LINKWELL_PARSE_ERROR_LENGTH 2u /* packet too short, or of the wrong length */
#define LINKWELL_PARSE_ERROR_TYPE 3u /* wrong type byte or content id */
#define LINKWELL_PARSE_ERROR_EMPTY 5u /* empty packet */
#define LINKWELL_PARSE_ERROR_FOREIGN 0xDEADBEEFu /* basic message too short, or of another type */

/* Array elements lie in the packet as they came over the wire: little-endian
 * and at any byte offset. A record's array is a pointer to such elements;
 * packed_float_value and packed_int16_value give an element's value. */
typedef struct packed_float {
    uint8_t bytes[4];
} packed_float;

typedef struct packed_int16 {
    uint8_t bytes[2];
} packed_int16;

static inline float packed_float_value(packed_float item)
{
    uint32_t bits = (uint32_t)item.bytes[0] | (uint32_t)item.bytes[1] << 8 | (uint32_t)item.bytes[2] << 16
        | (uint32_t)item.bytes[3] << 24;
    float value;
    memcpy(&value, &bits, sizeof value);
    return value;
}

static inline int16_t packed_int16_value(packed_int16 item)
{
    return (int16_t)(uint16_t)(item.bytes[0] | item.bytes[1] << 8);
}

/* ---- codec records ---------------------------------------------------- */

typedef struct Ack {
    uint8_t ack; /* always 0 */
} Ack;

typedef struct SystemStatus {
    uint32_t status;
} SystemStatus;

/* Float data (0xA0 0x12). */
typedef struct FloatData_ {
    uint32_t content_id;
    uint32_t info;
    uint32_t length; /* number of floats */
    const packed_float* data;
} FloatData_;

/* Reply to a get command (0x11). */
typedef struct Reply {
    uint8_t type;
    uint32_t id;
    uint32_t info;
    uint32_t length; /* bytes of data; 0 when the packet has no length field */
    const uint8_t* data; /* byte 14 on; NULL when length is 0 */
    uint8_t trailing; /* the byte after the data, 0 when the packet ends there */
} Reply;

typedef struct RespirationData {
    uint32_t frame_counter;
    uint32_t sensor_state;
    uint32_t respiration_rate;
    float distance;
    float movement;
    uint32_t signal_quality;
} RespirationData;

typedef struct SleepData {
    uint32_t frame_counter;
    uint32_t sensor_state;
    float respiration_rate;
    float distance;
    uint32_t signal_quality;
    float movement_slow;
    float movement_fast;
} SleepData;

typedef struct VitalSignsData {
    uint32_t frame_counter;
    uint32_t sensor_state;
    float respiration_rate;
    float respiration_distance;
    float respiration_confidence;
    float heart_rate;
    float heart_distance;
    float heart_confidence;
    float normalized_movement_slow;
    float normalized_movement_fast;
    float normalized_movement_start;
    float normalized_movement_end;
} VitalSignsData;

typedef struct SleepStageData {
    uint32_t frame_counter;
    uint32_t sleep_stage;
    uint32_t confidence;
} SleepStageData;

typedef struct PresenceSingleData {
    uint32_t frame_counter;
    uint32_t presence_state;
    float distance;
    uint8_t direction;
    uint32_t signal_quality;
} PresenceSingleData;

typedef struct PresenceMovingListData {
    uint32_t frame_counter;
    uint32_t presence_state;
    uint32_t movement_interval_count;
    uint32_t detection_count;
    const packed_float* movement_slow_items; /* movement_interval_count */
    const packed_float* movement_fast_items; /* movement_interval_count */
    const packed_float* detection_distance_items; /* detection_count */
    const packed_float* detection_radar_cross_section_items; /* detection_count */
    const packed_float* detection_velocity_items; /* detection_count */
} PresenceMovingListData;

typedef struct RespirationMovingListData {
    uint32_t frame_counter;
    uint32_t movement_interval_count;
    const packed_float* movement_slow_items;
    const packed_float* movement_fast_items;
} RespirationMovingListData;

typedef struct RespirationDetectionListData {
    uint32_t frame_counter;
    uint32_t detection_count;
    const packed_float* detection_distance_items;
    const packed_float* detection_radar_cross_section_items;
    const packed_float* detection_velocity_items;
} RespirationDetectionListData;

typedef struct RespirationNormalizedMovementListData {
    uint32_t frame_counter;
    float start;
    float bin_length;
    uint32_t count;
    const packed_float* normalized_movement_slow_items;
    const packed_float* normalized_movement_fast_items;
} RespirationNormalizedMovementListData;

typedef struct BasebandIqData {
    uint32_t frame_counter;
    uint32_t num_bins;
    float parameter_1;
    float parameter_2;
    float parameter_3;
    float parameter_4;
    const packed_float* i_data;
    const packed_float* q_data;
} BasebandIqData;

typedef struct BasebandApData {
    uint32_t frame_counter;
    uint32_t num_bins;
    float parameter_1;
    float parameter_2;
    float parameter_3;
    float parameter_4;
    const packed_float* amplitude;
    const packed_float* phase;
} BasebandApData;

/* parameter_4 travels as an unsigned 32-bit integer and is converted. */
typedef struct RadarRfData {
    uint32_t frame_counter;
    uint32_t num_bins;
    float parameter_1;
    float parameter_2;
    float parameter_3;
    float parameter_4;
    float parameter_5;
    const packed_float* data;
} RadarRfData;

typedef struct RadarRfNormalizedData {
    uint32_t frame_counter;
    uint32_t num_bins;
    float parameter_1;
    float parameter_2;
    float parameter_3;
    float parameter_4;
    float parameter_5;
    const packed_float* data;
} RadarRfNormalizedData;

typedef struct RadarBasebandFloatData {
    uint32_t frame_counter;
    uint32_t num_bins;
    float parameter_1;
    float parameter_2;
    float parameter_3;
    float parameter_4;
    float parameter_5;
    uint32_t parameter_6;
    uint32_t parameter_7;
    float parameter_8;
    float parameter_9;
    const packed_float* i_data;
    const packed_float* q_data;
} RadarBasebandFloatData;

typedef struct RadarBasebandQ15Data {
    uint32_t frame_counter;
    uint32_t num_bins;
    float parameter_1;
    float parameter_2;
    float parameter_3;
    float parameter_4;
    float parameter_5;
    uint32_t parameter_6;
    uint32_t parameter_7;
    float parameter_8;
    float parameter_9;
    float parameter_10;
    const packed_int16* i_data;
    const packed_int16* q_data;
} RadarBasebandQ15Data;

typedef struct PulseDopplerFloatData {
    uint32_t parameter_1;
    uint32_t parameter_2;
    uint32_t parameter_3;
    uint32_t parameter_4;
    uint32_t count;
    uint32_t parameter_5;
    float parameter_6;
    float parameter_7;
    float parameter_8;
    float parameter_9;
    float parameter_10;
    const packed_float* data;
} PulseDopplerFloatData;

typedef struct PulseDopplerByteData {
    uint32_t parameter_1;
    uint32_t parameter_2;
    uint32_t parameter_3;
    uint32_t parameter_4;
    uint32_t count;
    uint32_t parameter_5;
    float parameter_6;
    float parameter_7;
    float parameter_8;
    float parameter_9;
    float parameter_10;
    float parameter_11;
    float parameter_12;
    const uint8_t* data;
} PulseDopplerByteData;

/* ---- callback table --------------------------------------------------- */

/* One slot per kind of result; each takes the record by value and the
 * caller's user pointer. The table belongs to the caller. */
typedef struct HostParser {
    void (*on_pong)(uint32_t value, void* user);
    void (*on_error)(uint32_t code, void* user);
    void (*on_ack)(Ack record, void* user);
    void (*on_data_float)(FloatData_ record, void* user);
    void (*on_reply)(Reply record, void* user);
    void (*on_respiration)(RespirationData record, void* user);
    void (*on_sleep)(SleepData record, void* user);
    void (*on_vitalsigns)(VitalSignsData record, void* user);
    void (*on_sleepstage)(SleepStageData record, void* user);
    void (*on_baseband_ap)(BasebandApData record, void* user);
    void (*on_baseband_iq)(BasebandIqData record, void* user);
    void (*on_presence_single)(PresenceSingleData record, void* user);
    void (*on_presence_movinglist)(PresenceMovingListData record, void* user);
    void (*on_system_status)(SystemStatus record, void* user);
    void (*on_respiration_movinglist)(RespirationMovingListData record, void* user);
    void (*on_respiration_detectionlist)(RespirationDetectionListData record, void* user);
    void (*on_respiration_normalizedmovementlist)(RespirationNormalizedMovementListData record, void* user);
    void (*on_pulsedoppler_float)(PulseDopplerFloatData record, void* user);
    void (*on_pulsedoppler_byte)(PulseDopplerByteData record, void* user);
    void (*on_radar_rf)(RadarRfData record, void* user);
    void (*on_radar_rf_normalized)(RadarRfNormalizedData record, void* user);
    void (*on_radar_baseband_float)(RadarBasebandFloatData record, void* user);
    void (*on_radar_baseband_q15)(RadarBasebandQ15Data record, void* user);
} HostParser;

/* The slots that init_host_parser installs; each does nothing. */
LINKWELL_API void default_pong_callback(uint32_t value, void* user);
LINKWELL_API void default_error_callback(uint32_t code, void* user);
LINKWELL_API void default_ack_callback(Ack record, void* user);
LINKWELL_API void default_datafloat_callback(FloatData_ record, void* user);
LINKWELL_API void default_reply_callback(Reply record, void* user);
LINKWELL_API void default_respiration_callback(RespirationData record, void* user);
LINKWELL_API void default_sleep_callback(SleepData record, void* user);
LINKWELL_API void default_vitalsigns_callback(VitalSignsData record, void* user);
LINKWELL_API void default_sleepstage_callback(SleepStageData record, void* user);
LINKWELL_API void default_baseband_ap_callback(BasebandApData record, void* user);
LINKWELL_API void default_baseband_iq_callback(BasebandIqData record, void* user);
LINKWELL_API void default_presence_single(PresenceSingleData record, void* user);
LINKWELL_API void default_presence_movinglist(PresenceMovingListData record, void* user);
LINKWELL_API void default_system_status(SystemStatus record, void* user);
LINKWELL_API void default_respiration_movinglist(RespirationMovingListData record, void* user);
LINKWELL_API void default_respiration_detectionlist(RespirationDetectionListData record, void* user);
LINKWELL_API void default_respiration_normalizedmovementlist(
    RespirationNormalizedMovementListData record, void* user);
LINKWELL_API void default_pulsedoppler_float_callback(PulseDopplerFloatData record, void* user);
LINKWELL_API void default_pulsedoppler_byte_callback(PulseDopplerByteData record, void* user);
LINKWELL_API void default_radar_rf_callback(RadarRfData record, void* user);
LINKWELL_API void default_radar_rf_normalized_callback(RadarRfNormalizedData record, void* user);
LINKWELL_API void default_radar_baseband_float_callback(RadarBasebandFloatData record, void* user);
LINKWELL_API void default_radar_baseband_q15_callback(RadarBasebandQ15Data record, void* user);

/* Sets every slot, the two pulse-Doppler slots included, to its do-nothing
 * default; returns the table. */
LINKWELL_API HostParser* init_host_parser(HostParser* parser);

/* ---- decoders ----------------------------------------------------------
 * Each takes the table, the packet and its length in bytes, and the user
 * pointer handed to the slot it calls. An empty packet reports and returns
 * LINKWELL_PARSE_ERROR_EMPTY. Otherwise see each decoder. */

/* Any packet: pong, ack, error, application data or data. Any other first
 * byte (a reply or system status too) reports 2 and returns 4. */
LINKWELL_API int parse(const HostParser* parser, const uint8_t* data, uint32_t length, void* user);

/* Any application-data packet whose content id is one of the twelve that it
 * decodes; another content id returns 0 and calls no slot. A packet too
 * short to hold a content id reports and returns 2. */
LINKWELL_API int parse_appdata(const HostParser* parser, const uint8_t* data, uint32_t length, void* user);

/* Basic messages. A packet of another type is passed to parse_error, so a
 * module's error packet reports the module's code. */
LINKWELL_API int parse_pong(const HostParser* parser, const uint8_t* data, uint32_t length, void* user);
LINKWELL_API int parse_ack(const HostParser* parser, const uint8_t* data, uint32_t length, void* user);
LINKWELL_API int parse_reply(const HostParser* parser, const uint8_t* data, uint32_t length, void* user);
LINKWELL_API int parse_system_status(
    const HostParser* parser, const uint8_t* data, uint32_t length, void* user);
LINKWELL_API int parse_data_float(const HostParser* parser, const uint8_t* data, uint32_t length, void* user);
/* An error packet (0x20) reports the module's code and returns it; a packet
 * of another type reports 0xDEADBEEF and returns 1. */
LINKWELL_API int parse_error(const HostParser* parser, const uint8_t* data, uint32_t length, void* user);
/* Data (0xA0): float data goes to parse_data_float; another sub-type returns
 * 1 and calls no slot. */
LINKWELL_API int parse_data(const HostParser* parser, const uint8_t* data, uint32_t length, void* user);

/* Status contents: a wrong content id reports 3, a short packet reports 2;
 * both return 1. */
LINKWELL_API int parse_respiration_status(
    const HostParser* parser, const uint8_t* data, uint32_t length, void* user);
LINKWELL_API int parse_sleep_status(
    const HostParser* parser, const uint8_t* data, uint32_t length, void* user);
LINKWELL_API int parse_vitalsigns_status(
    const HostParser* parser, const uint8_t* data, uint32_t length, void* user);
LINKWELL_API int parse_sleepstage_status(
    const HostParser* parser, const uint8_t* data, uint32_t length, void* user);

/* List and frame contents: a wrong type byte or content id reports and
 * returns 3; a packet shorter than its contents reports and returns 2. */
LINKWELL_API int parse_presence_single(
    const HostParser* parser, const uint8_t* data, uint32_t length, void* user);
LINKWELL_API int parse_presence_movinglist(
    const HostParser* parser, const uint8_t* data, uint32_t length, void* user);
LINKWELL_API int parse_respiration_movinglist(
    const HostParser* parser, const uint8_t* data, uint32_t length, void* user);
LINKWELL_API int parse_respiration_detectionlist(
    const HostParser* parser, const uint8_t* data, uint32_t length, void* user);
LINKWELL_API int parse_respiration_normalizedmovementlist(
    const HostParser* parser, const uint8_t* data, uint32_t length, void* user);
LINKWELL_API int parse_baseband_iq(
    const HostParser* parser, const uint8_t* data, uint32_t length, void* user);
LINKWELL_API int parse_baseband_ap(
    const HostParser* parser, const uint8_t* data, uint32_t length, void* user);
LINKWELL_API int parse_radar_rf(const HostParser* parser, const uint8_t* data, uint32_t length, void* user);
LINKWELL_API int parse_radar_rf_normalized(
    const HostParser* parser, const uint8_t* data, uint32_t length, void* user);
LINKWELL_API int parse_radar_baseband_float(
    const HostParser* parser, const uint8_t* data, uint32_t length, void* user);
LINKWELL_API int parse_radar_baseband_q15(
    const HostParser* parser, const uint8_t* data, uint32_t length, void* user);
/* Pulse-Doppler and noise map: the packet must be exactly as long as its
 * count says (49 + 4n floats, 57 + n bytes). */
LINKWELL_API int parse_pulsedoppler_float(
    const HostParser* parser, const uint8_t* data, uint32_t length, void* user);
LINKWELL_API int parse_pulsedoppler_byte(
    const HostParser* parser, const uint8_t* data, uint32_t length, void* user);

LINKWELL_EXTERN_C_END

#endif
