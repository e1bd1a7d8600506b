/* Raw packets, traces, frames and the module file system. */
#define _POSIX_C_SOURCE 200809L

#include "flat_check.h"
#include "flat_fixture.h"

#include <string.h>

static const unsigned char text_prefix[] = { 0xA0, 0x13 };

/* A named queue by prefix: counted, read whole by rule C (room exactly
 * enough, one short), cleared and removed; a name never subscribed answers
 * at once. */
static void named_packet_queues(struct Fixture* f)
{
    unsigned char packet[32];
    unsigned int count = 7777;
    char text[80] = "";

    flat_case("packet queue");
    CHECK_INT(0, vmx_subscribe(f->z3, "raw", text_prefix, sizeof text_prefix));
    sim_send(f->sim, "a0 13 01 00 00 00 02 00 00 00 02 00 00 00 6f 6b");
    sim_send(f->sim, "a0 13 01 00 00 00 02 00 00 00 02 00 00 00 6f 6b");
    CHECK(wait_for_queue(f->z3, "raw", 2));

    memset(packet, 0xEE, sizeof packet);
    CHECK_INT(0, vmx_get_packet(f->z3, "raw", packet, 16));
    render_bytes(packet, 17, text, sizeof text);
    CHECK_TEXT("a0 13 01 00 00 00 02 00 00 00 02 00 00 00 6f 6b ee", text);
    memset(packet, 0xEE, sizeof packet);
    CHECK_INT(1, vmx_get_packet(f->z3, "raw", packet, 15));
    CHECK_INT(0xEE, packet[0]);
    CHECK_INT(0, vmx_get_number_of_packets(f->z3, "raw", &count));
    CHECK_INT(0, count);

    sim_send(f->sim, "a0 13 01 00 00 00 02 00 00 00 02 00 00 00 6f 6b");
    CHECK(wait_for_queue(f->z3, "raw", 1));
    CHECK_INT(0, vmx_clear(f->z3, "raw"));
    CHECK_INT(0, vmx_get_number_of_packets(f->z3, "raw", &count));
    CHECK_INT(0, count);
    CHECK_INT(0, vmx_unsubscribe(f->z3, "raw"));

    flat_case("queue never subscribed");
    count = 7777;
    CHECK_INT(0, vmx_get_number_of_packets(f->z3, "nobody", &count));
    CHECK_INT(0, count);
    packet[0] = 0xEE;
    CHECK_INT(0, vmx_get_packet(f->z3, "nobody", packet, sizeof packet));
    CHECK_INT(0xEE, packet[0]);
}

/* The text of a trace packet, exactly as long as the room, has no
 * terminator; the bytes after it stay as they were. */
static void trace_text(struct Fixture* f)
{
    char text[8];
    flat_case("trace");
    CHECK_INT(0, vmx_subscribe_to_trace(f->z3, "traces"));
    sim_send(f->sim, "a0 13 01 00 00 00 02 00 00 00 05 00 00 00 68 65 6c 6c 6f");
    sim_send(f->sim, "a0 13 01 00 00 00 02 00 00 00 05 00 00 00 68 65 6c 6c 6f");
    CHECK(wait_for_queue(f->z3, "traces", 2));
    memset(text, 'x', sizeof text);
    CHECK_INT(0, vmx_get_trace(f->z3, "traces", text, 5));
    CHECK(memcmp(text, "hellox", 6) == 0);
    CHECK_INT(1, vmx_get_trace(f->z3, "traces", text, 4));
}

/* Raw bytes go out as they are; a framed request's reply comes back by rule
 * C. */
static void raw_commands(struct Fixture* f)
{
    static const unsigned char framed_reset[] = { 0x7D, 0x22, 0x5F, 0x7E };
    static const unsigned char ask[] = { 0x90, 0x58, 0x06 };
    static const unsigned char reply_prefix[] = { 0x11, 0x13 };
    unsigned char reply[24];
    char text[80] = "";

    flat_case("send command");
    sim_clear_received(f->sim);
    CHECK_INT(0, vmx_send_command(f->z3, framed_reset, sizeof framed_reset));
    CHECK(sim_wait_received(f->sim, 1, 2000));
    CHECK_TEXT("22", sim_received_hex(f->sim, 0));

    flat_case("send command single");
    sim_reply(f->sim, "90 58", "11 13 58 00 00 00 00 00 00 00 04 00 00 00 53 4e 2d 31");
    memset(reply, 0xEE, sizeof reply);
    CHECK_INT(
        0, vmx_send_command_single(f->z3, ask, sizeof ask, reply_prefix, sizeof reply_prefix, reply, 18));
    render_bytes(reply, 19, text, sizeof text);
    CHECK_TEXT("11 13 58 00 00 00 00 00 00 00 04 00 00 00 53 4e 2d 31 ee", text);
    memset(reply, 0xEE, sizeof reply);
    CHECK_INT(
        1, vmx_send_command_single(f->z3, ask, sizeof ask, reply_prefix, sizeof reply_prefix, reply, 17));
    CHECK_INT(0xEE, reply[0]);
    sim_clear_rules(f->sim);
}

