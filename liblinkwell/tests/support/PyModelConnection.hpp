// The five value-returning model classes on one simulated connection, built
// as the connector builds them: over one UniqueLocked that does not own the
// interface.
#pragma once

#include <chrono>
#include <future>
#include <mutex>
#include <type_traits>

#include <gtest/gtest.h>

#include "common/UniqueLocked.hpp"
#include "support/SimulatedConnection.hpp"
#include <linkwell/PyCorvid.hpp>
#include <linkwell/PyDax.hpp>
#include <linkwell/PyFalcon.hpp>
#include <linkwell/PyGannet.hpp>
#include <linkwell/PyOsprey.hpp>

namespace testsupport {

struct PyModelConnection {
    explicit PyModelConnection(simmodule::Transport transport = simmodule::Transport::Tcp)
        : simulated(transport)
    { }

    QuickResetRadarInterface& radar() { return simulated.radar(); }
    simmodule::SimModule& module() { return simulated.module(); }

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
    Sarvik::PyCorvid corvid { locked };
    Sarvik::PyDax dax { locked };
    Sarvik::PyOsprey osprey { locked };
    Sarvik::PyFalcon falcon { locked };
    Sarvik::PyGannet gannet { locked };
};

} // namespace testsupport
