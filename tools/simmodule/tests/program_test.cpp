// The command-line program: started as a person would, talked to over its
// transport, stopped by a signal.
#include "TestClient.hpp"
#include "simmodule/Deframer.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace std::chrono_literals;
using simtest::hex;
using simtest::TestClient;
using simtest::to_hex;
using Bytes = std::vector<uint8_t>;

extern char** environ;

namespace {

// The program, its standard output piped back to the test.
class Program {
public:
    explicit Program(std::vector<std::string> args)
    {
        int fds[2];
        if (::pipe(fds) != 0)
            throw std::runtime_error("pipe");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        posix_spawn_file_actions_addclose(&actions, fds[1]);
        args.insert(args.begin(), SIMMODULE_PROGRAM);
        std::vector<char*> argv;
        for (std::string& arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        const int error = posix_spawn(&pid_, SIMMODULE_PROGRAM, &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(fds[1]);
        out_ = fds[0];
        if (error != 0)
            throw std::runtime_error("posix_spawn failed");
    }

    ~Program()
    {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        ::close(out_);
    }

    // The first line the program printed, without the newline.
    std::string first_line()
    {
        std::string line;
        char c;
        pollfd p { out_, POLLIN, 0 };
        while (::poll(&p, 1, 10000) > 0 && ::read(out_, &c, 1) == 1 && c != '\n')
            line += c;
        return line;
    }

    // Sends the signal and returns the exit status (-1 if it did not exit
    // within ten seconds or was killed).
    int stop(int signal)
    {
        ::kill(pid_, signal);
        return wait();
    }

    int wait()
    {
        for (int i = 0; i < 1000; ++i) {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            ::usleep(10000);
        }
        return -1;
    }

private:
    pid_t pid_ = -1;
    int out_ = -1;
};

// Reads packets until one starts with `prefix`.
Bytes packet_with_prefix(TestClient& client, const Bytes& prefix)
{
    simmodule::Deframer deframer;
    for (int reads = 0; reads < 200; ++reads) {
        const Bytes chunk = client.read_for(50ms);
        for (const Bytes& packet : deframer.feed(chunk.data(), chunk.size()))
            if (packet.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), packet.begin()))
                return packet;
    }
    return {};
}

} // namespace

TEST(Program, ServesTcpUntilTerminated)
{
    Program program({ "--tcp", "--personality", "presence", "--rate", "100" });
    const std::string port = program.first_line();
    ASSERT_FALSE(port.empty());
    TestClient client(static_cast<uint16_t>(std::stoi(port)));
    EXPECT_EQ(22u, packet_with_prefix(client, hex("50 1e fa 3b 72")).size());
    client.send_command(hex("90 58 06"));
    const Bytes reply = packet_with_prefix(client, hex("11 13 58"));
    EXPECT_EQ("SIMP0000001", std::string(reply.begin() + std::min<size_t>(14, reply.size()), reply.end()));
    EXPECT_EQ(0, program.stop(SIGTERM));
    EXPECT_EQ(0, client.wait_for_close());
}

TEST(Program, ServesAPseudoTerminalUntilInterrupted)
{
    Program program({ "--pty", "--personality", "respiration" });
    const std::string path = program.first_line();
    ASSERT_EQ(0u, path.find("/dev/")) << path;
    TestClient client(path);
    EXPECT_EQ(29u, packet_with_prefix(client, hex("50 26 fe 75 23")).size());
    EXPECT_EQ(0, program.stop(SIGINT));
}

TEST(Program, PlaysAModelWithTheIdentitySettingsAndFilesOfTheCommandLine)
{
    Program program({ "--tcp", "--personality", "falcon", "--order-code", "Merlin", "--serial-number", "X-1",
        "--zone-limits", "0.5,3,0.25", "--tx-frequency", "4", "--crash-dump", "7", "--crash-dump", "9" });
    const std::string port = program.first_line();
    ASSERT_FALSE(port.empty());
    TestClient client(static_cast<uint16_t>(std::stoi(port)));
    const struct {
        const char* command;
        const char* reply;
    } cases[] = {
        { "01 ae ea aa ee", "01 ea ae ee aa" },
        { "90 58 01", "11 13 58 00 00 00 00 00 00 00 06 00 00 00 4d 65 72 6c 69 6e" }, // "Merlin"
        { "90 58 06", "11 13 58 00 00 00 00 00 00 00 03 00 00 00 58 2d 31" }, // "X-1"
        { "10 11 1d 0a a1 96",
            "11 12 1d 0a a1 96 00 00 00 00 0c 00 00 00 00 00 00 3f 00 00 40 40 00 00 80 3e" },
        { "10 11 2b 2a af 71", "11 11 2b 2a af 71 00 00 00 00 04 00 00 00 04 00 00 00" },
        { "90 64 50 4d 55 04", "11 11 64 00 00 00 00 00 00 00 02 00 00 00 07 00 00 00 09 00 00 00" },
    };
    for (const auto& c : cases) {
        const Bytes reply = hex(c.reply);
        client.send_command(hex(c.command));
        EXPECT_EQ(c.reply, to_hex(packet_with_prefix(client, Bytes(reply.begin(), reply.begin() + 2))))
            << c.command;
    }
    EXPECT_EQ(0, program.stop(SIGTERM));
}

TEST(Program, StreamsChipFramesOfThePatternChosen)
{
    Program program({ "--tcp", "--personality", "dax", "--pattern", "zeros" });
    const std::string port = program.first_line();
    ASSERT_FALSE(port.empty());
    TestClient client(static_cast<uint16_t>(std::stoi(port)));
    client.send_command(hex("50 10 10 00 00 00 00 00 88 41")); // 17 frames per second
    const Bytes frame = packet_with_prefix(client, hex("a0 12 10 00 00 00"));
    ASSERT_GT(frame.size(), 14u);
    EXPECT_TRUE(std::all_of(frame.begin() + 14, frame.end(), [](uint8_t b) { return b == 0; }));
    EXPECT_EQ(0, program.stop(SIGTERM));
}

TEST(Program, WaitsInItsBootloaderWhenGivenItsInformation)
{
    Program program({ "--tcp", "--bootloader-info", "SARVIK BOOTLOADER V:9.8.7 H:Gannet" });
    const std::string port = program.first_line();
    ASSERT_FALSE(port.empty());
    TestClient client(static_cast<uint16_t>(std::stoi(port)));
    client.send_command(hex("c0 00"));
    const Bytes info = packet_with_prefix(client, hex("e0"));
    EXPECT_EQ("\xe0SARVIK BOOTLOADER V:9.8.7 H:Gannet", std::string(info.begin(), info.end()));
    EXPECT_EQ(0, program.stop(SIGTERM));
}

TEST(Program, RejectsBadArguments)
{
    for (std::vector<std::string> args : { std::vector<std::string> { "--personality", "toaster" },
             { "--rate", "fast" }, { "--tcp", "70000" }, { "--bogus" }, { "--zone-limits", "0.4,9" },
             { "--tx-frequency", "high" }, { "--crash-dump", "-1" }, { "--pattern", "noise" } }) {
        Program program(args);
        const int status = program.wait();
        EXPECT_NE(0, status) << args[0];
        EXPECT_NE(-1, status) << args[0];
    }
}
