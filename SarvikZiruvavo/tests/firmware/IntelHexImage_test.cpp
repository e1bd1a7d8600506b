#include "firmware/IntelHexImage.hpp"
#include "support/HexFiles.hpp"
#include "support/MessageLog.hpp"
#include "support/QtPrinters.hpp"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using HexFiles::endOfFile;
using HexFiles::raw;
using HexFiles::record;

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(char(v));
    return out;
}

QByteArray ff(int count)
{
    return QByteArray(count, char(0xFF));
}

QString linear(quint16 upper)
{
    return record(HexFiles::ExtendedLinear, 0, bytes({ upper >> 8, upper & 0xFF }));
}

class IntelHexImageTest : public ::testing::Test {
protected:
    QString file(const QStringList& lines)
    {
        return HexFiles::write(folder.filePath(QStringLiteral("image.hex")), lines);
    }
    QTemporaryDir folder;
};

struct GoodImage {
    const char* name;
    QStringList lines;
    quint32 start;
    QByteArray data;
};

TEST_F(IntelHexImageTest, LoadsRecordsIntoOneContiguousBlock)
{
    const QByteArray four = bytes({ 1, 2, 3, 4 });
    const QByteArray largest = HexFiles::pattern(255);
    const GoodImage table[] = {
        { "gap between records filled with 0xFF",
            { record(0, 0x0000, four), record(0, 0x0008, bytes({ 5, 6, 7, 8 })), endOfFile() }, 0,
            four + ff(4) + bytes({ 5, 6, 7, 8 }) },
        { "extended linear address", { linear(0x0040), record(0, 0x0000, four), endOfFile() }, 0x400000,
            four },
        { "extended segment address",
            { record(HexFiles::ExtendedSegment, 0, bytes({ 0x10, 0x00 })), record(0, 0x0010, four),
                endOfFile() },
            0x10010, four },
        { "records continue across a linear address change",
            { linear(0x0001), record(0, 0xFFFC, four), linear(0x0002), record(0, 0x0000, four), endOfFile() },
            0x1FFFC, four + four },
        { "lower-case digits and blank lines",
            { record(0, 0x0100, four).toLower(), QString(), endOfFile(), QString() }, 0x100, four },
        { "start address records ignored",
            { record(3, 0, bytes({ 0, 0, 0, 0 })), record(0, 0x0000, four),
                record(5, 0, bytes({ 0, 0, 1, 0 })), endOfFile() },
            0, four },
        { "largest legal record", { record(0, 0x0000, largest), endOfFile() }, 0, largest },
        { "far address without a gap", { linear(0x0800), record(0, 0x0000, four), endOfFile() }, 0x08000000,
            four },
        { "end-of-file record alone", { endOfFile() }, 0, QByteArray() },
    };
    for (const GoodImage& row : table) {
        IntelHexImage image(file(row.lines));
        EXPECT_TRUE(image.load()) << row.name;
        EXPECT_EQ(image.startAddress(), row.start) << row.name;
        EXPECT_EQ(image.endAddress(), row.start + quint32(row.data.size())) << row.name;
        const MemorySegment memory = image.memory();
        EXPECT_EQ(memory.address(), row.start) << row.name;
        EXPECT_EQ(memory.data(), row.data) << row.name;
    }
}

struct BadLine {
    const char* name;
    QString line; // empty: the file just ends
};

// One refused line after a good record: the load fails, names the line, and
// the image keeps only what came before it.
TEST_F(IntelHexImageTest, RefusesEveryLineItCannotPlaceExactly)
{
    const QByteArray four = bytes({ 1, 2, 3, 4 });
    QString notHex = record(0, 0x0004, four);
    notHex[9] = QLatin1Char('G');
    QString badChecksum = record(0, 0x0004, four);
    badChecksum[badChecksum.size() - 1]
        = badChecksum.endsWith(QLatin1Char('0')) ? QLatin1Char('1') : QLatin1Char('0');
    const BadLine table[] = {
        { "character that is not a hex digit", notHex },
        { "count larger than the data", raw(bytes({ 4, 0, 4, 0, 1, 2, 3 })) },
        { "count smaller than the data", raw(bytes({ 2, 0, 4, 0, 1, 2, 3 })) },
        { "odd number of digits", record(0, 0x0004, four) + QLatin1Char('0') },
        { "bad checksum", badChecksum },
        { "record goes back below the end", record(0, 0x0002, four) },
        { "gap beyond the size cap", linear(0x0800) + QLatin1Char('\n') + record(0, 0x0000, four) },
        { "unknown record type", record(6, 0, four) },
        { "address record with one byte", raw(bytes({ 1, 0, 0, 4, 0x40 })) },
        { "shorter than a record", QStringLiteral(":0000000") },
        { "no colon", QStringLiteral("00000001FF0") },
        { "missing end-of-file record", QString() },
    };
    for (const BadLine& row : table) {
        QStringList lines { record(0, 0x0000, four) };
        if (!row.line.isEmpty())
            lines << row.line << endOfFile();
        MessageLog log;
        IntelHexImage image(file(lines));
        EXPECT_FALSE(image.load()) << row.name;
        EXPECT_EQ(image.memory().data(), four) << row.name;
        EXPECT_EQ(log.warnings().size(), 1) << row.name;
    }
}

