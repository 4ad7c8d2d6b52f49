#include "sc_api/sc_cube_probe.h"

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <memory>

#include "sc_api/fragmented_scd_header.h"
#include "sc_api/sc_energy_calibration.h"
#include "sc_api/sc_raw_import.h"
#include "sc_api/sc_raw_io.h"
#include "sc_api/scd.h"
#include "tools/file_access.h"

namespace {

constexpr const char* kRplExtension = ".rpl";
constexpr const char* kRawExtension = ".raw";

enum class Family { RAW, SCD };

struct CubeName {
    Family family = Family::SCD;
    std::string base;
};

std::string stripExtension(const std::string& name) {
    return name.substr(0, name.size() - fileExtension(name).size());
}

// Which family of files a name designates; the status says why none does.
SCStatus resolveName(const std::string& name, CubeName& resolved) {
    const std::string extension = fileExtension(name);
    if (extension == SCD::HEADER_EXTENSION) {
        resolved = {Family::SCD, stripExtension(name)};
    } else if (extension == kRplExtension || extension == kRawExtension) {
        resolved = {Family::RAW, stripExtension(name)};
    } else if (pathExists(name + SCD::HEADER_EXTENSION)) {
        resolved = {Family::SCD, name};
    } else if (pathExists(name + kRplExtension)) {
        resolved = {Family::RAW, name};
    } else if (pathExists(name)) {
        return {SCProblem::NOT_A_CUBE, name,
                "expected a .scdh, .rpl or .raw file, or the name of a cube without extension"};
    } else {
        return {SCProblem::MISSING_FILE, name};
    }
    return {};
}

std::uint32_t littleEndian32(const unsigned char* bytes) {
    return std::uint32_t{bytes[0]} | std::uint32_t{bytes[1]} << 8 | std::uint32_t{bytes[2]} << 16 |
           std::uint32_t{bytes[3]} << 24;
}

// The header type of base.scdh, or the reason it has none.
SCStatus readHeaderType(const std::string& base, unsigned& type) {
    const std::string headerPath = base + SCD::HEADER_EXTENSION;
    if (SCStatus readable = checkReadable(headerPath); !readable.ok()) {
        return readable;
    }
    std::ifstream in(headerPath, std::ios::binary);
    unsigned char fields[12] = {};
    in.read(reinterpret_cast<char*>(fields), sizeof fields);
    const std::streamsize got = in.gcount();
    if (got < 4 || littleEndian32(fields) != SCD::MAGIC_NUMBER) {
        return {SCProblem::NOT_A_CUBE, headerPath, "does not start with the SCD magic number"};
    }
    if (got < static_cast<std::streamsize>(sizeof fields)) {
        return {SCProblem::DAMAGED_HEADER, headerPath, "cut short"};
    }
    type = littleEndian32(fields + 8);
    return {};
}

SCStatus checkScdFiles(const std::string& base) {
    for (const char* extension : {SCD::SPECTRUM_FILE_EXTENSION, SCD::IMAGE_FILE_EXTENSION}) {
        if (SCStatus readable = checkReadable(base + extension); !readable.ok()) {
            return readable;
        }
    }
    return {};
}

SCStatus readAreaMap(const std::string& base, FragmentedSCDHeader& map) {
    std::ifstream in(base + SCD::HEADER_EXTENSION, std::ios::binary);
    if (map.read(in) != SC_OK) {
        return {SCProblem::DAMAGED_HEADER, base + SCD::HEADER_EXTENSION,
                "the area map is malformed or cut short"};
    }
    return {};
}

void openScd(const std::string& base, SCOpenedCube& opened) {
    unsigned type = 0;
    opened.status = readHeaderType(base, type);
    if (!opened.status.ok()) {
        return;
    }
    const std::string headerPath = base + SCD::HEADER_EXTENSION;
    if (type == SCD::SIMPLE_HEADER) {
        opened.form = SCCubeForm::SCD;
        opened.status = checkScdFiles(base);
    } else if (type == SCD::FRAGMENTED_HEADER) {
        opened.form = SCCubeForm::FRAGMENTED_SCD;
        FragmentedSCDHeader map;
        opened.status = readAreaMap(base, map);
        for (unsigned i = 1; opened.status.ok() && i <= map.numAreas(); ++i) {
            const std::string area = base + "." + std::to_string(i);
            opened.status = checkReadable(area + SCD::HEADER_EXTENSION);
            if (opened.status.ok()) {
                opened.status = checkScdFiles(area);
            }
        }
    } else {
        opened.status = {SCProblem::NOT_A_CUBE, headerPath,
                         "unknown header type " + std::to_string(type)};
    }
    if (!opened.status.ok()) {
        return;
    }
    opened.cube.reset(SCD::openSCD(base));
    if (!opened.cube) {
        opened.status = {
            opened.form == SCCubeForm::SCD ? SCProblem::DAMAGED_HEADER : SCProblem::DAMAGED_DATA,
            headerPath,
            opened.form == SCCubeForm::SCD
                ? "the header or its index is malformed or cut short"
                : "an area cube is damaged or does not fit the area map"};
    }
}

// Why the strict reader refused a header that can be read.
SCStatus explainRefusedRpl(const std::string& rplPath) {
    SCForeignRawLayout layout;
    const SCStatus foreign = SCRawImport::readLayout(rplPath, layout);
    if (!foreign.ok()) {
        return foreign;
    }
    return {SCProblem::FOREIGN_LAYOUT, rplPath, layout.describe()};
}

void openRaw(const std::string& base, SCOpenedCube& opened) {
    const std::string rplPath = base + kRplExtension;
    const std::string dataPath = base + kRawExtension;
    opened.status = checkReadable(rplPath);
    if (!opened.status.ok()) {
        return;
    }
    SCRawHeader header;
    if (SCRawIO::readSCRawHeader(rplPath, header) != SC_OK) {
        opened.status = explainRefusedRpl(rplPath);
        return;
    }
    opened.form = header.format() == SCRawHeader::RECORD_BY_IMAGE ? SCCubeForm::RAW_IMAGE
                                                                  : SCCubeForm::RAW_VECTOR;
    opened.status = checkReadable(dataPath);
    if (!opened.status.ok()) {
        return;
    }
    const std::uint64_t expected =
        std::uint64_t{header.width()} * header.height() * header.depth() * 4;
    const std::uint64_t actual = regularFileSize(dataPath).value_or(0);
    if (actual < expected) {
        opened.status = {SCProblem::DAMAGED_DATA, dataPath,
                         "holds " + std::to_string(actual) + " bytes, the header promises " +
                             std::to_string(expected)};
        return;
    }
    opened.cube.reset(SCRawIO::getSCRawCubeLoader()->load(dataPath));
    if (!opened.cube) {
        opened.status = {SCProblem::DAMAGED_DATA, dataPath, "cannot be opened"};
    }
}

std::vector<std::string> existing(std::vector<std::string> candidates) {
    std::vector<std::string> found;
    for (std::string& path : candidates) {
        if (pathExists(path)) {
            found.push_back(std::move(path));
        }
    }
    return found;
}

}  // namespace

