// The module's file system. Every failure of these commands is
// std::runtime_error "parse_reply failed in <method>", which carries no
// module code.
#include "command/RadarInterface.hpp"

#include <algorithm>
#include <limits>
#include <stdexcept>

#include "command/CommandRow.hpp"
#include "command/ReplyValue.hpp"
#include "common/LittleEndian.hpp"

namespace {

// Whole files move in chunks of at most this many bytes.
constexpr unsigned file_chunk_size = 256;
// A larger length from the module is refused: a corrupt or hostile length
// would otherwise run millions of round trips and claim as much memory.
constexpr unsigned max_file_length = 64u << 20;

// A list reply's length field counts 4-byte values.
constexpr unsigned list_unit = 4;

std::vector<int> u32_values(const Bytes& data)
{
    std::vector<int> values(data.size() / 4);
    for (std::size_t i = 0; i < values.size(); ++i)
        values[i] = static_cast<int>(little_endian::u32(&data[4 * i]));
    return values;
}

} // namespace

void RadarInterface::create_file(unsigned type, unsigned id, unsigned length)
{
    set(acknowledged_uncoded("create_file"), commands.create_create_file_command(type, id, length));
}

void RadarInterface::open_file(unsigned type, unsigned id)
{
    set(acknowledged_uncoded("open_file"), commands.create_open_file_command(type, id));
}

void RadarInterface::set_file_data(unsigned type, unsigned id, unsigned offset, const Bytes& data)
{
    set(acknowledged_uncoded("set_file_data"), commands.create_set_file_data(type, id, offset, data));
}

void RadarInterface::close_file(unsigned type, unsigned id, bool flag)
{
    set(acknowledged_uncoded("close_file"), commands.create_close_file(type, id, flag ? 1 : 0));
}

unsigned RadarInterface::get_file_length(unsigned type, unsigned id)
{
    return get<uint32_t>(
        getter("get_file_length", value_or_error(u32_value)), commands.create_get_file_length(type, id));
}

void RadarInterface::delete_file(unsigned type, unsigned id)
{
    set(acknowledged_uncoded("delete_file"), commands.create_delete_file(type, id));
}

Bytes RadarInterface::get_file_data(unsigned type, unsigned id, unsigned offset, unsigned length)
{
    return get_items(getter("get_file_data", value_or_error(byte_value)),
        commands.create_get_file_data(type, id, offset, length), 1);
}

void RadarInterface::format_filesystem(unsigned value)
{
    set(acknowledged_uncoded("format_filesystem"), commands.create_format_filesystem(value));
}

std::vector<int> RadarInterface::search_for_file_by_type(unsigned type)
{
    return u32_values(get_items(getter("search_for_file_by_type", value_or_error(u32_value)),
        commands.create_search_for_file_type(type), list_unit));
}

Sarvik::Files RadarInterface::find_all_files()
{
    std::vector<int> values = u32_values(get_items(
        getter("find_all_files", value_or_error(u32_value)), commands.create_find_all_files(), list_unit));
    // Types first, then identifiers; an odd count gives the identifiers the
    // extra value.
    const auto half = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
    Sarvik::Files files;
    files.file_types.assign(values.begin(), half);
    files.file_identifiers.assign(half, values.end());
    return files;
}

void RadarInterface::set_file(unsigned type, unsigned id, const Bytes& data)
{
    if (data.size() > std::numeric_limits<unsigned>::max())
        throw std::length_error("set_file: " + std::to_string(data.size()) + " bytes do not fit a file");
    const auto size = static_cast<unsigned>(data.size());
    create_file(type, id, size);
    for (unsigned offset = 0; offset < size;) {
        const unsigned chunk = std::min(size - offset, file_chunk_size);
        const auto begin = data.begin() + static_cast<std::ptrdiff_t>(offset);
        set_file_data(type, id, offset, Bytes(begin, begin + chunk));
        offset += chunk;
    }
    close_file(type, id, true);
}

Bytes RadarInterface::get_file(unsigned type, unsigned id)
{
    open_file(type, id);
    const unsigned length = get_file_length(type, id);
    if (length > max_file_length)
        throw std::runtime_error("get_file: the module reports " + std::to_string(length)
            + " bytes, more than the limit of " + std::to_string(max_file_length));
    Bytes file;
    file.reserve(length);
    for (unsigned offset = 0; offset < length;) {
        const unsigned chunk = std::min(length - offset, file_chunk_size);
        const Bytes part = get_file_data(type, id, offset, chunk);
        // A chunk of another size would leave a hole or a surplus in the
        // file: it is never returned as if it were whole.
        if (part.size() != chunk)
            throw std::runtime_error("get_file: " + std::to_string(part.size()) + " bytes at offset "
                + std::to_string(offset) + ", " + std::to_string(chunk) + " asked for");
        file.insert(file.end(), part.begin(), part.end());
        offset += chunk;
    }
    close_file(type, id, false);
    return file;
}

int RadarInterface::create_file_no_throw(unsigned type, unsigned id, unsigned length)
{
    return no_throw([&] { create_file(type, id, length); });
}

int RadarInterface::open_file_no_throw(unsigned type, unsigned id)
{
    return no_throw([&] { open_file(type, id); });
}

int RadarInterface::delete_file_no_throw(unsigned type, unsigned id)
{
    return no_throw([&] { delete_file(type, id); });
}

int RadarInterface::close_file_no_throw(unsigned type, unsigned id, bool flag)
{
    return no_throw([&] { close_file(type, id, flag); });
}

int RadarInterface::format_filesystem_no_throw(unsigned value)
{
    return no_throw([&] { format_filesystem(value); });
}

int RadarInterface::set_file_data_no_throw(unsigned type, unsigned id, unsigned offset, const Bytes& data)
{
    return no_throw([&] { set_file_data(type, id, offset, data); });
}

int RadarInterface::set_file_no_throw(unsigned type, unsigned id, const Bytes& data)
{
    return no_throw([&] { set_file(type, id, data); });
}

int RadarInterface::get_file_length_no_throw(unsigned type, unsigned id, unsigned& length)
{
    return no_throw([&] { return get_file_length(type, id); }, length);
}

int RadarInterface::get_file_data_no_throw(
    unsigned type, unsigned id, unsigned offset, unsigned length, Bytes& data)
{
    return no_throw([&] { return get_file_data(type, id, offset, length); }, data);
}

int RadarInterface::get_file_no_throw(unsigned type, unsigned id, Bytes& file)
{
    return no_throw([&] { return get_file(type, id); }, file);
}

int RadarInterface::search_for_file_by_type_no_throw(unsigned type, std::vector<int>& identifiers)
{
    return no_throw([&] { return search_for_file_by_type(type); }, identifiers);
}

int RadarInterface::find_all_files_no_throw(Sarvik::Files& files)
{
    return no_throw([&] { return find_all_files(); }, files);
}
