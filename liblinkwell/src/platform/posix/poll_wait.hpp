// A bounded poll() of one descriptor, optionally cut short by a Wakeup.
#pragma once

#include <chrono>

#include "platform/WaitResult.hpp"

namespace platform::posix {

// Waits until fd reports one of the events, the limit has passed on the
// steady clock, or wake_fd (when not -1) becomes readable. A signal does
// not shorten the wait. ready also when the descriptor reports an error or
// hang-up together with data still to read; hung_up when it only reports
// hang-up or an error, for the caller's next call to find out which.
WaitResult poll_wait(int fd, short events, int wake_fd, std::chrono::milliseconds limit);

} // namespace platform::posix
