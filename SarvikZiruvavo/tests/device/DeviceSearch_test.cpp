// The device search and module identification against simulated modules on
// pseudo-terminals, listed through the test's own port list.
#include "core/ApplicationProperties.hpp"
#include "core/SarvikDeviceInfo.hpp"
#include "device/DeviceSearch.hpp"
#include "device/LoggerIo.hpp"
#include "support/DeviceHarness.hpp"
#include "support/MessageLog.hpp"
#include "support/PseudoTerminalPorts.hpp"
#include "support/QtPrinters.hpp"

#include "simmodule/Messages.hpp"
#include "simmodule/Personality.hpp"
#include "simmodule/SimModule.hpp"

#include <linkwell/Linkwell.hpp>

#include <QRegularExpression>
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <vector>

namespace {

using simmodule::Personality;
using simmodule::personality;
using simmodule::Rule;
using simmodule::SimModule;
using simmodule::file_type::crash_dump;

const QString caseNotHandled
    = QStringLiteral("case not handled in switch void fillDeviceInfo(Sarvik::Linkwell&, SarvikDeviceInfo*)");

// Every field, one per line, so that a difference shows by name.
QString describe(const SarvikDeviceInfo& r)
{
    QString out;
    const auto line = [&out](const char* name, const QVariant& value) {
        out += QString::fromLatin1(name) + QStringLiteral("=") + value.toString() + QStringLiteral("\n");
    };
    line("bootloaderVersion", r.bootloaderVersion);
    line("bootloaderModuleId", r.bootloaderModuleId);
    line("bootloaderTail", r.bootloaderTail);
    line("displayName", r.displayName);
    line("connectionKind", r.connectionKind);
    line("firmwareVersion", r.firmwareVersion);
    line("firmwareId", r.firmwareId);
    line("itemNumber", r.itemNumber);
    line("extraInfo", r.extraInfo);
    line("orderCode", r.orderCode);
    line("serialNumber", r.serialNumber);
    line("buildInfo", r.buildInfo);
    line("description", r.description);
    line("portName", r.portName);
    line("baudRate", r.baudRate);
    line("zoneMin", r.zoneMin);
    line("zoneMax", r.zoneMax);
    line("zoneStep", r.zoneStep);
    line("metadata", r.metadata.size());
    line("supportedApps", QStringLiteral("0x%1").arg(r.supportedApps, 0, 16));
    line("connectionMode", r.connectionMode);
    line("deviceType", r.deviceType);
    line("hasCrashDump", r.hasCrashDump);
    line("identified", r.identified);
    line("txFrequencyKnown", r.txFrequencyKnown);
    line("txFrequencyBand", r.txFrequencyBand);
    line("downconversion", r.downconversion);
    line("firmwareAtLeast1_5_10", r.firmwareAtLeast1_5_10);
    line("firmwareClass", r.firmwareClass);
    return out;
}

size_t countOf(const SimModule& module, const Bytes& prefix)
{
    size_t n = 0;
    for (const Bytes& command : module.received())
        n += command.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), command.begin());
    return n;
}

// What fillDeviceInfo makes of the module over a connection of the test's.
SarvikDeviceInfo identify(SimModule& module)
{
    Sarvik::Linkwell connection(module.pty_path(), 0, new LoggerIo);
    SarvikDeviceInfo info;
    fillDeviceInfo(connection, &info);
    return info;
}

Personality personalityWith(const char* name, const std::function<void(Personality&)>& change)
{
    Personality p = personality(name);
    change(p);
    return p;
}

// ---- one module, the whole record ------------------------------------------

// An application module as its maker ships it, identified in normal mode.
SarvikDeviceInfo applicationModule(quint32 deviceType, const QString& orderCode)
{
    SarvikDeviceInfo r;
    r.displayName = QStringLiteral("Sarvik ") + orderCode;
    r.connectionKind = QStringLiteral("USB");
    r.firmwareVersion = QStringLiteral("1.6.2");
    r.firmwareId = orderCode;
    r.orderCode = orderCode;
    r.buildInfo = QStringLiteral("SIMULATED BUILD 2024-05-02");
    r.baudRate = 115200;
    r.supportedApps = 0x60 | 0xE00 | 0x1000 | 0x2000;
    r.connectionMode = SarvikDeviceInfo::NormalMode;
    r.deviceType = deviceType;
    r.identified = true;
    r.txFrequencyKnown = true;
    r.txFrequencyBand = 3;
    r.firmwareAtLeast1_5_10 = true;
    r.firmwareClass = 1;
    return r;
}

