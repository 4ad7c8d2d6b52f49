#include "io/file_stream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <limits>

static_assert(sizeof(off_t) == 8, "file positions must be 64-bit");

namespace {

int openAlways(const char* path, unsigned access) {
    if (path == nullptr) {
        return -1;
    }
    const bool reading = (access & GENERIC_READ) != 0;
    const bool writing = (access & GENERIC_WRITE) != 0;
    int flags = O_CREAT | O_CLOEXEC;
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
    descriptor_ = openAlways(path, access);
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
    return isOpen() && ::ftruncate(descriptor(), 0) == 0 && seekTo(0);
}
