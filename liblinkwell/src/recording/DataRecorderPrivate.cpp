#include "recording/DataRecorderPrivate.hpp"

#include <algorithm>
#include <limits>
#include <stdexcept>
#include <vector>

#include "command/RadarInterface.hpp"
#include "common/LittleEndian.hpp"
#include "common/UniqueLocked.hpp"
#include "log/ConsoleAndFileLogger.hpp"
#include "recording/CloseFileMetaEntry.hpp"
#include "recording/ConnectionLogger.hpp"
#include "recording/DataTypeTable.hpp"
#include "recording/FileMapMetaEntry.hpp"
#include "recording/MetaFileHeader.hpp"
#include "recording/RecordFormats.hpp"
#include "recording/RecordingNames.hpp"
#include "recording/WriteFileMetaEntry.hpp"
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
// The first line of the kept radar settings.
constexpr const char* radar_settings_name = "27dae9d2-aea8-4321-a635-39fc0c5cef6d";
// Radar-settings messages carry their settings block from this byte on.
constexpr size_t radar_settings_head = 14;
// The source named in warnings about radar settings messages.
constexpr const char* radar_settings_source = "Radar settings";
// The module file that holds the parameter file.
constexpr unsigned parameter_file_type = 0x037DD98C;
constexpr unsigned parameter_file_id = 0;

const std::string writing_extension = ".writing";

// Index entries are written in blocks of about this many bytes.
constexpr size_t entry_block_size = 64 * 1024;

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

