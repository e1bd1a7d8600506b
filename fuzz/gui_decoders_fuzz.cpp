// Feeds arbitrary payloads to the desktop program's baseband frame decoder and
// pulse-Doppler matrix assembler, as the module's data packets reach them, and
// checks what comes out: lists no longer than the payload holds, at most 50
// finished matrices per instance, and matrices whose rows all have the width
// of a whole row.
//
// Input layout: byte 0 picks the baseband scale (bit 0: logarithmic). Then
// records: one kind byte, a little-endian u16 length and that many payload
// bytes (fewer at the end of the input). Kind bits 0-1 pick the content
// (0x0C, 0x0D, 0x10, 0x11); bit 2 has the viewer take the oldest matrix of
// instance bit 3 afterwards; bit 7 resets the assembler first.
#include "device/BasebandFrameDecoder.hpp"
#include "device/PulseDopplerDecoder.hpp"

#include <QByteArray>
#include <QtGlobal>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void require(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "decoder invariant broken: %s\n", what);
        std::abort();
    }
}

// Every refusal is logged as a warning: thousands a second while fuzzing.
void quiet(QtMsgType, const QMessageLogContext&, const QString&) { }

void checkMatrix(const PulseDopplerDecoder::Matrix& matrix)
{
    require(matrix && !matrix->isEmpty(), "a finished matrix has rows");
    const int width = matrix->first()->size();
    require(width % 2 == 0, "a row is two halves");
    for (const auto* row : *matrix)
        require(row->size() == width, "every row has the same width");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool installed = (qInstallMessageHandler(quiet), true);
    (void)installed;
    if (size == 0)
        return 0;
    const auto scale
        = (data[0] & 1) != 0 ? BasebandFrameDecoder::Scale::Logarithmic : BasebandFrameDecoder::Scale::Linear;
    const uint contentIds[] = { 0x0C, 0x0D, 0x10, 0x11 };

    PulseDopplerDecoder decoder;
    size_t at = 1;
    while (at + 3 <= size) {
        const uint8_t kind = data[at];
        const size_t length = std::min<size_t>(data[at + 1] | (data[at + 2] << 8), size - at - 3);
        const QByteArray payload(reinterpret_cast<const char*>(data + at + 3), int(length));
        at += 3 + length;

        if ((kind & 0x80) != 0)
            decoder.reset();
        const uint contentId = contentIds[kind & 3];
        if (BasebandFrameDecoder::isBasebandFrame(contentId)) {
            const BasebandFrame frame = BasebandFrameDecoder::decode(contentId, payload, scale);
            const qint64 floats = payload.size() > 24 ? (payload.size() - 24) / 4 : 0;
            require(frame.amplitudeValues.size() <= floats, "no more amplitudes than the payload holds");
            require(
                frame.phaseValues.size() <= frame.amplitudeValues.size(), "no more phases than amplitudes");
            require(frame.amplitudeValues.size() + frame.phaseValues.size() <= floats,
                "the lists fit the payload");
        } else if (const auto completed = decoder.addHalfRow(contentId, payload)) {
            require(*completed < PulseDopplerDecoder::instanceCount, "a completed instance exists");
            require(decoder.finishedMatrixCount(*completed) >= 1, "a completed matrix waits");
        }
        for (uint instance = 0; instance < PulseDopplerDecoder::instanceCount; ++instance)
            require(decoder.finishedMatrixCount(instance) <= PulseDopplerDecoder::maxFinishedMatrices,
                "at most 50 matrices wait");
        if ((kind & 4) != 0) {
            const uint instance = (kind >> 3) & 1;
            const bool waiting = decoder.finishedMatrixCount(instance) > 0;
            const PulseDopplerDecoder::Matrix matrix = decoder.takeOldestMatrix(instance);
            require(waiting == bool(matrix), "a waiting matrix is handed over");
            if (matrix)
                checkMatrix(matrix);
        }
    }
    return 0;
}
