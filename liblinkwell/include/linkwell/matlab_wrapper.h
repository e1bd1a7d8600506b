/* The library as plain C functions, for hosts that load the shared library
 * and call exported functions by name (numeric-computing environments, C
 * programs). Only integers, floats, pointers to them, NUL-terminated names and
 * raw buffers cross the boundary; every object stays behind an opaque handle.
 *
 * Handles
 *   LinkwellHandle  one module connection (serial port, TCP/IP or a recording
 *                   played back), made by a vmx_create_linkwell* function and
 *                   released by vmx_destroy_linkwell.
 *   Z3_Type         a box made from a connection by vmx_get_z3; every command
 *                   and message function takes one. Any number of boxes may
 *                   be made from one connection; each is freed with
 *                   vmx_destroy_Z3_interface. Once its connection has been
 *                   destroyed a box only fails (result 1, counts 0).
 *   Recording handles (split rules, options, recorders, readers, players):
 *                   see "Recording, reading and playing back" below.
 *   A handle that was destroyed already, or a pointer that was never handed
 *   out as a handle of its kind, is treated as NULL: every function refuses
 *   it with its failure result (1, NULL, a count or flag of 0, or nothing),
 *   and destroying a handle twice does nothing the second time.
 *
 * Results
 *   0 is success. A non-zero error code of the module passes through
 *   unchanged; 1 is any other failure: a NULL handle, box, name or required
 *   output pointer, a reply timeout, a malformed reply, an output buffer that
 *   is too small. No exception and no crash ever leaves a function. Functions
 *   without a result do nothing when given a NULL handle or box.
 *
 * Arguments
 *   8-bit values (pins, register addresses, modes, codes) travel as 32-bit
 *   unsigned arguments of which only the low 8 bits are used. Names are
 *   NUL-terminated. An input buffer may be NULL only with a length of 0; an
 *   output array may be NULL only with a capacity of 0. An input length of
 *   2^31 or more (a negative int passed by the host) gives 1, and nothing is
 *   read from the buffer.
 *
 * Output buffers: a pointer and a capacity, under one of these rules
 *   T  text with its NUL: the text must be shorter than the capacity, else 1
 *      and nothing is written.
 *   C  bytes or elements without a terminator: more than the capacity gives 1
 *      and nothing is written. No length is reported.
 *   K  as C, and a count output receives the number of elements written.
 *   R  truncating: the length output (which may be NULL) is set to 0 first;
 *      then min(size, capacity) bytes are copied and that number stored. Too
 *      little room is not an error: compare the length with the capacity.
 *   U  the caller supplies room for the whole result (the function says how
 *      large it can be).
 *
 * Queue reads
 *   The vmx_read_message_* and dax_read_message_* functions take the oldest
 *   message of their type's queue, vmx_get_*_data, vmx_get_packet and
 *   vmx_get_trace the oldest of a queue the caller subscribed. A read on an
 *   empty queue WAITS WITHOUT A TIME LIMIT until a message arrives, and holds
 *   the connection's lock meanwhile, so every other call on that connection
 *   waits too: ask the matching vmx_peek_message_* or
 *   vmx_get_number_of_packets first. A read whose arrays are too small for the
 *   message returns 1 and the message is CONSUMED all the same; read with
 *   arrays large enough for the largest message expected. Destroying the
 *   connection wakes a waiting read, which then returns 1.
 *
 * Threads
 *   Calls on one connection from several threads are serialised by the
 *   connection's lock; calls on different connections do not wait for each
 *   other. A handle destroyed while another thread calls into it stays
 *   alive until that call has returned; a read that is waiting on a
 *   destroyed connection wakes and returns 1 (see above).
 */
#ifndef LINKWELL_MATLAB_WRAPPER_H
#define LINKWELL_MATLAB_WRAPPER_H

#include "linkwell_export.h"

LINKWELL_EXTERN_C_BEGIN

typedef struct LinkwellHandle LinkwellHandle;
typedef struct Z3_Type Z3_Type;

/* ==== Connections ======================================================== */

/* Opens the serial port `device` (115200 baud, 8N1). log_level 0 writes no
 * log at all; any other level writes the lines up to that level to a file
 * "debug_<date>_<time>.log" in the working directory. NULL when the port
 * cannot be opened or device is NULL; nothing is left behind then. */
LINKWELL_API LinkwellHandle* vmx_create_linkwell(const char* device, unsigned int log_level);
/* Connects to a module over TCP/IP; address and port in network byte order.
 * The third argument is not used. */
LINKWELL_API LinkwellHandle* vmx_create_linkwell_tcpip(
    unsigned int address, unsigned short port, unsigned int unused, unsigned int log_level);
/* Closes the connection and releases its port or socket, its threads and its
 * log file. NULL does nothing. Boxes made from it must still be freed. */
LINKWELL_API void vmx_destroy_linkwell(LinkwellHandle* handle);
/* A new box for the connection; NULL for a NULL handle. */
LINKWELL_API Z3_Type* vmx_get_z3(LinkwellHandle* mc);
/* Frees the box only; NULL does nothing. */
LINKWELL_API void vmx_destroy_Z3_interface(Z3_Type* z3);
/* The protocol codec's source revision; static, never to be freed. */
LINKWELL_API const char* vmx_git_sha(void);
/* The threshold of the connection's log (file output stays as created). */
LINKWELL_API int vmx_set_log_level(LinkwellHandle* handle, int level);
/* The reply timeout, in seconds, of every later command (2 until changed). */
LINKWELL_API int vmx_set_default_timeout(Z3_Type* z3, unsigned int seconds);
/* Writes the text to the connection's log at level 0. */
LINKWELL_API void vmx_log(Z3_Type* z3, const char* text);
/* Sleeps the calling thread for whole seconds. */
LINKWELL_API void vmx_wait(unsigned int seconds);

