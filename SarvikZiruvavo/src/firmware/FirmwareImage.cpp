#include "FirmwareImage.hpp"

FirmwareImage::FirmwareImage(const QString& version, const QString& releasenotes, FirmwareClass firmwareClass,
    const QString& filename, QObject* parent)
    : QObject(parent)
    , m_version(version)
    , m_releasenotes(releasenotes)
    , m_firmwareClass(firmwareClass)
    , m_filename(filename)
{ }

FirmwareImage::FirmwareImage()
{
    qFatal("do not use this constructor, it purely exists due to QML requirements");
}
