#include "simmodule/Flash.hpp"

#include "simmodule/Messages.hpp"

#include <mutex>

namespace simmodule {

namespace {

// C0 10, the page number (high byte first), a zero byte.
constexpr size_t page_write_head = 5;

} // namespace

struct Flash::Store {
    mutable std::mutex mutex;
    std::map<uint16_t, Bytes> pages;
    std::vector<uint16_t> writes;
    unsigned starts = 0;
    std::map<uint16_t, unsigned> refusals;
    unsigned start_refusals = 0;
};

Flash::Flash()
    : store_(std::make_shared<Store>())
{ }

void Flash::write(uint16_t page, const Bytes& bytes)
{
    const std::lock_guard<std::mutex> lock(store_->mutex);
    store_->pages[page] = bytes;
    store_->writes.push_back(page);
}

std::optional<Bytes> Flash::page(uint16_t page) const
{
    const std::lock_guard<std::mutex> lock(store_->mutex);
    const auto found = store_->pages.find(page);
    if (found == store_->pages.end())
        return std::nullopt;
    return found->second;
}

std::map<uint16_t, Bytes> Flash::pages() const
{
    const std::lock_guard<std::mutex> lock(store_->mutex);
    return store_->pages;
}

std::vector<uint16_t> Flash::writes() const
{
    const std::lock_guard<std::mutex> lock(store_->mutex);
    return store_->writes;
}

unsigned Flash::starts() const
{
    const std::lock_guard<std::mutex> lock(store_->mutex);
    return store_->starts;
}

void Flash::count_start()
{
    const std::lock_guard<std::mutex> lock(store_->mutex);
    ++store_->starts;
}

void Flash::refuse(uint16_t page, unsigned times)
{
    const std::lock_guard<std::mutex> lock(store_->mutex);
    store_->refusals[page] = times;
}

bool Flash::take_refusal(uint16_t page)
{
    const std::lock_guard<std::mutex> lock(store_->mutex);
    const auto found = store_->refusals.find(page);
    if (found == store_->refusals.end() || found->second == 0)
        return false;
    --found->second;
    return true;
}

void Flash::refuse_start(unsigned times)
{
    const std::lock_guard<std::mutex> lock(store_->mutex);
    store_->start_refusals = times;
}

bool Flash::take_start_refusal()
{
    const std::lock_guard<std::mutex> lock(store_->mutex);
    if (store_->start_refusals == 0)
        return false;
    --store_->start_refusals;
    return true;
}

void Flash::clear()
{
    const std::lock_guard<std::mutex> lock(store_->mutex);
    store_->pages.clear();
    store_->writes.clear();
    store_->starts = 0;
    store_->refusals.clear();
    store_->start_refusals = 0;
}

std::vector<Rule> bootloader_rules(const BootloaderScript& script, std::function<void()> on_start)
{
    std::vector<Rule> rules;
    rules.push_back(Rule(command::bootloader_info()).reply(bootloader_reply(script.info)));
    Flash flash = script.flash;
    rules.push_back(Rule(command::bootloader_page_write()).reply_with([flash](const Bytes& command) mutable {
        if (command.size() < page_write_head)
            return std::vector<Bytes> { error_reply(1) };
        const auto page = static_cast<uint16_t>(command[2] << 8 | command[3]);
        if (flash.take_refusal(page))
            return std::vector<Bytes> { error_reply(1) };
        flash.write(page, Bytes(command.begin() + page_write_head, command.end()));
        return std::vector<Bytes> { bootloader_reply() };
    }));
    rules.push_back(
        Rule(command::bootloader_start_application()).reply_with([flash, on_start](const Bytes&) mutable {
            if (flash.take_start_refusal())
                return std::vector<Bytes> { error_reply(1) };
            flash.count_start();
            if (on_start)
                on_start();
            return std::vector<Bytes> { bootloader_reply() };
        }));
    rules.push_back(Rule({}).error(1));
    return rules;
}

} // namespace simmodule
