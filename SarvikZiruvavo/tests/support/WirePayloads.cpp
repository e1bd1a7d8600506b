#include "WirePayloads.hpp"

#include "simmodule/PayloadWriter.hpp"

#include <cstdio>

namespace wire {

namespace {

using simmodule::PayloadWriter;

// Application parameters: set 10 10 id values, get 10 11 id.
constexpr uint32_t detectionZoneParameter = 0x96A10A1C;
constexpr uint32_t sensitivityParameter = 0x10A5112B;
constexpr uint32_t txCenterFrequencyParameter = 0x71AF2A2B;

PayloadWriter head(uint8_t first, uint8_t second)
{
    PayloadWriter writer;
    writer.u8(first).u8(second);
    return writer;
}

} // namespace

Bytes ping()
{
    return PayloadWriter().u8(0x01).u32(0xEEAAEAAE).take();
}

Bytes sensorMode(uint8_t mode)
{
    return { 0x20, mode };
}

Bytes sensorIdle()
{
    return sensorMode(0x11);
}

Bytes moduleReset()
{
    return { 0x22 };
}

Bytes debugLevel(uint8_t level)
{
    return { 0xB0, level };
}

Bytes loadProfile(uint32_t id)
{
    return PayloadWriter().u8(0x21).u32(id).take();
}

Bytes outputControl(uint32_t output, uint32_t control)
{
    return head(0x41, 0x10).u32(output).u32(control).take();
}

Bytes noiseMapControl(uint32_t control)
{
    return head(0x25, 0x10).u32(control).take();
}

Bytes setDetectionZone(float start, float end)
{
    return head(0x10, 0x10).u32(detectionZoneParameter).f32(start).f32(end).take();
}

Bytes getDetectionZone()
{
    return head(0x10, 0x11).u32(detectionZoneParameter).take();
}

Bytes sensitivity(uint32_t value)
{
    return head(0x10, 0x10).u32(sensitivityParameter).u32(value).take();
}

Bytes txCenterFrequency(uint32_t band)
{
    return head(0x10, 0x10).u32(txCenterFrequencyParameter).u32(band).take();
}

Bytes ledControl(uint8_t mode, uint8_t intensity)
{
    return { 0x24, mode, intensity };
}

Bytes ioPinControl(uint32_t pin, uint32_t setup, uint32_t feature)
{
    return head(0x40, 0x10).u32(pin).u32(setup).u32(feature).take();
}

Bytes storeNoiseMap()
{
    return { 0x10, 0x13 };
}

Bytes loadNoiseMap()
{
    return { 0x10, 0x14 };
}

Bytes loadSleepProfile()
{
    return loadProfile(0x00F17B17);
}

Bytes loadRespirationProfile()
{
    return loadProfile(0x1423A2D6);
}

Bytes corvidBaseband(uint32_t kind, bool enable)
{
    // The system family's integer setting: id 0x10, a count, the values.
    PayloadWriter writer = head(0x90, 0x71);
    writer.u32(0x10).u32(enable ? 1 : 0);
    if (enable)
        writer.u32(kind);
    return writer.take();
}

Bytes chipSetU8(uint32_t parameter, uint8_t value)
{
    return head(0x50, 0x10).u32(parameter).u8(value).take();
}

Bytes chipSetU32(uint32_t parameter, uint32_t value)
{
    return head(0x50, 0x10).u32(parameter).u32(value).take();
}

Bytes chipSetF32(uint32_t parameter, float value)
{
    return head(0x50, 0x10).u32(parameter).f32(value).take();
}

Bytes chipSetArea(float start, float end)
{
    return head(0x50, 0x10).u32(chip::frameArea).f32(start).f32(end).take();
}

Bytes chipGet(uint32_t parameter)
{
    return head(0x50, 0x11).u32(parameter).take();
}

Bytes openFile(uint32_t type, uint32_t id)
{
    return head(0x90, 0x72).u32(type).u32(id).take();
}

Bytes fileLength(uint32_t type, uint32_t id)
{
    return head(0x90, 0x69).u32(type).u32(id).take();
}

Bytes fileData(uint32_t type, uint32_t id, uint32_t offset, uint32_t length)
{
    return head(0x90, 0x71).u32(type).u32(id).u32(offset).u32(length).take();
}

Bytes closeFile(uint32_t type, uint32_t id, bool commit)
{
    return head(0x90, 0x68).u32(type).u32(id).u32(commit ? 1 : 0).take();
}

Bytes deleteFile(uint32_t type, uint32_t id)
{
    return head(0x90, 0x70).u32(type).u32(id).take();
}

std::string toHex(const Bytes& bytes)
{
    std::string text;
    char digits[4];
    for (const uint8_t byte : bytes) {
        std::snprintf(digits, sizeof digits, "%s%02x", text.empty() ? "" : " ", byte);
        text += digits;
    }
    return text;
}

} // namespace wire
