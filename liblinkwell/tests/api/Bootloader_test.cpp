#include <linkwell/Bootloader.hpp>

#include <arpa/inet.h>
#include <netinet/in.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <thread>

#include "simmodule/SimModule.hpp"
#include "support/ConnectorDevices.hpp"
#include "support/LineSink.hpp"
#include "support/ProcessResources.hpp"
#include "support/RecordingLogger.hpp"
#include "support/StdoutCapture.hpp"
#include "support/TestSupport.hpp"

namespace {

using Sarvik::Bootloader;
using simmodule::Rule;
using simmodule::SimModule;
using simmodule::Transport;
using testsupport::Bytes;
using testsupport::LineSink;
using testsupport::loopback;
using testsupport::missing_port;
using testsupport::TempDir;
using testsupport::timeout_text;

using Clock = std::chrono::steady_clock;

const Bytes acknowledgement { 0xE0 };
std::unique_ptr<Bootloader> tcp_client(SimModule& module, const std::shared_ptr<LineSink::Record>& log)
{
    return std::make_unique<Bootloader>(loopback(), htons(module.tcp_port()), 5, new LineSink(log));
}

// A module over TCP answering every bootloader command, and a client on it.
struct BootloaderOnModule : testing::Test {
    SimModule module { Transport::Tcp };
    std::shared_ptr<LineSink::Record> log = std::make_shared<LineSink::Record>();
    std::unique_ptr<Bootloader> client = tcp_client(module, log);
};

struct Request {
    const char* name;
    std::function<int(Bootloader&)> call;
    Bytes payload;
};

TEST_F(BootloaderOnModule, RequestsSendTheirPayloadAndTakeTheFirstBootloaderReply)
{
    // An unrelated packet ahead of the bootloader's reply is not the reply.
    module.add_rule(Rule({ 0xC0 }).ack().reply(acknowledgement));
    const Request requests[] = {
        { "page",
            [](Bootloader& b) {
                return b.write_page(0x1234, { 0xAA, 0xBB });
            },
            { 0xC0, 0x10, 0x12, 0x34, 0x00, 0xAA, 0xBB } },
        // Only the low 16 bits of the address travel, high byte first.
        { "page above 16 bits", [](Bootloader& b) { return b.write_page(0x12345, { 0x01 }); },
            { 0xC0, 0x10, 0x23, 0x45, 0x00, 0x01 } },
        { "empty page", [](Bootloader& b) { return b.write_page(7, {}); }, { 0xC0, 0x10, 0x00, 0x07, 0x00 } },
        // Bytes that frame packets travel escaped and arrive unchanged.
        { "page of frame bytes",
            [](Bootloader& b) {
                return b.write_page(0x7D7E, { 0x7D, 0x7E, 0x7F });
            },
            { 0xC0, 0x10, 0x7D, 0x7E, 0x00, 0x7D, 0x7E, 0x7F } },
        { "start", [](Bootloader& b) { return b.start_application(); }, { 0xC0, 0x20 } },
        { "start with timeout", [](Bootloader& b) { return b.start_application(1); }, { 0xC0, 0x20 } },
    };
    for (const auto& request : requests) {
        SCOPED_TRACE(request.name);
        module.clear_received();
        EXPECT_EQ(0, request.call(*client));
        ASSERT_EQ(1u, module.received_count());
        EXPECT_EQ(request.payload, module.received_at(0));
    }
    EXPECT_EQ(0u, module.framing_errors());
}

TEST_F(BootloaderOnModule, InformationIsEveryByteAfterTheReplyByteWhenThereAreMoreThanFour)
{
    const struct {
        Bytes reply;
        std::string text;
    } cases[] = {
        { { 0xE0, 'V', '1', '.', '2' }, "V1.2" },
        { { 0xE0, 'B', 'L', ' ', 'v', '3', '.', '0', '1' }, "BL v3.01" },
        { { 0xE0, 0x00, 0xFF, 0x7E, 'A' },
            std::string("\0\xFF\x7E"
                        "A",
                4) },
        { { 0xE0, 'V', '1', '.' }, "error fetching info" },
        { { 0xE0 }, "error fetching info" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testsupport::to_hex(c.reply));
        module.set_rules({ Rule({ 0xC0, 0x00 }).reply(c.reply) });
        module.clear_received();
        EXPECT_EQ(c.text, client->get_bootloader_info());
        ASSERT_EQ(1u, module.received_count());
        EXPECT_EQ((Bytes { 0xC0, 0x00 }), module.received_at(0));
    }
}

TEST_F(BootloaderOnModule, LogsItsLinesThroughTheSinkAndDeletesItLast)
{
    module.add_rule(Rule({ 0xC0 }).reply(acknowledgement));
    EXPECT_EQ("createing logger StdoutLogger", log->texts().at(0));

    EXPECT_EQ(0, client->write_page(0x12345, { 1, 2 }));
    const auto texts = log->texts();
    const auto begin = std::find(texts.begin(), texts.end(), "write_page -- begin");
    ASSERT_NE(texts.end(), begin) << testing::PrintToString(texts);
    ASSERT_GE(texts.end() - begin, 3);
    EXPECT_EQ("page: 74565", begin[1]);
    EXPECT_EQ(
        "WARNING: page address 74565 does not fit in 16 bits; the page at 9029 is written instead", begin[2]);
    EXPECT_EQ("write_page -- end", texts.back());

    client.reset();
    EXPECT_TRUE(log->deleted);
    EXPECT_EQ("~StdoutLogger", log->texts().back());
}

TEST_F(BootloaderOnModule, LogLevelLimitsTheLines)
{
    module.add_rule(Rule({ 0xC0 }).reply(acknowledgement));
    auto quiet_log = std::make_shared<LineSink::Record>();
    client.reset();
    client = std::make_unique<Bootloader>(loopback(), htons(module.tcp_port()), 0, new LineSink(quiet_log));
    EXPECT_EQ(0, client->write_page(0x10000, {}));
    client.reset();
    // Only the level-0 warning: no traces, no page line, no logger lines.
    EXPECT_EQ((std::vector<std::string> {
                  "WARNING: page address 65536 does not fit in 16 bits; the page at 0 is written instead" }),
        quiet_log->texts());
}

// Each real timeout once, all at the same time: a client on a port that
// does not exist (built without an exception) and clients on a module that
// never answers.
TEST(BootloaderTimeouts, EachRequestWaitsItsOwnTimeAndThrows)
{
    SimModule silent(Transport::Tcp);
    auto missing_log = std::make_shared<LineSink::Record>();
    Bootloader on_missing_port(missing_port, 5, new LineSink(missing_log));
    EXPECT_TRUE(missing_log->has("Error creating file\n"));
    EXPECT_TRUE(missing_log->has("module_io::open returned error"));

    const struct {
        const char* name;
        std::function<void(Bootloader&)> call;
        int seconds;
        bool on_missing_port;
    } cases[] = {
        { "get_bootloader_info", [](Bootloader& b) { b.get_bootloader_info(); }, 2, true },
        { "start_application", [](Bootloader& b) { b.start_application(); }, 4, false },
        { "start_application(1)", [](Bootloader& b) { b.start_application(1); }, 1, false },
        { "write_page", [](Bootloader& b) { b.write_page(0, { 1 }); }, 8, false },
    };
    std::vector<std::shared_ptr<LineSink::Record>> logs;
    std::vector<std::unique_ptr<Bootloader>> clients;
    for (const auto& c : cases) {
        logs.push_back(std::make_shared<LineSink::Record>());
        clients.push_back(c.on_missing_port ? nullptr : tcp_client(silent, logs.back()));
    }
    std::vector<std::string> errors(std::size(cases));
    std::vector<Clock::duration> waited(std::size(cases));
    std::vector<std::thread> threads;
    for (size_t i = 0; i < std::size(cases); ++i)
        threads.emplace_back([&, i] {
            Bootloader& client = clients[i] ? *clients[i] : on_missing_port;
            const auto start = Clock::now();
            try {
                cases[i].call(client);
            } catch (const std::runtime_error& e) {
                errors[i] = e.what();
            }
            waited[i] = Clock::now() - start;
        });
    for (auto& t : threads)
        t.join();

    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].name);
        EXPECT_EQ(timeout_text, errors[i]);
        const auto seconds = std::chrono::seconds(cases[i].seconds);
        EXPECT_GE(waited[i], seconds - std::chrono::milliseconds(50));
        EXPECT_LT(waited[i], seconds + std::chrono::seconds(3));
    }
    // The trace of a request that timed out is closed all the same.
    EXPECT_TRUE(logs[3]->has("write_page -- end"));
    EXPECT_TRUE(missing_log->has("get_bootloader_info -- end"));
}

