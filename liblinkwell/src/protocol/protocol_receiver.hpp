// Internal face of the receiver: the plain byte-at-a-time form of parseData.
#pragma once

#include <linkwell/protocol_framing.h>

// Feeds a chunk exactly as parseData does, but one byte at a time with no
// bulk copying of ordinary bytes. parseData must behave identically in every
// respect (packets, errors, return value, instance state); this form is the
// yardstick that the differential test and the fuzz target hold it to.
int parseDataBytewise(ApplicationProtocol* instance, const uint8_t* data, uint32_t length);

// The forms of parseData's bulk loops, narrowest first: the baseline (SSE2,
// or plain words), runs of plain bytes tested 64 at a time with AVX2, and
// with AVX-512 on top whole framed packets, escapes and all, in 64-byte
// blocks.
enum class ReceiverBlocks { baseline, avx2, avx512 };

// The widest form this processor offers; parseData uses it unless told
// otherwise.
ReceiverBlocks widestReceiverBlocks();

// Makes parseData use form, or the widest offered if that is narrower, so
// that tests can hold every form to the byte-at-a-time yardstick.
// Process-wide: call it only while no receiver is in use on another thread.
void useReceiverBlocks(ReceiverBlocks form);
