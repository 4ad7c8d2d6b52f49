#include "io/file_stream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <limits>

#include "io/fault_injection.h"

static_assert(sizeof(off_t) == 8, "file positions must be 64-bit");

namespace {

// Opens the regular file `path`: without blocking on a FIFO or device, refused with EISDIR or
// EINVAL when it is not a regular file, created only when writing.
int openRegular(const char* path, unsigned access) {
    if (path == nullptr) {
        return -1;
    }
    const bool reading = (access & GENERIC_READ) != 0;
    const bool writing = (access & GENERIC_WRITE) != 0;
    int flags = O_CLOEXEC | O_NONBLOCK | O_NOCTTY | (writing ? O_CREAT : 0);
    if (reading && writing) {
        flags |= O_RDWR;
    } else if (writing) {
        flags |= O_WRONLY;
    } else if (reading) {
        flags |= O_RDONLY;
    } else {
        return -1;
    }
    int descriptor;
    do {
        descriptor = ::open(path, flags, 0666);
    } while (descriptor < 0 && errno == EINTR);
    if (descriptor < 0) {
        return -1;
    }
    struct stat status {};
    if (::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode) ||
        ::fcntl(descriptor, F_SETFL, ::fcntl(descriptor, F_GETFL) & ~O_NONBLOCK) != 0) {
        const int error = S_ISDIR(status.st_mode) ? EISDIR : EINVAL;
        ::close(descriptor);
        errno = error;
        return -1;
    }
    return descriptor;
}

// Closes `descriptor` and marks it closed; non-zero on success.
int closeDescriptor(int& descriptor) {
    if (descriptor < 0) {
        return 0;
    }
    const int result = ::close(descriptor);
    descriptor = -1;
    return result == 0 ? 1 : 0;
}

// Repeats `transfer` (read or write) until byteCount bytes are done, the call reports 0 (end
// of file) or an error. Returns the bytes done or -1.
template <class Transfer>
int transferAll(unsigned byteCount, Transfer transfer) {
    if (byteCount > static_cast<unsigned>(INT_MAX)) {
        return -1;
    }
    unsigned done = 0;
    while (done < byteCount) {
        const ssize_t n = transfer(done, byteCount - done);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return -1;
        }
        if (n == 0) {
            break;
        }
        done += static_cast<unsigned>(n);
    }
    return static_cast<int>(done);
}

}  // namespace

FileStream::~FileStream() = default;

bool FileStream::seekBy(std::int64_t distance, unsigned origin) {
    const auto bits = static_cast<std::uint64_t>(distance);
    return seek(static_cast<std::int32_t>(static_cast<std::uint32_t>(bits)),
                static_cast<std::int32_t>(static_cast<std::uint32_t>(bits >> 32)), origin);
}

bool FileStream::seekTo(std::uint64_t offset) {
    if (offset > static_cast<std::uint64_t>(INT64_MAX)) {
        return false;
    }
    return seekBy(static_cast<std::int64_t>(offset), FROM_BEGIN);
}

template <class Stream>
SystemFileStream<Stream>::~SystemFileStream() {
    closeDescriptor(descriptor_);
}

template <class Stream>
bool SystemFileStream<Stream>::open(const char* path, unsigned access) {
    closeDescriptor(descriptor_);
    descriptor_ = openRegular(path, access);
    return isOpen();
}

template <class Stream>
int SystemFileStream<Stream>::close() {
    return closeDescriptor(descriptor_);
}

template <class Stream>
bool SystemFileStream<Stream>::isOpen() const {
    return descriptor_ >= 0;
}

template <class Stream>
std::uint64_t SystemFileStream<Stream>::tell() const {
    const off_t position = ::lseek(descriptor_, 0, SEEK_CUR);
    return position < 0 ? FileStream::INVALID_POSITION : static_cast<std::uint64_t>(position);
}

template <class Stream>
bool SystemFileStream<Stream>::seek(std::int32_t low, std::int32_t high, unsigned origin) {
    static constexpr int kWhence[] = {SEEK_SET, SEEK_CUR, SEEK_END};
    if (origin > FileStream::FROM_END) {
        return false;
    }
    const std::uint64_t bits =
        (static_cast<std::uint64_t>(static_cast<std::uint32_t>(high)) << 32) |
        static_cast<std::uint32_t>(low);
    const auto distance = static_cast<off_t>(bits);
    return ::lseek(descriptor_, distance, kWhence[origin]) >= 0;
}

