/* The module wire codec: plain functions with C linkage.
 * Framing and the receiver, the command builders and the message decoders. */
#ifndef LINKWELL_PROTOCOL_H
#define LINKWELL_PROTOCOL_H

#include "protocol_commands.h"
#include "protocol_framing.h"
#include "protocol_parser.h"

#endif
