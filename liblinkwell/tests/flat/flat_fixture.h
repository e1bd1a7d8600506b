/* What the cases share: a connection to a simulated module, message
 * payloads built byte by byte, the process's threads and descriptors, and a
 * working directory of their own. */
#ifndef FLAT_FIXTURE_H
#define FLAT_FIXTURE_H

#include <stddef.h>

#include <linkwell/matlab_wrapper.h>

#include "sim_module.h"

struct Fixture {
    SimModule* sim;
    LinkwellHandle* handle;
    Z3_Type* z3;
};

/* A new simulated module and a connection to it over TCP (log level 0); 1 on
 * success. */
int fixture_open(struct Fixture* fixture);
void fixture_close(struct Fixture* fixture);
/* A connection to the module at the given log level. */
LinkwellHandle* connect_to(SimModule* sim, unsigned int log_level);

/* A message payload, little-endian like the module's. */
struct Payload {
    unsigned char bytes[8192];
    size_t size;
};
void payload_start(struct Payload* payload, unsigned int first_byte);
/* 0x50 and the content id. */
void payload_appdata(struct Payload* payload, unsigned int content_id);
void put_u8(struct Payload* payload, unsigned int value);
void put_u32(struct Payload* payload, unsigned int value);
void put_f32(struct Payload* payload, float value);
/* count floats first, first + step, ... */
void put_f32s(struct Payload* payload, float first, float step, unsigned int count);
/* Sends the payload as one framed packet and waits until the module has
 * written it. */
void send_payload(struct Fixture* fixture, const struct Payload* payload);

/* A sleep message whose fields follow from the frame counter n: state
 * n % 3, rate n + 0.5, distance n / 4, quality 50 + n, movements n + 0.25
 * and n + 0.75. */
void sleep_message(struct Payload* payload, unsigned int frame_counter);
/* Sends sleep messages 1 .. count, then a respiration message and waits
 * until it is in its queue: every sleep message has been dispatched then. */
void send_sleep_messages(struct Fixture* fixture, unsigned int first, unsigned int count);

/* The session directory of a recording session, with "/" and the name of
 * its index file appended; 1 on success. */
int index_file_of(DataRecorderHandle recorder, const char* session_id, char* path, size_t size);
/* A session recorded in the working directory by a recorder without a
 * connection, of the sleep messages 1 .. count; its index file into path. */
int record_by_hand(const char* session_id, unsigned int count, char* path, size_t size);

/* Waits up to about two seconds until peek(z3) reaches count; the last
 * count seen. */
int wait_for_count(int (*peek)(Z3_Type*), Z3_Type* z3, int count);
int wait_for_queue(Z3_Type* z3, const char* queue, unsigned int count);

int count_threads(void);
/* The thread count once it is `expected` or 2 s have passed: a joined thread
 * can still be listed for a moment, since the kernel wakes the joiner before
 * it has taken the thread off the process's task list. */
int settled_thread_count(int expected);
int count_descriptors(void);

/* A fresh temporary directory made the working directory; 1 on success. */
int enter_temporary_directory(void);
/* Back to the previous directory, the temporary one removed. */
void leave_temporary_directory(void);
/* Files of the working directory whose names start with the prefix. */
int count_files(const char* prefix);
/* 1 when a file of the working directory whose name starts with the prefix
 * contains the text. */
int some_file_contains(const char* prefix, const char* text);

/* Appends to `out` (of `size`) the values as text, separated by blanks. */
void render_bytes(const unsigned char* bytes, size_t count, char* out, size_t size);
void render_floats(const float* values, size_t count, char* out, size_t size);

void sleep_ms(unsigned int milliseconds);
double seconds_now(void);

#endif
