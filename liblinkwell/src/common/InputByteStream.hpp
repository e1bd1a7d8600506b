// An input stream over a byte vector, read in place with the ordinary
// std::istream operations. The buffer is a virtual base so that it is
// complete before the std::istream part is initialised with it. The vector
// must outlive the stream.
#pragma once

#include <istream>

#include "common/BytesBuffer.hpp"

class InputByteStream : virtual public BytesBuffer, public std::istream {
public:
    explicit InputByteStream(const Bytes& data);
    explicit InputByteStream(Bytes&&) = delete;
    ~InputByteStream() override;
};
