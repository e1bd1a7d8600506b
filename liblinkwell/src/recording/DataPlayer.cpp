#include <linkwell/DataPlayer.hpp>

#include <linkwell/DataPacketFormater.hpp>
#include <linkwell/DataReader.hpp>
#include <linkwell/DataRecord.hpp>

#include "recording/ElapsedTimer.hpp"
#include "recording/StdoutReport.hpp"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <mutex>
#include <optional>
#include <stdexcept>

namespace Sarvik {

class DataPlayerPrivate {
public:
    DataPlayerPrivate(const std::string& name, int chain_count)
        : meta_filename(name)
        , count(chain_count)
    { }

    // Everything below runs under the reader lock.
    int open_reader();
    void close_reader();
    // Takes over the requested state and does what the change asks of the
    // recording and the clock.
    void apply_state();
    bool too_early_to_return_packet() const;
    bool read_packet(unsigned char* buffer, unsigned length, unsigned* size);
    std::size_t read_packets(std::vector<Bytes>& packets, unsigned length);

    // What asking for the next packet came to: failed when nothing could be
    // produced because of the end, a stop or a bad record.
    enum class Take { packet, nothing, failed };
    // The next packet that is due, once the state has been applied. One
    // longer than room is refused with a warning, or, with hold_longer, held
    // back for a later read.
    Take take_packet(unsigned room, bool hold_longer, Bytes& packet);
    Take take_next_record(unsigned room, bool hold_longer, Bytes& packet);
    // What the converter makes of the record; empty when it throws.
    std::optional<Bytes> convert(const DataRecord& record) const;
    Take release_pending(unsigned room, bool hold_longer, Bytes& packet);
    // Reports a packet that the buffer cannot take.
    static Take too_large(size_t packet_size, unsigned length);
    int seek(long long ms);

    // The state requests, under the state lock.
    void request(DataPlayer::State state);
    DataPlayer::State current_state() const { return pending_state.value_or(applied_state); }

    const std::string meta_filename;
    const int count;
    long long duration = 0;

    DataPlayer::State applied_state = DataPlayer::StoppedState;
    std::optional<DataPlayer::State> pending_state;
    bool stop_requested = false;
    bool position_set_while_stopped = false;

    // Time of the record held back or released last, ms from the start.
    std::atomic<long long> current_record_ms { 0 };
    std::atomic<float> rate { 1.0f };
    std::atomic<bool> loop_mode { false };
    std::atomic<DataTypes> filter { 0xFFFFFFFF };

    std::unique_ptr<DataPacketFormater> converter;
    ElapsedTimer clock;
    DataReader reader;
    // A converted packet that is not due yet.
    DataRecord pending_packet;

    // Order: reader lock, then state lock; a state request takes the state
    // lock alone.
    mutable std::mutex reader_lock;
    mutable std::mutex state_lock;

