// The one path of every function of the flat C interface: find the box's
// live connection, check the caller's arguments, make one call on the
// command interface under the connection's mutex, and copy its outputs into
// the caller's variables and buffers after the mutex is released. Every way
// out of it is an int: 0, the operation's own code, or 1 for a NULL box or
// argument, a closed connection, an output that does not fit, and any
// exception whatever. Nothing is sent and no message is taken when an
// argument is refused.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include <linkwell/Bytes.hpp>

#include "api/FlatConnection.hpp"
#include "api/FlatHandles.hpp"

namespace flat {

// The box's connection while it is open; null for a NULL box, a pointer
// that is no live handle (one destroyed already), a destroyed connection
// handle or a closed connection.
inline std::shared_ptr<FlatConnection> live(Z3_Type* z3)
{
    const std::shared_ptr<Z3_Type> box = FlatHandles::find(z3);
    if (!box)
        return nullptr;
    auto connection = box->connection.lock();
    if (!connection || connection->closed())
        return nullptr;
    return connection;
}

// Runs work() and returns its int, or 0 for work without a result; 1 for
// any exception.
template <typename Work> int guarded(Work&& work) noexcept
{
    try {
        if constexpr (std::is_void_v<decltype(work())>) {
            work();
            return 0;
        } else {
            return static_cast<int>(work());
        }
    } catch (...) {
        return 1;
    }
}

// Runs work(connection) for the box's open connection; 1 without one.
template <typename Work> int with_connection(Z3_Type* z3, Work&& work) noexcept
{
    return guarded([&]() -> int {
        const auto connection = live(z3);
        if (!connection)
            return 1;
        return guarded([&] { return work(*connection); });
    });
}

// One operation under the mutex: its int result, or 0 when it has none.
template <typename Operation> int call(Z3_Type* z3, Operation&& operation) noexcept
{
    return with_connection(z3,
        [&](FlatConnection& connection) { return guarded([&] { return connection.locked(operation); }); });
}

// An operation that writes its outputs through the caller's pointers, which
// must all be set; its code is the result.
template <typename Operation, typename... Outputs>
int call_into(Z3_Type* z3, Operation&& operation, Outputs*... outputs) noexcept
{
    if (!((outputs != nullptr) && ...))
        return 1;
    return call(z3, [&](RadarInterface& radar) { return operation(radar, outputs...); });
}

// The low 8 bits of a 32-bit argument that carries a byte.
inline uint8_t low_byte(unsigned value)
{
    return static_cast<uint8_t>(value & 0xFF);
}

// Thrown for an argument that is refused before anything is done.
struct Refused : std::invalid_argument {
    Refused()
        : std::invalid_argument("refused argument")
    { }
};

// All of the pointers are set.
template <typename... Pointers> bool given(const Pointers*... pointers)
{
    return ((pointers != nullptr) && ...);
}

template <typename... Pointers> void require(const Pointers*... pointers)
{
    if (!given(pointers...))
        throw Refused();
}

// Caller's arrays of `capacity` elements can be written: they are set, or
// nothing may be written to them.
template <typename... Pointers> bool room(unsigned capacity, const Pointers*... arrays)
{
    return capacity == 0 || given(arrays...);
}

template <typename... Pointers> void require_room(unsigned capacity, const Pointers*... arrays)
{
    if (!room(capacity, arrays...))
        throw Refused();
}

// A name, tested before any string is made of it.
inline std::string name(const char* text)
{
    require(text);
    return text;
}

// A caller's input bytes: NULL only with length 0. A length of 2^31 or more
// is a negative int of the host's, refused before the buffer is touched.
inline Bytes bytes(const unsigned char* data, unsigned length)
{
    if (length == 0)
        return {};
    if (length > static_cast<unsigned>(std::numeric_limits<int>::max()))
        throw Refused();
    require(data);
    return Bytes(data, data + length);
}

// Each of the lists holds at most `capacity` elements.
template <typename... Lists> bool fit(unsigned capacity, const Lists&... lists)
{
    return ((lists.size() <= capacity) && ...);
}

// Copies every element, converted to the caller's type.
template <typename Target, typename List> void put(Target* destination, const List& list)
{
    std::transform(
        list.begin(), list.end(), destination, [](const auto& value) { return static_cast<Target>(value); });
}

// Rule T: the text and its NUL, when the text is shorter than the capacity.
inline int text_out(const std::string& text, char* destination, unsigned capacity)
{
    if (text.size() >= capacity)
        return 1;
    require(destination);
    std::copy(text.begin(), text.end(), destination);
    destination[text.size()] = '\0';
    return 0;
}

// Rule C: everything, without a terminator, when it fits.
template <typename Target, typename List>
int copy_out(const List& list, Target* destination, unsigned capacity)
{
    if (!fit(capacity, list))
        return 1;
    if (!list.empty())
        require(destination);
    put(destination, list);
    return 0;
}

// Rule K: as C, with the number of elements copied.
template <typename Target, typename List>
int counted_out(const List& list, Target* destination, unsigned* count, unsigned capacity)
{
    require(count);
    if (copy_out(list, destination, capacity) != 0)
        return 1;
    *count = static_cast<unsigned>(list.size());
    return 0;
}

// Rule R: as much as fits; the length (which may be NULL) was set to 0
// before the read.
template <typename Target, typename List>
int truncated_out(const List& list, Target* destination, unsigned* length, unsigned capacity)
{
    const std::size_t n = std::min<std::size_t>(list.size(), capacity);
    if (n > 0)
        require(destination);
    std::transform(list.begin(), list.begin() + static_cast<std::ptrdiff_t>(n), destination,
        [](const auto& value) { return static_cast<Target>(value); });
    if (length)
        *length = static_cast<unsigned>(n);
    return 0;
}

// The queue a read takes its message from: the kind's own, or one the
// caller subscribed under a name.
struct Queue {
    bool standard;
    const char* name;
};
inline constexpr Queue standard_queue { true, nullptr };
inline Queue named_queue(const char* name)
{
    return { false, name };
}

// Takes the oldest message of the queue, decoded as the catalogue's Kind,
// and hands it to deliver(record), which checks the room of the caller's
// arrays, writes the outputs and returns the result. A message that does
// not decode gives 1. Nothing is taken when an output is missing.
template <typename Kind, typename Deliver>
int read(Z3_Type* z3, Queue queue, bool outputs_given, Deliver&& deliver)
{
    return with_connection(z3, [&](FlatConnection& connection) {
        const std::string queue_name = queue.standard ? std::string() : name(queue.name);
        if (!outputs_given)
            return 1;
        const typename Kind::Public record = connection.locked([&](RadarInterface& radar) {
            return queue.standard ? radar.read<Kind>() : radar.read<Kind>(queue_name);
        });
        return deliver(record);
    });
}

} // namespace flat
