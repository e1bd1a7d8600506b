// The program's sink for the library's log lines: each line becomes one debug
// message of the program's log. The library object handed a LoggerIo owns it.
#pragma once

#include <linkwell/AbstractLoggerIo.hpp>

#include <string>

class LoggerIo : public Sarvik::AbstractLoggerIo {
public:
    ~LoggerIo() override = default;
    // Called on whichever library thread logs; the library serialises the calls
    // of one logger, and Qt's message handler takes messages from any thread.
    void log(const std::string& line) override;
};
