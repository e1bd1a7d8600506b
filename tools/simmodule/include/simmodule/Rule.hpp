// One line of the module's script: how it answers commands with a prefix.
#pragma once

#include "simmodule/Framing.hpp"

#include <chrono>
#include <cstdint>
#include <functional>
#include <vector>

namespace simmodule {

// How the module drops a connection.
enum class HangUp {
    Close, // orderly close: the host reads end of stream
    Reset, // TCP: abortive close (RST), the host's next read or write fails
};

// A rule matches every command payload that begins with its prefix (an empty
// prefix matches everything). The module takes the first matching rule and
// runs its steps in order; a rule without steps is silence. Built fluently:
//
//   Rule(command::get_system_info(6)).reply(system_info_reply("SN-1"))
//   Rule({0x20}).after(std::chrono::milliseconds(50)).error(7)
//   Rule({0x22}).ack().hang_up()
class Rule {
public:
    // Computes reply payloads from the command payload; runs on the module's
    // thread. Whatever it throws is caught there and counts as no reply.
    using ReplyMaker = std::function<std::vector<Bytes>(const Bytes& command)>;

    struct Step {
        enum class Kind { Write, Pause, Compute, HangUp };
        Kind kind = Kind::Write;
        Bytes wire; // Write: bytes as they go on the wire
        std::chrono::nanoseconds pause { 0 }; // Pause
        ReplyMaker make; // Compute: its payloads are framed
        HangUp how = HangUp::Close; // HangUp
    };

    explicit Rule(Bytes prefix);

    // One framed reply packet; call again for several packets per command.
    Rule& reply(const Bytes& payload);
    // Framed ack (0x10).
    Rule& ack();
    // Framed error reply (0x20 and the code).
    Rule& error(uint32_t code);
    // A packet in any form (Form::Raw for bytes exactly as given).
    Rule& packet(const Bytes& payload, Form form);
    // Bytes exactly as given, unframed: for malformed input.
    Rule& raw(const Bytes& bytes);
    // Replies computed from the command, each framed.
    Rule& reply_with(ReplyMaker make);
    // Waits before the steps that follow. The module answers commands one at
    // a time, so a pause also holds back the answers to later commands.
    Rule& after(std::chrono::nanoseconds delay);
    // Drops the connection once everything before it has been written.
    Rule& hang_up(HangUp how = HangUp::Close);
    // The rule applies to its next `count` matching commands only, then is
    // removed. Without it a rule applies forever.
    Rule& times(unsigned count);
    // The rule matches only the commands with its prefix for which `test`
    // is true (for commands that share a prefix and differ in what
    // follows). Runs on the module's thread under its lock, so it must not
    // call the module; an exception counts as false.
    Rule& when(std::function<bool(const Bytes& command)> test);

    const Bytes& prefix() const { return prefix_; }
    const std::vector<Step>& steps() const { return steps_; }
    bool matches(const Bytes& payload) const;
    // Commands it still applies to; 0 means no limit.
    unsigned remaining() const { return remaining_; }
    // Counts one use; true when the rule is used up.
    bool use();

private:
    Bytes prefix_;
    std::function<bool(const Bytes&)> test_;
    std::vector<Step> steps_;
    unsigned remaining_ = 0;
};

} // namespace simmodule
