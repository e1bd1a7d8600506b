// A stream buffer that reads a byte vector in place, from its first to its
// last byte, without copying. Reading past the end reports end of file;
// seeking is not supported. The vector must outlive the buffer and must not
// change while the buffer is used.
#pragma once

#include <streambuf>

#include <linkwell/Bytes.hpp>

class BytesBuffer : public std::basic_streambuf<char> {
public:
    explicit BytesBuffer(const Bytes& data);
    // A temporary vector would be gone before the first read.
    explicit BytesBuffer(Bytes&&) = delete;
    ~BytesBuffer() override;
};
