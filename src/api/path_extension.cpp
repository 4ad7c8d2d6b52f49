#include "api/path_extension.h"

std::string pathExtension(const std::string& path) {
    const std::string::size_type dot = path.rfind('.');
    return dot == std::string::npos ? std::string() : path.substr(dot);
}
