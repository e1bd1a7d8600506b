#include "recording/PlaybackModuleIo.hpp"

#include <linkwell/DataPlayer.hpp>

#include "log/ConsoleAndFileLogger.hpp"

#include <algorithm>

PlaybackModuleIo::PlaybackModuleIo(Logger& logger, Sarvik::DataPlayer& player)
    : logger_(logger)
    , player_(player)
{
    Trace trace(logger_, 3, "PlaybackModuleIo");
}

int PlaybackModuleIo::open(const std::string&)
{
    return player_.is_open() ? 0 : player_.open();
}

void PlaybackModuleIo::set_baudrate(unsigned) { }

int PlaybackModuleIo::write(const unsigned char* data, unsigned length)
{
    if (length < 3 || data[0] != 0x7D || data[1] != 0x22)
        return 0;
    player_.rewind();
    return static_cast<int>(length);
}

int PlaybackModuleIo::read(unsigned char* buffer, unsigned size, unsigned timeout)
{
    // Taken before the read, so that a call made while it runs ends the wait.
    const unsigned long long seen = player_.changes();
    unsigned placed = 0;
    player_.read_packet(buffer, size, &placed);
    if (placed == 0)
        wait_for_packet(seen, timeout);
    return static_cast<int>(placed);
}

bool PlaybackModuleIo::reads_whole_packets() const
{
    return true;
}

int PlaybackModuleIo::read_packets(
    std::vector<std::vector<uint8_t>>& packets, unsigned max_bytes, unsigned timeout)
{
    const unsigned long long seen = player_.changes();
    const std::size_t placed = player_.read_packets(packets, max_bytes);
    if (placed == 0)
        wait_for_packet(seen, timeout);
    return static_cast<int>(placed);
}

void PlaybackModuleIo::wait_for_packet(unsigned long long seen, unsigned timeout)
{
    // The reader thread asks again as soon as the read returns: without a
    // wait it would spin at full speed while nothing is due.
    if (timeout > 0)
        player_.wait_for_packet(
            seen, std::min<std::chrono::microseconds>(longest_wait, std::chrono::milliseconds(timeout)));
}
