// One module command as RadarInterface sends it: the name of the method (its
// Trace, and the name that its failure texts carry), the replies that answer
// it, and how an answer that refuses the command fails. With the packet from
// its Commands builder, a row is the whole command: RadarInterface::set and
// RadarInterface::get run the exchange and the check for every row alike.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include <linkwell/Bytes.hpp>
#include <linkwell/protocol_parser.h>

struct CommandRow {
    // How an answer that refuses the command fails.
    enum class Check {
        // Setters. An empty answer: SarvikException "<name> response from
        // module is empty" (1); an error packet: "<name>: module reponded
        // with QRB_SPR_ERROR" with the module's code (32 when it is cut
        // short); any other answer passes.
        handle_ack,
        // The answer decoded as an acknowledgement: SarvikException(text)
        // with the module's or the decoder's code.
        ack_record,
        // The same without a code: std::runtime_error "parse_reply failed in
        // <name>".
        ack_record_uncoded,
        // An empty answer or an error packet: SarvikException(text, 1); the
        // module's code is not read.
        error_byte,
        // Getters. A refused reply, or one whose data cannot hold the value:
        // std::runtime_error with the text followed by the name.
        reply_uncoded,
        // The same as SarvikException(text) with the module's or the
        // decoder's code (2 for data too short for the value).
        reply_coded,
        // The older commands, which await one reply only and read it each
        // in its own way.
        by_caller,
    };

    const char* name;
    std::vector<Bytes> awaited;
    Check check;
    const char* text = nullptr;
    // Whether the command logs a Trace under its name.
    bool traced = true;
};

// ---- the replies that answer a command ----------------------------------

// The value type, the second byte of a get reply.
enum ValueType : uint8_t { byte_value = 0x10, u32_value = 0x11, f32_value = 0x12, text_value = 0x13 };

// An acknowledgement or a module error.
inline std::vector<Bytes> ack_or_error()
{
    return { { LINKWELL_MESSAGE_ACK }, { LINKWELL_MESSAGE_ERROR } };
}

// A get reply of the value type (and of the parameter, where the reply names
// it), or a module error.
inline std::vector<Bytes> value_or_error(ValueType type)
{
    return { { LINKWELL_MESSAGE_REPLY, type }, { LINKWELL_MESSAGE_ERROR } };
}

inline std::vector<Bytes> value_or_error(ValueType type, uint8_t parameter)
{
    return { { LINKWELL_MESSAGE_REPLY, type, parameter }, { LINKWELL_MESSAGE_ERROR } };
}

// ---- rows -----------------------------------------------------------------

// A setter that fails as handle_ack does.
inline CommandRow acknowledged(const char* name)
{
    return { name, ack_or_error(), CommandRow::Check::handle_ack };
}

// A setter whose answer is decoded as an acknowledgement, failing with the
// text and the code.
inline CommandRow acknowledged(const char* name, const char* failure)
{
    return { name, ack_or_error(), CommandRow::Check::ack_record, failure };
}

// A setter whose answer is decoded as an acknowledgement, failing without a
// code.
inline CommandRow acknowledged_uncoded(const char* name)
{
    return { name, ack_or_error(), CommandRow::Check::ack_record_uncoded };
}

// A setter that only looks for an error byte.
inline CommandRow error_checked(const char* name, const char* failure)
{
    return { name, ack_or_error(), CommandRow::Check::error_byte, failure };
}

// A getter awaiting these replies, failing with std::runtime_error
// "parse_reply failed in <name>" unless another text is given.
inline CommandRow getter(
    const char* name, std::vector<Bytes> awaited, const char* failure = "parse_reply failed in ")
{
    return { name, std::move(awaited), CommandRow::Check::reply_uncoded, failure };
}

// A getter failing with SarvikException(failure) and the code.
inline CommandRow getter_coded(const char* name, std::vector<Bytes> awaited, const char* failure)
{
    return { name, std::move(awaited), CommandRow::Check::reply_coded, failure };
}

// One of the older commands: it awaits one reply only, so a module error is
// never its answer, and reads that reply itself.
inline CommandRow single_reply(const char* name, Bytes prefix)
{
    return { name, { std::move(prefix) }, CommandRow::Check::by_caller };
}

// The row without its Trace.
inline CommandRow untraced(CommandRow row)
{
    row.traced = false;
    return row;
}
