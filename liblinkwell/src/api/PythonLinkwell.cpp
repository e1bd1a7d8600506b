#include <linkwell/PyDataPlayer.hpp>
#include <linkwell/PythonLinkwell.hpp>

#include "api/ConnectionParts.hpp"
#include "command/RadarInterface.hpp"
#include "common/UniqueLocked.hpp"
#include "link/ConcreteFactory.hpp"
#include "link/TcpIpFactory.hpp"
#include "link/UartIo.hpp"
#include "recording/PlaybackFactory.hpp"

namespace Sarvik {

struct PythonLinkwell::Parts {
    std::unique_ptr<StdoutLogger> logger;
    std::unique_ptr<AbstractFactory> factory;
    std::string device_name;
};

namespace {

// The command interface put behind the connection's lock; should the
// allocation of the lock fail, the interface is freed (and its threads
// stopped) all the same.
std::unique_ptr<LockedRadarInterface> locked(std::unique_ptr<RadarInterface> radar)
{
    auto connection = std::make_unique<LockedRadarInterface>(radar.get(), true);
    radar.release();
    return connection;
}

} // namespace

// The logger first, over the console and a debug file, then the factory:
// whatever fails on the way, what was made before is freed.
template <typename MakeFactory>
PythonLinkwell::Parts PythonLinkwell::make_parts(
    int log_level, MakeFactory make_factory, std::string device_name)
{
    PythonLinkwell::Parts parts;
    parts.logger = make_connection_logger(log_level, default_log_sink());
    parts.factory = make_factory();
    parts.device_name = std::move(device_name);
    return parts;
}

PythonLinkwell::PythonLinkwell(const std::string& port_name, int log_level)
    : PythonLinkwell(make_parts(
        log_level, [] { return std::make_unique<ConcreteFactory>(); }, port_name))
{ }

PythonLinkwell::PythonLinkwell(int log_level)
    : PythonLinkwell(std::string(), log_level)
{ }

PythonLinkwell::PythonLinkwell(unsigned ip, unsigned short port, int log_level)
    : PythonLinkwell(make_parts(
        log_level, [&] { return std::make_unique<TcpIpFactory>(ip, port); }, tcp_device_name(ip, port)))
{ }

PythonLinkwell::PythonLinkwell(PyDataPlayer& player, int log_level)
    : PythonLinkwell(make_parts(
        log_level, [&] { return std::make_unique<PlaybackFactory>(player.shared_player()); },
        playback_device_name))
{ }

// Releasing cannot throw: the core constructor takes both over at once.
PythonLinkwell::PythonLinkwell(Parts&& parts)
    : PythonLinkwell(parts.factory.release(), parts.logger.release(), parts.device_name)
{ }

PythonLinkwell::PythonLinkwell(AbstractFactory* factory, Logger* logger, const std::string& device_name)
    : logger_(logger)
    , factory_(factory)
    , io_(std::make_unique<UartIo>(*logger_, *factory_))
    , connection_(locked(std::make_unique<RadarInterface>(*io_, device_name, *factory_, *logger_)))
    , corvid_(std::make_unique<PyCorvid>(*connection_))
    , dax_(std::make_unique<PyDax>(*connection_))
    , osprey_(std::make_unique<PyOsprey>(*connection_))
    , falcon_(std::make_unique<PyFalcon>(*connection_))
    , gannet_(std::make_unique<PyGannet>(*connection_))
    , recorder_(std::make_unique<PyDataRecorder>(*connection_))
    , transport_(std::make_unique<Transport>(*connection_))
    , not_supported_(std::make_unique<NotSupported>(*connection_))
{ }

PythonLinkwell::~PythonLinkwell()
{
    // The recorder takes the lock to end its recordings.
    wake_reader_holding_the_lock(*connection_);
}

void PythonLinkwell::open(std::string device_name)
{
    replace_communicator(*connection_, [&](RadarInterface& radar) {
        // The open of open_throw, with the recorder's subscriptions renewed
        // in between: the new communicator has only the interface's own
        // queues, and the recorder's streams would otherwise be lost with
        // the old one.
        radar.throw_if_error([&] {
            const int result = radar.open(device_name);
            recorder_->data_recorder().renew_subscriptions();
            return result;
        });
        return 0;
    });
}

void PythonLinkwell::close()
{
    replace_communicator(*connection_, [](RadarInterface& radar) {
        radar.close();
        return 0;
    });
}

void PythonLinkwell::set_log_level(int level)
{
    connection_->locked([&](RadarInterface& radar) { radar.set_log_level(level); });
}

void PythonLinkwell::set_default_timeout(unsigned seconds)
{
    connection_->locked([&](RadarInterface& radar) { radar.set_default_timeout(seconds); });
}

std::string PythonLinkwell::git_sha()
{
    return connection_->locked([](RadarInterface& radar) { return radar.git_sha(); });
}

PyDataRecorder& PythonLinkwell::get_data_recorder()
{
    return *recorder_;
}

PyCorvid& PythonLinkwell::get_corvid()
{
    return *corvid_;
}

Transport& PythonLinkwell::get_transport()
{
    return *transport_;
}

Z3& PythonLinkwell::get_z3()
{
    return *connection_->unlocked();
}

PyDax& PythonLinkwell::get_dax()
{
    return *dax_;
}

PyOsprey& PythonLinkwell::get_osprey()
{
    return *osprey_;
}

PyFalcon& PythonLinkwell::get_falcon()
{
    return *falcon_;
}

PyGannet& PythonLinkwell::get_gannet()
{
    return *gannet_;
}

NotSupported& PythonLinkwell::get_not_supported()
{
    return *not_supported_;
}

} // namespace Sarvik
