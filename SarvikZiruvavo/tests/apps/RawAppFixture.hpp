// For the tests of the baseband and raw chip-driver applications: the
// program's settings in a temporary directory, a Device over a simulated
// module that made its applications as on activation, and the recording
// sessions the library wrote under the log folder.
#pragma once

#include "device/Device.hpp"
#include "support/AppHarness.hpp"
#include "support/DeviceHarness.hpp"

#include <linkwell/DataReader.hpp>

#include <QDir>
#include <QDirIterator>
#include <QSettings>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

namespace rawapps {

// The program's settings file and log folder in a temporary directory, for
// as long as it lives (AppSettings), with a few shorthands.
class Sandbox : public AppSettings {
public:
    Sandbox()
    {
        // For QSignalSpy on DeviceApp::initialized.
        qRegisterMetaType<DeviceApp::InitializationResult>("DeviceApp::InitializationResult");
    }

    QString logFolder() const { return defaultLogPath(); }
    QString path(const QString& name) const { return QDir(directory()).filePath(name); }
    void store(const QString& key, const QVariant& value) const { AppSettings::store({ { key, value } }); }
};

// A Device over a simulated module whose supported-applications mask holds
// only `applicationBit`, activated with the program's applications, the
// application of that bit made active (connected to the Device's data).
template <typename App> class ActivatedApp {
public:
    ActivatedApp(const simmodule::Personality& personality, quint32 deviceType, quint32 applicationBit,
        const std::function<void(SarvikDeviceInfo&)>& adjust = {}, double rateHz = 10)
        : m_fixture(personality, deviceType, applicationBit, nullptr, rateHz, adjust)
    {
        device().setActive(true);
        const QList<App*> apps = device().template findChildren<App*>();
        if (apps.size() == 1) {
            m_app = apps.front();
            device().setDeviceAppActivatedAt(0, true);
        }
    }

    Device& device() const { return *m_fixture.device(); }
    DeviceOverModule& fixture() { return m_fixture; }
    simmodule::SimModule& module() { return m_fixture.module(); }
    // Null when activation did not make exactly one.
    App* app() const { return m_app; }

private:
    DeviceOverModule m_fixture;
    App* m_app = nullptr;
};

// The index files of the finished sessions under the folder.
inline QStringList sessionIndexFiles(const QString& folder)
{
    QStringList files;
    QDirIterator it(
        folder, { QStringLiteral("sarvik_recording_meta.dat") }, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        files.append(it.next());
    return files;
}

struct StoredRecord {
    uint32_t dataType = 0;
    bool userHeader = false;
    Bytes data;
};

// Every record of the session, read by the library.
inline std::vector<StoredRecord> recordsOf(const QString& indexFile)
{
    std::vector<StoredRecord> records;
    Sarvik::DataReader reader;
    if (reader.open(indexFile.toStdString(), -1) != 0)
        return records;
    while (!reader.at_end()) {
        const Sarvik::DataRecord record = reader.read_record();
        if (!record.is_valid)
            break;
        records.push_back({ record.data_type, record.is_user_header, record.data });
    }
    return records;
}

} // namespace rawapps
