// The flat C interface: the chip driver, IO pins and generic data messages
// of modules that run the embedded-platform firmware.
#include <linkwell/matlab_wrapper.h>

#include "api/FlatCall.hpp"

namespace {

using flat::low_byte;

// A generic data message: content id and info word, then the payload by
// rule R. Any failed read is 1, whatever its own code.
template <typename Target, typename Payload, typename Read>
int read_generic(Z3_Type* z3, unsigned* content_id, unsigned* info, Target* dst, unsigned* length,
    unsigned capacity, Read&& read)
{
    if (length)
        *length = 0;
    return flat::with_connection(z3, [&](FlatConnection& connection) {
        flat::require(content_id, info);
        flat::require_room(capacity, dst);
        Payload payload;
        const int code = connection.locked(
            [&](RadarInterface& radar) { return read(radar, content_id, info, &payload); });
        if (code != 0)
            return 1;
        return flat::truncated_out(payload, dst, length, capacity);
    });
}

} // namespace

// ==== Z7 driver settings =====================================================

int dax_z7driver_set_fps(Z3_Type* z3, float fps)
{
    return flat::call(z3, [&](RadarInterface& radar) { return radar.z7driver_set_fps_no_throw(fps); });
}

int dax_z7driver_get_fps(Z3_Type* z3, float* fps)
{
    return flat::call_into(
        z3, [](RadarInterface& radar, float* out) { return radar.z7driver_get_fps_no_throw(out); }, fps);
}

int dax_z7driver_set_iterations(Z3_Type* z3, unsigned int value)
{
    return flat::call(
        z3, [&](RadarInterface& radar) { return radar.z7driver_set_iterations_no_throw(value); });
}

int dax_z7driver_get_iterations(Z3_Type* z3, unsigned int* value)
{
    return flat::call_into(
        z3, [](RadarInterface& radar, unsigned* out) { return radar.z7driver_get_iterations_no_throw(out); },
        value);
}

int dax_z7driver_set_pulsesperstep(Z3_Type* z3, unsigned int value)
{
    return flat::call(
        z3, [&](RadarInterface& radar) { return radar.z7driver_set_pulsesperstep_no_throw(value); });
}

int dax_z7driver_get_pulsesperstep(Z3_Type* z3, unsigned int* value)
{
    return flat::call_into(
        z3,
        [](RadarInterface& radar, unsigned* out) { return radar.z7driver_get_pulsesperstep_no_throw(out); },
        value);
}

int dax_z7driver_set_downconversion(Z3_Type* z3, unsigned int value)
{
    return flat::call(z3,
        [&](RadarInterface& radar) { return radar.z7driver_set_downconversion_no_throw(low_byte(value)); });
}

int dax_z7driver_get_downconversion(Z3_Type* z3, unsigned char* value)
{
    return flat::call_into(
        z3,
        [](RadarInterface& radar, unsigned char* out) {
            return radar.z7driver_get_downconversion_no_throw(out);
        },
        value);
}

int dax_z7driver_get_framebincount(Z3_Type* z3, unsigned int* value)
{
    return flat::call_into(
        z3,
        [](RadarInterface& radar, unsigned* out) { return radar.z7driver_get_frame_bin_count_no_throw(out); },
        value);
}

int dax_z7driver_set_frame_area(Z3_Type* z3, float start, float end)
{
    return flat::call(
        z3, [&](RadarInterface& radar) { return radar.z7driver_set_frame_area_no_throw(start, end); });
}

int dax_z7driver_get_frame_area(Z3_Type* z3, float* start, float* end)
{
    return flat::call_into(
        z3,
        [](RadarInterface& radar, float* first, float* last) {
            Sarvik::FrameArea area;
            const int code = radar.z7driver_get_frame_area_no_throw(&area);
            if (code == 0) {
                *first = area.start;
                *last = area.end;
            }
            return code;
        },
        start, end);
}

int dax_z7driver_set_frame_area_offset(Z3_Type* z3, float offset)
{
    return flat::call(
        z3, [&](RadarInterface& radar) { return radar.z7driver_set_frame_area_offset_no_throw(offset); });
}

int dax_z7driver_get_frame_area_offset(Z3_Type* z3, float* offset)
{
    return flat::call_into(
        z3, [](RadarInterface& radar, float* out) { return radar.z7driver_get_frame_area_offset(out); },
        offset);
}

int dax_z7driver_init(Z3_Type* z3)
{
    return flat::call(z3, [](RadarInterface& radar) { return radar.z7driver_init_no_throw(); });
}

int dax_z7driver_set_dac_min(Z3_Type* z3, unsigned int value)
{
    return flat::call(z3, [&](RadarInterface& radar) { return radar.z7driver_set_dac_min_no_throw(value); });
}

int dax_z7driver_get_dac_min(Z3_Type* z3, unsigned int* value)
{
    return flat::call_into(
        z3, [](RadarInterface& radar, unsigned* out) { return radar.z7driver_get_dac_min_no_throw(out); },
        value);
}

int dax_z7driver_set_dac_max(Z3_Type* z3, unsigned int value)
{
    return flat::call(z3, [&](RadarInterface& radar) { return radar.z7driver_set_dac_max_no_throw(value); });
}

int dax_z7driver_get_dac_max(Z3_Type* z3, unsigned int* value)
{
    return flat::call_into(
        z3, [](RadarInterface& radar, unsigned* out) { return radar.z7driver_get_dac_max_no_throw(out); },
        value);
}

