#include "recording/PlaybackFactory.hpp"

#include "link/NoParseByteProtocol.hpp"
#include "recording/PlaybackModuleIo.hpp"

PlaybackFactory::PlaybackFactory(Sarvik::DataPlayer& player)
    : player_(player)
{ }

PlaybackFactory::PlaybackFactory(std::shared_ptr<Sarvik::DataPlayer> player)
    : shared_player_(std::move(player))
    , player_(*shared_player_)
{ }

ModuleIo* PlaybackFactory::createModuleIo(Logger& logger)
{
    return new PlaybackModuleIo(logger, player_);
}

Protocol* PlaybackFactory::createProtocol(Logger& logger)
{
    return new NoParseByteProtocol(logger);
}
