#include "common/BytesBuffer.hpp"

BytesBuffer::BytesBuffer(const Bytes& data)
{
    // The get area is only read: the stream buffer writes into it only to
    // put back a character that differs, which the default pbackfail refuses.
    char* begin = reinterpret_cast<char*>(const_cast<uint8_t*>(data.data()));
    setg(begin, begin, begin + data.size());
}

BytesBuffer::~BytesBuffer() = default;
