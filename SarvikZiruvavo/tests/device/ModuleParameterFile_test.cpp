// The module parameter file of a recording: the lines the reader takes, and
// files that lack what playback needs, say it wrongly or are too large.
#include "device/ModuleParameterFile.hpp"

#include "device/Device.hpp"
#include "support/QtPrinters.hpp"

#include <QBuffer>
#include <gtest/gtest.h>

#include <optional>

namespace {

ModuleParameterFile::Contents scanText(const QByteArray& text)
{
    QByteArray data = text;
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    return ModuleParameterFile::scan(buffer);
}

TEST(ModuleParameterFileTest, CleansAndParsesOneLine)
{
    EXPECT_EQ(QStringLiteral("RangeVec=0.2,9.4"),
        ModuleParameterFile::cleanLine(QStringLiteral("RangeVec = {0.2, 9.4};\n")));
    const struct {
        const char* line;
        const char* key;
        std::optional<QList<float>> values;
    } rows[] = {
        { "RangeVec=0.2,9.4", "RangeVec", QList<float> { 0.2f, 9.4f } },
        { "ZoneSpan=0.4,5.0,6", "ZoneSpan", QList<float> { 0.4f, 5.0f, 6.0f } },
        { "ZoneSpan=-1e1", "ZoneSpan", QList<float> { -10.0f } },
        // Not a number anywhere: the line is no such line.
        { "RangeVec=0.2,abc", "RangeVec", std::nullopt },
        { "RangeVec=", "RangeVec", std::nullopt },
        { "RangeVec=0.2,", "RangeVec", std::nullopt },
        { "RangeVec=1=2", "RangeVec", std::nullopt },
        // Another key, or the key only as the start of a longer one.
        { "RangeVec=0.2,9.4", "ZoneSpan", std::nullopt },
        { "RangeVector=0.2,9.4", "RangeVec", std::nullopt },
        { "", "RangeVec", std::nullopt },
    };
    for (const auto& row : rows) {
        EXPECT_EQ(row.values,
            ModuleParameterFile::parseLine(QString::fromLatin1(row.line), QString::fromLatin1(row.key)))
            << row.line;
    }
    EXPECT_EQ((QList<float> { 0.2f, 9.4f }),
        Device::parseParameterLine(QStringLiteral("RangeVec = {0.2, 9.4};"), QStringLiteral("RangeVec")));
    EXPECT_TRUE(
        Device::parseParameterLine(QStringLiteral("RangeVec=0.2,abc"), QStringLiteral("RangeVec")).isEmpty());
}

TEST(ModuleParameterFileTest, FindsBothKeysAmongOtherLines)
{
    // A range vector line that does not parse is no range vector line; the
    // reading goes on.
    const ModuleParameterFile::Contents found = scanText("# parameters\nFrameRate = 17;\nRangeVec=0.2,abc\n"
                                                         "ZoneSpan = {0.4, 5.0};\nRangeVec = {0.2, 9.4};\n"
                                                         "ZoneSpan = {1, 2, 3};\n");
    EXPECT_EQ(QString(), found.error);
    EXPECT_EQ((QList<float> { 0.2f, 9.4f }), found.rangeVector);
    EXPECT_EQ((QList<float> { 0.4f, 5.0f }), found.zoneSpan);
}

TEST(ModuleParameterFileTest, RefusesWhatPlaybackCannotUse)
{
    const struct {
        const char* text;
        const char* error;
    } rows[] = {
        { "ZoneSpan = {0.4, 5.0};\n", "failed to read required parameters from parfile" },
        { "RangeVec = {0.2, 9.4};\n", "failed to read required parameters from parfile" },
        { "", "failed to read required parameters from parfile" },
        { "RangeVec = {0.2, 9.4};\nZoneSpan = {0.4, 5.0, 6};\n",
            "invalid zone span format: ZoneSpan=0.4,5.0,6" },
        { "RangeVec = {0.2};\nZoneSpan = {0.4, 5.0};\n", "invalid range vec format: RangeVec=0.2" },
        { "RangeVec = {0.2, 9.4};\nZoneSpan = {0.4, 5.0};\n", "" },
    };
    for (const auto& row : rows)
        EXPECT_EQ(QString::fromLatin1(row.error), scanText(row.text).error) << row.text;
}

// Endless input (a device behind the file's name) ends after the most a
// parameter file may hold.
TEST(ModuleParameterFileTest, ReadsNoMoreThanAParameterFileMayHold)
{
    QByteArray lines;
    while (lines.size() <= ModuleParameterFile::maxSize)
        lines += "FrameRate = 17;\n";
    lines += "RangeVec = {0.2, 9.4};\nZoneSpan = {0.4, 5.0};\n";
    EXPECT_EQ(QStringLiteral("failed to read required parameters from parfile"), scanText(lines).error);
    // One line longer than any line may be is read in pieces.
    const QByteArray longLine = QByteArray(3 * ModuleParameterFile::maxLineLength, 'x');
    EXPECT_EQ(QString(), scanText(longLine + "\nRangeVec = {0.2, 9.4};\nZoneSpan = {0.4, 5.0};\n").error);
}

TEST(ModuleParameterFileTest, ProfilesAndTheApplicationsTheirRecordingsFeed)
{
    const struct {
        quint32 profile;
        std::optional<quint32> applications;
    } rows[] = {
        { 0x47FABEBA, 0x40 },
        { 0x014D4AB8, 0x10 },
        { 0x064E57AD, 0x20 },
        { 0x6B5C1609, 0x4000 },
        { 0xA9E03260, 0x400 },
        { 0x4AC5D074, 0x200 },
        { 0, 0x100 },
        { 0x00F17B17, std::nullopt },
        { 0x12345678, std::nullopt },
    };
    for (const auto& row : rows)
        EXPECT_EQ(row.applications, Device::supportedAppsForProfile(row.profile)) << std::hex << row.profile;
}

} // namespace
