#include "log/ConsoleAndFileLogger.hpp"

#include <cassert>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <iomanip>
#include <iostream>

namespace Sarvik {
AbstractLoggerIo::~AbstractLoggerIo() = default;
}

namespace {

int64_t now_ns()
{
    using namespace std::chrono;
    return duration_cast<nanoseconds>(system_clock::now().time_since_epoch()).count();
}

void append_byte(std::string& out, uint8_t byte)
{
    static const char digits[] = "0123456789abcdef";
    out += "0x";
    out += digits[byte >> 4];
    out += digits[byte & 0xF];
}

} // namespace

// ---- lstream ---------------------------------------------------------------

lstream::lstream(Delivery delivery)
    : delivery_(std::move(delivery))
{ }

void lstream::flush()
{
    if (delivery_)
        delivery_(text_.str());
}

// ---- Logger ----------------------------------------------------------------

Logger::Logger()
    : limit_(std::make_shared<std::atomic<unsigned>>(UINT_MAX))
{ }

Logger::~Logger() = default;

lstream Logger::serror()
{
    return lstream([this](const std::string& text) { error(text); });
}

lstream Logger::slog(unsigned level)
{
    return lstream([this, level](const std::string& text) { log(level, text); });
}

// ---- StdoutLogger ----------------------------------------------------------

StdoutLogger::StdoutLogger(int threshold, Sarvik::AbstractLoggerIo* sink)
    : start_ns_(now_ns())
    , sink_(sink)
{
    // A negative threshold, seen as unsigned, lets every message through.
    set_level_limit(static_cast<unsigned>(threshold));
}

StdoutLogger::~StdoutLogger()
{
    log(5, "~StdoutLogger");
    delete sink_;
}

void StdoutLogger::set_log_level(int level)
{
    set_level_limit(static_cast<unsigned>(level));
}

void StdoutLogger::error(const std::string& text)
{
    log(0, text);
}

void StdoutLogger::log(unsigned level, const std::string& text)
{
    if (!logs(level))
        return;
    std::lock_guard<std::mutex> lock(mutex_);
    if (!sink_)
        return;
    const float seconds = static_cast<float>(static_cast<double>(now_ns() - start_ns_) / 1e9);
    std::ostringstream line;
    line << std::fixed << std::setprecision(6) << seconds << " : " << text;
    sink_->log(line.str());
}

std::string StdoutLogger::format_bytes(const std::vector<uint8_t>& bytes)
{
    constexpr size_t shown = 20;
    std::string out = std::to_string(bytes.size()) + ": {";
    const size_t head = bytes.size() < shown ? bytes.size() : shown;
    for (size_t i = 0; i < head; ++i) {
        append_byte(out, bytes[i]);
        out += ", ";
    }
    if (bytes.size() > shown) {
        out += "..., ";
        for (size_t i = bytes.size() - 3; i < bytes.size(); ++i) {
            append_byte(out, bytes[i]);
            if (i + 1 < bytes.size())
                out += ", ";
        }
    }
    out += "}";
    return out;
}

void StdoutLogger::print_bytes(unsigned level, const std::vector<uint8_t>& bytes)
{
    if (bytes.empty() || !logs(level))
        return;
    log(level, format_bytes(bytes));
}

// ---- VoidLogger ------------------------------------------------------------

VoidLogger::VoidLogger()
{
    set_level_limit(0);
}

void VoidLogger::set_log_level(int) { }

void VoidLogger::error(const std::string& text)
{
    log(0, text);
}

void VoidLogger::log(unsigned level, const std::string& text)
{
    if (level == 0)
        std::cout << text << std::endl;
}

void VoidLogger::print_bytes(unsigned, const std::vector<uint8_t>&) { }

// ---- DefaultLoggerIo -------------------------------------------------------

DefaultLoggerIo::DefaultLoggerIo(bool to_file, bool to_console, int max_lines)
    : to_file_(to_file)
    , to_console_(to_console)
    , max_lines_(max_lines)
{ }

DefaultLoggerIo::~DefaultLoggerIo()
{
    if (file_.is_open())
        file_.close();
}

std::string DefaultLoggerIo::create_filename(const std::string& format)
{
    assert(format.size() < 250 && "format.size() < 250");
    char buffer[3000];
    const std::time_t now = std::time(nullptr);
    std::tm local {};
    localtime_r(&now, &local);
    const size_t written = std::strftime(buffer, sizeof buffer, format.c_str(), &local);
    return std::string(buffer, written);
}

// Names have a resolution of one second: a file started in the same second
// as an earlier one (a rotation under heavy logging, a second connection)
// gets a numbered name instead of replacing that file's lines.
std::string DefaultLoggerIo::unused_filename(const std::string& name)
{
    std::string candidate = name;
    const std::string::size_type dot = name.rfind('.');
    const std::string stem = name.substr(0, dot);
    const std::string extension = dot == std::string::npos ? "" : name.substr(dot);
    for (int n = 1; std::ifstream(candidate).good(); ++n)
        candidate = stem + "_" + std::to_string(n) + extension;
    return candidate;
}

// Logging runs on the connection's worker threads, where an exception would
// end the process; a log file that cannot be opened is reported once and
// file output stops.
bool DefaultLoggerIo::open_file()
{
    if (file_.is_open())
        file_.close();
    file_.clear();
    const std::string name = unused_filename(create_filename("debug_%Y%m%d_%H%M%S.log"));
    errno = 0;
    file_.open(name, std::ios::out | std::ios::trunc);
    if (file_.is_open())
        return true;
    const int reason = errno;
    std::cerr << "WARNING: cannot open the log file " << name;
    if (reason)
        std::cerr << " (" << std::strerror(reason) << ")";
    std::cerr << "; logging goes on without a file" << std::endl;
    to_file_ = false;
    return false;
}

void DefaultLoggerIo::log(const std::string& line)
{
    if (to_console_)
        std::cout << line << std::endl;
    if (!to_file_)
        return;
    if (!file_.is_open() && !open_file())
        return;
    if (++lines_ > max_lines_) {
        if (!open_file())
            return;
        lines_ = 0;
    }
    file_ << line << '\n';
    file_.flush();
}

// ---- Trace -----------------------------------------------------------------

Trace::Trace(Logger& logger, unsigned level, const std::string& name)
    : logger_(&logger)
    , name_(name)
    , level_(level)
{
    logger_->log(level_, name_ + " -- begin");
}

Trace::~Trace()
{
    logger_->log(level_, name_ + " -- end");
}
