// The logger of a recorder built on a connection: every line goes to the
// connection's own logger through RadarInterface::log, errors at level 0.
#pragma once

#include "log/ConsoleAndFileLogger.hpp"

class RadarInterface;

class ConnectionLogger : public Logger {
public:
    // The interface must outlive the logger.
    explicit ConnectionLogger(RadarInterface& radar);

    void set_log_level(int level) override;
    void error(const std::string& text) override;
    void log(unsigned level, const std::string& text) override;
    void print_bytes(unsigned level, const std::vector<uint8_t>& bytes) override;

private:
    RadarInterface& radar_;
};