static void frames(struct Fixture* f)
{
    float values[4] = { -9, -9, -9, -9 };
    double samples[2] = { -9, -9 };
    unsigned int counter = 7777;
    unsigned int count = 7777;
    /* counter 0x0A0B0C0D, 13 bytes skipped, two 48-bit samples: 5 and -2^32 */
    static const unsigned char decimated[] = { 0x0D, 0x0C, 0x0B, 0x0A, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
        5, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF };

    flat_case("capture a normalized frame");
    sim_reply(f->sim, "90 17", "11 12 17 00 00 00 cd ab 00 00 02 00 00 00 00 00 c0 3f 00 00 00 c0");
    CHECK_INT(1, vmx_capture_single_normalized_frame(f->z3, &counter, NULL, &count, 0));
    CHECK_INT(2, count);
    CHECK_INT(7777, counter);
    CHECK_INT(0, vmx_capture_single_normalized_frame(f->z3, &counter, values, &count, 2));
    CHECK_INT(0xABCD, counter);
    CHECK(values[0] == 1.5f && values[1] == -2.0f && values[2] == -9);
    sim_clear_rules(f->sim);

    flat_case("raw normalized frames");
    counter = count = 7777;
    CHECK_INT(0, vmx_subscribe_to_raw_normalized(f->z3, "frames"));
    sim_send(f->sim, "a0 12 01 00 00 00 2a 00 00 00 03 00 00 00 00 00 80 3f 00 00 00 40 00 00 40 40");
    sim_send(f->sim, "a0 12 01 00 00 00 2a 00 00 00 03 00 00 00 00 00 80 3f 00 00 00 40 00 00 40 40");
    CHECK(wait_for_queue(f->z3, "frames", 2));
    CHECK_INT(1, vmx_get_raw_normalized_frame(f->z3, "frames", &counter, values, &count, 2));
    CHECK_INT(7777, count);
    CHECK_INT(0, vmx_get_raw_normalized_frame(f->z3, "frames", &counter, values, &count, 3));
    CHECK_INT(42, counter);
    CHECK_INT(3, count);
    CHECK(values[0] == 1 && values[1] == 2 && values[2] == 3);

    flat_case("decimated frames");
    CHECK_INT(0, vmx_subscribe_to_z7_decim(f->z3, "decimated"));
    sim_send_raw_length(f->sim, decimated, sizeof decimated);
    CHECK(wait_for_queue(f->z3, "decimated", 1));
    CHECK_INT(0, vmx_get_z7_decim_frame(f->z3, "decimated", &counter, samples, 2));
    CHECK_INT(0x0A0B0C0D, counter);
    CHECK(samples[0] == 5 && samples[1] == -4294967296.0);
}

#define LIST_OF_FIVE                                                                                         \
    "11 11 65 00 00 00 00 00 00 00 05 00 00 00 01 00 00 00 02 00 00 00 0a 00 00 00 0b 00 00 00 0c 00 00 00"

