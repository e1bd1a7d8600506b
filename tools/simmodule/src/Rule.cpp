#include "simmodule/Rule.hpp"

#include "simmodule/Messages.hpp"

#include <algorithm>

namespace simmodule {

Rule::Rule(Bytes prefix)
    : prefix_(std::move(prefix))
{ }

Rule& Rule::reply(const Bytes& payload)
{
    return packet(payload, Form::Framed);
}

Rule& Rule::ack()
{
    return reply(ack_reply());
}

Rule& Rule::error(uint32_t code)
{
    return reply(error_reply(code));
}

Rule& Rule::packet(const Bytes& payload, Form form)
{
    Step step;
    step.kind = Step::Kind::Write;
    step.wire = encode(payload, form);
    steps_.push_back(std::move(step));
    return *this;
}

Rule& Rule::raw(const Bytes& bytes)
{
    return packet(bytes, Form::Raw);
}

Rule& Rule::reply_with(ReplyMaker make)
{
    Step step;
    step.kind = Step::Kind::Compute;
    step.make = std::move(make);
    steps_.push_back(std::move(step));
    return *this;
}

Rule& Rule::after(std::chrono::nanoseconds delay)
{
    Step step;
    step.kind = Step::Kind::Pause;
    // Longer than a century is for ever; the cap keeps deadlines from overflowing.
    step.pause = std::clamp(delay, std::chrono::nanoseconds(0),
        std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::hours(24 * 365 * 100)));
    steps_.push_back(std::move(step));
    return *this;
}

Rule& Rule::hang_up(HangUp how)
{
    Step step;
    step.kind = Step::Kind::HangUp;
    step.how = how;
    steps_.push_back(std::move(step));
    return *this;
}

Rule& Rule::times(unsigned count)
{
    remaining_ = std::max(count, 1u);
    return *this;
}

Rule& Rule::when(std::function<bool(const Bytes& command)> test)
{
    test_ = std::move(test);
    return *this;
}

bool Rule::matches(const Bytes& payload) const
{
    if (payload.size() < prefix_.size() || !std::equal(prefix_.begin(), prefix_.end(), payload.begin()))
        return false;
    if (!test_)
        return true;
    try {
        return test_(payload);
    } catch (...) {
        return false;
    }
}

bool Rule::use()
{
    if (remaining_ == 0)
        return false;
    return --remaining_ == 0;
}

} // namespace simmodule
