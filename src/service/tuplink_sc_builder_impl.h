#pragma once

#include <memory>
#include <mutex>
#include <vector>

#include "sc_api/fragmented_scd_builder.h"
#include "service/sc_builder.h"
#include "tuplink/critical_section.h"

// The builder interface: remote acquisition programs build fragmented cubes by handle, area by
// area and line by line, and ask for ROI images while they acquire.
//
// start() makes a FragmentedSCDBuilder and answers its handle, the index of a new entry in the
// builder table; release() destroys the builder (closing it first when still open) and leaves
// its entry empty, so handles are never reused. Names are canonicalised and confined like the
// cube interface's paths (relative to SCService::root(), refused outside it). Every method
// answers 1 on success and -1 when refused: an invalid handle, a missing argument, a line blob
// that is not exactly the current area's width x depth 16-bit values, terminate() of a closed
// builder, computeRoiImage() before the first area or after terminate(). The builder's own
// results of startNewArea, addSpectrumLine and close are not passed on. A ROI reply larger
// than SCService::maxReplyBytes() is refused with tuplink::STATUS_TOO_LARGE before it is
// allocated, and so is a start() whose ROI image could never be sent.
//
// Calls may arrive on many threads at once: the table is guarded, and the calls on one builder
// run one after the other, each holding the builder by a counted reference. Destroying the
// interface object (when the host stops) destroys every builder, closing those still open, so
// lines already received are never lost.
class TuplinkSCBuilderImpl : public com::tarn::brix::mv::sc::sc_builder {
  public:
    TuplinkSCBuilderImpl();

    int start(const tuplink::AString* name, int width, int height, int depth, double factor,
              int* handle) override;
    int terminate(int handle) override;
    int getStatus(int handle, int* status) override;
    int release(int handle) override;
    int abort(int handle) override;
    int addSpectrumLine(int handle, const tuplink::Blob* spectrums) override;
    int startNewArea(int handle, const tuplink::Tuple* area) override;
    int numAreas(int handle, int* n) override;
    int width(int handle, int* w) override;
    int height(int handle, int* h) override;
    int depth(int handle, int* d) override;
    int computeRoiImage(int handle, int z, int count, tuplink::Blob* buffer) override;

  protected:
    ~TuplinkSCBuilderImpl() override;

  private:
    // One builder and the lock that runs its calls one at a time.
    struct BuilderEntry {
        BuilderEntry(const std::string& name, unsigned width, unsigned height, unsigned depth,
                     float factor)
            : builder(name, width, height, depth, factor) {}

        std::mutex calls;              // held for the whole of each call on the builder
        FragmentedSCDBuilder builder;  // the cube being built
    };
    using BuilderReference = std::shared_ptr<BuilderEntry>;

    // The entry of a valid handle, held for the caller; null for an invalid one.
    BuilderReference entryOf(int handle);
    // Runs `call(builder)` on the builder of a valid handle, alone among the calls on it, and
    // answers its result; -1 for an invalid handle.
    template <class Call>
    int withBuilder(int handle, Call call);

    tuplink::CriticalSection lock_;               // guards the table
    std::vector<BuilderReference> builderTable_;  // by handle; released entries are null
};
