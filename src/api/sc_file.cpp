#include "sc_api/sc_file.h"

#include <algorithm>

#include "api/sample_buffer.h"
#include "api/scaled_count.h"
#include "sc_api/pixmap_mask.h"
#include "sc_api/sc_spectrum.h"

namespace {

// Most spectra or images fetched by one primitive call, which bounds the temporary memory of
// region spectra, ROI images and sub-images.
constexpr unsigned kBatchSize = 32;

// The generic reads are const operations of the cube, the primitives are not: a format serves
// them on a cube its caller sees as const.
SCFile& primitivesOf(const SCFile& file) {
    return const_cast<SCFile&>(file);
}

bool rectInside(const Rect& r, unsigned width, unsigned height) {
    return std::uint64_t{r.x} + r.width <= width && std::uint64_t{r.y} + r.height <= height;
}

bool channelsInside(unsigned first, unsigned count, unsigned depth) {
    return std::uint64_t{first} + count <= depth;
}

// Positions of up to kBatchSize pixels and a buffer holding their spectra, read with one
// readSpectrumsAt call and summed channel by channel into 64-bit accumulators.
class SpectrumBatch {
  public:
    SpectrumBatch(unsigned depth, std::uint64_t* sums)
        : depth_(depth),
          sums_(sums),
          counts_(allocateSamples<unsigned short>(std::uint64_t{kBatchSize} * depth)) {
        positions_.reserve(kBatchSize);
        outs_.reserve(kBatchSize);
    }

    bool allocated() const { return counts_ != nullptr; }
    bool full() const { return positions_.size() == kBatchSize; }
    bool empty() const { return positions_.empty(); }

    void add(unsigned x, unsigned y) {
        outs_.push_back(counts_.get() + outs_.size() * depth_);
        positions_.emplace_back(x, y);
    }

    // Reads the pending spectra, adds them to the sums and empties the batch.
    SCErrorCode flush(SCFile& file) {
        const SCErrorCode result = file.readSpectrumsAt(positions_, outs_);
        if (result != SC_OK) {
            return result;
        }
        for (unsigned short* spectrum : outs_) {
            for (unsigned c = 0; c < depth_; ++c) {
                sums_[c] += spectrum[c];
            }
        }
        positions_.clear();
        outs_.clear();
        return SC_OK;
    }

  private:
    unsigned depth_;                            // channels per spectrum
    std::uint64_t* sums_;                       // depth_ running sums
    std::unique_ptr<unsigned short[]> counts_;  // kBatchSize spectra, one after another
    std::vector<SCPixelPosition> positions_;    // pixels waiting to be read
    std::vector<unsigned short*> outs_;         // their buffers inside counts_
};

// Reads channels first .. first+count-1 in runs of at most kBatchSize images with
// readRun(channel, n, images) and hands every run to addRun(images, n), images holding n whole
// images one after another.
template <class ReadRun, class AddRun>
SCErrorCode forEachImageRun(unsigned first, unsigned count, std::uint64_t imageSize,
                            ReadRun readRun, AddRun addRun) {
    if (imageSize == 0) {
        return SC_OK;
    }
    const unsigned runLength = std::min(count, kBatchSize);
    const std::optional<std::uint64_t> bufferSize = checkedProduct(imageSize, runLength);
    auto images = bufferSize ? allocateSamples<unsigned short>(*bufferSize) : nullptr;
    if (!images) {
        return SC_ALLOCATION_ERROR;
    }
    for (std::uint64_t done = 0; done < count; done += runLength) {
        const auto n = static_cast<unsigned>(std::min<std::uint64_t>(runLength, count - done));
        const auto channel = static_cast<unsigned>(first + done);
        const SCErrorCode result = readRun(channel, n, images.get());
        if (result != SC_OK) {
            return result;
        }
        addRun(images.get(), n);
    }
    return SC_OK;
}

// The primitive readImages of `file`, for forEachImageRun.
auto storedImagesOf(const SCFile& file) {
    return [&file](unsigned channel, unsigned n, unsigned short* images) {
        return primitivesOf(file).readImages(channel, n, images);
    };
}

// Copies the rectangle r of n images `width` pixels wide to `out`, sub-image after sub-image,
// row after row; returns the end of what it wrote.
unsigned short* copySubImages(const unsigned short* images, unsigned n, unsigned width,
                              std::uint64_t imageSize, const Rect& r, unsigned short* out) {
    for (unsigned k = 0; k < n; ++k) {
        const unsigned short* image = images + k * imageSize;
        for (unsigned j = 0; j < r.height; ++j) {
            const unsigned short* row = image + std::uint64_t{r.y + j} * width + r.x;
            out = std::copy(row, row + r.width, out);
        }
    }
    return out;
}

// Adds n images of imageSize pixels, one after another, to per-pixel sums.
void addImages(const unsigned short* images, unsigned n, std::uint64_t imageSize,
               std::uint64_t* sums) {
    for (unsigned k = 0; k < n; ++k) {
        const unsigned short* image = images + k * imageSize;
        for (std::uint64_t p = 0; p < imageSize; ++p) {
            sums[p] += image[p];
        }
    }
}

// Adds the rectangle r of n images `width` pixels wide to per-pixel sums of r.
void addSubImages(const unsigned short* images, unsigned n, unsigned width, std::uint64_t imageSize,
                  const Rect& r, std::uint64_t* sums) {
    for (unsigned k = 0; k < n; ++k) {
        std::uint64_t* sum = sums;
        for (unsigned j = 0; j < r.height; ++j) {
            const unsigned short* row =
                images + k * imageSize + std::uint64_t{r.y + j} * width + r.x;
            for (unsigned i = 0; i < r.width; ++i) {
                *sum++ += row[i];
            }
        }
    }
}

void storeScaledSums(const std::uint64_t* sums, std::uint64_t n, float factor,
                     unsigned short* out) {
    for (std::uint64_t i = 0; i < n; ++i) {
        out[i] = scaleToLow16(sums[i], factor);
    }
}

// The ROI image over the channels first .. first+count-1 as sumCount per-pixel sums:
// addRun(images, n, sums) adds each run of stored images to the sums, which are then scaled by
// the cube's factor into out. SC_OUT_OF_RANGE when the sums cannot be allocated.
template <class AddRun>
SCErrorCode sumImages(const SCFile& file, unsigned first, unsigned count, std::uint64_t sumCount,
                      AddRun addRun, unsigned short* out) {
    auto sums = allocateZeroedSamples<std::uint64_t>(sumCount);
    if (!sums) {
        return SC_ALLOCATION_ERROR;
    }
    const std::uint64_t imageSize = std::uint64_t{file.width()} * file.height();
    const SCErrorCode result = forEachImageRun(
        first, count, imageSize, storedImagesOf(file),
        [&](const unsigned short* images, unsigned n) { addRun(images, n, sums.get()); });
    if (result != SC_OK) {
        return result;
    }
    storeScaledSums(sums.get(), sumCount, file.factor(), out);
    return SC_OK;
}

}  // namespace

