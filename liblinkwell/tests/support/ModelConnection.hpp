// The six model classes on one simulated connection, built as the connector
// builds them: over one UniqueLocked that does not own the interface.
#pragma once

#include <chrono>
#include <future>
#include <mutex>
#include <type_traits>

#include <gtest/gtest.h>

#include "common/UniqueLocked.hpp"
#include "support/SimulatedConnection.hpp"
#include <linkwell/Corvid.hpp>
#include <linkwell/Dax.hpp>
#include <linkwell/Falcon.hpp>
#include <linkwell/Gannet.hpp>
#include <linkwell/NotSupported.hpp>
#include <linkwell/Osprey.hpp>

namespace testsupport {

struct ModelConnection {
    explicit ModelConnection(simmodule::Transport transport = simmodule::Transport::Tcp)
        : simulated(transport)
    { }

    QuickResetRadarInterface& radar() { return simulated.radar(); }
    simmodule::SimModule& module() { return simulated.module(); }

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

    // Runs a call that may wait on an empty queue: its result, or, when it
    // has not returned within 10 seconds, a test failure, and the connection
    // is closed to release the wait.
    template <typename Call> auto within_limit(Call call) -> decltype(call())
    {
        auto result = std::async(std::launch::async, call);
        if (result.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
            ADD_FAILURE() << "the call still waits";
            radar().close();
        }
        return result.get();
    }

    SimulatedConnection simulated;
    UniqueLocked<RadarInterface, std::recursive_mutex> locked { &simulated.radar(), false };
    Sarvik::Dax dax { locked };
    Sarvik::Osprey osprey { locked };
    Sarvik::Falcon falcon { locked };
    Sarvik::Gannet gannet { locked };
    Sarvik::Corvid corvid { locked };
    Sarvik::NotSupported not_supported { locked };
};

} // namespace testsupport
