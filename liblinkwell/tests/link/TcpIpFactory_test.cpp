#include "link/ByteProtocol.hpp"
#include "link/TcpIpFactory.hpp"
#include "link/TcpIpModuleIo.hpp"
#include "link/UartIo.hpp"
#include "support/PacketWaiter.hpp"
#include "support/RecordingLogger.hpp"
#include "support/TestSupport.hpp"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>

namespace {

using testsupport::Bytes;
using testsupport::frame;
using testsupport::hex;
using testsupport::PacketWaiter;
using testsupport::read_exactly;
using testsupport::RecordingLogger;

void send_all(int fd, const Bytes& bytes)
{
    ASSERT_EQ(static_cast<ssize_t>(bytes.size()), ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL));
}

// A loopback listener that plays the module side.
class TcpModule : public ::testing::Test {
protected:
    void SetUp() override
    {
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        ASSERT_GE(listener_, 0);
        sockaddr_in address {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = 0;
        ASSERT_EQ(0, ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address));
        ASSERT_EQ(0, ::listen(listener_, 4));
        socklen_t length = sizeof address;
        ASSERT_EQ(0, ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length));
        port_ = address.sin_port; // network order, as the factory takes it
    }
    void TearDown() override
    {
        for (int fd : accepted_)
            ::close(fd);
        if (listener_ >= 0)
            ::close(listener_);
    }
    int accept_module()
    {
        const int fd = ::accept(listener_, nullptr, nullptr);
        if (fd >= 0)
            accepted_.push_back(fd);
        return fd;
    }

    int listener_ = -1;
    unsigned short port_ = 0;
    std::vector<int> accepted_;
    RecordingLogger logger_;
};

} // namespace

TEST(TcpIpFactory, KeepsTheAddressAsGivenAndMakesASocketIo)
{
    const unsigned ip = htonl(0xC0A80001); // 192.168.0.1
    const unsigned short port = htons(5000);
    TcpIpFactory factory(ip, port);
    EXPECT_EQ(ip, factory.ip());
    EXPECT_EQ(port, factory.port());
    RecordingLogger logger;
    std::unique_ptr<ModuleIo> io(factory.createModuleIo(logger));
    EXPECT_NE(nullptr, dynamic_cast<TcpIpModuleIo*>(io.get()));
    std::unique_ptr<Protocol> protocol(factory.createProtocol(logger));
    EXPECT_NE(nullptr, dynamic_cast<ByteProtocol*>(protocol.get()));
}

TEST_F(TcpModule, ConnectionCarriesPacketsBothWaysAndEndsReadingWhenThePeerGoes)
{
    TcpIpFactory factory(htonl(INADDR_LOOPBACK), port_);
    PacketWaiter packets; // outlives the connection that feeds it
    UartIo io(logger_, factory);
    ASSERT_EQ(0, io.open("ignored", packets.sink()));
    const int module = accept_module();
    ASSERT_GE(module, 0);

    send_all(module, frame(hex("10 01")));
    EXPECT_EQ(std::vector<Bytes> { hex("10 01") }, packets.wait_for(1));
    const Bytes ping = frame(hex("01"));
    io.write(ping, std::chrono::seconds(2));
    EXPECT_EQ(ping, read_exactly(module, ping.size()));

    ::shutdown(module, SHUT_RDWR);
    EXPECT_TRUE(logger_.wait_for("Reader is bailing out\n"));
    io.close();
}

TEST_F(TcpModule, RefusedConnectionFailsTheOpen)
{
    ::close(listener_); // nothing listens on the port any more
    listener_ = -1;
    TcpIpFactory factory(htonl(INADDR_LOOPBACK), port_);
    UartIo io(logger_, factory);
    PacketWaiter packets;
    EXPECT_EQ(-1, io.open("ignored", packets.sink()));
    EXPECT_FALSE(io.is_ready());
    io.write(hex("7d 11 6c 7e"), std::chrono::seconds(2)); // dropped, no error
    io.close();
}

TEST_F(TcpModule, TwoConnectionsThroughOneFactoryShareNothing)
{
    TcpIpFactory factory(htonl(INADDR_LOOPBACK), port_);
    PacketWaiter first_packets;
    PacketWaiter second_packets;
    UartIo first(logger_, factory);
    UartIo second(logger_, factory);
    ASSERT_EQ(0, first.open("", first_packets.sink()));
    const int first_module = accept_module();
    ASSERT_EQ(0, second.open("", second_packets.sink()));
    const int second_module = accept_module();
    ASSERT_GE(first_module, 0);
    ASSERT_GE(second_module, 0);

    send_all(second_module, frame(hex("22")));
    send_all(first_module, frame(hex("11")));
    EXPECT_EQ(std::vector<Bytes> { hex("11") }, first_packets.wait_for(1));
    EXPECT_EQ(std::vector<Bytes> { hex("22") }, second_packets.wait_for(1));

    first.close(); // the second connection goes on
    send_all(second_module, frame(hex("33")));
    EXPECT_EQ((std::vector<Bytes> { hex("22"), hex("33") }), second_packets.wait_for(2));
}
