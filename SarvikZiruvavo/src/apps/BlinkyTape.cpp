#include "BlinkyTape.hpp"

#include <QDebug>
#include <QTimer>

#include <utility>

namespace {

const qint32 stripBaudRate = 115200;
// Setting this rate and closing the port restarts a strip into its boot loader.
const qint32 resetBaudRate = 1200;
const int resetTries = 3;
const int resetRetryMs = 500;
const int connectionScanMs = 100;
// Bytes handed to the port at a time.
const int writePieceSize = 300;
const char endOfFrame = char(0xFF);
const char brightestValue = char(0xFE);

// The small strip has 10 LEDs; it takes exactly that many.
const std::pair<quint16, quint16> smallStripIds { 0x1209, 0x8888 };
const int smallStripFrameSize = 30;

const std::pair<quint16, quint16> stripIds[] = {
    { 0x1D50, 0x605E },
    { 0x2341, 0x8036 },
    smallStripIds,
    { 0x1D50, 0x60AA },
};

bool hasStripIds(const SerialPortEntry& port)
{
    if (!port.hasUsbIds)
        return false;
    for (const auto& ids : stripIds) {
        if (port.vendorId == ids.first && port.productId == ids.second)
            return true;
    }
    return false;
}

} // namespace

BlinkyTape::BlinkyTape(QObject* parent)
    : BlinkyController(parent)
    , m_serial(new QSerialPort(this))
    , m_resetTimer(new QTimer(this))
    , m_connectionScannerTimer(new QTimer(this))
{
    // The reset works by closing the port at 1200 baud: closing must not put
    // the old rate back first. (The setter is not offered by this Qt's API
    // level any more; the property still is.)
    m_serial->setProperty("settingsRestoredOnClose", false);
    connect(m_serial, &QSerialPort::errorOccurred, this, &BlinkyTape::handleSerialError);
    connect(m_serial, &QSerialPort::readyRead, this, &BlinkyTape::handleSerialReadData);
    connect(m_serial, &QSerialPort::baudRateChanged, this, &BlinkyTape::handleBaudRateChanged);
    m_resetTimer->setSingleShot(true);
    connect(m_resetTimer, &QTimer::timeout, this, &BlinkyTape::resetTimer_timeout);
    m_connectionScannerTimer->setInterval(connectionScanMs);
    connect(m_connectionScannerTimer, &QTimer::timeout, this, &BlinkyTape::connectionScannerTimer_timeout);
}

BlinkyTape::~BlinkyTape()
{
    // The port goes with the strip; what it reports on its way out is no
    // longer news for anyone.
    if (m_serial)
        m_serial->disconnect(this);
}

QList<SerialPortEntry> BlinkyTape::findBlinkyTapes()
{
    QList<SerialPortEntry> strips;
    const QList<SerialPortEntry> ports = PortLister::current().availablePorts();
    for (const SerialPortEntry& port : ports) {
        if (hasStripIds(port))
            strips.append(port);
    }
    return strips;
}

bool BlinkyTape::isConnected()
{
    return m_serial && m_serial->isOpen();
}

bool BlinkyTape::open(const SerialPortEntry& port)
{
    if (isConnected()) {
        qCritical() << "Already connected to a BlinkyTape";
        return false;
    }
    qDebug().noquote() << "Connecting to BlinkyTape on " + port.systemLocation;
    m_serial->setPortName(port.systemLocation);
    m_serial->setBaudRate(stripBaudRate, QSerialPort::AllDirections);
    if (!m_serial->open(QIODevice::ReadWrite)) {
        qDebug().noquote().nospace() << "Could not connect to BlinkyTape. Error: " << m_serial->error() << ' '
                                     << m_serial->errorString();
        return false;
    }
    m_portInfo = port;
    m_resetTriesRemaining = 0;
    emit connectionStatusChanged(true);
    m_connectionScannerTimer->start();
    return true;
}

