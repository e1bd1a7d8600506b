// A recording opened in the playback device: the refusals in their order, a
// session recorded by the library from the simulated module opening and
// playing, the player's controls, and the texts that describe a recording.
#include "device/Device.hpp"

#include "apps/RecordingParameterFile.hpp"
#include "device/RecordingSummary.hpp"
#include "support/DeviceHarness.hpp"
#include "support/MessageLog.hpp"
#include "support/ModuleMessages.hpp"
#include "support/QtPrinters.hpp"
#include "support/RecordedSession.hpp"
#include "support/SessionWriter.hpp"

#include "simmodule/Messages.hpp"
#include "simmodule/Personality.hpp"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QUrl>
#include <QtEndian>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <functional>
#include <optional>
#include <ostream>

namespace {

constexpr quint32 presenceProfile = 0x014D4AB8;
constexpr quint32 basebandAmplitudePhase = 0x1;
const QByteArray parameterText("# module parameters\nRangeVec = {0.2, 9.4};\nZoneSpan = {0.4, 5.0};\n");

// A baseband amplitude/phase frame of four bins as the recorder stores it:
// the module message behind its head.
QByteArray basebandRecord(quint32 counter)
{
    simmodule::BasebandFrame frame;
    frame.frame_counter = counter;
    frame.bin_length = 0.05f;
    frame.first = { 1, 4, 9, 16 };
    frame.second = { 0, 0.5f, 1, 1.5f };
    const simmodule::Bytes message
        = simmodule::baseband_frame_message(simmodule::content::baseband_amplitude_phase, frame);
    return payloadOf(message);
}

struct Session {
    quint32 version = 13;
    quint32 profile = presenceProfile;
    std::optional<QByteArray> parameters = parameterText;
    quint32 records = 5;
    quint32 spacingMs = 100;
};

// Writes the session into the folder and returns its index file.
QString writeSession(const QString& folder, const Session& session)
{
    SessionWriter writer(folder);
    writer.setVersion(session.version);
    writer.setProfileId(session.profile);
    for (quint32 i = 0; i < session.records; ++i)
        writer.addRecord(basebandAmplitudePhase, basebandRecord(i), i * session.spacingMs);
    if (session.parameters)
        writer.writeParameterFile(*session.parameters);
    return writer.finish();
}

QUrl urlOf(const QString& path)
{
    return QUrl::fromLocalFile(path);
}

// The frame counters of the baseband frames the Device decoded.
QList<uint> frameCounters(const QSignalSpy& frames)
{
    QList<uint> counters;
    for (const QList<QVariant>& frame : frames)
        counters.append(frame.at(1).toUInt());
    return counters;
}

struct RefusalRow {
    const char* name;
    // Prepares the folder; returns the path to open.
    std::function<QString(const QString& folder)> prepare;
    const char* error;
    bool staysActive = true;
    quint32 deviceType = SarvikDeviceInfo::PlaybackDevice;
    bool activate = true;
    bool applicationActive = false;
    // The index file is cut short once the Device has read it, before the
    // player opens it.
    bool cutShortWhenDeactivated = false;
};

void PrintTo(const RefusalRow& row, std::ostream* os)
{
    *os << row.name;
}

class DevicePlaybackRefusalTest : public ::testing::TestWithParam<RefusalRow> { };

TEST_P(DevicePlaybackRefusalTest, RefusesWithItsReason)
{
    const RefusalRow& row = GetParam();
    QTemporaryDir folder;
    const QString path = row.prepare(folder.path());
    FakeAppFactory factory;
    SarvikDeviceInfo info = playbackEntry();
    info.deviceType = row.deviceType;
    if (row.applicationActive)
        info.supportedApps = 0x10;
    Device device(info, nullptr, nullptr, &factory);
    device.setActive(row.activate);
    if (row.applicationActive)
        device.setDeviceAppActivatedAt(0, true);
    if (row.cutShortWhenDeactivated) {
        QObject::connect(&device, &Device::isDeviceActiveChanged, [path](bool active) {
            if (!active)
                QFile::resize(path, 20);
        });
    }
    QSignalSpy duration(&device, &Device::playbackDurationChanged);

    EXPECT_FALSE(device.setRecordingUrl(urlOf(path)));
    EXPECT_EQ(QString::fromLatin1(row.error), device.recordingErrorString());
    EXPECT_EQ(row.staysActive && row.activate, device.isDeviceActive());
    EXPECT_EQ(-1, device.playbackDuration());
    EXPECT_EQ(0, duration.count());
}

QString aSession(const QString& folder)
{
    return writeSession(folder, Session());
}

QString withParameters(const QString& folder, const QByteArray& text)
{
    Session session;
    session.parameters = text;
    return writeSession(folder, session);
}

INSTANTIATE_TEST_SUITE_P(Reasons, DevicePlaybackRefusalTest,
    ::testing::Values(RefusalRow { "NotAPlaybackDevice", aSession, "device is not a playback device", true,
                          SarvikDeviceInfo::OspreyDevice },
        RefusalRow {
            "Inactive", aSession, "device not active", true, SarvikDeviceInfo::PlaybackDevice, false },
        RefusalRow { "ApplicationActive", aSession, "device app active", true,
            SarvikDeviceInfo::PlaybackDevice, true, true },
        RefusalRow { "NoSuchFile",
            [](const QString& folder) { return folder + "/sarvik_recording_meta.dat"; },
            "no such file exists" },
        RefusalRow { "NotARecording",
            [](const QString& folder) {
                QFile file(folder + "/notes.txt");
                file.open(QIODevice::WriteOnly);
                file.write("not a recording\n");
                return file.fileName();
            },
            "invalid recording or corrupt data" },
        RefusalRow { "OlderIndexVersion",
            [](const QString& folder) {
                Session session;
                session.version = 12;
                return writeSession(folder, session);
            },
            "unsupported version: 1.2 (requires >= 1.3)" },
        RefusalRow { "RawRadarWithoutItsParameterFile",
            [](const QString& folder) {
                Session session;
                session.profile = 0;
                return writeSession(folder, session);
            },
            "Recording with profile_id 0 but no DAX metadata found." },
        RefusalRow { "NoParameterFile",
            [](const QString& folder) {
                Session session;
                session.parameters.reset();
                return writeSession(folder, session);
            },
            "no parameter file" },
        RefusalRow { "ParameterFileIsAFolder",
            [](const QString& folder) {
                Session session;
                session.parameters.reset();
                QDir(folder).mkdir("sarvik_parameter_file.par");
                return writeSession(folder, session);
            },
            "failed to open parameter file" },
        // Opening a pipe would wait for a writer.
        RefusalRow { "ParameterFileIsAPipe",
            [](const QString& folder) {
                Session session;
                session.parameters.reset();
                mkfifo(QFile::encodeName(folder + "/sarvik_parameter_file.par").constData(), 0600);
                return writeSession(folder, session);
            },
            "failed to open parameter file" },
        RefusalRow { "ParameterFileTooLarge",
            [](const QString& folder) {
                const QString path = withParameters(folder, parameterText);
                QFile::resize(folder + "/sarvik_parameter_file.par", qint64(3) * 1024 * 1024 * 1024);
                return path;
            },
            "parameter file too large" },
        RefusalRow { "ZoneSpanWithoutRangeVector",
            [](const QString& folder) { return withParameters(folder, "ZoneSpan = {0.4, 5.0};\n"); },
            "failed to read required parameters from parfile", false },
        RefusalRow { "ZoneSpanOfThreeNumbers",
            [](const QString& folder) {
                return withParameters(folder, "RangeVec = {0.2, 9.4};\nZoneSpan = {0.4, 5.0, 6};\n");
            },
            "invalid zone span format: ZoneSpan=0.4,5.0,6", false },
        RefusalRow { "UnknownProfile",
            [](const QString& folder) {
                Session session;
                session.profile = 0x12345678;
                return writeSession(folder, session);
            },
            "unsupported profile id: 305419896", false },
        RefusalRow { "PlayerCannotOpenIt", aSession, "invalid recording or corrupt data", false,
            SarvikDeviceInfo::PlaybackDevice, true, false, true }),
    [](const ::testing::TestParamInfo<RefusalRow>& row) { return std::string(row.param.name); });

// A session the library recorded from the simulated module opens with the
// module's zone and range vector, and plays once an application configures
// the playback connection.
TEST(DevicePlaybackTest, RecordingFromTheSimulatedModuleOpensAndPlays)
{
    const RecordedSession session(simmodule::personality("osprey"), 0x3000, 20);
    ASSERT_FALSE(session.metaFile().isEmpty());
    FakeAppFactory factory;
    DeviceOverRecording playback(session.metaFile(), &factory);
    Device& device = *playback.device();

    EXPECT_EQ(QList<quint32> { 0x10 }, factory.asked());
    EXPECT_TRUE(device.isDeviceActive());
    const SarvikDeviceInfo& info = device.moduleInfo();
    EXPECT_FLOAT_EQ(0.3f, float(info.zoneMin));
    EXPECT_FLOAT_EQ(7.5f, float(info.zoneMax));
    EXPECT_DOUBLE_EQ(0.0514, info.zoneStep);
    EXPECT_EQ(0x3000u, device.playbackDataTypes());
    EXPECT_TRUE(device.playbackParams().contains(QStringLiteral("RangeVec = {0.2, 7.9};")));
    EXPECT_TRUE(device.playbackMetaString().startsWith(QStringLiteral("Started: ")));
    EXPECT_TRUE(device.playbackMetaString().endsWith(
        QStringLiteral("[0] Presence Single\n[1] Presence Moving List\n")));
    EXPECT_TRUE(device.playbackLoopModeEnabled());
    EXPECT_EQ(1.0f, device.playbackRate());
    EXPECT_GT(device.playbackDuration(), 0);
    EXPECT_EQ(Device::StoppedState, device.playbackState());

    FakeDeviceApp* app = FakeAppFactory::applicationsOf(device).at(0);
    app->onExecute = [&device](FakeDeviceApp& self) {
        SarvikDeviceConfiguration config;
        config.zoneStartResult = &self.reportedZoneStart;
        config.zoneEndResult = &self.reportedZoneEnd;
        return device.configure(config) ? DeviceApp::InitializationSucceeded
                                        : DeviceApp::InitializationFailed;
    };
    device.setDeviceAppActivatedAt(0, true);
    QSignalSpy data(&device, &Device::sigNewDataApp);
    QSignalSpy position(&device, &Device::playbackPositionChanged);
    QSignalSpy state(&device, &Device::playbackStateChanged);
    ASSERT_EQ(DeviceApp::InitializationSucceeded, app->execute());
    // The recording's range vector is the zone the playback reports.
    EXPECT_FLOAT_EQ(0.2f, app->reportedZoneStart);
    EXPECT_FLOAT_EQ(7.9f, app->reportedZoneEnd);
    EXPECT_EQ(Device::PlayingState, device.playbackState());
    EXPECT_EQ(1, state.count());

    ASSERT_TRUE(waitUntil([&] { return data.count() >= 4; }));
    QList<uint> singles;
    for (const QList<QVariant>& packet : data)
        if (packet.at(0).toUInt() == simmodule::content::presence_single)
            singles.append(qFromLittleEndian<quint32>(packet.at(1).toByteArray().constData()));
    ASSERT_GE(singles.size(), 2);
    for (int i = 1; i < singles.size(); ++i)
        EXPECT_GT(singles.at(i), singles.at(i - 1));
    // The position advances and the playback bar hears of it.
    ASSERT_TRUE(waitUntil([&] { return position.count() >= 2 && device.playbackPosition() > 0; }));
    // Nothing of it went to a module: the worker only closes.
    for (const QByteArray& method : playback.calls().methods())
        EXPECT_TRUE(method == "configure" || method == "close") << method.constData();
}

// An hour of frames one second apart: at the rate of the recording the
// first few come, as fast as the connection reads all of them, in order;
// with loop mode the first comes again after the last.
TEST(DevicePlaybackTest, RateAndLoopModeChangeWhatArrives)
{
    QTemporaryDir folder;
    Session hour;
    hour.records = 3600;
    hour.spacingMs = 1000;
    DeviceOverRecording playback(writeSession(folder.path(), hour));
    Device& device = *playback.device();
    EXPECT_EQ(3599000, device.playbackDuration());
    QSignalSpy frames(&device, &Device::sigNewBasebandFrame);
    device.setPlaybackLoopModeEnabled(false);
    ASSERT_TRUE(device.configure(SarvikDeviceConfiguration()));
    ASSERT_TRUE(waitUntil([&] { return frames.count() >= 1; }));
    EXPECT_LT(frames.count(), 3600);

    QSignalSpy rate(&device, &Device::playbackRateChanged);
    device.setPlaybackRate(-1.0f);
    EXPECT_EQ(1, rate.count());
    EXPECT_EQ(-1.0f, device.playbackRate());
    ASSERT_TRUE(waitUntil([&] { return frames.count() >= 3600; }));
    QList<uint> expected;
    for (uint i = 0; i < 3600; ++i)
        expected.append(i);
    EXPECT_EQ(expected, frameCounters(frames).mid(0, 3600));

    QSignalSpy loop(&device, &Device::playbackLoopModeEnabledChanged);
    device.setPlaybackLoopModeEnabled(true);
    device.setPlaybackLoopModeEnabled(true);
    EXPECT_EQ(1, loop.count());
    ASSERT_TRUE(waitUntil([&] { return frames.count() >= 3602; }));
    EXPECT_EQ((QList<uint> { 3599, 0, 1 }), frameCounters(frames).mid(3599, 3));
}

TEST(DevicePlaybackTest, PositionTheRecordingRefusesStillTellsThePlaybackBar)
{
    QTemporaryDir folder;
    DeviceOverRecording playback(writeSession(folder.path(), Session()));
    Device& device = *playback.device();
    QSignalSpy position(&device, &Device::playbackPositionChanged);
    QSignalSpy manual(&device, &Device::playbackPositionUpdatedManually);
    MessageLog log;
    device.setPlaybackPosition(device.playbackDuration() + 1000);
    EXPECT_EQ(1, log.count(QStringLiteral("WARNING: failed to set playback position to: 1400")));
    EXPECT_EQ(1, position.count());
    EXPECT_EQ(1, manual.count());
    device.setPlaybackPosition(200);
    EXPECT_EQ(1, log.count(QStringLiteral("WARNING:")));
    EXPECT_EQ(2, manual.count());

    QSignalSpy state(&device, &Device::playbackStateChanged);
    device.setPlaybackState(Device::PausedState);
    device.setPlaybackState(Device::PausedState);
    EXPECT_EQ(Device::PausedState, device.playbackState());
    EXPECT_EQ(2, state.count());
}

TEST(DevicePlaybackTest, DescribesTheRecording)
{
    QTemporaryDir folder;
    SessionWriter writer(folder.path(), QStringLiteral("5d3c2b1a"));
    writer.setCreated(1700000000000);
    const QByteArray record(500, 'r');
    writer.addRecord(0x1, record, 0);
    writer.addRecord(0x40000, record, 1000);
    writer.addRecord(0x10000, record, 2000);
    writer.writeParameterFile(parameterText);
    DeviceOverRecording playback(writer.finish(3723000));
    Device& device = *playback.device();
    const QString start = QDateTime::fromMSecsSinceEpoch(1700000000000).toString(Qt::ISODate);
    EXPECT_EQ(QStringLiteral("Started: ") + start
            + QStringLiteral("\nDuration: 1 hour 2 minutes 3 seconds\nSize: 1.5 kB\nSession ID: 5d3c2b1a\n"
                             "Meta file version: 1.3\n\nData types included in recording:\n[0] Baseband A/P\n"
                             "[1] Respiration Normalized Moving List\n[2] Vital Signs\n"),
        device.playbackMetaString());
    EXPECT_EQ(QString::fromLatin1(parameterText), device.playbackParams());
    EXPECT_TRUE(device.supportsVitalSignsData());
    EXPECT_TRUE(device.supportsNormalizedMovementList());
    EXPECT_TRUE(device.recordingHasDataTypes(0x1 | 0x10000));
    EXPECT_FALSE(device.recordingHasDataTypes(0x1 | 0x2));

    // The texts stay as they were read, whatever becomes of the files.
    QFile::remove(folder.filePath(QStringLiteral("sarvik_parameter_file.par")));
    EXPECT_EQ(QString::fromLatin1(parameterText), device.playbackParams());
}

TEST(DevicePlaybackTest, ParameterTextTooLargeToShowIsNotRead)
{
    QTemporaryDir folder;
    DeviceOverRecording playback(writeSession(folder.path(), Session()));
    QFile::resize(
        folder.filePath(QStringLiteral("sarvik_parameter_file.par")), qint64(2) * 1024 * 1024 * 1024);
    MessageLog log;
    EXPECT_EQ(QString(), playback.device()->playbackParams());
    EXPECT_EQ(1, log.count(QStringLiteral("WARNING: parameter file too large to show:")));
    EXPECT_FALSE(playback.device()->supportsVitalSignsData());
}

struct ProfileRow {
    const char* name;
    quint32 profile;
    QList<quint32> applications;
};

void PrintTo(const ProfileRow& row, std::ostream* os)
{
    *os << row.name;
}

class DevicePlaybackProfileTest : public ::testing::TestWithParam<ProfileRow> { };

TEST_P(DevicePlaybackProfileTest, OpensWithTheApplicationsOfItsProfile)
{
    QTemporaryDir folder;
    Session session;
    session.profile = GetParam().profile;
    FakeAppFactory factory;
    DeviceOverRecording playback(writeSession(folder.path(), session), &factory);
    EXPECT_EQ(GetParam().applications, factory.asked());
    EXPECT_FLOAT_EQ(0.4f, float(playback.device()->moduleInfo().zoneMin));
    EXPECT_EQ(
        (QVariantList { 0.2f, 9.4f }), playback.device()->moduleInfo().metadata.value("RangeVec").toList());
}

INSTANTIATE_TEST_SUITE_P(Profiles, DevicePlaybackProfileTest,
    ::testing::Values(ProfileRow { "BabyRespiration", 0x47FABEBA, { 0x40 } },
        ProfileRow { "AdultRespirationMemoryOptimised", 0x4AC5D074, { 0x200 } },
        // Recorded in a profile that no application plays back.
        ProfileRow { "NoApplication", 0x6B5C1609, {} }),
    [](const ::testing::TestParamInfo<ProfileRow>& row) { return std::string(row.param.name); });

// A raw-radar session takes its zone from the raw-radar parameter file.
TEST(DevicePlaybackTest, RawRadarRecordingOpensWithItsOwnParameters)
{
    QTemporaryDir folder;
    Session session;
    session.profile = 0;
    session.parameters.reset();
    const QString path = writeSession(folder.path(), session);
    {
        const std::unique_ptr<RecordingParameterFile> parameters
            = RecordingParameterFile::create(folder.path());
        ASSERT_TRUE(parameters);
        parameters->setDownConversion(1);
        parameters->setDetectionZoneStart(0.25);
        parameters->setDetectionZoneEnd(3.5);
        parameters->setDetectionZoneStep(0.05);
    }
    FakeAppFactory factory;
    DeviceOverRecording playback(path, &factory);
    const SarvikDeviceInfo& info = playback.device()->moduleInfo();
    EXPECT_EQ(QList<quint32> { 0x100 }, factory.asked());
    EXPECT_DOUBLE_EQ(0.25, info.zoneMin);
    EXPECT_DOUBLE_EQ(3.5, info.zoneMax);
    EXPECT_DOUBLE_EQ(0.05, info.zoneStep);
    EXPECT_TRUE(info.downconversion);
    EXPECT_EQ(QString(), playback.device()->playbackParams());
}

// A second recording replaces the first: its player, its texts, its
// applications.
TEST(DevicePlaybackTest, NextRecordingReplacesThePrevious)
{
    QTemporaryDir first;
    QTemporaryDir second;
    FakeAppFactory factory;
    DeviceOverRecording playback(writeSession(first.path(), Session()), &factory);
    Device& device = *playback.device();
    const QString firstText = device.playbackMetaString();
    Session baby;
    baby.profile = 0x47FABEBA;
    baby.records = 20;
    factory.clear();
    ASSERT_TRUE(device.setRecordingUrl(urlOf(writeSession(second.path(), baby))));
    EXPECT_EQ(QList<quint32> { 0x40 }, factory.asked());
    EXPECT_EQ(1900, device.playbackDuration());
    EXPECT_NE(firstText, device.playbackMetaString());
    EXPECT_TRUE(device.playbackMetaString().contains(QStringLiteral("Duration: 1 second")));
}

} // namespace