/* ==== Module commands ===================================================== */

/* The module's pong value. An error reply reads as pong 1 with result 0. */
LINKWELL_API int vmx_ping(Z3_Type* z3, unsigned int* pong);
/* System information texts, rule T. */
LINKWELL_API int vmx_get_system_info(Z3_Type* z3, unsigned int code, char* dst, unsigned int capacity);
LINKWELL_API int vmx_get_item_number(Z3_Type* z3, char* dst, unsigned int capacity);
LINKWELL_API int vmx_get_order_code(Z3_Type* z3, char* dst, unsigned int capacity);
LINKWELL_API int vmx_get_firmware_id(Z3_Type* z3, char* dst, unsigned int capacity);
LINKWELL_API int vmx_get_firmware_version(Z3_Type* z3, char* dst, unsigned int capacity);
LINKWELL_API int vmx_get_build_info(Z3_Type* z3, char* dst, unsigned int capacity);
LINKWELL_API int vmx_get_app_id_list(Z3_Type* z3, char* dst, unsigned int capacity);
LINKWELL_API int vmx_get_serial_number(Z3_Type* z3, char* dst, unsigned int capacity);

LINKWELL_API int vmx_set_debug_level(Z3_Type* z3, unsigned int level);
LINKWELL_API int vmx_set_sensor_mode(Z3_Type* z3, unsigned int mode);
LINKWELL_API int vmx_set_sensor_mode_and_submode(Z3_Type* z3, unsigned int mode, unsigned int submode);
LINKWELL_API int vmx_set_sensor_mode_manual(Z3_Type* z3);
LINKWELL_API int vmx_set_sensor_mode_run(Z3_Type* z3);
LINKWELL_API int vmx_set_sensor_mode_idle(Z3_Type* z3);
LINKWELL_API int vmx_module_reset(Z3_Type* z3);
LINKWELL_API int vmx_reset_to_factory_preset(Z3_Type* z3);
LINKWELL_API int vmx_enter_bootloader(Z3_Type* z3);

LINKWELL_API int vmx_load_profile(Z3_Type* z3, unsigned int profile_id);
LINKWELL_API int vmx_load_sleep_profile(Z3_Type* z3);
LINKWELL_API int vmx_load_respiration_profile(Z3_Type* z3);
LINKWELL_API int vmx_get_profileid(Z3_Type* z3, unsigned int* profile_id);

LINKWELL_API int vmx_enable_baseband(Z3_Type* z3, int type);
LINKWELL_API int vmx_enable_baseband_ap(Z3_Type* z3);
LINKWELL_API int vmx_disable_baseband_ap(Z3_Type* z3);
LINKWELL_API int vmx_enable_baseband_iq(Z3_Type* z3);
LINKWELL_API int vmx_disable_baseband_iq(Z3_Type* z3);
LINKWELL_API int vmx_enable_resp_output(Z3_Type* z3);
LINKWELL_API int vmx_disable_resp_output(Z3_Type* z3);

LINKWELL_API int vmx_set_detection_zone(Z3_Type* z3, float start, float end);
LINKWELL_API int vmx_get_detection_zone(Z3_Type* z3, float* start, float* end);
/* The three limits in the order of the module's reply. */
LINKWELL_API int vmx_get_detection_zone_limits(Z3_Type* z3, float* first, float* second, float* third);
LINKWELL_API int vmx_set_sensitivity(Z3_Type* z3, unsigned int sensitivity);
LINKWELL_API int vmx_get_sensitivity(Z3_Type* z3, unsigned int* sensitivity);
LINKWELL_API int vmx_set_led_control(Z3_Type* z3, unsigned int mode, unsigned int intensity);
LINKWELL_API int vmx_get_led_control(Z3_Type* z3, unsigned char* mode);
LINKWELL_API int vmx_set_output_control(Z3_Type* z3, unsigned int feature, unsigned int control);
LINKWELL_API int vmx_get_output_control(Z3_Type* z3, unsigned int feature, unsigned int* control);
LINKWELL_API int vmx_set_debug_output_control(Z3_Type* z3, unsigned int feature, unsigned int control);
LINKWELL_API int vmx_get_debug_output_control(Z3_Type* z3, unsigned int feature, unsigned int* control);

LINKWELL_API int vmx_store_noisemap(Z3_Type* z3);
LINKWELL_API int vmx_delete_noisemap(Z3_Type* z3);
LINKWELL_API int vmx_set_noisemap_control(Z3_Type* z3, unsigned int control);
LINKWELL_API int vmx_get_noisemap_control(Z3_Type* z3, unsigned int* control);

LINKWELL_API int vmx_set_parameter_file(Z3_Type* z3, const char* name, const char* text);
/* The file's text, rule C (no terminator; the module's text may end with a
 * zero of its own). A failed read writes nothing and returns its code. */
LINKWELL_API int vmx_get_parameter_file(Z3_Type* z3, const char* name, char* dst, unsigned int capacity);

