// The receiving end of a connection: on its own active thread it reads the
// module's bytes, feeds them to the connection's Protocol and hands the
// complete packets of each read, copied into vectors, to a sink at once. A
// transport that yields whole packets (ModuleIo::reads_whole_packets) is
// read packets at a time instead, and each read's packets go to the sink
// as they are, without the Protocol.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "link/Active.hpp"
#include "link/Protocol.hpp"

class Logger;
class ModuleIo;

class Reader {
public:
    // Gets the packets cut from one read, oldest first; never none. A sink
    // that moves the packets out of the vector, rather than the vector
    // itself, leaves its room to the reader for the next read.
    using Sink = std::function<void(std::vector<std::vector<uint8_t>>&&)>;

    static constexpr unsigned read_buffer_size = 6158;
    // How long one read waits for bytes, in ms: an idle connection wakes
    // its reader twice a second.
    static constexpr unsigned read_timeout = 500;

    // Takes ownership of active and protocol, also when it throws.
    Reader(Logger& logger, ModuleIo& io, Active* active, Protocol* protocol);
    // Stops the thread: the read in progress, and one it has already queued,
    // still finish, but their waits are cut short (ModuleIo::interrupt_reads),
    // so the I/O must not be read by anyone else afterwards.
    ~Reader();
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;

    // Sets the sink and starts reading on the active thread. Calling it again
    // replaces the sink, and restarts reading after an I/O failure.
    void start(Sink sink);

private:
    // One read task; queues the next one unless the I/O failed.
    void read();
    bool single_read();
    bool read_whole_packets();
    bool bail_out();
    void hand_over_packets();

    Logger& logger_;
    ModuleIo& io_;
    std::unique_ptr<Active> active_;
    std::unique_ptr<Protocol> protocol_;
    const bool whole_packets_;
    // Touched only on the active thread (start hands it over as a task).
    Sink sink_;
    bool reading_ = false;
    // Holds read_buffer_size bytes while a read fills it, and then exactly
    // the bytes read while they are dumped and parsed; unused for a
    // transport of whole packets.
    std::vector<uint8_t> buffer_;
    // The packets cut from the read being parsed; empty between reads.
    std::vector<std::vector<uint8_t>> packets_;
};
