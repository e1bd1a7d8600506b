// The radar chip's driver: frame rate, sampling, frame area, DAC range,
// transmitter and registers. A reader awaits {0x11, the value's type, the low
// byte of the parameter id}: a reply to another parameter or of another type
// is not its answer.
#include "command/RadarInterface.hpp"

#include "command/CommandRow.hpp"
#include "command/ReplyValue.hpp"

void RadarInterface::z7driver_init()
{
    set(acknowledged("z7driver_init"), commands.create_z7driver_init());
}

void RadarInterface::z7driver_set_fps(float fps)
{
    set(acknowledged("z7driver_set_fps"), commands.create_z7driver_set_fps(fps));
}

void RadarInterface::z7driver_set_pulsesperstep(uint32_t value)
{
    set(acknowledged("z7driver_set_pulsesperstep"), commands.create_z7driver_set_pulsesperstep(value));
}

void RadarInterface::z7driver_set_iterations(uint32_t value)
{
    set(acknowledged("z7driver_set_iterations"), commands.create_z7driver_set_iterations(value));
}

void RadarInterface::z7driver_set_downconversion(uint8_t value)
{
    set(acknowledged("z7driver_set_downconversion"), commands.create_z7driver_set_downconversion(value));
}

void RadarInterface::z7driver_set_frame_area(float start, float end)
{
    set(acknowledged("z7driver_set_frame_area"), commands.create_z7driver_set_frame_area(start, end));
}

void RadarInterface::z7driver_set_dac_min(uint32_t value)
{
    set(acknowledged("z7driver_set_dac_min"), commands.create_z7driver_set_dac_min(value));
}

void RadarInterface::z7driver_set_dac_max(uint32_t value)
{
    set(acknowledged("z7driver_set_dac_max"), commands.create_z7driver_set_dac_max(value));
}

void RadarInterface::z7driver_set_frame_area_offset(float offset)
{
    set(acknowledged("z7driver_set_frame_area_offset"),
        commands.create_z7driver_set_frame_area_offset(offset));
}

void RadarInterface::z7driver_set_enable(uint8_t value)
{
    set(acknowledged("z7driver_set_enable"), commands.create_z7driver_set_enable(value));
}

void RadarInterface::z7driver_set_tx_center_frequency(uint8_t value)
{
    set(acknowledged("z7driver_set_tx_center_frequency"),
        commands.create_z7driver_set_tx_center_frequency(value));
}

void RadarInterface::z7driver_set_tx_power(uint8_t value)
{
    set(acknowledged("z7driver_set_tx_power"), commands.create_z7driver_set_tx_power(value));
}

void RadarInterface::z7driver_set_spi_register(uint8_t address, uint8_t value)
{
    set(acknowledged("z7driver_set_spi_register"), commands.create_z7driver_set_spi_register(address, value));
}

void RadarInterface::z7driver_set_pif_register(uint8_t address, uint8_t value)
{
    set(acknowledged("z7driver_set_pif_register"), commands.create_z7driver_set_pif_register(address, value));
}

void RadarInterface::z7driver_set_xif_register(uint8_t address, uint8_t value)
{
    set(acknowledged("z7driver_set_xif_register"), commands.create_z7driver_set_xif_register(address, value));
}

void RadarInterface::z7driver_set_prf_div(uint8_t value)
{
    set(acknowledged("z7driver_set_prf_div"), commands.create_z7driver_set_prf_div(value));
}

void RadarInterface::z7driver_write_to_spi_register(uint8_t address, const Bytes& data)
{
    set(acknowledged("z7driver_write_to_spi_register"),
        commands.create_z7driver_write_to_spi_register(address, data));
}

void RadarInterface::z7driver_write_to_i2c_register(uint8_t address, const Bytes& data)
{
    set(acknowledged("z7driver_write_to_i2c_register"),
        commands.create_z7driver_write_to_i2c_register(address, data));
}

float RadarInterface::z7driver_get_fps()
{
    return get<float>(
        getter("z7driver_get_fps", value_or_error(f32_value, 0x10)), commands.create_z7driver_get_fps());
}

uint32_t RadarInterface::z7driver_get_pulsesperstep()
{
    return get<uint32_t>(getter("z7driver_get_pulsesperstep", value_or_error(u32_value, 0x11)),
        commands.create_z7driver_get_pulsesperstep());
}

uint32_t RadarInterface::z7driver_get_iterations()
{
    return get<uint32_t>(getter("z7driver_get_iterations", value_or_error(u32_value, 0x12)),
        commands.create_z7driver_get_iterations());
}

uint8_t RadarInterface::z7driver_get_downconversion()
{
    return get<uint8_t>(getter("z7driver_get_downconversion", value_or_error(byte_value, 0x13)),
        commands.create_z7driver_get_downconversion());
}