struct RecordingOutput {
    std::string console;
    bool debug_file = false;
};

// Builds a client in an empty working directory and reports what its
// default sink wrote to the console and whether it made a debug file.
RecordingOutput output_of(const std::function<std::unique_ptr<Bootloader>()>& make)
{
    TempDir dir;
    const auto old = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    RecordingOutput out;
    out.console = testsupport::stdout_of([&] {
        auto client = make();
        EXPECT_EQ("BL", client->get_bootloader_info().substr(0, 2));
    });
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        out.debug_file |= entry.path().filename().string().rfind("debug_", 0) == 0;
    std::filesystem::current_path(old);
    return out;
}

TEST(BootloaderConstruction, EveryConstructorReachesItsDeviceWithItsOwnLogging)
{
    SimModule serial(Transport::Pty);
    SimModule tcp(Transport::Tcp);
    for (SimModule* m : { &serial, &tcp })
        m->add_rule(Rule({ 0xC0, 0x00 }).reply({ 0xE0, 'B', 'L', '-', '1' }));
    const std::string port = serial.pty_path();
    const unsigned short tcp_port = htons(tcp.tcp_port());

    const struct {
        const char* name;
        std::function<std::unique_ptr<Bootloader>()> make;
        bool console;
        bool file;
    } cases[] = {
        { "port, level", [&] { return std::make_unique<Bootloader>(port, 5u); }, true, false },
        { "port, console, file, level: console",
            [&] { return std::make_unique<Bootloader>(port, true, false, 5u); }, true, false },
        { "port, console, file, level: file",
            [&] { return std::make_unique<Bootloader>(port, false, true, 5u); }, false, true },
        { "port, console, file, level: neither",
            [&] { return std::make_unique<Bootloader>(port, false, false, 5u); }, false, false },
        { "ip, port, level", [&] { return std::make_unique<Bootloader>(loopback(), tcp_port, 5); }, true,
            true },
        { "ip, port", [&] { return std::make_unique<Bootloader>(loopback(), tcp_port); }, true, true },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const RecordingOutput out = output_of(c.make);
        EXPECT_EQ(c.console, out.console.find("createing logger StdoutLogger\n") != std::string::npos)
            << out.console;
        EXPECT_EQ(c.console, out.console.find("~StdoutLogger\n") != std::string::npos);
        EXPECT_EQ(c.file, out.debug_file);
    }

    // The constructors with a sink of the caller's.
    auto serial_log = std::make_shared<LineSink::Record>();
    EXPECT_EQ("BL-1", Bootloader(port, 5u, new LineSink(serial_log)).get_bootloader_info());
    EXPECT_TRUE(serial_log->deleted);
    auto tcp_log = std::make_shared<LineSink::Record>();
    EXPECT_EQ("BL-1", Bootloader(loopback(), tcp_port, 5, new LineSink(tcp_log)).get_bootloader_info());
    EXPECT_TRUE(tcp_log->deleted);
}

