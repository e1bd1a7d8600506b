#include <linkwell/DataPacketFormater.hpp>

#include <linkwell/DataType.hpp>
#include <linkwell/protocol_parser.h>

#include "common/LittleEndian.hpp"
#include "recording/StdoutReport.hpp"
#include "recording/TextNumbers.hpp"

#include <string>
#include <string_view>
#include <vector>

namespace Sarvik {

namespace {

constexpr unsigned first_converted_version = 12;

void append_32bits(Bytes& message, uint32_t value)
{
    little_endian::append_u32(message, value);
}

void append_32bits(Bytes& message, float value)
{
    little_endian::append_f32(message, value);
}

// The head of an application-data message of the content id.
Bytes appdata_head(uint32_t content_id)
{
    Bytes head;
    head.reserve(5);
    head.push_back(LINKWELL_MESSAGE_APPDATA);
    append_32bits(head, content_id);
    return head;
}

// The message of a binary record: the head and the stored bytes, in one
// allocation (playback makes one per packet).
Bytes with_head(const Bytes& head, const Bytes& record)
{
    Bytes message;
    message.reserve(head.size() + record.size());
    message.insert(message.end(), head.begin(), head.end());
    message.insert(message.end(), record.begin(), record.end());
    return message;
}

Bytes with_appdata_head(uint32_t content_id, const Bytes& record)
{
    Bytes message;
    message.reserve(5 + record.size());
    message.push_back(LINKWELL_MESSAGE_APPDATA);
    append_32bits(message, content_id);
    message.insert(message.end(), record.begin(), record.end());
    return message;
}

// The fields of one stored CSV line, each up to the next ';' or the end of
// the line. Past the last field an empty field comes back, which no
// number conversion accepts.
class CsvFields {
public:
    explicit CsvFields(const Bytes& line)
        : line_(reinterpret_cast<const char*>(line.data()), line.size())
    { }

