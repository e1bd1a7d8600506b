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
#include <mutex>
#include <utility>

template <typename Target, typename Mutex> class UniqueLocked {
public:
    // The holder deletes the target on destruction when owns is set.
    UniqueLocked(Target* target, bool owns)
        : target_(target)
        , owns_(owns)
    { }

    ~UniqueLocked()
    {
        if (owns_)
            delete target_;
    }

    UniqueLocked(const UniqueLocked&) = delete;
    UniqueLocked& operator=(const UniqueLocked&) = delete;

    // The target, locked until the end of the full expression that uses it.
    class Access {
    public:
        Access(Target* target, Mutex& mutex)
            : target_(target)
            , lock_(mutex)
        { }
        Target* operator->() const { return target_; }

    private:
        Target* target_;
        std::unique_lock<Mutex> lock_;
    };

    Access operator->()
    {
        assert(target_ && "target");
        return Access(target_, mutex_);
    }

    // Runs f(target) with the mutex held and returns what f returns.
    template <typename F> decltype(auto) locked(F&& f)
    {
        assert(target_ && "target");
        std::lock_guard<Mutex> lock(mutex_);
        return std::forward<F>(f)(*target_);
    }

    // Runs f(target) only when the mutex can be had at once: true when f
    // ran, false when another thread holds the mutex.
    template <typename F> bool try_locked(F&& f)
    {
        assert(target_ && "target");
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
};
