#include "firmware/FirmwareManager.hpp"
#include "firmware/IntelHexImage.hpp"
#include "support/MessageLog.hpp"
#include "support/QtPrinters.hpp"

#include <QFile>
#include <gtest/gtest.h>

namespace {

using FW = FirmwareImage;

QString shippedList()
{
    QFile file(QStringLiteral(":/fw-images.xml"));
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.readAll());
}

QString firmware(const char* cls, const char* version, const char* notes, const char* filename = nullptr)
{
    QString element = QStringLiteral("<firmware class=\"%1\" version=\"%2\"")
                          .arg(QLatin1String(cls), QLatin1String(version));
    if (filename)
        element += QStringLiteral(" filename=\"%1\"").arg(QLatin1String(filename));
    return element
        + QStringLiteral("><releasenotes>%1</releasenotes></firmware>").arg(QString::fromUtf8(notes));
}

QString list(const QStringList& elements)
{
    return QStringLiteral("<fw_images>") + elements.join(QString()) + QStringLiteral("</fw_images>");
}

QStringList versions(const QList<FirmwareImage*>& images)
{
    QStringList out;
    for (const FirmwareImage* image : images)
        out << image->version();
    return out;
}

class ShippedListTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const QString text = shippedList();
        ASSERT_FALSE(text.isEmpty());
        manager.loadImageList(text);
    }
    FirmwareManager manager;
};

TEST_F(ShippedListTest, ListsImagesNewestFirstByNumber)
{
    EXPECT_EQ(versions(manager.imagesOfClass(FW::Vallorin)),
        (QStringList { QStringLiteral("1.6.8"), QStringLiteral("1.6.6"), QStringLiteral("1.5.10"),
            QStringLiteral("1.4.7") }));
    EXPECT_EQ(versions(manager.imagesOfClass(FW::DAX)), QStringList { QStringLiteral("3.3.0") });
    EXPECT_TRUE(manager.imagesOfClass(FW::UnknownClass).isEmpty());
    EXPECT_EQ(manager.latestVersion(FW::Vallorin), QStringLiteral("1.6.8"));
    EXPECT_EQ(manager.latestVersion(FW::DAX), QStringLiteral("3.3.0"));
    EXPECT_EQ(manager.latestVersion(FW::UnknownClass), QString());
    const FirmwareImage* newest = manager.imagesOfClass(FW::Vallorin).first();
    EXPECT_EQ(newest->firmwareClass(), FW::Vallorin);
    EXPECT_TRUE(newest->releasenotes().startsWith(QStringLiteral("•")));
}

TEST_F(ShippedListTest, StateOfADeviceAgainstTheNewestImageOfItsClass)
{
    const struct {
        FW::FirmwareClass cls;
        const char* device;
        FW::FirmwareState state;
    } table[] = {
        { FW::Vallorin, "1.6.8", FW::DeviceOnLatest },
        { FW::Vallorin, "1.6.6", FW::DeviceIsBehind },
        { FW::Vallorin, "1.5.10", FW::DeviceIsBehind },
        { FW::Vallorin, "1.7.0", FW::DeviceIsAhead },
        { FW::Vallorin, "1.10.0", FW::DeviceIsAhead },
        { FW::Vallorin, "(unknown)", FW::DeviceIsBehind },
        { FW::DAX, "3.3.0", FW::DeviceOnLatest },
        { FW::DAX, "3.2.9", FW::DeviceIsBehind },
        { FW::UnknownClass, "1.6.8", FW::FirmwareNotOnDisk },
    };
    for (const auto& row : table)
        EXPECT_EQ(manager.stateForVersion(row.cls, QString::fromLatin1(row.device)), row.state) << row.device;
}

TEST_F(ShippedListTest, FileNamesAndResourcePathsOfImages)
{
    const struct {
        FW::FirmwareClass cls;
        const char* version;
        const char* file;
        const char* path;
    } table[] = {
        { FW::Vallorin, "1.5.10", "Vallorin_4bl_cert.hex", ":/hex/vallorin/1.5.10/Vallorin_4bl_cert.hex" },
        { FW::Vallorin, "1.4.7", "Vallorin_4bl_cert.hex", ":/hex/vallorin/1.4.7/Vallorin_4bl_cert.hex" },
        { FW::Vallorin, "1.6.8", "Vallorin_4bl_cert_lite.hex",
            ":/hex/vallorin/1.6.8/Vallorin_4bl_cert_lite.hex" },
        { FW::DAX, "3.3.0", "dax_egret_s70_4bl.hex", ":/hex/dax/3.3.0/dax_egret_s70_4bl.hex" },
        // The version text must match exactly, and within the class.
        { FW::Vallorin, "9.9.9", "", "" },
        { FW::Vallorin, "1.6.08", "", "" },
        { FW::DAX, "1.6.8", "", "" },
        { FW::UnknownClass, "3.3.0", "", "" },
    };
    for (const auto& row : table) {
        EXPECT_EQ(manager.fileName(row.cls, QLatin1String(row.version)), QLatin1String(row.file))
            << row.version;
        EXPECT_EQ(manager.imagePath(row.cls, QLatin1String(row.version)), QLatin1String(row.path))
            << row.version;
    }
}

