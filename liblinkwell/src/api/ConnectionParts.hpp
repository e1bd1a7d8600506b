// Pieces that every connection object of the programming interfaces makes
// the same way: its logger and the device name of a TCP/IP module.
#pragma once

#include <memory>
#include <string>

#include "log/ConsoleAndFileLogger.hpp"

// A StdoutLogger at the threshold over the sink, which it owns from the call
// on (also when the call throws). Its first line says that it was made.
std::unique_ptr<StdoutLogger> make_connection_logger(int threshold, Sarvik::AbstractLoggerIo* sink);

// "tcp://a.b.c.d:port" of an IPv4 address and port in network byte order.
std::string tcp_device_name(unsigned ip, unsigned short port);
