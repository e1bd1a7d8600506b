// The settings an application hands to its module's worker in one configure
// call: zone, profile, outputs, the model's tuning values and an optional
// debug recording started before the module is configured. A plain value that
// travels in queued calls as the meta type "SarvikDeviceConfiguration".
#pragma once

#include <linkwell/DataType.hpp>
#include <linkwell/PreferredSplitSize.hpp>

#include <QMetaType>
#include <QString>

struct SarvikDeviceConfiguration {
    // Which module profile the configure loads.
    enum ProfileKind : quint32 {
        SleepKind = 0,
        RespirationKind = 1,
        BabyRespirationKind = 2,
        AdultRespirationKind = 3,
        BabyRespirationLoMemKind = 4,
        AdultRespirationLoMemKind = 5,
        PresenceKind = 6,
        BasebandKind = 7,
        HeartrateKind = 8,
    };

    // Where the caller wants the detection zone that the module reports after
    // taking the new one; either may be null. The worker never writes through
    // them: it runs on another thread and the memory is the caller's, so the
    // zone travels back in SarvikDevice::configureFinished and the caller's
    // own thread stores it here.
    float* zoneStartResult = nullptr;
    float* zoneEndResult = nullptr;
    // Outputs to switch on (Sarvik::DataType bits): 0x1 baseband AP, 0x2
    // baseband IQ, 0x40 pulse-Doppler float, 0x80 pulse-Doppler byte.
    quint32 outputDataTypes = 0;
    // Detection zone, metres.
    float zoneStart = 0.0f;
    float zoneEnd = 0.0f;
    quint32 profileKind = SleepKind;
    // The firmware gives these values their meaning; the worker passes them on.
    quint32 sensitivity = 0;
    quint8 ledMode = 0;
    quint8 moduleDebugLevel = 0;
    quint8 frequencyBand = 0;
    quint32 noiseMapControl = 7;
    quint8 ioPinFeature = 0;
    // The radar chip's down-conversion (embedded-platform modules only).
    quint8 downconversion = 0;
    // The debug recording: its data types, file split size and directory;
    // started (session id "debug") only when debugRecording is set.
    Sarvik::DataTypes debugDataTypes = 0;
    Sarvik::PreferredSplitSize debugSplitSize;
    QString debugDirectory;
    bool debugRecording = false;
};

Q_DECLARE_METATYPE(SarvikDeviceConfiguration)

// Registers "SarvikDeviceConfiguration" for queued calls. Safe to call more
// than once and from any thread.
void registerSarvikDeviceConfiguration();
