#include "recording/PlaybackFactory.hpp"

#include "link/NoParseByteProtocol.hpp"
#include "recording/PlaybackModuleIo.hpp"

PlaybackFactory::PlaybackFactory(Sarvik::DataPlayer& player)
    : player_(player)
{ }

ModuleIo* PlaybackFactory::createModuleIo(Logger& logger)
{
    return new PlaybackModuleIo(logger, player_);
}

Protocol* PlaybackFactory::createProtocol(Logger& logger)
{
    return new NoParseByteProtocol(logger);
}
