#pragma once

#include "tuplink/astring.h"
#include "tuplink/blob.h"
#include "tuplink/interface.h"
#include "tuplink/tuple.h"

namespace com::tarn::brix::mv::sc {

// The answer of a method that the interface class declares but an implementation does not
// provide.
inline constexpr int kMethodNotImplemented = -1000014;

// The builder interface "com.tarn.brix.mv.sc.sc_builder" as the interface compiler generates
// it: every method answers kMethodNotImplemented and does nothing. An implementation overrides
// the methods; arguments arrive by value (numbers) or by pointer (null when the caller left
// them out), results are written through pointers that are never null.
class sc_builder : public tuplink::Interface {
  public:
    sc_builder();

    // The counted release of the interface object, not the builder method below.
    using tuplink::Interface::release;

    virtual int start(const tuplink::AString* name, int width, int height, int depth, double factor,
                      int* handle);
    virtual int terminate(int handle);
    virtual int getStatus(int handle, int* status);
    virtual int release(int handle);
    virtual int abort(int handle);
    virtual int addSpectrumLine(int handle, const tuplink::Blob* spectrums);
    virtual int startNewArea(int handle, const tuplink::Tuple* area);
    virtual int numAreas(int handle, int* n);
    virtual int width(int handle, int* w);
    virtual int height(int handle, int* h);
    virtual int depth(int handle, int* d);
    virtual int computeRoiImage(int handle, int z, int count, tuplink::Blob* buffer);

  protected:
    ~sc_builder() override;
};

}  // namespace com::tarn::brix::mv::sc
