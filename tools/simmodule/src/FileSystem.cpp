#include "simmodule/FileSystem.hpp"

#include "simmodule/Messages.hpp"

#include <algorithm>
#include <map>
#include <mutex>
#include <stdexcept>

namespace simmodule {

namespace {

constexpr uint8_t system_family = 0x90;
constexpr uint8_t search_op = 0x64;
constexpr uint8_t find_all_op = 0x65;
constexpr uint8_t create_op = 0x66;
constexpr uint8_t write_op = 0x67;
constexpr uint8_t close_op = 0x68;
constexpr uint8_t length_op = 0x69;
constexpr uint8_t delete_op = 0x70;
constexpr uint8_t read_op = 0x71;
constexpr uint8_t open_op = 0x72;
constexpr uint8_t format_op = 0x73;

// The read shares its head with the application set-int command (90 71, an
// id, a count, the values); only a command of the read's length is a read.
constexpr size_t read_length = 2 + 4 * 4;

constexpr uint32_t refused = 1;
// A larger file is refused: a length from the host is not trusted with memory.
constexpr uint32_t max_file_length = 16u << 20;

// The fields of a file command: u32 values after the two head bytes. A
// command too short for the fields it needs is refused.
class Fields {
public:
    explicit Fields(const Bytes& command)
        : command_(command)
    { }
    bool has(size_t count) const { return command_.size() >= 2 + 4 * count; }
    uint32_t operator[](size_t index) const
    {
        const size_t at = 2 + 4 * index;
        return uint32_t(command_[at]) | uint32_t(command_[at + 1]) << 8 | uint32_t(command_[at + 2]) << 16
            | uint32_t(command_[at + 3]) << 24;
    }
    // The bytes after `count` fields.
    Bytes tail(size_t count) const
    {
        return Bytes(command_.begin() + static_cast<std::ptrdiff_t>(2 + 4 * count), command_.end());
    }

private:
    const Bytes& command_;
};

// A list reply: its length field counts 4-byte values, not bytes.
Bytes list_reply(uint32_t id, const std::vector<uint32_t>& values)
{
    PayloadWriter writer;
    writer.u8(message::reply).u8(value_type::u32).u32(id).u32(0).u32(static_cast<uint32_t>(values.size()));
    for (uint32_t value : values)
        writer.u32(value);
    return writer.take();
}

std::vector<Bytes> one(Bytes reply)
{
    return { std::move(reply) };
}

bool within(uint64_t offset, uint64_t count, size_t size)
{
    return offset + count <= size;
}

} // namespace

struct FileSystem::State {
    mutable std::mutex mutex;
    std::map<Name, Bytes> files;
    // Files being created: stored when closed with commit 1.
    std::map<Name, Bytes> creating;

    std::vector<Bytes> answer(const Bytes& command);
};

std::vector<Bytes> FileSystem::State::answer(const Bytes& command)
{
    const Fields f(command);
    const uint8_t op = command.at(1);
    std::lock_guard<std::mutex> lock(mutex);
    switch (op) {
    case search_op: {
        if (!f.has(1))
            break;
        std::vector<uint32_t> found;
        for (const auto& [name, contents] : files)
            if (name.type == f[0])
                found.push_back(name.identifier);
        return one(list_reply(search_op, found));
    }
    case find_all_op: {
        std::vector<uint32_t> values;
        for (const auto& entry : files)
            values.push_back(entry.first.type);
        for (const auto& entry : files)
            values.push_back(entry.first.identifier);
        return one(list_reply(find_all_op, values));
    }
    case create_op:
        if (!f.has(3) || f[2] > max_file_length)
            break;
        creating[Name { f[0], f[1] }] = Bytes(f[2], 0);
        return one(ack_reply());
    case write_op: {
        if (!f.has(4))
            break;
        const auto file = creating.find(Name { f[0], f[1] });
        const Bytes data = f.tail(4);
        if (file == creating.end() || data.size() != f[3] || !within(f[2], data.size(), file->second.size()))
            break;
        std::copy(data.begin(), data.end(), file->second.begin() + static_cast<std::ptrdiff_t>(f[2]));
        return one(ack_reply());
    }
    case close_op: {
        if (!f.has(3))
            break;
        const auto file = creating.find(Name { f[0], f[1] });
        if (f[2] == 1) {
            if (file == creating.end())
                break;
            files[file->first] = std::move(file->second);
        }
        if (file != creating.end())
            creating.erase(file);
        return one(ack_reply());
    }
    case length_op: {
        if (!f.has(2))
            break;
        const auto file = files.find(Name { f[0], f[1] });
        if (file == files.end())
            break;
        return one(u32_reply(length_op, static_cast<uint32_t>(file->second.size())));
    }
    case delete_op:
        if (!f.has(2) || files.erase(Name { f[0], f[1] }) == 0)
            break;
        return one(ack_reply());
    case read_op: {
        if (!f.has(4))
            break;
        const auto file = files.find(Name { f[0], f[1] });
        if (file == files.end() || !within(f[2], f[3], file->second.size()))
            break;
        const auto begin = file->second.begin() + static_cast<std::ptrdiff_t>(f[2]);
        return one(
            get_reply(value_type::byte, read_op, Bytes(begin, begin + static_cast<std::ptrdiff_t>(f[3]))));
    }
    case open_op:
        if (!f.has(2) || files.count(Name { f[0], f[1] }) == 0)
            break;
        return one(ack_reply());
    case format_op:
        files.clear();
        creating.clear();
        return one(ack_reply());
    default:
        break;
    }
    return one(error_reply(refused));
}

FileSystem::FileSystem()
    : state_(std::make_shared<State>())
{ }

void FileSystem::store(uint32_t type, uint32_t identifier, Bytes contents)
{
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->files[Name { type, identifier }] = std::move(contents);
}

bool FileSystem::remove(uint32_t type, uint32_t identifier)
{
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->files.erase(Name { type, identifier }) > 0;
}

bool FileSystem::contains(uint32_t type, uint32_t identifier) const
{
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->files.count(Name { type, identifier }) > 0;
}

std::optional<Bytes> FileSystem::file(uint32_t type, uint32_t identifier) const
{
    std::lock_guard<std::mutex> lock(state_->mutex);
    const auto found = state_->files.find(Name { type, identifier });
    if (found == state_->files.end())
        return std::nullopt;
    return found->second;
}

std::vector<uint32_t> FileSystem::identifiers(uint32_t type) const
{
    std::lock_guard<std::mutex> lock(state_->mutex);
    std::vector<uint32_t> found;
    for (const auto& entry : state_->files)
        if (entry.first.type == type)
            found.push_back(entry.first.identifier);
    return found;
}

std::vector<FileSystem::Name> FileSystem::names() const
{
    std::lock_guard<std::mutex> lock(state_->mutex);
    std::vector<Name> all;
    for (const auto& entry : state_->files)
        all.push_back(entry.first);
    return all;
}

std::vector<Rule> FileSystem::rules() const
{
    std::vector<Rule> rules;
    for (const uint8_t op : { search_op, find_all_op, create_op, write_op, close_op, length_op, delete_op,
             read_op, open_op, format_op }) {
        auto state = state_;
        Rule rule({ system_family, op });
        if (op == read_op)
            rule.when([](const Bytes& command) { return command.size() == read_length; });
        rules.push_back(
            std::move(rule.reply_with([state](const Bytes& command) { return state->answer(command); })));
    }
    return rules;
}

} // namespace simmodule
