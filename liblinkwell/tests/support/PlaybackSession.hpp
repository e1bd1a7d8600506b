// Recorded sessions for the playback tests, written through the index-file
// fixture writer as the recorder lays them out: one data file per data type,
// each closed at the end of the session, CSV files beginning with their
// header line.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <linkwell/Bytes.hpp>

namespace testsupport {

// One stored record: its data type, the bytes its data file holds and its
// time in ms from the session's start. The complement of a type bit makes
// the record that data file's user header.
struct StoredRecord {
    uint32_t data_type;
    std::string bytes;
    uint32_t at;
};

constexpr uint32_t byte_data_type = 0x800;
constexpr uint32_t sleep_stage_type = 0x20000;
constexpr uint32_t performance_status_type = 0x10;
constexpr uint32_t sleep_stage_content_id = 0x41083A02;
const std::string sleep_stage_header = "TimeStamp;FrameCounter;SleepStage;Confidence\n";

const std::string playback_session_id = "0b6f2d4e-9a31-4c57-8e02-7d5a1c3b9f64";
// The index file's creation time, the session's start.
constexpr int64_t playback_session_start = 1600000000000;

// Writes the session into the directory and returns its index file's path.
std::string write_session(
    const std::string& directory, const std::vector<StoredRecord>& records, uint32_t duration);

// Byte-data records "r0", "r1", ... step ms apart from 0.
std::vector<StoredRecord> byte_records(int count, uint32_t step);
// The labels of those records.
std::vector<std::string> byte_labels(int count);

// What a released packet stands for: the text of a byte-data packet
// (0xA0 0x10 and the stored bytes), "stage<frame counter>" for a sleep-stage
// packet, the hex dump of anything else.
std::string label(const Bytes& packet);
std::vector<std::string> labels(const std::vector<Bytes>& packets);

} // namespace testsupport
