// The factory of a serial-port connection: real threads, the serial
// ModuleIo, and the inherited ByteProtocol. The base of the other transports'
// factories, which share its threads.
#pragma once

#include "link/AbstractFactory.hpp"

class ConcreteFactory : public AbstractFactory {
public:
    ConcreteFactory() = default;

    // Each call starts a new ActiveThread with the given name.
    Active* createDispatcherThread(const std::string& name, Logger& logger) override;
    Active* createReaderThread(const std::string& name, Logger& logger) override;
    Active* createWriterThread(const std::string& name, Logger& logger) override;
    // A new, not yet opened OverlappedModuleIo.
    ModuleIo* createModuleIo(Logger& logger) override;
};
