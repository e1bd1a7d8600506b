// The worker's recording, noise-map and crash-dump slots over the simulated
// module, with recordings in real temporary directories.
#include "device/SarvikDevice.hpp"
#include "support/MessageLog.hpp"
#include "support/QtPrinters.hpp"
#include "support/WirePayloads.hpp"
#include "support/WorkerHarness.hpp"

#include "simmodule/FileSystem.hpp"
#include "simmodule/Messages.hpp"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using simmodule::file_type::crash_dump;
using wire::Bytes;

constexpr uint32_t noiseMapTypes[]
    = { simmodule::file_type::noise_map_first, simmodule::file_type::noise_map_second };

const Bytes presenceMessage = simmodule::presence_single_message({ 7, 1, 2.5f, 0, 80 });

bool startRecording(WorkerThread& thread, Sarvik::DataTypes types, const QString& path,
    const Sarvik::RecordingOptions& options = Sarvik::RecordingOptions())
{
    bool started = false;
    EXPECT_TRUE(thread.invoke("startRecording", Q_RETURN_ARG(bool, started), Q_ARG(Sarvik::DataTypes, types),
        Q_ARG(QString, path), Q_ARG(Sarvik::RecordingOptions, options)));
    return started;
}

void stopRecording(WorkerThread& thread, Sarvik::DataTypes types)
{
    EXPECT_TRUE(thread.invoke("stopRecording", QGenericReturnArgument(), Q_ARG(Sarvik::DataTypes, types)));
}

// Files below the directory whose names match, once the recorder has
// written them (it writes on a thread of its own).
QStringList waitForFiles(const QString& directory, const QString& pattern)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    QStringList found;
    while (std::chrono::steady_clock::now() < deadline) {
        found.clear();
        for (const QString& session : QDir(directory).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
            for (const QString& file : QDir(directory + '/' + session).entryList({ pattern }, QDir::Files))
                found.append(session + '/' + file);
        if (!found.isEmpty())
            break;
        QThread::msleep(20);
    }
    return found;
}

// ---- Recording -------------------------------------------------------------

TEST(SarvikDeviceRecordingTest, ClosedWorkerRecordsNothing)
{
    QTemporaryDir directory;
    ModuleWorker fixture(SarvikDeviceInfo::OspreyDevice);
    MessageLog log;
    EXPECT_FALSE(startRecording(fixture.thread(), Sarvik::PresenceSingleDataType, directory.path()));
    EXPECT_EQ(1, log.count(QStringLiteral("WARNING: cannot start recording with null ptr linkwell")));
    // The other recording slots do nothing while closed, and open nothing.
    stopRecording(fixture.thread(), Sarvik::PresenceSingleDataType);
    ASSERT_TRUE(fixture.thread().invoke("setBasenameForDataType", QGenericReturnArgument(),
        Q_ARG(Sarvik::DataType, Sarvik::PresenceSingleDataType), Q_ARG(QString, QStringLiteral("name"))));
    ASSERT_TRUE(fixture.thread().invoke("clearRecordingErrorCallback"));
    ASSERT_TRUE(fixture.thread().invoke("setupRecordingErrorCallback"));
    EXPECT_FALSE(fixture.worker().isOpen());
    EXPECT_TRUE(fixture.received({}));
    EXPECT_TRUE(QDir(directory.path()).isEmpty());
}

