// The receiver: cuts a module byte stream back into packets inside the
// caller's buffer. Three modes: framed (start byte, escaped payload,
// checksum, end byte), raw length (0x51, u32 length, data, one trailing
// byte) and marker (four 0x7C, u32 length, one skipped byte, data).
//
// The behaviour is defined byte by byte (feed_byte). parseData adds a bulk
// path that stores whole runs of bytes which cannot change the state except
// for being stored; it must stay indistinguishable from parseDataBytewise.
#include "protocol/protocol_receiver.hpp"

#include "common/LittleEndian.hpp"

#include <algorithm>
#include <atomic>
#include <cassert>
#include <cstring>
#include <new>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
// Where the compiler can build AVX2 code for one function, the two bulk
// loops get a second form that is chosen at run time on processors that
// have it.
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define RECEIVER_HAS_AVX2_PATH 1
#include <immintrin.h>
#endif

namespace {

// Byte 0 of the header of a raw length packet is the 0x51, bytes 1 to 4 the
// length; a packet completes with its one trailing byte stored.
constexpr uint32_t raw_header_size = 5;
constexpr uint64_t raw_overhead = 6;
// Bytes 0 to 3 of a marker packet are the length, byte 4 is skipped.
constexpr uint32_t marker_length_size = 4;
constexpr uint32_t marker_header_size = 5;

enum class Step { next, delivered, buffer_full };

// Whole packet lengths of the unframed forms, in 64 bits: a length near
// 2^32 must not wrap around to a small number and complete early.
uint64_t raw_packet_total(const ApplicationProtocol* p)
{
    return little_endian::u32(p->buffer + 1) + raw_overhead;
}

uint64_t marker_packet_total(const ApplicationProtocol* p)
{
    return little_endian::u32(p->buffer) + uint64_t { marker_header_size };
}

#if defined(RECEIVER_HAS_AVX2_PATH)
bool processor_has_avx2()
{
    // Also safe before the runtime's own detection has run.
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
}

const bool cpu_has_avx2 = processor_has_avx2();
// Whether the bulk loops use their AVX2 form; tests turn it off to check
// the baseline form as well.
std::atomic<bool> use_avx2 { cpu_has_avx2 };

// The XOR of the leading 64-byte blocks, folded to 64 bits; *done is set to
// the number of bytes covered.
__attribute__((target("avx2"))) uint64_t xor_of_blocks_avx2(
    const uint8_t* bytes, uint32_t count, uint32_t* done)
{
    __m256i even = _mm256_setzero_si256();
    __m256i odd = _mm256_setzero_si256();
    uint32_t i = 0;
    for (; i + 64 <= count; i += 64) {
        even = _mm256_xor_si256(even, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes + i)));
        odd = _mm256_xor_si256(odd, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes + i + 32)));
    }
    uint64_t lanes[4];
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(lanes), _mm256_xor_si256(even, odd));
    *done = i;
    return lanes[0] ^ lanes[1] ^ lanes[2] ^ lanes[3];
}
#endif

// XOR of count bytes, a block at a time: this pass over a whole packet at its
// end byte is the receiver's only second look at a byte.
uint8_t xor_of(const uint8_t* bytes, uint32_t count)
{
    uint64_t folded = 0;
    uint32_t i = 0;
#if defined(RECEIVER_HAS_AVX2_PATH)
    if (use_avx2.load(std::memory_order_relaxed))
        folded = xor_of_blocks_avx2(bytes, count, &i);
#endif
#if defined(__SSE2__)
    __m128i even = _mm_setzero_si128();
    __m128i odd = _mm_setzero_si128();
    for (; i + 32 <= count; i += 32) {
        even = _mm_xor_si128(even, _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i)));
        odd = _mm_xor_si128(odd, _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i + 16)));
    }
    uint64_t lanes[2];
    _mm_storeu_si128(reinterpret_cast<__m128i*>(lanes), _mm_xor_si128(even, odd));
    folded ^= lanes[0] ^ lanes[1];
