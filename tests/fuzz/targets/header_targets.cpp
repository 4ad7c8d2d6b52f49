// The parsers of header files: the ".rpl" text, the compressed header, the fragmented header.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "fuzz/fuzz_targets.h"
#include "fuzz/targets/fuzz_input.h"
#include "raw/raw_header_io.h"
#include "sc_api/fragmented_scd_header.h"
#include "scd/format/scd_header.h"

namespace fuzz {

namespace {

// A directory made on first use and removed with everything in it when the program ends.
class ScratchDirectory {
  public:
    // In memory when the system offers it: the targets write and flush files on every input.
    ScratchDirectory()
        : path_(std::filesystem::is_directory("/dev/shm") ? "/dev/shm/sc_api_fuzz_XXXXXX"
                                                          : "/tmp/sc_api_fuzz_XXXXXX") {
        check(::mkdtemp(path_.data()) != nullptr);
    }
    ~ScratchDirectory() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    const std::string& path() const { return path_; }

  private:
    std::string path_;
};

}  // namespace

const std::string& scratchDirectory() {
    static const ScratchDirectory directory;
    return directory.path();
}

namespace {

// Writes `bytes` to `path`, replacing it.
void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// Reads `bytes` with reader.read, then checks that writing what was read and reading it again
// gives the same bytes twice.
template <class Header>
void readWriteRead(const std::string& bytes) {
    Header header;
    std::istringstream in(bytes, std::ios::binary);
    if (header.read(in) != 0) {
        return;
    }
    std::ostringstream first(std::ios::binary);
    check(header.write(first) == 0);
    Header again;
    std::istringstream reread(first.str(), std::ios::binary);
    check(again.read(reread) == 0);
    std::ostringstream second(std::ios::binary);
    check(again.write(second) == 0);
    check(first.str() == second.str());
}

}  // namespace

int rplHeader(const std::uint8_t* data, std::size_t size) {
    const std::string path = scratchDirectory() + "/header.rpl";
    writeFile(path, FuzzInput(data, size).rest());
    SCRawHeader header;
    const SCErrorCode result = readRplHeader(path, header);
    check(result == SC_OK || result == SC_FORMAT_ERROR);
    if (result == SC_OK) {
        writeSCRawHeader(path, header);
        SCRawHeader again;
        check(readRplHeader(path, again) == SC_OK && again.width() == header.width() &&
              again.height() == header.height() && again.depth() == header.depth() &&
              again.format() == header.format());
    }
    return 0;
}

int scdHeader(const std::uint8_t* data, std::size_t size) {
    readWriteRead<SCDHeader>(FuzzInput(data, size).rest());
    return 0;
}

int fragmentedHeader(const std::uint8_t* data, std::size_t size) {
    readWriteRead<FragmentedSCDHeader>(FuzzInput(data, size).rest());
    return 0;
}

}  // namespace fuzz
