// Reports an error of the recording code's record conversion on standard
// output, "ERROR: " and the message, and returns: it does not throw.
#pragma once

void throw_python_exception(const char* message);
