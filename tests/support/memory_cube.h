#pragma once

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "sc_api/pixmap_mask.h"
#include "sc_api/sc_file.h"

namespace test_support {

// A synthetic cube computed from a function, serving the per-format primitives as their
// contract says, so that the generic reads of SCFile can be checked on their own. It records
// the size of every primitive call and can be told to fail from a given call on.
class MemoryCube : public SCFile {
  public:
    using Counts = std::function<unsigned short(unsigned x, unsigned y, unsigned c)>;

    // Scale factor 1.0, every pixel acquired.
    MemoryCube(unsigned width, unsigned height, unsigned depth, Counts counts);

    void setFactor(float factor) { factor_ = factor; }
    void setUnacquired(unsigned x, unsigned y) { unacquired_.insert({x, y}); }
    // The read primitive call of this index (counting all of them from 0) and every later one
    // return `error`.
    void failFromCall(unsigned callIndex, SCErrorCode error) {
        failFrom_ = callIndex;
        failure_ = error;
    }
    unsigned short count(unsigned x, unsigned y, unsigned c) const { return counts_(x, y, c); }

    std::vector<unsigned> spectrumBatches;    // positions per readSpectrumsAt call
    std::vector<unsigned> spectrumRuns;       // count of every readSpectrums call
    std::vector<unsigned> imageRuns;          // count of every readImages call
    std::vector<SCPixelPosition> pixelsRead;  // every position read by readSpectrumsAt

    unsigned width() const override { return width_; }
    unsigned height() const override { return height_; }
    unsigned depth() const override { return depth_; }
    bool isAcquired(unsigned x, unsigned y) const override { return !unacquired_.count({x, y}); }
    bool isOpen() override { return true; }
    SCErrorCode close() override { return SC_OK; }
    unsigned version() const override { return 0; }
    float factor() const override { return factor_; }
    SCErrorCode readSpectrumsAt(const std::vector<SCPixelPosition>& positions,
                                const std::vector<unsigned short*>& outs) override;
    SCErrorCode readSpectrums(unsigned x, unsigned y, unsigned count, unsigned short* out) override;
    SCErrorCode readImagesAt(const std::vector<unsigned>& channels,
                             const std::vector<unsigned short*>& outs) override;
    SCErrorCode readImages(unsigned first, unsigned count, unsigned short* out) override;

  private:
    bool failing() { return calls_++ >= failFrom_; }

    unsigned width_;
    unsigned height_;
    unsigned depth_;
    Counts counts_;
    float factor_ = 1.0f;
    std::set<SCPixelPosition> unacquired_;
    unsigned calls_ = 0;           // read primitive calls so far
    unsigned failFrom_ = ~0u;      // index of the first call to fail
    SCErrorCode failure_ = SC_OK;  // what failing calls return
};

// A mask given as rows of '#' (selected) and '.' (not selected).
class TextMask : public PixmapMask {
  public:
    explicit TextMask(std::vector<std::string> rows) : rows_(std::move(rows)) {}
    static TextMask full(unsigned width, unsigned height) {
        return TextMask(std::vector<std::string>(height, std::string(width, '#')));
    }

    unsigned width() const override { return rows_.empty() ? 0 : unsigned(rows_[0].size()); }
    unsigned height() const override { return unsigned(rows_.size()); }
    bool isSelected(unsigned x, unsigned y) const override { return rows_.at(y).at(x) == '#'; }

  private:
    std::vector<std::string> rows_;
};

}  // namespace test_support
