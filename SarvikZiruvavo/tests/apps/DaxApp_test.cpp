// The raw chip-driver application over the simulated embedded platform: the
// limits it takes from the module, the chip settings it sends and the zone it
// keeps, each radar frame as amplitude and phase or as RF samples, its state,
// its settings keys, and its recordings with their parameter file.
#include "apps/DaxApp.hpp"

#include "apps/ChipFrameConverter.hpp"
#include "apps/RawAppFixture.hpp"
#include "apps/RecordingParameterFile.hpp"
#include "support/MessageLog.hpp"
#include "support/QtPrinters.hpp"
#include "support/WirePayloads.hpp"

#include "simmodule/Messages.hpp"
#include "simmodule/PayloadWriter.hpp"
#include "simmodule/Personality.hpp"

#include <linkwell/DataType.hpp>
#include <linkwell/RecordingOptions.hpp>

#include <QCoreApplication>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <ostream>
#include <string>

namespace {

using rawapps::ActivatedApp;
using rawapps::Sandbox;

// The bin length the device search gives embedded-platform modules.
const double binLength = 0.05144032835;

// What the device search makes of the module: zone -0.4 to 30 m, the chip's
// bin length as step, its down-conversion and frequency band.
std::function<void(SarvikDeviceInfo&)> searchRecord(
    bool downconversion = true, double zoneMin = -0.4, double zoneMax = 30.0)
{
    return [=](SarvikDeviceInfo& info) {
        info.zoneMin = zoneMin;
        info.zoneMax = zoneMax;
        info.zoneStep = binLength;
        info.downconversion = downconversion;
        info.txFrequencyKnown = true;
        info.txFrequencyBand = 4;
    };
}

simmodule::Personality embeddedPlatform(simmodule::FramePattern pattern)
{
    simmodule::Personality dax = simmodule::personality("dax");
    dax.chip->pattern = pattern;
    return dax;
}

class DaxOverModule : public ActivatedApp<DaxApp> {
public:
    explicit DaxOverModule(simmodule::FramePattern pattern = simmodule::FramePattern::Ramp,
        const std::function<void(SarvikDeviceInfo&)>& adjust = searchRecord())
        : ActivatedApp(embeddedPlatform(pattern), SarvikDeviceInfo::DaxDevice, 0x100, adjust)
    { }

    // The chip takes a frame rate but sends nothing, so that the test sends
    // the frames itself.
    void holdFrames()
    {
        module().add_rule_first(
            simmodule::Rule(simmodule::command::chip_set(simmodule::parameter::chip_fps)).ack());
    }
};

// The next frames the application emits.
struct Frames {
    explicit Frames(DaxApp& app)
        : baseband(&app, &DaxApp::rawBasebandReceived)
        , rf(&app, &DaxApp::rfDataReceived)
    { }
    bool waitForBaseband(int count = 1)
    {
        return waitUntil([&] { return baseband.count() >= count; });
    }
    bool waitForRf(int count = 1)
    {
        return waitUntil([&] { return rf.count() >= count; });
    }
    QList<qreal> amplitudes(int i) const { return baseband.at(i).at(3).value<QList<qreal>>(); }
    QList<qreal> phases(int i) const { return baseband.at(i).at(4).value<QList<qreal>>(); }

