#pragma once

#include <string>

#include "sc_api/export.h"
#include "sc_api/sc_cube_loader.h"
#include "sc_api/sc_file_builder.h"
#include "sc_api/shared_ptr.h"

namespace lattix::lx_tuplink {
class Processor;
}

class SCFile;
class SCSpectrumReader;

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

    // Opens the cube named `name` (base path without extension) for reading, a simple or a
    // fragmented cube as name + ".scdh" says. Null when the header file is missing, does not
    // start with the magic, is cut short or damaged, is of another type, the data files cannot
    // be opened, or (fragmented) an area cube name + "." + i cannot be opened or does not fit
    // the area map; no message is produced. Also null when the header claims more than the
    // data files hold (an offset or a stream beyond its file, dimensions that no stream of the
    // file could expand to), so that every later read costs work and memory bounded by the
    // files' sizes; when a file is missing or is not a regular file (a FIFO, a directory, a
    // device). Opening and reading never create, truncate or change a file. A stream that
    // fails to decode later makes its read answer SC_FORMAT_ERROR. A cube with a zero
    // dimension is an empty cube: it opens, and holds no stream to read. The caller owns the
    // cube (delete it, or hand it to a SharedPtr with SCDeleteFile).
    static SCFile* openSCD(std::string name);

    // Deletes the files of the cube named `name`: of a simple cube its ".scdh", ".scds" and
    // ".scdi"; of a fragmented one every area cube name + "." + i (i = 1 .. number of areas,
    // each removed as a cube of its own), then its ".scdh". Files that do not exist are
    // skipped. A fragmented header that cannot be read, a header of another type or no header
    // at all leaves every file in place. Reports nothing.
    static void removeSCD(const std::string& name);

    // Whether every spectrum of the cube `name` (either kind) agrees with every channel image.
    // Prints one line per differing value to std::cout, pixel by pixel within each channel:
    // "x, y, k : s, i" (s from the spectrum, i from the image, all unsigned decimal). A cube
    // that cannot be opened gives false and the logger's error line "ERROR : checkIntegrity :
    // the SCD <name> can't be open" (when the logger is enabled); a cube too large for two
    // copies of it in memory gives false without a message. A stream that cannot be decoded
    // reads as zeros.
    static bool checkIntegrity(const std::string& name);

    // Writes the SCD cube `name` from `reader`: the cube has the reader's width, height, depth
    // and factor, and its lines 0 ... A - 1 are the reader's spectra, A = min(acquiredLines(),
    // height()). The reader is read from its first item to the end of those lines, rewound, and
    // read again; its calls may come from threads of the library, one call at a time. Only
    // whole lines are counted and coded: when the reader ends early or inside a line, the
    // spectra of the lines it did not deliver whole keep the offset 0 in the index and the
    // images hold zeros there. Runs on the calling thread and returns when the three files are
    // complete; the temporary file name + "__tmp__raw__image.raw" is removed at the end.
    // Returns SC_OK once the cube is published, its header last; SC_FILE_ERROR, creating
    // nothing, when the reader is not open or the temporary file cannot be created, and
    // SC_FILE_ERROR when the reader fails or a file of the cube cannot be created;
    // SC_WRITE_ERROR when a write fails or the reader throws; SC_ALLOCATION_ERROR when memory
    // runs out, and at once, creating nothing, when the header's offset indexes (8 bytes per
    // spectrum and per channel) would not fit in the machine's memory. A failed encoding leaves no
    // header of that name (an older cube is withdrawn before its data files are replaced) and
    // removes its data files. Any number of encodings, builders and readers may run at once.
    static int encode(SCSpectrumReader& reader, const std::string& name);

    // A builder that writes the SCD cube `name` line by line (lines in row order, at most
    // `height`); the cube is coded when the builder is closed. Its data wait in the temporary
    // files name + "__tmp_spectrum_file" and name + "__tmp_image_file.raw" until then, their
    // run-length symbols in name + "__tmp_spectrum_symbols" and name + "__tmp_image_symbols",
    // beside the journal name + "__tmp_journal", which counts the lines stored and locks the
    // cube.
    // Every failure to store a line or to complete the cube is returned (SC_WRITE_ERROR,
    // SC_FILE_ERROR, SC_ALLOCATION_ERROR); a failed close() leaves no header and keeps the
    // temporaries, and may be tried again. With syncEveryLines > 0 the temporaries are flushed
    // to the device every that many lines (against power loss; a crash of the process loses
    // nothing without it). Empty when another builder holds the cube (in this process or
    // another), the temporary files cannot be created, or what the builder must hold per
    // spectrum and per channel until close would not fit in the machine's memory.
    static SharedPtr<SCFileBuilder, SCDeleteFileBuilder> getBuilder(const std::string& name,
                                                                    unsigned width, unsigned height,
                                                                    unsigned depth, float factor,
                                                                    unsigned syncEveryLines = 0);

    // Makes a valid cube of what an interrupted acquisition left: for a simple cube, from the
    // temporaries and the journal of its builder (every line stored, the others reading as not
    // acquired); for a fragmented cube, every finished area plus the lines stored of each area
    // whose builder was interrupted, with the map updated to give them their pixels. The cube
    // is byte for byte what the builder's close() would have written for those lines; the
    // temporaries are removed afterwards. Returns the number of lines recovered (0 or more), or
    // SC_FILE_ERROR when there is nothing to recover or a builder of the cube still runs,
    // SC_FORMAT_ERROR for a damaged map or a journal whose dimensions disagree with the
    // builder's temporary image file, SC_ALLOCATION_ERROR when the cube's offset indexes would
    // not fit in memory, or the failure of writing the cube (the temporaries then stay, and
    // recover may be called again).
    static int recover(const std::string& name);

    // A new loader for the registry: it opens the cube whose header file is `path` (ending
    // exactly in ".scdh", case included) and declines every other path.
    static SharedPtr<SCCubeLoader, SCDeleteCubeLoader> getSCDCubeLoader();

    // The library's task processor (at most 16 worker threads), on which the SCD readers and
    // writers run their actions. It exists from the loading of the library to its unloading.
    static lattix::lx_tuplink::Processor& getProcessor();

  private:
    static lattix::lx_tuplink::Processor ms_processor;
};
