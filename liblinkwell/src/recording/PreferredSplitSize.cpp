#include <linkwell/PreferredSplitSize.hpp>

#include <cstdint>
#include <iostream>
#include <string>

namespace Sarvik {

class PreferredSplitSizePrivate {
public:
    void reset()
    {
        duration = -1;
        fixed_daily_hour = -1;
        byte_count = -1;
        type = PreferredSplitSize::NoSplit;
    }

    int32_t duration = -1;
    int32_t fixed_daily_hour = -1;
    int64_t byte_count = -1;
    int32_t type = PreferredSplitSize::NoSplit;
};

PreferredSplitSize::PreferredSplitSize()
    : d(std::make_unique<PreferredSplitSizePrivate>())
{ }

PreferredSplitSize::PreferredSplitSize(const PreferredSplitSize& other)
    : d(std::make_unique<PreferredSplitSizePrivate>(*other.d))
{ }

PreferredSplitSize& PreferredSplitSize::operator=(const PreferredSplitSize& other)
{
    if (this != &other)
        d = std::make_unique<PreferredSplitSizePrivate>(*other.d);
    return *this;
}

PreferredSplitSize::PreferredSplitSize(PreferredSplitSize&& other) noexcept = default;
PreferredSplitSize& PreferredSplitSize::operator=(PreferredSplitSize&& other) noexcept = default;
PreferredSplitSize::~PreferredSplitSize() = default;

int PreferredSplitSize::get_type() const
{
    return d->type;
}
int PreferredSplitSize::get_duration() const
{
    return d->duration;
}
long long PreferredSplitSize::get_byte_count() const
{
    return d->byte_count;
}
int PreferredSplitSize::get_fixed_daily_hour() const
{
    return d->fixed_daily_hour;
}

void PreferredSplitSize::set_duration(int seconds)
{
    d->reset();
    if (seconds <= 0)
        return;
    d->duration = seconds;
    d->type = DurationSplit;
}

void PreferredSplitSize::set_byte_count(long long count)
{
    d->reset();
    if (count <= 0)
        return;
    d->byte_count = count;
    d->type = ByteCountSplit;
}

void PreferredSplitSize::set_fixed_daily_hour(int hour)
{
    d->reset();
    if (hour < 0)
        return;
    if (hour > 23) {
        std::cout << "WARNING: set_fixed_daily_hour: invalid hour: " + std::to_string(hour)
                + ": must be in range [0-23]; clamping value\n"
                  << std::flush;
        hour = 23;
    }
    d->fixed_daily_hour = hour;
    d->type = FixedDailyHourSplit;
}

} // namespace Sarvik
