// Replays a recorded session as if a module were attached. The player has no
// thread of its own: the reader thread of a connection made for playback asks
// it for packets, and it releases each stored record, turned back into the
// module message it was recorded from, once the playback clock has reached
// the record's time. The application drives it from its own thread.
//
// The player stays its creator's: it must outlive every connection that
// plays it.
#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "DataType.hpp"
#include "linkwell_export.h"

class PlaybackModuleIo;

namespace Sarvik {

class DataPlayerPrivate;

class LINKWELL_API DataPlayer {
public:
    enum State { StoppedState = 0, PlayingState = 1, PausedState = 2 };

    // Opens the recording (count as for DataReader::open) and is stopped at
    // its first record. Throws std::runtime_error "failed to open recording"
    // followed directly by the name when the recording cannot be opened.
    DataPlayer(const std::string& meta_filename, int count);
    ~DataPlayer();
    DataPlayer(const DataPlayer&) = delete;
    DataPlayer& operator=(const DataPlayer&) = delete;

    // Requests act on the playback clock at once and on the recording at the
    // connection's next read (or the next set_position). Stop rewinds: the
    // next play starts at the first record, or where set_position put it.
    void play();
    void pause();
    void stop();
    void set_state(State state);
    // The state requested last, also before it has been applied.
    State get_state() const;

    // 0 accepted, 1 refused (0, or bits above the 23 types but not all).
    int set_filter(DataTypes filter);
    DataTypes get_filter() const;

    // Above 0 the speed factor; 0 freezes playback; below 0 releases every
    // packet as soon as the connection reads. Not a number, positive
    // infinity and a positive rate too small to advance the playback clock
    // (such as 1e-40) are refused: the rate and the position stay.
    void set_playback_rate(float rate);
    float get_playback_rate() const;

    // Whether playback starts again at the first record after the last.
    void set_loop_mode_enabled(bool enabled);
    bool get_loop_mode_enabled() const;

    // Moves to the first record at or after ms from the recording's start;
    // 0 positioned, 1 for a time outside 0 .. duration or a failed seek.
    int set_position(long long ms);
    // ms from the recording's start, at most the duration.
    long long get_position() const;
    long long get_duration() const;
    std::string meta_filename() const;

private:
    // The playback connection's I/O reads packets through the operations
    // below, on the connection's reader thread.
    friend class ::PlaybackModuleIo;

    // Opens the recording again after a stop; 1 when it is open already.
    int open();
    bool is_open() const;
    // No record is left to read and none is held back.
    bool at_end() const;
    // Places the next packet that is due into the buffer and gives its size
    // (0 when nothing is due). Never waits. True when nothing could be
    // produced because of the end, a stop or a bad record.
    bool read_packet(unsigned char* buffer, unsigned length, unsigned* size);
    // Appends the packets that are due, as read_packet would place them one
    // by one, while their sizes add up to at most length; the first that does
    // not fit behind others is held back for the next read. Never waits.
    // Returns their bytes.
    std::size_t read_packets(std::vector<std::vector<unsigned char>>& packets, unsigned length);
    // Moves the recording back to its first record; the clock runs on.
    void rewind();
    // Counts the calls that may make a packet due sooner (state, position,
    // rate, filter, loop mode, rewind).
    unsigned long long changes() const;
    // Waits, at most the limit, until the packet held back is due or the
    // count of changes is no longer the one seen; at once when a next
    // record is waiting to be read.
    void wait_for_packet(unsigned long long seen_changes, std::chrono::microseconds limit) const;

    std::unique_ptr<DataPlayerPrivate> d;
};

} // namespace Sarvik
