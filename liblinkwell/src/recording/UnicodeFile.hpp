// The one file object of the recording code: recorded data files, side
// files, session index files on their writing and reading side. Names are
// UTF-8 text, which is what the file system takes on this platform.
//
// It behaves like a standard binary file stream with one position for
// reading and writing and a state of eof, fail and bad bits, but every write
// goes straight to the operating system and reports whether all of its bytes
// reached the file, so that a full disk or a size limit is seen at the write
// that met it. With flush on write, a write returns only once the data is on
// the storage device.
#pragma once

#include <cstdint>
#include <ios>
#include <optional>
#include <sstream>
#include <string>

#include <linkwell/Bytes.hpp>

// Tells two names of one file apart from two files.
struct FileIdentity {
    uint64_t device = 0;
    uint64_t inode = 0;
    bool operator==(const FileIdentity& other) const
    {
        return device == other.device && inode == other.inode;
    }
};

class UnicodeFile {
public:
    explicit UnicodeFile(bool flush_on_write = false);
    UnicodeFile(const std::string& filename, std::ios::openmode mode, bool flush_on_write = false);
    ~UnicodeFile();
    UnicodeFile(const UnicodeFile&) = delete;
    UnicodeFile& operator=(const UnicodeFile&) = delete;

    // Opens the named file with the standard open-mode meaning (in: read an
    // existing file; out: create or truncate; out|app: append; in|out: update
    // an existing file; ate: start at the end). Success clears the state;
    // failure, or a file already open, sets the fail bit. A file is read
    // (mode `in`) only when it is a regular file: a directory, FIFO or device
    // is refused at once, and no open waits for a FIFO's peer.
    bool open(std::ios::openmode mode);
    bool is_open() const { return fd_ >= 0; }
    // Sets the fail bit when nothing is open or the system reports an error
    // (such as a write that could not be completed); false then.
    bool close();

    void set_filename(const std::string& filename) { filename_ = filename; }
    std::string filename() const { return filename_; }
    void clear_filename() { filename_.clear(); }
    // Whether the name's extension (its last dot and what follows) is `extension`.
    bool has_extension(const std::string& extension) const;

    // True when every byte reached the file (and the device, with flush on
    // write); otherwise the bad bit is set and the file holds what was
    // written before the failure. Nothing is written while the fail or bad
    // bit is set.
    bool write(const Bytes& bytes);
    bool write(const void* data, size_t size);
    // The byte count as u32 little-endian, then the bytes, flushed once.
    bool write_size_prefixed(const Bytes& bytes);
    // Appends the whole text of the buffer; a failure sets the bad bit.
    UnicodeFile& operator<<(const std::stringbuf* text);

    // Exactly count bytes at the position; a short read at the end of the
    // file sets eof and fail and gives false.
    bool read_bytes(char* buffer, unsigned count);
    // A u32 little-endian length n, then n bytes, cut at the first NUL. A
    // length beyond the end of the file is a failed read (empty result,
    // fail bit), so a damaged file cannot ask for a huge buffer.
    std::string read_size_prefixed_string();

    bool good() const { return state_ == std::ios::goodbit; }
    bool eof() const { return (state_ & std::ios::eofbit) != 0; }
    bool fail() const { return (state_ & (std::ios::failbit | std::ios::badbit)) != 0; }
    void clear() { state_ = std::ios::goodbit; }
    // Why the last operation failed: the system's text, or "unexpected end
    // of file" for a read that met the end.
    std::string error_text() const;

    // Positions are byte offsets from the start; -1 when the file is closed
    // or the state has failed.
    int64_t tellp();
    bool seekp(int64_t position);
    int64_t tellg();
    // Clears the eof bit, then seeks; false (and the fail bit) when the fail
    // or bad bit was set already or the target lies before the start.
    bool seekg(int64_t offset, std::ios::seekdir direction);
    // Takes storage for `length` bytes from the offset on by writing zeros
    // there (without moving the position), so that later writes there cannot
    // meet a full disk; false, and nothing kept, when there is no room.
    bool reserve(int64_t offset, int64_t length);
    // Cuts the file to the size (a reserve behind it goes).
    bool truncate(int64_t size);
    // The size of the open file in bytes; -1 when closed.
    int64_t size() const;

    // Closes the file (fail bit when it was not open) and removes it; a
    // missing file is no error, any other failure throws
    // std::filesystem::filesystem_error.
    void delete_file();
    // Renames the file to new_name, never replacing an existing file, and
    // keeps it open. Success stores the new name; failure prints "Failed
    // renaming file: " and the system's reason on standard error, keeps the
    // old name and gives false.
    bool rename(const std::string& new_name);

    // Creates one directory level; true also when the directory exists.
    static bool create_directory(const std::string& path);
    // True when anything (file or directory) is found at the path; false when
    // nothing is; other failures of the query throw
    // std::filesystem::filesystem_error.
    static bool file_exists(const std::string& path);
    // The file system's identity of the file at the path; none when the path
    // cannot be queried.
    static std::optional<FileIdentity> identity(const std::string& path);

private:
    bool write_all(const char* data, size_t size);
    bool flush_to_device();
    int64_t position(std::ios::iostate blocking) const;
    bool seek(int64_t offset, int whence, std::ios::iostate blocking);

    int fd_ = -1;
    std::string filename_;
    bool flush_on_write_;
    std::ios::iostate state_ = std::ios::goodbit;
    // errno of the last failure; 0 for an early end of file
    int last_error_ = 0;
    static constexpr int not_regular_file = -1;
};

// The text before the last '/' or '\' of the path; empty when it has neither.
std::string dirname(const std::string& path);
