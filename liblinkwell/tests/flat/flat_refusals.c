/* Every refused argument in one table: NULL boxes and handles, names,
 * required outputs, buffers with room and input bytes with a length (or a
 * negative one) give 1 (counts 0, flags 0, no handle), send nothing to the
 * module, take no message or record and change nothing; NULL with nothing to
 * hold is accepted. */
#define _POSIX_C_SOURCE 200809L

#include "flat_check.h"
#include "flat_fixture.h"

#include <stddef.h>
#include <string.h>

/* Scratch outputs of the calls below. */
static unsigned int u, u2;
static int i0, i1, i2, i3;
static float f0, f1;
static char text[16];
static unsigned char bytes[16];
static float list[4];
static const unsigned char prefix[] = { 0xA0, 0x13 };
static long long ll;
static unsigned char flag;

/* Live handles of the recording functions, and a sleep record that
 * converts. */
static char index_file[1024];
static RecordingOptionsHandle options;
static DataRecorderHandle recorder;
static DataReader* reader;
static DataReader* open_reader;
static DataPlayerHandle player;
static unsigned char record[256];
static unsigned int record_size;

/* Handles of every kind that were destroyed already, and pointers that were
 * never handed out as handles of their kind. */
static LinkwellHandle* dead_linkwell;
static Z3_Type* dead_z3;
static RecordingSplitSizeHandle dead_split;
static RecordingOptionsHandle dead_options;
static DataRecorderHandle dead_recorder;
static DataReader* dead_reader;
static DataPlayerHandle dead_player;
static DataReader* const unknown_reader = (DataReader*)bytes;

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

/* Recording functions without a handle. */
REFUSAL_VOID(no_split_duration, set_duration(NULL, 5))
REFUSAL_VOID(no_split_bytes, set_byte_count(NULL, 5))
REFUSAL_VOID(no_split_hour, set_fixed_daily_hour(NULL, 5))
REFUSAL_VOID(no_split_destroy, vmx_destroy_recording_split_size(NULL))
REFUSAL_VOID(no_options_session, set_session_id(NULL, "x", 1))
REFUSAL(no_options_get_session, get_session_id(NULL, text, &u, sizeof text))
REFUSAL_VOID(no_options_file_split, set_file_split_size(NULL, NULL))
REFUSAL_VOID(no_split_for_options, set_directory_split_size(options, NULL))
REFUSAL_VOID(no_options_rate, set_data_rate_limit(NULL, 5))
REFUSAL_VOID(no_options_header, set_user_header(NULL, "x", 1))
REFUSAL_VOID(no_options_destroy, vmx_destroy_recording_options(NULL))
REFUSAL(no_connection_recorder, vmx_get_data_recorder(NULL) != NULL)
REFUSAL(no_recorder_start, vmx_start_recording(NULL, 4, ".", 1, NULL))
REFUSAL_VOID(no_recorder_stop, vmx_stop_recording(NULL, 4))
REFUSAL(no_recorder_process, vmx_process(NULL, 4, bytes, 4))
REFUSAL_VOID(no_recorder_set_basename, vmx_set_basename_for_data_type(NULL, 4, "x", 1))
REFUSAL(no_recorder_basename, vmx_get_basename_for_data_type(NULL, 4, text, &u, sizeof text))
REFUSAL_VOID(no_recorder_clear, vmx_clear_basename_for_data_types(NULL, 4))
REFUSAL(no_recorder_session_dir, vmx_get_recording_dir_for_session_id(NULL, "x", 1, text, &u, sizeof text))
REFUSAL(no_recorder_type_dir, vmx_get_recording_dir_for_data_type(NULL, 4, text, &u, sizeof text))
REFUSAL_VOID(no_recorder_destroy, vmx_destroy_data_recorder(NULL))
REFUSAL(no_reader_open, data_reader_open(NULL, index_file, (int)strlen(index_file), -1))
REFUSAL_VOID(no_reader_close, data_reader_close(NULL))
REFUSAL(no_reader_is_open, data_reader_is_open(NULL))
REFUSAL(no_reader_at_end, data_reader_at_end(NULL))
REFUSAL(no_reader_read, data_reader_read_record(NULL, bytes, &u, sizeof bytes, &u2, &ll, &flag))
REFUSAL(no_reader_peek, data_reader_peek_record(NULL, bytes, &u, sizeof bytes, &u2, &ll, &flag))
REFUSAL(no_reader_seek_ms, data_reader_seek_ms(NULL, 0))
REFUSAL(no_reader_seek_byte, data_reader_seek_byte(NULL, 0))
REFUSAL(no_reader_filter, data_reader_set_filter(NULL, 4))
REFUSAL(no_reader_epoch, data_reader_get_start_epoch(NULL, &ll))
REFUSAL(no_reader_session, data_reader_get_session_id(NULL, text, &u, sizeof text))
REFUSAL_VOID(no_reader_destroy, data_reader_destroy(NULL))
REFUSAL(no_player_playback, vmx_create_linkwell_playback(NULL, 0) != NULL)
REFUSAL(no_player_play, data_player_play(NULL))
REFUSAL(no_player_pause, data_player_pause(NULL))
REFUSAL(no_player_stop, data_player_stop(NULL))
REFUSAL(no_player_state, data_player_set_state(NULL, 1))
REFUSAL(no_player_filter, data_player_set_filter(NULL, 4))
REFUSAL(no_player_position, data_player_set_position(NULL, 0))
REFUSAL(no_player_rate, data_player_set_playback_rate(NULL, 1.0f))
REFUSAL(no_player_loop, data_player_set_loop_mode_enabled(NULL, 1))
REFUSAL(no_player_duration, data_player_get_duration(NULL, &ll))
REFUSAL(no_player_name, data_player_get_meta_filename(NULL, text, &u, sizeof text))
REFUSAL_VOID(no_player_destroy, data_player_destroy(NULL))
REFUSAL(
    no_reader_packet, data_record_to_binary_packet(NULL, record, record_size, 4, 0, bytes, &u, sizeof bytes))
