#include "recording/RecordFormats.hpp"

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <locale>
#include <sstream>

#include "common/LittleEndian.hpp"
#include "recording/LocalTime.hpp"

namespace Sarvik {
namespace record_formats {

namespace {

using std::chrono::system_clock;

constexpr uint8_t app_data = 0x50;
constexpr uint8_t data_message = 0xA0;

constexpr uint32_t baseband_iq_id = 0x0000000C;
constexpr uint32_t baseband_ap_id = 0x0000000D;
constexpr uint32_t pulsedoppler_float_id = 0x10;
constexpr uint32_t pulsedoppler_byte_id = 0x11;
constexpr uint32_t noisemap_float_id = 0x12;
constexpr uint32_t noisemap_byte_id = 0x13;
constexpr uint32_t radar_rf_id = 0xB13B8F12;
constexpr uint32_t radar_rf_normalized_id = 0xC1A3117E;
constexpr uint32_t radar_baseband_float_id = 0x026F1379;
constexpr uint32_t radar_baseband_q15_id = 0xEC8D0AA5;
constexpr uint32_t sleep_id = 0x2375A16C;
constexpr uint32_t respiration_id = 0x2375FE26;
constexpr uint32_t presence_single_id = 0x723BFA1E;
constexpr uint32_t presence_movinglist_id = 0x723BFA1F;
constexpr uint32_t respiration_detectionlist_id = 0x610A3B02;
constexpr uint32_t respiration_movinglist_id = 0x610A3B00;
constexpr uint32_t vitalsigns_id = 0x20020102;
constexpr uint32_t sleepstage_id = 0x41083A02;
constexpr uint32_t normalizedmovementlist_id = 0xC3A331CF;

// Where the fields after the content id of an application-data message
// begin, and the size of a respiration message.
constexpr size_t app_data_head = 5;
constexpr size_t respiration_size = 29;
// A performance status message: its size and the two values that mark it.
constexpr size_t performance_size = 106;
constexpr uint32_t performance_kind = 5;
constexpr uint32_t performance_body = 92;
// The settings block of a radar-settings message.
constexpr size_t radar_settings_block = 1072;

bool has_content_id(ByteView m, uint32_t id)
{
    return m.size() >= app_data_head && little_endian::u32(&m[1]) == id;
}

bool is_app_data(ByteView m, uint32_t id)
{
    return !m.empty() && m[0] == app_data && has_content_id(m, id);
}

Bytes tail(ByteView m, size_t from)
{
    return from < m.size() ? Bytes(m.begin() + from, m.end()) : Bytes();
}

// Reads a message's fields one after another; every read is checked against
// the length first (the caller asks `holds` before reading).
class Fields {
public:
    Fields(ByteView m, size_t at)
        : m_(m)
        , at_(at)
    { }
    // Whether `count` more bytes are there; 64-bit so that a count read from
    // the message cannot wrap.
    bool holds(uint64_t count) const { return at_ <= m_.size() && count <= m_.size() - at_; }
    uint8_t u8() { return m_[at_++]; }
    uint32_t u32()
    {
        const uint32_t value = little_endian::u32(&m_[at_]);
        at_ += 4;
        return value;
    }
    float f32()
    {
        const float value = little_endian::f32(&m_[at_]);
        at_ += 4;
        return value;
    }

private:
    ByteView m_;
    size_t at_;
};

Record text_record(Bytes text)
{
    Record record;
    record.text = std::move(text);
    record.data = record.text.data();
    record.size = record.text.size();
    return record;
}

// One CSV line: the time stamp, then every field behind a ";", numbers in
// the classic locale with the stream's default float format.
class CsvLine {
public:
    explicit CsvLine(system_clock::time_point now)
    {
        text_.imbue(std::locale::classic());
        text_ << csv_time_stamp(now);
    }
    CsvLine& u32(uint32_t value)
    {
        text_ << ';' << value;
        return *this;
    }
    CsvLine& f32(float value)
    {
        text_ << ';' << static_cast<double>(value);
        return *this;
    }
    CsvLine& raw(const Bytes& bytes)
    {
        text_ << ';';
        text_.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return *this;
    }
    // "[a,b,...]" of `count` floats read from the fields.
    CsvLine& list(Fields& fields, uint32_t count)
    {
        text_ << ";[";
        for (uint32_t i = 0; i < count; ++i)
            text_ << (i ? "," : "") << static_cast<double>(fields.f32());
        text_ << ']';
        return *this;
    }
    Record done()
    {
        text_ << '\n';
        const std::string line = text_.str();
        return text_record(Bytes(line.begin(), line.end()));
    }

private:
    std::ostringstream text_;
};

Record refused(std::string note = {})
{
    Record record;
    record.note = std::move(note);
    return record;
}

// A malformed message: refused, and why.
Record malformed(std::string why)
{
    Record record;
    record.refusal = std::move(why);
    return record;
}

// A message shorter than its fixed fields, or than the lists its counts
// announce.
Record needs(uint64_t bytes)
{
    return malformed("needs " + std::to_string(bytes) + " bytes");
}

// A message whose head or content id is not its type's.
Record foreign()
{
    return malformed("unexpected head");
}

// The message from `head` on, without a copy.
Record binary_after(ByteView m, size_t head)
{
    Record record;
    if (head < m.size()) {
        record.data = m.data() + head;
        record.size = m.size() - head;
    }
    return record;
}

// ---- binary types -----------------------------------------------------------

Record baseband(ByteView m)
{
    if (m.size() > 4 && (is_app_data(m, baseband_iq_id) || is_app_data(m, baseband_ap_id)))
        return binary_after(m, app_data_head);
    return foreign();
}

Record radar_data(ByteView m)
{
    for (uint32_t id :
        { radar_rf_id, radar_rf_normalized_id, radar_baseband_float_id, radar_baseband_q15_id })
        if (is_app_data(m, id))
            return binary_after(m, app_data_head);
    return foreign();
}

uint32_t pulsedoppler_content_id(DataType type)
{
    switch (type) {
    case PulseDopplerFloatDataType:
        return pulsedoppler_float_id;
    case PulseDopplerByteDataType:
        return pulsedoppler_byte_id;
    case NoiseMapFloatDataType:
        return noisemap_float_id;
    default:
        return noisemap_byte_id;
    }
}

// A recording of a sweep begins with its first message: the one whose u32 at
// bytes 13 to 16 is 0. Messages before it are dropped.
Record pulsedoppler(DataType type, ByteView m, bool& started)
{
    if (!is_app_data(m, pulsedoppler_content_id(type)))
        return foreign();
    if (m.size() <= 16)
        return needs(17);
    if (little_endian::u32(&m[13]) == 0)
        started = true;
    return started ? binary_after(m, app_data_head) : refused();
}

Record generic_data(ByteView m, uint8_t sub_type)
{
    if (m.size() >= 2 && m[0] == data_message && m[1] == sub_type)
        return binary_after(m, 2);
    return foreign();
}

// ---- CSV types --------------------------------------------------------------

Record sleep(ByteView m, system_clock::time_point now)
{
    Fields f(m, app_data_head);
    if (!has_content_id(m, sleep_id))
        return foreign();
    if (!f.holds(7 * 4))
        return needs(app_data_head + 7 * 4);
    CsvLine line(now);
    line.u32(f.u32()).u32(f.u32()).f32(f.f32()).f32(f.f32()).u32(f.u32()).f32(f.f32()).f32(f.f32());
    return line.done();
}

Record respiration(ByteView m, system_clock::time_point now)
{
    if (!has_content_id(m, respiration_id))
        return foreign();
    if (m.size() != respiration_size)
        return refused("invalid respiration binary, expected size: " + std::to_string(respiration_size - 5)
            + ", actual: " + std::to_string(m.size() - 5));
    Fields f(m, app_data_head);
    f.u32(); // the frame counter is not stored
    const uint32_t state = f.u32();
    if (state == 4)
        return refused();
    CsvLine line(now);
    line.u32(state).u32(f.u32()).f32(f.f32()).f32(f.f32()).u32(f.u32());
    return line.done();
}

Record string_data(ByteView m, system_clock::time_point now)
{
    if (m.size() < 2 || m[0] != data_message || m[1] != 0x13)
        return foreign();
    if (m.size() <= 13)
        return needs(14);
    Fields f(m, 2);
    const uint32_t content_id = f.u32();
    const uint32_t info = f.u32();
    const uint32_t length = f.u32();
    const Bytes text = tail(m, 14);
    if (length != text.size())
        return refused("expected string message with length: " + std::to_string(length)
            + ", actual: " + std::to_string(text.size()));
    CsvLine line(now);
    line.u32(content_id).u32(info).raw(text);
    return line.done();
}

Record presence_single(ByteView m, system_clock::time_point now)
{
    Fields f(m, app_data_head);
    if (!is_app_data(m, presence_single_id))
        return foreign();
    if (!f.holds(4 + 4 + 4 + 1 + 4))
        return needs(app_data_head + 4 + 4 + 4 + 1 + 4);
    CsvLine line(now);
    line.u32(f.u32()).u32(f.u32()).f32(f.f32()).u32(f.u8()).u32(f.u32());
    return line.done();
}

Record presence_movinglist(ByteView m, system_clock::time_point now)
{
    Fields f(m, app_data_head);
    if (!is_app_data(m, presence_movinglist_id))
        return foreign();
    if (!f.holds(4 * 4))
        return needs(app_data_head + 4 * 4);
    const uint32_t counter = f.u32();
    const uint32_t state = f.u32();
    const uint32_t intervals = f.u32();
    const uint32_t detections = f.u32();
    if (!f.holds(8ull * intervals + 12ull * detections))
        return needs(app_data_head + 4 * 4 + 8ull * intervals + 12ull * detections);
    CsvLine line(now);
    line.u32(counter).u32(state).u32(intervals).u32(detections);
    line.list(f, intervals).list(f, intervals);
    line.list(f, detections).list(f, detections).list(f, detections);
    return line.done();
}

Record respiration_detectionlist(ByteView m, system_clock::time_point now)
{
    Fields f(m, app_data_head);
    if (!is_app_data(m, respiration_detectionlist_id))
        return foreign();
    if (!f.holds(2 * 4))
        return needs(app_data_head + 2 * 4);
    const uint32_t counter = f.u32();
    const uint32_t detections = f.u32();
    if (!f.holds(12ull * detections))
        return needs(app_data_head + 2 * 4 + 12ull * detections);
    CsvLine line(now);
    line.u32(counter).u32(detections).list(f, detections).list(f, detections).list(f, detections);
    return line.done();
}

Record respiration_movinglist(ByteView m, system_clock::time_point now)
{
    Fields f(m, app_data_head);
    if (!is_app_data(m, respiration_movinglist_id))
        return foreign();
    if (!f.holds(2 * 4))
        return needs(app_data_head + 2 * 4);
    const uint32_t counter = f.u32();
    const uint32_t intervals = f.u32();
    if (!f.holds(8ull * intervals))
        return needs(app_data_head + 2 * 4 + 8ull * intervals);
    CsvLine line(now);
    line.u32(counter).u32(intervals).list(f, intervals).list(f, intervals);
    return line.done();
}

Record vitalsigns(ByteView m, system_clock::time_point now)
{
    Fields f(m, app_data_head);
    if (!is_app_data(m, vitalsigns_id))
        return foreign();
    if (!f.holds(12 * 4))
        return needs(app_data_head + 12 * 4);
    CsvLine line(now);
    line.u32(f.u32()).u32(f.u32());
    for (int i = 0; i < 10; ++i)
        line.f32(f.f32());
    return line.done();
}

Record sleepstage(ByteView m, system_clock::time_point now)
{
    Fields f(m, app_data_head);
    if (!is_app_data(m, sleepstage_id))
        return foreign();
    if (!f.holds(3 * 4))
        return needs(app_data_head + 3 * 4);
    CsvLine line(now);
    line.u32(f.u32()).u32(f.u32()).u32(f.u32());
    return line.done();
}

Record normalizedmovementlist(ByteView m, system_clock::time_point now)
{
    Fields f(m, app_data_head);
    if (!is_app_data(m, normalizedmovementlist_id))
        return foreign();
    if (!f.holds(4 * 4))
        return needs(app_data_head + 4 * 4);
    const uint32_t counter = f.u32();
    const float start = f.f32();
    const float bin_length = f.f32();
    const uint32_t count = f.u32();
    if (!f.holds(8ull * count))
        return needs(app_data_head + 4 * 4 + 8ull * count);
    CsvLine line(now);
    line.u32(counter).f32(start).f32(bin_length).u32(count).list(f, count).list(f, count);
    return line.done();
}

// ---- performance status -----------------------------------------------------

struct PerformanceLine {
    const char* label;
    size_t offset;
    bool is_signed;
};

constexpr PerformanceLine performance_lines[] = {
    { "  |- frame stitch: ", 38, false },
    { "  |- radar sweep: ", 14, false },
    { "  |- radar capture frame: ", 18, false },
    { "  |- radar normalized frame: ", 22, false },
    { "  |- app do primary: ", 26, false },
    { "  |- app do secondary: ", 30, false },
    { "  |- overflow radar trigger: ", 46, false },
    { "  |- overflow primary: ", 50, false },
    { "  |- overflow output: ", 54, false },
    { "  |- fps: ", 42, false },
    { "  |- idle ticks: ", 90, false },
    { "  |- period system ticks: ", 98, true },
    { "  |- com TX buffer high watermark: ", 94, false },
    { "  |- mem sys stack untouched: ", 58, false },
    { "  |- mem OS heap: ", 62, false },
    { "  |- mem task radar: ", 66, false },
    { "  |- mem task app engine primary: ", 70, false },
    { "  |- mem task app engine secondary: ", 74, false },
    { "  |- mem task system: ", 78, false },
    { "  |- mem task uart RX: ", 82, false },
    { "  |- mem task uart TX: ", 86, false },
};

Record performance_status(ByteView m, system_clock::time_point now)
{
    if (m.size() < 6 || little_endian::u32(&m[2]) != performance_kind)
        return foreign();
    if (m.size() != performance_size || little_endian::u32(&m[10]) != performance_body)
        return refused("invalid performance status binary, expected size: " + std::to_string(performance_body)
            + ", actual: " + std::to_string(static_cast<long long>(m.size()) - 14));
    const std::tm local = local_time(now);
    char clock[16];
    std::strftime(clock, sizeof clock, "%H:%M:%S", &local);
    const auto ms
        = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;

    std::ostringstream text;
    text.imbue(std::locale::classic());
    text << "Radar performance status\n";
    text << "  |- timestamp: " << clock << '.' << ms << '\n';
    for (const auto& line : performance_lines) {
        const uint32_t value = little_endian::u32(&m[line.offset]);
        text << line.label;
        if (line.is_signed)
            text << static_cast<int32_t>(value);
        else
            text << value;
        text << '\n';
    }
    const std::string block = text.str();
    return text_record(Bytes(block.begin(), block.end()));
}

struct CsvHeader {
    DataType type;
    const char* line;
};

constexpr CsvHeader csv_headers[] = {
    { SleepDataType,
        "TimeStamp;FrameCounter;State;RPM;ObjectDistance;SignalQuality;MovementSlow;MovementFast\n" },
    { RespirationDataType, "TimeStamp;State;RPM;ObjectDistance;ObjectMovement;SignalQuality\n" },
    { StringDataType, "TimeStamp;ContentId;Info;Message\n" },
    { PresenceSingleDataType, "TimeStamp;Counter;PresenceState;Distance;Direction;SignalQuality\n" },
    { PresenceMovingListDataType,
        "TimeStamp;Counter;PresenceState;MovementIntervalCount;DetectionCount;MovementSlowItem;"
        "MovementFastItem;DetectionDistance;DetectionRadarCrossSection;DetectionVelocity\n" },
    { RespirationDetectionListDataType,
        "TimeStamp;Counter;DetectionCount;DetectionDistanceItems;DetectionRadarCrossSectionItems;"
        "DetectionVelocityItems\n" },
    { RespirationMovingListDataType,
        "TimeStamp;Counter;MovementIntervalCount;MovementSlowItems;MovementFastItems\n" },
    { VitalSignsDataType,
        "TimeStamp;FrameCounter;State;RPM;Distance;RespirationConfidence;HeartBPM;HeartDistance;"
        "HeartConfidence;NormalizedMovementSlow;NormalizedMovementFast;NormalizedMovementStart;"
        "NormalizedMovementEnd\n" },
    { SleepStageDataType, "TimeStamp;FrameCounter;SleepStage;Confidence\n" },
    { RespirationNormalizedMovementListDataType,
        "TimeStamp;Counter;Start;BinLength;Count;NormalizedMovementSlowItems;"
        "NormalizedMovementFastItems\n" },
};

} // namespace

Record format(DataType type, ByteView m, system_clock::time_point now, bool& pulsedoppler_started)
{
    switch (type) {
    case BasebandApDataType:
    case BasebandIqDataType:
        return baseband(m);
    case SleepDataType:
        return sleep(m, now);
    case RespirationDataType:
        return respiration(m, now);
    case PerformanceStatusType:
        return performance_status(m, now);
    case StringDataType:
        return string_data(m, now);
    case PulseDopplerFloatDataType:
    case PulseDopplerByteDataType:
    case NoiseMapFloatDataType:
    case NoiseMapByteDataType:
        return pulsedoppler(type, m, pulsedoppler_started);
    case FloatDataType:
        return generic_data(m, 0x12);
    case ByteDataType:
        return generic_data(m, 0x10);
    case PresenceSingleDataType:
        return presence_single(m, now);
    case PresenceMovingListDataType:
        return presence_movinglist(m, now);
    case RespirationDetectionListDataType:
        return respiration_detectionlist(m, now);
    case RespirationMovingListDataType:
        return respiration_movinglist(m, now);
    case VitalSignsDataType:
        return vitalsigns(m, now);
    case SleepStageDataType:
        return sleepstage(m, now);
    case RespirationNormalizedMovementListDataType:
        return normalizedmovementlist(m, now);
    case RadarRfDataType:
    case RadarRfNormalizedDataType:
    case RadarBasebandFloatDataType:
    case RadarBasebandQ15DataType:
        return radar_data(m);
    }
    return malformed("unknown data type");
}

std::string csv_header_line(DataType type)
{
    for (const auto& header : csv_headers)
        if (header.type == type)
            return header.line;
    return {};
}

const char* file_extension(DataType type)
{
    switch (type) {
    case PerformanceStatusType:
        return "txt";
    case SleepDataType:
    case RespirationDataType:
    case StringDataType:
    case PresenceSingleDataType:
    case PresenceMovingListDataType:
    case RespirationDetectionListDataType:
    case RespirationMovingListDataType:
    case VitalSignsDataType:
    case SleepStageDataType:
    case RespirationNormalizedMovementListDataType:
        return "csv";
    case BasebandApDataType:
    case BasebandIqDataType:
    case PulseDopplerFloatDataType:
    case PulseDopplerByteDataType:
    case NoiseMapFloatDataType:
    case NoiseMapByteDataType:
    case FloatDataType:
    case ByteDataType:
    case RadarRfDataType:
    case RadarRfNormalizedDataType:
    case RadarBasebandFloatDataType:
    case RadarBasebandQ15DataType:
        return "dat";
    }
    return nullptr;
}

std::string csv_time_stamp(system_clock::time_point moment)
{
    const std::tm local = local_time(moment);
    char clock[32];
    const size_t length = std::strftime(clock, sizeof clock, "%Y-%m-%dT%H:%M:%S", &local);
    const auto ms
        = std::chrono::duration_cast<std::chrono::milliseconds>(moment.time_since_epoch()).count() % 1000;
    const long offset = local.tm_gmtoff;
    const long magnitude = offset < 0 ? -offset : offset;
    char rest[32];
    std::snprintf(rest, sizeof rest, ".%03d%c%02ld:%02ld", static_cast<int>(ms), offset < 0 ? '-' : '+',
        magnitude / 3600, magnitude % 3600 / 60);
    return std::string(clock, length) + rest;
}

std::string radar_settings_text(const Bytes& settings, std::string* problem)
{
    const auto say = [problem](std::string text) {
        if (problem)
            *problem = std::move(text);
    };
    say({});
    size_t newline = 0;
    while (newline < settings.size() && settings[newline] != 0x0A)
        ++newline;
    if (newline == 0 || newline == settings.size()) {
        say("no name line");
        return {};
    }
    const size_t block_size = settings.size() - newline - 1;
    if (block_size != radar_settings_block) {
        say("settings block of " + std::to_string(block_size) + " bytes, needs "
            + std::to_string(radar_settings_block));
        return {};
    }
    const std::string name(settings.begin(), settings.begin() + static_cast<std::ptrdiff_t>(newline));
    const uint8_t* block = &settings[newline + 1];
    const auto i32 = [block](size_t at) { return static_cast<int32_t>(little_endian::u32(block + at)); };
    const auto f32 = [block](size_t at) { return static_cast<double>(little_endian::f32(block + at)); };

    std::ostringstream text;
    text.imbue(std::locale::classic());
    text << "[MainSection]\n";
    text << "GUID=" << name << '\n';
    text << '\n';
    text << "[ChipSettings]\n";
    text << "SamplingRate=" << f32(44) << '\n';
    // The block holds 13 carrier frequencies, one per PGselect value.
    const int32_t pg_select = i32(992);
    text << "CarrierFrequency=";
    if (pg_select >= 0 && pg_select <= 12)
        text << f32(1020 + 4 * static_cast<size_t>(pg_select));
    else
        say("PGselect " + std::to_string(pg_select) + " outside 0 to 12, no carrier frequency");
    text << '\n';
    text << "PulsesPerStep=" << i32(972) << '\n';
    text << "Iterations=" << i32(976) << '\n';
    text << "DACMin=" << i32(984) << '\n';
    text << "DACMax=" << i32(988) << '\n';
    text << "PGselect=" << pg_select << '\n';
    text << "MClkDiv=" << i32(996) << '\n';
    text << "StaggeredPRFEnable=" << i32(1000) << '\n';
    text << "SampleDelay=" << f32(1004) << '\n';
    text << "DACAuto=" << i32(1008) << '\n';
    text << "FPS=" << i32(1012) << '\n';
    text << "FrameStitch=" << i32(1016) << '\n';
    return text.str();
}

} // namespace record_formats

std::string current_date_time_csv_format_to_string()
{
    return record_formats::csv_time_stamp(std::chrono::system_clock::now());
}

} // namespace Sarvik
