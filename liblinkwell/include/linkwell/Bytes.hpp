// The byte vector that carries every command, reply, packet and payload.
// Multi-byte values inside it are little-endian.
#pragma once

#include <cstdint>
#include <vector>

using Bytes = std::vector<uint8_t>;
