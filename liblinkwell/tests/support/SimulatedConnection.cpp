#include "support/SimulatedConnection.hpp"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <stdexcept>
#include <thread>

#include "link/ConcreteFactory.hpp"
#include "link/TcpIpFactory.hpp"

namespace testsupport {

namespace {

// Its name sorts after every other subscription's, so the dispatcher, which
// serves subscriptions in name order, hands a packet to it last.
const char* const settle_queue = "~settle";
// No module message begins with this byte.
const simmodule::Bytes settle_prefix { 0xEE, 0x5E };

} // namespace

SimulatedConnection::SimulatedConnection(simmodule::Transport transport, Start start)
    : module_(transport)
{
    if (transport == simmodule::Transport::Tcp) {
        factory_ = std::make_unique<TcpIpFactory>(htonl(INADDR_LOOPBACK), htons(module_.tcp_port()));
        device_name_ = "127.0.0.1";
    } else {
        factory_ = std::make_unique<ConcreteFactory>();
        device_name_ = module_.pty_path();
    }
    io_ = std::make_unique<UartIo>(logger_, *factory_);
    radar_ = std::make_unique<QuickResetRadarInterface>(
        *io_, start == Start::Open ? device_name_ : std::string(), *factory_, logger_);
}

SimulatedConnection::~SimulatedConnection()
{
    radar_.reset();
    io_.reset();
    module_.stop();
}

void SimulatedConnection::deliver(const simmodule::Bytes& payload)
{
    module_.send_packet(payload);
    settle();
}

void SimulatedConnection::settle()
{
    radar_->subscribe(settle_queue, settle_prefix);
    simmodule::Bytes sentinel = settle_prefix;
    sentinel.push_back(static_cast<uint8_t>(++sentinels_));
    module_.send_packet(sentinel);
    if (!eventually([&] { return radar_->get_number_of_packets(settle_queue) > 0; }))
        throw std::runtime_error("the module's packets did not arrive");
}

bool eventually(const std::function<bool()>& condition, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return condition();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

} // namespace testsupport
