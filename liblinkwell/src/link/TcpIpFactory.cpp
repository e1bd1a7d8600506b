#include "link/TcpIpFactory.hpp"

#include "link/TcpIpModuleIo.hpp"

TcpIpFactory::TcpIpFactory(unsigned ip, unsigned short port)
    : ip_(ip)
    , port_(port)
{ }

ModuleIo* TcpIpFactory::createModuleIo(Logger& logger)
{
    return new TcpIpModuleIo(ip_, port_, logger);
}
