// A module that can be programmed, as a host sees it over its
// pseudo-terminals: the bootloader command, the port that goes and the one
// that comes, the pages it keeps, the refusals, and the way back.
#include "TestClient.hpp"
#include "simmodule/Deframer.hpp"
#include "simmodule/Messages.hpp"
#include "simmodule/PayloadWriter.hpp"
#include "simmodule/ReenumeratingModule.hpp"

#include <gtest/gtest.h>

#include <map>
#include <mutex>
#include <string>
#include <vector>

using namespace std::chrono_literals;
using namespace simmodule;
using simtest::hex;
using simtest::TestClient;
using simtest::to_hex;

namespace {

using Mode = ReenumeratingModule::Mode;

// The first packet the module answers with, past the data it streams.
Bytes ask(TestClient& client, const Bytes& payload)
{
    client.send_command(payload);
    Deframer deframer;
    for (int reads = 0; reads < 100; ++reads) {
        const Bytes chunk = client.read_for(50ms);
        for (const Bytes& packet : deframer.feed(chunk.data(), chunk.size()))
            if (!packet.empty() && packet[0] != message::app_data)
                return packet;
    }
    return {};
}

Bytes bootloader_command(uint32_t key)
{
    return PayloadWriter().u8(0x02).u32(key).take();
}

// The port changes as the callback reported them: "-path" gone, "+path" come.
struct PortLog {
    void operator()(const std::string& gone, const std::string& appeared)
    {
        const std::lock_guard<std::mutex> lock(mutex);
        if (!gone.empty())
            events.push_back("-" + gone);
        if (!appeared.empty())
            events.push_back("+" + appeared);
    }
    std::vector<std::string> list()
    {
        const std::lock_guard<std::mutex> lock(mutex);
        return events;
    }
    std::mutex mutex;
    std::vector<std::string> events;
};

ReenumeratingModule::Script falcon_script()
{
    ReenumeratingModule::Script script;
    script.bootloader.info = "SARVIK BOOTLOADER V:1.4.0 H:Falcon R:SerialNumber = \"SIMF0000001\"";
    return script;
}

TEST(ReenumeratingModuleTest, EntersItsBootloaderOnAnotherPortAndComesBackOnAThird)
{
    PortLog ports;
    ReenumeratingModule module(falcon_script(), std::ref(ports));
    const std::string first = module.pty_path();
    ASSERT_EQ(std::vector<std::string>({ "+" + first }), ports.list());
    {
        TestClient client(first);
        EXPECT_EQ("20 01 00 00 00", to_hex(ask(client, bootloader_command(0x12345678)))) << "a wrong key";
        EXPECT_EQ(Mode::Application, module.mode());
        EXPECT_EQ("10", to_hex(ask(client, bootloader_command(ReenumeratingModule::first_bootloader_key))));
        // The port left the list before the answer came.
        EXPECT_EQ("-" + first, ports.list().at(1));
        EXPECT_NE(-1, client.wait_for_close());
    }
    ASSERT_TRUE(module.wait_for(Mode::Bootloader, 10s));
    const std::string second = module.pty_path();
    EXPECT_NE(first, second);
    {
        TestClient client(second);
        const Bytes info = ask(client, hex("c0 00"));
        EXPECT_EQ("\xe0" + falcon_script().bootloader.info, std::string(info.begin(), info.end()));
        module.flash().refuse(3);
        EXPECT_EQ("20 01 00 00 00", to_hex(ask(client, hex("c0 10 00 03 00 aa bb")))) << "refused once";
        EXPECT_EQ("e0", to_hex(ask(client, hex("c0 10 00 03 00 aa bb"))));
        EXPECT_EQ("e0", to_hex(ask(client, hex("c0 10 01 00 00 01 02 03"))));
        EXPECT_EQ("20 01 00 00 00", to_hex(ask(client, hex("c0 10 01")))) << "cut short";
        module.flash().refuse_start();
        EXPECT_EQ("20 01 00 00 00", to_hex(ask(client, hex("c0 20"))));
        EXPECT_EQ("20 01 00 00 00", to_hex(ask(client, command::ping())));
        EXPECT_EQ("e0", to_hex(ask(client, hex("c0 20"))));
    }
    EXPECT_EQ((std::map<uint16_t, Bytes> { { 3, hex("aa bb") }, { 256, hex("01 02 03") } }),
        module.flash().pages());
    EXPECT_EQ(std::vector<uint16_t>({ 3, 256 }), module.flash().writes());
    EXPECT_EQ(1u, module.flash().starts());
    ASSERT_TRUE(module.wait_for(Mode::Application, 10s));
    EXPECT_NE(second, module.pty_path());
    EXPECT_EQ(3u, module.enumerations());
    TestClient client(module.pty_path());
    EXPECT_EQ("01 ea ae ee aa", to_hex(ask(client, command::ping())));
}

TEST(ReenumeratingModuleTest, OlderModuleKeepsItsPortAndOneThatNeverComesBackIsGone)
{
    ReenumeratingModule::Script script = falcon_script();
    script.keeps_port = true;
    ReenumeratingModule same(script, nullptr);
    const std::string port = same.pty_path();
    TestClient client(port);
    EXPECT_EQ("10", to_hex(ask(client, bootloader_command(ReenumeratingModule::first_bootloader_key))));
    EXPECT_EQ(Mode::Bootloader, same.mode());
    EXPECT_EQ("e0", to_hex(ask(client, hex("c0 20"))));
    EXPECT_EQ(Mode::Application, same.mode());
    EXPECT_EQ(port, same.pty_path());
    EXPECT_EQ(1u, same.enumerations());

    script = falcon_script();
    script.comes_back = false;
    PortLog ports;
    ReenumeratingModule gone(script, std::ref(ports));
    TestClient host(gone.pty_path());
    EXPECT_EQ("10", to_hex(ask(host, bootloader_command(ReenumeratingModule::first_bootloader_key))));
    EXPECT_FALSE(gone.wait_for(Mode::Bootloader, 500ms));
    EXPECT_EQ(std::string(), gone.pty_path());
    EXPECT_EQ(2u, ports.list().size());
}

} // namespace
