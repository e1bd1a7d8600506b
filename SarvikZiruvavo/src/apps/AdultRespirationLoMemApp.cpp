#include "AdultRespirationLoMemApp.hpp"

AdultRespirationLoMemApp::AdultRespirationLoMemApp(Device* parent)
    : AdultRespirationApp(parent, adultLoMemConstants)
{ }
