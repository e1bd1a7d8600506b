/* Recording, reading and playing back through the flat functions: a session
 * recorded from the simulated module, read back record by record, converted
 * into the messages it was recorded from and replayed through a playback
 * connection; the text outputs at their capacity boundaries; several
 * recorders on one connection; a recorder that outlives its connection. */
#define _POSIX_C_SOURCE 200809L

#include "flat_check.h"
#include "flat_fixture.h"

#include <stdio.h>
#include <string.h>

#define SLEEP_TYPE 0x4u

/* The module is asked for its profile id and parameter file when a session
 * starts: it refuses both at once. */
static void refuse_session_queries(struct Fixture* f)
{
    sim_error(f->sim, "90 74", 5);
    sim_error(f->sim, "90 72", 5);
}

/* A reader that opened nothing has no format version: nothing converts. */
static void check_unopened_reader(const unsigned char* record, unsigned int size)
{
    unsigned char packet[64];
    unsigned int length = 99;
    DataReader* unopened = data_reader_create();

    memset(packet, 0xEE, sizeof packet);
    CHECK_INT(1,
        data_record_to_binary_packet(unopened, record, size, SLEEP_TYPE, 0, packet, &length, sizeof packet));
    CHECK_INT(0, length);
    CHECK_INT(0xEE, packet[0]);
    data_reader_destroy(unopened);
}

/* Reads the session back and converts every record: the user header, the
 * CSV header line (which converts to nothing) and the sleep messages
 * first .. first + count - 1, byte for byte and field by field. */
static void check_session(const char* index_file, unsigned int first, unsigned int count,
    const char* user_header, unsigned int user_header_size)
{
    unsigned char record[512];
    unsigned char packet[128];
    unsigned int size = 0, type = 0, length = 0, headers = 0, csv_lines = 0, converted = 0;
    long long epoch = 0;
    unsigned char is_header = 0;
    struct Payload message;
    DataReader* reader = data_reader_create();

    CHECK_INT(0, data_reader_open(reader, index_file, (int)strlen(index_file), -1));
    CHECK_INT(1, data_reader_is_open(reader));
    while (!data_reader_at_end(reader)
        && data_reader_read_record(reader, record, &size, sizeof record, &type, &epoch, &is_header) == 0) {
        if (size == 0)
            continue; /* the close of the last data file */
        CHECK_INT(SLEEP_TYPE, type);
        if (is_header) {
            ++headers;
            CHECK_INT(user_header_size, size);
            CHECK(memcmp(record, user_header, user_header_size) == 0);
            CHECK_INT(1,
                data_record_to_binary_packet(reader, record, size, type, 1, packet, &length, sizeof packet));
            CHECK_INT(0, length);
            continue;
        }
        length = 99;
        if (data_record_to_binary_packet(reader, record, size, type, 0, packet, &length, sizeof packet)
            != 0) {
            /* Only the header line before the first message. */
            CHECK_INT(0, converted);
            CHECK_INT(0, length);
            ++csv_lines;
            continue;
        }
        sleep_message(&message, first + converted);
        CHECK_INT(message.size, length);
        CHECK(memcmp(packet, message.bytes, message.size) == 0);
        {
            unsigned int frame_counter = 0, state = 0, quality = 0;
            float rpm = 0, distance = 0, slow = 0, fast = 0;
            const float n = (float)(first + converted);
            CHECK_INT(0,
                data_record_to_sleep_data(reader, record, size, type, 0, &frame_counter, &state, &rpm,
                    &distance, &quality, &slow, &fast));
            CHECK_INT(first + converted, frame_counter);
            CHECK_INT((first + converted) % 3, state);
            CHECK(rpm == n + 0.5f && distance == n / 4 && slow == n + 0.25f && fast == n + 0.75f);
            CHECK_INT(50 + first + converted, quality);
        }
        if (converted == 0) {
            unsigned char cut[64];
            memset(cut, 0xEE, sizeof cut);
            length = 99;
            /* Cut to the capacity without notice. */
            CHECK_INT(0, data_record_to_binary_packet(reader, record, size, type, 0, cut, &length, 5));
            CHECK_INT(5, length);
            CHECK(memcmp(cut, message.bytes, 5) == 0);
            CHECK_INT(0xEE, cut[5]);
            check_unopened_reader(record, size);
        }
        ++converted;
    }
    CHECK_INT(1, data_reader_at_end(reader));
    CHECK_INT(count, converted);
    CHECK_INT(1, csv_lines);
    CHECK_INT(user_header ? 1 : 0, headers);
    data_reader_destroy(reader);
}

/* Plays the session through a playback connection, whose queues then hold
 * the sleep messages first .. first + count - 1. The player's handle goes
 * first: the connection keeps the player. */
