// The library's logging: the Logger interface with its two implementations,
// the default console-and-file sink, a stream helper and a scope tracer.
//
// Levels are unsigned; a message is written when its level is at most the
// logger's threshold: 0 errors, 3 object life, commands and scope traces,
// 5 details and byte dumps, 6 bulk data.
#pragma once

#include <atomic>
#include <cstdint>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include <linkwell/AbstractLoggerIo.hpp>
#include <linkwell/linkwell_export.h>

// Collects a message with stream insertion and delivers it in one piece on
// flush(). Destroying it does not deliver.
class LINKWELL_API lstream {
public:
    using Delivery = std::function<void(const std::string&)>;

    explicit lstream(Delivery delivery);
    lstream(lstream&&) = default;
    lstream& operator=(lstream&&) = default;

    template <typename T> lstream& operator<<(const T& value)
    {
        text_ << value;
        return *this;
    }
    lstream& operator<<(std::ostream& (*manipulator)(std::ostream&))
    {
        text_ << manipulator;
        return *this;
    }

    // Delivers everything collected so far.
    void flush();

private:
    Delivery delivery_;
    std::ostringstream text_;
};

class LINKWELL_API Logger {
public:
    Logger();
    virtual ~Logger();
    virtual void set_log_level(int level) = 0;
    // Whether a message of the level can be written at all. Every call below
    // checks the level again; this is for callers that would otherwise build
    // a message, or make a call, for every packet: a level that is off costs
    // them two loads and a branch, no formatting, lock or virtual call.
    bool logs(unsigned level) const { return level <= limit_->load(std::memory_order_relaxed); }
    // Streams that deliver to error() and to log() at the level; every
    // logger builds them the same way.
    virtual lstream serror();
    virtual lstream slog(unsigned level);
    virtual void error(const std::string& text) = 0;
    virtual void log(unsigned level, const std::string& text) = 0;
    virtual void print_bytes(unsigned level, const std::vector<uint8_t>& bytes) = 0;

protected:
    // The highest level written from now on (every level, as unsigned, for a
    // negative threshold). Until a logger sets one, logs() lets every level
    // through and leaves the decision to the calls.
    void set_level_limit(unsigned limit) { limit_->store(limit, std::memory_order_relaxed); }
    // For a logger that passes its lines on to the other one: logs() follows
    // the other's limit from now on. The limit outlives the other logger.
    // Call it before the logger is used on other threads.
    void follow_level_limit_of(const Logger& other) { limit_ = other.limit_; }

private:
    std::shared_ptr<std::atomic<unsigned>> limit_;
};

// Formats each line as the seconds since construction with six decimals,
// " : " and the text, and hands it to its sink under a mutex, so lines of
// several threads never interleave.
class LINKWELL_API StdoutLogger : public Logger {
public:
    // Takes ownership of sink.
    StdoutLogger(int threshold, Sarvik::AbstractLoggerIo* sink);
    ~StdoutLogger() override;
    StdoutLogger(const StdoutLogger&) = delete;
    StdoutLogger& operator=(const StdoutLogger&) = delete;

    void set_log_level(int level) override;
    void error(const std::string& text) override;
    void log(unsigned level, const std::string& text) override;
    void print_bytes(unsigned level, const std::vector<uint8_t>& bytes) override;

    // The text print_bytes logs: "3: {0x01, 0x02, 0xff, }".
    static std::string format_bytes(const std::vector<uint8_t>& bytes);

private:
    int64_t start_ns_;
    Sarvik::AbstractLoggerIo* sink_;
    mutable std::mutex mutex_;
};

// Prints errors (level 0) to standard output and nothing else.
class LINKWELL_API VoidLogger : public Logger {
public:
    VoidLogger();
    void set_log_level(int level) override;
    void error(const std::string& text) override;
    void log(unsigned level, const std::string& text) override;
    void print_bytes(unsigned level, const std::vector<uint8_t>& bytes) override;
};

// Writes each line to the console and/or to a log file in the current
// directory named by the local time it was opened, "debug_%Y%m%d_%H%M%S.log";
// a new file is started after 200000 lines. An existing file is never
// replaced: a name already taken gets a numeric suffix. A file that cannot be
// opened stops file output with one warning on standard error; the console
// output goes on.
class LINKWELL_API DefaultLoggerIo : public Sarvik::AbstractLoggerIo {
public:
    static constexpr int max_lines_per_file = 200000;

    // max_lines is for tests, which cannot write 200000 lines per file.
    DefaultLoggerIo(bool to_file, bool to_console, int max_lines = max_lines_per_file);
    ~DefaultLoggerIo() override;

    void log(const std::string& line) override;

    // Formats the current local time with strftime.
    static std::string create_filename(const std::string& format);

private:
    static std::string unused_filename(const std::string& name);
    // False when no file could be opened; file output is then off.
    bool open_file();

    bool to_file_;
    bool to_console_;
    std::ofstream file_;
    int lines_ = 0;
    int max_lines_;
};

// Logs "<name> -- begin" when made and "<name> -- end" when destroyed.
class LINKWELL_API Trace {
public:
    Trace(Logger& logger, unsigned level, const std::string& name);
    ~Trace();
    Trace(const Trace&) = delete;
    Trace& operator=(const Trace&) = delete;

private:
    Logger* logger_;
    std::string name_;
    unsigned level_;
};
