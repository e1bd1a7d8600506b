// A decoder table whose slots forward each decoded record to the
// PacketParserCallback passed as the decoders' user pointer. Vital signs,
// sleep stage, float data, replies, system status and the respiration lists
// keep the do-nothing slots: they never reach a receiver.
#pragma once

#include <linkwell/PacketParserCallback.hpp>
#include <linkwell/protocol_parser.h>

class HostParserWrapper : public HostParser {
public:
    HostParserWrapper();

private:
    static void pong_callback(uint32_t value, void* user_data);
    static void error_callback(uint32_t code, void* user_data);
    static void ack_callback(Ack record, void* user_data);
    static void respiration_callback(RespirationData record, void* user_data);
    static void sleep_callback(SleepData record, void* user_data);
    static void baseband_ap_callback(BasebandApData record, void* user_data);
    static void baseband_iq_callback(BasebandIqData record, void* user_data);
    static void presence_single(PresenceSingleData record, void* user_data);
    static void presence_movinglist(PresenceMovingListData record, void* user_data);
    static void pulsedoppler_float(PulseDopplerFloatData record, void* user_data);
    static void pulsedoppler_byte(PulseDopplerByteData record, void* user_data);
    static void radar_rf_callback(RadarRfData record, void* user_data);
    static void radar_rf_normalized_callback(RadarRfNormalizedData record, void* user_data);
    static void radar_baseband_float_callback(RadarBasebandFloatData record, void* user_data);
    static void radar_baseband_q15_callback(RadarBasebandQ15Data record, void* user_data);
};
