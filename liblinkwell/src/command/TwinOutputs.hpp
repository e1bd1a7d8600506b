// How a status-code twin hands its command's result to the caller's
// out-parameters: a single result goes whole into its one output; a result
// made of parts (a pair, a tuple, an array) is spread over as many outputs,
// first part first. Outputs are pointers or references; results are moved in.
#pragma once

#include <cstddef>
#include <tuple>
#include <type_traits>
#include <utility>

namespace twin_outputs {

template <typename Target, typename Value> void store(Target* out, Value&& value)
{
    *out = std::forward<Value>(value);
}

template <typename Target, typename Value> void store(Target& out, Value&& value)
{
    out = std::forward<Value>(value);
}

template <typename Parts, std::size_t... Index, typename... Outs>
void spread(Parts& parts, std::index_sequence<Index...>, Outs&&... outs)
{
    (store(outs, std::move(std::get<Index>(parts))), ...);
}

template <typename Result, typename Out> void store_all(Result&& result, Out&& out)
{
    store(out, std::forward<Result>(result));
}

template <typename Result, typename First, typename Second, typename... Rest>
void store_all(Result&& result, First&& first, Second&& second, Rest&&... rest)
{
    using Parts = std::decay_t<Result>;
    static_assert(std::tuple_size<Parts>::value == 2 + sizeof...(Rest), "one output per part of the result");
    Parts parts = std::forward<Result>(result);
    spread(parts, std::make_index_sequence<2 + sizeof...(Rest)>(), first, second, rest...);
}

} // namespace twin_outputs
