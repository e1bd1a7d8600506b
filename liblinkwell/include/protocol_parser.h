/* Message decoders of the module protocol: codec records, content ids,
 * HostParser, parse and parse_appdata. C linkage. */
#ifndef LINKWELL_PROTOCOL_PARSER_H
#define LINKWELL_PROTOCOL_PARSER_H

#include "protocol_framing.h"

LINKWELL_EXTERN_C_BEGIN

LINKWELL_EXTERN_C_END

#endif