template <class Stream>
std::uint64_t SystemFileStream<Stream>::size() const {
    struct stat status {};
    if (descriptor_ < 0 || ::fstat(descriptor_, &status) != 0) {
        return FileStream::INVALID_POSITION;
    }
    return static_cast<std::uint64_t>(status.st_size);
}

template class SystemFileStream<InputFileStream>;
template class SystemFileStream<OutputFileStream>;

SystemInputFileStream::SystemInputFileStream(const std::string& path) {
    open(path.c_str(), GENERIC_READ);
}

bool SystemInputFileStream::isEof() const {
    return tell() == size();
}

int SystemInputFileStream::read(void* buffer, unsigned byteCount) {
    auto* bytes = static_cast<char*>(buffer);
    return transferAll(byteCount, [&](unsigned done, unsigned left) {
        return ::read(descriptor(), bytes + done, left);
    });
}

int SystemInputFileStream::readAt(std::uint64_t position, void* buffer, unsigned byteCount) const {
    auto* bytes = static_cast<char*>(buffer);
    if (position > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max()) - byteCount) {
        return -1;
    }
    return transferAll(byteCount, [&](unsigned done, unsigned left) {
        return ::pread(descriptor(), bytes + done, left, static_cast<off_t>(position + done));
    });
}

SystemOutputFileStream::SystemOutputFileStream(const std::string& path) {
    open(path.c_str(), GENERIC_WRITE);
}

int SystemOutputFileStream::write(const void* buffer, unsigned byteCount) {
    if (fault_injection::operationFails()) {
        return -1;
    }
    const auto* bytes = static_cast<const char*>(buffer);
    const int written = transferAll(byteCount, [&](unsigned done, unsigned left) {
        return ::write(descriptor(), bytes + done, left);
    });
    return written == static_cast<int>(byteCount) ? written : -1;
}

int SystemOutputFileStream::writeAt(std::uint64_t position, const void* buffer,
                                    unsigned byteCount) {
    const auto* bytes = static_cast<const char*>(buffer);
    if (position > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max()) - byteCount) {
        return -1;
    }
    const int written = transferAll(byteCount, [&](unsigned done, unsigned left) {
        return ::pwrite(descriptor(), bytes + done, left, static_cast<off_t>(position + done));
    });
    return written == static_cast<int>(byteCount) ? written : -1;
}

bool SystemOutputFileStream::isEof() const {
    return tell() == size();
}

bool SystemOutputFileStream::truncate() {
    if (fault_injection::operationFails()) {
        return false;
    }
    return isOpen() && ::ftruncate(descriptor(), 0) == 0 && seekTo(0);
}

bool SystemOutputFileStream::seek(std::int32_t low, std::int32_t high, unsigned origin) {
    if (fault_injection::operationFails()) {
        return false;
    }
    return SystemFileStream<OutputFileStream>::seek(low, high, origin);
}

bool SystemOutputFileStream::writeAt(const void* buffer, std::uint64_t byteCount,
                                     std::uint64_t offset) {
    if (fault_injection::operationFails()) {
        return false;
    }
    const auto* next = static_cast<const unsigned char*>(buffer);
    while (byteCount != 0) {
        const ssize_t written = ::pwrite(descriptor(), next, static_cast<std::size_t>(byteCount),
                                         static_cast<off_t>(offset));
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        next += written;
        byteCount -= static_cast<std::uint64_t>(written);
        offset += static_cast<std::uint64_t>(written);
    }
    return true;
}

bool SystemOutputFileStream::sync() {
    if (fault_injection::operationFails()) {
        return false;
    }
    return isOpen() && ::fsync(descriptor()) == 0;
}

bool isRegularFile(const std::string& path) {
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

SCErrorCode publishFile(const std::string& path, const void* bytes, std::uint64_t byteCount) {
    const std::string partPath = path + ".part";
    ::unlink(partPath.c_str());
    SystemOutputFileStream part;
    if (!part.open(partPath.c_str(), GENERIC_WRITE)) {
        return SC_FILE_ERROR;
    }
    bool written = part.writeAt(bytes, byteCount, 0) && part.sync();
    written = part.close() != 0 && written;
    if (written && !fault_injection::operationFails() &&
        ::rename(partPath.c_str(), path.c_str()) == 0) {
        return SC_OK;
    }
    ::unlink(partPath.c_str());
    return SC_WRITE_ERROR;
}
