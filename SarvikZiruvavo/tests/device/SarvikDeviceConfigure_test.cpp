// Every model's configure routine as the module sees it: the exact payloads
// in order, the failure text of each step and nothing sent after a failure,
// the zone the module reports, and the output switches around configures.
#include "device/SarvikDevice.hpp"
#include "support/MessageLog.hpp"
#include "support/QtPrinters.hpp"
#include "support/WirePayloads.hpp"
#include "support/WorkerHarness.hpp"

#include "simmodule/Messages.hpp"

#include <QDir>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <ostream>

namespace {

using wire::Bytes;

struct Step {
    Bytes payload;
    QString failure;
};

SarvikDeviceConfiguration settings(quint32 profileKind, quint32 outputs)
{
    SarvikDeviceConfiguration config;
    config.profileKind = profileKind;
    config.outputDataTypes = outputs;
    config.zoneStart = 0.5f;
    config.zoneEnd = 6.0f;
    config.sensitivity = 5;
    config.ledMode = 2;
    config.moduleDebugLevel = 3;
    config.frequencyBand = 4;
    config.ioPinFeature = 1;
    config.downconversion = 1;
    return config;
}

std::vector<Bytes> payloadsOf(const std::vector<Step>& steps, size_t count)
{
    std::vector<Bytes> payloads;
    for (size_t i = 0; i < count; ++i)
        payloads.push_back(steps[i].payload);
    return payloads;
}

// ---- The Osprey family and the embedded platform ------------------------------

struct ModelRow {
    const char* name;
    quint32 deviceType;
    SarvikDeviceInfo info;
    quint32 profileKind;
    // What the configure sends once the module is open, with the text that
    // the failure of each step leaves.
    std::vector<Step> steps;
};

void PrintTo(const ModelRow& row, std::ostream* os)
{
    *os << row.name;
}

SarvikDeviceInfo withFirmware(bool vitalSigns, quint32 supportedApps, bool frequencyKnown)
{
    SarvikDeviceInfo info;
    info.firmwareAtLeast1_5_10 = vitalSigns;
    info.supportedApps = supportedApps;
    info.txFrequencyKnown = frequencyKnown;
    return info;
}

// Amplitude/phase baseband and float pulse-Doppler are asked for, so that
// both output steps send something.
constexpr quint32 outputs = 0x1 | 0x40;

std::vector<Step> ospreyFamilySteps(quint32 profileId, const QString& profileFailure,
    const std::vector<Step>& dataOutputs, bool frequencyBand)
{
    std::vector<Step> steps {
        { wire::sensorMode(0x13), QStringLiteral("failed to set sensor mode stop") },
        { wire::debugLevel(3), QStringLiteral("failed to set debug level") },
        { wire::loadProfile(profileId), profileFailure },
        { wire::outputControl(0x0D, 1), QStringLiteral("failed to enable/disable baseband output") },
        { wire::outputControl(0x10, 3), QStringLiteral("failed to enable/disable pulse doppler output") },
    };
    steps.insert(steps.end(), dataOutputs.begin(), dataOutputs.end());
    const std::vector<Step> rest {
        { wire::noiseMapControl(7), QStringLiteral("failed to set noisemap control: 7") },
        { wire::setDetectionZone(0.5f, 6.0f), QStringLiteral("failed to set detection zone") },
        { wire::getDetectionZone(), QStringLiteral("failed to get detection zone") },
        { wire::sensitivity(5), QStringLiteral("failed to set sensitivity") },
        { wire::ledControl(2, 0), QStringLiteral("failed to set led control") },
        { wire::ioPinControl(0, 0, 1), QStringLiteral("failed to set I/O pin control") },
    };
    steps.insert(steps.end(), rest.begin(), rest.end());
    if (frequencyBand)
        steps.push_back({ wire::txCenterFrequency(4), QStringLiteral("failed to set frequency band") });
    steps.push_back({ wire::sensorMode(0x01), QStringLiteral("failed to set sensor mode run") });
    return steps;
}

Step output(uint32_t contentId, const char* failure)
{
    return { wire::outputControl(contentId, 1), QString::fromLatin1(failure) };
}

const Step vitalSigns = output(0x20020102, "failed to enable vital signs output");
const Step respiration = output(0x2375A16C, "failed to enable respiration output");
const Step legacy = output(0x2375FE26, "failed to enable respiration legacy output");
const Step movingList = output(0x610A3B00, "failed to enable respiration moving list");
const Step normalized = output(0xC3A331CF, "failed to enable respiration normalized movement list");
const Step detectionList = output(0x610A3B02, "failed to enable respiration detection list");

std::vector<Step> daxSteps()
{
    using namespace wire;
    return {
        { chipSetU8(chip::downconversion, 1), QStringLiteral("failed to set downconversion: 5") },
        { chipSetU8(chip::txCenterFrequency, 4), QStringLiteral("failed to set frequency band: 5") },
        { chipSetU32(chip::dacMin, 949), QStringLiteral("failed to set dac_min: 5") },
        { chipSetU32(chip::dacMax, 1100), QStringLiteral("failed to set dac_max: 5") },
        { chipSetU32(chip::iterations, 16), QStringLiteral("failed to set iterations: 5") },
        { chipSetU32(chip::pulsesPerStep, 300), QStringLiteral("failed to set pulses per step: 5") },
        { chipSetArea(0.5f, 6.0f), QStringLiteral("failed to set detection zone: 5") },
        { chipGet(chip::frameArea), QStringLiteral("failed to get detection zone") },
        { chipSetF32(chip::fps, 17.0f), QStringLiteral("failed to set fps: 5") },
    };
}

const ModelRow modelRows[] = {
    { "Osprey", SarvikDeviceInfo::OspreyDevice, withFirmware(true, 0x800, true),
        SarvikDeviceConfiguration::PresenceKind,
        ospreyFamilySteps(0x014D4AB8, QStringLiteral("failed to load presence profile"),
            { output(0x723BFA1E, "failed to enable presence single"),
                output(0x723BFA1F, "failed to enable presence movinglist") },
            false) },
    { "Falcon", SarvikDeviceInfo::FalconDevice, withFirmware(true, 0x800, true),
        SarvikDeviceConfiguration::AdultRespirationKind,
        ospreyFamilySteps(0x064E57AD, QStringLiteral("failed to load respiration adult profile"),
            { vitalSigns, respiration, legacy, movingList, normalized, detectionList }, false) },
    { "FalconOlderFirmware", SarvikDeviceInfo::FalconDevice, withFirmware(false, 0, false),
        SarvikDeviceConfiguration::BabyRespirationKind,
        ospreyFamilySteps(0x47FABEBA, QStringLiteral("failed to load respiration baby profile"),
            { respiration, legacy, movingList, detectionList }, false) },
    { "Merlin", SarvikDeviceInfo::MerlinDevice, withFirmware(true, 0x800, true),
        SarvikDeviceConfiguration::AdultRespirationLoMemKind,
        ospreyFamilySteps(0x4AC5D074, QStringLiteral("failed to load profile respiration_4"),
            { vitalSigns, respiration, legacy, movingList, detectionList, normalized }, true) },
    { "MerlinBandUnknown", SarvikDeviceInfo::MerlinDevice, withFirmware(true, 0, false),
        SarvikDeviceConfiguration::BasebandKind,
        ospreyFamilySteps(0x57DABF09, QStringLiteral("failed to load baseband profile"),
            { vitalSigns, respiration, legacy, movingList, detectionList }, false) },
    { "Gannet", SarvikDeviceInfo::GannetDevice, withFirmware(false, 0, true),
        SarvikDeviceConfiguration::HeartrateKind,
        ospreyFamilySteps(0x6B5C1609, QStringLiteral("failed to load heartrate profile"),
            { respiration, legacy, movingList, detectionList }, true) },
    // The Gannet has no presence profile: it loads its adult one.
    { "GannetPresenceKind", SarvikDeviceInfo::GannetDevice, withFirmware(false, 0, false),
        SarvikDeviceConfiguration::PresenceKind,
        ospreyFamilySteps(0x064E57AD, QStringLiteral("failed to load respiration adult profile"),
            { respiration, legacy, movingList, detectionList }, false) },
    { "Dax", SarvikDeviceInfo::DaxDevice, SarvikDeviceInfo(), SarvikDeviceConfiguration::SleepKind,
        daxSteps() },
};

class SarvikDeviceModelConfigureTest : public ::testing::TestWithParam<ModelRow> { };

TEST_P(SarvikDeviceModelConfigureTest, OpensAndSendsTheModelsSettingsInOrder)
{
    const ModelRow& row = GetParam();
    ModuleWorker fixture(row.deviceType, row.info);
    const ConfigureOutcome outcome = fixture.thread().configure(settings(row.profileKind, outputs));
    ASSERT_TRUE(outcome.finished);
    EXPECT_TRUE(outcome.success) << outcome.error.toStdString();
    EXPECT_TRUE(outcome.error.isEmpty());
    EXPECT_TRUE(outcome.zoneReported);
    EXPECT_EQ(ModuleWorker::reportedZoneStart, outcome.zoneStart);
    EXPECT_EQ(ModuleWorker::reportedZoneEnd, outcome.zoneEnd);

    std::vector<Bytes> expected = payloadsOf(row.steps, row.steps.size());
    const bool daxOpen = row.deviceType == SarvikDeviceInfo::DaxDevice;
    std::vector<Bytes> open { wire::ping() };
    if (!daxOpen)
        open.insert(open.begin(), wire::sensorIdle());
    expected.insert(expected.begin(), open.begin(), open.end());
    EXPECT_TRUE(fixture.received(expected));
}

TEST_P(SarvikDeviceModelConfigureTest, ARefusedStepEndsTheRoutineWithItsText)
{
    const ModelRow& row = GetParam();
    ModuleWorker fixture(row.deviceType, row.info);
    ASSERT_TRUE(fixture.thread().configure(settings(row.profileKind, outputs)).success);
    // A module that refuses its debug level leaves the library waiting out the
    // reply time-out: those rows take seconds.
    for (size_t failing = 0; failing < row.steps.size(); ++failing) {
        SCOPED_TRACE(row.steps[failing].failure.toStdString());
        fixture.clearReceived();
        fixture.module().add_rule_first(simmodule::Rule(row.steps[failing].payload).times(1).error(5));
        const ConfigureOutcome outcome = fixture.thread().configure(settings(row.profileKind, outputs));
        ASSERT_TRUE(outcome.finished);
        EXPECT_FALSE(outcome.success);
        EXPECT_EQ(row.steps[failing].failure, outcome.error);
        EXPECT_TRUE(fixture.received(payloadsOf(row.steps, failing + 1)));
    }
    // The module takes everything again: the error text goes.
    const ConfigureOutcome outcome = fixture.thread().configure(settings(row.profileKind, outputs));
    EXPECT_TRUE(outcome.success);
    EXPECT_TRUE(fixture.worker().lastError().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(ByModel, SarvikDeviceModelConfigureTest, ::testing::ValuesIn(modelRows),
    [](const ::testing::TestParamInfo<ModelRow>& row) { return std::string(row.param.name); });

// ---- The older module -------------------------------------------------------------

struct CorvidRow {
    const char* name;
    // Payloads the module refuses.
    std::vector<Bytes> refused;
    uint32_t pong;
    QString failure;
    // How many of the routine's settings reach the module.
    size_t settingsSent;
};

void PrintTo(const CorvidRow& row, std::ostream* os)
{
    *os << row.name;
}

std::vector<Bytes> corvidSettings()
{
    return { wire::debugLevel(3), wire::loadSleepProfile(), wire::corvidBaseband(2, true),
        wire::setDetectionZone(0.5f, 6.0f), wire::sensitivity(5), wire::ledControl(2, 0),
        wire::sensorMode(0x01) };
}

class SarvikDeviceCorvidConfigureTest : public ::testing::TestWithParam<CorvidRow> { };

// Every configure restarts the module first and lets it settle for a second:
// each row takes seconds.
TEST_P(SarvikDeviceCorvidConfigureTest, ResetsTheModuleThenSendsItsSettings)
{
    const CorvidRow& row = GetParam();
    ModuleWorker fixture(SarvikDeviceInfo::CorvidDevice);
    fixture.module().add_rule_first(simmodule::Rule(wire::ping()).reply(simmodule::pong_reply(row.pong)));
    for (const Bytes& payload : row.refused)
        fixture.failCommand(payload);

    const ConfigureOutcome outcome
        = fixture.thread().configure(settings(SarvikDeviceConfiguration::SleepKind, 0x1));
    ASSERT_TRUE(outcome.finished);
    EXPECT_EQ(row.failure.isEmpty(), outcome.success);
    EXPECT_EQ(row.failure, outcome.error);
    EXPECT_FALSE(outcome.zoneReported);
    std::vector<Bytes> expected { wire::sensorIdle(), wire::ping(), wire::sensorIdle(), wire::moduleReset(),
        wire::ping() };
    const std::vector<Bytes> sent = corvidSettings();
    expected.insert(expected.end(), sent.begin(), sent.begin() + std::ptrdiff_t(row.settingsSent));
    EXPECT_TRUE(fixture.received(expected));
}

INSTANTIATE_TEST_SUITE_P(Steps, SarvikDeviceCorvidConfigureTest,
    ::testing::Values(CorvidRow { "Configured", {}, 0xAAEEAEEA, QString(), 7 },
        // The older module's pong after its restart must be the first one.
        CorvidRow { "OtherPongAfterReset", {}, 0xFFEEFEEF, QStringLiteral("failed to reset module"), 0 },
        CorvidRow { "DebugLevel", { wire::debugLevel(3) }, 0xAAEEAEEA,
            QStringLiteral("failed to set debug level"), 1 },
        CorvidRow { "Profile", { wire::loadSleepProfile() }, 0xAAEEAEEA,
            QStringLiteral("failed to load sleep profile"), 2 },
        CorvidRow { "Baseband", { wire::corvidBaseband(2, true) }, 0xAAEEAEEA,
            QStringLiteral("failed to enable/disable baseband output"), 3 },
        // Zone and sensitivity are sent without looking at the answers.
        CorvidRow { "ZoneAndSensitivity", { wire::setDetectionZone(0.5f, 6.0f), wire::sensitivity(5) },
            0xAAEEAEEA, QString(), 7 },
        CorvidRow {
            "Led", { wire::ledControl(2, 0) }, 0xAAEEAEEA, QStringLiteral("failed to set led control"), 6 },
        CorvidRow { "Run", { wire::sensorMode(0x01) }, 0xAAEEAEEA,
            QStringLiteral("failed to set sensor mode run"), 7 }),
    [](const ::testing::TestParamInfo<CorvidRow>& row) { return std::string(row.param.name); });

TEST(SarvikDeviceConfigureTest, ModuleThatDoesNotOpenFailsWithoutSendingSettings)
{
    ModuleWorker fixture(SarvikDeviceInfo::OspreyDevice);
    fixture.module().add_rule_first(simmodule::Rule(wire::ping()).reply(simmodule::pong_reply(0x12345678)));
    const ConfigureOutcome outcome
        = fixture.thread().configure(settings(SarvikDeviceConfiguration::PresenceKind, 0));
    ASSERT_TRUE(outcome.finished);
    EXPECT_FALSE(outcome.success);
    EXPECT_EQ(QStringLiteral("failed to open module"), outcome.error);
    EXPECT_FALSE(outcome.zoneReported);
    EXPECT_TRUE(fixture.received({ wire::sensorIdle(), wire::ping() }));
}

TEST(SarvikDeviceConfigureTest, UnknownModelIsNotConfigured)
{
    SarvikDeviceInfo safeMode;
    safeMode.connectionMode = SarvikDeviceInfo::SafeMode;
    ModuleWorker fixture(SarvikDeviceInfo::UnknownDevice, safeMode);
    const ConfigureOutcome outcome
        = fixture.thread().configure(settings(SarvikDeviceConfiguration::SleepKind, 0));
    EXPECT_FALSE(outcome.success);
    EXPECT_EQ(QStringLiteral("internal error: device type not handled in configure"), outcome.error);
    EXPECT_TRUE(fixture.received({ wire::sensorIdle(), wire::ping() }));
}

// A profile kind the model does not offer is a fault of the calling
// application, which must not go on as if the module were configured.
TEST(SarvikDeviceConfigureDeathTest, ProfileTheModelDoesNotOfferStopsTheProgram)
{
    const struct {
        quint32 deviceType;
        quint32 kind;
        const char* message;
    } table[] = {
        { SarvikDeviceInfo::OspreyDevice, SarvikDeviceConfiguration::SleepKind,
            "profile not supported for Osprey" },
        { SarvikDeviceInfo::FalconDevice, SarvikDeviceConfiguration::PresenceKind,
            "profile not supported for Falcon" },
        { SarvikDeviceInfo::MerlinDevice, SarvikDeviceConfiguration::HeartrateKind,
            "profile not supported for Merlin" },
        { SarvikDeviceInfo::CorvidDevice, SarvikDeviceConfiguration::PresenceKind,
            "profile not supported for Corvid" },
    };
    for (const auto& row : table) {
        EXPECT_DEATH(
            {
                ModuleWorker fixture(row.deviceType);
                fixture.thread().configure(settings(row.kind, 0));
            },
            row.message);
    }
}

// ---- Output switches ------------------------------------------------------------

TEST(SarvikDeviceOutputTest, GuiSwitchesYieldToAConfigureThatAskedForTheOutput)
{
    ModuleWorker fixture(SarvikDeviceInfo::OspreyDevice);
    SarvikDevice& worker = fixture.worker();
    const auto configure = [&](quint32 types) {
        fixture.clearReceived();
        ASSERT_TRUE(
            fixture.thread().configure(settings(SarvikDeviceConfiguration::PresenceKind, types)).success);
    };
    // The output steps of a presence configure come after stop, debug level
    // and profile.
    const auto outputSteps = [&]() {
        const std::vector<Bytes> received = fixture.module().received();
        return std::vector<Bytes>(received.begin() + 3, received.begin() + 5);
    };
    const auto flip = [&](const char* slot, bool on, const std::vector<Bytes>& expected) {
        fixture.clearReceived();
        ASSERT_TRUE(fixture.thread().invoke(slot, QGenericReturnArgument(), Q_ARG(bool, on)));
        EXPECT_TRUE(fixture.received(expected)) << slot << " " << on;
    };

    // Closed: nothing can be switched.
    MessageLog log;
    flip("onBasebandEnabledChanged", true, {});
    EXPECT_EQ(1, log.count(QStringLiteral("WARNING: failed to enable/disable baseband output")));
    flip("onBasebandEnabledChanged", false, {});

    configure(0);
    flip("onBasebandEnabledChanged", true, { wire::outputControl(0x0D, 1) });
    flip("onBasebandEnabledChanged", false, { wire::outputControl(0x0D, 0) });
    flip("onPulseDopplerEnabledChanged", true, { wire::outputControl(0x11, 3) });
    flip("onPulseDopplerEnabledChanged", false, { wire::outputControl(0x11, 0) });

    // IQ baseband asked for by the configure: the GUI switch has no say
    // until a configure without baseband, which then keeps the switch's
    // amplitude/phase output on.
    configure(0x2 | 0x40);
    EXPECT_EQ(
        (std::vector<Bytes> { wire::outputControl(0x0C, 1), wire::outputControl(0x10, 3) }), outputSteps());
    flip("onBasebandEnabledChanged", true, {});
    flip("onPulseDopplerEnabledChanged", true, {});
    configure(0);
    EXPECT_EQ(
        (std::vector<Bytes> { wire::outputControl(0x0D, 1), wire::outputControl(0x11, 3) }), outputSteps());

    // Both switches off now take effect; a configure without outputs then
    // switches nothing.
    flip("onBasebandEnabledChanged", false, { wire::outputControl(0x0D, 0) });
    flip("onPulseDopplerEnabledChanged", false, { wire::outputControl(0x11, 0) });
    configure(0);
    const std::vector<Bytes> received = fixture.module().received();
    EXPECT_EQ(wire::outputControl(0x723BFA1E, 1), received.at(3));

    // A configure without pulse-Doppler after one with float pulse-Doppler
    // switches the float output off.
    configure(0x40);
    configure(0);
    EXPECT_EQ(wire::outputControl(0x10, 0), fixture.module().received().at(3));
    EXPECT_TRUE(worker.lastError().isEmpty());
}

TEST(SarvikDeviceOutputTest, SwitchPostedDuringAConfigureWaitsForItAndYieldsToIt)
{
    ModuleWorker fixture(SarvikDeviceInfo::FalconDevice);
    QSignalSpy finished(&fixture.relay(), &WorkerSignals::configureFinished);
    ASSERT_TRUE(fixture.thread().post("configure",
        Q_ARG(SarvikDeviceConfiguration, settings(SarvikDeviceConfiguration::AdultRespirationKind, 0x1))));
    ASSERT_TRUE(fixture.thread().post("onBasebandEnabledChanged", Q_ARG(bool, false)));
    ASSERT_TRUE(waitForSignals(finished, 1));
    fixture.clearReceived();
    // A blocking call after the switch: the switch has run by now.
    ASSERT_TRUE(
        fixture.thread().invoke("stopRecording", QGenericReturnArgument(), Q_ARG(Sarvik::DataTypes, 0x1)));
    EXPECT_TRUE(fixture.received({}));
}

TEST(SarvikDeviceOutputTest, ModelsWithoutPulseDopplerRefuseTheSwitch)
{
    for (const quint32 deviceType : { SarvikDeviceInfo::CorvidDevice, SarvikDeviceInfo::DaxDevice }) {
        ModuleWorker fixture(deviceType);
        ASSERT_TRUE(fixture.thread().call("deleteCrashDumpOnModule"));
        fixture.clearReceived();
        MessageLog log;
        ASSERT_TRUE(fixture.thread().invoke(
            "onPulseDopplerEnabledChanged", QGenericReturnArgument(), Q_ARG(bool, true)));
        EXPECT_EQ(1, log.count(QStringLiteral("WARNING: failed to enable/disable pulse doppler output")))
            << deviceType;
        EXPECT_TRUE(fixture.received({}));
    }
}

// ---- Debug recording -----------------------------------------------------------

TEST(SarvikDeviceConfigureTest, DebugRecordingStartsBeforeTheModuleIsConfigured)
{
    QTemporaryDir directory;
    ASSERT_TRUE(directory.isValid());
    ModuleWorker fixture(SarvikDeviceInfo::OspreyDevice);
    SarvikDeviceConfiguration config = settings(SarvikDeviceConfiguration::PresenceKind, 0);
    config.debugRecording = true;
    config.debugDataTypes = Sarvik::StringDataType;
    config.debugDirectory = directory.path();
    // The module says something while it is being configured.
    fixture.module().add_rule_first(
        simmodule::Rule(wire::sensorMode(0x13))
            .packet(simmodule::text_data_message(1, 0, "stopping"), simmodule::Form::Framed)
            .ack());
    ASSERT_TRUE(fixture.thread().configure(config).success);
    ASSERT_TRUE(fixture.thread().invoke(
        "stopRecording", QGenericReturnArgument(), Q_ARG(Sarvik::DataTypes, Sarvik::StringDataType)));
    // The recorder writes on its own thread: wait for the session's files.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    QStringList files;
    while (files.isEmpty() && std::chrono::steady_clock::now() < deadline) {
        const QStringList sessions
            = QDir(directory.path()).entryList({ QStringLiteral("sarvik_recording_*_debug") }, QDir::Dirs);
        ASSERT_LE(sessions.size(), 1);
        if (!sessions.isEmpty())
            files = QDir(directory.filePath(sessions.front())).entryList(QDir::Files);
        if (files.isEmpty())
            QThread::msleep(20);
    }
    EXPECT_FALSE(files.isEmpty());
}

} // namespace
