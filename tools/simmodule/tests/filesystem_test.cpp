// The module's file system, as a host sees it: the file commands in the
// exact bytes the host library sends, over TCP.
#include "TestClient.hpp"
#include "simmodule/Deframer.hpp"
#include "simmodule/FileSystem.hpp"
#include "simmodule/Messages.hpp"

#include <gtest/gtest.h>

#include <deque>

using namespace std::chrono_literals;
using namespace simmodule;
using simtest::hex;
using simtest::TestClient;
using simtest::to_hex;

namespace {

constexpr uint32_t dump = file_type::crash_dump; // on the wire: 50 4d 55 04

const char* const ack = "10";
const char* const refused = "20 01 00 00 00";

Bytes file_command(uint8_t op, std::initializer_list<uint32_t> fields, const Bytes& data = {})
{
    PayloadWriter writer;
    writer.u8(0x90).u8(op);
    for (uint32_t field : fields)
        writer.u32(field);
    return writer.bytes(data).take();
}

Bytes pattern(size_t size)
{
    Bytes data(size);
    for (size_t i = 0; i < size; ++i)
        data[i] = static_cast<uint8_t>(i * 7 + 3);
    return data;
}

class FileSystemTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        module.set_rules(files.rules());
        client = std::make_unique<TestClient>(module);
    }

    // The module's answer to one command, in hex.
    std::string ask(const Bytes& command)
    {
        client->send_command(command);
        for (int idle = 0; idle < 200; ++idle) {
            const Bytes chunk = client->read_for(25ms);
            for (Bytes& packet : deframer.feed(chunk.data(), chunk.size()))
                answers.push_back(std::move(packet));
            if (!answers.empty()) {
                Bytes answer = std::move(answers.front());
                answers.pop_front();
                return to_hex(answer);
            }
        }
        return "(no answer)";
    }

    FileSystem files;
    SimModule module { Transport::Tcp };
    std::unique_ptr<TestClient> client;
    Deframer deframer;
    std::deque<Bytes> answers;
};

TEST_F(FileSystemTest, WholeFileIsFoundOpenedMeasuredReadInChunksAndClosed)
{
    files.store(dump, 0, pattern(300));
    files.store(dump, 7, { 0xAA });
    files.store(file_type::noise_map_first, 0, { 0xBB });

    // The list counts identifiers, not bytes.
    EXPECT_EQ(
        "11 11 64 00 00 00 00 00 00 00 02 00 00 00 00 00 00 00 07 00 00 00", ask(hex("90 64 50 4d 55 04")));
    EXPECT_EQ("11 11 64 00 00 00 00 00 00 00 00 00 00 00", ask(file_command(0x64, { 0x1234 })));
    EXPECT_EQ(ack, ask(hex("90 72 50 4d 55 04 00 00 00 00")));
    EXPECT_EQ(
        "11 11 69 00 00 00 00 00 00 00 04 00 00 00 2c 01 00 00", ask(hex("90 69 50 4d 55 04 00 00 00 00")));

    const Bytes whole = pattern(300);
    const std::string first = ask(file_command(0x71, { dump, 0, 0, 256 }));
    EXPECT_EQ(
        "11 10 71 00 00 00 00 00 00 00 00 01 00 00 " + to_hex(Bytes(whole.begin(), whole.begin() + 256)),
        first);
    const std::string rest = ask(file_command(0x71, { dump, 0, 256, 44 }));
    EXPECT_EQ(
        "11 10 71 00 00 00 00 00 00 00 2c 00 00 00 " + to_hex(Bytes(whole.begin() + 256, whole.end())), rest);
    EXPECT_EQ(ack, ask(file_command(0x68, { dump, 0, 0 })));
    EXPECT_EQ(whole, files.file(dump, 0)); // reading leaves the file as it was
}

