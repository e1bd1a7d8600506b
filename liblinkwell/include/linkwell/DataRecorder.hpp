// Records the data streams of a module connection to session directories.
#pragma once

#include <string>

#include "DataType.hpp"
#include "linkwell_export.h"

namespace Sarvik {

class LINKWELL_API DataRecorder {
public:
    // The name of a type as log and error texts show it, or
    // "<unknown data type>" for anything but a single type bit.
    static std::string data_type_to_string(DataType type);
};

} // namespace Sarvik
