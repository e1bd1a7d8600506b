#include "recording/DataRecorderPrivate.hpp"

#include <algorithm>
#include <limits>
#include <stdexcept>
#include <vector>

#include "command/RadarInterface.hpp"
#include "common/UniqueLocked.hpp"
#include "log/ConsoleAndFileLogger.hpp"
#include "recording/ConnectionLogger.hpp"
#include "recording/DataTypeTable.hpp"
#include "recording/RecordFormats.hpp"
#include "recording/RecordingNames.hpp"
#include <linkwell/RecordingTime.hpp>

namespace Sarvik {

namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;
using std::chrono::steady_clock;
using std::chrono::system_clock;

using Subscribe = int (RadarInterface::*)(const std::string&, RadarInterface::PacketCallback);

struct Stream {
    DataType type;
    const char* subscription;
    Subscribe subscribe;
};

const Stream streams[] = {
    { BasebandApDataType, "576f7258-c6ab-11e6-9d9d-cec5c932ce01", &RadarInterface::subscribe_to_baseband_ap },
    { BasebandIqDataType, "3e19d19b-7d38-432a-be0e-82abece4457a", &RadarInterface::subscribe_to_baseband_iq },
    { SleepDataType, "9153d1de-ff4b-49ba-acbd-f9c12d09ef40", &RadarInterface::subscribe_to_sleep_status },
    { RespirationDataType, "fc360b1d-097d-4cd8-9f91-200ffea7eee3",
        &RadarInterface::subscribe_to_resp_status },
    { PerformanceStatusType, "99d10892-cd13-4544-b4b6-fa54232c08bd",
        &RadarInterface::subscribe_to_performance_status },
    { StringDataType, "de83f991-67af-4ed5-909e-306e52faf603", &RadarInterface::subscribe_to_data_string },
    { PulseDopplerFloatDataType, "c8aaae5a-e298-44ca-be50-2bf2465d3dab",
        &RadarInterface::subscribe_to_pulsedoppler_float },
    { PulseDopplerByteDataType, "91a74ade-7f9d-47c3-8d14-af46f0d623fd",
        &RadarInterface::subscribe_to_pulsedoppler_byte },
    { NoiseMapFloatDataType, "509fa38e-1873-479d-983a-7cb4313ae52d",
        &RadarInterface::subscribe_to_noisemap_float },
    { NoiseMapByteDataType, "bffd4f42-f3bf-4830-8cb4-637bd87ed58e",
        &RadarInterface::subscribe_to_noisemap_byte },
    { FloatDataType, "8bf62ec2-70c9-4af9-84bc-ad6ee9d96727", &RadarInterface::subscribe_to_data_float },
    { ByteDataType, "b523a574-900b-47d5-8e2f-e1ba88ca8543", &RadarInterface::subscribe_to_data_byte },
    { PresenceSingleDataType, "848370a2-d2b8-47f0-902a-e5be2552e7c2",
        &RadarInterface::subscribe_to_presence_single },
    { PresenceMovingListDataType, "33330e4f-bd08-49ec-9199-6b4b71cf3120",
        &RadarInterface::subscribe_to_presence_movinglist },
    { RespirationDetectionListDataType, "212fc682-b3c6-44ac-9918-5ccd4ca3f84c",
        &RadarInterface::subscribe_to_respiration_detectionlist },
    { RespirationMovingListDataType, "caa45056-6322-4ca6-9c68-1375eb2611e8",
        &RadarInterface::subscribe_to_respiration_movinglist },
    { VitalSignsDataType, "c1cf4888-ac8a-4b7c-bb7a-4079e1b642a7", &RadarInterface::subscribe_to_vital_signs },
    { SleepStageDataType, "c948c07f-71f5-4e03-bd45-f9daee4aabb8", &RadarInterface::subscribe_to_sleepstage },
    { RespirationNormalizedMovementListDataType, "8b5655fc-a482-4389-9bd9-16308eacf656",
        &RadarInterface::subscribe_to_respiration_normalizedmovementlist },
    { RadarRfDataType, "8c327ee8-3989-4425-965a-a85b73ac92ad", &RadarInterface::subscribe_to_radar_rf },
    { RadarRfNormalizedDataType, "9799b846-f07b-4e1a-bc5c-282090c655e4",
        &RadarInterface::subscribe_to_radar_rf_normalized },
    { RadarBasebandFloatDataType, "88b75c41-cd9e-435d-96a1-178f8d8a4504",
        &RadarInterface::subscribe_to_radar_baseband_float },
    { RadarBasebandQ15DataType, "9ba5070b-5401-489d-b694-62fd76c5d3ac",
        &RadarInterface::subscribe_to_radar_baseband_q15 },
};

constexpr const char* radar_settings_subscription = "b6328fcf-e10d-454b-a6a3-28ce8a715060";
std::atomic<unsigned> recorders_made { 0 };

const Stream* find_stream(DataType type)
{
    for (const auto& stream : streams)
        if (stream.type == type)
            return &stream;
    return nullptr;
}

std::string display(DataType type)
{
    return DataRecorder::data_type_to_string(type);
}

int64_t wall_clock_ms()
{
    return std::chrono::duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

// The connection of recorders made without one: it never holds a
// RadarInterface and is never called.
DataRecorder::Connection& no_connection()
{
    static DataRecorder::Connection connection(nullptr, false);
    return connection;
}

RadarInterface& radar_of(DataRecorder::Connection& connection)
{
    return *connection.locked([](RadarInterface& radar) { return &radar; });
}

std::string sub_directory_name(const SessionMetaData& session, int number)
{
    return "sarvik_recording_" + current_date_time_to_string() + "_" + session.id + "_"
        + std::to_string(number);
}

} // namespace

// ---- construction -----------------------------------------------------------

DataRecorderPrivate::DataRecorderPrivate(DataRecorder* owner_, DataRecorder::Connection& connection_)
    : DataRecorderPrivate(owner_, connection_, std::make_unique<ConnectionLogger>(radar_of(connection_)))
{ }

DataRecorderPrivate::DataRecorderPrivate(DataRecorder* owner_, Logger& logger_)
    : DataRecorderPrivate(owner_, no_connection(), nullptr, &logger_)
{ }

DataRecorderPrivate::DataRecorderPrivate(DataRecorder* owner_, DataRecorder::Connection& connection_,
    std::unique_ptr<Logger> own_logger, Logger* given_logger)
    : owner(owner_)
    , connection(connection_)
    , owned_logger(std::move(own_logger))
    , logger(owned_logger ? *owned_logger : *given_logger)
    , has_module(owned_logger != nullptr)
    , recorder_number(++recorders_made)
    , alive(std::make_shared<AliveToken>())
    , reports(logger)
    , side_files(connection, has_module, reports)
    , index_writer(
          reports, side_files, [this](SessionMetaData& session) { rename_session_directory(session); })
    , data_files(reports, index_writer, side_files)
{
    alive->recorder = this;
    for (const auto& info : data_type_walk_order)
        basenames[info.type] = info.base_name;
    thread = std::make_unique<ActiveThread>("recorder", logger);
    if (has_module)
        subscribe_radar_settings();
}

DataRecorderPrivate::~DataRecorderPrivate()
{
    {
        std::lock_guard<std::mutex> lock(alive->mutex);
        alive->recorder = nullptr;
    }
    stop_recording(every_data_type);
    if (has_module)
        unsubscribe(subscription_name(radar_settings_subscription));
    // Runs every queued packet and release (and the closes they queue) before
    // the thread ends.
    thread->stop();
}

// ---- starting and stopping ----------------------------------------------------

int DataRecorderPrivate::start_recording(
    DataTypes mask, const std::string& directory, const RecordingOptions& options)
{
    if (mask == 0)
        return 1;
    int result = 0;
    for (const auto& info : data_type_walk_order)
        if (mask & info.type)
            result |= start_one(info.type, directory, options);
    check_mask(mask, "detected invalid data type in func: start_recording:start_recording");
    return result;
}

int DataRecorderPrivate::start_one(
    DataType type, const std::string& directory, const RecordingOptions& options)
{
    const std::string id = options.get_session_id();
    std::string refusal;
    if (directory.empty())
        refusal = "empty directory specified";
    else if (is_recording(type))
        refusal = "recording already started";
    else if (id.empty())
        refusal = "invalid session id: <empty string>";
    else if (!is_safe_name_part(id)) // the id names the session directory
        refusal = "invalid session id: " + id + ": it must not hold '/', '\\' or '..'";
    else if (!enter_type(type, directory, options))
        refusal = "recording already started";
    if (!refusal.empty()) {
        logger.log(0, "cannot start recording for data type: " + display(type) + ": " + refusal);
        return 1;
    }
    if (has_module)
        subscribe_stream(type);
    return 0;
}

bool DataRecorderPrivate::enter_type(
    DataType type, const std::string& directory, const RecordingOptions& options)
{
    // The test and the entry are one step against other starts of the type.
    std::lock_guard<std::mutex> lock(mutex);
    if (enabled_data_types.count(type))
        return false;
    const auto found = active_sessions.find(options.get_session_id());
    const std::shared_ptr<SessionMetaData> session
        = found != active_sessions.end() ? found->second : new_session(directory, options);
    auto meta = std::make_unique<MetaData>(type, options);
    if (meta->file_split_size.get_type() == PreferredSplitSize::FixedDailyHourSplit)
        meta->next_split_time = next_split_time(meta->file_split_size.get_fixed_daily_hour());
    add_meta_data(meta.get(), session);
    enabled_data_types[type] = std::move(meta);
    return true;
}

std::shared_ptr<SessionMetaData> DataRecorderPrivate::new_session(
    const std::string& directory, const RecordingOptions& options)
{
    auto session = std::make_shared<SessionMetaData>(options.get_session_id(), options.get_flush_on_write());
    session->base_directory = directory;
    session->creation_date_time = current_date_time_to_string();
    // A session started again within the same second must not write into
    // the directory of the one before.
    const std::string stem
        = directory + "/sarvik_recording_" + session->creation_date_time + "_" + session->id;
    try {
        session->session_directory
            = unused_name(stem, "", [this](const std::string& name) { return directory_claimed(name); });
    } catch (const std::exception&) {
        // The directory cannot be looked at; making it will fail and say so.
        session->session_directory = stem;
    }
    session->created_at = wall_clock_ms();
    session->started_at = steady_clock::now();
    session->directory_split_size = options.get_directory_split_size();
    const int kind = session->directory_split_size.get_type();
    if (kind != PreferredSplitSize::NoSplit) {
        session->sub_directory_index = 0;
        session->current_sub_directory = sub_directory_name(*session, 0);
    }
    if (kind == PreferredSplitSize::FixedDailyHourSplit)
        session->next_split_time = next_split_time(session->directory_split_size.get_fixed_daily_hour());
    return session;
}

bool DataRecorderPrivate::directory_claimed(const std::string& directory) const
{
    for (const auto& [id, session] : active_sessions)
        if (session->session_directory == directory)
            return true;
    for (const auto& stopped : scheduled_for_deletion)
        if (stopped.session->session_directory == directory)
            return true;
    return false;
}

void DataRecorderPrivate::add_meta_data(MetaData* meta, const std::shared_ptr<SessionMetaData>& session)
{
    meta->session_id = session->id;
    meta->directory = working_directory_of(*session);
    if (session->data_types == 0)
        active_sessions[session->id] = session;
    session->data_types |= meta->data_type;
}

void DataRecorderPrivate::stop_recording(DataTypes mask)
{
    if (mask == 0)
        return;
    for (const auto& info : data_type_walk_order)
        if (mask & info.type)
            stop_one(info.type);
    check_mask(mask, "detected invalid data type in func: stop_recording:stop_recording");
}

void DataRecorderPrivate::stop_one(DataType type)
{
    MetaData* meta = nullptr;
    std::shared_ptr<SessionMetaData> session;
    {
        std::lock_guard<std::mutex> lock(mutex);
        const auto found = enabled_data_types.find(type);
        if (found == enabled_data_types.end())
            return;
        std::unique_ptr<MetaData> owned = std::move(found->second);
        enabled_data_types.erase(found);
        const auto active = active_sessions.find(owned->session_id);
        session = active->second;
        session->data_types &= ~static_cast<uint32_t>(type);
        if (session->data_types == 0) {
            active_sessions.erase(active);
            session->about_to_be_destroyed = true;
        }
        meta = owned.get();
        scheduled_for_deletion.push_back(Stopped { std::move(owned), session });
        queue_locked("release", [this, meta, session] { release(meta, session); });
    }
    if (has_module)
        unsubscribe(subscription_name(find_stream(type)->subscription));
}

bool DataRecorderPrivate::is_recording(DataType type) const
{
    std::lock_guard<std::mutex> lock(mutex);
    return enabled_data_types.count(type) != 0;
}

bool DataRecorderPrivate::process(DataType type, const Bytes& packet) noexcept
{
    try {
        const auto size = static_cast<int64_t>(packet.size());
        {
            std::lock_guard<std::mutex> lock(mutex);
            const auto enabled = enabled_data_types.find(type);
            if (enabled == enabled_data_types.end())
                return false;
            // The packet goes to the records of the recording it was handed
            // to, also when the type is stopped and started again before it
            // is written: the batch is written before any task queued after
            // it, the release of these records included.
            MetaData* meta = enabled->second.get();
            SessionMetaData* session = active_sessions.at(meta->session_id).get();
            if (!batch_open) {
                batches.push_back(
                    spare_batch ? std::move(spare_batch) : std::make_unique<PacketBatch>(block_pool));
                // One task per batch, or no batch.
                try {
                    thread->add([this] { write_batch(); });
                } catch (...) {
                    batches.pop_back();
                    throw;
                }
                batch_open = true;
            }
            batches.back()->add(meta, session, packet);
        }
        count_queued(size);
        return true;
    } catch (...) {
        return false;
    }
}

void DataRecorderPrivate::queue_locked(const char* name, std::function<void()> task)
{
    // Packets handed over from now on go behind this task.
    batch_open = false;
    thread->add([this, name, task = std::move(task)] { run_task(name, task); });
}

void DataRecorderPrivate::write_batch() noexcept
{
    std::unique_ptr<PacketBatch> batch;
    {
        std::lock_guard<std::mutex> lock(mutex);
        batch = std::move(batches.front());
        batches.pop_front();
        if (batches.empty())
            batch_open = false;
    }
    size_t written_blocks = 0;
    for (const PacketBatch::Packet& packet : batch->packets()) {
        if (packet.block > written_blocks) {
            std::lock_guard<std::mutex> lock(mutex);
            batch->release_blocks_before(packet.block);
            written_blocks = packet.block;
        }
        const auto size = static_cast<int64_t>(packet.bytes.size());
        if (queued_bytes.fetch_sub(size) - size < queue_warning_bytes / 2)
            queue_warned = false;
        run_task("process", [&] { do_process({ packet.meta, packet.session }, packet.bytes); });
    }
    // The batch is written: its entries go to the index files, so that a
    // crash loses no record that reached its data file before the recorder
    // fell idle. The sessions live until their releases, queued after it.
    SessionMetaData* written = nullptr;
    for (const PacketBatch::Packet& packet : batch->packets())
        if (packet.session != written) {
            written = packet.session;
            run_task("process", [&] { index_writer.write_waiting_entries(*written); });
        }
    std::lock_guard<std::mutex> lock(mutex);
    batch->clear();
    if (!spare_batch)
        spare_batch = std::move(batch);
}

void DataRecorderPrivate::count_queued(int64_t bytes)
{
    const int64_t queued = queued_bytes.fetch_add(bytes) + bytes;
    if (queued > queue_warning_bytes && !queue_warned.exchange(true))
        reports.warn("WARNING: " + std::to_string(queued >> 20)
            + " MiB of packets wait to be recorded: the disk is slower than the data");
}

// ---- subscriptions ----------------------------------------------------------

std::string DataRecorderPrivate::subscription_name(const char* base) const
{
    return std::string(base) + ":" + std::to_string(recorder_number);
}

void DataRecorderPrivate::subscribe_stream(DataType type)
{
    const Stream* stream = find_stream(type);
    auto token = alive;
    const auto callback = [token, type](Bytes packet) {
        std::lock_guard<std::mutex> lock(token->mutex);
        return token->recorder && token->recorder->process(type, packet);
    };
    try {
        connection.locked([&](RadarInterface& radar) {
            (radar.*(stream->subscribe))(subscription_name(stream->subscription), callback);
        });
    } catch (const std::exception& e) {
        logger.log(0, "failed to subscribe to " + display(type) + ": " + e.what());
    }
}

void DataRecorderPrivate::subscribe_radar_settings()
{
    auto token = alive;
    const auto handler = [token](Bytes message) {
        std::lock_guard<std::mutex> lock(token->mutex);
        return token->recorder && token->recorder->update_radar_settings_from_module(message);
    };
    connection.locked([&](RadarInterface& radar) {
        radar.subscribe_to_radar_settings(subscription_name(radar_settings_subscription), handler);
    });
}

void DataRecorderPrivate::renew_subscriptions()
{
    if (!has_module)
        return;
    std::vector<DataType> recording;
    {
        std::lock_guard<std::mutex> lock(mutex);
        for (const auto& entry : enabled_data_types)
            recording.push_back(entry.first);
    }
    // Under the connection's lock throughout, so that no start or stop of
    // another thread falls between the subscriptions.
    connection.locked([&](RadarInterface&) {
        subscribe_radar_settings();
        for (DataType type : recording)
            subscribe_stream(type);
    });
}

void DataRecorderPrivate::unsubscribe(const std::string& name)
{
    try {
        connection.locked([&](RadarInterface& radar) { radar.unsubscribe(name); });
    } catch (const std::exception& e) {
        logger.log(0, "failed to unsubscribe " + name + ": " + e.what());
    }
}

void DataRecorderPrivate::check_mask(DataTypes mask, const std::string& text) const
{
    if (is_valid_data_types(mask))
        return;
    logger.log(0, text);
    throw std::runtime_error(text);
}

// ---- callbacks and names ------------------------------------------------------

int DataRecorderPrivate::subscribe_to_file_available(
    DataTypes mask, const DataRecorder::FileAvailableCallback& callback)
{
    if (mask == 0) {
        logger.log(0, "cannot subscribe to file available: invalid data type");
        return 1;
    }
    if (!callback) {
        logger.log(0, "cannot subscribe to file available: invalid callback");
        return 1;
    }
    int result = 0;
    for (const auto& info : data_type_walk_order) {
        if (!(mask & info.type))
            continue;
        if (!reports.add_file_available(info.type, callback)) {
            logger.log(0,
                "cannot subscribe to file available for data type: " + display(info.type) + " : "
                    + "another callback already subscribed");
            result = 1;
        }
    }
    check_mask(
        mask, "detected invalid data type in func: subscribe_to_file_available:subscribe_to_file_available");
    return result;
}

void DataRecorderPrivate::unsubscribe_to_file_available(DataTypes mask)
{
    if (mask == 0)
        return;
    for (const auto& info : data_type_walk_order)
        if (mask & info.type)
            reports.remove_file_available(info.type);
    check_mask(mask,
        "detected invalid data type in func: unsubscribe_to_file_available:unsubscribe_to_file_available");
}

int DataRecorderPrivate::subscribe_to_meta_file_available(
    const DataRecorder::MetaFileAvailableCallback& callback)
{
    if (!callback) {
        logger.log(0, "cannot subscribe to meta file available: invalid callback");
        return 1;
    }
    if (reports.set_meta_file_available(callback))
        return 0;
    logger.log(0, "cannot subscribe to meta file available: another callback already subscribed");
    return 1;
}

void DataRecorderPrivate::unsubscribe_to_meta_file_available()
{
    reports.clear_meta_file_available();
}

void DataRecorderPrivate::set_error_callback(DataRecorder::ErrorCallback callback)
{
    reports.set_error_callback(std::move(callback));
}

void DataRecorderPrivate::set_basename_for_data_type(DataType type, const std::string& basename)
{
    // The base name names files in the session's directory: it must not
    // lead out of it.
    if (!is_safe_name_part(basename)) {
        const std::string text = "invalid basename for data type: " + display(type) + ": " + basename
            + ": it must not hold '/', '\\' or '..'";
        logger.log(0, text);
        throw std::invalid_argument(text);
    }
    std::lock_guard<std::mutex> lock(mutex);
    basenames[type] = basename;
    const auto enabled = enabled_data_types.find(type);
    if (enabled == enabled_data_types.end())
        return;
    // The next packet opens a file under the new name. Queued under the
    // mutex, the close reaches the recording's records before their release.
    MetaData* meta = enabled->second.get();
    const std::shared_ptr<SessionMetaData> session = active_sessions.at(meta->session_id);
    queue_locked("close", [this, meta, session] { data_files.close(*meta, *session); });
}

std::string DataRecorderPrivate::get_basename_for_data_type(DataType type) const
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        const auto found = basenames.find(type);
        if (found != basenames.end())
            return found->second;
    }
    const std::string text = "internal error; no basename for data type: "
        + std::to_string(static_cast<uint32_t>(type)) + ":get_basename_for_data_type";
    logger.log(0, text);
    throw std::runtime_error(text);
}

