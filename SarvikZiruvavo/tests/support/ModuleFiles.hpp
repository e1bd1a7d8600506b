// Stored files of the simulated module, answering the library's file
// commands (open, length, data in chunks, close, delete) by rules: a file
// that is not stored answers with a module error. The data command shares
// its head 90 71 with the older module's integer setting (the Corvid's
// baseband switch): not for Corvid modules.
#pragma once

#include "simmodule/SimModule.hpp"

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

class ModuleFiles {
public:
    using Bytes = std::vector<uint8_t>;

    ModuleFiles();
    // Puts the file rules before the module's other rules.
    void install(simmodule::SimModule& module) const;

    void store(uint32_t type, uint32_t id, Bytes content);
    bool holds(uint32_t type, uint32_t id) const;

private:
    struct Store {
        std::mutex mutex;
        std::map<std::pair<uint32_t, uint32_t>, Bytes> files;
    };
    std::shared_ptr<Store> m_store;
};
