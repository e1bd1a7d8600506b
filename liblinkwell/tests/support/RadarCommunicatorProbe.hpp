// Looks inside a RadarCommunicator for tests that must know a call has
// entered (or holds its queue) before they destroy the communicator or
// remove the queue under it: without that the call might come after the
// object is gone.
#pragma once

#include <chrono>
#include <mutex>
#include <string>
#include <thread>

#include "link/RadarCommunicator.hpp"

class RadarCommunicatorProbe {
public:
    static int calls_in_progress(RadarCommunicator& communicator)
    {
        std::lock_guard<std::mutex> lock(communicator.mutex_);
        return communicator.calls_in_progress_;
    }

    // Waits until n calls have entered; false after ten seconds.
    static bool wait_for_calls(RadarCommunicator& communicator, int n)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (calls_in_progress(communicator) < n) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            std::this_thread::yield();
        }
        return true;
    }

    // Waits until a caller holds the named queue, ready to wait on it.
    static bool wait_for_queue_holder(RadarCommunicator& communicator, const std::string& name)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        for (;;) {
            {
                std::lock_guard<std::mutex> lock(communicator.mutex_);
                auto found = communicator.queues_.find(name);
                if (found != communicator.queues_.end() && found->second.use_count() > 1)
                    return true;
            }
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            std::this_thread::yield();
        }
    }
};
