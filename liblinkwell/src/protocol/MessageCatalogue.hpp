// Every kind of data message that a connection subscribes and reads, in one
// table. Everything per kind is generated from its row: the prefixes of the
// subscribe family, the default queues and their order, the readers with
// their Traces and failure texts, the decoding into the public record, the
// fuzz target's decoders and the tests' packets. A new kind of message is one
// row here (and, for a record of a new shape, one field list in
// protocol_records.hpp).
//
// Each row gives a kind a tag type in the namespace `messages`: the tag's
// Codec is the record that its decoder fills (RawPacket for kinds handed out
// as packets), its Public the record that callers receive, and its `kind`
// the row as data. `messages::catalogue` lists every row in table order,
// which is the order in which a connection subscribes the default queues.
#pragma once

#include <type_traits>
#include <utility>

#include "protocol/MessageKind.hpp"
#include "protocol/protocol_records.hpp"

// The codec record of a kind whose packets are handed out undecoded.
struct RawPacket { };

// clang-format off
// X(tag, codec record, decoder, prefix, default queue, subscribe Trace, reader Trace, reader failure)
#define LINKWELL_MESSAGE_CATALOGUE(X) \
    X(PresenceSingle, PresenceSingleData, parse_presence_single, appdata_prefix(LINKWELL_CONTENT_ID_PRESENCE_SINGLE), \
        "name_of_presence_single_subscription", "subscribe_to_presence_single", "read_message_presence_single", \
        "parser error of presence single data ") \
    X(PresenceMovingList, PresenceMovingListData, parse_presence_movinglist, \
        appdata_prefix(LINKWELL_CONTENT_ID_PRESENCE_MOVINGLIST), "name_of_presence_movinglist_subscription", \
        "subscribe_to_presence_movinglist", "read_message_presence_movinglist", "parser error of presence moving list ") \
    X(DataFloat, FloatData_, parse_data_float, data_prefix(LINKWELL_DATA_SUBTYPE_FLOAT), \
        "d4d70752-c146-11e6-a4a6-cec0c932ce01", "subscribe_to_data_float", "read_message_data_float", \
        "parser error of float data in ") \
    X(DataString, RawPacket, nullptr, data_prefix(LINKWELL_DATA_SUBTYPE_STRING), \
        "2588cebf-cbcb-40af-b0ad-37d7e959ae1a", "subscribe_to_data_string", nullptr, nullptr) \
    X(DataByte, RawPacket, nullptr, data_prefix(LINKWELL_DATA_SUBTYPE_BYTE), \
        "0d80de13-d19a-4563-8657-e7209e6fa2ee", "subscribe_to_data_byte", nullptr, nullptr) \
    X(BasebandIq, BasebandIqData, parse_baseband_iq, appdata_prefix(LINKWELL_CONTENT_ID_BASEBAND_IQ), \
        "baseband_iq_subscription_id", "subscribe_to_baseband_iq", "get_baseband_iq_data", \
        "parser error of baseband IQ data ") \
    X(BasebandAp, BasebandApData, parse_baseband_ap, appdata_prefix(LINKWELL_CONTENT_ID_BASEBAND_AP), \
        "baseband_ap_subscription_id", "subscribe_to_baseband_ap", "get_baseband_ap_data", \
        "parser error of baseband AP data ") \
    X(PulseDopplerFloat, PulseDopplerFloatData, parse_pulsedoppler_float, \
        appdata_prefix(LINKWELL_CONTENT_ID_PULSEDOPPLER_FLOAT), "pulsedoppler_float_subscription_id", \
        "subscribe_to_pulsedoppler_float", "get_pulsedoppler_float_data", "parser error of pulse-Doppler float data ") \
    X(NoiseMapFloat, PulseDopplerFloatData, parse_pulsedoppler_float, \
        appdata_prefix(LINKWELL_CONTENT_ID_NOISEMAP_FLOAT), "noisemap_float_subscription_id", \
        "subscribe_to_noisemap_float", "get_noisemap_float_data", "parser error of noisemap float data ") \
    X(PulseDopplerByte, PulseDopplerByteData, parse_pulsedoppler_byte, \
        appdata_prefix(LINKWELL_CONTENT_ID_PULSEDOPPLER_BYTE), "pulsedoppler_byte_subscription_id", \
        "subscribe_to_pulsedoppler_byte", "get_pulsedoppler_byte_data", "parser error of pulse-Doppler byte data ") \
    X(NoiseMapByte, PulseDopplerByteData, parse_pulsedoppler_byte, \
        appdata_prefix(LINKWELL_CONTENT_ID_NOISEMAP_BYTE), "noisemap_byte_subscription_id", \
        "subscribe_to_noisemap_byte", "get_noisemap_byte_data", "parser error of noisemap byte data ") \
    X(SystemMessage, SystemStatus, parse_system_status, type_prefix(LINKWELL_MESSAGE_SYSTEM_STATUS), \
        "system_message_subscription_id", "subscribe_to_system_status", "read_message_system", \
        "parser error of system status data ") \
    X(RespirationLegacy, RespirationData, parse_respiration_status, \
        appdata_prefix(LINKWELL_CONTENT_ID_RESPIRATION_STATUS), "respiration_legacy_subscription_id", \
        "subscribe_to_resp_status", "get_respiration_data", "parser error of respiration data ") \
    X(RespirationSleep, SleepData, parse_sleep_status, appdata_prefix(LINKWELL_CONTENT_ID_SLEEP_STATUS), \
        "respiration_sleep_subscription_id", "subscribe_to_sleep_status", "get_sleep_data", \
        "parser error of respiration data ") \
    X(RespirationMovingList, RespirationMovingListData, parse_respiration_movinglist, \
        appdata_prefix(LINKWELL_CONTENT_ID_RESPIRATION_MOVINGLIST), "respiration_movinglist_subscription_id", \
        "subscribe_to_respiration_movinglist", "read_message_respiration_movinglist", \
        "parser error of respiration movinglist data in ") \
    X(RespirationDetectionList, RespirationDetectionListData, parse_respiration_detectionlist, \
        appdata_prefix(LINKWELL_CONTENT_ID_RESPIRATION_DETECTIONLIST), "respiration_detectionlist_subscription_id", \
        "subscribe_to_respiration_detectionlist", "read_message_respiration_detectionlist", \
        "parser error of respiration detectionlist data in ") \
    X(RespirationNormalizedMovementList, RespirationNormalizedMovementListData, \
        parse_respiration_normalizedmovementlist, \
        appdata_prefix(LINKWELL_CONTENT_ID_RESPIRATION_NORMALIZEDMOVEMENTLIST), \
        "respiration_normalizedmovementlist_subscription_id", "subscribe_to_respiration_normalizedmovementlist", \
        "read_message_respiration_normalizedmovementlist", \
        "parser error of respiration normalizedmovementlist data in ") \
    X(SleepStage, SleepStageData, parse_sleepstage_status, appdata_prefix(LINKWELL_CONTENT_ID_SLEEP_STAGE), \
        "sleepstage_subscription_id", "subscribe_to_sleepstage", "read_message_sleepstage", \
        "parser error of sleepstage signs in ") \
    X(VitalSigns, VitalSignsData, parse_vitalsigns_status, appdata_prefix(LINKWELL_CONTENT_ID_VITAL_SIGNS), \
        "vital_signs_subscription_id", "subscribe_to_vital_signs", "read_message_vital_signs", \
        "parser error of vital signs in ") \
    X(RadarRf, RadarRfData, parse_radar_rf, appdata_prefix(LINKWELL_CONTENT_ID_RADAR_RF), \
        "radar_rf_subscription_id", "subscribe_to_radar_rf", "get_radar_rf_data", "parser error of radar rf data ") \
    X(RadarRfNormalized, RadarRfNormalizedData, parse_radar_rf_normalized, \
        appdata_prefix(LINKWELL_CONTENT_ID_RADAR_RF_NORMALIZED), "radar_rf_normalized_subscription_id", \
        "subscribe_to_radar_rf_normalized", "get_radar_rf_normalized_data", \
        "parser error of radar rf normalized data ") \
    X(RadarBasebandFloat, RadarBasebandFloatData, parse_radar_baseband_float, \
        appdata_prefix(LINKWELL_CONTENT_ID_RADAR_BASEBAND_FLOAT), "radar_baseband_float_subscription_id", \
        "subscribe_to_radar_baseband_float", "get_radar_baseband_float_data", \
        "parser error of radar baseband float data ") \
    X(RadarBasebandQ15, RadarBasebandQ15Data, parse_radar_baseband_q15, \
        appdata_prefix(LINKWELL_CONTENT_ID_RADAR_BASEBAND_Q15), "radar_baseband_q15_subscription_id", \
        "subscribe_to_radar_baseband_q15", "get_radar_baseband_q15_data", "parser error of radar baseband q15 data ") \
    X(PerformanceStatus, RawPacket, nullptr, data_prefix(0x50, 0x05), nullptr, "subscribe_to_performance_status", \
        nullptr, nullptr) \
    X(RadarSettings, RawPacket, nullptr, data_prefix(0x50, 0x03), nullptr, "subscribe_to_radar_settings", nullptr, \
        nullptr)