/* Waits up to 70 seconds for the module's answer. */
LINKWELL_API int vmx_run_timing_measurement(Z3_Type* z3);
LINKWELL_API int vmx_set_fps(Z3_Type* z3, unsigned int fps);
LINKWELL_API int vmx_set_Z3_float(Z3_Type* z3, unsigned int id, float value);
LINKWELL_API int vmx_get_z3_float(Z3_Type* z3, unsigned int id, float* value);
LINKWELL_API int vmx_set_Z3_int(Z3_Type* z3, unsigned int id, unsigned int value);
LINKWELL_API int vmx_get_z3_int(Z3_Type* z3, unsigned int id, unsigned int* value);
LINKWELL_API int vmx_set_Z3_register(Z3_Type* z3, unsigned int address, unsigned int value);
LINKWELL_API int vmx_get_z3_register(Z3_Type* z3, unsigned int address, unsigned int* value);
LINKWELL_API int vmx_set_z7_fps(Z3_Type* z3, unsigned int fps);
LINKWELL_API int vmx_get_z7_io_pin_value(Z3_Type* z3, unsigned int pin, unsigned char* value);
LINKWELL_API int vmx_set_z7_io_pin_value(Z3_Type* z3, unsigned int pin, unsigned int value);
LINKWELL_API int vmx_set_z7_io_pin_mode(Z3_Type* z3, unsigned int pin, unsigned int mode);
LINKWELL_API int vmx_set_z7_io_pin_dir(Z3_Type* z3, unsigned int pin, unsigned int direction);
LINKWELL_API int vmx_set_z7_io_pin_enable(Z3_Type* z3, unsigned int pin);
LINKWELL_API int vmx_set_z7_io_pin_disable(Z3_Type* z3, unsigned int pin);
LINKWELL_API int vmx_read_z7_spi(Z3_Type* z3, unsigned int address, unsigned char* value);
LINKWELL_API int vmx_write_z7_spi(Z3_Type* z3, unsigned int address, unsigned int value);

/* ==== Subscriptions and queues ============================================ */

/* A queue under the caller's name for one kind of message (at most 1000
 * messages, the oldest dropped first); a queue of that name is replaced. */
LINKWELL_API int vmx_subscribe_to_resp_status(Z3_Type* z3, const char* name);
LINKWELL_API int vmx_subscribe_to_sleep_status(Z3_Type* z3, const char* name);
LINKWELL_API int vmx_subscribe_to_baseband_ap(Z3_Type* z3, const char* name);
LINKWELL_API int vmx_subscribe_to_baseband_iq(Z3_Type* z3, const char* name);
LINKWELL_API int vmx_subscribe_to_data_float(Z3_Type* z3, const char* name);
LINKWELL_API int vmx_subscribe_to_data_byte(Z3_Type* z3, const char* name);
LINKWELL_API int vmx_subscribe_to_trace(Z3_Type* z3, const char* name);
LINKWELL_API int vmx_subscribe_to_z7_decim(Z3_Type* z3, const char* name);
LINKWELL_API int vmx_subscribe_to_raw_normalized(Z3_Type* z3, const char* name);
/* A queue under the name for every message that starts with the prefix. */
LINKWELL_API int vmx_subscribe(
    Z3_Type* z3, const char* name, const unsigned char* prefix, unsigned int prefix_length);
/* Messages waiting in the named queue; 0 for a name never subscribed. */
LINKWELL_API int vmx_get_number_of_packets(Z3_Type* z3, const char* name, unsigned int* count);
LINKWELL_API int vmx_clear(Z3_Type* z3, const char* name);
LINKWELL_API int vmx_unsubscribe(Z3_Type* z3, const char* name);

/* Peeks: the number of messages waiting in the type's own queue (a count,
 * not a status; 0 for a NULL box or a destroyed connection). */
LINKWELL_API int vmx_peek_message_presence_single(Z3_Type* z3);
LINKWELL_API int vmx_peek_message_presence_movinglist(Z3_Type* z3);
LINKWELL_API int vmx_peek_message_respiration_legacy(Z3_Type* z3);
LINKWELL_API int vmx_peek_message_respiration_sleep(Z3_Type* z3);
LINKWELL_API int vmx_peek_message_respiration_movinglist(Z3_Type* z3);
LINKWELL_API int vmx_peek_message_respiration_detectionlist(Z3_Type* z3);
LINKWELL_API int vmx_peek_message_respiration_normalizedmovementlist(Z3_Type* z3);
LINKWELL_API int vmx_peek_message_vital_signs(Z3_Type* z3);
LINKWELL_API int vmx_peek_message_baseband_ap(Z3_Type* z3);
LINKWELL_API int vmx_peek_message_baseband_iq(Z3_Type* z3);
LINKWELL_API int vmx_peek_message_data_float(Z3_Type* z3);
LINKWELL_API int vmx_peek_message_pulsedoppler_float(Z3_Type* z3);
LINKWELL_API int vmx_peek_message_pulsedoppler_byte(Z3_Type* z3);
LINKWELL_API int vmx_peek_message_noisemap_float(Z3_Type* z3);
LINKWELL_API int vmx_peek_message_noisemap_byte(Z3_Type* z3);

/* ==== Message reads (see "Queue reads" above) ============================ *
 * Outputs are written only on success. Array capacities (`cap`) count
 * elements; every list of the message must fit, else 1. */

LINKWELL_API int vmx_read_message_respiration_legacy(Z3_Type* z3, int* frame_counter, int* state, int* rpm,
    float* object_distance, float* object_movement, int* signal_quality);