#endif
    for (; i + 8 <= count; i += 8) {
        uint64_t word;
        std::memcpy(&word, bytes + i, 8);
        folded ^= word;
    }
    folded ^= folded >> 32;
    folded ^= folded >> 16;
    folded ^= folded >> 8;
    auto result = static_cast<uint8_t>(folded);
    for (; i < count; ++i)
        result ^= bytes[i];
    return result;
}

// The state is reset before a callback runs, so that a callback which throws
// (through a C++ caller) leaves a receiver ready for the next byte. The
// delivered bytes stay untouched in the buffer until the next parseData.
void deliver(const ApplicationProtocol* p, const uint8_t* packet, uint32_t count)
{
    if (p->on_packet)
        p->on_packet(p->user_data, packet, count);
}

void report(const ApplicationProtocol* p, uint32_t code)
{
    if (p->on_error)
        p->on_error(p->user_data, code);
}

void discard_stored(ApplicationProtocol* p)
{
    p->stored = 0;
    p->raw_length = 0;
    p->marker_mode = 0;
}

// Four stored 0x7C in a row switch to marker mode, even inside a framed
// packet, unless that packet starts with an escaped start byte. Called after
// each byte stored in framed mode: only a 0x7C can complete the four.
void enter_marker_mode_if_marked(ApplicationProtocol* p, uint8_t stored_byte)
{
    if (stored_byte != PROTOCOL_MARKER_BYTE)
        return;
    const uint8_t* b = p->buffer;
    const uint32_t n = p->stored;
    if (n < 4 || b[0] == PROTOCOL_START_BYTE)
        return;
    if (b[n - 1] == PROTOCOL_MARKER_BYTE && b[n - 2] == PROTOCOL_MARKER_BYTE
        && b[n - 3] == PROTOCOL_MARKER_BYTE && b[n - 4] == PROTOCOL_MARKER_BYTE) {
        p->stored = 0;
        p->raw_length = 0;
        p->marker_mode = 1;
    }
}

Step feed_raw_length_byte(ApplicationProtocol* p, uint8_t byte)
{
    p->buffer[p->stored++] = byte;
    if (p->stored < raw_header_size || p->stored != raw_packet_total(p))
        return Step::next;
    const uint32_t count = p->stored - 1; // the trailing byte is dropped unexamined
    discard_stored(p);
    deliver(p, p->buffer, count);
    return Step::delivered;
}

Step feed_marker_byte(ApplicationProtocol* p, uint8_t byte)
{
    p->buffer[p->stored++] = byte;
    if (p->stored < marker_length_size || p->stored != marker_packet_total(p))
        return Step::next;
    const uint32_t count = p->stored - marker_header_size;
    discard_stored(p);
    deliver(p, p->buffer + marker_header_size, count);
    return Step::delivered;
}

Step feed_end_byte(ApplicationProtocol* p)
{
    if (p->stored == 0) {
        report(p, PROTOCOL_ERROR_INCOMPLETE);
        return Step::next;
    }
    const uint32_t count = p->stored - 1;
    const uint8_t received = p->buffer[count];
    const bool intact = (PROTOCOL_START_BYTE ^ xor_of(p->buffer, count)) == received;
    discard_stored(p);
    if (!intact) {
        report(p, PROTOCOL_ERROR_CRC);
        return Step::next;
    }
    deliver(p, p->buffer, count);
    return Step::delivered;
}

// One byte through the receiver, exactly as the protocol defines it.
Step feed_byte(ApplicationProtocol* p, uint8_t byte)
{
    if (p->stored == p->capacity) {
        discard_stored(p);
        p->escape_pending = 0;
        report(p, PROTOCOL_ERROR_BUFFER_FULL);
        return Step::buffer_full;
    }
    if (p->raw_length)
        return feed_raw_length_byte(p, byte);
    if (p->marker_mode)
        return feed_marker_byte(p, byte);
    if (p->escape_pending) {
        p->buffer[p->stored++] = byte;
        p->escape_pending = 0;
        enter_marker_mode_if_marked(p, byte);
        return Step::next;
    }
    switch (byte) {
    case PROTOCOL_ESCAPE_BYTE:
        p->escape_pending = 1;
        return Step::next;
    case PROTOCOL_START_BYTE: {
        const bool lost = p->stored != 0;
        discard_stored(p);
        if (lost)
            report(p, PROTOCOL_ERROR_LOST_BYTES);
        return Step::next;
    }
    case PROTOCOL_END_BYTE:
        return feed_end_byte(p);
    default:
        break;
    }
    if (byte == PROTOCOL_RAW_LENGTH_BYTE && p->stored == 0)
        p->raw_length = 1;
    p->buffer[p->stored++] = byte;
    enter_marker_mode_if_marked(p, byte);
    return Step::next;
}

