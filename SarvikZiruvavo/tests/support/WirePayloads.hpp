// The command payloads a module receives, written from the protocol's rules
// apart from the library's command builders, so that a fault in either shows
// as a mismatch. Multi-byte values are little-endian.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace wire {

using Bytes = std::vector<uint8_t>;

Bytes ping(); // 01, the ping's fixed value
Bytes sensorMode(uint8_t mode); // 20 mode (0x01 run, 0x11 idle, 0x13 stop)
Bytes sensorIdle(); // 20 11
Bytes moduleReset(); // 22
Bytes debugLevel(uint8_t level); // b0 level
Bytes loadProfile(uint32_t id); // 21 id
Bytes outputControl(uint32_t output, uint32_t control); // 41 10 output control
Bytes noiseMapControl(uint32_t control); // 25 10 control
Bytes setDetectionZone(float start, float end);
Bytes getDetectionZone();
Bytes sensitivity(uint32_t value);
Bytes txCenterFrequency(uint32_t band);
Bytes ledControl(uint8_t mode, uint8_t intensity); // 24 mode intensity
Bytes ioPinControl(uint32_t pin, uint32_t setup, uint32_t feature); // 40 10 ...
Bytes storeNoiseMap(); // 10 13
Bytes loadNoiseMap(); // 10 14

// The older module's profiles and baseband switches.
Bytes loadSleepProfile();
Bytes loadRespirationProfile();
// kind 1 IQ, 2 amplitude/phase; switched off, the command carries no value.
Bytes corvidBaseband(uint32_t kind, bool enable);

// The radar chip driver: set (50 10) and get (50 11) by parameter id.
Bytes chipSetU8(uint32_t parameter, uint8_t value);
Bytes chipSetU32(uint32_t parameter, uint32_t value);
Bytes chipSetF32(uint32_t parameter, float value);
Bytes chipSetArea(float start, float end);
Bytes chipGet(uint32_t parameter);
namespace chip {
constexpr uint32_t fps = 0x10;
constexpr uint32_t pulsesPerStep = 0x11;
constexpr uint32_t iterations = 0x12;
constexpr uint32_t downconversion = 0x13;
constexpr uint32_t frameArea = 0x14;
constexpr uint32_t dacMin = 0x16;
constexpr uint32_t dacMax = 0x17;
constexpr uint32_t txCenterFrequency = 0x20;
} // namespace chip

// The module's file system (system family 90).
Bytes openFile(uint32_t type, uint32_t id); // 90 72
Bytes fileLength(uint32_t type, uint32_t id); // 90 69
Bytes fileData(uint32_t type, uint32_t id, uint32_t offset, uint32_t length); // 90 71
Bytes closeFile(uint32_t type, uint32_t id, bool commit); // 90 68
Bytes deleteFile(uint32_t type, uint32_t id); // 90 70

// "50 1e fa 3b 72".
std::string toHex(const Bytes& bytes);

} // namespace wire
