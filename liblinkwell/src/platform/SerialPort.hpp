// One serial device held open for raw binary transfer: the system calls
// behind the link layer's serial ModuleIo. Each platform implements this
// class in a folder of its own (posix/ here).
//
// Reading, writing and changing the settings may happen on three threads at
// once; open and close only while nothing else uses the port. Every failing
// call leaves its reason in platform::last_error().
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "platform/WaitResult.hpp"

namespace platform {

class SerialPort {
public:
    SerialPort();
    // Closes the port.
    ~SerialPort();
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    // The device a port name stands for: a path is taken as it is, a bare
    // name ("ttyACM0") is looked up in the system's device folder. Nothing
    // for a name that must not be opened: an empty one, or a bare name that
    // would lead out of the device folder.
    static std::optional<std::string> device_path(const std::string& name);

    // Opens the device for reading and writing and holds it exclusively.
    // 0, or the system error code; a device that is not a terminal is
    // refused with error_not_a_terminal() before anything is applied to it.
    int open(const std::string& path);
    bool is_open() const;
    void close();

    // Drops whatever is pending in both directions.
    void discard_pending();
    // Raw 8 data bits, no parity, one stop bit, flow control off, at the
    // speed; false when the device did not take all of it (an unsupported
    // speed included).
    bool configure(unsigned baudrate);
    // Raises DTR; false for a device without modem lines.
    bool raise_dtr();

    // Interrupted once interrupt_reads has been called.
    WaitResult wait_readable(std::chrono::milliseconds limit);
    // What is there, at most size bytes, without waiting: the count, 0 for
    // nothing, -1 on failure or once the device has hung up.
    int read_now(unsigned char* buffer, unsigned size);
    // How many received bytes the driver holds.
    unsigned bytes_waiting();

    // What the driver takes now, without waiting: the count, 0 when its
    // buffer is full, -1 on failure.
    int write_now(const unsigned char* data, unsigned size);
    // Interrupted once abort_writes has been called.
    WaitResult wait_writable(std::chrono::milliseconds limit);
    // Cuts a wait_writable short at once, on any thread, and every later one
    // too: for a connection that is being closed under a blocked writer.
    void abort_writes();
    // The same for wait_readable: the reader is being stopped.
    void interrupt_reads();

private:
    struct State;
    std::unique_ptr<State> state_;
};

} // namespace platform
