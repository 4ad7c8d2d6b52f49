#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace test_support {

// A fresh directory under the system's temporary directory, removed with everything in it
// when the object goes out of scope.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    // path() + "/" + name.
    std::string file(const std::string& name) const;

private:
    std::string path_;  // absolute path of the directory
};

bool fileExists(const std::string& path);
std::uint64_t fileSize(const std::string& path);
std::vector<unsigned char> readFileBytes(const std::string& path);
void writeFileBytes(const std::string& path, const std::vector<unsigned char>& bytes);
void writeFileText(const std::string& path, const std::string& text);
std::string readFileText(const std::string& path);

}  // namespace test_support