/* Lists by rule K, file data by rule U and whole files by rule C. */
static void file_system(struct Fixture* f)
{
    unsigned int first[4] = { 7777, 7777, 7777, 7777 };
    unsigned int second[4] = { 7777, 7777, 7777, 7777 };
    int ids[4] = { -1, -1, -1, -1 };
    unsigned int count = 7777;
    unsigned int length = 7777;
    unsigned char data[8];

    flat_case("search by type");
    sim_reply(
        f->sim, "90 64", "11 11 64 00 00 00 00 00 00 00 03 00 00 00 0a 00 00 00 0b 00 00 00 ff ff ff ff");
    CHECK_INT(1, vmx_search_for_file_by_type(f->z3, 7, ids, &count, 2));
    CHECK_INT(7777, count);
    CHECK_INT(0, vmx_search_for_file_by_type(f->z3, 7, ids, &count, 3));
    CHECK_INT(3, count);
    CHECK(ids[0] == 10 && ids[1] == 11 && ids[2] == -1 && ids[3] == -1);

    flat_case("all files");
    count = 7777;
    sim_reply(f->sim, "90 65", LIST_OF_FIVE);
    CHECK_INT(1, vmx_find_all_files(f->z3, first, second, &count, 2));
    CHECK_INT(7777, count);
    CHECK_INT(0, vmx_find_all_files(f->z3, first, second, &count, 3));
    CHECK_INT(3, count);
    CHECK(first[0] == 1 && first[1] == 2 && first[2] == 7777);
    CHECK(second[0] == 10 && second[1] == 11 && second[2] == 12 && second[3] == 7777);

    flat_case("file length and data");
    sim_reply(f->sim, "90 69", "11 11 69 00 00 00 00 00 00 00 04 00 00 00 58 02 00 00");
    CHECK_INT(0, vmx_get_file_length(f->z3, 0x0C, 0x0102, &length));
    CHECK_INT(600, length);
    sim_reply(f->sim, "90 71", "11 10 71 00 00 00 00 00 00 00 03 00 00 00 01 02 03");
    memset(data, 0xEE, sizeof data);
    CHECK_INT(0, vmx_get_file_data(f->z3, 0x0C, 0x0102, 256, 3, data));
    CHECK(data[0] == 1 && data[2] == 3 && data[3] == 0xEE);
    /* A module that answers with more than was asked for is not trusted. */
    memset(data, 0xEE, sizeof data);
    CHECK_INT(1, vmx_get_file_data(f->z3, 0x0C, 0x0102, 256, 2, data));
    CHECK_INT(0xEE, data[0]);

    flat_case("module file errors pass");
    sim_clear_rules(f->sim);
    sim_clear_received(f->sim);
    sim_error(f->sim, "90 70", 42);
    CHECK_INT(1, vmx_delete_file(f->z3, 0x0C, 0x0102));
    CHECK(sim_received_is(f->sim, 0, "90 70 0c 00 00 00 02 01 00 00"));
    sim_clear_rules(f->sim);
}

/* A whole file: written in one call and read back in one, by rule C. */
static void whole_files(struct Fixture* f)
{
    static const unsigned char contents[] = { 0xAA, 0x7E, 0x01 };
    unsigned char back[4];

    flat_case("whole file");
    sim_ack(f->sim, "90 66");
    sim_ack(f->sim, "90 67");
    sim_ack(f->sim, "90 68");
    sim_ack(f->sim, "90 72");
    sim_reply(f->sim, "90 69", "11 11 69 00 00 00 00 00 00 00 04 00 00 00 03 00 00 00");
    sim_reply(f->sim, "90 71", "11 10 71 00 00 00 00 00 00 00 03 00 00 00 aa 7e 01");
    sim_clear_received(f->sim);
    CHECK_INT(0, vmx_set_file(f->z3, 0x0C, 0x0102, sizeof contents, contents));
    CHECK(sim_received_is(f->sim, 0, "90 66 0c 00 00 00 02 01 00 00 03 00 00 00"));
    CHECK(sim_received_is(f->sim, 1, "90 67 0c 00 00 00 02 01 00 00 00 00 00 00 03 00 00 00 aa 7e 01"));
    CHECK(sim_received_is(f->sim, 2, "90 68 0c 00 00 00 02 01 00 00 01 00 00 00"));

    memset(back, 0xEE, sizeof back);
    CHECK_INT(1, vmx_get_file(f->z3, 0x0C, 0x0102, 2, back));
    CHECK_INT(0xEE, back[0]);
    CHECK_INT(0, vmx_get_file(f->z3, 0x0C, 0x0102, 3, back));
    CHECK(memcmp(back, contents, 3) == 0 && back[3] == 0xEE);
    sim_clear_rules(f->sim);
}

void group_packets(void)
{
    struct Fixture f;
    CHECK(fixture_open(&f));
    named_packet_queues(&f);
    trace_text(&f);
    raw_commands(&f);
    frames(&f);
    file_system(&f);
    whole_files(&f);
    fixture_close(&f);
}
