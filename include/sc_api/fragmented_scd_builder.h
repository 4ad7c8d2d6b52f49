#pragma once

#include <string>

#include "sc_api/export.h"
#include "sc_api/rect.h"

// Writer of a fragmented cube named N (a path without extension) of width x height pixels,
// acquired as a sequence of rectangular areas. Each area is written by an SCD builder of its
// own into the SCD cube N + "." + i (i = 1, 2, ... in the order the areas start, plain decimal)
// of the area's size; the map N + ".scdh" (FragmentedSCDHeader) tells, for every pixel, the
// area that stores it. The map is rewritten whole when an area starts and at close(), so the
// file on disk always lists every area started, with the lines received up to that write.
// While the acquisition runs, computeRoiImage() composes the ROI image of the whole cube from
// the areas already finished and the area in progress.
//
// Results are SCErrorCode values. Used by one thread at a time: startNewArea(), then that
// area's lines top line first, then the next area, and so on; close() at the end. Areas may
// overlap: the map gives each pixel to the area whose line arrived last.
class SC_API_EXPORT FragmentedSCDBuilder {
  public:
    // An open builder with no area; no file is touched yet. A builder whose map cannot be
    // allocated is not open. With syncEveryLines > 0 each area's temporaries are flushed to the
    // device every that many lines, as SCD::getBuilder does (against power loss; a crash of
    // the process loses nothing without it).
    FragmentedSCDBuilder(const std::string& name, unsigned width, unsigned height, unsigned depth,
                         float factor, unsigned syncEveryLines = 0);
    // Closes the builder first when it is still open (the result is dropped).
    ~FragmentedSCDBuilder();
    FragmentedSCDBuilder(const FragmentedSCDBuilder&) = delete;
    FragmentedSCDBuilder& operator=(const FragmentedSCDBuilder&) = delete;

    // The whole cube's dimensions.
    unsigned width() const;
    unsigned height() const;
    unsigned depth() const;

    // The area in progress, in cube coordinates; all zero while no area takes lines.
    Rect currentArea() const;
    // Areas started so far.
    unsigned numAreas() const;

    // Finishes the area in progress (its SCD cube is closed, then reopened for ROI images) and
    // starts `area`: registers it in the map, rewrites N + ".scdh" and creates the area's SCD
    // builder; its lines are expected from line area.y on. SC_OK; SC_OUT_OF_RANGE, changing
    // nothing, when the area leaves the cube; SC_FILE_ERROR when the builder is closed;
    // SC_WRITE_ERROR when the map cannot be written (the area stays registered but takes no
    // lines until another area starts); the failure of the previous area's close, nothing else
    // changed (that area stays current, and startNewArea or close may be tried again);
    // SC_FILE_ERROR when the area's SCD builder cannot be created (another builder holds that
    // cube, say), the area then taking no lines. The map is published whole each time: a
    // reader sees the previous map or the new one.
    int startNewArea(Rect area);
    // Adds the next line of the area in progress: its width spectra of depth values, pixel
    // after pixel (value of pixel x, channel c at x * depth + c), and gives its pixels to the
    // area in the map. SC_OK; SC_OUT_OF_RANGE when no area takes lines or the area already has
    // all its lines; SC_FILE_ERROR when the builder is closed; a failure of the area's SCD
    // builder as it returns it (SC_WRITE_ERROR, ...), the line then not given to the area.
    int addSpectrumLine(const unsigned short* line);
    // Finishes the last area and writes the final map. SC_OK; SC_FILE_ERROR when already
    // closed; the failure of the last area's close, or SC_WRITE_ERROR when the map cannot be
    // written (the builder stays open either way and close may be tried again). A builder
    // whose process dies leaves its finished areas, the temporaries of the area in progress
    // and the last map written: SCD::recover makes the cube of them.
    int close();
    // Open from construction until a successful close().
    bool isOpen() const;
    // Does nothing: the files written so far stay. SC_OK.
    int cancel();
    // The ROI image of the whole cube (sum of channels first .. first+count-1, times the
    // factor, low 16 bits) into width x height values: the finished areas in the order they
    // were finished, then the lines received so far of the area in progress, each replacing
    // what lies under it; pixels of no area read 0. SC_OK; SC_OUT_OF_RANGE, leaving out alone,
    // when the channels lie outside the cube, before the first area, or when the temporary
    // buffers cannot be allocated; SC_FILE_ERROR once closed. A finished area whose cube cannot
    // be reopened is left out.
    int computeRoiImage(unsigned first, unsigned count, unsigned short* out);

  private:
    struct Record;
    Record* record_;  // the whole state
};
