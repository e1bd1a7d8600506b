#include "platform/posix/poll_wait.hpp"

#include <algorithm>
#include <cerrno>

#include <poll.h>

namespace platform::posix {

WaitResult poll_wait(int fd, short events, int wake_fd, std::chrono::milliseconds limit)
{
    using std::chrono::steady_clock;
    const steady_clock::time_point deadline = steady_clock::now() + limit;
    pollfd watched[2] = { { fd, events, 0 }, { wake_fd, POLLIN, 0 } };
    const nfds_t count = wake_fd >= 0 ? 2 : 1;
    for (;;) {
        const auto left
            = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - steady_clock::now()).count();
        const int ready = ::poll(watched, count, static_cast<int>(std::max<long long>(0, left)));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0)
            return WaitResult::failed;
        if (count == 2 && (watched[1].revents & POLLIN))
            return WaitResult::interrupted;
        if (ready == 0)
            return WaitResult::timed_out;
        const short seen = watched[0].revents;
        if (seen & POLLNVAL)
            return WaitResult::failed;
        if (seen & events)
            return WaitResult::ready;
        return WaitResult::hung_up;
    }
}

} // namespace platform::posix