REFUSAL(no_reader_sleep,
    data_record_to_sleep_data(NULL, record, record_size, 4, 0, &u, &u2, &f0, &f1, &u, &f0, &f1))

/* Handles destroyed already: destroying again is harmless, using one gives
 * the failure result, and neither touches freed memory. So do pointers that
 * are no handles, or handles of another kind. */
REFUSAL_VOID(destroyed_linkwell_again, vmx_destroy_linkwell(dead_linkwell))
REFUSAL_VOID(destroyed_z3_again, vmx_destroy_Z3_interface(dead_z3))
REFUSAL_VOID(destroyed_split_again, vmx_destroy_recording_split_size(dead_split))
REFUSAL_VOID(destroyed_options_again, vmx_destroy_recording_options(dead_options))
REFUSAL_VOID(destroyed_recorder_again, vmx_destroy_data_recorder(dead_recorder))
REFUSAL_VOID(destroyed_reader_again, data_reader_destroy(dead_reader))
REFUSAL_VOID(destroyed_player_again, data_player_destroy(dead_player))
REFUSAL_VOID(unknown_reader_destroyed, data_reader_destroy(unknown_reader))
REFUSAL(destroyed_z3_ping, vmx_ping(dead_z3, &u))
REFUSAL(destroyed_z3_read, vmx_read_message_respiration_legacy(dead_z3, &i0, &i1, &i2, &f0, &f1, &i3))
REFUSAL(destroyed_linkwell_z3, vmx_get_z3(dead_linkwell) != NULL)
REFUSAL(destroyed_linkwell_log_level, vmx_set_log_level(dead_linkwell, 3))
REFUSAL(destroyed_linkwell_recorder, vmx_get_data_recorder(dead_linkwell) != NULL)
REFUSAL_VOID(destroyed_split_duration, set_duration(dead_split, 5))
REFUSAL_VOID(destroyed_split_for_options, set_file_split_size(options, dead_split))
REFUSAL(destroyed_options_session, get_session_id(dead_options, text, &u, sizeof text))
REFUSAL(destroyed_options_start, vmx_start_recording(recorder, 8, ".", 1, dead_options))
REFUSAL(destroyed_recorder_start, vmx_start_recording(dead_recorder, 8, ".", 1, NULL))
REFUSAL(destroyed_recorder_process, vmx_process(dead_recorder, 4, bytes, 4))
REFUSAL(destroyed_reader_open, data_reader_open(dead_reader, index_file, (int)strlen(index_file), -1))
REFUSAL(destroyed_reader_is_open, data_reader_is_open(dead_reader))
REFUSAL(destroyed_reader_read, data_reader_read_record(dead_reader, bytes, &u, sizeof bytes, &u2, &ll, &flag))
REFUSAL(destroyed_reader_packet,
    data_record_to_binary_packet(dead_reader, record, record_size, 4, 0, bytes, &u, sizeof bytes))