TEST_F(FileSystemTest, CreatedFileIsStoredOnlyWhenClosedWithCommit)
{
    EXPECT_EQ(ack, ask(file_command(0x66, { 0x11, 2, 5 })));
    EXPECT_EQ(ack, ask(file_command(0x67, { 0x11, 2, 0, 3 }, { 1, 2, 3 })));
    EXPECT_EQ(ack, ask(file_command(0x67, { 0x11, 2, 3, 2 }, { 4, 5 })));
    EXPECT_FALSE(files.contains(0x11, 2));
    EXPECT_EQ(ack, ask(file_command(0x68, { 0x11, 2, 1 })));
    EXPECT_EQ((Bytes { 1, 2, 3, 4, 5 }), files.file(0x11, 2));

    // Closed without commit, a file being created is dropped.
    EXPECT_EQ(ack, ask(file_command(0x66, { 0x11, 3, 1 })));
    EXPECT_EQ(ack, ask(file_command(0x68, { 0x11, 3, 0 })));
    EXPECT_EQ(refused, ask(file_command(0x68, { 0x11, 3, 1 })));
    EXPECT_FALSE(files.contains(0x11, 3));
}

TEST_F(FileSystemTest, DeleteAndFormatRemoveFilesFindAllListsTypesThenIdentifiers)
{
    files.store(dump, 0, { 1 });
    files.store(0x22, 5, { 2 });
    EXPECT_EQ("11 11 65 00 00 00 00 00 00 00 04 00 00 00 22 00 00 00 50 4d 55 04 05 00 00 00 00 00 00 00",
        ask(hex("90 65")));

    EXPECT_EQ(ack, ask(hex("90 70 50 4d 55 04 00 00 00 00")));
    EXPECT_FALSE(files.contains(dump, 0));
    EXPECT_EQ(refused, ask(hex("90 70 50 4d 55 04 00 00 00 00")));

    EXPECT_EQ(ack, ask(file_command(0x73, { 0 })));
    EXPECT_TRUE(files.names().empty());
}

TEST_F(FileSystemTest, WhatNoFileBacksIsRefusedWithErrorOne)
{
    files.store(dump, 0, pattern(10));
    EXPECT_EQ(ack, ask(file_command(0x66, { 0x11, 1, 4 })));
    const struct {
        const char* what;
        Bytes command;
    } cases[] = {
        { "open a missing file", file_command(0x72, { dump, 1 }) },
        { "length of a missing file", file_command(0x69, { 0x99, 0 }) },
        { "read a missing file", file_command(0x71, { dump, 1, 0, 1 }) },
        { "read past the end", file_command(0x71, { dump, 0, 8, 3 }) },
        { "read from an offset past the end", file_command(0x71, { dump, 0, 0xFFFFFFFF, 2 }) },
        { "write with nothing created", file_command(0x67, { dump, 0, 0, 1 }, { 9 }) },
        { "write past the created length", file_command(0x67, { 0x11, 1, 3, 2 }, { 9, 9 }) },
        { "write with fewer bytes than counted", file_command(0x67, { 0x11, 1, 0, 2 }, { 9 }) },
        { "commit with nothing created", file_command(0x68, { dump, 0, 1 }) },
        { "create a file of 4 GiB", file_command(0x66, { 0x11, 2, 0xFFFFFFFF }) },
        { "command cut short", hex("90 72 50 4d 55") },
    };
    for (const auto& c : cases)
        EXPECT_EQ(refused, ask(c.command)) << c.what;
    EXPECT_EQ(pattern(10), files.file(dump, 0));
    EXPECT_TRUE(module.errors().empty());
}

// 90 71 is also the application set-int command: only the read's length is
// taken as a read, the rest is left to the rules after the file system's.
TEST_F(FileSystemTest, SetIntThatSharesTheReadsHeadIsLeftToTheNextRule)
{
    module.add_rule(Rule({}).ack());
    files.store(0x11, 1, pattern(8));
    EXPECT_EQ(ack, ask(hex("90 71 11 00 00 00 01 00 00 00 01 00 00 00")));
    EXPECT_EQ("11 10 71 00 00 00 00 00 00 00 01 00 00 00 0a", ask(file_command(0x71, { 0x11, 1, 1, 1 })));
}

TEST(FileSystem, CopiesShareOneStore)
{
    FileSystem files;
    FileSystem copy = files;
    files.store(3, 9, { 1, 2 });
    files.store(3, 4, {});
    files.store(2, 1, { 5 });
    EXPECT_EQ((std::vector<uint32_t> { 4, 9 }), copy.identifiers(3));
    EXPECT_EQ((Bytes { 1, 2 }), copy.file(3, 9));
    EXPECT_EQ(std::nullopt, copy.file(3, 1));
    EXPECT_TRUE(files.remove(3, 9));
    EXPECT_FALSE(copy.remove(3, 9));
    EXPECT_EQ(2u, copy.names().size());
}

} // namespace
