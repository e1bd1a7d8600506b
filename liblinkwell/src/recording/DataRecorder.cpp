#include <linkwell/DataRecorder.hpp>

#include "recording/DataTypeTable.hpp"

namespace Sarvik {

std::string DataRecorder::data_type_to_string(DataType type)
{
    const DataTypeInfo* info = find_data_type(type);
    return info ? info->display_name : "<unknown data type>";
}

} // namespace Sarvik
