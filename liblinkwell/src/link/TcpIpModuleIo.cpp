#include "link/TcpIpModuleIo.hpp"

#include <algorithm>

#include "log/ConsoleAndFileLogger.hpp"
#include "platform/SystemError.hpp"

TcpIpModuleIo::TcpIpModuleIo(unsigned ip, unsigned short port, Logger& logger)
    : ip_(ip)
    , port_(port)
    , logger_(logger)
{
    // A socket that could not be made shows up as a failing open.
}

TcpIpModuleIo::~TcpIpModuleIo() = default;

int TcpIpModuleIo::open(const std::string& /*name*/)
{
    if (connection_.connect(ip_, port_) == 0)
        return 0;
    const int error = platform::last_error();
    lstream entry = logger_.serror();
    entry << "open" << 49 << " -- error connecting to addr tcp://"
          << platform::TcpConnection::describe(ip_, port_) << "\n"
          << "system error: " << platform::error_text(error) << "\n";
    entry.flush();
    return -1;
}

void TcpIpModuleIo::set_baudrate(unsigned /*baudrate*/) { }

void TcpIpModuleIo::abort_writes()
{
    connection_.abort_writes();
}

void TcpIpModuleIo::interrupt_reads()
{
    connection_.interrupt_reads();
}

int TcpIpModuleIo::write(const unsigned char* data, unsigned length)
{
    for (;;) {
        const int sent = connection_.send_now(data, length);
        if (sent != 0 || length == 0)
            return sent;
        // The socket's buffer is full: the module is not reading.
        const platform::WaitResult room = connection_.wait_writable(write_wait);
        if (room == platform::WaitResult::timed_out)
            return 0;
        if (room != platform::WaitResult::ready)
            return -1;
    }
}

int TcpIpModuleIo::read(unsigned char* buffer, unsigned size, unsigned timeout)
{
    if (!connection_.has_socket())
        return -1;
    if (size == 0)
        return 0; // a receive of 0 bytes could not be told from a closed peer
    // While data flows faster than the reader takes it, it is usually there
    // already: one receive that does not wait, and the wait for readability
    // only when it finds nothing. A stream that comes slower than that, as
    // most modules send, would find nothing every time and pay a system call
    // per read for it: after each miss the receive is tried again only after
    // twice as many reads as the last time (up to max_pause), and at once
    // again once one finds data. An idle link waits first, one system call
    // per wake-up, and a stop of the reader ends the wait.
    if (flowing_ && reads_before_trying_ == 0) {
        const int received = connection_.receive_now(buffer, size);
        if (received != 0) {
            next_pause_ = 0;
            return received;
        }
        next_pause_ = std::min(std::max(2 * next_pause_, 1u), max_pause);
        reads_before_trying_ = next_pause_;
    } else if (reads_before_trying_ > 0) {
        --reads_before_trying_;
    }
    const platform::WaitResult data = connection_.wait_readable(std::chrono::milliseconds(timeout));
    if (data == platform::WaitResult::timed_out || data == platform::WaitResult::interrupted) {
        flowing_ = false;
        return 0;
    }
    if (data == platform::WaitResult::failed)
        return -1;
    // Readable, or hung up: the receive tells data from a closed peer.
    const int received = connection_.receive_now(buffer, size);
    flowing_ = received > 0;
    // A full buffer leaves more behind.
    if (received == static_cast<int>(size))
        reads_before_trying_ = 0;
    return received;
}
