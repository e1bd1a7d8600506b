#include "HeartrateApp.hpp"

HeartrateApp::HeartrateApp(Device* parent)
    : AdultRespirationApp(parent, heartrateConstants)
{ }
