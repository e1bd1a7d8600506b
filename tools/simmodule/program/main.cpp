// simmodule: a simulated radar module to try the library and the desktop
// program without hardware.
//
//   simmodule [--pty | --tcp [PORT]] [--personality NAME] [--rate HZ] [--verbose]
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
#include <string>

namespace {

struct Options {
    simmodule::Transport transport = simmodule::Transport::Pty;
    uint16_t port = 0;
    std::string personality = "presence";
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

// Returns the options, or nothing after printing what was wrong.
std::optional<Options> parse_arguments(int argc, char** argv)
{
    Options options;
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
    simmodule::apply_personality(module, options.personality, options.rate_hz);

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
