/* Every refused argument in one table: NULL boxes, names, required outputs,
 * buffers with room, input bytes with a length and negative input lengths
 * give 1 (counts 0), send nothing to the module and take no message; NULL
 * with nothing to hold is accepted. */
#define _POSIX_C_SOURCE 200809L

#include "flat_check.h"
#include "flat_fixture.h"

#include <stddef.h>

/* Scratch outputs of the calls below. */
static unsigned int u, u2;
static int i0, i1, i2, i3;
static float f0, f1;
static char text[16];
static unsigned char bytes[16];
static float list[4];
static const unsigned char prefix[] = { 0xA0, 0x13 };

#define REFUSAL(name, expression)                                                                            \
    static int name(Z3_Type* z3)                                                                             \
    {                                                                                                        \
        (void)z3;                                                                                            \
        return (expression);                                                                                 \
    }
#define REFUSAL_VOID(name, statement)                                                                        \
    static int name(Z3_Type* z3)                                                                             \
    {                                                                                                        \
        (void)z3;                                                                                            \
        statement;                                                                                           \
        return 0;                                                                                            \
    }

/* No box. */
REFUSAL(no_box_ping, vmx_ping(NULL, &u))
REFUSAL(no_box_setter, vmx_set_sensitivity(NULL, 5))
REFUSAL(no_box_text, vmx_get_item_number(NULL, text, sizeof text))
REFUSAL(no_box_timeout, vmx_set_default_timeout(NULL, 3))
REFUSAL(no_box_peek, vmx_peek_message_respiration_legacy(NULL))
REFUSAL(no_box_read, vmx_read_message_respiration_legacy(NULL, &i0, &i1, &i2, &f0, &f1, &i3))
REFUSAL(no_box_packet, vmx_get_packet(NULL, "q", bytes, sizeof bytes))
REFUSAL(no_box_file, vmx_get_file(NULL, 1, 2, sizeof bytes, bytes))
REFUSAL(no_box_driver, dax_z7driver_get_fps(NULL, &f0))
REFUSAL(no_box_data_peek, dax_peek_message_data_string(NULL))
REFUSAL(no_handle_log_level, vmx_set_log_level(NULL, 3))
REFUSAL_VOID(no_box_log, vmx_log(NULL, "text"))

/* No name. */
REFUSAL(no_name_subscribe, vmx_subscribe(z3, NULL, prefix, sizeof prefix))
REFUSAL(no_name_subscribe_kind, vmx_subscribe_to_resp_status(z3, NULL))
REFUSAL(no_name_trace, vmx_subscribe_to_trace(z3, NULL))
REFUSAL(no_name_count, vmx_get_number_of_packets(z3, NULL, &u))
REFUSAL(no_name_clear, vmx_clear(z3, NULL))
REFUSAL(no_name_unsubscribe, vmx_unsubscribe(z3, NULL))
REFUSAL(no_name_packet, vmx_get_packet(z3, NULL, bytes, sizeof bytes))
REFUSAL(no_name_trace_text, vmx_get_trace(z3, NULL, text, sizeof text))
REFUSAL(no_name_named_read, vmx_get_respiration_data(z3, NULL, &i0, &i1, &i2, &f0, &f1, &i3))
REFUSAL(no_name_decimated, vmx_get_z7_decim_frame(z3, NULL, &u, NULL, 0))
REFUSAL(no_name_frame, vmx_get_raw_normalized_frame(z3, NULL, &u, list, &u2, 4))
REFUSAL(no_name_parameter_file, vmx_set_parameter_file(z3, NULL, "x"))
REFUSAL(no_text_parameter_file, vmx_set_parameter_file(z3, "x", NULL))
REFUSAL(no_name_get_parameter_file, vmx_get_parameter_file(z3, NULL, text, sizeof text))
REFUSAL_VOID(no_text_log, vmx_log(z3, NULL))

