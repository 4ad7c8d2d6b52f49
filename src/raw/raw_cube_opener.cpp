#include "raw/raw_cube_opener.h"

#include <sys/stat.h>

#include <memory>
#include <optional>

#include "raw/raw_data_io.h"
#include "raw/raw_header_io.h"
#include "raw/raw_image_file.h"
#include "raw/raw_vector_file.h"

bool hasRawDataFile(const std::string& dataPath, const SCRawHeader& header) {
    const std::optional<std::uint64_t> length =
        rawDataLength(header.width(), header.height(), header.depth());
    if (header.width() == 0 || header.height() == 0 || header.depth() == 0) {
        return false;
    }
    struct stat status {};
    return length && ::stat(dataPath.c_str(), &status) == 0 && S_ISREG(status.st_mode) &&
           static_cast<std::uint64_t>(status.st_size) >= *length;
}

SCRawFile* openRawCube(const std::string& base) {
    SCRawHeader header;
    if (readRplHeader(base + ".rpl", header) != SC_OK) {
        return nullptr;
    }
    const std::string dataPath = base + ".raw";
    if (!hasRawDataFile(dataPath, header)) {
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
    if (!file->isOpen() || openedLength == FileStream::INVALID_POSITION ||
        openedLength < *rawDataLength(header.width(), header.height(), header.depth())) {
        return nullptr;
    }
    return file.release();
}
