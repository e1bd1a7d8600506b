/* A client of the codec written in C: it must compile against the public
 * header as plain C99 and reach the functions under their C names. */
#include <linkwell/protocol.h>

#include <stdlib.h>
#include <string.h>

struct Output {
    uint8_t bytes[64];
    uint32_t count;
};

struct Received {
    uint8_t packet[64];
    uint32_t length;
    int packets;
    int errors;
};

static void collect(uint8_t byte, void* user)
{
    struct Output* out = (struct Output*)user;
    if (out->count < sizeof out->bytes)
        out->bytes[out->count++] = byte;
}

static void on_packet(void* user, const uint8_t* data, uint32_t count)
{
    struct Received* received = (struct Received*)user;
    received->packets++;
    received->length = count < sizeof received->packet ? count : (uint32_t)sizeof received->packet;
    memcpy(received->packet, data, received->length);
}

static void on_error(void* user, uint32_t code)
{
    (void)code;
    ((struct Received*)user)->errors++;
}

/* Frames a payload twice (whole and streamed), receives both frames and
 * returns 0 when both came back unchanged, otherwise the failing step. */
int c_client_round_trip(void)
{
    static const uint8_t payload[] = { 0x10, 0x7D, 0x51, 0x80, 0x00, 0x00, 0x80, 0x3F };
    struct Output whole = { { 0 }, 0 };
    struct Output streamed = { { 0 }, 0 };
    struct Received received = { { 0 }, 0, 0, 0 };
    uint8_t buffer[32];
    void* storage;
    ApplicationProtocol* receiver;
    int result = 0;

    if (createCommand(payload, sizeof payload, collect, &whole) != 0)
        return 1;
    packet_start(collect, &streamed);
    process_byte(0x10, collect, &streamed);
    process_ushort(0x517D, collect, &streamed);
    process_byte(0x80, collect, &streamed);
    process_float(1.0f, collect, &streamed);
    packet_end(collect, &streamed);
    if (whole.count != streamed.count || memcmp(whole.bytes, streamed.bytes, whole.count) != 0)
        return 2;
    if (!isSpecialByte(0x7D) || isSpecialByte(0x80))
        return 3;

    storage = malloc(getInstanceSize());
    if (!storage)
        return 4;
    receiver = createApplicationProtocol(on_packet, on_error, &received, storage, buffer, sizeof buffer);
    if (parseData(receiver, whole.bytes, whole.count) != 1
        || parseData(receiver, streamed.bytes, streamed.count) != 1)
        result = 5;
    else if (received.packets != 2 || received.errors != 0 || received.length != sizeof payload
        || memcmp(received.packet, payload, sizeof payload) != 0)
        result = 6;
    destroyProtocol(receiver);
    free(storage);
    if (result == 0 && (strlen(get_radar_com_version()) != 12 || strlen(get_radar_com_build_date()) != 19))
        result = 7;
    return result;
}
