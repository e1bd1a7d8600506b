#include "api/ConnectionParts.hpp"

#include <arpa/inet.h>

#include <gtest/gtest.h>

#include "support/LineSink.hpp"

namespace {

using testsupport::LineSink;

TEST(ConnectionParts, TcpDeviceNameIsTheDottedAddressAndTheDecimalPort)
{
    const struct {
        const char* address;
        unsigned short port;
        const char* name;
    } cases[] = {
        { "192.168.0.10", 3000, "tcp://192.168.0.10:3000" },
        { "127.0.0.1", 0, "tcp://127.0.0.1:0" },
        { "255.255.255.255", 65535, "tcp://255.255.255.255:65535" },
        { "0.0.0.0", 7, "tcp://0.0.0.0:7" },
    };
    for (const auto& c : cases) {
        in_addr address {};
        ASSERT_EQ(1, inet_pton(AF_INET, c.address, &address));
        EXPECT_EQ(c.name, tcp_device_name(address.s_addr, htons(c.port)));
    }
}

TEST(ConnectionParts, TheConnectionLoggerOwnsItsSinkAndSaysFirstThatItWasMade)
{
    auto record = std::make_shared<LineSink::Record>();
    {
        auto logger = make_connection_logger(5, new LineSink(record));
        logger->log(6, "not written");
        EXPECT_EQ((std::vector<std::string> { "createing logger StdoutLogger" }), record->texts());
    }
    EXPECT_TRUE(record->deleted);

    // A sink that fails on the first line is deleted all the same.
    auto refused = std::make_shared<LineSink::Record>();
    EXPECT_THROW(make_connection_logger(5, new LineSink(refused, "createing logger StdoutLogger")),
        std::runtime_error);
    EXPECT_TRUE(refused->deleted);
}

} // namespace
