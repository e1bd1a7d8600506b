// The flat C interface: raw packets, traces, frames and the module file
// system.
#include <linkwell/matlab_wrapper.h>

#include "api/FlatCall.hpp"

namespace {

// A module file operation that reports by code; the caller's outputs are
// filled from `result` by deliver(result) only when it succeeded.
template <typename Result, typename Operation, typename Deliver>
int file_query(Z3_Type* z3, Operation&& operation, Deliver&& deliver)
{
    return flat::with_connection(z3, [&](FlatConnection& connection) {
        Result result {};
        const int code = connection.locked([&](RadarInterface& radar) { return operation(radar, result); });
        if (code != 0)
            return code;
        return deliver(result);
    });
}

} // namespace

// ==== Raw packets, traces and frames =========================================

int vmx_send_command(Z3_Type* z3, const unsigned char* bytes, unsigned int length)
{
    return flat::with_connection(z3, [&](FlatConnection& connection) {
        const Bytes command = flat::bytes(bytes, length);
        return connection.locked([&](RadarInterface& radar) { return radar.send_command(command); });
    });
}

int vmx_send_command_single(Z3_Type* z3, const unsigned char* payload, unsigned int payload_length,
    const unsigned char* prefix, unsigned int prefix_length, unsigned char* dst, unsigned int capacity)
{
    return flat::with_connection(z3, [&](FlatConnection& connection) {
        const Bytes command = flat::bytes(payload, payload_length);
        const Bytes reply_prefix = flat::bytes(prefix, prefix_length);
        flat::require_room(capacity, dst);
        const Bytes reply = connection.locked(
            [&](RadarInterface& radar) { return radar.send_command_single(command, reply_prefix); });
        return flat::copy_out(reply, dst, capacity);
    });
}

int vmx_get_packet(Z3_Type* z3, const char* name, unsigned char* dst, unsigned int capacity)
{
    return flat::with_connection(z3, [&](FlatConnection& connection) {
        const std::string queue = flat::name(name);
        flat::require_room(capacity, dst);
        const Bytes packet
            = connection.locked([&](RadarInterface& radar) { return radar.get_packet(queue); });
        return flat::copy_out(packet, dst, capacity);
    });
}

int vmx_get_trace(Z3_Type* z3, const char* name, char* dst, unsigned int capacity)
{
    return flat::with_connection(z3, [&](FlatConnection& connection) {
        const std::string queue = flat::name(name);
        flat::require_room(capacity, dst);
        const std::string text
            = connection.locked([&](RadarInterface& radar) { return radar.get_trace(queue); });
        return flat::copy_out(text, dst, capacity);
    });
}

int vmx_get_z7_decim_frame(
    Z3_Type* z3, const char* name, unsigned int* frame_counter, double* values, unsigned int capacity)
{
    return flat::with_connection(z3, [&](FlatConnection& connection) {
        const std::string queue = flat::name(name);
        flat::require(frame_counter);
        flat::require_room(capacity, values);
        // The operation checks the room itself.
        return connection.locked([&](RadarInterface& radar) {
            return radar.get_z7_decim_frame(queue, frame_counter, values, capacity);
        });
    });
}

int vmx_capture_single_normalized_frame(
    Z3_Type* z3, unsigned int* frame_counter, float* values, unsigned int* count, unsigned int capacity)
{
    return flat::with_connection(z3, [&](FlatConnection& connection) {
        flat::require(frame_counter, count);
        flat::require_room(capacity, values);
        const RawNormalizedFrame frame = connection.locked(
            [](RadarInterface& radar) { return radar.capture_single_normalized_frame(); });
        // The size needed is reported even when it does not fit.
        *count = static_cast<unsigned>(frame.data.size());
        if (flat::copy_out(frame.data, values, capacity) != 0)
            return 1;
        *frame_counter = frame.info;
        return 0;
    });
}

int vmx_get_raw_normalized_frame(Z3_Type* z3, const char* name, unsigned int* frame_counter, float* values,
    unsigned int* count, unsigned int capacity)
{
    return flat::with_connection(z3, [&](FlatConnection& connection) {
        const std::string queue = flat::name(name);
        flat::require(frame_counter, count);
        flat::require_room(capacity, values);
        const RawNormalizedFrame frame
            = connection.locked([&](RadarInterface& radar) { return radar.get_raw_normalized_frame(queue); });
        if (flat::counted_out(frame.data, values, count, capacity) != 0)
            return 1;
        *frame_counter = frame.info;
        return 0;
    });
}

