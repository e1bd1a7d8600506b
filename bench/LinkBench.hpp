// Shared by the benchmarks of live connections: a logger that logs nothing,
// this process's CPU time, the data packets the simulated modules stream and
// a library connection to a module on loopback TCP.
#pragma once

#include "link/RadarCommunicator.hpp"
#include "link/TcpIpFactory.hpp"
#include "link/UartIo.hpp"
#include "log/ConsoleAndFileLogger.hpp"

#include "simmodule/Framing.hpp"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/resource.h>

#include <cstddef>
#include <cstdint>
#include <memory>

namespace bench {

// The library as a client would run it: logging errors only.
inline StdoutLogger& quiet_logger()
{
    static StdoutLogger logger(0, new DefaultLoggerIo(false, false));
    return logger;
}

inline double cpu_seconds(const rusage& usage)
{
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// User and system CPU time of this process (all its threads), in seconds.
inline double process_cpu_seconds()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return cpu_seconds(usage);
}

// A data packet of the given size: 0x50, then bytes that need no escaping.
inline simmodule::Bytes data_packet(size_t size)
{
    simmodule::Bytes packet(size);
    packet[0] = 0x50;
    for (size_t i = 1; i < size; ++i)
        packet[i] = static_cast<uint8_t>(i % 0x7D);
    return packet;
}

// Bytes 1 to 8 of a numbered packet: its number, least significant first.
constexpr size_t packet_number_size = 8;

// The data packet numbered `number` (size at least 9). Some numbers hold
// bytes that the framing escapes, as real counters do.
inline simmodule::Bytes numbered_packet(size_t size, uint64_t number)
{
    simmodule::Bytes packet = data_packet(size);
    for (size_t i = 0; i < packet_number_size; ++i)
        packet[1 + i] = static_cast<uint8_t>(number >> (8 * i));
    return packet;
}

// The number of a numbered packet of at least 9 bytes.
inline uint64_t packet_number(const uint8_t* packet)
{
    uint64_t number = 0;
    for (size_t i = 0; i < packet_number_size; ++i)
        number |= static_cast<uint64_t>(packet[1 + i]) << (8 * i);
    return number;
}

// A library connection to a module on 127.0.0.1, not opened yet.
struct Connection {
    explicit Connection(uint16_t port)
        : factory(htonl(INADDR_LOOPBACK), htons(port))
        , io(quiet_logger(), factory)
        , communicator(std::make_unique<RadarCommunicator>(io, factory, quiet_logger()))
    { }
    TcpIpFactory factory;
    UartIo io;
    std::unique_ptr<RadarCommunicator> communicator;
};

} // namespace bench
