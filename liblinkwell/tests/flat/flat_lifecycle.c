/* Connections: creation and its log, destruction and what it releases,
 * boxes, and a read that waits while its connection goes. */
#define _POSIX_C_SOURCE 200809L

#include "flat_check.h"
#include "flat_fixture.h"

#include <pthread.h>
#include <stddef.h>
#include <string.h>

static const char* const missing_port = "/dev/flat-test-no-such-port";

struct LogCase {
    const char* label;
    int over_tcp; /* else the missing serial port */
    unsigned int log_level;
    int log_files;
    const char* logged; /* a text the log file holds, or NULL */
};

/* Level 0 writes nothing anywhere; any other level writes one file, whose
 * lines are those up to its level. */
static void creation_logs_by_level(void)
{
    static const struct LogCase cases[] = {
        { "serial port missing, level 0", 0, 0, 0, NULL },
        { "serial port missing, level 1", 0, 1, 1, "__create_linkwell 67 - ERROR allocating radar" },
        { "tcp, level 0", 1, 0, 0, NULL },
        { "tcp, level 1", 1, 1, 1, "a line of the host" },
        { "tcp, level 5", 1, 5, 1, "createing logger StdoutLogger" },
    };
    size_t i;
    SimModule* sim = sim_start();
    for (i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        const struct LogCase* c = &cases[i];
        flat_case("%s", c->label);
        CHECK(enter_temporary_directory());
        if (c->over_tcp) {
            LinkwellHandle* handle = connect_to(sim, c->log_level);
            Z3_Type* z3 = vmx_get_z3(handle);
            CHECK(handle != NULL);
            vmx_log(z3, "a line of the host");
            vmx_destroy_Z3_interface(z3);
            vmx_destroy_linkwell(handle);
            sim_wait_disconnected(sim, 2000);
        } else {
            CHECK(vmx_create_linkwell(missing_port, c->log_level) == NULL);
        }
        CHECK_INT(c->log_files, count_files("debug_"));
        if (c->logged)
            CHECK(some_file_contains("debug_", c->logged));
        leave_temporary_directory();
    }
    sim_stop(sim);
}

/* Every thread and descriptor of a connection goes with it, and so does
 * everything of a creation that failed. */
static void destruction_releases_everything(void)
{
    struct Fixture f;
    unsigned int pong = 0;
    int threads;
    int descriptors;

    flat_case("threads and descriptors");
    f.sim = sim_start();
    sim_reply(f.sim, "01", "01 05 00 00 00");
    threads = count_threads();
    descriptors = count_descriptors();

    f.handle = connect_to(f.sim, 0);
    f.z3 = vmx_get_z3(f.handle);
    CHECK_INT(0, vmx_ping(f.z3, &pong));
    CHECK_INT(5, pong);
    CHECK(count_threads() > threads);
    vmx_destroy_Z3_interface(f.z3);
    vmx_destroy_linkwell(f.handle);
    CHECK(sim_wait_disconnected(f.sim, 2000));
    CHECK_INT(threads, settled_thread_count(threads));
    CHECK_INT(descriptors, count_descriptors());

    CHECK(vmx_create_linkwell(missing_port, 0) == NULL);
    CHECK_INT(threads, settled_thread_count(threads));
    CHECK_INT(descriptors, count_descriptors());

    /* The module's port is free again for the next connection. The module
     * may accept it only after the host has already closed it again. */
    f.handle = connect_to(f.sim, 0);
    CHECK(f.handle != NULL);
    vmx_destroy_linkwell(f.handle);
    CHECK(sim_wait_connection_count(f.sim, 2, 2000));
    CHECK_INT(2, sim_connection_count(f.sim));
    sim_stop(f.sim);
}

/* Boxes of one connection act on it alike; once it is destroyed they only
 * fail, and each is still freed on its own. */
static void boxes_share_their_connection(void)
{
    struct Fixture f;
    Z3_Type* second;
    unsigned int count = 99;
    unsigned int pong = 0;

    flat_case("boxes");
    CHECK(fixture_open(&f));
    second = vmx_get_z3(f.handle);
    CHECK(second != NULL && second != f.z3);
    CHECK_INT(0, vmx_subscribe_to_data_float(f.z3, "floats"));
    sim_send(f.sim, "a0 12 01 00 00 00 02 00 00 00 00 00 00 00");
    CHECK(wait_for_queue(second, "floats", 1));

    vmx_destroy_linkwell(f.handle);
    f.handle = NULL;
    CHECK_INT(1, vmx_get_number_of_packets(second, "floats", &count));
    CHECK_INT(99, count);
    CHECK_INT(1, vmx_ping(f.z3, &pong));
    CHECK_INT(0, vmx_peek_message_respiration_legacy(second));
    CHECK_INT(1, vmx_set_default_timeout(second, 1));
    vmx_destroy_Z3_interface(second);
    fixture_close(&f);

    CHECK(vmx_get_z3(NULL) == NULL);
    vmx_destroy_Z3_interface(NULL);
    vmx_destroy_linkwell(NULL);
    CHECK(vmx_create_linkwell(NULL, 0) == NULL);
}

struct Waiter {
    Z3_Type* z3;
    int result;
};

static void* read_respiration(void* argument)
{
    struct Waiter* waiter = (struct Waiter*)argument;
    int frame = 0, state = 0, rpm = 0, quality = 0;
    float distance = 0, movement = 0;
    waiter->result = vmx_read_message_respiration_legacy(
        waiter->z3, &frame, &state, &rpm, &distance, &movement, &quality);
    return NULL;
}

/* A read that waits for a message when its connection is destroyed wakes
 * and fails; the connection's memory outlives it (the sanitizers watch). */
static void destruction_wakes_a_waiting_read(void)
{
    struct Fixture f;
    struct Waiter waiter;
    pthread_t thread;

    flat_case("waiting read");
    CHECK(fixture_open(&f));
    waiter.z3 = f.z3;
    waiter.result = -1;
    CHECK_INT(0, pthread_create(&thread, NULL, read_respiration, &waiter));
    sleep_ms(200);
    vmx_destroy_linkwell(f.handle);
    f.handle = NULL;
    CHECK_INT(0, pthread_join(thread, NULL));
    CHECK_INT(1, waiter.result);
    fixture_close(&f);
}

static void plain_functions(void)
{
    double start;
    flat_case("git sha and wait");
    CHECK(vmx_git_sha() != NULL && strlen(vmx_git_sha()) > 0);
    start = seconds_now();
    vmx_wait(0);
    CHECK(seconds_now() - start < 0.5);
}

void group_lifecycle(void)
{
    creation_logs_by_level();
    destruction_releases_everything();
    boxes_share_their_connection();
    destruction_wakes_a_waiting_read();
    plain_functions();
}
