#include "link/UartIo.hpp"

#include "link/AbstractFactory.hpp"
#include "link/Active.hpp"
#include "link/ModuleIo.hpp"
#include "link/Protocol.hpp"
#include "link/Reader.hpp"
#include "link/Writer.hpp"

UartIo::UartIo(Logger& logger, AbstractFactory& factory)
    : logger_(logger)
    , factory_(factory)
{ }

UartIo::~UartIo()
{
    // The reader goes first: it is the only part that uses the ModuleIo on a
    // thread of its own.
    reader_.reset();
    writer_.reset();
    module_io_.reset();
}

bool UartIo::is_ready()
{
    return ready_;
}

int UartIo::open(const std::string& name, PacketSink packet_sink)
{
    // Replacing the ModuleIo under a running reader would pull the port out
    // from under it.
    close();

    std::unique_ptr<ModuleIo> module_io(factory_.createModuleIo(logger_));
    {
        std::lock_guard<std::mutex> lock(module_io_mutex_);
        module_io_ = std::move(module_io);
    }

    std::unique_ptr<Active> writer_thread(factory_.createWriterThread("writer", logger_));
    writer_.reset(new Writer(logger_, *module_io_, writer_thread.get()));
    writer_thread.release();

    std::unique_ptr<Active> reader_thread(factory_.createReaderThread("reader", logger_));
    std::unique_ptr<Protocol> protocol(factory_.createProtocol(logger_));
    // The allocation happens before the arguments are evaluated, so the
    // thread and protocol are owned by someone at every moment.
    reader_.reset(new Reader(logger_, *module_io_, reader_thread.release(), protocol.release()));

    const int result = module_io_->open(name);
    if (result != 0)
        return result;

    reader_->start(std::move(packet_sink));
    ready_ = true;
    return 0;
}

void UartIo::close()
{
    ready_ = false;
    writer_.reset();
    reader_.reset();
    std::unique_ptr<ModuleIo> closing;
    {
        std::lock_guard<std::mutex> lock(module_io_mutex_);
        closing = std::move(module_io_);
    }
}

void UartIo::abort_writes()
{
    std::lock_guard<std::mutex> lock(module_io_mutex_);
    if (module_io_)
        module_io_->abort_writes();
}

void UartIo::write(Bytes data, std::chrono::seconds no_progress_limit)
{
    if (!ready_)
        return;
    writer_->write(std::move(data), no_progress_limit);
}

void UartIo::set_baudrate(unsigned baudrate)
{
    if (module_io_)
        module_io_->set_baudrate(baudrate);
}
