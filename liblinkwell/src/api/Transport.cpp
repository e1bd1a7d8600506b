#include <linkwell/Transport.hpp>

#include "api/ModelPrivate.hpp"

namespace Sarvik {

Transport::Transport(LockedRadarInterface& connection)
    : d(new ModelPrivate(connection))
{ }

Transport::~Transport() = default;

int Transport::send_command(const Bytes& bytes)
{
    return d->call([&](RadarInterface& radar) { return radar.send_command(bytes); });
}

Bytes Transport::send_command_single(const Bytes& payload, const Bytes& reply_prefix)
{
    return d->call([&](RadarInterface& radar) { return radar.send_command_single(payload, reply_prefix); });
}

Bytes Transport::send_command_multi(const Bytes& payload, const std::vector<Bytes>& reply_prefixes)
{
    return d->call([&](RadarInterface& radar) { return radar.send_command_multi(payload, reply_prefixes); });
}

int Transport::subscribe(const std::string& name, const Bytes& prefix)
{
    return d->call([&](RadarInterface& radar) { return radar.subscribe(name, prefix); });
}

int Transport::subscribe(const std::string& name, const Bytes& prefix, std::function<bool(Bytes)> callback)
{
    // The callback is this call's own copy, made before the lock is taken.
    return d->call([&](RadarInterface& radar) { return radar.subscribe(name, prefix, std::move(callback)); });
}

void Transport::unsubscribe(const std::string& name)
{
    d->call([&](RadarInterface& radar) { radar.unsubscribe(name); });
}

Bytes Transport::get_packet(const std::string& name)
{
    return d->call([&](RadarInterface& radar) { return radar.get_packet(name); });
}

int Transport::get_number_of_packets(const std::string& name)
{
    return d->call([&](RadarInterface& radar) { return radar.get_number_of_packets(name); });
}

void Transport::clear(const std::string& name)
{
    d->call([&](RadarInterface& radar) { radar.clear(name); });
}

} // namespace Sarvik
