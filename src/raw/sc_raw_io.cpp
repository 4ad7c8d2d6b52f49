#include "sc_api/sc_raw_io.h"

#include <cstdio>
#include <memory>

#include "raw/raw_cube_export.h"
#include "raw/raw_cube_opener.h"
#include "raw/raw_header_io.h"
#include "raw/raw_image_builder.h"
#include "raw/raw_vector_builder.h"

SCErrorCode SCRawIO::readSCRawHeader(const std::string& rplPath, SCRawHeader& header) {
    return readRplHeader(rplPath, header);
}

SharedPtr<SCRawFile, SCDeleteRawFile> SCRawIO::openSCRawFile(const std::string& base) {
    return SharedPtr<SCRawFile, SCDeleteRawFile>(openRawCube(base));
}

SharedPtr<SCFileBuilder, SCDeleteFileBuilder> SCRawIO::getBuilder(const std::string& base,
                                                                  const SCRawHeader& header) {
    std::unique_ptr<SCFileBuilder> builder;
    if (header.format() == SCRawHeader::RECORD_BY_IMAGE) {
        builder = std::make_unique<SCRawImageBuilder>(base, header);
    } else {
        builder = std::make_unique<SCRawVectorBuilder>(base, header);
    }
    if (!builder->isOpen()) {
        return SharedPtr<SCFileBuilder, SCDeleteFileBuilder>();
    }
    return SharedPtr<SCFileBuilder, SCDeleteFileBuilder>(builder.release());
}

SCErrorCode SCRawIO::saveSCCube(const std::string& base, const SCCube& cube,
                                SCRawHeader::StorageFormat format) {
    return exportRawCube(base, cube, format);
}

void SCRawIO::removeSCRaw(const std::string& base) {
    std::remove((base + ".rpl").c_str());
    std::remove((base + ".raw").c_str());
}
