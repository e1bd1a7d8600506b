// The recordable data streams of a module, one bit each, and sets of them.
#pragma once

#include <cstdint>

namespace Sarvik {

enum DataType : uint32_t {
    BasebandApDataType = 0x1,
    BasebandIqDataType = 0x2,
    SleepDataType = 0x4,
    RespirationDataType = 0x8,
    PerformanceStatusType = 0x10,
    StringDataType = 0x20,
    PulseDopplerFloatDataType = 0x40,
    PulseDopplerByteDataType = 0x80,
    NoiseMapFloatDataType = 0x100,
    NoiseMapByteDataType = 0x200,
    FloatDataType = 0x400,
    ByteDataType = 0x800,
    PresenceSingleDataType = 0x1000,
    PresenceMovingListDataType = 0x2000,
    RespirationDetectionListDataType = 0x4000,
    RespirationMovingListDataType = 0x8000,
    VitalSignsDataType = 0x10000,
    SleepStageDataType = 0x20000,
    RespirationNormalizedMovementListDataType = 0x40000,
    RadarRfDataType = 0x80000,
    RadarRfNormalizedDataType = 0x100000,
    RadarBasebandFloatDataType = 0x200000,
    RadarBasebandQ15DataType = 0x400000,
};

// A set of DataType bits as a plain mask. 0 is no type and 0xFFFFFFFF every
// type; any other mask with a bit above 0x400000 is invalid.
using DataTypes = uint32_t;

} // namespace Sarvik
