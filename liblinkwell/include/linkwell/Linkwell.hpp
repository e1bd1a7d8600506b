// The object a client makes for one module connection: a serial port, a
// TCP/IP endpoint, or the playback of a recorded session. It builds and owns
// everything the connection needs and hands out one object per module model,
// the data recorder, raw access (Transport) and low-level debug access
// (NotSupported). The objects handed out belong to the connector and go with
// it.
//
// Construction opens the device and throws std::runtime_error "unable to open
// file: <device name>" when it does not open, after destroying everything it
// had built. A serial connector made with an empty port name opens nothing;
// open() opens it later. The device name of a TCP/IP connector is
// "tcp://a.b.c.d:port", that of a playback connector "__playback__".
//
// Logging: the lines of every level up to the log level (5 unless given; a
// negative level passes everything) go to the caller's sink, or to the
// console and a "debug_<date>_<time>.log" file in the working directory. A
// sink handed to a constructor belongs to the connector from that moment,
// also when the constructor throws.
//
// Threads: every call of the objects handed out (but get_z3's) and of open,
// close, set_log_level, set_default_timeout and git_sha holds the
// connection's lock for its whole duration, a command's reply wait and a
// queue read's wait included, so calls of several threads never overlap.
// close(), open() and the destructor do not wait for a queue read that holds
// the lock: they wake it, and it returns an empty result; a command that
// another thread is waiting on fails. Subscription callbacks run on the
// connection's dispatcher thread: they must return promptly and must not
// call a locked method of the same connection.
#pragma once

#include <memory>
#include <string>

#include "AbstractLoggerIo.hpp"
#include "Corvid.hpp"
#include "DataRecorder.hpp"
#include "Dax.hpp"
#include "Falcon.hpp"
#include "Gannet.hpp"
#include "NotSupported.hpp"
#include "Osprey.hpp"
#include "Transport.hpp"
#include "Z3.hpp"
#include "linkwell_export.h"

namespace Sarvik {

class DataPlayer;
class LinkwellPrivate;

class LINKWELL_API Linkwell {
public:
    // A serial port by name.
    explicit Linkwell(const std::string& port_name);
    Linkwell(const std::string& port_name, int log_level);
    Linkwell(const std::string& port_name, int log_level, AbstractLoggerIo* log_sink);
    // A module over TCP/IP; ip and port in network byte order.
    Linkwell(unsigned ip, unsigned short port);
    Linkwell(unsigned ip, unsigned short port, int log_level);
    Linkwell(unsigned ip, unsigned short port, int log_level, AbstractLoggerIo* log_sink);
    // The playback of a recording. The player stays the caller's and must
    // outlive the connector.
    explicit Linkwell(DataPlayer& player);
    Linkwell(DataPlayer& player, int log_level);
    Linkwell(DataPlayer& player, int log_level, AbstractLoggerIo* log_sink);
    // Ends every recording, closes the device and joins every thread of the
    // connection.
    virtual ~Linkwell();
    Linkwell(const Linkwell&) = delete;
    Linkwell& operator=(const Linkwell&) = delete;

    // Closes the device if it is open and opens it under the name: 0, or the
    // transport's error code (for a serial port the system's). Never throws
    // for a device that does not open. Subscriptions made through the
    // Transport before are gone; running recordings go on recording.
    int open(std::string device_name);
    // Closes the device; later commands get no answer at once.
    void close();
    void set_log_level(int level);
    // The reply timeout of every later command, in seconds (2 until set).
    void set_default_timeout(unsigned seconds);
    // The protocol codec's source revision.
    std::string git_sha();

    DataRecorder& get_data_recorder();
    Corvid& get_corvid();
    Transport& get_transport();
    // The connection's command interface itself: its calls take no lock, so
    // a caller who mixes them with the other objects' calls from several
    // threads serialises them himself.
    Z3& get_z3();
    Dax& get_dax();
    Osprey& get_osprey();
    Falcon& get_falcon();
    Gannet& get_gannet();
    NotSupported& get_not_supported();

private:
    std::unique_ptr<LinkwellPrivate> d;
};

} // namespace Sarvik
