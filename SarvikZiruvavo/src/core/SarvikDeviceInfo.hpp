// The program's record of one module that the device search found, or of the
// playback pseudo-module that stands for a recording. A plain copyable value:
// lists of it cross threads by value.
#pragma once

#include <QMetaType>
#include <QString>
#include <QVariantMap>

struct SarvikDeviceInfo {
    enum ConnectionMode : quint32 { NormalMode = 1, BootloaderMode = 2, SafeMode = 3 };

    enum DeviceType : quint32 {
        UnknownDevice = 0,
        CorvidDevice = 1,
        OspreyDevice = 2,
        FalconDevice = 3,
        MerlinDevice = 4,
        GannetDevice = 5,
        PlaybackDevice = 6,
        DaxDevice = 7,
    };

    QString bootloaderVersion;
    QString bootloaderModuleId;
    QString bootloaderTail;
    QString displayName;
    QString connectionKind;
    QString firmwareVersion;
    QString firmwareId;
    QString itemNumber;
    QString extraInfo;
    QString orderCode;
    QString serialNumber;
    QString buildInfo;
    QString description;
    QString portName;
    quint32 baudRate = 0;
    double zoneMin = 0.0;
    double zoneMax = 0.0;
    double zoneStep = 0.0;
    QVariantMap metadata;
    quint32 supportedApps = 0;
    quint32 connectionMode = 0;
    quint32 deviceType = UnknownDevice;
    bool hasCrashDump = false;
    bool identified = false;
    bool txFrequencyKnown = false;
    quint32 txFrequencyBand = 0;
    bool downconversion = false;
    bool firmwareAtLeast1_5_10 = false;
    // A FirmwareImage::FirmwareClass value.
    quint32 firmwareClass = 0;
};

// The same bootloader version, module id and bootloader tail.
bool sameBootloaderIdentity(const SarvikDeviceInfo& a, const SarvikDeviceInfo& b);

// The same module, wherever it is attached: recognises the active module again
// after it was enumerated anew, possibly on another port. Port, description,
// zone limits, frequency, down-conversion and firmware class do not count.
bool isSameModule(const SarvikDeviceInfo& a, const SarvikDeviceInfo& b);

// The same module on the same port: decides whether a search result differs
// from the current device list.
bool operator==(const SarvikDeviceInfo& a, const SarvikDeviceInfo& b);
bool operator!=(const SarvikDeviceInfo& a, const SarvikDeviceInfo& b);

Q_DECLARE_METATYPE(SarvikDeviceInfo)
