// Drives the flat C interface as a careless host would: a sequence of calls
// decoded from the input, from every family (connections and boxes, module
// commands and getters, the chip driver and IO pins, subscriptions, peeks and
// message reads, raw packets and frames, the module file system), with NULL
// boxes, names and outputs, input lengths that are zero, exact or negative,
// and output arrays of capacity 0, of a few elements or large. Every output
// array is allocated with exactly the capacity passed, so that a write past
// it is seen by the address sanitizer.
//
// The calls go to one live connection over loopback TCP to a simulated
// module, set up once per process, and to a box whose connection has been
// destroyed. The module answers each command with the replies the input
// plans (an ack, an error, a get reply of any type and length, the bytes the
// caller's prefix asks for, or anything), followed by one of each reply that
// some command awaits and by the caller's own prefix, so that a command
// whose planned reply does not answer it still ends at once instead of in
// its reply timeout. The input also makes the module send messages unasked:
// a kind's prefix and any body, or any packet whole.
//
// Queue reads wait while their queue is empty, so a read is made only where
// something waits (or where it fails before waiting). After every call the
// target waits until the module's marker packet has come through, so that
// what the module sent for one call does not spill into the next.
//
// Nothing may crash or hang; a call through a NULL or dead box returns 1 (a
// peek 0); counted and truncating outputs never report more than the
// capacity; a text comes with its NUL within the capacity.
//
// Input layout: a sequence of operations, each one byte that picks it from
// the table below and the bytes it reads for its arguments and replies.
#include <linkwell/matlab_wrapper.h>
#include <linkwell/protocol_parser.h>

#include "protocol/MessageCatalogue.hpp"
#include "simmodule/SimModule.hpp"

#include <arpa/inet.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using simmodule::Bytes;

void require(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "flat interface invariant broken: %s\n", what);
        std::abort();
    }
}

// The fuzzer's bytes, read front to back; zeros once they are used up.
class Input {
public:
    Input(const uint8_t* data, size_t size)
        : data_(data)
        , size_(size)
    { }

    bool empty() const { return at_ >= size_; }

    uint8_t byte() { return at_ < size_ ? data_[at_++] : 0; }

    uint32_t u32()
    {
        uint32_t value = 0;
        for (int i = 0; i < 4; ++i)
            value |= uint32_t { byte() } << (8 * i);
        return value;
    }

    float f32()
    {
        const uint32_t bits = u32();
        float value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }

    Bytes bytes(size_t count)
    {
        const size_t n = std::min(count, size_ - std::min(at_, size_));
        Bytes out(data_ + at_, data_ + at_ + n);
        at_ += n;
        return out;
    }

    template <typename T, size_t N> const T& pick(const T (&table)[N]) { return table[byte() % N]; }

private:
    const uint8_t* data_;
    size_t size_;
    size_t at_ = 0;
};

// ---- The module ---------------------------------------------------------

// The replies that answer some command when the planned one does not: an
// error ends every command that awaits one, the rest end the commands that
// await one reply only.
std::vector<Bytes> fallback_replies()
{
    std::vector<Bytes> replies { { 0x20, 0x01, 0x00, 0x00, 0x00 }, { 0x10 }, { 0x01, 0x00, 0x00, 0x00, 0x00 },
        { 0x13 } };
    for (uint8_t operation : { 0x11, 0x13, 0x15, 0x20, 0x24, 0x33, 0x35 })
        replies.push_back({ 0x11, 0x00, operation });
    // Get replies without data, of the getters that await no error.
    for (const Bytes& head : { Bytes { 0x11, 0x11, 0x16 }, Bytes { 0x11, 0x11, 0x32 },
             Bytes { 0x11, 0x11, 0x12 }, Bytes { 0x11, 0x12, 0x14 }, Bytes { 0x11, 0x13, 0x11 } }) {
        Bytes reply = head;
        reply.resize(head.size() + 11, 0x00);
        replies.push_back(reply);
    }
    return replies;
}

// The replies planned for the next commands, one per command in order, and
// the reply the caller's own prefix asks for; shared with the module's
// thread.
class Script {
public:
    void plan(std::vector<Bytes> replies, Bytes asked = {})
    {
        std::lock_guard<std::mutex> lock(mutex_);
        planned_.assign(replies.begin(), replies.end());
        asked_ = std::move(asked);
    }

    void clear() { plan({}); }

    std::vector<Bytes> answer()
    {
        std::vector<Bytes> replies;
        std::lock_guard<std::mutex> lock(mutex_);
        if (!planned_.empty()) {
            if (!planned_.front().empty())
                replies.push_back(planned_.front());
            planned_.pop_front();
        }
        replies.insert(replies.end(), fallback_.begin(), fallback_.end());
        if (!asked_.empty())
            replies.push_back(asked_);
        return replies;
    }

private:
    std::mutex mutex_;
    std::deque<Bytes> planned_;
    Bytes asked_;
    const std::vector<Bytes> fallback_ = fallback_replies();
};

const char* const sync_queue = "flat fuzz marker";
const Bytes sync_prefix { 0xEE, 0x5C, 0x3A, 0x91 };

