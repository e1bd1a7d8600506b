/* Message reads: every kind read from its own queue into scalars and capped
 * arrays (room exactly enough and one element short), the reads from named
 * queues, and what a peek counts. */
#define _POSIX_C_SOURCE 200809L

#include "flat_check.h"
#include "flat_fixture.h"

#include <stdio.h>
#include <string.h>

#define CAP 8

/* Outputs every read writes into; set to recognisable values before each
 * read, so that untouched outputs show. */
struct Outputs {
    int i[6];
    unsigned int u[4];
    unsigned char byte;
    float f[12];
    float list[5][CAP];
    unsigned char bytes[CAP];
};

static void reset(struct Outputs* o)
{
    size_t k;
    memset(o, 0, sizeof *o);
    for (k = 0; k < 6; ++k)
        o->i[k] = -1;
    for (k = 0; k < 4; ++k)
        o->u[k] = 7777;
    o->byte = 0xEE;
    for (k = 0; k < 12; ++k)
        o->f[k] = -9;
}

static void add(char* out, size_t size, const char* format, long long value)
{
    const size_t used = strlen(out);
    snprintf(out + used, size - used, format, value);
}

static void add_float(char* out, size_t size, float value)
{
    const size_t used = strlen(out);
    snprintf(out + used, size - used, used == 0 ? "%g" : " %g", value);
}

static void add_list(char* out, size_t size, const float* values, size_t count)
{
    const size_t used = strlen(out);
    snprintf(out + used, size - used, " |");
    render_floats(values, count, out, size);
}

/* ---- message payloads: scalars 1, 2, ... and floats n + 0.5 ------------- */

static void respiration_status(struct Payload* p)
{
    payload_appdata(p, 0x2375FE26);
    put_u32(p, 1), put_u32(p, 2), put_u32(p, 3), put_f32(p, 4.5f), put_f32(p, 5.5f), put_u32(p, 6);
}

static void sleep_status(struct Payload* p)
{
    payload_appdata(p, 0x2375A16C);
    put_u32(p, 1), put_u32(p, 2), put_f32(p, 3.5f), put_f32(p, 4.5f), put_u32(p, 5);
    put_f32(p, 6.5f), put_f32(p, 7.5f);
}

static void presence_single(struct Payload* p)
{
    payload_appdata(p, 0x723BFA1E);
    put_u32(p, 1), put_u32(p, 2), put_f32(p, 3.5f), put_u8(p, 0x7F), put_u32(p, 5);
}

static void vital_signs(struct Payload* p)
{
    payload_appdata(p, 0x20020102);
    put_u32(p, 1), put_u32(p, 2), put_f32s(p, 3.5f, 1, 10);
}

static void respiration_movinglist(struct Payload* p)
{
    payload_appdata(p, 0x610A3B00);
    put_u32(p, 1), put_u32(p, 2), put_f32s(p, 10, 1, 2), put_f32s(p, 20, 1, 2);
}

static void respiration_detectionlist(struct Payload* p)
{
    payload_appdata(p, 0x610A3B02);
    put_u32(p, 1), put_u32(p, 3), put_f32s(p, 10, 1, 3), put_f32s(p, 20, 1, 3), put_f32s(p, 30, 1, 3);
}

static void normalizedmovementlist(struct Payload* p)
{
    payload_appdata(p, 0xC3A331CF);
    put_u32(p, 1), put_f32(p, 2.5f), put_f32(p, 3.5f), put_u32(p, 2), put_f32s(p, 10, 1, 2);
    put_f32s(p, 20, 1, 2);
}

/* Two moving intervals, three detections. */
static void presence_movinglist(struct Payload* p)
{
    payload_appdata(p, 0x723BFA1F);
    put_u32(p, 1), put_u32(p, 2), put_u32(p, 2), put_u32(p, 3);
    put_f32s(p, 10, 1, 2), put_f32s(p, 20, 1, 2), put_f32s(p, 30, 1, 3), put_f32s(p, 40, 1, 3);
    put_f32s(p, 50, 1, 3);
}

static void baseband(struct Payload* p, unsigned int content_id)
{
    payload_appdata(p, content_id);
    put_u32(p, 1), put_u32(p, 3), put_f32s(p, 3.5f, 1, 4), put_f32s(p, 10, 1, 3), put_f32s(p, 20, 1, 3);
}

