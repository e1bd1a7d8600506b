#include "link/RadarCommunicator.hpp"

#include <algorithm>
#include <chrono>
#include <optional>
#include <stdexcept>

#include "link/AbstractFactory.hpp"
#include "link/AbstractIo.hpp"
#include "link/DetachableLogger.hpp"
#include "link/PacketDispatcher.hpp"
#include "link/QueueFeeder.hpp"
#include "link/Reaper.hpp"
#include "link/ReplyCatcher.hpp"
#include "log/ConsoleAndFileLogger.hpp"

namespace {

const char* const response_subscription = "response";

// Deadlines run on the steady clock, so a step of the wall clock neither
// stretches nor cuts a wait; the largest timeout saturates instead of
// overflowing.
std::chrono::steady_clock::time_point deadline_after(unsigned seconds)
{
    using std::chrono::steady_clock;
    const steady_clock::time_point now = steady_clock::now();
    const std::chrono::seconds wait(seconds);
    if (wait >= steady_clock::time_point::max() - now)
        return steady_clock::time_point::max();
    return now + wait;
}

// The earlier request that may be owed the packet as its late reply.
std::shared_ptr<ReplyCatcher::Debt> late_reply_owed(const ReplyCatcher::Debts& earlier, const Bytes& packet)
{
    for (const auto& debt : earlier)
        if (debt->could_be_paid_by(packet))
            return debt;
    return nullptr;
}

} // namespace

// A packet queue its owner can take out of service: a caller waiting on it
// wakes with nothing instead of waiting for packets that will never come.
class RadarCommunicator::PacketQueue : public MessageQueue<Bytes> {
public:
    explicit PacketQueue(int max_count)
        : MessageQueue<Bytes>(max_count)
    { }

    void close()
    {
        with_lock([this] { closed_ = true; });
        // A deadline wait looks only for a packet, so it is woken with an
        // empty one; no packet of a module is ever empty.
        put(Bytes {});
    }

    bool closed()
    {
        return with_lock([this] { return closed_; });
    }

    // The oldest packet, waiting while there is none; nothing once closed.
    std::optional<Bytes> take()
    {
        return non_empty(get_unless([this] { return closed_; }));
    }

    // The oldest packet, waiting at most until the deadline; nothing once
    // closed or when the deadline passes first.
    std::optional<Bytes> take_until(std::chrono::steady_clock::time_point deadline)
    {
        look_briefly(deadline);
        return non_empty(get_until(deadline));
    }

private:
    // A reply on a fast link is due within microseconds, and costs less to
    // wait for awake than to be put to sleep and woken for; a request is
    // rare enough to always watch for it a little while first.
    void look_briefly(std::chrono::steady_clock::time_point deadline) const
    {
        watch_until(std::min(deadline, std::chrono::steady_clock::now() + awake_wait));
    }

    static constexpr std::chrono::microseconds awake_wait { 50 };

    static std::optional<Bytes> non_empty(std::optional<Bytes> packet)
    {
        if (packet && packet->empty())
            return std::nullopt;
        return packet;
    }

    bool closed_ = false; // under the queue's mutex
};

// Marks one call in progress, so that destruction can wait for it to leave.
// A call that comes once destruction has begun is not admitted and returns
// an empty result at once.
class RadarCommunicator::CallScope {
public:
    explicit CallScope(RadarCommunicator& owner)
        : owner_(owner)
    {
        // Counted first, then the flag (see calls_in_progress_).
        owner_.calls_in_progress_.fetch_add(1);
        admitted_ = !owner_.closing_.load();
        if (!admitted_)
            owner_.call_left();
    }

    ~CallScope()
    {
        if (admitted_)
            owner_.call_left();
    }

    CallScope(const CallScope&) = delete;
    CallScope& operator=(const CallScope&) = delete;

    bool admitted() const { return admitted_; }

private:
    RadarCommunicator& owner_;
    bool admitted_;
};

RadarCommunicator::RadarCommunicator(AbstractIo& io, AbstractFactory& factory, Logger& logger)
    : io_(io)
    , logger_(logger)
{
    dispatcher_logger_ = std::make_shared<DetachableLogger>(logger);
    std::unique_ptr<Active> thread(factory.createDispatcherThread("dispatcher", *dispatcher_logger_));
    dispatcher_ = std::make_unique<PacketDispatcher>(thread.get(), *dispatcher_logger_);
    thread.release();
    logger_.log(4, "RadarCommunicator: 28");
}

RadarCommunicator::~RadarCommunicator()
{
    if (dispatcher_->on_own_thread()) {
        tear_down_from_callback();
        return;
    }
    {
        Trace trace(logger_, 3, "~RadarCommunicator");
        end_calls();
        // Every subscription goes, callbacks included, and the removal has
        // run before the io closes: no callback runs from here on, so none
        // can reach an owner that is being destroyed.
        dispatcher_->unsubscribe_all_and_wait();
        // Stops the reader, so nothing more is posted to the dispatcher.
        io_.close();
    }
    queues_.clear();
    subscriptions_.clear();
    request_queue_.reset();
    // Runs what the reader queued before it stopped, then joins the thread.
    dispatcher_.reset();
}

