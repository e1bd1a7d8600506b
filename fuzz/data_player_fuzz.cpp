// Plays a recording made of fuzzer bytes, an index file and one data file
// written to a temporary directory, through the playback I/O as a
// connection's reader reads it, driven by operations taken from the input:
// reads with buffers of any size, state requests, seeks, filters, rates,
// loop mode and module resets. Nothing may crash, throw, hang or read out of
// bounds; a read never places more bytes than its buffer holds.
//
// Input layout: that of RecordingInput (the data reader target's too).
#include <linkwell/DataPlayer.hpp>

#include "RecordingInput.hpp"

#include "log/ConsoleAndFileLogger.hpp"
#include "recording/PlaybackModuleIo.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <vector>

namespace {

void require(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "player invariant broken: %s\n", what);
        std::abort();
    }
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
    RecordingInput input;
    if (!input.write(data, size))
        return 0;
    std::unique_ptr<Sarvik::DataPlayer> player;
    try {
        player = std::make_unique<Sarvik::DataPlayer>(input.index_file, -1);
    } catch (const std::runtime_error&) {
        return 0; // not a recording
    }
    player->set_playback_rate(-1.0f);
    player->play();
    Driver driver(*player);
    for (size_t i = 0; i + 1 < input.op_count; i += 2)
        driver.run(input.ops[i], input.ops[i + 1]);
    // Play what is left.
    player->set_loop_mode_enabled(false);
    player->set_playback_rate(-1.0f);
    player->play();
    driver.read(6158, 2000);
    return 0;
}
