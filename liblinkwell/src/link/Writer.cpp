#include "link/Writer.hpp"

#include <cassert>
#include <stdexcept>

#include "link/ModuleIo.hpp"
#include "log/ConsoleAndFileLogger.hpp"

Writer::Writer(Logger& logger, ModuleIo& io, Active* active)
    : logger_(logger)
    , io_(io)
    , active_(active)
{ }

Writer::~Writer()
{
    active_->stop();
}

void Writer::write(std::vector<uint8_t> bytes, std::chrono::seconds no_progress_limit)
{
    if (error_state_) {
        logger_.error("Failed to write all bytes to module: operation ignored due to error state");
        throw std::runtime_error("Failed to write all bytes to module in previous package\n");
    }
    if (logger_.logs(3)) {
        logger_.log(3, "sending: ");
        logger_.print_bytes(3, bytes);
    }
    const unsigned left = send_bytes(bytes, no_progress_limit);
    if (left > 0) {
        (logger_.serror() << "Failed to write all bytes to module"
                          << ", expected bytes written: " << bytes.size()
                          << ", actual bytes written: " << bytes.size() - left)
            .flush();
        throw std::runtime_error("Failed to write all bytes to module\n");
    }
    if (logger_.logs(3))
        logger_.log(3, "sent");
}

unsigned Writer::send_bytes(const std::vector<uint8_t>& bytes, std::chrono::seconds no_progress_limit)
{
    using Clock = std::chrono::steady_clock;
    unsigned left = static_cast<unsigned>(bytes.size());
    Clock::time_point last_progress = Clock::now();
    while (left > 0) {
        const unsigned char* next = bytes.data() + (bytes.size() - left);
        const int written = io_.write(next, left);
        if (written < 0)
            break;
        if (written == 0) {
            logger_.log(3, "write to module timed out");
            if (Clock::now() - last_progress >= no_progress_limit)
                break;
            continue;
        }
        assert(static_cast<unsigned int>(written) <= left
            && "static_cast<unsigned int>(bytesWritten) <= bytesLeft");
        // An I/O that claims more than it was given is broken; never step
        // past the end of the command for it.
        if (static_cast<unsigned>(written) > left)
            break;
        left -= static_cast<unsigned>(written);
        last_progress = Clock::now();
    }
    return left;
}
