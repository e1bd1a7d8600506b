#include "link/OverlappedModuleIo.hpp"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <stdexcept>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include "log/ConsoleAndFileLogger.hpp"

namespace {

constexpr int first_byte_wait_ms = 100;

std::string error_text(int error)
{
    if (error == 0)
        return {};
    char buffer[256] = {};
    // The GNU strerror_r returns the text, which may or may not be the buffer.
    return strerror_r(error, buffer, sizeof buffer);
}

bool to_speed(unsigned baudrate, speed_t* speed)
{
    static const struct {
        unsigned rate;
        speed_t code;
    } table[] = {
        { 50, B50 },
        { 75, B75 },
        { 110, B110 },
        { 134, B134 },
        { 150, B150 },
        { 200, B200 },
        { 300, B300 },
        { 600, B600 },
        { 1200, B1200 },
        { 1800, B1800 },
        { 2400, B2400 },
        { 4800, B4800 },
        { 9600, B9600 },
        { 19200, B19200 },
        { 38400, B38400 },
        { 57600, B57600 },
        { 115200, B115200 },
        { 230400, B230400 },
        { 460800, B460800 },
        { 500000, B500000 },
        { 576000, B576000 },
        { 921600, B921600 },
        { 1000000, B1000000 },
        { 1152000, B1152000 },
        { 1500000, B1500000 },
        { 2000000, B2000000 },
        { 2500000, B2500000 },
        { 3000000, B3000000 },
        { 3500000, B3500000 },
        { 4000000, B4000000 },
    };
    for (const auto& entry : table) {
        if (entry.rate == baudrate) {
            *speed = entry.code;
            return true;
        }
    }
    return false;
}

// Raw binary transfer at the given speed: 8 data bits, no parity, one stop
// bit, receiver on, modem status lines and flow control ignored.
void make_raw(termios& settings, speed_t speed)
{
    cfmakeraw(&settings);
    settings.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS);
    settings.c_cflag |= CS8 | CREAD | CLOCAL;
    settings.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK);
    settings.c_cc[VMIN] = 0;
    settings.c_cc[VTIME] = 0;
    cfsetispeed(&settings, speed);
    cfsetospeed(&settings, speed);
}

// tcsetattr succeeds when any part of the change was applied, so the result
// is read back.
bool took_effect(int fd, speed_t speed)
{
    termios now {};
    if (tcgetattr(fd, &now) != 0)
        return false;
    return cfgetospeed(&now) == speed && (now.c_cflag & CSIZE) == CS8 && !(now.c_cflag & PARENB)
        && !(now.c_cflag & CSTOPB);
}

std::string device_path(const std::string& name)
{
    if (!name.empty() && name[0] == '/')
        return name;
    return "/dev/" + name;
}

} // namespace

std::string GetLastErrorString()
{
    return error_text(errno);
}

ModuleIo* createModuleIo(Logger& logger)
{
    logger.log(3, "creating moduel IO\n");
    return new OverlappedModuleIo(logger);
}

OverlappedModuleIo::OverlappedModuleIo(Logger& logger)
    : logger_(logger)
{
    logger_.log(5, "OverlappedModuleIo");
}

OverlappedModuleIo::~OverlappedModuleIo()
{
    logger_.log(3, "~OverlappedModuleIo");
    release_port();
}

void OverlappedModuleIo::release_port()
{
    if (fd_ < 0)
        return;
    ioctl(fd_, TIOCNXCL);
    ::close(fd_); // also drops the flock
    fd_ = -1;
}

int OverlappedModuleIo::open(const std::string& name)
{
    logger_.log(5, "open " + name);
    const std::string path = device_path(name);
    logger_.log(2, "Opening serial port \"" + path + "\" - here we go");

    release_port();
    failed_ = false;

    // Non-blocking, so that opening does not wait for a carrier signal.
    int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    int error = fd < 0 ? errno : 0;
    // The lock keeps out every other opener that asks for it (this library
    // in another connection or process). Both it and the terminal's
    // exclusive mode below are advisory for a privileged process: root can
    // still open the device with a plain open(2).
    if (fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) != 0) {
        error = errno;
        ::close(fd);
        fd = -1;
    }
    if (fd < 0) {
        logger_.log(5, path + ": " + error_text(error));
        logger_.error("Error creating file\n");
        return error != 0 ? error : -1;
    }
    fd_ = fd;
    if (ioctl(fd_, TIOCEXCL) != 0)
        logger_.log(5, "exclusive mode refused: " + GetLastErrorString());

    tcflush(fd_, TCIOFLUSH);
    set_baudrate(115200);
    make_reads_non_blocking();
    return 0;
}

void OverlappedModuleIo::set_baudrate(unsigned baudrate)
{
    // A failed port counts as closed: its settings cannot be read either.
    termios settings {};
    if (failed_ || tcgetattr(fd_, &settings) != 0) {
        logger_.error("Error getting device state\n");
        mark_failed();
        throw std::runtime_error("Unable to set serial params");
    }
    speed_t speed = B0;
    bool applied = to_speed(baudrate, &speed);
    if (applied) {
        make_raw(settings, speed);
        applied = tcsetattr(fd_, TCSANOW, &settings) == 0 && took_effect(fd_, speed);
    }
    if (!applied) {
        logger_.error("Error setting device parameters\n");
        mark_failed();
        throw std::runtime_error("Unable to set serial devicde parameters");
    }
    raise_dtr();
}

