#include "recording/RecorderReports.hpp"

#include <chrono>

#include "log/ConsoleAndFileLogger.hpp"

namespace Sarvik {

RecorderReports::RecorderReports(Logger& logger)
    : logger_(logger)
{ }

void RecorderReports::set_error_callback(DataRecorder::ErrorCallback callback)
{
    std::lock_guard<std::mutex> lock(mutex);
    error_callback = std::move(callback);
}

bool RecorderReports::add_file_available(DataType type, const DataRecorder::FileAvailableCallback& callback)
{
    std::lock_guard<std::mutex> lock(mutex);
    return file_available_callbacks.emplace(type, callback).second;
}

void RecorderReports::remove_file_available(DataType type)
{
    std::lock_guard<std::mutex> lock(mutex);
    file_available_callbacks.erase(type);
}

bool RecorderReports::set_meta_file_available(const DataRecorder::MetaFileAvailableCallback& callback)
{
    std::lock_guard<std::mutex> lock(mutex);
    if (meta_file_available_callback)
        return false;
    meta_file_available_callback = callback;
    return true;
}

void RecorderReports::clear_meta_file_available()
{
    std::lock_guard<std::mutex> lock(mutex);
    meta_file_available_callback = nullptr;
}

void RecorderReports::report_error(const std::string& text)
{
    DataRecorder::ErrorCallback callback;
    {
        std::lock_guard<std::mutex> lock(mutex);
        callback = error_callback;
    }
    if (!callback)
        return;
    try {
        callback(text);
    } catch (const std::exception& e) {
        logger_.log(0, std::string("error callback failed: ") + e.what());
    } catch (...) {
        logger_.log(0, "error callback failed");
    }
}

void RecorderReports::warn(const std::string& text)
{
    lstream line = logger_.serror();
    line << text;
    line.flush();
}

void RecorderReports::warn_refused(const std::string& source, size_t size, const std::string& reason)
{
    const std::string line = refusals.refused(source, size, reason, std::chrono::steady_clock::now());
    if (!line.empty())
        warn(line);
}

void RecorderReports::flush_refusals(const std::string& source)
{
    const std::string line = refusals.flush(source);
    if (!line.empty())
        warn(line);
}

// A client's callback that throws must not leave a file half closed: the
// failure is reported and the work goes on.
void RecorderReports::call_back(const char* name, const std::function<void()>& call)
{
    std::string failure;
    try {
        call();
        return;
    } catch (const std::exception& e) {
        failure = std::string(name) + " callback failed: " + e.what();
    } catch (...) {
        failure = std::string(name) + " callback failed";
    }
    logger_.log(0, failure);
    report_error(failure);
}

void RecorderReports::announce_file(DataType type, const std::string& filename)
{
    DataRecorder::FileAvailableCallback callback;
    {
        std::lock_guard<std::mutex> lock(mutex);
        const auto found = file_available_callbacks.find(type);
        if (found != file_available_callbacks.end())
            callback = found->second;
    }
    if (callback)
        call_back("file available", [&] { callback(type, filename); });
}

void RecorderReports::announce_meta_file(const std::string& session_id, const std::string& filename)
{
    DataRecorder::MetaFileAvailableCallback callback;
    {
        std::lock_guard<std::mutex> lock(mutex);
        callback = meta_file_available_callback;
    }
    if (callback)
        call_back("meta file available", [&] { callback(session_id, filename); });
}

} // namespace Sarvik