// Whether copy_ordinary_run must leave this byte to feed_byte, given whether
// the byte stored before it is a 0x7C.
bool ends_ordinary_run(uint8_t byte, bool after_marker)
{
    return (byte & 0xFCu) == PROTOCOL_MARKER_BYTE && (byte != PROTOCOL_MARKER_BYTE || after_marker);
}

#if defined(RECEIVER_HAS_AVX2_PATH)
// The 64-byte blocks of copy_ordinary_run: copies whole blocks until one
// holds a stop. Returns whether one did; *done is then the stop's index,
// otherwise the end of the last whole block, and *previous_marker whether
// that block ended in a 0x7C.
__attribute__((target("avx2"))) bool copy_ordinary_blocks_avx2(
    uint8_t* target, const uint8_t* source, size_t count, size_t* done, uint64_t* previous_marker)
{
    const __m256i range_mask = _mm256_set1_epi8(static_cast<char>(0xFC));
    const __m256i marker = _mm256_set1_epi8(static_cast<char>(PROTOCOL_MARKER_BYTE));
    size_t i = 0;
    for (; i + 64 <= count; i += 64) {
        const __m256i low = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(source + i));
        const __m256i high = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(source + i + 32));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(target + i), low);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(target + i + 32), high);
        const uint64_t range_low = static_cast<uint32_t>(
            _mm256_movemask_epi8(_mm256_cmpeq_epi8(_mm256_and_si256(low, range_mask), marker)));
        const uint64_t range_high = static_cast<uint32_t>(
            _mm256_movemask_epi8(_mm256_cmpeq_epi8(_mm256_and_si256(high, range_mask), marker)));
        const uint64_t range = range_low | range_high << 32;
        if (range == 0) {
            *previous_marker = 0;
            continue;
        }
        const uint64_t markers_low
            = static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(low, marker)));
        const uint64_t markers_high
            = static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(high, marker)));
        const uint64_t markers = markers_low | markers_high << 32;
        const uint64_t stops = (range & ~markers) | (markers & (markers << 1 | *previous_marker));
        if (stops != 0) {
            *done = i + static_cast<size_t>(__builtin_ctzll(stops));
            return true;
        }
        *previous_marker = markers >> 63;
    }
    *done = i;
    return false;
}
#endif

// Copies the leading run of ordinary bytes from source to target and returns
// its length. In framed mode (once something is stored) a byte outside
// 0x7C..0x7F is only stored, and so is a 0x7C that does not follow another
// stored 0x7C: only the fourth 0x7C in a row can switch to marker mode. The
// run ends before a 0x7D..0x7F and before a 0x7C that follows a 0x7C, which
// feed_byte then takes. after_marker tells whether the last byte stored
// before the run is a 0x7C.
//
// Sixteen (or eight) bytes are tested at a time. A block that holds a stop
// is stored whole, which is harmless: only the bytes before the stop count
// as stored, and count bytes of room are there.
size_t copy_ordinary_run(uint8_t* target, const uint8_t* source, size_t count, bool after_marker)
{
    size_t i = 0;
#if defined(__SSE2__)
    const __m128i range_mask = _mm_set1_epi8(static_cast<char>(0xFC));
    const __m128i marker = _mm_set1_epi8(static_cast<char>(PROTOCOL_MARKER_BYTE));
    // One bit per byte of the block: the 0x7C bytes, and the 0x7C..0x7F bytes.
    auto markers_in = [&](__m128i block) {
        return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(block, marker)));
    };
    auto range_in = [&](__m128i block) {
        return static_cast<unsigned>(
            _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_and_si128(block, range_mask), marker)));
    };
    unsigned previous_marker = after_marker ? 1u : 0u;
    auto stops_of = [&](unsigned markers, unsigned range) {
        return (range & ~markers) | (markers & (markers << 1 | previous_marker));
    };
