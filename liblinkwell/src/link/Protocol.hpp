// Turns the byte chunks that the reader thread gets from a module into whole
// packets and hands each packet to the first subscribed handler.
#pragma once

#include <cstdint>
#include <functional>

class Protocol {
public:
    // The packet pointer is valid only during the call.
    using Handler = std::function<void(const uint8_t*, unsigned)>;

    virtual ~Protocol() = default;
    // Called on the reader thread; handlers run inside it.
    virtual void parse(const uint8_t* data, unsigned length) = 0;
    // Called once, before reading starts.
    virtual void subscribe(Handler handler) = 0;
};
