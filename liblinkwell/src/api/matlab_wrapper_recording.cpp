// The flat C interface: split rules, recording options, recorders, readers,
// players and the conversion of stored records back into module messages.
//
// Every handle is a small box around its object. A recorder made over a
// connection shares the connection with its handle, so either may be
// destroyed first; a playback connection shares its player with the
// player's handle in the same way.
#include <linkwell/matlab_wrapper.h>

#include <algorithm>
#include <memory>
#include <string>
#include <type_traits>
#include <utility>

#include <linkwell/DataPlayer.hpp>
#include <linkwell/DataReader.hpp>
#include <linkwell/DataRecord.hpp>
#include <linkwell/DataRecorder.hpp>
#include <linkwell/PreferredSplitSize.hpp>
#include <linkwell/RecordingOptions.hpp>

#include "api/FlatCall.hpp"
#include "api/FlatHandles.hpp"
#include "recording/PlaybackFactory.hpp"

struct LinkwellSplitSize {
    Sarvik::PreferredSplitSize value;
};

struct LinkwellRecordingOptions {
    Sarvik::RecordingOptions value;
};

struct LinkwellDataRecorder {
    // Declared first, so that it goes after the recorder, which unsubscribes
    // from it on destruction. Null for a recorder without a connection.
    std::shared_ptr<FlatConnection> connection;
    std::unique_ptr<Sarvik::DataRecorder> value;
};

struct DataReader {
    Sarvik::DataReader value;
};

struct LinkwellDataPlayer {
    // Shared with every playback connection made over it.
    std::shared_ptr<Sarvik::DataPlayer> value;
};

namespace {

const char* const playback_device_name = "__playback__";

// The live handle's box, shared for the call; a NULL handle, one destroyed
// already and one never handed out are refused.
template <typename Box> std::shared_ptr<Box> box_of(Box* handle)
{
    std::shared_ptr<Box> box = FlatHandles::find(handle);
    if (!box)
        throw flat::Refused();
    return box;
}

// The object in each kind of box.
Sarvik::PreferredSplitSize& target(LinkwellSplitSize& box)
{
    return box.value;
}

Sarvik::RecordingOptions& target(LinkwellRecordingOptions& box)
{
    return box.value;
}

Sarvik::DataReader& target(DataReader& box)
{
    return box.value;
}

Sarvik::DataRecorder& target(LinkwellDataRecorder& box)
{
    if (!box.value)
        throw flat::Refused();
    return *box.value;
}

Sarvik::DataPlayer& target(LinkwellDataPlayer& box)
{
    if (!box.value)
        throw flat::Refused();
    return *box.value;
}

// The handle's object, kept alive for the call by a share in its box.
template <typename Box> auto object_of(Box* handle)
{
    const std::shared_ptr<Box> box = box_of(handle);
    auto& object = target(*box);
    return std::shared_ptr<std::remove_reference_t<decltype(object)>>(box, &object);
}

// Text or bytes given as pointer and length: a negative length, or NULL with
// a length, is refused.
std::string text_in(const char* data, int length)
{
    if (length < 0)
        throw flat::Refused();
    if (length == 0)
        return {};
    flat::require(data);
    return std::string(data, static_cast<std::size_t>(length));
}

// A text into the caller's buffer, without a terminator: the length (which
// may be NULL) is 0 until the whole text has been copied; 1 when it does not
// fit.
template <typename Fetch>
int string_out(char* buffer, unsigned* length, unsigned capacity, Fetch&& fetch) noexcept
{
    if (length)
        *length = 0;
    return flat::guarded([&] {
        flat::require_room(capacity, buffer);
        const std::string text = fetch();
        if (text.size() > capacity)
            return 1;
        std::copy(text.begin(), text.end(), buffer);
        if (length)
            *length = static_cast<unsigned>(text.size());
        return 0;
    });
}

// A value of the handle's object into the caller's variable: 0, or 1 for a
// NULL handle or variable.
template <typename Box, typename Target, typename Getter> int get_into(Box* box, Target* out, Getter&& getter)
{
    return flat::guarded([&] {
        const auto object = object_of(box);
        flat::require(out);
        *out = static_cast<Target>(getter(*object));
        return 0;
    });
}

// A call on the handle's object whose result, if any, is dropped; nothing
// for a NULL handle.
template <typename Box, typename Call> void quietly(Box* box, Call&& call) noexcept
{
    flat::guarded([&] { call(*object_of(box)); });
}

// A new box, handed out as a live handle, or NULL when it cannot be made.
template <typename Box, typename... Arguments> Box* make_box(Arguments&&... arguments) noexcept
{
    try {
        return FlatHandles::add(std::shared_ptr<Box>(new Box { std::forward<Arguments>(arguments)... }));
    } catch (...) {
        return nullptr;
    }
}

// A recorder of the connection's streams, or one fed by the caller alone
// when there is no connection.
DataRecorderHandle internal_vmx_create_data_recorder(std::shared_ptr<FlatConnection> connection) noexcept
{
    try {
        auto recorder = connection ? std::make_unique<Sarvik::DataRecorder>(connection->lock_box())
                                   : std::make_unique<Sarvik::DataRecorder>();
        return FlatHandles::add(std::make_shared<LinkwellDataRecorder>(
            LinkwellDataRecorder { std::move(connection), std::move(recorder) }));
    } catch (...) {
        return nullptr;
    }
}

// A stored record as the reader would return it, in the format version of
// the recording the reader opened.
Sarvik::DataRecord stored_record(DataReader* reader, const unsigned char* data, unsigned size,
    unsigned data_type, unsigned char is_user_header)
{
    Sarvik::DataRecord record;
    record.meta_version = object_of(reader)->get_meta_version();
    record.data = flat::bytes(data, size);
    record.data_type = data_type;
    record.is_user_header = is_user_header != 0;
    record.is_valid = true;
    return record;
}

} // namespace