void BlinkyTape::sendUpdate(QByteArray frame)
{
    if (!isConnected()) {
        qCritical() << "Strip not connected, not sending update!";
        return;
    }
    if (m_serial->bytesToWrite() > 0) {
        qDebug() << "Output data still in buffer, dropping this update frame";
        return;
    }
    if (isSmallStrip())
        frame = frame.left(smallStripFrameSize).leftJustified(smallStripFrameSize, '\0');
    // 255 is the end-of-frame mark and nothing else.
    frame.replace(endOfFrame, brightestValue);
    frame.append(endOfFrame);

    // flush() hands the port's buffer to the system without waiting. A port
    // error on the way (the strip unplugged) closes the strip at once, and
    // the rest of the frame is not written.
    for (int offset = 0; offset < frame.size() && isConnected(); offset += writePieceSize) {
        const QByteArray piece = frame.mid(offset, writePieceSize);
        const qint64 written = m_serial->write(piece);
        m_serial->flush();
        if (written < piece.size())
            qCritical() << "Error writing all the data out, expected:" << piece.size()
                        << ", wrote:" << written;
    }
}

bool BlinkyTape::getPortInfo(SerialPortEntry& port)
{
    if (!isConnected())
        return false;
    port = m_portInfo;
    return true;
}

void BlinkyTape::reset()
{
    if (!isConnected())
        return;
    qDebug() << "Attempting to reset BlinkyTape";
    m_resetTriesRemaining = resetTries;
    resetTimer_timeout();
}

void BlinkyTape::close()
{
    if (m_serial && m_serial->isOpen())
        m_serial->close();
    m_resetTriesRemaining = 0;
    emit connectionStatusChanged(isConnected());
}

void BlinkyTape::handleSerialError(QSerialPort::SerialPortError error)
{
    if (error == QSerialPort::NoError)
        return;
    if (error == QSerialPort::ResourceError)
        qCritical().noquote() << "Serial resource error, BlinkyTape unplugged?" << m_serial->errorString();
    else
        qCritical().noquote() << "Unrecognized serial error:" << m_serial->errorString();
    close();
}

void BlinkyTape::handleSerialReadData()
{
    // The strip has nothing to say that the program needs.
    m_serial->readAll();
}

void BlinkyTape::handleBaudRateChanged(qint32 baudRate, QSerialPort::Directions)
{
    if (baudRate == stripBaudRate) {
        qDebug() << "Baud rate updated to 115200!";
    } else if (baudRate == resetBaudRate) {
        if (m_resetTriesRemaining > 0) {
            qDebug() << "Baud rate updated to 1200bps, closing!";
            m_resetTimer->stop();
            close();
        } else {
            qDebug() << "Baud rate updated to 1200bps spuriously";
        }
    }
}

void BlinkyTape::resetTimer_timeout()
{
    if (!isConnected())
        return;
    qDebug() << "Hit reset timer";
    if (m_resetTriesRemaining <= 0) {
        qCritical() << "Reset timer maximum tries reached, failed to reset tape";
        return;
    }
    m_serial->setBaudRate(resetBaudRate, QSerialPort::AllDirections);
    // The new rate normally closes the strip at once; only a rate the port
    // did not take is tried again.
    if (!isConnected())
        return;
    m_resetTimer->start(resetRetryMs);
    --m_resetTriesRemaining;
}

void BlinkyTape::connectionScannerTimer_timeout()
{
    if (!isConnected()) {
        m_connectionScannerTimer->stop();
        return;
    }
    const QList<SerialPortEntry> strips = findBlinkyTapes();
    for (const SerialPortEntry& strip : strips) {
        if (strip.systemLocation == m_portInfo.systemLocation)
            return;
    }
    close();
}

bool BlinkyTape::isSmallStrip() const
{
    return m_portInfo.hasUsbIds && m_portInfo.vendorId == smallStripIds.first
        && m_portInfo.productId == smallStripIds.second;
}
