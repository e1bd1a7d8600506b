#include "link/ModuleIo.hpp"

ModuleIo::~ModuleIo() = default;