// ==== Split rules ============================================================

RecordingSplitSizeHandle vmx_create_recording_split_size(void)
{
    return make_box<LinkwellSplitSize>();
}

void vmx_destroy_recording_split_size(RecordingSplitSizeHandle handle)
{
    FlatHandles::remove(handle);
}

void set_duration(RecordingSplitSizeHandle handle, int seconds)
{
    quietly(handle, [&](Sarvik::PreferredSplitSize& size) { size.set_duration(seconds); });
}

void set_byte_count(RecordingSplitSizeHandle handle, long long bytes)
{
    quietly(handle, [&](Sarvik::PreferredSplitSize& size) { size.set_byte_count(bytes); });
}

void set_fixed_daily_hour(RecordingSplitSizeHandle handle, int hour)
{
    quietly(handle, [&](Sarvik::PreferredSplitSize& size) { size.set_fixed_daily_hour(hour); });
}

// ==== Recording options ======================================================

RecordingOptionsHandle vmx_create_recording_options(void)
{
    return make_box<LinkwellRecordingOptions>();
}

void vmx_destroy_recording_options(RecordingOptionsHandle handle)
{
    FlatHandles::remove(handle);
}

void set_session_id(RecordingOptionsHandle handle, const char* id, int length)
{
    quietly(handle, [&](Sarvik::RecordingOptions& options) { options.set_session_id(text_in(id, length)); });
}

int get_session_id(RecordingOptionsHandle handle, char* buffer, unsigned int* length, unsigned int capacity)
{
    return string_out(buffer, length, capacity, [&] { return object_of(handle)->get_session_id(); });
}

void set_file_split_size(RecordingOptionsHandle handle, RecordingSplitSizeHandle size)
{
    quietly(
        handle, [&](Sarvik::RecordingOptions& options) { options.set_file_split_size(*object_of(size)); });
}

void set_directory_split_size(RecordingOptionsHandle handle, RecordingSplitSizeHandle size)
{
    quietly(handle,
        [&](Sarvik::RecordingOptions& options) { options.set_directory_split_size(*object_of(size)); });
}

void set_data_rate_limit(RecordingOptionsHandle handle, int milliseconds)
{
    quietly(handle, [&](Sarvik::RecordingOptions& options) { options.set_data_rate_limit(milliseconds); });
}

void set_user_header(RecordingOptionsHandle handle, const char* bytes, int size)
{
    quietly(handle, [&](Sarvik::RecordingOptions& options) {
        const std::string header = text_in(bytes, size);
        options.set_user_header(Bytes(header.begin(), header.end()));
    });
}

