#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sc_api/fragmented_scd_header.h"
#include "sc_api/sc_file.h"

// The reader of a fragmented cube: the map N + ".scdh" (FragmentedSCDHeader) and one SCD cube
// per area, N + "." + i for i = 1 .. numAreas(), presented as one cube of the map's width x
// height pixels. Pixel (x, y) is stored by area i = the map's entry for it, at (x - ox, y - oy)
// of that area's cube, (ox, oy) being the area's origin; entry 0 means not acquired. The read
// primitives split each request by area and forward the pieces to the area cubes; they deliver
// stored counts, and the generic reads scale them once by the map's factor (the area cubes'
// own factors are not used).
//
// Spectra follow the map; images are composed area after area, so where areas overlap the
// area with the higher index wins. Pixels in no area read as zeros and as not acquired.
//
// Reads on one cube may come from several threads at once (they change nothing in the
// object); close() and destruction must not overlap a read.
class FragmentedSCDFile : public SCFile {
  public:
    // Opens the cube named `name` (without extension): reads the map, then opens every area
    // cube with openSCDCube. The cube stays closed (isOpen() false) when the map is missing or
    // damaged, an area cube cannot be opened, an area cube's depth differs from the map's, an
    // area cube placed at its origin leaves the cube, or the map gives a pixel to an area index
    // above numAreas() or to an area whose cube does not cover that pixel. Never fails
    // otherwise: check isOpen().
    explicit FragmentedSCDFile(const std::string& name);
    ~FragmentedSCDFile() override;

    unsigned width() const override { return header_.width(); }
    unsigned height() const override { return header_.height(); }
    unsigned depth() const override { return header_.depth(); }
    // Whether (x, y) lies inside the cube and belongs to an area.
    bool isAcquired(unsigned x, unsigned y) const override;

    // The map and every area cube open.
    bool isOpen() override { return open_; }
    // Releases every area cube; SC_OK, or SC_FILE_ERROR when the cube is not open.
    SCErrorCode close() override;
    // 1.
    unsigned version() const override { return 1; }
    float factor() const override { return header_.factor(); }

    // Every primitive answers SC_FILE_ERROR, reading nothing, once the cube is closed (or when
    // it never opened), and SC_OUT_OF_RANGE, reading nothing, for a request outside the cube
    // (a pixel, a run of pixels, a channel or channel range beyond depth(), fewer buffers than
    // the request lists); SC_ALLOCATION_ERROR when temporary buffers cannot be allocated. A
    // damaged stream of an area cube gives SC_FORMAT_ERROR once every area has been read; its
    // values read as zeros and every other value of the request as decoded.

    // The spectrum of each listed pixel into the buffer of the same index; buffers of pixels
    // that belong to no area are not touched.
    SCErrorCode readSpectrumsAt(const std::vector<SCPixelPosition>& positions,
                                const std::vector<unsigned short*>& outs) override;
    // Clears count x depth() values of out, then reads the run of count pixels from (x, y) on,
    // row-major. The run must lie inside the cube, as for the SCD reader.
    SCErrorCode readSpectrums(unsigned x, unsigned y, unsigned count, unsigned short* out) override;
    // The image of each listed channel into the buffer of the same index; pixels that belong to
    // no area keep what the buffer held.
    SCErrorCode readImagesAt(const std::vector<unsigned>& channels,
                             const std::vector<unsigned short*>& outs) override;
    // Clears the count images of out, then composes the images of channels first ..
    // first+count-1 from every area.
    SCErrorCode readImages(unsigned first, unsigned count, unsigned short* out) override;

  private:
    void open(const std::string& name);
    bool areasFitTheCube() const;
    bool mapGivesPixelsToCoveringAreas() const;
    // Forwards each listed pixel of the cube to the area that stores it; pixels of no area are
    // skipped.
    SCErrorCode readFromAreas(const std::vector<SCPixelPosition>& positions,
                              const std::vector<unsigned short*>& outs);
    // Copies `count` area images (aw x ah values each, one after another) into the cube images
    // `images[k]` at the area's origin.
    void placeAreaImages(unsigned area, const unsigned short* areaImages, std::size_t count,
                         const std::vector<unsigned short*>& images) const;

    FragmentedSCDHeader header_;                  // the map: dimensions, factor, grid, origins
    std::vector<std::unique_ptr<SCFile>> areas_;  // area cube i at i; entry 0 is null
    bool open_ = false;                           // map and every area cube opened, not closed
};