#if defined(RECEIVER_HAS_AVX2_PATH)
    if (use_avx2.load(std::memory_order_relaxed)) {
        uint64_t carry = previous_marker;
        if (copy_ordinary_blocks_avx2(target, source, count, &i, &carry))
            return i;
        previous_marker = static_cast<unsigned>(carry);
    }
#endif
    for (; i + 32 <= count; i += 32) {
        const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + i));
        const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + i + 16));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(target + i), low);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(target + i + 16), high);
        const unsigned range = range_in(low) | range_in(high) << 16;
        if (range == 0) {
            previous_marker = 0;
            continue;
        }
        const unsigned markers = markers_in(low) | markers_in(high) << 16;
        const unsigned stops = stops_of(markers, range);
        if (stops != 0)
            return i + static_cast<size_t>(__builtin_ctz(stops));
        previous_marker = markers >> 31;
    }
    for (; i + 16 <= count; i += 16) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(target + i), block);
        const unsigned markers = markers_in(block);
        const unsigned stops = stops_of(markers, range_in(block));
        if (stops != 0)
            return i + static_cast<size_t>(__builtin_ctz(stops));
        previous_marker = (markers >> 15) & 1u;
    }
    after_marker = previous_marker != 0;
#else
    // After masking the two low bits and XOR with 0x7C a byte of the range
    // is zero; the classic zero-byte test finds a word that holds one, whose
    // bytes are then looked at one by one.
    constexpr uint64_t ones = 0x0101010101010101u;
    constexpr uint64_t highs = 0x8080808080808080u;
    for (; i + 8 <= count; i += 8) {
        uint64_t word;
        std::memcpy(&word, source + i, 8);
        const uint64_t zero_where_special = (word & 0xFCFCFCFCFCFCFCFCu) ^ 0x7C7C7C7C7C7C7C7Cu;
        if ((zero_where_special - ones) & ~zero_where_special & highs) {
            for (size_t k = i; k < i + 8; ++k) {
                if (ends_ordinary_run(source[k], after_marker))
                    return k;
                target[k] = source[k];
                after_marker = source[k] == PROTOCOL_MARKER_BYTE;
            }
            continue;
        }
        std::memcpy(target + i, &word, 8);
        after_marker = false;
    }
#endif
    for (; i < count && !ends_ordinary_run(source[i], after_marker); ++i) {
        target[i] = source[i];
        after_marker = source[i] == PROTOCOL_MARKER_BYTE;
    }
    return i;
}

