// What the documents find: the program's fonts and its registered QML types.
#include "QmlTypes.hpp"
#include "support/QtPrinters.hpp"

#include <QFontInfo>
#include <QFontMetrics>
#include <QQmlEngine>
#include <gtest/gtest.h>

namespace {

TEST(QmlTypesTest, FontsCarryTheTextFontInPlaceOfTheNamedOneAndTheIcons)
{
    const QStringList families = loadFonts();
    EXPECT_TRUE(families.contains(QStringLiteral("Lato"))) << families.join(QLatin1Char(',')).toStdString();
    EXPECT_TRUE(families.contains(QStringLiteral("FontAwesome")))
        << families.join(QLatin1Char(',')).toStdString();
    // The pages ask for the text font by its name; the free one stands in.
    EXPECT_EQ(QFontInfo(QFont(QStringLiteral("Avenir Next"))).family(), QStringLiteral("Lato"));
    QFont bold(QStringLiteral("Avenir Next"));
    bold.setBold(true);
    EXPECT_TRUE(QFontInfo(bold).bold());
    // The glyphs the shell draws: spinner, back arrow, help.
    const QFontMetrics icons { QFont(QStringLiteral("FontAwesome")) };
    for (const char16_t glyph : { u'\uf110', u'\uf104', u'\uf128', u'\uf067', u'\uf068' })
        EXPECT_TRUE(icons.inFont(QChar(glyph))) << std::hex << int(glyph);
}

// The types come in one fixed order; the table grows by the classes still
// to come, each in its place.
TEST(QmlTypesTest, TypesAreRegisteredInTheirOrderAndImportable)
{
    const std::vector<std::pair<QString, QString>> fixedOrder {
        { QStringLiteral("com.sarvik.rvi.device"), QStringLiteral("Device") },
        { QStringLiteral("com.sarvik.rvi.deviceapp"), QStringLiteral("DeviceApp") },
        { QStringLiteral("com.sarvik.rvi.respiration"), QStringLiteral("RespirationApp") },
        { QStringLiteral("com.sarvik.rvi.respiration.adult"), QStringLiteral("AdultRespirationApp") },
        { QStringLiteral("com.sarvik.rvi.presence"), QStringLiteral("PresenceApp") },
        { QStringLiteral("com.sarvik.rvi.sleep"), QStringLiteral("SleepApp") },
        { QStringLiteral("com.sarvik.rvi.presence"), QStringLiteral("OnlineUpgrade") },
        { QStringLiteral("com.sarvik.colormapchart"), QStringLiteral("SvColormapChart") },
        { QStringLiteral("com.sarvik.rvi.firmwareimage"), QStringLiteral("FirmwareImage") },
    };
    registerQmlTypes();
    size_t next = 0;
    for (const QmlTypeName& type : qmlTypeNames()) {
        const std::pair<QString, QString> name { QString::fromLatin1(type.uri),
            QString::fromLatin1(type.name) };
        while (next < fixedOrder.size() && fixedOrder[next] != name)
            ++next;
        ASSERT_LT(next, fixedOrder.size()) << type.uri << " " << type.name << " is out of order or unknown";
        EXPECT_GE(qmlTypeId(type.uri, 1, 0, type.name), 0) << type.uri << " " << type.name;
    }
    EXPECT_GE(qmlTypeId("com.sarvik.colormapchart", 1, 0, "SvColormapChart"), 0);
    EXPECT_GE(qmlTypeId("com.sarvik.rvi.firmwareimage", 1, 0, "FirmwareImage"), 0);
}

} // namespace
