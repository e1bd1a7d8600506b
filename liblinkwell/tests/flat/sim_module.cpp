#include "sim_module.h"

#include <chrono>
#include <exception>
#include <string>

#include "simmodule/Messages.hpp"
#include "simmodule/SimModule.hpp"
#include "testbytes/TestBytes.hpp"

struct SimModule {
    simmodule::SimModule module { simmodule::Transport::Tcp };
    std::string hex_text;
};

namespace {

std::chrono::milliseconds ms(unsigned milliseconds)
{
    return std::chrono::milliseconds(milliseconds);
}

// Test scripts are fixed texts: a malformed one is the test's own fault and
// ends the program loudly rather than reading as a module fault.
testbytes::Bytes bytes_of(const char* text) noexcept
{
    return testbytes::hex(text ? text : "");
}

} // namespace

SimModule* sim_start(void)
{
    try {
        return new SimModule;
    } catch (const std::exception&) {
        return nullptr;
    }
}

void sim_stop(SimModule* sim)
{
    delete sim;
}

unsigned short sim_port(const SimModule* sim)
{
    return sim->module.tcp_port();
}

void sim_reply(SimModule* sim, const char* prefix, const char* reply)
{
    sim->module.add_rule(simmodule::Rule(bytes_of(prefix)).reply(bytes_of(reply)));
}

void sim_reply_bytes(SimModule* sim, const char* prefix, const unsigned char* reply, size_t size)
{
    sim->module.add_rule(simmodule::Rule(bytes_of(prefix)).reply(testbytes::Bytes(reply, reply + size)));
}

void sim_ack(SimModule* sim, const char* prefix)
{
    sim->module.add_rule(simmodule::Rule(bytes_of(prefix)).ack());
}

void sim_error(SimModule* sim, const char* prefix, unsigned int code)
{
    sim->module.add_rule(simmodule::Rule(bytes_of(prefix)).error(code));
}

void sim_clear_rules(SimModule* sim)
{
    sim->module.clear_rules();
}

void sim_send(SimModule* sim, const char* payload)
{
    sim->module.send_packet(bytes_of(payload));
}

void sim_send_bytes(SimModule* sim, const unsigned char* payload, size_t size)
{
    sim->module.send_packet(testbytes::Bytes(payload, payload + size));
}

void sim_send_raw_length(SimModule* sim, const unsigned char* data, size_t size)
{
    sim->module.send_packet(testbytes::Bytes(data, data + size), simmodule::Form::RawLength);
}

int sim_wait_sent(SimModule* sim, unsigned int milliseconds)
{
    return sim->module.wait_until_sent(ms(milliseconds)) ? 1 : 0;
}

int sim_received_is(SimModule* sim, size_t index, const char* expected)
{
    return index < sim->module.received_count() && sim->module.received_at(index) == bytes_of(expected);
}

const char* sim_received_hex(SimModule* sim, size_t index)
{
    sim->hex_text = testbytes::to_hex(sim->module.received_at(index));
    return sim->hex_text.c_str();
}

size_t sim_received_count(SimModule* sim)
{
    return sim->module.received_count();
}

int sim_wait_received(SimModule* sim, size_t count, unsigned int milliseconds)
{
    return sim->module.wait_for_received(count, ms(milliseconds)) ? 1 : 0;
}

void sim_clear_received(SimModule* sim)
{
    sim->module.clear_received();
}

int sim_connected(SimModule* sim)
{
    return sim->module.connected() ? 1 : 0;
}

int sim_wait_disconnected(SimModule* sim, unsigned int milliseconds)
{
    return sim->module.wait_for_disconnected(ms(milliseconds)) ? 1 : 0;
}

unsigned long sim_connection_count(SimModule* sim)
{
    return static_cast<unsigned long>(sim->module.connection_count());
}

int sim_wait_connection_count(SimModule* sim, unsigned long count, unsigned int milliseconds)
{
    return sim->module.wait_for_connection_count(count, ms(milliseconds)) ? 1 : 0;
}
