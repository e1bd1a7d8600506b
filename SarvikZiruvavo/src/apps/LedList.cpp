#include "LedList.hpp"

#include "BlinkyTape.hpp"

#include <QDebug>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace {

const int levelTail = 12;

enum SensorState : quint32 {
    Breathing = 0,
    Movement = 1,
    MovementTracking = 2,
    NoMovement = 3,
    Initializing = 4,
};

// How far the person's movement goes, as a level: -4 and below empty, 4 and
// above full.
int movementLevel(float movement)
{
    // Not a number: shown as no movement rather than converted blindly.
    if (std::isnan(movement))
        return 50;
    if (movement > 4.0f)
        return 100;
    if (movement < -4.0f)
        return 0;
    return int(50.0 + double(movement) * 0.25 * 50.0);
}

} // namespace

LedList::LedList(QObject* parent, int searchIntervalMs)
    : QObject(parent)
    , m_searchTimer(new QTimer(this))
{
    m_searchTimer->setInterval(searchIntervalMs);
    connect(m_searchTimer, &QTimer::timeout, this, &LedList::searchLostStrips);

    const QList<SerialPortEntry> ports = BlinkyTape::findBlinkyTapes();
    qDebug() << "BlinkyTapes found:" << ports.size();
    const int used = std::min<int>(ports.size(), int(m_strips.size()));
    for (int i = 0; i < used; ++i)
        attach(m_strips[size_t(i)], ports[i]);
}

LedList::~LedList()
{
    m_closing = true;
    m_searchTimer->stop();
    for (const Strip& strip : m_strips) {
        if (strip.tape != nullptr && strip.tape->isConnected()) {
            setColor(strip.tape, Qt::black);
            strip.tape->close();
        }
    }
}

bool LedList::attach(Strip& strip, const SerialPortEntry& port)
{
    qDebug().noquote() << "Attempting to connect to tape on:" << port.systemLocation;
    if (strip.tape != nullptr)
        strip.tape->deleteLater();
    strip.tape = new BlinkyTape(this);
    strip.wasConnected = false;
    BlinkyTape* tape = strip.tape;
    connect(tape, &BlinkyTape::connectionStatusChanged, this,
        [this, tape](bool connected) { onConnectionStatusChanged(tape, connected); });
    strip.wasConnected = tape->open(port);
    return strip.wasConnected;
}

void LedList::onConnectionStatusChanged(BlinkyTape* tape, bool connected)
{
    if (connected || m_closing)
        return;
    for (Strip& strip : m_strips) {
        if (strip.tape == tape && strip.wasConnected) {
            strip.wasConnected = false;
            strip.lost = true;
            m_searchTimer->start();
        }
    }
}

void LedList::searchLostStrips()
{
    const QList<SerialPortEntry> ports = BlinkyTape::findBlinkyTapes();
    QSet<QString> listed;
    for (const SerialPortEntry& port : ports)
        listed.insert(port.systemLocation);
    m_refusedPorts.intersect(listed);

    bool stillLost = false;
    for (Strip& strip : m_strips) {
        if (!strip.lost)
            continue;
        for (const SerialPortEntry& port : ports) {
            if (inUse(port) || m_refusedPorts.contains(port.systemLocation))
                continue;
            if (attach(strip, port)) {
                strip.lost = false;
                break;
            }
            m_refusedPorts.insert(port.systemLocation);
        }
        stillLost = stillLost || strip.lost;
    }
    if (!stillLost) {
        m_searchTimer->stop();
        m_refusedPorts.clear();
    }
}

bool LedList::inUse(const SerialPortEntry& port) const
{
    for (const Strip& strip : m_strips) {
        SerialPortEntry used;
        if (strip.tape != nullptr && strip.tape->getPortInfo(used)
            && used.systemLocation == port.systemLocation)
            return true;
    }
    return false;
}

QList<BlinkyController*> LedList::connectedStrips() const
{
    QList<BlinkyController*> strips;
    for (const Strip& strip : m_strips) {
        if (strip.tape != nullptr && strip.tape->isConnected())
            strips.append(strip.tape);
    }
    return strips;
}

void LedList::showRespirationStatus(const RespirationStatus& status)
{
    const QList<BlinkyController*> strips = connectedStrips();
    for (BlinkyController* strip : strips) {
        switch (status.state) {
        case Breathing:
            setLevel(
                strip, movementLevel(status.objectMovement), QColor(QStringLiteral("darkblue")), levelTail);
            break;
        case Movement:
        case MovementTracking:
            setColor(strip, QColor(QStringLiteral("darkorange")));
            break;
        case Initializing:
            setLevel(strip, int(status.rpm & 0xFF), QColor(QStringLiteral("green")), levelTail);
            break;
        case NoMovement:
        default:
            setColor(strip, QColor(QStringLiteral("black")));
            break;
        }
    }
}

void LedList::setColor(BlinkyController* strip, const QColor& color)
{
    if (strip == nullptr)
        return;
    QByteArray frame;
    frame.reserve(3 * ledCount);
    for (int i = 0; i < ledCount; ++i)
        frame.append(char(color.red())).append(char(color.green())).append(char(color.blue()));
    strip->sendUpdate(frame);
}

void LedList::setLevel(BlinkyController* strip, int level, const QColor& color, int tailLength)
{
    if (strip == nullptr)
        return;
    const int lit = int(std::floor(level / 100.0 * ledCount));
    QByteArray frame;
    frame.reserve(3 * ledCount);
    for (int i = 0; i < ledCount; ++i) {
        const int beyond = i - lit;
        QColor shade = color;
        if (tailLength <= 0) {
            // No tail: the bar simply ends.
            if (beyond > 0)
                shade = Qt::black;
        } else {
            const int d = std::clamp(beyond, 0, tailLength);
            // 100 keeps the colour, 200 halves its value, 10100 leaves a
            // hundredth of it.
            shade = color.darker(100 + int(double(d) / tailLength * 10000));
        }
        frame.append(char(shade.red())).append(char(shade.green())).append(char(shade.blue()));
    }
    strip->sendUpdate(frame);
}
