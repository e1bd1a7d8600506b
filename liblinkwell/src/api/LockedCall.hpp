// The one way in which the model classes reach a connection: the
// connection's mutex is taken (waiting while another thread holds it), the
// one call is made, and the mutex is released on every way out, an exception
// included, before the call's result, or its exception, reaches the caller.
// A mutex that cannot be locked throws std::system_error and nothing is
// called.
//
// A method's by-value arguments (queue names, callbacks) are its own copies,
// made by its caller before the lock is taken; the call moves them on, and
// what is left of them is destroyed after the lock is released.
#pragma once

#include <utility>

#include "common/UniqueLocked.hpp"

template <typename Target, typename Mutex, typename Call>
decltype(auto) locked_call(UniqueLocked<Target, Mutex>& connection, Call&& call)
{
    return connection.locked(std::forward<Call>(call));
}
