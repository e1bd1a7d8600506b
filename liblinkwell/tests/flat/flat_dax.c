/* The generic text and byte messages: content id, info word and payload
 * by the truncating rule. */
#define _POSIX_C_SOURCE 200809L

#include "flat_check.h"
#include "flat_fixture.h"

#include <string.h>

/* A data message (0xA0, sub-type) with a payload of `size` bytes 'a'. */
static void data_message(struct Payload* p, unsigned int subtype, unsigned int size)
{
    unsigned int i;
    payload_start(p, 0xA0);
    put_u8(p, subtype), put_u32(p, 0x01020304), put_u32(p, 9), put_u32(p, size);
    for (i = 0; i < size; ++i)
        put_u8(p, 'a' + i % 26);
}

static void data_strings(struct Fixture* f)
{
    struct Payload payload;
    char text[300];
    unsigned int id = 7777, info = 7777, length = 7777;

    flat_case("data string cut to the room");
    data_message(&payload, 0x13, 300);
    send_payload(f, &payload);
    send_payload(f, &payload);
    CHECK_INT(2, wait_for_count(dax_peek_message_data_string, f->z3, 2));
    memset(text, 'x', sizeof text);
    CHECK_INT(0, dax_read_message_data_string(f->z3, &id, &info, text, &length, 256));
    CHECK_INT(0x01020304, id);
    CHECK_INT(9, info);
    CHECK_INT(256, length);
    CHECK(memcmp(text, payload.bytes + 14, 256) == 0 && text[256] == 'x');

    flat_case("data string without a length output");
    memset(text, 'x', sizeof text);
    CHECK_INT(0, dax_read_message_data_string(f->z3, &id, &info, text, NULL, 5));
    CHECK(memcmp(text, "abcdex", 6) == 0);

    flat_case("data string too short for its header");
    length = 7777;
    sim_send(f->sim, "a0 13 01 02");
    CHECK_INT(1, wait_for_count(dax_peek_message_data_string, f->z3, 1));
    CHECK_INT(1, dax_read_message_data_string(f->z3, &id, &info, text, &length, 256));
    CHECK_INT(0, length);
}

static void data_bytes(struct Fixture* f)
{
    struct Payload payload;
    unsigned char bytes[8];
    unsigned int id = 7777, info = 7777, length = 7777;

    flat_case("data bytes");
    data_message(&payload, 0x10, 3);
    send_payload(f, &payload);
    CHECK_INT(1, wait_for_count(dax_peek_message_data_byte, f->z3, 1));
    memset(bytes, 0xEE, sizeof bytes);
    CHECK_INT(0, dax_read_message_data_byte(f->z3, &id, &info, bytes, &length, sizeof bytes));
    CHECK_INT(3, length);
    CHECK(memcmp(bytes, "abc", 3) == 0 && bytes[3] == 0xEE);
    CHECK_INT(0, dax_peek_message_data_byte(f->z3));
}

void group_dax(void)
{
    struct Fixture f;
    CHECK(fixture_open(&f));
    data_strings(&f);
    data_bytes(&f);
    fixture_close(&f);
}
