#include "link/TcpIpModuleIo.hpp"
#include "support/InterruptedReads.hpp"
#include "support/LogChecks.hpp"
#include "support/TestSupport.hpp"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <csignal>
#include <memory>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
using testsupport::Bytes;
using testsupport::dump;

// A loopback listener that plays the module: the io connects to it and the
// test holds the accepted end.
class TcpLink : public ::testing::Test {
protected:
    void SetUp() override
    {
        // The process must survive writes to a vanished peer by itself.
        ASSERT_EQ(SIG_DFL, std::signal(SIGPIPE, SIG_DFL));
        listener_ = make_listener(&port_);
        ASSERT_GE(listener_, 0);
        io_ = std::make_unique<TcpIpModuleIo>(htonl(INADDR_LOOPBACK), port_, log_);
    }
    void TearDown() override
    {
        io_.reset();
        close_module_side();
        if (listener_ >= 0)
            ::close(listener_);
    }

    // A listening socket on an ephemeral loopback port; port in network order.
    static int make_listener(unsigned short* port) { return make_bound_socket(port, true); }

    // A socket that holds an ephemeral loopback port, listening or not.
    static int make_bound_socket(unsigned short* port, bool listening)
    {
        const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (s < 0 || bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0
            || (listening && listen(s, 4) != 0)
            || getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            if (s >= 0)
                ::close(s);
            return -1;
        }
        *port = address.sin_port;
        return s;
    }

    void connect_module()
    {
        ASSERT_EQ(0, io_->open("ignored")) << dump(log_);
        module_ = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        ASSERT_GE(module_, 0);
    }

    void close_module_side(bool reset = false)
    {
        if (module_ < 0)
            return;
        if (reset) {
            const linger abort_at_once { 1, 0 };
            setsockopt(module_, SOL_SOCKET, SO_LINGER, &abort_at_once, sizeof abort_at_once);
        }
        ::close(module_);
        module_ = -1;
    }

    // Writes everything the way the connection's writer does: short counts
    // are continued, and a write that took nothing within its wait is tried
    // again (a loaded machine may stall the peer for a while).
    void port_sends(const Bytes& bytes)
    {
        size_t done = 0;
        int empty_writes = 0;
        while (done < bytes.size()) {
            const int n = io_->write(bytes.data() + done, static_cast<unsigned>(bytes.size() - done));
            ASSERT_GE(n, 0);
            empty_writes = n == 0 ? empty_writes + 1 : 0;
            ASSERT_LT(empty_writes, 20) << "the peer took nothing for 14 s";
            done += static_cast<size_t>(n);
        }
    }

    Bytes port_receives(size_t count) { return testsupport::read_from(*io_, count); }

    void module_sends(const Bytes& bytes)
    {
        ASSERT_EQ(
            static_cast<ssize_t>(bytes.size()), ::send(module_, bytes.data(), bytes.size(), MSG_NOSIGNAL));
    }

    // What the module side receives, until count bytes or five seconds.
    Bytes module_receives(size_t count) { return testsupport::read_exactly(module_, count); }

    static Bytes pattern(size_t size, unsigned seed)
    {
        Bytes bytes(size);
        for (size_t i = 0; i < size; ++i)
            bytes[i] = static_cast<uint8_t>((i * 131 + seed) ^ (i >> 8));
        return bytes;
    }

    testsupport::RecordingLogger log_;
    int listener_ = -1;
    int module_ = -1;
    unsigned short port_ = 0;
    std::unique_ptr<TcpIpModuleIo> io_;
};

} // namespace

TEST_F(TcpLink, ConnectsAndPassesExactBytesBothWays)
{
    connect_module();
    io_->set_baudrate(9600); // no line speed on TCP: nothing changes

    const Bytes small = testsupport::hex("7e 00 ff 7d 0a 0d 11 13");
    port_sends(small);
    EXPECT_EQ(testsupport::to_hex(small), testsupport::to_hex(module_receives(small.size())));
    module_sends(small);
    EXPECT_EQ(testsupport::to_hex(small), testsupport::to_hex(port_receives(small.size())));

    unsigned char none[1];
    EXPECT_EQ(0, io_->read(none, 0, 500));

    const Bytes large = pattern(200000, 3);
    std::thread module([&] { module_sends(large); });
    const Bytes got = port_receives(large.size());
    module.join();
    EXPECT_TRUE(got == large) << got.size() << " of " << large.size() << " bytes, or different";
}

TEST_F(TcpLink, IdleReadReturnsNothingAfterItsTimeout)
{
    connect_module();
    unsigned char buffer[64];
    const auto start = Clock::now();
    EXPECT_EQ(0, io_->read(buffer, sizeof buffer, 300));
    const auto waited = Clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(290));
    EXPECT_LT(waited, std::chrono::seconds(2));
}

// Stopping the reader cuts its long wait short at once, and every later
// read returns at once too, data or not.
TEST_F(TcpLink, InterruptReadsEndsAWaitingReadAtOnceAndForGood)
{
    connect_module();
    testsupport::expect_interrupted_reads_end_at_once(
        *io_, [this](const Bytes& bytes) { module_sends(bytes); });
}

