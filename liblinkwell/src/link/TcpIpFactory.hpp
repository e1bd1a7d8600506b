// The factory of a connection to a module reached over TCP/IP: the serial
// factory's threads and protocol with a TcpIpModuleIo.
#pragma once

#include "link/ConcreteFactory.hpp"

class TcpIpFactory : public ConcreteFactory {
public:
    // ip and port in network byte order, as the socket address takes them.
    TcpIpFactory(unsigned ip, unsigned short port);

    // A new, not yet connected TcpIpModuleIo for the stored address.
    ModuleIo* createModuleIo(Logger& logger) override;

    unsigned ip() const { return ip_; }
    unsigned short port() const { return port_; }

private:
    const unsigned ip_;
    const unsigned short port_;
};
