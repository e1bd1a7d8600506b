// A recording made of fuzzer bytes, for the targets that read recordings: an
// index file and one data file, named "d" (the seeds' file maps name it),
// written anew for every input into a temporary directory of this process.
//
// Input layout: u16 little-endian length of the index file (its top bit
// set: a journal follows the index file), u8 number of operation bytes, the
// operation bytes, the index file, [u8 length of the journal, the journal,]
// then the data file.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

struct RecordingInput {
    const uint8_t* ops = nullptr;
    size_t op_count = 0;
    std::string index_file;
    size_t data_size = 0;

    // Splits the input and writes its files; false for an input shorter
    // than the layout's head.
    bool write(const uint8_t* data, size_t size)
    {
        if (size < 3)
            return false;
        const size_t index_size = (data[0] | data[1] << 8) & 0x7FFF;
        const bool own_journal = (data[1] & 0x80) != 0;
        size_t at = 3;
        ops = data + at;
        op_count = std::min<size_t>(data[2], size - at);
        at += op_count;
        const size_t index_part = std::min(index_size, size - at);
        index_file = directory() + "/sarvik_recording_meta.dat";
        write_file(index_file, data + at, index_part);
        at += index_part;
        // The journal beside the index file, read when the index file was
        // never closed: by default it names the data file as file 0.
        static const uint8_t default_journal[] = { 0, 0, 0, 0, 2, 0, 0, 0, 'd', 0 };
        const uint8_t* journal = default_journal;
        size_t journal_size = sizeof default_journal;
        if (own_journal && at < size) {
            journal_size = std::min<size_t>(data[at], size - at - 1);
            journal = data + at + 1;
            at += 1 + journal_size;
        }
        write_file(directory() + "/sarvik_recording_meta_tmp.writing", journal, journal_size);
        data_size = size - at;
        write_file(directory() + "/d", data + at, data_size);
        return true;
    }

private:
    struct TemporaryDirectory {
        TemporaryDirectory()
        {
            // Memory-backed where there is such a file system.
            const bool shm = access("/dev/shm", W_OK) == 0;
            std::string pattern = std::string(shm ? "/dev/shm" : "/tmp") + "/linkwell-fuzz-recording-XXXXXX";
            if (!mkdtemp(pattern.data())) {
                std::fprintf(stderr, "no temporary directory\n");
                std::abort();
            }
            path = pattern;
        }
        ~TemporaryDirectory()
        {
            std::error_code ignored;
            std::filesystem::remove_all(path, ignored);
        }
        std::string path;
    };

    static const std::string& directory()
    {
        static const TemporaryDirectory temporary;
        return temporary.path;
    }

    static void write_file(const std::string& path, const uint8_t* data, size_t size)
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
};
