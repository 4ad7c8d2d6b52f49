#pragma once

#include <optional>
#include <string>

#include "io/file_stream.h"

// The journal of an SCD cube being built line by line: N + "__tmp_journal", beside the
// temporary files. It records the cube's dimensions and factor when the builder starts and the
// number of lines whose data are wholly in the temporary spectrum file after each line, so that
// the cube can be made again from the temporaries when the builder's process dies
// (recoverSCDCube). The journal is also the builder's lock: it is held with an exclusive
// advisory lock (flock) for the builder's life, so a second builder, or a recovery, of the same
// cube is refused while one runs. The lock goes with the process, however it ends.
//
// File layout (little-endian): "SCDJ", format version 1, width, height, depth (uint32 each),
// factor (float32), lines written (uint32) at byte 24. 28 bytes.
class BuildJournal {
  public:
    // What a journal holds.
    struct Contents {
        unsigned width = 0;
        unsigned height = 0;
        unsigned depth = 0;
        float factor = 0;
        unsigned lines = 0;  // lines wholly in the temporary spectrum file
    };

    // Takes the lock of cube `name` and writes a new journal of 0 lines. Not open when another
    // process or builder holds the lock, or the journal cannot be written: the caller must then
    // touch none of the cube's temporaries.
    BuildJournal(const std::string& name, const Contents& contents);
    // Takes the lock of the existing journal of cube `name` without changing it (for recovery);
    // check isOpen() and contents().
    explicit BuildJournal(const std::string& name);
    BuildJournal(const BuildJournal&) = delete;
    BuildJournal& operator=(const BuildJournal&) = delete;
    // Releases the lock; the journal file stays unless remove() was called.
    ~BuildJournal() = default;

    bool isOpen() const { return file_.isOpen(); }
    const Contents& contents() const { return contents_; }

    // Records that `lines` lines are wholly written; with `sync`, flushes the journal to the
    // device afterwards. False when the journal cannot be written.
    bool recordLines(unsigned lines, bool sync);
    // Deletes the journal file and releases the lock.
    void remove();

    // The journal's file name for cube `name`.
    static std::string pathOf(const std::string& name);

  private:
    // Opens pathOf(name) (creating it when `create`) and locks it; false when the file cannot
    // be opened or another holds its lock.
    bool lock(const std::string& name, bool create);
    bool readContents();

    std::string path_;             // the journal file
    SystemOutputFileStream file_;  // open and locked while the object holds the lock
    Contents contents_;            // as written or read
};