bool starts_with(const std::string& text, const std::string& prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
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

std::string working_directory_of(const SessionMetaData& session)
{
    if (session.current_sub_directory.empty())
        return session.session_directory;
    return session.session_directory + "/" + session.current_sub_directory;
}

std::string sub_directory_name(const SessionMetaData& session, int number)
{
    return "sarvik_recording_" + current_date_time_to_string() + "_" + session.id + "_"
        + std::to_string(number);
}

std::string describe_failure(const UnicodeFile& file)
{
    return file.filename() + ": " + file.error_text();
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
    std::lock_guard<std::mutex> lock(mutex);
    batch->clear();
    if (!spare_batch)
        spare_batch = std::move(batch);
}

void DataRecorderPrivate::count_queued(int64_t bytes)
{
    const int64_t queued = queued_bytes.fetch_add(bytes) + bytes;
    if (queued > queue_warning_bytes && !queue_warned.exchange(true))
        warn("WARNING: " + std::to_string(queued >> 20)
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
        bool taken;
        {
            std::lock_guard<std::mutex> lock(mutex);
            taken = !file_available_callbacks.emplace(info.type, callback).second;
        }
        if (taken) {
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
    {
        std::lock_guard<std::mutex> lock(mutex);
        for (const auto& info : data_type_walk_order)
            if (mask & info.type)
                file_available_callbacks.erase(info.type);
    }
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
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (!meta_file_available_callback) {
            meta_file_available_callback = callback;
            return 0;
        }
    }
    logger.log(0, "cannot subscribe to meta file available: another callback already subscribed");
    return 1;
}

void DataRecorderPrivate::unsubscribe_to_meta_file_available()
{
    std::lock_guard<std::mutex> lock(mutex);
    meta_file_available_callback = nullptr;
}

void DataRecorderPrivate::set_error_callback(DataRecorder::ErrorCallback callback)
{
    std::lock_guard<std::mutex> lock(mutex);
    error_callback = std::move(callback);
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
    queue_locked("close", [this, meta, session] { close_file({ meta, session.get() }); });
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
    try {
        Bytes settings(
            radar_settings_name, radar_settings_name + std::char_traits<char>::length(radar_settings_name));
        settings.push_back(0x0A);
        if (message.size() > radar_settings_head)
            settings.insert(settings.end(), message.begin() + radar_settings_head, message.end());
        set_radar_settings(settings, message.size());
    } catch (...) {
        // Out of memory: the settings kept before stay.
    }
    return true;
}

void DataRecorderPrivate::set_radar_settings(const Bytes& settings, size_t message_size)
{
    std::lock_guard<std::mutex> lock(mutex);
    radar_settings = settings;
    radar_settings_message_size = message_size;
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
        report_error(failure);
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
        warn_refused(display(type), packet.size(), record.refusal);
    if (record.empty())
        return;

    std::string error;
    if (!begin_index_bracket(pair, type, error))
        return;
    if (!ensure_file_open(pair, error)) {
        end_index_bracket(pair);
        warn("WARNING: failed to ensure file open for data type: " + display(type));
        report_error(error);
        return;
    }
    // The headers that opening the file wrote get their entries before the
    // record's own.
    if (!session->current_bytes_written.empty()) {
        end_index_bracket(pair);
        if (!ensure_session_file_open(session, error))
            report_error(error);
    }
    write_file(pair, record.data, record.size, false);
    end_index_bracket(pair);

    // A file or directory ends with the packet that reaches its limit.
    if (file_split_due(*meta)) {
        close_file(pair);
        if (meta->file_split_size.get_type() == PreferredSplitSize::FixedDailyHourSplit)
            meta->next_split_time = next_split_time(meta->file_split_size.get_fixed_daily_hour());
    }
    if (session_split_due(*session)) {
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
    else if (ensure_session_file_open(pair.second, error)) {
        pair.second->current_bytes_written.clear();
        return true;
    }
    warn("WARNING: failed to start recording of meta for data type: " + display(type));
    report_error(error);
    return false;
}

void DataRecorderPrivate::end_index_bracket(const Pair& pair)
{
    MetaData* meta = pair.first;
    SessionMetaData* session = pair.second;
    auto& counts = session->current_bytes_written;
    if (counts.empty())
        return;
    if (!session->index_file.is_open()) {
        counts.clear();
        return;
    }
    if (meta->session_filename_index == -1) {
        meta->session_filename_index = static_cast<int>(session->filenames.size());
        session->filenames.push_back("<>");
        Bytes record;
        little_endian::append_u32(record, static_cast<uint32_t>(meta->session_filename_index));
        const Bytes name
            = AbstractMetaEntry::string_to_bytes(meta->file.filename().substr(meta->directory.size() + 1));
        record.insert(record.end(), name.begin(), name.end());
        if (session->journal.write(record)) {
            session->journal_end += static_cast<int64_t>(record.size());
        } else {
            report_error("failed writing file " + describe_failure(session->journal));
            session->journal.clear();
            session->journal.seekp(session->journal_end);
        }
    }
    int64_t sum = 0;
    for (const auto& [key, count] : counts)
        sum += count;
    int64_t offset = meta->file_size - sum;
    // Each entry adds its bytes back; bytes whose entry could not be
    // written leave the totals again.
    session->bytes_recorded -= sum;
    for (auto entry = counts.rbegin(); entry != counts.rend(); ++entry) {
        const uint32_t count = entry->second;
        session->bytes_recorded += count;
        const WriteFileMetaEntry written(epoch_offset(*session), entry->first, count, offset,
            session->bytes_recorded, static_cast<uint32_t>(meta->session_filename_index));
        if (write_meta_entry(session, written)) {
            session->largest_record = std::max(session->largest_record, count);
            session->written_data_types |= meta->data_type;
        }
        offset += count;
    }
    counts.clear();
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
    close_file({ owned.get(), session.get() });
    flush_refusals(display(owned->data_type));
    if (owned->data_type == BasebandApDataType || owned->data_type == BasebandIqDataType)
        flush_refusals(radar_settings_source);
    owned.reset();
    bool last;
    {
        std::lock_guard<std::mutex> lock(mutex);
        last = session->about_to_be_destroyed
            && std::none_of(scheduled_for_deletion.begin(), scheduled_for_deletion.end(),
                [&session](const Stopped& stopped) { return stopped.session == session; });
    }
    if (last)
        close_session_file(session.get(), false);
}

// ---- recorder thread: session directory and index file ------------------------

bool DataRecorderPrivate::ensure_session_file_open(SessionMetaData* session, std::string& error)
{
    if (session->index_file.is_open() && session->journal.is_open())
        return true;
    if (!session->directory_created) {
        if (!create_session_directory(session, error))
            return false;
    } else if (has_module && !session->parameter_file_stored && session->profile_id != 0
        && !session->parameter_file_asked) {
        // Asked once per index file: each try may wait for the module.
        session->parameter_file_asked = true;
        session->parameter_file_stored = store_parameter_file(session->session_directory);
    }
    const std::string directory = working_directory_of(*session);
    if (!session->current_sub_directory.empty() && !UnicodeFile::create_directory(directory)) {
        warn("failed to create session sub-directory\n  |-- directory: " + directory);
        error = "failed to create session sub-directory " + directory;
        return false;
    }
    return open_index_file(session, directory, error);
}

bool DataRecorderPrivate::create_session_directory(SessionMetaData* session, std::string& error)
{
    bool exists = false;
    try {
        exists = UnicodeFile::file_exists(session->session_directory);
    } catch (const std::exception&) {
        // Cannot be looked at: making it fails below and says so.
    }
    if (exists) {
        // Something took the name since the session was set up.
        std::lock_guard<std::mutex> lock(mutex);
        session->session_directory = unused_name(session->session_directory, "",
            [this](const std::string& name) { return directory_claimed(name); });
        retarget_types_locked(*session);
    }
    const std::string directory = session->session_directory;
    if (!UnicodeFile::create_directory(directory)) {
        warn("failed to create session directory\n  |-- directory: " + directory);
        error = "failed to create session directory " + directory;
        return false;
    }
    session->directory_created = true;
    if (has_module) {
        session->parameter_file_asked = true;
        session->parameter_file_stored = store_parameter_file(directory);
        ask_profile_id(session);
    }
    return true;
}

bool DataRecorderPrivate::open_index_file(
    SessionMetaData* session, const std::string& directory, std::string& error)
{
    UnicodeFile& index = session->index_file;
    UnicodeFile& journal = session->journal;
    index.set_filename(directory + "/sarvik_recording_meta" + writing_extension);
    journal.set_filename(directory + "/sarvik_recording_meta_tmp" + writing_extension);
    logger.log(3, "open new session file");
    logger.log(3, "  |-- file: " + index.filename());
    session->bytes_recorded = 0;
    const auto give_up = [&](const std::string& text) {
        warn(text);
        error = text;
        if (index.is_open())
            index.close();
        if (journal.is_open())
            journal.close();
        return false;
    };
    for (UnicodeFile* file : { &index, &journal })
        if (!file->open(std::ios::out | std::ios::trunc | std::ios::binary))
            return give_up("failed to open file: " + file->filename());
    session->created_at = wall_clock_ms();
    session->started_at = steady_clock::now();
    MetaFileHeader header;
    header.created = session->created_at;
    header.profile_id = session->profile_id;
    const Bytes raw = header.to_raw(session->id);
    if (!index.write(raw))
        return give_up("failed writing file " + describe_failure(index));
    session->index_file_end = static_cast<int64_t>(raw.size());
    session->journal_end = 0;
    session->pending_entries.clear();
    session->pending_entry_bytes = 0;
    session->parameter_file_asked = false;
    return true;
}

bool DataRecorderPrivate::write_meta_entry(SessionMetaData* session, const AbstractMetaEntry& entry)
{
    if (!entry.is_valid())
        return false;
    const Bytes raw = entry.to_raw();
    session->pending_entries.insert(session->pending_entries.end(), raw.begin(), raw.end());
    if (entry.type() == AbstractMetaEntry::WriteFile)
        session->pending_entry_bytes += entry.bytes_written();
    // The index file is readable only once it is closed, so its entries may
    // wait in memory: a block of them costs one write instead of one each.
    if (session->flush_on_write || session->pending_entries.size() >= entry_block_size)
        return write_pending_entries(session);
    return true;
}

bool DataRecorderPrivate::write_pending_entries(SessionMetaData* session)
{
    Bytes& pending = session->pending_entries;
    if (pending.empty())
        return true;
    UnicodeFile& index = session->index_file;
    const bool written = index.write(pending);
    if (written) {
        session->index_file_end += static_cast<int64_t>(pending.size());
    } else {
        report_error("failed writing file " + describe_failure(index));
        // The entries before the block stay readable; the next block goes in
        // its place, and the bytes it counted are no longer in the totals.
        index.clear();
        index.seekp(session->index_file_end);
        session->bytes_recorded -= session->pending_entry_bytes;
    }
    pending.clear();
    session->pending_entry_bytes = 0;
    return written;
}

uint32_t DataRecorderPrivate::epoch_offset(const SessionMetaData& session) const
{
    return AbstractMetaEntry::epoch_offset_between(session.started_at, steady_clock::now());
}

void DataRecorderPrivate::close_session_file(SessionMetaData* session, bool continuing)
{
    if (!session->index_file.is_open()) {
        if (session->index_file_notice_pending) {
            session->index_file_notice_pending = false;
            announce_meta_file(session->id, session->last_index_file_name);
        }
        return;
    }
    const bool completed = complete_index_file(session);
    std::string closed = session->index_file.filename();
    if (completed && session->index_file.has_extension(writing_extension)) {
        const std::string final_name = closed.substr(0, closed.size() - writing_extension.size()) + ".dat";
        logger.log(3, "renaming session file to: " + final_name);
        if (session->index_file.rename(final_name))
            closed = final_name;
        else
            logger.log(0, "warning: failed to rename session file!");
    }
    // The journal is kept beside an index file that could not be completed.
    if (completed) {
        try {
            session->journal.delete_file();
        } catch (const std::exception& e) {
            report_error(std::string("failed to delete file: ") + e.what());
        }
    } else {
        session->journal.close();
    }
    session->journal.clear_filename();
    const std::string previous = session->last_index_file_name;
    session->last_index_file_name = closed;
    session->index_file.clear_filename();
    if (completed && !previous.empty())
        link_previous_index_file(session, previous, closed);

    // Every index file is announced once, after its link to the next one (if
    // any) is written: a continuing close announces the one before, a final
    // close the one before (when still due) and itself.
    if (!previous.empty() && (continuing || session->index_file_notice_pending))
        announce_meta_file(session->id, previous);
    session->index_file_notice_pending = continuing;
    if (!continuing)
        announce_meta_file(session->id, closed);
}

bool DataRecorderPrivate::complete_index_file(SessionMetaData* session)
{
    UnicodeFile& index = session->index_file;
    const int64_t file_map_offset
        = session->index_file_end + static_cast<int64_t>(session->pending_entries.size());
    bool completed = write_meta_entry(session, FileMapMetaEntry(epoch_offset(*session), session->filenames))
        && write_pending_entries(session);
    session->filenames.clear();
    if (completed) {
        MetaFileHeader header;
        header.state = 1;
        header.duration = epoch_offset(*session);
        header.bytes_recorded = session->bytes_recorded;
        header.file_map_offset = file_map_offset;
        header.data_types = session->written_data_types;
        header.next_meta_file_offset = -1;
        header.max_record_size = session->largest_record;
        completed = index.seekp(MetaFileHeader::ClosingBlockOffset) && index.write(header.closing_block());
        if (!completed)
            report_error("failed writing file " + describe_failure(index));
    }
    logger.log(3, "closing file: " + index.filename());
    if (!index.close() && completed) {
        report_error("failed to close file " + describe_failure(index));
        completed = false;
    }
    session->bytes_recorded = 0;
    session->written_data_types = 0;
    session->largest_record = 0;
    return completed;
}

void DataRecorderPrivate::link_previous_index_file(
    SessionMetaData* session, const std::string& previous, const std::string& next)
{
    const std::string root = session->session_directory + "/";
    if (!starts_with(previous, root) || !starts_with(next, root))
        return;
    const std::string next_relative = next.substr(root.size());
    const std::string previous_relative = previous.substr(root.size());
    std::string link = next_relative;
    if (session->sub_directory_index >= 0) {
        const std::string sub = session->current_sub_directory + "/";
        link = starts_with(previous_relative, sub) ? next_relative.substr(sub.size()) : "../" + next_relative;
    }
    UnicodeFile file(previous, std::ios::in | std::ios::out | std::ios::binary | std::ios::ate);
    if (!file.is_open())
        return;
    const int64_t link_offset = file.size();
    Bytes offset;
    little_endian::append_i64(offset, link_offset);
    if (!(file.write(AbstractMetaEntry::string_to_bytes(link))
            && file.seekp(MetaFileHeader::NextMetaFileOffsetPosition) && file.write(offset) && file.close()))
        report_error("failed to link index file " + previous + " to " + next + ": " + file.error_text());
}

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
        close_file({ meta, session });
    close_session_file(session, true);
    std::lock_guard<std::mutex> lock(mutex);
    session->sub_directory_index = next;
    session->current_sub_directory = name;
    retarget_types_locked(*session);
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

// ---- recorder thread: data files ------------------------------------------------

bool DataRecorderPrivate::write_file(const Pair& pair, const uint8_t* data, size_t size, bool header)
{
    MetaData* meta = pair.first;
    SessionMetaData* session = pair.second;
    if (!meta->file.is_open()) {
        report_error("failed writing file " + meta->file.filename() + ": it is not open.");
        return false;
    }
    std::string error;
    if (!ensure_session_file_open(session, error)) {
        report_error(error);
        return false;
    }
    if (!meta->file.write(data, size)) {
        report_error("failed writing file " + describe_failure(meta->file));
        // What was written before stays readable; the next write goes in the
        // place of the lost bytes.
        meta->file.clear();
        meta->file.seekp(meta->file_size);
        return false;
    }
    meta->last_write_at = steady_clock::now();
    meta->has_written = true;
    meta->file_size += static_cast<int64_t>(size);
    session->bytes_recorded += static_cast<int64_t>(size);
    const uint32_t key = header ? ~static_cast<uint32_t>(meta->data_type) : meta->data_type;
    session->current_bytes_written[key] += static_cast<uint32_t>(size);
    return true;
}

bool DataRecorderPrivate::ensure_file_open(const Pair& pair, std::string& error)
{
    MetaData* meta = pair.first;
    if (meta->file.is_open()) {
        if (ensure_file_header(pair))
            return true;
        close_file(pair);
    }
    meta->file_size = 0;
    std::string basename;
    {
        std::lock_guard<std::mutex> lock(mutex);
        basename = basenames[meta->data_type];
    }
    const std::string stem = meta->directory + "/" + basename + "_";
    const std::string name = unused_name(stem + current_date_time_to_string(), writing_extension);
    logger.log(3, "open new file for data type:" + display(meta->data_type));
    logger.log(3, "  |-- file: " + name);
    meta->file.set_filename(name);
    if (!meta->file.open(std::ios::out | std::ios::trunc | std::ios::binary)) {
        error = "failed to open file: " + name;
        logger.log(0, error);
        return false;
    }
    if (!ensure_file_header(pair)) {
        error = "failed to verify valid header for file: " + name;
        logger.log(0, error);
        return false;
    }
    meta->file_opened_at = steady_clock::now();
    const bool baseband = meta->data_type == BasebandApDataType || meta->data_type == BasebandIqDataType;
    if (baseband && !meta->radar_settings_written)
        write_radar_settings(pair, unused_name(stem + current_date_time_to_string(), ".ini"));
    return true;
}

bool DataRecorderPrivate::ensure_file_header(const Pair& pair)
{
    MetaData* meta = pair.first;
    if (meta->file_size != 0)
        return true;
    const Bytes& user_header = meta->user_header;
    if (!user_header.empty() && !write_file(pair, user_header.data(), user_header.size(), true)) {
        logger.log(0, "failed to write user header to file: " + meta->file.filename());
        return false;
    }
    if (!record_formats::file_extension(meta->data_type)) {
        const std::string text = "internal error: case not handled in switch:ensure_file_header";
        logger.log(0, text);
        throw std::runtime_error(text);
    }
    const std::string line = record_formats::csv_header_line(meta->data_type);
    return line.empty()
        || write_file(pair, reinterpret_cast<const uint8_t*>(line.data()), line.size(), false);
}

void DataRecorderPrivate::close_file(const Pair& pair)
{
    MetaData* meta = pair.first;
    SessionMetaData* session = pair.second;
    if (!meta->file.is_open())
        return;
    const std::string name = meta->file.filename();
    logger.log(3, "closing file: " + name);
    if (!meta->file.close())
        report_error("failed to close file " + describe_failure(meta->file));
    if (meta->file_size == 0) {
        logger.log(3, "removing empty file: " + name);
        try {
            meta->file.delete_file();
        } catch (const std::exception& e) {
            report_error(std::string("failed to delete file: ") + e.what());
        }
        meta->file.clear_filename();
        meta->session_filename_index = -1;
        return;
    }
    const int index = meta->session_filename_index;
    if (index >= 0 && session->index_file.is_open())
        write_meta_entry(session,
            CloseFileMetaEntry(epoch_offset(*session), meta->data_type, meta->file_size,
                session->bytes_recorded, static_cast<uint32_t>(index)));
    const std::string closed = meta->file.has_extension(writing_extension) ? rename_data_file(meta) : name;
    const std::string prefix = meta->directory + "/";
    if (index >= 0 && static_cast<size_t>(index) < session->filenames.size() && starts_with(closed, prefix))
        session->filenames[static_cast<size_t>(index)] = closed.substr(prefix.size());
    announce_file(meta->data_type, closed);
    meta->file.clear_filename();
    meta->session_filename_index = -1;
}

std::string DataRecorderPrivate::rename_data_file(MetaData* meta)
{
    const std::string name = meta->file.filename();
    const char* extension = record_formats::file_extension(meta->data_type);
    if (!extension) {
        const std::string text = "internal error: case not handled in switch:close_file";
        logger.log(0, text);
        throw std::runtime_error(text);
    }
    const std::string stem = name.substr(0, name.size() - writing_extension.size());
    std::string final_name;
    try {
        final_name = final_data_file_name(stem, extension);
    } catch (const std::exception&) {
        final_name = stem + "." + extension;
    }
    logger.log(3, "renaming file to: " + final_name);
    if (meta->file.rename(final_name))
        return final_name;
    logger.log(0, "warning: failed to rename file!");
    report_error("failed to rename file!");
    return name;
}

// ---- recorder thread: side files ----------------------------------------------

bool DataRecorderPrivate::write_radar_settings(const Pair& pair, const std::string& filename)
{
    MetaData* meta = pair.first;
    if (meta->radar_settings_written)
        return false;
    Bytes settings;
    size_t message_size;
    {
        std::lock_guard<std::mutex> lock(mutex);
        settings = radar_settings;
        message_size = radar_settings_message_size;
    }
    if (settings.empty())
        return false; // none received yet
    std::string problem;
    const std::string text = record_formats::radar_settings_text(settings, &problem);
    if (text.empty()) {
        warn_refused(radar_settings_source, message_size, problem);
        return false;
    }
    if (!problem.empty())
        warn(std::string(radar_settings_source) + ": " + problem);
    UnicodeFile file(filename, std::ios::out);
    if (!file.is_open()) {
        logger.log(0, "failed to create radar settings file: " + filename);
        return false;
    }
    logger.log(3, "writing radar settings to file: " + filename);
    if (!file.write(text.data(), text.size()) || !file.close()) {
        report_error("failed writing file " + describe_failure(file));
        return false;
    }
    meta->radar_settings_written = true;
    return true;
}

bool DataRecorderPrivate::store_parameter_file(const std::string& directory)
{
    Bytes contents;
    const int status = connection.locked([&](RadarInterface& radar) {
        return radar.get_file_no_throw(parameter_file_type, parameter_file_id, contents);
    });
    if (status != 0) {
        warn("failed to retrieve parameter file from module");
        return false;
    }
    const std::string name = directory + "/sarvik_parameter_file.par";
    logger.log(3, "Received parameter file from module, store to disk");
    logger.log(3, "  |-- file: " + name);
    UnicodeFile file(name, std::ios::out | std::ios::trunc | std::ios::binary);
    if (!file.is_open()) {
        warn("failed to open file: " + name);
        return false;
    }
    if (!file.write(contents) || !file.close()) {
        report_error("failed writing file " + describe_failure(file));
        return false;
    }
    return true;
}

void DataRecorderPrivate::ask_profile_id(SessionMetaData* session)
{
    unsigned profile_id = 0;
    const int status
        = connection.locked([&](RadarInterface& radar) { return radar.get_profileid_no_throw(profile_id); });
    if (status != 0)
        warn("failed to retrieve profile id from module");
    else
        session->profile_id = profile_id;
}

// ---- reporting ----------------------------------------------------------------

void DataRecorderPrivate::report_error(const std::string& text)
{
    DataRecorder::ErrorCallback callback;
    {
        std::lock_guard<std::mutex> lock(mutex);
        callback = error_callback;
    }
    if (!callback)
        return;
    try {
        callback(text);
    } catch (const std::exception& e) {
        logger.log(0, std::string("error callback failed: ") + e.what());
    } catch (...) {
        logger.log(0, "error callback failed");
    }
}

void DataRecorderPrivate::warn(const std::string& text)
{
    lstream line = logger.serror();
    line << text;
    line.flush();
}

void DataRecorderPrivate::warn_refused(const std::string& source, size_t size, const std::string& reason)
{
    const std::string line = refusals.refused(source, size, reason, steady_clock::now());
    if (!line.empty())
        warn(line);
}

void DataRecorderPrivate::flush_refusals(const std::string& source)
{
    const std::string line = refusals.flush(source);
    if (!line.empty())
        warn(line);
}

// A client's callback that throws must not leave a file half closed: the
// failure is reported and the work goes on.
void DataRecorderPrivate::call_back(const char* name, const std::function<void()>& call)
{
    std::string failure;
    try {
        call();
        return;
    } catch (const std::exception& e) {
        failure = std::string(name) + " callback failed: " + e.what();
    } catch (...) {
        failure = std::string(name) + " callback failed";
    }
    logger.log(0, failure);
    report_error(failure);
}

void DataRecorderPrivate::announce_file(DataType type, const std::string& filename)
{
    DataRecorder::FileAvailableCallback callback;
    {
        std::lock_guard<std::mutex> lock(mutex);
        const auto found = file_available_callbacks.find(type);
        if (found != file_available_callbacks.end())
            callback = found->second;
    }
    if (callback)
        call_back("file available", [&] { callback(type, filename); });
}

void DataRecorderPrivate::announce_meta_file(const std::string& session_id, const std::string& filename)
{
    DataRecorder::MetaFileAvailableCallback callback;
    {
        std::lock_guard<std::mutex> lock(mutex);
        callback = meta_file_available_callback;
    }
    if (callback)
        call_back("meta file available", [&] { callback(session_id, filename); });
}

} // namespace Sarvik
