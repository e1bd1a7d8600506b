// The module parameter file that the library stores with a recording session
// ("sarvik_parameter_file.par" in the session directory): a text file of
// "key = value;" lines, of which playback reads two. "RangeVec" holds the
// range the module measured over, "ZoneSpan" the smallest zone start and the
// largest zone end, each as two numbers, in metres:
//
//   RangeVec = {0.2, 9.4};
//   ZoneSpan = {0.4, 5.0};
//
// The file comes from disk and is not trusted: files above maxSize are not
// read at all, lines are read at most maxLineLength bytes at a time.
#pragma once

#include <QList>
#include <QString>

#include <optional>

class QIODevice;

class ModuleParameterFile {
public:
    static const QString fileName;
    static constexpr qint64 maxSize = 1024 * 1024;
    static constexpr qint64 maxLineLength = 64 * 1024;

    // What one scan found. `error` is empty when both keys were found.
    struct Contents {
        std::optional<QList<float>> rangeVector;
        std::optional<QList<float>> zoneSpan;
        QString error;
    };

    // Removes every space, ';', line feed, '{' and '}'.
    static QString cleanLine(QString line);
    // The numbers of a cleaned line "key=n,n,...": the line must begin with
    // the key and "=", hold exactly one "=", and every piece after it must
    // be a number. Nothing otherwise.
    static std::optional<QList<float>> parseLine(const QString& cleanedLine, const QString& key);
    // Reads lines until both keys have been found, the input ends or
    // maxSize bytes have been read. The first line of a key that parses
    // decides: it must hold exactly two numbers.
    static Contents scan(QIODevice& input);
};
