#include <linkwell/DataRecord.hpp>

#include <linkwell/DataPacketFormater.hpp>
#include <linkwell/DataType.hpp>

#include "common/throw_python_exception.hpp"
#include "log/ConsoleAndFileLogger.hpp"
#include "protocol/Parser.hpp"
#include "protocol/protocol_records.hpp"

#include <algorithm>
#include <cctype>
#include <exception>

namespace Sarvik {

namespace {

constexpr unsigned first_converted_version = 12;

// The types that are stored in binary form only.
constexpr uint32_t binary_only_types = BasebandApDataType | BasebandIqDataType | PulseDopplerFloatDataType
    | PulseDopplerByteDataType | NoiseMapFloatDataType | NoiseMapByteDataType | FloatDataType | ByteDataType
    | RadarRfDataType | RadarRfNormalizedDataType | RadarBasebandFloatDataType | RadarBasebandQ15DataType;

// Decodes a rebuilt message with the same decoder as a live one; an empty
// packet (a refused conversion) decodes to nothing.
template <typename Codec, typename Public>
Public decode(
    const Bytes& packet, int (Parser::*parse)(const Parser::Packet&, ParseResult<Codec>*) const, bool* ok)
{
    if (ok)
        *ok = false;
    if (packet.empty())
        return {};
    VoidLogger logger;
    const Parser parser(logger);
    ParseResult<Codec> result;
    (parser.*parse)(packet, &result);
    if (!result.valid)
        return {};
    if (ok)
        *ok = true;
    return to_public(result.record);
}

} // namespace

bool DataRecord::is_csv_header() const
{
    if ((data_type & binary_only_types) != 0 || data.size() < 10)
        return false;
    return std::equal(data.begin(), data.begin() + 10, "timestamp;",
        [](uint8_t stored, char wanted) { return std::tolower(stored) == wanted; });
}

bool DataRecord::can_convert(uint32_t wanted_type) const
{
    const char* refusal = nullptr;
    if (meta_version < first_converted_version)
        refusal = "unsupported meta file version";
    else if (!is_valid || data.empty())
        refusal = "cannot convert invalid disk record to binary";
    else if (is_user_header)
        refusal = "cannot convert user header to binary";
    else if (wanted_type != data_type)
        refusal = "cannot convert disk record to binary: type mismatch";
    else if ((wanted_type & DataPacketFormater::supported_data_types()) == 0)
        refusal = "cannot convert unsupported data type to binary";
    else if (is_csv_header())
        refusal = "cannot convert csv header to binary";
    if (refusal)
        throw_python_exception(refusal);
    return refusal == nullptr;
}

Bytes DataRecord::to_binary_packet(bool* ok) const
{
    if (ok)
        *ok = false;
    if (!can_convert(data_type))
        return {};
    Bytes packet;
    // A stored number that is no number fails this record, not the caller.
    try {
        packet = DataPacketFormater(meta_version).from_disk(data_type, data);
    } catch (const std::exception&) {
        packet.clear();
    }
    if (packet.empty()) {
        throw_python_exception("failed to convert disk record to binary");
        return {};
    }
    if (ok)
        *ok = true;
    return packet;
}

Bytes DataRecord::packet_of(uint32_t wanted_type, bool* ok) const
{
    *ok = false;
    return can_convert(wanted_type) ? to_binary_packet(ok) : Bytes();
}

SleepData DataRecord::to_sleep_data(bool* ok) const
{
    bool converted = false;
    const Bytes packet = packet_of(SleepDataType, &converted);
    return decode<::SleepData, SleepData>(packet, &Parser::parse_sleep_status, ok);
}

VitalSignsData DataRecord::to_vitalsigns_data(bool* ok) const
{
    bool converted = false;
    const Bytes packet = packet_of(VitalSignsDataType, &converted);
    return decode<::VitalSignsData, VitalSignsData>(packet, &Parser::parse_vitalsigns_status, ok);
}

} // namespace Sarvik
