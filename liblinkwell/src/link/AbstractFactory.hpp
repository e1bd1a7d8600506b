// Makes the parts of a module connection: the worker threads, the byte-level
// ModuleIo and the Protocol that cuts bytes into packets. The connection
// classes ask a factory for them and never name a transport. Every operation
// returns a new object that the caller owns.
#pragma once

#include <string>

class Active;
class Logger;
class ModuleIo;
class Protocol;

class AbstractFactory {
public:
    virtual ~AbstractFactory();
    virtual Active* createDispatcherThread(const std::string& name, Logger& logger) = 0;
    virtual Active* createReaderThread(const std::string& name, Logger& logger) = 0;
    virtual Active* createWriterThread(const std::string& name, Logger& logger) = 0;
    virtual ModuleIo* createModuleIo(Logger& logger) = 0;
    // A ByteProtocol, for transports that carry the framed byte stream.
    virtual Protocol* createProtocol(Logger& logger);
};
