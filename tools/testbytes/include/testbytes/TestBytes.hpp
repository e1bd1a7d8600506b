// Byte helpers shared by every test program and test tool.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace testbytes {

using Bytes = std::vector<uint8_t>;

// Parses "7d 26 5b 7e" (blanks and commas optional, case-insensitive) into
// bytes; throws std::invalid_argument for anything else.
Bytes hex(const std::string& text);
// Formats bytes as "7d 26 5b 7e".
std::string to_hex(const Bytes& bytes);

// A framed packet, built by hand from the framing rules: 0x7D, the payload
// and the checksum (0x7D XOR every payload byte) with 0x7D, 0x7E and 0x7F
// escaped by 0x7F, then 0x7E. Written apart from the library's codec and the
// simulated module's framing, so that a fault in either cannot hide itself in
// the expected frames.
Bytes frame(const Bytes& payload);

// Reads a file descriptor (a socket, a terminal's other end; blocking or
// not) until `count` bytes have come, it ends or fails, or the timeout has
// passed. Never reads beyond `count`, so what follows stays for the next
// read.
Bytes read_exactly(int fd, std::size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(5));

} // namespace testbytes
