#include "protocol/Parser.hpp"

#include "log/ConsoleAndFileLogger.hpp"

Parser::Parser(Logger& logger)
    : HostParser()
    , logger_(logger)
{
    logger_.log(5, "parser constructor");
    init_host_parser(this);
    on_pong = callback<unsigned int>;
    on_error = error;
    on_ack = callback<Ack>;
    on_data_float = callback<FloatData_>;
    on_reply = callback<Reply>;
    on_respiration = callback<RespirationData>;
    on_sleep = callback<SleepData>;
    on_vitalsigns = callback<VitalSignsData>;
    on_sleepstage = callback<SleepStageData>;
    on_baseband_ap = callback<BasebandApData>;
    on_baseband_iq = callback<BasebandIqData>;
    on_presence_single = callback<PresenceSingleData>;
    on_presence_movinglist = callback<PresenceMovingListData>;
    on_system_status = callback<SystemStatus>;
    on_respiration_movinglist = callback<RespirationMovingListData>;
    on_respiration_detectionlist = callback<RespirationDetectionListData>;
    on_respiration_normalizedmovementlist = callback<RespirationNormalizedMovementListData>;
    on_pulsedoppler_float = callback<PulseDopplerFloatData>;
    on_pulsedoppler_byte = callback<PulseDopplerByteData>;
    on_radar_rf = callback<RadarRfData>;
    on_radar_rf_normalized = callback<RadarRfNormalizedData>;
    on_radar_baseband_float = callback<RadarBasebandFloatData>;
    on_radar_baseband_q15 = callback<RadarBasebandQ15Data>;
}

// The error slot serves results of every record type through their shared
// ParseOutcome part.
void Parser::error(unsigned code, void* user_data)
{
    assert(user_data && "user_data");
    auto* result = static_cast<ParseOutcome*>(user_data);
    result->error = true;
    result->error_code = code;
}

int Parser::parse_ack(const Packet& packet, ParseResult<Ack>* result) const
{
    return run(::parse_ack, packet, result);
}

int Parser::parse_pong(const Packet& packet, ParseResult<unsigned int>* result) const
{
    return run(::parse_pong, packet, result);
}

int Parser::parse_data_float(const Packet& packet, ParseResult<FloatData_>* result) const
{
    return run(::parse_data_float, packet, result);
}

int Parser::parse_reply(const Packet& packet, ParseResult<Reply>* result) const
{
    return run(::parse_reply, packet, result);
}

int Parser::parse_respiration_status(const Packet& packet, ParseResult<RespirationData>* result) const
{
    return run(::parse_respiration_status, packet, result);
}

int Parser::parse_sleep_status(const Packet& packet, ParseResult<SleepData>* result) const
{
    return run(::parse_sleep_status, packet, result);
}

int Parser::parse_baseband_ap(const Packet& packet, ParseResult<BasebandApData>* result) const
{
    return run(::parse_baseband_ap, packet, result);
}

int Parser::parse_baseband_iq(const Packet& packet, ParseResult<BasebandIqData>* result) const
{
    return run(::parse_baseband_iq, packet, result);
}

int Parser::parse_radar_rf(const Packet& packet, ParseResult<RadarRfData>* result) const
{
    return run(::parse_radar_rf, packet, result);
}

int Parser::parse_radar_rf_normalized(const Packet& packet, ParseResult<RadarRfNormalizedData>* result) const
{
    return run(::parse_radar_rf_normalized, packet, result);
}

int Parser::parse_radar_baseband_float(
    const Packet& packet, ParseResult<RadarBasebandFloatData>* result) const
{
    return run(::parse_radar_baseband_float, packet, result);
}

int Parser::parse_radar_baseband_q15(const Packet& packet, ParseResult<RadarBasebandQ15Data>* result) const
{
    return run(::parse_radar_baseband_q15, packet, result);
}

int Parser::parse_presence_single(const Packet& packet, ParseResult<PresenceSingleData>* result) const
{
    return run(::parse_presence_single, packet, result);
}

int Parser::parse_presence_movinglist(const Packet& packet, ParseResult<PresenceMovingListData>* result) const
{
    return run(::parse_presence_movinglist, packet, result);
}

int Parser::parse_system_status(const Packet& packet, ParseResult<SystemStatus>* result) const
{
    return run(::parse_system_status, packet, result);
}

int Parser::parse_respiration_movinglist(
    const Packet& packet, ParseResult<RespirationMovingListData>* result) const
{
    return run(::parse_respiration_movinglist, packet, result);
}

int Parser::parse_respiration_detectionlist(
    const Packet& packet, ParseResult<RespirationDetectionListData>* result) const
{
    return run(::parse_respiration_detectionlist, packet, result);
}

int Parser::parse_respiration_normalizedmovementlist(
    const Packet& packet, ParseResult<RespirationNormalizedMovementListData>* result) const
{
    return run(::parse_respiration_normalizedmovementlist, packet, result);
}

int Parser::parse_pulsedoppler_float(const Packet& packet, ParseResult<PulseDopplerFloatData>* result) const
{
    return run(::parse_pulsedoppler_float, packet, result);
}

int Parser::parse_pulsedoppler_byte(const Packet& packet, ParseResult<PulseDopplerByteData>* result) const
{
    return run(::parse_pulsedoppler_byte, packet, result);
}

int Parser::parse_vitalsigns_status(const Packet& packet, ParseResult<VitalSignsData>* result) const
{
    return run(::parse_vitalsigns_status, packet, result);
}

int Parser::parse_sleepstage_status(const Packet& packet, ParseResult<SleepStageData>* result) const
{
    return run(::parse_sleepstage_status, packet, result);
}
