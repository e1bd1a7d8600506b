// A module that can be programmed: it runs its application on one
// pseudo-terminal, enters its bootloader on the bootloader command (02 and a
// key it accepts), and then, like a module whose USB device enumerates anew,
// drops that port and comes back in its bootloader on another one. Started
// from its bootloader, it drops that port once more and comes back running
// its application on a third. A test keeps its port list up to date through
// the port-change callback:
//
//   PseudoTerminalPorts ports;
//   ReenumeratingModule module(script, [&](const std::string& gone, const std::string& appeared) {
//       if (!gone.empty()) ports.remove(QString::fromStdString(gone));
//       if (!appeared.empty()) ports.add(...appeared...);
//   });
//
// One thread of its own makes the changes; it is joined by the destructor.
#pragma once

#include "simmodule/Flash.hpp"
#include "simmodule/Personality.hpp"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace simmodule {

class ReenumeratingModule {
public:
    using Duration = std::chrono::steady_clock::duration;
    enum class Mode { Application, Bootloader };
    // Called when its port has gone (`appeared` empty: before its last
    // answer there goes out) or a new one has appeared (`gone` empty), on
    // one of the module's threads, and once from the constructor with the
    // first port. It must not call the module back.
    using PortChange = std::function<void(const std::string& gone, const std::string& appeared)>;

    // The first key the host sends with the bootloader command.
    static constexpr uint32_t first_bootloader_key = 0x3F6C2B94;

    struct Script {
        Personality application = personality("falcon");
        // The bootloader's answers and its flash.
        BootloaderScript bootloader;
        double rate_hz = 10;
        // The keys with which the bootloader command is accepted; any other
        // key is refused with error 1.
        std::vector<uint32_t> bootloader_keys { first_bootloader_key };
        // Between the old port going and the new one appearing.
        Duration reenumeration_delay {};
        // False: after leaving its application it never shows up again.
        bool comes_back = true;
        // True: it changes mode on the same port, as the older modules do.
        bool keeps_port = false;
        Mode starts_in = Mode::Application;
    };

    // Throws std::system_error when no pseudo-terminal can be opened.
    ReenumeratingModule(Script script, PortChange on_port_change);
    ~ReenumeratingModule();
    ReenumeratingModule(const ReenumeratingModule&) = delete;
    ReenumeratingModule& operator=(const ReenumeratingModule&) = delete;

    // The port it is on now; empty while it is gone.
    std::string pty_path() const;
    Mode mode() const;
    // Waits until it is on a port in that mode; false on timeout.
    bool wait_for(Mode mode, Duration timeout) const;
    // Ports it has been on so far, the first included.
    unsigned enumerations() const;
    // Every payload the host sent, over every port, in order.
    std::vector<Bytes> received() const;
    // The bootloader's flash (shared with the script's).
    Flash flash() const;

private:
    class Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace simmodule