Sarvik::FrameArea RadarInterface::z7driver_get_frame_area()
{
    return get<Sarvik::FrameArea>(getter("z7driver_get_frame_area", value_or_error(f32_value, 0x14)),
        commands.create_z7driver_get_frame_area());
}

uint32_t RadarInterface::z7driver_get_dac_min()
{
    return get<uint32_t>(getter("z7driver_get_dac_min", value_or_error(u32_value, 0x16)),
        commands.create_z7driver_get_dac_min());
}

uint32_t RadarInterface::z7driver_get_dac_max()
{
    return get<uint32_t>(getter("z7driver_get_dac_max", value_or_error(u32_value, 0x17)),
        commands.create_z7driver_get_dac_max());
}

float RadarInterface::z7driver_get_frame_area_offset()
{
    return get<float>(getter("z7driver_get_frame_area_offset", value_or_error(f32_value, 0x18)),
        commands.create_z7driver_get_frame_area_offset());
}

uint8_t RadarInterface::z7driver_get_tx_center_frequency()
{
    return get<uint8_t>(getter("z7driver_get_tx_center_frequency", value_or_error(byte_value, 0x20)),
        commands.create_z7driver_get_tx_center_frequency());
}

uint8_t RadarInterface::z7driver_get_tx_power()
{
    return get<uint8_t>(getter("z7driver_get_tx_power", value_or_error(byte_value, 0x21)),
        commands.create_z7driver_get_tx_power());
}

uint8_t RadarInterface::z7driver_get_spi_register(uint8_t address)
{
    return get<uint8_t>(getter("z7driver_get_spi_register", value_or_error(byte_value, 0x22)),
        commands.create_z7driver_get_spi_register(address));
}

uint8_t RadarInterface::z7driver_get_pif_register(uint8_t address)
{
    return get<uint8_t>(getter("z7driver_get_pif_register", value_or_error(byte_value, 0x23)),
        commands.create_z7driver_get_pif_register(address));
}

uint8_t RadarInterface::z7driver_get_xif_register(uint8_t address)
{
    return get<uint8_t>(getter("z7driver_get_xif_register", value_or_error(byte_value, 0x24)),
        commands.create_z7driver_get_xif_register(address));
}

uint8_t RadarInterface::z7driver_get_prf_div()
{
    return get<uint8_t>(getter("z7driver_get_prf_div", value_or_error(byte_value, 0x25)),
        commands.create_z7driver_get_prf_div());
}

uint32_t RadarInterface::z7driver_get_frame_bin_count()
{
    return get<uint32_t>(getter("z7driver_get_frame_bin_count", value_or_error(u32_value, 0x26)),
        commands.create_z7driver_get_framebincount());
}

Bytes RadarInterface::z7driver_read_from_spi_register(uint8_t address, uint32_t length)
{
    // The bulk read awaits the same reply as the single SPI register.
    return get<Bytes>(getter("z7driver_read_from_spi_register", value_or_error(byte_value, 0x22)),
        commands.create_z7driver_read_from_spi_register(address, length));
}

Bytes RadarInterface::z7driver_read_from_i2c_register(uint32_t length)
{
    return get<Bytes>(getter("z7driver_read_from_i2c_register", value_or_error(byte_value, 0x27)),
        commands.create_z7driver_read_from_i2c_register(length));
}

int RadarInterface::z7driver_init_no_throw()
{
    return no_throw([&] { z7driver_init(); });
}

int RadarInterface::z7driver_set_fps_no_throw(float fps)
{
    return no_throw([&] { z7driver_set_fps(fps); });
}

int RadarInterface::z7driver_set_frame_area_offset_no_throw(float offset)
{
    return no_throw([&] { z7driver_set_frame_area_offset(offset); });
}

int RadarInterface::z7driver_set_frame_area_no_throw(float start, float end)
{
    return no_throw([&] { z7driver_set_frame_area(start, end); });
}

int RadarInterface::z7driver_set_iterations_no_throw(uint32_t value)
{
    return no_throw([&] { z7driver_set_iterations(value); });
}

int RadarInterface::z7driver_set_pulsesperstep_no_throw(uint32_t value)
{
    return no_throw([&] { z7driver_set_pulsesperstep(value); });
}

int RadarInterface::z7driver_set_dac_min_no_throw(uint32_t value)
{
    return no_throw([&] { z7driver_set_dac_min(value); });
}

int RadarInterface::z7driver_set_dac_max_no_throw(uint32_t value)
{
    return no_throw([&] { z7driver_set_dac_max(value); });
}

