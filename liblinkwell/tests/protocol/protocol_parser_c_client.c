/* A client of the message decoders written in C: it must compile against the
 * public header as plain C99 and use the records and the table as C sees
 * them. */
#include <linkwell/protocol.h>

#include <string.h>

struct Seen {
    uint32_t pong;
    uint32_t error;
    int errors;
    float movement_sum;
    uint32_t movement_count;
};

static void on_pong(uint32_t value, void* user)
{
    ((struct Seen*)user)->pong = value;
}

static void on_error(uint32_t code, void* user)
{
    struct Seen* seen = (struct Seen*)user;
    seen->error = code;
    seen->errors++;
}

static void on_moving(RespirationMovingListData record, void* user)
{
    struct Seen* seen = (struct Seen*)user;
    uint32_t i;
    seen->movement_count = record.movement_interval_count;
    for (i = 0; i < record.movement_interval_count; ++i)
        seen->movement_sum += packed_float_value(record.movement_slow_items[i])
            + packed_float_value(record.movement_fast_items[i]);
}

/* Returns 0 when every decode came out as expected, else the failing step. */
int c_parser_client(void)
{
    /* pong 0x12345678; error 7; a respiration moving list with two intervals
     * (slow 1.0, 2.0; fast 0.5, 0.25), its arrays at an odd offset. */
    static const uint8_t pong[] = { 0x01, 0x78, 0x56, 0x34, 0x12 };
    static const uint8_t error[] = { 0x20, 0x07, 0x00, 0x00, 0x00 };
    static const uint8_t moving[]
        = { 0x50, 0x00, 0x3B, 0x0A, 0x61, 0x09, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x80,
              0x3F, 0x00, 0x00, 0x00, 0x40, 0x00, 0x00, 0x00, 0x3F, 0x00, 0x00, 0x80, 0x3E };
    HostParser table;
    struct Seen seen;
    memset(&seen, 0, sizeof seen);

    if (init_host_parser(&table) != &table)
        return 1;
    table.on_pong = on_pong;
    table.on_error = on_error;
    table.on_respiration_movinglist = on_moving;

    if (parse(&table, pong, sizeof pong, &seen) != 0 || seen.pong != 0x12345678u)
        return 2;
    if (parse_ack(&table, error, sizeof error, &seen) != 7 || seen.error != 7)
        return 3;
    if (parse_respiration_movinglist(&table, moving, sizeof moving, &seen) != 0 || seen.movement_count != 2
        || seen.movement_sum != 3.75f)
        return 4;
    /* One byte short: refused with a length error. */
    if (parse_respiration_movinglist(&table, moving, sizeof moving - 1, &seen) != LINKWELL_PARSE_ERROR_LENGTH
        || seen.error != LINKWELL_PARSE_ERROR_LENGTH)
        return 5;
    /* Unknown to parse_appdata, which returns 0 and calls nothing. */
    seen.errors = 0;
    if (parse_appdata(&table, moving, sizeof moving, &seen) != 0 || seen.errors != 0)
        return 6;
    return 0;
}
