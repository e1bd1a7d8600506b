#include "support/ProcessResources.hpp"

#include <chrono>
#include <filesystem>

#include "support/SimulatedConnection.hpp"

namespace testsupport {

namespace {

int entries(const char* directory)
{
    int count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(directory))
        ++count;
    return count;
}

} // namespace

int thread_count()
{
    return entries("/proc/self/task");
}

int open_descriptor_count()
{
    // The iterator's own descriptor is counted too, the same each time.
    return entries("/proc/self/fd");
}

bool resources_back_to(int threads, int descriptors)
{
    return eventually([&] { return thread_count() == threads && open_descriptor_count() == descriptors; },
        std::chrono::seconds(5));
}

} // namespace testsupport