void DataRecorderPrivate::clear_basename_for_data_types(DataTypes mask)
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        for (const auto& info : data_type_walk_order)
            if (mask & info.type)
                basenames[info.type] = info.base_name;
    }
    check_mask(mask, "detected invalid data type:init_default_basename");
}

std::string DataRecorderPrivate::get_recording_directory(DataType type) const
{
    std::lock_guard<std::mutex> lock(mutex);
    const auto meta = enabled_data_types.find(type);
    if (meta == enabled_data_types.end())
        return {};
    const auto session = active_sessions.find(meta->second->session_id);
    return session == active_sessions.end() ? std::string() : session->second->session_directory;
}

std::string DataRecorderPrivate::get_recording_directory(const std::string& session_id) const
{
    std::lock_guard<std::mutex> lock(mutex);
    const auto session = active_sessions.find(session_id);
    return session == active_sessions.end() ? std::string() : session->second->session_directory;
}

bool DataRecorderPrivate::update_radar_settings_from_module(const Bytes& message) noexcept
{
    return side_files.update_radar_settings_from_module(message);
}

void DataRecorderPrivate::set_radar_settings(const Bytes& settings, size_t message_size)
{
    side_files.set_radar_settings(settings, message_size);
}

// ---- recorder thread: tasks ---------------------------------------------------