struct RecordCase {
    const char* name;
    std::function<Personality()> module;
    std::function<SarvikDeviceInfo()> expected;
};

void PrintTo(const RecordCase& c, std::ostream* os)
{
    *os << c.name;
}

const RecordCase recordCases[] = {
    { "Corvid",
        [] {
            // A Corvid is never asked for crash dumps.
            return personalityWith("corvid", [](Personality& p) { p.files.store(crash_dump, 0, { 1 }); });
        },
        [] {
            SarvikDeviceInfo r = applicationModule(SarvikDeviceInfo::CorvidDevice, QStringLiteral("CORVID"));
            r.firmwareVersion = QStringLiteral("1.4.2");
            r.itemNumber = QStringLiteral("000095-101");
            r.serialNumber = QStringLiteral("SIMC0000001");
            r.supportedApps = 0x2 | 0x8 | 0x1000;
            r.firmwareAtLeast1_5_10 = false;
            r.firmwareClass = 0;
            return r;
        } },
    { "OspreyWithACrashDump",
        [] {
            return personalityWith("osprey", [](Personality& p) {
                p.firmware_version = "1.6.0";
                p.files.store(crash_dump, 3, { 1, 2, 3 });
            });
        },
        [] {
            SarvikDeviceInfo r = applicationModule(SarvikDeviceInfo::OspreyDevice, QStringLiteral("OSPREY"));
            r.displayName = QStringLiteral("Sarvik OSPREY (Log file generated)");
            r.hasCrashDump = true;
            r.firmwareVersion = QStringLiteral("1.6.0");
            r.itemNumber = QStringLiteral("000120-101");
            r.serialNumber = QStringLiteral("SIMO0000001");
            r.zoneMin = double(0.3f);
            r.zoneMax = 7.5;
            r.zoneStep = double(0.1f);
            r.supportedApps = 0x10 | 0x1000 | 0x2000;
            return r;
        } },
    // The order code is compared without regard to case and shown upper-cased.
    { "FalconWhoseOrderCodeIsInLowerCase",
        [] {
            return personalityWith("falcon", [](Personality& p) {
                p.order_code = "falcon";
                p.firmware_id = "falcon fw";
                p.firmware_version = "1.5.10";
                p.serial_number = "simf-1";
            });
        },
        [] {
            SarvikDeviceInfo r = applicationModule(SarvikDeviceInfo::FalconDevice, QStringLiteral("FALCON"));
            r.firmwareId = QStringLiteral("FALCON FW");
            r.firmwareVersion = QStringLiteral("1.5.10");
            r.itemNumber = QStringLiteral("000140-101");
            r.serialNumber = QStringLiteral("SIMF-1");
            r.zoneMin = double(0.4f);
            r.zoneMax = 2.5;
            r.zoneStep = double(0.05f);
            r.supportedApps = 0x60 | 0x1000;
            return r;
        } },
    { "MerlinInMixedCase",
        [] { return personalityWith("merlin", [](Personality& p) { p.order_code = "MeRlIn"; }); },
        [] {
            SarvikDeviceInfo r = applicationModule(SarvikDeviceInfo::MerlinDevice, QStringLiteral("MERLIN"));
            r.firmwareId = QStringLiteral("MERLIN");
            r.itemNumber = QStringLiteral("000150-101");
            r.serialNumber = QStringLiteral("SIMM0000001");
            r.zoneMin = double(0.4f);
            r.zoneMax = 3.0;
            r.zoneStep = double(0.05f);
            return r;
        } },
    { "GannetWithoutZoneLimitsOnTheHighBand",
        [] {
            return personalityWith("gannet", [](Personality& p) {
                p.zone_limits.reset();
                p.tx_center_frequency = 4;
                p.item_number = "";
                p.build_info = "";
            });
        },
        [] {
            SarvikDeviceInfo r = applicationModule(SarvikDeviceInfo::GannetDevice, QStringLiteral("GANNET"));
            r.itemNumber = QStringLiteral("(unknown)");
            r.buildInfo = QStringLiteral("(unknown)");
            r.serialNumber = QStringLiteral("SIMG0000001");
            r.zoneMin = 0.4;
            r.zoneMax = 9.4;
            r.zoneStep = 0.0514;
            r.txFrequencyBand = 4;
            return r;
        } },
    { "GannetWithoutFrequencyBand",
        [] { return personalityWith("gannet", [](Personality& p) { p.tx_center_frequency.reset(); }); },
        [] {
            SarvikDeviceInfo r = applicationModule(SarvikDeviceInfo::GannetDevice, QStringLiteral("GANNET"));
            r.itemNumber = QStringLiteral("000160-101");
            r.serialNumber = QStringLiteral("SIMG0000001");
            r.zoneMin = double(0.4f);
            r.zoneMax = 4.0;
            r.zoneStep = double(0.05f);
            r.txFrequencyKnown = false;
            r.txFrequencyBand = 3;
            return r;
        } },
    { "EmbeddedPlatform", [] { return personality("dax"); },
        [] {
            SarvikDeviceInfo r;
            r.displayName = QStringLiteral("Sarvik Embedded Platform (DAX)");
            r.connectionKind = QStringLiteral("USB");
            r.firmwareVersion = QStringLiteral("3.2.1");
            r.firmwareId = QStringLiteral("DAX");
            r.serialNumber = QStringLiteral("SIM-CORE-0001");
            r.zoneMin = -0.4;
            r.zoneMax = 30.0;
            r.zoneStep = 0.05144032835;
            r.supportedApps = 0x100;
            r.connectionMode = SarvikDeviceInfo::NormalMode;
            r.deviceType = SarvikDeviceInfo::DaxDevice;
            r.identified = true;
            r.txFrequencyKnown = true;
            r.txFrequencyBand = 4;
            r.downconversion = true;
            r.firmwareClass = 2;
            return r;
        } },
    { "EmbeddedPlatformWithAnotherBootloaderAndNoChipSettings",
        [] {
            return personalityWith("dax", [](Personality& p) {
                p.firmware_id = "dax";
                p.bootloader_name = "SARVIK BOOTLOADER";
                p.chip_tx_center_frequency.reset();
                p.downconversion = 0;
                p.files.store(crash_dump, 0, { 1 }); // not asked for
            });
        },
        [] {
            SarvikDeviceInfo r;
            r.displayName = QStringLiteral("Sarvik Embedded Platform (DAX)");
            r.connectionKind = QStringLiteral("USB");
            r.firmwareVersion = QStringLiteral("3.2.1");
            r.firmwareId = QStringLiteral("DAX");
            r.serialNumber = QStringLiteral("SIM-CORE-0001");
            r.zoneMin = -0.4;
            r.zoneMax = 30.0;
            r.zoneStep = 0.05144032835;
            r.supportedApps = 0x100;
            r.connectionMode = SarvikDeviceInfo::NormalMode;
            r.deviceType = SarvikDeviceInfo::DaxDevice;
            r.identified = true;
            r.txFrequencyBand = 3;
            return r;
        } },
    { "SafeModeWithACrashDump",
        [] {
            return personalityWith("safe-mode", [](Personality& p) { p.files.store(crash_dump, 0, { 9 }); });
        },
        [] {
            SarvikDeviceInfo r;
            r.displayName = QStringLiteral("Sarvik Safe Mode");
            r.connectionKind = QStringLiteral("USB");
            r.firmwareId = QStringLiteral("SAFEMODE");
            r.connectionMode = SarvikDeviceInfo::SafeMode;
            r.hasCrashDump = true;
            r.identified = true;
            return r;
        } },
    { "SafeMode", [] { return personality("safe-mode"); },
        [] {
            SarvikDeviceInfo r;
            r.displayName = QStringLiteral("Sarvik Safe Mode");
            r.connectionKind = QStringLiteral("USB");
            r.firmwareId = QStringLiteral("SAFEMODE");
            r.connectionMode = SarvikDeviceInfo::SafeMode;
            r.identified = true;
            return r;
        } },
    { "FalconInItsBootloader", [] { return personality("bootloader"); },
        [] {
            SarvikDeviceInfo r;
            r.bootloaderVersion = QStringLiteral("1.4.0");
            r.bootloaderModuleId = QStringLiteral("Falcon");
            r.bootloaderTail = QStringLiteral("SIMF0000001");
            r.displayName = QStringLiteral("Sarvik Falcon (bootloader mode)");
            r.connectionKind = QStringLiteral("USB");
            r.firmwareVersion = r.firmwareId = r.extraInfo = r.orderCode = r.serialNumber
                = QStringLiteral("(unknown)");
            r.baudRate = 115200;
            r.connectionMode = SarvikDeviceInfo::BootloaderMode;
            r.deviceType = SarvikDeviceInfo::FalconDevice;
            r.identified = true;
            r.firmwareClass = 1;
            return r;
        } },
    // Its id runs to the end of the text, so the module can be found by it.
    { "EmbeddedPlatformInTheOpenBootloader", [] { return personality("open-bootloader"); },
        [] {
            SarvikDeviceInfo r;
            r.bootloaderVersion = QStringLiteral("2.0.1");
            r.bootloaderModuleId = QStringLiteral("SIM-CORE-0001");
            r.displayName = QStringLiteral("Sarvik Open Bootloader");
            r.connectionKind = QStringLiteral("USB");
            r.firmwareVersion = r.firmwareId = r.extraInfo = r.orderCode = r.serialNumber
                = QStringLiteral("(unknown)");
            r.baudRate = 115200;
            r.connectionMode = SarvikDeviceInfo::BootloaderMode;
            r.deviceType = SarvikDeviceInfo::DaxDevice;
            r.identified = true;
            r.firmwareClass = 2;
            return r;
        } },
};

