// The memory-optimised baby respiration profile: a shorter detection zone
// and settings of its own; it shares the baby application's meta-object.
#pragma once

#include "apps/BabyRespirationApp.hpp"

class BabyRespirationLoMemApp : public BabyRespirationApp {
public:
    explicit BabyRespirationLoMemApp(Device* parent);
};
