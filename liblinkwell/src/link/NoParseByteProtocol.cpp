#include "link/NoParseByteProtocol.hpp"

NoParseByteProtocol::NoParseByteProtocol(Logger& logger)
    : logger_(logger)
{ }

void NoParseByteProtocol::parse(const uint8_t* data, unsigned length)
{
    if (length == 0 || handlers_.empty())
        return;
    handlers_.front()(data, length);
}

void NoParseByteProtocol::subscribe(Handler handler)
{
    handlers_.push_back(std::move(handler));
}
