#include "api/LinkwellPrivate.hpp"

#include <linkwell/Corvid.hpp>
#include <linkwell/DataRecorder.hpp>
#include <linkwell/Dax.hpp>
#include <linkwell/Falcon.hpp>
#include <linkwell/Gannet.hpp>
#include <linkwell/NotSupported.hpp>
#include <linkwell/Osprey.hpp>
#include <linkwell/Transport.hpp>

#include "api/ConnectionParts.hpp"
#include "command/RadarInterface.hpp"
#include "link/AbstractFactory.hpp"
#include "link/UartIo.hpp"
#include "log/ConsoleAndFileLogger.hpp"

namespace Sarvik {

LinkwellPrivate::LinkwellPrivate(std::unique_ptr<AbstractFactory> transport_factory,
    std::unique_ptr<StdoutLogger> connection_logger, const std::string& name)
    : factory(std::move(transport_factory))
    , logger(std::move(connection_logger))
    , io(std::make_unique<UartIo>(*logger, *factory))
    , device_name(name)
    , connection(new RadarInterface(*io, device_name, *factory, *logger), true)
    , corvid(std::make_unique<Corvid>(connection))
    , dax(std::make_unique<Dax>(connection))
    , osprey(std::make_unique<Osprey>(connection))
    , falcon(std::make_unique<Falcon>(connection))
    , gannet(std::make_unique<Gannet>(connection))
    , recorder(std::make_unique<DataRecorder>(connection))
    , transport(std::make_unique<Transport>(connection))
    , not_supported(std::make_unique<NotSupported>(connection))
{ }

LinkwellPrivate::~LinkwellPrivate()
{
    // The recorder takes the lock to end its recordings.
    wake_reader_holding_the_lock(connection);
}

} // namespace Sarvik
