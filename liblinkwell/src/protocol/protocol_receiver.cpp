// The receiver: cuts a module byte stream back into packets inside the
// caller's buffer. Three modes: framed (start byte, escaped payload,
// checksum, end byte), raw length (0x51, u32 length, data, one trailing
// byte) and marker (four 0x7C, u32 length, one skipped byte, data).
//
// The behaviour is defined byte by byte (feed_byte). parseData adds a bulk
// path that stores whole runs of bytes which cannot change the state except
// for being stored, and with AVX-512 a block loop that takes framed packets
// whole; both must stay indistinguishable from parseDataBytewise.
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
// Where the compiler can build AVX2 and AVX-512 code for one function, the
// bulk loops get wider forms that are chosen at run time on processors that
// have them.
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define RECEIVER_HAS_WIDE_PATHS 1
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

#if defined(RECEIVER_HAS_WIDE_PATHS)
ReceiverBlocks widest_offered()
{
    // Also safe before the runtime's own detection has run.
    __builtin_cpu_init();
    const bool avx2
        = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi") && __builtin_cpu_supports("popcnt");
    if (avx2 && __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw")
        && __builtin_cpu_supports("avx512vbmi2"))
        return ReceiverBlocks::avx512;
    return avx2 ? ReceiverBlocks::avx2 : ReceiverBlocks::baseline;
}
#else
ReceiverBlocks widest_offered()
{
    return ReceiverBlocks::baseline;
}
#endif

const ReceiverBlocks widest_blocks = widest_offered();
// The form the bulk loops use; tests choose narrower ones to check them as
// well.
std::atomic<ReceiverBlocks> block_form { widest_blocks };

#if defined(RECEIVER_HAS_WIDE_PATHS)
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
#if defined(RECEIVER_HAS_WIDE_PATHS)
    if (block_form.load(std::memory_order_relaxed) != ReceiverBlocks::baseline)
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

