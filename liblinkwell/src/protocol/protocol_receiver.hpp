// Internal face of the receiver: the plain byte-at-a-time form of parseData.
#pragma once

#include <linkwell/protocol_framing.h>

// Feeds a chunk exactly as parseData does, but one byte at a time with no
// bulk copying of ordinary bytes. parseData must behave identically in every
// respect (packets, errors, return value, instance state); this form is the
// yardstick that the differential test and the fuzz target hold it to.
int parseDataBytewise(ApplicationProtocol* instance, const uint8_t* data, uint32_t length);

// parseData tests its input in blocks of the widest form the processor
// offers (AVX2 where there is one) unless told to keep to the baseline form
// (SSE2, or plain words), so that tests can hold both forms to the byte-at-a-
// time yardstick. Returns whether a wider form than the baseline exists.
// Process-wide: call it only while no receiver is in use on another thread.
bool useWidestReceiverBlocks(bool widest);
