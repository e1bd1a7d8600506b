// Talks to a module whose bootloader runs instead of its application
// firmware: reads the bootloader's information text, writes flash pages and
// starts the application.
//
// A client opens its port or socket when it is made and keeps it until it is
// destroyed; there is no open or close. A device that does not open throws
// nothing: the client then exists, and every request waits for its full
// timeout and throws std::runtime_error "Timeout waiting for response\n".
//
// A log sink or logger handed to a constructor belongs to the client from
// that moment, also when the constructor throws.
//
// Requests on one client must not overlap: use a client from one thread at a
// time.
#pragma once

#include <memory>
#include <string>

#include "AbstractLoggerIo.hpp"
#include "Bytes.hpp"
#include "linkwell_export.h"

class Logger;

namespace Sarvik {

class BootloaderImpl;

class LINKWELL_API Bootloader {
public:
    // Serial port, the caller's logger (must not be null).
    Bootloader(const std::string& port_name, Logger* logger);
    // Serial port, logging at most log_level into the caller's sink.
    Bootloader(const std::string& port_name, unsigned log_level, AbstractLoggerIo* sink);
    // Serial port, logging at most log_level to the console.
    Bootloader(const std::string& port_name, unsigned log_level);
    // Serial port, logging at most log_level to the console and/or to a
    // "debug_<date>_<time>.log" file in the working directory.
    Bootloader(const std::string& port_name, bool console_output, bool file_output, unsigned log_level);
    // TCP/IP; ip and port in network byte order.
    Bootloader(unsigned ip, unsigned short port, int log_level, AbstractLoggerIo* sink);
    // TCP/IP, logging to the console and to a debug file.
    Bootloader(unsigned ip, unsigned short port, int log_level);
    // The same at log level 5.
    Bootloader(unsigned ip, unsigned short port);
    ~Bootloader();
    Bootloader(const Bootloader&) = delete;
    Bootloader& operator=(const Bootloader&) = delete;

    // Writes one flash page: 0 when the bootloader acknowledged it, else 1.
    // Waits 8 seconds for the answer. Only the low 16 bits of the address
    // travel; a larger address is logged as a warning.
    int write_page(unsigned address, const Bytes& data);
    // Starts the application firmware: 0 when the bootloader acknowledged
    // it, else 1. Waits timeout_seconds (4 without an argument).
    int start_application(unsigned timeout_seconds);
    int start_application();
    // The bootloader's information text, or "error fetching info" when its
    // answer is too short to hold one. Waits 2 seconds.
    std::string get_bootloader_info();

private:
    std::unique_ptr<BootloaderImpl> d;
};

} // namespace Sarvik
