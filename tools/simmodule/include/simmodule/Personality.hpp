// Named module models for people (and tests) who want a module that simply
// behaves like one: it identifies itself, acknowledges commands and streams
// its data while its sensor runs.
#pragma once

#include "simmodule/SimModule.hpp"

#include <string>
#include <vector>

namespace simmodule {

// "presence": streams presence single and presence moving-list messages.
// "respiration": streams respiration status and respiration moving-list
// messages.
std::vector<std::string> personality_names();

// Replaces the module's rules and streams with those of the named
// personality. Each of its streams sends `rate_hz` packets per second while
// the sensor mode is run (0x01, the initial mode); idle (0x11) pauses them.
// Answers: ping with a pong echoing the ping's value; get-system-info with
// the personality's identity texts (an unknown code with error 1); get and
// set of sensor mode and LED control; everything else with an ack.
// Throws std::invalid_argument for an unknown name or a rate that is not
// positive.
void apply_personality(SimModule& module, const std::string& name, double rate_hz);

} // namespace simmodule
