#pragma once

#include <cstdint>
#include <shared_mutex>
#include <string>

#include "sc_api/sc_cube_probe.h"
#include "sc_api/sc_energy_calibration.h"
#include "sc_api/sc_file.h"
#include "sc_api/shared_ptr.h"

namespace sc_api_python {

// A half-open range [begin, end) of rows, columns or channels.
struct IndexRange {
    unsigned begin = 0;
    unsigned end = 0;
    unsigned size() const { return end - begin; }
};

// How a cube stores its data, as the Python package and sccube name it: "raw-vector",
// "raw-image", "scd", "fragmented".
const char* formatName(SCCubeForm form);

// An open cube as the Python package reads it: every read delivers the stored 16-bit counts
// (no scale factor), checks its ranges against the cube before reading, and throws
// LibraryError when the library reports a failure. Output buffers are the caller's; they are
// zeroed before a read, so a stream the library cannot decode reads as zeros.
//
// Any number of threads may read at once. Reads of a raw cube are serialised (its file has one
// position); compressed cubes are read in parallel. close() waits for running reads.
class CubeReader {
  public:
    // Opens the cube named by `path` (a ".scdh", ".rpl" or ".raw" file, or a base name) as
    // SCCubeProbe does, with its energy calibration when it has one. Throws LibraryError saying
    // why the cube does not open.
    explicit CubeReader(const std::string& path);
    CubeReader(const CubeReader&) = delete;
    CubeReader& operator=(const CubeReader&) = delete;

    const std::string& path() const { return path_; }
    unsigned width() const { return width_; }
    unsigned height() const { return height_; }
    unsigned depth() const { return depth_; }
    float factor() const { return factor_; }
    unsigned version() const { return version_; }
    SCCubeForm format() const { return format_; }
    // The cube's energy scale; isValid() is false when it has none.
    const SCEnergyCalibration& calibration() const { return calibration_; }
    bool isClosed() const;

    // The counts of rows y, columns x and channels c into out, laid out (y, x, c) row-major.
    // Served from the spectra or from the channel images, whichever costs less to decode.
    // REQUIRES: every range within the cube (begin <= end).
    void readBlock(IndexRange y, IndexRange x, IndexRange c, std::uint16_t* out);
    // Per pixel of rows y and columns x, the sum of channels c, laid out (y, x).
    void sumChannels(IndexRange y, IndexRange x, IndexRange c, std::uint64_t* out);
    // Sum of the spectra of the acquired pixels selected by the maskHeight x maskWidth mask
    // (row-major, non-zero = selected) placed with its pixel (0, 0) at cube pixel (x0, y0);
    // depth() sums into out. Returns the number of pixels summed.
    std::int64_t sumRegion(const std::uint8_t* mask, unsigned maskHeight, unsigned maskWidth,
                           std::int64_t y0, std::int64_t x0, std::uint64_t* out);
    // 1 for every acquired pixel, 0 for the others: height() x width() values.
    void acquiredMap(std::uint8_t* out);
    // Releases the cube's files; later reads throw LibraryError(SC_FILE_ERROR).
    void close();

  private:
    // Reads the spectra of rows y, columns x in runs of consecutive pixels and calls
    // visit(index of the run's first pixel in the request, pixels, their spectra).
    template <class Visit>
    void forEachSpectrumRun(IndexRange y, IndexRange x, Visit visit);
    void readFromSpectra(IndexRange y, IndexRange x, IndexRange c, std::uint16_t* out);
    void readFromImages(IndexRange y, IndexRange x, IndexRange c, std::uint16_t* out);
    void sumFromImages(IndexRange y, IndexRange x, IndexRange c, std::uint64_t* out);
    bool spectraAreCheaper(IndexRange y, IndexRange x, IndexRange c) const;
    void checkRanges(IndexRange y, IndexRange x, IndexRange c) const;
    // Runs work(file) under the lock a read needs: exclusive for a raw cube, shared otherwise.
    // Throws LibraryError(SC_FILE_ERROR) once the cube is closed.
    template <class Work>
    void underReadLock(Work work);

    std::string path_;                      // the name the cube was opened by
    SharedPtr<SCFile, SCDeleteFile> cube_;  // null once closed
    unsigned width_, height_, depth_;       // dimensions of the open cube
    float factor_;                          // stored scale factor
    unsigned version_;                      // 0 raw, 1 compressed
    SCCubeForm format_;                     // storage form
    SCEnergyCalibration calibration_;       // energy scale, or an invalid one
    mutable std::shared_mutex lock_;        // shared by parallel reads, exclusive for close()
};

}  // namespace sc_api_python
