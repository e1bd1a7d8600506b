// The once-per-run check for a newer release of the program. It fetches the
// version document ("versions.xml", UTF-8 XML) and, when the latest beta
// release of this program named there is newer than the running one, fills
// the three texts and emits newVersionAvailable().
//
// The document's address is the settings file's key
// "OnlineUpgrade/VersionDocumentUrl", a full http or https URL such as
// "https://resources.example.com/versions.xml". Without it no request is
// made; an address of another kind is refused with a warning.
#pragma once

#include <QObject>
#include <QString>

class FileDownloader;
class QXmlStreamReader;

class OnlineUpgrade : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString newVersion READ newVersion CONSTANT)
    Q_PROPERTY(QString newDescription READ newDescription CONSTANT)
    Q_PROPERTY(QString newWebpageUrl READ newWebpageUrl CONSTANT)

public:
    static const QString addressKey;
    static const QString formatId;

    explicit OnlineUpgrade(QObject* parent = nullptr);

    // Starts the download of the version document; only the first call of a
    // run does anything.
    void checkForNewVersion();

    QString newVersion() const { return m_newVersion; }
    QString newDescription() const { return m_newDescription; }
    QString newWebpageUrl() const { return m_newWebpageUrl; }

    // Whether candidate ("<major>.<minor>.<patch>-<suffix>", nothing else)
    // names a later release than running ("<major>.<minor>.<patch>", a
    // suffix allowed), comparing the three numbers in turn.
    static bool isNewerVersion(const QString& candidate, const QString& running);

signals:
    void newVersionAvailable();

public slots:
    // Parses the downloaded document.
    void downloadComplete();

private:
    void takeRelease(const QXmlStreamReader& instance);

    FileDownloader* m_downloader;
    bool m_checked = false;
    QString m_newVersion;
    QString m_newDescription;
    QString m_newWebpageUrl;
};
