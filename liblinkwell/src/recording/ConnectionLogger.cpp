#include "recording/ConnectionLogger.hpp"

#include "command/RadarInterface.hpp"

ConnectionLogger::ConnectionLogger(RadarInterface& radar)
    : radar_(radar)
{ }

// The threshold belongs to the connection; a recorder does not change it.
void ConnectionLogger::set_log_level(int) { }

void ConnectionLogger::error(const std::string& text)
{
    radar_.log(0, text);
}

void ConnectionLogger::log(unsigned level, const std::string& text)
{
    radar_.log(level, text);
}

void ConnectionLogger::print_bytes(unsigned level, const std::vector<uint8_t>& bytes)
{
    if (!bytes.empty())
        radar_.log(level, StdoutLogger::format_bytes(bytes));
}
