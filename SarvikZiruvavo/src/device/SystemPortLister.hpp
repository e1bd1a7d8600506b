// The serial ports of the operating system.
#pragma once

#include "PortLister.hpp"

class SystemPortLister : public PortLister {
public:
    QList<SerialPortEntry> availablePorts() const override;
};
