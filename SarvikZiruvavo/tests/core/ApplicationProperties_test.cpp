#include "core/ApplicationProperties.hpp"
#include "support/QtPrinters.hpp"

#include <QCoreApplication>
#include <QVariant>
#include <QVariantList>
#include <gtest/gtest.h>

#include <functional>

namespace {

const char* const names[] = { "settingsFileName", "defaultLogPath", "consoleLogEnabled", "logLevel" };

class ApplicationPropertiesTest : public ::testing::Test {
protected:
    // Each case starts from a store in which nothing was ever set.
    void SetUp() override
    {
        for (const char* name : names)
            qApp->setProperty(name, QVariant());
    }
    void TearDown() override { SetUp(); }
};

struct StoredValue {
    const char* name;
    QVariant stored; // invalid: never set
    std::function<QVariant()> read;
    QVariant expected;
};

QVariant readLogLevel()
{
    return ApplicationProperties::logLevel();
}
QVariant readConsoleLog()
{
    return ApplicationProperties::consoleLogEnabled();
}
QVariant readSettings()
{
    return ApplicationProperties::settingsFileName();
}
QVariant readLogPath()
{
    return ApplicationProperties::defaultLogPath();
}

TEST_F(ApplicationPropertiesTest, ReadsDefaultsStoredValuesAndConversions)
{
    const QVariantList notConvertible { 1, 2 };
    const StoredValue table[] = {
        { "logLevel", QVariant(), readLogLevel, 0 },
        { "logLevel", 3, readLogLevel, 3 },
        { "logLevel", QStringLiteral("2"), readLogLevel, 2 },
        { "logLevel", 2.0, readLogLevel, 2 },
        { "logLevel", QStringLiteral("abc"), readLogLevel, 0 },
        { "logLevel", notConvertible, readLogLevel, 0 },
        { "consoleLogEnabled", QVariant(), readConsoleLog, false },
        { "consoleLogEnabled", true, readConsoleLog, true },
        { "consoleLogEnabled", QStringLiteral("true"), readConsoleLog, true },
        { "consoleLogEnabled", 1, readConsoleLog, true },
        { "consoleLogEnabled", 0, readConsoleLog, false },
        { "consoleLogEnabled", notConvertible, readConsoleLog, false },
        { "settingsFileName", QVariant(), readSettings, QString() },
        { "settingsFileName", QStringLiteral("/etc/a.ini"), readSettings, QStringLiteral("/etc/a.ini") },
        { "settingsFileName", 5, readSettings, QStringLiteral("5") },
        { "settingsFileName", notConvertible, readSettings, QString() },
        { "defaultLogPath", QVariant(), readLogPath, QString() },
        { "defaultLogPath", QStringLiteral("/home/u/sarvik"), readLogPath, QStringLiteral("/home/u/sarvik") },
        { "defaultLogPath", notConvertible, readLogPath, QString() },
    };
    for (const StoredValue& row : table) {
        qApp->setProperty(row.name, row.stored);
        EXPECT_EQ(row.read(), row.expected) << row.name << " holding " << qPrintable(row.stored.toString());
    }
}

TEST_F(ApplicationPropertiesTest, SettersStoreUnderTheirPropertyNames)
{
    ApplicationProperties::setSettingsFileName(QStringLiteral("/tmp/s.ini"));
    ApplicationProperties::setDefaultLogPath(QStringLiteral("/tmp/logs"));
    ApplicationProperties::setConsoleLogEnabled(true);
    ApplicationProperties::setLogLevel(-4);

    EXPECT_EQ(qApp->property("settingsFileName"), QVariant(QStringLiteral("/tmp/s.ini")));
    EXPECT_EQ(qApp->property("defaultLogPath"), QVariant(QStringLiteral("/tmp/logs")));
    EXPECT_EQ(qApp->property("consoleLogEnabled"), QVariant(true));
    EXPECT_EQ(qApp->property("logLevel"), QVariant(-4));
    EXPECT_EQ(ApplicationProperties::settingsFileName(), QStringLiteral("/tmp/s.ini"));
    EXPECT_EQ(ApplicationProperties::defaultLogPath(), QStringLiteral("/tmp/logs"));
    EXPECT_TRUE(ApplicationProperties::consoleLogEnabled());
    EXPECT_EQ(ApplicationProperties::logLevel(), -4);
}

} // namespace