SCFile::~SCFile() = default;

void SCDeleteFile::free(SCFile* file) {
    delete file;
}

SCErrorCode SCFile::getSpectrum(unsigned x, unsigned y, SCSpectrum& out) const {
    const unsigned d = depth();
    if (out.size() < d) {
        return SC_OUT_OF_RANGE;
    }
    auto counts = allocateSamples<unsigned short>(d);
    if (!counts) {
        return SC_ALLOCATION_ERROR;
    }
    const SCErrorCode result = primitivesOf(*this).readSpectrums(x, y, 1, counts.get());
    if (result != SC_OK) {
        return result;
    }
    const float f = factor();
    for (unsigned c = 0; c < d; ++c) {
        out[c] = scaleToFloat(counts[c], f);
    }
    return SC_OK;
}

SCErrorCode SCFile::getSpectrums(unsigned x, unsigned y, unsigned count,
                                 const std::vector<SCSpectrum*>& out) const {
    const unsigned d = depth();
    if (out.size() < count ||
        std::any_of(out.begin(), out.begin() + count,
                    [d](const SCSpectrum* s) { return s == nullptr || s->size() < d; })) {
        return SC_OUT_OF_RANGE;
    }
    const std::optional<std::uint64_t> total = checkedProduct(count, d);
    auto counts = total ? allocateSamples<unsigned short>(*total) : nullptr;
    if (!counts) {
        return SC_ALLOCATION_ERROR;
    }
    const SCErrorCode result = primitivesOf(*this).readSpectrums(x, y, count, counts.get());
    if (result != SC_OK) {
        return result;
    }
    const float f = factor();
    for (unsigned k = 0; k < count; ++k) {
        const unsigned short* spectrum = counts.get() + std::uint64_t{k} * d;
        for (unsigned c = 0; c < d; ++c) {
            (*out[k])[c] = scaleToFloat(spectrum[c], f);
        }
    }
    return SC_OK;
}

