// What the recording code knows of each data type: its display name, the
// default base name of its data files, and the order in which every walk over
// a mask of types visits them.
#pragma once

#include <array>
#include <cstdint>

#include <linkwell/DataType.hpp>

namespace Sarvik {

// Every one of the 23 type bits together.
constexpr DataTypes all_data_type_bits = 0x7FFFFF;
// The mask that stands for every type.
constexpr DataTypes every_data_type = 0xFFFFFFFF;

struct DataTypeInfo {
    DataType type;
    const char* display_name;
    const char* base_name;
};

// The 23 types in walk order: value order, except that respiration moving
// list comes before respiration detection list, and respiration normalized
// movement list before vital signs and sleep stage.
extern const std::array<DataTypeInfo, 23> data_type_walk_order;

// The entry of a single type bit; null for any other value.
const DataTypeInfo* find_data_type(uint32_t value);

// Exactly one of the 23 type bits.
inline bool is_single_data_type(uint32_t value)
{
    return value != 0 && (value & (value - 1)) == 0 && (value & all_data_type_bits) != 0;
}

// A mask that operations accept: only type bits, or every type.
inline bool is_valid_data_types(DataTypes mask)
{
    return mask == every_data_type || (mask & ~all_data_type_bits) == 0;
}

} // namespace Sarvik
