#include "link/ModuleIo.hpp"

ModuleIo::~ModuleIo() = default;

void ModuleIo::abort_writes() { }

void ModuleIo::interrupt_reads() { }

bool ModuleIo::reads_whole_packets() const
{
    return false;
}

int ModuleIo::read_packets(std::vector<std::vector<uint8_t>>&, unsigned, unsigned)
{
    return -1;
}
