#include "RecordingParameterFile.hpp"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QVariant>

#include <cmath>

const QString RecordingParameterFile::fileName = QStringLiteral("sarvik_dax_recording.par");
const QString RecordingParameterFile::downConversionKey = QStringLiteral("DownConversion");
const QString RecordingParameterFile::detectionZoneStartKey = QStringLiteral("DetectionZoneStart");
const QString RecordingParameterFile::detectionZoneEndKey = QStringLiteral("DetectionZoneEnd");
const QString RecordingParameterFile::detectionZoneStepKey = QStringLiteral("DetectionZoneStep");

namespace {

QString filePathIn(const QString& directory)
{
    return QDir(directory).filePath(RecordingParameterFile::fileName);
}

} // namespace

std::unique_ptr<RecordingParameterFile> RecordingParameterFile::create(const QString& directory)
{
    if (directory.isEmpty() || QDir::isRelativePath(directory) || !QFileInfo(directory).isDir()) {
        qWarning().noquote() << "No directory to write recording metadata in: " + directory;
        return nullptr;
    }
    return std::unique_ptr<RecordingParameterFile>(new RecordingParameterFile(filePathIn(directory), true));
}

std::unique_ptr<RecordingParameterFile> RecordingParameterFile::open(const QString& directory)
{
    if (directory.isEmpty() || QDir::isRelativePath(directory))
        return nullptr;
    const QString path = filePathIn(directory);
    if (!QFileInfo(path).isFile())
        return nullptr;
    return std::unique_ptr<RecordingParameterFile>(new RecordingParameterFile(path, false));
}

RecordingParameterFile::RecordingParameterFile(const QString& path, bool writing)
    : m_settings(path, QSettings::IniFormat)
    , m_writing(writing)
{ }

RecordingParameterFile::~RecordingParameterFile()
{
    if (!m_writing)
        return;
    m_settings.sync();
    if (m_settings.status() != QSettings::NoError)
        qWarning().noquote() << "Could not write recording metadata to" << m_settings.fileName();
}

QString RecordingParameterFile::path() const
{
    return m_settings.fileName();
}

void RecordingParameterFile::setDownConversion(int downConversion)
{
    m_settings.setValue(downConversionKey, downConversion);
}

void RecordingParameterFile::setDetectionZoneStart(double metres)
{
    m_settings.setValue(detectionZoneStartKey, metres);
}

void RecordingParameterFile::setDetectionZoneEnd(double metres)
{
    m_settings.setValue(detectionZoneEndKey, metres);
}

void RecordingParameterFile::setDetectionZoneStep(double metres)
{
    m_settings.setValue(detectionZoneStepKey, metres);
}

int RecordingParameterFile::downConversion() const
{
    bool ok = false;
    const int value = m_settings.value(downConversionKey).toString().trimmed().toInt(&ok);
    return ok ? value : 0;
}

double RecordingParameterFile::detectionZoneStart() const
{
    return readDouble(detectionZoneStartKey);
}

double RecordingParameterFile::detectionZoneEnd() const
{
    return readDouble(detectionZoneEndKey);
}

double RecordingParameterFile::detectionZoneStep() const
{
    return readDouble(detectionZoneStepKey);
}

double RecordingParameterFile::readDouble(const QString& key) const
{
    bool ok = false;
    const double value = m_settings.value(key).toString().trimmed().toDouble(&ok);
    return ok && std::isfinite(value) ? value : 0.0;
}
