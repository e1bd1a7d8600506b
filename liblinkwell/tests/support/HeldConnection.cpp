#include "support/HeldConnection.hpp"

#include <chrono>

namespace testsupport {

std::future<int> call_held_up_by_a_read(Sarvik::Transport& transport)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        auto call
            = std::async(std::launch::async, [&transport] { return transport.get_number_of_packets("x"); });
        if (call.wait_for(std::chrono::milliseconds(100)) == std::future_status::timeout)
            return call;
    }
    return {};
}

} // namespace testsupport
