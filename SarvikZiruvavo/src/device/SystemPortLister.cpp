#include "SystemPortLister.hpp"

#include <QSerialPortInfo>

QList<SerialPortEntry> SystemPortLister::availablePorts() const
{
    QList<SerialPortEntry> ports;
    const auto infos = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo& info : infos) {
        SerialPortEntry entry;
        entry.systemLocation = info.systemLocation();
        entry.description = info.description();
        entry.serialNumber = info.serialNumber();
        entry.hasUsbIds = info.hasVendorIdentifier() && info.hasProductIdentifier();
        entry.vendorId = info.vendorIdentifier();
        entry.productId = info.productIdentifier();
        ports.append(entry);
    }
    return ports;
}
