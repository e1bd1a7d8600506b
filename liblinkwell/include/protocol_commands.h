/* Plain command builders of the module protocol (create*Command): each
 * frames one command through the streaming writer. C linkage. */
#ifndef LINKWELL_PROTOCOL_COMMANDS_H
#define LINKWELL_PROTOCOL_COMMANDS_H

#include "protocol_framing.h"

LINKWELL_EXTERN_C_BEGIN

LINKWELL_EXTERN_C_END

#endif
