// The baby respiration profile of the newer respiration modules: the adult
// application with the baby profile and a faster breathing range. It has a
// meta-object of its own, so that it can be told apart by a cast.
#pragma once

#include "apps/AdultRespirationApp.hpp"

class BabyRespirationApp : public AdultRespirationApp {
    Q_OBJECT
public:
    explicit BabyRespirationApp(Device* parent);

protected:
    BabyRespirationApp(Device* parent, const Constants& constants);
};