// The module, a connection to it with its box, and a box whose connection
// was destroyed: made once per process.
struct Fixture {
    Script script;
    simmodule::SimModule module { simmodule::Transport::Tcp };
    LinkwellHandle* handle = nullptr;
    Z3_Type* z3 = nullptr;
    Z3_Type* dead = nullptr;

    Fixture()
    {
        module.set_rules(
            { simmodule::Rule({}).reply_with([this](const Bytes&) { return script.answer(); }) });
        // The dead box's connection is the module's first client; the live
        // one is accepted once it has gone.
        LinkwellHandle* gone = connect();
        dead = vmx_get_z3(gone);
        vmx_destroy_linkwell(gone);
        require(module.wait_for_disconnected(std::chrono::seconds(5)), "the first connection closes");
        handle = connect();
        z3 = vmx_get_z3(handle);
        require(z3 && dead, "boxes are made");
        require(module.wait_for_connection_count(2, std::chrono::seconds(5)), "the module accepts the host");
    }

    ~Fixture()
    {
        vmx_destroy_Z3_interface(z3);
        vmx_destroy_Z3_interface(dead);
        vmx_destroy_linkwell(handle);
    }

    LinkwellHandle* connect()
    {
        LinkwellHandle* made
            = vmx_create_linkwell_tcpip(htonl(INADDR_LOOPBACK), htons(module.tcp_port()), 0, 0);
        require(made != nullptr, "the simulated module is reached");
        return made;
    }

    // The state every input starts from: nothing planned, short replies,
    // the fuzzer's queues gone, the standard queues empty.
    void reset(const char* const* names, size_t name_count)
    {
        script.clear();
        vmx_set_default_timeout(z3, 1);
        vmx_set_log_level(handle, 0);
        for (size_t i = 0; i < name_count; ++i)
            if (names[i])
                vmx_unsubscribe(z3, names[i]);
        vmx_subscribe(z3, sync_queue, sync_prefix.data(), static_cast<unsigned>(sync_prefix.size()));
        settle();
        for (const MessageKind* kind : messages::catalogue)
            if (kind->default_queue)
                vmx_clear(z3, kind->default_queue);
    }

    // Waits until everything the module sent so far has been routed by the
    // host: the marker sent after it has arrived.
    void settle()
    {
        module.wait_until_sent(std::chrono::seconds(2));
        module.send_packet(sync_prefix);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        unsigned count = 0;
        while (vmx_get_number_of_packets(z3, sync_queue, &count) == 0 && count == 0
            && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::microseconds(20));
        vmx_clear(z3, sync_queue);
        script.clear();
    }
};

Fixture& fixture()
{
    static Fixture instance;
    return instance;
}

// ---- Arguments ------------------------------------------------------------

const char* const queue_names[] = {
    nullptr,
    "",
    "a",
    "b",
    "queue with a rather long name that no module message would ever carry in it",
    "c",
};
constexpr size_t queue_name_count = sizeof queue_names / sizeof queue_names[0];

// Lengths and capacities a host may pass: small, around the sizes of the
// seeds' lists, large.
const unsigned sizes[] = { 0, 1, 2, 3, 4, 7, 8, 9, 15, 16, 17, 31, 32, 33, 64, 255, 256, 1024, 4096, 65536 };

// One call: its box and the outputs it was given, which live until the call
// has been checked.
class Call {
public:
    Call(Input& input, Fixture& fixture)
        : in(input)
        , f(fixture)
    { }

    Input& in;
    Fixture& f;

    // NULL, the dead box or the live one.
    Z3_Type* box()
    {
        const uint8_t choice = in.byte() % 16;
        box_ = choice == 0 ? nullptr : choice == 1 ? f.dead : f.z3;
        return box_;
    }
    bool live() const { return box_ == f.z3; }

    const char* name() { return in.pick(queue_names); }

    // An 8-bit argument with any upper bits, or a full 32-bit one.
    unsigned u8() { return in.byte() % 4 == 0 ? in.u32() : in.byte(); }
    unsigned u32() { return in.u32(); }
    float f32() { return in.f32(); }

    // A required scalar output, sometimes missing. Allocated on its own, so
    // that a wider write than its type is seen.
    template <typename T> T* out()
    {
        if (in.byte() % 16 == 0)
            return nullptr;
        return keep<T>(1);
    }

    // An output array and its capacity: NULL with 0, NULL with room claimed,
    // or exactly `capacity` elements.
    template <typename T> T* array(unsigned& capacity)
    {
        const uint8_t choice = in.byte();
        switch (choice % 8) {
        case 0:
            capacity = 0;
            return nullptr;
        case 1:
            capacity = choice < 128 ? 1u : 0xFFFFFFFFu;
            return nullptr;
        case 2:
            capacity = in.byte();
            return keep<T>(capacity);
        default:
            capacity = in.pick(sizes);
            return keep<T>(capacity);
        }
    }

    // A further array of a call that takes several with one capacity:
    // exactly that many elements, or missing now and then.
    template <typename T> T* sized(unsigned capacity)
    {
        if (in.byte() % 16 == 0)
            return nullptr;
        return keep<T>(capacity);
    }