class ModuleRecordTest : public ::testing::TestWithParam<RecordCase> {
protected:
    PseudoTerminalPorts ports;
};

TEST_P(ModuleRecordTest, EveryFieldOfTheRecord)
{
    const auto module = simulatedModule(GetParam().module());
    const QString port = ports.add(*module).systemLocation;
    SarvikDeviceInfo expected = GetParam().expected();
    expected.portName = port;
    expected.description = QStringLiteral("USB, ") + port;

    const QList<SarvikDeviceInfo> found = searchDevices();
    ASSERT_EQ(1, found.size());
    EXPECT_EQ(describe(expected), describe(found.front()));
    EXPECT_TRUE(PseudoTerminalPorts::isFree(port)); // every probe let the port go
}

INSTANTIATE_TEST_SUITE_P(Modules, ModuleRecordTest, ::testing::ValuesIn(recordCases),
    [](const ::testing::TestParamInfo<RecordCase>& row) { return std::string(row.param.name); });

// ---- identification over an open connection --------------------------------

TEST(FillDeviceInfoTest, VersionGatesAndItemNumbersDecideTheApplications)
{
    const struct {
        const char* model;
        const char* firmware;
        const char* itemNumber;
        quint32 apps;
        bool atLeast1_5_10;
    } rows[] = {
        { "osprey", "1.6.0", "000120", 0x3010, true },
        { "osprey", "1.5.10", "000120", 0x1010, true },
        { "osprey", "1.5.9", "000120", 0x1010, false },
        { "osprey", "1.2.1", "000120", 0x1010, false },
        { "osprey", "1.2.0", "000120", 0x10, false },
        { "falcon", "1.5.10", "000140", 0x1060, true },
        { "falcon", "1.5.99", "000140", 0x1060, true },
        { "falcon", "1.6", "000140", 0x3E60, true },
        { "falcon", "1.6.0-rc2", "000140", 0x3E60, true },
        { "merlin", "2.0", "000150", 0x3E60, true },
        { "gannet", "1.2.1", "000160", 0x1060, false },
        { "gannet", "", "000160", 0x60, false }, // "(unknown)" is no version
        { "corvid", "1.2.0", "000132-001", 0xA, false },
        { "corvid", "1.6.0", "000092", 0x300A, true }, // no low-memory apps on a Corvid
        { "corvid", "1.2.1", "000095", 0x100A, false },
        { "corvid", "1.2.1", "000131-001", 0x1002, false },
        { "corvid", "1.2.1", "x000095", 0x1002, false },
        { "corvid", "1.2.1", "", 0x1002, false },
    };
    for (const auto& row : rows) {
        const auto module = simulatedModule(personalityWith(row.model, [&](Personality& p) {
            p.firmware_version = row.firmware;
            p.item_number = row.itemNumber;
        }));
        const SarvikDeviceInfo info = identify(*module);
        const std::string label = std::string(row.model) + " " + row.firmware + " " + row.itemNumber;
        ASSERT_TRUE(info.identified) << label;
        EXPECT_EQ(row.apps, info.supportedApps) << label;
        EXPECT_EQ(row.atLeast1_5_10, info.firmwareAtLeast1_5_10) << label;
    }
}

