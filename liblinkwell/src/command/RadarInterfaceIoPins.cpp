// IO pins, data outputs and debug outputs.
#include "command/RadarInterface.hpp"

#include "command/CommandRow.hpp"
#include "command/ReplyValue.hpp"

void RadarInterface::set_iopin_control(uint32_t pin, uint32_t first, uint32_t second)
{
    set(acknowledged("set_iopin_control"), commands.create_set_iopin_control(pin, first, second));
}

std::pair<uint32_t, uint32_t> RadarInterface::get_iopin_control(uint32_t pin)
{
    return get<std::pair<uint32_t, uint32_t>>(
        getter_coded("get_iopin_control", value_or_error(u32_value), "get_iopin_control failed"),
        commands.create_get_iopin_control(pin));
}

void RadarInterface::set_iopin_value(uint32_t pin, uint32_t value)
{
    set(acknowledged("set_iopin_value"), commands.create_set_iopin_value(pin, value));
}

uint32_t RadarInterface::get_iopin_value(uint32_t pin)
{
    return get<uint32_t>(
        getter("get_iopin_value", value_or_error(u32_value)), commands.create_get_iopin_value(pin));
}

void RadarInterface::set_output_control(uint32_t output, uint32_t control)
{
    set(acknowledged("set_output_control"), commands.create_set_output_control(output, control));
}

uint32_t RadarInterface::get_output_control(uint32_t output)
{
    return get<uint8_t>(
        getter("get_output_control", value_or_error(u32_value)), commands.create_get_output_control(output));
}

void RadarInterface::set_debug_output_control(uint32_t output, uint32_t control)
{
    set(acknowledged("set_debug_output_control"), commands.create_set_debug_output_control(output, control));
}

uint32_t RadarInterface::get_debug_output_control(uint32_t output)
{
    return get<uint8_t>(getter("get_debug_output_control", value_or_error(u32_value)),
        commands.create_get_debug_output_control(output));
}

int RadarInterface::set_iopin_control_no_throw(uint32_t pin, uint32_t first, uint32_t second)
{
    return no_throw([&] { set_iopin_control(pin, first, second); });
}

int RadarInterface::get_iopin_control_no_throw(uint32_t pin, uint32_t* first, uint32_t* second)
{
    return no_throw([&] { return get_iopin_control(pin); }, first, second);
}

int RadarInterface::set_iopin_value_no_throw(uint32_t pin, uint32_t value)
{
    return no_throw([&] { set_iopin_value(pin, value); });
}

int RadarInterface::get_iopin_value(uint32_t pin, uint32_t* value)
{
    return no_throw([&] { return get_iopin_value(pin); }, value);
}

int RadarInterface::set_output_control_no_throw(uint32_t output, uint32_t control)
{
    return no_throw([&] { set_output_control(output, control); });
}

int RadarInterface::get_output_control_no_throw(uint32_t output, uint32_t* control)
{
    return no_throw([&] { return get_output_control(output); }, control);
}

int RadarInterface::set_debug_output_control_no_throw(uint32_t output, uint32_t control)
{
    return no_throw([&] { set_debug_output_control(output, control); });
}

int RadarInterface::get_debug_output_control_no_throw(uint32_t output, uint32_t* control)
{
    return no_throw([&] { return get_debug_output_control(output); }, control);
}