    std::string_view next()
    {
        if (position_ >= line_.size())
            return {};
        const size_t end = std::min(line_.find(';', position_), line_.size());
        const std::string_view field = line_.substr(position_, end - position_);
        position_ = end + 1;
        return field;
    }

private:
    std::string_view line_;
    size_t position_ = 0;
};

std::string_view without_final_newline(std::string_view field)
{
    if (!field.empty() && field.back() == '\n')
        field.remove_suffix(1);
    return field;
}

// What a data line holds after its time stamp, field by field.
enum class Field {
    U32, // unsigned 32-bit number
    F32, // float
    U8, // signed decimal integer of which the low byte is kept
    F32Array, // "[1.5,2]": the items as floats
    Text, // the rest of the field: u32 length, then the bytes
    Zero, // a u32 0 that the line does not hold
};

struct CsvFormat {
    const char* header_line;
    const char* header_warning;
    Bytes head;
    std::vector<Field> fields;
};

// Appends the items of a bracketed array field; false (with its warning)
// when the field is not so bracketed.
bool append_array(Bytes& message, std::string_view field)
{
    field = without_final_newline(field);
    if (field.size() < 2 || field.front() != '[' || field.back() != ']') {
        report_line("WARNING: invalid string array: " + std::string(field));
        return false;
    }
    std::string_view items = field.substr(1, field.size() - 2);
    // Split as a stream reads items up to each ',': an empty list has no
    // item, and a ',' at the very end adds none.
    while (!items.empty()) {
        const size_t comma = items.find(',');
        append_32bits(message, text_to_float(items.substr(0, comma)));
        items = comma == std::string_view::npos ? std::string_view() : items.substr(comma + 1);
    }
    return true;
}

Bytes csv_from_disk(const CsvFormat& format, const Bytes& record)
{
    CsvFields fields(record);
    if (fields.next() == "TimeStamp") {
        const std::string line(record.begin(), record.end());
        if (line != format.header_line)
            report_line(format.header_warning + line);
        return {};
    }
    Bytes message = format.head;
    for (Field kind : format.fields) {
        switch (kind) {
        case Field::U32:
            append_32bits(message, text_to_u32(fields.next()));
            break;
        case Field::F32:
            append_32bits(message, text_to_float(fields.next()));
            break;
        case Field::U8:
            message.push_back(static_cast<uint8_t>(text_to_int(fields.next())));
            break;
        case Field::F32Array:
            if (!append_array(message, fields.next()))
                return {};
            break;
        case Field::Text: {
            const std::string_view text = without_final_newline(fields.next());
            append_32bits(message, static_cast<uint32_t>(text.size()));
            message.insert(message.end(), text.begin(), text.end());
            break;
        }
        case Field::Zero:
            append_32bits(message, uint32_t { 0 });
            break;
        }
    }
    return message;
}

using F = Field;

const CsvFormat sleep_format { "TimeStamp;FrameCounter;State;RPM;ObjectDistance;SignalQuality;MovementSlow;"
                               "MovementFast\n",
    "WARNING: invalid header for sleep data: ", appdata_head(LINKWELL_CONTENT_ID_SLEEP_STATUS),
    { F::U32, F::U32, F::F32, F::F32, F::U32, F::F32, F::F32 } };

const CsvFormat respiration_format { "TimeStamp;State;RPM;ObjectDistance;ObjectMovement;SignalQuality\n",
    "WARNING: invalid header for respiration data: ", appdata_head(LINKWELL_CONTENT_ID_RESPIRATION_STATUS),
    { F::Zero, F::U32, F::U32, F::F32, F::F32, F::U32 } };

const CsvFormat string_format { "TimeStamp;ContentId;Info;Message\n",
    "WARNING: invalid header for string data: ", { LINKWELL_MESSAGE_DATA, LINKWELL_DATA_SUBTYPE_STRING },
    { F::U32, F::U32, F::Text } };

const CsvFormat presence_single_format { "TimeStamp;Counter;PresenceState;Distance;Direction;SignalQuality\n",
    "WARNING: invalid header for presence single data: ", appdata_head(LINKWELL_CONTENT_ID_PRESENCE_SINGLE),
    { F::U32, F::U32, F::F32, F::U8, F::U32 } };

const CsvFormat presence_movinglist_format {
    "TimeStamp;Counter;PresenceState;MovementIntervalCount;DetectionCount;MovementSlowItem;MovementFastItem;"
    "DetectionDistance;DetectionRadarCrossSection;DetectionVelocity\n",
    "WARNING: invalid header for presence moving list data: ",
    appdata_head(LINKWELL_CONTENT_ID_PRESENCE_MOVINGLIST),
    { F::U32, F::U32, F::U32, F::U32, F::F32Array, F::F32Array, F::F32Array, F::F32Array, F::F32Array }
};

const CsvFormat respiration_detectionlist_format {
    "TimeStamp;Counter;DetectionCount;DetectionDistanceItems;DetectionRadarCrossSectionItems;"
    "DetectionVelocityItems\n",
    "WARNING: invalid header for respiration data: ",
    appdata_head(LINKWELL_CONTENT_ID_RESPIRATION_DETECTIONLIST),
    { F::U32, F::U32, F::F32Array, F::F32Array, F::F32Array }
};

const CsvFormat respiration_movinglist_format {
    "TimeStamp;Counter;MovementIntervalCount;MovementSlowItems;MovementFastItems\n",
    "WARNING: invalid header for respiration data: ",
    appdata_head(LINKWELL_CONTENT_ID_RESPIRATION_MOVINGLIST), { F::U32, F::U32, F::F32Array, F::F32Array }
};

const CsvFormat vitalsigns_format {
    "TimeStamp;FrameCounter;State;RPM;Distance;RespirationConfidence;HeartBPM;HeartDistance;HeartConfidence;"
    "NormalizedMovementSlow;NormalizedMovementFast;NormalizedMovementStart;NormalizedMovementEnd\n",
    "WARNING: invalid header for vital signs data: ", appdata_head(LINKWELL_CONTENT_ID_VITAL_SIGNS),
    { F::U32, F::U32, F::F32, F::F32, F::F32, F::F32, F::F32, F::F32, F::F32, F::F32, F::F32, F::F32 }
};

const CsvFormat sleepstage_format { "TimeStamp;FrameCounter;SleepStage;Confidence\n",
    "WARNING: invalid header for sleep stage data: ", appdata_head(LINKWELL_CONTENT_ID_SLEEP_STAGE),
    { F::U32, F::U32, F::U32 } };

const CsvFormat respiration_normalizedmovementlist_format {
    "TimeStamp;Counter;Start;BinLength;Count;NormalizedMovementSlowItems;NormalizedMovementFastItems\n",
    "WARNING: invalid header for respiration data: ",
    appdata_head(LINKWELL_CONTENT_ID_RESPIRATION_NORMALIZEDMOVEMENTLIST),
    { F::U32, F::F32, F::F32, F::U32, F::F32Array, F::F32Array }
};

} // namespace

DataPacketFormater::DataPacketFormater(unsigned meta_version)
    : meta_version_(meta_version)
{ }

unsigned DataPacketFormater::supported_data_types()
{
    return 0x7FFFFF & ~unsigned { PerformanceStatusType };
}

Bytes DataPacketFormater::from_disk(unsigned data_type, const Bytes& record) const
{
    if (meta_version_ < first_converted_version) {
        report_line("WARNING: attempting to convert using unsupported meta version: "
            + meta_version_text(meta_version_));
        return {};
    }
    if ((data_type & supported_data_types()) == 0) {
        report_line("WARNING: attempting to convert unsupported disk format: " + std::to_string(data_type)
            + " to packet");
        return {};
    }
    switch (data_type) {
    case BasebandApDataType:
        return baseband_ap_from_disk(record);
    case BasebandIqDataType:
        return baseband_iq_from_disk(record);
    case SleepDataType:
        return sleep_from_disk(record);
    case RespirationDataType:
        return respiration_from_disk(record);
    case StringDataType:
        return stringdata_from_disk(record);
    case PulseDopplerFloatDataType:
        return pulsedoppler_float_from_disk(record);
    case PulseDopplerByteDataType:
        return pulsedoppler_byte_from_disk(record);
    case NoiseMapFloatDataType:
        return noisemap_float_from_disk(record);
    case NoiseMapByteDataType:
        return noisemap_byte_from_disk(record);
    case FloatDataType:
        return float_from_disk(record);
    case ByteDataType:
        return byte_from_disk(record);
    case PresenceSingleDataType:
        return presence_single_from_disk(record);
    case PresenceMovingListDataType:
        return presence_movinglist_from_disk(record);
    case RespirationDetectionListDataType:
        return respiration_detectionlist_from_disk(record);
    case RespirationMovingListDataType:
        return respiration_movinglist_from_disk(record);
    case VitalSignsDataType:
        return vitalsigns_from_disk(record);
    case SleepStageDataType:
        return sleepstage_from_disk(record);
    case RespirationNormalizedMovementListDataType:
        return respiration_normalizedmovementlist_from_disk(record);
    case RadarRfDataType:
        return radar_rf_from_disk(record);
    case RadarRfNormalizedDataType:
        return radar_rf_normalized_from_disk(record);
    case RadarBasebandFloatDataType:
        return radar_baseband_float_from_disk(record);
    case RadarBasebandQ15DataType:
        return radar_baseband_q15_from_disk(record);
    default: // several types at once
        return {};
    }
}

Bytes DataPacketFormater::baseband_ap_from_disk(const Bytes& record) const
{
    return with_appdata_head(LINKWELL_CONTENT_ID_BASEBAND_AP, record);
}

Bytes DataPacketFormater::baseband_iq_from_disk(const Bytes& record) const
{
    return with_appdata_head(LINKWELL_CONTENT_ID_BASEBAND_IQ, record);
}

Bytes DataPacketFormater::pulsedoppler_float_from_disk(const Bytes& record) const
{
    return with_appdata_head(LINKWELL_CONTENT_ID_PULSEDOPPLER_FLOAT, record);
}

Bytes DataPacketFormater::pulsedoppler_byte_from_disk(const Bytes& record) const
{
    return with_appdata_head(LINKWELL_CONTENT_ID_PULSEDOPPLER_BYTE, record);
}

Bytes DataPacketFormater::noisemap_float_from_disk(const Bytes& record) const
{
    return with_appdata_head(LINKWELL_CONTENT_ID_NOISEMAP_FLOAT, record);
}

Bytes DataPacketFormater::noisemap_byte_from_disk(const Bytes& record) const
{
    return with_appdata_head(LINKWELL_CONTENT_ID_NOISEMAP_BYTE, record);
}

Bytes DataPacketFormater::float_from_disk(const Bytes& record) const
{
    return with_head({ LINKWELL_MESSAGE_DATA, LINKWELL_DATA_SUBTYPE_FLOAT }, record);
}

Bytes DataPacketFormater::byte_from_disk(const Bytes& record) const
{
    return with_head({ LINKWELL_MESSAGE_DATA, LINKWELL_DATA_SUBTYPE_BYTE }, record);
}

Bytes DataPacketFormater::radar_rf_from_disk(const Bytes& record) const
{
    return with_appdata_head(LINKWELL_CONTENT_ID_RADAR_RF, record);
}

Bytes DataPacketFormater::radar_rf_normalized_from_disk(const Bytes& record) const
{
    return with_appdata_head(LINKWELL_CONTENT_ID_RADAR_RF_NORMALIZED, record);
}

Bytes DataPacketFormater::radar_baseband_float_from_disk(const Bytes& record) const
{
    return with_appdata_head(LINKWELL_CONTENT_ID_RADAR_BASEBAND_FLOAT, record);
}

Bytes DataPacketFormater::radar_baseband_q15_from_disk(const Bytes& record) const
{
    return with_appdata_head(LINKWELL_CONTENT_ID_RADAR_BASEBAND_Q15, record);
}

Bytes DataPacketFormater::sleep_from_disk(const Bytes& record) const
{
    return csv_from_disk(sleep_format, record);
}

Bytes DataPacketFormater::respiration_from_disk(const Bytes& record) const
{
    return csv_from_disk(respiration_format, record);
}

Bytes DataPacketFormater::stringdata_from_disk(const Bytes& record) const
{
    return csv_from_disk(string_format, record);
}

Bytes DataPacketFormater::presence_single_from_disk(const Bytes& record) const
{
    return csv_from_disk(presence_single_format, record);
}

Bytes DataPacketFormater::presence_movinglist_from_disk(const Bytes& record) const
{
    return csv_from_disk(presence_movinglist_format, record);
}

Bytes DataPacketFormater::respiration_detectionlist_from_disk(const Bytes& record) const
{
    return csv_from_disk(respiration_detectionlist_format, record);
}

Bytes DataPacketFormater::respiration_movinglist_from_disk(const Bytes& record) const
{
    return csv_from_disk(respiration_movinglist_format, record);
}

Bytes DataPacketFormater::vitalsigns_from_disk(const Bytes& record) const
{
    return csv_from_disk(vitalsigns_format, record);
}

Bytes DataPacketFormater::sleepstage_from_disk(const Bytes& record) const
{
    return csv_from_disk(sleepstage_format, record);
}

Bytes DataPacketFormater::respiration_normalizedmovementlist_from_disk(const Bytes& record) const
{
    return csv_from_disk(respiration_normalizedmovementlist_format, record);
}

} // namespace Sarvik