// The recorder's error callback hears nothing of a start that fails: the
// worker reports it itself, so that no recording shows as running that does
// not.
TEST(SarvikDeviceRecordingTest, StartThatFailsIsReportedAsARecordingError)
{
    const struct {
        const char* what;
        bool open;
        Sarvik::DataTypes first; // started before, 0: none
        Sarvik::DataTypes types;
        bool emptyDirectory;
        const char* error;
    } table[] = {
        { "no connection", false, 0, Sarvik::PresenceSingleDataType, false,
            "cannot start recording: no connection to the module" },
        { "empty directory", true, 0, Sarvik::PresenceSingleDataType, true,
            "cannot start recording: the recorder refused data types 0x1000 in \"\"" },
        { "already recording", true, Sarvik::PresenceSingleDataType, Sarvik::PresenceSingleDataType, false,
            "cannot start recording: the recorder refused data types 0x1000 in \"<dir>\"" },
        { "no data type", true, 0, 0, false,
            "cannot start recording: the recorder refused data types 0x0 in \"<dir>\"" },
        { "unknown data type", true, 0, 0x80000000u, false, "cannot start recording: " },
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.what);
        QTemporaryDir directory;
        ModuleWorker fixture(SarvikDeviceInfo::OspreyDevice);
        if (row.open) {
            ASSERT_TRUE(fixture.thread().call("deleteCrashDumpOnModule"));
        }
        if (row.first) {
            ASSERT_TRUE(startRecording(fixture.thread(), row.first, directory.path()));
        }
        QSignalSpy errors(&fixture.relay(), &WorkerSignals::recordingError);
        MessageLog log;
        EXPECT_FALSE(
            startRecording(fixture.thread(), row.types, row.emptyDirectory ? QString() : directory.path()));
        ASSERT_TRUE(waitForSignals(errors, 1));
        const QString error = errors.at(0).at(0).toString();
        EXPECT_TRUE(
            error.startsWith(QString::fromUtf8(row.error).replace(QStringLiteral("<dir>"), directory.path())))
            << error.toStdString();
        if (row.first)
            stopRecording(fixture.thread(), row.first);
    }
}

TEST(SarvikDeviceRecordingTest, BasenameNamesTheDataFilesOfLaterRecordings)
{
    QTemporaryDir directory;
    ModuleWorker fixture(SarvikDeviceInfo::OspreyDevice);
    ASSERT_TRUE(fixture.thread().call("deleteCrashDumpOnModule"));
    ASSERT_TRUE(fixture.thread().invoke("setBasenameForDataType", QGenericReturnArgument(),
        Q_ARG(Sarvik::DataType, Sarvik::PresenceSingleDataType),
        Q_ARG(QString, QStringLiteral("bedroom_pres"))));
    ASSERT_TRUE(startRecording(fixture.thread(), Sarvik::PresenceSingleDataType, directory.path()));
    fixture.module().send_packet(presenceMessage);
    const QStringList files = waitForFiles(directory.path(), QStringLiteral("bedroom_pres*"));
    EXPECT_EQ(1, files.size()) << files.join(' ').toStdString();
    stopRecording(fixture.thread(), Sarvik::PresenceSingleDataType);
}

TEST(SarvikDeviceRecordingTest, TwoRecorderErrorsGiveOneSignalPerInstallation)
{
    QTemporaryDir directory;
    ModuleWorker fixture(SarvikDeviceInfo::OspreyDevice);
    QSignalSpy errors(&fixture.relay(), &WorkerSignals::recordingError);
    ASSERT_TRUE(fixture.thread().call("deleteCrashDumpOnModule"));
    fixture.worker().setupRecordingErrorCallback();
    // A session directory under a file cannot be made: every packet fails.
    const QString blocked = directory.filePath(QStringLiteral("not-a-directory"));
    QFile file(blocked);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    ASSERT_TRUE(
        startRecording(fixture.thread(), Sarvik::PresenceSingleDataType | Sarvik::StringDataType, blocked));
    fixture.module().send_packet(presenceMessage);
    fixture.module().send_packet(simmodule::text_data_message(1, 0, "a second failure"));
    ASSERT_TRUE(waitForSignals(errors, 1));
    EXPECT_FALSE(errors.wait(500));
    EXPECT_EQ(1, errors.count());
    EXPECT_FALSE(errors.at(0).at(0).toString().isEmpty());

    // Installed again, the next failure is reported again; cleared, none is.
    stopRecording(fixture.thread(), Sarvik::PresenceSingleDataType | Sarvik::StringDataType);
    fixture.worker().setupRecordingErrorCallback();
    ASSERT_TRUE(startRecording(fixture.thread(), Sarvik::PresenceSingleDataType, blocked));
    fixture.module().send_packet(presenceMessage);
    ASSERT_TRUE(waitForSignals(errors, 2));
    stopRecording(fixture.thread(), Sarvik::PresenceSingleDataType);
    fixture.worker().setupRecordingErrorCallback();
    fixture.worker().clearRecordingErrorCallback();
    ASSERT_TRUE(startRecording(fixture.thread(), Sarvik::PresenceSingleDataType, blocked));
    fixture.module().send_packet(presenceMessage);
    EXPECT_FALSE(errors.wait(500));
    EXPECT_EQ(2, errors.count());
}

