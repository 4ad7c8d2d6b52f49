#pragma once

#include <cstdint>
#include <mutex>
#include <string>

#include "sc_api/sc_file_builder.h"
#include "sc_api/shared_ptr.h"

namespace sc_api_python {

// A cube being built line by line from Python: a compressed cube for a ".scdh" name, a raw
// cube (stored by vector, or by image on request) for a ".raw" name. Lines are counted: at most
// height() are accepted. After close() or cancel() the builder takes nothing more. Calls may
// come from several threads; they are serialised.
class CubeBuilder {
  public:
    // Throws InvalidArgument for a name of no cube form or a zero dimension, LibraryError when
    // the cube's files cannot be created.
    CubeBuilder(const std::string& path, unsigned width, unsigned height, unsigned depth,
                float factor, bool rawByImage);
    CubeBuilder(const CubeBuilder&) = delete;
    CubeBuilder& operator=(const CubeBuilder&) = delete;
    // Cancels a builder neither closed nor cancelled.
    ~CubeBuilder();

    unsigned width() const { return width_; }
    unsigned height() const { return height_; }
    unsigned depth() const { return depth_; }
    unsigned linesAdded() const;
    bool isOpen() const;

    // Appends the next line: width() spectra of depth() counts, pixel after pixel.
    // Throws InvalidArgument when all height() lines are in or the builder is finished,
    // LibraryError when the library refuses the line.
    void addLine(const std::uint16_t* line);
    // The ROI image of channels first .. first+count-1 over the lines added so far (the
    // library's sum, times the factor, low 16 bits): height() x width() values.
    void roi(unsigned first, unsigned count, std::uint16_t* out);
    // Completes the cube. Throws LibraryError when the library reports a failure.
    void close();
    // Abandons the cube; its files are removed.
    void cancel();

  private:
    void requireOpen(const char* operation) const;

    std::string path_;                                       // the name given
    unsigned width_, height_, depth_;                        // dimensions of the cube
    SharedPtr<SCFileBuilder, SCDeleteFileBuilder> builder_;  // null once finished
    unsigned lines_ = 0;                                     // lines accepted
    mutable std::mutex lock_;                                // serialises every call
};

}  // namespace sc_api_python
