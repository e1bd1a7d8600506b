#include <linkwell/SarvikException.hpp>

namespace Sarvik {

// A null message would make std::runtime_error read through a null pointer.
SarvikException::SarvikException(const char* message, int error_code)
    : std::runtime_error(message ? message : "")
    , code(error_code)
{ }

SarvikException::SarvikException(const std::string& message, int error_code)
    : std::runtime_error(message)
    , code(error_code)
{ }

// Defined here so that the exception's type information lives in the library
// once, and a client's catch clause matches what the library throws.
SarvikException::~SarvikException() = default;

} // namespace Sarvik
