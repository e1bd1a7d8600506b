// The module's raw outputs through its Device: baseband frames decoded on the
// Device's scale, the GUI's baseband switch, and pulse-Doppler rows assembled
// into matrices that a 3-D surface series takes.
#include "device/Device.hpp"

#include "support/DeviceHarness.hpp"
#include "support/MessageLog.hpp"
#include "support/QtPrinters.hpp"
#include "support/WirePayloads.hpp"

#include "simmodule/Personality.hpp"

#include <QSignalSpy>
#include <QtDataVisualization/QSurface3DSeries>
#include <QtEndian>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <map>

namespace {

using QtDataVisualization::QSurface3DSeries;

float f32At(const QByteArray& data, int offset)
{
    const quint32 bits = qFromLittleEndian<quint32>(data.constData() + offset);
    float value = 0.0f;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

SarvikDeviceConfiguration withOutputs(quint32 outputDataTypes)
{
    SarvikDeviceConfiguration config;
    config.profileKind = SarvikDeviceConfiguration::PresenceKind;
    config.zoneStart = 0.5f;
    config.zoneEnd = 4.0f;
    config.outputDataTypes = outputDataTypes;
    return config;
}

// The amplitudes the module sent in each amplitude/phase frame, by frame
// counter, from the payloads the Device relays.
std::map<uint, QList<float>> sentAmplitudes(const QSignalSpy& relayed)
{
    std::map<uint, QList<float>> frames;
    for (const QList<QVariant>& signal : relayed) {
        const QByteArray payload = signal.at(1).toByteArray();
        if (signal.at(0).toUInt() != 0x0D || payload.size() < 24)
            continue;
        const quint32 bins = qFromLittleEndian<quint32>(payload.constData() + 4);
        QList<float> amplitudes;
        for (quint32 k = 0; k < bins; ++k)
            amplitudes.append(f32At(payload, 24 + 4 * int(k)));
        frames[qFromLittleEndian<quint32>(payload.constData())] = amplitudes;
    }
    return frames;
}

// Each decoded frame against what was sent: the amplitudes as the scale
// shows them.
void expectFramesOnScale(const QSignalSpy& decoded, const QSignalSpy& relayed, bool logarithmic)
{
    const std::map<uint, QList<float>> sent = sentAmplitudes(relayed);
    ASSERT_GE(decoded.count(), 2);
    for (const QList<QVariant>& frame : decoded) {
        EXPECT_EQ(0x0Du, frame.at(0).toUInt());
        const auto amplitudes = frame.at(4).value<QList<qreal>>();
        const auto phases = frame.at(5).value<QList<qreal>>();
        const auto raw = sent.find(frame.at(1).toUInt());
        ASSERT_NE(sent.end(), raw) << "frame " << frame.at(1).toUInt() << " was not relayed";
        ASSERT_EQ(raw->second.size(), amplitudes.size());
        EXPECT_EQ(32, phases.size());
        for (int k = 0; k < amplitudes.size(); ++k) {
            const double expected
                = logarithmic ? 10.0 * std::log10(raw->second.at(k)) : std::sqrt(raw->second.at(k));
            EXPECT_NEAR(expected, amplitudes.at(k), 1e-4 * std::fabs(expected)) << "bin " << k;
        }
        EXPECT_NEAR(0.0514, frame.at(2).toDouble(), 1e-6);
        EXPECT_NEAR(0.3, frame.at(3).toDouble(), 1e-6);
    }
}

TEST(DeviceRawDataTest, BasebandFramesAreDecodedOnTheDevicesScale)
{
    DeviceOverModule osprey(simmodule::personality("osprey"), SarvikDeviceInfo::OspreyDevice, 0x10);
    Device& device = *osprey.device();
    QSignalSpy relayed(&device, &Device::sigNewDataApp);
    QSignalSpy decoded(&device, &Device::sigNewBasebandFrame);
    ASSERT_TRUE(device.configure(withOutputs(0x1)));
    ASSERT_TRUE(waitUntil([&] { return decoded.count() >= 2; }));
    expectFramesOnScale(decoded, relayed, false);

    device.setBasebandScale(Device::LogarithmicBasebandScale);
    decoded.clear();
    ASSERT_TRUE(waitUntil([&] { return decoded.count() >= 2; }));
    expectFramesOnScale(decoded, relayed, true);
}

// The GUI's switch turns amplitude/phase frames on through the worker; a
// change of the active application turns them off again.
TEST(DeviceRawDataTest, GuiBasebandSwitchReachesTheModule)
{
    FakeAppFactory factory;
    DeviceOverModule osprey(simmodule::personality("osprey"), SarvikDeviceInfo::OspreyDevice, 0x10, &factory);
    Device& device = *osprey.device();
    device.setActive(true);
    ASSERT_TRUE(device.configure(withOutputs(0)));
    QSignalSpy decoded(&device, &Device::sigNewBasebandFrame);
    osprey.clearReceived();

    device.setBasebandEnabled(true);
    ASSERT_TRUE(waitUntil([&] { return decoded.count() >= 1; }));
    EXPECT_TRUE(osprey.received({ wire::outputControl(0x0D, 1) }));

    osprey.clearReceived();
    device.setDeviceAppActivatedAt(0, true);
    EXPECT_FALSE(device.basebandEnabled());
    EXPECT_TRUE(osprey.received({ wire::outputControl(0x0D, 0) }));
}

struct SurfaceRow {
    const char* name;
    quint32 outputDataType;
};

class DeviceSurfaceTest : public ::testing::TestWithParam<SurfaceRow> { };

// Matrices of 8 range rows of 2 x 16 values, for both Doppler instances; the
// module's values lie between -60 and 20 dB.
TEST_P(DeviceSurfaceTest, PulseDopplerMatricesReachTheSurfaceSeries)
{
    DeviceOverModule osprey(simmodule::personality("osprey"), SarvikDeviceInfo::OspreyDevice, 0x10);
    Device& device = *osprey.device();
    QSignalSpy available(&device, &Device::sigNewPulseDopplerSurfaceDataAvailable);
    ASSERT_TRUE(device.configure(withOutputs(GetParam().outputDataType)));
    const auto instanceSeen = [&](uint instance) {
        for (const QList<QVariant>& signal : available)
            if (signal.at(0).toUInt() == instance)
                return true;
        return false;
    };
    ASSERT_TRUE(waitUntil([&] { return instanceSeen(0) && instanceSeen(1); }));

    QSurface3DSeries series;
    device.updatePulseDopplerArray(&series, 1);
    const QtDataVisualization::QSurfaceDataProxy* proxy = series.dataProxy();
    ASSERT_EQ(8, proxy->rowCount());
    ASSERT_EQ(32, proxy->columnCount());
    for (int row = 0; row < proxy->rowCount(); ++row) {
        EXPECT_NEAR(-8.0, proxy->itemAt(row, 0)->x(), 1e-5);
        EXPECT_NEAR(7.5, proxy->itemAt(row, 31)->x(), 1e-5);
        EXPECT_NEAR(0.3 + 0.25 * row, proxy->itemAt(row, 0)->z(), 1e-5);
        for (int column = 0; column < proxy->columnCount(); ++column) {
            const float y = proxy->itemAt(row, column)->y();
            EXPECT_TRUE(y >= -60.01f && y <= 20.01f) << row << "," << column << ": " << y;
        }
    }

    device.resetPulseDopplerArray(&series);
    EXPECT_EQ(0, proxy->rowCount());
    device.resetPulseDopplerArray(nullptr);

    // Dropped: a viewer that asks finds nothing.
    device.setPulseDopplerEnabled(false);
    ASSERT_TRUE(device.configure(withOutputs(0)));
    device.resetPulseDopplerData();
    MessageLog log;
    device.updatePulseDopplerArray(&series, 0);
    EXPECT_EQ(1,
        log.count(
            QStringLiteral("WARNING: attempting to update pulse doppler array while no data available")));
    EXPECT_EQ(0, proxy->rowCount());
}

INSTANTIATE_TEST_SUITE_P(Values, DeviceSurfaceTest,
    ::testing::Values(SurfaceRow { "Bytes", 0x80 }, SurfaceRow { "Floats", 0x40 }),
    [](const ::testing::TestParamInfo<SurfaceRow>& row) { return std::string(row.param.name); });

} // namespace