void DataRecorderPrivate::run_task(const char* name, const std::function<void()>& task) noexcept
{
    std::string failure;
    try {
        task();
        return;
    } catch (const std::exception& e) {
        failure = std::string("recorder failed to ") + name + ": " + e.what();
    } catch (...) {
        failure = std::string("recorder failed to ") + name + ": unknown exception";
    }
    try {
        logger.log(0, failure);
        reports.report_error(failure);
    } catch (...) {
        // Out of memory for the text: nothing more can be said.
    }
}

void DataRecorderPrivate::do_process(const Pair& pair, ByteView packet)
{
    MetaData* meta = pair.first;
    SessionMetaData* session = pair.second;
    const DataType type = meta->data_type;
    if (packet.empty())
        return;
    if (rate_limited(*meta))
        return;

    // A message that stores nothing touches no file.
    const record_formats::Record record
        = record_formats::format(type, packet, system_clock::now(), meta->pulsedoppler_started);
    if (!record.note.empty())
        logger.log(3, record.note);
    if (!record.refusal.empty())
        reports.warn_refused(display(type), packet.size(), record.refusal);
    if (record.empty())
        return;

    std::string error;
    if (!begin_index_bracket(pair, type, error))
        return;
    if (!data_files.ensure_open(*meta, *session, basename_of(type), error)) {
        index_writer.write_entries(*meta, *session);
        reports.warn("WARNING: failed to ensure file open for data type: " + display(type));
        reports.report_error(error);
        return;
    }
    // The headers that opening the file wrote get their entries before the
    // record's own.
    if (!session->current_bytes_written.empty()) {
        index_writer.write_entries(*meta, *session);
        if (!index_writer.ensure_open(*session, error))
            reports.report_error(error);
    }
    data_files.write(*meta, *session, record.data, record.size, false);
    index_writer.write_entries(*meta, *session);

    // A file or directory ends with the packet that reaches its limit.
    // (A directory that vanished is told before the files that were in it
    // fail to get their final names.)
    if (file_split_due(*meta)) {
        index_writer.check_directory(*session);
        data_files.close(*meta, *session);
        if (meta->file_split_size.get_type() == PreferredSplitSize::FixedDailyHourSplit)
            meta->next_split_time = next_split_time(meta->file_split_size.get_fixed_daily_hour());
    }
    if (session_split_due(*session)) {
        index_writer.check_directory(*session);
        update_session_sub_directory(session);
        if (session->directory_split_size.get_type() == PreferredSplitSize::FixedDailyHourSplit)
            session->next_split_time = next_split_time(session->directory_split_size.get_fixed_daily_hour());
    }
}

