#include "tools/progress_sources.h"

#include <algorithm>

bool ProgressCounter::add(std::uint64_t units) {
    if (stopped_) {
        return false;
    }
    done_ = std::min(total_, done_ + units);
    if (progress_ != nullptr && !progress_->advance(done_, total_)) {
        stopped_ = true;
    }
    return !stopped_;
}

CubeSpectrumSource::CubeSpectrumSource(SCFile& cube, SCProgress* progress)
    : cube_(cube),
      counter_(progress, 2 * std::uint64_t{cube.width()} * cube.height()),
      pixels_(std::uint64_t{cube.width()} * cube.height()) {}

int CubeSpectrumSource::read(unsigned short* buffer, unsigned count) {
    if (counter_.stopped()) {
        return -1;
    }
    const std::uint64_t delivered = std::min<std::uint64_t>(count, pixels_ - next_);
    if (delivered == 0) {
        return 0;
    }
    std::fill_n(buffer, delivered * cube_.depth(), static_cast<unsigned short>(0));
    const unsigned x = static_cast<unsigned>(next_ % cube_.width());
    const unsigned y = static_cast<unsigned>(next_ / cube_.width());
    if (cube_.readSpectrums(x, y, static_cast<unsigned>(delivered), buffer) != SC_OK) {
        return -1;
    }
    next_ += delivered;
    return counter_.add(delivered) ? static_cast<int>(delivered) : -1;
}

bool CubeSpectrumSource::rewind() {
    next_ = 0;
    return !counter_.stopped();
}

ProgressCube::ProgressCube(SCCube& cube, SCProgress* progress)
    : cube_(cube), counter_(progress, std::uint64_t{cube.width()} * cube.height() * cube.depth()) {}

SCErrorCode ProgressCube::getSpectrum(unsigned x, unsigned y, SCSpectrum& out) const {
    return count(depth()) ? cube_.getSpectrum(x, y, out) : SC_OUT_OF_RANGE;
}

SCErrorCode ProgressCube::getSpectrums(unsigned x, unsigned y, unsigned n,
                                       const std::vector<SCSpectrum*>& out) const {
    return count(std::uint64_t{n} * depth()) ? cube_.getSpectrums(x, y, n, out) : SC_OUT_OF_RANGE;
}

SCErrorCode ProgressCube::computeRegionSpectrum(int x0, int y0, const PixmapMask& mask,
                                                SCSpectrum& out, std::int64_t& pixelCount) {
    return cube_.computeRegionSpectrum(x0, y0, mask, out, pixelCount);
}

SCErrorCode ProgressCube::getImage(unsigned channel, unsigned short* out) const {
    return count(std::uint64_t{width()} * height()) ? cube_.getImage(channel, out)
                                                    : SC_OUT_OF_RANGE;
}

SCErrorCode ProgressCube::getSubImage(unsigned channel, const Rect& r, unsigned short* out) const {
    return count(std::uint64_t{r.width} * r.height) ? cube_.getSubImage(channel, r, out)
                                                    : SC_OUT_OF_RANGE;
}

SCErrorCode ProgressCube::getImages(const std::vector<unsigned>& channels,
                                    unsigned short* out) const {
    return count(channels.size() * std::uint64_t{width()} * height())
               ? cube_.getImages(channels, out)
               : SC_OUT_OF_RANGE;
}

SCErrorCode ProgressCube::getImages(unsigned first, unsigned n, unsigned short* out) const {
    return count(std::uint64_t{n} * width() * height()) ? cube_.getImages(first, n, out)
                                                        : SC_OUT_OF_RANGE;
}

SCErrorCode ProgressCube::getSubImages(const std::vector<unsigned>& channels, const Rect& r,
                                       unsigned short* out) const {
    return count(channels.size() * std::uint64_t{r.width} * r.height)
               ? cube_.getSubImages(channels, r, out)
               : SC_OUT_OF_RANGE;
}

SCErrorCode ProgressCube::getSubImages(unsigned first, unsigned n, const Rect& r,
                                       unsigned short* out) const {
    return count(std::uint64_t{n} * r.width * r.height) ? cube_.getSubImages(first, n, r, out)
                                                        : SC_OUT_OF_RANGE;
}

SCErrorCode ProgressCube::computeRoiImage(unsigned first, unsigned n, unsigned short* out) const {
    return count(std::uint64_t{n} * width() * height()) ? cube_.computeRoiImage(first, n, out)
                                                        : SC_OUT_OF_RANGE;
}

SCErrorCode ProgressCube::computeSubRoiImage(unsigned first, unsigned n, const Rect& r,
                                             unsigned short* out) const {
    return count(std::uint64_t{n} * r.width * r.height) ? cube_.computeSubRoiImage(first, n, r, out)
                                                        : SC_OUT_OF_RANGE;
}
