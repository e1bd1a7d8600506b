// Tells whether device nodes have come, gone or changed in a directory (/dev)
// since it was last asked, so that an enumeration that costs much can be
// skipped while nothing changed. Where the directory cannot be watched it
// always answers yes. Not thread-safe: its owner serialises the calls.
#pragma once

#include <QString>

class DeviceNodeWatch {
public:
    explicit DeviceNodeWatch(const QString& directory = QStringLiteral("/dev"));
    ~DeviceNodeWatch();
    DeviceNodeWatch(const DeviceNodeWatch&) = delete;
    DeviceNodeWatch& operator=(const DeviceNodeWatch&) = delete;

    // True on the first call, after an entry of the directory was created,
    // deleted, renamed or had its attributes changed (as the device manager
    // does to a new node), and always once the watch is lost.
    bool changed();

private:
    int m_fd = -1;
    bool m_asked = false;
};