    // Input bytes and their length: NULL with 0, NULL with a length, exactly
    // as many as the length says, or a length that is negative as a host's
    // int.
    const unsigned char* bytes(unsigned& length)
    {
        const uint8_t choice = in.byte();
        switch (choice % 8) {
        case 0:
            length = 0;
            return nullptr;
        case 1:
            length = 1 + choice % 16;
            return nullptr;
        case 2: {
            const Bytes data = in.bytes(in.byte());
            length = choice < 128 ? 0x80000000u | static_cast<unsigned>(data.size()) : 0xFFFFFFFFu;
            return copy(data);
        }
        default: {
            const Bytes data = in.bytes(in.byte());
            length = static_cast<unsigned>(data.size());
            return copy(data);
        }
        }
    }

    // The module's replies to the next commands of this call, planned from
    // the input. `asked` is what the caller's own prefix asks for.
    void plan(const Bytes& asked = {})
    {
        std::vector<Bytes> replies;
        const unsigned count = in.byte() % 4;
        for (unsigned i = 0; i < count; ++i)
            replies.push_back(reply(asked));
        f.script.plan(std::move(replies), asked);
    }

    // The result of a call that takes a box: 1 unless the box is live.
    int result(int code)
    {
        if (!live())
            require(code == 1, "a call through a NULL or dead box returns 1");
        return code;
    }

    // A peek: 0 unless the box is live.
    int count(int value)
    {
        if (!live())
            require(value == 0, "a peek through a NULL or dead box counts 0");
        require(value >= 0, "a peek counts");
        return value;
    }

private:
    Bytes reply(const Bytes& asked)
    {
        static const uint8_t types[] = { 0x10, 0x11, 0x12, 0x13 };
        const uint8_t kind = in.byte();
        switch (kind % 6) {
        case 0:
            return { 0x10 };
        case 1: {
            Bytes error { 0x20 };
            const uint32_t code = kind < 128 ? in.byte() : in.u32();
            for (int i = 0; i < 4; ++i)
                error.push_back(static_cast<uint8_t>(code >> (8 * i)));
            return error;
        }
        case 2: {
            // A get reply: type, id, info, length and data, the length
            // counting the data's bytes, its items of four, or anything.
            const uint8_t type = kind < 128 ? in.pick(types) : in.byte();
            const uint32_t id = in.byte() % 2 ? in.byte() : in.u32();
            const uint32_t info = in.u32();
            const Bytes data = in.bytes(in.byte() % 2 ? in.byte() : in.u32() % 8192);
            const uint8_t form = in.byte() % 4;
            const uint32_t length = form == 0 ? static_cast<uint32_t>(data.size())
                : form == 1                   ? static_cast<uint32_t>(data.size() / 4)
                : form == 2                   ? static_cast<uint32_t>(data.size() + 1)
                                              : in.u32();
            Bytes reply { 0x11, type };
            for (uint32_t field : { id, info, length })
                for (int i = 0; i < 4; ++i)
                    reply.push_back(static_cast<uint8_t>(field >> (8 * i)));
            reply.insert(reply.end(), data.begin(), data.end());
            return reply;
        }
        case 3: {
            Bytes reply = asked;
            const Bytes tail = in.bytes(in.byte());
            reply.insert(reply.end(), tail.begin(), tail.end());
            return reply;
        }
        case 4:
            return { 0x11, 0x00, in.byte(), in.byte(), in.byte(), in.byte(), in.byte() };
        default:
            return in.bytes(in.byte());
        }
    }

    template <typename T> T* keep(size_t count)
    {
        // Exactly `count` elements, none for a capacity of 0.
        auto block = std::make_unique<T[]>(count);
        T* raw = block.get();
        kept_.push_back(std::shared_ptr<void>(block.release(), [](void* p) { delete[] static_cast<T*>(p); }));
        return raw;
    }

    const unsigned char* copy(const Bytes& data)
    {
        unsigned char* raw = keep<unsigned char>(data.size());
        std::copy(data.begin(), data.end(), raw);
        return raw;
    }

    Z3_Type* box_ = nullptr;
    std::vector<std::shared_ptr<void>> kept_;
};

// Rule K and R: never more than the capacity.
void within(int code, const unsigned* count, unsigned capacity)
{
    if (code == 0 && count)
        require(*count <= capacity, "a count within the capacity");
}

// Rule T: the text and its NUL within the capacity.
void text_within(int code, const char* text, unsigned capacity)
{
    if (code == 0)
        require(text && std::memchr(text, '\0', capacity) != nullptr, "a text ends within its capacity");
}

// ---- Operations -------------------------------------------------------------

using Operation = void (*)(Call&);

using Plain = int (*)(Z3_Type*);
using WithValue = int (*)(Z3_Type*, unsigned);
using WithTwo = int (*)(Z3_Type*, unsigned, unsigned);
using WithThree = int (*)(Z3_Type*, unsigned, unsigned, unsigned);
using GetU32 = int (*)(Z3_Type*, unsigned*);
using GetU32Of = int (*)(Z3_Type*, unsigned, unsigned*);
using GetByte = int (*)(Z3_Type*, unsigned char*);
using GetByteOf = int (*)(Z3_Type*, unsigned, unsigned char*);
using GetText = int (*)(Z3_Type*, char*, unsigned);
using Subscribe = int (*)(Z3_Type*, const char*);

