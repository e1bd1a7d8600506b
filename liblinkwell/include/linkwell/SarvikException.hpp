// The library's exception: a runtime error that carries an integer code, the
// module's own error code where the module refused a command, otherwise a
// fixed code of the failing check. Thrown by value, caught by reference.
#pragma once

#include <stdexcept>
#include <string>

#include "linkwell_export.h"

namespace Sarvik {

class LINKWELL_API SarvikException : public std::runtime_error {
public:
    SarvikException(const char* message, int code);
    SarvikException(const std::string& message, int code);
    SarvikException(const SarvikException&) = default;
    SarvikException& operator=(const SarvikException&) = default;
    ~SarvikException() override;

    // Read directly by whoever catches the exception.
    int code;
};

} // namespace Sarvik
