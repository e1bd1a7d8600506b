// Packets handed to a connection's sink on its reader thread, with a wait
// for them on the test's thread.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

namespace testsupport {

class PacketWaiter {
public:
    using Bytes = std::vector<uint8_t>;

    // A sink that keeps every packet; the waiter must outlive its use.
    std::function<void(std::vector<Bytes>)> sink();
    // The packets so far, once there are n or after five seconds.
    std::vector<Bytes> wait_for(std::size_t n);

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    std::vector<Bytes> packets_;
};

} // namespace testsupport