static void baseband_ap(struct Payload* p)
{
    baseband(p, 0x0D);
}

static void baseband_iq(struct Payload* p)
{
    baseband(p, 0x0C);
}

static void data_float(struct Payload* p)
{
    payload_start(p, 0xA0);
    put_u8(p, 0x12), put_u32(p, 0x1234), put_u32(p, 9), put_u32(p, 3), put_f32s(p, 10, 1, 3);
}

static void doppler_head(struct Payload* p, unsigned int content_id)
{
    payload_appdata(p, content_id);
    put_u32(p, 1), put_u32(p, 2), put_u32(p, 3), put_u32(p, 4), put_u32(p, 3), put_u32(p, 6);
    put_f32s(p, 7.5f, 1, 5);
}

static void pulsedoppler_float(struct Payload* p)
{
    doppler_head(p, 0x10);
    put_f32s(p, 10, 1, 3);
}

static void noisemap_float(struct Payload* p)
{
    doppler_head(p, 0x12);
    put_f32s(p, 10, 1, 3);
}

static void byte_values(struct Payload* p)
{
    put_f32(p, 12.5f), put_f32(p, 13.5f), put_u8(p, 0xA1), put_u8(p, 0xA2), put_u8(p, 0xA3);
}

static void pulsedoppler_byte(struct Payload* p)
{
    doppler_head(p, 0x11);
    byte_values(p);
}

static void noisemap_byte(struct Payload* p)
{
    doppler_head(p, 0x13);
    byte_values(p);
}

/* ---- reads, each rendering what it wrote -------------------------------- */

typedef int (*Read)(Z3_Type* z3, unsigned int cap, struct Outputs* o);

static int read_respiration(Z3_Type* z3, unsigned int cap, struct Outputs* o)
{
    (void)cap;
    return vmx_read_message_respiration_legacy(
        z3, &o->i[0], &o->i[1], &o->i[2], &o->f[0], &o->f[1], &o->i[3]);
}

static int read_sleep(Z3_Type* z3, unsigned int cap, struct Outputs* o)
{
    (void)cap;
    return vmx_read_message_respiration_sleep(
        z3, &o->i[0], &o->i[1], &o->f[0], &o->f[1], &o->i[2], &o->f[2], &o->f[3]);
}

static int read_presence_single(Z3_Type* z3, unsigned int cap, struct Outputs* o)
{
    (void)cap;
    return vmx_read_message_presence_single(z3, &o->u[0], &o->u[1], &o->f[0], &o->byte, &o->u[2]);
}

static int read_vital_signs(Z3_Type* z3, unsigned int cap, struct Outputs* o)
{
    float* f = o->f;
    (void)cap;
    return vmx_read_message_vital_signs(
        z3, &o->i[0], &o->i[1], &f[0], &f[1], &f[2], &f[3], &f[4], &f[5], &f[6], &f[7], &f[8], &f[9]);
}

static int read_respiration_movinglist(Z3_Type* z3, unsigned int cap, struct Outputs* o)
{
    return vmx_read_message_respiration_movinglist(z3, &o->i[0], &o->u[0], o->list[0], o->list[1], cap);
}

static int read_detectionlist(Z3_Type* z3, unsigned int cap, struct Outputs* o)
{
    return vmx_read_message_respiration_detectionlist(
        z3, &o->i[0], &o->u[0], o->list[0], o->list[1], o->list[2], cap);
}

static int read_normalizedmovementlist(Z3_Type* z3, unsigned int cap, struct Outputs* o)
{
    return vmx_read_message_respiration_normalizedmovementlist(
        z3, &o->i[0], &o->f[0], &o->f[1], &o->i[1], o->list[0], o->list[1], cap);
}

static int read_presence_movinglist(Z3_Type* z3, unsigned int cap, struct Outputs* o)
{
    return vmx_read_message_presence_movinglist(z3, &o->i[0], &o->i[1], &o->i[2], &o->u[0], o->list[0],
        o->list[1], o->list[2], o->list[3], o->list[4], cap);
}

static int read_baseband_ap(Z3_Type* z3, unsigned int cap, struct Outputs* o)
{
    float* f = o->f;
    return vmx_read_message_baseband_ap(
        z3, &o->i[0], &o->i[1], &f[0], &f[1], &f[2], &f[3], o->list[0], o->list[1], cap);
}