LINKWELL_API int vmx_read_message_respiration_sleep(Z3_Type* z3, int* frame_counter, int* state, float* rpm,
    float* object_distance, int* signal_quality, float* movement_slow, float* movement_fast);
LINKWELL_API int vmx_read_message_presence_single(Z3_Type* z3, unsigned int* frame_counter,
    unsigned int* presence_state, float* distance, unsigned char* direction, unsigned int* signal_quality);
LINKWELL_API int vmx_read_message_vital_signs(Z3_Type* z3, int* frame_counter, int* state, float* rpm,
    float* distance, float* respiration_confidence, float* heart_bpm, float* heart_distance,
    float* heart_confidence, float* normalized_movement_slow, float* normalized_movement_fast,
    float* normalized_movement_start, float* normalized_movement_end);
/* movement_interval_count: the length of both lists. */
LINKWELL_API int vmx_read_message_respiration_movinglist(Z3_Type* z3, int* frame_counter,
    unsigned int* movement_interval_count, float* movement_slow_items, float* movement_fast_items,
    unsigned int cap);
/* detection_count: the length of the three lists. */
LINKWELL_API int vmx_read_message_respiration_detectionlist(Z3_Type* z3, int* frame_counter,
    unsigned int* detection_count, float* detection_distance_items,
    float* detection_radar_cross_section_items, float* detection_velocity_items, unsigned int cap);
/* count: the message's own count field (the length of both lists). */
LINKWELL_API int vmx_read_message_respiration_normalizedmovementlist(Z3_Type* z3, int* frame_counter,
    float* start, float* bin_length, int* count, float* normalized_movement_slow_items,
    float* normalized_movement_fast_items, unsigned int cap);
/* movement_interval_count: the length of the slow and fast lists;
 * detection_count: the length of the three detection lists. */
LINKWELL_API int vmx_read_message_presence_movinglist(Z3_Type* z3, int* frame_counter, int* presence_state,
    int* movement_interval_count, unsigned int* detection_count, float* movement_slow_items,
    float* movement_fast_items, float* detection_distance_items, float* detection_radar_cross_section_items,
    float* detection_velocity_items, unsigned int cap);
/* Both arrays hold bin_count values. */
LINKWELL_API int vmx_read_message_baseband_ap(Z3_Type* z3, int* frame_counter, int* bin_count,
    float* parameter_1, float* parameter_2, float* parameter_3, float* parameter_4, float* amplitude,
    float* phase, unsigned int cap);
LINKWELL_API int vmx_read_message_baseband_iq(Z3_Type* z3, int* frame_counter, int* bin_count,
    float* parameter_1, float* parameter_2, float* parameter_3, float* parameter_4, float* i_samples,
    float* q_samples, unsigned int cap);
/* Values by rule K. */
LINKWELL_API int vmx_read_message_data_float(
    Z3_Type* z3, int* content_id, int* info, float* values, unsigned int* count, unsigned int cap);

/* The same reads from a queue the caller subscribed under `name`. */
LINKWELL_API int vmx_get_respiration_data(Z3_Type* z3, const char* name, int* frame_counter, int* state,
    int* rpm, float* object_distance, float* object_movement, int* signal_quality);
LINKWELL_API int vmx_get_sleep_data(Z3_Type* z3, const char* name, int* frame_counter, int* state, float* rpm,
    float* object_distance, int* signal_quality, float* movement_slow, float* movement_fast);
LINKWELL_API int vmx_get_baseband_ap_data(Z3_Type* z3, const char* name, int* frame_counter, int* bin_count,
    float* parameter_1, float* parameter_2, float* parameter_3, float* parameter_4, float* amplitude,
    float* phase, unsigned int cap);
LINKWELL_API int vmx_get_baseband_iq_data(Z3_Type* z3, const char* name, int* frame_counter, int* bin_count,
    float* parameter_1, float* parameter_2, float* parameter_3, float* parameter_4, float* i_samples,
    float* q_samples, unsigned int cap);

/* Pulse-Doppler and noise-map frames: the record's four leading integers,
 * the value count, the next integer, its floats, then the values (cap in
 * elements, bytes for the byte forms). */
LINKWELL_API int vmx_read_message_pulsedoppler_float_data(Z3_Type* z3, int* parameter_1, int* parameter_2,
    int* parameter_3, int* parameter_4, unsigned int* count, int* parameter_5, float* parameter_6,
    float* parameter_7, float* parameter_8, float* parameter_9, float* parameter_10, float* values,
    unsigned int cap);
LINKWELL_API int vmx_read_message_noisemap_float_data(Z3_Type* z3, int* parameter_1, int* parameter_2,
    int* parameter_3, int* parameter_4, unsigned int* count, int* parameter_5, float* parameter_6,
    float* parameter_7, float* parameter_8, float* parameter_9, float* parameter_10, float* values,
    unsigned int cap);
LINKWELL_API int vmx_read_message_pulsedoppler_byte_data(Z3_Type* z3, int* parameter_1, int* parameter_2,
    int* parameter_3, int* parameter_4, unsigned int* count, int* parameter_5, float* parameter_6,
    float* parameter_7, float* parameter_8, float* parameter_9, float* parameter_10, float* parameter_11,
    float* parameter_12, unsigned char* values, unsigned int cap);
LINKWELL_API int vmx_read_message_noisemap_byte_data(Z3_Type* z3, int* parameter_1, int* parameter_2,
    int* parameter_3, int* parameter_4, unsigned int* count, int* parameter_5, float* parameter_6,
    float* parameter_7, float* parameter_8, float* parameter_9, float* parameter_10, float* parameter_11,
    float* parameter_12, unsigned char* values, unsigned int cap);

