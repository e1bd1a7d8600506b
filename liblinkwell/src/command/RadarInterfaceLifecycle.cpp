// Profiles, output switches and the module's lifecycle: ping, reset, self
// test, factory preset and the bootloader entry.
#include "command/RadarInterface.hpp"

#include <linkwell/SarvikException.hpp>

#include "command/CommandRow.hpp"
#include "command/ReplyValue.hpp"
#include "link/AbstractRadarCommunicator.hpp"
#include "log/ConsoleAndFileLogger.hpp"

namespace {

// The pong value, or 1 for a reply that is no whole pong (an error reply, a
// short pong, the empty reply of a closed connection).
uint32_t pong_value(const Parser& parser, const Bytes& reply)
{
    ParseResult<unsigned int> result;
    parser.parse_pong(reply, &result);
    if (result.error || !result.valid)
        return 1;
    return result.record;
}

std::vector<Bytes> pong_or_error()
{
    return { { LINKWELL_MESSAGE_PONG }, { LINKWELL_MESSAGE_ERROR } };
}

constexpr uint32_t sleep_profile_id = 0x00F17B17;
constexpr uint32_t respiration_profile_id = 0x1423A2D6;
constexpr int baseband_iq = 1;
constexpr int baseband_ap = 2;
constexpr unsigned bootloader_key = 0x3F6C2B94;
constexpr unsigned bootloader_key_second = 0x7D41C0A3;

} // namespace

uint32_t RadarInterface::ping()
{
    Trace trace(logger, 3, "ping");
    auto use = communicator.use();
    return pong_value(parser, use->send(default_timeout, commands.create_ping(), pong_or_error()));
}

void RadarInterface::module_reset()
{
    set(acknowledged("module_reset"), commands.create_module_reset());
}

void RadarInterface::load_profile(uint32_t profile_id)
{
    set(acknowledged("load_profile", "load profile failed"), commands.create_load_profile(profile_id));
}

void RadarInterface::load_sleep_profile()
{
    load_profile(sleep_profile_id);
}

void RadarInterface::load_respiration_profile()
{
    load_profile(respiration_profile_id);
}

void RadarInterface::enable_baseband(int kind, bool enable)
{
    set(error_checked("enable_baseband", enable ? "enable baseband failed" : "disable baseband failed"),
        commands.create_enable_baseband(kind, enable));
}

void RadarInterface::enable_baseband_ap()
{
    enable_baseband(baseband_ap, true);
}

void RadarInterface::disable_baseband_ap()
{
    enable_baseband(baseband_ap, false);
}

void RadarInterface::enable_baseband_iq()
{
    enable_baseband(baseband_iq, true);
}

void RadarInterface::disable_baseband_iq()
{
    enable_baseband(baseband_iq, false);
}

void RadarInterface::enable_resp_output()
{
    set(acknowledged("enable_resp_output", "enable_resp_output failed"), commands.create_enable_resp_ouput());
}

void RadarInterface::disable_resp_output()
{
    set(acknowledged("disable_resp_output", "disable_resp_output failed"),
        commands.create_disable_resp_ouput());
}

void RadarInterface::reset_to_factory_preset()
{
    set(acknowledged("reset_to_factory_preset", "reset_to_factory_preset failed"),
        commands.create_reset_to_factory_preset());
}

int RadarInterface::system_run_test(uint8_t code, Bytes* result)
{
    // A plain acknowledgement is awaited too, and refused as no result.
    CommandRow row = getter("system_run_test", value_or_error(byte_value));
    row.awaited.push_back({ LINKWELL_MESSAGE_ACK });
    ReplyData reply = reply_data(row, commands.create_system_run_test(code), 0);
    if (reply.refused)
        return 1;
    *result = std::move(reply.data);
    return 0;
}

void RadarInterface::start_bootloader(unsigned int key)
{
    set(untraced(acknowledged("start_bootloader")), commands.create_start_bootloader(key));
}

void RadarInterface::start_bootloader()
{
    // Bootloaders of different ages take different keys.
    try {
        start_bootloader(bootloader_key);
    } catch (...) {
        start_bootloader(bootloader_key_second);
    }
}

int RadarInterface::load_profile_no_throw(uint32_t profile_id)
{
    return no_throw([&] { load_profile(profile_id); });
}

int RadarInterface::load_sleep_profile_no_throw()
{
    return no_throw([&] { load_profile(sleep_profile_id); });
}

int RadarInterface::load_respiration_profile_no_throw()
{
    return no_throw([&] { load_profile(respiration_profile_id); });
}

int RadarInterface::enable_baseband_no_throw(int kind)
{
    return no_throw([&] { enable_baseband(kind, true); });
}

int RadarInterface::enable_baseband_ap_no_throw()
{
    return no_throw([&] { enable_baseband(baseband_ap, true); });
}

int RadarInterface::disable_baseband_ap_no_throw()
{
    return no_throw([&] { enable_baseband(baseband_ap, false); });
}

int RadarInterface::enable_baseband_iq_no_throw()
{
    return no_throw([&] { enable_baseband(baseband_iq, true); });
}

int RadarInterface::disable_baseband_iq_no_throw()
{
    return no_throw([&] { enable_baseband(baseband_iq, false); });
}

int RadarInterface::enable_resp_output_no_throw()
{
    return no_throw([&] { enable_resp_output(); });
}

int RadarInterface::disable_resp_output_no_throw()
{
    return no_throw([&] { disable_resp_output(); });
}

int RadarInterface::reset_to_factory_preset_no_throw()
{
    return no_throw([&] { reset_to_factory_preset(); });
}

int RadarInterface::module_reset_no_throw()
{
    return no_throw([&] { module_reset(); });
}

int RadarInterface::start_bootloader_no_throw()
{
    return no_throw([&] { start_bootloader(); });
}

int RadarInterface::ping(uint32_t* pong)
{
    // ping() reads the empty reply of a closed connection as 1, like a
    // refused ping; as a status that would be success for a ping that never
    // went out, so the twin makes the exchange itself and fails on it.
    return no_throw(
        [&] {
            Trace trace(logger, 3, "ping");
            auto use = communicator.use();
            const Bytes reply = use->send(default_timeout, commands.create_ping(), pong_or_error());
            if (reply.empty())
                throw Sarvik::SarvikException("ping response from module is empty", 1);
            return pong_value(parser, reply);
        },
        pong);
}
