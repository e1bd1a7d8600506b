// Named module models for people (and tests) who want a module that simply
// behaves like one: it identifies itself, acknowledges commands, keeps its
// files and streams its data while its sensor runs; or a module waiting in
// its bootloader.
#pragma once

#include "simmodule/FileSystem.hpp"
#include "simmodule/SimModule.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace simmodule {

// What the module answers to the ping: the host tells normal mode, safe mode
// and a module it must not list apart by it.
namespace pong {
constexpr uint32_t normal = 0xAAEEAEEA;
constexpr uint32_t safe_mode = 0xFFEEFEEF;
constexpr uint32_t not_listed = 0xAEEAEEAA;
} // namespace pong

// The detection-zone limits an application module reports, in metres.
struct ZoneLimits {
    float min = 0;
    float max = 0;
    float step = 0;
};

// The data a module streams while its sensor runs.
enum class Streams {
    None,
    Presence, // presence single and presence moving list
    Respiration, // respiration status and respiration moving list
    // The older respiration module (20 frames a second, counted from 1): a
    // sleeper who breathes, now and then turns over, and lies still.
    OlderRespiration, // respiration status
    OlderSleep, // respiration status and sleep status
    // The newer respiration modules: sleep status, vital signs, respiration
    // status, moving list, normalized moving list and detection list.
    VitalSigns,
};

// What the frames of a radar chip hold (see ChipFrames).
enum class FramePattern {
    // A reflector that walks slowly between 1.5 and 2.5 m beyond the start
    // of the frame, over a faint floor, its phase turning from frame to
    // frame: something to look at.
    Target,
    // Value i of every frame is i + 1, so a test can check each value: a
    // down-converted frame of n bins has I_k = k + 1 and Q_k = n + k + 1.
    Ramp,
    // Every value 0.
    Zeros,
};

// The radar chip that the embedded platform lets the host drive. It keeps
// the chip's down-conversion, frame area and frame rate (50 10 with the
// parameter ids 13, 14 and 10) and answers their reads (50 11). The frame
// area it reports back is the one asked for, clamped to its limits and with
// both ends moved to the nearest bin (so the host learns the area the chip
// really uses). While the frame rate is above 0 it sends that many float
// data frames per second (A0 12, content id content::chip_frame, the frame
// counter as info, counting from 0 each time the host sets the rate): a
// down-converted frame holds the I values of its bins, then their Q values;
// an RF frame holds 8 samples per bin. A frame area of n bin lengths has
// n + 1 bins.
struct ChipFrames {
    FramePattern pattern = FramePattern::Target;
    float bin_length = 0.05144032835f;
    float area_min = -0.4f;
    float area_max = 30.0f;
};

// Everything a personality answers with. Start from personality(name) and
// change what a test needs; apply_personality then scripts the module.
struct Personality {
    std::string name;

    // The ping's answer; nothing: the ping's own value echoed.
    std::optional<uint32_t> pong;
    // System-information texts 0 to 6 (an empty text is answered as such).
    std::string item_number;
    std::string order_code;
    std::string firmware_id;
    std::string firmware_version;
    std::string build_info;
    std::string app_id_list;
    std::string serial_number;
    // System-information texts 8 and 9 of the embedded platform: its core id
    // and the name of its bootloader. Nothing: refused with error 1.
    std::optional<std::string> core_id;
    std::optional<std::string> bootloader_name;

    // Application settings read back (10 11 and the parameter id); nothing:
    // refused with error 1.
    std::optional<ZoneLimits> zone_limits;
    std::optional<uint32_t> tx_center_frequency;
    // Radar chip driver settings read back (50 11 and the parameter id), one
    // byte each; nothing: refused with error 1.
    std::optional<uint8_t> chip_tx_center_frequency;
    std::optional<uint8_t> downconversion;

