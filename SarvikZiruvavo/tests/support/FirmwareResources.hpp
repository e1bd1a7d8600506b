// Firmware images where the program looks for its carried ones: in the
// resources (":/hex/<class>/<version>/<file>", listed by ":/fw-images.xml").
// A test's files are compiled by rcc into a resource file, which is
// registered while the object lives.
#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QTemporaryDir>

class FirmwareResources {
public:
    // Resource path (":/...") -> contents.
    explicit FirmwareResources(const QMap<QString, QByteArray>& files);
    ~FirmwareResources();
    FirmwareResources(const FirmwareResources&) = delete;
    FirmwareResources& operator=(const FirmwareResources&) = delete;

    bool registered() const { return m_registered; }

    // The program's own image list, from the source tree.
    static QByteArray shippedImageList();

private:
    QTemporaryDir m_dir;
    QString m_resourceFile;
    bool m_registered = false;
};
