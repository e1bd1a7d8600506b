// The serial driver of one USB LED strip (60 RGB LEDs behind a USB serial
// port; one smaller kind has 10). It sends frames without ever waiting on the
// port: a frame that finds the previous one still on its way is dropped, so a
// slow strip never builds up latency. While connected it checks every 100 ms
// that its port is still there, and it closes on any port error; a closed
// strip stays closed.
#pragma once

#include "apps/BlinkyController.hpp"

#include <QList>
#include <QPointer>
#include <QSerialPort>

class QTimer;

class BlinkyTape : public BlinkyController {
    Q_OBJECT

public:
    explicit BlinkyTape(QObject* parent = nullptr);
    ~BlinkyTape() override;

    bool isConnected() override;
    bool open(const SerialPortEntry& port) override;
    void sendUpdate(QByteArray frame) override;
    bool getPortInfo(SerialPortEntry& port) override;
    // Asks the strip to restart into its boot loader (the 1200-baud signal).
    void reset() override;

    // The serial ports, in the system's order, whose USB ids are a strip's.
    static QList<SerialPortEntry> findBlinkyTapes();

signals:
    void connectionStatusChanged(bool status);

public slots:
    void close() override;

private slots:
    void handleSerialError(QSerialPort::SerialPortError error);
    void handleSerialReadData();
    void handleBaudRateChanged(qint32 baudRate, QSerialPort::Directions directions);
    void resetTimer_timeout();
    void connectionScannerTimer_timeout();

private:
    bool isSmallStrip() const;

    QPointer<QSerialPort> m_serial;
    SerialPortEntry m_portInfo;
    QTimer* m_resetTimer = nullptr;
    qint32 m_resetTriesRemaining = 0;
    QTimer* m_connectionScannerTimer = nullptr;
};
