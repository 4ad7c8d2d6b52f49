#pragma once

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "sc_api/pixmap_mask.h"
#include "sc_api/sc_file.h"

namespace test_support {

// A cube computed from a function, serving the read primitives as their contract says, so that
// the generic reads of SCFile can be checked alone. It records its calls and can fail them.
class MemoryCube : public SCFile {
  public:
    using Counts = std::function<unsigned short(unsigned x, unsigned y, unsigned c)>;

    // Scale factor 1.0, every pixel acquired.
    MemoryCube(unsigned width, unsigned height, unsigned depth, Counts counts)
        : width_(width), height_(height), depth_(depth), counts_(std::move(counts)) {}

    void setFactor(float factor) { factor_ = factor; }
    void setUnacquired(unsigned x, unsigned y) { unacquired_.insert({x, y}); }
    // Every read primitive called from now on returns `error`.
    void failReads(SCErrorCode error) { failure_ = error; }

    std::vector<unsigned> spectrumBatches;  // positions per readSpectrumsAt call
    std::vector<unsigned> imageRuns;        // count of every readImages call

    unsigned width() const override { return width_; }
    unsigned height() const override { return height_; }
    unsigned depth() const override { return depth_; }
    bool isAcquired(unsigned x, unsigned y) const override { return !unacquired_.count({x, y}); }
    bool isOpen() override { return true; }
    SCErrorCode close() override { return SC_OK; }
    unsigned version() const override { return 0; }
    float factor() const override { return factor_; }

    SCErrorCode readSpectrumsAt(const std::vector<SCPixelPosition>& positions,
                                const std::vector<unsigned short*>& outs) override {
        spectrumBatches.push_back(static_cast<unsigned>(positions.size()));
        SCErrorCode result = SC_OK;
        for (std::size_t i = 0; i < positions.size() && result == SC_OK; ++i) {
            result = readSpectrums(positions[i].first, positions[i].second, 1, outs.at(i));
        }
        return result;
    }
    SCErrorCode readImagesAt(const std::vector<unsigned>& channels,
                             const std::vector<unsigned short*>& outs) override {
        SCErrorCode result = SC_OK;
        for (std::size_t i = 0; i < channels.size() && result == SC_OK; ++i) {
            result = readImages(channels[i], 1, outs.at(i));
        }
        return result;
    }
    SCErrorCode readSpectrums(unsigned x, unsigned y, unsigned count,
                              unsigned short* out) override {
        const std::size_t first = std::size_t{y} * width_ + x;
        if (failure_ != SC_OK) {
            return failure_;
        }
        if (x >= width_ || y >= height_ || first + count > std::size_t{width_} * height_) {
            return SC_OUT_OF_RANGE;
        }
        for (std::size_t p = first; p < first + count; ++p) {
            for (unsigned c = 0; c < depth_; ++c) {
                *out++ = counts_(p % width_, p / width_, c);
            }
        }
        return SC_OK;
    }
    SCErrorCode readImages(unsigned first, unsigned count, unsigned short* out) override {
        imageRuns.push_back(count);
        if (failure_ != SC_OK) {
            return failure_;
        }
        if (std::size_t{first} + count > depth_) {
            return SC_OUT_OF_RANGE;
        }
        for (unsigned p = 0; p < count * width_ * height_; ++p) {
            *out++ = counts_(p % width_, p / width_ % height_, first + p / width_ / height_);
        }
        return SC_OK;
    }

  private:
    unsigned width_, height_, depth_;
    Counts counts_;
    float factor_ = 1.0f;
    std::set<SCPixelPosition> unacquired_;
    SCErrorCode failure_ = SC_OK;  // what every read returns unless SC_OK
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