void RadarCommunicator::tear_down_from_callback()
{
    {
        Trace trace(logger_, 3, "~RadarCommunicator");
        end_calls();
        // No callback runs once the one on this thread returns.
        dispatcher_->retire_from_own_thread();
        io_.close();
    }
    dispatcher_logger_->detach();
    // Destroying the dispatcher joins its thread, this one: that happens on
    // the reaper once the callback has returned, and no reference may stay
    // behind here. Its logger goes after it.
    Reaper::adopt([dispatcher = std::shared_ptr<PacketDispatcher>(std::move(dispatcher_)),
                      logger = std::move(dispatcher_logger_)]() mutable {
        dispatcher.reset();
        logger.reset();
    });
}

// Wakes whoever waits, then lets every call in progress leave before
// anything it may use goes away.
void RadarCommunicator::end_calls()
{
    interrupt();
    std::unique_lock<std::mutex> lock(mutex_);
    all_calls_left_.wait(lock, [this] { return calls_in_progress_.load() == 0; });
}

void RadarCommunicator::call_left()
{
    // The last call to leave once destruction has begun wakes it, under the
    // mutex, so that the wake cannot fall between its test and its wait.
    if (calls_in_progress_.fetch_sub(1) == 1 && closing_.load()) {
        std::lock_guard<std::mutex> lock(mutex_);
        all_calls_left_.notify_all();
    }
}

void RadarCommunicator::interrupt()
{
    std::vector<std::shared_ptr<PacketQueue>> to_close;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        closing_ = true;
        for (auto& [name, queue] : queues_)
            to_close.push_back(queue);
        if (request_queue_)
            to_close.push_back(request_queue_);
    }
    for (auto& queue : to_close)
        queue->close();
    io_.abort_writes();
}

int RadarCommunicator::open(const std::string& name)
{
    CallScope call(*this);
    if (!call.admitted())
        return 1;
    Trace trace(logger_, 3, "open");
    PacketDispatcher* dispatcher = dispatcher_.get();
    const int result = io_.open(
        name, [dispatcher](std::vector<Bytes>&& packets) { dispatcher->dispatch_packets_from(packets); });
    if (result != 0)
        logger_.error("module_io::open returned error");
    return result;
}

Bytes RadarCommunicator::send(unsigned timeout, Bytes command, std::vector<Bytes> reply_prefixes)
{
    CallScope call(*this);
    if (!call.admitted())
        return {};
    // The reply could only be routed by this very thread, which would be
    // waiting for it.
    if (dispatcher_->on_own_thread()) {
        logger_.error("Cannot wait for a reply inside a subscription callback");
        throw std::runtime_error("Cannot wait for a reply inside a subscription callback\n");
    }

    auto reply_queue = std::make_shared<PacketQueue>(-1);
    auto debt = std::make_shared<ReplyCatcher::Debt>(reply_prefixes);
    ReplyCatcher::Debts earlier;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        // Destruction may have begun after this call entered; it would not
        // see the queue to wake it.
        if (closing_)
            return {};
        request_queue_ = reply_queue;
        owed_.erase(std::remove_if(owed_.begin(), owed_.end(),
                        [](const std::shared_ptr<ReplyCatcher::Debt>& d) { return !d->outstanding(); }),
            owed_.end());
        earlier = owed_;
    }
    // Forget the request however this call ends, so that destruction does
    // not close a queue that nobody waits on any more.
    struct RequestDone {
        RadarCommunicator& owner;
        const std::shared_ptr<PacketQueue>& queue;
        ~RequestDone()
        {
            std::lock_guard<std::mutex> lock(owner.mutex_);
            if (owner.request_queue_ == queue)
                owner.request_queue_.reset();
        }
    } request_done { *this, reply_queue };

    // Subscribing is itself a job on the dispatcher thread, queued before
    // any packet that can answer the command.
    std::weak_ptr<MessageQueue<Bytes>> weak_queue = reply_queue;
    dispatcher_->subscribe(response_subscription, ReplyCatcher(weak_queue, debt), std::move(reply_prefixes));

    io_.write(std::move(command), std::chrono::seconds(timeout));

    const auto deadline = deadline_after(timeout);
    std::optional<Bytes> reply = reply_queue->take_until(deadline);
    if (!reply) {
        // Woken because the communicator goes away: an empty reply, as a
        // closed connection gives.
        if (reply_queue->closed())
            return {};
        // From here on a matching packet is this request's late reply. One
        // that was queued just before still answers it.
        debt->arm(std::chrono::seconds(timeout));
        reply = reply_queue->try_get();
        if (reply && reply->empty())
            return {}; // closed meanwhile
        if (!reply) {
            {
                std::lock_guard<std::mutex> lock(mutex_);
                owed_.push_back(debt);
            }
            // The "response" subscription stays and drops late replies until
            // the next request replaces it.
            logger_.error("Timeout waiting for response");
            throw std::runtime_error("Timeout waiting for response\n");
        }
        debt->settle();
    } else if (const auto owed = late_reply_owed(earlier, *reply)) {
        // The answer to this request, if it comes, follows the late reply.
        std::optional<Bytes> next = reply_queue->take_until(deadline);
        if (next && next->empty())
            return {}; // closed meanwhile
        if (next) {
            owed->settle();
            logger_.log(3, "dropping the late reply to a request that timed out");
            logger_.print_bytes(3, *reply);
            reply = std::move(next);
        }
    }
    dispatcher_->unsubscribe(response_subscription);
    return std::move(*reply);
}

