#include <linkwell/Bootloader.hpp>

#include "api/BootloaderImpl.hpp"
#include "api/ConnectionParts.hpp"
#include "link/ConcreteFactory.hpp"
#include "link/TcpIpFactory.hpp"

namespace Sarvik {

// Every constructor takes over the logger or sink first, so that it is
// deleted whatever fails after.

Bootloader::Bootloader(const std::string& port_name, Logger* logger)
{
    std::unique_ptr<Logger> owned(logger);
    d = std::make_unique<BootloaderImpl>(std::make_unique<ConcreteFactory>(), std::move(owned), port_name);
}

Bootloader::Bootloader(const std::string& port_name, unsigned log_level, AbstractLoggerIo* sink)
    : Bootloader(port_name, make_connection_logger(static_cast<int>(log_level), sink).release())
{ }

Bootloader::Bootloader(const std::string& port_name, unsigned log_level)
    : Bootloader(port_name, true, false, log_level)
{ }

Bootloader::Bootloader(
    const std::string& port_name, bool console_output, bool file_output, unsigned log_level)
    : Bootloader(port_name, log_level, new DefaultLoggerIo(file_output, console_output))
{ }

Bootloader::Bootloader(unsigned ip, unsigned short port, int log_level, AbstractLoggerIo* sink)
{
    std::unique_ptr<Logger> logger = make_connection_logger(log_level, sink);
    d = std::make_unique<BootloaderImpl>(
        std::make_unique<TcpIpFactory>(ip, port), std::move(logger), tcp_device_name(ip, port));
}

Bootloader::Bootloader(unsigned ip, unsigned short port, int log_level)
    : Bootloader(ip, port, log_level, new DefaultLoggerIo(true, true))
{ }

Bootloader::Bootloader(unsigned ip, unsigned short port)
    : Bootloader(ip, port, 5)
{ }

Bootloader::~Bootloader() = default;

int Bootloader::write_page(unsigned address, const Bytes& data)
{
    return d->write_page(address, data);
}

int Bootloader::start_application(unsigned timeout_seconds)
{
    return d->start_application(timeout_seconds);
}

int Bootloader::start_application()
{
    return d->start_application();
}

std::string Bootloader::get_bootloader_info()
{
    return d->get_bootloader_info();
}

} // namespace Sarvik
