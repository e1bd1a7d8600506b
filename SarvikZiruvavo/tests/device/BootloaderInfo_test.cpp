#include "core/SarvikDeviceInfo.hpp"
#include "device/BootloaderInfo.hpp"
#include "support/QtPrinters.hpp"

#include <gtest/gtest.h>

#include <cctype>
#include <string>

namespace {

struct BootloaderCase {
    const char* what;
    QByteArray info;
    bool recognised;
    const char* version = "";
    const char* moduleId = "";
    const char* tail = "";
    const char* displayName = "";
    quint32 deviceType = SarvikDeviceInfo::UnknownDevice;
    quint32 firmwareClass = 0;
};

QByteArray bytes(const char* text, int size)
{
    return QByteArray(text, size);
}

const BootloaderCase cases[] = {
    { "bootloader of a Falcon", "SARVIK BOOTLOADER V:1.2.3 H:Falcon", true, "1.2.3", "Falcon", "",
        "Sarvik Falcon (bootloader mode)", SarvikDeviceInfo::FalconDevice, 1 },
    { "tail after R:", "SARVIK BOOTLOADER V:10.0.42 H:Gannet R:SerialNumber = \"A1\" rev B", true, "10.0.42",
        "Gannet", "SerialNumber = \"A1\" rev B", "Sarvik Gannet (bootloader mode)",
        SarvikDeviceInfo::GannetDevice, 1 },
    { "empty tail after R:", "SARVIK BOOTLOADER V:1.0.0 H:Osprey R:", true, "1.0.0", "Osprey", "",
        "Sarvik Osprey (bootloader mode)", SarvikDeviceInfo::OspreyDevice, 1 },
    { "Merlin", "SARVIK BOOTLOADER V:1.0.0 H:Merlin", true, "1.0.0", "Merlin", "",
        "Sarvik Merlin (bootloader mode)", SarvikDeviceInfo::MerlinDevice, 1 },
    { "any other module id is a Corvid", "SARVIK BOOTLOADER V:1.0.0 H:Corvid", true, "1.0.0", "Corvid", "",
        "Sarvik Corvid (bootloader mode)", SarvikDeviceInfo::CorvidDevice, 1 },
    { "module ids compare exactly", "SARVIK BOOTLOADER V:1.0.0 H:FALCON", true, "1.0.0", "FALCON", "",
        "Sarvik FALCON (bootloader mode)", SarvikDeviceInfo::CorvidDevice, 1 },
    { "empty module id", "SARVIK BOOTLOADER V:1.0.0 H:", true, "1.0.0", "", "", "Sarvik  (bootloader mode)",
        SarvikDeviceInfo::CorvidDevice, 1 },
    { "empty version parts leave the version empty", "SARVIK BOOTLOADER V:..7 H:Falcon", true, "", "Falcon",
        "", "Sarvik Falcon (bootloader mode)", SarvikDeviceInfo::FalconDevice, 1 },
    { "leading zeros are kept", "SARVIK BOOTLOADER V:01.002.0 H:Falcon", true, "01.002.0", "Falcon", "",
        "Sarvik Falcon (bootloader mode)", SarvikDeviceInfo::FalconDevice, 1 },
    { "open bootloader", "SARVIK OPENBOOTLOADER V:2.0.1 ID:CORE-7 more", true, "2.0.1", "CORE-7", "",
        "Sarvik Open Bootloader", SarvikDeviceInfo::DaxDevice, 2 },
    { "open bootloader id runs to the end", "SARVIK OPENBOOTLOADER V:2.0.1 ID:CORE-7", true, "2.0.1",
        "CORE-7", "", "Sarvik Open Bootloader", SarvikDeviceInfo::DaxDevice, 2 },
    { "open bootloader keeps no tail", "SARVIK OPENBOOTLOADER V:2.0.1 ID:CORE-7 R:x", true, "2.0.1", "CORE-7",
        "", "Sarvik Open Bootloader", SarvikDeviceInfo::DaxDevice, 2 },
    { "non-ASCII module id", "SARVIK BOOTLOADER V:1.2.3 H:Fa\xc3\xa6lcon R:\xff", true, "1.2.3",
        "Fa\xc3\xa6lcon", "\xef\xbf\xbd", "Sarvik Fa\xc3\xa6lcon (bootloader mode)",
        SarvikDeviceInfo::CorvidDevice, 1 },

    { "empty", "", false },
    { "two-part version", "SARVIK BOOTLOADER V:1.2 H:Falcon", false },
    { "version at the end", "SARVIK BOOTLOADER V:1.2.3", false },
    { "missing H:", "SARVIK BOOTLOADER V:1.2.3 Falcon", false },
    { "missing ID:", "SARVIK OPENBOOTLOADER V:1.2.3 CORE-7", false },
    { "H: in an open bootloader", "SARVIK OPENBOOTLOADER V:1.2.3 H:CORE-7", false },
    { "something else than R:", "SARVIK BOOTLOADER V:1.2.3 H:Falcon X:1", false },
    { "a letter in the version", "SARVIK BOOTLOADER V:1.2a.3 H:Falcon", false },
    { "a sign in the version", "SARVIK BOOTLOADER V:-1.2.3 H:Falcon", false },
    { "two spaces after the version", "SARVIK BOOTLOADER V:1.2.3  H:Falcon", false },
    // The open bootloader's version is read after the first ':' of the text.
    { "open bootloader without ':' before its version", "SARVIK OPENBOOTLOADER V2.0.1 ID:CORE-7", false },
    { "open bootloader without any ':'", "SARVIK OPENBOOTLOADER V2.0.1", false },
    { "prefix in lower case", "sarvik bootloader v:1.2.3 H:Falcon", false },
    { "leading space", " SARVIK BOOTLOADER V:1.2.3 H:Falcon", false },
    { "the library's text for a short answer", "error fetching info", false },
    { "cut in the prefix", "SARVIK BOOTLOAD", false },
    { "NUL in the version", bytes("SARVIK BOOTLOADER V:1.\0.3 H:Falcon", 34), false },
};

void PrintTo(const BootloaderCase& c, std::ostream* os)
{
    *os << c.what;
}

class BootloaderInfoTest : public ::testing::TestWithParam<BootloaderCase> { };

TEST_P(BootloaderInfoTest, RecognisesOnlyWhatABootloaderReports)
{
    const BootloaderCase& c = GetParam();
    SarvikDeviceInfo record;
    record.displayName = QStringLiteral("before");
    record.bootloaderTail = QStringLiteral("before");
    record.connectionMode = SarvikDeviceInfo::BootloaderMode;

    ASSERT_EQ(c.recognised, parseBootloaderInfo(c.info, record));
    if (!c.recognised) {
        // Nothing of the record changes.
        EXPECT_EQ(QStringLiteral("before"), record.displayName);
        EXPECT_EQ(QStringLiteral("before"), record.bootloaderTail);
        EXPECT_FALSE(record.identified);
        EXPECT_EQ(0u, record.deviceType);
        return;
    }
    EXPECT_EQ(QString::fromUtf8(c.version), record.bootloaderVersion);
    EXPECT_EQ(QString::fromUtf8(c.moduleId), record.bootloaderModuleId);
    EXPECT_EQ(QString::fromUtf8(c.tail), record.bootloaderTail);
    EXPECT_EQ(QString::fromUtf8(c.displayName), record.displayName);
    EXPECT_EQ(c.deviceType, record.deviceType);
    EXPECT_EQ(c.firmwareClass, record.firmwareClass);
    EXPECT_TRUE(record.identified);
    EXPECT_EQ(quint32(SarvikDeviceInfo::BootloaderMode), record.connectionMode);
}

std::string caseName(const ::testing::TestParamInfo<BootloaderCase>& info)
{
    std::string name = std::to_string(info.index) + "_";
    for (const char* p = info.param.what; *p; ++p)
        name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
    return name;
}

INSTANTIATE_TEST_SUITE_P(Texts, BootloaderInfoTest, ::testing::ValuesIn(cases), caseName);

TEST(BootloaderInfoLength, ATextOfAnyLengthIsReadWithinItsBytes)
{
    SarvikDeviceInfo record;
    const QByteArray id(1 << 20, 'x');
    ASSERT_TRUE(parseBootloaderInfo("SARVIK BOOTLOADER V:1.2.3 H:" + id, record));
    EXPECT_EQ(id.size(), record.bootloaderModuleId.size());
    const QByteArray prefix = "SARVIK BOOTLOADER V:1.2.3 H:Falcon R:";
    for (int size = 0; size <= prefix.size(); ++size) {
        SarvikDeviceInfo cut;
        // Cut anywhere, the text is read to its end and no further: it is
        // recognised wherever the cut still leaves a whole text (an id cut
        // short is an id).
        const bool recognised = parseBootloaderInfo(prefix.left(size), cut);
        EXPECT_EQ(size >= 28 && size != 35 && size != 36, recognised) << prefix.left(size).constData();
    }
}

TEST(BootloaderInfoBytes, ANulInTheIdIsKeptAsACharacter)
{
    SarvikDeviceInfo record;
    ASSERT_TRUE(parseBootloaderInfo(QByteArray("SARVIK BOOTLOADER V:1.2.3 H:Fal\0con R:a\0b", 41), record));
    EXPECT_EQ(QString::fromUtf8("Fal\0con", 7), record.bootloaderModuleId);
    EXPECT_EQ(QString::fromUtf8("a\0b", 3), record.bootloaderTail);
}

} // namespace
