#pragma once

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

namespace test_support {

// A fresh directory under the system's temporary directory, removed with everything in it
// when the object goes out of scope.
class TempDir {
  public:
    TempDir() : path_((std::filesystem::temp_directory_path() / "sc_api_test_XXXXXX").string()) {
        if (mkdtemp(path_.data()) == nullptr) {
            throw std::runtime_error("cannot create a temporary directory");
        }
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(TempDir&&) = delete;  // one owner removes the directory

    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;  // absolute path of the directory
};

inline bool fileExists(const std::string& path) {
    return std::filesystem::exists(path);
}

inline std::uint64_t fileSize(const std::string& path) {
    return std::filesystem::file_size(path);
}

inline std::vector<unsigned char> readFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
}

inline std::string readFileText(const std::string& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void writeFileBytes(const std::string& path, const std::vector<unsigned char>& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

inline void writeFileText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::trunc) << text;
}

}  // namespace test_support
