#include "api/ConnectionParts.hpp"

#include "command/RadarInterface.hpp"
#include "common/UniqueLocked.hpp"
#include "platform/TcpConnection.hpp"

const char* const playback_device_name = "__playback__";

std::unique_ptr<StdoutLogger> make_connection_logger(int threshold, Sarvik::AbstractLoggerIo* sink)
{
    std::unique_ptr<Sarvik::AbstractLoggerIo> owned(sink);
    auto logger = std::make_unique<StdoutLogger>(threshold, owned.get());
    owned.release();
    logger->log(5, std::string("createing logger ") + "StdoutLogger");
    return logger;
}

Sarvik::AbstractLoggerIo* default_log_sink()
{
    return new DefaultLoggerIo(true, true);
}

std::string tcp_device_name(unsigned ip, unsigned short port)
{
    return "tcp://" + platform::TcpConnection::describe(ip, port);
}

int replace_communicator(
    Sarvik::LockedRadarInterface& connection, const std::function<int(RadarInterface&)>& change)
{
    int result = 0;
    // Taken at once, the lock is kept for the change: no read can begin in
    // between.
    if (connection.try_locked([&](RadarInterface& radar) { result = change(radar); }))
        return result;
    wake_reader_holding_the_lock(connection);
    return connection.locked(change);
}

void wake_reader_holding_the_lock(Sarvik::LockedRadarInterface& connection)
{
    if (connection.try_locked([](RadarInterface&) {}))
        return;
    // Allowed without the lock: a read of the old communicator returns an
    // empty packet, a command waiting on it fails, and the holder lets the
    // lock go.
    connection.unlocked()->close();
}
