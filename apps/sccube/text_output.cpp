#include "text_output.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>

std::string writeTextFile(const std::string& path, const std::string& text) {
    const std::string partial = path + ".partial";
    std::ofstream out(partial, std::ios::trunc);
    if (!out.is_open()) {
        return std::strerror(errno);
    }
    out << text;
    out.close();
    if (out.fail() || std::rename(partial.c_str(), path.c_str()) != 0) {
        std::remove(partial.c_str());
        return "writing failed";
    }
    return {};
}