// ==== Recorders ==============================================================

DataRecorderHandle vmx_create_data_recorder(void)
{
    return internal_vmx_create_data_recorder(nullptr);
}

DataRecorderHandle vmx_get_data_recorder(LinkwellHandle* handle)
{
    const std::shared_ptr<LinkwellHandle> box = FlatHandles::find(handle);
    if (!box)
        return nullptr;
    return internal_vmx_create_data_recorder(box->connection);
}

void vmx_destroy_data_recorder(DataRecorderHandle handle)
{
    FlatHandles::remove(handle);
}

int vmx_start_recording(DataRecorderHandle handle, unsigned int data_types, const char* directory, int length,
    RecordingOptionsHandle options)
{
    return flat::guarded([&] {
        const auto box = box_of(handle);
        const auto recorder = object_of(handle);
        // A destroyed connection delivers nothing any more.
        if (box->connection && box->connection->closed())
            return 1;
        const std::string path = text_in(directory, length);
        const Sarvik::RecordingOptions copy = options ? *object_of(options) : Sarvik::RecordingOptions();
        return recorder->start_recording(data_types, path, copy);
    });
}

void vmx_stop_recording(DataRecorderHandle handle, unsigned int data_types)
{
    quietly(handle, [&](Sarvik::DataRecorder& recorder) { recorder.stop_recording(data_types); });
}

int vmx_process(
    DataRecorderHandle handle, unsigned int data_type, const unsigned char* data, unsigned int size)
{
    return flat::guarded([&] {
        const auto box = box_of(handle);
        const auto recorder = object_of(handle);
        // A recorder of a connection takes its packets from the connection.
        if (box->connection)
            return 1;
        return recorder->process(static_cast<Sarvik::DataType>(data_type), flat::bytes(data, size)) ? 0 : 1;
    });
}

void vmx_set_basename_for_data_type(
    DataRecorderHandle handle, unsigned int data_type, const char* basename, int length)
{
    quietly(handle, [&](Sarvik::DataRecorder& recorder) {
        recorder.set_basename_for_data_type(
            static_cast<Sarvik::DataType>(data_type), text_in(basename, length));
    });
}

int vmx_get_basename_for_data_type(DataRecorderHandle handle, unsigned int data_type, char* buffer,
    unsigned int* length, unsigned int capacity)
{
    return string_out(buffer, length, capacity, [&] {
        return object_of(handle)->get_basename_for_data_type(static_cast<Sarvik::DataType>(data_type));
    });
}

void vmx_clear_basename_for_data_types(DataRecorderHandle handle, unsigned int data_types)
{
    quietly(
        handle, [&](Sarvik::DataRecorder& recorder) { recorder.clear_basename_for_data_types(data_types); });
}

int vmx_get_recording_dir_for_session_id(DataRecorderHandle handle, const char* session_id,
    int session_id_length, char* buffer, unsigned int* length, unsigned int capacity)
{
    return string_out(buffer, length, capacity,
        [&] { return object_of(handle)->get_recording_directory(text_in(session_id, session_id_length)); });
}

int vmx_get_recording_dir_for_data_type(DataRecorderHandle handle, unsigned int data_type, char* buffer,
    unsigned int* length, unsigned int capacity)
{
    return string_out(buffer, length, capacity,
        [&] { return object_of(handle)->get_recording_directory(static_cast<Sarvik::DataType>(data_type)); });
}

// ==== Readers ================================================================

DataReader* data_reader_create(void)
{
    return make_box<DataReader>();
}

void data_reader_destroy(DataReader* reader)
{
    FlatHandles::remove(reader);
}

int data_reader_open(DataReader* reader, const char* meta_filename, int length, int count)
{
    return flat::guarded([&] { return object_of(reader)->open(text_in(meta_filename, length), count); });
}

void data_reader_close(DataReader* reader)
{
    quietly(reader, [](Sarvik::DataReader& object) { object.close(); });
}

int data_reader_is_open(DataReader* reader)
{
    const std::shared_ptr<DataReader> box = FlatHandles::find(reader);
    return box && box->value.is_open() ? 1 : 0;
}

