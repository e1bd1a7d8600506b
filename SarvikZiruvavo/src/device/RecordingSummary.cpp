#include "RecordingSummary.hpp"

#include <linkwell/DataReader.hpp>

#include <QDateTime>

namespace {

struct DataTypeName {
    quint32 bit;
    const char* name;
};

// In the order the list shows them.
const DataTypeName dataTypeNames[] = {
    { 0x1, "Baseband A/P" },
    { 0x2, "Baseband I/Q" },
    { 0x4, "Sleep" },
    { 0x8, "Respiration" },
    { 0x10, "Performance Status" },
    { 0x20, "String Data" },
    { 0x40, "Pulse-Doppler Float" },
    { 0x80, "Pulse-Doppler Byte" },
    { 0x100, "Noisemap Float" },
    { 0x200, "Noisemap Byte" },
    { 0x400, "Float Data" },
    { 0x800, "Byte Data" },
    { 0x1000, "Presence Single" },
    { 0x2000, "Presence Moving List" },
    { 0x4000, "Respiration Detection List" },
    { 0x8000, "Respiration Moving List" },
    { 0x40000, "Respiration Normalized Moving List" },
    { 0x10000, "Vital Signs" },
};

// "%1 unit" with an "s" unless the count is one.
QString counted(qint64 count, const char* unit)
{
    return QStringLiteral("%1 %2%3").arg(count).arg(QLatin1String(unit)).arg(count == 1 ? "" : "s");
}

} // namespace

std::optional<RecordingSummary> RecordingSummary::read(const QString& metaFile)
{
    Sarvik::DataReader reader;
    if (reader.open(metaFile.toUtf8().toStdString(), -1) != 0)
        return std::nullopt;
    RecordingSummary summary;
    summary.startEpochMs = reader.get_start_epoch();
    summary.durationMs = reader.get_duration();
    summary.sizeBytes = reader.get_size();
    summary.dataTypes = reader.get_data_types();
    summary.sessionId = QString::fromStdString(reader.get_session_id());
    summary.metaVersion = reader.get_meta_version();
    return summary;
}

QString RecordingSummary::text() const
{
    const QString start = QDateTime::fromMSecsSinceEpoch(startEpochMs).toString(Qt::ISODate);
    return QStringLiteral("Started: %1\nDuration: %2\nSize: %3\nSession ID: %4\nMeta file version: %5\n\n"
                          "Data types included in recording:\n%6")
        .arg(start, durationText(durationMs), sizeText(sizeBytes), sessionId, versionText(metaVersion),
            dataTypeList(dataTypes));
}

QString RecordingSummary::durationText(qint64 ms)
{
    const qint64 hours = ms / 3600000;
    const qint64 minutes = (ms / 60000) % 60;
    const qint64 seconds = (ms / 1000) % 60;
    QString text;
    if (hours > 0)
        text += counted(hours, "hour") + QLatin1Char(' ');
    if (minutes > 0)
        text += counted(minutes, "minute") + QLatin1Char(' ');
    return text + counted(seconds, "second");
}

QString RecordingSummary::sizeText(qint64 bytes)
{
    if (bytes < 1000)
        return QStringLiteral("%1 bytes").arg(bytes);
    const auto scaled = [bytes](double unit, const char* name) {
        return QStringLiteral("%1 %2").arg(
            QString::number(double(bytes) / unit, 'f', 1), QLatin1String(name));
    };
    if (bytes < 1000000)
        return scaled(1e3, "kB");
    if (bytes < 1000000000)
        return scaled(1e6, "MB");
    return scaled(1e9, "GB");
}

QString RecordingSummary::dataTypeList(quint32 dataTypes)
{
    QString list;
    int line = 0;
    for (const DataTypeName& type : dataTypeNames) {
        if (dataTypes & type.bit)
            list += QStringLiteral("[%1] %2\n").arg(line++).arg(QLatin1String(type.name));
    }
    return list;
}

QString RecordingSummary::versionText(quint32 metaVersion)
{
    return QString::number(double(metaVersion) / 10.0, 'g', 6);
}
