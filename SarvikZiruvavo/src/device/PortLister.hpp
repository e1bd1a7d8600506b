// The serial ports the program sees. The device search and the LED strip ask
// the lister in use for them: the system's unless a test installed its own
// (pseudo-terminals that carry the USB ids, description and serial number the
// test chooses; the system's list never shows pseudo-terminals).
#pragma once

#include <QList>
#include <QString>

struct SerialPortEntry {
    // The name that opens the port, such as /dev/ttyACM0.
    QString systemLocation;
    QString description;
    // The USB serial number; empty when the port reports none.
    QString serialNumber;
    bool hasUsbIds = false;
    quint16 vendorId = 0;
    quint16 productId = 0;
};

class PortLister {
public:
    virtual ~PortLister() = default;
    // In the order the operating system enumerates them.
    virtual QList<SerialPortEntry> availablePorts() const = 0;

    // The lister in use; any thread may ask.
    static const PortLister& current();
    // Makes `lister` (not owned, must outlive its use) the one in use; null
    // restores the system's.
    static void install(const PortLister* lister);
};
