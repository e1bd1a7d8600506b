// The recording state of one data type of a recorder: where its files go,
// its split and rate rules, and its current data file. Made by
// start_recording on the caller's thread; read, written and destroyed only on
// the recorder's own thread after that (its map bookkeeping excepted, which
// the recorder mutex guards).
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "recording/UnicodeFile.hpp"
#include <linkwell/Bytes.hpp>
#include <linkwell/DataType.hpp>
#include <linkwell/PreferredSplitSize.hpp>
#include <linkwell/RecordingOptions.hpp>

namespace Sarvik {

struct MetaData {
    MetaData(DataType type, const RecordingOptions& options)
        : data_type(type)
        , file_split_size(options.get_file_split_size())
        , user_header(options.get_user_header())
        , file(options.get_flush_on_write())
        , data_rate_limit(options.get_data_rate_limit())
    { }

    DataType data_type;
    std::string session_id;
    // The session directory, and "/" and the current sub-directory when the
    // session has one.
    std::string directory;
    PreferredSplitSize file_split_size;
    Bytes user_header;
    // The current data file; closed while there is none.
    UnicodeFile file;
    // Bytes written into the current data file, headers included.
    int64_t file_size = 0;
    std::chrono::steady_clock::time_point file_opened_at;
    std::chrono::steady_clock::time_point last_write_at;
    // For a split at a fixed daily hour.
    std::chrono::system_clock::time_point next_split_time;
    // The radar settings file was written beside a data file of this
    // recording; nothing clears it.
    bool radar_settings_written = false;
    // Set at the first write, never cleared: it arms the data-rate limit.
    bool has_written = false;
    // Pulse-Doppler recording begins with the first message of a sweep; set
    // when that message has arrived.
    bool pulsedoppler_started = false;
    // Milliseconds; 0 or less is no limit.
    int data_rate_limit;
    // Position of the current file in the session's file map; -1 while it
    // has none.
    int session_filename_index = -1;
};

} // namespace Sarvik
