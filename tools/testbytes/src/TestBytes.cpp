#include "testbytes/TestBytes.hpp"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <stdexcept>

namespace testbytes {

namespace {

int hex_digit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool is_special(uint8_t byte)
{
    return byte >= 0x7D && byte <= 0x7F;
}

} // namespace

Bytes hex(const std::string& text)
{
    Bytes out;
    int high = -1;
    for (char c : text) {
        if (std::isspace(static_cast<unsigned char>(c)) || c == ',')
            continue;
        const int value = hex_digit(c);
        if (value < 0)
            throw std::invalid_argument("not a hex digit in: " + text);
        if (high < 0) {
            high = value;
        } else {
            out.push_back(static_cast<uint8_t>(high << 4 | value));
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
    for (uint8_t b : bytes) {
        if (!out.empty())
            out += ' ';
        out += digits[b >> 4];
        out += digits[b & 0xF];
    }
    return out;
}

Bytes frame(const Bytes& payload)
{
    Bytes out { 0x7D };
    uint8_t checksum = 0x7D;
    auto put = [&](uint8_t b) {
        if (is_special(b))
            out.push_back(0x7F);
        out.push_back(b);
    };
    for (uint8_t b : payload) {
        put(b);
        checksum ^= b;
    }
    put(checksum);
    out.push_back(0x7E);
    return out;
}

Bytes read_exactly(int fd, std::size_t count, std::chrono::milliseconds timeout)
{
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + timeout;
    Bytes out;
    uint8_t buffer[4096];
    while (out.size() < count) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            break;
        pollfd waiter { fd, POLLIN, 0 };
        if (::poll(&waiter, 1, static_cast<int>(left)) <= 0)
            continue;
        const ssize_t n = ::read(fd, buffer, std::min(sizeof buffer, count - out.size()));
        if (n > 0) {
            out.insert(out.end(), buffer, buffer + n);
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EINTR))
            continue;
        break; // the other end closed, or the descriptor failed
    }
    return out;
}

} // namespace testbytes
