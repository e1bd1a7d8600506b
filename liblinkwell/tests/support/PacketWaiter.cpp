#include "support/PacketWaiter.hpp"

#include <chrono>

namespace testsupport {

std::function<void(PacketWaiter::Bytes)> PacketWaiter::sink()
{
    return [this](Bytes packet) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            packets_.push_back(std::move(packet));
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
