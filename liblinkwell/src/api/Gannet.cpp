#include <linkwell/Gannet.hpp>

#include "api/ModelPrivate.hpp"

namespace Sarvik {

Gannet::Gannet(LockedRadarInterface& connection)
    : d(new ModelPrivate(connection))
{ }

Gannet::~Gannet() = default;

using Model = Gannet;
#include "api/ApplicationModuleDefinitions.inc"
#include "api/RespirationModuleDefinitions.inc"

} // namespace Sarvik
