#include "raw/raw_cube_opener.h"

#include <sys/stat.h>

#include <memory>
#include <optional>

#include "raw/raw_data_io.h"
#include "raw/raw_header_io.h"
#include "raw/raw_image_file.h"
#include "raw/raw_vector_file.h"

namespace {

// Whether `path` is an existing regular file of at least `length` bytes. Checked before the
// data stream is made, since opening a stream creates a missing file.
bool isDataFileOfLength(const std::string& path, std::uint64_t length) {
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode) &&
           static_cast<std::uint64_t>(status.st_size) >= length;
}

}  // namespace

SCRawFile* openRawCube(const std::string& base) {
    SCRawHeader header;
    if (readRplHeader(base + ".rpl", header) != SC_OK) {
        return nullptr;
    }
    const std::optional<std::uint64_t> length =
        rawDataLength(header.width(), header.height(), header.depth());
    const std::string dataPath = base + ".raw";
    if (!length || !isDataFileOfLength(dataPath, *length)) {
        return nullptr;
    }
    std::unique_ptr<RawDataFile> file;
    if (header.format() == SCRawHeader::RECORD_BY_IMAGE) {
        file = std::make_unique<SCRawImageFile>(header, dataPath);
    } else {
        file = std::make_unique<SCRawVectorFile>(header, dataPath);
    }
    // The file may have been replaced or cut between the check and the opening.
    const std::uint64_t openedLength = file->dataFileLength();
    if (!file->isOpen() || openedLength == FileStream::INVALID_POSITION || openedLength < *length) {
        return nullptr;
    }
    return file.release();
}
