/* The simulated module for test programs written in C: a module on a TCP
 * port of 127.0.0.1 that records every command payload the host sends and
 * answers by script. Byte strings are given as hex text ("90 58 00"). */
#ifndef FLAT_SIM_MODULE_H
#define FLAT_SIM_MODULE_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct SimModule SimModule;

/* A module listening on a free port; NULL when none can be opened. */
SimModule* sim_start(void);
/* Stops and frees the module; NULL does nothing. */
void sim_stop(SimModule* sim);
/* The listening port in host byte order. */
unsigned short sim_port(const SimModule* sim);

/* Script: rules are tried in the order added; the first whose prefix starts
 * the command answers it. Without a matching rule the module is silent. */
void sim_reply(SimModule* sim, const char* prefix, const char* reply);
/* The same, the reply given as bytes. */
void sim_reply_bytes(SimModule* sim, const char* prefix, const unsigned char* reply, size_t size);
void sim_ack(SimModule* sim, const char* prefix);
void sim_error(SimModule* sim, const char* prefix, unsigned int code);
void sim_clear_rules(SimModule* sim);

/* Unsolicited packets, framed, in the order queued. */
void sim_send(SimModule* sim, const char* payload);
void sim_send_bytes(SimModule* sim, const unsigned char* payload, size_t size);
/* A raw-length packet (51, u32 length, data, one trailing byte). */
void sim_send_raw_length(SimModule* sim, const unsigned char* data, size_t size);
/* 1 once everything queued has been written, 0 on timeout. */
int sim_wait_sent(SimModule* sim, unsigned int milliseconds);

/* What the host sent: 1 when the payload at index is exactly `expected`. */
int sim_received_is(SimModule* sim, size_t index, const char* expected);
/* The payload at index as hex text in a buffer of the module's, valid until
 * the next call. */
const char* sim_received_hex(SimModule* sim, size_t index);
size_t sim_received_count(SimModule* sim);
int sim_wait_received(SimModule* sim, size_t count, unsigned int milliseconds);
void sim_clear_received(SimModule* sim);

int sim_connected(SimModule* sim);
int sim_wait_disconnected(SimModule* sim, unsigned int milliseconds);
unsigned long sim_connection_count(SimModule* sim);
/* 1 once the module has accepted `count` connections in all, 0 on timeout. */
int sim_wait_connection_count(SimModule* sim, unsigned long count, unsigned int milliseconds);

#ifdef __cplusplus
}
#endif

#endif
