// A user with a presence module, in the program itself: the simulated presence
// module on a pseudo-terminal is found and listed, activated and configured
// from its settings page; its live values show on the presence page; a
// recording is started and stopped, and its session folder holds the
// recording's index and data. Then the user opens that recording in the
// playback entry, and the presence page shows the recorded values again.
// A screenshot of each page is compared with its reference.
#include "EndToEnd.hpp"

#include "simmodule/Personality.hpp"
#include "simmodule/SimModule.hpp"

#include <QDir>
#include <QDirIterator>
#include <QQmlApplicationEngine>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <cstdio>

#include <memory>

namespace {

// The pages show moving data: a screenshot may differ where the charts do.
const double liveTolerance = 0.25;

QObject* activeApp(EndToEnd& e2e)
{
    QObject* device = e2e.deviceManager()->property("activeDevice").value<QObject*>();
    return device ? device->property("activeDeviceApp").value<QObject*>() : nullptr;
}

QString text(QQuickItem* item)
{
    return item->property("text").toString();
}

// The folders below root that hold a recording's index file.
QStringList sessionIndexFiles(const QString& root)
{
    QStringList found;
    QDirIterator it(
        root, { QStringLiteral("sarvik_recording_meta*.dat") }, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        found << it.next();
    return found;
}

// For scripts/measure-presence-page.sh: with SARVIK_E2E_HOLD_SECONDS set, the
// driver stays on a live page that long, after telling so on its output.
void holdForMeasurement(const char* what)
{
    bool ok = false;
    const int seconds = qEnvironmentVariableIntValue("SARVIK_E2E_HOLD_SECONDS", &ok);
    if (!ok || seconds <= 0)
        return;
    std::printf("HOLD %s %d\n", what, seconds);
    std::fflush(stdout);
    QTest::qWait(seconds * 1000);
    std::printf("HOLD END %s\n", what);
    std::fflush(stdout);
}

// From the device menu to the live presence page of the module in row.
void openPresencePage(EndToEnd& e2e, const QString& row)
{
    e2e.click(e2e.find(QStringLiteral("applyButton"), e2e.openFirstAppSettings(row)));
    e2e.waitFor(
        [&] { return e2e.currentPage()->property("helpTitle").toString() == "Presence detailed view"; },
        QStringLiteral("the presence page"), 30000);
    e2e.waitForStack();
}

// The state panel shows a presence state and frames counting.
void waitForLiveValues(EndToEnd& e2e)
{
    QQuickItem* page = e2e.currentPage();
    QQuickItem* state = e2e.find(QStringLiteral("stateText"), page);
    QQuickItem* frame = e2e.find(QStringLiteral("frameText"), page);
    e2e.waitFor(
        [&] {
            return (text(state) == "PRESENCE" || text(state) == "NO PRESENCE") && text(frame) != "Frame: 0";
        },
        QStringLiteral("live presence values"), 30000);
    // Long enough for the charts to show some history.
    QTest::qWait(4000);
}

} // namespace

namespace {
std::unique_ptr<simmodule::SimModule> module;
std::unique_ptr<EndToEnd> e2e;
} // namespace

// The module is there when the program starts: it reads the extra ports once.
void prepareTestDriver()
{
    module = std::make_unique<simmodule::SimModule>(simmodule::Transport::Pty);
    simmodule::apply_personality(*module, simmodule::personality("osprey"), 20.0);
    qputenv("SARVIK_EXTRA_SERIAL_PORTS", QByteArray::fromStdString(module->pty_path()));
}

void startTestDriver(QQmlApplicationEngine& engine)
{
    e2e = std::make_unique<EndToEnd>(engine);
    QTimer::singleShot(0, [] {
        e2e->run([] {
            if (!e2e->deviceManager())
                e2e->skip(QStringLiteral("the program has no device manager yet"));

            // -- the device menu lists the module after the playback entry
            e2e->waitForSplashToGo();
            QQuickItem* row = e2e->find(QStringLiteral("deviceRow1"), nullptr, 30000);
            e2e->waitForStack();
            // The row's second line names the pseudo-terminal, whose number
            // changes from run to run: a few pixels may differ there.
            e2e->compareScreenshot(QStringLiteral("e2e_device_menu"), 0.005);
            if (!text(e2e->find(QStringLiteral("deviceInfo"), row))
                     .contains(QString::fromStdString(module->pty_path())))
                e2e->fail(QStringLiteral("the module's row does not name its port"));

            // -- a live module
            openPresencePage(*e2e, QStringLiteral("deviceRow1"));
            waitForLiveValues(*e2e);
            e2e->compareScreenshot(QStringLiteral("e2e_presence_live"), liveTolerance);
            holdForMeasurement("live");

            QObject* app = activeApp(*e2e);
            const QString logPath = app->property("logPath").toString();
            const QStringList before = sessionIndexFiles(logPath);
            QQuickItem* record = e2e->find(QStringLiteral("recordButton"), e2e->currentPage());
            e2e->click(record);
            e2e->waitFor([&] { return app->property("recordingEnabled").toBool(); },
                QStringLiteral("the recording to start"));
            QTest::qWait(3000);
            e2e->click(record);
            e2e->waitFor([&] { return !app->property("recordingEnabled").toBool(); },
                QStringLiteral("the recording to stop"));
            QStringList made;
            e2e->waitFor(
                [&] {
                    made = sessionIndexFiles(logPath);
                    for (const QString& file : before)
                        made.removeAll(file);
                    return made.size() == 1;
                },
                QStringLiteral("one new session in %1").arg(logPath));
            const QDir session = QFileInfo(made.first()).dir();
            const QFileInfoList data = session.entryInfoList(QDir::Files | QDir::NoDotAndDotDot);
            qint64 dataBytes = 0;
            for (const QFileInfo& file : data) {
                if (!file.fileName().startsWith(QStringLiteral("sarvik_recording_meta")))
                    dataBytes += file.size();
            }
            if (dataBytes == 0)
                e2e->fail(QStringLiteral("the session %1 holds no data").arg(session.path()));

            // -- the recording, played back
            e2e->click(e2e->find(QStringLiteral("backArrow")));
            e2e->waitForStack();
            e2e->click(e2e->find(QStringLiteral("backArrow")));
            e2e->waitForStack();
            QQuickItem* deviceMenu = e2e->currentPage();
            e2e->click(e2e->find(QStringLiteral("deviceRow0"), deviceMenu));
            // The file dialog is the system's, not the program's: the driver
            // closes it and takes the file where its acceptance leads. A
            // dialog left open would hold the window's input.
            QObject* dialog = nullptr;
            e2e->waitFor(
                [&] {
                    dialog = deviceMenu->property("recordingDialog").value<QObject*>();
                    return dialog && dialog->property("visible").toBool();
                },
                QStringLiteral("the recording dialog"));
            QMetaObject::invokeMethod(dialog, "close");
            QMetaObject::invokeMethod(
                deviceMenu, "openRecording", Q_ARG(QVariant, QVariant(QUrl::fromLocalFile(made.first()))));
            e2e->waitForStack();
            e2e->click(e2e->find(QStringLiteral("appButton0"), e2e->currentPage()));
            e2e->waitForStack();
            e2e->click(e2e->find(QStringLiteral("applyButton"), e2e->currentPage()));
            e2e->waitFor(
                [&] {
                    return e2e->currentPage()->property("helpTitle").toString() == "Presence detailed view";
                },
                QStringLiteral("the presence page of the recording"), 30000);
            e2e->waitForStack();
            // A recording made with the default settings holds no baseband
            // or pulse-Doppler data: the page says so, and the user reads it.
            QQuickItem* dialogFrame = e2e->lookUp(QStringLiteral("dialogFrame"));
            if (dialogFrame && dialogFrame->isVisible()) {
                const QString title = text(e2e->find(QStringLiteral("dialogTitle")));
                if (title != QStringLiteral("Info"))
                    e2e->fail(QStringLiteral("the playback shows the dialog \"%1\": %2")
                                  .arg(title, text(e2e->find(QStringLiteral("dialogMessage")))));
                e2e->click(e2e->find(QStringLiteral("dialogOkButton")));
                e2e->waitFor(
                    [&] { return !dialogFrame->isVisible(); }, QStringLiteral("the dialog to close"));
            }
            waitForLiveValues(*e2e);
            e2e->compareScreenshot(QStringLiteral("e2e_presence_playback"), liveTolerance);
            if (qEnvironmentVariableIsSet("SARVIK_E2E_HOLD_SECONDS")) {
                // As fast as the playback bar lets the recording play.
                QObject* device = e2e->deviceManager()->property("activeDevice").value<QObject*>();
                device->setProperty("playbackLoopModeEnabled", true);
                device->setProperty("playbackRate", 20.0);
                holdForMeasurement("playback-x20");
            }
            e2e->click(e2e->find(QStringLiteral("backArrow")));
            e2e->waitForStack();
        });
    });
}
