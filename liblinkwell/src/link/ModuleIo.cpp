#include "link/ModuleIo.hpp"

ModuleIo::~ModuleIo() = default;

void ModuleIo::abort_writes() { }

void ModuleIo::interrupt_reads() { }
