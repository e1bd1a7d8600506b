#include "link/OverlappedModuleIo.hpp"

#include <algorithm>
#include <chrono>
#include <optional>
#include <stdexcept>

#include "log/ConsoleAndFileLogger.hpp"
#include "platform/SystemError.hpp"

std::string GetLastErrorString()
{
    return platform::error_text(platform::last_error());
}

ModuleIo* createModuleIo(Logger& logger)
{
    logger.log(3, "creating moduel IO\n");
    return new OverlappedModuleIo(logger);
}

OverlappedModuleIo::OverlappedModuleIo(Logger& logger)
    : logger_(logger)
{
    logger_.log(5, "OverlappedModuleIo");
}

OverlappedModuleIo::~OverlappedModuleIo()
{
    logger_.log(3, "~OverlappedModuleIo");
}

int OverlappedModuleIo::open(const std::string& name)
{
    logger_.log(5, "open " + name);
    const std::optional<std::string> path = platform::SerialPort::device_path(name);
    const std::string shown = path.value_or(name);
    logger_.log(2, "Opening serial port \"" + shown + "\" - here we go");

    port_.close();
    failed_ = false;
    const int error = path ? port_.open(*path) : platform::error_invalid_name();
    if (error != 0) {
        logger_.log(5, shown + ": " + platform::error_text(error));
        logger_.error("Error creating file\n");
        return error;
    }
    port_.discard_pending();
    set_baudrate(115200);
    return 0;
}

void OverlappedModuleIo::set_baudrate(unsigned baudrate)
{
    // A failed port counts as closed: its settings cannot be read either.
    if (failed_ || !port_.is_open()) {
        logger_.error("Error getting device state\n");
        mark_failed();
        throw std::runtime_error("Unable to set serial params");
    }
    if (!port_.configure(baudrate)) {
        logger_.error("Error setting device parameters\n");
        mark_failed();
        throw std::runtime_error("Unable to set serial devicde parameters");
    }
    if (!port_.raise_dtr()) {
        // Pseudo-terminals and some adapters have no modem lines; the data
        // path works without them.
        logger_.log(5, "DTR not raised: " + GetLastErrorString());
    }
}

void OverlappedModuleIo::log_error(const std::string& text)
{
    lstream line = logger_.serror();
    line << text;
    line.flush();
}

void OverlappedModuleIo::mark_failed()
{
    failed_ = true;
}

void OverlappedModuleIo::abort_writes()
{
    port_.abort_writes();
}

void OverlappedModuleIo::interrupt_reads()
{
    port_.interrupt_reads();
}

int OverlappedModuleIo::write(const unsigned char* data, unsigned length)
{
    if (failed_ || !port_.is_open()) {
        log_error("call to WriteFile failed -- closing file -- "
            + platform::error_text(platform::error_bad_handle()));
        return -1;
    }
    unsigned written = 0;
    while (written < length) {
        const int n = port_.write_now(data + written, length - written);
        if (n > 0) {
            written += static_cast<unsigned>(n);
            continue;
        }
        if (n < 0) {
            log_error("call to WriteFile failed -- closing file -- " + GetLastErrorString());
            mark_failed();
            return -1;
        }
        // The driver's output buffer is full: wait a while for room.
        const platform::WaitResult room = port_.wait_writable(write_wait);
        if (room == platform::WaitResult::ready)
            continue;
        if (room == platform::WaitResult::timed_out)
            break; // what went out so far; the writer decides what follows
        if (room == platform::WaitResult::interrupted) {
            log_error("write aborted: the connection is closing");
            return -1;
        }
        log_error("GetOVerlappedResult failed -- closing file -- " + GetLastErrorString());
        mark_failed();
        return -1;
    }
    return static_cast<int>(written);
}

int OverlappedModuleIo::read(unsigned char* buffer, unsigned size, unsigned timeout)
{
    if (size == 0)
        return 0;
    const int first = do_single_read(buffer, 1, std::chrono::milliseconds(timeout));
    if (first < 0) {
        logger_.error("do_single_read failed\n");
        return first;
    }
    if (first == 0)
        return 0;

    const unsigned waiting = port_.bytes_waiting();
    if (logger_.logs(5))
        logger_.log(5, "bytes in in queue " + std::to_string(waiting));
    if (waiting == 0)
        return 1;

    // The driver holds them already: no wait.
    const int more = do_single_read(buffer + 1, std::min(waiting, size - 1), std::chrono::milliseconds(0));
    if (more < 0)
        return 1; // keep the byte already taken; the next read reports the error
    if (more == 0)
        logger_.log(5, "timeout multi byte");
    return 1 + more;
}

// Waits at most wait for data, then reads up to count bytes of what is
// there. 0 when nothing arrived or reads are interrupted, -1 when the port
// failed or hung up.
int OverlappedModuleIo::do_single_read(unsigned char* buffer, unsigned count, std::chrono::milliseconds wait)
{
    if (failed_ || !port_.is_open()) {
        log_error("ReadFile returned error: " + platform::error_text(platform::error_bad_handle()));
        return -1;
    }
    int got = 0;
    if (count > 0) {
        const platform::WaitResult data = port_.wait_readable(wait);
        if (data == platform::WaitResult::failed || data == platform::WaitResult::hung_up) {
            const std::string why
                = data == platform::WaitResult::failed ? GetLastErrorString() : "the device hung up";
            log_error("GetOverlappedResult return error: " + why);
            return -1;
        }
        if (data == platform::WaitResult::ready) {
            got = port_.read_now(buffer, count);
            if (got < 0) {
                log_error("ReadFile returned error: " + GetLastErrorString());
                return -1;
            }
        }
    }
    if (logger_.logs(6)) {
        logger_.log(6, "do_single_read returning: " + std::to_string(got));
        logger_.print_bytes(6, std::vector<uint8_t>(buffer, buffer + got));
    }
    return got;
}
