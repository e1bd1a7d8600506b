#include "QmlTypes.hpp"

#include "apps/AdultRespirationApp.hpp"
#include "apps/DeviceApp.hpp"
#include "apps/PresenceApp.hpp"
#include "apps/RespirationApp.hpp"
#include "apps/SleepApp.hpp"
#include "charts/ColormapChart.hpp"
#include "core/OnlineUpgrade.hpp"
#include "device/Device.hpp"
#include "device/DeviceManager.hpp"
#include "firmware/FirmwareImage.hpp"

#include <QFont>
#include <QFontDatabase>
#include <QQmlEngine>

namespace {

struct QmlType {
    QmlTypeName name;
    int (*registerAs)(const char* uri, const char* name);
};

template <typename T> int registerAs(const char* uri, const char* name)
{
    return qmlRegisterType<T>(uri, 1, 0, name);
}

// In this order.
const QmlType programTypes[] = {
    { { "com.sarvik.rvi.device", "Device" }, &registerAs<Device> },
    { { "com.sarvik.rvi.deviceapp", "DeviceApp" }, &registerAs<DeviceApp> },
    { { "com.sarvik.rvi.respiration", "RespirationApp" }, &registerAs<RespirationApp> },
    { { "com.sarvik.rvi.respiration.adult", "AdultRespirationApp" }, &registerAs<AdultRespirationApp> },
    { { "com.sarvik.rvi.presence", "PresenceApp" }, &registerAs<PresenceApp> },
    { { "com.sarvik.rvi.sleep", "SleepApp" }, &registerAs<SleepApp> },
    { { "com.sarvik.rvi.presence", "OnlineUpgrade" }, &registerAs<OnlineUpgrade> },
    { { "com.sarvik.colormapchart", "SvColormapChart" }, &registerAs<ColormapChart> },
    { { "com.sarvik.rvi.firmwareimage", "FirmwareImage" }, &registerAs<FirmwareImage> },
};

// The text font the pages ask for by name, and the free font the program
// carries in its place (README.md, "Fonts").
const char* const textFontFamily = "Avenir Next";

const char* const textFontFiles[] = { ":/fonts/Lato-Regular.ttf", ":/fonts/Lato-Bold.ttf" };
const char* const iconFontFile = ":/fonts/fontawesome-webfont.ttf";

QStringList addFont(const char* file)
{
    return QFontDatabase::applicationFontFamilies(
        QFontDatabase::addApplicationFont(QString::fromLatin1(file)));
}

} // namespace

QStringList loadFonts()
{
    QStringList families;
    for (const char* file : textFontFiles)
        families += addFont(file);
    if (!families.isEmpty())
        QFont::insertSubstitution(QString::fromLatin1(textFontFamily), families.first());
    families += addFont(iconFontFile);
    families.removeDuplicates();
    return families;
}

void registerQmlTypes()
{
    for (const QmlType& type : programTypes)
        type.registerAs(type.name.uri, type.name.name);
}

std::vector<QmlTypeName> qmlTypeNames()
{
    std::vector<QmlTypeName> names;
    for (const QmlType& type : programTypes)
        names.push_back(type.name);
    return names;
}

std::unique_ptr<QObject> createDeviceManager()
{
    return std::make_unique<DeviceManager>();
}
