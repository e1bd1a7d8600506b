// Warnings about refused messages: the first refusal of a source in full,
// then one summary line per interval at most, the rest counted; what is
// counted and not told comes out when the source is flushed.
#include "recording/RefusalWarnings.hpp"

#include <gtest/gtest.h>

using Sarvik::RefusalWarnings;
using std::chrono::milliseconds;

namespace {

TEST(RefusalWarnings, TellTheFirstRefusalThenSummariseAtMostOncePerInterval)
{
    RefusalWarnings warnings(milliseconds(1000));
    const auto t0 = RefusalWarnings::Clock::time_point() + milliseconds(5000);
    const auto at = [&](int ms) { return t0 + milliseconds(ms); };

    EXPECT_EQ("Sleep data: message of 32 bytes refused (needs 33 bytes)",
        warnings.refused("Sleep data", 32, "needs 33 bytes", at(0)));
    // A stream of refusals within the interval: counted, not told.
    for (int ms = 1; ms < 1000; ++ms)
        ASSERT_EQ("", warnings.refused("Sleep data", 20, "needs 33 bytes", at(ms))) << ms;
    // Another source has its own first line.
    EXPECT_EQ("Sleep stage data: message of 16 bytes refused (needs 17 bytes)",
        warnings.refused("Sleep stage data", 16, "needs 17 bytes", at(500)));
    EXPECT_EQ("Sleep data: 1000 more messages refused (last: 4 bytes, unexpected head)",
        warnings.refused("Sleep data", 4, "unexpected head", at(1000)));
    EXPECT_EQ("", warnings.refused("Sleep data", 32, "needs 33 bytes", at(1001)));
    EXPECT_EQ("", warnings.refused("Sleep data", 31, "needs 33 bytes", at(1999)));
    // A refusal long after the last line is told with what came before it.
    EXPECT_EQ("Sleep data: 3 more messages refused (last: 30 bytes, needs 33 bytes)",
        warnings.refused("Sleep data", 30, "needs 33 bytes", at(60000)));

    // The flush tells what is untold, once; the source then starts afresh.
    EXPECT_EQ("", warnings.flush("Sleep data"));
    EXPECT_EQ("", warnings.flush("No such source"));
    EXPECT_EQ("", warnings.refused("Sleep stage data", 15, "needs 17 bytes", at(600)));
    EXPECT_EQ("Sleep stage data: 1 more message refused (last: 15 bytes, needs 17 bytes)",
        warnings.flush("Sleep stage data"));
    EXPECT_EQ("", warnings.flush("Sleep stage data"));
    EXPECT_EQ("Sleep stage data: message of 14 bytes refused (needs 17 bytes)",
        warnings.refused("Sleep stage data", 14, "needs 17 bytes", at(700)));
}

} // namespace
