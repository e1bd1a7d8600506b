// Opens a recording made of fuzzer bytes, an index file and one data file
// written to a temporary directory, and drives a data reader over it with
// operations taken from the input: reads in both forms, peeks, seeks, filter
// changes, reopening and conversions. Nothing may crash, hang or read out of
// bounds; a record never holds more bytes than the data file, and a peek
// returns what the next read returns.
//
// Input layout: u16 little-endian length of the index file, u8 number of
// operation bytes, the operation bytes, the index file, then the data file,
// which is named "d" (the seeds' file maps name it).
#include <linkwell/DataReader.hpp>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

void require(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "reader invariant broken: %s\n", what);
        std::abort();
    }
}

// The files of a recording, in a directory of this process that goes with it.
struct TemporaryDirectory {
    TemporaryDirectory()
    {
        // Memory-backed where there is such a file system: the files are
        // written anew for every input.
        const bool shm = access("/dev/shm", W_OK) == 0;
        std::string pattern = std::string(shm ? "/dev/shm" : "/tmp") + "/linkwell-fuzz-reader-XXXXXX";
        require(mkdtemp(pattern.data()) != nullptr, "a temporary directory");
        path = pattern;
    }
    ~TemporaryDirectory()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    std::string path;
};

const std::string& directory()
{
    static const TemporaryDirectory temporary;
    return temporary.path;
}

void write_file(const std::string& path, const uint8_t* data, size_t size)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

bool same(const Sarvik::DataRecord& a, const Sarvik::DataRecord& b)
{
    return a.is_valid == b.is_valid && a.data == b.data && a.data_type == b.data_type && a.epoch == b.epoch
        && a.is_user_header == b.is_user_header;
}

class Driver {
public:
    Driver(const std::string& index, size_t data_size)
        : index_(index)
        , data_size_(data_size)
    { }

    void check(const Sarvik::DataRecord& record)
    {
        require(!record.is_valid || record.data.size() <= data_size_, "records come from the data file");
        if (record.is_valid) {
            bool ok = false;
            const Bytes packet = record.to_binary_packet(&ok);
            require(ok == !packet.empty(), "ok tells whether a packet came");
        }
    }

    void run(uint8_t op, uint8_t argument)
    {
        Sarvik::DataReader& r = reader_;
        switch (op % 8) {
        case 0:
            check(r.read_record());
            break;
        case 1: {
            const Sarvik::DataRecord peeked = r.peek_record();
            const Sarvik::DataRecord read = r.read_record();
            require(same(peeked, read), "a peek returns the next read");
            check(read);
            break;
        }
        case 2: {
            unsigned char buffer[16];
            unsigned size = 0, type = 0;
            long long epoch = 0;
            unsigned char header = 0;
            const unsigned length = argument % 17;
            if (r.read_record(buffer, length, &size, &type, &epoch, &header) == 0)
                require(size <= length, "a read fits its buffer");
            else
                require(
                    size == 0 && type == 0 && epoch == 0 && header == 0, "a failed read clears its outputs");
            break;
        }
        case 3:
            r.seek_ms(r.get_duration() * argument / 250);
            break;
        case 4:
            r.seek_byte(r.get_size() * argument / 250);
            break;
        case 5:
            r.set_filter(argument >= 24 ? 0xFFFFFFFFu : 1u << argument);
            break;
        case 6:
            r.close();
            r.open(index_, argument % 3 - 1);
            break;
        case 7:
            for (int i = 0; i < 1000 && !r.at_end(); ++i)
                check(r.read_record());
            break;
        }
    }

    Sarvik::DataReader reader_;

private:
    std::string index_;
    size_t data_size_;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 3)
        return 0;
    const size_t index_size = data[0] | data[1] << 8;
    const size_t op_count = data[2];
    size_t at = 3;
    const uint8_t* ops = data + at;
    const size_t ops_size = std::min(op_count, size - at);
    at += ops_size;
    const size_t index_part = std::min(index_size, size - at);
    const std::string index = directory() + "/sarvik_recording_meta.dat";
    write_file(index, data + at, index_part);
    at += index_part;
    write_file(directory() + "/d", data + at, size - at);

    Driver driver(index, size - at);
    if (driver.reader_.open(index, -1) != 0)
        return 0;
    for (size_t i = 0; i + 1 < ops_size; i += 2)
        driver.run(ops[i], ops[i + 1]);
    driver.run(7, 0); // read what is left
    return 0;
}
