// A simulated radar module for tests and for trying the software without
// hardware. It serves a pseudo-terminal or a TCP listener on 127.0.0.1,
// records every payload the host sends and answers by script.
#pragma once

#include "simmodule/DataSource.hpp"
#include "simmodule/Framing.hpp"
#include "simmodule/Rule.hpp"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace simmodule {

enum class Transport {
    // A fresh pseudo-terminal; the host opens pty_path() as a serial port.
    Pty,
    // A listener on 127.0.0.1; one client at a time, the next one is
    // accepted after the current one has gone.
    Tcp,
};

// All methods are safe to call from any thread. One thread of its own does
// all I/O; it is started by the constructor and joined by stop() or the
// destructor. Callbacks (reply makers, generators, the command observer) run
// on that thread and must not call stop() or destroy the module.
class SimModule {
public:
    using Duration = std::chrono::steady_clock::duration;

    // Opens the transport and starts serving. `tcp_port` 0 picks a free
    // port. Throws std::system_error when the transport cannot be opened.
    explicit SimModule(Transport transport, uint16_t tcp_port = 0);
    ~SimModule();
    SimModule(const SimModule&) = delete;
    SimModule& operator=(const SimModule&) = delete;

    Transport transport() const;
    // The slave path of the pseudo-terminal (empty for TCP).
    const std::string& pty_path() const;
    // The port the listener is bound to (0 for a pseudo-terminal).
    uint16_t tcp_port() const;

    // Stops serving: closes the connection and the transport, joins the
    // thread. Idempotent; what was recorded stays readable.
    void stop();

    // --- Script. Rules are tried in order; the first match answers. --------
    void add_rule(Rule rule); // after the existing rules
    void add_rule_first(Rule rule); // before them, e.g. to override a catch-all
    void set_rules(std::vector<Rule> rules);
    void clear_rules(); // the module falls silent

    // --- Data the module sends unasked. ------------------------------------
    // Starts (or replaces) the named stream: packets at a steady rate for
    // as long as a host is connected. When the host does not read fast
    // enough, packets are dropped as a real module would drop them.
    void start_stream(const std::string& name, DataSource source, double packets_per_second);
    void stop_stream(const std::string& name);
    void stop_all_streams();
    // Queues `count` packets to be sent as fast as the host takes them,
    // losslessly. Bursts and single packets go out in the order queued.
    // Queued while no host is connected, they wait for the next one; a
    // disconnection drops what was queued for that connection.
    void send_burst(DataSource source, uint64_t count);
    void send_packet(const Bytes& payload, Form form = Form::Framed);
    void send_raw(const Bytes& bytes);
    // Waits until every burst, packet and reply queued so far has been
    // handed to the transport. False on timeout.
    bool wait_until_sent(Duration timeout) const;

    // --- What the host sent. ----------------------------------------------
    std::vector<Bytes> received() const;
    size_t received_count() const;
    Bytes received_at(size_t index) const; // empty when out of range
    void clear_received();
    // Waits until at least `count` payloads have been recorded (since the
    // last clear_received). False on timeout.
    bool wait_for_received(size_t count, Duration timeout) const;
    // Called with every payload as it arrives, before it is answered.
    void set_command_observer(std::function<void(const Bytes&)> observer);
    // Malformed frames and stray bytes the host sent.
    uint64_t framing_errors() const;

    // --- Connection. --------------------------------------------------------
    // True while a host can talk to the module: a TCP client is connected,
    // or the pseudo-terminal has not been hung up.
    bool connected() const;
    // TCP clients accepted so far (a pseudo-terminal counts as one).
    uint64_t connection_count() const;
    bool wait_for_connected(Duration timeout) const;
    bool wait_for_connection_count(uint64_t count, Duration timeout) const;
    bool wait_for_disconnected(Duration timeout) const;
    // Drops the current connection now, whatever is still queued. A TCP
    // listener goes on accepting; a pseudo-terminal is gone for good (the
    // host's port reports the hang-up). Returns once done.
    void hang_up(HangUp how = HangUp::Close);

    // --- Statistics. --------------------------------------------------------
    uint64_t data_packets_sent() const; // stream, burst and single packets
    uint64_t stream_packets_dropped() const;
    // Texts of exceptions caught on the module's thread (reply makers,
    // generators, observer, I/O failures).
    std::vector<std::string> errors() const;

private:
    class Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace simmodule
