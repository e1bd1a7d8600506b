// A read-only view of bytes that live elsewhere: a packet inside a block of
// packets, or a whole Bytes. The bytes must outlive the view.
#pragma once

#include <cstddef>
#include <cstdint>

#include <linkwell/Bytes.hpp>

class ByteView {
public:
    ByteView() = default;
    ByteView(const uint8_t* data, size_t size)
        : data_(data)
        , size_(size)
    { }
    ByteView(const Bytes& bytes) // NOLINT: a Bytes is a view's most common source
        : data_(bytes.data())
        , size_(bytes.size())
    { }

    const uint8_t* data() const { return data_; }
    size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    const uint8_t& operator[](size_t i) const { return data_[i]; }
    const uint8_t* begin() const { return data_; }
    const uint8_t* end() const { return data_ + size_; }

private:
    const uint8_t* data_ = nullptr;
    size_t size_ = 0;
};