TEST_F(IntelHexImageTest, MissingFileFailsToLoad)
{
    MessageLog log;
    IntelHexImage image(folder.filePath(QStringLiteral("absent.hex")));
    EXPECT_FALSE(image.load());
    EXPECT_EQ(log.count(QStringLiteral("File could not be opened")), 1);
    EXPECT_TRUE(image.memory().data().isEmpty());
}

// The flash as the pages write it: byte i of page n is the segment's byte at
// n * pageSize + i, or 0xFF where the segment has none.
QByteArray expectedPage(quint32 number, int pageSize, const MemorySegment& segment)
{
    QByteArray page = ff(pageSize);
    for (int i = 0; i < pageSize; ++i) {
        const qint64 at = qint64(number) * pageSize + i - segment.address();
        if (at >= 0 && at < segment.data().size())
            page[i] = segment.data()[int(at)];
    }
    return page;
}

struct PageCase {
    const char* name;
    quint32 address;
    int size;
    int pageSize;
    QList<quint32> numbers; // empty: refused
};

TEST_F(IntelHexImageTest, BuildsPagesNumberedByAddress)
{
    const PageCase table[] = {
        { "three pages, the last one partly erased", 0, 1030, 512, { 0, 1, 2 } },
        { "exactly one page", 0x400, 512, 512, { 2 } },
        { "above 64 KiB the numbers go on", 0x20000, 600, 512, { 256, 257 } },
        { "unaligned start keeps every byte at its address", 0x100, 300, 512, { 0, 1 } },
        { "last page number that fits", 0xFFFFu * 512, 512, 512, { 0xFFFF } },
        { "page number above 0xFFFF refused", 0xFFFFu * 512 + 1, 512, 512, {} },
        { "empty segment", 0x400, 0, 512, {} },
        { "page size 0", 0, 16, 0, {} },
    };
    for (const PageCase& row : table) {
        const MemorySegment segment(row.address, row.size, HexFiles::pattern(row.size));
        const QList<MemorySegment> pages = IntelHexImage::buildPages(row.pageSize, segment);
        ASSERT_EQ(pages.size(), row.numbers.size()) << row.name;
        for (int i = 0; i < pages.size(); ++i) {
            EXPECT_EQ(pages[i].address(), row.numbers[i]) << row.name;
            EXPECT_EQ(pages[i].data(), expectedPage(row.numbers[i], row.pageSize, segment))
                << row.name << " page " << i;
        }
    }
}

// The upgrade's sequence: load, move the start into flash numbering, cut.
TEST_F(IntelHexImageTest, ImageAtTheFlashOffsetStartsOnPageZero)
{
    const QByteArray data = HexFiles::pattern(1030);
    IntelHexImage image(file(HexFiles::image(0x400000, data) << endOfFile()));
    ASSERT_TRUE(image.load());
    EXPECT_TRUE(image.adjustStartAddress(0x400000));
    const QList<MemorySegment> pages = IntelHexImage::buildPages(512, image.memory());
    ASSERT_EQ(pages.size(), 3);
    EXPECT_EQ(pages[0].address(), 0u);
    EXPECT_EQ(pages[0].data(), data.left(512));
    EXPECT_EQ(pages[1].data(), data.mid(512, 512));
    EXPECT_EQ(pages[2].data(), data.mid(1024) + ff(506));
}

TEST_F(IntelHexImageTest, ImageBelowTheFlashOffsetGivesNoPages)
{
    IntelHexImage image(file(HexFiles::image(0x1000, HexFiles::pattern(64)) << endOfFile()));
    ASSERT_TRUE(image.load());
    MessageLog log;
    EXPECT_FALSE(image.adjustStartAddress(0x400000));
    EXPECT_EQ(log.warnings().size(), 1);
    EXPECT_TRUE(IntelHexImage::buildPages(512, image.memory()).isEmpty());
}

TEST_F(IntelHexImageTest, DumpsSixteenBytesALineAndABreakEvery512)
{
    IntelHexImage image(file(HexFiles::image(0, HexFiles::pattern(530)) << endOfFile()));
    ASSERT_TRUE(image.load());
    const QStringList lines = image.dump().split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 32 + 3 + 2 + 1);
    EXPECT_EQ(lines[0], QStringLiteral("0,1,2,3,4,5,6,7,8,9,a,b,c,d,e,f"));
    EXPECT_EQ(lines[31].count(QLatin1Char(',')), 15);
    EXPECT_EQ(lines.mid(32, 3), (QStringList { QString(), QString(), QString() }));
    // Bytes 512 to 529 of the pattern are 10 to 27.
    EXPECT_EQ(lines[35], QStringLiteral("a,b,c,d,e,f,10,11,12,13,14,15,16,17,18,19"));
    EXPECT_EQ(lines[36], QStringLiteral("1a,1b"));
    EXPECT_EQ(lines[37], QString());
}

} // namespace