int dax_z7driver_set_enable(Z3_Type* z3, unsigned int value)
{
    return flat::call(
        z3, [&](RadarInterface& radar) { return radar.z7driver_set_enable_no_throw(low_byte(value)); });
}

int dax_z7driver_set_tx_center_frequency(Z3_Type* z3, unsigned int value)
{
    return flat::call(z3, [&](RadarInterface& radar) {
        return radar.z7driver_set_tx_center_frequency_no_throw(low_byte(value));
    });
}

int dax_z7driver_get_tx_center_frequency(Z3_Type* z3, unsigned char* value)
{
    return flat::call_into(
        z3,
        [](RadarInterface& radar, unsigned char* out) {
            return radar.z7driver_get_tx_center_frequency_no_throw(out);
        },
        value);
}

int dax_z7driver_set_tx_power(Z3_Type* z3, unsigned int value)
{
    return flat::call(
        z3, [&](RadarInterface& radar) { return radar.z7driver_set_tx_power_no_throw(low_byte(value)); });
}

int dax_z7driver_get_tx_power(Z3_Type* z3, unsigned char* value)
{
    return flat::call_into(
        z3,
        [](RadarInterface& radar, unsigned char* out) { return radar.z7driver_get_tx_power_no_throw(out); },
        value);
}

int dax_z7driver_set_prf_div(Z3_Type* z3, unsigned int value)
{
    return flat::call(
        z3, [&](RadarInterface& radar) { return radar.z7driver_set_prf_div_no_throw(low_byte(value)); });
}

int dax_z7driver_get_prf_div(Z3_Type* z3, unsigned char* value)
{
    return flat::call_into(
        z3, [](RadarInterface& radar, unsigned char* out) { return radar.z7driver_get_prf_div(out); }, value);
}

// ==== Z7 chip registers ======================================================

int dax_z7driver_set_spi_register(Z3_Type* z3, unsigned int address, unsigned int value)
{
    return flat::call(z3, [&](RadarInterface& radar) {
        return radar.z7driver_set_spi_register_no_throw(low_byte(address), low_byte(value));
    });
}

int dax_z7driver_get_spi_register(Z3_Type* z3, unsigned int address, unsigned char* value)
{
    return flat::call_into(
        z3,
        [&](RadarInterface& radar, unsigned char* out) {
            return radar.z7driver_get_spi_register_no_throw(low_byte(address), out);
        },
        value);
}

int dax_z7driver_set_pif_register(Z3_Type* z3, unsigned int address, unsigned int value)
{
    return flat::call(z3, [&](RadarInterface& radar) {
        return radar.z7driver_set_pif_register_no_throw(low_byte(address), low_byte(value));
    });
}

int dax_z7driver_get_pif_register(Z3_Type* z3, unsigned int address, unsigned char* value)
{
    return flat::call_into(
        z3,
        [&](RadarInterface& radar, unsigned char* out) {
            return radar.z7driver_get_pif_register(low_byte(address), out);
        },
        value);
}

int dax_z7driver_set_xif_register(Z3_Type* z3, unsigned int address, unsigned int value)
{
    return flat::call(z3, [&](RadarInterface& radar) {
        return radar.z7driver_set_xif_register_no_throw(low_byte(address), low_byte(value));
    });
}

int dax_z7driver_get_xif_register(Z3_Type* z3, unsigned int address, unsigned char* value)
{
    return flat::call_into(
        z3,
        [&](RadarInterface& radar, unsigned char* out) {
            return radar.z7driver_get_xif_register(low_byte(address), out);
        },
        value);
}

// ==== Module IO pins =========================================================

int dax_set_iopin_control(Z3_Type* z3, unsigned int pin, unsigned int setup, unsigned int feature)
{
    return flat::call(
        z3, [&](RadarInterface& radar) { return radar.set_iopin_control_no_throw(pin, setup, feature); });
}

int dax_get_iopin_control(Z3_Type* z3, unsigned int pin, unsigned int* setup, unsigned int* feature)
{
    return flat::call_into(
        z3,
        [&](RadarInterface& radar, unsigned* first, unsigned* second) {
            return radar.get_iopin_control_no_throw(pin, first, second);
        },
        setup, feature);
}

int dax_set_iopin_value(Z3_Type* z3, unsigned int pin, unsigned int value)
{
    return flat::call(z3, [&](RadarInterface& radar) { return radar.set_iopin_value_no_throw(pin, value); });
}

int dax_get_iopin_value(Z3_Type* z3, unsigned int pin, unsigned int* value)
{
    return flat::call_into(
        z3, [&](RadarInterface& radar, unsigned* out) { return radar.get_iopin_value(pin, out); }, value);
}

// ==== Generic data messages ==================================================

int dax_read_message_data_string(Z3_Type* z3, unsigned int* content_id, unsigned int* info, char* dst,
    unsigned int* length, unsigned int capacity)
{
    return read_generic<char, std::string>(z3, content_id, info, dst, length, capacity,
        [](RadarInterface& radar, unsigned* id, unsigned* word, std::string* text) {
            return radar.read_message_data_string(id, word, text);
        });
}

int dax_read_message_data_byte(Z3_Type* z3, unsigned int* content_id, unsigned int* info, unsigned char* dst,
    unsigned int* length, unsigned int capacity)
{
    return read_generic<unsigned char, Bytes>(z3, content_id, info, dst, length, capacity,
        [](RadarInterface& radar, unsigned* id, unsigned* word, Bytes* bytes) {
            return radar.read_message_data_byte(id, word, bytes);
        });
}