REFUSAL(destroyed_player_play, data_player_play(dead_player))
REFUSAL(destroyed_player_playback, vmx_create_linkwell_playback(dead_player, 0) != NULL)
REFUSAL(
    unknown_reader_read, data_reader_read_record(unknown_reader, bytes, &u, sizeof bytes, &u2, &ll, &flag))
REFUSAL(reader_as_z3, vmx_ping((Z3_Type*)open_reader, &u))
REFUSAL(options_as_split, (set_duration((RecordingSplitSizeHandle)options, 5), 0))

/* Recording functions: no text or bytes where the length says there are
 * some, and negative lengths. */
REFUSAL_VOID(no_id_text, set_session_id(options, NULL, 3))
REFUSAL_VOID(negative_id, set_session_id(options, "abc", -1))
REFUSAL_VOID(no_header_bytes, set_user_header(options, NULL, 3))
REFUSAL_VOID(negative_header, set_user_header(options, "abc", -1))
REFUSAL(no_directory, vmx_start_recording(recorder, 8, NULL, 3, NULL))
REFUSAL(negative_directory, vmx_start_recording(recorder, 8, ".", -1, NULL))
REFUSAL(no_process_bytes, vmx_process(recorder, 4, NULL, 3))
REFUSAL_VOID(no_basename, vmx_set_basename_for_data_type(recorder, 4, NULL, 3))
REFUSAL_VOID(negative_basename, vmx_set_basename_for_data_type(recorder, 4, "abc", -1))
REFUSAL(no_session_name, vmx_get_recording_dir_for_session_id(recorder, NULL, 3, text, &u, sizeof text))
REFUSAL(negative_session_name,
    vmx_get_recording_dir_for_session_id(recorder, "refusals", -1, text, &u, sizeof text))
REFUSAL(no_reader_name, data_reader_open(reader, NULL, 5, -1))
REFUSAL(negative_reader_name, data_reader_open(reader, index_file, -1, -1))
REFUSAL(no_player_file, data_player_create(NULL, 5, -1) != NULL)
REFUSAL(negative_player_file, data_player_create(index_file, -1, -1) != NULL)
REFUSAL(no_record_bytes, data_record_to_binary_packet(open_reader, NULL, 4, 4, 0, bytes, &u, sizeof bytes))
REFUSAL(
    no_sleep_bytes, data_record_to_sleep_data(open_reader, NULL, 4, 4, 0, &u, &u2, &f0, &f1, &u, &f0, &f1))

/* Recording functions: no required output. */
REFUSAL(no_filter_out, data_reader_get_filter(open_reader, NULL))
REFUSAL(no_epoch_out, data_reader_get_start_epoch(open_reader, NULL))
REFUSAL(no_duration_out, data_reader_get_duration(open_reader, NULL))
REFUSAL(no_size_out, data_reader_get_size(open_reader, NULL))
REFUSAL(no_types_out, data_reader_get_data_types(open_reader, NULL))
REFUSAL(no_max_size_out, data_reader_get_max_record_size(open_reader, NULL))
REFUSAL(no_state_out, data_player_get_state(player, NULL))
REFUSAL(no_player_filter_out, data_player_get_filter(player, NULL))
REFUSAL(no_position_out, data_player_get_position(player, NULL))
REFUSAL(no_rate_out, data_player_get_playback_rate(player, NULL))
REFUSAL(no_loop_out, data_player_get_loop_mode_enabled(player, NULL))
REFUSAL(no_player_duration_out, data_player_get_duration(player, NULL))
REFUSAL(
    no_packet_length, data_record_to_binary_packet(open_reader, record, record_size, 4, 0, bytes, NULL, 16))
