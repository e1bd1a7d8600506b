// Module identity, sensor mode and LED.
#include "command/RadarInterface.hpp"

#include "command/CommandRow.hpp"
#include "command/ReplyValue.hpp"

namespace {

// Every system-information text comes in a text reply of id 0x58.
CommandRow system_info()
{
    return getter("get_system_info", value_or_error(text_value, 0x58), "error parsing reply in ");
}

} // namespace

std::string RadarInterface::get_system_info(uint8_t code)
{
    return get<std::string>(system_info(), commands.create_get_system_info(code));
}

int RadarInterface::get_system_info(uint8_t code, std::string* info)
{
    const ReplyData reply = reply_data(system_info(), commands.create_get_system_info(code), 0);
    if (reply.refused)
        return -1;
    *info = std::string(reply.data.begin(), reply.data.end());
    return 0;
}

void RadarInterface::set_sensor_mode_and_submode(uint8_t mode, uint8_t submode)
{
    set(error_checked("set_sensor_mode_and_submode", "set sensor mode failed"),
        commands.create_set_sensor_mode(mode, submode));
}

std::string RadarInterface::get_item_number()
{
    return get_system_info(0);
}

int RadarInterface::get_item_number(std::string* text)
{
    return no_throw([&] { return get_item_number(); }, text);
}

std::string RadarInterface::get_order_code()
{
    return get_system_info(1);
}

int RadarInterface::get_order_code(std::string* text)
{
    return no_throw([&] { return get_order_code(); }, text);
}

std::string RadarInterface::get_firmware_id()
{
    return get_system_info(2);
}

int RadarInterface::get_firmware_id(std::string* text)
{
    return no_throw([&] { return get_firmware_id(); }, text);
}

std::string RadarInterface::get_firmware_version()
{
    return get_system_info(3);
}

int RadarInterface::get_firmware_version(std::string* text)
{
    return no_throw([&] { return get_firmware_version(); }, text);
}

std::string RadarInterface::get_build_info()
{
    return get_system_info(4);
}

int RadarInterface::get_build_info(std::string* text)
{
    return no_throw([&] { return get_build_info(); }, text);
}

std::string RadarInterface::get_app_id_list()
{
    return get_system_info(5);
}

int RadarInterface::get_app_id_list(std::string* text)
{
    return no_throw([&] { return get_app_id_list(); }, text);
}

std::string RadarInterface::get_serial_number()
{
    return get_system_info(6);
}

int RadarInterface::get_serial_number(std::string* text)
{
    return no_throw([&] { return get_serial_number(); }, text);
}

void RadarInterface::set_sensor_mode_run()
{
    set_sensor_mode(0x01);
}

void RadarInterface::set_sensor_mode_idle()
{
    set_sensor_mode(0x11);
}

uint8_t RadarInterface::get_sensor_mode()
{
    return get<uint8_t>(
        getter("get_sensor_mode", value_or_error(byte_value)), commands.create_get_sensor_mode());
}

int RadarInterface::set_sensor_mode_and_submode_no_throw(uint8_t mode, uint8_t submode)
{
    return no_throw([&] { set_sensor_mode_and_submode(mode, submode); });
}

int RadarInterface::set_sensor_mode_no_throw(uint8_t mode)
{
    return set_sensor_mode_and_submode_no_throw(mode, 0);
}

int RadarInterface::set_sensor_mode_run_no_throw()
{
    return no_throw([&] { set_sensor_mode(0x01); });
}

int RadarInterface::set_sensor_mode_idle_no_throw()
{
    return no_throw([&] { set_sensor_mode(0x11); });
}

int RadarInterface::get_sensor_mode_no_throw(uint8_t* mode)
{
    return no_throw([&] { return get_sensor_mode(); }, mode);
}

void RadarInterface::set_led_control(uint8_t mode, uint8_t parameter)
{
    set(error_checked("set_led_control", "set_led_control failed"),
        commands.create_set_led_control(mode, parameter));
}

uint8_t RadarInterface::get_led_control()
{
    return get<uint8_t>(
        getter("get_led_control", value_or_error(byte_value)), commands.create_get_led_control());
}

int RadarInterface::set_led_control_no_throw(uint8_t mode, uint8_t parameter)
{
    return no_throw([&] { set_led_control(mode, parameter); });
}

int RadarInterface::get_led_control_no_throw(uint8_t* mode)
{
    return no_throw([&] { return get_led_control(); }, mode);
}
