// Start-up: settings file, log folder, log level and console log, fonts and
// QML types, the device manager and the main document, then the event loop;
// shut-down in the reverse order of what depends on what.
#include "QmlTypes.hpp"
#include "core/ApplicationProperties.hpp"
#include "core/ConsoleLogger.hpp"
#include "core/ConsoleLoggerController.hpp"
#include "core/TerminationSignals.hpp"
#include "device/LibraryMetaTypes.hpp"

#include <QCommandLineParser>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QStandardPaths>
#include <QSurfaceFormat>
#include <QtDataVisualization/qutils.h>

#include <memory>

#ifdef SARVIK_TEST_DRIVER
// A test build of the program: its driver prepares what the program is to
// find (before the program makes anything), then plays a user in the loaded
// window (tests/e2e) and ends the event loop with its verdict.
void prepareTestDriver();
void startTestDriver(QQmlApplicationEngine& engine);
#endif

namespace {

// SARVIK_LOG_LEVEL when set (0 when it is not a number); otherwise development
// builds log at level 1, and say so in the environment for whatever they start.
int processLogLevel()
{
    if (qEnvironmentVariableIsSet("SARVIK_LOG_LEVEL")) {
        bool ok = false;
        const int level = qgetenv("SARVIK_LOG_LEVEL").trimmed().toInt(&ok);
        return ok ? level : 0;
    }
    const QByteArray tag = QByteArray(SARVIK_BUILD_TAG).toLower();
    if (tag.contains("-snapshot") || tag.contains("-alpha")) {
        qputenv("SARVIK_LOG_LEVEL", "1");
        return 1;
    }
    return 0;
}

QString defaultSettingsFileName()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    if (folder.isEmpty())
        folder = QCoreApplication::applicationDirPath();
    return QStringLiteral("%1/settings.ini").arg(folder);
}

// The settings file named on the command line, if any; false when it cannot be read.
bool parseCommandLine(const QGuiApplication& app, QString& settingsFileName)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QCoreApplication::applicationName());
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption settingsOption(
        QStringLiteral("settings"), QStringLiteral("Read settings from given file."), QStringLiteral("file"));
    parser.addOption(settingsOption);
    parser.process(app);
    if (!parser.isSet(settingsOption))
        return true;
    settingsFileName = parser.value(settingsOption);
    const QFileInfo info(settingsFileName);
    if (!info.exists()) {
        qWarning().noquote() << "ERROR: Invalid settings file: no such file:" << settingsFileName;
        return false;
    }
    // Settings written to a folder's name would be lost when the program ends.
    if (info.isDir()) {
        qWarning().noquote() << "ERROR: Invalid settings file: is a directory:" << settingsFileName;
        return false;
    }
    if (!info.isReadable()) {
        qWarning().noquote() << "ERROR: Invalid settings file: not readable:" << settingsFileName;
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char* argv[])
{
    QGuiApplication app(argc, argv);
    // The pulse-Doppler surfaces draw with OpenGL into the QML scene, whose
    // windows must be made in the format they need (which the application
    // must exist to find out). Without multisampling, which would smooth
    // every item of every window at a high price in software rendering.
    QSurfaceFormat::setDefaultFormat(QtDataVisualization::qDefaultSurfaceFormat(false));
    QGuiApplication::setApplicationVersion(QStringLiteral(SARVIK_VERSION));
#ifdef SARVIK_TEST_DRIVER
    prepareTestDriver();
#endif
    // Before anything is made that a shut-down has to undo.
    TerminationSignals terminationSignals;
    const QString logFolder = QStringLiteral("%1/sarvik").arg(QDir::homePath());
    QString settingsFileName = defaultSettingsFileName();
    if (argc > 1 && !parseCommandLine(app, settingsFileName))
        return 1;
    QDir().mkpath(logFolder);

    ApplicationProperties::setConsoleLogEnabled(false);
    ApplicationProperties::setDefaultLogPath(logFolder);
    ApplicationProperties::setSettingsFileName(settingsFileName);
    const int logLevel = processLogLevel();
    ApplicationProperties::setLogLevel(logLevel);

    if (logLevel > 0) {
        // Deleted inside the event loop's last turn, before anything below goes.
        auto* controller = new ConsoleLoggerController(&app, new ConsoleLogger);
        QObject::connect(&app, &QCoreApplication::aboutToQuit, controller, &QObject::deleteLater);
    }
    ConsoleLoggerController::installMessageHandler();

    loadFonts();
    registerLibraryMetaTypes();
    registerQmlTypes();

    // The devices outlive the documents that show them: the engine goes first.
    std::unique_ptr<QObject> deviceManager = createDeviceManager();
    int exitCode = 0;
    {
        QQmlApplicationEngine engine;
        engine.rootContext()->setContextProperty(QStringLiteral("deviceManager"), deviceManager.get());
        engine.load(QUrl(QStringLiteral("qrc:/qml/main.qml")));
#ifdef SARVIK_TEST_DRIVER
        startTestDriver(engine);
#endif
        exitCode = QGuiApplication::exec();
    }
    deviceManager.reset();
    return exitCode;
}
