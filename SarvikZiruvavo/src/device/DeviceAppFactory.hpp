// Makes the application objects of a Device. The Device asks once for each
// application bit of the module's supported-applications mask that is set, in
// its fixed order; the factory makes the application of that bit with the
// Device as its parent, or nothing for a bit it has no application for.
// Tests hand a Device a factory of their own, so that a Device is tried
// without the real applications.
#pragma once

#include <QtGlobal>

class Device;
class DeviceApp;

class DeviceAppFactory {
public:
    virtual ~DeviceAppFactory() = default;

    // A new application owned by `device`, or null.
    virtual DeviceApp* createApplication(quint32 applicationBit, Device& device) const = 0;

    // The factory of the program's applications, for a Device given none.
    static const DeviceAppFactory& programFactory();
};