// Stores the longest prefix of [begin, end) that feed_byte would only store,
// leaving every byte that may deliver, report or change the mode to
// feed_byte. Returns where feed_byte must carry on.
//
// In framed mode an escape followed by any byte but 0x7C only stores that
// byte, so the run goes on behind it: a packet costs one pass however many
// escapes its payload needs. An escaped 0x7C may complete four in a row, and
// an escape that ends the chunk leaves a pending escape: both are
// feed_byte's.
const uint8_t* store_run(ApplicationProtocol* p, const uint8_t* begin, const uint8_t* end)
{
    const size_t available = static_cast<size_t>(end - begin);
    // Bytes that can be stored before the buffer-full check would fire.
    const size_t room = p->capacity - p->stored;
    if (p->raw_length || p->marker_mode) {
        // Unframed data is stored as it comes once the length is known; the
        // last byte of the packet delivers it, so feed_byte takes that one.
        const uint32_t header = p->raw_length ? raw_header_size : marker_length_size;
        if (p->stored < header)
            return begin;
        const uint64_t total = p->raw_length ? raw_packet_total(p) : marker_packet_total(p);
        const size_t run
            = static_cast<size_t>(std::min<uint64_t>(std::min(available, room), total - 1 - p->stored));
        if (run != 0)
            std::memcpy(p->buffer + p->stored, begin, run);
        p->stored += static_cast<uint32_t>(run);
        return begin + run;
    }
    // A pending escape, and a 0x51 stored first, are feed_byte's.
    if (p->escape_pending || (p->stored == 0 && *begin == PROTOCOL_RAW_LENGTH_BYTE))
        return begin;
    uint8_t* const target = p->buffer + p->stored;
    bool after_marker = p->stored != 0 && p->buffer[p->stored - 1] == PROTOCOL_MARKER_BYTE;
    size_t taken = 0;
    size_t stored = 0;
    for (;;) {
        const size_t limit = std::min(available - taken, room - stored);
        const size_t run = copy_ordinary_run(target + stored, begin + taken, limit, after_marker);
        taken += run;
        stored += run;
        if (run != 0)
            after_marker = begin[taken - 1] == PROTOCOL_MARKER_BYTE;
        // The escape passes the buffer-full check exactly when its byte does:
        // the escape itself stores nothing.
        if (taken + 1 >= available || stored == room || begin[taken] != PROTOCOL_ESCAPE_BYTE
            || begin[taken + 1] == PROTOCOL_MARKER_BYTE)
            break;
        target[stored++] = begin[taken + 1];
        taken += 2;
        after_marker = false;
    }
    p->stored += static_cast<uint32_t>(stored);
    return begin + taken;
}

template <bool bulk> int parse(ApplicationProtocol* p, const uint8_t* data, uint32_t length)
{
    assert(p != nullptr);
    if (length == 0)
        return 0;
    assert(data != nullptr);
    // Fewer than 2^31 packets fit into 2^32 bytes (each takes at least
    // three), so the count cannot overflow.
    int packets = 0;
    const uint8_t* const end = data + length;
    for (const uint8_t* cursor = data; cursor != end;) {
        if (bulk) {
            cursor = store_run(p, cursor, end);
            if (cursor == end)
                break;
        }
        switch (feed_byte(p, *cursor++)) {
        case Step::delivered:
            ++packets;
            break;
        case Step::buffer_full:
            return -1;
        case Step::next:
            break;
        }
    }
    return packets;
}

} // namespace

int parseDataBytewise(ApplicationProtocol* instance, const uint8_t* data, uint32_t length)
{
    return parse<false>(instance, data, length);
}

bool useWidestReceiverBlocks(bool widest)
{
#if defined(RECEIVER_HAS_AVX2_PATH)
    use_avx2 = widest && cpu_has_avx2;
    return cpu_has_avx2;
#else
    (void)widest;
    return false;
#endif
}

extern "C" {

uint32_t getInstanceSize(void)
{
    return sizeof(ApplicationProtocol);
}

ApplicationProtocol* createApplicationProtocol(ReceivedPacketCallback on_packet,
    ReceiveErrorCallback on_error, void* user_data, void* storage, uint8_t* buffer, uint32_t capacity)
{
    assert(storage != nullptr);
    assert(reinterpret_cast<uintptr_t>(storage) % alignof(ApplicationProtocol) == 0);
    assert(buffer != nullptr || capacity == 0);
    auto* instance = new (storage) ApplicationProtocol;
    instance->buffer = buffer;
    instance->capacity = capacity;
    instance->stored = 0;
    instance->on_packet = on_packet;
    instance->on_error = on_error;
    instance->raw_length = 0;
    instance->marker_mode = 0;
    instance->user_data = user_data;
    instance->escape_pending = 0;
    return instance;
}

void destroyProtocol(ApplicationProtocol* /*instance*/)
{
    // The caller owns the storage and the buffer; nothing was acquired.
}

int parseData(ApplicationProtocol* instance, const uint8_t* data, uint32_t length)
{
    return parse<true>(instance, data, length);
}

const char* get_radar_com_version(void)
{
    return "0a8e9e99e817";
}

const char* get_radar_com_build_date(void)
{
    return "2018-10-16 13:39:16";
}

} // extern "C"
