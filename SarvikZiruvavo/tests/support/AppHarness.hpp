// What every application test stands on: the program's settings in a
// temporary directory of their own (AppSettings) and an application made on a
// Device over a simulated module, whose worker calls the Device records
// (AppOverModule). The signal order of an application is read with
// SignalOrder, which notes each watched signal's name as it fires.
#pragma once

#include "support/DeviceHarness.hpp"

#include <QList>
#include <QObject>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariant>
#include <QVariantMap>

#include <memory>

// Points the program's settings file and default log folder into a fresh
// temporary directory, with the log level 0; the previous values come back
// when it goes.
class AppSettings {
public:
    AppSettings();
    ~AppSettings();
    AppSettings(const AppSettings&) = delete;
    AppSettings& operator=(const AppSettings&) = delete;

    QString directory() const { return m_dir.path(); }
    QString settingsFile() const;
    QString defaultLogPath() const;
    // Writes the values into the settings file, as an earlier run left them.
    void store(const QVariantMap& values) const;
    // What the settings file holds under the key now.
    QVariant stored(const QString& key) const;
    // Every key of the settings file, in the order QSettings lists them.
    QStringList keys() const;

private:
    QTemporaryDir m_dir;
    QString m_previousSettingsFile;
    QString m_previousLogPath;
    int m_previousLogLevel;
};

// Notes the names of the object's signals (those given, or every one) in the
// order they fire.
class SignalOrder : public QObject {
    Q_OBJECT
public:
    explicit SignalOrder(QObject* watched, const QStringList& names = QStringList());

    QStringList fired() const { return m_fired; }
    void clear() { m_fired.clear(); }

private slots:
    void onSignal();

private:
    QStringList m_fired;
    QList<QMetaMethod> m_signals;
};

// A Device over a simulated module of the personality, not activated, and an
// application of type App made on it (with the Device as its parent). The
// settings come first, so that the application reads them at initialize.
template <typename App> class AppOverModule {
public:
    AppOverModule(const simmodule::Personality& personality, quint32 deviceType, quint32 supportedApps,
        double rateHz = 10, const std::function<void(SarvikDeviceInfo&)>& adjust = {})
        : module(personality, deviceType, supportedApps, nullptr, rateHz, adjust)
        , app(new App(module.device()))
    { }
    // The application goes first, while its Device is whole.
    ~AppOverModule() { delete app.data(); }

    Device& device() const { return *module.device(); }
    WorkerCallLog& calls() { return module.calls(); }

    AppSettings settings;
    DeviceOverModule module;
    // Owned by the Device; null once it went.
    QPointer<App> app;
};
