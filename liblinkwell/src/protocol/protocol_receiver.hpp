// Internal face of the receiver: the plain byte-at-a-time form of parseData.
#pragma once

#include "protocol_framing.h"

// Feeds a chunk exactly as parseData does, but one byte at a time with no
// bulk copying of ordinary bytes. parseData must behave identically in every
// respect (packets, errors, return value, instance state); this form is the
// yardstick that the differential test and the fuzz target hold it to.
int parseDataBytewise(ApplicationProtocol* instance, const uint8_t* data, uint32_t length);
