// The Protocol of playback, whose I/O already yields whole packets: every
// chunk goes to the first subscribed handler unchanged.
#pragma once

#include <vector>

#include "link/Protocol.hpp"

class Logger;

class NoParseByteProtocol : public Protocol {
public:
    explicit NoParseByteProtocol(Logger& logger);

    void parse(const uint8_t* data, unsigned length) override;
    void subscribe(Handler handler) override;

private:
    // Kept for the transports' common shape; playback chunks have nothing to
    // report.
    [[maybe_unused]] Logger& logger_;
    std::vector<Handler> handlers_;
};