static int read_baseband_iq(Z3_Type* z3, unsigned int cap, struct Outputs* o)
{
    float* f = o->f;
    return vmx_read_message_baseband_iq(
        z3, &o->i[0], &o->i[1], &f[0], &f[1], &f[2], &f[3], o->list[0], o->list[1], cap);
}

static int read_data_float(Z3_Type* z3, unsigned int cap, struct Outputs* o)
{
    return vmx_read_message_data_float(z3, &o->i[0], &o->i[1], o->list[0], &o->u[0], cap);
}

static int read_pulsedoppler_float(Z3_Type* z3, unsigned int cap, struct Outputs* o)
{
    int* i = o->i;
    float* f = o->f;
    return vmx_read_message_pulsedoppler_float_data(
        z3, &i[0], &i[1], &i[2], &i[3], &o->u[0], &i[4], &f[0], &f[1], &f[2], &f[3], &f[4], o->list[0], cap);
}

static int read_noisemap_float(Z3_Type* z3, unsigned int cap, struct Outputs* o)
{
    int* i = o->i;
    float* f = o->f;
    return vmx_read_message_noisemap_float_data(
        z3, &i[0], &i[1], &i[2], &i[3], &o->u[0], &i[4], &f[0], &f[1], &f[2], &f[3], &f[4], o->list[0], cap);
}

static int read_pulsedoppler_byte(Z3_Type* z3, unsigned int cap, struct Outputs* o)
{
    int* i = o->i;
    float* f = o->f;
    return vmx_read_message_pulsedoppler_byte_data(z3, &i[0], &i[1], &i[2], &i[3], &o->u[0], &i[4], &f[0],
        &f[1], &f[2], &f[3], &f[4], &f[5], &f[6], o->bytes, cap);
}

static int read_noisemap_byte(Z3_Type* z3, unsigned int cap, struct Outputs* o)
{
    int* i = o->i;
    float* f = o->f;
    return vmx_read_message_noisemap_byte_data(z3, &i[0], &i[1], &i[2], &i[3], &o->u[0], &i[4], &f[0], &f[1],
        &f[2], &f[3], &f[4], &f[5], &f[6], o->bytes, cap);
}

/* Renders the outputs a row names: 'i' ints, 'u' unsigned, 'b' the byte,
 * 'f' floats, 'L' lists (the count given by the following digit), 'B'
 * bytes; each letter followed by how many. */
static void render(const struct Outputs* o, const char* layout, char* out, size_t size)
{
    size_t ints = 0, units = 0, floats = 0, lists = 0;
    out[0] = '\0';
    for (; layout[0] && layout[1]; layout += 2) {
        int n = layout[1] - '0';
        for (; n > 0; --n) {
            switch (layout[0]) {
            case 'i':
                add(out, size, out[0] ? " %lld" : "%lld", o->i[ints++]);
                break;
            case 'u':
                add(out, size, out[0] ? " %lld" : "%lld", o->u[units++]);
                break;
            case 'b':
                add(out, size, out[0] ? " %lld" : "%lld", o->byte);
                break;
            case 'f':
                add_float(out, size, o->f[floats++]);
                break;
            default:
                break;
            }
        }
        if (layout[0] == 'L')
            add_list(out, size, o->list[lists++], (size_t)(layout[1] - '0'));
        if (layout[0] == 'B') {
            strncat(out, " |", size - strlen(out) - 1);
            render_bytes(o->bytes, (size_t)(layout[1] - '0'), out, size);
        }
    }
}

struct ReadRow {
    const char* label;
    void (*build)(struct Payload* payload);
    int (*peek)(Z3_Type* z3);
    Read read;
    unsigned int cap; /* exactly enough; the second read gets one less */
    const char* layout;
    const char* output;
};

