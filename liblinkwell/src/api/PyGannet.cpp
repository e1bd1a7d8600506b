#include <linkwell/PyGannet.hpp>

#include <linkwell/Z3.hpp>

#include "api/ModelPrivate.hpp"

namespace Sarvik {

PyGannet::PyGannet(LockedRadarInterface& connection)
    : d(new ModelPrivate(connection))
{ }

PyGannet::~PyGannet() = default;

using Model = PyGannet;
#include "api/PyRespirationModuleDefinitions.inc"

} // namespace Sarvik