/* ==== Raw packets, traces and frames ====================================== */

/* Writes the bytes as they are: no framing, no reply awaited. */
LINKWELL_API int vmx_send_command(Z3_Type* z3, const unsigned char* bytes, unsigned int length);
/* Frames the payload, sends it and waits for one reply that starts with the
 * prefix; the reply by rule C (no length: a shorter reply leaves the rest of
 * dst as it was). */
LINKWELL_API int vmx_send_command_single(Z3_Type* z3, const unsigned char* payload,
    unsigned int payload_length, const unsigned char* prefix, unsigned int prefix_length, unsigned char* dst,
    unsigned int capacity);
/* The next packet of the named queue, rule C; a name never subscribed gives
 * 0 at once and copies nothing. */
LINKWELL_API int vmx_get_packet(Z3_Type* z3, const char* name, unsigned char* dst, unsigned int capacity);
/* The text of the next packet of the named trace queue, rule C. */
LINKWELL_API int vmx_get_trace(Z3_Type* z3, const char* name, char* dst, unsigned int capacity);
/* The next decimated frame of the named queue: its counter and samples; 1
 * when it holds more than `capacity` samples. */
LINKWELL_API int vmx_get_z7_decim_frame(
    Z3_Type* z3, const char* name, unsigned int* frame_counter, double* values, unsigned int capacity);
/* Asks the module for one frame. The count is written even when the values
 * do not fit (result 1), so a call with capacity 0 tells the size needed. */
LINKWELL_API int vmx_capture_single_normalized_frame(
    Z3_Type* z3, unsigned int* frame_counter, float* values, unsigned int* count, unsigned int capacity);
/* The next frame of a queue subscribed with vmx_subscribe_to_raw_normalized;
 * when it does not fit nothing is written, the count included. */
LINKWELL_API int vmx_get_raw_normalized_frame(Z3_Type* z3, const char* name, unsigned int* frame_counter,
    float* values, unsigned int* count, unsigned int capacity);

/* ==== Module file system ================================================== */

/* Identifiers of the module's files of one type, rule K. */
LINKWELL_API int vmx_search_for_file_by_type(
    Z3_Type* z3, unsigned int type, int* ids, unsigned int* count, unsigned int capacity);
/* The module's file list: types in `first`, identifiers in `second`, rule K. */
LINKWELL_API int vmx_find_all_files(
    Z3_Type* z3, unsigned int* first, unsigned int* second, unsigned int* count, unsigned int capacity);
LINKWELL_API int vmx_create_file(Z3_Type* z3, unsigned int type, unsigned int id, unsigned int length);
LINKWELL_API int vmx_open_file(Z3_Type* z3, unsigned int type, unsigned int id);
LINKWELL_API int vmx_set_file_data(Z3_Type* z3, unsigned int type, unsigned int id, unsigned int offset,
    const unsigned char* data, unsigned int length);
/* commit: non-zero after writing the file, 0 after reading it. */
LINKWELL_API int vmx_close_file(Z3_Type* z3, unsigned int type, unsigned int id, unsigned int commit);
LINKWELL_API int vmx_get_file_length(Z3_Type* z3, unsigned int type, unsigned int id, unsigned int* length);
LINKWELL_API int vmx_delete_file(Z3_Type* z3, unsigned int type, unsigned int id);
/* Rule U: dst must hold `length` bytes. A reply with more bytes than asked
 * for gives 1 and writes nothing. */
LINKWELL_API int vmx_get_file_data(Z3_Type* z3, unsigned int type, unsigned int id, unsigned int offset,
    unsigned int length, unsigned char* dst);
/* Writes a whole file (create, data in chunks, close with commit). */
LINKWELL_API int vmx_set_file(
    Z3_Type* z3, unsigned int type, unsigned int id, unsigned int length, const unsigned char* data);
/* Reads a whole file, rule C (vmx_get_file_length tells its size). */
LINKWELL_API int vmx_get_file(
    Z3_Type* z3, unsigned int type, unsigned int id, unsigned int capacity, unsigned char* dst);
LINKWELL_API int vmx_format_filesystem(Z3_Type* z3, unsigned int key);

/* ==== Chip driver, IO pins and generic data messages ====================== */

