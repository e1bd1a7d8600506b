#include "api/ConnectionParts.hpp"

#include "platform/TcpConnection.hpp"

std::unique_ptr<StdoutLogger> make_connection_logger(int threshold, Sarvik::AbstractLoggerIo* sink)
{
    std::unique_ptr<Sarvik::AbstractLoggerIo> owned(sink);
    auto logger = std::make_unique<StdoutLogger>(threshold, owned.get());
    owned.release();
    logger->log(5, std::string("createing logger ") + "StdoutLogger");
    return logger;
}

std::string tcp_device_name(unsigned ip, unsigned short port)
{
    return "tcp://" + platform::TcpConnection::describe(ip, port);
}
