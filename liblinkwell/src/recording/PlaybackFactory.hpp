// The factory of a playback connection: the serial factory's threads, a
// PlaybackModuleIo over the player and the protocol that passes each chunk
// through as one packet, since the player's reads are whole packets (the
// reader takes them packets at a time and needs no protocol for them).
#pragma once

#include <memory>

#include "link/ConcreteFactory.hpp"

namespace Sarvik {
class DataPlayer;
}

class PlaybackFactory : public ConcreteFactory {
public:
    // The player is not owned; it must outlive every connection made here.
    explicit PlaybackFactory(Sarvik::DataPlayer& player);
    // The player is shared: it lives as long as the factory at least, so
    // that its other holders may let it go while it plays.
    explicit PlaybackFactory(std::shared_ptr<Sarvik::DataPlayer> player);

    ModuleIo* createModuleIo(Logger& logger) override;
    Protocol* createProtocol(Logger& logger) override;

private:
    std::shared_ptr<Sarvik::DataPlayer> shared_player_;
    Sarvik::DataPlayer& player_;
};
