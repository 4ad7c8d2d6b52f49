#pragma once

#include "sc_api/export.h"

namespace lattix::lx_tuplink {
class Processor;
}

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

    // The library's task processor (at most 16 worker threads), on which the SCD readers and
    // writers run their actions. It exists from the loading of the library to its unloading.
    static lattix::lx_tuplink::Processor& getProcessor();

private:
    static lattix::lx_tuplink::Processor ms_processor;
};
