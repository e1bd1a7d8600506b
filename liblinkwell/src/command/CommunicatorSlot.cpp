#include "command/CommunicatorSlot.hpp"

#include <utility>

#include "link/AbstractRadarCommunicator.hpp"

CommunicatorSlot::Use::Use(CommunicatorSlot& slot, std::shared_ptr<AbstractRadarCommunicator> communicator)
    : slot_(&slot)
    , communicator_(std::move(communicator))
{ }

CommunicatorSlot::Use::Use(Use&& other) noexcept
    : slot_(other.slot_)
    , communicator_(std::move(other.communicator_))
{ }

CommunicatorSlot::Use::~Use()
{
    if (communicator_)
        slot_->release(communicator_);
}

CommunicatorSlot::CommunicatorSlot(std::unique_ptr<AbstractRadarCommunicator> first)
    : current_(std::move(first))
{ }

CommunicatorSlot::~CommunicatorSlot()
{
    std::shared_ptr<AbstractRadarCommunicator> last;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        last = std::move(current_);
    }
    retire(std::move(last));
}

CommunicatorSlot::Use CommunicatorSlot::use()
{
    std::lock_guard<std::mutex> lock(mutex_);
    return Use(*this, current_);
}

void CommunicatorSlot::replace(std::unique_ptr<AbstractRadarCommunicator> next)
{
    std::shared_ptr<AbstractRadarCommunicator> previous;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        previous = std::exchange(current_, std::shared_ptr<AbstractRadarCommunicator>(std::move(next)));
    }
    retire(std::move(previous));
}

void CommunicatorSlot::retire(std::shared_ptr<AbstractRadarCommunicator> previous)
{
    if (!previous)
        return;
    // No new Use of it can begin: it is no longer current. Those in progress
    // are woken and return at once; the count only falls, read and lowered
    // under the mutex.
    previous->interrupt();
    std::unique_lock<std::mutex> lock(mutex_);
    released_.wait(lock, [&] { return previous.use_count() == 1; });
    lock.unlock();
    previous.reset();
}

void CommunicatorSlot::release(std::shared_ptr<AbstractRadarCommunicator>& communicator)
{
    // Notified under the lock: once the count has fallen the retiring thread
    // may go on to destroy the slot, condition variable included.
    std::lock_guard<std::mutex> lock(mutex_);
    communicator.reset();
    released_.notify_all();
}
