// Everything a Linkwell owns, declared in the order in which it is built:
// each part refers only to parts declared before it, and the members are
// destroyed in reverse, so nothing outlives what it uses. Destroying the
// command interface removes every subscription, then closes the io (stopping
// its reader) and only then stops the dispatcher.
#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "common/UniqueLocked.hpp"

class AbstractFactory;
class RadarInterface;
class StdoutLogger;
class UartIo;

namespace Sarvik {

class Corvid;
class DataRecorder;
class Dax;
class Falcon;
class Gannet;
class NotSupported;
class Osprey;
class Transport;

class LinkwellPrivate {
public:
    // Builds the connection and opens the device (unless its name is
    // empty); throws "unable to open file: <name>" when it does not open.
    LinkwellPrivate(std::unique_ptr<AbstractFactory> factory, std::unique_ptr<StdoutLogger> logger,
        const std::string& device_name);
    ~LinkwellPrivate();
    LinkwellPrivate(const LinkwellPrivate&) = delete;
    LinkwellPrivate& operator=(const LinkwellPrivate&) = delete;

    std::unique_ptr<AbstractFactory> factory;
    std::unique_ptr<StdoutLogger> logger;
    std::unique_ptr<UartIo> io;
    std::string device_name;
    UniqueLocked<RadarInterface, std::recursive_mutex> connection;
    std::unique_ptr<Corvid> corvid;
    std::unique_ptr<Dax> dax;
    std::unique_ptr<Osprey> osprey;
    std::unique_ptr<Falcon> falcon;
    std::unique_ptr<Gannet> gannet;
    std::unique_ptr<DataRecorder> recorder;
    std::unique_ptr<Transport> transport;
    std::unique_ptr<NotSupported> not_supported;
};

} // namespace Sarvik
