// The ModuleIo of a module reached over TCP instead of a serial port; the
// bytes on the connection are the same framed protocol.
//
// One reader thread and one writer thread may use the socket at once.
#pragma once

#include "link/ModuleIo.hpp"
#include "platform/TcpConnection.hpp"

class Logger;

class TcpIpModuleIo : public ModuleIo {
public:
    // ip and port in network byte order, used unchanged in the socket address.
    TcpIpModuleIo(unsigned ip, unsigned short port, Logger& logger);
    ~TcpIpModuleIo() override;
    TcpIpModuleIo(const TcpIpModuleIo&) = delete;
    TcpIpModuleIo& operator=(const TcpIpModuleIo&) = delete;

    // Connects; the name is not used. 0, or -1 after logging why.
    int open(const std::string& name) override;
    // A TCP link has no line speed.
    void set_baudrate(unsigned baudrate) override;
    // One send of what the socket takes, waiting at most write_wait for
    // room: the count (a short one is possible), 0 when it took nothing, -1
    // on error, also when the peer has gone (never a SIGPIPE) or once
    // abort_writes has been called.
    int write(const unsigned char* data, unsigned length) override;
    // Waits at most timeout ms. 0 when nothing arrived or once
    // interrupt_reads has been called, -1 on error or once the peer has
    // closed the connection.
    int read(unsigned char* buffer, unsigned size, unsigned timeout) override;
    void abort_writes() override;
    void interrupt_reads() override;

private:
    static constexpr unsigned max_pause = 64;

    platform::TcpConnection connection_;
    // Touched only by the reader. Whether the last read found data.
    bool flowing_ = true;
    // Reads that wait first before a receive that does not wait is tried
    // again, and how many that will be after the next one that finds
    // nothing; 0 after one that found data.
    unsigned reads_before_trying_ = 0;
    unsigned next_pause_ = 0;
    unsigned ip_;
    unsigned short port_;
    Logger& logger_;
};
