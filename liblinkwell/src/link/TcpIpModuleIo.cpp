#include "link/TcpIpModuleIo.hpp"

#include <cerrno>
#include <cstring>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "log/ConsoleAndFileLogger.hpp"

namespace {

constexpr int readable_wait_ms = 10;

std::string error_text(int error)
{
    char buffer[256] = {};
    return strerror_r(error, buffer, sizeof buffer);
}

std::string dotted(unsigned ip)
{
    in_addr address {};
    address.s_addr = ip;
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &address, text, sizeof text);
    return text;
}

} // namespace

TcpIpModuleIo::TcpIpModuleIo(unsigned ip, unsigned short port, Logger& logger)
    : socket_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0))
    , ip_(ip)
    , port_(port)
    , logger_(logger)
{
    // A socket that could not be made shows up as a failing open.
}

TcpIpModuleIo::~TcpIpModuleIo()
{
    if (socket_ >= 0)
        ::close(socket_);
}

int TcpIpModuleIo::open(const std::string& /*name*/)
{
    if (connect_socket() == 0)
        return 0;
    const int error = errno;
    lstream entry = logger_.serror();
    entry << "open" << 49 << " -- error connecting to addr tcp://" << dotted(ip_) << ":" << ntohs(port_)
          << "\n"
          << "system error: " << error_text(error) << "\n";
    entry.flush();
    return -1;
}

// Connects, finishing a connection that a signal interrupted. Leaves errno
// set on failure.
int TcpIpModuleIo::connect_socket()
{
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = ip_;
    address.sin_port = port_;
    if (::connect(socket_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
        return 0;
    if (errno != EINTR)
        return -1;
    // The attempt goes on in the background; wait for its outcome.
    pollfd waiter { socket_, POLLOUT, 0 };
    int ready;
    do
        ready = poll(&waiter, 1, -1);
    while (ready < 0 && errno == EINTR);
    if (ready < 0)
        return -1;
    int error = 0;
    socklen_t length = sizeof error;
    if (getsockopt(socket_, SOL_SOCKET, SO_ERROR, &error, &length) != 0)
        return -1;
    if (error != 0) {
        errno = error;
        return -1;
    }
    return 0;
}

void TcpIpModuleIo::set_baudrate(unsigned /*baudrate*/) { }

int TcpIpModuleIo::write(const unsigned char* data, unsigned length)
{
    ssize_t sent;
    do
        sent = ::send(socket_, data, length, MSG_NOSIGNAL);
    while (sent < 0 && errno == EINTR);
    return sent < 0 ? -1 : static_cast<int>(sent);
}

int TcpIpModuleIo::read(unsigned char* buffer, unsigned size, unsigned /*timeout*/)
{
    if (socket_ < 0)
        return -1;
    if (size == 0)
        return 0; // a receive of 0 bytes could not be told from a closed peer
    // While data flows it is usually there already: one receive that does
    // not wait, and the wait for readability only when it finds nothing.
    const int received = receive_now(buffer, size);
    if (received != 0)
        return received;
    pollfd waiter { socket_, POLLIN, 0 };
    const int ready = poll(&waiter, 1, readable_wait_ms);
    if (ready == 0 || (ready < 0 && errno == EINTR))
        return 0;
    if (ready < 0)
        return -1;
    return receive_now(buffer, size);
}

// One receive that does not wait: the byte count, 0 when nothing is there,
// -1 on error or once the peer has closed the connection.
int TcpIpModuleIo::receive_now(unsigned char* buffer, unsigned size)
{
    const ssize_t received = ::recv(socket_, buffer, size, MSG_DONTWAIT);
    if (received > 0)
        return static_cast<int>(received);
    if (received < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
        return 0;
    // 0: the peer closed the connection. The socket stays readable from now
    // on, so reporting 0 ("nothing yet") would spin the reader forever.
    return -1;
}
