#include "recording/DataTypeTable.hpp"

namespace Sarvik {

const std::array<DataTypeInfo, 23> data_type_walk_order { {
    { BasebandApDataType, "Baseband amplitude phase data", "sarvik_baseband_ap" },
    { BasebandIqDataType, "Baseband iq data", "sarvik_baseband_iq" },
    { SleepDataType, "Sleep data", "sarvik_sleep" },
    { RespirationDataType, "Respiration data", "sarvik_respiration" },
    { PerformanceStatusType, "Performance status", "sarvik_perf" },
    { StringDataType, "String data", "sarvik_datastring" },
    { PulseDopplerFloatDataType, "Pulse doppler float data", "sarvik_pulsedoppler_float" },
    { PulseDopplerByteDataType, "Pulse doppler byte data", "sarvik_pulsedoppler_byte" },
    { NoiseMapFloatDataType, "Noise map float data", "sarvik_noisemap_float" },
    { NoiseMapByteDataType, "Noise map byte data", "sarvik_noisemap_byte" },
    { FloatDataType, "Float data", "sarvik_datafloat" },
    { ByteDataType, "Byte data", "sarvik_databyte" },
    { PresenceSingleDataType, "presence single", "sarvik_presence_single" },
    { PresenceMovingListDataType, "presence moving list", "sarvik_presence_movinglist" },
    { RespirationMovingListDataType, "respiration moving list", "sarvik_respiration_movinglist" },
    { RespirationDetectionListDataType, "respiration detection list", "sarvik_respiration_detectionlist" },
    { RespirationNormalizedMovementListDataType, "respiration normalized movement list",
        "sarvik_respiration_normalizedmovementlist" },
    { VitalSignsDataType, "vital signs", "sarvik_vitalsigns" },
    { SleepStageDataType, "sleep stage", "sarvik_sleepstage" },
    { RadarRfDataType, "radar rf", "sarvik_radar_rf" },
    { RadarRfNormalizedDataType, "radar rf normalized", "sarvik_radar_rf_normalized" },
    { RadarBasebandFloatDataType, "radar baseband float", "sarvik_radar_baseband_float" },
    { RadarBasebandQ15DataType, "radar baseband Q15", "sarvik_radar_baseband_q15" },
} };

const DataTypeInfo* find_data_type(uint32_t value)
{
    if (!is_single_data_type(value))
        return nullptr;
    for (const auto& info : data_type_walk_order)
        if (info.type == value)
            return &info;
    return nullptr;
}

} // namespace Sarvik
