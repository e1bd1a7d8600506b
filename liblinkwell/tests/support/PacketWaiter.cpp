#include "support/PacketWaiter.hpp"

#include <chrono>

namespace testsupport {

std::function<void(std::vector<PacketWaiter::Bytes>)> PacketWaiter::sink()
{
    return [this](std::vector<Bytes> packets) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            packets_.insert(packets_.end(), packets.begin(), packets.end());
        }
        cv_.notify_all();
    };
}

std::vector<PacketWaiter::Bytes> PacketWaiter::wait_for(std::size_t n)
{
    std::unique_lock<std::mutex> lock(mutex_);
    cv_.wait_for(lock, std::chrono::seconds(5), [&] { return packets_.size() >= n; });
    return packets_;
}

} // namespace testsupport
