#include "api/FlatConnection.hpp"

#include "link/AbstractFactory.hpp"
#include "link/UartIo.hpp"
#include "log/ConsoleAndFileLogger.hpp"

namespace {

// A host's log goes to a file only, and only when it asked for a level.
std::unique_ptr<StdoutLogger> make_logger(unsigned log_level)
{
    auto logger = std::make_unique<StdoutLogger>(
        static_cast<int>(log_level), new DefaultLoggerIo(log_level != 0, false));
    logger->log(5, std::string("createing logger ") + "StdoutLogger");
    logger->log(5, "Created logger\n");
    return logger;
}

} // namespace

FlatConnection::FlatConnection(std::unique_ptr<StdoutLogger> logger, std::unique_ptr<AbstractFactory> factory)
    : logger_(std::move(logger))
    , factory_(std::move(factory))
    , io_(std::make_unique<UartIo>(*logger_, *factory_))
{ }

FlatConnection::~FlatConnection() = default;

std::shared_ptr<FlatConnection> FlatConnection::open(
    std::unique_ptr<AbstractFactory> factory, const std::string& device, unsigned log_level)
{
    std::shared_ptr<FlatConnection> connection(
        new FlatConnection(make_logger(log_level), std::move(factory)));
    // Made without a name, which opens nothing, then opened: a device that
    // does not open is a result here, not an exception.
    auto radar = std::make_unique<RadarInterface>(
        *connection->io_, std::string(), *connection->factory_, *connection->logger_);
    if (radar->open(device) != 0) {
        connection->logger_->log(1, "__create_linkwell " + std::to_string(67) + " - ERROR allocating radar");
        return nullptr;
    }
    connection->radar_ = radar.get();
    connection->lock_box_ = std::make_unique<Sarvik::LockedRadarInterface>(radar.release(), true);
    return connection;
}

void FlatConnection::close()
{
    closed_ = true;
    // Not under the mutex: a reader that waits in a queue holds it. The
    // command interface lets a close in while such a read waits and wakes it.
    if (radar_)
        radar_->close();
}