REFUSAL(no_sleep_output,
    data_record_to_sleep_data(open_reader, record, record_size, 4, 0, &u, &u2, &f0, &f1, NULL, &f0, &f1))

/* Recording functions: no buffer where the capacity says there is one. */
REFUSAL(no_session_buffer, get_session_id(options, NULL, &u, 16))
REFUSAL(no_record_buffer, data_reader_read_record(open_reader, NULL, &u, 16, &u2, &ll, &flag))
REFUSAL(no_peek_buffer, data_reader_peek_record(open_reader, NULL, &u, 16, &u2, &ll, &flag))
REFUSAL(no_directory_buffer, vmx_get_recording_dir_for_data_type(recorder, 4, NULL, &u, 16))
REFUSAL(no_file_name_buffer, data_player_get_meta_filename(player, NULL, &u, 16))
REFUSAL(no_packet_buffer_given,
    data_record_to_binary_packet(open_reader, record, record_size, 4, 0, NULL, &u, 16))

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
    { "recording, no handle: split duration", no_split_duration, 0 },
    { "recording, no handle: split bytes", no_split_bytes, 0 },
    { "recording, no handle: split hour", no_split_hour, 0 },
    { "recording, no handle: destroy split", no_split_destroy, 0 },
    { "recording, no handle: set session id", no_options_session, 0 },
    { "recording, no handle: session id", no_options_get_session, 1 },
    { "recording, no handle: file split", no_options_file_split, 0 },
    { "recording, no handle: directory split rule", no_split_for_options, 0 },
    { "recording, no handle: rate limit", no_options_rate, 0 },
    { "recording, no handle: user header", no_options_header, 0 },
    { "recording, no handle: destroy options", no_options_destroy, 0 },
    { "recording, no handle: recorder of no connection", no_connection_recorder, 0 },
    { "recording, no handle: start", no_recorder_start, 1 },
    { "recording, no handle: stop", no_recorder_stop, 0 },
    { "recording, no handle: process", no_recorder_process, 1 },
    { "recording, no handle: set base name", no_recorder_set_basename, 0 },
    { "recording, no handle: base name", no_recorder_basename, 1 },
    { "recording, no handle: clear base names", no_recorder_clear, 0 },
    { "recording, no handle: session directory", no_recorder_session_dir, 1 },
    { "recording, no handle: type directory", no_recorder_type_dir, 1 },
    { "recording, no handle: destroy recorder", no_recorder_destroy, 0 },
    { "recording, no handle: reader open", no_reader_open, 1 },
    { "recording, no handle: reader close", no_reader_close, 0 },
    { "recording, no handle: reader is not open", no_reader_is_open, 0 },
    { "recording, no handle: reader is not at the end", no_reader_at_end, 0 },
    { "recording, no handle: read record", no_reader_read, 1 },
    { "recording, no handle: peek record", no_reader_peek, 1 },
    { "recording, no handle: seek time", no_reader_seek_ms, 1 },
    { "recording, no handle: seek byte", no_reader_seek_byte, 1 },
    { "recording, no handle: reader filter", no_reader_filter, 1 },
    { "recording, no handle: start epoch", no_reader_epoch, 1 },
    { "recording, no handle: reader session id", no_reader_session, 1 },
    { "recording, no handle: destroy reader", no_reader_destroy, 0 },
    { "recording, no handle: playback connection", no_player_playback, 0 },
    { "recording, no handle: play", no_player_play, 1 },
    { "recording, no handle: pause", no_player_pause, 1 },
    { "recording, no handle: stop playing", no_player_stop, 1 },
    { "recording, no handle: player state", no_player_state, 1 },
    { "recording, no handle: player filter", no_player_filter, 1 },
    { "recording, no handle: position", no_player_position, 1 },
    { "recording, no handle: rate", no_player_rate, 1 },
    { "recording, no handle: loop mode", no_player_loop, 1 },
    { "recording, no handle: player duration", no_player_duration, 1 },
    { "recording, no handle: index file name", no_player_name, 1 },
    { "recording, no handle: destroy player", no_player_destroy, 0 },
    { "recording, no handle: record to packet", no_reader_packet, 1 },
    { "recording, no handle: record to sleep data", no_reader_sleep, 1 },
    { "destroyed twice: connector", destroyed_linkwell_again, 0 },
    { "destroyed twice: module box", destroyed_z3_again, 0 },
    { "destroyed twice: split rule", destroyed_split_again, 0 },
    { "destroyed twice: options", destroyed_options_again, 0 },
    { "destroyed twice: recorder", destroyed_recorder_again, 0 },
    { "destroyed twice: reader", destroyed_reader_again, 0 },
    { "destroyed twice: player", destroyed_player_again, 0 },
    { "never a handle: destroy reader", unknown_reader_destroyed, 0 },
    { "destroyed: ping", destroyed_z3_ping, 1 },
    { "destroyed: read", destroyed_z3_read, 1 },
    { "destroyed: module box of a connector", destroyed_linkwell_z3, 0 },
    { "destroyed: connector's log level", destroyed_linkwell_log_level, 1 },
    { "destroyed: recorder of a connector", destroyed_linkwell_recorder, 0 },
    { "destroyed: split duration", destroyed_split_duration, 0 },
    { "destroyed: split rule for options", destroyed_split_for_options, 0 },
    { "destroyed: session id", destroyed_options_session, 1 },
    { "destroyed: options of a start", destroyed_options_start, 1 },
    { "destroyed: recorder start", destroyed_recorder_start, 1 },
    { "destroyed: recorder process", destroyed_recorder_process, 1 },
    { "destroyed: reader open", destroyed_reader_open, 1 },
    { "destroyed: reader is not open", destroyed_reader_is_open, 0 },
    { "destroyed: read record", destroyed_reader_read, 1 },
    { "destroyed: record to packet", destroyed_reader_packet, 1 },
    { "destroyed: play", destroyed_player_play, 1 },
    { "destroyed: playback connection", destroyed_player_playback, 0 },
    { "never a handle: read record", unknown_reader_read, 1 },
    { "another kind: reader as module box", reader_as_z3, 1 },
    { "another kind: options as split rule", options_as_split, 0 },
    { "recording, no text: session id", no_id_text, 0 },
    { "recording, negative length: session id", negative_id, 0 },
    { "recording, no bytes: user header", no_header_bytes, 0 },
    { "recording, negative length: user header", negative_header, 0 },
    { "recording, no text: directory", no_directory, 1 },
    { "recording, negative length: directory", negative_directory, 1 },
    { "recording, no bytes: process", no_process_bytes, 1 },
    { "recording, no text: base name", no_basename, 0 },
    { "recording, negative length: base name", negative_basename, 0 },
    { "recording, no text: session of a directory", no_session_name, 1 },
    { "recording, negative length: session of a directory", negative_session_name, 1 },
    { "recording, no text: reader's index file", no_reader_name, 1 },
    { "recording, negative length: reader's index file", negative_reader_name, 1 },
    { "recording, no text: player's index file", no_player_file, 0 },
    { "recording, negative length: player's index file", negative_player_file, 0 },
    { "recording, no bytes: record to packet", no_record_bytes, 1 },
    { "recording, no bytes: record to sleep data", no_sleep_bytes, 1 },
    { "recording, no output: reader filter", no_filter_out, 1 },
    { "recording, no output: start epoch", no_epoch_out, 1 },
    { "recording, no output: reader duration", no_duration_out, 1 },
    { "recording, no output: size", no_size_out, 1 },
    { "recording, no output: data types", no_types_out, 1 },
    { "recording, no output: largest record", no_max_size_out, 1 },
    { "recording, no output: player state", no_state_out, 1 },
    { "recording, no output: player filter", no_player_filter_out, 1 },
    { "recording, no output: position", no_position_out, 1 },
    { "recording, no output: rate", no_rate_out, 1 },
    { "recording, no output: loop mode", no_loop_out, 1 },
    { "recording, no output: player duration", no_player_duration_out, 1 },
    { "recording, no output: packet length", no_packet_length, 1 },
    { "recording, no output: a sleep field", no_sleep_output, 1 },
    { "recording, no buffer: session id", no_session_buffer, 1 },
    { "recording, no buffer: read record", no_record_buffer, 1 },
    { "recording, no buffer: peek record", no_peek_buffer, 1 },
    { "recording, no buffer: directory", no_directory_buffer, 1 },
    { "recording, no buffer: index file name", no_file_name_buffer, 1 },
    { "recording, no buffer: packet", no_packet_buffer_given, 1 },
};