LINKWELL_API int dax_z7driver_set_fps(Z3_Type* z3, float fps);
LINKWELL_API int dax_z7driver_get_fps(Z3_Type* z3, float* fps);
LINKWELL_API int dax_z7driver_set_iterations(Z3_Type* z3, unsigned int value);
LINKWELL_API int dax_z7driver_get_iterations(Z3_Type* z3, unsigned int* value);
LINKWELL_API int dax_z7driver_set_pulsesperstep(Z3_Type* z3, unsigned int value);
LINKWELL_API int dax_z7driver_get_pulsesperstep(Z3_Type* z3, unsigned int* value);
LINKWELL_API int dax_z7driver_set_downconversion(Z3_Type* z3, unsigned int value);
LINKWELL_API int dax_z7driver_get_downconversion(Z3_Type* z3, unsigned char* value);
LINKWELL_API int dax_z7driver_get_framebincount(Z3_Type* z3, unsigned int* value);
LINKWELL_API int dax_z7driver_set_frame_area(Z3_Type* z3, float start, float end);
LINKWELL_API int dax_z7driver_get_frame_area(Z3_Type* z3, float* start, float* end);
LINKWELL_API int dax_z7driver_set_frame_area_offset(Z3_Type* z3, float offset);
LINKWELL_API int dax_z7driver_get_frame_area_offset(Z3_Type* z3, float* offset);
LINKWELL_API int dax_z7driver_init(Z3_Type* z3);
LINKWELL_API int dax_z7driver_set_dac_min(Z3_Type* z3, unsigned int value);
LINKWELL_API int dax_z7driver_get_dac_min(Z3_Type* z3, unsigned int* value);
LINKWELL_API int dax_z7driver_set_dac_max(Z3_Type* z3, unsigned int value);
LINKWELL_API int dax_z7driver_get_dac_max(Z3_Type* z3, unsigned int* value);
LINKWELL_API int dax_z7driver_set_enable(Z3_Type* z3, unsigned int value);
LINKWELL_API int dax_z7driver_set_tx_center_frequency(Z3_Type* z3, unsigned int value);
LINKWELL_API int dax_z7driver_get_tx_center_frequency(Z3_Type* z3, unsigned char* value);
LINKWELL_API int dax_z7driver_set_tx_power(Z3_Type* z3, unsigned int value);
LINKWELL_API int dax_z7driver_get_tx_power(Z3_Type* z3, unsigned char* value);
LINKWELL_API int dax_z7driver_set_prf_div(Z3_Type* z3, unsigned int value);
LINKWELL_API int dax_z7driver_get_prf_div(Z3_Type* z3, unsigned char* value);

LINKWELL_API int dax_z7driver_set_spi_register(Z3_Type* z3, unsigned int address, unsigned int value);
LINKWELL_API int dax_z7driver_get_spi_register(Z3_Type* z3, unsigned int address, unsigned char* value);
LINKWELL_API int dax_z7driver_set_pif_register(Z3_Type* z3, unsigned int address, unsigned int value);
LINKWELL_API int dax_z7driver_get_pif_register(Z3_Type* z3, unsigned int address, unsigned char* value);
LINKWELL_API int dax_z7driver_set_xif_register(Z3_Type* z3, unsigned int address, unsigned int value);
LINKWELL_API int dax_z7driver_get_xif_register(Z3_Type* z3, unsigned int address, unsigned char* value);

LINKWELL_API int dax_set_iopin_control(
    Z3_Type* z3, unsigned int pin, unsigned int setup, unsigned int feature);
LINKWELL_API int dax_get_iopin_control(
    Z3_Type* z3, unsigned int pin, unsigned int* setup, unsigned int* feature);
LINKWELL_API int dax_set_iopin_value(Z3_Type* z3, unsigned int pin, unsigned int value);
LINKWELL_API int dax_get_iopin_value(Z3_Type* z3, unsigned int pin, unsigned int* value);

/* Counts of waiting data-string and data-byte messages (0 for a NULL box). */
LINKWELL_API int dax_peek_message_data_string(Z3_Type* z3);
LINKWELL_API int dax_peek_message_data_byte(Z3_Type* z3);
/* The next data-string or data-byte message: content id, info word and
 * payload by rule R. A message that is not one gives 1 (length 0). */
LINKWELL_API int dax_read_message_data_string(Z3_Type* z3, unsigned int* content_id, unsigned int* info,
    char* dst, unsigned int* length, unsigned int capacity);
LINKWELL_API int dax_read_message_data_byte(Z3_Type* z3, unsigned int* content_id, unsigned int* info,
    unsigned char* dst, unsigned int* length, unsigned int capacity);

/* ==== Recording, reading and playing back ================================ *
 * Handles: a split rule, recording options, a recorder, a reader and a
 * player, each made by its create function and released by its destroy
 * function (NULL does nothing there). A NULL handle makes every other
 * function fail: 1, a count or flag of 0, or nothing for functions without a
 * result.
 *
 * Text and bytes going in are a pointer and a length in bytes, without a
 * terminator. A negative length is refused (1, or nothing done); the pointer
 * may be NULL only with a length of 0.
 *
 * Text going out ("string output"): the caller's buffer, a length output
 * (which may be NULL) and the buffer's capacity in bytes. The length is set
 * to 0 first. A text longer than the capacity gives 1 and writes nothing;
 * otherwise its bytes are copied WITHOUT a terminator, the length is set and
 * the result is 0. The buffer may be NULL only with a capacity of 0.
 *
 * Data types and filters are masks of the data type bits (0x1 baseband AP,
 * 0x2 baseband IQ, 0x4 sleep, ..., 0x400000; 0xFFFFFFFF is every type).
 * Times and sizes are milliseconds and bytes. */

typedef struct LinkwellSplitSize* RecordingSplitSizeHandle;
typedef struct LinkwellRecordingOptions* RecordingOptionsHandle;
typedef struct LinkwellDataRecorder* DataRecorderHandle;
typedef struct DataReader DataReader;
typedef struct LinkwellDataPlayer* DataPlayerHandle;

/* When a data file (or a session's sub-directory) is split: no split until
 * one of the setters is called; each setter replaces the rule. A value of 0
 * or less means no split; an hour above 23 is taken as 23. */
LINKWELL_API RecordingSplitSizeHandle vmx_create_recording_split_size(void);
LINKWELL_API void vmx_destroy_recording_split_size(RecordingSplitSizeHandle handle);
LINKWELL_API void set_duration(RecordingSplitSizeHandle handle, int seconds);
LINKWELL_API void set_byte_count(RecordingSplitSizeHandle handle, long long bytes);
LINKWELL_API void set_fixed_daily_hour(RecordingSplitSizeHandle handle, int hour);

