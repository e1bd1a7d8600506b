// How one recording is made: the session it records into, when files and
// sub-directories are split, the least time between two stored packets of a
// type, the bytes written at the start of every data file, and whether every
// write goes to the storage device at once.
#pragma once

#include <memory>
#include <string>

#include "Bytes.hpp"
#include "PreferredSplitSize.hpp"
#include "linkwell_export.h"

namespace Sarvik {

class RecordingOptionsPrivate;

class LINKWELL_API RecordingOptions {
public:
    // A fresh session id (a random UUID), no splits, no rate limit, no user
    // header, no flush on write.
    RecordingOptions();
    // A copy records into the same session: the id is copied too.
    RecordingOptions(const RecordingOptions& other);
    RecordingOptions& operator=(const RecordingOptions& other);
    // Moved-from options may only be destroyed or assigned to.
    RecordingOptions(RecordingOptions&& other) noexcept;
    RecordingOptions& operator=(RecordingOptions&& other) noexcept;
    ~RecordingOptions();

    // No setter checks its value; the recorder refuses what it cannot use.
    void set_session_id(const std::string& id);
    std::string get_session_id() const;
    void set_file_split_size(const PreferredSplitSize& size);
    PreferredSplitSize get_file_split_size() const;
    void set_directory_split_size(const PreferredSplitSize& size);
    PreferredSplitSize get_directory_split_size() const;
    // Milliseconds; 0 or less is no limit.
    void set_data_rate_limit(int milliseconds);
    int get_data_rate_limit() const;
    void set_user_header(const Bytes& header);
    Bytes get_user_header() const;
    void set_flush_on_write(bool flush);
    bool get_flush_on_write() const;

private:
    std::unique_ptr<RecordingOptionsPrivate> d;
};

} // namespace Sarvik