/* A recording session, a recorder recording the sleep type, readers with
 * nothing and with the session open, a player, and the session's first
 * record that converts. */
static void open_recording_handles(void)
{
    unsigned int type = 0;
    unsigned int length = 0;
    DataReader* scan = data_reader_create();

    CHECK(enter_temporary_directory());
    CHECK(record_by_hand("refusals", 2, index_file, sizeof index_file));
    options = vmx_create_recording_options();
    set_session_id(options, "refusals", 8);
    recorder = vmx_create_data_recorder();
    CHECK_INT(0, vmx_start_recording(recorder, 4, ".", 1, options));
    reader = data_reader_create();
    open_reader = data_reader_create();
    CHECK_INT(0, data_reader_open(open_reader, index_file, (int)strlen(index_file), -1));
    player = data_player_create(index_file, (int)strlen(index_file), -1);
    CHECK(player != NULL);
    CHECK_INT(0, data_reader_open(scan, index_file, (int)strlen(index_file), -1));
    while (data_reader_read_record(scan, record, &record_size, sizeof record, &type, &ll, &flag) == 0)
        if (data_record_to_binary_packet(scan, record, record_size, type, flag, bytes, &length, sizeof bytes)
            == 0)
            break;
    CHECK_INT(4, type);
    data_reader_destroy(scan);

    dead_player = data_player_create(index_file, (int)strlen(index_file), -1);
    dead_linkwell = vmx_create_linkwell_playback(dead_player, 0);
    CHECK(dead_linkwell != NULL);
    dead_z3 = vmx_get_z3(dead_linkwell);
    dead_split = vmx_create_recording_split_size();
    dead_options = vmx_create_recording_options();
    dead_recorder = vmx_create_data_recorder();
    dead_reader = data_reader_create();
    CHECK(dead_z3 && dead_split && dead_options && dead_recorder && dead_reader);
    vmx_destroy_Z3_interface(dead_z3);
    vmx_destroy_linkwell(dead_linkwell);
    data_player_destroy(dead_player);
    vmx_destroy_recording_split_size(dead_split);
    vmx_destroy_recording_options(dead_options);
    vmx_destroy_data_recorder(dead_recorder);
    data_reader_destroy(dead_reader);
}

