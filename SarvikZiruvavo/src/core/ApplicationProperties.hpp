// The handful of values that start-up decides once and every thread reads
// afterwards: the settings file, the default log folder, whether console
// logging is on and the process log level. They are dynamic properties of the
// application object behind one process-wide lock, so any thread may read or
// write them; without an application object the setters do nothing and the
// getters give the defaults.
#pragma once

#include <QString>

namespace ApplicationProperties {

void setSettingsFileName(const QString& fileName);
QString settingsFileName();

void setDefaultLogPath(const QString& path);
QString defaultLogPath();

void setConsoleLogEnabled(bool enabled);
bool consoleLogEnabled();

void setLogLevel(int level);
int logLevel();

} // namespace ApplicationProperties
