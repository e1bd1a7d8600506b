// Copies of decoded codec records as the public records that the library
// hands out: same scalar fields, arrays copied out of the packet into owned
// vectors. Call them while the packet is alive (inside a slot, or before the
// packet vector that a ParseResult points into goes away).
#pragma once

#include <linkwell/SarvikData.hpp>
#include <linkwell/protocol_parser.h>

Sarvik::RespirationData to_public(const RespirationData& record);
Sarvik::SleepData to_public(const SleepData& record);
Sarvik::VitalSignsData to_public(const VitalSignsData& record);
Sarvik::SleepStageData to_public(const SleepStageData& record);
Sarvik::PresenceSingleData to_public(const PresenceSingleData& record);
Sarvik::PresenceMovingListData to_public(const PresenceMovingListData& record);
Sarvik::RespirationMovingListData to_public(const RespirationMovingListData& record);
Sarvik::RespirationDetectionListData to_public(const RespirationDetectionListData& record);
Sarvik::RespirationNormalizedMovementListData to_public(const RespirationNormalizedMovementListData& record);
Sarvik::BasebandIqData to_public(const BasebandIqData& record);
Sarvik::BasebandApData to_public(const BasebandApData& record);
Sarvik::RadarRfData to_public(const RadarRfData& record);
Sarvik::RadarRfNormalizedData to_public(const RadarRfNormalizedData& record);
Sarvik::RadarBasebandFloatData to_public(const RadarBasebandFloatData& record);
Sarvik::RadarBasebandQ15Data to_public(const RadarBasebandQ15Data& record);
Sarvik::PulseDopplerFloatData to_public(const PulseDopplerFloatData& record);
Sarvik::PulseDopplerByteData to_public(const PulseDopplerByteData& record);
Sarvik::DataFloat to_public(const FloatData_& record);
