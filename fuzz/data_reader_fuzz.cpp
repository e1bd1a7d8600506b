// Opens a recording made of fuzzer bytes, an index file and one data file
// written to a temporary directory, and drives a data reader over it with
// operations taken from the input: reads in both forms, peeks, seeks, filter
// changes, reopening and conversions. Nothing may crash, hang or read out of
// bounds; a record never holds more bytes than the data file, and a peek
// returns what the next read returns.
//
// Input layout: that of RecordingInput.
#include <linkwell/DataReader.hpp>

#include "RecordingInput.hpp"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

void require(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "reader invariant broken: %s\n", what);
        std::abort();
    }
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
            // Divided first: a hostile index can claim a duration or size near the
            // largest the type holds.
            r.seek_ms(r.get_duration() / 250 * (argument % 251));
            break;
        case 4:
            r.seek_byte(r.get_size() / 250 * (argument % 251));
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
    RecordingInput input;
    if (!input.write(data, size))
        return 0;
    Driver driver(input.index_file, input.data_size);
    if (driver.reader_.open(input.index_file, -1) != 0)
        return 0;
    for (size_t i = 0; i + 1 < input.op_count; i += 2)
        driver.run(input.ops[i], input.ops[i + 1]);
    driver.run(7, 0); // read what is left
    return 0;
}
