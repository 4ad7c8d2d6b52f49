#pragma once

#include <string>

#include "sc_api/export.h"

namespace lattix::lx_tuplink {
class Processor;
}

class SCFile;

// Static facade of the compressed (SCD) format. A cube named N is stored as N + ".scdh"
// (header), N + ".scds" (one coded stream per pixel) and N + ".scdi" (one coded stream per
// channel image); a fragmented cube keeps only its area map in N + ".scdh" and one SCD cube per
// area. The facade also owns the library's task processor.
class SC_API_EXPORT SCD {
public:
    SCD() = default;
    SCD(const SCD&) = default;
    SCD& operator=(const SCD&) { return *this; }

    static constexpr unsigned int MAGIC_NUMBER = 0x53434446;  // "FDCS" as bytes on disk
    static constexpr unsigned int VERSION = 1;
    static constexpr unsigned int NOT_A_HEADER = 0;
    static constexpr unsigned int SIMPLE_HEADER = 1;
    static constexpr unsigned int FRAGMENTED_HEADER = 2;
    static constexpr unsigned int INDEX32 = 32;
    static constexpr unsigned int INDEX64 = 64;
    static constexpr const char* HEADER_EXTENSION = ".scdh";
    static constexpr const char* SPECTRUM_FILE_EXTENSION = ".scds";
    static constexpr const char* IMAGE_FILE_EXTENSION = ".scdi";

    // Opens the cube named `name` (base path without extension) for reading: a simple cube when
    // name + ".scdh" says so. Null when the header file is missing, does not start with the
    // magic, is cut short or damaged, is of another type, or the data files cannot be opened;
    // no message is produced. The caller owns the cube (delete it, or hand it to a SharedPtr
    // with SCDeleteFile). A cube whose ".scds" or ".scdi" is missing opens, with the missing
    // file created empty: its streams read as undecodable (spectra as zeros).
    static SCFile* openSCD(std::string name);

    // The library's task processor (at most 16 worker threads), on which the SCD readers and
    // writers run their actions. It exists from the loading of the library to its unloading.
    static lattix::lx_tuplink::Processor& getProcessor();

private:
    static lattix::lx_tuplink::Processor ms_processor;
};