TEST(FillDeviceInfoTest, ModulesThatAreNotIdentifiedInNormalMode)
{
    const struct {
        const char* what;
        Personality module;
        std::vector<Rule> rules; // tried before the personality's
        bool warning;
    } rows[] = {
        { "pong of a module not to be listed", personality("not-listed"), {}, false },
        { "unknown pong", personalityWith("osprey", [](Personality& p) { p.pong = 0x12345678; }), {}, true },
        { "ping refused", personality("falcon"), { Rule(simmodule::command::ping()).error(3) }, true },
        { "firmware id refused", personality("falcon"),
            { Rule(simmodule::command::get_system_info(2)).error(1) }, false },
        { "unknown order code", personalityWith("falcon", [](Personality& p) { p.order_code = "Heron"; }), {},
            false },
        { "empty order code", personalityWith("falcon", [](Personality& p) { p.order_code = ""; }), {},
            false },
        { "order code refused", personality("falcon"),
            { Rule(simmodule::command::get_system_info(1)).error(1) }, false },
        { "item number refused", personality("falcon"),
            { Rule(simmodule::command::get_system_info(0)).error(1) }, false },
        { "firmware version refused", personality("falcon"),
            { Rule(simmodule::command::get_system_info(3)).error(1) }, false },
        { "serial number refused", personality("corvid"),
            { Rule(simmodule::command::get_system_info(6)).error(1) }, false },
        { "build information refused", personality("gannet"),
            { Rule(simmodule::command::get_system_info(4)).error(1) }, false },
        { "embedded platform version refused", personality("dax"),
            { Rule(simmodule::command::get_system_info(3)).error(1) }, false },
        { "safe mode firmware id refused", personality("safe-mode"),
            { Rule(simmodule::command::get_system_info(2)).error(1) }, false },
    };
    for (const auto& row : rows) {
        const auto module = simulatedModule(row.module);
        for (const Rule& rule : row.rules)
            module->add_rule_first(rule);
        MessageLog log;
        const SarvikDeviceInfo info = identify(*module);
        EXPECT_FALSE(info.identified) << row.what;
        EXPECT_EQ(row.warning ? QStringList { caseNotHandled } : QStringList(), log.warnings()) << row.what;
    }
}

