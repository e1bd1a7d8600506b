// The data player of the value-returning interface, for a Python binding:
// it owns one DataPlayer and forwards every call to it unchanged, with data
// types as plain unsigned masks. Exceptions pass through.
//
// A connection made for the playback of a PyDataPlayer shares its player:
// either may be destroyed first.
#pragma once

#include <memory>
#include <string>

#include "linkwell_export.h"

namespace Sarvik {

class DataPlayer;
class PythonLinkwell;

class LINKWELL_API PyDataPlayer {
public:
    // Throws what DataPlayer's constructor throws.
    PyDataPlayer(const std::string& meta_filename, int count);
    ~PyDataPlayer();
    // One owner per player: neither copied nor moved.
    PyDataPlayer(const PyDataPlayer&) = delete;
    PyDataPlayer& operator=(const PyDataPlayer&) = delete;

    void play();
    void pause();
    void stop();
    int set_filter(unsigned data_types);
    unsigned get_filter() const;
    void set_playback_rate(float rate);
    float get_playback_rate() const;
    void set_loop_mode_enabled(bool enabled);
    bool get_loop_mode_enabled() const;
    int set_position(long long ms);
    long long get_position() const;
    long long get_duration() const;
    std::string meta_filename() const;

private:
    // The value-returning connector plays the wrapped player, sharing it.
    friend class PythonLinkwell;
    std::shared_ptr<DataPlayer> shared_player() const { return player_; }

    std::shared_ptr<DataPlayer> player_;
};

} // namespace Sarvik
