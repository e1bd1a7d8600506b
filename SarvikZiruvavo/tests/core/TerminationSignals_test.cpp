// Termination signals end the event loop once, then take their usual way.
#include "core/TerminationSignals.hpp"

#include <QCoreApplication>
#include <QTimer>
#include <gtest/gtest.h>

#include <csignal>

namespace {

void noteSignal(int) { }

// The handler a signal has now.
void (*dispositionOf(int signal))(int)
{
    struct sigaction current { };
    ::sigaction(signal, nullptr, &current);
    return current.sa_handler;
}

TEST(TerminationSignalsTest, EachSignalQuitsTheEventLoopOnceThenTakesItsDefault)
{
    for (const int signal : { SIGINT, SIGTERM, SIGHUP }) {
        TerminationSignals terminationSignals;
        QTimer::singleShot(0, [signal] { ::raise(signal); });
        // A loop that ends for any other reason fails the test.
        QTimer::singleShot(20000, [] { QCoreApplication::exit(2); });
        EXPECT_EQ(QCoreApplication::exec(), 0) << signal;
        // Should the shut-down hang, the next one ends the process.
        EXPECT_EQ(dispositionOf(signal), SIG_DFL) << signal;
    }
}

TEST(TerminationSignalsTest, PreviousHandlersComeBackWhenItGoes)
{
    struct sigaction noting { };
    noting.sa_handler = &noteSignal;
    sigemptyset(&noting.sa_mask);
    struct sigaction saved[3] {};
    const int handled[] = { SIGINT, SIGTERM, SIGHUP };
    for (int i = 0; i < 3; ++i)
        ::sigaction(handled[i], &noting, &saved[i]);
    {
        TerminationSignals terminationSignals;
        for (const int signal : handled)
            EXPECT_NE(dispositionOf(signal), &noteSignal) << signal;
    }
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(dispositionOf(handled[i]), &noteSignal) << handled[i];
        ::sigaction(handled[i], &saved[i], nullptr);
    }
}

} // namespace
