// Recordings whose files are not what they claim to be: a FIFO, a device or
// a directory in place of an index file or a data file is refused at once
// (a FIFO must never block the reader in its open), a symbolic link that
// stays inside the recording is followed, and a read that fails or meets a
// close entry hands out no bytes of an earlier read.
#include <linkwell/DataPlayer.hpp>
#include <linkwell/DataReader.hpp>

#include "support/IndexFileWriter.hpp"
#include "support/StdoutCapture.hpp"
#include "support/TestSupport.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <future>
#include <sys/stat.h>
#include <unistd.h>

using Sarvik::DataReader;
using Sarvik::DataRecord;
using testsupport::bytes_of;
using testsupport::float_type;
using testsupport::IndexFileWriter;
using testsupport::stdout_of;
using testsupport::TempDir;

namespace {

const std::string hostile_session = "2b7e4c1a-9d3f-4a6b-8c5e-0f1a2b3c4d5e";

// Runs the action on a thread of its own and gives whether it returned
// within a generous deadline. An action stuck in opening one of the FIFOs is
// set free by opening them for writing, so that the test fails instead of
// hanging.
bool returns_at_once(const std::function<void()>& action, const std::vector<std::string>& fifos)
{
    auto done = std::async(std::launch::async, [&] { stdout_of(action); });
    if (done.wait_for(std::chrono::seconds(20)) == std::future_status::ready) {
        done.get();
        return true;
    }
    while (done.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready)
        for (const std::string& fifo : fifos) {
            const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0)
                ::close(fd);
        }
    return false;
}

// One data file d.dat with two records, in a closed index file.
std::string two_records(const std::string& directory)
{
    IndexFileWriter writer(directory, hostile_session);
    const uint32_t f = writer.add_data_file("d.dat");
    writer.write(f, float_type, bytes_of("abcd"), 0);
    writer.write(f, float_type, bytes_of("efgh"), 5);
    writer.close_data_file(f, float_type, 6);
    return writer.finish();
}

void replace_by_fifo(const std::string& path)
{
    std::filesystem::remove(path);
    ASSERT_EQ(0, mkfifo(path.c_str(), 0600));
}

TEST(HostileRecordings, FifoInPlaceOfTheIndexFileIsRefusedAtOnce)
{
    const TempDir dir;
    const std::string index = two_records(dir.path());
    replace_by_fifo(index);
    DataReader reader;
    int status = 0;
    ASSERT_TRUE(returns_at_once([&] { status = reader.open(index, -1); }, { index }));
    EXPECT_EQ(1, status);
    EXPECT_FALSE(reader.is_open());
    ASSERT_TRUE(returns_at_once(
        [&] { EXPECT_THROW(Sarvik::DataPlayer player(index, -1), std::runtime_error); }, { index }));
}

TEST(HostileRecordings, DeviceOrDirectoryInPlaceOfTheIndexFileIsRefused)
{
    const TempDir dir;
    for (const std::string& index : { std::string("/dev/zero"), std::string("/dev/null"), dir.path() }) {
        DataReader reader;
        int status = 0;
        ASSERT_TRUE(returns_at_once([&] { status = reader.open(index, -1); }, {})) << index;
        EXPECT_EQ(1, status) << index;
    }
}

TEST(HostileRecordings, FifoInPlaceOfADataFileFailsItsRecordsAtOnce)
{
    const TempDir dir;
    const std::string index = two_records(dir.path());
    const std::string data = dir.path() + "/d.dat";
    replace_by_fifo(data);
    DataReader reader;
    ASSERT_EQ(0, reader.open(index, -1));
    DataRecord record;
    ASSERT_TRUE(returns_at_once([&] { record = reader.read_record(); }, { data }));
    EXPECT_FALSE(record.is_valid);
    EXPECT_TRUE(record.data.empty());

    // Played back, the recording ends instead of hanging the player.
    ASSERT_TRUE(returns_at_once(
        [&] {
            Sarvik::DataPlayer player(index, -1);
            player.play();
        },
        { data }));
}

TEST(HostileRecordings, SymbolicLinksThatStayInsideAreFollowed)
{
    const TempDir dir;
    const std::string index = two_records(dir.path());
    std::filesystem::create_directory(dir.path() + "/store");
    std::filesystem::rename(dir.path() + "/d.dat", dir.path() + "/store/d.dat");
    std::filesystem::create_symlink("store/d.dat", dir.path() + "/d.dat");
    DataReader reader;
    ASSERT_EQ(0, reader.open(index, -1));
    EXPECT_EQ(bytes_of("abcd"), reader.read_record().data);
    EXPECT_EQ(bytes_of("efgh"), reader.read_record().data);
}

TEST(HostileRecordings, ACloseEntryAfterAFailedReadHandsOutNoBytes)
{
    // Records too large for the read-ahead window are read straight from
    // the data file; the second one fails once the file has been cut.
    const TempDir dir;
    IndexFileWriter writer(dir.path(), hostile_session);
    const uint32_t f = writer.add_data_file("d.dat");
    const Bytes large(20000, 0x5A);
    writer.write(f, float_type, large, 0);
    writer.write(f, float_type, large, 1);
    writer.close_data_file(f, float_type, 2);
    writer.write(writer.add_data_file("e.dat"), float_type, bytes_of("x"), 3);
    DataReader reader;
    ASSERT_EQ(0, reader.open(writer.finish(), -1));
    EXPECT_EQ(large, reader.read_record().data);
    IndexFileWriter::truncate(dir.path() + "/d.dat", 20000);
    testing::internal::CaptureStderr();
    stdout_of([&] { EXPECT_FALSE(reader.read_record().is_valid); });
    testing::internal::GetCapturedStderr();
    // The close entry of d.dat is not the last entry: it reads through to
    // the next record, whose bytes are its own.
    const DataRecord next = reader.read_record();
    ASSERT_TRUE(next.is_valid);
    EXPECT_EQ(bytes_of("x"), next.data);
}

TEST(HostileRecordings, ACloseEntryThatEndsTheRecordingIsARecordWithoutBytes)
{
    const TempDir dir;
    IndexFileWriter writer(dir.path(), hostile_session);
    const uint32_t f = writer.add_data_file("d.dat");
    const Bytes large(20000, 0x5A);
    writer.write(f, float_type, large, 0);
    writer.write(f, float_type, large, 1);
    writer.close_data_file(f, float_type, 2);
    // With one byte more in the header's bytes recorded than the entries
    // count, the last record does not end the file: its close entry is read
    // as the last record, without bytes.
    DataReader reader;
    const std::string index = writer.finish();
    IndexFileWriter::patch(index, 21, testsupport::PayloadBuilder().u32(40001).u32(0).build());
    ASSERT_EQ(0, reader.open(index, -1));
    EXPECT_EQ(large, reader.read_record().data);
    IndexFileWriter::truncate(dir.path() + "/d.dat", 20000);
    testing::internal::CaptureStderr();
    stdout_of([&] { EXPECT_FALSE(reader.read_record().is_valid); });
    testing::internal::GetCapturedStderr();
    const DataRecord close = reader.read_record();
    ASSERT_TRUE(close.is_valid);
    EXPECT_TRUE(close.data.empty());
}

} // namespace
