// The module's file system: stored files named by a type and an identifier,
// and the rules that answer the host's file commands from them.
//
//   FileSystem files;
//   files.store(0x04554D50, 0, dump_bytes);     // a crash dump
//   module.set_rules(files.rules());            // or add them to a script
//   ...
//   EXPECT_FALSE(files.contains(0x04554D50, 0)); // the host deleted it
//
// Copies share one store, so a test keeps a copy to look at what the host did
// while the module answers from the same files. Every method is thread-safe:
// the rules run on the module's thread.
#pragma once

#include "simmodule/Framing.hpp"
#include "simmodule/Rule.hpp"

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace simmodule {

// File types the modules use.
namespace file_type {
constexpr uint32_t crash_dump = 0x04554D50;
constexpr uint32_t noise_map_first = 0x05F09BCA;
constexpr uint32_t noise_map_second = 0x05F09BCB;
constexpr uint32_t parameter_file = 0x037DD98C;
} // namespace file_type

class FileSystem {
public:
    struct Name {
        uint32_t type = 0;
        uint32_t identifier = 0;
        bool operator==(const Name& other) const
        {
            return type == other.type && identifier == other.identifier;
        }
        bool operator<(const Name& other) const
        {
            return type != other.type ? type < other.type : identifier < other.identifier;
        }
    };

    FileSystem();

    // Stores (or replaces) a file.
    void store(uint32_t type, uint32_t identifier, Bytes contents);
    // False when there was no such file.
    bool remove(uint32_t type, uint32_t identifier);
    bool contains(uint32_t type, uint32_t identifier) const;
    // The file's bytes, or nothing.
    std::optional<Bytes> file(uint32_t type, uint32_t identifier) const;
    // Identifiers of the stored files of a type, in ascending order.
    std::vector<uint32_t> identifiers(uint32_t type) const;
    // Every stored file, ordered by type, then identifier.
    std::vector<Name> names() const;

    // Rules answering the file commands (family 90) from this store; put
    // them before a catch-all. Replies are the module's own:
    //   64 type                      search: list reply (11 11, id 0x64, the
    //                                length counts 4-byte identifiers)
    //   65                           find all: list reply, every type, then
    //                                every identifier
    //   66 type id length            create: a new file of `length` zero
    //                                bytes, stored only when closed with
    //                                commit 1; ack
    //   67 type id offset count data write into the file being created; ack
    //   68 type id commit            close: commit 1 stores the file being
    //                                created, 0 ends a read; ack
    //   69 type id                   length: u32 reply (id 0x69)
    //   70 type id                   delete; ack
    //   71 type id offset length     read: byte reply (id 0x71) with the
    //                                bytes asked for; 90 71 of another
    //                                length is the application set-int
    //                                command and left to the other rules
    //   72 type id                   open for reading; ack
    //   73 value                     format: every file gone; ack
    // A file that does not exist, a read or write outside the file, a commit
    // with nothing created, a file longer than 16 MiB or a command too short
    // for its fields is answered with error 1.
    std::vector<Rule> rules() const;

private:
    struct State;
    std::shared_ptr<State> state_;
};

} // namespace simmodule
