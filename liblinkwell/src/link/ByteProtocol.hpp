// The Protocol of live serial and TCP/IP links: cuts the framed byte stream
// into packets with the codec's receive state machine, in a 20000-byte buffer
// of its own. Large: create it on the heap.
#pragma once

#include <array>
#include <cstdint>
#include <exception>
#include <vector>

#include "link/Protocol.hpp"
#include <linkwell/protocol_framing.h>

class Logger;

class ByteProtocol : public Protocol {
public:
    static constexpr unsigned buffer_size = 20000;

    explicit ByteProtocol(Logger& logger);
    ByteProtocol(const ByteProtocol&) = delete;
    ByteProtocol& operator=(const ByteProtocol&) = delete;

    // A handler that throws does not stop the rest of the chunk from being
    // cut and delivered; the first exception leaves parse once the chunk is
    // done.
    void parse(const uint8_t* data, unsigned length) override;
    void subscribe(Handler handler) override;

    // The word logged for a receive error code.
    static const char* error_text(unsigned code);

private:
    static void packet_handler(void* user, const uint8_t* packet, uint32_t length);
    static void error_handler(void* user, uint32_t code);
    void handle_packet(const uint8_t* packet, unsigned length);
    void handle_error(unsigned code);

    static constexpr std::size_t instance_storage_size = 100;
    static_assert(sizeof(ApplicationProtocol) <= instance_storage_size, "receiver record does not fit");

    Logger& logger_;
    ApplicationProtocol* instance_;
    alignas(ApplicationProtocol) unsigned char instance_memory_[instance_storage_size];
    std::array<uint8_t, buffer_size> buffer_;
    std::vector<Handler> handlers_;
    // The first exception a handler or the error log threw during the
    // current parse.
    std::exception_ptr handler_failure_;
};
