// Cuts the byte stream that the host sends back into command payloads.
#pragma once

#include "simmodule/Framing.hpp"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace simmodule {

// A host only ever sends framed packets, so this knows just that form:
// 0x7D starts a frame, 0x7F escapes the next byte, 0x7E ends it and the last
// byte before it is the checksum. Everything else is counted as an error and
// dropped: bytes outside a frame, a start byte inside an unfinished frame,
// an end byte with nothing stored, a wrong checksum, an oversized frame.
class Deframer {
public:
    explicit Deframer(size_t max_payload = 1 << 20);

    // Feeds a chunk; packets may be split anywhere between chunks. Returns
    // the payloads completed in this chunk, in order.
    std::vector<Bytes> feed(const uint8_t* data, size_t size);

    // Forgets a partly received frame (a new connection starts clean).
    void reset();

    // Errors seen since construction.
    uint64_t errors() const { return errors_; }

private:
    void end_frame(std::vector<Bytes>& packets);

    size_t max_payload_;
    Bytes stored_; // payload and checksum of the frame in progress
    bool in_frame_ = false;
    bool escape_pending_ = false;
    bool stray_bytes_ = false; // bytes outside a frame since the last error
    uint64_t errors_ = 0;
};

} // namespace simmodule
