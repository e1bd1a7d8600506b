// Simulated modules in a child process, so that this process's CPU time is
// the client's alone. Each module listens on a port of its own on 127.0.0.1,
// answers ping and, once its client has connected, streams packets at a
// steady rate. This process can make a module fall silent or hang up, and
// learns at the end what each module sent and dropped, and the CPU time the
// modules took.
#pragma once

#include "LinkBench.hpp"

#include "simmodule/Messages.hpp"
#include "simmodule/SimModule.hpp"

#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <vector>

namespace bench {

class ModuleProcess {
public:
    // What every module streams.
    struct Stream {
        size_t packet_size = 0;
        double rate = 0; // packets/s; none for 0
        // numbered_packet with the stream's index instead of the same
        // data_packet every time.
        bool numbered = false;
    };

    // What the modules did, told by the process as it ends.
    struct Result {
        std::vector<uint64_t> sent; // data packets, by module
        // Stream packets dropped because the client did not read fast
        // enough, by module.
        std::vector<uint64_t> dropped;
        double cpu_seconds = 0; // user and system time of the process
        bool told = false; // false when the process ended without telling
    };

    explicit ModuleProcess(Stream stream, size_t module_count = 1)
        : ports_(module_count)
    {
        if (module_count == 0 || module_count > 256)
            throw std::invalid_argument("1 to 256 modules");
        if (stream.rate > 0 && stream.packet_size < (stream.numbered ? 1 + packet_number_size : 1))
            throw std::invalid_argument("packets too short for the stream");
        int channel[2];
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, channel) != 0)
            throw std::runtime_error("socketpair failed");
        child_ = ::fork();
        if (child_ < 0) {
            ::close(channel[0]);
            ::close(channel[1]);
            throw std::runtime_error("fork failed");
        }
        if (child_ == 0) {
            ::close(channel[0]);
            run_child(channel[1], stream, module_count);
        }
        ::close(channel[1]);
        channel_ = channel[0];
        if (!read_all(channel_, ports_.data(), ports_.size() * sizeof ports_[0])) {
            finish();
            throw std::runtime_error("the module process did not start");
        }
    }

    ~ModuleProcess() { finish(); }

    ModuleProcess(const ModuleProcess&) = delete;
    ModuleProcess& operator=(const ModuleProcess&) = delete;

    size_t module_count() const { return ports_.size(); }
    uint16_t port(size_t module = 0) const { return ports_.at(module); }

    // The module falls silent: its stream stops, its connection stays.
    void stop_stream(size_t module) { command('s', module); }
    // The module drops its connection.
    void hang_up(size_t module) { command('h', module); }

    // Stops the modules and waits for the process to end. Later calls give
    // the same result.
    const Result& finish()
    {
        if (result_)
            return *result_;
        Result result;
        const size_t count = ports_.size();
        ::shutdown(channel_, SHUT_WR); // the process's cue to stop
        std::vector<uint64_t> figures(2 * count);
        result.told = read_all(channel_, figures.data(), figures.size() * sizeof figures[0]);
        if (result.told) {
            result.sent.assign(figures.begin(), figures.begin() + static_cast<std::ptrdiff_t>(count));
            result.dropped.assign(figures.begin() + static_cast<std::ptrdiff_t>(count), figures.end());
        }
        ::close(channel_);
        rusage usage {};
        int status = 0;
        while (::wait4(child_, &status, 0, &usage) < 0 && errno == EINTR) { }
        result.cpu_seconds = cpu_seconds(usage);
        result_ = std::move(result);
        return *result_;
    }

private:
    void command(char what, size_t module)
    {
        if (result_ || module >= ports_.size())
            return;
        const char bytes[2] = { what, static_cast<char>(module) };
        write_all(channel_, bytes, sizeof bytes);
    }

    [[noreturn]] static void run_child(int channel, Stream stream, size_t count)
    {
        int status = 1;
        try {
            std::vector<std::unique_ptr<simmodule::SimModule>> modules;
            std::vector<uint16_t> ports;
            for (size_t i = 0; i < count; ++i) {
                modules.push_back(std::make_unique<simmodule::SimModule>(simmodule::Transport::Tcp));
                modules.back()->add_rule(
                    simmodule::Rule(simmodule::command::ping()).reply(simmodule::pong_reply(7)));
                ports.push_back(modules.back()->tcp_port());
            }
            if (!write_all(channel, ports.data(), ports.size() * sizeof ports[0]))
                ::_exit(1);
            // A stream starts when its module's client has connected.
            std::vector<bool> streaming(count, stream.rate <= 0);
            std::optional<simmodule::DataSource> source;
            if (stream.rate > 0)
                source = stream.numbered
                    ? simmodule::DataSource::generate(
                        [size = stream.packet_size](uint64_t index) { return numbered_packet(size, index); })
                    : simmodule::DataSource::fixed(data_packet(stream.packet_size));
            for (;;) {
                bool waiting = false;
                for (size_t i = 0; i < count; ++i) {
                    if (streaming[i])
                        continue;
                    streaming[i] = modules[i]->connected();
                    if (streaming[i])
                        modules[i]->start_stream("data", *source, stream.rate);
                    else
                        waiting = true;
                }
                pollfd ready { channel, POLLIN, 0 };
                const int events = ::poll(&ready, 1, waiting ? 2 : -1);
                if (events < 0 && errno != EINTR)
                    break;
                if (events <= 0)
                    continue;
                char command[2];
                if (!read_all(channel, command, sizeof command))
                    break; // this process's cue to stop
                const auto i = static_cast<size_t>(static_cast<unsigned char>(command[1]));
                if (i >= count)
                    continue;
                if (command[0] == 's') {
                    streaming[i] = true;
                    modules[i]->stop_all_streams();
                } else if (command[0] == 'h') {
                    modules[i]->hang_up();
                }
            }
            std::vector<uint64_t> figures;
            for (const auto& module : modules)
                figures.push_back(module->data_packets_sent());
            for (const auto& module : modules)
                figures.push_back(module->stream_packets_dropped());
            for (const auto& module : modules)
                module->stop();
            if (write_all(channel, figures.data(), figures.size() * sizeof figures[0]))
                status = 0;
        } catch (...) { }
        ::_exit(status);
    }

    static bool read_all(int fd, void* data, size_t size)
    {
        auto* at = static_cast<char*>(data);
        while (size > 0) {
            const ssize_t n = ::recv(fd, at, size, 0);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            at += n;
            size -= static_cast<size_t>(n);
        }
        return true;
    }

    static bool write_all(int fd, const void* data, size_t size)
    {
        const auto* at = static_cast<const char*>(data);
        while (size > 0) {
            const ssize_t n = ::send(fd, at, size, MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            at += n;
            size -= static_cast<size_t>(n);
        }
        return true;
    }

    std::vector<uint16_t> ports_;
    pid_t child_ = -1;
    int channel_ = -1;
    std::optional<Result> result_;
};

} // namespace bench