static void replay(const char* index_file, unsigned int first, unsigned int count)
{
    int state = -1, loop = -1, frame_counter = 0, sleep_state = 0, quality = 0;
    float rate = 0, rpm = 0, distance = 0, slow = 0, fast = 0;
    long long duration = -1;
    unsigned int n;
    LinkwellHandle* playback;
    Z3_Type* z3;
    DataPlayerHandle player = data_player_create(index_file, (int)strlen(index_file), -1);

    CHECK(player != NULL);
    CHECK_INT(0, data_player_get_duration(player, &duration));
    CHECK(duration >= 0);
    CHECK_INT(1, data_player_set_position(player, duration + 1));
    CHECK_INT(1, data_player_set_state(player, 3));
    CHECK_INT(0, data_player_get_state(player, &state));
    CHECK_INT(0, state);
    CHECK_INT(0, data_player_set_loop_mode_enabled(player, 7));
    CHECK_INT(0, data_player_get_loop_mode_enabled(player, &loop));
    CHECK_INT(1, loop);
    CHECK_INT(0, data_player_set_loop_mode_enabled(player, 0));
    CHECK_INT(0, data_player_set_playback_rate(player, -1.0f));
    CHECK_INT(0, data_player_get_playback_rate(player, &rate));
    CHECK(rate == -1.0f);

    playback = vmx_create_linkwell_playback(player, 0);
    z3 = vmx_get_z3(playback);
    CHECK(z3 != NULL);
    CHECK_INT(0, data_player_play(player));
    CHECK_INT(0, data_player_get_state(player, &state));
    CHECK_INT(1, state);
    data_player_destroy(player);

    CHECK_INT(count, wait_for_count(vmx_peek_message_respiration_sleep, z3, (int)count));
    for (n = first; n < first + count; ++n) {
        flat_case("replay: message %u", n);
        CHECK_INT(0,
            vmx_read_message_respiration_sleep(
                z3, &frame_counter, &sleep_state, &rpm, &distance, &quality, &slow, &fast));
        CHECK_INT(n, frame_counter);
        CHECK_INT(n % 3, sleep_state);
        CHECK(rpm == (float)n + 0.5f && fast == (float)n + 0.75f);
    }
    vmx_destroy_Z3_interface(z3);
    vmx_destroy_linkwell(playback);
}

/* A record longer than the room is cut to it and consumed all the same. */
static void short_read(const char* index_file)
{
    unsigned char whole[512];
    unsigned char cut[8];
    unsigned int size = 0, whole_size = 0, type = 0;
    long long epoch = 0;
    unsigned char is_header = 0;
    DataReader* reader = data_reader_create();

    CHECK_INT(0, data_reader_open(reader, index_file, (int)strlen(index_file), -1));
    CHECK_INT(
        0, data_reader_peek_record(reader, whole, &whole_size, sizeof whole, &type, &epoch, &is_header));
    CHECK_INT(1, is_header);
    CHECK(whole_size > 3);
    memset(cut, 0xEE, sizeof cut);
    CHECK_INT(0, data_reader_read_record(reader, cut, &size, 3, &type, &epoch, &is_header));
    CHECK_INT(3, size);
    CHECK(memcmp(cut, whole, 3) == 0);
    CHECK_INT(0xEE, cut[3]);
    CHECK_INT(0, data_reader_peek_record(reader, whole, &size, sizeof whole, &type, &epoch, &is_header));
    CHECK_INT(0, is_header);
    data_reader_destroy(reader);
}

static void round_trip(void)
{
    static const char header[] = { 'H', 'D', 'R', '\0', '!' };
    struct Fixture f;
    struct Payload message;
    char index_file[1024];
    DataRecorderHandle recorder;
    RecordingOptionsHandle options = vmx_create_recording_options();
    RecordingSplitSizeHandle split = vmx_create_recording_split_size();

    flat_case("round trip: record");
    CHECK(fixture_open(&f));
    refuse_session_queries(&f);
    recorder = vmx_get_data_recorder(f.handle);
    CHECK(recorder != NULL);
    /* Options and split rules are copied in: released before use. */
    set_byte_count(split, 1 << 20);
    set_file_split_size(options, split);
    vmx_destroy_recording_split_size(split);
    set_session_id(options, "round-trip", 10);
    set_user_header(options, header, (int)sizeof header);
    CHECK_INT(0, vmx_start_recording(recorder, SLEEP_TYPE, ".", 1, options));
    vmx_destroy_recording_options(options);

    /* A recorder of a connection takes nothing from the caller. */
    sleep_message(&message, 99);
    CHECK_INT(1, vmx_process(recorder, SLEEP_TYPE, message.bytes, (unsigned int)message.size));
    send_sleep_messages(&f, 1, 3);
    CHECK(index_file_of(recorder, "round-trip", index_file, sizeof index_file));
    vmx_stop_recording(recorder, SLEEP_TYPE);
    vmx_destroy_data_recorder(recorder);
    fixture_close(&f);

    flat_case("round trip: read back");
    check_session(index_file, 1, 3, header, sizeof header);
    flat_case("round trip: a short read");
    short_read(index_file);
    flat_case("round trip: replay");
    replay(index_file, 1, 3);
}

