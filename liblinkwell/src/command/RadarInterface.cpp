#include "command/RadarInterface.hpp"

#include <chrono>
#include <optional>
#include <stdexcept>
#include <thread>

#include "command/CommandRow.hpp"
#include "common/LittleEndian.hpp"
#include "link/AbstractFactory.hpp"
#include "link/AbstractIo.hpp"
#include "link/RadarCommunicator.hpp"
#include "link/VoidRadarCommunicator.hpp"
#include "log/ConsoleAndFileLogger.hpp"
#include "protocol/MessageCatalogue.hpp"
#include <linkwell/SarvikException.hpp>
#include <linkwell/protocol_framing.h>
#include <linkwell/protocol_parser.h>

using Sarvik::SarvikException;

namespace {

const char* const trace_channel = "log_trace";

constexpr int reconnect_attempts = 3;

// Everything from the offset on, byte for byte; nothing for a packet that
// ends before it (an empty packet of a closed connection included).
std::string text_from(const Bytes& packet, std::size_t offset)
{
    if (packet.size() <= offset)
        return {};
    return std::string(packet.begin() + static_cast<std::ptrdiff_t>(offset), packet.end());
}

// The acknowledgement check of the set commands: an empty reply and an
// error reply fail; anything else passes.
void handle_ack(const Bytes& reply, const std::string& method_name)
{
    if (reply.empty())
        throw SarvikException(method_name + " response from module is empty", 1);
    if (reply[0] != LINKWELL_MESSAGE_ERROR)
        return;
    // An error reply too short for its code still fails, with a code of its
    // own.
    const int code = reply.size() >= 5 ? static_cast<int>(little_endian::u32(&reply[1])) : 32;
    throw SarvikException(method_name + ": module reponded with QRB_SPR_ERROR", code);
}

} // namespace

// ==== Connection lifecycle ==================================================

RadarInterface::RadarInterface(
    AbstractIo& module_io, const std::string& name, AbstractFactory& transport_factory, Logger& log)
    : io(module_io)
    , factory(transport_factory)
    , device_name(name)
    , logger(log)
    , communicator(std::make_unique<RadarCommunicator>(module_io, transport_factory, log))
    , parser(log)
    , default_timeout(2)
{
    Trace trace(logger, 3, "RadarInterface - base");
    // Even an unopened connection logs what the module says once opened.
    log_trace();
    logger.log(1, std::string("git sha: ") + get_radar_com_version());
    logger.log(1, std::string("build date: ") + get_radar_com_build_date());
    if (!device_name.empty()) {
        auto_subscribe();
        if (communicator.use()->open(device_name) != 0)
            throw std::runtime_error("unable to open file: " + device_name);
    }
}

RadarInterface::~RadarInterface()
{
    {
        Trace trace(logger, 3, "~RadarInterface");
    }
    // The closed communicator goes in first: destroying the live one removes
    // the trace channel's callback before its thread stops, so no packet
    // reaches this object while its members go. A reader still waiting in a
    // queue is woken and has left before anything is destroyed.
    communicator.replace(std::make_unique<VoidRadarCommunicator>());
}

int RadarInterface::open(const std::string& name)
{
    Trace trace(logger, 3, "open");
    device_name = name;
    // The old communicator is gone, its thread joined and its io closed,
    // before the new one is made on the same io.
    communicator.replace(std::make_unique<VoidRadarCommunicator>());
    communicator.replace(std::make_unique<RadarCommunicator>(io, factory, logger));
    log_trace();
    auto_subscribe();
    return communicator.use()->open(device_name);
}

void RadarInterface::open_throw(const std::string& name)
{
    throw_if_error([&] { return open(name); });
}

void RadarInterface::close()
{
    Trace trace(logger, 3, "close");
    communicator.replace(std::make_unique<VoidRadarCommunicator>());
}

