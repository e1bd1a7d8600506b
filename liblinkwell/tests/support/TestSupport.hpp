// Helpers shared by the library tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "testbytes/TestBytes.hpp"

class ModuleIo;

namespace testsupport {

using Bytes = std::vector<uint8_t>;

// Hex text, the reference framer and the bounded descriptor read are the
// ones every test program shares.
using testbytes::frame;
using testbytes::hex;
using testbytes::read_exactly;
using testbytes::to_hex;

// The bytes of a text and the text of bytes, a char a byte.
inline Bytes bytes_of(const std::string& text)
{
    return Bytes(text.begin(), text.end());
}
inline std::string text_of(const Bytes& bytes)
{
    return std::string(bytes.begin(), bytes.end());
}

// What a request that got no answer in time throws.
inline const std::string timeout_text = "Timeout waiting for response\n";

// The byte sink of the C interface's builders and framers: appends byte to
// the Bytes that user points to.
void collect_byte(uint8_t byte, void* user);

// Reads a connection's port the way its reader does, until count bytes have
// come, a read fails or five seconds have passed.
Bytes read_from(ModuleIo& io, std::size_t count);

// Little-endian payload builder for expected command payloads.
class PayloadBuilder {
public:
    PayloadBuilder& u8(uint8_t v);
    PayloadBuilder& u16(uint16_t v);
    PayloadBuilder& u32(uint32_t v);
    PayloadBuilder& i32(int32_t v) { return u32(static_cast<uint32_t>(v)); }
    PayloadBuilder& f32(float v);
    PayloadBuilder& bytes(const Bytes& v);
    PayloadBuilder& text(const std::string& v, bool with_nul);
    Bytes build() const { return data_; }
    operator Bytes() const { return data_; }

private:
    Bytes data_;
};

// A fresh directory under the system's temporary folder, removed with
// everything in it when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

} // namespace testsupport
