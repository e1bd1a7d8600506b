#include "ModuleFiles.hpp"

#include "simmodule/Messages.hpp"

#include <algorithm>

namespace {

using simmodule::Bytes;
using simmodule::Rule;

// The module's code for a file it does not hold.
constexpr uint32_t noSuchFile = 3;

uint32_t u32At(const Bytes& command, size_t offset)
{
    if (command.size() < offset + 4)
        return 0;
    return uint32_t(command[offset]) | uint32_t(command[offset + 1]) << 8
        | uint32_t(command[offset + 2]) << 16 | uint32_t(command[offset + 3]) << 24;
}

} // namespace

ModuleFiles::ModuleFiles()
    : m_store(std::make_shared<Store>())
{ }

void ModuleFiles::store(uint32_t type, uint32_t id, Bytes content)
{
    const std::lock_guard<std::mutex> lock(m_store->mutex);
    m_store->files[{ type, id }] = std::move(content);
}

bool ModuleFiles::holds(uint32_t type, uint32_t id) const
{
    const std::lock_guard<std::mutex> lock(m_store->mutex);
    return m_store->files.count({ type, id }) != 0;
}

void ModuleFiles::install(simmodule::SimModule& module) const
{
    const std::shared_ptr<Store> store = m_store;
    // Each command names the file by type and id at bytes 2 and 6; the
    // answer is computed from what the store holds at that moment.
    const auto withFile = [store](auto answer) {
        return [store, answer](const Bytes& command) -> std::vector<Bytes> {
            const std::lock_guard<std::mutex> lock(store->mutex);
            const auto file = store->files.find({ u32At(command, 2), u32At(command, 6) });
            if (file == store->files.end())
                return { simmodule::error_reply(noSuchFile) };
            return { answer(command, file, store->files) };
        };
    };
    using Files = std::map<std::pair<uint32_t, uint32_t>, Bytes>;
    const auto ack = [](const Bytes&, Files::iterator, Files&) { return simmodule::ack_reply(); };
    const auto length = [](const Bytes&, Files::iterator file, Files&) {
        return simmodule::u32_reply(0, uint32_t(file->second.size()));
    };
    const auto data = [](const Bytes& command, Files::iterator file, Files&) {
        const Bytes& content = file->second;
        const size_t offset = std::min<size_t>(u32At(command, 10), content.size());
        const size_t count = std::min<size_t>(u32At(command, 14), content.size() - offset);
        const auto begin = content.begin() + std::ptrdiff_t(offset);
        return simmodule::get_reply(
            simmodule::value_type::byte, 0, Bytes(begin, begin + std::ptrdiff_t(count)));
    };
    const auto remove = [](const Bytes&, Files::iterator file, Files& files) {
        files.erase(file);
        return simmodule::ack_reply();
    };
    // Added first in reverse, so that they end up in this order.
    module.add_rule_first(Rule({ 0x90, 0x70 }).reply_with(withFile(remove)));
    module.add_rule_first(Rule({ 0x90, 0x68 }).reply_with(withFile(ack)));
    module.add_rule_first(Rule({ 0x90, 0x71 }).reply_with(withFile(data)));
    module.add_rule_first(Rule({ 0x90, 0x69 }).reply_with(withFile(length)));
    module.add_rule_first(Rule({ 0x90, 0x72 }).reply_with(withFile(ack)));
}
