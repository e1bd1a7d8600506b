#define _POSIX_C_SOURCE 200809L

#include "flat_fixture.h"

#include <arpa/inet.h>
#include <dirent.h>
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

void leave_temporary_directory(void)
{
    struct dirent* entry;
    DIR* directory = opendir(".");
    if (directory) {
        while ((entry = readdir(directory)) != NULL)
            if (entry->d_name[0] != '.')
                unlink(entry->d_name);
        closedir(directory);
    }
    if (chdir(previous_directory) == 0)
        rmdir(temporary_directory);
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
