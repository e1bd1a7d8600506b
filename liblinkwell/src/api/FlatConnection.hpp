// One module connection of the flat C interface: its logger, transport
// factory, packet I/O and command interface behind the connection's
// recursive mutex, without the per-model classes of the connector.
//
// The connection is shared: the host's connection handle holds it, and so
// does every call in progress and every recorder made over it. Destroying
// the handle closes the connection at once (a queue read waiting in another
// thread wakes and fails) and marks it closed, so that calls through boxes
// and recorders of that handle fail from then on; the parts themselves go
// when the last holder lets go, so nothing is ever used after it was freed.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

#include <linkwell/LockedRadarInterface.hpp>

#include "api/LockedCall.hpp"
#include "command/RadarInterface.hpp"

class AbstractFactory;
class StdoutLogger;
class UartIo;

class FlatConnection {
public:
    // Builds the connection over the factory and opens the device: the
    // connection, or null when the device does not open (logged at level 1)
    // or anything fails on the way; nothing is left running then. Log level
    // 0 writes no log at all, any other level writes a log file.
    static std::shared_ptr<FlatConnection> open(
        std::unique_ptr<AbstractFactory> factory, const std::string& device, unsigned log_level);
    ~FlatConnection();
    FlatConnection(const FlatConnection&) = delete;
    FlatConnection& operator=(const FlatConnection&) = delete;

    // Runs call(radar) under the connection's mutex and returns its result.
    template <typename Call> decltype(auto) locked(Call&& call)
    {
        return locked_call(*lock_box_, std::forward<Call>(call));
    }

    Sarvik::LockedRadarInterface& lock_box() { return *lock_box_; }
    StdoutLogger& logger() { return *logger_; }

    // Closes the module connection without waiting for the mutex: a queue
    // read in progress returns at once. From then on closed() is true.
    void close();
    bool closed() const { return closed_; }

private:
    FlatConnection(std::unique_ptr<StdoutLogger> logger, std::unique_ptr<AbstractFactory> factory);

    // Destroyed in reverse: the command interface (which closes the I/O)
    // before the I/O, the factory and last the logger.
    std::unique_ptr<StdoutLogger> logger_;
    std::unique_ptr<AbstractFactory> factory_;
    std::unique_ptr<UartIo> io_;
    std::unique_ptr<Sarvik::LockedRadarInterface> lock_box_;
    RadarInterface* radar_ = nullptr;
    std::atomic<bool> closed_ { false };
};

// The handles of the C interface (declared opaque in matlab_wrapper.h).
struct LinkwellHandle {
    std::shared_ptr<FlatConnection> connection;
};

// A box does not keep its connection: once the handle is destroyed and no
// call or recorder holds the connection any more, it is gone.
struct Z3_Type {
    std::weak_ptr<FlatConnection> connection;
};
