// The text the playback bar shows for a recording: durations, sizes, the data
// types it holds and the whole description.
#include "device/RecordingSummary.hpp"

#include "support/QtPrinters.hpp"

#include <QDateTime>
#include <gtest/gtest.h>

namespace {

TEST(RecordingSummaryTest, Durations)
{
    const struct {
        qint64 ms;
        const char* text;
    } rows[] = {
        { 0, "0 seconds" },
        { 999, "0 seconds" },
        { 1000, "1 second" },
        { 61000, "1 minute 1 second" },
        { 120000, "2 minutes 0 seconds" },
        { 3723000, "1 hour 2 minutes 3 seconds" },
        { 3600000, "1 hour 0 seconds" },
        // Hours go on counting past a day.
        { 26 * 3600000LL + 5000, "26 hours 5 seconds" },
        { 100 * 3600000LL + 59 * 60000 + 59999, "100 hours 59 minutes 59 seconds" },
    };
    for (const auto& row : rows)
        EXPECT_EQ(QString::fromLatin1(row.text), RecordingSummary::durationText(row.ms)) << row.ms;
}

TEST(RecordingSummaryTest, Sizes)
{
    const struct {
        qint64 bytes;
        const char* text;
    } rows[] = {
        { -1, "-1 bytes" },
        { 0, "0 bytes" },
        { 999, "999 bytes" },
        { 1000, "1.0 kB" },
        { 1500, "1.5 kB" },
        { 999949, "999.9 kB" },
        { 2500000, "2.5 MB" },
        { 1000000000, "1.0 GB" },
        { 12345678901LL, "12.3 GB" },
    };
    for (const auto& row : rows)
        EXPECT_EQ(QString::fromLatin1(row.text), RecordingSummary::sizeText(row.bytes)) << row.bytes;
}

TEST(RecordingSummaryTest, DataTypeListsInTheirOwnOrder)
{
    EXPECT_EQ(QStringLiteral("[0] Baseband A/P\n[1] Respiration Normalized Moving List\n[2] Vital Signs\n"),
        RecordingSummary::dataTypeList(0x10000 | 0x40000 | 0x1));
    EXPECT_EQ(QStringLiteral("[0] Presence Single\n[1] Presence Moving List\n"),
        RecordingSummary::dataTypeList(0x3000));
    // Types the list does not name (radar RF, sleep stage) are left out.
    EXPECT_EQ(
        QStringLiteral("[0] Pulse-Doppler Byte\n"), RecordingSummary::dataTypeList(0x80 | 0x80000 | 0x20000));
    EXPECT_EQ(QString(), RecordingSummary::dataTypeList(0));
    const QStringList every = RecordingSummary::dataTypeList(0xFFFFFFFF).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(18, every.size());
    EXPECT_EQ(QStringLiteral("[17] Vital Signs"), every.last());
}

TEST(RecordingSummaryTest, DescribesTheWholeRecording)
{
    RecordingSummary summary;
    summary.startEpochMs = 1700000000000;
    summary.durationMs = 61000;
    summary.sizeBytes = 2500000;
    summary.dataTypes = 0x3000;
    summary.sessionId = QStringLiteral("3c1d5e7f");
    summary.metaVersion = 13;
    const QString start = QDateTime::fromMSecsSinceEpoch(1700000000000).toString(Qt::ISODate);
    EXPECT_EQ(QStringLiteral("Started: ") + start
            + QStringLiteral("\nDuration: 1 minute 1 second\nSize: 2.5 MB\nSession ID: 3c1d5e7f\nMeta file "
                             "version: 1.3\n\nData types included in recording:\n[0] Presence Single\n[1] "
                             "Presence Moving List\n"),
        summary.text());
    EXPECT_EQ(QStringLiteral("1.2"), RecordingSummary::versionText(12));
    EXPECT_EQ(QStringLiteral("13"), RecordingSummary::versionText(130));
    EXPECT_EQ(QStringLiteral("0"), RecordingSummary::versionText(0));
}

} // namespace
