// The data reader of the value-returning interface, for a Python binding:
// it owns one DataReader and forwards every call to it unchanged, with data
// types as plain unsigned masks and records returned by value.
#pragma once

#include <memory>
#include <string>

#include "DataRecord.hpp"
#include "linkwell_export.h"

namespace Sarvik {

class DataReader;

class LINKWELL_API PyDataReader {
public:
    // Nothing open.
    PyDataReader();
    ~PyDataReader();
    // One owner per reader: neither copied nor moved.
    PyDataReader(const PyDataReader&) = delete;
    PyDataReader& operator=(const PyDataReader&) = delete;

    int open(const std::string& meta_filename, int count);
    bool is_open() const;
    void close();
    bool at_end() const;
    int set_filter(unsigned data_types);
    unsigned get_filter() const;
    DataRecord read_record();
    DataRecord peek_record();
    long long get_start_epoch() const;
    long long get_duration() const;
    long long get_size() const;
    unsigned get_data_types() const;
    unsigned get_max_record_size() const;
    std::string get_session_id() const;
    int seek_ms(long long ms);
    int seek_byte(long long byte);

private:
    std::unique_ptr<DataReader> reader_;
};

} // namespace Sarvik
