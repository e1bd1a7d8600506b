// simmodule: a simulated radar module to try the library and the desktop
// program without hardware.
//
//   simmodule [--pty | --tcp [PORT]] [--personality NAME] [identity options] [--rate HZ] [--verbose]
//
// The first line on standard output is the pseudo-terminal's path (--pty,
// the default) or the TCP port on 127.0.0.1 (--tcp); the rest goes to
// standard error. Runs until SIGINT or SIGTERM.
#include "simmodule/Personality.hpp"
#include "simmodule/SimModule.hpp"
#include "testbytes/TestBytes.hpp"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace {

// Changes to the chosen personality's identity.
struct Identity {
    std::optional<std::string> order_code;
    std::optional<std::string> item_number;
    std::optional<std::string> firmware_id;
    std::optional<std::string> firmware_version;
    std::optional<std::string> serial_number;
    std::optional<std::string> build_info;
    std::optional<simmodule::ZoneLimits> zone_limits;
    std::optional<uint32_t> tx_frequency;
    std::vector<uint32_t> crash_dumps;
    std::optional<std::string> bootloader_info;
    std::optional<simmodule::FramePattern> pattern;
};

struct Options {
    simmodule::Transport transport = simmodule::Transport::Pty;
    uint16_t port = 0;
    std::string personality = "presence";
    Identity identity;
    double rate_hz = 10.0;
    bool verbose = false;
};

void print_usage(std::ostream& out)
{
    out << "usage: simmodule [--pty | --tcp [PORT]] [--personality NAME] [--rate HZ] [--verbose]\n"
           "  --pty               serve a pseudo-terminal and print its path (default)\n"
           "  --tcp [PORT]        listen on 127.0.0.1:PORT (0 or none: a free port) and print the port\n"
           "  --personality NAME  the module to play:";
    for (const std::string& name : simmodule::personality_names())
        out << ' ' << name;
    out << " (default presence)\n"
           "  --order-code TEXT, --item-number TEXT, --firmware-id TEXT, --firmware-version TEXT,\n"
           "  --serial-number TEXT, --build-info TEXT\n"
           "                      the identity texts the module reports instead of the personality's\n"
           "  --zone-limits MIN,MAX,STEP  the detection-zone limits it reports, in metres\n"
           "  --tx-frequency BAND the transmitter centre-frequency band it reports (3 low, 4 high)\n"
           "  --crash-dump ID     it keeps a crash-dump file with this identifier (repeatable)\n"
           "  --bootloader-info TEXT  it waits in its bootloader, which reports this text\n"
           "  --pattern NAME      what the radar chip's frames hold (dax):";
    for (const std::string& name : simmodule::frame_pattern_names())
        out << ' ' << name;
    out << " (default target)\n"
           "  --rate HZ           data packets per second of each stream (default 10)\n"
           "  --verbose           log every command received on standard error\n";
}

std::optional<unsigned long> parse_number(const std::string& text, unsigned long max)
{
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos || text.size() > 9)
        return std::nullopt;
    const unsigned long value = std::stoul(text);
    if (value > max)
        return std::nullopt;
    return value;
}

std::optional<double> parse_rate(const std::string& text)
{
    try {
        size_t used = 0;
        const double value = std::stod(text, &used);
        if (used == text.size() && value > 0 && value <= 1e7)
            return value;
    } catch (const std::exception&) { }
    return std::nullopt;
}

std::optional<simmodule::ZoneLimits> parse_zone_limits(const std::string& text)
{
    std::istringstream in(text);
    simmodule::ZoneLimits limits;
    char comma1 = 0;
    char comma2 = 0;
    if (in >> limits.min >> comma1 >> limits.max >> comma2 >> limits.step && comma1 == ',' && comma2 == ','
        && (in >> std::ws).eof())
        return limits;
    return std::nullopt;
}

// Takes the value of an identity option; false when `arg` is none.
bool parse_identity_option(const std::string& arg, const std::string& value, Identity& identity, bool& bad)
{
    const struct {
        const char* option;
        std::optional<std::string> Identity::*field;
    } text_options[] = {
        { "--order-code", &Identity::order_code },
        { "--item-number", &Identity::item_number },
        { "--firmware-id", &Identity::firmware_id },
        { "--firmware-version", &Identity::firmware_version },
        { "--serial-number", &Identity::serial_number },
        { "--build-info", &Identity::build_info },
        { "--bootloader-info", &Identity::bootloader_info },
    };
    for (const auto& option : text_options) {
        if (arg == option.option) {
            identity.*option.field = value;
            return true;
        }
    }
    if (arg == "--zone-limits") {
        identity.zone_limits = parse_zone_limits(value);
        bad = !identity.zone_limits;
        return true;
    }
    if (arg == "--pattern") {
        identity.pattern = simmodule::frame_pattern(value);
        bad = !identity.pattern;
        return true;
    }
    if (arg == "--tx-frequency" || arg == "--crash-dump") {
        const auto number = parse_number(value, 0xFFFFFFFFul);
        bad = !number;
        if (number && arg == "--tx-frequency")
            identity.tx_frequency = static_cast<uint32_t>(*number);
        else if (number)
            identity.crash_dumps.push_back(static_cast<uint32_t>(*number));
        return true;
    }
    return false;
}

