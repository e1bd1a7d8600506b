// The module's noise map: store, load, delete, and its two settings.
#include "command/RadarInterface.hpp"

#include "command/CommandRow.hpp"
#include "command/ReplyValue.hpp"

void RadarInterface::store_noisemap()
{
    set(acknowledged("store_noisemap"), commands.create_store_noise_map());
}

void RadarInterface::load_noisemap()
{
    set(acknowledged("load_noisemap"), commands.create_load_noise_map());
}

void RadarInterface::delete_noisemap()
{
    set(acknowledged("delete_noisemap"), commands.create_delete_noise_map());
}

void RadarInterface::set_noisemap_control(uint32_t control)
{
    set(acknowledged("set_noisemap_control"), commands.create_set_noisemap_control(control));
}

uint32_t RadarInterface::get_noisemap_control()
{
    return get<uint8_t>(
        getter("get_noisemap_control", value_or_error(u32_value)), commands.create_get_noisemap_control());
}

void RadarInterface::set_periodic_noisemap_store(uint32_t first, uint32_t second)
{
    set(acknowledged("set_periodic_noisemap_store"),
        commands.create_set_periodic_noisemap_store(first, second));
}

std::pair<uint32_t, uint32_t> RadarInterface::get_periodic_noisemap_store()
{
    return get<std::pair<uint32_t, uint32_t>>(
        getter("get_periodic_noisemap_store", value_or_error(u32_value)),
        commands.create_get_periodic_noisemap_store());
}

int RadarInterface::store_noisemap_no_throw()
{
    return no_throw([&] { store_noisemap(); });
}

int RadarInterface::load_noisemap_no_throw()
{
    return no_throw([&] { load_noisemap(); });
}

int RadarInterface::delete_noisemap_no_throw()
{
    return no_throw([&] { delete_noisemap(); });
}

int RadarInterface::set_noisemap_control_no_throw(uint32_t control)
{
    return no_throw([&] { set_noisemap_control(control); });
}

int RadarInterface::get_noisemap_control_no_throw(uint32_t* control)
{
    return no_throw([&] { return get_noisemap_control(); }, control);
}

int RadarInterface::set_periodic_noisemap_store_no_throw(uint32_t first, uint32_t second)
{
    return no_throw([&] { set_periodic_noisemap_store(first, second); });
}

int RadarInterface::get_periodic_noisemap_store_no_throw(uint32_t* first, uint32_t* second)
{
    return no_throw([&] { return get_periodic_noisemap_store(); }, first, second);
}