int enable_baseband(Z3_Type* z3, unsigned type)
{
    return vmx_enable_baseband(z3, static_cast<int>(type));
}

const Plain plain_commands[] = { vmx_set_sensor_mode_manual, vmx_set_sensor_mode_run,
    vmx_set_sensor_mode_idle, vmx_module_reset, vmx_reset_to_factory_preset, vmx_enter_bootloader,
    vmx_load_sleep_profile, vmx_load_respiration_profile, vmx_enable_baseband_ap, vmx_disable_baseband_ap,
    vmx_enable_baseband_iq, vmx_disable_baseband_iq, vmx_enable_resp_output, vmx_disable_resp_output,
    vmx_store_noisemap, vmx_delete_noisemap, vmx_run_timing_measurement, dax_z7driver_init,
    vmx_subscribe_to_presence_single, vmx_subscribe_to_presence_movinglist };

const WithValue value_commands[] = { vmx_set_debug_level, vmx_set_sensor_mode, vmx_load_profile,
    enable_baseband, vmx_set_sensitivity, vmx_set_noisemap_control, vmx_set_fps, vmx_set_z7_fps,
    vmx_set_z7_io_pin_enable, vmx_set_z7_io_pin_disable, vmx_format_filesystem, dax_z7driver_set_iterations,
    dax_z7driver_set_pulsesperstep, dax_z7driver_set_downconversion, dax_z7driver_set_dac_min,
    dax_z7driver_set_dac_max, dax_z7driver_set_enable, dax_z7driver_set_tx_center_frequency,
    dax_z7driver_set_tx_power, dax_z7driver_set_prf_div };

const WithTwo two_value_commands[] = { vmx_set_sensor_mode_and_submode, vmx_set_led_control,
    vmx_set_output_control, vmx_set_debug_output_control, vmx_set_Z3_int, vmx_set_Z3_register,
    vmx_set_z7_io_pin_value, vmx_set_z7_io_pin_mode, vmx_set_z7_io_pin_dir, vmx_write_z7_spi,
    dax_z7driver_set_spi_register, dax_z7driver_set_pif_register, dax_z7driver_set_xif_register,
    dax_set_iopin_value, vmx_open_file, vmx_delete_file };

const WithThree three_value_commands[] = { dax_set_iopin_control, vmx_create_file, vmx_close_file };

const GetU32 u32_getters[] = { vmx_ping, vmx_get_profileid, vmx_get_sensitivity, vmx_get_noisemap_control,
    dax_z7driver_get_iterations, dax_z7driver_get_pulsesperstep, dax_z7driver_get_framebincount,
    dax_z7driver_get_dac_min, dax_z7driver_get_dac_max };

const GetU32Of u32_getters_of[] = { vmx_get_output_control, vmx_get_debug_output_control, vmx_get_z3_int,
    vmx_get_z3_register, dax_get_iopin_value };

const GetByte byte_getters[] = { vmx_get_led_control, dax_z7driver_get_downconversion,
    dax_z7driver_get_tx_center_frequency, dax_z7driver_get_tx_power, dax_z7driver_get_prf_div };

const GetByteOf byte_getters_of[] = { vmx_get_z7_io_pin_value, vmx_read_z7_spi, dax_z7driver_get_spi_register,
    dax_z7driver_get_pif_register, dax_z7driver_get_xif_register };

const GetText text_getters[] = { vmx_get_item_number, vmx_get_order_code, vmx_get_firmware_id,
    vmx_get_firmware_version, vmx_get_build_info, vmx_get_app_id_list, vmx_get_serial_number };

const Subscribe subscriptions[] = { vmx_subscribe_to_resp_status, vmx_subscribe_to_sleep_status,
    vmx_subscribe_to_baseband_ap, vmx_subscribe_to_baseband_iq, vmx_subscribe_to_data_float,
    vmx_subscribe_to_data_byte, vmx_subscribe_to_trace, vmx_subscribe_to_z7_decim,
    vmx_subscribe_to_raw_normalized, vmx_clear, vmx_unsubscribe };

const Plain peeks[] = { vmx_peek_message_presence_single, vmx_peek_message_presence_movinglist,
    vmx_peek_message_respiration_legacy, vmx_peek_message_respiration_sleep,
    vmx_peek_message_respiration_movinglist, vmx_peek_message_respiration_detectionlist,
    vmx_peek_message_respiration_normalizedmovementlist, vmx_peek_message_vital_signs,
    vmx_peek_message_baseband_ap, vmx_peek_message_baseband_iq, vmx_peek_message_data_float,
    vmx_peek_message_pulsedoppler_float, vmx_peek_message_pulsedoppler_byte, vmx_peek_message_noisemap_float,
    vmx_peek_message_noisemap_byte, dax_peek_message_data_string, dax_peek_message_data_byte };

// ---- Connections and boxes --------------------------------------------------