int data_reader_at_end(DataReader* reader)
{
    const std::shared_ptr<DataReader> box = FlatHandles::find(reader);
    return box && box->value.at_end() ? 1 : 0;
}

int data_reader_read_record(DataReader* reader, unsigned char* buffer, unsigned int* size,
    unsigned int capacity, unsigned int* data_type, long long* epoch, unsigned char* is_user_header)
{
    return flat::guarded([&] {
        const auto object = object_of(reader);
        flat::require_room(capacity, buffer);
        return object->read_record(buffer, capacity, size, data_type, epoch, is_user_header);
    });
}

int data_reader_peek_record(DataReader* reader, unsigned char* buffer, unsigned int* size,
    unsigned int capacity, unsigned int* data_type, long long* epoch, unsigned char* is_user_header)
{
    return flat::guarded([&] {
        const auto object = object_of(reader);
        flat::require_room(capacity, buffer);
        return object->peek_record(buffer, capacity, size, data_type, epoch, is_user_header);
    });
}

int data_reader_seek_ms(DataReader* reader, long long ms)
{
    return flat::guarded([&] { return object_of(reader)->seek_ms(ms); });
}

int data_reader_seek_byte(DataReader* reader, long long byte)
{
    return flat::guarded([&] { return object_of(reader)->seek_byte(byte); });
}

int data_reader_set_filter(DataReader* reader, unsigned int data_types)
{
    return flat::guarded([&] { return object_of(reader)->set_filter(data_types); });
}

int data_reader_get_filter(DataReader* reader, unsigned int* data_types)
{
    return get_into(reader, data_types, [](Sarvik::DataReader& object) { return object.get_filter(); });
}

int data_reader_get_start_epoch(DataReader* reader, long long* epoch)
{
    return get_into(reader, epoch, [](Sarvik::DataReader& object) { return object.get_start_epoch(); });
}

int data_reader_get_duration(DataReader* reader, long long* ms)
{
    return get_into(reader, ms, [](Sarvik::DataReader& object) { return object.get_duration(); });
}

int data_reader_get_size(DataReader* reader, long long* bytes)
{
    return get_into(reader, bytes, [](Sarvik::DataReader& object) { return object.get_size(); });
}

int data_reader_get_data_types(DataReader* reader, unsigned int* data_types)
{
    return get_into(reader, data_types, [](Sarvik::DataReader& object) { return object.get_data_types(); });
}

int data_reader_get_max_record_size(DataReader* reader, unsigned int* size)
{
    return get_into(reader, size, [](Sarvik::DataReader& object) { return object.get_max_record_size(); });
}

int data_reader_get_session_id(DataReader* reader, char* buffer, unsigned int* length, unsigned int capacity)
{
    return string_out(buffer, length, capacity, [&] { return object_of(reader)->get_session_id(); });
}

// ==== Players ================================================================

LinkwellHandle* vmx_create_linkwell_playback(DataPlayerHandle player, unsigned int log_level)
{
    try {
        const std::shared_ptr<LinkwellDataPlayer> box = FlatHandles::find(player);
        if (!box || !box->value)
            return nullptr;
        auto connection = FlatConnection::open(
            std::make_unique<PlaybackFactory>(box->value), playback_device_name, log_level);
        if (!connection)
            return nullptr;
        return FlatHandles::add(std::make_shared<LinkwellHandle>(LinkwellHandle { std::move(connection) }));
    } catch (...) {
        return nullptr;
    }
}

DataPlayerHandle data_player_create(const char* meta_filename, int length, int count)
{
    try {
        const std::string name = text_in(meta_filename, length);
        return FlatHandles::add(std::make_shared<LinkwellDataPlayer>(
            LinkwellDataPlayer { std::make_shared<Sarvik::DataPlayer>(name, count) }));
    } catch (...) {
        return nullptr;
    }
}

void data_player_destroy(DataPlayerHandle player)
{
    FlatHandles::remove(player);
}

int data_player_play(DataPlayerHandle player)
{
    return flat::guarded([&] { object_of(player)->play(); });
}

int data_player_pause(DataPlayerHandle player)
{
    return flat::guarded([&] { object_of(player)->pause(); });
}

int data_player_stop(DataPlayerHandle player)
{
    return flat::guarded([&] { object_of(player)->stop(); });
}

