// How a getter's result is taken from the data of its reply: the bytes that
// the data must hold at least, and the value made of them. Values lie at the
// start of the data, little-endian; texts and bulk reads take every data
// byte. RadarInterface::get reads every getter's result through these.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <tuple>
#include <utility>

#include "command/CommandRow.hpp"
#include "command/RadarInterface.hpp"
#include "common/LittleEndian.hpp"
#include <linkwell/Bytes.hpp>
#include <linkwell/SarvikData.hpp>

template <typename T> struct ReplyValue;

template <> struct ReplyValue<uint8_t> {
    static constexpr std::size_t size = 1;
    static uint8_t from(const Bytes& data) { return data[0]; }
};

template <> struct ReplyValue<uint32_t> {
    static constexpr std::size_t size = 4;
    static uint32_t from(const Bytes& data) { return little_endian::u32(data.data()); }
};

template <> struct ReplyValue<float> {
    static constexpr std::size_t size = 4;
    static float from(const Bytes& data) { return little_endian::f32(data.data()); }
};

template <> struct ReplyValue<std::pair<uint32_t, uint32_t>> {
    static constexpr std::size_t size = 8;
    static std::pair<uint32_t, uint32_t> from(const Bytes& data)
    {
        return { little_endian::u32(data.data()), little_endian::u32(data.data() + 4) };
    }
};

template <> struct ReplyValue<std::pair<float, float>> {
    static constexpr std::size_t size = 8;
    static std::pair<float, float> from(const Bytes& data)
    {
        return { little_endian::f32(data.data()), little_endian::f32(data.data() + 4) };
    }
};

template <> struct ReplyValue<std::tuple<float, float, float>> {
    static constexpr std::size_t size = 12;
    static std::tuple<float, float, float> from(const Bytes& data)
    {
        return { little_endian::f32(data.data()), little_endian::f32(data.data() + 4),
            little_endian::f32(data.data() + 8) };
    }
};

template <> struct ReplyValue<Sarvik::FrameArea> {
    static constexpr std::size_t size = 8;
    static Sarvik::FrameArea from(const Bytes& data)
    {
        Sarvik::FrameArea area;
        area.start = little_endian::f32(data.data());
        area.end = little_endian::f32(data.data() + 4);
        return area;
    }
};

template <> struct ReplyValue<Bytes> {
    static constexpr std::size_t size = 0;
    static Bytes from(const Bytes& data) { return data; }
};

template <> struct ReplyValue<std::string> {
    static constexpr std::size_t size = 0;
    static std::string from(const Bytes& data) { return std::string(data.begin(), data.end()); }
};

template <typename T> T RadarInterface::get(const CommandRow& row, const Bytes& command)
{
    ReplyData reply = reply_data(row, command, ReplyValue<T>::size);
    if (reply.refused)
        refuse(row, reply.code);
    return ReplyValue<T>::from(reply.data);
}
