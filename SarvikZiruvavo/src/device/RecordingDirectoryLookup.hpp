// Finds the directory of a recording session that has just been started: the
// recorder makes it only when the first packet of the session arrives, so the
// lookup asks again every 50 ms, at most 19 times (about one second).
#pragma once

#include <QString>

#include <atomic>
#include <string>

namespace Sarvik {
class DataRecorder;
}

// The session's directory once it exists, or an empty text after the last
// try or as soon as `stop` is set. Runs on a pool thread; the recorder must
// outlive the call, which is why its owner sets `stop` and waits for the call
// before it deletes the recorder.
QString findRecordingDirectory(
    Sarvik::DataRecorder& recorder, const std::string& sessionId, const std::atomic_bool& stop);
