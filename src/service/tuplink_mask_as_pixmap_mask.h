#pragma once

#include "sc_api/pixmap_mask.h"
#include "tuplink/tuple.h"

// A pixel mask read from a mask tuple that it does not own: "width" and "height" (int, 0 when
// absent) and "pixmapMaskBuffer" (blob of width x height bytes, row-major); a pixel is selected
// when its byte is not 0.
class TuplinkMaskAsPixmapMask : public PixmapMask {
  public:
    // REQUIRES: `mask` outlives this object and is not changed meanwhile.
    explicit TuplinkMaskAsPixmapMask(const tuplink::Tuple& mask);
    // Leaves the tuple alone.
    ~TuplinkMaskAsPixmapMask() override;

    // Whether the tuple's buffer holds at least width x height bytes; isSelected() may only
    // be asked of a complete mask.
    bool complete() const;

    unsigned width() const override;
    unsigned height() const override;
    bool isSelected(unsigned x, unsigned y) const override;

  private:
    const tuplink::Blob* pixels_;  // the tuple's "pixmapMaskBuffer", or null when absent
    unsigned width_;               // the tuple's "width"
    unsigned height_;              // the tuple's "height"
};