int RadarInterface::z7driver_set_downconversion_no_throw(uint8_t value)
{
    return no_throw([&] { z7driver_set_downconversion(value); });
}

int RadarInterface::z7driver_set_enable_no_throw(uint8_t value)
{
    return no_throw([&] { z7driver_set_enable(value); });
}

int RadarInterface::z7driver_set_tx_center_frequency_no_throw(uint8_t value)
{
    return no_throw([&] { z7driver_set_tx_center_frequency(value); });
}

int RadarInterface::z7driver_set_tx_power_no_throw(uint8_t value)
{
    return no_throw([&] { z7driver_set_tx_power(value); });
}

int RadarInterface::z7driver_set_prf_div_no_throw(uint8_t value)
{
    return no_throw([&] { z7driver_set_prf_div(value); });
}

int RadarInterface::z7driver_set_spi_register_no_throw(uint8_t address, uint8_t value)
{
    return no_throw([&] { z7driver_set_spi_register(address, value); });
}

int RadarInterface::z7driver_set_pif_register_no_throw(uint8_t address, uint8_t value)
{
    return no_throw([&] { z7driver_set_pif_register(address, value); });
}

int RadarInterface::z7driver_set_xif_register_no_throw(uint8_t address, uint8_t value)
{
    return no_throw([&] { z7driver_set_xif_register(address, value); });
}

int RadarInterface::z7driver_write_to_spi_register_no_throw(uint8_t address, const Bytes& data)
{
    return no_throw([&] { z7driver_write_to_spi_register(address, data); });
}

int RadarInterface::z7driver_write_to_i2c_register_no_throw(uint8_t address, const Bytes& data)
{
    return no_throw([&] { z7driver_write_to_i2c_register(address, data); });
}

int RadarInterface::z7driver_get_iterations_no_throw(uint32_t* value)
{
    return no_throw([&] { return z7driver_get_iterations(); }, value);
}

int RadarInterface::z7driver_get_pulsesperstep_no_throw(uint32_t* value)
{
    return no_throw([&] { return z7driver_get_pulsesperstep(); }, value);
}

int RadarInterface::z7driver_get_dac_min_no_throw(uint32_t* value)
{
    return no_throw([&] { return z7driver_get_dac_min(); }, value);
}

int RadarInterface::z7driver_get_dac_max_no_throw(uint32_t* value)
{
    return no_throw([&] { return z7driver_get_dac_max(); }, value);
}

int RadarInterface::z7driver_get_frame_bin_count_no_throw(uint32_t* value)
{
    return no_throw([&] { return z7driver_get_frame_bin_count(); }, value);
}

int RadarInterface::z7driver_get_downconversion_no_throw(uint8_t* value)
{
    return no_throw([&] { return z7driver_get_downconversion(); }, value);
}

int RadarInterface::z7driver_get_tx_center_frequency_no_throw(uint8_t* value)
{
    return no_throw([&] { return z7driver_get_tx_center_frequency(); }, value);
}

int RadarInterface::z7driver_get_tx_power_no_throw(uint8_t* value)
{
    return no_throw([&] { return z7driver_get_tx_power(); }, value);
}

int RadarInterface::z7driver_get_prf_div(uint8_t* value)
{
    return no_throw([&] { return z7driver_get_prf_div(); }, value);
}

int RadarInterface::z7driver_get_fps_no_throw(float* fps)
{
    return no_throw([&] { return z7driver_get_fps(); }, fps);
}

int RadarInterface::z7driver_get_frame_area_offset(float* offset)
{
    return no_throw([&] { return z7driver_get_frame_area_offset(); }, offset);
}

int RadarInterface::z7driver_get_spi_register_no_throw(uint8_t address, uint8_t* value)
{
    return no_throw([&] { return z7driver_get_spi_register(address); }, value);
}

int RadarInterface::z7driver_get_pif_register(uint8_t address, uint8_t* value)
{
    return no_throw([&] { return z7driver_get_pif_register(address); }, value);
}

int RadarInterface::z7driver_get_xif_register(uint8_t address, uint8_t* value)
{
    return no_throw([&] { return z7driver_get_xif_register(address); }, value);
}

int RadarInterface::z7driver_get_frame_area_no_throw(Sarvik::FrameArea* area)
{
    return no_throw([&] { return z7driver_get_frame_area(); }, area);
}

int RadarInterface::z7driver_read_from_spi_register_no_throw(uint8_t address, Bytes* data, uint32_t length)
{
    return no_throw([&] { return z7driver_read_from_spi_register(address, length); }, data);
}

int RadarInterface::z7driver_read_from_i2c_register_no_throw(Bytes* data, uint32_t length)
{
    return no_throw([&] { return z7driver_read_from_i2c_register(length); }, data);
}
