// Runs a test program's GoogleTest cases inside a QGuiApplication. Listing the
// cases needs no application (the build lists them without a display).
#include <QGuiApplication>
#include <gtest/gtest.h>

#include <cstdio>

namespace {

// Debug lines would drown the test output; warnings and worse stay visible.
void quietHandler(QtMsgType type, const QMessageLogContext&, const QString& msg)
{
    if (type == QtDebugMsg || type == QtInfoMsg)
        return;
    std::fprintf(stderr, "%s\n", qPrintable(msg));
}

} // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (::testing::GTEST_FLAG(list_tests))
        return RUN_ALL_TESTS();
#ifdef SARVIK_TEST_OFFSCREEN
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
#endif
    // Death tests run in a fresh copy of the program: the parent's threads
    // (Qt's among them) do not survive a fork.
    ::testing::GTEST_FLAG(death_test_style) = "threadsafe";
    qInstallMessageHandler(quietHandler);
    QGuiApplication app(argc, argv);
    QGuiApplication::setApplicationVersion(QStringLiteral(SARVIK_VERSION));
    return RUN_ALL_TESTS();
}