TEST(FillDeviceInfoTest, AModuleNotToBeListedIsAskedNothingAfterThePing)
{
    const auto module = simulatedModule(personality("not-listed"));
    EXPECT_FALSE(identify(*module).identified);
    // The ping as the library sends it, with its fixed value.
    EXPECT_EQ((std::vector<Bytes> { { 0x01, 0xAE, 0xEA, 0xAA, 0xEE } }), module->received());
}

// System information 8 and 9 are not needed to use the module: when the
// module does not answer them at all, identification still goes on.
TEST(FillDeviceInfoTest, EmbeddedPlatformThatDoesNotAnswerItsCoreIdOrBootloaderIsStillIdentified)
{
    const auto module = simulatedModule(personality("dax"));
    module->add_rule_first(Rule(simmodule::command::get_system_info(8)));
    module->add_rule_first(Rule(simmodule::command::get_system_info(9)));
    MessageLog log;
    const SarvikDeviceInfo info = identify(*module);
    EXPECT_TRUE(info.identified);
    EXPECT_EQ(quint32(SarvikDeviceInfo::DaxDevice), info.deviceType);
    EXPECT_TRUE(info.serialNumber.isEmpty());
    EXPECT_EQ(0u, info.firmwareClass);
    EXPECT_EQ(1, log.count(QStringLiteral("Failed getting system core id.")));
    EXPECT_EQ(1, log.count(QStringLiteral("Unable to identify bootloder from DAX.")));
    EXPECT_TRUE(info.txFrequencyKnown); // asked after both
}

TEST(FillDeviceInfoTest, EmbeddedPlatformThatRefusesItsCoreIdOrBootloaderIsStillIdentified)
{
    const auto module = simulatedModule(personalityWith("dax", [](Personality& p) {
        p.core_id.reset();
        p.bootloader_name.reset();
    }));
    MessageLog log;
    const SarvikDeviceInfo info = identify(*module);
    EXPECT_TRUE(info.identified);
    EXPECT_TRUE(info.serialNumber.isEmpty());
    EXPECT_EQ(0u, info.firmwareClass);
    EXPECT_EQ(1, log.count(QStringLiteral("Failed getting system core id.")));
    EXPECT_EQ(1, log.count(QStringLiteral("Unable to identify bootloder from DAX.")));
}

