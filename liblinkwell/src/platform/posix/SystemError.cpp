#include "platform/SystemError.hpp"

#include <cerrno>
#include <cstring>

namespace platform {

int last_error()
{
    return errno;
}

void set_last_error(int code)
{
    errno = code;
}

std::string error_text(int code)
{
    if (code == 0)
        return {};
    char buffer[256] = {};
    // The GNU strerror_r returns the text, which may or may not be the buffer.
    return strerror_r(code, buffer, sizeof buffer);
}

int error_invalid_name()
{
    return EINVAL;
}

int error_not_a_terminal()
{
    return ENOTTY;
}

int error_bad_handle()
{
    return EBADF;
}

} // namespace platform
