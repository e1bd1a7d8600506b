// The state and requests of a Bootloader: the parts of one module connection
// without a command interface. Requests are framed by Commands and every
// answer of the bootloader is a packet whose first byte is 0xE0.
#pragma once

#include <memory>
#include <string>

#include <linkwell/Bytes.hpp>

class AbstractFactory;
class Commands;
class Logger;
class RadarCommunicator;
class UartIo;

namespace Sarvik {

class BootloaderImpl {
public:
    // Builds the connection over the factory and opens the device. A device
    // that does not open is logged by the link and throws nothing. What was
    // built is destroyed in reverse order when a part throws.
    BootloaderImpl(std::unique_ptr<AbstractFactory> factory, std::unique_ptr<Logger> logger,
        const std::string& device_name);
    // Closes the connection and joins its threads before the logger and the
    // factory go.
    ~BootloaderImpl();
    BootloaderImpl(const BootloaderImpl&) = delete;
    BootloaderImpl& operator=(const BootloaderImpl&) = delete;

    int write_page(unsigned address, const Bytes& data);
    int start_application(unsigned timeout_seconds);
    int start_application();
    std::string get_bootloader_info();

private:
    // Sends the frame and returns the first packet beginning with 0xE0;
    // throws the communicator's timeout error when none comes in time.
    Bytes request(unsigned timeout_seconds, const Bytes& frame);

    // Declared in the order of construction; destroyed in reverse.
    std::unique_ptr<AbstractFactory> factory_;
    std::unique_ptr<Logger> logger_;
    std::unique_ptr<UartIo> io_;
    std::string device_name_;
    std::unique_ptr<RadarCommunicator> communicator_;
    std::unique_ptr<Commands> commands_;
};

} // namespace Sarvik
