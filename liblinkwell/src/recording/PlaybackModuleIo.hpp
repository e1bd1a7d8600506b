// The ModuleIo of a playback connection: its reads take whole packets from
// a DataPlayer instead of a port, one per read or, with read_packets, all
// that are due and fit, and a module reset written to it rewinds the
// recording. The player must outlive it.
#pragma once

#include "link/ModuleIo.hpp"

class Logger;

namespace Sarvik {
class DataPlayer;
}

class PlaybackModuleIo : public ModuleIo {
public:
    // The longest a read waits when nothing is due. The application's calls
    // on the player end the wait at once, so it only bounds how long closing
    // the connection waits for the read in progress.
    static constexpr std::chrono::microseconds longest_wait { 10000 };

    PlaybackModuleIo(Logger& logger, Sarvik::DataPlayer& player);

    // The name is ignored: 0 when the player's recording is open already,
    // else whether the player could open it again.
    int open(const std::string& name) override;
    void set_baudrate(unsigned baudrate) override;
    // A framed module reset (0x7D 0x22 and at least one more byte) rewinds
    // the recording to its first record and is taken whole; anything else
    // is not taken (0).
    int write(const unsigned char* data, unsigned length) override;
    // One packet that is due, or 0 bytes after waiting until one can be due:
    // the packet held back is due, the application has acted on the player,
    // longest_wait or the timeout in ms has passed, whichever comes first.
    // Never negative.
    int read(unsigned char* buffer, unsigned size, unsigned timeout) override;
    bool reads_whole_packets() const override;
    // Every packet that is due, as long as they fit into max_bytes together,
    // or none after waiting as read does.
    int read_packets(
        std::vector<std::vector<uint8_t>>& packets, unsigned max_bytes, unsigned timeout) override;

private:
    // After a read that found nothing due: waits as read describes, unless
    // the application has acted on the player since it counted seen.
    void wait_for_packet(unsigned long long seen, unsigned timeout);

    Logger& logger_;
    Sarvik::DataPlayer& player_;
};
