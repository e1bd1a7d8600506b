#include "link/ByteProtocol.hpp"
#include "link/NoParseByteProtocol.hpp"
#include "support/RecordingLogger.hpp"
#include "support/TestSupport.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>

namespace {

using testsupport::Bytes;
using testsupport::frame;
using testsupport::hex;
using testsupport::RecordingLogger;

// A ByteProtocol whose first handler collects what it is given.
class ByteProtocolTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        protocol_->subscribe([this](const uint8_t* p, unsigned n) { packets_.emplace_back(p, p + n); });
    }
    void feed(const Bytes& bytes) { protocol_->parse(bytes.data(), static_cast<unsigned>(bytes.size())); }

    RecordingLogger logger_;
    std::unique_ptr<ByteProtocol> protocol_ = std::make_unique<ByteProtocol>(logger_);
    std::vector<Bytes> packets_;
};

Bytes concat(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

} // namespace

TEST_F(ByteProtocolTest, OnlyTheFirstHandlerReceivesPackets)
{
    int second_calls = 0;
    protocol_->subscribe([&](const uint8_t*, unsigned) { ++second_calls; });
    feed(frame(hex("10 20 30")));
    ASSERT_EQ(1u, packets_.size());
    EXPECT_EQ(hex("10 20 30"), packets_[0]);
    EXPECT_EQ(0, second_calls);
}

TEST_F(ByteProtocolTest, PacketSplitAcrossChunksIsDeliveredWhenItsRestArrives)
{
    const Bytes first = frame(hex("01 7d 02"));
    const Bytes second = frame(hex("03 7e 7f 04"));
    const Bytes stream = concat(first, second);
    const std::size_t cut = first.size() + second.size() / 2;
    feed(Bytes(stream.begin(), stream.begin() + cut));
    ASSERT_EQ(1u, packets_.size());
    EXPECT_EQ(hex("01 7d 02"), packets_[0]);
    feed(Bytes(stream.begin() + cut, stream.end()));
    ASSERT_EQ(2u, packets_.size());
    EXPECT_EQ(hex("03 7e 7f 04"), packets_[1]);
    EXPECT_TRUE(logger_.errors().empty());
}

TEST_F(ByteProtocolTest, ReceiveErrorsAreLoggedAndReceivingGoesOn)
{
    struct Case {
        const char* name;
        Bytes bad;
        const char* logged;
    };
    const Case cases[] = {
        { "checksum", hex("7d 26 5c 7e"), "Error parsing incoming data: CRC error" },
        { "bytes before start", hex("01 02"), "Error parsing incoming data: lost bytes" },
        { "end with nothing stored", hex("7e"), "Error parsing incoming data: incomplete packer" },
        { "larger than the buffer",
            concat(concat(hex("7d"), Bytes(ByteProtocol::buffer_size, 0x11)), hex("7e")),
            "Error parsing incoming data: out of buffer" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        packets_.clear();
        logger_.clear();
        feed(c.bad);
        feed(frame(hex("26")));
        ASSERT_EQ(1u, packets_.size());
        EXPECT_EQ(hex("26"), packets_[0]);
        ASSERT_EQ(1u, logger_.errors().size());
        EXPECT_EQ(c.logged, logger_.errors()[0]);
    }
}

TEST(ByteProtocolErrorText, UnknownCodes)
{
    EXPECT_STREQ("unknown error code", ByteProtocol::error_text(0));
    EXPECT_STREQ("unknown error code", ByteProtocol::error_text(5));
}

TEST_F(ByteProtocolTest, LargestFramedPacketFitsTheBuffer)
{
    Bytes payload(ByteProtocol::buffer_size - 2);
    for (std::size_t i = 0; i < payload.size(); ++i)
        payload[i] = static_cast<uint8_t>(i * 7);
    // Escapes inflate the wire form but not what is stored.
    feed(frame(payload));
    ASSERT_EQ(1u, packets_.size());
    EXPECT_EQ(payload, packets_[0]);

    payload.push_back(0x00); // one byte more no longer fits
    feed(frame(payload));
    EXPECT_EQ(1u, packets_.size());
    EXPECT_EQ(1, logger_.count("Error parsing incoming data: out of buffer"));
}

TEST_F(ByteProtocolTest, RawLengthPacketIsDeliveredWithItsHeader)
{
    feed(hex("7d 51 03 00 00 00 7d 7e 7f 7e"));
    ASSERT_EQ(1u, packets_.size());
    EXPECT_EQ(hex("51 03 00 00 00 7d 7e 7f"), packets_[0]);
}

TEST_F(ByteProtocolTest, EmptyPacketIsNotHandedOn)
{
    feed(hex("7d 7f 7d 7e"));
    EXPECT_TRUE(packets_.empty());
    EXPECT_TRUE(logger_.errors().empty());
}

TEST(ByteProtocol, WithoutSubscriberPacketsAreDropped)
{
    RecordingLogger logger;
    auto protocol = std::make_unique<ByteProtocol>(logger);
    const Bytes bytes = frame(hex("01 02"));
    protocol->parse(bytes.data(), static_cast<unsigned>(bytes.size()));
    EXPECT_TRUE(logger.entries().empty());
}

TEST_F(ByteProtocolTest, HandlerExceptionLeavesParseAfterTheChunkIsDone)
{
    auto throwing = std::make_unique<ByteProtocol>(logger_);
    std::vector<Bytes> got;
    throwing->subscribe([&](const uint8_t* p, unsigned n) {
        got.emplace_back(p, p + n);
        if (got.size() == 1)
            throw std::runtime_error("sink failed");
    });
    const Bytes chunk = concat(frame(hex("01")), frame(hex("02")));
    try {
        throwing->parse(chunk.data(), static_cast<unsigned>(chunk.size()));
        FAIL() << "the handler's exception did not leave parse";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ("sink failed", e.what());
    }
    // Nothing of the chunk was lost, and the receiver is not left halfway.
    const Bytes next = frame(hex("03"));
    throwing->parse(next.data(), static_cast<unsigned>(next.size()));
    EXPECT_EQ((std::vector<Bytes> { hex("01"), hex("02"), hex("03") }), got);
    EXPECT_TRUE(logger_.errors().empty());
}

TEST(NoParseByteProtocol, PassesEveryChunkToTheFirstHandlerUnchanged)
{
    RecordingLogger logger;
    NoParseByteProtocol protocol(logger);
    const Bytes chunk = hex("7d 01 7e 7f 51 00 7c");
    protocol.parse(chunk.data(), static_cast<unsigned>(chunk.size())); // no handler yet: nothing
    std::vector<Bytes> got;
    int second_calls = 0;
    protocol.subscribe([&](const uint8_t* p, unsigned n) { got.emplace_back(p, p + n); });
    protocol.subscribe([&](const uint8_t*, unsigned) { ++second_calls; });
    protocol.parse(chunk.data(), static_cast<unsigned>(chunk.size()));
    protocol.parse(chunk.data(), 0);
    EXPECT_EQ(std::vector<Bytes> { chunk }, got);
    EXPECT_EQ(0, second_calls);
}
