#include "platform/SerialPort.hpp"

#include <cerrno>

#include <poll.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include "platform/posix/Wakeup.hpp"
#include "platform/posix/poll_wait.hpp"

namespace platform {

namespace {

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
// bit, receiver on, modem status lines and flow control ignored. Reads never
// block in the driver: the port waits for data itself with a bounded poll.
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

// A bare name must stay a name: anything that could climb out of /dev is
// refused before the file system is asked.
bool is_plain_device_name(const std::string& name)
{
    return name.find('/') == std::string::npos && name.find("..") == std::string::npos;
}

} // namespace

struct SerialPort::State {
    int fd = -1;
    posix::Wakeup writes_aborted;
    posix::Wakeup reads_interrupted;
};

SerialPort::SerialPort()
    : state_(std::make_unique<State>())
{ }

SerialPort::~SerialPort()
{
    close();
}

std::optional<std::string> SerialPort::device_path(const std::string& name)
{
    if (name.empty())
        return std::nullopt;
    if (name[0] == '/')
        return name;
    if (!is_plain_device_name(name))
        return std::nullopt;
    return "/dev/" + name;
}

int SerialPort::open(const std::string& path)
{
    close();
    // Only a character device can be a terminal; anything else is refused
    // before it is opened for writing.
    struct stat info { };
    if (::stat(path.c_str(), &info) != 0)
        return errno;
    if (!S_ISCHR(info.st_mode))
        return ENOTTY;
    // Non-blocking, so that opening does not wait for a carrier signal.
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return errno;
    int error = 0;
    if (!::isatty(fd))
        error = ENOTTY;
    // The lock keeps out every other opener that asks for it (this library
    // in another connection or process). Both it and the terminal's
    // exclusive mode below are advisory for a privileged process: root can
    // still open the device with a plain open(2).
    else if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
        error = errno;
    if (error != 0) {
        ::close(fd);
        return error;
    }
    // Refused by some drivers; the lock above still holds.
    ::ioctl(fd, TIOCEXCL);
    state_->fd = fd;
    return 0;
}

bool SerialPort::is_open() const
{
    return state_->fd >= 0;
}

void SerialPort::close()
{
    if (state_->fd < 0)
        return;
    ::ioctl(state_->fd, TIOCNXCL);
    ::close(state_->fd); // also drops the lock
    state_->fd = -1;
}

void SerialPort::discard_pending()
{
    ::tcflush(state_->fd, TCIOFLUSH);
}

bool SerialPort::configure(unsigned baudrate)
{
    termios settings {};
    if (::tcgetattr(state_->fd, &settings) != 0)
        return false;
    speed_t speed = B0;
    if (!to_speed(baudrate, &speed)) {
        errno = EINVAL;
        return false;
    }
    make_raw(settings, speed);
    return ::tcsetattr(state_->fd, TCSANOW, &settings) == 0 && took_effect(state_->fd, speed);
}

bool SerialPort::raise_dtr()
{
    int lines = TIOCM_DTR;
    return ::ioctl(state_->fd, TIOCMBIS, &lines) == 0;
}

WaitResult SerialPort::wait_readable(std::chrono::milliseconds limit)
{
    return posix::poll_wait(state_->fd, POLLIN, state_->reads_interrupted.fd(), limit);
}

int SerialPort::read_now(unsigned char* buffer, unsigned size)
{
    ssize_t n;
    do
        n = ::read(state_->fd, buffer, size);
    while (n < 0 && errno == EINTR);
    if (n > 0)
        return static_cast<int>(n);
    if (n < 0 && errno == EAGAIN)
        return 0;
    // A hung-up device reports readable and then gives end of file or EIO.
    if (n == 0)
        errno = EIO;
    return -1;
}

unsigned SerialPort::bytes_waiting()
{
    int waiting = 0;
    if (::ioctl(state_->fd, FIONREAD, &waiting) != 0 || waiting < 0)
        return 0;
    return static_cast<unsigned>(waiting);
}

int SerialPort::write_now(const unsigned char* data, unsigned size)
{
    ssize_t n;
    do
        n = ::write(state_->fd, data, size);
    while (n < 0 && errno == EINTR);
    if (n >= 0)
        return static_cast<int>(n);
    return errno == EAGAIN ? 0 : -1;
}

WaitResult SerialPort::wait_writable(std::chrono::milliseconds limit)
{
    return posix::poll_wait(state_->fd, POLLOUT, state_->writes_aborted.fd(), limit);
}

void SerialPort::abort_writes()
{
    state_->writes_aborted.raise();
}

void SerialPort::interrupt_reads()
{
    state_->reads_interrupted.raise();
}

} // namespace platform
