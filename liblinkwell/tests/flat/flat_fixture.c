#define _XOPEN_SOURCE 700

#include "flat_fixture.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <ftw.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

int fixture_open(struct Fixture* fixture)
{
    fixture->sim = sim_start();
    fixture->handle = fixture->sim ? connect_to(fixture->sim, 0) : NULL;
    fixture->z3 = vmx_get_z3(fixture->handle);
    return fixture->z3 != NULL;
}

void fixture_close(struct Fixture* fixture)
{
    vmx_destroy_Z3_interface(fixture->z3);
    vmx_destroy_linkwell(fixture->handle);
    sim_stop(fixture->sim);
    fixture->z3 = NULL;
    fixture->handle = NULL;
    fixture->sim = NULL;
}

LinkwellHandle* connect_to(SimModule* sim, unsigned int log_level)
{
    return vmx_create_linkwell_tcpip(htonl(INADDR_LOOPBACK), htons(sim_port(sim)), 0, log_level);
}

void payload_start(struct Payload* payload, unsigned int first_byte)
{
    payload->size = 0;
    put_u8(payload, first_byte);
}

void payload_appdata(struct Payload* payload, unsigned int content_id)
{
    payload_start(payload, 0x50);
    put_u32(payload, content_id);
}

void put_u8(struct Payload* payload, unsigned int value)
{
    if (payload->size < sizeof payload->bytes)
        payload->bytes[payload->size++] = (unsigned char)(value & 0xFF);
}

void put_u32(struct Payload* payload, unsigned int value)
{
    int i;
    for (i = 0; i < 4; ++i)
        put_u8(payload, value >> (8 * i));
}

void put_f32(struct Payload* payload, float value)
{
    unsigned int bits;
    memcpy(&bits, &value, sizeof bits);
    put_u32(payload, bits);
}

void put_f32s(struct Payload* payload, float first, float step, unsigned int count)
{
    unsigned int i;
    for (i = 0; i < count; ++i)
        put_f32(payload, first + step * (float)i);
}

void send_payload(struct Fixture* fixture, const struct Payload* payload)
{
    sim_send_bytes(fixture->sim, payload->bytes, payload->size);
    sim_wait_sent(fixture->sim, 2000);
}

int wait_for_count(int (*peek)(Z3_Type*), Z3_Type* z3, int count)
{
    int seen = peek(z3);
    int round;
    for (round = 0; round < 200 && seen < count; ++round) {
        sleep_ms(10);
        seen = peek(z3);
    }
    return seen;
}

int wait_for_queue(Z3_Type* z3, const char* queue, unsigned int count)
{
    unsigned int seen = 0;
    int round;
    for (round = 0; round < 200; ++round) {
        if (vmx_get_number_of_packets(z3, queue, &seen) == 0 && seen >= count)
            return 1;
        sleep_ms(10);
    }
    return 0;
}

int settled_thread_count(int expected)
{
    int seen = count_threads();
    int round;
    for (round = 0; round < 200 && seen != expected; ++round) {
        sleep_ms(10);
        seen = count_threads();
    }
    return seen;
}

static int count_entries(const char* path)
{
    int count = 0;
    struct dirent* entry;
    DIR* directory = opendir(path);
    if (!directory)
        return -1;
    while ((entry = readdir(directory)) != NULL)
        if (entry->d_name[0] != '.')
            ++count;
    closedir(directory);
    return count;
}

int count_threads(void)
{
    return count_entries("/proc/self/task");
}

int count_descriptors(void)
{
    /* The listing holds one descriptor of its own while it runs. */
    return count_entries("/proc/self/fd") - 1;
}

static char previous_directory[PATH_MAX];
static char temporary_directory[64];

int enter_temporary_directory(void)
{
    strcpy(temporary_directory, "/tmp/flat-c-test-XXXXXX");
    if (!getcwd(previous_directory, sizeof previous_directory) || !mkdtemp(temporary_directory))
        return 0;
    return chdir(temporary_directory) == 0;
}

static int remove_entry(const char* path, const struct stat* status, int kind, struct FTW* walk)
{
    (void)status;
    (void)walk;
    return kind == FTW_DP ? rmdir(path) : unlink(path);
}

void leave_temporary_directory(void)
{
    /* Sessions recorded in it are directories of their own. */
    if (chdir(previous_directory) == 0)
        nftw(temporary_directory, remove_entry, 16, FTW_DEPTH | FTW_PHYS);
}