    // The detection zone it keeps (set and read back as 10 10 / 10 11 with
    // the id 0x96A10A1C): at first the span of its zone limits. Modules
    // without zone limits acknowledge the setting and refuse the read.
    // The profile it runs: 90 74 answers it, loading a profile (21 id)
    // replaces it. Nothing: 90 74 is refused with error 1.
    std::optional<uint32_t> profile_id;
    // The span its measurements cover, in metres: the "RangeVec" line of
    // the parameter file it keeps (module_parameter_file).
    std::optional<std::pair<float, float>> range_vector;

    // The module's stored files (crash dumps and the like). A copy shares
    // the store, so a test that keeps one sees what the host did.
    FileSystem files;

    Streams streams = Streams::None;
    // Profiles that change what it streams: loading one (21 and the id)
    // makes it stream these from its next run of the sensor on. A module
    // without a profile id acknowledges any load as before.
    std::vector<std::pair<uint32_t, Streams>> profile_streams;
    // Whether it streams baseband frames and pulse-Doppler rows while the
    // host has them switched on (output control 41 10: 0x0C I/Q or 0x0D
    // amplitude/phase frames, 0x10 float or 0x11 byte rows; control 0 is
    // off) and the sensor runs.
    bool raw_outputs = false;

    // Set: the module drives a radar chip and streams its frames (the
    // embedded platform, with the Target pattern); `streams`, `raw_outputs`
    // and the sensor mode have nothing to do with them.
    std::optional<ChipFrames> chip;

    // Set: the module waits in its bootloader instead. It answers the
    // bootloader-information request (C0 00) with E0 and these bytes, a page
    // write (C0 10) and the application start (C0 20) with E0, and refuses
    // every other command with error 1. Everything above is then unused.
    std::optional<std::string> bootloader_info;
};

// Application modules in normal mode: "corvid" (the older respiration and
// sleep module: respiration status, and after its sleep profile 00F17B17 is
// loaded sleep status too; its respiration profile 1423A2D6 switches back), "osprey" (presence), "falcon",
// "merlin", "gannet" (respiration, heart rate and sleep: a sleeper breathing at about 1.5 m who moves for
// 12 s in every minute); "dax" (the embedded platform); "safe-mode"; "not-listed"
// (answers the ping with the pong of a module the host must not list); "bootloader" (a Falcon in its
// bootloader), "open-bootloader" (an embedded-platform module in its bootloader). And the two data demos
// "presence" and "respiration", which echo the ping's value.
std::vector<std::string> personality_names();

// The named personality. Throws std::invalid_argument for an unknown name.
Personality personality(const std::string& name);

// The text of the module parameter file that a module with zone limits and
// a range vector keeps (file type 0x037DD98C, identifier 0), which a
// recording stores with its session: among other lines,
// "RangeVec = {min, max};" and "ZoneSpan = {min, max};" (the zone limits).
// Empty without both.
Bytes module_parameter_file(const Personality& personality);

// The frame a chip of that pattern sends as frame `index` for a frame area
// of `bins` bins, down-converted or not (the values of its float data frame).
std::vector<float> chip_frame_values(FramePattern pattern, uint64_t index, uint32_t bins, bool downconverted);

// The names of the frame patterns ("target", "ramp", "zeros"), and the
// pattern of a name (nothing for an unknown one).
std::vector<std::string> frame_pattern_names();
std::optional<FramePattern> frame_pattern(const std::string& name);

// Replaces the module's rules and streams with those of the personality.
// Each of its streams sends `rate_hz` packets per second while the sensor
// mode is run (0x01, the initial mode); idle (0x11) pauses them. A frame of
// raw outputs is `rate_hz` baseband frames, and as many complete matrices of
// both Doppler instances (8 range rows of 2 x 16 values each). Answers: ping,
// get-system-info (any other code: error 1), the settings above, the file
// commands from its files, get and set of sensor mode and LED control, the
// profile id (error 1 without one), and everything else with an ack.
// The frames of a radar chip stream at the rate the host sets instead.
// Throws std::invalid_argument for a rate that is not positive.
void apply_personality(SimModule& module, const Personality& personality, double rate_hz);
// The same for a named personality; throws std::invalid_argument for an
// unknown name.
void apply_personality(SimModule& module, const std::string& name, double rate_hz);

} // namespace simmodule