/* How a recording is made. New options carry a fresh session id. Split rules
 * and the user header are copied in, so their handles and buffers may be
 * released right after. */
LINKWELL_API RecordingOptionsHandle vmx_create_recording_options(void);
LINKWELL_API void vmx_destroy_recording_options(RecordingOptionsHandle handle);
LINKWELL_API void set_session_id(RecordingOptionsHandle handle, const char* id, int length);
/* String output. */
LINKWELL_API int get_session_id(
    RecordingOptionsHandle handle, char* buffer, unsigned int* length, unsigned int capacity);
LINKWELL_API void set_file_split_size(RecordingOptionsHandle handle, RecordingSplitSizeHandle size);
LINKWELL_API void set_directory_split_size(RecordingOptionsHandle handle, RecordingSplitSizeHandle size);
/* The least time between two stored packets of a type; 0 or less: none. */
LINKWELL_API void set_data_rate_limit(RecordingOptionsHandle handle, int milliseconds);
/* Bytes written at the start of every data file. */
LINKWELL_API void set_user_header(RecordingOptionsHandle handle, const char* bytes, int size);

/* A recorder without a connection: it records only what vmx_process hands
 * it. */
LINKWELL_API DataRecorderHandle vmx_create_data_recorder(void);
/* A new recorder of the connection's data streams; NULL for a NULL handle.
 * Every call makes another recorder with subscriptions of its own, so
 * recorders of one connection start, stop and are destroyed independently.
 * A recorder keeps the connection's parts alive: it may outlive
 * vmx_destroy_linkwell, after which it records nothing more and refuses to
 * start (1); it is still released with vmx_destroy_data_recorder. */
LINKWELL_API DataRecorderHandle vmx_get_data_recorder(LinkwellHandle* handle);
/* Stops every recording of the recorder, writes and closes its files. */
LINKWELL_API void vmx_destroy_data_recorder(DataRecorderHandle handle);
/* Records the data types into sessions under the directory (length bytes),
 * with copies of the options, or with default options and a fresh session id
 * when options is NULL. 0 when every type started; 1 otherwise (the mask 0,
 * a type already recording, an empty directory, a destroyed connection). */
LINKWELL_API int vmx_start_recording(DataRecorderHandle handle, unsigned int data_types,
    const char* directory, int length, RecordingOptionsHandle options);
LINKWELL_API void vmx_stop_recording(DataRecorderHandle handle, unsigned int data_types);
/* Hands one packet of a type to a recorder without a connection: 0 when the
 * type is recording, else 1. A recorder of a connection takes its packets
 * from the connection only and always gives 1. */
LINKWELL_API int vmx_process(
    DataRecorderHandle handle, unsigned int data_type, const unsigned char* data, unsigned int size);
/* The text that names a type's data files; one holding '/', '\' or ".." is
 * ignored. */
LINKWELL_API void vmx_set_basename_for_data_type(
    DataRecorderHandle handle, unsigned int data_type, const char* basename, int length);
/* String output; 1 for a value that is not a single data type. */
LINKWELL_API int vmx_get_basename_for_data_type(DataRecorderHandle handle, unsigned int data_type,
    char* buffer, unsigned int* length, unsigned int capacity);
LINKWELL_API void vmx_clear_basename_for_data_types(DataRecorderHandle handle, unsigned int data_types);
/* The session directory a session or a data type records into, string
 * output (empty while it records nothing). */
LINKWELL_API int vmx_get_recording_dir_for_session_id(DataRecorderHandle handle, const char* session_id,
    int session_id_length, char* buffer, unsigned int* length, unsigned int capacity);
LINKWELL_API int vmx_get_recording_dir_for_data_type(DataRecorderHandle handle, unsigned int data_type,
    char* buffer, unsigned int* length, unsigned int capacity);

/* Reads a recorded session record by record. */
LINKWELL_API DataReader* data_reader_create(void);
LINKWELL_API void data_reader_destroy(DataReader* reader);
/* Opens a session's index file (name of length bytes) and up to count files
 * of its chain in all (a negative count: the whole chain). */
LINKWELL_API int data_reader_open(DataReader* reader, const char* meta_filename, int length, int count);
LINKWELL_API void data_reader_close(DataReader* reader);
LINKWELL_API int data_reader_is_open(DataReader* reader);
/* 1 when no record that passes the filter is left (0 for a reader that is
 * not open). */
LINKWELL_API int data_reader_at_end(DataReader* reader);
/* The next record that passes the filter: its bytes into the buffer, its
 * size, data type, time (ms since 1970) and whether it is a file's user
 * header (1) or data (0). Each output may be NULL. A record longer than the
 * capacity is CUT to the capacity and CONSUMED all the same: the size says
 * how much was copied, so ask data_reader_get_max_record_size for the room
 * to give. 1 at the end or on a read failure. */
LINKWELL_API int data_reader_read_record(DataReader* reader, unsigned char* buffer, unsigned int* size,
    unsigned int capacity, unsigned int* data_type, long long* epoch, unsigned char* is_user_header);
/* The same, without moving on. */
LINKWELL_API int data_reader_peek_record(DataReader* reader, unsigned char* buffer, unsigned int* size,
    unsigned int capacity, unsigned int* data_type, long long* epoch, unsigned char* is_user_header);