TEST(FillDeviceInfoTest, ZoneLimitsThatCannotBeReadAreLoggedAndDefaulted)
{
    const auto module
        = simulatedModule(personalityWith("osprey", [](Personality& p) { p.zone_limits.reset(); }));
    MessageLog log;
    const SarvikDeviceInfo info = identify(*module);
    EXPECT_EQ(1, log.count(QStringLiteral("WARNING: failed to get detection zone limits")));
    EXPECT_EQ(0.4, info.zoneMin);
    EXPECT_EQ(9.4, info.zoneMax);
    EXPECT_EQ(0.0514, info.zoneStep);
}

// ---- the crash-dump flag -----------------------------------------------------

TEST(CrashDumpTest, OnlyNewerModelsAndSafeModeAreAskedAndAFileMakesTheFlag)
{
    for (const bool dump : { false, true }) {
        const auto module = simulatedModule(personalityWith("falcon", [&](Personality& p) {
            if (dump)
                p.files.store(crash_dump, 0, { 1 });
            p.files.store(simmodule::file_type::noise_map_first, 0, { 2 }); // another type is no dump
        }));
        Sarvik::Linkwell connection(module->pty_path(), 0, new LoggerIo);
        for (quint32 type = 0; type <= 7; ++type) {
            for (const quint32 mode : { 1u, 2u, 3u }) {
                module->clear_received();
                const bool asked = (type >= 2 && type <= 5) || mode == 3;
                EXPECT_EQ(asked && dump, hasCrashDumpOnModule(connection, type, mode))
                    << "type " << type << " mode " << mode << " dump " << dump;
                EXPECT_EQ(asked ? 1u : 0u, countOf(*module, { 0x90, 0x64, 0x50, 0x4D, 0x55, 0x04 }))
                    << "type " << type << " mode " << mode;
            }
        }
    }
}

TEST(CrashDumpTest, ARefusedSearchIsNoDump)
{
    const auto module = simulatedModule(
        personalityWith("gannet", [](Personality& p) { p.files.store(crash_dump, 0, { 1 }); }));
    module->add_rule_first(Rule({ 0x90, 0x64 }).error(5));
    Sarvik::Linkwell connection(module->pty_path(), 0, new LoggerIo);
    EXPECT_FALSE(
        hasCrashDumpOnModule(connection, SarvikDeviceInfo::GannetDevice, SarvikDeviceInfo::NormalMode));
}

// ---- the port walk -------------------------------------------------------------

class DeviceSearchTest : public ::testing::Test {
protected:
    void TearDown() override { ApplicationProperties::setLogLevel(0); }

    SimModule& attach(const Personality& personality, SerialPortEntry port = PseudoTerminalPorts::usbPort())
    {
        modules.push_back(simulatedModule(personality));
        ports.add(*modules.back(), port);
        return *modules.back();
    }
    static QString pathOf(const SimModule& module) { return QString::fromStdString(module.pty_path()); }

    PseudoTerminalPorts ports;
    std::vector<std::unique_ptr<SimModule>> modules;
};