#if defined(RECEIVER_HAS_WIDE_PATHS)
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
#if defined(RECEIVER_HAS_WIDE_PATHS)
    if (block_form.load(std::memory_order_relaxed) != ReceiverBlocks::baseline) {
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

#if defined(RECEIVER_HAS_WIDE_PATHS)
// The AVX-512 block loop of framed mode. Bit i of a mask stands for byte i
// of a 64-byte block. It takes a packet from its start byte to its end byte
// in one pass: escapes are squeezed out of a block as it is stored, so a
// block costs the same whether it holds escapes or not, and the checksum is
// gathered on the way. It leaves to the careful path only for a raw length
// packet, for 0x7C bytes that may switch to marker mode, and for the end of
// the chunk or of the buffer's room.

// Which of a block's 0x7F bytes are escapes, when its first byte is not
// escaped: in a run of 0x7F the first, third, fifth ... byte escapes the
// byte after it. Adding the starts of the runs that start on an even bit to
// the runs clears those runs and leaves the others: the XOR with the even
// bits then holds the even bits of the first and the odd bits of the others.
inline uint64_t escapes_among(uint64_t sevens)
{
    constexpr uint64_t even_bits = 0x5555555555555555u;
    const uint64_t starts = sevens & ~(sevens << 1);
    return sevens & ((sevens + (starts & even_bits)) ^ even_bits);
}

// The bytes the block loop must not simply store: an unescaped 0x7D or 0x7E,
// the escape of a 0x7C (which may complete four in a row) and a 0x7C right
// behind a 0x7C (a second one in a row). markers and frames mark the 0x7C,
// and the 0x7D and 0x7E bytes; after_marker tells whether the byte stored
// last before the block is a 0x7C. A stop is never an escaped byte: an
// escaped 0x7C is stopped at one byte early, and the byte before an escaped
// byte is its escape, never a 0x7C.
inline uint64_t stops_among(uint64_t escapes, uint64_t markers, uint64_t frames, uint64_t after_marker)
{
    return (frames & ~(escapes << 1)) | (escapes & (markers >> 1))
        | (markers & (markers << 1 | after_marker));
}

// Where the block loop got to. It runs in framed mode with no escape
// pending. Each block is read whole and stored whole at the stored count,
// escapes squeezed out, so it needs 64 bytes of input and of room. A block
// that ends in an escape is taken without its last byte, which the next
// block then begins with. Small enough to come back in two registers.
struct BlockRun {
    const uint8_t* cursor;
    uint32_t stored;
    uint8_t read_xor; // of the bytes gone past, escapes included
    bool after_marker; // the byte stored last is a 0x7C
    bool stopped; // at a stop, which cursor points at
};

// Books a block read whole, of which escapes were not stored.
inline void take_whole_block(BlockRun& run, uint64_t escapes)
{
    run.stored += 64 - static_cast<uint32_t>(__builtin_popcountll(escapes));
    run.cursor += 64;
}

// Books the bytes of a block before its first stop, where the run ends.
// Returns the mask of those bytes.
inline uint64_t take_up_to_stop(BlockRun& run, uint64_t escapes, uint64_t stops)
{
    const auto first = static_cast<unsigned>(__builtin_ctzll(stops));
    const uint64_t before = (uint64_t { 1 } << first) - 1;
    run.stored += first - static_cast<uint32_t>(__builtin_popcountll(escapes & before));
    run.cursor += first;
    run.stopped = true;
    return before;
}

uint8_t fold(uint64_t lanes)
{
    lanes ^= lanes >> 32;
    lanes ^= lanes >> 16;
    lanes ^= lanes >> 8;
    return static_cast<uint8_t>(lanes);
}

// The block loop proper: runs from where run stands for count blocks at
// most, storing into buffer.
__attribute__((target("avx512f,avx512bw,avx512vbmi2,bmi,popcnt"))) BlockRun run_blocks_avx512(
    uint8_t* buffer, BlockRun run, size_t count)
{
    const __m512i marker = _mm512_set1_epi8(static_cast<char>(PROTOCOL_MARKER_BYTE));
    const __m512i escape = _mm512_set1_epi8(static_cast<char>(PROTOCOL_ESCAPE_BYTE));
    const __m512i start = _mm512_set1_epi8(static_cast<char>(PROTOCOL_START_BYTE));
    const __m512i two = _mm512_set1_epi8(2);
    __m512i read_xor = _mm512_setzero_si512();
    uint64_t after_marker = run.after_marker;
    for (; count != 0; --count) {
        const __m512i block = _mm512_loadu_si512(run.cursor);
        const uint64_t sevens = _mm512_cmpeq_epi8_mask(block, escape);
        const uint64_t markers = _mm512_cmpeq_epi8_mask(block, marker);
        // 0x7D and 0x7E: less than 2 above 0x7D.
        const uint64_t frames = _mm512_cmplt_epu8_mask(_mm512_sub_epi8(block, start), two);
        const uint64_t escapes = escapes_among(sevens);
        const uint64_t stops = stops_among(escapes, markers, frames, after_marker);
        _mm512_storeu_si512(buffer + run.stored, _mm512_maskz_compress_epi8(~escapes, block));
        if (stops != 0) {
            const uint64_t before = take_up_to_stop(run, escapes, stops);
            read_xor = _mm512_xor_si512(read_xor, _mm512_maskz_mov_epi8(before, block));
            break;
        }
        if (escapes >> 63) {
            // The escape is read again as the first byte of the next block.
            read_xor = _mm512_xor_si512(read_xor, _mm512_maskz_mov_epi8(~(uint64_t { 1 } << 63), block));
            take_whole_block(run, escapes);
            after_marker = (markers >> 62) & 1;
            --run.cursor;
            continue;
        }
        read_xor = _mm512_xor_si512(read_xor, block);
        take_whole_block(run, escapes);
        after_marker = markers >> 63;
    }
    run.after_marker = after_marker != 0;
    uint64_t lanes[8];
    _mm512_storeu_si512(lanes, read_xor);
    run.read_xor
        ^= fold(lanes[0] ^ lanes[1] ^ lanes[2] ^ lanes[3] ^ lanes[4] ^ lanes[5] ^ lanes[6] ^ lanes[7]);
    return run;
}

// Whether the block loop may run on p: in framed mode with no escape
// pending. Each flag is read by itself: read as one wider word, flags that
// discard_stored has just written one at a time could not be taken from its
// stores, and the read would wait for them to reach the cache.
bool framed_and_no_escape_pending(const ApplicationProtocol* p)
{
    const volatile ApplicationProtocol* flags = p;
    return !flags->raw_length && !flags->marker_mode && !flags->escape_pending;
}

// A start or end byte that the block loop stopped at, once the bytes before
// it are stored: taken as feed_byte takes it, with stored standing for the
// stored count the loop kept. read_xor is the XOR of the bytes the loop went
// past since the stored count was from, escapes included: with one more
// 0x7F when their number is odd, it is the XOR of the bytes stored since.
// Returns whether a packet was delivered.
bool take_frame_byte(
    ApplicationProtocol* p, uint8_t byte, uint32_t stored, uint32_t from, uint8_t read_xor, size_t escapes)
{
    p->stored = stored;
    if (byte == PROTOCOL_START_BYTE) {
        discard_stored(p);
        if (stored != 0)
            report(p, PROTOCOL_ERROR_LOST_BYTES);
        return false;
    }
    if (stored == 0) {
        report(p, PROTOCOL_ERROR_INCOMPLETE);
        return false;
    }
    // The stored bytes end in the checksum: with it, their XOR and the start
    // byte's is zero.
    const uint8_t stored_xor = xor_of(p->buffer, from) ^ read_xor
        ^ ((escapes & 1u) ? uint8_t { PROTOCOL_ESCAPE_BYTE } : uint8_t { 0 });
    discard_stored(p);
    if ((PROTOCOL_START_BYTE ^ stored_xor) != 0) {
        report(p, PROTOCOL_ERROR_CRC);
        return false;
    }
    deliver(p, p->buffer, stored - 1);
    return true;
}

// Runs the block loop from cursor for as long as it applies, taking start
// and end bytes on the way. Returns where the careful path carries on, with
// the instance's state brought up to there; counts the packets delivered.
const uint8_t* framed_blocks(ApplicationProtocol* p, const uint8_t* cursor, const uint8_t* end, int* packets)
{
    // A callback may change anything: the state is read afresh after each
    // start or end byte. A raw length packet is the careful path's.
    while (framed_and_no_escape_pending(p)
        && !(p->stored == 0 && cursor != end && *cursor == PROTOCOL_RAW_LENGTH_BYTE)) {
        uint8_t* const buffer = p->buffer;
        const uint32_t from = p->stored;
        BlockRun run { cursor, from, 0, from != 0 && buffer[from - 1] == PROTOCOL_MARKER_BYTE, false };
        do {
            // The stored count grows by 64 at most per block.
            const size_t count
                = std::min(static_cast<size_t>(end - run.cursor), size_t { p->capacity - run.stored }) / 64;
            if (count == 0) {
                p->stored = run.stored;
                return run.cursor;
            }
            run = run_blocks_avx512(buffer, run, count);
        } while (!run.stopped);
        const uint8_t byte = *run.cursor;
        if (byte != PROTOCOL_START_BYTE && byte != PROTOCOL_END_BYTE) {
            p->stored = run.stored;
            return run.cursor;
        }
        // The escapes are the bytes gone past but not stored.
        const size_t escapes = static_cast<size_t>(run.cursor - cursor) - (run.stored - from);
        cursor = run.cursor + 1;
        *packets += take_frame_byte(p, byte, run.stored, from, run.read_xor, escapes);
    }
    return cursor;
}
#endif

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
#if defined(RECEIVER_HAS_WIDE_PATHS)
    const ReceiverBlocks form = block_form.load(std::memory_order_relaxed);
#endif
    for (const uint8_t* cursor = data; cursor != end;) {
        if (bulk) {
#if defined(RECEIVER_HAS_WIDE_PATHS)
            if (form == ReceiverBlocks::avx512) {
                cursor = framed_blocks(p, cursor, end, &packets);
                if (cursor == end)
                    break;
            }
#endif
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

ReceiverBlocks widestReceiverBlocks()
{
    return widest_blocks;
}

void useReceiverBlocks(ReceiverBlocks form)
{
    block_form = std::min(form, widest_blocks);
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
