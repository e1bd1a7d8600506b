// Frame injection and the profile id. Failures as in the file system:
// std::runtime_error "parse_reply failed in <method>" without a code.
#include "command/RadarInterface.hpp"

#include "command/CommandRow.hpp"
#include "command/ReplyValue.hpp"

void RadarInterface::prepare_inject_frame(unsigned a, unsigned b, unsigned c)
{
    set(acknowledged_uncoded("prepare_inject_frame"), commands.create_prepare_inject_frame(a, b, c));
}

void RadarInterface::inject_frame(unsigned a, unsigned n, const std::vector<float>& frame)
{
    // The command carries 2 * n values: a shorter frame is refused before
    // anything goes to the module (the builder checks it).
    set(acknowledged_uncoded("inject_frame"), commands.create_inject_frame(a, n, frame));
}

unsigned RadarInterface::get_profileid()
{
    return get<uint32_t>(getter("get_profileid", value_or_error(u32_value)), commands.create_get_profileid());
}

int RadarInterface::prepare_inject_frame_no_throw(unsigned a, unsigned b, unsigned c)
{
    return no_throw([&] { prepare_inject_frame(a, b, c); });
}

int RadarInterface::inject_frame_no_throw(unsigned a, unsigned n, const std::vector<float>& frame)
{
    return no_throw([&] { inject_frame(a, n, frame); });
}

int RadarInterface::get_profileid_no_throw(unsigned& profile_id)
{
    return no_throw([&] { return get_profileid(); }, profile_id);
}
