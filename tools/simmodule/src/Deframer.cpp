#include "simmodule/Deframer.hpp"

namespace simmodule {

Deframer::Deframer(size_t max_payload)
    : max_payload_(max_payload)
{ }

std::vector<Bytes> Deframer::feed(const uint8_t* data, size_t size)
{
    std::vector<Bytes> packets;
    for (size_t i = 0; i < size; ++i) {
        const uint8_t byte = data[i];
        if (!in_frame_) {
            if (byte == 0x7D) {
                in_frame_ = true;
                stored_.clear();
                stray_bytes_ = false;
            } else if (!stray_bytes_) {
                // A run of bytes between frames counts once.
                stray_bytes_ = true;
                ++errors_;
            }
            continue;
        }
        if (escape_pending_) {
            escape_pending_ = false;
        } else if (byte == 0x7F) {
            escape_pending_ = true;
            continue;
        } else if (byte == 0x7D) {
            ++errors_; // the unfinished frame is lost; this one starts afresh
            stored_.clear();
            continue;
        } else if (byte == 0x7E) {
            end_frame(packets);
            continue;
        }
        if (stored_.size() > max_payload_) {
            ++errors_;
            in_frame_ = false;
            stored_.clear();
            stray_bytes_ = true; // the rest of that frame is dropped silently
            continue;
        }
        stored_.push_back(byte);
    }
    return packets;
}

void Deframer::end_frame(std::vector<Bytes>& packets)
{
    in_frame_ = false;
    if (stored_.empty()) {
        ++errors_;
        return;
    }
    const uint8_t received = stored_.back();
    stored_.pop_back();
    uint8_t checksum = 0x7D;
    for (uint8_t b : stored_)
        checksum ^= b;
    if (checksum == received)
        packets.push_back(std::move(stored_));
    else
        ++errors_;
    stored_.clear();
}

void Deframer::reset()
{
    stored_.clear();
    in_frame_ = false;
    escape_pending_ = false;
    stray_bytes_ = false;
}

} // namespace simmodule