TEST_F(DeviceSearchTest, KeepsPortsOfModuleUsbIdsOnlyAndLabelsThemByTheirDescription)
{
    using P = PseudoTerminalPorts;
    SerialPortEntry noIds = P::usbPort(QStringLiteral("Sarvik Serial"));
    noIds.hasUsbIds = false;
    const struct {
        SerialPortEntry port;
        const char* kind; // nullptr: not probed
    } rows[] = {
        { P::usbPort(QStringLiteral("FT232R USB UART"), QString(), 0x0403, 0x6001), "USB" },
        { P::usbPort(QStringLiteral("Sarvik Serial"), QStringLiteral("A1B2")), "USB" },
        { P::usbPort(QStringLiteral("Bossa Program Port"), QString(), 0x03EB, 0x6124), "USB" },
        { P::usbPort(QStringLiteral("Standard Serial over Bluetooth link"), QString(), 0x03EB, 0x6014),
            "Bluetooth" },
        { P::usbPort(QStringLiteral("Bluetooth USB"), QString(), 0x03EB, 0x6014), "Bluetooth" },
        { P::usbPort(QStringLiteral("Communications Port")), "Serial" },
        { P::usbPort(QStringLiteral("usb serial")), "Serial" }, // the marks are case-sensitive
        { P::usbPort(QStringLiteral("ASF example")), "USB" },
        { P::usbPort(QStringLiteral("Wren")), "USB" },
        { P::usbPort(QStringLiteral("Osprey")), "USB" },
        { P::usbPort(QStringLiteral("Corvid")), "USB" },
        { P::usbPort(QStringLiteral("Falcon")), "USB" },
        { P::usbPort(QStringLiteral("Merlin")), "USB" },
        { P::usbPort(QStringLiteral("Z7TEST")), "USB" },
        { P::usbPort(QStringLiteral("Sarvik Bootloader")), "USB" },
        { P::usbPort(QStringLiteral("Sarvik Serial"), QString(), 0x0403, 0x6014), nullptr },
        { P::usbPort(QStringLiteral("Sarvik Serial"), QString(), 0x03EB, 0x2405), nullptr },
        { P::usbPort(QStringLiteral("Sarvik Serial"), QString(), 0x0404, 0x6001), nullptr },
        { noIds, nullptr },
    };
    QStringList expected;
    for (const auto& row : rows) {
        const SimModule& module = attach(personality("falcon"), row.port);
        if (row.kind) {
            expected << QString::fromLatin1(row.kind) + QStringLiteral(", ") + pathOf(module)
                    + (row.port.serialNumber.isEmpty() ? QString()
                                                       : QStringLiteral(", ") + row.port.serialNumber);
        }
    }

    QStringList found;
    for (const SarvikDeviceInfo& info : searchDevices()) {
        found << info.description;
        EXPECT_EQ(info.description.section(QLatin1Char(','), 0, 0), info.connectionKind);
        EXPECT_EQ(info.description.section(QStringLiteral(", "), 1, 1), info.portName);
    }
    EXPECT_EQ(expected, found); // in the order of the list
    for (size_t i = 0; i < std::size(rows); ++i) {
        EXPECT_EQ(rows[i].kind != nullptr, modules[i]->received_count() > 0) << i;
        EXPECT_TRUE(PseudoTerminalPorts::isFree(pathOf(*modules[i]))) << i;
    }
}

TEST_F(DeviceSearchTest, FindsEveryKindOfModuleInOneWalk)
{
    for (const char* name : { "osprey", "bootloader", "dax", "safe-mode", "open-bootloader", "corvid" })
        attach(personality(name));
    QStringList names;
    for (const SarvikDeviceInfo& info : searchDevices())
        names << info.displayName;
    EXPECT_EQ(
        (QStringList { QStringLiteral("Sarvik OSPREY"), QStringLiteral("Sarvik Falcon (bootloader mode)"),
            QStringLiteral("Sarvik Embedded Platform (DAX)"), QStringLiteral("Sarvik Safe Mode"),
            QStringLiteral("Sarvik Open Bootloader"), QStringLiteral("Sarvik CORVID") }),
        names);
    for (const auto& module : modules)
        EXPECT_TRUE(PseudoTerminalPorts::isFree(pathOf(*module)));
}

// The two-part version is refused each time: three attempts, then the port
// is left out; the module is asked in normal mode and in its bootloader.
TEST_F(DeviceSearchTest, BootloaderTextThatIsNotRecognisedIsRetriedAndLeftOut)
{
    SimModule& module = attach(personalityWith(
        "bootloader", [](Personality& p) { p.bootloader_info = "SARVIK BOOTLOADER V:1.2 H:Falcon"; }));
    EXPECT_TRUE(searchDevices().isEmpty());
    EXPECT_EQ(3u, countOf(module, simmodule::command::ping()));
    EXPECT_EQ(3u, countOf(module, simmodule::command::bootloader_info()));
    EXPECT_TRUE(PseudoTerminalPorts::isFree(pathOf(module)));
}

TEST_F(DeviceSearchTest, ModuleNotToBeListedIsLeftOutAfterThreeAttempts)
{
    SimModule& module = attach(personality("not-listed"));
    EXPECT_TRUE(searchDevices().isEmpty());
    EXPECT_EQ(3u, countOf(module, simmodule::command::ping()));
    EXPECT_EQ(3u, countOf(module, simmodule::command::bootloader_info()));
    EXPECT_TRUE(PseudoTerminalPorts::isFree(pathOf(module)));
}

