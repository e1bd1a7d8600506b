// Plays a recording made of fuzzer bytes, an index file and one data file
// written to a temporary directory, through the playback I/O as a
// connection's reader reads it, driven by operations taken from the input:
// reads with buffers of any size, state requests, seeks, filters, rates,
// loop mode and module resets. Nothing may crash, throw, hang or read out of
// bounds; a read never places more bytes than its buffer holds.
//
// Input layout (the data reader target's): u16 little-endian length of the
// index file, u8 number of operation bytes, the operation bytes, the index
// file, then the data file, which is named "d" (the seeds' file maps name it).
#include <linkwell/DataPlayer.hpp>

#include "log/ConsoleAndFileLogger.hpp"
#include "recording/PlaybackModuleIo.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

void require(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "player invariant broken: %s\n", what);
        std::abort();
    }
}

struct TemporaryDirectory {
    TemporaryDirectory()
    {
        const bool shm = access("/dev/shm", W_OK) == 0;
        std::string pattern = std::string(shm ? "/dev/shm" : "/tmp") + "/linkwell-fuzz-player-XXXXXX";
        require(mkdtemp(pattern.data()) != nullptr, "a temporary directory");
        path = pattern;
    }
    ~TemporaryDirectory()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    std::string path;
};

const std::string& directory()
{
    static const TemporaryDirectory temporary;
    return temporary.path;
}

void write_file(const std::string& path, const uint8_t* data, size_t size)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

class Driver {
public:
    explicit Driver(Sarvik::DataPlayer& player)
        : player_(player)
        , io_(logger_, player)
    { }

    // Reads as the connection does, without waiting; the buffer is exactly
    // as long as asked, so that a read past it is seen.
    void read(unsigned length, int times)
    {
        auto buffer = std::make_unique<unsigned char[]>(std::max(length, 1u));
        for (int i = 0; i < times; ++i) {
            const int size = io_.read(buffer.get(), length, 0);
            require(size >= 0 && static_cast<unsigned>(size) <= length, "a read fits its buffer");
        }
    }

    void run(uint8_t op, uint8_t argument)
    {
        Sarvik::DataPlayer& p = player_;
        switch (op % 10) {
        case 0:
            read(argument < 16 ? argument : 6158, 1 + argument % 8);
            break;
        case 1:
            p.set_state(static_cast<Sarvik::DataPlayer::State>(argument % 3));
            break;
        case 2:
            p.set_position(p.get_duration() * argument / 250);
            require(p.get_position() >= 0 || p.get_playback_rate() < 0, "a position is never negative");
            break;
        case 3:
            p.set_filter(argument >= 24 ? 0xFFFFFFFFu : 1u << argument);
            break;
        case 4: {
            const float rates[]
                = { -1.0f, 0.0f, 0.5f, 1.0f, 2.0f, 1000.0f, NAN, INFINITY, -INFINITY, 1e-30f };
            p.set_playback_rate(rates[argument % 10]);
            break;
        }
        case 5:
            p.set_loop_mode_enabled(argument % 2 == 1);
            break;
        case 6: {
            const unsigned char reset[] = { 0x7D, 0x22, 0x00, 0x7E };
            io_.write(reset, argument % 5);
            break;
        }
        case 7:
            io_.open("");
            break;
        case 8:
            p.stop();
            p.play();
            break;
        case 9:
            require(p.get_position() <= std::max(p.get_duration(), 0LL) || p.get_playback_rate() < 0,
                "a position is at most the duration");
            break;
        }
    }

private:
    VoidLogger logger_;
    Sarvik::DataPlayer& player_;
    PlaybackModuleIo io_;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 3)
        return 0;
    const size_t index_size = data[0] | data[1] << 8;
    const size_t op_count = data[2];
    size_t at = 3;
    const uint8_t* ops = data + at;
    const size_t ops_size = std::min(op_count, size - at);
    at += ops_size;
    const size_t index_part = std::min(index_size, size - at);
    const std::string index = directory() + "/sarvik_recording_meta.dat";
    write_file(index, data + at, index_part);
    at += index_part;
    write_file(directory() + "/d", data + at, size - at);

    std::unique_ptr<Sarvik::DataPlayer> player;
    try {
        player = std::make_unique<Sarvik::DataPlayer>(index, -1);
    } catch (const std::runtime_error&) {
        return 0; // not a recording
    }
    player->set_playback_rate(-1.0f);
    player->play();
    Driver driver(*player);
    for (size_t i = 0; i + 1 < ops_size; i += 2)
        driver.run(ops[i], ops[i + 1]);
    // Play what is left.
    player->set_loop_mode_enabled(false);
    player->set_playback_rate(-1.0f);
    player->play();
    driver.read(6158, 2000);
    return 0;
}
