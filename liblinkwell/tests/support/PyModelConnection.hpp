// The five value-returning model classes on one simulated connection, built
// as the connector builds them: over one UniqueLocked that does not own the
// interface.
#pragma once

#include <type_traits>

#include "support/ModelHostConnection.hpp"
#include <linkwell/PyCorvid.hpp>
#include <linkwell/PyDax.hpp>
#include <linkwell/PyFalcon.hpp>
#include <linkwell/PyGannet.hpp>
#include <linkwell/PyOsprey.hpp>

namespace testsupport {

struct PyModelConnection : ModelHostConnection {
    using ModelHostConnection::ModelHostConnection;

    // The model object of that class.
    template <typename Model> Model& get()
    {
        if constexpr (std::is_same_v<Model, Sarvik::PyDax>)
            return dax;
        else if constexpr (std::is_same_v<Model, Sarvik::PyOsprey>)
            return osprey;
        else if constexpr (std::is_same_v<Model, Sarvik::PyFalcon>)
            return falcon;
        else if constexpr (std::is_same_v<Model, Sarvik::PyGannet>)
            return gannet;
        else
            return corvid;
    }

    Sarvik::PyCorvid corvid { locked };
    Sarvik::PyDax dax { locked };
    Sarvik::PyOsprey osprey { locked };
    Sarvik::PyFalcon falcon { locked };
    Sarvik::PyGannet gannet { locked };
};

} // namespace testsupport
