#include <linkwell/Falcon.hpp>

#include "api/ModelPrivate.hpp"

namespace Sarvik {

Falcon::Falcon(LockedRadarInterface& connection)
    : d(new ModelPrivate(connection))
{ }

Falcon::~Falcon() = default;

using Model = Falcon;
#include "api/ApplicationModuleDefinitions.inc"
#include "api/RespirationModuleDefinitions.inc"

} // namespace Sarvik
