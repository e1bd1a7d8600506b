// One TCP connection to a module: the system calls behind the link layer's
// TCP ModuleIo. Each platform implements this class in a folder of its own
// (posix/ here).
//
// One thread may receive while another sends. Every failing call leaves its
// reason in platform::last_error().
#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "platform/WaitResult.hpp"

namespace platform {

class TcpConnection {
public:
    // Makes the socket; a socket that could not be made fails connect.
    TcpConnection();
    ~TcpConnection();
    TcpConnection(const TcpConnection&) = delete;
    TcpConnection& operator=(const TcpConnection&) = delete;

    // "a.b.c.d:port" of an IPv4 address and port in network byte order.
    static std::string describe(unsigned ip, unsigned short port);

    // ip and port in network byte order. 0, or -1.
    int connect(unsigned ip, unsigned short port);
    bool has_socket() const;

    // Interrupted once interrupt_reads has been called.
    WaitResult wait_readable(std::chrono::milliseconds limit);
    // What is there, at most size bytes, without waiting: the count, 0 for
    // nothing, -1 on failure or once the peer has closed the connection.
    int receive_now(unsigned char* buffer, unsigned size);

    // What the socket takes now, without waiting: the count, 0 when its
    // buffer is full, -1 on failure (a peer that has gone raises no signal).
    int send_now(const unsigned char* data, unsigned size);
    // Interrupted once abort_writes has been called.
    WaitResult wait_writable(std::chrono::milliseconds limit);
    // Cuts a wait_writable short at once, on any thread, and every later one
    // too.
    void abort_writes();
    // The same for wait_readable: the reader is being stopped.
    void interrupt_reads();

private:
    struct State;
    std::unique_ptr<State> state_;
};

} // namespace platform
