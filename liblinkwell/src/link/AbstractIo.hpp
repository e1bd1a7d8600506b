// The packet-level pipe of one module connection: opened with a device name
// and a packet sink, after which every complete packet received from the
// module goes to the sink, those of one read together, and commands can be
// written to the module.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include <linkwell/Bytes.hpp>

class AbstractIo {
public:
    // Gets the packets received together, oldest first; never none. A sink
    // that moves the packets out of the vector, rather than the vector
    // itself, leaves its room to the reader for the next read.
    using PacketSink = std::function<void(std::vector<Bytes>&&)>;

    virtual ~AbstractIo() = default;

    virtual bool is_ready() = 0;

    // Returns 0 on success, otherwise the transport's error code. The sink
    // runs on the connection's reader thread.
    virtual int open(const std::string& name, PacketSink packet_sink) = 0;

    virtual void close() = 0;

    // Writes one framed command on the caller's thread; may throw when the
    // module does not take all of it, also when it takes nothing for
    // no_progress_limit.
    virtual void write(Bytes data, std::chrono::seconds no_progress_limit) = 0;

    virtual void set_baudrate(unsigned baudrate) = 0;

    // Makes a write blocked on another thread fail at once, and every later
    // one until the next open: the connection is being closed. Safe on any
    // thread.
    virtual void abort_writes() { }
};
