// The calling thread's last system error and its text, the same way on
// every platform.
#pragma once

#include <string>

namespace platform {

// The error code the last failed system call of this thread left behind.
int last_error();
// Sets it, for code that reports an error of its own through the same path.
void set_last_error(int code);
// The system's text for the code; empty for 0.
std::string error_text(int code);

// Codes the link layer reports for its own refusals.
int error_invalid_name();
int error_not_a_terminal();
int error_bad_handle();

} // namespace platform
