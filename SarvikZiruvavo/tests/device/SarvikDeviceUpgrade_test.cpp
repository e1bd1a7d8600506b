// The worker's firmware upgrade against a simulated module that enters its
// bootloader, comes back on another pseudo-terminal and keeps the pages it is
// sent.
#include "device/SarvikDevice.hpp"
#include "support/HexFiles.hpp"
#include "support/ProgrammableModule.hpp"
#include "support/QtPrinters.hpp"
#include "support/WorkerHarness.hpp"

#include "simmodule/Messages.hpp"

#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <ostream>

namespace {

using Mode = ProgrammableModule::Mode;
using simmodule::Bytes;
using namespace std::chrono_literals;

const QString statusEnter = QStringLiteral("-- Module upgrade --\nEnter bootloader mode");
const QString statusLoading = QStringLiteral("-- Module upgrade --\nLoading firmware");
const QString statusProgramming = QStringLiteral("-- Module upgrade --\nProgramming new firmware\n");
const QString statusDone = QStringLiteral("Module upgrade completed successfully!");
const Bytes bootloaderCommand { 0x02 };
const Bytes pageWrite { 0xC0, 0x10 };
const Bytes applicationStart { 0xC0, 0x20 };

// Short waits: the simulated module needs no pause, and a module that is not
// found again is given up on quickly.
SarvikDevice::UpgradeWaits shortWaits()
{
    SarvikDevice::UpgradeWaits waits;
    waits.beforeBootloader = 0ms;
    waits.betweenSearches = 50ms;
    waits.startApplicationSeconds = 1;
    return waits;
}

struct Outcome {
    bool finished = false;
    bool result = false;
    bool reported = false;
    QString error;
    QStringList statuses;
    QList<double> progress;
};

// Runs one upgrade on a worker of that record, as the owner runs it: queued by
// name, waited for through upgradeFirmwareFinished.
Outcome upgrade(const SarvikDeviceInfo& record, const QString& image,
    const QString& version = QStringLiteral("2.0.0"), SarvikDevice::UpgradeWaits waits = shortWaits())
{
    WorkerThread thread(record);
    thread.worker().setUpgradeWaits(waits);
    QSignalSpy finished(&thread.relay(), &WorkerSignals::upgradeFirmwareFinished);
    QSignalSpy statuses(&thread.relay(), &WorkerSignals::firmwareUpgradeStatus);
    QSignalSpy progress(&thread.relay(), &WorkerSignals::firmwareUpgradeProgress);
    Outcome outcome;
    EXPECT_TRUE(thread.invoke("upgradeFirmware", Q_RETURN_ARG(bool, outcome.result), Q_ARG(QString, image),
        Q_ARG(QString, version)));
    outcome.finished = waitForSignals(finished, 1, std::chrono::seconds(30));
    if (outcome.finished)
        outcome.reported = finished.first().first().toBool();
    outcome.error = thread.worker().lastError();
    for (const QList<QVariant>& status : statuses)
        outcome.statuses << status.first().toString();
    for (const QList<QVariant>& value : progress)
        outcome.progress << value.first().toDouble();
    EXPECT_FALSE(thread.worker().isOpen()) << "an upgrade ends closed";
    return outcome;
}

class UpgradeTest : public ::testing::Test {
protected:
    QString image(int firstPage, const QByteArray& data, const QString& name = QStringLiteral("image.hex"))
    {
        return FirmwareFiles::writeImage(dir.filePath(name), firstPage, data);
    }

    // Whether the module holds exactly the pages of data placed at page 0,
    // leaving out pages 1 to 127.
    ::testing::AssertionResult holdsImage(const simmodule::Flash& flash, const QByteArray& data)
    {
        const int count = (data.size() + FirmwareFiles::pageSize - 1) / FirmwareFiles::pageSize;
        std::map<uint16_t, Bytes> expected;
        for (int n = 0; n < count; ++n) {
            if (n >= 1 && n <= 127)
                continue;
            const QByteArray bytes = FirmwareFiles::page(data, n);
            expected[uint16_t(n)] = Bytes(bytes.begin(), bytes.end());
        }
        const std::map<uint16_t, Bytes> actual = flash.pages();
        if (actual == expected)
            return ::testing::AssertionSuccess();
        ::testing::AssertionResult failure = ::testing::AssertionFailure();
        failure << "expected " << expected.size() << " pages, the module holds " << actual.size();
        for (const auto& [number, bytes] : expected) {
            const auto held = actual.find(number);
            if (held == actual.end() || held->second != bytes)
                failure << "; page " << number << (held == actual.end() ? " missing" : " differs");
        }
        return failure;
    }

