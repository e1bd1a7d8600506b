#include "recording/UnicodeFile.hpp"

#include "common/LittleEndian.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <iostream>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace {

std::filesystem::filesystem_error file_system_error(const char* operation, const std::string& path, int error)
{
    return std::filesystem::filesystem_error(
        operation, path, std::error_code(error, std::generic_category()));
}

// The open(2) flags of a standard open mode, as a standard file stream
// takes them; -1 for a combination that it refuses.
int open_flags(std::ios::openmode mode)
{
    const auto has = [mode](std::ios::openmode bit) { return (mode & bit) != 0; };
    const bool in = has(std::ios::in);
    const bool out = has(std::ios::out) || has(std::ios::app);
    const bool trunc = has(std::ios::trunc);
    const bool app = has(std::ios::app);
    if ((trunc && app) || (trunc && !out) || (!in && !out))
        return -1;
    int flags = in ? (out ? O_RDWR : O_RDONLY) : O_WRONLY;
    if (!out)
        return flags;
    if (app)
        flags |= O_CREAT | O_APPEND;
    else if (trunc || !in)
        flags |= O_CREAT | O_TRUNC;
    return flags;
}

// Renames without replacing an existing file. Where the file system cannot
// refuse a replacement itself, a hard link (which never replaces) takes the
// new name before the old one goes; where it has no hard links either, the
// target is checked just before a plain rename.
int rename_no_replace(const char* from, const char* to)
{
    if (renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return -1;
    if (link(from, to) == 0)
        return unlink(from);
    if (errno != EPERM && errno != EOPNOTSUPP)
        return -1;
    struct stat target;
    if (lstat(to, &target) == 0) {
        errno = EEXIST;
        return -1;
    }
    return ::rename(from, to);
}

} // namespace

UnicodeFile::UnicodeFile(bool flush_on_write)
    : flush_on_write_(flush_on_write)
{ }

UnicodeFile::UnicodeFile(const std::string& filename, std::ios::openmode mode, bool flush_on_write)
    : filename_(filename)
    , flush_on_write_(flush_on_write)
{
    open(mode);
}

UnicodeFile::~UnicodeFile()
{
    if (is_open())
        close();
}

bool UnicodeFile::open(std::ios::openmode mode)
{
    const int flags = open_flags(mode);
    if (is_open() || flags < 0 || filename_.empty()) {
        state_ |= std::ios::failbit;
        return false;
    }
    // Non-blocking, so that a FIFO or a device in place of a recording's
    // file cannot stall the open; an existing file is read only when it is
    // a regular file.
    int fd;
    do
        fd = ::open(filename_.c_str(), flags | O_CLOEXEC | O_NONBLOCK, 0666);
    while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        last_error_ = errno;
        state_ |= std::ios::failbit;
        return false;
    }
    struct stat status { };
    const bool queried = fstat(fd, &status) == 0;
    if (!queried || ((mode & std::ios::in) && !S_ISREG(status.st_mode))) {
        last_error_ = !queried ? errno : S_ISDIR(status.st_mode) ? EISDIR : not_regular_file;
        ::close(fd);
        state_ |= std::ios::failbit;
        return false;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if ((mode & std::ios::ate) && lseek(fd, 0, SEEK_END) < 0) {
        ::close(fd);
        state_ |= std::ios::failbit;
        return false;
    }
    fd_ = fd;
    state_ = std::ios::goodbit;
    return true;
}

bool UnicodeFile::close()
{
    if (!is_open()) {
        state_ |= std::ios::failbit;
        return false;
    }
    // The descriptor is gone after close(2) even when it reports an error
    // (EINTR included), so it is never closed twice.
    const int result = ::close(fd_);
    fd_ = -1;
    if (result != 0) {
        state_ |= std::ios::failbit;
        return false;
    }
    return true;
}

bool UnicodeFile::has_extension(const std::string& extension) const
{
    return std::filesystem::path(filename_).extension() == std::filesystem::path(extension);
}