// ==== Module file system =====================================================

int vmx_search_for_file_by_type(
    Z3_Type* z3, unsigned int type, int* ids, unsigned int* count, unsigned int capacity)
{
    if (!flat::given(count) || !flat::room(capacity, ids))
        return 1;
    return file_query<std::vector<int>>(
        z3,
        [&](RadarInterface& radar, std::vector<int>& found) {
            return radar.search_for_file_by_type_no_throw(type, found);
        },
        [&](const std::vector<int>& found) { return flat::counted_out(found, ids, count, capacity); });
}

int vmx_find_all_files(
    Z3_Type* z3, unsigned int* first, unsigned int* second, unsigned int* count, unsigned int capacity)
{
    if (!flat::given(count) || !flat::room(capacity, first, second))
        return 1;
    return file_query<Sarvik::Files>(
        z3, [](RadarInterface& radar, Sarvik::Files& files) { return radar.find_all_files_no_throw(files); },
        [&](const Sarvik::Files& files) {
            if (!flat::fit(capacity, files.file_types, files.file_identifiers))
                return 1;
            flat::put(first, files.file_types);
            return flat::counted_out(files.file_identifiers, second, count, capacity);
        });
}

int vmx_create_file(Z3_Type* z3, unsigned int type, unsigned int id, unsigned int length)
{
    return flat::call(
        z3, [&](RadarInterface& radar) { return radar.create_file_no_throw(type, id, length); });
}

int vmx_open_file(Z3_Type* z3, unsigned int type, unsigned int id)
{
    return flat::call(z3, [&](RadarInterface& radar) { return radar.open_file_no_throw(type, id); });
}

int vmx_set_file_data(Z3_Type* z3, unsigned int type, unsigned int id, unsigned int offset,
    const unsigned char* data, unsigned int length)
{
    return flat::with_connection(z3, [&](FlatConnection& connection) {
        const Bytes bytes = flat::bytes(data, length);
        return connection.locked(
            [&](RadarInterface& radar) { return radar.set_file_data_no_throw(type, id, offset, bytes); });
    });
}

int vmx_close_file(Z3_Type* z3, unsigned int type, unsigned int id, unsigned int commit)
{
    const bool flag = (commit & 0xFF) != 0;
    return flat::call(z3, [&](RadarInterface& radar) { return radar.close_file_no_throw(type, id, flag); });
}

int vmx_get_file_length(Z3_Type* z3, unsigned int type, unsigned int id, unsigned int* length)
{
    if (!flat::given(length))
        return 1;
    return flat::call(
        z3, [&](RadarInterface& radar) { return radar.get_file_length_no_throw(type, id, *length); });
}

int vmx_delete_file(Z3_Type* z3, unsigned int type, unsigned int id)
{
    return flat::call(z3, [&](RadarInterface& radar) { return radar.delete_file_no_throw(type, id); });
}

int vmx_get_file_data(Z3_Type* z3, unsigned int type, unsigned int id, unsigned int offset,
    unsigned int length, unsigned char* dst)
{
    if (!flat::room(length, dst))
        return 1;
    return file_query<Bytes>(
        z3,
        [&](RadarInterface& radar, Bytes& data) {
            return radar.get_file_data_no_throw(type, id, offset, length, data);
        },
        // The caller's room is what was asked for: a module that answers
        // with more is not trusted with it.
        [&](const Bytes& data) { return flat::copy_out(data, dst, length); });
}

int vmx_set_file(
    Z3_Type* z3, unsigned int type, unsigned int id, unsigned int length, const unsigned char* data)
{
    return flat::with_connection(z3, [&](FlatConnection& connection) {
        const Bytes bytes = flat::bytes(data, length);
        return connection.locked(
            [&](RadarInterface& radar) { return radar.set_file_no_throw(type, id, bytes); });
    });
}

int vmx_get_file(Z3_Type* z3, unsigned int type, unsigned int id, unsigned int capacity, unsigned char* dst)
{
    if (!flat::room(capacity, dst))
        return 1;
    return file_query<Bytes>(
        z3, [&](RadarInterface& radar, Bytes& file) { return radar.get_file_no_throw(type, id, file); },
        [&](const Bytes& file) { return flat::copy_out(file, dst, capacity); });
}

int vmx_format_filesystem(Z3_Type* z3, unsigned int key)
{
    return flat::call(z3, [&](RadarInterface& radar) { return radar.format_filesystem_no_throw(key); });
}
