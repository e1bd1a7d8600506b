// The firmware images that the program carries, read once from the image list
// ("fw-images.xml"). Images are keyed by firmware class and version, so images
// of two classes with an equal version both stay; a second image of the same
// class and version replaces the first.
#pragma once

#include "FirmwareImage.hpp"

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QVersionNumber>
#include <map>
#include <utility>

class QXmlStreamReader;

class FirmwareManager : public QObject {
public:
    FirmwareManager();

    // Adds every image of the list text; a malformed list keeps the images
    // read before the fault. A class other than "vallorin" or "dax" stops the
    // program: the list is part of the program.
    void loadImageList(const QString& text);
    // Takes ownership; replaces an image of the same class and version.
    void addImage(FirmwareImage* image);

    // Highest version first.
    QList<FirmwareImage*> imagesOfClass(FirmwareImage::FirmwareClass firmwareClass) const;
    // Empty when the class has no image.
    QString latestVersion(FirmwareImage::FirmwareClass firmwareClass) const;
    // How a module's firmware version stands against the newest image of its class.
    FirmwareImage::FirmwareState stateForVersion(
        FirmwareImage::FirmwareClass firmwareClass, const QString& deviceVersion) const;
    // The file of the image whose version text is exactly version: its own file
    // name, or the class default when the list names none. Empty when there is
    // no such image.
    QString fileName(FirmwareImage::FirmwareClass firmwareClass, const QString& version) const;
    // The resource path of that image (":/hex/<class>/<version>/<file>"), or
    // empty when there is no such image: never a folder.
    QString imagePath(FirmwareImage::FirmwareClass firmwareClass, const QString& version) const;

private:
    using Key = std::pair<int, QVersionNumber>;

    void readFirmwareElement(QXmlStreamReader& reader);
    FirmwareImage* newestOfClass(FirmwareImage::FirmwareClass firmwareClass) const;

    std::map<Key, FirmwareImage*> m_images;
    QHash<int, QString> m_defaultFileNames;
};