static const struct ReadRow rows[] = {
    { "respiration", respiration_status, vmx_peek_message_respiration_legacy, read_respiration, 0, "i3f2i1",
        "1 2 3 4.5 5.5 6" },
    { "sleep", sleep_status, vmx_peek_message_respiration_sleep, read_sleep, 0, "i2f2i1f2",
        "1 2 3.5 4.5 5 6.5 7.5" },
    { "presence single", presence_single, vmx_peek_message_presence_single, read_presence_single, 0,
        "u2f1b1u1", "1 2 3.5 127 5" },
    { "vital signs", vital_signs, vmx_peek_message_vital_signs, read_vital_signs, 0, "i2f9f1",
        "1 2 3.5 4.5 5.5 6.5 7.5 8.5 9.5 10.5 11.5 12.5" },
    { "respiration moving list", respiration_movinglist, vmx_peek_message_respiration_movinglist,
        read_respiration_movinglist, 2, "i1u1L2L2", "1 2 | 10 11 | 20 21" },
    { "respiration detection list", respiration_detectionlist, vmx_peek_message_respiration_detectionlist,
        read_detectionlist, 3, "i1u1L3L3L3", "1 3 | 10 11 12 | 20 21 22 | 30 31 32" },
    { "normalized movement list", normalizedmovementlist, vmx_peek_message_respiration_normalizedmovementlist,
        read_normalizedmovementlist, 2, "i1f2i1L2L2", "1 2.5 3.5 2 | 10 11 | 20 21" },
    { "presence moving list", presence_movinglist, vmx_peek_message_presence_movinglist,
        read_presence_movinglist, 3, "i3u1L2L2L3L3L3",
        "1 2 2 3 | 10 11 | 20 21 | 30 31 32 | 40 41 42 | 50 51 52" },
    { "baseband amplitude and phase", baseband_ap, vmx_peek_message_baseband_ap, read_baseband_ap, 3,
        "i2f4L3L3", "1 3 3.5 4.5 5.5 6.5 | 10 11 12 | 20 21 22" },
    { "baseband I and Q", baseband_iq, vmx_peek_message_baseband_iq, read_baseband_iq, 3, "i2f4L3L3",
        "1 3 3.5 4.5 5.5 6.5 | 10 11 12 | 20 21 22" },
    { "float data", data_float, vmx_peek_message_data_float, read_data_float, 3, "i2u1L3",
        "4660 9 3 | 10 11 12" },
    { "pulse-Doppler floats", pulsedoppler_float, vmx_peek_message_pulsedoppler_float,
        read_pulsedoppler_float, 3, "i4u1i1f5L3", "1 2 3 4 3 6 7.5 8.5 9.5 10.5 11.5 | 10 11 12" },
    { "noise map floats", noisemap_float, vmx_peek_message_noisemap_float, read_noisemap_float, 3,
        "i4u1i1f5L3", "1 2 3 4 3 6 7.5 8.5 9.5 10.5 11.5 | 10 11 12" },
    { "pulse-Doppler bytes", pulsedoppler_byte, vmx_peek_message_pulsedoppler_byte, read_pulsedoppler_byte, 3,
        "i4u1i1f7B3", "1 2 3 4 3 6 7.5 8.5 9.5 10.5 11.5 12.5 13.5 | a1 a2 a3" },
    { "noise map bytes", noisemap_byte, vmx_peek_message_noisemap_byte, read_noisemap_byte, 3, "i4u1i1f7B3",
        "1 2 3 4 3 6 7.5 8.5 9.5 10.5 11.5 12.5 13.5 | a1 a2 a3" },
};

/* Each kind: its peek counts what came, a read with room exactly enough
 * writes every output; with one element less it gives 1, writes nothing and
 * the message is gone all the same. */
static void reads_of_every_kind(struct Fixture* f)
{
    size_t r;
    for (r = 0; r < sizeof rows / sizeof rows[0]; ++r) {
        const struct ReadRow* row = &rows[r];
        struct Payload payload;
        struct Outputs outputs;
        char text[256];
        char untouched[256];
        int sent, k;

        flat_case("%s", row->label);
        CHECK_INT(0, row->peek(f->z3));
        /* A second message for the read with too little room. */
        sent = row->cap > 0 ? 2 : 1;
        row->build(&payload);
        for (k = 0; k < sent; ++k)
            send_payload(f, &payload);
        CHECK_INT(sent, wait_for_count(row->peek, f->z3, sent));

        reset(&outputs);
        CHECK_INT(0, row->read(f->z3, row->cap, &outputs));
        render(&outputs, row->layout, text, sizeof text);
        CHECK_TEXT(row->output, text);
        CHECK_INT(sent - 1, row->peek(f->z3));

        if (row->cap == 0)
            continue;
        reset(&outputs);
        render(&outputs, row->layout, untouched, sizeof untouched);
        CHECK_INT(1, row->read(f->z3, row->cap - 1, &outputs));
        render(&outputs, row->layout, text, sizeof text);
        CHECK_TEXT(untouched, text);
        CHECK_INT(0, row->peek(f->z3));
    }
}

