// Holds one target object together with the mutex that serialises every call
// on it. Each call locks the mutex for its whole duration and unlocks on
// every way out, an exception included. With a recursive mutex a call may
// make further calls on the same target from the same thread.
//
//     UniqueLocked<RadarInterface, std::recursive_mutex> connection(new RadarInterface(...), true);
//     connection->ping();                                   // one locked call
//     connection.locked([](RadarInterface& r) { ... });    // several calls under one lock
#pragma once

#include <cassert>
#include <condition_variable>
#include <mutex>
#include <utility>

template <typename Target, typename Mutex> class UniqueLocked {
    // Counts one call from before it asks for the lock until after it has
    // let the lock go.
    class Caller {
    public:
        explicit Caller(UniqueLocked& holder)
            : holder_(holder)
        {
            std::lock_guard<std::mutex> lock(holder_.callers_mutex_);
            ++holder_.callers_;
        }
        ~Caller()
        {
            std::lock_guard<std::mutex> lock(holder_.callers_mutex_);
            if (--holder_.callers_ == 0)
                holder_.no_callers_.notify_all();
        }
        Caller(const Caller&) = delete;
        Caller& operator=(const Caller&) = delete;

    private:
        UniqueLocked& holder_;
    };

public:
    // The holder deletes the target on destruction when owns is set.
    UniqueLocked(Target* target, bool owns)
        : target_(target)
        , owns_(owns)
    { }

    // Calls that had begun, waiting for the lock or holding it, end before
    // the target goes: the owner wakes a call that would wait for good (a
    // read) before it destroys the holder, and a call queued behind it then
    // runs on the target it was made for.
    ~UniqueLocked()
    {
        std::unique_lock<std::mutex> lock(callers_mutex_);
        no_callers_.wait(lock, [this] { return callers_ == 0; });
        lock.unlock();
        if (owns_)
            delete target_;
    }

    UniqueLocked(const UniqueLocked&) = delete;
    UniqueLocked& operator=(const UniqueLocked&) = delete;

    // The target, locked until the end of the full expression that uses it.
    class Access {
    public:
        Access(UniqueLocked& holder)
            : caller_(holder)
            , target_(holder.target_)
            , lock_(holder.mutex_)
        { }
        Target* operator->() const { return target_; }

    private:
        Caller caller_; // counted until the lock is gone
        Target* target_;
        std::unique_lock<Mutex> lock_;
    };

    Access operator->()
    {
        assert(target_ && "target");
        return Access(*this);
    }

    // Runs f(target) with the mutex held and returns what f returns.
    template <typename F> decltype(auto) locked(F&& f)
    {
        assert(target_ && "target");
        const Caller caller(*this);
        std::lock_guard<Mutex> lock(mutex_);
        return std::forward<F>(f)(*target_);
    }

    // Runs f(target) only when the mutex can be had at once: true when f
    // ran, false when another thread holds the mutex.
    template <typename F> bool try_locked(F&& f)
    {
        assert(target_ && "target");
        const Caller caller(*this);
        std::unique_lock<Mutex> lock(mutex_, std::try_to_lock);
        if (!lock.owns_lock())
            return false;
        std::forward<F>(f)(*target_);
        return true;
    }

    // The target without the lock, for callers that serialise their calls
    // themselves or that must reach it while another thread holds the lock.
    Target* unlocked() const { return target_; }

private:
    Target* target_;
    bool owns_;
    Mutex mutex_;
    std::mutex callers_mutex_;
    std::condition_variable no_callers_;
    int callers_ = 0;
};
