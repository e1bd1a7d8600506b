#include "link/ByteProtocol.hpp"

#include <cassert>
#include <utility>

#include "log/ConsoleAndFileLogger.hpp"

ByteProtocol::ByteProtocol(Logger& logger)
    : logger_(logger)
{
    assert(getInstanceSize() <= instance_storage_size);
    instance_ = createApplicationProtocol(&ByteProtocol::packet_handler, &ByteProtocol::error_handler, this,
        instance_memory_, buffer_.data(), buffer_size);
}

void ByteProtocol::parse(const uint8_t* data, unsigned length)
{
    handler_failure_ = nullptr;
    parseData(instance_, data, length);
    // Handlers run inside the codec's loop, which must not be unwound halfway
    // (it would keep the delivered packet as stored bytes); their failure is
    // raised here, once the whole chunk has been cut and delivered.
    if (handler_failure_)
        std::rethrow_exception(std::exchange(handler_failure_, nullptr));
}

void ByteProtocol::subscribe(Handler handler)
{
    handlers_.push_back(std::move(handler));
}

void ByteProtocol::packet_handler(void* user, const uint8_t* packet, uint32_t length)
{
    assert(user && "user_data");
    auto* self = static_cast<ByteProtocol*>(user);
    try {
        self->handle_packet(packet, length);
    } catch (...) {
        if (!self->handler_failure_)
            self->handler_failure_ = std::current_exception();
    }
}

void ByteProtocol::error_handler(void* user, uint32_t code)
{
    assert(user && "user_data");
    auto* self = static_cast<ByteProtocol*>(user);
    try {
        self->handle_error(code);
    } catch (...) {
        if (!self->handler_failure_)
            self->handler_failure_ = std::current_exception();
    }
}

void ByteProtocol::handle_packet(const uint8_t* packet, unsigned length)
{
    // Only the first subscriber is served; a connection has exactly one.
    if (length == 0 || handlers_.empty())
        return;
    handlers_.front()(packet, length);
}

void ByteProtocol::handle_error(unsigned code)
{
    (logger_.serror() << "Error parsing incoming data: " << error_text(code)).flush();
}

const char* ByteProtocol::error_text(unsigned code)
{
    switch (code) {
    case PROTOCOL_ERROR_CRC:
        return "CRC error";
    case PROTOCOL_ERROR_LOST_BYTES:
        return "lost bytes";
    case PROTOCOL_ERROR_INCOMPLETE:
        return "incomplete packer";
    case PROTOCOL_ERROR_BUFFER_FULL:
        return "out of buffer";
    default:
        return "unknown error code";
    }
}