SCErrorCode SCFile::computeRegionSpectrum(int x0, int y0, const PixmapMask& mask, SCSpectrum& out,
                                          std::int64_t& pixelCount) {
    const unsigned w = width();
    const unsigned h = height();
    const unsigned d = depth();
    if (out.size() < d) {
        return SC_OUT_OF_RANGE;
    }
    auto sums = allocateZeroedSamples<std::uint64_t>(d);
    SpectrumBatch batch(d, sums.get());
    if (!sums || !batch.allocated()) {
        return SC_ALLOCATION_ERROR;
    }
    out.reset();
    pixelCount = 0;
    const unsigned maskWidth = mask.width();
    const unsigned maskHeight = mask.height();
    for (unsigned my = 0; my < maskHeight; ++my) {
        const std::int64_t y = std::int64_t{y0} + my;
        for (unsigned mx = 0; mx < maskWidth; ++mx) {
            const std::int64_t x = std::int64_t{x0} + mx;
            if (!mask.isSelected(mx, my) || x < 0 || x >= w || y < 0 || y >= h ||
                !isAcquired(static_cast<unsigned>(x), static_cast<unsigned>(y))) {
                continue;
            }
            batch.add(static_cast<unsigned>(x), static_cast<unsigned>(y));
            ++pixelCount;
            if (batch.full()) {
                const SCErrorCode result = batch.flush(*this);
                if (result != SC_OK) {
                    return result;
                }
            }
        }
    }
    if (!batch.empty()) {
        const SCErrorCode result = batch.flush(*this);
        if (result != SC_OK) {
            return result;
        }
    }
    const float f = factor();
    for (unsigned c = 0; c < d; ++c) {
        out[c] = scaleToFloat(sums[c], f);
    }
    return SC_OK;
}

SCErrorCode SCFile::getImage(unsigned channel, unsigned short* out) const {
    return getImages(channel, 1, out);
}

SCErrorCode SCFile::getSubImage(unsigned channel, const Rect& r, unsigned short* out) const {
    return getSubImages(channel, 1, r, out);
}

SCErrorCode SCFile::getImages(const std::vector<unsigned>& channels, unsigned short* out) const {
    const std::uint64_t imageSize = std::uint64_t{width()} * height();
    for (std::size_t i = 0; i < channels.size(); ++i) {
        const SCErrorCode result = getImage(channels[i], out + i * imageSize);
        if (result != SC_OK) {
            return result;
        }
    }
    return SC_OK;
}

SCErrorCode SCFile::getImages(unsigned first, unsigned count, unsigned short* out) const {
    const SCErrorCode result = primitivesOf(*this).readImages(first, count, out);
    if (result != SC_OK) {
        return result;
    }
    const float f = factor();
    if (f != 1.0f) {
        const std::uint64_t n = std::uint64_t{width()} * height() * count;
        for (std::uint64_t i = 0; i < n; ++i) {
            out[i] = scaleToLow16(out[i], f);
        }
    }
    return SC_OK;
}

SCErrorCode SCFile::getSubImages(const std::vector<unsigned>& channels, const Rect& r,
                                 unsigned short* out) const {
    const std::uint64_t subImageSize = std::uint64_t{r.width} * r.height;
    for (std::size_t i = 0; i < channels.size(); ++i) {
        const SCErrorCode result = getSubImage(channels[i], r, out + i * subImageSize);
        if (result != SC_OK) {
            return result;
        }
    }
    return SC_OK;
}

SCErrorCode SCFile::getSubImages(unsigned first, unsigned count, const Rect& r,
                                 unsigned short* out) const {
    const unsigned w = width();
    if (!rectInside(r, w, height()) || !channelsInside(first, count, depth())) {
        return SC_OUT_OF_RANGE;
    }
    const std::uint64_t imageSize = std::uint64_t{w} * height();
    unsigned short* subImage = out;
    return forEachImageRun(
        first, count, imageSize,
        [this](unsigned channel, unsigned n, unsigned short* images) {
            return getImages(channel, n, images);
        },
        [&](const unsigned short* images, unsigned n) {
            subImage = copySubImages(images, n, w, imageSize, r, subImage);
        });
}

SCErrorCode SCFile::computeRoiImage(unsigned first, unsigned count, unsigned short* out) const {
    if (!channelsInside(first, count, depth())) {
        return SC_OUT_OF_RANGE;
    }
    const std::uint64_t imageSize = std::uint64_t{width()} * height();
    return sumImages(
        *this, first, count, imageSize,
        [imageSize](const unsigned short* images, unsigned n, std::uint64_t* sums) {
            addImages(images, n, imageSize, sums);
        },
        out);
}

SCErrorCode SCFile::computeSubRoiImage(unsigned first, unsigned count, const Rect& r,
                                       unsigned short* out) const {
    const unsigned w = width();
    if (!rectInside(r, w, height()) || !channelsInside(first, count, depth())) {
        return SC_OUT_OF_RANGE;
    }
    const std::uint64_t imageSize = std::uint64_t{w} * height();
    return sumImages(
        *this, first, count, std::uint64_t{r.width} * r.height,
        [&](const unsigned short* images, unsigned n, std::uint64_t* sums) {
            addSubImages(images, n, w, imageSize, r, sums);
        },
        out);
}
