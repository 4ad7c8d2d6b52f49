#pragma once

#include <iosfwd>
#include <utility>

#include "sc_api/export.h"

// The map of a fragmented cube: a cube of width x height pixels acquired as a sequence of
// rectangular areas, each stored as an SCD cube of its own. For every pixel the header holds
// the index of the area whose cube stores its spectrum (0: not acquired), and for every area
// its origin in cube coordinates. Area indices start at 1, in the order the areas were added;
// origin 0 is (0, 0) and belongs to no area.
//
// The header file (the cube's name + ".scdh") is, all little-endian: magic "FDCS", version 1,
// header type 2, number of areas N, width W, height H, depth, factor (float32), the W x H grid
// of uint32 area indices row-major, then N + 1 origins (uint32 x, uint32 y).
class SC_API_EXPORT FragmentedSCDHeader {
  public:
    static constexpr unsigned int VERSION = 1;

    // An empty header, to be filled by read().
    FragmentedSCDHeader();
    // A header for a new cube: every grid entry 0, the single origin (0, 0), no area.
    FragmentedSCDHeader(unsigned width, unsigned height, unsigned depth, float factor);
    ~FragmentedSCDHeader();
    FragmentedSCDHeader(const FragmentedSCDHeader&) = delete;
    FragmentedSCDHeader& operator=(const FragmentedSCDHeader&) = delete;

    // Reads a whole header file from a binary stream positioned at its start. SC_OK, or
    // SC_FORMAT_ERROR for a wrong magic, a version other than 1, a header type other than 2, or
    // a file cut short (sizes are checked against the stream's length before allocating).
    int read(std::istream& in);
    // Writes the whole header file. SC_OK, or SC_WRITE_ERROR as soon as a write fails.
    int write(std::ostream& out) const;

    unsigned width() const;
    unsigned height() const;
    unsigned depth() const;
    float factor() const;
    unsigned numAreas() const;

    // REQUIRES: x < width(), y < height().
    unsigned getAreaIndex(unsigned x, unsigned y) const;
    void setAreaIndex(unsigned x, unsigned y, unsigned index);
    // Registers a new area whose top-left pixel is (x, y); returns its index.
    unsigned addArea(unsigned x, unsigned y);
    // REQUIRES: index <= numAreas().
    const std::pair<unsigned int, unsigned int>& getOrigin(unsigned index) const;

  private:
    struct Record;
    Record* record_;  // the whole state
};
