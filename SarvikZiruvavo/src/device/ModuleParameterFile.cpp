#include "ModuleParameterFile.hpp"

#include <QIODevice>
#include <QStringList>

const QString ModuleParameterFile::fileName = QStringLiteral("sarvik_parameter_file.par");

QString ModuleParameterFile::cleanLine(QString line)
{
    for (const QChar removed : { QChar(' '), QChar(';'), QChar('\n'), QChar('{'), QChar('}') })
        line.remove(removed);
    return line;
}

std::optional<QList<float>> ModuleParameterFile::parseLine(const QString& cleanedLine, const QString& key)
{
    if (!cleanedLine.startsWith(key + QLatin1Char('=')))
        return std::nullopt;
    const QStringList sides = cleanedLine.split(QLatin1Char('='));
    if (sides.size() != 2)
        return std::nullopt;
    QList<float> values;
    for (const QString& piece : sides.at(1).split(QLatin1Char(','))) {
        bool ok = false;
        const float value = piece.toFloat(&ok);
        if (!ok)
            return std::nullopt;
        values.append(value);
    }
    if (values.isEmpty())
        return std::nullopt;
    return values;
}

ModuleParameterFile::Contents ModuleParameterFile::scan(QIODevice& input)
{
    Contents found;
    qint64 budget = maxSize;
    while (!(found.rangeVector && found.zoneSpan) && !input.atEnd() && budget > 1) {
        const QByteArray raw = input.readLine(qMin(maxLineLength, budget));
        // Nothing at all, not even a line feed: the read failed.
        if (raw.isEmpty())
            break;
        budget -= raw.size();
        const QString line = cleanLine(QString::fromUtf8(raw));
        if (!found.rangeVector) {
            if (const auto values = parseLine(line, QStringLiteral("RangeVec"))) {
                if (values->size() != 2) {
                    found.error = QStringLiteral("invalid range vec format: ") + line;
                    return found;
                }
                found.rangeVector = values;
                continue;
            }
        }
        if (!found.zoneSpan) {
            if (const auto values = parseLine(line, QStringLiteral("ZoneSpan"))) {
                if (values->size() != 2) {
                    found.error = QStringLiteral("invalid zone span format: ") + line;
                    return found;
                }
                found.zoneSpan = values;
            }
        }
    }
    if (!(found.rangeVector && found.zoneSpan))
        found.error = QStringLiteral("failed to read required parameters from parfile");
    return found;
}
