#include "common/InputByteStream.hpp"

InputByteStream::InputByteStream(const Bytes& data)
    : BytesBuffer(data)
    , std::istream(static_cast<BytesBuffer*>(this))
{ }

InputByteStream::~InputByteStream() = default;
