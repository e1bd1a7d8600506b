// An LED strip behind a serial port, as the LED list drives it.
#pragma once

#include "device/PortLister.hpp"

#include <QByteArray>
#include <QObject>

class BlinkyController : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    virtual bool isConnected() = 0;
    virtual bool open(const SerialPortEntry& port) = 0;
    // A frame is 3 bytes per LED, red, green and blue, LED 0 first.
    virtual void sendUpdate(QByteArray frame) = 0;
    // The port of a connected strip; false when it is not connected.
    virtual bool getPortInfo(SerialPortEntry& port) = 0;
    virtual void reset() = 0;

public slots:
    virtual void close() { }
};
