#include "link/AbstractFactory.hpp"

#include "link/ByteProtocol.hpp"

AbstractFactory::~AbstractFactory() = default;

Protocol* AbstractFactory::createProtocol(Logger& logger)
{
    return new ByteProtocol(logger);
}