void connections(Call& c)
{
    static const char* const devices[] = { nullptr, "", "/nonexistent/linkwell-port" };
    switch (c.in.byte() % 6) {
    case 0:
        require(vmx_create_linkwell(c.in.pick(devices), 0) == nullptr, "no connection to a missing port");
        break;
    case 1:
        // Nothing listens on port 1 of the loopback address.
        require(vmx_create_linkwell_tcpip(htonl(INADDR_LOOPBACK), htons(1), c.u32(), 0) == nullptr,
            "no connection to a closed port");
        break;
    case 2: {
        LinkwellHandle* handle = c.in.byte() % 4 == 0 ? nullptr : c.f.handle;
        Z3_Type* box = vmx_get_z3(handle);
        require((box != nullptr) == (handle != nullptr), "a box for a handle only");
        vmx_destroy_Z3_interface(box);
        vmx_destroy_linkwell(nullptr);
        vmx_destroy_Z3_interface(nullptr);
        break;
    }
    case 3:
        require(vmx_git_sha() != nullptr, "a revision text");
        break;
    case 4: {
        const int level = static_cast<int>(c.u32());
        if (c.in.byte() % 4 == 0)
            require(vmx_set_log_level(nullptr, level) == 1, "no log level without a handle");
        else
            vmx_set_log_level(c.f.handle, level);
        break;
    }
    default: {
        static const char* const texts[] = { nullptr, "", "a line of the host's own" };
        Z3_Type* z3 = c.box();
        vmx_log(z3, c.in.pick(texts));
        vmx_wait(0);
        // A reply timeout of 0 fails every command at once and leaves its
        // reply late; the input goes back to 1 second on its next start.
        c.result(vmx_set_default_timeout(z3, c.in.byte() % 2));
        break;
    }
    }
}

// ---- Module commands and getters ----------------------------------------------

void commands(Call& c)
{
    const uint8_t family = c.in.byte() % 5;
    Z3_Type* z3 = c.box();
    c.plan();
    switch (family) {
    case 0:
        c.result(c.in.pick(plain_commands)(z3));
        break;
    case 1: {
        const WithValue command = c.in.pick(value_commands);
        c.result(command(z3, c.u8()));
        break;
    }
    case 2: {
        const WithTwo command = c.in.pick(two_value_commands);
        const unsigned first = c.u8();
        c.result(command(z3, first, c.u32()));
        break;
    }
    case 3: {
        const WithThree command = c.in.pick(three_value_commands);
        const unsigned first = c.u32();
        const unsigned second = c.u32();
        c.result(command(z3, first, second, c.u8()));
        break;
    }
    default: {
        const uint8_t which = c.in.byte() % 5;
        const float first = c.f32();
        const float second = c.f32();
        if (which == 0)
            c.result(vmx_set_detection_zone(z3, first, second));
        else if (which == 1)
            c.result(vmx_set_Z3_float(z3, c.u8(), first));
        else if (which == 2)
            c.result(dax_z7driver_set_fps(z3, first));
        else if (which == 3)
            c.result(dax_z7driver_set_frame_area(z3, first, second));
        else
            c.result(dax_z7driver_set_frame_area_offset(z3, first));
        break;
    }
    }
}

void getters(Call& c)
{
    const uint8_t family = c.in.byte() % 8;
    Z3_Type* z3 = c.box();
    c.plan();
    switch (family) {
    case 0:
        c.result(c.in.pick(u32_getters)(z3, c.out<unsigned>()));
        break;
    case 1: {
        const GetU32Of getter = c.in.pick(u32_getters_of);
        const unsigned argument = c.u8();
        c.result(getter(z3, argument, c.out<unsigned>()));
        break;
    }
    case 2:
        c.result(c.in.pick(byte_getters)(z3, c.out<unsigned char>()));
        break;
    case 3: {
        const GetByteOf getter = c.in.pick(byte_getters_of);
        const unsigned argument = c.u8();
        c.result(getter(z3, argument, c.out<unsigned char>()));
        break;
    }
    case 4: {
        const uint8_t which = c.in.byte() % 6;
        if (which == 0)
            c.result(dax_z7driver_get_fps(z3, c.out<float>()));
        else if (which == 1)
            c.result(dax_z7driver_get_frame_area_offset(z3, c.out<float>()));
        else if (which == 2) {
            const unsigned id = c.u8();
            c.result(vmx_get_z3_float(z3, id, c.out<float>()));
        } else if (which == 3)
            c.result(vmx_get_detection_zone(z3, c.out<float>(), c.out<float>()));
        else if (which == 4)
            c.result(dax_z7driver_get_frame_area(z3, c.out<float>(), c.out<float>()));
        else
            c.result(vmx_get_detection_zone_limits(z3, c.out<float>(), c.out<float>(), c.out<float>()));
        break;
    }
    case 5: {
        const uint8_t which = c.in.byte() % 2;
        const unsigned first = c.u8();
        if (which == 0)
            c.result(dax_get_iopin_control(z3, first, c.out<unsigned>(), c.out<unsigned>()));
        else {
            const unsigned id = c.u32();
            c.result(vmx_get_file_length(z3, first, id, c.out<unsigned>()));
        }
        break;
    }
    case 6: {
        // Rule T.
        const bool by_code = c.in.byte() % 2 == 0;
        const unsigned code = c.u8();
        const GetText getter = c.in.pick(text_getters);
        unsigned capacity = 0;
        char* text = c.array<char>(capacity);
        const int result
            = c.result(by_code ? vmx_get_system_info(z3, code, text, capacity) : getter(z3, text, capacity));
        text_within(result, text, capacity);
        break;
    }
    default: {
        static const char* const files[] = { nullptr, "", "parameters.txt" };
        const char* file = c.in.pick(files);
        if (c.in.byte() % 2 == 0) {
            static const char* const texts[] = { nullptr, "", "a = 1\nb = 2\n" };
            c.result(vmx_set_parameter_file(z3, file, c.in.pick(texts)));
        } else {
            unsigned capacity = 0;
            char* text = c.array<char>(capacity);
            c.result(vmx_get_parameter_file(z3, file, text, capacity));
        }
        break;
    }
    }
}

