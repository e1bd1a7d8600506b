// The six model classes on one simulated connection, built as the connector
// builds them: over one UniqueLocked that does not own the interface.
#pragma once

#include <type_traits>

#include "support/ModelHostConnection.hpp"
#include <linkwell/Corvid.hpp>
#include <linkwell/Dax.hpp>
#include <linkwell/Falcon.hpp>
#include <linkwell/Gannet.hpp>
#include <linkwell/NotSupported.hpp>
#include <linkwell/Osprey.hpp>

namespace testsupport {

struct ModelConnection : ModelHostConnection {
    using ModelHostConnection::ModelHostConnection;

    // The model object of that class.
    template <typename Model> Model& get()
    {
        if constexpr (std::is_same_v<Model, Sarvik::Dax>)
            return dax;
        else if constexpr (std::is_same_v<Model, Sarvik::Osprey>)
            return osprey;
        else if constexpr (std::is_same_v<Model, Sarvik::Falcon>)
            return falcon;
        else if constexpr (std::is_same_v<Model, Sarvik::Gannet>)
            return gannet;
        else if constexpr (std::is_same_v<Model, Sarvik::Corvid>)
            return corvid;
        else
            return not_supported;
    }

    Sarvik::Dax dax { locked };
    Sarvik::Osprey osprey { locked };
    Sarvik::Falcon falcon { locked };
    Sarvik::Gannet gannet { locked };
    Sarvik::Corvid corvid { locked };
    Sarvik::NotSupported not_supported { locked };
};

} // namespace testsupport
