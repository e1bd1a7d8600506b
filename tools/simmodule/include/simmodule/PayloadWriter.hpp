// Builds payloads value by value, little-endian.
#pragma once

#include "simmodule/Framing.hpp"

#include <cstdint>
#include <string>
#include <vector>

namespace simmodule {

class PayloadWriter {
public:
    PayloadWriter& u8(uint8_t v);
    PayloadWriter& u16(uint16_t v);
    PayloadWriter& u32(uint32_t v);
    PayloadWriter& f32(float v);
    PayloadWriter& f32s(const std::vector<float>& v);
    PayloadWriter& bytes(const Bytes& v);
    PayloadWriter& text(const std::string& v);
    const Bytes& data() const { return data_; }
    Bytes take() { return std::move(data_); }

private:
    Bytes data_;
};

} // namespace simmodule
