// One split rule of a recording: when to close a data file (or begin a new
// sub-directory of a session) and go on in the next one. Exactly one value is
// meaningful at a time; every setter forgets the others.
#pragma once

#include <memory>

#include "linkwell_export.h"

namespace Sarvik {

class PreferredSplitSizePrivate;

class LINKWELL_API PreferredSplitSize {
public:
    enum SplitType {
        DurationSplit = 0, // the file is at least this many seconds old
        ByteCountSplit = 1, // at least this many bytes went into it
        FixedDailyHourSplit = 2, // the local clock passes this full hour
        NoSplit = 3,
    };

    PreferredSplitSize();
    PreferredSplitSize(const PreferredSplitSize& other);
    PreferredSplitSize& operator=(const PreferredSplitSize& other);
    // A moved-from rule may only be destroyed or assigned to.
    PreferredSplitSize(PreferredSplitSize&& other) noexcept;
    PreferredSplitSize& operator=(PreferredSplitSize&& other) noexcept;
    ~PreferredSplitSize();

    // The kind, 0 to 3 (SplitType).
    int get_type() const;
    // Each is -1 while the rule is of another kind.
    int get_duration() const;
    long long get_byte_count() const;
    int get_fixed_daily_hour() const;

    // A value of 0 or less leaves no split.
    void set_duration(int seconds);
    void set_byte_count(long long count);
    // A negative hour leaves no split; an hour above 23 is warned about on
    // standard output and taken as 23.
    void set_fixed_daily_hour(int hour);

private:
    std::unique_ptr<PreferredSplitSizePrivate> d;
};

} // namespace Sarvik