bool DataRecorderPrivate::rate_limited(const MetaData& meta) const
{
    if (meta.data_rate_limit <= 0 || !meta.has_written)
        return false;
    const auto since = std::chrono::duration_cast<milliseconds>(steady_clock::now() - meta.last_write_at);
    return since.count() < meta.data_rate_limit;
}

bool DataRecorderPrivate::begin_index_bracket(const Pair& pair, DataType type, std::string& error)
{
    if (!pair.second)
        error = "start_recording_meta: session_meta was null.";
    else if (index_writer.ensure_open(*pair.second, error)) {
        pair.second->current_bytes_written.clear();
        return true;
    }
    reports.warn("WARNING: failed to start recording of meta for data type: " + display(type));
    reports.report_error(error);
    return false;
}

bool DataRecorderPrivate::file_split_due(const MetaData& meta) const
{
    if (!meta.file.is_open())
        return false;
    const PreferredSplitSize& split = meta.file_split_size;
    switch (split.get_type()) {
    case PreferredSplitSize::DurationSplit:
        return std::chrono::duration_cast<seconds>(steady_clock::now() - meta.file_opened_at).count()
            >= split.get_duration();
    case PreferredSplitSize::ByteCountSplit:
        return meta.file_size >= split.get_byte_count();
    case PreferredSplitSize::FixedDailyHourSplit:
        return system_clock::now() >= meta.next_split_time;
    case PreferredSplitSize::NoSplit:
        return false;
    }
    const std::string text = "internal error: case not handled in switch:greater_than_split_size";
    logger.log(0, text);
    throw std::runtime_error(text);
}

