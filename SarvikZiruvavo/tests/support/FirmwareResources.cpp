#include "FirmwareResources.hpp"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QResource>

namespace {

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

} // namespace

FirmwareResources::FirmwareResources(const QMap<QString, QByteArray>& files)
{
    if (!m_dir.isValid())
        return;
    QByteArray qrc = "<!DOCTYPE RCC><RCC version=\"1.0\"><qresource prefix=\"/\">\n";
    int index = 0;
    for (auto file = files.begin(); file != files.end(); ++file, ++index) {
        const QString alias = file.key().mid(2); // without ":/"
        const QString source = m_dir.filePath(QStringLiteral("file%1").arg(index));
        if (!writeFile(source, file.value()))
            return;
        qrc += "<file alias=\"" + alias.toUtf8() + "\">" + source.toUtf8() + "</file>\n";
    }
    qrc += "</qresource></RCC>\n";
    const QString qrcPath = m_dir.filePath(QStringLiteral("images.qrc"));
    if (!writeFile(qrcPath, qrc))
        return;
    m_resourceFile = m_dir.filePath(QStringLiteral("images.rcc"));
    QProcess rcc;
    rcc.start(QStringLiteral(SARVIK_RCC),
        { QStringLiteral("--binary"), QStringLiteral("-o"), m_resourceFile, qrcPath });
    if (!rcc.waitForFinished(60000) || rcc.exitCode() != 0)
        return;
    m_registered = QResource::registerResource(m_resourceFile);
}

FirmwareResources::~FirmwareResources()
{
    if (m_registered)
        QResource::unregisterResource(m_resourceFile);
}

QByteArray FirmwareResources::shippedImageList()
{
    QFile file(QStringLiteral(SARVIK_SOURCE_DIR "/hex/fw-images.xml"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
