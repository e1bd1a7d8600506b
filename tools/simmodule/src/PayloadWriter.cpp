#include "simmodule/PayloadWriter.hpp"

#include <cstring>

namespace simmodule {

PayloadWriter& PayloadWriter::u8(uint8_t v)
{
    data_.push_back(v);
    return *this;
}

PayloadWriter& PayloadWriter::u16(uint16_t v)
{
    data_.push_back(static_cast<uint8_t>(v));
    data_.push_back(static_cast<uint8_t>(v >> 8));
    return *this;
}

PayloadWriter& PayloadWriter::u32(uint32_t v)
{
    for (int shift = 0; shift < 32; shift += 8)
        data_.push_back(static_cast<uint8_t>(v >> shift));
    return *this;
}

PayloadWriter& PayloadWriter::f32(float v)
{
    static_assert(sizeof(float) == sizeof(uint32_t), "IEEE-754 single expected");
    uint32_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    return u32(bits);
}

PayloadWriter& PayloadWriter::f32s(const std::vector<float>& v)
{
    for (float f : v)
        f32(f);
    return *this;
}

PayloadWriter& PayloadWriter::bytes(const Bytes& v)
{
    data_.insert(data_.end(), v.begin(), v.end());
    return *this;
}

PayloadWriter& PayloadWriter::text(const std::string& v)
{
    data_.insert(data_.end(), v.begin(), v.end());
    return *this;
}

} // namespace simmodule