bool DataRecorderPrivate::session_split_due(const SessionMetaData& session) const
{
    if (!session.index_file.is_open())
        return false;
    const PreferredSplitSize& split = session.directory_split_size;
    switch (split.get_type()) {
    case PreferredSplitSize::DurationSplit:
        return std::chrono::duration_cast<seconds>(steady_clock::now() - session.started_at).count()
            >= split.get_duration();
    case PreferredSplitSize::ByteCountSplit:
        return session.bytes_recorded >= split.get_byte_count();
    case PreferredSplitSize::FixedDailyHourSplit:
        return system_clock::now() >= session.next_split_time;
    case PreferredSplitSize::NoSplit:
        return false;
    }
    const std::string text = "internal error: case not handled in switch:greater_than_split_size";
    logger.log(0, text);
    throw std::runtime_error(text);
}

void DataRecorderPrivate::release(MetaData* meta, const std::shared_ptr<SessionMetaData>& session)
{
    std::unique_ptr<MetaData> owned;
    {
        std::lock_guard<std::mutex> lock(mutex);
        const auto found = std::find_if(scheduled_for_deletion.begin(), scheduled_for_deletion.end(),
            [meta](const Stopped& stopped) { return stopped.meta.get() == meta; });
        if (found == scheduled_for_deletion.end())
            return;
        owned = std::move(found->meta);
        scheduled_for_deletion.erase(found);
    }
    data_files.close(*owned, *session);
    reports.flush_refusals(display(owned->data_type));
    if (owned->data_type == BasebandApDataType || owned->data_type == BasebandIqDataType)
        reports.flush_refusals(SideFileWriter::radar_settings_source);
    owned.reset();
    bool last;
    {
        std::lock_guard<std::mutex> lock(mutex);
        last = session->about_to_be_destroyed
            && std::none_of(scheduled_for_deletion.begin(), scheduled_for_deletion.end(),
                [&session](const Stopped& stopped) { return stopped.session == session; });
    }
    if (last)
        index_writer.close(*session, false);
}

