// What decoding a module's baseband and pulse-Doppler stream costs the GUI
// thread. One frame of the stream: a baseband I/Q frame of 512 bins and, for
// each of the two Doppler instances, a complete matrix of 64 range rows of
// 2 × 64 values (128 half-row payloads), which a viewer then takes. Float and
// byte pulse-Doppler values are measured apart. Baseline: copying the same
// payloads once with memcpy. Goal: a stream of 17 frames a second costs under
// 1 % of a core.
#include "device/BasebandFrameDecoder.hpp"
#include "device/PulseDopplerDecoder.hpp"

#include "RatioReporter.hpp"

#include <QtEndian>
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <iostream>
#include <vector>

namespace {

const quint32 bins = 512;
const quint32 rangeRows = 64;
const quint32 halfWidth = 64;
const double framesPerSecond = 17.0;

class Payload {
public:
    Payload& u32(quint32 v)
    {
        char le[4];
        qToLittleEndian(v, le);
        bytes.append(le, 4);
        return *this;
    }
    Payload& f32(float v)
    {
        quint32 bits;
        std::memcpy(&bits, &v, 4);
        return u32(bits);
    }
    QByteArray bytes;
};

QByteArray basebandFrame()
{
    Payload p;
    p.u32(1).u32(bins).f32(0.05f).f32(0).f32(0).f32(0.2f);
    for (quint32 k = 0; k < 2 * bins; ++k)
        p.f32(std::sin(float(k)) * 1000.0f);
    return p.bytes;
}

QByteArray halfRow(bool byteValues, quint32 instance, quint32 row, bool first)
{
    Payload p;
    p.u32(0).u32(0).u32(row).u32(rangeRows).u32(halfWidth).u32(instance);
    if (byteValues)
        p.f32(-80.0f).f32(0.5f);
    p.f32(0).f32(0).f32(first ? -32.0f : 0.0f).f32(0.5f).f32(0.1f * float(row));
    for (quint32 k = 0; k < halfWidth; ++k) {
        if (byteValues)
            p.bytes.append(char((row * 7 + k * 13) % 251));
        else
            p.f32(1.0f + float((row * 7 + k * 13) % 251));
    }
    return p.bytes;
}

struct StreamFrame {
    QByteArray baseband;
    std::vector<QByteArray> halves;
    uint halfContentId;
    size_t bytes() const
    {
        size_t total = size_t(baseband.size());
        for (const QByteArray& h : halves)
            total += size_t(h.size());
        return total;
    }
};

StreamFrame streamFrame(bool byteValues)
{
    StreamFrame frame { basebandFrame(), {}, byteValues ? 0x11u : 0x10u };
    for (quint32 instance = 0; instance < 2; ++instance) {
        for (quint32 row = 0; row < rangeRows; ++row) {
            frame.halves.push_back(halfRow(byteValues, instance, row, true));
            frame.halves.push_back(halfRow(byteValues, instance, row, false));
        }
    }
    return frame;
}

void decode_stream_frame(benchmark::State& state)
{
    const StreamFrame frame = streamFrame(state.range(0) != 0);
    PulseDopplerDecoder decoder;
    // Like a surface series, the viewer holds the matrix it shows until the
    // next one replaces it.
    PulseDopplerDecoder::Matrix shown[PulseDopplerDecoder::instanceCount];
    int matrices = 0;
    for (auto _ : state) {
        const BasebandFrame decoded
            = BasebandFrameDecoder::decode(0x0C, frame.baseband, BasebandFrameDecoder::Scale::Logarithmic);
        benchmark::DoNotOptimize(decoded.amplitudeValues.size());
        for (const QByteArray& half : frame.halves) {
            if (const auto instance = decoder.addHalfRow(frame.halfContentId, half)) {
                shown[*instance] = decoder.takeOldestMatrix(*instance);
                ++matrices;
            }
        }
    }
    if (matrices != 2 * int(state.iterations()))
        state.SkipWithError("the stream did not make two matrices a frame");
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(frame.bytes()));
}
BENCHMARK(decode_stream_frame)->ArgName("byte")->Arg(0)->Arg(1);

void copy_stream_frame(benchmark::State& state)
{
    const StreamFrame frame = streamFrame(state.range(0) != 0);
    std::vector<char> copy(frame.bytes());
    for (auto _ : state) {
        char* at = copy.data();
        std::memcpy(at, frame.baseband.constData(), size_t(frame.baseband.size()));
        at += frame.baseband.size();
        for (const QByteArray& half : frame.halves) {
            std::memcpy(at, half.constData(), size_t(half.size()));
            at += half.size();
        }
        benchmark::DoNotOptimize(copy.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(frame.bytes()));
}
BENCHMARK(copy_stream_frame)->ArgName("byte")->Arg(0)->Arg(1);

} // namespace

int main(int argc, char** argv)
{
    RatioReporter reporter(bench::console_options(argc, argv));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const auto& t = reporter.times;
    std::cout << "\nOne stream frame (" << bins << "-bin I/Q frame, two " << rangeRows << " x "
              << 2 * halfWidth << " pulse-Doppler matrices):\n";
    for (const char* form : { "0", "1" }) {
        const std::string decode = std::string("decode_stream_frame/byte:") + form;
        const std::string copy = std::string("copy_stream_frame/byte:") + form;
        if (!t.count(decode) || !t.count(copy))
            continue;
        // Times are in nanoseconds per frame.
        const double share = t.at(decode) * framesPerSecond / 1e9 * 100.0;
        std::cout << "  " << (form[0] == '1' ? "byte" : "float") << " values: decoding against memcpy "
                  << t.at(decode) / t.at(copy) << " x; at " << framesPerSecond << " frames/s " << share
                  << " % of a core (goal < 1 %: " << bench::verdict(share < 1.0) << ")\n";
    }
    benchmark::Shutdown();
    return 0;
}
