// The commands of the presence module: the methods every application module
// offers, plus its two presence message queues.
//
// Every method holds the connection's lock for its whole call (waiting while
// a call from another thread or class runs) and returns 0 on success, the
// module's error code, or 1 for any other failure, the reply timeout
// included. Out-values are written only on success and must point to
// writable objects. Methods marked "throws" return what their command
// returns and let its exceptions through instead.
//
// A read_message_ method waits, without a time limit and holding the lock,
// while its queue is empty: call the matching peek_message_ method first and
// read only when it counts more than 0.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Bytes.hpp"
#include "LockedRadarInterface.hpp"
#include "SarvikData.hpp"
#include "linkwell_export.h"

namespace Sarvik {

class ModelPrivate;

class LINKWELL_API Osprey {
public:
    // Keeps the connection's address; it must outlive this object.
    explicit Osprey(LockedRadarInterface& connection);
    ~Osprey();
    Osprey(const Osprey&) = delete;
    Osprey& operator=(const Osprey&) = delete;

#include "ApplicationModuleMethods.inc"

    // ---- Presence messages ---------------------------------------------------
    int peek_message_presence_single();
    int read_message_presence_single(PresenceSingleData* data);
    int peek_message_presence_movinglist();
    int read_message_presence_movinglist(PresenceMovingListData* data);

private:
    std::unique_ptr<ModelPrivate> d;
};

} // namespace Sarvik
