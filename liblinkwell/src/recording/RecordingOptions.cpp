#include <linkwell/RecordingOptions.hpp>

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <sys/random.h>

namespace Sarvik {

namespace {

// Fills the buffer from the kernel's random source.
void random_bytes(uint8_t* buffer, size_t size)
{
    size_t filled = 0;
    while (filled < size) {
        const ssize_t n = getrandom(buffer + filled, size - filled, 0);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw std::runtime_error("no random bytes for a session id");
        }
        filled += static_cast<size_t>(n);
    }
}

// A random (version 4) UUID in its lower-case 36-character text form.
std::string new_session_id()
{
    std::array<uint8_t, 16> b {};
    random_bytes(b.data(), b.size());
    b[6] = static_cast<uint8_t>((b[6] & 0x0F) | 0x40); // version 4
    b[8] = static_cast<uint8_t>((b[8] & 0x3F) | 0x80); // RFC 4122 variant
    char text[37];
    std::snprintf(text, sizeof text, "%02x%02x%02x%02x-%02x%02x-%02x%02x-%02x%02x-%02x%02x%02x%02x%02x%02x",
        b[0], b[1], b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11], b[12], b[13], b[14], b[15]);
    return text;
}

} // namespace

class RecordingOptionsPrivate {
public:
    int32_t data_rate_limit = -1;
    std::string session_id = new_session_id();
    PreferredSplitSize file_split_size;
    PreferredSplitSize directory_split_size;
    Bytes user_header;
    bool flush_on_write = false;
};

RecordingOptions::RecordingOptions()
    : d(std::make_unique<RecordingOptionsPrivate>())
{ }

RecordingOptions::RecordingOptions(const RecordingOptions& other)
    : d(std::make_unique<RecordingOptionsPrivate>(*other.d))
{ }

RecordingOptions& RecordingOptions::operator=(const RecordingOptions& other)
{
    if (this != &other)
        d = std::make_unique<RecordingOptionsPrivate>(*other.d);
    return *this;
}

RecordingOptions::RecordingOptions(RecordingOptions&& other) noexcept = default;
RecordingOptions& RecordingOptions::operator=(RecordingOptions&& other) noexcept = default;
RecordingOptions::~RecordingOptions() = default;

void RecordingOptions::set_session_id(const std::string& id)
{
    d->session_id = id;
}
std::string RecordingOptions::get_session_id() const
{
    return d->session_id;
}
void RecordingOptions::set_file_split_size(const PreferredSplitSize& size)
{
    d->file_split_size = size;
}
PreferredSplitSize RecordingOptions::get_file_split_size() const
{
    return d->file_split_size;
}
void RecordingOptions::set_directory_split_size(const PreferredSplitSize& size)
{
    d->directory_split_size = size;
}
PreferredSplitSize RecordingOptions::get_directory_split_size() const
{
    return d->directory_split_size;
}
void RecordingOptions::set_data_rate_limit(int milliseconds)
{
    d->data_rate_limit = milliseconds;
}
int RecordingOptions::get_data_rate_limit() const
{
    return d->data_rate_limit;
}
void RecordingOptions::set_user_header(const Bytes& header)
{
    d->user_header = header;
}
Bytes RecordingOptions::get_user_header() const
{
    return d->user_header;
}
void RecordingOptions::set_flush_on_write(bool flush)
{
    d->flush_on_write = flush;
}
bool RecordingOptions::get_flush_on_write() const
{
    return d->flush_on_write;
}

} // namespace Sarvik
