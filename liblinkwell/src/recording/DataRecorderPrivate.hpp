// The state and work of a DataRecorder.
//
// Client threads start and stop types, the connection's dispatcher thread
// hands packets over (process), and everything that touches a file runs as a
// task on the recorder's own "recorder" thread, one at a time in queue
// order: processing a packet (record lookup, data-rate limit, index bracket,
// data file, write, split tests), releasing a stopped type, and the close
// that a new base name asks for. The file work of those tasks is done by
// its stages: SessionIndexWriter (session directory, index file, entries),
// DataFileWriter (data files), SideFileWriter (radar settings and parameter
// files) and RecorderReports (callbacks and warnings).
//
// Locks: `mutex` guards the maps, the list of stopped types, the base names,
// the directory names of the sessions and the batches of packets not yet written. It is never held
// while a callback runs or the connection is called; tasks are queued under
// it, so that the recorder thread takes them in the order of the operations
// that queued them. The MetaData and SessionMetaData records are otherwise
// touched only on the recorder thread, which lets the file work run without
// the mutex.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

#include "link/ActiveThread.hpp"
#include "recording/DataFileWriter.hpp"
#include "recording/MetaData.hpp"
#include "recording/PacketBatch.hpp"
#include "recording/RecorderReports.hpp"
#include "recording/SessionIndexWriter.hpp"
#include "recording/SessionMetaData.hpp"
#include "recording/SideFileWriter.hpp"
#include <linkwell/DataRecorder.hpp>

namespace Sarvik {

class DataRecorderPrivate {
public:
    using Pair = std::pair<MetaData*, SessionMetaData*>;

    // On a connection that holds a RadarInterface: streams are subscribed,
    // the module is asked for its profile id and parameter file, and lines
    // go to the connection's logger. The connection must outlive the
    // recorder, and nobody may hold its lock while the recorder is destroyed
    // (the recorder thread may need it to finish).
    DataRecorderPrivate(DataRecorder* owner, DataRecorder::Connection& connection);
    // Without a connection, logging through the logger, which must outlive
    // the recorder.
    DataRecorderPrivate(DataRecorder* owner, Logger& logger);
    ~DataRecorderPrivate();
    DataRecorderPrivate(const DataRecorderPrivate&) = delete;
    DataRecorderPrivate& operator=(const DataRecorderPrivate&) = delete;

    int start_recording(DataTypes mask, const std::string& directory, const RecordingOptions& options);
    void stop_recording(DataTypes mask);
    bool is_recording(DataType type) const;
    bool process(DataType type, const Bytes& packet) noexcept;

    int subscribe_to_file_available(DataTypes mask, const DataRecorder::FileAvailableCallback& callback);
    void unsubscribe_to_file_available(DataTypes mask);
    int subscribe_to_meta_file_available(const DataRecorder::MetaFileAvailableCallback& callback);
    void unsubscribe_to_meta_file_available();
    void set_error_callback(DataRecorder::ErrorCallback callback);

    void set_basename_for_data_type(DataType type, const std::string& basename);
    std::string get_basename_for_data_type(DataType type) const;
    void clear_basename_for_data_types(DataTypes mask);

    std::string get_recording_directory(DataType type) const;
    std::string get_recording_directory(const std::string& session_id) const;

    // Subscribes the radar settings and the stream of every type being
    // recorded again, on the connection's current communicator.
    void renew_subscriptions();

    // The radar-settings handler (dispatcher thread): the settings become
    // the settings name, 0x0A and the message from byte 14 on. Never throws.
    bool update_radar_settings_from_module(const Bytes& message) noexcept;
    // The settings made from a module message of `message_size` bytes.
    void set_radar_settings(const Bytes& settings, size_t message_size);

    // A packet queue that holds more bytes than this (the disk is slower than
    // the data) is warned about once, until it has drained to half of it.
    static constexpr int64_t queue_warning_bytes = 64ll << 20;

private:
    // Cleared first by the destructor; every subscription callback holds it
    // and reaches the recorder only while it is set.
    struct AliveToken {
        std::mutex mutex;
        DataRecorderPrivate* recorder;
    };

