// Tests of calls that hold a connection's lock while they wait (a queue read
// waits without a time limit) need to know when the lock is held.
#pragma once

#include <future>

#include <linkwell/Transport.hpp>

namespace testsupport {

// Once another thread's queue read has taken the connection's lock, a call
// of a third thread waits for it: that call, still waiting, or no future
// when no call waited within ten seconds.
std::future<int> call_held_up_by_a_read(Sarvik::Transport& transport);

} // namespace testsupport