/* Named queues get their own copy of each message; reads from them leave the
 * kind's own queue alone. */
static void reads_from_named_queues(struct Fixture* f)
{
    struct Payload payload;
    struct Outputs o;
    char text[256];

    flat_case("named respiration and sleep queues");
    CHECK_INT(0, vmx_subscribe_to_resp_status(f->z3, "mine"));
    CHECK_INT(0, vmx_subscribe_to_sleep_status(f->z3, "sleepy"));
    respiration_status(&payload);
    send_payload(f, &payload);
    sleep_status(&payload);
    send_payload(f, &payload);
    CHECK(wait_for_queue(f->z3, "sleepy", 1));
    CHECK(wait_for_queue(f->z3, "mine", 1));

    reset(&o);
    CHECK_INT(
        0, vmx_get_respiration_data(f->z3, "mine", &o.i[0], &o.i[1], &o.i[2], &o.f[0], &o.f[1], &o.i[3]));
    render(&o, "i3f2i1", text, sizeof text);
    CHECK_TEXT("1 2 3 4.5 5.5 6", text);
    reset(&o);
    CHECK_INT(0,
        vmx_get_sleep_data(f->z3, "sleepy", &o.i[0], &o.i[1], &o.f[0], &o.f[1], &o.i[2], &o.f[2], &o.f[3]));
    render(&o, "i2f2i1f2", text, sizeof text);
    CHECK_TEXT("1 2 3.5 4.5 5 6.5 7.5", text);
    CHECK_INT(1, vmx_peek_message_respiration_legacy(f->z3));
    CHECK_INT(1, vmx_peek_message_respiration_sleep(f->z3));
    vmx_clear(f->z3, "respiration_legacy_subscription_id");
    vmx_clear(f->z3, "respiration_sleep_subscription_id");

    flat_case("named baseband queues");
    CHECK_INT(0, vmx_subscribe_to_baseband_ap(f->z3, "ap"));
    CHECK_INT(0, vmx_subscribe_to_baseband_iq(f->z3, "iq"));
    baseband_ap(&payload);
    send_payload(f, &payload);
    baseband_iq(&payload);
    send_payload(f, &payload);
    CHECK(wait_for_queue(f->z3, "iq", 1));
    reset(&o);
    CHECK_INT(1,
        vmx_get_baseband_ap_data(
            f->z3, "ap", &o.i[0], &o.i[1], &o.f[0], &o.f[1], &o.f[2], &o.f[3], o.list[0], o.list[1], 2));
    reset(&o);
    CHECK_INT(0,
        vmx_get_baseband_iq_data(
            f->z3, "iq", &o.i[0], &o.i[1], &o.f[0], &o.f[1], &o.f[2], &o.f[3], o.list[0], o.list[1], 3));
    render(&o, "i2f4L3L3", text, sizeof text);
    CHECK_TEXT("1 3 3.5 4.5 5.5 6.5 | 10 11 12 | 20 21 22", text);
    vmx_clear(f->z3, "baseband_ap_subscription_id");
    vmx_clear(f->z3, "baseband_iq_subscription_id");
}

/* A message that does not decode is refused by its code and consumed. */
static void malformed_message_is_refused(struct Fixture* f)
{
    struct Outputs o;
    flat_case("short respiration message");
    sim_send(f->sim, "50 26 fe 75 23 01 00");
    CHECK_INT(1, wait_for_count(vmx_peek_message_respiration_legacy, f->z3, 1));
    reset(&o);
    CHECK_INT(1, read_respiration(f->z3, 0, &o));
    CHECK_INT(-1, o.i[0]);
    CHECK_INT(0, vmx_peek_message_respiration_legacy(f->z3));
}

void group_messages(void)
{
    struct Fixture f;
    CHECK(fixture_open(&f));
    reads_of_every_kind(&f);
    reads_from_named_queues(&f);
    malformed_message_is_refused(&f);
    fixture_close(&f);
}
