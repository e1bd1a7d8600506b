// Tests of objects that write files into the working directory (the debug
// log of a connection without a sink of its own) run in an empty directory
// of their own, so that nothing lands in the tree and the files can be
// counted.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "support/TestSupport.hpp"

namespace testsupport {

class WorkingDirectory {
public:
    WorkingDirectory()
        : old_(std::filesystem::current_path())
    {
        std::filesystem::current_path(dir_.path());
    }
    ~WorkingDirectory() { std::filesystem::current_path(old_); }
    WorkingDirectory(const WorkingDirectory&) = delete;
    WorkingDirectory& operator=(const WorkingDirectory&) = delete;

    // The names of the files in it, in no particular order.
    std::vector<std::string> files() const
    {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(dir_.path()))
            names.push_back(entry.path().filename().string());
        return names;
    }

    std::string text_of(const std::string& name) const
    {
        std::ifstream file(dir_.path() + "/" + name);
        return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }

private:
    std::filesystem::path old_;
    TempDir dir_;
};

} // namespace testsupport