// ---- recorder thread: sub-directories ------------------------------------------

void DataRecorderPrivate::update_session_sub_directory(SessionMetaData* session)
{
    const int next = session->sub_directory_index + 1;
    const std::string name = sub_directory_name(*session, next);
    std::vector<MetaData*> metas;
    {
        std::lock_guard<std::mutex> lock(mutex);
        for (const auto& stopped : scheduled_for_deletion)
            if (stopped.session.get() == session)
                metas.push_back(stopped.meta.get());
        const auto active = active_sessions.find(session->id);
        if (active != active_sessions.end() && active->second.get() == session)
            for (const auto& [type, meta] : enabled_data_types)
                if (meta->session_id == session->id)
                    metas.push_back(meta.get());
    }
    for (MetaData* meta : metas)
        data_files.close(*meta, *session);
    index_writer.close(*session, true);
    std::lock_guard<std::mutex> lock(mutex);
    session->sub_directory_index = next;
    session->current_sub_directory = name;
    retarget_types_locked(*session);
}

void DataRecorderPrivate::rename_session_directory(SessionMetaData& session)
{
    std::lock_guard<std::mutex> lock(mutex);
    session.session_directory = unused_name(
        session.session_directory, "", [this](const std::string& name) { return directory_claimed(name); });
    retarget_types_locked(session);
}

std::string DataRecorderPrivate::basename_of(DataType type)
{
    std::lock_guard<std::mutex> lock(mutex);
    return basenames[type];
}

void DataRecorderPrivate::retarget_types_locked(const SessionMetaData& session)
{
    const std::string directory = working_directory_of(session);
    for (const auto& stopped : scheduled_for_deletion)
        if (stopped.session.get() == &session)
            stopped.meta->directory = directory;
    const auto active = active_sessions.find(session.id);
    if (active == active_sessions.end() || active->second.get() != &session)
        return;
    for (const auto& [type, meta] : enabled_data_types)
        if (meta->session_id == session.id)
            meta->directory = directory;
}

} // namespace Sarvik
