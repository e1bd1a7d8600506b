#include <linkwell/Osprey.hpp>

#include "api/ModelPrivate.hpp"

namespace Sarvik {

Osprey::Osprey(LockedRadarInterface& connection)
    : d(new ModelPrivate(connection))
{ }

Osprey::~Osprey() = default;

using Model = Osprey;
#include "api/ApplicationModuleDefinitions.inc"

// ---- Presence messages -------------------------------------------------------

int Osprey::peek_message_presence_single()
{
    return d->call([&](RadarInterface& radar) { return radar.peek_message_presence_single(); });
}

int Osprey::read_message_presence_single(PresenceSingleData* data)
{
    return d->call([&](RadarInterface& radar) { return radar.read_message_presence_single(data); });
}

int Osprey::peek_message_presence_movinglist()
{
    return d->call([&](RadarInterface& radar) { return radar.peek_message_presence_movinglist(); });
}

int Osprey::read_message_presence_movinglist(PresenceMovingListData* data)
{
    return d->call([&](RadarInterface& radar) { return radar.read_message_presence_movinglist(data); });
}

} // namespace Sarvik
