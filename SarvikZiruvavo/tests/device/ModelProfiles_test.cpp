// Which profile each model of the family loads for each profile kind, and
// which kinds are a fault of the caller.
#include "core/SarvikDeviceConfiguration.hpp"
#include "core/SarvikDeviceInfo.hpp"
#include "device/ModelProfiles.hpp"
#include "support/QtPrinters.hpp"

#include <gtest/gtest.h>

namespace {

// 0 in the table: the kind is not offered; 1: nothing is loaded.
constexpr quint32 notOffered = 0;
constexpr quint32 nothing = 1;

constexpr quint32 baby = 0x47FABEBA;
constexpr quint32 adult = 0x064E57AD;
constexpr quint32 babyLoMem = 0xA9E03260;
constexpr quint32 adultLoMem = 0x4AC5D074;
constexpr quint32 presence = 0x014D4AB8;
constexpr quint32 baseband = 0x57DABF09;
constexpr quint32 heartrate = 0x6B5C1609;

TEST(ModelProfilesTest, EachModelLoadsItsProfilesAndRefusesTheOthers)
{
    const struct {
        quint32 deviceType;
        const char* model;
        // Kinds 0 to 9.
        quint32 profiles[10];
    } table[] = {
        { SarvikDeviceInfo::OspreyDevice, "Osprey",
            { notOffered, notOffered, notOffered, notOffered, notOffered, notOffered, presence, baseband,
                notOffered, nothing } },
        { SarvikDeviceInfo::FalconDevice, "Falcon",
            { notOffered, notOffered, baby, adult, babyLoMem, adultLoMem, notOffered, baseband, notOffered,
                nothing } },
        { SarvikDeviceInfo::MerlinDevice, "Merlin",
            { notOffered, notOffered, baby, adult, babyLoMem, adultLoMem, notOffered, baseband, notOffered,
                nothing } },
        // The Gannet loads its adult profile for the kinds it has none for.
        { SarvikDeviceInfo::GannetDevice, "Gannet",
            { adult, adult, baby, adult, babyLoMem, adultLoMem, adult, baseband, heartrate, nothing } },
    };
    for (const auto& row : table) {
        for (quint32 kind = 0; kind < 10; ++kind) {
            SCOPED_TRACE(std::string(row.model) + " kind " + std::to_string(kind));
            const ProfileLoad load = ospreyFamilyProfile(row.deviceType, kind);
            switch (row.profiles[kind]) {
            case notOffered:
                EXPECT_EQ(ProfileLoad::NotOffered, load.action);
                EXPECT_EQ(QStringLiteral("profile not supported for ") + row.model, load.text);
                break;
            case nothing:
                EXPECT_EQ(ProfileLoad::LoadNothing, load.action);
                break;
            default:
                EXPECT_EQ(ProfileLoad::Load, load.action);
                EXPECT_EQ(row.profiles[kind], load.profileId);
            }
        }
    }
}

TEST(ModelProfilesTest, FailureTextNamesTheProfileLoaded)
{
    const struct {
        quint32 kind;
        const char* text;
    } table[] = {
        { 2, "failed to load respiration baby profile" },
        { 3, "failed to load respiration adult profile" },
        { 4, "failed to load profile respiration_5" },
        { 5, "failed to load profile respiration_4" },
        { 7, "failed to load baseband profile" },
        { 8, "failed to load heartrate profile" },
        // The adult profile stands in for presence on a Gannet.
        { 6, "failed to load respiration adult profile" },
    };
    for (const auto& row : table)
        EXPECT_EQ(QString::fromLatin1(row.text),
            ospreyFamilyProfile(SarvikDeviceInfo::GannetDevice, row.kind).text);
    EXPECT_EQ(QStringLiteral("failed to load presence profile"),
        ospreyFamilyProfile(SarvikDeviceInfo::OspreyDevice, SarvikDeviceConfiguration::PresenceKind).text);
}

} // namespace
