// A thread-safe first-in-first-out queue with an optional size bound: the
// task queue of every ActiveThread and the packet queue of every
// subscription.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

template <typename T> class MessageQueue {
public:
    // max_count < 0: no bound; 0: every element offered is dropped; N > 0: at
    // most N elements are kept, the oldest make room for the newest.
    explicit MessageQueue(int max_count = -1)
        : max_count_(max_count)
    { }
    virtual ~MessageQueue() = default;
    MessageQueue(const MessageQueue&) = delete;
    MessageQueue& operator=(const MessageQueue&) = delete;

    void put(T value)
    {
        bool wake = false;
        {
            const std::unique_lock<std::mutex> lock = locked();
            wake = put_locked(std::move(value));
        }
        if (wake)
            ready_.notify_all();
    }

    // Appends the elements of the vector in their order under one lock; the
    // bound applies as if they were put one by one. The waiters are woken
    // once, when the queue was empty before, so a batch costs its consumer
    // one wake-up and one lock taken by the producer.
    void put_all(std::vector<T>& values) { put_all(values.begin(), values.end()); }

    // The same for the elements of a range, moved out of it.
    template <typename Iterator> void put_all(Iterator first, Iterator last)
    {
        bool wake = false;
        {
            const std::unique_lock<std::mutex> lock = locked();
            const bool was_empty = queue_.empty();
            for (; first != last; ++first)
                push_bounded(std::move(*first));
            wake = was_empty && must_wake();
        }
        if (wake)
            ready_.notify_all();
    }

    // Like put, unless refuse() holds; refuse runs under the queue's mutex, so
    // state that it reads and that is written under the same mutex (see
    // with_lock) cannot change between the test and the put. Returns whether
    // the element was offered to the queue.
    template <typename Refuse> bool put_unless(Refuse refuse, T value)
    {
        bool wake = false;
        {
            const std::unique_lock<std::mutex> lock = locked();
            if (refuse())
                return false;
            wake = put_locked(std::move(value));
        }
        if (wake)
            ready_.notify_all();
        return true;
    }

    // Removes and returns the front element, waiting as long as the queue is
    // empty.
    T get()
    {
        std::unique_lock<std::mutex> lock = locked();
        wait(lock, [this] { return !queue_.empty(); });
        return take_front();
    }

    // Removes and returns the front element, waiting while the queue is empty
    // and finished() does not hold; nothing when the queue is empty and
    // finished() holds. finished runs under the queue's mutex; whoever makes it
    // true from another thread must do so in with_lock to wake the waiter.
    template <typename Finished> std::optional<T> get_unless(Finished finished)
    {
        std::unique_lock<std::mutex> lock = locked();
        wait(lock, [&] { return !queue_.empty() || finished(); });
        if (queue_.empty())
            return std::nullopt;
        return take_front();
    }

    // Removes and returns the front element if there is one; never waits.
    std::optional<T> try_get()
    {
        const std::unique_lock<std::mutex> lock = locked();
        if (queue_.empty())
            return std::nullopt;
        return take_front();
    }

    // Removes and returns the front element, waiting at most until the
    // deadline; an element that is there wins over an expired deadline.
    template <typename Clock, typename Duration>
    std::optional<T> get_until(const std::chrono::time_point<Clock, Duration>& deadline)
    {
        std::unique_lock<std::mutex> lock = locked();
        if (!wait_until(lock, deadline, [this] { return !queue_.empty(); }))
            return std::nullopt;
        return take_front();
    }

    // Watches the queue, without taking its mutex, until it holds an element
    // or the deadline has passed; true when an element was seen. For a
    // consumer that expects the next element within microseconds: staying
    // awake that long costs less than being put to sleep and woken again,
    // which takes a system call on both sides. The element may be gone again
    // by the time the caller takes the mutex; the answer is only a hint.
    template <typename Clock, typename Duration>
    bool watch_until(const std::chrono::time_point<Clock, Duration>& deadline) const
    {
        // The clock is read once every few pauses: reading it costs more
        // than a pause.
        constexpr unsigned pauses_per_clock_read = 8;
        for (unsigned pauses = 0; count_.load(std::memory_order_relaxed) == 0; ++pauses) {
            if (pauses % pauses_per_clock_read == 0 && Clock::now() >= deadline)
                return false;
            cpu_pause();
        }
        return true;
    }

    // watch_until a time from now; reads the clock only when the queue is
    // empty.
    template <typename Rep, typename Period>
    bool watch_for(const std::chrono::duration<Rep, Period>& wait) const
    {
        if (count_.load(std::memory_order_relaxed) != 0)
            return true;
        return watch_until(std::chrono::steady_clock::now() + wait);
    }

    std::size_t size() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return queue_.size();
    }

    bool empty() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return queue_.empty();
    }

    void clear()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        queue_.clear();
        count_.store(0, std::memory_order_relaxed);
    }

    int max_count() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return max_count_;
    }

    // Changes the bound; elements beyond a new positive bound are removed from
    // the front, and a bound of 0 empties the queue.
    void set_max_count(int max_count)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        max_count_ = max_count;
        if (max_count_ >= 0)
            while (queue_.size() > static_cast<std::size_t>(max_count_))
                queue_.pop_front();
        count_.store(queue_.size(), std::memory_order_relaxed);
    }

    // Runs f() under the queue's mutex and wakes every waiter afterwards, for
    // owners that guard state of their own with it (see put_unless and
    // get_unless).
    template <typename F> decltype(auto) with_lock(F&& f)
    {
        struct WakeAll {
            std::condition_variable& ready;
            ~WakeAll() { ready.notify_all(); }
        } wake { ready_ };
        std::lock_guard<std::mutex> lock(mutex_);
        return f();
    }

