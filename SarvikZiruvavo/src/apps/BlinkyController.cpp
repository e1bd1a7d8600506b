#include "BlinkyController.hpp"
