#include "support/LineSink.hpp"

#include <algorithm>

namespace testsupport {

namespace {

// "12.345678 : text" -> "text"
std::string text_of(const std::string& line)
{
    const auto separator = line.find(" : ");
    return separator == std::string::npos ? line : line.substr(separator + 3);
}

} // namespace

std::vector<std::string> LineSink::Record::texts()
{
    std::lock_guard<std::mutex> lock(mutex);
    std::vector<std::string> out;
    for (const auto& line : lines)
        out.push_back(text_of(line));
    return out;
}

bool LineSink::Record::has(const std::string& text)
{
    const auto all = texts();
    return std::find(all.begin(), all.end(), text) != all.end();
}

LineSink::~LineSink()
{
    std::lock_guard<std::mutex> lock(record_->mutex);
    record_->deleted = true;
}

void LineSink::log(const std::string& line)
{
    {
        std::lock_guard<std::mutex> lock(record_->mutex);
        record_->lines.push_back(line);
    }
    if (!throw_on_.empty() && text_of(line) == throw_on_)
        throw std::runtime_error("sink refused: " + throw_on_);
}

} // namespace testsupport
