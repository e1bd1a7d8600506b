#include "recording/StdoutReport.hpp"

#include <iostream>
#include <locale>
#include <sstream>

void report_line(const std::string& text)
{
    std::cout << text << '\n';
    std::cout.flush();
}

void report_file_error(const std::string& reason)
{
    std::cerr << "  |- FILE error: " << reason << '\n';
}

std::string meta_version_text(unsigned version)
{
    std::ostringstream text;
    text.imbue(std::locale::classic());
    text << version / 10.0;
    return text.str();
}
