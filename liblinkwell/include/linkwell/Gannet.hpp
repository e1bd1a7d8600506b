// The commands of the vital-signs module: the methods every application
// module offers, plus the respiration, sleep and vital-signs message queues.
// Falcon and Gannet are the same commands under two names.
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

class LINKWELL_API Gannet {
public:
    // Keeps the connection's address; it must outlive this object.
    explicit Gannet(LockedRadarInterface& connection);
    ~Gannet();
    Gannet(const Gannet&) = delete;
    Gannet& operator=(const Gannet&) = delete;

#include "ApplicationModuleMethods.inc"

#include "RespirationModuleMethods.inc"

private:
    std::unique_ptr<ModelPrivate> d;
};

} // namespace Sarvik