TEST(SarvikDeviceRecordingTest, EmbeddedPlatformReportsTheSessionDirectoryOnceItExists)
{
    QTemporaryDir directory;
    ModuleWorker fixture(SarvikDeviceInfo::DaxDevice);
    QSignalSpy ready(&fixture.relay(), &WorkerSignals::recordingDirectoryReady);
    ASSERT_TRUE(fixture.thread().call("deleteCrashDumpOnModule"));
    Sarvik::RecordingOptions options;
    options.set_session_id("raw-session");
    ASSERT_TRUE(startRecording(fixture.thread(), Sarvik::FloatDataType, directory.path(), options));
    fixture.module().send_packet(simmodule::float_data_message(0x10, 0, { 1.0f }));
    ASSERT_TRUE(waitForSignals(ready, 1));
    const QString reported = ready.at(0).at(0).toString();
    EXPECT_TRUE(QDir(reported).exists()) << reported.toStdString();
    EXPECT_EQ(QDir(directory.path()).canonicalPath(), QDir(reported + QStringLiteral("/..")).canonicalPath());
    EXPECT_TRUE(reported.endsWith(QStringLiteral("_raw-session")));
    stopRecording(fixture.thread(), Sarvik::FloatDataType);
}

TEST(SarvikDeviceRecordingTest, EmbeddedPlatformWithoutPacketsReportsNoDirectoryAndMakesNone)
{
    QTemporaryDir directory;
    ModuleWorker fixture(SarvikDeviceInfo::DaxDevice);
    QSignalSpy ready(&fixture.relay(), &WorkerSignals::recordingDirectoryReady);
    ASSERT_TRUE(fixture.thread().call("deleteCrashDumpOnModule"));
    ASSERT_TRUE(startRecording(fixture.thread(), Sarvik::FloatDataType, directory.path()));
    ASSERT_TRUE(waitForSignals(ready, 1));
    EXPECT_EQ(QString(), ready.at(0).at(0).toString());
    EXPECT_TRUE(QDir(directory.path()).isEmpty());
    stopRecording(fixture.thread(), Sarvik::FloatDataType);
}

TEST(SarvikDeviceRecordingTest, OtherModelsReportNoDirectory)
{
    QTemporaryDir directory;
    ModuleWorker fixture(SarvikDeviceInfo::OspreyDevice);
    QSignalSpy ready(&fixture.relay(), &WorkerSignals::recordingDirectoryReady);
    ASSERT_TRUE(fixture.thread().call("deleteCrashDumpOnModule"));
    ASSERT_TRUE(startRecording(fixture.thread(), Sarvik::PresenceSingleDataType, directory.path()));
    fixture.module().send_packet(presenceMessage);
    ASSERT_FALSE(waitForFiles(directory.path(), QStringLiteral("*")).isEmpty());
    // The lookup would have answered within about a second.
    EXPECT_FALSE(ready.wait(1500));
    stopRecording(fixture.thread(), Sarvik::PresenceSingleDataType);
}