void OverlappedModuleIo::raise_dtr()
{
    int lines = TIOCM_DTR;
    if (ioctl(fd_, TIOCMBIS, &lines) != 0) {
        // Pseudo-terminals and some adapters have no modem lines; the data
        // path works without them.
        logger_.log(5, "DTR not raised: " + GetLastErrorString());
    }
}

// Reads never block in the driver: read waits for data itself with a bounded
// poll, and write waits for room the same way.
void OverlappedModuleIo::make_reads_non_blocking()
{
    const int flags = fcntl(fd_, F_GETFL);
    if (flags < 0 || fcntl(fd_, F_SETFL, flags | O_NONBLOCK) != 0) {
        logger_.error("Error setting timeouts\n");
        mark_failed();
        throw std::runtime_error("Unable to set serial timeouts");
    }
}

void OverlappedModuleIo::log_error(const std::string& text)
{
    lstream line = logger_.serror();
    line << text;
    line.flush();
}

void OverlappedModuleIo::mark_failed()
{
    failed_ = true;
}

int OverlappedModuleIo::write(const unsigned char* data, unsigned length)
{
    if (failed_ || fd_ < 0) {
        log_error("call to WriteFile failed -- closing file -- " + error_text(EBADF));
        return -1;
    }
    unsigned written = 0;
    while (written < length) {
        const ssize_t n = ::write(fd_, data + written, length - written);
        if (n > 0) {
            written += static_cast<unsigned>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN) {
            const std::string why = GetLastErrorString();
            log_error("call to WriteFile failed -- closing file -- " + why);
            mark_failed();
            return -1;
        }
        // The driver's output buffer is full: wait until it has room.
        pollfd waiter { fd_, POLLOUT, 0 };
        const int ready = poll(&waiter, 1, -1);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0 || (waiter.revents & (POLLERR | POLLHUP | POLLNVAL))) {
            const std::string why = ready < 0 ? GetLastErrorString() : error_text(EIO);
            log_error("GetOVerlappedResult failed -- closing file -- " + why);
            mark_failed();
            return -1;
        }
    }
    return static_cast<int>(written);
}

int OverlappedModuleIo::read(unsigned char* buffer, unsigned size, unsigned /*timeout*/)
{
    if (size == 0)
        return 0;
    const int first = do_single_read(buffer, 1);
    if (first < 0) {
        logger_.error("do_single_read failed\n");
        return first;
    }
    if (first == 0)
        return 0;

    int waiting = 0;
    if (ioctl(fd_, FIONREAD, &waiting) != 0)
        waiting = 0;
    logger_.log(5, "bytes in in queue " + std::to_string(waiting));
    if (waiting <= 0)
        return 1;

    const unsigned rest = std::min(static_cast<unsigned>(waiting), size - 1);
    const int more = do_single_read(buffer + 1, rest);
    if (more < 0)
        return 1; // keep the byte already taken; the next read reports the error
    if (more == 0)
        logger_.log(5, "timeout multi byte");
    return 1 + more;
}

// Waits at most 100 ms for data, then reads up to count bytes of what is
// there. 0 when nothing arrived, -1 when the port failed or hung up.
int OverlappedModuleIo::do_single_read(unsigned char* buffer, unsigned count)
{
    if (failed_ || fd_ < 0) {
        log_error("ReadFile returned error: " + error_text(EBADF));
        return -1;
    }
    int got = 0;
    if (count > 0) {
        pollfd waiter { fd_, POLLIN, 0 };
        const auto deadline
            = std::chrono::steady_clock::now() + std::chrono::milliseconds(first_byte_wait_ms);
        int ready;
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            ready = poll(&waiter, 1, static_cast<int>(std::max<long long>(0, left.count())));
            if (!(ready < 0 && errno == EINTR))
                break;
        }
        if (ready < 0 || (waiter.revents & POLLNVAL)
            || ((waiter.revents & (POLLERR | POLLHUP)) && !(waiter.revents & POLLIN))) {
            const std::string why = ready < 0 ? GetLastErrorString() : error_text(EIO);
            log_error("GetOverlappedResult return error: " + why);
            return -1;
        }
        if (ready > 0) {
            // A hung-up device reports readable and then gives end of file
            // or EIO; anything it still holds comes first.
            const ssize_t n = ::read(fd_, buffer, count);
            if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) {
                const std::string why = n == 0 ? "end of file" : GetLastErrorString();
                log_error("ReadFile returned error: " + why);
                return -1;
            }
            got = n > 0 ? static_cast<int>(n) : 0;
        }
    }
    logger_.log(6, "do_single_read returning: " + std::to_string(got));
    logger_.print_bytes(6, std::vector<uint8_t>(buffer, buffer + got));
    return got;
}