TEST_F(TcpLink, RefusedConnectionIsLoggedAndReturnsMinusOne)
{
    // The port stays held by a socket that does not listen: a closed one
    // could be taken meanwhile by a test running beside this one.
    unsigned short silent_port = 0;
    const int silent = make_bound_socket(&silent_port, false);
    ASSERT_GE(silent, 0);
    io_ = std::make_unique<TcpIpModuleIo>(htonl(INADDR_LOOPBACK), silent_port, log_);

    EXPECT_EQ(-1, io_->open(""));
    const std::string expected = "open49 -- error connecting to addr tcp://127.0.0.1:"
        + std::to_string(ntohs(silent_port)) + "\nsystem error: Connection refused\n";
    EXPECT_TRUE(testsupport::logged_error(log_, expected)) << dump(log_);
    io_.reset();
    ::close(silent);
}

TEST_F(TcpLink, ClosedPeerEndsReadingAfterItsLastBytes)
{
    connect_module();
    module_sends(testsupport::hex("01 02 03"));
    close_module_side();

    EXPECT_EQ("01 02 03", testsupport::to_hex(port_receives(3)));
    unsigned char buffer[16];
    EXPECT_EQ(-1, io_->read(buffer, sizeof buffer, 500));
    EXPECT_EQ(-1, io_->read(buffer, sizeof buffer, 500));
}

// A write to a peer that has gone must fail, not raise SIGPIPE.
TEST_F(TcpLink, WriteAfterPeerResetFailsAndTheProcessLives)
{
    connect_module();
    close_module_side(/*reset=*/true);

    unsigned char buffer[16] = {};
    EXPECT_EQ(-1, io_->read(buffer, sizeof buffer, 500)); // the reset has arrived
    EXPECT_EQ(-1, io_->write(buffer, sizeof buffer));
    EXPECT_EQ(-1, io_->write(buffer, sizeof buffer));
}

TEST_F(TcpLink, WriteAfterPeerCloseSoonFailsAndTheProcessLives)
{
    connect_module();
    close_module_side();

    unsigned char buffer[16] = {};
    EXPECT_EQ(-1, io_->read(buffer, sizeof buffer, 500));
    // The first write may still be accepted locally; the peer answers it with
    // a reset, after which writes fail.
    int result = 0;
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    while (result >= 0 && Clock::now() < deadline) {
        result = io_->write(buffer, sizeof buffer);
        std::this_thread::yield();
    }
    EXPECT_EQ(-1, result);
}

// The reader thread reads while a caller writes on the same socket.
// A module that reads nothing: a write returns what the socket took, 0 after
// write_wait once it takes nothing, and abort_writes cuts a blocked write
// short at once, for good.
TEST_F(TcpLink, WriteToAModuleThatReadsNothingIsBoundedAndAbortable)
{
    connect_module();
    const Bytes block = pattern(1 << 20, 3);
    int n = 0;
    do
        n = io_->write(block.data(), static_cast<unsigned>(block.size()));
    while (n > 0);
    EXPECT_EQ(0, n);

    // Whatever room is still made, the writes end with -1 once aborted.
    std::atomic<Clock::time_point> aborted_at { Clock::time_point::max() };
    std::thread closer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        aborted_at = Clock::now();
        io_->abort_writes();
    });
    int result = 0;
    for (int round = 0; round < 100 && result >= 0; ++round)
        result = io_->write(block.data(), static_cast<unsigned>(block.size()));
    const auto returned = Clock::now();
    closer.join();
    EXPECT_EQ(-1, result);
    EXPECT_LT(returned - aborted_at.load(), ModuleIo::write_wait);
    EXPECT_EQ(-1, io_->write(block.data(), 1));
}

TEST_F(TcpLink, ReadingAndWritingOverlap)
{
    connect_module();
    const Bytes outbound = pattern(300000, 1);
    Bytes echoed;
    std::thread echo([&] {
        Bytes got;
        // Echoes whatever has come, not byte by byte: a sanitized build on a
        // loaded machine is slow enough as it is.
        while (got.size() < outbound.size()) {
            Bytes part(4096);
            const ssize_t n = ::recv(module_, part.data(), part.size(), 0);
            if (n <= 0)
                break;
            part.resize(static_cast<size_t>(n));
            module_sends(part);
            got.insert(got.end(), part.begin(), part.end());
        }
    });
    std::thread reader([&] { echoed = port_receives(outbound.size()); });
    for (size_t at = 0; at < outbound.size(); at += 1000)
        port_sends(Bytes(outbound.begin() + at, outbound.begin() + std::min(at + 1000, outbound.size())));
    reader.join();
    echo.join();
    EXPECT_TRUE(echoed == outbound) << echoed.size() << " of " << outbound.size() << " bytes, or different";
}

TEST(TcpIpModuleIo, ReadOnAnUnconnectedSocketDoesNotPretendData)
{
    testsupport::RecordingLogger log;
    TcpIpModuleIo io(htonl(INADDR_LOOPBACK), htons(1), log);
    unsigned char byte = 0;
    EXPECT_EQ(-1, io.read(&byte, 1, 500));
    EXPECT_EQ(-1, io.write(&byte, 1));
}
