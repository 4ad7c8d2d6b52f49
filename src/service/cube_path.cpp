#include "service/cube_path.h"

#include <sys/stat.h>

#include <climits>
#include <cstdlib>
#include <optional>
#include <vector>

namespace cube_path {

namespace {

std::optional<std::string> resolved(const std::string& existing) {
    char buffer[PATH_MAX];
    if (::realpath(existing.c_str(), buffer) == nullptr) {
        return std::nullopt;
    }
    return std::string(buffer);
}

bool exists(const std::string& path) {
    struct stat status;
    return ::lstat(path.c_str(), &status) == 0;
}

// `path` with the symbolic links of its longest existing prefix resolved and the rest appended
// as it is (canonical() already removed its "." and ".." segments).
std::optional<std::string> resolvedName(const std::string& path) {
    std::string prefix = path;
    std::string rest;
    while (!prefix.empty() && prefix != "/" && !exists(prefix)) {
        const auto slash = prefix.rfind('/');
        rest = prefix.substr(slash) + rest;
        prefix.erase(slash == 0 ? 1 : slash);
    }
    auto real = resolved(prefix.empty() ? std::string("/") : prefix);
    if (!real) {
        return std::nullopt;
    }
    return (*real == "/" ? std::string() : *real) + rest;
}

bool strictlyBelow(const std::string& path, const std::string& directory) {
    const std::string base = directory == "/" ? std::string() : directory;
    return path.size() > base.size() + 1 && path.compare(0, base.size(), base) == 0 &&
           path[base.size()] == '/';
}

}  // namespace

std::string canonical(std::string_view path, std::string_view root) {
    std::vector<std::string_view> segments;
    auto addSegments = [&segments](std::string_view text) {
        while (!text.empty()) {
            const auto slash = text.find('/');
            const std::string_view segment = text.substr(0, slash);
            text = slash == std::string_view::npos ? std::string_view() : text.substr(slash + 1);
            if (segment.empty() || segment == ".") {
                continue;
            }
            if (segment == "..") {
                if (!segments.empty()) {
                    segments.pop_back();
                }
                continue;
            }
            segments.push_back(segment);
        }
    };
    if (path.empty() || path.front() != '/') {
        addSegments(root);
    }
    addSegments(path);
    if (segments.empty()) {
        return "/";
    }
    std::string result;
    for (std::string_view segment : segments) {
        result += '/';
        result += segment;
    }
    return result;
}

bool insideRoot(const std::string& canonicalName, const std::string& root) {
    const auto realRoot = resolved(canonical(root, "/"));
    if (!realRoot) {
        return false;
    }
    for (const char* suffix : {"", ".scdh", ".scds", ".scdi"}) {
        const std::string file = canonicalName + suffix;
        if (*suffix != '\0' && !exists(file)) {
            continue;
        }
        const auto real = resolvedName(file);
        if (!real || !strictlyBelow(*real, *realRoot)) {
            return false;
        }
    }
    return true;
}

}  // namespace cube_path
