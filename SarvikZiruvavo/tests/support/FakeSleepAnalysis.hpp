// The test libraries of the sleep-analysis plug-in loader (support/plugins/)
// and the record the fake plug-in keeps of its calls.
//
// A test lays out a program directory with a "plugins" folder, copies the
// libraries it wants into it and hands the directory to the loader; the
// loaded plug-in's root object answers the functions below.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QVariantList>

class QObject;
class SleepAnalysisInterface;

namespace FakeSleepAnalysis {

// The fake plug-in, offering the sleep-analysis interface.
QString pluginPath();
// The same plug-in declaring another interface id in its metadata.
QString otherInterfacePluginPath();
// A shared library that is not a Qt plug-in.
QString notAPluginPath();

// Whether the library's code was ever loaded into this process.
bool wasLoaded(const QString& libraryPath);

// Copies library into folder under name (its own file name when empty),
// creating the folder; the path of the copy, empty on failure.
QString install(const QString& libraryPath, const QString& folder, const QString& name = QString());

struct Call {
    QString name;
    QVariantList arguments;
};

// The fake plug-in's root object behind an interface pointer it gave out.
QObject* recorder(SleepAnalysisInterface* analysis);
QList<Call> calls(QObject* plugin);
QStringList callNames(QObject* plugin);
void clearCalls(QObject* plugin);
void setInitializeResult(QObject* plugin, int result);
void setHypnogram(QObject* plugin, const QByteArray& stages);
void setSleepStage(QObject* plugin, int stage);
void setVersion(QObject* plugin, const QString& version);

} // namespace FakeSleepAnalysis
