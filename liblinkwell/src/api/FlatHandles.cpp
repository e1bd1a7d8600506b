#include "api/FlatHandles.hpp"

#include <mutex>
#include <unordered_map>
#include <utility>

namespace {

struct Entry {
    const void* kind;
    std::shared_ptr<void> box;
};

struct Registry {
    std::mutex mutex;
    std::unordered_map<const void*, Entry> entries;
};

// Never destroyed: handles that a host did not destroy stay alive until the
// process ends, as they did before they were registered, instead of going
// (with their threads) in the middle of the process's exit.
Registry& registry()
{
    static Registry* const instance = new Registry;
    return *instance;
}

} // namespace

void FlatHandles::add_entry(const void* handle, const void* kind, std::shared_ptr<void> box)
{
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    r.entries[handle] = Entry { kind, std::move(box) };
}

std::shared_ptr<void> FlatHandles::find_entry(const void* handle, const void* kind)
{
    if (!handle)
        return nullptr;
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    const auto found = r.entries.find(handle);
    if (found == r.entries.end() || found->second.kind != kind)
        return nullptr;
    return found->second.box;
}

std::shared_ptr<void> FlatHandles::remove_entry(const void* handle, const void* kind)
{
    if (!handle)
        return nullptr;
    Registry& r = registry();
    std::shared_ptr<void> box;
    {
        std::lock_guard<std::mutex> lock(r.mutex);
        const auto found = r.entries.find(handle);
        if (found == r.entries.end() || found->second.kind != kind)
            return nullptr;
        box = std::move(found->second.box);
        r.entries.erase(found);
    }
    return box;
}
