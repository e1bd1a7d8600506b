// The callback of a request's reply subscription: it hands the packets that
// answer the request to the request's queue, and once the request has given
// up it takes the next one as the late reply the request was owed.
//
// A request that times out leaves a debt: the module may still answer it
// within one more timeout. A late reply that comes before the next request
// has subscribed pays the debt here. One that comes after meets the next
// request, which then cannot tell the late reply from its own answer by the
// first packet alone: it takes the second matching packet when one follows
// before its deadline, dropping the first as the late reply (logged at level
// 3), and the first only when none does (the module never answered the
// request that gave up). So a late reply is never taken for the next
// answer while that answer comes, and a module that never answers costs the
// next request at most its own timeout.
#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <vector>

#include "link/MessageQueue.hpp"
#include <linkwell/Bytes.hpp>

class ReplyCatcher {
public:
    using Clock = std::chrono::steady_clock;

    // What a request may still be owed once it has given up.
    class Debt {
    public:
        explicit Debt(std::vector<Bytes> prefixes);
        // The request gave up: a matching packet until one more timeout has
        // passed is its late reply.
        void arm(std::chrono::seconds timeout);
        bool armed() const { return armed_.load(); }
        void settle() { settled_ = true; }
        // Armed, not paid and not expired.
        bool outstanding() const;
        // Whether the packet may be the late reply still owed.
        bool could_be_paid_by(const Bytes& packet) const;

    private:
        const std::vector<Bytes> prefixes_;
        std::atomic<bool> armed_ { false };
        std::atomic<bool> settled_ { false };
        // Written once, before armed_ is set.
        Clock::time_point until_ {};
    };
    using Debts = std::vector<std::shared_ptr<Debt>>;

    ReplyCatcher(std::weak_ptr<MessageQueue<Bytes>> queue, std::shared_ptr<Debt> own);

    // Runs for each packet that matches the request's prefixes, on the
    // reader thread or, behind a packet for a callback, on the dispatcher
    // thread; never on two at once. False when the packet was not queued.
    bool operator()(const Bytes& packet) const;

private:
    std::weak_ptr<MessageQueue<Bytes>> queue_;
    std::shared_ptr<Debt> own_;
};