// ---- Subscriptions, peeks and reads ---------------------------------------------

void subscriptions_and_peeks(Call& c)
{
    const uint8_t which = c.in.byte() % 4;
    Z3_Type* z3 = c.box();
    const char* name = c.name();
    switch (which) {
    case 0:
        c.result(c.in.pick(subscriptions)(z3, name));
        break;
    case 1: {
        unsigned length = 0;
        const unsigned char* prefix = c.bytes(length);
        c.result(vmx_subscribe(z3, name, prefix, length));
        break;
    }
    case 2:
        c.result(vmx_get_number_of_packets(z3, name, c.out<unsigned>()));
        break;
    default:
        c.count(c.in.pick(peeks)(z3));
        break;
    }
}

// A read of a kind's own queue waits while it is empty: made only when
// something waits, or when the box fails it at once.
bool readable(Call& c, Z3_Type* z3, Plain peek)
{
    return !c.live() || peek(z3) > 0;
}

// The same for a named queue.
bool readable(Call& c, Z3_Type* z3, const char* name)
{
    if (!c.live() || !name)
        return true;
    unsigned count = 0;
    return vmx_get_number_of_packets(z3, name, &count) == 0 && count > 0;
}

void read_scalars(Call& c)
{
    const uint8_t which = c.in.byte() % 4;
    Z3_Type* z3 = c.box();
    if (which == 0 && readable(c, z3, vmx_peek_message_respiration_legacy))
        c.result(vmx_read_message_respiration_legacy(
            z3, c.out<int>(), c.out<int>(), c.out<int>(), c.out<float>(), c.out<float>(), c.out<int>()));
    if (which == 1 && readable(c, z3, vmx_peek_message_respiration_sleep))
        c.result(vmx_read_message_respiration_sleep(z3, c.out<int>(), c.out<int>(), c.out<float>(),
            c.out<float>(), c.out<int>(), c.out<float>(), c.out<float>()));
    if (which == 2 && readable(c, z3, vmx_peek_message_presence_single))
        c.result(vmx_read_message_presence_single(z3, c.out<unsigned>(), c.out<unsigned>(), c.out<float>(),
            c.out<unsigned char>(), c.out<unsigned>()));
    if (which == 3 && readable(c, z3, vmx_peek_message_vital_signs))
        c.result(vmx_read_message_vital_signs(z3, c.out<int>(), c.out<int>(), c.out<float>(), c.out<float>(),
            c.out<float>(), c.out<float>(), c.out<float>(), c.out<float>(), c.out<float>(), c.out<float>(),
            c.out<float>(), c.out<float>()));
}

void read_lists(Call& c)
{
    const uint8_t which = c.in.byte() % 7;
    Z3_Type* z3 = c.box();
    unsigned cap = 0;
    if (which == 0 && readable(c, z3, vmx_peek_message_respiration_movinglist)) {
        unsigned* count = c.out<unsigned>();
        float* slow = c.array<float>(cap);
        const int code = c.result(
            vmx_read_message_respiration_movinglist(z3, c.out<int>(), count, slow, c.sized<float>(cap), cap));
        within(code, count, cap);
    }
    if (which == 1 && readable(c, z3, vmx_peek_message_respiration_detectionlist)) {
        unsigned* count = c.out<unsigned>();
        float* distance = c.array<float>(cap);
        const int code = c.result(vmx_read_message_respiration_detectionlist(
            z3, c.out<int>(), count, distance, c.sized<float>(cap), c.sized<float>(cap), cap));
        within(code, count, cap);
    }
    if (which == 2 && readable(c, z3, vmx_peek_message_respiration_normalizedmovementlist)) {
        float* slow = c.array<float>(cap);
        int* count = c.out<int>();
        const int code = c.result(vmx_read_message_respiration_normalizedmovementlist(
            z3, c.out<int>(), c.out<float>(), c.out<float>(), count, slow, c.sized<float>(cap), cap));
        if (code == 0)
            require(*count >= 0 && static_cast<unsigned>(*count) <= cap, "a count within the capacity");
    }
    if (which == 3 && readable(c, z3, vmx_peek_message_presence_movinglist)) {
        unsigned* detections = c.out<unsigned>();
        int* intervals = c.out<int>();
        float* slow = c.array<float>(cap);
        const int code = c.result(
            vmx_read_message_presence_movinglist(z3, c.out<int>(), c.out<int>(), intervals, detections, slow,
                c.sized<float>(cap), c.sized<float>(cap), c.sized<float>(cap), c.sized<float>(cap), cap));
        within(code, detections, cap);
        if (code == 0)
            require(
                *intervals >= 0 && static_cast<unsigned>(*intervals) <= cap, "a count within the capacity");
    }
    if ((which == 4 || which == 5)
        && readable(c, z3, which == 4 ? vmx_peek_message_baseband_ap : vmx_peek_message_baseband_iq)) {
        const auto read = which == 4 ? vmx_read_message_baseband_ap : vmx_read_message_baseband_iq;
        int* bins = c.out<int>();
        float* first = c.array<float>(cap);
        c.result(read(z3, c.out<int>(), bins, c.out<float>(), c.out<float>(), c.out<float>(), c.out<float>(),
            first, c.sized<float>(cap), cap));
    }
    if (which == 6 && readable(c, z3, vmx_peek_message_data_float)) {
        unsigned* count = c.out<unsigned>();
        float* values = c.array<float>(cap);
        const int code
            = c.result(vmx_read_message_data_float(z3, c.out<int>(), c.out<int>(), values, count, cap));
        within(code, count, cap);
    }
}