const char* scCubeFormText(SCCubeForm form) {
    switch (form) {
        case SCCubeForm::RAW_VECTOR:
            return "raw by vector";
        case SCCubeForm::RAW_IMAGE:
            return "raw by image";
        case SCCubeForm::SCD:
            return "compressed (SCD)";
        case SCCubeForm::FRAGMENTED_SCD:
            return "fragmented compressed (SCD)";
    }
    return "unknown";
}

SCOpenedCube SCCubeProbe::open(const std::string& name) {
    SCOpenedCube opened;
    CubeName resolved;
    opened.status = resolveName(name, resolved);
    if (!opened.status.ok()) {
        return opened;
    }
    opened.base = resolved.base;
    if (resolved.family == Family::SCD) {
        openScd(resolved.base, opened);
    } else {
        openRaw(resolved.base, opened);
    }
    return opened;
}

std::vector<std::string> SCCubeProbe::outputFiles(const std::string& base, SCCubeForm form) {
    if (form == SCCubeForm::RAW_VECTOR || form == SCCubeForm::RAW_IMAGE) {
        return {base + kRplExtension, base + kRawExtension};
    }
    return {base + SCD::HEADER_EXTENSION, base + SCD::SPECTRUM_FILE_EXTENSION,
            base + SCD::IMAGE_FILE_EXTENSION};
}

std::vector<std::string> SCCubeProbe::files(const std::string& base, SCCubeForm form) {
    std::vector<std::string> candidates = outputFiles(base, form);
    if (form == SCCubeForm::FRAGMENTED_SCD) {
        candidates.resize(1);
        FragmentedSCDHeader map;
        if (readAreaMap(base, map).ok()) {
            for (unsigned i = 1; i <= map.numAreas(); ++i) {
                for (const std::string& file :
                     outputFiles(base + "." + std::to_string(i), SCCubeForm::SCD)) {
                    candidates.push_back(file);
                }
            }
        }
    }
    candidates.push_back(base + SCEnergyCalibration::EXTENSION);
    return existing(std::move(candidates));
}

SCStatus SCCubeProbe::remove(const std::string& name) {
    CubeName resolved;
    if (SCStatus status = resolveName(name, resolved); !status.ok()) {
        return status;
    }
    SCCubeForm form = SCCubeForm::RAW_VECTOR;
    if (resolved.family == Family::SCD) {
        unsigned type = 0;
        if (SCStatus status = readHeaderType(resolved.base, type); !status.ok()) {
            return status;
        }
        if (type != SCD::SIMPLE_HEADER && type != SCD::FRAGMENTED_HEADER) {
            return {SCProblem::NOT_A_CUBE, resolved.base + SCD::HEADER_EXTENSION,
                    "unknown header type " + std::to_string(type)};
        }
        form = type == SCD::SIMPLE_HEADER ? SCCubeForm::SCD : SCCubeForm::FRAGMENTED_SCD;
    } else if (!pathExists(resolved.base + kRplExtension) &&
               !pathExists(resolved.base + kRawExtension)) {
        return {SCProblem::MISSING_FILE, resolved.base + kRplExtension};
    }
    const std::vector<std::string> cubeFiles = files(resolved.base, form);
    if (form == SCCubeForm::FRAGMENTED_SCD) {
        FragmentedSCDHeader map;
        if (SCStatus status = readAreaMap(resolved.base, map); !status.ok()) {
            return status;
        }
    }
    SCStatus result;
    for (const std::string& file : cubeFiles) {
        if (std::remove(file.c_str()) != 0 && result.ok()) {
            result = statusFromErrno(errno, file, SCProblem::WRITE_FAILED);
        }
    }
    return result;
}
