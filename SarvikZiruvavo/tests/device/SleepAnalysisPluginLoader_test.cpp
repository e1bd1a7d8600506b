#include "apps/SleepAnalysisInterface.hpp"
#include "device/SleepAnalysisPluginLoader.hpp"
#include "support/FakeSleepAnalysis.hpp"
#include "support/QtPrinters.hpp"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QObject>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(SleepAnalysisPluginLoaderTest, LooksBesideTheProgramOrAboveItsDebugOrReleaseFolder)
{
    const struct {
        const char* programDirectory;
        const char* folder;
    } table[] = {
        { "/opt/sarvik", "/opt/sarvik/plugins" },
        { "/opt/sarvik/release", "/opt/sarvik/plugins" },
        { "/opt/sarvik/debug", "/opt/sarvik/plugins" },
        { "/opt/sarvik/release/", "/opt/sarvik/plugins" },
        { "/opt/sarvik/Release", "/opt/sarvik/Release/plugins" },
        { "/opt/sarvik/DEBUG", "/opt/sarvik/DEBUG/plugins" },
        { "/opt/sarvik/release-1", "/opt/sarvik/release-1/plugins" },
        { "/release/sarvik", "/release/sarvik/plugins" },
    };
    for (const auto& row : table)
        EXPECT_EQ(SleepAnalysisPluginLoader::pluginFolder(QString::fromUtf8(row.programDirectory)),
            QString::fromUtf8(row.folder))
            << row.programDirectory;
}

enum class Library { FakePlugin, OtherInterface, NotAPlugin, Text, Folder };

struct Entry {
    Library library;
    const char* name;
};

struct Layout {
    const char* what;
    const char* programDirectory; // below the temporary root
    const char* pluginFolder; // below the temporary root, null: none
    std::vector<Entry> entries;
    const char* loaded; // file name of the plug-in taken, null: none
};

// Builds the layout in root: the program directory and the plug-in folder with its entries.
void build(const QTemporaryDir& root, const Layout& layout)
{
    ASSERT_TRUE(QDir(root.path()).mkpath(QString::fromUtf8(layout.programDirectory)));
    if (!layout.pluginFolder)
        return;
    const QString folder = root.filePath(QString::fromUtf8(layout.pluginFolder));
    ASSERT_TRUE(QDir().mkpath(folder));
    for (const Entry& entry : layout.entries) {
        const QString name = QString::fromUtf8(entry.name);
        switch (entry.library) {
        case Library::FakePlugin:
            ASSERT_FALSE(FakeSleepAnalysis::install(FakeSleepAnalysis::pluginPath(), folder, name).isEmpty());
            break;
        case Library::OtherInterface:
            ASSERT_FALSE(
                FakeSleepAnalysis::install(FakeSleepAnalysis::otherInterfacePluginPath(), folder, name)
                    .isEmpty());
            break;
        case Library::NotAPlugin:
            ASSERT_FALSE(
                FakeSleepAnalysis::install(FakeSleepAnalysis::notAPluginPath(), folder, name).isEmpty());
            break;
        case Library::Text: {
            QFile file(QDir(folder).filePath(name));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write("not a library\n");
            break;
        }
        case Library::Folder:
            ASSERT_TRUE(QDir(folder).mkdir(name));
            ASSERT_FALSE(
                FakeSleepAnalysis::install(FakeSleepAnalysis::pluginPath(), QDir(folder).filePath(name))
                    .isEmpty());
            break;
        }
    }
}

