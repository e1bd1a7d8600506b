// Pieces that every connection object of the programming interfaces makes
// or does the same way: its logger, the device names of a TCP/IP module and
// of a playback, and the open and close that must not wait for a queue read
// holding the connection.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include <linkwell/LockedRadarInterface.hpp>

#include "log/ConsoleAndFileLogger.hpp"

// A StdoutLogger at the threshold over the sink, which it owns from the call
// on (also when the call throws). Its first line says that it was made.
std::unique_ptr<StdoutLogger> make_connection_logger(int threshold, Sarvik::AbstractLoggerIo* sink);

// The sink of a connection that is given none: the console and a
// "debug_<date>_<time>.log" file in the working directory.
Sarvik::AbstractLoggerIo* default_log_sink();

// "tcp://a.b.c.d:port" of an IPv4 address and port in network byte order.
std::string tcp_device_name(unsigned ip, unsigned short port);

// The device name of a connection that plays a recording.
extern const char* const playback_device_name;

// Runs a call that replaces the connection's communicator (open, close)
// under the lock and returns its result. A queue read of another thread may
// hold the lock without a time limit: the connection is then closed without
// the lock first, which wakes the read, and the call waits for the lock.
int replace_communicator(
    Sarvik::LockedRadarInterface& connection, const std::function<int(RadarInterface&)>& change);

// Wakes a queue read that holds the connection's lock, if one does, by
// closing the connection; for the owner's destructor, whose parts take the
// lock as they go.
void wake_reader_holding_the_lock(Sarvik::LockedRadarInterface& connection);
