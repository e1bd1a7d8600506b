// The one AbstractIo: assembles a connection from the parts an
// AbstractFactory makes (ModuleIo, a Writer with its "writer" thread, a
// Reader with its "reader" thread and Protocol), so the same class serves
// every transport.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>

#include "link/AbstractIo.hpp"

class AbstractFactory;
class Logger;
class ModuleIo;
class Reader;
class Writer;

class UartIo : public AbstractIo {
public:
    // Opens nothing and starts no thread. Logger and factory must outlive it.
    UartIo(Logger& logger, AbstractFactory& factory);
    ~UartIo() override;
    UartIo(const UartIo&) = delete;
    UartIo& operator=(const UartIo&) = delete;

    bool is_ready() override;
    // Closes a previous connection first, then makes every part anew. On a
    // nonzero ModuleIo::open result the parts stay until close.
    int open(const std::string& name, PacketSink packet_sink) override;
    // Stops and joins the writer and reader threads, then closes the port.
    // Harmless when already closed.
    void close() override;
    // Drops the bytes silently while not ready; may throw from the Writer.
    void write(Bytes data, std::chrono::seconds no_progress_limit) override;
    // Does nothing while there is no ModuleIo.
    void set_baudrate(unsigned baudrate) override;
    void abort_writes() override;

private:
    std::atomic<bool> ready_ { false };
    Logger& logger_;
    AbstractFactory& factory_;
    // Guards module_io_ against abort_writes, which may come from any
    // thread while the owner's thread replaces the parts.
    std::mutex module_io_mutex_;
    std::unique_ptr<ModuleIo> module_io_;
    std::unique_ptr<Writer> writer_;
    std::unique_ptr<Reader> reader_;
};