/* No required output. */
REFUSAL(no_pong, vmx_ping(z3, NULL))
REFUSAL(no_value, vmx_get_sensitivity(z3, NULL))
REFUSAL(no_second_value, vmx_get_detection_zone(z3, &f0, NULL))
REFUSAL(no_guarded_value, vmx_get_z3_float(z3, 1, NULL))
REFUSAL(no_profile, vmx_get_profileid(z3, NULL))
REFUSAL(no_file_length, vmx_get_file_length(z3, 1, 2, NULL))
REFUSAL(no_frame_area_start, dax_z7driver_get_frame_area(z3, NULL, &f1))
REFUSAL(no_count, vmx_get_number_of_packets(z3, "q", NULL))
REFUSAL(no_read_scalar, vmx_read_message_respiration_legacy(z3, &i0, &i1, NULL, &f0, &f1, &i3))
REFUSAL(no_list_count, vmx_read_message_data_float(z3, &i0, &i1, list, NULL, 4))
REFUSAL(no_frame_counter, vmx_capture_single_normalized_frame(z3, NULL, list, &u, 4))
REFUSAL(no_content_id, dax_read_message_data_string(z3, NULL, &u, text, &u2, sizeof text))
REFUSAL(no_file_count, vmx_search_for_file_by_type(z3, 1, &i0, NULL, 1))

/* No buffer where the room says there is one. */
REFUSAL(no_text_buffer, vmx_get_item_number(z3, NULL, 16))
REFUSAL(no_packet_buffer, vmx_get_packet(z3, "q", NULL, 4))
REFUSAL(no_reply_buffer, vmx_send_command_single(z3, prefix, 2, prefix, 2, NULL, 10))
REFUSAL(no_list_buffer, vmx_read_message_respiration_movinglist(z3, &i0, &u, NULL, list, 4))
REFUSAL(no_id_buffer, vmx_search_for_file_by_type(z3, 1, NULL, &u, 3))
REFUSAL(no_file_buffer, vmx_get_file(z3, 1, 2, 10, NULL))
REFUSAL(no_file_data_buffer, vmx_get_file_data(z3, 1, 2, 0, 10, NULL))
REFUSAL(no_data_buffer, dax_read_message_data_byte(z3, &u, &u2, NULL, NULL, 8))

/* No input bytes where the length says there are some. */
REFUSAL(no_command_bytes, vmx_send_command(z3, NULL, 4))
REFUSAL(no_prefix_bytes, vmx_subscribe(z3, "q", NULL, 2))
REFUSAL(no_payload_bytes, vmx_send_command_single(z3, NULL, 3, prefix, 2, bytes, sizeof bytes))
REFUSAL(no_file_bytes, vmx_set_file(z3, 1, 2, 5, NULL))
REFUSAL(no_file_data_bytes, vmx_set_file_data(z3, 1, 2, 0, NULL, 3))

/* Input lengths that are negative ints of the host's: beyond the buffer. */
REFUSAL(negative_command, vmx_send_command(z3, bytes, (unsigned int)-1))
REFUSAL(negative_prefix, vmx_subscribe(z3, "q", prefix, (unsigned int)-2))
REFUSAL(negative_payload, vmx_send_command_single(z3, prefix, 0x80000000u, prefix, 2, bytes, sizeof bytes))
REFUSAL(
    negative_reply_prefix, vmx_send_command_single(z3, prefix, 2, prefix, 0x80000002u, bytes, sizeof bytes))
REFUSAL(negative_file, vmx_set_file(z3, 1, 2, (unsigned int)-16, bytes))
REFUSAL(negative_file_data, vmx_set_file_data(z3, 1, 2, 0, bytes, 0xFFFFFFF0u))

/* NULL with nothing to hold. */
REFUSAL(empty_command, vmx_send_command(z3, NULL, 0))
REFUSAL(empty_unknown_packet, vmx_get_packet(z3, "nobody", NULL, 0))

struct RefusalRow {
    const char* label;
    int (*call)(Z3_Type* z3);
    int result;
};