int data_player_set_state(DataPlayerHandle player, unsigned int state)
{
    return flat::guarded([&] {
        const auto object = object_of(player);
        if (state > Sarvik::DataPlayer::PausedState)
            return 1;
        object->set_state(static_cast<Sarvik::DataPlayer::State>(state));
        return 0;
    });
}

int data_player_get_state(DataPlayerHandle player, int* state)
{
    return get_into(player, state, [](Sarvik::DataPlayer& object) { return object.get_state(); });
}

int data_player_set_filter(DataPlayerHandle player, unsigned int data_types)
{
    return flat::guarded([&] { return object_of(player)->set_filter(data_types); });
}

int data_player_get_filter(DataPlayerHandle player, unsigned int* data_types)
{
    return get_into(player, data_types, [](Sarvik::DataPlayer& object) { return object.get_filter(); });
}

int data_player_set_position(DataPlayerHandle player, long long ms)
{
    return flat::guarded([&] { return object_of(player)->set_position(ms); });
}

int data_player_get_position(DataPlayerHandle player, long long* ms)
{
    return get_into(player, ms, [](Sarvik::DataPlayer& object) { return object.get_position(); });
}

int data_player_set_playback_rate(DataPlayerHandle player, float rate)
{
    return flat::guarded([&] { object_of(player)->set_playback_rate(rate); });
}

int data_player_get_playback_rate(DataPlayerHandle player, float* rate)
{
    return get_into(player, rate, [](Sarvik::DataPlayer& object) { return object.get_playback_rate(); });
}

int data_player_set_loop_mode_enabled(DataPlayerHandle player, int enabled)
{
    return flat::guarded([&] { object_of(player)->set_loop_mode_enabled(enabled != 0); });
}

int data_player_get_loop_mode_enabled(DataPlayerHandle player, int* enabled)
{
    return get_into(
        player, enabled, [](Sarvik::DataPlayer& object) { return object.get_loop_mode_enabled() ? 1 : 0; });
}

int data_player_get_duration(DataPlayerHandle player, long long* ms)
{
    return get_into(player, ms, [](Sarvik::DataPlayer& object) { return object.get_duration(); });
}

int data_player_get_meta_filename(
    DataPlayerHandle player, char* buffer, unsigned int* length, unsigned int capacity)
{
    return string_out(buffer, length, capacity, [&] { return object_of(player)->meta_filename(); });
}

// ==== Stored records =========================================================

int data_record_to_binary_packet(DataReader* reader, const unsigned char* data, unsigned int size,
    unsigned int data_type, unsigned char is_user_header, unsigned char* buffer, unsigned int* length,
    unsigned int capacity)
{
    if (!length)
        return 1;
    *length = 0;
    return flat::guarded([&] {
        const Sarvik::DataRecord record = stored_record(reader, data, size, data_type, is_user_header);
        flat::require_room(capacity, buffer);
        bool converted = false;
        const Bytes packet = record.to_binary_packet(&converted);
        if (!converted)
            return 1;
        // Cut to the caller's room without notice; the length tells.
        return flat::truncated_out(packet, buffer, length, capacity);
    });
}

int data_record_to_sleep_data(DataReader* reader, const unsigned char* data, unsigned int size,
    unsigned int data_type, unsigned char is_user_header, unsigned int* frame_counter, unsigned int* state,
    float* rpm, float* object_distance, unsigned int* signal_quality, float* movement_slow,
    float* movement_fast)
{
    return flat::guarded([&] {
        const Sarvik::DataRecord record = stored_record(reader, data, size, data_type, is_user_header);
        flat::require(
            frame_counter, state, rpm, object_distance, signal_quality, movement_slow, movement_fast);
        bool converted = false;
        const Sarvik::SleepData sleep = record.to_sleep_data(&converted);
        if (!converted)
            return 1;
        *frame_counter = sleep.frame_counter;
        *state = sleep.sensor_state;
        *rpm = sleep.respiration_rate;
        *object_distance = sleep.distance;
        *signal_quality = sleep.signal_quality;
        *movement_slow = sleep.movement_slow;
        *movement_fast = sleep.movement_fast;
        return 0;
    });
}
