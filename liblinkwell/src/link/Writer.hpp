// The sending end of a connection: writes one framed command to the module on
// the caller's thread and turns a short write into an exception.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <vector>

#include "link/Active.hpp"

class Logger;
class ModuleIo;

class Writer {
public:
    // Takes ownership of active; the writer keeps it alive and stops it when
    // it goes, but never posts work to it.
    Writer(Logger& logger, ModuleIo& io, Active* active);
    ~Writer();
    Writer(const Writer&) = delete;
    Writer& operator=(const Writer&) = delete;

    // Throws std::runtime_error when the module did not take every byte: the
    // transport failed, or took nothing for no_progress_limit (checked after
    // each ModuleIo::write_wait).
    void write(std::vector<uint8_t> bytes, std::chrono::seconds no_progress_limit);

private:
    // Returns the number of bytes left unsent.
    unsigned send_bytes(const std::vector<uint8_t>& bytes, std::chrono::seconds no_progress_limit);

    Logger& logger_;
    ModuleIo& io_;
    std::unique_ptr<Active> active_;
    // Nothing sets it: a failed write does not block the ones after it.
    bool error_state_ = false;
};