bool UnicodeFile::write_all(const char* data, size_t size)
{
    if (!is_open() || fail()) {
        last_error_ = EBADF;
        state_ |= std::ios::failbit;
        return false;
    }
    while (size > 0) {
        const ssize_t n = ::write(fd_, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            last_error_ = n < 0 ? errno : ENOSPC;
            state_ |= std::ios::badbit;
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool UnicodeFile::flush_to_device()
{
    if (!flush_on_write_)
        return true;
    if (fsync(fd_) != 0) {
        last_error_ = errno;
        state_ |= std::ios::badbit;
        return false;
    }
    return true;
}

bool UnicodeFile::write(const void* data, size_t size)
{
    return write_all(static_cast<const char*>(data), size) && flush_to_device();
}

bool UnicodeFile::write(const Bytes& bytes)
{
    return write(bytes.data(), bytes.size());
}

bool UnicodeFile::write_size_prefixed(const Bytes& bytes)
{
    Bytes prefix;
    little_endian::append_u32(prefix, static_cast<uint32_t>(bytes.size()));
    return write_all(reinterpret_cast<const char*>(prefix.data()), prefix.size()) && write(bytes);
}

UnicodeFile& UnicodeFile::operator<<(const std::stringbuf* text)
{
    if (!text) {
        state_ |= std::ios::failbit;
        return *this;
    }
    const std::string contents = text->str();
    write(contents.data(), contents.size());
    return *this;
}

bool UnicodeFile::read_bytes(char* buffer, unsigned count)
{
    if (!is_open() || !good()) {
        last_error_ = EBADF;
        state_ |= std::ios::failbit;
        return false;
    }
    size_t done = 0;
    while (done < count) {
        const ssize_t n = ::read(fd_, buffer + done, count - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            last_error_ = errno;
            state_ |= std::ios::badbit | std::ios::failbit;
            return false;
        }
        if (n == 0) {
            last_error_ = 0;
            state_ |= std::ios::eofbit | std::ios::failbit;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

std::string UnicodeFile::read_size_prefixed_string()
{
    unsigned char prefix[4];
    if (!read_bytes(reinterpret_cast<char*>(prefix), sizeof prefix))
        return {};
    const uint32_t length = little_endian::u32(prefix);
    const int64_t here = tellg();
    const int64_t end = size();
    if (here < 0 || end < here || length > static_cast<uint64_t>(end - here)) {
        last_error_ = 0;
        state_ |= std::ios::failbit;
        return {};
    }
    std::string text(length, '\0');
    if (!read_bytes(text.data(), length))
        return {};
    text.resize(std::strlen(text.c_str()));
    return text;
}

int64_t UnicodeFile::position(std::ios::iostate blocking) const
{
    if (!is_open() || (state_ & blocking))
        return -1;
    return lseek(fd_, 0, SEEK_CUR);
}

int64_t UnicodeFile::tellp()
{
    return position(std::ios::failbit | std::ios::badbit);
}

int64_t UnicodeFile::tellg()
{
    return position(std::ios::failbit | std::ios::badbit);
}

bool UnicodeFile::seek(int64_t offset, int whence, std::ios::iostate blocking)
{
    if (!is_open() || (state_ & blocking) || lseek(fd_, offset, whence) < 0) {
        last_error_ = is_open() && !(state_ & blocking) ? errno : EBADF;
        state_ |= std::ios::failbit;
        return false;
    }
    return true;
}

bool UnicodeFile::seekp(int64_t position)
{
    return seek(position, SEEK_SET, std::ios::failbit | std::ios::badbit);
}

bool UnicodeFile::seekg(int64_t offset, std::ios::seekdir direction)
{
    state_ &= ~std::ios::eofbit;
    const int whence = direction == std::ios::beg ? SEEK_SET
        : direction == std::ios::cur              ? SEEK_CUR
                                                  : SEEK_END;
    return seek(offset, whence, std::ios::failbit | std::ios::badbit);
}

std::string UnicodeFile::error_text() const
{
    if (last_error_ == 0)
        return "unexpected end of file";
    if (last_error_ == not_regular_file)
        return "not a regular file";
    return std::error_code(last_error_, std::generic_category()).message();
}

bool UnicodeFile::reserve(int64_t offset, int64_t length)
{
    // Written, not only allocated: a later write into blocks that hold data
    // already costs the file system no change of its own records, which
    // matters with flush on write.
    if (!is_open() || offset < 0 || length <= 0)
        return false;
    const std::vector<char> zeros(static_cast<size_t>(length), 0);
    int64_t done = 0;
    while (done < length) {
        const ssize_t n = pwrite(fd_, zeros.data() + done, static_cast<size_t>(length - done), offset + done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            // Nothing of a reserve that did not fit is kept.
            if (ftruncate(fd_, offset) != 0) {
                // The zeros left behind read as no entry.
            }
            return false;
        }
        done += n;
    }
    return true;
}

bool UnicodeFile::truncate(int64_t size)
{
    return is_open() && size >= 0 && ftruncate(fd_, size) == 0;
}

int64_t UnicodeFile::size() const
{
    struct stat status;
    if (!is_open() || fstat(fd_, &status) != 0)
        return -1;
    return status.st_size;
}

void UnicodeFile::delete_file()
{
    close();
    if (std::remove(filename_.c_str()) != 0 && errno != ENOENT)
        throw file_system_error("delete_file", filename_, errno);
}

bool UnicodeFile::rename(const std::string& new_name)
{
    if (rename_no_replace(filename_.c_str(), new_name.c_str()) != 0) {
        std::cerr << "Failed renaming file: " << std::error_code(errno, std::generic_category()).message()
                  << '\n';
        return false;
    }
    filename_ = new_name;
    return true;
}

bool UnicodeFile::create_directory(const std::string& path)
{
    if (mkdir(path.c_str(), 0777) == 0)
        return true;
    struct stat status;
    return errno == EEXIST && stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

bool UnicodeFile::file_exists(const std::string& path)
{
    struct stat status;
    if (stat(path.c_str(), &status) == 0)
        return true;
    if (errno == ENOENT || errno == ENOTDIR)
        return false;
    throw file_system_error("file_exists", path, errno);
}

std::optional<FileIdentity> UnicodeFile::identity(const std::string& path)
{
    struct stat status;
    if (stat(path.c_str(), &status) != 0)
        return std::nullopt;
    return FileIdentity { static_cast<uint64_t>(status.st_dev), static_cast<uint64_t>(status.st_ino) };
}

std::string dirname(const std::string& path)
{
    const size_t cut = path.find_last_of("/\\");
    return cut == std::string::npos ? std::string() : path.substr(0, cut);
}