// The lookup holds the recorder that close deletes: close waits for it.
TEST(SarvikDeviceRecordingTest, CloseDuringTheDirectoryLookupEndsItFirst)
{
    QTemporaryDir directory;
    ModuleWorker fixture(SarvikDeviceInfo::DaxDevice);
    QSignalSpy ready(&fixture.relay(), &WorkerSignals::recordingDirectoryReady);
    for (int round = 0; round < 5; ++round) {
        ASSERT_TRUE(fixture.thread().call("deleteCrashDumpOnModule"));
        ASSERT_TRUE(startRecording(fixture.thread(), Sarvik::FloatDataType, directory.path()));
        fixture.thread().close();
        ASSERT_TRUE(waitForSignals(ready, round + 1));
        EXPECT_EQ(QString(), ready.at(round).at(0).toString());
    }
}

// ---- Noise map ---------------------------------------------------------------

TEST(SarvikDeviceNoiseMapTest, LoadAndStoreAskTheModuleAndNeedAnOpenConnection)
{
    ModuleWorker fixture(SarvikDeviceInfo::FalconDevice);
    EXPECT_FALSE(fixture.thread().call("loadNoiseMap"));
    EXPECT_FALSE(fixture.thread().call("storeNoiseMap"));
    EXPECT_FALSE(fixture.thread().call("deleteNoiseMap"));
    EXPECT_TRUE(fixture.received({}));

    SarvikDeviceConfiguration adult;
    adult.profileKind = SarvikDeviceConfiguration::AdultRespirationKind;
    ASSERT_TRUE(fixture.thread().configure(adult).success);
    fixture.clearReceived();
    EXPECT_TRUE(fixture.thread().call("loadNoiseMap"));
    EXPECT_TRUE(fixture.thread().call("storeNoiseMap"));
    EXPECT_TRUE(fixture.received({ wire::loadNoiseMap(), wire::storeNoiseMap() }));
    fixture.failCommand(wire::storeNoiseMap());
    EXPECT_FALSE(fixture.thread().call("storeNoiseMap"));
}

TEST(SarvikDeviceNoiseMapTest, DeleteRemovesBothStoredMapsAndStopsAtTheFirstFailure)
{
    ModuleWorker fixture(SarvikDeviceInfo::GannetDevice);
    simmodule::FileSystem files;
    fixture.storeFilesIn(files);
    ASSERT_TRUE(fixture.thread().configure(SarvikDeviceConfiguration()).success);

    for (const uint32_t type : noiseMapTypes)
        files.store(type, 0, { 1, 2, 3 });
    fixture.clearReceived();
    EXPECT_TRUE(fixture.thread().call("deleteNoiseMap"));
    EXPECT_TRUE(
        fixture.received({ wire::deleteFile(noiseMapTypes[0], 0), wire::deleteFile(noiseMapTypes[1], 0) }));
    EXPECT_FALSE(files.contains(noiseMapTypes[0], 0) || files.contains(noiseMapTypes[1], 0));

    // Only the second map is stored: the first deletion fails, the second is
    // not tried.
    files.store(noiseMapTypes[1], 0, { 4 });
    fixture.clearReceived();
    EXPECT_FALSE(fixture.thread().call("deleteNoiseMap"));
    EXPECT_TRUE(fixture.received({ wire::deleteFile(noiseMapTypes[0], 0) }));
    EXPECT_TRUE(files.contains(noiseMapTypes[1], 0));
}

// ---- Crash dump ------------------------------------------------------------------

QByteArray pattern(int size)
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = char(i * 7 + 0x7D);
    return bytes;
}

bool storeCrashDump(WorkerThread& thread, const QString& fileName)
{
    bool stored = false;
    EXPECT_TRUE(thread.invoke("storeCrashDumpToDisk", Q_RETURN_ARG(bool, stored), Q_ARG(QString, fileName)));
    return stored;
}

