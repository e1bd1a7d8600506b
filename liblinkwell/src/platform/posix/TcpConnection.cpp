#include "platform/TcpConnection.hpp"

#include <cerrno>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "platform/posix/Wakeup.hpp"
#include "platform/posix/poll_wait.hpp"

namespace platform {

struct TcpConnection::State {
    int socket = -1;
    posix::Wakeup writes_aborted;
    posix::Wakeup reads_interrupted;
};

TcpConnection::TcpConnection()
    : state_(std::make_unique<State>())
{
    state_->socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
}

TcpConnection::~TcpConnection()
{
    if (state_->socket >= 0)
        ::close(state_->socket);
}

std::string TcpConnection::describe(unsigned ip, unsigned short port)
{
    in_addr address {};
    address.s_addr = ip;
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &address, text, sizeof text);
    return std::string(text) + ":" + std::to_string(ntohs(port));
}

bool TcpConnection::has_socket() const
{
    return state_->socket >= 0;
}

int TcpConnection::connect(unsigned ip, unsigned short port)
{
    if (state_->socket < 0)
        return -1; // errno is still that of the failed socket()
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = ip;
    address.sin_port = port;
    if (::connect(state_->socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
        return 0;
    if (errno != EINTR)
        return -1;
    // An interrupted attempt goes on in the background; wait for its outcome.
    pollfd waiter { state_->socket, POLLOUT, 0 };
    int ready;
    do
        ready = ::poll(&waiter, 1, -1);
    while (ready < 0 && errno == EINTR);
    if (ready < 0)
        return -1;
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(state_->socket, SOL_SOCKET, SO_ERROR, &error, &length) != 0)
        return -1;
    if (error != 0) {
        errno = error;
        return -1;
    }
    return 0;
}

WaitResult TcpConnection::wait_readable(std::chrono::milliseconds limit)
{
    return posix::poll_wait(state_->socket, POLLIN, state_->reads_interrupted.fd(), limit);
}

int TcpConnection::receive_now(unsigned char* buffer, unsigned size)
{
    const ssize_t received = ::recv(state_->socket, buffer, size, MSG_DONTWAIT);
    if (received > 0)
        return static_cast<int>(received);
    if (received < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
        return 0;
    if (received == 0)
        errno = ECONNRESET; // the peer closed the connection
    return -1;
}

int TcpConnection::send_now(const unsigned char* data, unsigned size)
{
    ssize_t sent;
    do
        sent = ::send(state_->socket, data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
    while (sent < 0 && errno == EINTR);
    if (sent >= 0)
        return static_cast<int>(sent);
    return errno == EAGAIN || errno == EWOULDBLOCK ? 0 : -1;
}

WaitResult TcpConnection::wait_writable(std::chrono::milliseconds limit)
{
    return posix::poll_wait(state_->socket, POLLOUT, state_->writes_aborted.fd(), limit);
}

void TcpConnection::abort_writes()
{
    state_->writes_aborted.raise();
}

void TcpConnection::interrupt_reads()
{
    state_->reads_interrupted.raise();
}

} // namespace platform
