#include "RawAppSettings.hpp"

#include "apps/DeviceApp.hpp"
#include "core/ApplicationProperties.hpp"

#include <QVariant>

#include <algorithm>
#include <cmath>

namespace {

// A stored zone value in single precision, within the module's limits.
float zoneValue(const QSettings& settings, const QString& key, double defaultValue, const DeviceApp& app)
{
    const float fallback = float(defaultValue);
    const QVariant stored = settings.value(key);
    if (!stored.isValid())
        return fallback;
    bool ok = false;
    float value = stored.toFloat(&ok);
    if (!ok || !std::isfinite(value))
        return fallback;
    if (app.detectionZoneMin() <= app.detectionZoneMax())
        value = std::clamp(value, float(app.detectionZoneMin()), float(app.detectionZoneMax()));
    return value;
}

} // namespace

void RawAppSettings::loadZone(
    const QSettings& settings, const QString& group, DeviceApp& app, double defaultStart, double defaultEnd)
{
    app.setDetectionZoneStart(
        zoneValue(settings, group + QStringLiteral("/DetectionZoneStart"), defaultStart, app));
    app.setDetectionZoneEnd(
        zoneValue(settings, group + QStringLiteral("/DetectionZoneEnd"), defaultEnd, app));
}

void RawAppSettings::storeZone(QSettings& settings, const QString& group, double start, double end)
{
    settings.setValue(group + QStringLiteral("/DetectionZoneStart"), start);
    settings.setValue(group + QStringLiteral("/DetectionZoneEnd"), end);
}

void RawAppSettings::loadLogging(const QSettings& settings, const QString& group, DeviceApp& app)
{
    app.setLogPath(settings.value(group + QStringLiteral("/LoggingPath"), app.logPath()).toString());

    bool ok = false;
    const qlonglong split
        = settings.value(group + QStringLiteral("/PreferredFileSplitValue"), app.logSplitSize())
              .toLongLong(&ok);
    if (ok)
        app.setLogSplitSize(uint(std::clamp<qlonglong>(split, smallestSplitValue, largestSplitValue)));

    const int unit
        = settings.value(group + QStringLiteral("/PreferredFileSplitUnit"), app.logSplitUnit()).toInt(&ok);
    // An unknown unit is refused (with its warning) by the setter.
    if (ok)
        app.setLogSplitUnit(unit);

    app.setLogDescription(
        settings.value(group + QStringLiteral("/LoggingDescription"), app.logDescription()).toString());
}

void RawAppSettings::saveLogging(QSettings& settings, const QString& group, const DeviceApp& app)
{
    const QString path = app.logPath();
    settings.setValue(group + QStringLiteral("/LoggingPath"),
        path.isEmpty() ? ApplicationProperties::defaultLogPath() : path);
    settings.setValue(group + QStringLiteral("/PreferredFileSplitUnit"), app.logSplitUnit());
    settings.setValue(group + QStringLiteral("/PreferredFileSplitValue"), app.logSplitSize());
    settings.setValue(group + QStringLiteral("/LoggingDescription"), app.logDescription());
}

RawAppSettings::Zone RawAppSettings::requestedZone(const DeviceApp& app)
{
    Zone zone;
    zone.start = float(std::max(app.detectionZoneMin(), app.detectionZoneStart()));
    zone.end = float(
        std::min(app.detectionZoneMax(), app.detectionZoneEnd() - 0.5 * app.detectionZoneIncrement()));
    if (zone.end - zone.start < app.detectionZoneMinLength())
        zone.end = float(zone.start + app.detectionZoneMinLength());
    return zone;
}
