// A log sink for tests of the objects that take one over: it keeps every
// line where the test can still read it after the owner has deleted the
// sink, records that deletion, and can throw on a line to make a
// constructor fail at a chosen point.
#pragma once

#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include <linkwell/AbstractLoggerIo.hpp>

namespace testsupport {

class LineSink : public Sarvik::AbstractLoggerIo {
public:
    // What the test keeps of the sink.
    struct Record {
        std::mutex mutex;
        std::vector<std::string> lines;
        bool deleted = false;

        // The texts of the lines, without the logger's time stamp.
        std::vector<std::string> texts();
        bool has(const std::string& text);
    };

    // throw_on: the sink throws std::runtime_error when it receives a line
    // with this text (empty: never).
    explicit LineSink(std::shared_ptr<Record> record, std::string throw_on = {})
        : record_(std::move(record))
        , throw_on_(std::move(throw_on))
    { }
    ~LineSink() override;

    void log(const std::string& line) override;

private:
    std::shared_ptr<Record> record_;
    std::string throw_on_;
};

} // namespace testsupport
