#pragma once

#include <map>
#include <memory>
#include <vector>

#include "sc_api/rect.h"
#include "sc_api/sc_file.h"
#include "service/sc_cube.h"
#include "tuplink/astring.h"
#include "tuplink/critical_section.h"

// The cube interface: remote clients open compressed cubes (simple or fragmented) by path,
// receive integer handles, read through them and release them.
//
// A cube opened under one canonical path (see cube_path::canonical; relative paths are taken
// against SCService::root()) is opened once and shared by its holders; paths outside the root
// are refused. A path keeps its handle for the life of the object, and no handle is ever given
// to another path. Every method answers 1 on success and -1 when refused (an invalid handle, a
// cube that cannot be opened, a missing argument, a spectrum read the cube refuses); a reply
// that would exceed SCService::maxReplyBytes() is refused with tuplink::STATUS_TOO_LARGE before
// it is allocated. Image and ROI reads answer 1 for a valid handle even when the cube refuses
// the read: the buffer then holds zeros.
//
// Calls may arrive on many threads at once. The tables are guarded; each read holds its cube
// by a counted reference, so a cube released by another client meanwhile stays alive until
// the read ends.
class TuplinkSCCubeImpl : public com::tarn::brix::mv::sc::sc_cube {
  public:
    TuplinkSCCubeImpl();

    int getCube(const tuplink::AString* path, int* handle) override;
    int releaseCube(int handle) override;
    int getVersion(int handle, int* v) override;
    int width(int handle, int* w) override;
    int height(int handle, int* h) override;
    int depth(int handle, int* d) override;
    int isAcquired(int handle, int x, int y, bool* isAcquired) override;
    int getSpectrum(int handle, int x, int y, tuplink::Tuple* spectrum) override;
    int getSpectrums(int handle, int x, int y, int count, tuplink::TupleList* spectrums) override;
    int getRegionSpectrum(int handle, int maskOffsetX, int maskOffsetY, const tuplink::Tuple* mask,
                          tuplink::Tuple* spectrum, int* numSpectrums) override;
    int getImage(int handle, int z, tuplink::Blob* buffer) override;
    int getSubImage(int handle, int z, const tuplink::Tuple* area, tuplink::Blob* buffer) override;
    int getImages(int handle, int z, int count, tuplink::Blob* buffer) override;
    int getSubImages(int handle, int z, int count, const tuplink::Tuple* area,
                     tuplink::Blob* buffer) override;
    int getImagesAtChannels(int handle, const tuplink::IntList* channels,
                            tuplink::Blob* buffer) override;
    int getSubImagesAtChannels(int handle, const tuplink::IntList* channels,
                               const tuplink::Tuple* area, tuplink::Blob* buffer) override;
    int computeRoiImage(int handle, int z, int count, tuplink::Blob* buffer) override;
    int computeSubRoiImage(int handle, int z, int count, const tuplink::Tuple* area,
                           tuplink::Blob* buffer) override;

  protected:
    // Destroys every cube that still has holders (unless a read still holds it).
    ~TuplinkSCCubeImpl() override;

  private:
    using CubeReference = std::shared_ptr<SCFile>;

    struct CubeEntry {
        CubeReference cube;    // the open cube, or null once released by all its holders
        unsigned holders = 0;  // getCube calls not yet matched by releaseCube
    };

    // The cube of a valid handle, held for the caller; null for an invalid one.
    CubeReference cubeOf(int handle);
    // Opens the cube `name` with SCD::openSCD; null when it cannot be opened.
    static CubeReference open(const std::string& name);
    // Fills one Spectrum tuple with `depth` values moved from `values`.
    static void fillSpectrum(tuplink::Tuple& spectrum, tuplink::Array<float>& values);

    tuplink::CriticalSection lock_;                   // guards both tables
    std::map<tuplink::AString, unsigned> pathTable_;  // canonical path -> handle; only grows
    std::vector<CubeEntry> cubeTable_;                // by handle; only grows
};