static const struct RefusalRow rows[] = {
    { "no box: ping", no_box_ping, 1 },
    { "no box: setter", no_box_setter, 1 },
    { "no box: text", no_box_text, 1 },
    { "no box: timeout", no_box_timeout, 1 },
    { "no box: peek counts nothing", no_box_peek, 0 },
    { "no box: read", no_box_read, 1 },
    { "no box: packet", no_box_packet, 1 },
    { "no box: file", no_box_file, 1 },
    { "no box: chip driver", no_box_driver, 1 },
    { "no box: data peek counts nothing", no_box_data_peek, 0 },
    { "no handle: log level", no_handle_log_level, 1 },
    { "no box: log", no_box_log, 0 },
    { "no name: subscribe", no_name_subscribe, 1 },
    { "no name: subscribe a kind", no_name_subscribe_kind, 1 },
    { "no name: trace subscription", no_name_trace, 1 },
    { "no name: count", no_name_count, 1 },
    { "no name: clear", no_name_clear, 1 },
    { "no name: unsubscribe", no_name_unsubscribe, 1 },
    { "no name: packet", no_name_packet, 1 },
    { "no name: trace text", no_name_trace_text, 1 },
    { "no name: named read", no_name_named_read, 1 },
    { "no name: decimated frame", no_name_decimated, 1 },
    { "no name: normalized frame", no_name_frame, 1 },
    { "no name: parameter file", no_name_parameter_file, 1 },
    { "no text: parameter file", no_text_parameter_file, 1 },
    { "no name: parameter file read", no_name_get_parameter_file, 1 },
    { "no text: log", no_text_log, 0 },
    { "no output: pong", no_pong, 1 },
    { "no output: direct getter", no_value, 1 },
    { "no output: second of two", no_second_value, 1 },
    { "no output: guarded getter", no_guarded_value, 1 },
    { "no output: profile id", no_profile, 1 },
    { "no output: file length", no_file_length, 1 },
    { "no output: frame area", no_frame_area_start, 1 },
    { "no output: packet count", no_count, 1 },
    { "no output: scalar of a read", no_read_scalar, 1 },
    { "no output: count of a read", no_list_count, 1 },
    { "no output: frame counter", no_frame_counter, 1 },
    { "no output: content id", no_content_id, 1 },
    { "no output: file count", no_file_count, 1 },
    { "no buffer: text", no_text_buffer, 1 },
    { "no buffer: packet", no_packet_buffer, 1 },
    { "no buffer: reply", no_reply_buffer, 1 },
    { "no buffer: list", no_list_buffer, 1 },
    { "no buffer: identifiers", no_id_buffer, 1 },
    { "no buffer: file", no_file_buffer, 1 },
    { "no buffer: file data", no_file_data_buffer, 1 },
    { "no buffer: data bytes", no_data_buffer, 1 },
    { "no bytes: command", no_command_bytes, 1 },
    { "no bytes: prefix", no_prefix_bytes, 1 },
    { "no bytes: payload", no_payload_bytes, 1 },
    { "no bytes: file", no_file_bytes, 1 },
    { "no bytes: file data", no_file_data_bytes, 1 },
    { "negative length: command", negative_command, 1 },
    { "negative length: prefix", negative_prefix, 1 },
    { "negative length: payload", negative_payload, 1 },
    { "negative length: reply prefix", negative_reply_prefix, 1 },
    { "negative length: file", negative_file, 1 },
    { "negative length: file data", negative_file_data, 1 },
    { "nothing to hold: empty command", empty_command, 0 },
    { "nothing to hold: unknown queue", empty_unknown_packet, 0 },
};

void group_refusals(void)
{
    struct Fixture f;
    size_t r;
    CHECK(fixture_open(&f));
    /* Every queue a refused read could take from holds one message. */
    sim_send(f.sim, "50 26 fe 75 23 01 00 00 00 02 00 00 00 03 00 00 00 00 00 00 00 00 00 00 00 06 00 00 00");
    sim_send(f.sim, "a0 13 01 00 00 00 02 00 00 00 02 00 00 00 6f 6b");
    sim_send(f.sim, "a0 12 01 00 00 00 02 00 00 00 00 00 00 00");
    CHECK_INT(1, wait_for_count(vmx_peek_message_data_float, f.z3, 1));
    CHECK_INT(1, vmx_peek_message_respiration_legacy(f.z3));
    CHECK_INT(1, dax_peek_message_data_string(f.z3));
    sim_clear_received(f.sim);

    for (r = 0; r < sizeof rows / sizeof rows[0]; ++r) {
        flat_case("%s", rows[r].label);
        CHECK_INT(rows[r].result, rows[r].call(f.z3));
    }

    flat_case("nothing sent, nothing taken");
    CHECK_INT(0, sim_received_count(f.sim));
    CHECK_INT(1, vmx_peek_message_respiration_legacy(f.z3));
    CHECK_INT(1, dax_peek_message_data_string(f.z3));
    CHECK_INT(1, vmx_peek_message_data_float(f.z3));
    fixture_close(&f);
}