void RadarInterface::reset()
{
    Trace trace(logger, 3, "reset");
    const AbstractRadarCommunicator::Subscriptions saved = communicator.use()->get_subscriptions();
    module_reset();
    for (int attempt = 0; attempt < reconnect_attempts; ++attempt) {
        try {
            close();
            (logger.slog(0) << "waiting for device to come back ...").flush();
            pause_before_reconnect();
            if (open(device_name) != 0)
                throw SarvikException("open failed in reset", 1);
            // open() made the default queues already; the saved entries
            // replace them under the same names and bring back the caller's.
            auto use = communicator.use();
            for (const auto& [name, entry] : saved) {
                if (entry.second)
                    use->subscribe(name, entry.second, entry.first);
                else
                    use->subscribe(name, entry.first);
            }
            return;
        } catch (...) {
            // Another attempt, or the failure below.
        }
    }
    throw SarvikException("failed to reconnect after reset", 1);
}

int RadarInterface::reset_no_throw()
{
    return no_throw([&] { reset(); });
}

void RadarInterface::pause_before_reconnect()
{
    std::this_thread::sleep_for(std::chrono::seconds(3));
}

// ==== Generic sending =======================================================

Bytes RadarInterface::send_command_single(const Bytes& payload, const Bytes& response_prefix)
{
    Trace trace(logger, 3, "send_command_single");
    auto use = communicator.use();
    return use->send(default_timeout, commands.create_command(payload), response_prefix);
}

Bytes RadarInterface::send_command_multi(const Bytes& payload, const std::vector<Bytes>& response_prefixes)
{
    Trace trace(logger, 3, "send_command_multi");
    auto use = communicator.use();
    return use->send(default_timeout, commands.create_command(payload), response_prefixes);
}

int RadarInterface::send_command(const Bytes& bytes)
{
    Trace trace(logger, 3, "send_command");
    communicator.use()->send(default_timeout, bytes);
    return 0;
}

// ==== Queues ================================================================

int RadarInterface::subscribe(const std::string& name, const Bytes& prefix)
{
    Trace trace(logger, 3, "subscribe");
    communicator.use()->subscribe(name, prefix);
    return 0;
}

void RadarInterface::unsubscribe(const std::string& name)
{
    Trace trace(logger, 3, "unsubscribe");
    communicator.use()->unsubscribe(name);
}

int RadarInterface::get_number_of_packets(const std::string& name)
{
    Trace trace(logger, 3, "get_number_of_packets");
    return communicator.use()->get_number_of_packets(name);
}

void RadarInterface::clear(const std::string& name)
{
    Trace trace(logger, 3, "clear");
    communicator.use()->clear(name);
}

Bytes RadarInterface::get_packet(const std::string& name)
{
    Trace trace(logger, 3, "get_packet");
    auto use = communicator.use();
    return use->get_packet(name);
}

// ==== Module trace channel ==================================================

int RadarInterface::log_trace()
{
    Trace trace(logger, 3, "log_trace");
    communicator.use()->subscribe(
        trace_channel, [this](Bytes packet) { return log_module_trace(packet); },
        messages::DataString::kind.prefix.to_bytes());
    return 0;
}

bool RadarInterface::log_module_trace(const Bytes& packet)
{
    (logger.slog(2) << "trace: " << text_from(packet, payload_offset)).flush();
    return true;
}

std::string RadarInterface::get_trace(const std::string& name)
{
    Trace trace(logger, 3, "get_trace");
    auto use = communicator.use();
    return text_from(use->get_packet(name), payload_offset);
}

// ==== Settings and logging ==================================================

void RadarInterface::set_default_timeout(unsigned seconds)
{
    default_timeout = seconds;
}

int RadarInterface::set_log_level(int level)
{
    logger.set_log_level(level);
    return 0;
}

void RadarInterface::log(unsigned level, const std::string& text)
{
    logger.log(level, text);
}

std::string RadarInterface::git_sha()
{
    return get_radar_com_version();
}

std::string RadarInterface::build_date()
{
    return get_radar_com_build_date();
}

// ==== Error machinery =======================================================

void RadarInterface::throw_if_error(std::function<int()> f)
{
    const int result = f();
    if (result != 0)
        throw SarvikException("method failed", result);
}

