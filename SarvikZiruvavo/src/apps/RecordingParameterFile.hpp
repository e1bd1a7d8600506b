// The small INI file beside a raw-radar recording that keeps what playback
// needs to rebuild the range axis: whether the frames are down-converted, where
// the zone starts and ends and how far apart the bins are. The four keys stand
// at the top level, so the INI writer puts them in its [General] section.
//
// The file belongs in the recording's session directory and nowhere else:
// `create` and `open` take only an absolute directory. An empty answer of the
// directory lookup would otherwise put the file at the root of the file
// system, and a relative one beside whatever the program's working directory
// happens to be.
#pragma once

#include <QSettings>
#include <QString>

#include <memory>

class RecordingParameterFile {
public:
    static const QString fileName;
    static const QString downConversionKey;
    static const QString detectionZoneStartKey;
    static const QString detectionZoneEndKey;
    static const QString detectionZoneStepKey;

    // A file to write in directory, which must be an existing absolute
    // directory; the file comes into being with the first value written and
    // keeps the keys that are not written again. Otherwise the warning "No
    // directory to write recording metadata in: <directory>" and null.
    static std::unique_ptr<RecordingParameterFile> create(const QString& directory);
    // The file in directory when it is an existing regular file, else null.
    static std::unique_ptr<RecordingParameterFile> open(const QString& directory);

    // Writes what was set; a file that could not be written is reported.
    ~RecordingParameterFile();
    RecordingParameterFile(const RecordingParameterFile&) = delete;
    RecordingParameterFile& operator=(const RecordingParameterFile&) = delete;

    QString path() const;

    void setDownConversion(int downConversion);
    void setDetectionZoneStart(double metres);
    void setDetectionZoneEnd(double metres);
    void setDetectionZoneStep(double metres);

    // A missing value, or one that is not a (finite) number, reads as 0.
    int downConversion() const;
    double detectionZoneStart() const;
    double detectionZoneEnd() const;
    double detectionZoneStep() const;

private:
    RecordingParameterFile(const QString& path, bool writing);
    double readDouble(const QString& key) const;

    QSettings m_settings;
    bool m_writing;
};
