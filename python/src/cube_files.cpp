#include "cube_files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <vector>

#include "cube_spectrum_reader.h"
#include "library_error.h"
#include "sc_api/raw_to_scd.h"
#include "sc_api/sc_io.h"
#include "sc_api/sc_raw_io.h"
#include "sc_api/scd.h"

namespace sc_api_python {
namespace {

bool endsWith(const std::string& text, const std::string& suffix) {
    return text.size() > suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

bool fileExists(const std::string& path) {
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0;
}

// The file name a cube of that kind is opened by.
std::string openingName(const CubeName& name) {
    return name.base + (name.kind == CubeName::Raw ? ".raw" : ".scdh");
}

// Extensions of a cube's files, data first, header last: the order in which a finished cube is
// renamed into place.
std::vector<std::string> extensionsHeaderLast(CubeName::Kind kind) {
    if (kind == CubeName::Raw) {
        return {".raw", ".rpl"};
    }
    return {SCD::SPECTRUM_FILE_EXTENSION, SCD::IMAGE_FILE_EXTENSION, SCD::HEADER_EXTENSION};
}

void removeFiles(CubeName::Kind kind, const std::string& base) {
    if (kind == CubeName::Raw) {
        SCRawIO::removeSCRaw(base);
    } else {
        SCD::removeSCD(base);
    }
}

// A temporary base name beside `base`, unique to this process and call.
std::string temporaryBase(const std::string& base) {
    static unsigned counter = 0;
    return base + ".converting-" + std::to_string(::getpid()) + "-" + std::to_string(++counter);
}

void writeTarget(SCFile& cube, const CubeName& source, const std::string& temporary,
                 const std::string& to) {
    const std::string what = "converting '" + openingName(source) + "'";
    if (to == "scd") {
        if (source.kind == CubeName::Raw) {
            throwIfFailed(RawToSCD::encode(source.base, temporary), what);
        } else {
            CubeSpectrumReader reader(cube);
            throwIfFailed(SCD::encode(reader, temporary), what);
        }
        return;
    }
    const auto format =
        to == "raw-image" ? SCRawHeader::RECORD_BY_IMAGE : SCRawHeader::RECORD_BY_VECTOR;
    throwIfFailed(SCRawIO::saveSCCube(temporary, cube, format), what);
}

}  // namespace

CubeName CubeName::parse(const std::string& path) {
    if (endsWith(path, ".raw") || endsWith(path, ".rpl")) {
        return {Raw, path.substr(0, path.size() - 4)};
    }
    if (endsWith(path, SCD::HEADER_EXTENSION)) {
        return {Compressed, path.substr(0, path.size() - 5)};
    }
    throw InvalidArgument("'" + path +
                          "' does not name a cube: expected a .raw, .rpl or .scdh file name");
}

void convertCube(const std::string& source, const std::string& target, const std::string& to) {
    const CubeName from = CubeName::parse(source);
    const CubeName into = CubeName::parse(target);
    const std::string form = !to.empty() ? to : into.kind == CubeName::Raw ? "raw-vector" : "scd";
    if (form != "scd" && form != "raw-vector" && form != "raw-image") {
        throw InvalidArgument("unknown cube form '" + form +
                              "': expected 'scd', 'raw-vector' or 'raw-image'");
    }
    if ((form == "scd") != (into.kind == CubeName::Compressed)) {
        throw InvalidArgument("the form '" + form + "' does not match the target '" + target +
                              "': 'scd' is written as .scdh, the raw forms as .raw");
    }
    if (from.kind == into.kind && from.base == into.base) {
        throw InvalidArgument("the target '" + target + "' is the source cube itself");
    }
    SharedPtr<SCFile, SCDeleteFile> cube(SCIO::getSCCubeLoader().load(openingName(from)));
    if (!cube) {
        throw LibraryError(SC_FILE_ERROR, "cannot open the cube '" + source + "'");
    }
    const std::string temporary = temporaryBase(into.base);
    try {
        writeTarget(*cube, from, temporary, form);
        for (const std::string& extension : extensionsHeaderLast(into.kind)) {
            if (std::rename((temporary + extension).c_str(), (into.base + extension).c_str()) !=
                0) {
                throw LibraryError(SC_WRITE_ERROR, "cannot rename the converted cube into '" +
                                                       into.base + extension + "'");
            }
        }
    } catch (...) {
        removeFiles(into.kind, temporary);
        throw;
    }
}

bool checkCube(const std::string& path) {
    const CubeName name = CubeName::parse(path);
    SharedPtr<SCFile, SCDeleteFile> cube(SCIO::getSCCubeLoader().load(openingName(name)));
    if (!cube) {
        throw LibraryError(SC_FILE_ERROR, "cannot open the cube '" + path + "'");
    }
    if (name.kind == CubeName::Raw) {
        return true;
    }
    cube.release();
    return SCD::checkIntegrity(name.base);
}

void removeCube(const std::string& path) {
    const CubeName name = CubeName::parse(path);
    const std::string header = name.base + (name.kind == CubeName::Raw ? ".rpl" : ".scdh");
    const std::string data = name.base + (name.kind == CubeName::Raw ? ".raw" : ".scds");
    if (!fileExists(header) && !fileExists(data)) {
        throw LibraryError(SC_FILE_ERROR, "no cube '" + path + "' to remove");
    }
    removeFiles(name.kind, name.base);
    if (fileExists(header)) {
        throw LibraryError(SC_FORMAT_ERROR,
                           "the cube '" + path + "' was not removed: its header cannot be read");
    }
}

}  // namespace sc_api_python
