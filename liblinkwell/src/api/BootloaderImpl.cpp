#include "api/BootloaderImpl.hpp"

#include <stdexcept>

#include "link/AbstractFactory.hpp"
#include "link/RadarCommunicator.hpp"
#include "link/UartIo.hpp"
#include "log/ConsoleAndFileLogger.hpp"
#include "protocol/Commands.hpp"

namespace Sarvik {

namespace {

constexpr uint8_t bootloader_reply = 0xE0;
constexpr unsigned write_page_timeout = 8;
constexpr unsigned start_application_timeout = 4;
constexpr unsigned bootloader_info_timeout = 2;
// The page address travels in two bytes.
constexpr unsigned largest_page_address = 0xFFFF;

int acknowledged(const Bytes& reply)
{
    return !reply.empty() && reply[0] == bootloader_reply ? 0 : 1;
}

Logger& checked(const std::unique_ptr<Logger>& logger)
{
    if (!logger)
        throw std::invalid_argument("the bootloader client's logger must not be null");
    return *logger;
}

} // namespace

BootloaderImpl::BootloaderImpl(
    std::unique_ptr<AbstractFactory> factory, std::unique_ptr<Logger> logger, const std::string& device_name)
    : factory_(std::move(factory))
    , logger_(std::move(logger))
    , io_(std::make_unique<UartIo>(checked(logger_), *factory_))
    , device_name_(device_name)
    , communicator_(std::make_unique<RadarCommunicator>(*io_, *factory_, *logger_))
    , commands_(std::make_unique<Commands>())
{
    // A device that did not open is logged by the communicator; requests
    // then time out.
    communicator_->open(device_name_);
}

BootloaderImpl::~BootloaderImpl() = default;

Bytes BootloaderImpl::request(unsigned timeout_seconds, const Bytes& frame)
{
    return communicator_->send(timeout_seconds, frame, Bytes { bootloader_reply });
}

int BootloaderImpl::write_page(unsigned address, const Bytes& data)
{
    Trace trace(*logger_, 3, "write_page");
    logger_->log(1, "page: " + std::to_string(address));
    if (address > largest_page_address)
        logger_->error("WARNING: page address " + std::to_string(address)
            + " does not fit in 16 bits; the page at " + std::to_string(address & largest_page_address)
            + " is written instead");
    return acknowledged(request(write_page_timeout, commands_->create_write_page(address, data)));
}

int BootloaderImpl::start_application(unsigned timeout_seconds)
{
    Trace trace(*logger_, 3, "start_application");
    return acknowledged(request(timeout_seconds, commands_->create_start_application_command()));
}

int BootloaderImpl::start_application()
{
    return start_application(start_application_timeout);
}

std::string BootloaderImpl::get_bootloader_info()
{
    Trace trace(*logger_, 3, "get_bootloader_info");
    const Bytes reply = request(bootloader_info_timeout, commands_->create_get_bootloader_info());
    // The reply byte and at least four bytes of text.
    if (reply.size() <= 4)
        return "error fetching info";
    return std::string(reply.begin() + 1, reply.end());
}

} // namespace Sarvik
