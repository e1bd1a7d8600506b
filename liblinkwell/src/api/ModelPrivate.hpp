// The private part of the model classes, status-code and value-returning
// alike: the connection they work on, not owned. Nothing else, so that two
// objects on one connection are interchangeable.
#pragma once

#include <linkwell/LockedRadarInterface.hpp>

#include "api/LockedCall.hpp"
#include "command/RadarInterface.hpp"

namespace Sarvik {

class ModelPrivate {
public:
    explicit ModelPrivate(LockedRadarInterface& connection)
        : connection_(&connection)
    { }

    // Runs call(radar) on the connection under its lock and returns what it
    // returns.
    template <typename Call> decltype(auto) call(Call&& call)
    {
        return locked_call(*connection_, std::forward<Call>(call));
    }

private:
    LockedRadarInterface* connection_;
};

} // namespace Sarvik
