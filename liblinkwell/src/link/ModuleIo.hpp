// The byte-level pipe to one radar module: open it by name, write bytes, read
// whatever bytes have arrived, set the line speed. The connection's reader
// thread reads while the caller's thread writes, so implementations must allow
// one read and one write at the same time.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

class ModuleIo {
public:
    // How long one write waits for the transport to take more bytes. The
    // Writer looks at its own limit after each such wait, so a command to a
    // module that takes nothing fails at most this much after the limit.
    static constexpr std::chrono::milliseconds write_wait { 250 };

    virtual ~ModuleIo();

    // Returns 0 on success, otherwise an error code.
    virtual int open(const std::string& name) = 0;

    // Changes the line speed of an open port; transports without a line speed
    // ignore it.
    virtual void set_baudrate(unsigned baudrate) = 0;

    // Returns the number of bytes written (a short count is possible, 0 when
    // the transport took nothing within write_wait), or -1.
    virtual int write(const unsigned char* data, unsigned length) = 0;

    // Returns the number of bytes read, 0 when nothing arrived within about
    // timeout milliseconds (or the transport's own shorter wait), or a
    // negative value when the link is broken.
    virtual int read(unsigned char* buffer, unsigned size, unsigned timeout) = 0;

    // Whether the transport yields whole packets rather than a byte stream
    // (a recording played back): the reader then takes them with
    // read_packets, several at a time, and cuts nothing.
    virtual bool reads_whole_packets() const;

    // For a transport of whole packets: appends the packets that have
    // arrived, oldest first, as many as fit into max_bytes together (one
    // that does not fit behind others stays for the next call), waiting as
    // read does when there are none. Returns their bytes, 0 for none, or a
    // negative value, with nothing appended, when the link is broken. The
    // default, for byte streams, is such a broken link.
    virtual int read_packets(
        std::vector<std::vector<uint8_t>>& packets, unsigned max_bytes, unsigned timeout);

    // Makes a write blocked on another thread return -1 at once, and every
    // later write too: the connection is being closed. Transports whose
    // writes never wait need not do anything.
    virtual void abort_writes();

    // Makes a read waiting on another thread return 0 at once, and every
    // later read too: the reader is being stopped. Safe on any thread.
    // Transports whose reads wait only briefly need not do anything.
    virtual void interrupt_reads();
};
