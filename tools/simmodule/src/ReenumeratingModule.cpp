#include "simmodule/ReenumeratingModule.hpp"

#include "simmodule/Messages.hpp"
#include "simmodule/SimModule.hpp"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

namespace simmodule {

namespace {

// The bootloader command: 02 and the key, little-endian.
constexpr uint8_t start_bootloader_head = 0x02;
constexpr size_t start_bootloader_size = 5;

uint32_t key_of(const Bytes& command)
{
    uint32_t key = 0;
    for (size_t i = 0; i < 4; ++i)
        key |= uint32_t(command[1 + i]) << (8 * i);
    return key;
}

} // namespace

class ReenumeratingModule::Impl {
public:
    Impl(Script script, PortChange on_port_change)
        : script_(std::move(script))
        , on_port_change_(std::move(on_port_change))
    {
        mode_ = script_.starts_in;
        come_up(mode_, std::make_unique<SimModule>(Transport::Pty));
        thread_ = std::thread([this] { run(); });
    }

    ~Impl()
    {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            stopping_ = true;
        }
        changed_.notify_all();
        thread_.join();
        if (module_)
            module_->stop();
    }

    std::string pty_path() const
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        return path_;
    }

    Mode mode() const
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        return mode_;
    }

    bool wait_for(Mode mode, Duration timeout) const
    {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, timeout, [&] { return mode_ == mode && !path_.empty(); });
    }

    unsigned enumerations() const
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        return enumerations_;
    }

    std::vector<Bytes> received() const
    {
        const std::lock_guard<std::mutex> lock(received_mutex_);
        return received_;
    }

    Flash flash() const { return script_.bootloader.flash; }

private:
    // Runs on the module's thread: only flags the change for run().
    void request(Mode target)
    {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            requested_ = target;
        }
        changed_.notify_all();
    }

    void script_application(SimModule& module)
    {
        apply_personality(module, script_.application, script_.rate_hz);
        const std::vector<uint32_t> keys = script_.bootloader_keys;
        SimModule* target = &module;
        module.add_rule_first(
            Rule({ start_bootloader_head }).reply_with([this, keys, target](const Bytes& command) {
                if (command.size() < start_bootloader_size
                    || std::find(keys.begin(), keys.end(), key_of(command)) == keys.end())
                    return std::vector<Bytes> { error_reply(1) };
                change(*target, Mode::Bootloader);
                return std::vector<Bytes> { ack_reply() };
            }));
    }

    void script(SimModule& module, Mode mode)
    {
        if (mode == Mode::Application) {
            script_application(module);
            return;
        }
        module.stop_all_streams();
        SimModule* target = &module;
        module.set_rules(
            bootloader_rules(script_.bootloader, [this, target] { change(*target, Mode::Application); }));
    }

    // Runs on the module's thread, in the reply maker of the command that
    // changes the mode.
    void change(SimModule& module, Mode target)
    {
        if (script_.keeps_port) {
            change_in_place(module, target);
            return;
        }
        // Its port leaves the host's list before the answer goes out, so
        // that nobody who heard the answer finds the port still listed.
        std::string gone;
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            gone = std::move(path_);
            path_.clear();
        }
        if (on_port_change_)
            on_port_change_(gone, std::string());
        request(target);
    }

    // Puts the module of that mode on the pseudo-terminal.
    void come_up(Mode mode, std::unique_ptr<SimModule> module)
    {
        module->set_command_observer([this](const Bytes& payload) {
            const std::lock_guard<std::mutex> lock(received_mutex_);
            received_.push_back(payload);
        });
        script(*module, mode);
        const std::string path = module->pty_path();
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            module_ = std::move(module);
            mode_ = mode;
            path_ = path;
            ++enumerations_;
        }
        if (on_port_change_)
            on_port_change_(std::string(), path);
        changed_.notify_all();
    }

    // Drops the port, which is no longer listed.
    void go_away()
    {
        std::unique_ptr<SimModule> module;
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            module = std::move(module_);
        }
        // The answer that made it go reaches the host first, as a module's
        // last answer does before it restarts.
        module->wait_until_sent(std::chrono::seconds(1));
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        module->stop();
    }

    // The same port, answered in the other mode from the next command on.
    // Called from a reply maker, before the answer to the command that
    // changes the mode goes out.
    void change_in_place(SimModule& module, Mode target)
    {
        script(module, target);
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            mode_ = target;
        }
        changed_.notify_all();
    }

    void run()
    {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            changed_.wait(lock, [&] { return stopping_ || requested_; });
            if (stopping_)
                return;
            const Mode target = *requested_;
            requested_.reset();
            lock.unlock();
            const bool comes_back = target == Mode::Application || script_.comes_back;
            // Opened while the old one is still open, so that it gets another
            // name; nobody knows it before it is announced.
            std::unique_ptr<SimModule> next
                = comes_back ? std::make_unique<SimModule>(Transport::Pty) : nullptr;
            go_away();
            lock.lock();
            if (!next)
                continue;
            if (changed_.wait_for(lock, script_.reenumeration_delay, [&] { return stopping_; }))
                return;
            lock.unlock();
            come_up(target, std::move(next));
            lock.lock();
        }
    }

    Script script_;
    PortChange on_port_change_;
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::unique_ptr<SimModule> module_;
    std::string path_;
    Mode mode_ = Mode::Application;
    std::optional<Mode> requested_;
    unsigned enumerations_ = 0;
    bool stopping_ = false;
    mutable std::mutex received_mutex_;
    std::vector<Bytes> received_;
    std::thread thread_;
};

ReenumeratingModule::ReenumeratingModule(Script script, PortChange on_port_change)
    : impl_(std::make_unique<Impl>(std::move(script), std::move(on_port_change)))
{ }

ReenumeratingModule::~ReenumeratingModule() = default;

std::string ReenumeratingModule::pty_path() const
{
    return impl_->pty_path();
}

ReenumeratingModule::Mode ReenumeratingModule::mode() const
{
    return impl_->mode();
}

bool ReenumeratingModule::wait_for(Mode mode, Duration timeout) const
{
    return impl_->wait_for(mode, timeout);
}

unsigned ReenumeratingModule::enumerations() const
{
    return impl_->enumerations();
}

std::vector<Bytes> ReenumeratingModule::received() const
{
    return impl_->received();
}

Flash ReenumeratingModule::flash() const
{
    return impl_->flash();
}

} // namespace simmodule