/* To the first record at or after ms from the start, or to the record that
 * holds the byte of the recording's data. */
LINKWELL_API int data_reader_seek_ms(DataReader* reader, long long ms);
LINKWELL_API int data_reader_seek_byte(DataReader* reader, long long byte);
/* 1 for the mask 0 or one with bits above 0x400000 (but 0xFFFFFFFF). */
LINKWELL_API int data_reader_set_filter(DataReader* reader, unsigned int data_types);
LINKWELL_API int data_reader_get_filter(DataReader* reader, unsigned int* data_types);
/* Before open the times and the size are -1. */
LINKWELL_API int data_reader_get_start_epoch(DataReader* reader, long long* epoch);
LINKWELL_API int data_reader_get_duration(DataReader* reader, long long* ms);
LINKWELL_API int data_reader_get_size(DataReader* reader, long long* bytes);
LINKWELL_API int data_reader_get_data_types(DataReader* reader, unsigned int* data_types);
LINKWELL_API int data_reader_get_max_record_size(DataReader* reader, unsigned int* size);
/* String output. */
LINKWELL_API int data_reader_get_session_id(
    DataReader* reader, char* buffer, unsigned int* length, unsigned int capacity);

/* A connection that plays the recording as if a module were attached; NULL
 * for a NULL player. The connection keeps the player alive, so the player
 * handle may be destroyed first. */
LINKWELL_API LinkwellHandle* vmx_create_linkwell_playback(DataPlayerHandle player, unsigned int log_level);
/* Opens a recording (name of length bytes, count as for data_reader_open),
 * stopped at its first record; NULL when it cannot be opened. */
LINKWELL_API DataPlayerHandle data_player_create(const char* meta_filename, int length, int count);
LINKWELL_API void data_player_destroy(DataPlayerHandle player);
LINKWELL_API int data_player_play(DataPlayerHandle player);
LINKWELL_API int data_player_pause(DataPlayerHandle player);
/* Stops and rewinds: the next play starts at the first record. */
LINKWELL_API int data_player_stop(DataPlayerHandle player);
/* 0 stopped, 1 playing, 2 paused; any other state gives 1. */
LINKWELL_API int data_player_set_state(DataPlayerHandle player, unsigned int state);
LINKWELL_API int data_player_get_state(DataPlayerHandle player, int* state);
LINKWELL_API int data_player_set_filter(DataPlayerHandle player, unsigned int data_types);
LINKWELL_API int data_player_get_filter(DataPlayerHandle player, unsigned int* data_types);
/* 1 for a time outside 0 .. duration. */
LINKWELL_API int data_player_set_position(DataPlayerHandle player, long long ms);
LINKWELL_API int data_player_get_position(DataPlayerHandle player, long long* ms);
/* Above 0 the speed factor; 0 holds playback; below 0 every packet at once. */
LINKWELL_API int data_player_set_playback_rate(DataPlayerHandle player, float rate);
LINKWELL_API int data_player_get_playback_rate(DataPlayerHandle player, float* rate);
LINKWELL_API int data_player_set_loop_mode_enabled(DataPlayerHandle player, int enabled);
LINKWELL_API int data_player_get_loop_mode_enabled(DataPlayerHandle player, int* enabled);
LINKWELL_API int data_player_get_duration(DataPlayerHandle player, long long* ms);
/* String output. */
LINKWELL_API int data_player_get_meta_filename(
    DataPlayerHandle player, char* buffer, unsigned int* length, unsigned int capacity);

/* Stored records back into module messages. The reader is only asked for the
 * format version of the recording it opened: a reader that has opened
 * nothing converts nothing. */
/* The module message the record was recorded from. The length output is
 * required and set to 0 first. A message longer than the capacity is CUT to
 * the capacity WITHOUT NOTICE (result 0): compare the length with the
 * capacity. 1 when the record does not convert (a user header, a CSV header
 * line, a type that has no message). */
LINKWELL_API int data_record_to_binary_packet(DataReader* reader, const unsigned char* data,
    unsigned int size, unsigned int data_type, unsigned char is_user_header, unsigned char* buffer,
    unsigned int* length, unsigned int capacity);
/* The fields of a sleep record (type 0x4) in message order; every output is
 * required. On failure the outputs keep what they held. */
LINKWELL_API int data_record_to_sleep_data(DataReader* reader, const unsigned char* data, unsigned int size,
    unsigned int data_type, unsigned char is_user_header, unsigned int* frame_counter, unsigned int* state,
    float* rpm, float* object_distance, unsigned int* signal_quality, float* movement_slow,
    float* movement_fast);

LINKWELL_EXTERN_C_END

/* The subscriptions of the presence queues that every connection reads are
 * exported under their C++ names, which encode the argument type; a host
 * finds them by the symbol names below (dlsym, loadlibrary aliases). */
#define LINKWELL_SUBSCRIBE_TO_PRESENCE_SINGLE_SYMBOL "_Z32vmx_subscribe_to_presence_singleP7Z3_Type"
#define LINKWELL_SUBSCRIBE_TO_PRESENCE_MOVINGLIST_SYMBOL "_Z36vmx_subscribe_to_presence_movinglistP7Z3_Type"
typedef int (*LinkwellPresenceSubscribeFunction)(Z3_Type* z3);
#ifdef __cplusplus
LINKWELL_API int vmx_subscribe_to_presence_single(Z3_Type* z3);
LINKWELL_API int vmx_subscribe_to_presence_movinglist(Z3_Type* z3);
#endif

#endif
