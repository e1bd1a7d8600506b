// The connection that the model classes work on: the module's command
// interface behind the recursive mutex that serialises every call on it. The
// connector owns it and hands it to the model classes it builds; a client
// only ever passes it on, so both types stay incomplete here.
#pragma once

#include <mutex>

class RadarInterface;
template <typename Target, typename Mutex> class UniqueLocked;

namespace Sarvik {

using LockedRadarInterface = UniqueLocked<RadarInterface, std::recursive_mutex>;

} // namespace Sarvik
