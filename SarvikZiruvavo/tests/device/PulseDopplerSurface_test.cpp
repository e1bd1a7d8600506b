#include "device/PulseDopplerSurface.hpp"

#include "device/PulseDopplerDecoder.hpp"
#include "support/MessageLog.hpp"
#include "support/QtPrinters.hpp"

#include <QtDataVisualization/QSurface3DSeries>
#include <QtEndian>
#include <gtest/gtest.h>

#include <cstring>

namespace {

using QtDataVisualization::QSurface3DSeries;

// One complete byte-valued matrix of one row, two values a half, for the
// Doppler instance.
void addMatrix(PulseDopplerDecoder& decoder, quint32 instance)
{
    std::optional<uint> completed;
    for (float start : { -1.0f, 0.0f }) {
        QByteArray bytes;
        auto u32 = [&](quint32 v) {
            char le[4];
            qToLittleEndian(v, le);
            bytes.append(le, 4);
        };
        auto f32 = [&](float v) {
            quint32 bits;
            std::memcpy(&bits, &v, 4);
            u32(bits);
        };
        for (quint32 v : { 0u, 0u, 0u, 1u, 2u, instance })
            u32(v);
        for (float v : { -80.0f, 0.5f, 0.0f, 0.0f, start, 0.5f, 3.0f })
            f32(v);
        bytes.append("\x64\x64", 2);
        completed = decoder.addHalfRow(0x11, bytes);
    }
    ASSERT_EQ(std::optional<uint>(instance), completed);
}

TEST(PulseDopplerSurfaceTest, TheSeriesTakesTheOldestMatrixOfItsInstance)
{
    PulseDopplerDecoder decoder;
    addMatrix(decoder, 1);
    addMatrix(decoder, 1);
    QSurface3DSeries series;
    MessageLog log;

    PulseDopplerSurface::update(&series, decoder, 1);
    EXPECT_EQ(1, decoder.finishedMatrixCount(1));
    EXPECT_EQ(1, series.dataProxy()->rowCount());
    EXPECT_EQ(4, series.dataProxy()->columnCount());
    EXPECT_FLOAT_EQ(3.0f, series.dataProxy()->itemAt(0, 0)->z());
    EXPECT_TRUE(log.warnings().isEmpty());

    PulseDopplerSurface::reset(&series);
    EXPECT_EQ(0, series.dataProxy()->rowCount());
    EXPECT_EQ(1, decoder.finishedMatrixCount(1));
}

TEST(PulseDopplerSurfaceTest, RefusalsLeaveTheSeriesAndTheMatricesAlone)
{
    PulseDopplerDecoder decoder;
    addMatrix(decoder, 0);
    QSurface3DSeries series;
    MessageLog log;

    PulseDopplerSurface::update(nullptr, decoder, 0);
    PulseDopplerSurface::update(&series, decoder, 2);
    PulseDopplerSurface::update(&series, decoder, 1);
    PulseDopplerSurface::reset(nullptr);

    EXPECT_EQ((QStringList { "WARNING: attempting to update null surface object",
                  "WARNING: attempting to update invalid doppler instance: 2",
                  "WARNING: attempting to update pulse doppler array while no data available" }),
        log.warnings());
    EXPECT_EQ(1, decoder.finishedMatrixCount(0));
    EXPECT_EQ(0, series.dataProxy()->rowCount());
}

} // namespace