    QSignalSpy baseband;
    QSignalSpy rf;
};

simmodule::Bytes floatFrame(uint32_t frameCounter, const std::vector<float>& values)
{
    return simmodule::float_data_message(simmodule::content::chip_frame, frameCounter, values);
}

// ---- Construction ------------------------------------------------------------

struct DaxLimitsCase {
    const char* name;
    double zoneMin, zoneMax;
    bool downconversion;
    double maxLength, defaultEnd;
    int downConversion;
};

void PrintTo(const DaxLimitsCase& c, std::ostream* os)
{
    *os << c.name;
}

class DaxAppLimitsTest : public ::testing::TestWithParam<DaxLimitsCase> {
protected:
    Sandbox sandbox;
};

// The longest zone is 9.8 m, or the module's span when that is shorter.
TEST_P(DaxAppLimitsTest, ComeFromTheModule)
{
    const DaxLimitsCase& c = GetParam();
    DaxOverModule fixture(
        simmodule::FramePattern::Ramp, searchRecord(c.downconversion, c.zoneMin, c.zoneMax));
    ASSERT_NE(nullptr, fixture.app());
    DaxApp& app = *fixture.app();
    EXPECT_EQ(QStringLiteral("DAX"), app.appName());
    EXPECT_EQ(QStringLiteral("DAX"), app.descriptiveName());
    EXPECT_EQ(0x57DABF09u, app.profileId());
    EXPECT_EQ(DaxApp::UnknownState, app.state());
    EXPECT_DOUBLE_EQ(c.zoneMin, app.detectionZoneMin());
    EXPECT_DOUBLE_EQ(c.zoneMax, app.detectionZoneMax());
    EXPECT_DOUBLE_EQ(0.2, app.detectionZoneMinLength());
    EXPECT_NEAR(c.maxLength, app.detectionZoneMaxLength(), 1e-12);
    EXPECT_DOUBLE_EQ(binLength, app.detectionZoneIncrement());
    EXPECT_DOUBLE_EQ(binLength, app.binLength());
    EXPECT_FLOAT_EQ(float(c.zoneMin), float(app.detectionZoneStart()));
    EXPECT_FLOAT_EQ(float(c.defaultEnd), float(app.detectionZoneEnd()));
    EXPECT_EQ(c.downConversion, app.downConversion());
    EXPECT_FALSE(app.floatDataOutputEnabled());
    // The module has no baseband outputs of the other applications.
    app.setBasebandOutputEnabled(true);
    app.setBasebandAmplitudePhaseOutputEnabled(true);
    EXPECT_FALSE(app.basebandOutputEnabled());
    EXPECT_FALSE(app.basebandAmplitudePhaseOutputEnabled());
}

INSTANTIATE_TEST_SUITE_P(Modules, DaxAppLimitsTest,
    ::testing::Values(DaxLimitsCase { "WideRange", 0.4, 10.5, true, 9.8, 10.2, 1 },
        DaxLimitsCase { "SearchRecord", -0.4, 30.0, false, 9.8, 9.4, 0 },
        DaxLimitsCase { "NarrowRange", 0.4, 2.5, true, 2.1, 2.5, 1 }),
    [](const ::testing::TestParamInfo<DaxLimitsCase>& param) { return std::string(param.param.name); });

// ---- Frames ----------------------------------------------------------------------

// Down-converted frames of the module's ramp (I_k = k + 1, Q_k = n + k + 1
// for n bins): exact amplitudes and phases, on both scales, over the range
// axis of the zone the chip confirmed.
TEST(DaxApp, DownConvertedFramesBecomeAmplitudeAndPhasePerBin)
{
    for (const Device::BasebandScale scale :
        { Device::LinearBasebandScale, Device::LogarithmicBasebandScale }) {
        Sandbox sandbox;
        DaxOverModule fixture;
        DaxApp& app = *fixture.app();
        fixture.device().setBasebandScale(scale);
        app.setDetectionZoneStart(0.5);
        app.setDetectionZoneEnd(2.0);
        ASSERT_EQ(DeviceApp::InitializationSucceeded, app.execute());
        // The chip moved the zone onto its bins: 17 and 46 bins above -0.4 m.
        EXPECT_NEAR(-0.4 + 17 * binLength, app.detectionZoneStart(), 1e-6);
        EXPECT_NEAR(-0.4 + 46 * binLength, app.detectionZoneEnd(), 1e-6);
        const int bins = 30;

        Frames frames(app);
        ASSERT_TRUE(frames.waitForBaseband());
        EXPECT_EQ(0, frames.rf.count());
        EXPECT_EQ(binLength, frames.baseband.at(0).at(1).toDouble());
        EXPECT_EQ(app.detectionZoneStart(), frames.baseband.at(0).at(2).toDouble());
        const QList<qreal> amplitudes = frames.amplitudes(0);
        const QList<qreal> phases = frames.phases(0);
        ASSERT_EQ(bins, amplitudes.size());
        ASSERT_EQ(bins, phases.size());
        for (int k = 0; k < bins; ++k) {
            const double i = k + 1;
            const double q = bins + k + 1;
            const double power = i * i + q * q;
            EXPECT_DOUBLE_EQ(scale == Device::LinearBasebandScale ? std::sqrt(power) : 10 * std::log10(power),
                amplitudes.at(k))
                << k;
            EXPECT_DOUBLE_EQ(std::atan2(q, i), phases.at(k)) << k;
        }
        // The page shows the counter of the last frame.
        EXPECT_EQ(frames.baseband.last().at(0).toUInt(), app.frameCounter());
    }
}

struct DaxFrameCase {
    const char* name;
    Device::BasebandScale scale;
    simmodule::Bytes packet;
    std::vector<double> amplitudes, phases;
};

void PrintTo(const DaxFrameCase& c, std::ostream* os)
{
    *os << c.name;
}

class DaxAppFrameTest : public ::testing::TestWithParam<DaxFrameCase> {
protected:
    Sandbox sandbox;
};

// Frames as the module sends them, one at a time.
TEST_P(DaxAppFrameTest, BinsOfAFrame)
{
    const DaxFrameCase& c = GetParam();
    DaxOverModule fixture;
    fixture.holdFrames();
    DaxApp& app = *fixture.app();
    fixture.device().setBasebandScale(c.scale);
    ASSERT_EQ(DeviceApp::InitializationSucceeded, app.execute());
    Frames frames(app);
    fixture.module().send_packet(c.packet);
    ASSERT_TRUE(frames.waitForBaseband());
    const QList<qreal> amplitudes = frames.amplitudes(0);
    const QList<qreal> phases = frames.phases(0);
    ASSERT_EQ(int(c.amplitudes.size()), amplitudes.size());
    ASSERT_EQ(int(c.phases.size()), phases.size());
    for (size_t k = 0; k < c.amplitudes.size(); ++k) {
        EXPECT_NEAR(c.amplitudes[k], amplitudes.at(int(k)), 1e-5) << k;
        EXPECT_NEAR(c.phases[k], phases.at(int(k)), 1e-6) << k;
        EXPECT_TRUE(std::isfinite(amplitudes.at(int(k)))) << k;
    }
}

const float floatNan = std::numeric_limits<float>::quiet_NaN();
const float floatInf = std::numeric_limits<float>::infinity();

// A float data frame that claims far more values than it carries.
simmodule::Bytes claimingMore(const std::vector<float>& values)
{
    simmodule::PayloadWriter writer;
    writer.u8(simmodule::message::data)
        .u8(simmodule::value_type::f32)
        .u32(simmodule::content::chip_frame)
        .u32(3)
        .u32(0xFFFFFFFF);
    for (const float v : values)
        writer.f32(v);
    return writer.take();
}

INSTANTIATE_TEST_SUITE_P(Frames, DaxAppFrameTest,
    ::testing::Values(
        // I = 3, 0, 1; Q = 4, 2, -1.
        DaxFrameCase { "Linear", Device::LinearBasebandScale, floatFrame(1, { 3, 0, 1, 4, 2, -1 }),
            { 5, 2, std::sqrt(2.0) }, { std::atan2(4, 3), M_PI / 2, -M_PI / 4 } },
        DaxFrameCase { "Logarithmic", Device::LogarithmicBasebandScale, floatFrame(1, { 3, 0, 1, 4, 2, -1 }),
            { 10 * std::log10(25.0), 10 * std::log10(4.0), 10 * std::log10(2.0) },
            { std::atan2(4, 3), M_PI / 2, -M_PI / 4 } },
        // The last of an odd number of values is left out.
        DaxFrameCase { "OddValueLeftOut", Device::LinearBasebandScale,
            floatFrame(1, { 3, 0, 1, 4, 2, -1, 8 }), { 5, 2, std::sqrt(2.0) },
            { std::atan2(4, 3), M_PI / 2, -M_PI / 4 } },
        // A bin without power: the floor of the log scale, never -inf.
        DaxFrameCase { "EmptyBinLogarithmic", Device::LogarithmicBasebandScale, floatFrame(1, { 0, 3, 0, 4 }),
            { ChipFrameConverter::logarithmicFloor, 10 * std::log10(25.0) }, { 0, std::atan2(4, 3) } },
        DaxFrameCase { "EmptyBinLinear", Device::LinearBasebandScale, floatFrame(1, { 0, 3, 0, 4 }), { 0, 5 },
            { 0, std::atan2(4, 3) } },
        // Samples that are not finite numbers read as 0.
        DaxFrameCase { "NonFiniteSamples", Device::LogarithmicBasebandScale,
            floatFrame(1, { floatNan, 3, 4, floatInf }), { 10 * std::log10(16.0), 10 * std::log10(9.0) },
            { M_PI / 2, 0 } },
        DaxFrameCase { "OneValueNoBin", Device::LinearBasebandScale, floatFrame(1, { 5 }), {}, {} },
        // The count the module claims is bounded by what the packet holds.
        DaxFrameCase { "CountBeyondThePacket", Device::LinearBasebandScale, claimingMore({ 3, 4, 9 }), { 5 },
            { std::atan2(4, 3) } }),
    [](const ::testing::TestParamInfo<DaxFrameCase>& param) { return std::string(param.param.name); });

// Without down-conversion the samples pass as they are, one eighth of a bin
// apart; the decoding follows a new down-conversion at once.
TEST(DaxApp, RfFramesPassUnchangedAndDownConversionTakesEffectAtOnce)
{
    Sandbox sandbox;
    DaxOverModule fixture(simmodule::FramePattern::Ramp, searchRecord(false));
    fixture.holdFrames();
    DaxApp& app = *fixture.app();
    ASSERT_EQ(0, app.downConversion());
    ASSERT_EQ(DeviceApp::InitializationSucceeded, app.execute());
    EXPECT_EQ(0, fixture.fixture().calls().configurations().at(0).downconversion);
    Frames frames(app);
    fixture.module().send_packet(floatFrame(4, { 1.5f, -2.0f, floatNan, 0.25f }));
    ASSERT_TRUE(frames.waitForRf());
    EXPECT_EQ(4u, frames.rf.at(0).at(0).toUInt());
    EXPECT_DOUBLE_EQ(binLength * 0.125, frames.rf.at(0).at(1).toDouble());
    EXPECT_EQ(app.detectionZoneStart(), frames.rf.at(0).at(2).toDouble());
    EXPECT_EQ((QList<qreal> { 1.5, -2.0, 0.0, 0.25 }), frames.rf.at(0).at(3).value<QList<qreal>>());

    QSignalSpy changed(&app, &DaxApp::downConversionChanged);
    app.setDownConversion(1);
    app.setDownConversion(1);
    ASSERT_EQ(1, changed.count());
    EXPECT_EQ(1, changed.at(0).at(0).toInt());
    fixture.module().send_packet(floatFrame(5, { 3, 4 }));
    ASSERT_TRUE(frames.waitForBaseband());
    EXPECT_EQ((QList<qreal> { 5.0 }), frames.amplitudes(0));
    EXPECT_EQ(1, frames.rf.count());
}

// ---- execute ---------------------------------------------------------------------

TEST(DaxApp, ExecuteSendsTheChipSettingsAndKeepsTheZoneTheChipConfirms)
{
    Sandbox sandbox;
    DaxOverModule fixture;
    DaxApp& app = *fixture.app();
    app.setDetectionZoneStart(-3.0);
    app.setDetectionZoneEnd(2.0);
    app.setFloatDataOutputEnabled(true);
    QSignalSpy initialized(&app, &DeviceApp::initialized);
    ASSERT_EQ(DeviceApp::InitializationSucceeded, app.execute());

    const QList<SarvikDeviceConfiguration> sent = fixture.fixture().calls().configurations();
    ASSERT_EQ(1, sent.size());
    const SarvikDeviceConfiguration& config = sent.at(0);
    EXPECT_EQ(Sarvik::DataTypes(Sarvik::FloatDataType), config.outputDataTypes);
    EXPECT_EQ(1, config.downconversion);
    EXPECT_EQ(4, config.frequencyBand);
    EXPECT_FLOAT_EQ(-0.4f, config.zoneStart);
    EXPECT_FLOAT_EQ(float(2.0 - binLength / 2), config.zoneEnd);
    EXPECT_EQ(7u, config.noiseMapControl);
    EXPECT_EQ(5, config.moduleDebugLevel);
    ASSERT_EQ(1, initialized.count());
    EXPECT_EQ(int(DeviceApp::InitializationSucceeded), initialized.at(0).at(0).toInt());

    // The chip moved the end onto its bin: 46 bins above -0.4 m.
    const float confirmedEnd = float(-0.4 + 46 * binLength);
    EXPECT_FLOAT_EQ(confirmedEnd, float(app.detectionZoneEnd()));
    EXPECT_FLOAT_EQ(confirmedEnd, sandbox.stored(QStringLiteral("DAX/DetectionZoneEnd")).toFloat());
    EXPECT_FLOAT_EQ(-0.4f, sandbox.stored(QStringLiteral("DAX/DetectionZoneStart")).toFloat());
    EXPECT_EQ(1, sandbox.stored(QStringLiteral("DAX/BasebandDownConversion")).toInt());
    EXPECT_TRUE(app.deviceTimer()->isActive());

    app.setFloatDataOutputEnabled(false);
    app.setDownConversion(0);
    ASSERT_EQ(DeviceApp::InitializationSucceeded, app.execute(true));
    EXPECT_EQ(0u, fixture.fixture().calls().configurations().at(1).outputDataTypes);
    EXPECT_EQ(0, fixture.fixture().calls().configurations().at(1).downconversion);
    EXPECT_EQ(0, sandbox.stored(QStringLiteral("DAX/BasebandDownConversion")).toInt());
    EXPECT_EQ(1, initialized.count());
}

TEST(DaxApp, RefusedChipSettingFailsWithItsNameAndKeepsEverything)
{
    Sandbox sandbox;
    DaxOverModule fixture;
    DaxApp& app = *fixture.app();
    app.setDetectionZoneStart(1.0);
    app.setDetectionZoneEnd(3.0);
    fixture.module().add_rule_first(
        simmodule::Rule(simmodule::command::chip_set(simmodule::parameter::chip_downconversion)).error(5));
    QSignalSpy initialized(&app, &DeviceApp::initialized);
    MessageLog log;
    EXPECT_EQ(DeviceApp::InitializationFailed, app.execute());
    ASSERT_EQ(1, initialized.count());
    EXPECT_EQ(int(DeviceApp::InitializationFailed), initialized.at(0).at(0).toInt());
    EXPECT_TRUE(initialized.at(0).at(1).toString().startsWith(QStringLiteral("failed to set downconversion")))
        << initialized.at(0).at(1).toString().toStdString();
    EXPECT_EQ(1, log.count(QStringLiteral("ERROR: DAX app execute failed!")));
    EXPECT_EQ(1.0, app.detectionZoneStart());
    EXPECT_EQ(3.0, app.detectionZoneEnd());
    EXPECT_FALSE(sandbox.stored(QStringLiteral("DAX/DetectionZoneStart")).isValid());
    EXPECT_FALSE(sandbox.stored(QStringLiteral("DAX/BasebandDownConversion")).isValid());
    EXPECT_FALSE(app.deviceTimer()->isActive());
    EXPECT_EQ(DaxApp::UnknownState, app.state());
}

// The Device deactivated while configure waits: the application goes only
// once its execute has returned.
TEST(DaxApp, DeactivationWhileConfiguringDeletesTheApplicationAfterwards)
{
    Sandbox sandbox;
    DaxOverModule fixture;
    QPointer<DaxApp> app(fixture.app());
    QMetaObject::invokeMethod(
        &fixture.device(), [&] { fixture.device().setActive(false); }, Qt::QueuedConnection);
    app->execute();
    ASSERT_FALSE(app.isNull()) << "deleted under the wait";
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(app.isNull());
}

TEST(DaxApp, StateFollowsTheFramesAndTheDeviceAliveTimer)
{
    Sandbox sandbox;
    DaxOverModule fixture;
    DaxApp& app = *fixture.app();
    ASSERT_EQ(DeviceApp::InitializationSucceeded, app.execute());
    app.setDeviceTimerInterval(300);
    ASSERT_TRUE(waitUntil([&] { return app.state() == DaxApp::ConnectedState; }));
    fixture.module().stop_all_streams();
    ASSERT_TRUE(waitUntil([&] { return app.state() == DaxApp::NoConnectionState; }));
    EXPECT_FALSE(app.deviceTimer()->isActive());
    fixture.module().send_packet(floatFrame(9, { 1, 1 }));
    EXPECT_TRUE(waitUntil([&] { return app.state() == DaxApp::ConnectedState; }));
}

// ---- Settings ------------------------------------------------------------------

TEST(DaxApp, SaveAndLoadSettingsUseTheDaxKeys)
{
    Sandbox sandbox;
    sandbox.store(QStringLiteral("Logging/FloatDataOutput"), true);
    DaxOverModule fixture;
    DaxApp& app = *fixture.app();
    EXPECT_TRUE(app.floatDataOutputEnabled());
    app.setDetectionZoneStart(1.5);
    app.setDetectionZoneEnd(4.0);
    app.setLogSplitUnit(DeviceApp::KiloByte);
    app.setLogSplitSize(30);
    app.setLogDescription(QStringLiteral("chip"));
    app.setFloatDataOutputEnabled(false);
    app.saveSettings();
    const struct {
        const char* key;
        QVariant value;
    } saved[] = {
        { "DAX/DetectionZoneStart", 1.5 },
        { "DAX/DetectionZoneEnd", 4.0 },
        { "DAX/LoggingPath", sandbox.logFolder() },
        { "DAX/PreferredFileSplitUnit", 1 },
        { "DAX/PreferredFileSplitValue", 30 },
        { "DAX/LoggingDescription", QStringLiteral("chip") },
        { "Logging/FloatDataOutput", false },
    };
    for (const auto& s : saved)
        EXPECT_EQ(s.value.toString(), sandbox.stored(QString::fromLatin1(s.key)).toString()) << s.key;

    sandbox.store(QStringLiteral("DAX/DetectionZoneEnd"), QStringLiteral("nan"));
    sandbox.store(QStringLiteral("DAX/LoggingDescription"), QStringLiteral("again"));
    sandbox.store(QStringLiteral("Logging/FloatDataOutput"), true);
    app.loadSettings();
    EXPECT_EQ(4.0, app.detectionZoneEnd());
    EXPECT_EQ(QStringLiteral("again"), app.logDescription());
    EXPECT_TRUE(app.floatDataOutputEnabled());
}

// ---- Recording -------------------------------------------------------------------

// The float stream is always recorded, whatever the float output setting.
TEST(DaxApp, RecordsTheFloatStream)
{
    Sandbox sandbox;
    DaxOverModule fixture;
    DaxApp& app = *fixture.app();
    ASSERT_FALSE(app.floatDataOutputEnabled());
    WorkerCallLog& calls = fixture.fixture().calls();
    calls.clear();
    app.recordLog(true);
    app.recordLog(false);
    const QList<WorkerCall> recording = calls.recordingCalls();
    ASSERT_EQ(2, recording.size());
    EXPECT_EQ("startRecording", recording.at(0).method);
    EXPECT_EQ(uint(Sarvik::FloatDataType), recording.at(0).arguments.at(0).toUInt());
    EXPECT_EQ(sandbox.logFolder(), recording.at(0).arguments.at(1).toString());
    EXPECT_TRUE(recording.at(0).arguments.at(2).value<Sarvik::RecordingOptions>().get_user_header().empty());
    EXPECT_EQ("stopRecording", recording.at(1).method);
    EXPECT_EQ(uint(Sarvik::FloatDataType), recording.at(1).arguments.at(0).toUInt());
}

// A start the worker cannot make (here: no connection yet) comes back as a
// recording error, which ends the recording.
TEST(DaxApp, RecordingTheWorkerRefusesIsReportedAndEnds)
{
    Sandbox sandbox;
    DaxOverModule fixture;
    DaxApp& app = *fixture.app();
    QSignalSpy errors(&app, &DeviceApp::recordingError);
    app.recordLog(true);
    ASSERT_TRUE(waitUntil([&] { return errors.count() == 1; }));
    EXPECT_TRUE(waitUntil([&] { return !app.recordingEnabled(); }));
    EXPECT_TRUE(QDir(sandbox.logFolder()).isEmpty());
}

// A recording of the embedded platform: its session directory holds the
// parameter file with the zone the chip confirmed and the module's step,
// and the library reads the chip's frames back from it.
TEST(DaxApp, RecordingDirectoryHoldsTheParameterFile)
{
    Sandbox sandbox;
    DaxOverModule fixture;
    DaxApp& app = *fixture.app();
    app.setDetectionZoneStart(0.5);
    app.setDetectionZoneEnd(2.0);
    ASSERT_EQ(DeviceApp::InitializationSucceeded, app.execute());
    QSignalSpy ready(&fixture.device(), &Device::recordingDirectoryReady);
    app.recordLog(true);
    ASSERT_TRUE(waitUntil([&] { return ready.count() == 1; }));
    const QString directory = ready.at(0).at(0).toString();
    ASSERT_FALSE(directory.isEmpty());
    QTest::qWait(300);
    app.recordLog(false);

    const std::unique_ptr<RecordingParameterFile> file = RecordingParameterFile::open(directory);
    ASSERT_NE(nullptr, file);
    EXPECT_EQ(1, file->downConversion());
    EXPECT_FLOAT_EQ(float(-0.4 + 17 * binLength), float(file->detectionZoneStart()));
    EXPECT_FLOAT_EQ(float(-0.4 + 46 * binLength), float(file->detectionZoneEnd()));
    EXPECT_DOUBLE_EQ(binLength, file->detectionZoneStep());
    EXPECT_EQ(app.detectionZoneStart(), file->detectionZoneStart());

    QStringList index;
    ASSERT_TRUE(waitUntil([&] {
        index = rawapps::sessionIndexFiles(directory);
        return !index.isEmpty();
    }));
    const std::vector<rawapps::StoredRecord> records = rawapps::recordsOf(index.front());
    ASSERT_FALSE(records.empty());
    for (const rawapps::StoredRecord& record : records) {
        EXPECT_EQ(uint32_t(Sarvik::FloatDataType), record.dataType);
        EXPECT_FALSE(record.userHeader);
    }
}

// Playback of such a recording rebuilds the range axis from the parameter
// file: the application made for it takes the recorded zone and bin
// length, and the recorded frames come out as they went in.
TEST(DaxApp, PlaybackOfARecordingUsesItsParameterFile)
{
    Sandbox sandbox;
    QString index;
    {
        DaxOverModule fixture;
        DaxApp& app = *fixture.app();
        app.setDetectionZoneStart(0.5);
        app.setDetectionZoneEnd(2.0);
        ASSERT_EQ(DeviceApp::InitializationSucceeded, app.execute());
        QSignalSpy ready(&fixture.device(), &Device::recordingDirectoryReady);
        app.recordLog(true);
        ASSERT_TRUE(waitUntil([&] { return ready.count() == 1; }));
        QTest::qWait(500);
        app.recordLog(false);
        QStringList files;
        ASSERT_TRUE(waitUntil([&] {
            files = rawapps::sessionIndexFiles(ready.at(0).at(0).toString());
            return !files.isEmpty();
        }));
        index = files.front();
    }

    DeviceOverRecording playback(index);
    Device& device = *playback.device();
    device.setActive(true);
    const QList<DaxApp*> apps = device.findChildren<DaxApp*>();
    ASSERT_EQ(1, apps.size());
    DaxApp& app = *apps.front();
    EXPECT_NEAR(-0.4 + 17 * binLength, app.detectionZoneMin(), 1e-6);
    EXPECT_NEAR(-0.4 + 46 * binLength, app.detectionZoneMax(), 1e-6);
    EXPECT_DOUBLE_EQ(binLength, app.binLength());
    EXPECT_EQ(1, app.downConversion());

    device.setBasebandScale(Device::LinearBasebandScale);
    device.setDeviceAppActivatedAt(0, true);
    Frames frames(app);
    ASSERT_EQ(DeviceApp::InitializationSucceeded, app.execute());
    ASSERT_TRUE(frames.waitForBaseband());
    const QList<qreal> amplitudes = frames.amplitudes(0);
    ASSERT_EQ(30, amplitudes.size());
    for (int k = 0; k < 30; ++k)
        EXPECT_DOUBLE_EQ(std::hypot(k + 1.0, 30.0 + k + 1.0), amplitudes.at(k)) << k;
    EXPECT_NEAR(-0.4 + 17 * binLength, frames.baseband.at(0).at(2).toDouble(), 1e-6);
}

// The lookup answers an empty text when it found no directory: the file
// goes nowhere, neither to the root nor beside the working directory.
TEST(DaxApp, NoParameterFileWithoutASessionDirectory)
{
    Sandbox sandbox;
    DaxOverModule fixture;
    const QString working = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(sandbox.path(QStringLiteral("logs"))));
    MessageLog log;
    for (const QString& directory :
        { QString(), QStringLiteral("relative"), sandbox.path(QStringLiteral("gone")) })
        emit fixture.device().recordingDirectoryReady(directory);
    QDir::setCurrent(working);
    EXPECT_EQ(3, log.count(QStringLiteral("No directory to write recording metadata in: ")));
    EXPECT_TRUE(QDir(sandbox.logFolder()).isEmpty());
    EXPECT_FALSE(QFileInfo::exists(QStringLiteral("/") + RecordingParameterFile::fileName));
}

} // namespace
