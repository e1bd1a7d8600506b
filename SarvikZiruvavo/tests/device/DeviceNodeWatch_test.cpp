#include "device/DeviceNodeWatch.hpp"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <functional>

namespace {

bool touch(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly);
}

TEST(DeviceNodeWatchTest, AnswersYesOnceForEachChangeOfTheDirectory)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ASSERT_TRUE(touch(dir.filePath(QStringLiteral("ttyACM0"))));
    DeviceNodeWatch watch(dir.path());
    EXPECT_TRUE(watch.changed()); // nothing is known yet
    EXPECT_FALSE(watch.changed());

    const struct {
        const char* what;
        std::function<bool()> change;
    } changes[] = {
        { "a node comes", [&] { return touch(dir.filePath(QStringLiteral("ttyACM1"))); } },
        { "its attributes change",
            [&] {
                return QFile::setPermissions(dir.filePath(QStringLiteral("ttyACM1")), QFileDevice::ReadOwner);
            } },
        { "it is renamed",
            [&] { return QDir(dir.path()).rename(QStringLiteral("ttyACM1"), QStringLiteral("ttyUSB0")); } },
        { "it goes", [&] { return QFile::remove(dir.filePath(QStringLiteral("ttyUSB0"))); } },
    };
    for (const auto& c : changes) {
        ASSERT_TRUE(c.change()) << c.what;
        EXPECT_TRUE(watch.changed()) << c.what;
        EXPECT_FALSE(watch.changed()) << c.what << ", asked again";
    }
    // Reading a node is no change.
    QFile node(dir.filePath(QStringLiteral("ttyACM0")));
    ASSERT_TRUE(node.open(QIODevice::ReadOnly));
    node.readAll();
    EXPECT_FALSE(watch.changed());
}

TEST(DeviceNodeWatchTest, WithoutAWatchEveryAnswerIsYes)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    DeviceNodeWatch gone(dir.path());
    DeviceNodeWatch never(dir.filePath(QStringLiteral("no-such-directory")));
    EXPECT_TRUE(gone.changed());
    EXPECT_FALSE(gone.changed());
    ASSERT_TRUE(dir.remove());
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(gone.changed()) << i;
        EXPECT_TRUE(never.changed()) << i;
    }
}

} // namespace
