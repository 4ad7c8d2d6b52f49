#pragma once

#include <string>

// The removal of a temporary file of many megabytes whose data are freed in the background.
// Removing such a file costs milliseconds, nearly all of it in freeing its data; the name, what
// anyone can see, goes at once. Made before the file's own streams close, this holds the data
// through a descriptor of its own; remove() then takes the name away and leaves the closing of
// that descriptor, which frees the data, to the library's processor.
class TemporaryFileRemoval {
  public:
    // Opens a descriptor on the file at `path` when `inBackground`; without one (not asked for,
    // the file is gone, no descriptor is left), remove() removes the file at once.
    TemporaryFileRemoval(std::string path, bool inBackground);
    TemporaryFileRemoval(const TemporaryFileRemoval&) = delete;
    TemporaryFileRemoval& operator=(const TemporaryFileRemoval&) = delete;
    // Closes the descriptor if remove() has not handed it on.
    ~TemporaryFileRemoval();

    // Removes the file's name now and has its data freed in the background (or at once, see
    // above). Call it once the file's streams are closed.
    void remove();

  private:
    std::string path_;
    int descriptor_;  // holds the file's data, or -1
};
