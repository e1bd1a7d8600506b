#include "RecordingDirectoryLookup.hpp"

#include <linkwell/DataRecorder.hpp>

#include <QDir>
#include <QThread>

namespace {
constexpr int tries = 19;
constexpr unsigned long pauseMs = 50;
} // namespace

QString findRecordingDirectory(
    Sarvik::DataRecorder& recorder, const std::string& sessionId, const std::atomic_bool& stop)
{
    for (int attempt = 1; attempt <= tries && !stop; ++attempt) {
        const QString directory = QString::fromStdString(recorder.get_recording_directory(sessionId));
        if (!directory.isEmpty() && QDir(directory).exists())
            return directory;
        QThread::msleep(pauseMs);
    }
    return QString();
}
