// The connection object of the value-returning interface, for a Python
// binding: one per module connection (a serial port, a TCP/IP endpoint, or
// the playback of a recording). It builds and owns everything the connection
// needs and hands out one value-returning object per module model, the
// value-returning data recorder, raw access (Transport) and low-level debug
// access (NotSupported). The objects handed out belong to the connector and
// go with it.
//
// Construction opens the device and throws std::runtime_error "unable to open
// file: <device name>" when it does not open, after destroying everything it
// had built. The connector made with only a log level opens nothing; open()
// opens it later. The device name of a TCP/IP connector is
// "tcp://a.b.c.d:port", that of a playback connector "__playback__".
//
// Logging: the lines of every level up to the log level (a negative level
// passes everything) go to the console and to a "debug_<date>_<time>.log"
// file in the working directory.
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

#include "LockedRadarInterface.hpp"
#include "NotSupported.hpp"
#include "PyCorvid.hpp"
#include "PyDataRecorder.hpp"
#include "PyDax.hpp"
#include "PyFalcon.hpp"
#include "PyGannet.hpp"
#include "PyOsprey.hpp"
#include "Transport.hpp"
#include "Z3.hpp"
#include "linkwell_export.h"

class AbstractFactory;
class Logger;
class UartIo;

namespace Sarvik {

class PyDataPlayer;

class LINKWELL_API PythonLinkwell {
public:
    // A serial port by name.
    PythonLinkwell(const std::string& port_name, int log_level);
    // Nothing opened yet: open() names the serial port.
    explicit PythonLinkwell(int log_level);
    // A module over TCP/IP; ip and port in network byte order.
    PythonLinkwell(unsigned ip, unsigned short port, int log_level);
    // The playback of the player's recording. The connector shares the
    // player with the caller: either may be destroyed first.
    PythonLinkwell(PyDataPlayer& player, int log_level);
    // The connection over the library's own transport factory and logger,
    // which the connector owns from the call on, also when it throws. An
    // empty device name opens nothing.
    PythonLinkwell(AbstractFactory* factory, Logger* logger, const std::string& device_name);
    // Ends every recording, closes the device and joins every thread of the
    // connection.
    virtual ~PythonLinkwell();
    PythonLinkwell(const PythonLinkwell&) = delete;
    PythonLinkwell& operator=(const PythonLinkwell&) = delete;

    // Closes the device if it is open and opens it under the name, on the
    // transport chosen at construction. Throws SarvikException "method
    // failed" with the transport's error code (for a serial port the
    // system's) when it does not open; the connection is closed then.
    // Subscriptions made through the Transport before are gone; running
    // recordings go on recording.
    void open(std::string device_name);
    // Closes the device; later commands get no answer at once.
    void close();
    void set_log_level(int level);
    // The reply timeout of every later command, in seconds (2 until set).
    void set_default_timeout(unsigned seconds);
    // The protocol codec's source revision.
    std::string git_sha();

    PyDataRecorder& get_data_recorder();
    PyCorvid& get_corvid();
    Transport& get_transport();
    // The connection's command interface itself: its calls take no lock, so
    // a caller who mixes them with the other objects' calls from several
    // threads serialises them himself.
    Z3& get_z3();
    PyDax& get_dax();
    PyOsprey& get_osprey();
    PyFalcon& get_falcon();
    PyGannet& get_gannet();
    NotSupported& get_not_supported();

private:
    // What a public constructor makes before the connection: the logger,
    // the factory and the device name.
    struct Parts;
    template <typename MakeFactory>
    static Parts make_parts(int log_level, MakeFactory make_factory, std::string device_name);
    explicit PythonLinkwell(Parts&& parts);

    // Declared in the order in which they are built: each part refers only
    // to parts declared before it, and they go in reverse. The library's
    // own types stay incomplete here: the connection (its lock and command
    // interface) is held through a pointer for that reason alone.
    std::unique_ptr<Logger> logger_;
    std::unique_ptr<AbstractFactory> factory_;
    std::unique_ptr<UartIo> io_;
    std::unique_ptr<LockedRadarInterface> connection_;
    std::unique_ptr<PyCorvid> corvid_;
    std::unique_ptr<PyDax> dax_;
    std::unique_ptr<PyOsprey> osprey_;
    std::unique_ptr<PyFalcon> falcon_;
    std::unique_ptr<PyGannet> gannet_;
    std::unique_ptr<PyDataRecorder> recorder_;
    std::unique_ptr<Transport> transport_;
    std::unique_ptr<NotSupported> not_supported_;
};

} // namespace Sarvik