// Every listed image lies in the resources where its path says, and loads.
TEST_F(ShippedListTest, EveryListedImageIsInTheResources)
{
    for (FW::FirmwareClass cls : { FW::Vallorin, FW::DAX }) {
        for (const FirmwareImage* image : manager.imagesOfClass(cls)) {
            const QString path = manager.imagePath(cls, image->version());
            ASSERT_TRUE(QFile::exists(path)) << path.toStdString();
            IntelHexImage hex(path);
            EXPECT_TRUE(hex.load()) << path.toStdString();
        }
    }
}

TEST(FirmwareManagerTest, ImagesOfTwoClassesWithEqualVersionsBothStay)
{
    FirmwareManager manager;
    manager.loadImageList(list({ firmware("vallorin", "3.3.0", "v1", "v.hex"), firmware("DAX", "3.3.0", "d1"),
        firmware("dax", "3.3.0", "d2", "d2.hex") }));
    // Within a class the later image replaces the earlier one.
    const QList<FirmwareImage*> dax = manager.imagesOfClass(FW::DAX);
    ASSERT_EQ(dax.size(), 1);
    EXPECT_EQ(dax.first()->releasenotes(), QStringLiteral("d2"));
    EXPECT_EQ(manager.fileName(FW::DAX, QStringLiteral("3.3.0")), QStringLiteral("d2.hex"));
    const QList<FirmwareImage*> vallorin = manager.imagesOfClass(FW::Vallorin);
    ASSERT_EQ(vallorin.size(), 1);
    EXPECT_EQ(vallorin.first()->releasenotes(), QStringLiteral("v1"));
    EXPECT_EQ(manager.fileName(FW::Vallorin, QStringLiteral("3.3.0")), QStringLiteral("v.hex"));
}

TEST(FirmwareManagerTest, OneImageInTheWholeListIsTheSingleSupportedOne)
{
    FirmwareManager manager;
    manager.loadImageList(list({ firmware("dax", "3.3.0", "only") }));
    EXPECT_EQ(manager.stateForVersion(FW::DAX, QStringLiteral("3.3.0")), FW::DeviceOnSingleSupported);
    EXPECT_EQ(manager.stateForVersion(FW::DAX, QStringLiteral("3.4")), FW::DeviceIsAhead);
}

TEST(FirmwareManagerTest, ImageWithoutReleaseNotesKeepsItsNeighboursNotes)
{
    FirmwareManager manager;
    manager.loadImageList(list({ QStringLiteral("<firmware class=\"vallorin\" version=\"1.0\"/>"),
        firmware("vallorin", "2.0", "two") }));
    const QList<FirmwareImage*> images = manager.imagesOfClass(FW::Vallorin);
    ASSERT_EQ(versions(images), (QStringList { QStringLiteral("2.0"), QStringLiteral("1.0") }));
    EXPECT_EQ(images[0]->releasenotes(), QStringLiteral("two"));
    EXPECT_EQ(images[1]->releasenotes(), QString());
}

TEST(FirmwareManagerTest, MalformedListKeepsTheImagesBeforeTheFault)
{
    FirmwareManager manager;
    MessageLog log;
    manager.loadImageList(QStringLiteral("<fw_images>") + firmware("vallorin", "1.0", "one")
        + QStringLiteral(
            "<firmware class=\"vallorin\" version=\"2.0\"><releasenotes>a<b/></releasenotes></firmware>")
        + firmware("vallorin", "3.0", "three") + QStringLiteral("</fw_images>"));
    EXPECT_EQ(versions(manager.imagesOfClass(FW::Vallorin)), QStringList { QStringLiteral("1.0") });
    EXPECT_EQ(log.warnings().size(), 1);
}

TEST(FirmwareManagerDeathTest, ProgramErrorsStopTheProgram)
{
    FirmwareManager manager;
    const QString badClass = list({ firmware("vallorin", "1.0", "ok"), firmware("falcon", "1.0", "bad") });
    EXPECT_DEATH(
        manager.loadImageList(badClass), "Bad class specifier for firmware image at line 1: \"falcon\"\\.");
    EXPECT_DEATH(FirmwareImage(), "do not use this constructor, it purely exists due to QML requirements");
}

} // namespace
