// One firmware image that the program carries: its version, release notes,
// firmware class and file name, shown read-only in the firmware menu.
#pragma once

#include <QObject>
#include <QString>

class FirmwareImage : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString version READ version CONSTANT)
    Q_PROPERTY(QString releasenotes READ releasenotes CONSTANT)
    Q_PROPERTY(QString filename READ filename CONSTANT)
public:
    enum FirmwareClass { UnknownClass = 0, Vallorin = 1, DAX = 2 };
    Q_ENUM(FirmwareClass)

    enum FirmwareState {
        DeviceOnSingleSupported = 0,
        DeviceIsBehind = 1,
        DeviceOnLatest = 2,
        DeviceIsAhead = 3,
        FirmwareNotOnDisk = 4,
    };
    Q_ENUM(FirmwareState)

    FirmwareImage(const QString& version, const QString& releasenotes, FirmwareClass firmwareClass,
        const QString& filename, QObject* parent = nullptr);
    // Exists only because QML type registration needs a default constructor;
    // calling it stops the program.
    FirmwareImage();

    QString version() const { return m_version; }
    QString releasenotes() const { return m_releasenotes; }
    FirmwareClass firmwareClass() const { return m_firmwareClass; }
    QString filename() const { return m_filename; }

private:
    QString m_version;
    QString m_releasenotes;
    FirmwareClass m_firmwareClass = UnknownClass;
    QString m_filename;
};
