// Names of the files and directories of a recording. A recording never
// replaces a file or directory that exists: a name that is taken is given a
// suffix instead.
#pragma once

#include <functional>
#include <string>

namespace Sarvik {

// A session id or base name that stays inside the directory it names a
// file in: no '/', '\' and no "..".
bool is_safe_name_part(const std::string& text);

// stem + suffix when nothing of that name exists and `taken` does not claim
// it, else the first free stem + "_2" + suffix, stem + "_3" + suffix ...
std::string unused_name(const std::string& stem, const std::string& suffix,
    const std::function<bool(const std::string&)>& taken = {});

// The final name of a data file: stem + "." + extension; when that exists,
// stem + "_" + the milliseconds of the current wall-clock second (three
// digits) + "ms." + extension; when that exists too, the first free name
// with a further "_2", "_3" ... before the extension.
std::string final_data_file_name(const std::string& stem, const std::string& extension);

} // namespace Sarvik