TEST(SleepAnalysisPluginLoaderTest, TakesTheFirstLibraryThatDeclaresTheInterfaceAndRunsNoOther)
{
    const Layout table[] = {
        { "the fake plug-in alone", "bin", "bin/plugins", { { Library::FakePlugin, "libsleep.so" } },
            "libsleep.so" },
        { "first in name order among others", "bin", "bin/plugins",
            { { Library::NotAPlugin, "a_plain.so" }, { Library::OtherInterface, "b_other.so" },
                { Library::Text, "c_text.so" }, { Library::FakePlugin, "d_sleep.so" },
                { Library::FakePlugin, "e_sleep.so" } },
            "d_sleep.so" },
        { "nothing that offers the interface", "bin", "bin/plugins",
            { { Library::NotAPlugin, "libplain.so" }, { Library::NotAPlugin, "libplain.so.1.0" },
                { Library::OtherInterface, "libother.so" }, { Library::Text, "text.so" },
                { Library::FakePlugin, "sleep.txt" }, { Library::FakePlugin, "sleep.so.bak" },
                { Library::FakePlugin, "sleep_so" }, { Library::Folder, "folder.so" } },
            nullptr },
        { "an empty folder", "bin", "bin/plugins", {}, nullptr },
        { "no plug-in folder", "bin", nullptr, {}, nullptr },
        { "a program in a release folder", "build/release", "build/plugins",
            { { Library::FakePlugin, "libsleep.so" } }, "libsleep.so" },
        { "a program in a debug folder", "build/debug", "build/plugins",
            { { Library::FakePlugin, "libsleep.so" } }, "libsleep.so" },
        { "a release folder's own plug-in folder", "build/release", "build/release/plugins",
            { { Library::FakePlugin, "libsleep.so" } }, nullptr },
        { "a folder named Release", "build/Release", "build/plugins",
            { { Library::FakePlugin, "libsleep.so" } }, nullptr },
    };
    for (const Layout& row : table) {
        SCOPED_TRACE(row.what);
        QTemporaryDir root;
        ASSERT_TRUE(root.isValid());
        build(root, row);
        const QString program = root.filePath(QString::fromUtf8(row.programDirectory));

        const SleepAnalysisPluginLoader::Plugin plugin = SleepAnalysisPluginLoader::load(program);

        if (!row.loaded) {
            EXPECT_FALSE(plugin);
            EXPECT_EQ(plugin.instance, nullptr);
            EXPECT_TRUE(plugin.fileName.isEmpty());
            continue;
        }
        ASSERT_TRUE(plugin);
        EXPECT_EQ(QFileInfo(plugin.fileName).fileName(), QString::fromUtf8(row.loaded));
        EXPECT_EQ(plugin.fileName,
            QFileInfo(root.filePath(QString::fromUtf8(row.pluginFolder))).absoluteFilePath()
                + QLatin1Char('/') + QString::fromUtf8(row.loaded));
        EXPECT_EQ(qobject_cast<SleepAnalysisInterface*>(plugin.instance), plugin.analysis);
        EXPECT_EQ(plugin.analysis->version(), QStringLiteral("fake-sleep-analysis 1.0"));
    }
    EXPECT_FALSE(FakeSleepAnalysis::wasLoaded(FakeSleepAnalysis::notAPluginPath()));
    EXPECT_FALSE(FakeSleepAnalysis::wasLoaded(FakeSleepAnalysis::otherInterfacePluginPath()));
    EXPECT_TRUE(FakeSleepAnalysis::wasLoaded(FakeSleepAnalysis::pluginPath()));
}

// What the applications' tests rely on: the loaded fake answers as it was told
// and records each call with its arguments.
TEST(SleepAnalysisPluginLoaderTest, TheFakePluginRecordsWhatItIsGiven)
{
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    ASSERT_FALSE(
        FakeSleepAnalysis::install(FakeSleepAnalysis::pluginPath(), root.filePath("plugins")).isEmpty());
    const SleepAnalysisPluginLoader::Plugin plugin = SleepAnalysisPluginLoader::load(root.path());
    ASSERT_TRUE(plugin);
    QObject* fake = FakeSleepAnalysis::recorder(plugin.analysis);
    ASSERT_EQ(fake, plugin.instance);

    FakeSleepAnalysis::setInitializeResult(fake, -3);
    FakeSleepAnalysis::setHypnogram(fake, QByteArray("\x04\x02\x01", 3));
    FakeSleepAnalysis::setSleepStage(fake, SleepAnalysisInterface::Rem);
    FakeSleepAnalysis::setVersion(fake, QStringLiteral("7.1"));
    SleepAnalysisInterface* analysis = plugin.analysis;
    EXPECT_EQ(analysis->initialize("[Limits]\nEpochLength = 30;\n"), -3);
    analysis->addVitalSigns(17, 3, 14.5f, 1.25f, 0.5f, 61.0f, 1.5f, 0.75f, 0.1f, 0.2f, 0.3f, 0.4f);
    EXPECT_EQ(analysis->hypnogram(), QByteArray("\x04\x02\x01", 3));
    EXPECT_EQ(analysis->sleepStage(), SleepAnalysisInterface::Rem);
    analysis->reset();
    EXPECT_EQ(analysis->version(), QStringLiteral("7.1"));

    const QList<FakeSleepAnalysis::Call> calls = FakeSleepAnalysis::calls(fake);
    EXPECT_EQ(FakeSleepAnalysis::callNames(fake),
        (QStringList { "initialize", "addVitalSigns", "hypnogram", "sleepStage", "reset", "version" }));
    ASSERT_EQ(calls.size(), 6);
    EXPECT_EQ(calls[0].arguments, QVariantList { QStringLiteral("[Limits]\nEpochLength = 30;\n") });
    const QVariantList vital = calls[1].arguments;
    ASSERT_EQ(vital.size(), 12);
    EXPECT_EQ(vital[0].toUInt(), 17u);
    EXPECT_EQ(vital[1].toUInt(), 3u);
    const float floats[] = { 14.5f, 1.25f, 0.5f, 61.0f, 1.5f, 0.75f, 0.1f, 0.2f, 0.3f, 0.4f };
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(vital[2 + i].toFloat(), floats[i]) << "value " << i;

    FakeSleepAnalysis::clearCalls(fake);
    EXPECT_TRUE(FakeSleepAnalysis::calls(fake).isEmpty());
}

} // namespace
