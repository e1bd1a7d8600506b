// The embedded platform's file calls against a module that keeps files: the
// simulated module's file system answers them as a module does, whole files
// in chunks of 256 bytes included.
#include <linkwell/Linkwell.hpp>

#include <arpa/inet.h>
#include <netinet/in.h>

#include <gtest/gtest.h>

#include <memory>

#include "simmodule/FileSystem.hpp"
#include "simmodule/Messages.hpp"
#include "simmodule/SimModule.hpp"
#include "support/LineSink.hpp"

namespace {

using simmodule::FileSystem;
using simmodule::Rule;
using testsupport::LineSink;
namespace file_type = simmodule::file_type;

Bytes pattern(size_t size)
{
    Bytes data(size);
    for (size_t i = 0; i < size; ++i)
        data[i] = static_cast<uint8_t>(i * 13 + i / 256);
    return data;
}

struct DaxOnModuleWithFiles : testing::Test {
    DaxOnModuleWithFiles()
    {
        module.set_rules(files.rules());
        module.add_rule(Rule({}).ack());
    }

    FileSystem files;
    simmodule::SimModule module { simmodule::Transport::Tcp };
    std::unique_ptr<Sarvik::Linkwell> connector = std::make_unique<Sarvik::Linkwell>(htonl(INADDR_LOOPBACK),
        htons(module.tcp_port()), 0, new LineSink(std::make_shared<LineSink::Record>()));
    Sarvik::Dax& dax = connector->get_dax();
};

TEST_F(DaxOnModuleWithFiles, WholeFilesGoInAndComeBackInChunks)
{
    const Bytes contents = pattern(600); // three chunks, the last one short
    ASSERT_EQ(0, dax.set_file(file_type::crash_dump, 3, contents));
    EXPECT_EQ(contents, files.file(file_type::crash_dump, 3));

    files.store(file_type::parameter_file, 0, pattern(256));
    Bytes read;
    ASSERT_EQ(0, dax.get_file(file_type::crash_dump, 3, &read));
    EXPECT_EQ(contents, read);
    ASSERT_EQ(0, dax.get_file(file_type::parameter_file, 0, &read));
    EXPECT_EQ(pattern(256), read);

    files.store(file_type::crash_dump, 1, {});
    ASSERT_EQ(0, dax.get_file(file_type::crash_dump, 1, &read));
    EXPECT_TRUE(read.empty());
}

TEST_F(DaxOnModuleWithFiles, SearchListsTheIdentifiersOfATypeAndDeleteRemovesAFile)
{
    files.store(file_type::crash_dump, 0, { 1 });
    files.store(file_type::crash_dump, 4, { 2 });
    files.store(file_type::noise_map_first, 0, { 3 });

    std::vector<int> identifiers;
    ASSERT_EQ(0, dax.search_for_file_by_type(file_type::crash_dump, identifiers));
    EXPECT_EQ((std::vector<int> { 0, 4 }), identifiers);

    Sarvik::Files all;
    ASSERT_EQ(0, dax.find_all_files(all));
    EXPECT_EQ((std::vector<int> {
                  int(file_type::crash_dump), int(file_type::crash_dump), int(file_type::noise_map_first) }),
        all.file_types);
    EXPECT_EQ((std::vector<int> { 0, 4, 0 }), all.file_identifiers);

    EXPECT_EQ(0, dax.delete_file(file_type::crash_dump, 0));
    EXPECT_NE(0, dax.delete_file(file_type::crash_dump, 0));
    ASSERT_EQ(0, dax.search_for_file_by_type(file_type::crash_dump, identifiers));
    EXPECT_EQ((std::vector<int> { 4 }), identifiers);
    ASSERT_EQ(0, dax.search_for_file_by_type(0x12345678, identifiers));
    EXPECT_TRUE(identifiers.empty());
}

TEST_F(DaxOnModuleWithFiles, AMissingFileIsAFailedReadThatLeavesTheBytesAlone)
{
    Bytes read { 9, 9 };
    EXPECT_NE(0, dax.get_file(file_type::crash_dump, 0, &read));
    EXPECT_EQ((Bytes { 9, 9 }), read);
}

} // namespace
