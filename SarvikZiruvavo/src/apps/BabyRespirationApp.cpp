#include "BabyRespirationApp.hpp"

BabyRespirationApp::BabyRespirationApp(Device* parent)
    : AdultRespirationApp(parent, babyConstants)
{ }

BabyRespirationApp::BabyRespirationApp(Device* parent, const Constants& constants)
    : AdultRespirationApp(parent, constants)
{ }
