#include "tools/file_access.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

std::string directoryOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

std::string fileExtension(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    const std::size_t dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
        return {};
    }
    return path.substr(dot);
}

bool pathExists(const std::string& path) {
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0;
}

std::optional<std::uint64_t> regularFileSize(const std::string& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) {
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(status.st_size);
}

SCStatus statusFromErrno(int error, const std::string& path, SCProblem otherwise) {
    switch (error) {
        case ENOENT:
        case ENOTDIR:
            return {SCProblem::MISSING_FILE, path};
        case EACCES:
        case EPERM:
        case EROFS:
            return {SCProblem::PERMISSION_DENIED, path};
        case ENOSPC:
        case EDQUOT:
        case EFBIG:
            return {SCProblem::WRITE_FAILED, path, "no space left on the device"};
        default:
            return {otherwise, path, std::strerror(error)};
    }
}

SCStatus checkReadable(const std::string& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        return statusFromErrno(errno, path, SCProblem::DAMAGED_DATA);
    }
    if (!S_ISREG(status.st_mode)) {
        return {SCProblem::NOT_A_CUBE, path,
                S_ISDIR(status.st_mode) ? "is a directory" : "is not a regular file"};
    }
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) {
        return statusFromErrno(errno, path, SCProblem::DAMAGED_DATA);
    }
    ::close(descriptor);
    return {};
}

SCStatus checkCreatable(const std::string& path) {
    const int descriptor = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (descriptor < 0) {
        return statusFromErrno(errno, path, SCProblem::WRITE_FAILED);
    }
    ::close(descriptor);
    ::unlink(path.c_str());
    return {};
}

std::string writeFailureDetail(const std::string& path) {
    struct statvfs filesystem {};
    if (::statvfs(directoryOf(path).c_str(), &filesystem) == 0 && filesystem.f_bavail == 0) {
        return "no space left on the device";
    }
    return "the files could not be written completely (disk full or file size limit?)";
}