TEST(SarvikDeviceCrashDumpTest, DumpIsFetchedInChunksAndStoredByteForByte)
{
    QTemporaryDir directory;
    ModuleWorker fixture(SarvikDeviceInfo::DaxDevice);
    simmodule::FileSystem files;
    fixture.storeFilesIn(files);
    // Framing bytes (7D, 7E, 7F) throughout, and a last chunk that is not full.
    const QByteArray dump = pattern(700);
    files.store(crash_dump, 0, Bytes(dump.begin(), dump.end()));

    const QString fileName = directory.filePath(QStringLiteral("sarvik_crash_dump_20240101_120000.dat"));
    // An older file of that name is replaced.
    QFile older(fileName);
    ASSERT_TRUE(older.open(QIODevice::WriteOnly));
    older.write(QByteArray(2000, 'x'));
    older.close();

    // The worker opens the module itself.
    ASSERT_TRUE(storeCrashDump(fixture.thread(), fileName)) << fixture.worker().lastError().toStdString();
    QFile stored(fileName);
    ASSERT_TRUE(stored.open(QIODevice::ReadOnly));
    EXPECT_EQ(dump, stored.readAll());
    EXPECT_TRUE(
        fixture.received({ wire::ping(), wire::openFile(crash_dump, 0), wire::fileLength(crash_dump, 0),
            wire::fileData(crash_dump, 0, 0, 256), wire::fileData(crash_dump, 0, 256, 256),
            wire::fileData(crash_dump, 0, 512, 188), wire::closeFile(crash_dump, 0, false) }));

    fixture.clearReceived();
    EXPECT_TRUE(fixture.thread().call("deleteCrashDumpOnModule"));
    EXPECT_TRUE(fixture.received({ wire::deleteFile(crash_dump, 0) }));
    EXPECT_FALSE(files.contains(crash_dump, 0));
}

TEST(SarvikDeviceCrashDumpTest, FailuresLeaveTheirReasonAndNoFile)
{
    QTemporaryDir directory;
    const QString inFolder = directory.filePath(QStringLiteral("dump.dat"));
    const QString missingFolder = directory.filePath(QStringLiteral("no-such-folder/dump.dat"));
    const struct {
        const char* name;
        bool stored;
        Bytes content;
        QString fileName;
        QString error;
    } table[] = {
        { "no dump", false, {}, inFolder, QStringLiteral("failed to get crash dump from sensor") },
        { "empty dump", true, {}, inFolder, QStringLiteral("empty crash dump") },
        { "missing folder", true, { 1, 2, 3 }, missingFolder,
            QStringLiteral("failed to open file:") + missingFolder },
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.name);
        ModuleWorker fixture(SarvikDeviceInfo::DaxDevice);
        simmodule::FileSystem files;
        fixture.storeFilesIn(files);
        if (row.stored)
            files.store(crash_dump, 0, row.content);
        EXPECT_FALSE(storeCrashDump(fixture.thread(), row.fileName));
        EXPECT_EQ(row.error, fixture.worker().lastError());
        EXPECT_FALSE(QFile::exists(row.fileName));
    }
}

TEST(SarvikDeviceCrashDumpTest, ModuleThatCannotBeOpenedOrRefusesTheDeletion)
{
    ModuleWorker fixture(SarvikDeviceInfo::DaxDevice);
    simmodule::FileSystem files;
    fixture.storeFilesIn(files);
    EXPECT_FALSE(fixture.thread().call("deleteCrashDumpOnModule"));
    EXPECT_EQ(QStringLiteral("failed to execute delete file command"), fixture.worker().lastError());

    WorkerThread unknown(moduleRecord(SarvikDeviceInfo::UnknownDevice, QStringLiteral("/dev/null")));
    QTemporaryDir directory;
    EXPECT_FALSE(storeCrashDump(unknown, directory.filePath(QStringLiteral("dump.dat"))));
    EXPECT_EQ(QStringLiteral("failed to open sensor"), unknown.worker().lastError());
}

} // namespace