    // A stopped type whose records wait for their release on the recorder
    // thread.
    struct Stopped {
        std::unique_ptr<MetaData> meta;
        std::shared_ptr<SessionMetaData> session;
    };

    DataRecorderPrivate(DataRecorder* owner, DataRecorder::Connection& connection,
        std::unique_ptr<Logger> own_logger, Logger* given_logger = nullptr);

    // ---- client side ----
    int start_one(DataType type, const std::string& directory, const RecordingOptions& options);
    // Enters the type's records into a session; false when it is recording.
    bool enter_type(DataType type, const std::string& directory, const RecordingOptions& options);
    void stop_one(DataType type);
    std::shared_ptr<SessionMetaData> new_session(
        const std::string& directory, const RecordingOptions& options);
    // Whether a session of this recorder already claims the directory.
    bool directory_claimed(const std::string& directory) const;
    void add_meta_data(MetaData* meta, const std::shared_ptr<SessionMetaData>& session);
    void subscribe_radar_settings();
    void subscribe_stream(DataType type);
    void unsubscribe(const std::string& name);
    std::string subscription_name(const char* base) const;
    // Throws std::runtime_error after logging when the mask has bits above
    // the 23 types and is not 0xFFFFFFFF.
    void check_mask(DataTypes mask, const std::string& text) const;

    // ---- recorder thread: tasks ----
    // Runs a task so that nothing escapes it: a failure is logged and handed
    // to the error callback.
    void run_task(const char* name, const std::function<void()>& task) noexcept;
    void do_process(const Pair& pair, ByteView packet);
    // Writes the oldest batch of packets.
    void write_batch() noexcept;
    // Queues a task on the recorder thread (mutex held).
    void queue_locked(const char* name, std::function<void()> task);
    // Counts bytes of packets queued; warns once when the queue grows too long.
    void count_queued(int64_t bytes);
    void release(MetaData* meta, const std::shared_ptr<SessionMetaData>& session);
    bool begin_index_bracket(const Pair& pair, DataType type, std::string& error);
    bool file_split_due(const MetaData& meta) const;
    bool session_split_due(const SessionMetaData& session) const;
    bool rate_limited(const MetaData& meta) const;

    // ---- recorder thread: sub-directories ----
    void update_session_sub_directory(SessionMetaData* session);
    // Gives the session a directory name that nothing has taken and points
    // its types at it.
    void rename_session_directory(SessionMetaData& session);
    // Points every type of the session at its working directory (mutex held).
    void retarget_types_locked(const SessionMetaData& session);
    std::string basename_of(DataType type);

    DataRecorder* owner;
    DataRecorder::Connection& connection;
    std::unique_ptr<Logger> owned_logger;
    Logger& logger;
    const bool has_module;
    // Subscription names carry it, so that recorders on one connection keep
    // subscriptions of their own.
    const unsigned recorder_number;
    std::shared_ptr<AliveToken> alive;

    mutable std::mutex mutex;
    std::map<DataType, std::unique_ptr<MetaData>> enabled_data_types;
    std::map<std::string, std::shared_ptr<SessionMetaData>> active_sessions;
    std::list<Stopped> scheduled_for_deletion;
    std::map<DataType, std::string> basenames;

    // Packets handed over and not yet written, one batch per task queued
    // for them; the last batch takes further packets while `batch_open`.
    PacketBatch::BlockPool block_pool;
    std::deque<std::unique_ptr<PacketBatch>> batches;
    bool batch_open = false;
    // A written batch kept for its memory.
    std::unique_ptr<PacketBatch> spare_batch;

    // Bytes of packets queued and not yet taken up by the recorder thread.
    std::atomic<int64_t> queued_bytes { 0 };
    std::atomic<bool> queue_warned { false };

    // The stages of the file work, each on the recorder thread.
    RecorderReports reports;
    SideFileWriter side_files;
    SessionIndexWriter index_writer;
    DataFileWriter data_files;

    // Last: made after everything its tasks use, stopped by the destructor
    // before anything goes.
    std::unique_ptr<ActiveThread> thread;
};

} // namespace Sarvik
