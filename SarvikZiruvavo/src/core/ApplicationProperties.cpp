#include "ApplicationProperties.hpp"

#include <QCoreApplication>
#include <QMutex>
#include <QMutexLocker>
#include <QVariant>

namespace {

// Function-local so that it exists before main() and outlives every reader.
QMutex& storeMutex()
{
    static QMutex mutex;
    return mutex;
}

void store(const char* name, const QVariant& value)
{
    QMutexLocker lock(&storeMutex());
    if (QCoreApplication* app = QCoreApplication::instance())
        app->setProperty(name, value);
}

// The stored value as T: as it is when it already has that type, converted
// when it converts, else the default.
template <typename T> T load(const char* name, const T& fallback)
{
    QVariant value;
    {
        QMutexLocker lock(&storeMutex());
        if (QCoreApplication* app = QCoreApplication::instance())
            value = app->property(name);
    }
    const int wanted = qMetaTypeId<T>();
    if (value.userType() == wanted)
        return value.value<T>();
    if (!value.isValid() || !value.canConvert(wanted) || !value.convert(wanted))
        return fallback;
    return value.value<T>();
}

} // namespace

namespace ApplicationProperties {

void setSettingsFileName(const QString& fileName)
{
    store("settingsFileName", fileName);
}
QString settingsFileName()
{
    return load<QString>("settingsFileName", QString());
}

void setDefaultLogPath(const QString& path)
{
    store("defaultLogPath", path);
}
QString defaultLogPath()
{
    return load<QString>("defaultLogPath", QString());
}

void setConsoleLogEnabled(bool enabled)
{
    store("consoleLogEnabled", enabled);
}
bool consoleLogEnabled()
{
    return load<bool>("consoleLogEnabled", false);
}

void setLogLevel(int level)
{
    store("logLevel", level);
}
int logLevel()
{
    return load<int>("logLevel", 0);
}

} // namespace ApplicationProperties
