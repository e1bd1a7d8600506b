// Decodes one packet at a time into a caller's ParseResult. Each method runs
// the codec decoder of the same name; the caller prepares the result, tests
// its error flag first (the module's or the decoder's code is in error_code)
// and only then reads the record, whose arrays point into the packet.
//
// The result is typed per method, so a result of the wrong record type is a
// compile error rather than a write past the caller's structure.
#pragma once

#include <cassert>
#include <cstdint>
#include <vector>

#include "protocol/ParseResult.hpp"
#include <linkwell/protocol_parser.h>

class Logger;

class Parser : private HostParser {
public:
    using Packet = std::vector<uint8_t>;

    explicit Parser(Logger& logger);

    int parse_ack(const Packet& packet, ParseResult<Ack>* result) const;
    int parse_pong(const Packet& packet, ParseResult<unsigned int>* result) const;
    int parse_data_float(const Packet& packet, ParseResult<FloatData_>* result) const;
    int parse_reply(const Packet& packet, ParseResult<Reply>* result) const;
    int parse_respiration_status(const Packet& packet, ParseResult<RespirationData>* result) const;
    int parse_sleep_status(const Packet& packet, ParseResult<SleepData>* result) const;
    int parse_baseband_ap(const Packet& packet, ParseResult<BasebandApData>* result) const;
    int parse_baseband_iq(const Packet& packet, ParseResult<BasebandIqData>* result) const;
    int parse_radar_rf(const Packet& packet, ParseResult<RadarRfData>* result) const;
    int parse_radar_rf_normalized(const Packet& packet, ParseResult<RadarRfNormalizedData>* result) const;
    int parse_radar_baseband_float(const Packet& packet, ParseResult<RadarBasebandFloatData>* result) const;
    int parse_radar_baseband_q15(const Packet& packet, ParseResult<RadarBasebandQ15Data>* result) const;
    int parse_presence_single(const Packet& packet, ParseResult<PresenceSingleData>* result) const;
    int parse_presence_movinglist(const Packet& packet, ParseResult<PresenceMovingListData>* result) const;
    int parse_system_status(const Packet& packet, ParseResult<SystemStatus>* result) const;
    int parse_respiration_movinglist(
        const Packet& packet, ParseResult<RespirationMovingListData>* result) const;
    int parse_respiration_detectionlist(
        const Packet& packet, ParseResult<RespirationDetectionListData>* result) const;
    int parse_respiration_normalizedmovementlist(
        const Packet& packet, ParseResult<RespirationNormalizedMovementListData>* result) const;
    int parse_pulsedoppler_float(const Packet& packet, ParseResult<PulseDopplerFloatData>* result) const;
    int parse_pulsedoppler_byte(const Packet& packet, ParseResult<PulseDopplerByteData>* result) const;
    int parse_vitalsigns_status(const Packet& packet, ParseResult<VitalSignsData>* result) const;
    int parse_sleepstage_status(const Packet& packet, ParseResult<SleepStageData>* result) const;

    // A packet of a kind of the message catalogue, with the kind's decoder,
    // into the record that the catalogue names for it.
    template <typename Kind> int decode(const Packet& packet, ParseResult<typename Kind::Codec>* result) const
    {
        return run(Kind::kind.decoder, packet, result);
    }

private:
    using Decoder = int (*)(const HostParser*, const uint8_t*, uint32_t, void*);

    template <typename T> int run(Decoder decoder, const Packet& packet, ParseResult<T>* result) const
    {
        // The slots see the result as its ParseOutcome part; callback<T>
        // turns it back into the ParseResult<T> that it is.
        ParseOutcome* outcome = result;
        return decoder(this, packet.data(), static_cast<uint32_t>(packet.size()), outcome);
    }

    static void error(unsigned code, void* user_data);

    template <typename T> static void callback(T record, void* user_data)
    {
        assert(user_data && "user_data");
        auto* result = static_cast<ParseResult<T>*>(static_cast<ParseOutcome*>(user_data));
        result->valid = true;
        result->record = record;
    }

    Logger& logger_;
};
