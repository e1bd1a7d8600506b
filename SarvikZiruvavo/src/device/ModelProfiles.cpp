#include "ModelProfiles.hpp"

#include "core/SarvikDeviceConfiguration.hpp"
#include "core/SarvikDeviceInfo.hpp"

#include <array>

namespace {

using Kind = SarvikDeviceConfiguration;

struct KindProfile {
    quint32 id;
    const char* failure;
};

// Kinds 2 to 8; the two Corvid kinds have load commands of their own.
constexpr std::array<KindProfile, 7> kindProfiles { {
    { 0x47FABEBA, "failed to load respiration baby profile" },
    { 0x064E57AD, "failed to load respiration adult profile" },
    { 0xA9E03260, "failed to load profile respiration_5" },
    { 0x4AC5D074, "failed to load profile respiration_4" },
    { 0x014D4AB8, "failed to load presence profile" },
    { 0x57DABF09, "failed to load baseband profile" },
    { 0x6B5C1609, "failed to load heartrate profile" },
} };

ProfileLoad load(quint32 kind)
{
    const KindProfile& profile = kindProfiles[kind - Kind::BabyRespirationKind];
    return { ProfileLoad::Load, profile.id, QString::fromLatin1(profile.failure) };
}

bool offered(quint32 deviceType, quint32 kind)
{
    switch (deviceType) {
    case SarvikDeviceInfo::OspreyDevice:
        return kind == Kind::PresenceKind || kind == Kind::BasebandKind;
    case SarvikDeviceInfo::FalconDevice:
    case SarvikDeviceInfo::MerlinDevice:
        return (kind >= Kind::BabyRespirationKind && kind <= Kind::AdultRespirationLoMemKind)
            || kind == Kind::BasebandKind;
    default:
        // The Gannet loads its adult profile for the kinds it has no own profile for.
        return true;
    }
}

QString modelName(quint32 deviceType)
{
    switch (deviceType) {
    case SarvikDeviceInfo::OspreyDevice:
        return QStringLiteral("Osprey");
    case SarvikDeviceInfo::FalconDevice:
        return QStringLiteral("Falcon");
    default:
        return QStringLiteral("Merlin");
    }
}

} // namespace

ProfileLoad ospreyFamilyProfile(quint32 deviceType, quint32 profileKind)
{
    if (profileKind > Kind::HeartrateKind)
        return {};
    if (!offered(deviceType, profileKind))
        return { ProfileLoad::NotOffered, 0,
            QStringLiteral("profile not supported for ") + modelName(deviceType) };
    if (deviceType == SarvikDeviceInfo::GannetDevice
        && (profileKind == Kind::SleepKind || profileKind == Kind::RespirationKind
            || profileKind == Kind::PresenceKind))
        return load(Kind::AdultRespirationKind);
    return load(profileKind);
}

QList<ModuleOutput> ospreyFamilyOutputs(const SarvikDeviceInfo& info)
{
    if (info.deviceType == SarvikDeviceInfo::OspreyDevice)
        return { { 0x723BFA1E, QStringLiteral("failed to enable presence single") },
            { 0x723BFA1F, QStringLiteral("failed to enable presence movinglist") } };

    const ModuleOutput vitalSigns { 0x20020102, QStringLiteral("failed to enable vital signs output") };
    const ModuleOutput normalizedMovement { 0xC3A331CF,
        QStringLiteral("failed to enable respiration normalized movement list") };
    const ModuleOutput detectionList { 0x610A3B02,
        QStringLiteral("failed to enable respiration detection list") };
    const bool hasNormalizedMovement = (info.supportedApps & 0x800) != 0;

    QList<ModuleOutput> outputs;
    if (info.firmwareAtLeast1_5_10)
        outputs.append(vitalSigns);
    outputs.append({ 0x2375A16C, QStringLiteral("failed to enable respiration output") });
    outputs.append({ 0x2375FE26, QStringLiteral("failed to enable respiration legacy output") });
    outputs.append({ 0x610A3B00, QStringLiteral("failed to enable respiration moving list") });
    // The Falcon switches the normalized movement list on before the
    // detection list, the Merlin and the Gannet after it.
    if (info.deviceType == SarvikDeviceInfo::FalconDevice) {
        if (hasNormalizedMovement)
            outputs.append(normalizedMovement);
        outputs.append(detectionList);
    } else {
        outputs.append(detectionList);
        if (hasNormalizedMovement)
            outputs.append(normalizedMovement);
    }
    return outputs;
}

bool ospreyFamilySetsFrequencyBand(quint32 deviceType)
{
    return deviceType == SarvikDeviceInfo::MerlinDevice || deviceType == SarvikDeviceInfo::GannetDevice;
}
