#include "platform/posix/Wakeup.hpp"

#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

namespace platform::posix {

Wakeup::Wakeup()
{
    int ends[2];
    if (::pipe(ends) != 0)
        return;
    for (int end : ends) {
        ::fcntl(end, F_SETFD, FD_CLOEXEC);
        ::fcntl(end, F_SETFL, ::fcntl(end, F_GETFL) | O_NONBLOCK);
    }
    read_end_ = ends[0];
    write_end_ = ends[1];
}

Wakeup::~Wakeup()
{
    if (read_end_ >= 0)
        ::close(read_end_);
    if (write_end_ >= 0)
        ::close(write_end_);
}

void Wakeup::raise()
{
    if (write_end_ < 0)
        return;
    // One byte is enough, and nobody ever reads it: the pipe stays readable.
    // A full pipe (raised many times before) is just as readable.
    const unsigned char byte = 1;
    const int saved = errno;
    while (::write(write_end_, &byte, 1) < 0 && errno == EINTR) { }
    errno = saved;
}

} // namespace platform::posix