private:
    // Whether the waiters must be woken, once the mutex is let go.
    bool put_locked(T value)
    {
        const bool was_empty = queue_.empty();
        push_bounded(std::move(value));
        return was_empty && must_wake();
    }

    void push_bounded(T value)
    {
        if (max_count_ == 0)
            return;
        if (max_count_ > 0)
            while (queue_.size() >= static_cast<std::size_t>(max_count_))
                queue_.pop_front();
        queue_.push_back(std::move(value));
        count_.store(queue_.size(), std::memory_order_relaxed);
    }

    // Under the mutex, for a put into a queue that was empty: a waiter waits
    // only while the queue is empty, so elements that follow one that is not
    // yet taken wake nobody and a burst costs its consumer one wake-up; and
    // a queue that nobody waits on wakes nobody, not even with a call. Every
    // waiter is woken, since the first one to run may take the only element
    // and leave the rest to wait again for the next. The put wakes them once
    // it has let go of the mutex, so that they do not wake only to wait for
    // it.
    bool must_wake() const { return waiting_ != 0 && !queue_.empty(); }

    // The waits, counted in waiting_ while they sleep.
    template <typename Ready> void wait(std::unique_lock<std::mutex>& lock, Ready ready)
    {
        if (ready())
            return;
        Waiting counted(waiting_);
        ready_.wait(lock, ready);
    }

    template <typename Clock, typename Duration, typename Ready>
    bool wait_until(std::unique_lock<std::mutex>& lock,
        const std::chrono::time_point<Clock, Duration>& deadline, Ready ready)
    {
        if (ready())
            return true;
        Waiting counted(waiting_);
        return ready_.wait_until(lock, deadline, ready);
    }

    struct Waiting {
        explicit Waiting(unsigned& count)
            : count_(count)
        {
            ++count_;
        }
        ~Waiting() { --count_; }
        Waiting(const Waiting&) = delete;
        Waiting& operator=(const Waiting&) = delete;
        unsigned& count_;
    };

    T take_front()
    {
        T value = std::move(queue_.front());
        queue_.pop_front();
        count_.store(queue_.size(), std::memory_order_relaxed);
        return value;
    }

    // The mutex, for the puts and takes that producer and consumer make all
    // the time. Their critical sections are a few moves per element: a
    // thread that finds the mutex held tries again for a little while before
    // it goes to sleep on it, which would cost it a wake-up, and the holder a
    // system call to wake it, many times longer than the wait.
    std::unique_lock<std::mutex> locked() const
    {
        std::unique_lock<std::mutex> lock(mutex_, std::try_to_lock);
        for (unsigned tries = 0; !lock.owns_lock() && tries < lock_tries; ++tries) {
            cpu_pause();
            lock.try_lock();
        }
        if (!lock.owns_lock())
            lock.lock();
        return lock;
    }

    static constexpr unsigned lock_tries = 64;

    static void cpu_pause()
    {
#if defined(__x86_64__) || defined(__i386__)
        __builtin_ia32_pause();
#elif defined(__aarch64__)
        asm volatile("yield");
#endif
    }

    std::deque<T> queue_;
    mutable std::mutex mutex_;
    std::condition_variable ready_;
    int max_count_;
    // Threads waiting on ready_, under the mutex.
    unsigned waiting_ = 0;
    // The number of elements, written under the mutex and read without it
    // by watch_until.
    std::atomic<std::size_t> count_ { 0 };
};
