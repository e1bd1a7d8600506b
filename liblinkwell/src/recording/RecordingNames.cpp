#include "recording/RecordingNames.hpp"

#include <chrono>
#include <cstdio>

#include "recording/UnicodeFile.hpp"

namespace Sarvik {

bool is_safe_name_part(const std::string& text)
{
    return text.find_first_of("/\\") == std::string::npos && text.find("..") == std::string::npos;
}

std::string unused_name(
    const std::string& stem, const std::string& suffix, const std::function<bool(const std::string&)>& taken)
{
    const auto is_free = [&taken](const std::string& name) {
        return !(taken && taken(name)) && !UnicodeFile::file_exists(name);
    };
    std::string name = stem + suffix;
    for (int n = 2; !is_free(name); ++n)
        name = stem + "_" + std::to_string(n) + suffix;
    return name;
}

std::string final_data_file_name(const std::string& stem, const std::string& extension)
{
    const std::string plain = stem + "." + extension;
    if (!UnicodeFile::file_exists(plain))
        return plain;
    const auto since_epoch = std::chrono::system_clock::now().time_since_epoch();
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(since_epoch).count() % 1000;
    char suffix[8];
    std::snprintf(suffix, sizeof suffix, "_%03dms", static_cast<int>(ms));
    return unused_name(stem + suffix, "." + extension);
}

} // namespace Sarvik
