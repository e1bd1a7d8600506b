#include "link/VoidRadarCommunicator.hpp"

int VoidRadarCommunicator::open(const std::string&)
{
    return 1;
}

Bytes VoidRadarCommunicator::send(unsigned, Bytes, std::vector<Bytes>)
{
    return {};
}

void VoidRadarCommunicator::set_baudrate(unsigned) { }

void VoidRadarCommunicator::send(unsigned, Bytes) { }

void VoidRadarCommunicator::subscribe(std::string, Bytes) { }

void VoidRadarCommunicator::subscribe(const std::string&, std::function<bool(Bytes)>, Bytes) { }

void VoidRadarCommunicator::unsubscribe(std::string) { }

int VoidRadarCommunicator::get_number_of_packets(std::string)
{
    return 0;
}

Bytes VoidRadarCommunicator::get_packet(std::string)
{
    return {};
}

void VoidRadarCommunicator::clear(std::string) { }

Bytes VoidRadarCommunicator::send(unsigned, Bytes, Bytes)
{
    return {};
}

AbstractRadarCommunicator::Subscriptions VoidRadarCommunicator::get_subscriptions() const
{
    return {};
}

void VoidRadarCommunicator::set_max_packet_buffer_count(const std::string&, int) { }
