// Tests of calls that hold a connection's lock while they wait (a queue read
// waits without a time limit) need to know when the lock is held.
#pragma once

#include <chrono>
#include <functional>
#include <future>
#include <memory>

#include <gtest/gtest.h>

#include <linkwell/Transport.hpp>
#include <linkwell/Z3.hpp>

#include "support/TestSupport.hpp"

namespace testsupport {

// Once another thread's queue read has taken the connection's lock, a call
// of a third thread waits for it: that call, still waiting, or no future
// when no call waited within ten seconds.
std::future<int> call_held_up_by_a_read(Sarvik::Transport& transport);

// Runs the action (a close, an open, the destruction) on a connector of
// either flavour while a queue read of another thread holds its connection,
// and expects the action not to wait for the read, and the read to be woken
// with an empty packet.
template <typename Connector>
void expect_action_wakes_a_held_read(
    std::unique_ptr<Connector>& connector, const std::function<void(std::unique_ptr<Connector>&)>& action)
{
    Sarvik::Transport& reader = connector->get_transport();
    reader.subscribe("never filled", { 0x50, 0x99 });
    auto read = std::async(std::launch::async, [&reader] { return reader.get_packet("never filled"); });
    std::future<int> probing = call_held_up_by_a_read(reader);
    if (!probing.valid()) {
        connector->close();
        FAIL() << "the read never held the connection";
    }

    // Unlocked, it frees the read should the action not.
    Sarvik::Z3& unlocked = connector->get_z3();
    auto acting = std::async(std::launch::async, [&] { action(connector); });
    if (acting.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
        unlocked.unsubscribe("never filled");
        FAIL() << "the action waits for the read";
    }
    acting.get();
    ASSERT_EQ(std::future_status::ready, read.wait_for(std::chrono::seconds(10)));
    EXPECT_EQ(Bytes {}, read.get());
    probing.get();
}

} // namespace testsupport
