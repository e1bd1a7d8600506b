#include "support/TestSupport.hpp"

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>

#include "link/ModuleIo.hpp"

namespace testsupport {

void collect_byte(uint8_t byte, void* user)
{
    static_cast<Bytes*>(user)->push_back(byte);
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
