#include "TerminationSignals.hpp"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <cerrno>
#include <iterator>

#include <fcntl.h>
#include <unistd.h>

namespace {

const int handledSignals[] = { SIGINT, SIGTERM, SIGHUP };

// Written by the signal handler (only write(), which is safe there), read on
// the GUI thread through the notifier.
int signalPipe[2] = { -1, -1 };

void onSignal(int)
{
    const int savedErrno = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
    errno = savedErrno;
}

} // namespace

TerminationSignals::TerminationSignals(QObject* parent)
    : QObject(parent)
{
    if (::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        qWarning("Termination signals end the program at once: no pipe for them");
        return;
    }
    m_notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TerminationSignals::onSignalled);
    struct sigaction action { };
    action.sa_handler = &onSignal;
    sigemptyset(&action.sa_mask);
    // SA_RESETHAND: a second signal of the same kind takes its default action.
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    for (size_t i = 0; i < std::size(handledSignals); ++i)
        ::sigaction(handledSignals[i], &action, &m_previous[i]);
}

TerminationSignals::~TerminationSignals()
{
    if (!m_notifier)
        return;
    for (size_t i = 0; i < std::size(handledSignals); ++i)
        ::sigaction(handledSignals[i], &m_previous[i], nullptr);
    delete m_notifier;
    ::close(signalPipe[0]);
    ::close(signalPipe[1]);
    signalPipe[0] = signalPipe[1] = -1;
}

void TerminationSignals::onSignalled()
{
    char bytes[16];
    while (::read(signalPipe[0], bytes, sizeof bytes) > 0) { }
    QCoreApplication::quit();
}
