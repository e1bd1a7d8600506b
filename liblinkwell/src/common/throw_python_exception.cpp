#include "common/throw_python_exception.hpp"

#include <iostream>

// A null message is printed as "(null)": streaming a null char pointer would
// set the failbit of standard output and silence every later line of the
// process.
void throw_python_exception(const char* message)
{
    std::cout << "ERROR: " << (message ? message : "(null)") << '\n';
    std::cout.flush();
}