/* ---- text outputs ---------------------------------------------------------- */

static RecordingOptionsHandle text_options;
static DataRecorderHandle text_recorder;
static DataReader* text_reader;
static DataPlayerHandle text_player;

static int options_session_id(char* buffer, unsigned int* length, unsigned int capacity)
{
    return get_session_id(text_options, buffer, length, capacity);
}
static int recorder_basename(char* buffer, unsigned int* length, unsigned int capacity)
{
    return vmx_get_basename_for_data_type(text_recorder, SLEEP_TYPE, buffer, length, capacity);
}
static int recorder_session_directory(char* buffer, unsigned int* length, unsigned int capacity)
{
    return vmx_get_recording_dir_for_session_id(text_recorder, "text-live", 9, buffer, length, capacity);
}
static int recorder_type_directory(char* buffer, unsigned int* length, unsigned int capacity)
{
    return vmx_get_recording_dir_for_data_type(text_recorder, SLEEP_TYPE, buffer, length, capacity);
}
static int reader_session_id(char* buffer, unsigned int* length, unsigned int capacity)
{
    return data_reader_get_session_id(text_reader, buffer, length, capacity);
}
static int player_meta_filename(char* buffer, unsigned int* length, unsigned int capacity)
{
    return data_player_get_meta_filename(text_player, buffer, length, capacity);
}

struct TextRow {
    const char* label;
    int (*get)(char* buffer, unsigned int* length, unsigned int capacity);
    const char* expected; /* NULL: any non-empty text */
};

/* The text with room exactly enough (all of it, no terminator) and one byte
 * short (1, length 0, nothing written). */
static void check_text_output(const struct TextRow* row)
{
    char buffer[1024];
    char text[1024];
    unsigned int length = 12345;
    unsigned int n;

    flat_case("text output: %s", row->label);
    CHECK_INT(0, row->get(text, &length, sizeof text));
    n = length;
    CHECK(n > 0 && n < sizeof text);
    if (n == 0 || n >= sizeof text)
        return;
    text[n] = '\0';
    if (row->expected)
        CHECK_TEXT(row->expected, text);

    memset(buffer, '#', sizeof buffer);
    length = 12345;
    CHECK_INT(0, row->get(buffer, &length, n));
    CHECK_INT(n, length);
    CHECK(memcmp(buffer, text, n) == 0);
    CHECK_INT('#', buffer[n]);

    memset(buffer, '#', sizeof buffer);
    length = 12345;
    CHECK_INT(1, row->get(buffer, &length, n - 1));
    CHECK_INT(0, length);
    CHECK_INT('#', buffer[0]);

    /* The length output may be left out. */
    CHECK_INT(0, row->get(buffer, NULL, n));
    CHECK(memcmp(buffer, text, n) == 0);
}

static void text_outputs(void)
{
    static const struct TextRow rows[] = {
        { "options' session id", options_session_id, "text-options" },
        { "base name", recorder_basename, "sarvik_sleep" },
        { "directory of a session", recorder_session_directory, NULL },
        { "directory of a type", recorder_type_directory, NULL },
        { "reader's session id", reader_session_id, "text-file" },
        { "player's index file", player_meta_filename, NULL },
    };
    char index_file[1024];
    char other[1024];
    unsigned int length = 0;
    size_t r;
    struct Payload message;

    flat_case("text outputs: set-up");
    CHECK(record_by_hand("text-file", 2, index_file, sizeof index_file));
    text_options = vmx_create_recording_options();
    set_session_id(text_options, "text-options", 12);
    text_recorder = vmx_create_data_recorder();
    set_session_id(text_options, "text-live", 9);
    CHECK_INT(0, vmx_start_recording(text_recorder, SLEEP_TYPE, ".", 1, text_options));
    set_session_id(text_options, "text-options", 12);
    text_reader = data_reader_create();
    CHECK_INT(0, data_reader_open(text_reader, index_file, (int)strlen(index_file), -1));
    text_player = data_player_create(index_file, (int)strlen(index_file), -1);
    CHECK(text_player != NULL);

    for (r = 0; r < sizeof rows / sizeof rows[0]; ++r)
        check_text_output(&rows[r]);

    flat_case("text outputs: what the paths are");
    CHECK_INT(0, player_meta_filename(other, &length, sizeof other - 1));
    other[length] = '\0';
    CHECK_TEXT(index_file, other);
    CHECK_INT(0, recorder_type_directory(other, &length, sizeof other - 1));
    other[length] = '\0';
    CHECK(strstr(other, "text-live") != NULL);

    flat_case("text outputs: a type without a base name");
    length = 7;
    CHECK_INT(1, vmx_get_basename_for_data_type(text_recorder, 0x3, other, &length, sizeof other));
    CHECK_INT(0, length);
    flat_case("text outputs: a recorder without a connection records what it is given");
    sleep_message(&message, 1);
    CHECK_INT(0, vmx_process(text_recorder, SLEEP_TYPE, message.bytes, (unsigned int)message.size));
    CHECK_INT(1, vmx_process(text_recorder, 0x8, message.bytes, (unsigned int)message.size));

    data_player_destroy(text_player);
    data_reader_destroy(text_reader);
    vmx_destroy_data_recorder(text_recorder);
    vmx_destroy_recording_options(text_options);
}

