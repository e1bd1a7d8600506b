// The private part of Corvid, which its copies share.
#pragma once

#include "api/ModelPrivate.hpp"

namespace Sarvik {

class CorvidPrivate : public ModelPrivate {
public:
    using ModelPrivate::ModelPrivate;
};

} // namespace Sarvik