// clang-format on

// What a reader of a kind hands out: the public twin of its codec record, or
// the packet itself.
template <typename Codec> struct PublicRecordOf {
    using type = decltype(to_public(std::declval<const Codec&>()));
};

template <> struct PublicRecordOf<RawPacket> {
    using type = Bytes;
};

namespace messages {

#define LINKWELL_MESSAGE_TAG(                                                                                \
    Tag, CodecRecord, decoder_function, prefix_bytes, queue, subscribe_name, reader_name, reader_failure)    \
    struct Tag {                                                                                             \
        using Codec = CodecRecord;                                                                           \
        using Public = PublicRecordOf<CodecRecord>::type;                                                    \
        static constexpr MessageKind kind { #Tag, prefix_bytes, decoder_function, queue, subscribe_name,     \
            reader_name, reader_failure };                                                                   \
    };
LINKWELL_MESSAGE_CATALOGUE(LINKWELL_MESSAGE_TAG)
#undef LINKWELL_MESSAGE_TAG

#define LINKWELL_MESSAGE_ENTRY(Tag, ...) &Tag::kind,
inline constexpr const MessageKind* catalogue[] = { LINKWELL_MESSAGE_CATALOGUE(LINKWELL_MESSAGE_ENTRY) };
#undef LINKWELL_MESSAGE_ENTRY

} // namespace messages