/* ---- recorders and their connection ------------------------------------------ */

/* Two recorders of one connection record in sessions of their own; the end
 * of one leaves the other recording. */
static void several_recorders(void)
{
    struct Fixture f;
    char first_index[1024];
    char second_index[1024];
    DataRecorderHandle first;
    DataRecorderHandle second;
    RecordingOptionsHandle options = vmx_create_recording_options();

    flat_case("several recorders: record");
    CHECK(fixture_open(&f));
    refuse_session_queries(&f);
    first = vmx_get_data_recorder(f.handle);
    second = vmx_get_data_recorder(f.handle);
    CHECK(first != NULL && second != NULL && first != second);
    set_session_id(options, "first", 5);
    CHECK_INT(0, vmx_start_recording(first, SLEEP_TYPE, ".", 1, options));
    set_session_id(options, "second", 6);
    CHECK_INT(0, vmx_start_recording(second, SLEEP_TYPE, ".", 1, options));
    vmx_destroy_recording_options(options);
    CHECK(index_file_of(first, "first", first_index, sizeof first_index));
    CHECK(index_file_of(second, "second", second_index, sizeof second_index));

    send_sleep_messages(&f, 1, 2);
    vmx_destroy_data_recorder(first);
    send_sleep_messages(&f, 3, 2);
    vmx_destroy_data_recorder(second);
    fixture_close(&f);

    flat_case("several recorders: the first one's session");
    check_session(first_index, 1, 2, NULL, 0);
    flat_case("several recorders: the second one's session");
    check_session(second_index, 1, 4, NULL, 0);
}

/* The connection destroyed under a recording recorder: the recorder keeps
 * what it recorded, refuses to start again, and takes the connection's last
 * threads and descriptors with it when it goes. */
static void recorder_outlives_connection(void)
{
    struct Fixture f;
    char index_file[1024];
    char directory[1024];
    unsigned int length = 0;
    int threads;
    int descriptors;
    DataRecorderHandle recorder;
    RecordingOptionsHandle options = vmx_create_recording_options();

    flat_case("recorder outlives its connection");
    f.sim = sim_start();
    refuse_session_queries(&f);
    threads = count_threads();
    descriptors = count_descriptors();
    f.handle = connect_to(f.sim, 0);
    f.z3 = vmx_get_z3(f.handle);
    recorder = vmx_get_data_recorder(f.handle);
    set_session_id(options, "orphan", 6);
    CHECK_INT(0, vmx_start_recording(recorder, SLEEP_TYPE, ".", 1, options));
    send_sleep_messages(&f, 1, 2);
    CHECK(index_file_of(recorder, "orphan", index_file, sizeof index_file));

    vmx_destroy_Z3_interface(f.z3);
    vmx_destroy_linkwell(f.handle);
    CHECK(sim_wait_disconnected(f.sim, 2000));
    CHECK_INT(
        0, vmx_get_recording_dir_for_data_type(recorder, SLEEP_TYPE, directory, &length, sizeof directory));
    CHECK(length > 0);
    CHECK_INT(1, vmx_start_recording(recorder, 0x8, ".", 1, options));
    vmx_set_basename_for_data_type(recorder, SLEEP_TYPE, "late", 4);
    vmx_stop_recording(recorder, SLEEP_TYPE);
    vmx_destroy_data_recorder(recorder);
    vmx_destroy_recording_options(options);
    CHECK_INT(threads, count_threads());
    CHECK_INT(descriptors, count_descriptors());
    sim_stop(f.sim);

    check_session(index_file, 1, 2, NULL, 0);
}

void group_recording(void)
{
    CHECK(enter_temporary_directory());
    round_trip();
    text_outputs();
    several_recorders();
    recorder_outlives_connection();
    leave_temporary_directory();
}
