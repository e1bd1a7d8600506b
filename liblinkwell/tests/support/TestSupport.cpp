#include "support/TestSupport.hpp"

#include <poll.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>

#include "link/ModuleIo.hpp"

namespace testsupport {

Bytes read_exactly(int fd, std::size_t n)
{
    Bytes out;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (out.size() < n && std::chrono::steady_clock::now() < deadline) {
        pollfd p { fd, POLLIN, 0 };
        if (::poll(&p, 1, 50) <= 0)
            continue;
        uint8_t buf[256];
        const ssize_t got = ::read(fd, buf, sizeof buf);
        if (got <= 0)
            break;
        out.insert(out.end(), buf, buf + got);
    }
    return out;
}

Bytes read_from(ModuleIo& io, std::size_t count)
{
    Bytes got;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (got.size() < count && std::chrono::steady_clock::now() < deadline) {
        unsigned char buffer[6158];
        const int n = io.read(buffer, sizeof buffer, 500);
        if (n < 0)
            break;
        got.insert(got.end(), buffer, buffer + n);
    }
    return got;
}

Bytes hex(const std::string& text)
{
    Bytes out;
    int high = -1;
    for (char c : text) {
        if (std::isspace(static_cast<unsigned char>(c)) || c == ',')
            continue;
        int v;
        if (c >= '0' && c <= '9')
            v = c - '0';
        else if (c >= 'a' && c <= 'f')
            v = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            v = c - 'A' + 10;
        else
            throw std::invalid_argument("not a hex digit in: " + text);
        if (high < 0) {
            high = v;
        } else {
            out.push_back(static_cast<uint8_t>(high << 4 | v));
            high = -1;
        }
    }
    if (high >= 0)
        throw std::invalid_argument("odd number of hex digits in: " + text);
    return out;
}

std::string to_hex(const Bytes& bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i)
            out += ' ';
        out += digits[bytes[i] >> 4];
        out += digits[bytes[i] & 0xF];
    }
    return out;
}

Bytes frame(const Bytes& payload)
{
    auto special = [](uint8_t b) { return b >= 0x7D && b <= 0x7F; };
    Bytes out { 0x7D };
    uint8_t sum = 0x7D;
    for (uint8_t b : payload) {
        if (special(b))
            out.push_back(0x7F);
        out.push_back(b);
        sum ^= b;
    }
    if (special(sum))
        out.push_back(0x7F);
    out.push_back(sum);
    out.push_back(0x7E);
    return out;
}

PayloadBuilder& PayloadBuilder::u8(uint8_t v)
{
    data_.push_back(v);
    return *this;
}

PayloadBuilder& PayloadBuilder::u16(uint16_t v)
{
    data_.push_back(static_cast<uint8_t>(v));
    data_.push_back(static_cast<uint8_t>(v >> 8));
    return *this;
}

PayloadBuilder& PayloadBuilder::u32(uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        data_.push_back(static_cast<uint8_t>(v >> (8 * i)));
    return *this;
}

PayloadBuilder& PayloadBuilder::f32(float v)
{
    uint32_t bits;
    std::memcpy(&bits, &v, 4);
    return u32(bits);
}

PayloadBuilder& PayloadBuilder::bytes(const Bytes& v)
{
    data_.insert(data_.end(), v.begin(), v.end());
    return *this;
}

PayloadBuilder& PayloadBuilder::text(const std::string& v, bool with_nul)
{
    data_.insert(data_.end(), v.begin(), v.end());
    if (with_nul)
        data_.push_back(0);
    return *this;
}

TempDir::TempDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "linkwell-test-XXXXXX").string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (!mkdtemp(buffer.data()))
        throw std::runtime_error("mkdtemp failed");
    path_ = buffer.data();
}

TempDir::~TempDir()
{
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

} // namespace testsupport
