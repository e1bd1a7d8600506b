#include <linkwell/PyDataPlayer.hpp>

#include <linkwell/DataPlayer.hpp>

namespace Sarvik {

PyDataPlayer::PyDataPlayer(const std::string& meta_filename, int count)
    : player_(std::make_shared<DataPlayer>(meta_filename, count))
{ }

PyDataPlayer::~PyDataPlayer() = default;

void PyDataPlayer::play()
{
    player_->play();
}

void PyDataPlayer::pause()
{
    player_->pause();
}

void PyDataPlayer::stop()
{
    player_->stop();
}

int PyDataPlayer::set_filter(unsigned data_types)
{
    return player_->set_filter(data_types);
}

unsigned PyDataPlayer::get_filter() const
{
    return player_->get_filter();
}

void PyDataPlayer::set_playback_rate(float rate)
{
    player_->set_playback_rate(rate);
}

float PyDataPlayer::get_playback_rate() const
{
    return player_->get_playback_rate();
}

void PyDataPlayer::set_loop_mode_enabled(bool enabled)
{
    player_->set_loop_mode_enabled(enabled);
}

bool PyDataPlayer::get_loop_mode_enabled() const
{
    return player_->get_loop_mode_enabled();
}

int PyDataPlayer::set_position(long long ms)
{
    return player_->set_position(ms);
}

long long PyDataPlayer::get_position() const
{
    return player_->get_position();
}

long long PyDataPlayer::get_duration() const
{
    return player_->get_duration();
}

std::string PyDataPlayer::meta_filename() const
{
    return player_->meta_filename();
}

} // namespace Sarvik
