// What the command tests share: outcomes rendered as text, so that one table
// row can state a result, an exception's type, text and code, or a twin's
// status and outputs; and the table runner that puts every command, over a
// SimulatedConnection, through the same answers of the module (a good reply,
// a module error, an error shorter than five bytes, a reply too short for
// its value, a closed connection, silence).
#pragma once

#include "command/RadarInterface.hpp"
#include "support/LogChecks.hpp"
#include "support/RecordingLogger.hpp"
#include "support/SimulatedConnection.hpp"
#include "support/TestSupport.hpp"
#include <linkwell/Bytes.hpp>
#include <linkwell/SarvikException.hpp>

#include "simmodule/Messages.hpp"
#include "simmodule/SimModule.hpp"

#include <gtest/gtest.h>

#include <cctype>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <tuple>
#include <typeinfo>
#include <utility>
#include <vector>

namespace commandtest {

using namespace std::chrono_literals;
using simmodule::Rule;
using simmodule::Transport;
using testsupport::hex;
using testsupport::PayloadBuilder;
using testsupport::SimulatedConnection;

// ---- outcomes as text ---------------------------------------------------

inline std::string render(const std::string& text)
{
    return "\"" + text + "\"";
}

inline std::string render(float value)
{
    std::ostringstream out;
    out << value;
    return out.str();
}

inline std::string render(uint8_t value)
{
    return std::to_string(unsigned(value));
}

inline std::string render(uint32_t value)
{
    return std::to_string(value);
}

inline std::string render(int value)
{
    return std::to_string(value);
}

inline std::string render(const Bytes& bytes)
{
    return "[" + testsupport::to_hex(bytes) + "]";
}

template <typename A, typename B> std::string render(const std::pair<A, B>& parts)
{
    return render(parts.first) + ", " + render(parts.second);
}

template <typename... Parts> std::string render(const std::tuple<Parts...>& parts)
{
    std::string out;
    std::apply([&](const auto&... part) { ((out += (out.empty() ? "" : ", ") + render(part)), ...); }, parts);
    return out;
}

// "ok" for a call that returns nothing, the rendered value for one that
// returns something, and the exception's exact type, code and text.
template <typename Call> std::string outcome(Call&& call)
{
    try {
        if constexpr (std::is_void_v<decltype(call())>) {
            call();
            return "ok";
        } else {
            return render(call());
        }
    } catch (const Sarvik::SarvikException& e) {
        return "SarvikException(" + std::to_string(e.code) + "): " + e.what();
    } catch (const std::runtime_error& e) {
        if (typeid(e) != typeid(std::runtime_error))
            return std::string("unexpected ") + typeid(e).name() + ": " + e.what();
        return std::string("runtime_error: ") + e.what();
    } catch (const std::exception& e) {
        return std::string("unexpected ") + typeid(e).name() + ": " + e.what();
    }
}

inline std::string sarvik(int code, const std::string& text)
{
    return "SarvikException(" + std::to_string(code) + "): " + text;
}

inline std::string runtime(const std::string& text)
{
    return "runtime_error: " + text;
}

using testsupport::timeout_text;

// ---- twins --------------------------------------------------------------

// The values a twin's outputs hold before the call: a twin that fails must
// leave them so.
template <typename T> T sentinel();
template <> inline uint8_t sentinel<uint8_t>()
{
    return 0xA5;
}
template <> inline uint32_t sentinel<uint32_t>()
{
    return 0xDEADBEEF;
}
template <> inline float sentinel<float>()
{
    return -1234.5f;
}
template <> inline std::string sentinel<std::string>()
{
    return "untouched";
}
template <> inline Bytes sentinel<Bytes>()
{
    return { 0xEE, 0xEE };
}

struct TwinResult {
    int status = -99;
    std::string outputs; // rendered as the throwing form renders its result
    bool untouched = true; // every output still holds its sentinel
};

// Runs a twin with one pointer per output, each preset to its sentinel.
template <typename... Outs, typename Twin> TwinResult run_twin(Twin&& twin)
{
    std::tuple<Outs...> outs { sentinel<Outs>()... };
    TwinResult result;
    result.status = std::apply([&](auto&... out) { return twin(&out...); }, outs);
    if constexpr (sizeof...(Outs) == 1)
        result.outputs = render(std::get<0>(outs));
    else if constexpr (sizeof...(Outs) > 1)
        result.outputs = render(outs);
    result.untouched = outs == std::tuple<Outs...> { sentinel<Outs>()... };
    return result;
}

// ---- the table of commands ----------------------------------------------

// How a command judges its reply, and so what each failure looks like.
enum class Check {
    HandleAck, // SarvikException "<name>: module reponded with ..." / " response from module is empty"
    AckRecord, // SarvikException(text, parser's code: module's, 2 short, 5 empty)
    ErrorByte, // SarvikException(text, 1)
    ReplyRuntime, // std::runtime_error(text)
    ReplySarvik, // SarvikException(text, parser's code; 2 for a value the data cannot hold)
};

struct Command {
    std::string label;
    std::function<std::string(RadarInterface&)> call; // the throwing form, through outcome()
    std::function<TwinResult(RadarInterface&)> twin;
    Bytes payload; // exactly what goes to the module
    Bytes reply; // a good answer
    std::string result; // what the good answer yields ("ok" for setters)
    Check check;
    std::string text; // HandleAck: the method name; otherwise the failure text
    std::string trace; // the Trace the call opens ("" for none)
    Bytes short_reply = {}; // a getter's reply whose data is too short for its value
    Bytes decoy = {}; // sent before the good answer; awaited prefixes must skip it
    bool error_awaited = true; // false: a module error is no answer (it ends in the timeout)
};

enum class Answer { Good, ModuleError, ShortError, ShortData, Closed, Silent };

inline const char* answer_name(Answer answer)
{
    switch (answer) {
    case Answer::Good:
        return "Good";
    case Answer::ModuleError:
        return "ModuleError";
    case Answer::ShortError:
        return "ShortError";
    case Answer::ShortData:
        return "ShortData";
    case Answer::Closed:
        return "Closed";
    case Answer::Silent:
        return "Silent";
    }
    return "?";
}

constexpr uint32_t module_error_code = 7;
inline Bytes short_error_reply()
{
    return hex("20 07 00 00");
} // one byte short of a code

// The throwing form's outcome and the twin's status for a failing answer.
inline std::pair<std::string, int> expected_failure(const Command& command, Answer answer)
{
    if (answer == Answer::Silent)
        return { runtime(timeout_text), 1 };
    const bool closed = answer == Answer::Closed;
    switch (command.check) {
    case Check::HandleAck:
        if (closed)
            return { sarvik(1, command.text + " response from module is empty"), 1 };
        if (answer == Answer::ShortError)
            return { sarvik(32, command.text + ": module reponded with QRB_SPR_ERROR"), 32 };
        return { sarvik(module_error_code, command.text + ": module reponded with QRB_SPR_ERROR"),
            module_error_code };
    case Check::AckRecord:
    case Check::ReplySarvik: {
        const int code = closed ? 5 : answer == Answer::ModuleError ? int(module_error_code) : 2;
        return { sarvik(code, command.text), code };
    }
    case Check::ErrorByte:
        return { sarvik(1, command.text), 1 };
    case Check::ReplyRuntime:
        return { runtime(command.text), 1 };
    }
    return { "?", -1 };
}

// Makes the module answer a command's payload as asked: with `replies` in
// their order (a good answer, a decoy before it, a reply too short for its
// value, or any reply a test gives), a module error or an error too short for
// its code when no reply is given; or closes the connection, or makes the
// reply timeout pass at once.
inline void arrange(
    SimulatedConnection& c, const Bytes& payload, Answer answer, const std::vector<Bytes>& replies)
{
    Rule rule(payload);
    for (const Bytes& reply : replies)
        rule.reply(reply);
    if (replies.empty() && answer == Answer::ModuleError)
        rule.error(module_error_code);
    if (replies.empty() && answer == Answer::ShortError)
        rule.reply(short_error_reply());
    if (answer == Answer::Closed)
        c.radar().close();
    if (answer == Answer::Silent)
        c.radar().set_default_timeout(0);
    c.module().add_rule(rule);
}

// The replies of a table row for the answer.
inline std::vector<Bytes> replies_for(const Command& command, Answer answer)
{
    if (answer == Answer::ShortData)
        return { command.short_reply };
    if (answer != Answer::Good)
        return {};
    if (command.decoy.empty())
        return { command.reply };
    return { command.decoy, command.reply };
}

// Answers the command as asked, runs its throwing form and its twin, and
// checks outcome, status, outputs, the bytes the module received and the
// Trace.
inline void run_command(const Command& command, Answer answer)
{
    SimulatedConnection c;
    arrange(c, command.payload, answer, replies_for(command, answer));

    const std::string thrown = command.call(c.radar());
    const auto expected = answer == Answer::Good ? std::pair<std::string, int> { command.result, 0 }
                                                 : expected_failure(command, answer);
    EXPECT_EQ(expected.first, thrown);
    int calls = 1;
    if (command.twin) {
        ++calls;
        const TwinResult twin = command.twin(c.radar());
        EXPECT_EQ(expected.second, twin.status);
        if (answer != Answer::Good) {
            EXPECT_TRUE(twin.untouched) << "outputs written on failure: " << twin.outputs;
        } else if (command.result != "ok") {
            EXPECT_EQ(command.result, twin.outputs);
        }
    }

    if (answer == Answer::Closed) {
        EXPECT_EQ(0u, c.module().received_count()) << "a closed connection sent something";
    } else {
        EXPECT_TRUE(c.module().wait_for_received(calls, 5s));
        EXPECT_EQ(std::vector<Bytes>(calls, command.payload), c.module().received());
    }
    if (!command.trace.empty()) {
        EXPECT_EQ(calls, c.log().count(command.trace + " -- begin")) << testsupport::dump(c.log());
        EXPECT_EQ(calls, c.log().count(command.trace + " -- end"));
    }
    EXPECT_EQ(0u, c.module().framing_errors());
    EXPECT_TRUE(c.module().errors().empty());
}

// Every answer that tells something about this command.
inline std::vector<Answer> answers_for(const Command& command)
{
    std::vector<Answer> answers { Answer::Good, Answer::Closed, Answer::Silent };
    if (command.error_awaited) {
        answers.push_back(Answer::ModuleError);
        answers.push_back(Answer::ShortError);
    }
    if (!command.short_reply.empty())
        answers.push_back(Answer::ShortData);
    return answers;
}

struct CommandCase {
    const Command* command;
    Answer answer;
};

inline std::vector<CommandCase> cases_of(const std::vector<Command>& table)
{
    std::vector<CommandCase> cases;
    for (const Command& command : table)
        for (Answer answer : answers_for(command))
            cases.push_back({ &command, answer });
    return cases;
}

inline std::string case_name(const ::testing::TestParamInfo<CommandCase>& info)
{
    std::string name = info.param.command->label + "_" + answer_name(info.param.answer);
    for (char& ch : name)
        if (!std::isalnum(static_cast<unsigned char>(ch)))
            ch = '_';
    return name;
}

inline void PrintTo(const CommandCase& c, std::ostream* out)
{
    *out << c.command->label << " / " << answer_name(c.answer);
}

// ---- building rows ------------------------------------------------------

// The throwing form of a row, rendered.
template <typename Call> std::function<std::string(RadarInterface&)> calls(Call call)
{
    return [call](RadarInterface& r) { return outcome([&] { return call(r); }); };
}

// A twin row without outputs.
template <typename Twin> std::function<TwinResult(RadarInterface&)> twin(Twin twin)
{
    return [twin](RadarInterface& r) { return run_twin<>([&] { return twin(r); }); };
}

// A twin row with outputs of these types, handed in as pointers.
template <typename... Outs, typename Twin> std::function<TwinResult(RadarInterface&)> twin_out(Twin twin)
{
    return [twin](RadarInterface& r) {
        return run_twin<Outs...>([&](Outs*... outs) { return twin(r, outs...); });
    };
}

// One reply, or none for an empty one.
inline std::vector<Bytes> replies(const Bytes& reply)
{
    if (reply.empty())
        return {};
    return { reply };
}

// A setter that awaits an ack and judges it with handle_ack, under its
// method's name.
inline Command acknowledged(const std::string& label, std::function<void(RadarInterface&)> call,
    std::function<int(RadarInterface&)> status_form, const Bytes& payload)
{
    return { label, calls(call), twin(status_form), payload, hex("10"), "ok", Check::HandleAck, label,
        label };
}

// A file-system list reply: its length field counts 4-byte values, not
// bytes, and claims `claimed` of them.
inline Bytes list_reply(uint32_t id, const std::vector<uint32_t>& values, uint32_t claimed)
{
    PayloadBuilder b;
    b.u8(0x11).u8(0x11).u32(id).u32(0).u32(claimed);
    for (uint32_t v : values)
        b.u32(v);
    return b;
}
inline Bytes list_reply(uint32_t id, const std::vector<uint32_t>& values)
{
    return list_reply(id, values, static_cast<uint32_t>(values.size()));
}

inline Bytes join(Bytes first, const Bytes& second)
{
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

inline Bytes u32s(std::initializer_list<uint32_t> values)
{
    PayloadBuilder b;
    for (uint32_t v : values)
        b.u32(v);
    return b;
}

inline Bytes f32s(std::initializer_list<float> values)
{
    PayloadBuilder b;
    for (float v : values)
        b.f32(v);
    return b;
}

} // namespace commandtest
