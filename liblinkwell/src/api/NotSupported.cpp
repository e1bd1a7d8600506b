#include <linkwell/NotSupported.hpp>

#include <utility>

#include "api/ModelPrivate.hpp"

namespace Sarvik {

NotSupported::NotSupported(LockedRadarInterface& connection)
    : d(new ModelPrivate(connection))
{ }

NotSupported::~NotSupported() = default;

// ---- Radar chip access through the older system commands ---------------------

int NotSupported::get_z7_io_pin_value(uint8_t pin)
{
    return d->call([&](RadarInterface& radar) { return radar.get_z7_io_pin_value(pin); });
}

int NotSupported::set_z7_io_pin_value(uint8_t pin, uint8_t value)
{
    return d->call([&](RadarInterface& radar) { return radar.set_z7_io_pin_value(pin, value); });
}

int NotSupported::set_z7_io_pin_mode(uint8_t pin, uint8_t mode)
{
    return d->call([&](RadarInterface& radar) { return radar.set_z7_io_pin_mode(pin, mode); });
}

int NotSupported::set_z7_io_pin_dir(uint8_t pin, uint8_t direction)
{
    return d->call([&](RadarInterface& radar) { return radar.set_z7_io_pin_dir(pin, direction); });
}

int NotSupported::set_z7_io_pin_enable(uint8_t pin)
{
    return d->call([&](RadarInterface& radar) { return radar.set_z7_io_pin_enable(pin); });
}

int NotSupported::set_z7_io_pin_disable(uint8_t pin)
{
    return d->call([&](RadarInterface& radar) { return radar.set_z7_io_pin_disable(pin); });
}

int NotSupported::read_z7_spi(uint8_t address)
{
    return d->call([&](RadarInterface& radar) { return radar.read_z7_spi(address); });
}

int NotSupported::write_z7_spi(uint8_t address, uint8_t value)
{
    return d->call([&](RadarInterface& radar) { return radar.write_z7_spi(address, value); });
}

int NotSupported::set_z7_fps(uint32_t fps)
{
    return d->call([&](RadarInterface& radar) { return radar.set_z7_fps(fps); });
}

int NotSupported::subscribe_to_z7_desim(const std::string& name)
{
    return d->call([&](RadarInterface& radar) { return radar.subscribe_to_z7_desim(name); });
}

int NotSupported::get_z7_decim_frame(
    const std::string& name, uint32_t* frame_counter, double* samples, uint32_t capacity)
{
    return d->call([&](RadarInterface& radar) {
        return radar.get_z7_decim_frame(name, frame_counter, samples, capacity);
    });
}

// ---- Generic data streams and queues by name ---------------------------------

int NotSupported::subscribe_to_data_float(const std::string& name)
{
    return d->call([&](RadarInterface& radar) { return radar.subscribe_to_data_float(name); });
}

int NotSupported::peek_message_data_float(const std::string& name)
{
    return d->call([&](RadarInterface& radar) { return radar.peek_message_data_float(name); });
}

int NotSupported::read_message_data_float(DataFloat* data)
{
    return d->call([&](RadarInterface& radar) { return radar.read_message_data_float(data); });
}

int NotSupported::subscribe_to_data_byte(const std::string& name)
{
    return d->call([&](RadarInterface& radar) { return radar.subscribe_to_data_byte(name); });
}

int NotSupported::subscribe_to_trace(const std::string& name)
{
    return d->call([&](RadarInterface& radar) { return radar.subscribe_to_trace(name); });
}

std::string NotSupported::get_trace(const std::string& name)
{
    return d->call([&](RadarInterface& radar) { return radar.get_trace(name); });
}

int NotSupported::get_number_of_packets(const std::string& name)
{
    return d->call([&](RadarInterface& radar) { return radar.get_number_of_packets(name); });
}

Bytes NotSupported::get_packet(const std::string& name)
{
    return d->call([&](RadarInterface& radar) { return radar.get_packet(name); });
}

void NotSupported::clear(const std::string& name)
{
    d->call([&](RadarInterface& radar) { radar.clear(name); });
}

int NotSupported::subscribe_to_data_float(const std::string& name, std::function<bool(Bytes)> callback)
{
    return d->call(
        [&](RadarInterface& radar) { return radar.subscribe_to_data_float(name, std::move(callback)); });
}

int NotSupported::subscribe_to_data_byte(const std::string& name, std::function<bool(Bytes)> callback)
{
    return d->call(
        [&](RadarInterface& radar) { return radar.subscribe_to_data_byte(name, std::move(callback)); });
}

// ---- Raw pulse-Doppler and noise-map packets ---------------------------------

int NotSupported::peek_message_pulsedoppler_float()
{
    return d->call([&](RadarInterface& radar) { return radar.peek_message_pulsedoppler_float(); });
}

Bytes NotSupported::read_message_pulsedoppler_float()
{
    return d->call([&](RadarInterface& radar) { return radar.read_message_pulsedoppler_raw_float(); });
}

int NotSupported::peek_message_noisemap_float()
{
    return d->call([&](RadarInterface& radar) { return radar.peek_message_noisemap_float(); });
}

Bytes NotSupported::read_message_noisemap_float()
{
    return d->call([&](RadarInterface& radar) { return radar.read_message_noisemap_raw_float(); });
}

int NotSupported::peek_message_pulsedoppler_byte()
{
    return d->call([&](RadarInterface& radar) { return radar.peek_message_pulsedoppler_byte(); });
}

Bytes NotSupported::read_message_pulsedoppler_byte()
{
    return d->call([&](RadarInterface& radar) { return radar.read_message_pulsedoppler_raw_byte(); });
}

int NotSupported::peek_message_noisemap_byte()
{
    return d->call([&](RadarInterface& radar) { return radar.peek_message_noisemap_byte(); });
}

Bytes NotSupported::read_message_noisemap_byte()
{
    return d->call([&](RadarInterface& radar) { return radar.read_message_noisemap_raw_byte(); });
}

// ---- Parameter file, profile and application user zone -----------------------

void NotSupported::set_parameter_file(const std::string& file_name, const std::string& text)
{
    d->call([&](RadarInterface& radar) { radar.set_parameter_file(file_name, text); });
}

std::string NotSupported::get_parameter_file(const std::string& file_name)
{
    return d->call([&](RadarInterface& radar) { return radar.get_parameter_file(file_name); });
}

void NotSupported::load_profile(uint32_t profile_id)
{
    d->call([&](RadarInterface& radar) { radar.load_profile(profile_id); });
}

int NotSupported::set_application_user_zone(float start, float end)
{
    return d->call(
        [&](RadarInterface& radar) { return radar.set_application_user_zone_no_throw(start, end); });
}

int NotSupported::get_application_user_zone(float* start, float* end)
{
    return d->call(
        [&](RadarInterface& radar) { return radar.get_application_user_zone_no_throw(start, end); });
}

} // namespace Sarvik
