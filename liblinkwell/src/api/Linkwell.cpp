#include <linkwell/Linkwell.hpp>

#include "api/ConnectionParts.hpp"
#include "api/LinkwellPrivate.hpp"
#include "command/RadarInterface.hpp"
#include "link/ConcreteFactory.hpp"
#include "link/TcpIpFactory.hpp"
#include "recording/PlaybackFactory.hpp"

namespace Sarvik {

namespace {

constexpr int default_log_level = 5;

} // namespace

// Each constructor takes the sink over first, so that it is deleted whatever
// fails after.

Linkwell::Linkwell(const std::string& port_name)
    : Linkwell(port_name, default_log_level)
{ }

Linkwell::Linkwell(const std::string& port_name, int log_level)
    : Linkwell(port_name, log_level, default_log_sink())
{ }

Linkwell::Linkwell(const std::string& port_name, int log_level, AbstractLoggerIo* log_sink)
{
    auto logger = make_connection_logger(log_level, log_sink);
    d = std::make_unique<LinkwellPrivate>(std::make_unique<ConcreteFactory>(), std::move(logger), port_name);
}

Linkwell::Linkwell(unsigned ip, unsigned short port)
    : Linkwell(ip, port, default_log_level)
{ }

Linkwell::Linkwell(unsigned ip, unsigned short port, int log_level)
    : Linkwell(ip, port, log_level, default_log_sink())
{ }

Linkwell::Linkwell(unsigned ip, unsigned short port, int log_level, AbstractLoggerIo* log_sink)
{
    auto logger = make_connection_logger(log_level, log_sink);
    d = std::make_unique<LinkwellPrivate>(
        std::make_unique<TcpIpFactory>(ip, port), std::move(logger), tcp_device_name(ip, port));
}

Linkwell::Linkwell(DataPlayer& player)
    : Linkwell(player, default_log_level)
{ }

Linkwell::Linkwell(DataPlayer& player, int log_level)
    : Linkwell(player, log_level, default_log_sink())
{ }

Linkwell::Linkwell(DataPlayer& player, int log_level, AbstractLoggerIo* log_sink)
{
    auto logger = make_connection_logger(log_level, log_sink);
    d = std::make_unique<LinkwellPrivate>(
        std::make_unique<PlaybackFactory>(player), std::move(logger), playback_device_name);
}

Linkwell::~Linkwell() = default;

int Linkwell::open(std::string device_name)
{
    return replace_communicator(d->connection, [&](RadarInterface& radar) {
        const int result = radar.open(device_name);
        // The new communicator has only the interface's own queues; the
        // recorder's streams would otherwise be lost with the old one.
        d->recorder->renew_subscriptions();
        return result;
    });
}

void Linkwell::close()
{
    replace_communicator(d->connection, [](RadarInterface& radar) {
        radar.close();
        return 0;
    });
}

void Linkwell::set_log_level(int level)
{
    d->connection.locked([&](RadarInterface& radar) { radar.set_log_level(level); });
}

void Linkwell::set_default_timeout(unsigned seconds)
{
    d->connection.locked([&](RadarInterface& radar) { radar.set_default_timeout(seconds); });
}

std::string Linkwell::git_sha()
{
    return d->connection.locked([](RadarInterface& radar) { return radar.git_sha(); });
}

DataRecorder& Linkwell::get_data_recorder()
{
    return *d->recorder;
}

Corvid& Linkwell::get_corvid()
{
    return *d->corvid;
}

Transport& Linkwell::get_transport()
{
    return *d->transport;
}

Z3& Linkwell::get_z3()
{
    return *d->connection.unlocked();
}

Dax& Linkwell::get_dax()
{
    return *d->dax;
}

Osprey& Linkwell::get_osprey()
{
    return *d->osprey;
}

Falcon& Linkwell::get_falcon()
{
    return *d->falcon;
}

Gannet& Linkwell::get_gannet()
{
    return *d->gannet;
}

NotSupported& Linkwell::get_not_supported()
{
    return *d->not_supported;
}

} // namespace Sarvik
