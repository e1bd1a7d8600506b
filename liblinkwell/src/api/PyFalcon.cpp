#include <linkwell/PyFalcon.hpp>

#include <linkwell/Z3.hpp>

#include "api/ModelPrivate.hpp"

namespace Sarvik {

PyFalcon::PyFalcon(LockedRadarInterface& connection)
    : d(new ModelPrivate(connection))
{ }

PyFalcon::~PyFalcon() = default;

using Model = PyFalcon;
#include "api/PyRespirationModuleDefinitions.inc"

} // namespace Sarvik
