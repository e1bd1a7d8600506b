#include "FirmwareManager.hpp"

#include <QDebug>
#include <QXmlStreamReader>

FirmwareManager::FirmwareManager()
{
    m_defaultFileNames.insert(FirmwareImage::Vallorin, QStringLiteral("Vallorin_4bl_cert.hex"));
    m_defaultFileNames.insert(FirmwareImage::DAX, QStringLiteral("dax_egret_s70_4bl.hex"));
}

void FirmwareManager::loadImageList(const QString& text)
{
    QXmlStreamReader reader(text);
    while (reader.readNextStartElement()) {
        if (reader.name() == QLatin1String("firmware"))
            readFirmwareElement(reader);
        else if (reader.name() != QLatin1String("fw_images"))
            reader.skipCurrentElement();
    }
    if (reader.hasError())
        qWarning().noquote() << "WARNING: firmware image list: line" << reader.lineNumber()
                             << reader.errorString();
}

void FirmwareManager::readFirmwareElement(QXmlStreamReader& reader)
{
    const QXmlStreamAttributes attributes = reader.attributes();
    const QString version = attributes.value(QLatin1String("version")).toString();
    const QString classText = attributes.value(QLatin1String("class")).toString().toLower();
    FirmwareImage::FirmwareClass firmwareClass = FirmwareImage::UnknownClass;
    if (classText == QLatin1String("vallorin")) {
        firmwareClass = FirmwareImage::Vallorin;
    } else if (classText == QLatin1String("dax")) {
        firmwareClass = FirmwareImage::DAX;
    } else {
        qFatal("Bad class specifier for firmware image at line %lld: \"%s\".",
            static_cast<long long>(reader.lineNumber()), qPrintable(classText));
    }
    const QString filename = attributes.value(QLatin1String("filename")).toString();

    // The release notes are the element's one child; an image without them is
    // still listed, with empty notes, and never takes the next image's notes.
    QString notes;
    while (reader.readNextStartElement()) {
        if (reader.name() == QLatin1String("releasenotes"))
            notes = reader.readElementText(QXmlStreamReader::ErrorOnUnexpectedElement);
        else
            reader.skipCurrentElement();
    }
    if (reader.hasError())
        return;
    addImage(new FirmwareImage(version, notes, firmwareClass, filename));
}

void FirmwareManager::addImage(FirmwareImage* image)
{
    image->setParent(this);
    const Key key(image->firmwareClass(), QVersionNumber::fromString(image->version()));
    auto [it, inserted] = m_images.emplace(key, image);
    if (!inserted) {
        delete it->second;
        it->second = image;
    }
}

QList<FirmwareImage*> FirmwareManager::imagesOfClass(FirmwareImage::FirmwareClass firmwareClass) const
{
    QList<FirmwareImage*> images;
    for (auto it = m_images.rbegin(); it != m_images.rend(); ++it)
        if (it->first.first == firmwareClass)
            images.append(it->second);
    return images;
}

FirmwareImage* FirmwareManager::newestOfClass(FirmwareImage::FirmwareClass firmwareClass) const
{
    const QList<FirmwareImage*> images = imagesOfClass(firmwareClass);
    return images.isEmpty() ? nullptr : images.first();
}

QString FirmwareManager::latestVersion(FirmwareImage::FirmwareClass firmwareClass) const
{
    const FirmwareImage* newest = newestOfClass(firmwareClass);
    return newest ? newest->version() : QString();
}

FirmwareImage::FirmwareState FirmwareManager::stateForVersion(
    FirmwareImage::FirmwareClass firmwareClass, const QString& deviceVersion) const
{
    const FirmwareImage* newest = newestOfClass(firmwareClass);
    if (!newest)
        return FirmwareImage::FirmwareNotOnDisk;
    const int order = QVersionNumber::compare(
        QVersionNumber::fromString(newest->version()), QVersionNumber::fromString(deviceVersion));
    if (order > 0)
        return FirmwareImage::DeviceIsBehind;
    if (order < 0)
        return FirmwareImage::DeviceIsAhead;
    return m_images.size() == 1 ? FirmwareImage::DeviceOnSingleSupported : FirmwareImage::DeviceOnLatest;
}

QString FirmwareManager::fileName(FirmwareImage::FirmwareClass firmwareClass, const QString& version) const
{
    for (const auto& [key, image] : m_images) {
        if (key.first == firmwareClass && image->version() == version)
            return image->filename().isEmpty() ? m_defaultFileNames.value(firmwareClass) : image->filename();
    }
    return QString();
}

QString FirmwareManager::imagePath(FirmwareImage::FirmwareClass firmwareClass, const QString& version) const
{
    const QString file = fileName(firmwareClass, version);
    if (file.isEmpty())
        return QString();
    const QString pattern = firmwareClass == FirmwareImage::Vallorin ? QStringLiteral(":/hex/vallorin/%1/%2")
                                                                     : QStringLiteral(":/hex/dax/%1/%2");
    return pattern.arg(version, file);
}