int count_files(const char* prefix)
{
    int count = 0;
    struct dirent* entry;
    DIR* directory = opendir(".");
    if (!directory)
        return -1;
    while ((entry = readdir(directory)) != NULL)
        if (strncmp(entry->d_name, prefix, strlen(prefix)) == 0)
            ++count;
    closedir(directory);
    return count;
}

static int file_contains(const char* name, const char* text)
{
    char line[1024];
    int found = 0;
    FILE* file = fopen(name, "r");
    if (!file)
        return 0;
    while (!found && fgets(line, sizeof line, file))
        found = strstr(line, text) != NULL;
    fclose(file);
    return found;
}

int some_file_contains(const char* prefix, const char* text)
{
    int found = 0;
    struct dirent* entry;
    DIR* directory = opendir(".");
    if (!directory)
        return 0;
    while (!found && (entry = readdir(directory)) != NULL)
        if (strncmp(entry->d_name, prefix, strlen(prefix)) == 0)
            found = file_contains(entry->d_name, text);
    closedir(directory);
    return found;
}

void sleep_ms(unsigned int milliseconds)
{
    struct timespec pause;
    pause.tv_sec = milliseconds / 1000;
    pause.tv_nsec = (long)(milliseconds % 1000) * 1000000L;
    nanosleep(&pause, NULL);
}

double seconds_now(void)
{
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (double)now.tv_sec + (double)now.tv_nsec / 1e9;
}

void render_bytes(const unsigned char* bytes, size_t count, char* out, size_t size)
{
    size_t i;
    size_t used = strlen(out);
    for (i = 0; i < count && used + 4 <= size; ++i)
        used += (size_t)sprintf(out + used, used == 0 ? "%02x" : " %02x", bytes[i]);
}

void render_floats(const float* values, size_t count, char* out, size_t size)
{
    size_t i;
    size_t used = strlen(out);
    for (i = 0; i < count && used < size; ++i)
        used += (size_t)snprintf(out + used, size - used, used == 0 ? "%g" : " %g", values[i]);
}

void sleep_message(struct Payload* payload, unsigned int frame_counter)
{
    const float n = (float)frame_counter;
    payload_appdata(payload, 0x2375A16C);
    put_u32(payload, frame_counter);
    put_u32(payload, frame_counter % 3);
    put_f32(payload, n + 0.5f);
    put_f32(payload, n / 4);
    put_u32(payload, 50 + frame_counter);
    put_f32(payload, n + 0.25f);
    put_f32(payload, n + 0.75f);
}

void send_sleep_messages(struct Fixture* fixture, unsigned int first, unsigned int count)
{
    struct Payload payload;
    unsigned int n;
    const int waiting = vmx_peek_message_respiration_legacy(fixture->z3);
    for (n = first; n < first + count; ++n) {
        sleep_message(&payload, n);
        send_payload(fixture, &payload);
    }
    /* Packets are dispatched one after the other, each to every subscriber:
     * once this one is queued, the ones before have been handed over. */
    payload_appdata(&payload, 0x2375FE26);
    put_u32(&payload, 1), put_u32(&payload, 2), put_u32(&payload, 3);
    put_f32(&payload, 4.5f), put_f32(&payload, 5.5f), put_u32(&payload, 6);
    send_payload(fixture, &payload);
    wait_for_count(vmx_peek_message_respiration_legacy, fixture->z3, waiting + 1);
}

int index_file_of(DataRecorderHandle recorder, const char* session_id, char* path, size_t size)
{
    unsigned int length = 0;
    const char* const name = "/sarvik_recording_meta.dat";
    if (size < strlen(name) + 1
        || vmx_get_recording_dir_for_session_id(recorder, session_id, (int)strlen(session_id), path, &length,
               (unsigned)(size - strlen(name) - 1))
            != 0
        || length == 0)
        return 0;
    strcpy(path + length, name);
    return 1;
}

int record_by_hand(const char* session_id, unsigned int count, char* path, size_t size)
{
    struct Payload payload;
    unsigned int n;
    int ok;
    DataRecorderHandle recorder = vmx_create_data_recorder();
    RecordingOptionsHandle options = vmx_create_recording_options();
    set_session_id(options, session_id, (int)strlen(session_id));
    ok = vmx_start_recording(recorder, 0x4, ".", 1, options) == 0;
    for (n = 1; ok && n <= count; ++n) {
        sleep_message(&payload, n);
        ok = vmx_process(recorder, 0x4, payload.bytes, (unsigned int)payload.size) == 0;
    }
    ok = ok && index_file_of(recorder, session_id, path, size);
    vmx_destroy_recording_options(options);
    vmx_destroy_data_recorder(recorder);
    return ok;
}
