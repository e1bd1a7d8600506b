#include "BabyRespirationLoMemApp.hpp"

BabyRespirationLoMemApp::BabyRespirationLoMemApp(Device* parent)
    : BabyRespirationApp(parent, babyLoMemConstants)
{ }
