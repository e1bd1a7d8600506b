// Mirrors the respiration state on up to two LED strips: a level bar while
// the person breathes (how far the movement goes) and while the module
// initialises (its progress), a colour for movement, black otherwise.
//
// The strips present when the list is made are used; a strip that fails to
// open is left alone. A strip that was working and goes away (unplugged,
// its port failing) is looked for again, on a timer, so that plugging it
// back in brings it back without the GUI thread ever waiting on a port.
#pragma once

#include "apps/RespirationStatus.hpp"
#include "device/PortLister.hpp"

#include <QColor>
#include <QObject>
#include <QSet>

#include <array>

class BlinkyController;
class BlinkyTape;
class QTimer;

class LedList : public QObject {
    Q_OBJECT

public:
    static constexpr int ledCount = 60;
    static constexpr int defaultSearchIntervalMs = 1000;

    explicit LedList(QObject* parent = nullptr, int searchIntervalMs = defaultSearchIntervalMs);
    // Blanks each connected strip and closes it.
    ~LedList() override;

    void showRespirationStatus(const RespirationStatus& status);
    // All LEDs of the strip in the colour.
    void setColor(BlinkyController* strip, const QColor& color);
    // LEDs 0 up to level percent of the strip in the colour, the next
    // `tailLength` fading to near black, the rest near black.
    void setLevel(BlinkyController* strip, int level, const QColor& color, int tailLength);

private:
    struct Strip {
        BlinkyTape* tape = nullptr;
        // Open once; a strip that never opened is not searched for.
        bool wasConnected = false;
        bool lost = false;
    };

    bool attach(Strip& strip, const SerialPortEntry& port);
    void onConnectionStatusChanged(BlinkyTape* tape, bool connected);
    void searchLostStrips();
    bool inUse(const SerialPortEntry& port) const;
    QList<BlinkyController*> connectedStrips() const;

    std::array<Strip, 2> m_strips;
    QTimer* m_searchTimer = nullptr;
    // Ports that refused to open during this search; tried again only after
    // they have left the list and come back.
    QSet<QString> m_refusedPorts;
    bool m_closing = false;
};