    QTemporaryDir dir;
};

struct ModuleRow {
    const char* name;
    ProgrammableModule::Script (*script)();
};

void PrintTo(const ModuleRow& row, std::ostream* os)
{
    *os << row.name;
}

class UpgradeFromApplicationTest : public UpgradeTest, public ::testing::WithParamInterface<ModuleRow> { };

// The module leaves its port for its bootloader, is found again on its new
// port by its serial number, gets every page but 1 to 127, byte for byte, and
// starts its new application.
TEST_P(UpgradeFromApplicationTest, FindsTheModuleOnItsNewPortAndWritesTheImage)
{
    ProgrammableModule module(GetParam().script());
    const SarvikDeviceInfo record = module.found();
    ASSERT_EQ(SarvikDeviceInfo::NormalMode, record.connectionMode);
    const QString firstPort = record.portName;
    const QByteArray data = FirmwareFiles::pages(140) + QByteArray(100, 'x');

    const Outcome outcome = upgrade(record, image(0, data), QStringLiteral("1.7.0 beta"));

    EXPECT_TRUE(outcome.finished);
    EXPECT_TRUE(outcome.result);
    EXPECT_TRUE(outcome.reported);
    EXPECT_EQ(QString(), outcome.error);
    EXPECT_EQ(QStringList({ statusEnter, statusLoading, statusProgramming + QStringLiteral("1.7.0 beta"),
                  statusDone }),
        outcome.statuses);
    ASSERT_FALSE(outcome.progress.isEmpty());
    EXPECT_EQ(1.0, outcome.progress.last());
    EXPECT_TRUE(holdsImage(module.flash(), data));
    EXPECT_EQ(1u, module.flash().starts());
    EXPECT_EQ(1u, module.receivedWith(bootloaderCommand));
    EXPECT_EQ(1u, module.receivedWith(applicationStart));
    // Back in its new application, on a third port.
    ASSERT_TRUE(module.waitFor(Mode::Application));
    const QStringList ports = module.portsSeen();
    ASSERT_EQ(3, ports.size());
    EXPECT_EQ(firstPort, ports.at(0));
    EXPECT_NE(ports.at(0), ports.at(1));
    EXPECT_NE(ports.at(1), ports.at(2));
}

const ModuleRow fromApplicationRows[] = {
    { "Falcon", [] { return ProgrammableModule::falcon(); } },
    // The search upper-cases the serial number the application reports; the
    // bootloader reports it as it is.
    { "FalconWithLowerCaseSerialNumber", [] { return ProgrammableModule::falcon("simf-lower-7"); } },
    { "EmbeddedPlatform", [] { return ProgrammableModule::embeddedPlatform(); } },
    { "EmbeddedPlatformWithLowerCaseCoreId",
        [] { return ProgrammableModule::embeddedPlatform("sim-core-00ab"); } },
};

INSTANTIATE_TEST_SUITE_P(Modules, UpgradeFromApplicationTest, ::testing::ValuesIn(fromApplicationRows),
    [](const ::testing::TestParamInfo<ModuleRow>& row) { return std::string(row.param.name); });

// A module found in its bootloader is programmed on the port it was found on:
// no bootloader command, no search, pages 0 and 128 to 300 only, and progress
// n / 300 after each.
TEST_F(UpgradeTest, ModuleAlreadyInItsBootloaderIsProgrammedWhereItWasFound)
{
    ProgrammableModule::Script script = ProgrammableModule::falcon();
    script.starts_in = Mode::Bootloader;
    ProgrammableModule module(script);
    const SarvikDeviceInfo record = module.found();
    ASSERT_EQ(SarvikDeviceInfo::BootloaderMode, record.connectionMode);
    const QByteArray data = FirmwareFiles::pages(301);
    module.module().received();

    const Outcome outcome = upgrade(record, image(0, data));

    EXPECT_TRUE(outcome.result) << outcome.error.toStdString();
    EXPECT_EQ(0u, module.receivedWith(bootloaderCommand));
    // The search of the test sent the only information requests.
    EXPECT_EQ(174u, module.flash().writes().size());
    EXPECT_TRUE(holdsImage(module.flash(), data));
    QList<double> expected { 0.0 };
    for (int n = 128; n <= 300; ++n)
        expected << n / 300.0;
    expected << 1.0;
    EXPECT_EQ(expected, outcome.progress);
    EXPECT_EQ(1u, module.flash().starts());
}

// A Corvid enters its bootloader on its own port: no search, and no pause
// before the bootloader command.
TEST_F(UpgradeTest, CorvidIsProgrammedOnItsOwnPortWithoutPause)
{
    ProgrammableModule module(ProgrammableModule::corvid());
    const SarvikDeviceInfo record = module.found();
    ASSERT_EQ(SarvikDeviceInfo::CorvidDevice, record.deviceType);
    const QByteArray data = FirmwareFiles::pages(130);
    SarvikDevice::UpgradeWaits waits = shortWaits();
    waits.beforeBootloader = 30s;
    waits.betweenSearches = 30s;

    const auto start = std::chrono::steady_clock::now();
    const Outcome outcome = upgrade(record, image(0, data), QString(), waits);

    EXPECT_LT(std::chrono::steady_clock::now() - start, 20s);
    EXPECT_TRUE(outcome.result) << outcome.error.toStdString();
    EXPECT_TRUE(holdsImage(module.flash(), data));
    EXPECT_EQ(1u, module.module().enumerations());
    EXPECT_EQ(0u, module.receivedWith({ 0xC0, 0x00 })) << "nobody searched";
}

// The other models get a moment after being idled before the bootloader
// command.
TEST_F(UpgradeTest, OtherModelsPauseBeforeTheBootloaderCommand)
{
    ProgrammableModule module(ProgrammableModule::falcon());
    SarvikDevice::UpgradeWaits waits = shortWaits();
    waits.beforeBootloader = 600ms;

    const auto start = std::chrono::steady_clock::now();
    const Outcome outcome = upgrade(module.found(), image(0, FirmwareFiles::pages(1)), QString(), waits);

    EXPECT_GE(std::chrono::steady_clock::now() - start, 600ms);
    EXPECT_TRUE(outcome.result) << outcome.error.toStdString();
}

// Five searches, one interval apart: a module that comes back within them is
// found; one that comes back later is not, and waits in its bootloader.
TEST_F(UpgradeTest, SearchesFiveTimesForTheModuleInItsBootloader)
{
    struct Row {
        const char* name;
        std::chrono::milliseconds comesBackAfter;
        bool found;
    };
    const Row rows[] = {
        { "back before the third search", 500ms, true },
        { "back after the fifth search", 2500ms, false },
    };
    SarvikDevice::UpgradeWaits waits = shortWaits();
    waits.betweenSearches = 300ms;
    for (const Row& row : rows) {
        ProgrammableModule::Script script = ProgrammableModule::falcon();
        script.reenumeration_delay = row.comesBackAfter;
        ProgrammableModule module(script);
        const Outcome outcome
            = upgrade(module.found(), image(0, FirmwareFiles::pages(130)), QString(), waits);
        EXPECT_EQ(row.found, outcome.result) << row.name << ": " << outcome.error.toStdString();
        if (row.found)
            continue;
        EXPECT_EQ(QStringLiteral("Module upgrade failed!\nUnable to find device in bootloader mode"),
            outcome.error);
        ASSERT_TRUE(module.waitFor(Mode::Bootloader)) << row.name;
        EXPECT_EQ(SarvikDeviceInfo::BootloaderMode, module.found().connectionMode) << row.name;
    }
}

// Progress stays within [0, 1]: a single page is the whole image, and an image
// that begins above page 0 does not run past 1.
TEST_F(UpgradeTest, ProgressStaysBetweenZeroAndOne)
{
    struct Row {
        const char* name;
        int firstPage;
        int pages;
        QList<double> progress;
    };
    const Row rows[] = {
        { "single page 0", 0, 1, { 1.0, 1.0 } },
        { "single page 200", 200, 1, { 1.0, 1.0 } },
        { "pages 128 to 130", 128, 3, { 1.0, 1.0, 1.0, 1.0 } },
        { "pages 0 to 2", 0, 3, { 0.0, 1.0 } },
    };
    for (const Row& row : rows) {
        ProgrammableModule::Script script = ProgrammableModule::falcon();
        script.starts_in = Mode::Bootloader;
        ProgrammableModule module(script);
        const Outcome outcome
            = upgrade(module.found(), image(row.firstPage, FirmwareFiles::pages(row.pages)));
        EXPECT_TRUE(outcome.result) << row.name << ": " << outcome.error.toStdString();
        EXPECT_EQ(row.progress, outcome.progress) << row.name;
    }
}

// ---- Failures ---------------------------------------------------------------------

enum class Left { Application, Bootloader, Gone };

struct FailureRow {
    const char* name;
    const char* error;
    // Changes the script (or the flash) before the module starts.
    void (*arrange)(ProgrammableModule::Script&);
    // The image to write; by default pages 0 to 199.
    QString (*imageOf)(UpgradeTest&, const QString& path);
    // Where the module is left.
    Left left;
    bool pagesWritten;
};

void PrintTo(const FailureRow& row, std::ostream* os)
{
    *os << row.name;
}

class UpgradeFailureTest : public UpgradeTest, public ::testing::WithParamInterface<FailureRow> {
public:
    QString defaultImage() { return image(0, FirmwareFiles::pages(200)); }
};

// Each failure ends with its own text, upgradeFirmwareFinished(false), the
// ports let go, and the module where it can still be programmed: still in its
// application when the image is unusable or the bootloader refused, otherwise
// in its bootloader, where the search finds it.
TEST_P(UpgradeFailureTest, EndsWithItsTextAndLeavesTheModuleProgrammable)
{
    const FailureRow& row = GetParam();
    ProgrammableModule::Script script = ProgrammableModule::falcon();
    if (row.arrange)
        row.arrange(script);
    ProgrammableModule module(script);
    const SarvikDeviceInfo record = module.found();
    const QString path
        = row.imageOf ? row.imageOf(*this, dir.filePath(QStringLiteral("x.hex"))) : defaultImage();

    const Outcome outcome = upgrade(record, path);

    EXPECT_TRUE(outcome.finished);
    EXPECT_FALSE(outcome.result);
    EXPECT_FALSE(outcome.reported);
    EXPECT_TRUE(outcome.error.startsWith(QLatin1String(row.error))) << outcome.error.toStdString();
    EXPECT_EQ(row.pagesWritten, !module.flash().writes().empty());
    if (row.left == Left::Gone) {
        EXPECT_EQ(std::string(), module.module().pty_path());
        return;
    }
    EXPECT_EQ(row.left == Left::Application ? Mode::Application : Mode::Bootloader, module.module().mode());
    EXPECT_TRUE(module.portIsFree());
    const SarvikDeviceInfo after = module.found();
    EXPECT_EQ(row.left == Left::Application ? SarvikDeviceInfo::NormalMode : SarvikDeviceInfo::BootloaderMode,
        after.connectionMode);
    EXPECT_EQ(0u, module.flash().starts());
}

QString missingImage(UpgradeTest&, const QString& path)
{
    return path + QStringLiteral(".missing");
}

QString noImageName(UpgradeTest&, const QString&)
{
    return QString();
}

// What the installation asks for when the firmware list names no file.
QString folderOnly(UpgradeTest&, const QString& path)
{
    return QFileInfo(path).absolutePath() + QLatin1Char('/');
}

QString endOfFileOnly(UpgradeTest&, const QString& path)
{
    return HexFiles::write(path, { HexFiles::endOfFile() });
}

QString badChecksum(UpgradeTest&, const QString& path)
{
    QStringList lines = HexFiles::image(FirmwareFiles::flashStart, FirmwareFiles::pages(4));
    lines[3].replace(lines[3].size() - 2, 2, QStringLiteral("00"));
    lines << HexFiles::endOfFile();
    return HexFiles::write(path, lines);
}

// Below the module's flash: it has no page for it.
QString belowFlash(UpgradeTest&, const QString& path)
{
    QStringList lines = HexFiles::image(0x1000, FirmwareFiles::pages(2));
    lines << HexFiles::endOfFile();
    return HexFiles::write(path, lines);
}

const char* const unableToLoad = "Module upgrade failed!\nUnable to load firmware";
const char* const timedOut = "Module upgrade failed!\nCaught std::exception: Timeout waiting for response";

const FailureRow failureRows[] = {
    { "ImageMissing", unableToLoad, nullptr, missingImage, Left::Application, false },
    { "NoImageName", unableToLoad, nullptr, noImageName, Left::Application, false },
    { "ImageNameIsAFolder", unableToLoad, nullptr, folderOnly, Left::Application, false },
    { "ImageWithoutData", unableToLoad, nullptr, endOfFileOnly, Left::Application, false },
    { "ImageWithBadChecksum", unableToLoad, nullptr, badChecksum, Left::Application, false },
    { "ImageBelowTheFlash", unableToLoad, nullptr, belowFlash, Left::Application, false },
    { "BootloaderRefused", "Module upgrade failed!\nUnable to enter upgrade mode",
        [](ProgrammableModule::Script& s) { s.bootloader_keys.clear(); }, nullptr, Left::Application, false },
    { "NeverComesBack", "Module upgrade failed!\nUnable to find device in bootloader mode",
        [](ProgrammableModule::Script& s) { s.comes_back = false; }, nullptr, Left::Gone, false },
    { "ComesBackWithAnotherSerialNumber", "Module upgrade failed!\nUnable to find device in bootloader mode",
        [](ProgrammableModule::Script& s) {
            s.bootloader.info = "SARVIK BOOTLOADER V:1.4.0 H:Falcon R:SerialNumber = \"SIMF0000002\"";
        },
        nullptr, Left::Bootloader, false },
    // The library waits for the bootloader's acknowledgement: a refusal, which
    // brings none, ends in its reply time-out (8 seconds for a page).
    { "PageRefused", timedOut, [](ProgrammableModule::Script& s) { s.bootloader.flash.refuse(150); }, nullptr,
        Left::Bootloader, true },
    { "StartRefused", timedOut, [](ProgrammableModule::Script& s) { s.bootloader.flash.refuse_start(); },
        nullptr, Left::Bootloader, true },
};

INSTANTIATE_TEST_SUITE_P(Steps, UpgradeFailureTest, ::testing::ValuesIn(failureRows),
    [](const ::testing::TestParamInfo<FailureRow>& row) { return std::string(row.param.name); });

TEST_F(UpgradeTest, ModuleThatCannotBeOpenedIsNotTouched)
{
    SarvikDeviceInfo record;
    record.deviceType = SarvikDeviceInfo::FalconDevice;
    record.connectionMode = SarvikDeviceInfo::NormalMode;
    record.portName = dir.filePath(QStringLiteral("no-such-port"));
    record.serialNumber = QStringLiteral("SIMF0000001");

    const Outcome outcome = upgrade(record, image(0, FirmwareFiles::pages(3)));

    EXPECT_FALSE(outcome.reported);
    EXPECT_EQ(QStringLiteral("Module upgrade failed!\nUnable to open device"), outcome.error);
    EXPECT_EQ(QStringList({ statusEnter }), outcome.statuses);
}

// A module left in its bootloader by a failed upgrade is found there by the
// search and programmed by the next upgrade.
TEST_F(UpgradeTest, ModuleLeftInItsBootloaderIsProgrammedByTheNextUpgrade)
{
    ProgrammableModule::Script script = ProgrammableModule::falcon();
    script.bootloader.flash.refuse_start();
    ProgrammableModule module(script);
    const QByteArray data = FirmwareFiles::pages(160);
    const QString path = image(0, data);

    const Outcome first = upgrade(module.found(), path);
    ASSERT_TRUE(first.error.startsWith(QLatin1String(timedOut))) << first.error.toStdString();
    module.flash().clear();
    const SarvikDeviceInfo inBootloader = module.found();
    ASSERT_EQ(SarvikDeviceInfo::BootloaderMode, inBootloader.connectionMode);

    const Outcome second = upgrade(inBootloader, path);

    EXPECT_TRUE(second.result) << second.error.toStdString();
    EXPECT_TRUE(holdsImage(module.flash(), data));
    EXPECT_TRUE(module.waitFor(Mode::Application));
}

} // namespace