void read_frames(Call& c)
{
    const uint8_t which = c.in.byte() % 6;
    Z3_Type* z3 = c.box();
    unsigned cap = 0;
    unsigned* count = c.out<unsigned>();
    int code = 1;
    if (which == 0 && readable(c, z3, vmx_peek_message_pulsedoppler_float)) {
        float* values = c.array<float>(cap);
        code = c.result(vmx_read_message_pulsedoppler_float_data(z3, c.out<int>(), c.out<int>(), c.out<int>(),
            c.out<int>(), count, c.out<int>(), c.out<float>(), c.out<float>(), c.out<float>(), c.out<float>(),
            c.out<float>(), values, cap));
    }
    if (which == 1 && readable(c, z3, vmx_peek_message_noisemap_float)) {
        float* values = c.array<float>(cap);
        code = c.result(vmx_read_message_noisemap_float_data(z3, c.out<int>(), c.out<int>(), c.out<int>(),
            c.out<int>(), count, c.out<int>(), c.out<float>(), c.out<float>(), c.out<float>(), c.out<float>(),
            c.out<float>(), values, cap));
    }
    if ((which == 2 && readable(c, z3, vmx_peek_message_pulsedoppler_byte))
        || (which == 3 && readable(c, z3, vmx_peek_message_noisemap_byte))) {
        const auto read
            = which == 2 ? vmx_read_message_pulsedoppler_byte_data : vmx_read_message_noisemap_byte_data;
        unsigned char* values = c.array<unsigned char>(cap);
        code = c.result(read(z3, c.out<int>(), c.out<int>(), c.out<int>(), c.out<int>(), count, c.out<int>(),
            c.out<float>(), c.out<float>(), c.out<float>(), c.out<float>(), c.out<float>(), c.out<float>(),
            c.out<float>(), values, cap));
    }
    if ((which == 4 && readable(c, z3, dax_peek_message_data_string))
        || (which == 5 && readable(c, z3, dax_peek_message_data_byte))) {
        // Rule R: the length may be NULL and never exceeds the capacity.
        unsigned* length = c.in.byte() % 4 == 0 ? nullptr : count;
        if (which == 4) {
            char* text = c.array<char>(cap);
            code = c.result(
                dax_read_message_data_string(z3, c.out<unsigned>(), c.out<unsigned>(), text, length, cap));
        } else {
            unsigned char* data = c.array<unsigned char>(cap);
            code = c.result(
                dax_read_message_data_byte(z3, c.out<unsigned>(), c.out<unsigned>(), data, length, cap));
        }
        if (length)
            require(*length <= cap, "a truncated length within the capacity");
        return;
    }
    within(code, count, cap);
}

// Reads of the caller's own named queues.
void read_named(Call& c)
{
    const uint8_t which = c.in.byte() % 8;
    Z3_Type* z3 = c.box();
    const char* name = c.name();
    if (!readable(c, z3, name))
        return;
    unsigned cap = 0;
    switch (which) {
    case 0:
        c.result(vmx_get_respiration_data(z3, name, c.out<int>(), c.out<int>(), c.out<int>(), c.out<float>(),
            c.out<float>(), c.out<int>()));
        break;
    case 1:
        c.result(vmx_get_sleep_data(z3, name, c.out<int>(), c.out<int>(), c.out<float>(), c.out<float>(),
            c.out<int>(), c.out<float>(), c.out<float>()));
        break;
    case 2:
    case 3: {
        const auto read = which == 2 ? vmx_get_baseband_ap_data : vmx_get_baseband_iq_data;
        float* first = c.array<float>(cap);
        c.result(read(z3, name, c.out<int>(), c.out<int>(), c.out<float>(), c.out<float>(), c.out<float>(),
            c.out<float>(), first, c.sized<float>(cap), cap));
        break;
    }
    case 4: {
        unsigned char* data = c.array<unsigned char>(cap);
        c.result(vmx_get_packet(z3, name, data, cap));
        break;
    }
    case 5: {
        char* text = c.array<char>(cap);
        c.result(vmx_get_trace(z3, name, text, cap));
        break;
    }
    case 6: {
        double* values = c.array<double>(cap);
        c.result(vmx_get_z7_decim_frame(z3, name, c.out<unsigned>(), values, cap));
        break;
    }
    default: {
        unsigned* count = c.out<unsigned>();
        float* values = c.array<float>(cap);
        within(c.result(vmx_get_raw_normalized_frame(z3, name, c.out<unsigned>(), values, count, cap)), count,
            cap);
        break;
    }
    }
}

