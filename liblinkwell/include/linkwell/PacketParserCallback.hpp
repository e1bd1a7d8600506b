// What a client implements to receive a connection's packets as typed
// records: one operation per kind of record, called on the connection's
// dispatcher thread. Pointers are valid only during the call, and the arrays
// of a record point into the packet being dispatched: copy what is kept.
#pragma once

#include <cstdint>

#include <linkwell/linkwell_export.h>
#include <linkwell/protocol_parser.h>

class LINKWELL_API PacketParserCallback {
public:
    virtual ~PacketParserCallback();
    virtual void on_ack(const Ack* ack) = 0;
    virtual void on_pong(uint32_t value) = 0;
    virtual void on_error(uint32_t code) = 0;
    virtual void on_respiration(const RespirationData* data) = 0;
    virtual void on_sleep(const SleepData* data) = 0;
    virtual void on_baseband_ap(const BasebandApData* data) = 0;
    virtual void on_baseband_iq(const BasebandIqData* data) = 0;
    virtual void on_radar_rf(const RadarRfData* data) = 0;
    virtual void on_radar_rf_normalized(const RadarRfNormalizedData* data) = 0;
    virtual void on_radar_baseband_float(const RadarBasebandFloatData* data) = 0;
    virtual void on_radar_baseband_q15(const RadarBasebandQ15Data* data) = 0;
    virtual void on_presence_single(const PresenceSingleData* data) = 0;
    virtual void on_presence_movinglist(const PresenceMovingListData* data) = 0;
    virtual void on_pulsedoppler_float(const PulseDopplerFloatData* data) = 0;
    virtual void on_pulsedoppler_byte(const PulseDopplerByteData* data) = 0;
};
