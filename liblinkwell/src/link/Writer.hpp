// The sending end of a connection: writes one framed command to the module on
// the caller's thread and turns a short write into an exception.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "link/Active.hpp"

class Logger;
class ModuleIo;

class Writer {
public:
    // Empty writes in a row before a command is given up (each one waits
    // ModuleIo::write_wait for the transport).
    static constexpr int max_empty_writes = 3;

    // Takes ownership of active; the writer keeps it alive and stops it when
    // it goes, but never posts work to it.
    Writer(Logger& logger, ModuleIo& io, Active* active);
    ~Writer();
    Writer(const Writer&) = delete;
    Writer& operator=(const Writer&) = delete;

    // Throws std::runtime_error when the module did not take every byte.
    void write(std::vector<uint8_t> bytes);

private:
    // Returns the number of bytes left unsent.
    unsigned send_bytes(const std::vector<uint8_t>& bytes);

    Logger& logger_;
    ModuleIo& io_;
    std::unique_ptr<Active> active_;
    // Nothing sets it: a failed write does not block the ones after it.
    bool error_state_ = false;
};
