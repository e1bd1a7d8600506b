// The memory-optimised adult respiration profile: a shorter detection zone
// and settings of its own; it shares the adult application's meta-object.
#pragma once

#include "apps/AdultRespirationApp.hpp"

class AdultRespirationLoMemApp : public AdultRespirationApp {
public:
    explicit AdultRespirationLoMemApp(Device* parent);
};