    // Wakes a playback connection's idle read when the application acts.
    void notify_change();
    // How long the next read may wait before something can be due.
    std::chrono::microseconds idle_time(std::chrono::microseconds limit) const;
    mutable std::mutex change_lock;
    mutable std::condition_variable changed;
    unsigned long long change_count = 0;
};

int DataPlayerPrivate::open_reader()
{
    if (reader.open(meta_filename, count) != 0)
        return 1;
    converter = std::make_unique<DataPacketFormater>(reader.get_meta_version());
    return 0;
}

void DataPlayerPrivate::close_reader()
{
    reader.close();
    clock.stop();
    pending_packet = DataRecord();
    // At a negative rate the position is the record's time: back at 0.
    current_record_ms = 0;
}

void DataPlayerPrivate::request(DataPlayer::State state)
{
    const DataPlayer::State current = current_state();
    if (state == current)
        return;
    pending_state = state;
    switch (state) {
    case DataPlayer::PlayingState:
        clock.start(current == DataPlayer::PausedState || position_set_while_stopped);
        break;
    case DataPlayer::StoppedState:
        stop_requested = true;
        clock.stop();
        break;
    case DataPlayer::PausedState:
        clock.pause();
        break;
    }
    position_set_while_stopped = false;
}

void DataPlayerPrivate::apply_state()
{
    // The state lock stays held while the change acts on the clock, so that
    // a request made meanwhile acts on the clock after it, not before.
    std::lock_guard<std::mutex> lock(state_lock);
    DataPlayer::State old_state = applied_state;
    const DataPlayer::State new_state = current_state();
    pending_state.reset();
    applied_state = new_state;
    if (stop_requested) {
        stop_requested = false;
        // A stop followed by another request before this read: rewind now.
        if (new_state != DataPlayer::StoppedState) {
            close_reader();
            old_state = DataPlayer::StoppedState;
        }
    }
    if (old_state == new_state)
        return;
    switch (new_state) {
    case DataPlayer::PlayingState:
        if (!reader.is_open())
            open_reader();
        clock.start(old_state == DataPlayer::PausedState);
        break;
    case DataPlayer::StoppedState:
        close_reader();
        break;
    case DataPlayer::PausedState:
        clock.pause();
        break;
    }
}

bool DataPlayerPrivate::too_early_to_return_packet() const
{
    const float r = rate;
    if (r < 0)
        return false;
    if (r == 0)
        return true;
    return clock.elapsed() < current_record_ms;
}

bool DataPlayerPrivate::read_packet(unsigned char* buffer, unsigned length, unsigned* size)
{
    apply_state();
    *size = 0;
    Bytes packet;
    const Take taken = take_packet(length, false, packet);
    if (taken != Take::packet)
        return taken == Take::failed;
    std::memcpy(buffer, packet.data(), packet.size());
    *size = static_cast<unsigned>(packet.size());
    return false;
}

// The state is applied once for all of them: they are what one read takes.
std::size_t DataPlayerPrivate::read_packets(std::vector<Bytes>& packets, unsigned length)
{
    apply_state();
    unsigned room = length;
    Bytes packet;
    for (bool first = true; room > 0; first = false) {
        if (take_packet(room, !first, packet) != Take::packet)
            break;
        room -= static_cast<unsigned>(packet.size());
        packets.push_back(std::move(packet));
        packet = Bytes();
    }
    return length - room;
}

DataPlayerPrivate::Take DataPlayerPrivate::take_packet(unsigned room, bool hold_longer, Bytes& packet)
{
    if (!reader.is_open())
        return Take::failed;
    const bool playing = applied_state == DataPlayer::PlayingState;
    if (reader.at_end()) {
        if (pending_packet.is_valid)
            return playing && room != 0 ? release_pending(room, hold_longer, packet) : Take::nothing;
        const bool loop = loop_mode;
        if (!loop || !playing)
            return loop ? Take::nothing : Take::failed;
        close_reader();
        if (open_reader() != 0)
            return Take::failed;
        clock.start(false);
    }
    if (!playing || room == 0)
        return Take::nothing;
    if (pending_packet.is_valid)
        return release_pending(room, hold_longer, packet);
    return take_next_record(room, hold_longer, packet);
}

// Reads records until one is taken, held back or refused.
DataPlayerPrivate::Take DataPlayerPrivate::take_next_record(unsigned room, bool hold_longer, Bytes& packet)
{
    for (;;) {
        if (reader.at_end())
            return Take::nothing;
        DataRecord record = reader.read_record();
        if (!record.is_valid)
            return Take::failed;
        // The close entry that ends a recording comes back as an empty
        // record; it was never a module message.
        if (record.data.empty() && reader.at_end())
            return Take::nothing;
        if (record.is_user_header || record.data_type == PerformanceStatusType)
            continue;
        std::optional<Bytes> converted = convert(record);
        if (converted && converted->size() > room && !hold_longer)
            return too_large(converted->size(), room);
        if (converted && !converted->empty()) {
            current_record_ms = record.epoch - reader.get_start_epoch();
            if (converted->size() > room || too_early_to_return_packet()) {
                record.data = std::move(*converted);
                pending_packet = std::move(record);
                return Take::nothing;
            }
            packet = std::move(*converted);
            return Take::packet;
        }
        if (record.is_csv_header())
            continue;
        report_line("WARNING: failed to convert bytes from disk to valid packet");
        report_line("data_type: " + std::to_string(record.data_type)
            + ", size: " + std::to_string(record.data.size()));
        return Take::failed;
    }
}

std::optional<Bytes> DataPlayerPrivate::convert(const DataRecord& record) const
{
    // A damaged CSV field throws from the number conversion; it costs that
    // record, never the playback.
    try {
        return converter->from_disk(record.data_type, record.data);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

DataPlayerPrivate::Take DataPlayerPrivate::release_pending(unsigned room, bool hold_longer, Bytes& packet)
{
    if (too_early_to_return_packet())
        return Take::nothing;
    if (pending_packet.data.size() > room) {
        if (hold_longer)
            return Take::nothing;
        // The packet fitted the buffer it was read for; a caller that now
        // offers a smaller one loses it rather than its memory.
        const size_t size = pending_packet.data.size();
        pending_packet = DataRecord();
        return too_large(size, room);
    }
    packet = std::move(pending_packet.data);
    pending_packet = DataRecord();
    return Take::packet;
}

DataPlayerPrivate::Take DataPlayerPrivate::too_large(size_t packet_size, unsigned length)
{
    report_line("WARNING: buffer not large enough to fill packet of size: " + std::to_string(packet_size)
        + " (max size: " + std::to_string(length) + ")");
    return Take::failed;
}

int DataPlayerPrivate::seek(long long ms)
{
    std::lock_guard<std::mutex> lock(reader_lock);
    apply_state();
    if (!reader.is_open() && open_reader() != 0)
        return 1;
    if (reader.seek_ms(ms) != 0)
        return 1;
    clock.stop();
    clock.start(false);
    {
        std::lock_guard<std::mutex> state(state_lock);
        if (applied_state != DataPlayer::PlayingState)
            clock.pause();
        clock.set_elapsed(ms);
        position_set_while_stopped = applied_state == DataPlayer::StoppedState;
    }
    pending_packet = DataRecord();
    current_record_ms = ms;
    return 0;
}

void DataPlayerPrivate::notify_change()
{
    {
        std::lock_guard<std::mutex> lock(change_lock);
        ++change_count;
    }
    changed.notify_all();
}

std::chrono::microseconds DataPlayerPrivate::idle_time(std::chrono::microseconds limit) const
{
    const float r = rate;
    if (applied_state != DataPlayer::PlayingState || r == 0)
        return limit;
    if (!pending_packet.is_valid)
        return reader.is_open() && !reader.at_end() ? std::chrono::microseconds(0) : limit;
    if (r < 0)
        return std::chrono::microseconds(0);
    if (clock.state() != ElapsedTimer::Running)
        return limit;
    const double clock_ms = static_cast<double>(current_record_ms - clock.elapsed());
    const double wait_us = std::max(0.0, clock_ms / r * 1000.0);
    return wait_us < static_cast<double>(limit.count())
        ? std::chrono::microseconds(static_cast<long long>(wait_us))
        : limit;
}

DataPlayer::DataPlayer(const std::string& meta_filename, int count)
    : d(std::make_unique<DataPlayerPrivate>(meta_filename, count))
{
    d->reader.set_filter(d->filter);
    if (d->open_reader() != 0)
        throw std::runtime_error("failed to open recording" + meta_filename);
    d->duration = d->reader.get_duration();
}

DataPlayer::~DataPlayer() = default;

void DataPlayer::play()
{
    set_state(PlayingState);
}

void DataPlayer::pause()
{
    set_state(PausedState);
}

void DataPlayer::stop()
{
    set_state(StoppedState);
}

void DataPlayer::set_state(State state)
{
    if (state != StoppedState && state != PlayingState && state != PausedState)
        return;
    {
        std::lock_guard<std::mutex> lock(d->state_lock);
        d->request(state);
    }
    d->notify_change();
}

DataPlayer::State DataPlayer::get_state() const
{
    std::lock_guard<std::mutex> lock(d->state_lock);
    return d->current_state();
}

int DataPlayer::set_filter(DataTypes filter)
{
    {
        std::lock_guard<std::mutex> lock(d->reader_lock);
        if (d->reader.set_filter(filter) != 0)
            return 1;
        d->filter = filter;
    }
    d->notify_change();
    return 0;
}

DataTypes DataPlayer::get_filter() const
{
    return d->filter;
}

void DataPlayer::set_playback_rate(float rate)
{
    if (!d->clock.set_tick_rate(rate))
        return;
    d->rate.exchange(rate);
    d->notify_change();
}

float DataPlayer::get_playback_rate() const
{
    return d->rate;
}

void DataPlayer::set_loop_mode_enabled(bool enabled)
{
    d->loop_mode.exchange(enabled);
    d->notify_change();
}

bool DataPlayer::get_loop_mode_enabled() const
{
    return d->loop_mode;
}

int DataPlayer::set_position(long long ms)
{
    if (ms < 0 || ms > d->duration)
        return 1;
    const int status = d->seek(ms);
    d->notify_change();
    return status;
}

long long DataPlayer::get_position() const
{
    if (d->rate < 0)
        return d->current_record_ms;
    return std::clamp<long long>(d->clock.elapsed(), 0, d->duration);
}

long long DataPlayer::get_duration() const
{
    return d->duration;
}

std::string DataPlayer::meta_filename() const
{
    return d->meta_filename;
}

int DataPlayer::open()
{
    std::lock_guard<std::mutex> lock(d->reader_lock);
    return d->open_reader();
}

bool DataPlayer::is_open() const
{
    std::lock_guard<std::mutex> lock(d->reader_lock);
    return d->reader.is_open();
}

bool DataPlayer::at_end() const
{
    std::lock_guard<std::mutex> lock(d->reader_lock);
    return d->reader.at_end() && !d->pending_packet.is_valid;
}

bool DataPlayer::read_packet(unsigned char* buffer, unsigned length, unsigned* size)
{
    std::lock_guard<std::mutex> lock(d->reader_lock);
    return d->read_packet(buffer, length, size);
}

std::size_t DataPlayer::read_packets(std::vector<std::vector<unsigned char>>& packets, unsigned length)
{
    std::lock_guard<std::mutex> lock(d->reader_lock);
    return d->read_packets(packets, length);
}

void DataPlayer::rewind()
{
    {
        std::lock_guard<std::mutex> lock(d->reader_lock);
        if (d->reader.seek_byte(0) == 0)
            // A packet held back from further on would otherwise come before
            // the first records.
            d->pending_packet = DataRecord();
    }
    d->notify_change();
}

unsigned long long DataPlayer::changes() const
{
    std::lock_guard<std::mutex> lock(d->change_lock);
    return d->change_count;
}

void DataPlayer::wait_for_packet(unsigned long long seen_changes, std::chrono::microseconds limit) const
{
    std::chrono::microseconds wait;
    {
        std::lock_guard<std::mutex> lock(d->reader_lock);
        wait = d->idle_time(limit);
    }
    std::unique_lock<std::mutex> lock(d->change_lock);
    d->changed.wait_for(lock, wait, [&] { return d->change_count != seen_changes; });
}

} // namespace Sarvik