/* Nothing that a refused call was given took effect, and nothing was read. */
static void check_recording_handles_untouched(void)
{
    unsigned char first[256];
    unsigned char read[256];
    unsigned int size = 0;
    unsigned int peeked = 0;
    int state = -1;

    flat_case("recording: nothing changed, nothing taken");
    CHECK_INT(0, get_session_id(options, text, &u, sizeof text - 1));
    text[u] = '\0';
    CHECK_TEXT("refusals", text);
    CHECK_INT(0, vmx_get_basename_for_data_type(recorder, 4, text, &u, sizeof text - 1));
    text[u] = '\0';
    CHECK_TEXT("sarvik_sleep", text);
    CHECK_INT(0, vmx_get_recording_dir_for_data_type(recorder, 8, text, &u, sizeof text));
    CHECK_INT(0, u);
    CHECK_INT(0, data_reader_is_open(reader));
    CHECK_INT(0, data_player_get_state(player, &state));
    CHECK_INT(0, state);
    /* The open reader is still at its first record. */
    CHECK_INT(0, data_reader_peek_record(open_reader, first, &peeked, sizeof first, &u, &ll, &flag));
    CHECK_INT(0, data_reader_open(reader, index_file, (int)strlen(index_file), -1));
    CHECK_INT(0, data_reader_read_record(reader, read, &size, sizeof read, &u, &ll, &flag));
    CHECK_INT(size, peeked);
    CHECK(size > 0 && memcmp(first, read, size) == 0);

    data_player_destroy(player);
    data_reader_destroy(open_reader);
    data_reader_destroy(reader);
    vmx_destroy_data_recorder(recorder);
    vmx_destroy_recording_options(options);
    leave_temporary_directory();
}

void group_refusals(void)
{
    struct Fixture f;
    size_t r;
    open_recording_handles();
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
    check_recording_handles_untouched();
}
