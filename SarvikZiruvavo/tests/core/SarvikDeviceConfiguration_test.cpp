#include "core/SarvikDeviceConfiguration.hpp"

#include <QMetaType>
#include <QVariant>
#include <gtest/gtest.h>

namespace {

TEST(SarvikDeviceConfigurationTest, FreshConfigurationAsksForNothingBeyondTheDefaults)
{
    const SarvikDeviceConfiguration config;
    EXPECT_EQ(nullptr, config.zoneStartResult);
    EXPECT_EQ(nullptr, config.zoneEndResult);
    EXPECT_EQ(0u, config.outputDataTypes);
    EXPECT_EQ(7u, config.noiseMapControl);
    EXPECT_EQ(0u, config.ioPinFeature);
    EXPECT_EQ(0u, config.debugDataTypes);
    EXPECT_EQ(Sarvik::PreferredSplitSize::NoSplit, config.debugSplitSize.get_type());
    EXPECT_TRUE(config.debugDirectory.isEmpty());
    EXPECT_FALSE(config.debugRecording);
}

// The configuration crosses to the worker's thread as a queued argument, a
// copy made by the meta-type system.
TEST(SarvikDeviceConfigurationTest, TravelsByItsRegisteredNameWithEveryField)
{
    registerSarvikDeviceConfiguration();
    registerSarvikDeviceConfiguration();
    const int type = QMetaType::type("SarvikDeviceConfiguration");
    ASSERT_NE(QMetaType::UnknownType, type);

    float start = 0.0f;
    SarvikDeviceConfiguration config;
    config.zoneStartResult = &start;
    config.outputDataTypes = 0x41;
    config.zoneStart = 0.4f;
    config.zoneEnd = 9.5f;
    config.profileKind = SarvikDeviceConfiguration::HeartrateKind;
    config.sensitivity = 9;
    config.ledMode = 1;
    config.moduleDebugLevel = 2;
    config.frequencyBand = 4;
    config.noiseMapControl = 3;
    config.ioPinFeature = 5;
    config.downconversion = 1;
    config.debugDataTypes = 0x30;
    config.debugSplitSize.set_byte_count(20000);
    config.debugDirectory = QStringLiteral("/tmp/debug");
    config.debugRecording = true;

    void* copy = QMetaType::create(type, &config);
    const auto& travelled = *static_cast<const SarvikDeviceConfiguration*>(copy);
    EXPECT_EQ(&start, travelled.zoneStartResult);
    EXPECT_EQ(nullptr, travelled.zoneEndResult);
    EXPECT_EQ(0x41u, travelled.outputDataTypes);
    EXPECT_EQ(0.4f, travelled.zoneStart);
    EXPECT_EQ(9.5f, travelled.zoneEnd);
    EXPECT_EQ(8u, travelled.profileKind);
    EXPECT_EQ(9u, travelled.sensitivity);
    EXPECT_EQ(1u, travelled.ledMode);
    EXPECT_EQ(2u, travelled.moduleDebugLevel);
    EXPECT_EQ(4u, travelled.frequencyBand);
    EXPECT_EQ(3u, travelled.noiseMapControl);
    EXPECT_EQ(5u, travelled.ioPinFeature);
    EXPECT_EQ(1u, travelled.downconversion);
    EXPECT_EQ(0x30u, travelled.debugDataTypes);
    EXPECT_EQ(20000, travelled.debugSplitSize.get_byte_count());
    EXPECT_EQ(QStringLiteral("/tmp/debug"), travelled.debugDirectory);
    EXPECT_TRUE(travelled.debugRecording);
    QMetaType::destroy(type, copy);
}

} // namespace