int RadarInterface::try_and_catch(std::function<void()> f)
{
    try {
        f();
        return 0;
    } catch (const SarvikException& e) {
        (logger.serror() << e.what() << " error code: " << e.code).flush();
        // A module may well report an error with the code 0; it is still a
        // failure, and its outputs were not written.
        return e.code == 0 ? 1 : e.code;
    } catch (...) {
        return 1;
    }
}

// ==== Commands as rows ======================================================

void RadarInterface::set(const CommandRow& row, const Bytes& command)
{
    std::optional<Trace> trace;
    if (row.traced)
        trace.emplace(logger, 3, row.name);
    auto use = communicator.use();
    judge(row, use->send(default_timeout, command, row.awaited));
}

void RadarInterface::judge(const CommandRow& row, const Bytes& answer) const
{
    switch (row.check) {
    case CommandRow::Check::handle_ack:
        handle_ack(answer, row.name);
        return;
    case CommandRow::Check::error_byte:
        if (answer.empty() || answer[0] == LINKWELL_MESSAGE_ERROR)
            throw SarvikException(row.text, 1);
        return;
    case CommandRow::Check::ack_record:
    case CommandRow::Check::ack_record_uncoded: {
        ParseResult<Ack> result;
        parser.parse_ack(answer, &result);
        if (!result.error && result.valid)
            return;
        if (row.check == CommandRow::Check::ack_record_uncoded)
            throw std::runtime_error(std::string("parse_reply failed in ") + row.name);
        // The module's code for an error reply, 5 for the empty reply of a
        // closed connection.
        throw SarvikException(row.text, result.error ? static_cast<int>(result.error_code) : 1);
    }
    case CommandRow::Check::reply_uncoded:
    case CommandRow::Check::reply_coded:
    case CommandRow::Check::by_caller:
        break;
    }
    throw std::logic_error(std::string(row.name) + ": not a setter's row");
}

RadarInterface::ReplyData RadarInterface::reply_data(
    const CommandRow& row, const Bytes& command, std::size_t needed)
{
    return exchange_for_reply(row, command, needed, 1, false);
}

Bytes RadarInterface::get_items(const CommandRow& row, const Bytes& command, unsigned item_size)
{
    ReplyData reply = exchange_for_reply(row, command, 0, item_size, true);
    if (reply.refused)
        refuse(row, reply.code);
    return std::move(reply.data);
}

RadarInterface::ReplyData RadarInterface::exchange_for_reply(
    const CommandRow& row, const Bytes& command, std::size_t needed, unsigned item_size, bool whole_header)
{
    std::optional<Trace> trace;
    if (row.traced)
        trace.emplace(logger, 3, row.name);
    auto use = communicator.use();
    const Bytes reply = use->send(default_timeout, command, row.awaited);
    ParseResult<Reply> result;
    parser.parse_reply(reply, &result);
    if (result.error)
        return { true, result.error_code, {} };
    // A length field that counts items of several bytes is checked against
    // the reply in 64 bits, so no count can wrap or reach past it.
    const uint64_t size = uint64_t { item_size } * result.record.length;
    const bool within = (size == 0 && !whole_header) || payload_offset + size <= reply.size();
    if (!result.valid || size < needed || !within)
        return { true, LINKWELL_PARSE_ERROR_LENGTH, {} };
    if (size == 0)
        return { false, 0, {} };
    const auto begin = reply.begin() + static_cast<std::ptrdiff_t>(payload_offset);
    return { false, 0, Bytes(begin, begin + static_cast<std::ptrdiff_t>(size)) };
}

void RadarInterface::refuse(const CommandRow& row, uint32_t code) const
{
    if (row.check == CommandRow::Check::reply_coded)
        throw SarvikException(row.text, static_cast<int>(code));
    throw std::runtime_error(std::string(row.text) + row.name);
}

Bytes RadarInterface::answer(const CommandRow& row, const Bytes& command, unsigned timeout)
{
    std::optional<Trace> trace;
    if (row.traced)
        trace.emplace(logger, 3, row.name);
    return exchange_single(command, row.awaited.front(), timeout);
}

Bytes RadarInterface::exchange_single(const Bytes& command, Bytes reply_prefix, unsigned timeout)
{
    auto use = communicator.use();
    return use->send(timeout, command, std::move(reply_prefix));
}
