// The heart-rate profile: the adult application that keeps the heart-rate
// state when a sleep packet reports breathing. No module bit makes it. It has
// a meta-object of its own, so that it can be told apart by a cast.
#pragma once

#include "apps/AdultRespirationApp.hpp"

class HeartrateApp : public AdultRespirationApp {
    Q_OBJECT
public:
    explicit HeartrateApp(Device* parent);
};