Bytes RadarCommunicator::send(unsigned timeout, Bytes command, Bytes reply_prefix)
{
    std::vector<Bytes> reply_prefixes;
    reply_prefixes.push_back(std::move(reply_prefix));
    return send(timeout, std::move(command), std::move(reply_prefixes));
}

void RadarCommunicator::send(unsigned timeout, Bytes command)
{
    CallScope call(*this);
    if (!call.admitted())
        return;
    // The io drops what it cannot send while it is not open; a raw send has
    // no reply that could time out, so it would look like success.
    if (!io_.is_ready()) {
        logger_.error("Failed to write all bytes to module: the connection is not open");
        throw std::runtime_error("Failed to write all bytes to module\n");
    }
    io_.write(std::move(command), std::chrono::seconds(timeout));
}

void RadarCommunicator::set_baudrate(unsigned baudrate)
{
    CallScope call(*this);
    if (call.admitted())
        io_.set_baudrate(baudrate);
}

void RadarCommunicator::subscribe(std::string name, Bytes prefix)
{
    CallScope call(*this);
    if (!call.admitted())
        return;
    auto queue = std::make_shared<PacketQueue>(named_queue_max_count);
    std::weak_ptr<MessageQueue<Bytes>> weak_queue = queue;
    std::shared_ptr<PacketQueue> replaced;
    {
        // Held while posting, so that the dispatcher's table and ours are
        // changed in the same order when two threads subscribe one name.
        std::lock_guard<std::mutex> lock(mutex_);
        // A queue made once destruction has begun would not be woken by it.
        if (closing_)
            return;
        dispatcher_->subscribe(name, QueueFeeder(weak_queue), std::vector<Bytes> { prefix });
        subscriptions_[name] = { std::move(prefix), PacketCallback() };
        replaced = std::exchange(queues_[name], std::move(queue));
    }
    if (replaced)
        replaced->close();
}

void RadarCommunicator::subscribe(const std::string& name, std::function<bool(Bytes)> callback, Bytes prefix)
{
    CallScope call(*this);
    if (!call.admitted())
        return;
    PacketCallback packet_callback(std::move(callback));
    std::lock_guard<std::mutex> lock(mutex_);
    dispatcher_->subscribe(name, packet_callback, std::vector<Bytes> { prefix });
    subscriptions_[name] = { std::move(prefix), std::move(packet_callback) };
}

void RadarCommunicator::unsubscribe(std::string name)
{
    CallScope call(*this);
    if (!call.admitted())
        return;
    std::shared_ptr<PacketQueue> removed;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        dispatcher_->unsubscribe(name);
        subscriptions_.erase(name);
        auto found = queues_.find(name);
        if (found != queues_.end()) {
            removed = std::move(found->second);
            queues_.erase(found);
        }
    }
    if (removed)
        removed->close();
}

std::shared_ptr<RadarCommunicator::PacketQueue> RadarCommunicator::find_queue(const std::string& name) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = queues_.find(name);
    return found == queues_.end() ? nullptr : found->second;
}

int RadarCommunicator::get_number_of_packets(std::string name)
{
    CallScope call(*this);
    if (!call.admitted())
        return 0;
    std::shared_ptr<PacketQueue> queue = find_queue(name);
    return queue ? static_cast<int>(queue->size()) : 0;
}

Bytes RadarCommunicator::get_packet(std::string name)
{
    CallScope call(*this);
    if (!call.admitted())
        return {};
    std::shared_ptr<PacketQueue> queue = find_queue(name);
    if (!queue)
        return {};
    // Inside a callback nothing more can arrive while it waits: it takes
    // what is there.
    std::optional<Bytes> packet = dispatcher_->on_own_thread() ? queue->try_get() : queue->take();
    return packet ? std::move(*packet) : Bytes {};
}

void RadarCommunicator::clear(std::string name)
{
    CallScope call(*this);
    if (!call.admitted())
        return;
    if (std::shared_ptr<PacketQueue> queue = find_queue(name))
        queue->clear();
}

AbstractRadarCommunicator::Subscriptions RadarCommunicator::get_subscriptions() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return subscriptions_;
}
