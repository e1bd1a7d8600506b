#include "TestClient.hpp"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>
#include <system_error>

namespace simtest {

namespace {

using Clock = std::chrono::steady_clock;

std::system_error system_error(const char* what)
{
    return std::system_error(errno, std::generic_category(), what);
}

int remaining_ms(Clock::time_point deadline)
{
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left < 0 ? 0 : static_cast<int>(left);
}

int connect_tcp(uint16_t port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        throw system_error("socket");
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        const int error = errno;
        ::close(fd);
        throw std::system_error(error, std::generic_category(), "connect");
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    return fd;
}

int open_pty(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        throw system_error("open pty");
    termios settings {};
    ::tcgetattr(fd, &settings);
    ::cfmakeraw(&settings);
    ::tcsetattr(fd, TCSANOW, &settings);
    return fd;
}

} // namespace

TestClient::TestClient(const simmodule::SimModule& module)
{
    if (module.transport() == simmodule::Transport::Pty) {
        fd_ = open_pty(module.pty_path());
        return;
    }
    const uint64_t before = module.connection_count();
    fd_ = connect_tcp(module.tcp_port());
    is_socket_ = true;
    if (!module.wait_for_connection_count(before + 1, std::chrono::seconds(10)))
        throw std::runtime_error("the module did not accept the connection");
}

TestClient::TestClient(uint16_t port)
    : fd_(connect_tcp(port))
    , is_socket_(true)
{ }

TestClient::TestClient(const std::string& pty_path)
    : fd_(open_pty(pty_path))
{ }

TestClient::~TestClient()
{
    close();
}

void TestClient::close()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

void TestClient::send(const Bytes& wire)
{
    size_t done = 0;
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (done < wire.size()) {
        const ssize_t n = is_socket_ ? ::send(fd_, wire.data() + done, wire.size() - done, MSG_NOSIGNAL)
                                     : ::write(fd_, wire.data() + done, wire.size() - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EINTR) && Clock::now() < deadline) {
            pollfd p { fd_, POLLOUT, 0 };
            ::poll(&p, 1, remaining_ms(deadline));
            continue;
        }
        throw system_error("send");
    }
}

Bytes TestClient::read_exactly(size_t count, Duration timeout)
{
    return testbytes::read_exactly(fd_, count, std::chrono::ceil<std::chrono::milliseconds>(timeout));
}

Bytes TestClient::read_for(Duration quiet)
{
    Bytes out;
    const auto deadline = Clock::now() + quiet;
    uint8_t buffer[4096];
    for (;;) {
        pollfd p { fd_, POLLIN, 0 };
        if (::poll(&p, 1, remaining_ms(deadline)) <= 0)
            return out;
        const ssize_t n = ::read(fd_, buffer, sizeof buffer);
        if (n > 0)
            out.insert(out.end(), buffer, buffer + n);
        else if (!(n < 0 && (errno == EAGAIN || errno == EINTR)))
            return out;
    }
}

int TestClient::wait_for_close(Duration timeout)
{
    const auto deadline = Clock::now() + timeout;
    uint8_t buffer[65536];
    for (;;) {
        pollfd p { fd_, POLLIN, 0 };
        const int ready = ::poll(&p, 1, remaining_ms(deadline));
        if (ready <= 0)
            return -1;
        const ssize_t n = ::read(fd_, buffer, sizeof buffer);
        if (n == 0)
            return 0;
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            return errno;
        if (n < 0 && (p.revents & POLLHUP) && !is_socket_)
            return 0;
    }
}

} // namespace simtest
