#include "protocol/HostParserWrapper.hpp"

#include <cassert>

namespace {

PacketParserCallback* receiver(void* user_data)
{
    assert(user_data && "user_data");
    return static_cast<PacketParserCallback*>(user_data);
}

} // namespace

HostParserWrapper::HostParserWrapper()
    : HostParser()
{
    init_host_parser(this);
    on_pong = pong_callback;
    on_error = error_callback;
    on_ack = ack_callback;
    on_respiration = respiration_callback;
    on_sleep = sleep_callback;
    on_baseband_ap = baseband_ap_callback;
    on_baseband_iq = baseband_iq_callback;
    on_presence_single = presence_single;
    on_presence_movinglist = presence_movinglist;
    on_pulsedoppler_float = pulsedoppler_float;
    on_pulsedoppler_byte = pulsedoppler_byte;
    on_radar_rf = radar_rf_callback;
    on_radar_rf_normalized = radar_rf_normalized_callback;
    on_radar_baseband_float = radar_baseband_float_callback;
    on_radar_baseband_q15 = radar_baseband_q15_callback;
}

void HostParserWrapper::pong_callback(uint32_t value, void* user_data)
{
    receiver(user_data)->on_pong(value);
}

void HostParserWrapper::error_callback(uint32_t code, void* user_data)
{
    receiver(user_data)->on_error(code);
}

void HostParserWrapper::ack_callback(Ack record, void* user_data)
{
    receiver(user_data)->on_ack(&record);
}

void HostParserWrapper::respiration_callback(RespirationData record, void* user_data)
{
    receiver(user_data)->on_respiration(&record);
}

void HostParserWrapper::sleep_callback(SleepData record, void* user_data)
{
    receiver(user_data)->on_sleep(&record);
}

void HostParserWrapper::baseband_ap_callback(BasebandApData record, void* user_data)
{
    receiver(user_data)->on_baseband_ap(&record);
}

void HostParserWrapper::baseband_iq_callback(BasebandIqData record, void* user_data)
{
    receiver(user_data)->on_baseband_iq(&record);
}

void HostParserWrapper::presence_single(PresenceSingleData record, void* user_data)
{
    receiver(user_data)->on_presence_single(&record);
}

void HostParserWrapper::presence_movinglist(PresenceMovingListData record, void* user_data)
{
    receiver(user_data)->on_presence_movinglist(&record);
}

void HostParserWrapper::pulsedoppler_float(PulseDopplerFloatData record, void* user_data)
{
    receiver(user_data)->on_pulsedoppler_float(&record);
}

void HostParserWrapper::pulsedoppler_byte(PulseDopplerByteData record, void* user_data)
{
    receiver(user_data)->on_pulsedoppler_byte(&record);
}

void HostParserWrapper::radar_rf_callback(RadarRfData record, void* user_data)
{
    receiver(user_data)->on_radar_rf(&record);
}

void HostParserWrapper::radar_rf_normalized_callback(RadarRfNormalizedData record, void* user_data)
{
    receiver(user_data)->on_radar_rf_normalized(&record);
}

void HostParserWrapper::radar_baseband_float_callback(RadarBasebandFloatData record, void* user_data)
{
    receiver(user_data)->on_radar_baseband_float(&record);
}

void HostParserWrapper::radar_baseband_q15_callback(RadarBasebandQ15Data record, void* user_data)
{
    receiver(user_data)->on_radar_baseband_q15(&record);
}
