#include "FakeSleepAnalysis.hpp"

#include "apps/SleepAnalysisInterface.hpp"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMetaObject>
#include <QObject>
#include <QVariant>

namespace FakeSleepAnalysis {

QString pluginPath()
{
    return QStringLiteral(FAKE_SLEEP_ANALYSIS_PLUGIN);
}

QString otherInterfacePluginPath()
{
    return QStringLiteral(FAKE_OTHER_INTERFACE_PLUGIN);
}

QString notAPluginPath()
{
    return QStringLiteral(NOT_A_PLUGIN_LIBRARY);
}

bool wasLoaded(const QString& libraryPath)
{
    // The libraries' markers are named by their targets, which are their
    // file names without the "lib" prefix and the suffix.
    QString target = QFileInfo(libraryPath).completeBaseName();
    if (target.startsWith(QLatin1String("lib")))
        target.remove(0, 3);
    return qEnvironmentVariableIsSet(qPrintable(QStringLiteral("SARVIK_TEST_LOADED_") + target));
}

QString install(const QString& libraryPath, const QString& folder, const QString& name)
{
    if (!QDir().mkpath(folder))
        return QString();
    const QString target = QDir(folder).filePath(name.isEmpty() ? QFileInfo(libraryPath).fileName() : name);
    QFile::remove(target);
    return QFile::copy(libraryPath, target) ? target : QString();
}

QObject* recorder(SleepAnalysisInterface* analysis)
{
    return dynamic_cast<QObject*>(analysis);
}

QList<Call> calls(QObject* plugin)
{
    QList<Call> result;
    for (const QVariant& entry : plugin->property("calls").toList()) {
        QVariantList values = entry.toList();
        const QString name = values.takeFirst().toString();
        result.append({ name, values });
    }
    return result;
}

QStringList callNames(QObject* plugin)
{
    QStringList names;
    for (const Call& call : calls(plugin))
        names.append(call.name);
    return names;
}

void clearCalls(QObject* plugin)
{
    QMetaObject::invokeMethod(plugin, "clearCalls", Qt::DirectConnection);
}

void setInitializeResult(QObject* plugin, int result)
{
    plugin->setProperty("initializeResult", result);
}

void setHypnogram(QObject* plugin, const QByteArray& stages)
{
    plugin->setProperty("hypnogramBytes", stages);
}

void setSleepStage(QObject* plugin, int stage)
{
    plugin->setProperty("currentStage", stage);
}

void setVersion(QObject* plugin, const QString& version)
{
    plugin->setProperty("versionText", version);
}

} // namespace FakeSleepAnalysis