// A logger that tells when it is deleted.
class OwnedLogger : public testsupport::RecordingLogger {
public:
    explicit OwnedLogger(bool& deleted)
        : deleted_(deleted)
    { }
    ~OwnedLogger() override { deleted_ = true; }

private:
    bool& deleted_;
};

TEST(BootloaderConstruction, TakesOverTheCallersLoggerAndDeletesItWithTheClient)
{
    SimModule serial(Transport::Pty);
    serial.add_rule(Rule({ 0xC0, 0x00 }).reply({ 0xE0, 'B', 'L', '-', '2' }));
    bool deleted = false;
    auto* logger = new OwnedLogger(deleted);
    {
        Bootloader client(serial.pty_path(), logger);
        EXPECT_EQ("BL-2", client.get_bootloader_info());
        EXPECT_EQ(1, logger->count("get_bootloader_info -- begin"));
        EXPECT_FALSE(deleted);
    }
    EXPECT_TRUE(deleted);
    EXPECT_THROW(Bootloader(serial.pty_path(), static_cast<Logger*>(nullptr)), std::invalid_argument);
}

TEST(BootloaderConstruction, APortHeldByAnotherClientIsNotOpenedAndNothingIsThrown)
{
    SimModule serial(Transport::Pty);
    auto first_log = std::make_shared<LineSink::Record>();
    auto second_log = std::make_shared<LineSink::Record>();
    Bootloader first(serial.pty_path(), 5u, new LineSink(first_log));
    Bootloader second(serial.pty_path(), 5u, new LineSink(second_log));
    EXPECT_FALSE(first_log->has("module_io::open returned error"));
    EXPECT_TRUE(second_log->has("module_io::open returned error"));
}

// A failing constructor leaves nothing behind: the sink refuses a line that
// the link logs after the io, its threads and the socket were made.
TEST(BootloaderConstruction, AFailedConstructionUnwindsEverythingItBuilt)
{
    SimModule gone(Transport::Tcp);
    const unsigned short port = htons(gone.tcp_port());
    gone.stop();
    const int threads = testsupport::thread_count();
    const int descriptors = testsupport::open_descriptor_count();

    auto log = std::make_shared<LineSink::Record>();
    EXPECT_THROW(Bootloader(loopback(), port, 5, new LineSink(log, "module_io::open returned error")),
        std::runtime_error);
    EXPECT_TRUE(log->deleted);
    EXPECT_TRUE(testsupport::resources_back_to(threads, descriptors))
        << testsupport::thread_count() << " threads, " << testsupport::open_descriptor_count()
        << " descriptors";
}

} // namespace
