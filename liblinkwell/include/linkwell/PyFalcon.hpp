// The commands of the respiration and sleep module, in the value-returning
// form meant for a scripting-language binding: a getter returns its value, a
// setter or action returns nothing, and every failure leaves the method as
// the exception of the command (SarvikException with the module's error
// code, std::runtime_error for a missing or undecodable reply), unchanged.
// PyFalcon and PyGannet are the same commands under two names.
//
// Every method holds the connection's lock for its whole call, waiting while
// a call from another thread or class runs; the lock is released before a
// value or an exception reaches the caller.
//
// A read_message_ method waits, without a time limit and holding the lock,
// while its queue is empty: call the matching peek_message_ method first and
// read only when it counts more than 0.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "Bytes.hpp"
#include "LockedRadarInterface.hpp"
#include "SarvikData.hpp"
#include "linkwell_export.h"

namespace Sarvik {

class ModelPrivate;

class LINKWELL_API PyFalcon {
public:
    // Keeps the connection's address; it must outlive this object. Sends
    // nothing to the module.
    explicit PyFalcon(LockedRadarInterface& connection);
    ~PyFalcon();
    PyFalcon(const PyFalcon&) = delete;
    PyFalcon& operator=(const PyFalcon&) = delete;

#include "PyRespirationModuleMethods.inc"

private:
    std::unique_ptr<ModelPrivate> d;
};

} // namespace Sarvik
