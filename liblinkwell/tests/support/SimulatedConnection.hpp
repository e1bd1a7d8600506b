// A RadarInterface connected to the simulated module over a real transport:
// loopback TCP, or a pseudo-terminal opened as a serial port. The pieces are
// those a connection's owner builds: a factory, a UartIo and the interface,
// with a RecordingLogger that keeps every line.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "command/RadarInterface.hpp"
#include "link/AbstractFactory.hpp"
#include "link/UartIo.hpp"
#include "simmodule/SimModule.hpp"
#include "support/RecordingLogger.hpp"

namespace testsupport {

// reset() without its 3-second waits: each wait is counted instead, and
// runs while_paused when set (to wait for what the 3 seconds stand for,
// such as the module having gone).
class QuickResetRadarInterface : public RadarInterface {
public:
    using RadarInterface::RadarInterface;

    int reconnect_pauses() const { return pauses_; }
    std::function<void()> while_paused;

protected:
    void pause_before_reconnect() override
    {
        ++pauses_;
        if (while_paused)
            while_paused();
    }

private:
    std::atomic<int> pauses_ { 0 };
};

class SimulatedConnection {
public:
    enum class Start {
        Open, // made with the device's name: default queues subscribed, device open
        Unopened, // made with an empty name; open() later
    };

    explicit SimulatedConnection(
        simmodule::Transport transport = simmodule::Transport::Tcp, Start start = Start::Open);
    ~SimulatedConnection();
    SimulatedConnection(const SimulatedConnection&) = delete;
    SimulatedConnection& operator=(const SimulatedConnection&) = delete;

    QuickResetRadarInterface& radar() { return *radar_; }
    simmodule::SimModule& module() { return module_; }
    RecordingLogger& log() { return logger_; }
    // What open() takes: the pseudo-terminal's path, or any name for TCP.
    const std::string& device_name() const { return device_name_; }

    // Destroys the interface (the rest stays).
    void destroy_radar() { radar_.reset(); }

    // Sends the packet from the module and waits until the dispatcher has
    // delivered it (and everything sent before it) to every subscription.
    void deliver(const simmodule::Bytes& payload);
    // Waits until the dispatcher has handled everything the module has sent.
    void settle();

private:
    RecordingLogger logger_;
    simmodule::SimModule module_;
    std::string device_name_;
    std::unique_ptr<AbstractFactory> factory_;
    std::unique_ptr<UartIo> io_;
    std::unique_ptr<QuickResetRadarInterface> radar_;
    int sentinels_ = 0;
};

// Polls the condition until it holds or the timeout passes; its last value.
bool eventually(
    const std::function<bool()>& condition, std::chrono::milliseconds timeout = std::chrono::seconds(10));

} // namespace testsupport
