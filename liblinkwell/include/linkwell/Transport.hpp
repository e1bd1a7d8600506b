// Raw access to one module connection: byte sequences composed by the
// client, replies chosen by their leading bytes, and subscriptions to
// received packets by their leading bytes, into a named queue or a callback.
//
// A prefix matches every packet that begins with exactly its bytes; an empty
// prefix matches every packet. One name space serves every subscription of
// the connection, the library's own included: clients use names of their
// own. Subscriptions last until unsubscribe, until the connection is closed
// or opened again, or until the connector goes.
//
// Every method holds the connection's lock for its whole call, so calls of
// all threads and classes on one connection never overlap. On a closed
// connection nothing is sent, requests and reads return an empty packet at
// once, counts are 0 and subscriptions are ignored.
//
// Callbacks run on the connection's dispatcher thread, which also delivers
// the replies that other threads wait for: a callback must return promptly
// and must not call a method of the same connection.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Bytes.hpp"
#include "LockedRadarInterface.hpp"
#include "linkwell_export.h"

namespace Sarvik {

class ModelPrivate;

class LINKWELL_API Transport {
public:
    // Keeps the connection's address; it must outlive the transport.
    explicit Transport(LockedRadarInterface& connection);
    ~Transport();
    Transport(const Transport&) = delete;
    Transport& operator=(const Transport&) = delete;

    // Writes the bytes to the module as they are (a complete frame) and
    // waits for nothing. Returns 0.
    int send_command(const Bytes& bytes);
    // Frames the payload, sends it and returns the first packet that begins
    // with the prefix (with any of the prefixes). Waits up to the
    // connection's reply timeout and throws std::runtime_error "Timeout
    // waiting for response\n" when nothing matching comes.
    Bytes send_command_single(const Bytes& payload, const Bytes& reply_prefix);
    Bytes send_command_multi(const Bytes& payload, const std::vector<Bytes>& reply_prefixes);

    // Every packet that begins with the prefix goes into the queue of that
    // name (at most 1000 packets; the oldest is dropped first). A
    // subscription of the same name is replaced. Returns 0.
    int subscribe(const std::string& name, const Bytes& prefix);
    // Every packet that begins with the prefix is passed to the callback on
    // the dispatcher thread; its result is ignored. Returns 0.
    int subscribe(const std::string& name, const Bytes& prefix, std::function<bool(Bytes)> callback);
    // Removes the subscription of that name with every packet its queue
    // holds; nothing for an unknown name.
    void unsubscribe(const std::string& name);

    // Takes the oldest packet of the named queue, waiting WITHOUT A TIME
    // LIMIT, and holding the connection's lock, while the queue is empty: ask
    // get_number_of_packets first. An empty packet at once when no queue has
    // that name, and when the connection is closed while the call waits.
    Bytes get_packet(const std::string& name);
    // Packets waiting in the named queue; 0 for an unknown name.
    int get_number_of_packets(const std::string& name);
    // Empties the named queue; nothing for an unknown name.
    void clear(const std::string& name);

private:
    std::unique_ptr<ModelPrivate> d;
};

} // namespace Sarvik
