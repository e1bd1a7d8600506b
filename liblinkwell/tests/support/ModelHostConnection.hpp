// A simulated connection as the connector hands it to its model classes: one
// UniqueLocked that does not own the interface. The status-code and the
// value-returning model fixtures add their classes over it.
#pragma once

#include <chrono>
#include <future>
#include <mutex>

#include <gtest/gtest.h>

#include "common/UniqueLocked.hpp"
#include "support/SimulatedConnection.hpp"

namespace testsupport {

struct ModelHostConnection {
    explicit ModelHostConnection(simmodule::Transport transport = simmodule::Transport::Tcp)
        : simulated(transport)
    { }

    QuickResetRadarInterface& radar() { return simulated.radar(); }
    simmodule::SimModule& module() { return simulated.module(); }

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
};

} // namespace testsupport
