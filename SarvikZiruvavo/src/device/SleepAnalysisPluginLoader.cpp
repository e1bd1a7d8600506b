#include "SleepAnalysisPluginLoader.hpp"

#include "apps/SleepAnalysisInterface.hpp"

#include <QDir>
#include <QFileInfo>
#include <QJsonObject>
#include <QLibrary>
#include <QPluginLoader>

QString SleepAnalysisPluginLoader::pluginFolder(const QString& programDirectory)
{
    QString base = QDir::cleanPath(programDirectory);
    const QString name = QFileInfo(base).fileName();
    if (name == QLatin1String("debug") || name == QLatin1String("release"))
        base = QDir::cleanPath(base + QStringLiteral("/.."));
    return base + QStringLiteral("/plugins");
}

SleepAnalysisPluginLoader::Plugin SleepAnalysisPluginLoader::load(const QString& programDirectory)
{
    const QDir folder(pluginFolder(programDirectory));
    if (!folder.exists())
        return {};
    const QString wanted = QStringLiteral(SleepAnalysisInterface_iid);
    for (const QFileInfo& entry : folder.entryInfoList(QDir::Files, QDir::Name)) {
        const QString path = entry.absoluteFilePath();
        if (!QLibrary::isLibrary(path))
            continue;
        QPluginLoader loader(path);
        // metaData() reads the file without loading it; a file that is no
        // plug-in, or one built against an incompatible Qt, has none.
        if (loader.metaData().value(QStringLiteral("IID")).toString() != wanted)
            continue;
        QObject* instance = loader.instance();
        auto* analysis = qobject_cast<SleepAnalysisInterface*>(instance);
        if (!analysis) {
            if (instance)
                loader.unload();
            continue;
        }
        return { instance, analysis, path };
    }
    return {};
}
