// Quitting the program while it works: with the presence module streaming to
// its live page, or while a configure waits for a module that has fallen
// silent, a termination signal or the closed window ends the program through
// its whole shut-down (every module connection closed, every thread joined)
// with exit code 0. The case comes from SARVIK_E2E_CASE:
//   streaming-signal, streaming-close, configure-signal.
#include "EndToEnd.hpp"

#include "simmodule/Personality.hpp"
#include "simmodule/SimModule.hpp"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QQmlApplicationEngine>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <memory>

namespace {

std::unique_ptr<simmodule::SimModule> module;
std::unique_ptr<EndToEnd> e2e;

QString text(QQuickItem* item)
{
    return item->property("text").toString();
}

void openLivePage()
{
    e2e->click(
        e2e->find(QStringLiteral("applyButton"), e2e->openFirstAppSettings(QStringLiteral("deviceRow1"))));
    e2e->waitFor(
        [&] { return e2e->currentPage()->property("helpTitle").toString() == "Presence detailed view"; },
        QStringLiteral("the presence page"), 30000);
    e2e->waitForStack();
    QQuickItem* frame = e2e->find(QStringLiteral("frameText"), e2e->currentPage());
    const QString first = text(frame);
    e2e->waitFor([&] { return text(frame) != first && text(frame) != "Frame: 0"; },
        QStringLiteral("frames to count on the live page"), 30000);
}

// The click on apply returns only when the configure's waiting loop ends: a
// timer, which runs inside that loop, sends the signal once the configure
// waits for the module.
void signalDuringConfigure()
{
    QQuickItem* settings = e2e->openFirstAppSettings(QStringLiteral("deviceRow1"));
    // The module takes the configure's first command and never answers.
    module->clear_rules();
    module->clear_received();
    auto* poll = new QTimer(e2e->window());
    const QDeadlineTimer deadline(30000);
    QObject::connect(poll, &QTimer::timeout, [poll, settings, deadline] {
        if (module->received_count() > 0 && settings->property("applying").toBool()) {
            poll->stop();
            std::raise(SIGTERM);
        } else if (deadline.hasExpired()) {
            poll->stop();
            std::fprintf(stderr, "FAILED: the configure did not start waiting for the module\n");
            QCoreApplication::exit(1);
        }
    });
    poll->start(20);
    e2e->click(e2e->find(QStringLiteral("applyButton"), settings));
}

} // namespace

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
            const QString which = qEnvironmentVariable("SARVIK_E2E_CASE");
            if (which == QStringLiteral("streaming-signal")) {
                openLivePage();
                std::raise(SIGTERM);
            } else if (which == QStringLiteral("streaming-close")) {
                openLivePage();
                e2e->window()->close();
            } else if (which == QStringLiteral("configure-signal")) {
                signalDuringConfigure();
            } else {
                e2e->fail(QStringLiteral("no such case: \"%1\"").arg(which));
            }
            // The driver's steps return at once: the program's own event
            // loop (and the configure's waiting loop) have to end it.
            e2e->handOver();
        });
    });
}
