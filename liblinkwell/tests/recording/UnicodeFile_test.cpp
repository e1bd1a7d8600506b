#include "recording/UnicodeFile.hpp"

#include "support/FileSizeLimit.hpp"
#include "support/TestSupport.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

using testsupport::TempDir;

namespace {

constexpr auto write_new = std::ios::out | std::ios::binary;
constexpr auto read_only = std::ios::in | std::ios::binary;

std::string contents(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void put(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

Bytes bytes(const std::string& text)
{
    return Bytes(text.begin(), text.end());
}

TEST(UnicodeFile, NonAsciiNamesWorkForEveryOperation)
{
    const TempDir dir;
    const std::string folder = dir.path() + "/målinger";
    ASSERT_TRUE(UnicodeFile::create_directory(folder));
    const std::string name = folder + "/øæå.dat";

    {
        UnicodeFile file(name, write_new, true);
        ASSERT_TRUE(file.is_open());
        EXPECT_TRUE(file.write(bytes("data ")));
        EXPECT_TRUE(file.write_size_prefixed(bytes("ünï")));
        EXPECT_TRUE(file.good());
    }
    EXPECT_TRUE(UnicodeFile::file_exists(name));
    EXPECT_EQ(std::string("data \x05\0\0\0\xC3\xBCn\xC3\xAF", 14), contents(name));

    UnicodeFile reader(name, read_only);
    char head[5];
    ASSERT_TRUE(reader.read_bytes(head, 5));
    EXPECT_EQ("ünï", reader.read_size_prefixed_string());

    const std::string renamed = folder + "/ÆØÅ målt.dat";
    EXPECT_TRUE(reader.rename(renamed));
    EXPECT_EQ(renamed, reader.filename());
    EXPECT_TRUE(reader.is_open());
    EXPECT_FALSE(UnicodeFile::file_exists(name));
    EXPECT_TRUE(UnicodeFile::file_exists(renamed));

    reader.delete_file();
    EXPECT_FALSE(reader.is_open());
    EXPECT_FALSE(UnicodeFile::file_exists(renamed));
    EXPECT_NO_THROW(reader.delete_file()); // a missing file is no error
    EXPECT_EQ(folder, dirname(renamed));
}

TEST(UnicodeFile, DirnameCutsAtTheLastSeparatorOfEitherKind)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        { "målinger/øæå.dat", "målinger" },
        { "a/b/c.dat", "a/b" },
        { "a\\b/c", "a\\b" },
        { "a/b\\c", "a/b" },
        { "c.dat", "" },
        { "/c.dat", "" },
        { "", "" },
    };
    for (const auto& [path, expected] : cases)
        EXPECT_EQ(expected, dirname(path)) << path;
}

TEST(UnicodeFile, SizePrefixedStringsStopAtNulAndAtTheEndOfTheFile)
{
    const TempDir dir;
    const std::string name = dir.path() + "/strings";
    const std::vector<std::tuple<std::string, std::string, bool>> cases = {
        { std::string("\x05\0\0\0abcd\0", 9), "abcd", true },
        { std::string("\x05\0\0\0ab\0cd", 9), "ab", true }, { std::string("\0\0\0\0", 4), "", true },
        { std::string("\x06\0\0\0abcd\0", 9), "", false }, // longer than the file
        { std::string("\xFF\xFF\xFF\xFF", 4), "", false },
        { std::string("\x05\0", 2), "", false }, // no whole prefix
    };
    for (const auto& [stored, expected, good] : cases) {
        put(name, stored);
        UnicodeFile file(name, read_only);
        EXPECT_EQ(expected, file.read_size_prefixed_string());
        EXPECT_EQ(good, file.good());
    }
}

TEST(UnicodeFile, RenameIntoAMissingDirectoryFailsAndKeepsTheName)
{
    const TempDir dir;
    const std::string name = dir.path() + "/a.writing";
    UnicodeFile file(name, write_new);
    ASSERT_TRUE(file.write(bytes("x")));
    testing::internal::CaptureStderr();
    EXPECT_FALSE(file.rename(dir.path() + "/missing/a.dat"));
    EXPECT_EQ("Failed renaming file: No such file or directory\n", testing::internal::GetCapturedStderr());
    EXPECT_EQ(name, file.filename());
    EXPECT_TRUE(UnicodeFile::file_exists(name));
}

TEST(UnicodeFile, RenameNeverReplacesAnExistingFile)
{
    const TempDir dir;
    const std::string name = dir.path() + "/new.writing";
    const std::string taken = dir.path() + "/old.dat";
    put(taken, "old data");
    UnicodeFile file(name, write_new);
    ASSERT_TRUE(file.write(bytes("new data")));
    testing::internal::CaptureStderr();
    EXPECT_FALSE(file.rename(taken));
    EXPECT_EQ("Failed renaming file: File exists\n", testing::internal::GetCapturedStderr());
    EXPECT_EQ(name, file.filename());
    EXPECT_EQ("old data", contents(taken));
    EXPECT_EQ("new data", contents(name));
}

TEST(UnicodeFile, DirectoriesAndExistence)
{
    const TempDir dir;
    const std::string sub = dir.path() + "/sub";
    const std::string plain = dir.path() + "/plain";
    put(plain, "x");
    EXPECT_TRUE(UnicodeFile::create_directory(sub));
    EXPECT_TRUE(UnicodeFile::create_directory(sub)); // exists already
    EXPECT_FALSE(UnicodeFile::create_directory(dir.path() + "/missing/sub"));
    EXPECT_FALSE(UnicodeFile::create_directory(plain));
    EXPECT_TRUE(UnicodeFile::file_exists(sub));
    EXPECT_TRUE(UnicodeFile::file_exists(plain));
    EXPECT_FALSE(UnicodeFile::file_exists(dir.path() + "/missing"));
    EXPECT_FALSE(UnicodeFile::file_exists(plain + "/below-a-file"));
    EXPECT_FALSE(UnicodeFile::file_exists(""));
    EXPECT_EQ(UnicodeFile::identity(plain), UnicodeFile::identity(sub + "/../plain"));
    EXPECT_FALSE(UnicodeFile::identity(dir.path() + "/missing"));
}

TEST(UnicodeFile, OpenModesOfTheRecorder)
{
    const TempDir dir;
    const std::string name = dir.path() + "/index";
    EXPECT_FALSE(UnicodeFile(name, read_only).is_open()); // reading needs the file
    EXPECT_FALSE(UnicodeFile(name, std::ios::in | std::ios::out | std::ios::binary).is_open());

    put(name, "stale contents");
    {
        UnicodeFile file(name, write_new);
        ASSERT_TRUE(file.write(bytes("0123456789")));
    }
    EXPECT_EQ("0123456789", contents(name)); // truncated first

    // Update in place: start at the end, append, then rewrite a field.
    {
        UnicodeFile file(name, std::ios::in | std::ios::out | std::ios::binary | std::ios::ate);
        ASSERT_TRUE(file.is_open());
        EXPECT_EQ(10, file.tellp());
        EXPECT_TRUE(file.write(bytes("AB")));
        EXPECT_TRUE(file.seekp(2));
        EXPECT_TRUE(file.write(bytes("xy")));
        EXPECT_EQ(4, file.tellp());
    }
    EXPECT_EQ("01xy456789AB", contents(name));

    {
        UnicodeFile file(name, std::ios::out | std::ios::app);
        EXPECT_TRUE(file.write(bytes("!")));
    }
    EXPECT_EQ("01xy456789AB!", contents(name));

    // Text written in memory first.
    {
        UnicodeFile file(name, std::ios::out);
        std::stringbuf text("[MainSection]\nGUID=x\n");
        file << &text;
        EXPECT_TRUE(file.good());
    }
    EXPECT_EQ("[MainSection]\nGUID=x\n", contents(name));

    UnicodeFile twice(name, read_only);
    EXPECT_FALSE(twice.open(read_only)); // already open
    EXPECT_FALSE(twice.good());
}

TEST(UnicodeFile, PositionsAndStateAfterReadingPastTheEnd)
{
    const TempDir dir;
    const std::string name = dir.path() + "/f";
    put(name, "abcdef");
    UnicodeFile file(name, read_only);
    char buffer[8];
    EXPECT_TRUE(file.seekg(2, std::ios::beg));
    EXPECT_TRUE(file.seekg(1, std::ios::cur));
    EXPECT_EQ(3, file.tellg());
    EXPECT_TRUE(file.seekg(-2, std::ios::end));
    EXPECT_EQ(4, file.tellg());
    EXPECT_EQ(6, file.size());

    EXPECT_FALSE(file.read_bytes(buffer, 3)); // two left
    EXPECT_TRUE(file.eof());
    EXPECT_FALSE(file.good());
    EXPECT_EQ(-1, file.tellg());
    EXPECT_FALSE(file.seekg(0, std::ios::beg)); // a failed stream stays failed
    file.clear();
    EXPECT_TRUE(file.seekg(0, std::ios::beg));
    ASSERT_TRUE(file.read_bytes(buffer, 6));
    EXPECT_EQ("abcdef", std::string(buffer, 6));
    EXPECT_FALSE(file.seekg(-1, std::ios::beg));
}

TEST(UnicodeFile, ExtensionIsTheLastDotAndWhatFollows)
{
    UnicodeFile file;
    file.set_filename("dir.d/sarvik_recording_meta.writing");
    EXPECT_TRUE(file.has_extension(".writing"));
    EXPECT_FALSE(file.has_extension(".dat"));
    EXPECT_FALSE(file.has_extension("writing"));
    file.clear_filename();
    EXPECT_EQ("", file.filename());
}

TEST(UnicodeFile, WritesOnAClosedFileFailHarmlessly)
{
    UnicodeFile file(true);
    EXPECT_FALSE(file.write(bytes("x")));
    EXPECT_FALSE(file.write_size_prefixed(bytes("x")));
    EXPECT_TRUE(file.fail());
    EXPECT_FALSE(file.close());
    EXPECT_EQ(-1, file.tellp());
}

TEST(UnicodeFile, WritesThatDoNotReachTheFileReportFailure)
{
    for (bool flush : { false, true }) {
        UnicodeFile full("/dev/full", std::ios::out | std::ios::binary, flush);
        ASSERT_TRUE(full.is_open());
        EXPECT_FALSE(full.write(bytes("lost")));
        EXPECT_TRUE(full.fail());
        EXPECT_FALSE(full.write(bytes("refused while failed")));
    }

    const TempDir dir;
    const std::string name = dir.path() + "/limited";
    const Bytes block(6000, 0x5A);
    {
        const testsupport::FileSizeLimit limit(4096);
        UnicodeFile file(name, write_new);
        EXPECT_TRUE(file.write(Bytes(block.begin(), block.begin() + 4000)));
        EXPECT_FALSE(file.write(Bytes(block.begin(), block.begin() + 2000))); // 96 bytes fit
        EXPECT_FALSE(file.good());
    }
    EXPECT_EQ(4096u, contents(name).size());
}

} // namespace
