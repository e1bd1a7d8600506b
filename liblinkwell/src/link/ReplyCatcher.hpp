// The callback of a request's reply subscription: it hands the reply to the
// request's queue, and it keeps a late reply from being taken for the answer
// to a later request.
//
// A request that times out leaves a debt: the module may still answer it.
// The first packet that would have answered it and arrives within one
// timeout after it gave up is taken as that late reply and dropped (logged at
// level 3), by whichever reply subscription is in place then. A module that
// never answers costs the next request at most its own timeout, and no
// request after that.
#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <vector>

#include "link/MessageQueue.hpp"
#include <linkwell/Bytes.hpp>

class Logger;

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
        // True when the packet is still owed to this request; the debt is
        // then paid.
        bool settle_with(const Bytes& packet);
        void settle() { settled_ = true; }
        // Armed, not paid and not expired.
        bool outstanding() const;
        // This request dropped a packet as an earlier request's late reply.
        // When it then times out it owes nothing: the packet may well have
        // been its own answer to a module that never answered the earlier
        // one, and a debt now would cost the next request its answer too.
        void paid_for_earlier() { paid_for_earlier_ = true; }
        bool has_paid_for_earlier() const { return paid_for_earlier_.load(); }

    private:
        const std::vector<Bytes> prefixes_;
        std::atomic<bool> armed_ { false };
        std::atomic<bool> settled_ { false };
        std::atomic<bool> paid_for_earlier_ { false };
        // Written once, before armed_ is set.
        Clock::time_point until_ {};
    };
    using Debts = std::vector<std::shared_ptr<Debt>>;

    // earlier: the debts of requests that gave up before this one.
    ReplyCatcher(
        std::weak_ptr<MessageQueue<Bytes>> queue, std::shared_ptr<Debt> own, Debts earlier, Logger& logger);

    // Runs on the dispatcher thread for each packet that matches the
    // request's prefixes. False when the packet was not queued.
    bool operator()(const Bytes& packet) const;

private:
    std::weak_ptr<MessageQueue<Bytes>> queue_;
    std::shared_ptr<Debt> own_;
    Debts earlier_;
    Logger* logger_;
};
