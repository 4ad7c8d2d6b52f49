#pragma once

#include "tuplink/astring.h"
#include "tuplink/blob.h"
#include "tuplink/interface.h"
#include "tuplink/tuple.h"

namespace com::tarn::brix::mv::sc {

// The cube interface "com.tarn.brix.mv.sc.sc_cube" as the interface compiler generates it:
// every method answers -1000014 and does nothing. An implementation overrides the methods;
// arguments arrive by value (numbers) or by pointer (null when the caller left them out),
// results are written through pointers that are never null.
class sc_cube : public tuplink::Interface {
  public:
    sc_cube();

    virtual int getCube(const tuplink::AString* path, int* handle);
    virtual int releaseCube(int handle);
    virtual int getVersion(int handle, int* v);
    virtual int width(int handle, int* w);
    virtual int height(int handle, int* h);
    virtual int depth(int handle, int* d);
    virtual int isAcquired(int handle, int x, int y, bool* isAcquired);
    virtual int getSpectrum(int handle, int x, int y, tuplink::Tuple* spectrum);
    virtual int getSpectrums(int handle, int x, int y, int count, tuplink::TupleList* spectrums);
    virtual int getRegionSpectrum(int handle, int maskOffsetX, int maskOffsetY,
                                  const tuplink::Tuple* mask, tuplink::Tuple* spectrum,
                                  int* numSpectrums);
    virtual int getImage(int handle, int z, tuplink::Blob* buffer);
    virtual int getSubImage(int handle, int z, const tuplink::Tuple* area, tuplink::Blob* buffer);
    virtual int getImages(int handle, int z, int count, tuplink::Blob* buffer);
    virtual int getSubImages(int handle, int z, int count, const tuplink::Tuple* area,
                             tuplink::Blob* buffer);
    virtual int getImagesAtChannels(int handle, const tuplink::IntList* channels,
                                    tuplink::Blob* buffer);
    virtual int getSubImagesAtChannels(int handle, const tuplink::IntList* channels,
                                       const tuplink::Tuple* area, tuplink::Blob* buffer);
    virtual int computeRoiImage(int handle, int z, int count, tuplink::Blob* buffer);
    virtual int computeSubRoiImage(int handle, int z, int count, const tuplink::Tuple* area,
                                   tuplink::Blob* buffer);

  protected:
    ~sc_cube() override;
};

}  // namespace com::tarn::brix::mv::sc
