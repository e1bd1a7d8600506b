#include "link/DetachableLogger.hpp"
#include "support/LineSink.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using testsupport::LineSink;

namespace {

std::unique_ptr<StdoutLogger> target_logging(int threshold, const std::shared_ptr<LineSink::Record>& record)
{
    return std::make_unique<StdoutLogger>(threshold, new LineSink(record));
}

} // namespace

// The dispatcher asks its DetachableLogger whether a level is on before it
// builds a line per packet: the answer must be the target's at every moment,
// however the target's level was changed.
TEST(DetachableLogger, LogsFollowsTheTargetsLevel)
{
    auto record = std::make_shared<LineSink::Record>();
    auto target = target_logging(0, record);
    DetachableLogger logger(*target);
    EXPECT_TRUE(logger.logs(0));
    EXPECT_FALSE(logger.logs(3));

    target->set_log_level(3); // as RadarInterface::set_log_level does
    EXPECT_TRUE(logger.logs(3));
    EXPECT_FALSE(logger.logs(4));
    logger.log(3, "passed on");
    EXPECT_EQ(std::vector<std::string> { "passed on" }, record->texts());

    logger.set_log_level(-1); // through the detachable logger: every level
    EXPECT_TRUE(target->logs(1000));
    EXPECT_TRUE(logger.logs(1000));

    target->set_log_level(1);
    EXPECT_FALSE(logger.logs(2));
}

// A dispatcher torn down from its own callback outlives the connection's
// logger; asking its DetachableLogger for a level then must not touch the
// logger that is gone, and nothing is written.
TEST(DetachableLogger, AsksNothingOfATargetThatIsGone)
{
    auto record = std::make_shared<LineSink::Record>();
    auto target = target_logging(5, record);
    DetachableLogger logger(*target);
    logger.detach();
    target.reset();
    EXPECT_TRUE(logger.logs(5)); // the last level the target had
    logger.log(5, "dropped");
    logger.print_bytes(5, { 1, 2 });
    logger.error("dropped too");
    EXPECT_TRUE(record->deleted);
    EXPECT_EQ(std::vector<std::string> { "~StdoutLogger" }, record->texts());
}