TEST_F(DeviceSearchTest, SilentPortIsLeftOutAfterThreeAttempts)
{
    SimModule& silent = attach(personality("falcon"));
    silent.clear_rules();
    SimModule& falcon = attach(personality("falcon"));
    const QList<SarvikDeviceInfo> found = searchDevices();
    ASSERT_EQ(1, found.size());
    EXPECT_EQ(pathOf(falcon), found.front().portName);
    EXPECT_EQ(3u, countOf(silent, simmodule::command::ping()));
    EXPECT_EQ(3u, countOf(silent, simmodule::command::bootloader_info()));
    EXPECT_TRUE(PseudoTerminalPorts::isFree(pathOf(silent)));
}

// As a port that a module's own connection holds: it is enumerated, its
// probes cannot open it, and the search goes on to the next port.
TEST_F(DeviceSearchTest, PortHeldByAnotherConnectionIsSkippedWithoutAHang)
{
    SimModule& held = attach(personality("osprey"));
    SimModule& free = attach(personality("gannet"));
    Sarvik::Linkwell holder(held.pty_path(), 0, new LoggerIo);
    ApplicationProperties::setLogLevel(1);
    MessageLog log;

    auto search = std::async(std::launch::async, [] { return searchDevices(); });
    ASSERT_EQ(std::future_status::ready, search.wait_for(std::chrono::seconds(60)));
    const QList<SarvikDeviceInfo> found = search.get();
    ASSERT_EQ(1, found.size());
    EXPECT_EQ(pathOf(free), found.front().portName);
    EXPECT_EQ(0u, held.received_count());
    EXPECT_EQ(3, log.count(QStringLiteral("Failed to open port")));
    uint32_t pong = 0;
    EXPECT_EQ(0, holder.get_corvid().ping(&pong)); // the holder was not disturbed
}

TEST_F(DeviceSearchTest, LogsItsStepsFromLogLevelOneOnAndHandsTheLibraryItsLevel)
{
    const SimModule& osprey = attach(personality("osprey"));
    const SimModule& bootloader = attach(personality("bootloader"));
    const QRegularExpression libraryLine(QStringLiteral("^\\d+\\.\\d{6} : "));
    for (const int level : { 0, 1 }) {
        ApplicationProperties::setLogLevel(level);
        MessageLog log;
        ASSERT_EQ(2, searchDevices().size());
        QStringList steps;
        int libraryLines = 0;
        for (const QString& message : log.messages()) {
            if (libraryLine.match(message).hasMatch())
                ++libraryLines;
            else if (message != caseNotHandled) // the bootloader refuses the ping
                steps << message;
        }
        if (level == 0) {
            EXPECT_EQ(QStringList(), steps);
            continue;
        }
        EXPECT_EQ((QStringList { QStringLiteral("Checking port: ") + pathOf(osprey),
                      QStringLiteral("Found device in normal mode"),
                      QStringLiteral("Checking port: ") + pathOf(bootloader),
                      QStringLiteral("Checking if device is in bootloader mode"),
                      QStringLiteral("Found device in bootloader mode") }),
            steps);
        EXPECT_GT(libraryLines, 0);
    }
}

TEST_F(DeviceSearchTest, PortsComeAndGoWhileASearchRuns)
{
    const SimModule& first = attach(personality("falcon"));
    auto search = std::async(std::launch::async, [] {
        int found = 0;
        for (int i = 0; i < 5; ++i)
            found += searchDevices().size();
        return found;
    });
    for (int i = 0; i < 200; ++i) {
        // Without a module's USB ids, so the search passes it by.
        SerialPortEntry gone = PseudoTerminalPorts::usbPort();
        gone.hasUsbIds = false;
        gone.systemLocation = QStringLiteral("/dev/no-such-port-%1").arg(i);
        ports.add(gone);
        ports.remove(gone.systemLocation);
    }
    ASSERT_EQ(std::future_status::ready, search.wait_for(std::chrono::seconds(60)));
    EXPECT_EQ(5, search.get());
    ports.clear();
    EXPECT_TRUE(searchDevices().isEmpty());
    EXPECT_TRUE(PseudoTerminalPorts::isFree(pathOf(first)));
}

} // namespace
