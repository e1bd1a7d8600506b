// The serial-port ModuleIo: a module attached to a serial device (USB serial
// adapter or native UART), run in raw mode at 115200 baud, 8N1.
//
// The reader thread reads while a caller's thread writes and may change the
// line speed; all three may overlap. A read waits for a first byte at most
// its timeout, or until interrupt_reads, then takes everything the driver
// already holds.
#pragma once

#include <atomic>
#include <string>

#include "link/ModuleIo.hpp"
#include "platform/SerialPort.hpp"

class Logger;

class OverlappedModuleIo : public ModuleIo {
public:
    explicit OverlappedModuleIo(Logger& logger);
    ~OverlappedModuleIo() override;
    OverlappedModuleIo(const OverlappedModuleIo&) = delete;
    OverlappedModuleIo& operator=(const OverlappedModuleIo&) = delete;

    // A name starting with "/" is a path; any other name is a device in the
    // system's device folder ("ttyACM0" opens "/dev/ttyACM0"). The port is
    // held exclusively. Returns 0 or the system error code: an empty name, or
    // a bare name with "/" or ".." in it, is refused (EINVAL) before anything
    // is opened, and a device that is not a terminal (ENOTTY) before any
    // setting is applied. Throws std::runtime_error only when a terminal
    // refuses the line settings.
    int open(const std::string& name) override;
    // Applies the speed, raw 8N1 framing and DTR; throws std::runtime_error on
    // failure, after which the port counts as failed.
    void set_baudrate(unsigned baudrate) override;
    // Writes what the port takes within one write_wait: the count, 0 when it
    // took nothing, -1 on failure (which marks the port failed) or once
    // abort_writes has been called.
    int write(const unsigned char* data, unsigned length) override;
    // 0 after timeout ms without data or once interrupt_reads has been
    // called, -1 once the port has failed or the device hung up.
    int read(unsigned char* buffer, unsigned size, unsigned timeout) override;
    void abort_writes() override;
    void interrupt_reads() override;

private:
    int do_single_read(unsigned char* buffer, unsigned count, std::chrono::milliseconds wait);
    void mark_failed();
    void log_error(const std::string& text);

    // Held from a successful open to destruction. A failure does not close
    // it: the reader thread may still be inside read, and a descriptor
    // closed under it could be reused for an unrelated file.
    platform::SerialPort port_;
    std::atomic<bool> failed_ { false };
    Logger& logger_;
};

// The serial factory's maker: a new OverlappedModuleIo. A factory member of
// the same name must call it as ::createModuleIo.
ModuleIo* createModuleIo(Logger& logger);

// The text of the calling thread's last system error, or an empty string
// when there is none.
std::string GetLastErrorString();
