#include "OnlineUpgrade.hpp"

#include "core/ApplicationProperties.hpp"
#include "core/FileDownloader.hpp"

#include <QCoreApplication>
#include <QDebug>
#include <QSettings>
#include <QStringList>
#include <QUrl>
#include <QXmlStreamReader>

#include <algorithm>
#include <array>
#include <optional>

const QString OnlineUpgrade::addressKey = QStringLiteral("OnlineUpgrade/VersionDocumentUrl");
const QString OnlineUpgrade::formatId = QStringLiteral("856CDEE0-AC65-401F-896A-E454CA63703A");

namespace {

const QString programName = QStringLiteral("SarvikZiruvavo");
const QString stageTaken = QStringLiteral("Beta");

using VersionTriple = std::array<quint32, 3>;

// "<major>.<minor>.<patch>", each a run of decimal digits that fits.
std::optional<VersionTriple> parseTriple(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char('.'));
    if (parts.size() != 3)
        return std::nullopt;
    VersionTriple triple {};
    for (int i = 0; i < 3; ++i) {
        const QString& part = parts.at(i);
        if (part.isEmpty() || !std::all_of(part.begin(), part.end(), [](QChar c) {
                return c >= QLatin1Char('0') && c <= QLatin1Char('9');
            }))
            return std::nullopt;
        bool ok = false;
        triple[static_cast<size_t>(i)] = part.toUInt(&ok, 10);
        if (!ok)
            return std::nullopt;
    }
    return triple;
}

QString attribute(const QXmlStreamReader& xml, const char* name)
{
    return xml.attributes().value(QLatin1String(name)).toString();
}

} // namespace

OnlineUpgrade::OnlineUpgrade(QObject* parent)
    : QObject(parent)
    , m_downloader(new FileDownloader(this))
{
    connect(m_downloader, &FileDownloader::downloaded, this, &OnlineUpgrade::downloadComplete);
}

void OnlineUpgrade::checkForNewVersion()
{
    if (m_checked)
        return;
    m_checked = true;
    const QString settingsFile = ApplicationProperties::settingsFileName();
    if (settingsFile.isEmpty())
        return;
    const QString address
        = QSettings(settingsFile, QSettings::IniFormat).value(addressKey).toString().trimmed();
    if (address.isEmpty())
        return;
    const QUrl url(address, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty()
        || (scheme != QLatin1String("http") && scheme != QLatin1String("https"))) {
        qWarning().noquote() << "Version check: not an http or https address:" << address;
        return;
    }
    m_downloader->get(url);
}

void OnlineUpgrade::downloadComplete()
{
    qDebug() << "Version document downloaded";
    m_newVersion.clear();
    m_newDescription.clear();
    m_newWebpageUrl.clear();

    QXmlStreamReader xml(m_downloader->downloadedData());
    bool ourApplication = false;
    QString latest;
    // Start elements in document order, at any depth. The entries that follow
    // an Application element belong to it until the next Application starts,
    // whether they are nested in it or follow it.
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const QStringRef name = xml.name();
        if (name == QLatin1String("Versions")) {
            if (attribute(xml, "Format") != formatId) {
                qDebug() << "Incompatible versions file.";
                return;
            }
        } else if (name == QLatin1String("Application")) {
            ourApplication = attribute(xml, "Name") == programName;
            latest.clear();
        } else if (!ourApplication || attribute(xml, "Stage") != stageTaken) {
            continue;
        } else if (name == QLatin1String("LatestVersion")) {
            latest = attribute(xml, "Version");
        } else if (name == QLatin1String("Instance") && !latest.isEmpty()
            && attribute(xml, "Version") == latest) {
            takeRelease(xml);
            return;
        }
    }
}

void OnlineUpgrade::takeRelease(const QXmlStreamReader& instance)
{
    m_newVersion = attribute(instance, "Version");
    m_newDescription = attribute(instance, "Description");
    m_newWebpageUrl = attribute(instance, "WebpageUrl");

    const QString running = QCoreApplication::applicationVersion();
    if (running.toUpper().contains(QLatin1String("SNAPSHOT")) || !isNewerVersion(m_newVersion, running))
        return;
    qDebug().noquote() << "New version:" + m_newVersion + ", current version: " + running;
    emit newVersionAvailable();
}

bool OnlineUpgrade::isNewerVersion(const QString& candidate, const QString& running)
{
    const QStringList candidateParts = candidate.toUpper().split(QLatin1Char('-'));
    if (candidateParts.size() != 2)
        return false;
    const std::optional<VersionTriple> newer = parseTriple(candidateParts.first());
    const std::optional<VersionTriple> current = parseTriple(running.section(QLatin1Char('-'), 0, 0));
    return newer && current && *newer > *current;
}