// Returns the options, or nothing after printing what was wrong.
std::optional<Options> parse_arguments(int argc, char** argv)
{
    Options options;
    bool bad_value = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool has_value = i + 1 < argc;
        if (arg == "--pty") {
            options.transport = simmodule::Transport::Pty;
        } else if (arg == "--tcp") {
            options.transport = simmodule::Transport::Tcp;
            if (has_value && argv[i + 1][0] != '-') {
                const auto port = parse_number(argv[++i], 65535);
                if (!port) {
                    std::cerr << "simmodule: not a port number: " << argv[i] << '\n';
                    return std::nullopt;
                }
                options.port = static_cast<uint16_t>(*port);
            }
        } else if (arg == "--personality" && has_value) {
            options.personality = argv[++i];
        } else if (arg == "--rate" && has_value) {
            const auto rate = parse_rate(argv[++i]);
            if (!rate) {
                std::cerr << "simmodule: not a rate in packets per second: " << argv[i] << '\n';
                return std::nullopt;
            }
            options.rate_hz = *rate;
        } else if (has_value && arg.rfind("--", 0) == 0
            && parse_identity_option(arg, argv[i + 1], options.identity, bad_value)) {
            if (bad_value) {
                std::cerr << "simmodule: not a value for " << arg << ": " << argv[i + 1] << '\n';
                return std::nullopt;
            }
            ++i;
        } else if (arg == "--verbose") {
            options.verbose = true;
        } else if (arg == "--help" || arg == "-h") {
            print_usage(std::cout);
            std::exit(0);
        } else {
            std::cerr << "simmodule: unexpected argument: " << arg << '\n';
            return std::nullopt;
        }
    }
    return options;
}

simmodule::Personality personality_of(const Options& options)
{
    simmodule::Personality p = simmodule::personality(options.personality);
    const Identity& id = options.identity;
    p.order_code = id.order_code.value_or(p.order_code);
    p.item_number = id.item_number.value_or(p.item_number);
    p.firmware_id = id.firmware_id.value_or(p.firmware_id);
    p.firmware_version = id.firmware_version.value_or(p.firmware_version);
    p.serial_number = id.serial_number.value_or(p.serial_number);
    p.build_info = id.build_info.value_or(p.build_info);
    if (id.zone_limits) {
        p.zone_limits = id.zone_limits;
        // The parameter file it keeps tells the same zone.
        if (p.files.contains(simmodule::file_type::parameter_file, 0))
            p.files.store(simmodule::file_type::parameter_file, 0, simmodule::module_parameter_file(p));
    }
    if (id.tx_frequency)
        p.tx_center_frequency = id.tx_frequency;
    for (uint32_t identifier : id.crash_dumps) {
        const std::string dump = "simulated crash dump " + std::to_string(identifier);
        p.files.store(
            simmodule::file_type::crash_dump, identifier, simmodule::Bytes(dump.begin(), dump.end()));
    }
    if (id.bootloader_info)
        p.bootloader_info = id.bootloader_info;
    if (id.pattern && p.chip)
        p.chip->pattern = *id.pattern;
    return p;
}

int run(const Options& options)
{
    // Blocked before the module's thread starts, so it inherits the mask and
    // the signals reach only sigwait below.
    sigset_t stop_signals;
    sigemptyset(&stop_signals);
    sigaddset(&stop_signals, SIGINT);
    sigaddset(&stop_signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);

    simmodule::SimModule module(options.transport, options.port);
    if (options.verbose)
        module.set_command_observer([](const simmodule::Bytes& command) {
            std::fprintf(stderr, "command: %s\n", testbytes::to_hex(command).c_str());
        });
    simmodule::apply_personality(module, personality_of(options), options.rate_hz);

    if (options.transport == simmodule::Transport::Pty)
        std::cout << module.pty_path() << std::endl;
    else
        std::cout << module.tcp_port() << std::endl;
    std::cerr << "simmodule: " << options.personality << " module on "
              << (options.transport == simmodule::Transport::Pty
                         ? module.pty_path()
                         : "127.0.0.1:" + std::to_string(module.tcp_port()))
              << ", " << options.rate_hz << " packets/s per stream; SIGINT or SIGTERM stops it" << std::endl;

    int signal = 0;
    sigwait(&stop_signals, &signal);
    module.stop();
    std::cerr << "simmodule: stopped; " << module.received_count() << " commands received, "
              << module.data_packets_sent() << " data packets sent, " << module.framing_errors()
              << " malformed frames or stray bytes" << std::endl;
    for (const std::string& error : module.errors())
        std::cerr << "simmodule: error: " << error << '\n';
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    const std::optional<Options> options = parse_arguments(argc, argv);
    if (!options) {
        print_usage(std::cerr);
        return 2;
    }
    try {
        return run(*options);
    } catch (const std::exception& e) {
        std::cerr << "simmodule: " << e.what() << '\n';
        return 1;
    }
}
