#include "DeviceNodeWatch.hpp"

#ifdef Q_OS_LINUX
#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#endif

#ifdef Q_OS_LINUX

DeviceNodeWatch::DeviceNodeWatch(const QString& directory)
{
    m_fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_fd < 0)
        return;
    const uint32_t events
        = IN_CREATE | IN_DELETE | IN_ATTRIB | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF;
    if (inotify_add_watch(m_fd, directory.toLocal8Bit().constData(), events) < 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

DeviceNodeWatch::~DeviceNodeWatch()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool DeviceNodeWatch::changed()
{
    const bool first = !m_asked;
    m_asked = true;
    if (m_fd < 0)
        return true;
    bool any = false;
    bool lost = false;
    alignas(inotify_event) char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(m_fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;
        if (got <= 0) {
            lost = true;
            break;
        }
        any = true;
        for (ssize_t at = 0; at + ssize_t(sizeof(inotify_event)) <= got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            // The directory itself went away, or events were dropped: from
            // now on nothing tells, so everything counts as a change.
            if (event->mask & (IN_IGNORED | IN_DELETE_SELF | IN_MOVE_SELF))
                lost = true;
            at += ssize_t(sizeof(inotify_event)) + ssize_t(event->len);
        }
    }
    if (lost) {
        ::close(m_fd);
        m_fd = -1;
    }
    return first || any || lost;
}

#else

DeviceNodeWatch::DeviceNodeWatch(const QString&) { }

DeviceNodeWatch::~DeviceNodeWatch() = default;

bool DeviceNodeWatch::changed()
{
    return true;
}

#endif