// ---- Raw packets and frames -------------------------------------------------------

void packets(Call& c)
{
    const uint8_t which = c.in.byte() % 3;
    Z3_Type* z3 = c.box();
    unsigned length = 0;
    const unsigned char* data = c.bytes(length);
    unsigned cap = 0;
    if (which == 0) {
        c.plan();
        c.result(vmx_send_command(z3, data, length));
    } else if (which == 1) {
        unsigned prefix_length = 0;
        const unsigned char* prefix = c.bytes(prefix_length);
        Bytes asked;
        if (prefix && prefix_length < 0x80000000u)
            asked.assign(prefix, prefix + prefix_length);
        c.plan(asked);
        unsigned char* reply = c.array<unsigned char>(cap);
        c.result(vmx_send_command_single(z3, data, length, prefix, prefix_length, reply, cap));
    } else {
        c.plan();
        unsigned* count = c.out<unsigned>();
        float* values = c.array<float>(cap);
        const int code
            = c.result(vmx_capture_single_normalized_frame(z3, c.out<unsigned>(), values, count, cap));
        within(code, count, cap);
    }
}

// ---- The module file system -------------------------------------------------------

void files(Call& c)
{
    const uint8_t which = c.in.byte() % 6;
    Z3_Type* z3 = c.box();
    const unsigned type = c.u8();
    const unsigned id = c.u32();
    unsigned cap = 0;
    c.plan();
    switch (which) {
    case 0: {
        unsigned* count = c.out<unsigned>();
        int* ids = c.array<int>(cap);
        within(c.result(vmx_search_for_file_by_type(z3, type, ids, count, cap)), count, cap);
        break;
    }
    case 1: {
        unsigned* count = c.out<unsigned>();
        unsigned* types = c.array<unsigned>(cap);
        within(c.result(vmx_find_all_files(z3, types, c.sized<unsigned>(cap), count, cap)), count, cap);
        break;
    }
    case 2: {
        const unsigned offset = c.u32();
        unsigned length = 0;
        const unsigned char* data = c.bytes(length);
        c.result(vmx_set_file_data(z3, type, id, offset, data, length));
        break;
    }
    case 3: {
        // Rule U: room for `length` bytes.
        const unsigned offset = c.u32();
        unsigned char* data = c.array<unsigned char>(cap);
        c.result(vmx_get_file_data(z3, type, id, offset, cap, data));
        break;
    }
    case 4: {
        unsigned length = 0;
        const unsigned char* data = c.bytes(length);
        c.result(vmx_set_file(z3, type, id, length, data));
        break;
    }
    default: {
        unsigned char* data = c.array<unsigned char>(cap);
        c.result(vmx_get_file(z3, type, id, cap, data));
        break;
    }
    }
}

// ---- Messages the module sends unasked ----------------------------------------------

void module_sends(Call& c)
{
    const uint8_t form = c.in.byte() % 4;
    Bytes packet;
    if (form < 2) {
        // Any packet, whole.
        packet = c.in.bytes(c.in.byte() % 2 ? c.in.byte() : c.in.u32() % 16384);
    } else {
        // A kind's prefix and any body.
        const MessageKind* kind = messages::catalogue[c.in.byte() % std::size(messages::catalogue)];
        packet = kind->prefix.to_bytes();
        const Bytes body = c.in.bytes(c.in.byte() % 2 ? c.in.byte() : c.in.u32() % 16384);
        packet.insert(packet.end(), body.begin(), body.end());
    }
    if (packet.empty())
        return;
    // Decimated frames come as raw-length packets: the host sees 0x51, the
    // length and the data.
    c.f.module.send_packet(packet, form == 1 ? simmodule::Form::RawLength : simmodule::Form::Framed);
}

const Operation operations[] = {
    connections,
    commands,
    getters,
    subscriptions_and_peeks,
    read_scalars,
    read_lists,
    read_frames,
    read_named,
    packets,
    files,
    module_sends,
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Fixture& f = fixture();
    f.reset(queue_names, queue_name_count);
    Input in(data, size);
    // A bounded number of calls, so that every input ends soon.
    for (int calls = 0; calls < 256 && !in.empty(); ++calls) {
        const Operation operation = operations[in.byte() % std::size(operations)];
        {
            Call call(in, f);
            operation(call);
        }
        f.settle();
    }
    return 0;
}
