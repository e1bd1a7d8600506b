// What the baseband and the raw chip-driver applications share in keeping
// their settings and in asking the module for a zone: the zone keys, the
// recording keys under the application's group, and the zone to send.
//
// The settings file is the user's to edit: a zone value that is not a finite
// number reads as its default, and a split value is kept to the range the
// settings page offers.
#pragma once

#include <QSettings>
#include <QString>

class DeviceApp;

class RawAppSettings {
public:
    // The zone keys "<group>/DetectionZoneStart" and "/DetectionZoneEnd",
    // read in single precision; a missing or unusable value gives its
    // default, a stored one is kept within the application's zone minimum
    // and maximum. Set on the application through its setters.
    static void loadZone(const QSettings& settings, const QString& group, DeviceApp& app, double defaultStart,
        double defaultEnd);
    static void storeZone(QSettings& settings, const QString& group, double start, double end);

    // The recording keys under the group, each read with the application's
    // value as default: "/LoggingPath", "/PreferredFileSplitValue",
    // "/PreferredFileSplitUnit", "/LoggingDescription" (in this order).
    static void loadLogging(const QSettings& settings, const QString& group, DeviceApp& app);
    // Writes "/LoggingPath" (the default log folder while none is set),
    // "/PreferredFileSplitUnit", "/PreferredFileSplitValue",
    // "/LoggingDescription".
    static void saveLogging(QSettings& settings, const QString& group, const DeviceApp& app);

    struct Zone {
        float start = 0.0f;
        float end = 0.0f;
    };
    // The zone to send: the start no lower than the application's minimum,
    // the end no higher than its maximum and half an increment below the
    // one asked for, and at least the minimum length long.
    static Zone requestedZone(const DeviceApp& app);

    // The split values the settings page offers.
    static constexpr unsigned smallestSplitValue = 2;
    static constexpr unsigned largestSplitValue = 200;
};
