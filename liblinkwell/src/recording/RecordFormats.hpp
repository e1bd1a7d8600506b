// What a data file stores for one module message of each data type: the
// message without its head for binary types, one ";"-separated text line for
// CSV types, a text block for the performance status. Numbers are written the
// same whatever the locale of the process ("1.5", never "1,5").
//
// Every field read from a message is checked against the message's length
// first; a message that does not hold what its type needs is refused, and
// the record says why.
#pragma once

#include <chrono>
#include <string>

#include "recording/ByteView.hpp"
#include <linkwell/Bytes.hpp>
#include <linkwell/DataType.hpp>

namespace Sarvik {
namespace record_formats {

// The stored form of one message: `size` bytes at `data`, which point into
// the message for a binary type (no copy is made) and into `text` for the
// others; so the message must outlive the record, which moves but is not
// copied.
struct Record {
    Record() = default;
    Record(Record&&) = default;
    Record& operator=(Record&&) = default;
    Record(const Record&) = delete;
    Record& operator=(const Record&) = delete;

    // What goes into the data file in one write; nothing when the message is
    // refused (nothing is ever written for a message that stores no byte).
    const uint8_t* data = nullptr;
    size_t size = 0;
    Bytes text;
    // A line worth logging (at level 3) about a refused message; mostly
    // empty.
    std::string note;
    // Why a malformed message was refused ("needs 33 bytes"), for a warning;
    // empty for a message that was recorded, one refused with a `note`, and
    // one skipped on purpose (a respiration state 4, pulse-Doppler data
    // before the start of a sweep, a binary message without data).
    std::string refusal;

    bool empty() const { return size == 0; }
    Bytes bytes() const { return Bytes(data, data + size); }
};

// The record of the message for the type. `now` is the moment the text time
// stamps show; `pulsedoppler_started` is the pulse-Doppler start flag of the
// type's recording, read and set by the pulse-Doppler types only.
Record format(
    DataType type, ByteView message, std::chrono::system_clock::time_point now, bool& pulsedoppler_started);

// The header line with which a CSV data file begins ("TimeStamp;...\n");
// empty for the binary types and the performance status.
std::string csv_header_line(DataType type);

// The extension of a finished data file: "dat", "csv" or "txt"; null for a
// value that is not one of the 23 types.
const char* file_extension(DataType type);

// The time stamp of a CSV line: local time as "%Y-%m-%dT%H:%M:%S", ".", three
// digits of milliseconds, and the offset from UTC as "+hh:mm" or "-hh:mm".
std::string csv_time_stamp(std::chrono::system_clock::time_point moment);

// The text of the radar settings file made from the recorder's radar
// settings (a name line, 0x0A, the 1072-byte settings block); empty when the
// settings do not have that form. `problem`, when given, receives why the
// settings gave no text, or what the text leaves out; it is emptied
// otherwise.
std::string radar_settings_text(const Bytes& settings, std::string* problem = nullptr);

} // namespace record_formats

// The CSV time stamp of now.
std::string current_date_time_csv_format_to_string();

} // namespace Sarvik
