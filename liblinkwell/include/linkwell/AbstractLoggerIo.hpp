// The line sink behind the library's loggers. A host program may supply its
// own; the logger that receives it owns it and deletes it.
#pragma once

#include <string>

#include "linkwell_export.h"

namespace Sarvik {

class LINKWELL_API AbstractLoggerIo {
public:
    virtual ~AbstractLoggerIo();
    // Receives one complete line, without a line end.
    virtual void log(const std::string& line) = 0;
};

} // namespace Sarvik
