#include "cube_reader.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <utility>
#include <vector>

#include "library_error.h"

namespace sc_api_python {
namespace {

constexpr unsigned kChannelsPerImageRead = 32;   // channel images fetched per readImages call
constexpr unsigned kPixelsPerSpectrumRead = 32;  // positions per readSpectrumsAt call
constexpr std::size_t kSpectrumBatchValues = 1u << 22;  // values per readSpectrums batch (8 MiB)
// Reading a raw cube, one seek is counted as this many values read in sequence.
constexpr std::uint64_t kSeekCost = 64;
// Decoding a compressed stream costs, beyond its values, about as much as this many values
// (posting its action, seeking and reading its bytes).
constexpr std::uint64_t kStreamCost = 4096;

}  // namespace

const char* formatName(SCCubeForm form) {
    switch (form) {
        case SCCubeForm::RAW_VECTOR:
            return "raw-vector";
        case SCCubeForm::RAW_IMAGE:
            return "raw-image";
        case SCCubeForm::SCD:
            return "scd";
        case SCCubeForm::FRAGMENTED_SCD:
            return "fragmented";
    }
    return "unknown";
}

CubeReader::CubeReader(const std::string& path) : path_(path) {
    SCOpenedCube opened = SCCubeProbe::open(path);
    throwIfFailed(opened.status);
    cube_ = opened.cube;
    width_ = cube_->width();
    height_ = cube_->height();
    depth_ = cube_->depth();
    factor_ = cube_->factor();
    version_ = cube_->version();
    format_ = opened.form;
    SCEnergyCalibration::read(opened.base, calibration_);
}

bool CubeReader::isClosed() const {
    std::shared_lock lock(lock_);
    return !cube_;
}

void CubeReader::close() {
    std::unique_lock lock(lock_);
    cube_.release();
}

template <class Work>
void CubeReader::underReadLock(Work work) {
    const bool exclusive = format_ == SCCubeForm::RAW_VECTOR || format_ == SCCubeForm::RAW_IMAGE;
    std::shared_lock shared(lock_, std::defer_lock);
    std::unique_lock unique(lock_, std::defer_lock);
    if (exclusive) {
        unique.lock();
    } else {
        shared.lock();
    }
    if (!cube_) {
        throw LibraryError(SC_FILE_ERROR, "the cube '" + path_ + "' is closed");
    }
    work(*cube_);
}

void CubeReader::checkRanges(IndexRange y, IndexRange x, IndexRange c) const {
    if (y.begin > y.end || y.end > height_ || x.begin > x.end || x.end > width_ ||
        c.begin > c.end || c.end > depth_) {
        throw IndexOutOfCube("range outside the cube");
    }
}

bool CubeReader::spectraAreCheaper(IndexRange y, IndexRange x, IndexRange c) const {
    const std::uint64_t pixels = std::uint64_t{y.size()} * x.size();
    const std::uint64_t plane = std::uint64_t{width_} * height_;
    switch (format_) {
        case SCCubeForm::RAW_VECTOR:  // a channel range is one seek and one read per pixel
            return pixels * depth_ <= plane * (c.size() + kSeekCost);
        case SCCubeForm::RAW_IMAGE:  // a spectrum is one seek per channel
            return pixels * depth_ * kSeekCost <= plane * c.size();
        default:  // every stream is decoded whole, by an action of its own
            return pixels * (depth_ + kStreamCost) <= c.size() * (plane + kStreamCost);
    }
}

void CubeReader::readBlock(IndexRange y, IndexRange x, IndexRange c, std::uint16_t* out) {
    checkRanges(y, x, c);
    const std::size_t total = std::size_t{y.size()} * x.size() * c.size();
    std::fill_n(out, total, 0);
    if (total == 0) {
        return;
    }
    if (spectraAreCheaper(y, x, c)) {
        readFromSpectra(y, x, c, out);
    } else {
        readFromImages(y, x, c, out);
    }
}

template <class Visit>
void CubeReader::forEachSpectrumRun(IndexRange y, IndexRange x, Visit visit) {
    // Whole rows are consecutive pixels and are read several at a time.
    const bool wholeRows = x.size() == width_;
    const std::size_t rowValues = std::size_t{x.size()} * depth_;
    const unsigned rowsPerRead = wholeRows ? static_cast<unsigned>(std::clamp<std::size_t>(
                                                 kSpectrumBatchValues / rowValues, 1, y.size()))
                                           : 1;
    std::vector<std::uint16_t> spectra(rowValues * rowsPerRead);
    underReadLock([&](SCFile& cube) {
        for (unsigned row = y.begin; row < y.end; row += rowsPerRead) {
            const unsigned pixels = std::min(rowsPerRead, y.end - row) * x.size();
            std::fill(spectra.begin(), spectra.end(), 0);
            throwIfFailed(cube.readSpectrums(x.begin, row, pixels, spectra.data()),
                          "reading the spectra of '" + path_ + "'");
            visit(std::size_t{row - y.begin} * x.size(), pixels, spectra.data());
        }
    });
}

void CubeReader::readFromSpectra(IndexRange y, IndexRange x, IndexRange c, std::uint16_t* out) {
    forEachSpectrumRun(
        y, x, [&](std::size_t firstPixel, unsigned runPixels, const std::uint16_t* spectra) {
            std::uint16_t* target = out + firstPixel * c.size();
            for (unsigned p = 0; p < runPixels; ++p) {
                const std::uint16_t* spectrum = spectra + std::size_t{p} * depth_;
                std::copy(spectrum + c.begin, spectrum + c.end, target + std::size_t{p} * c.size());
            }
        });
}

void CubeReader::readFromImages(IndexRange y, IndexRange x, IndexRange c, std::uint16_t* out) {
    const std::size_t plane = std::size_t{width_} * height_;
    std::vector<std::uint16_t> images(plane * std::min(kChannelsPerImageRead, c.size()));
    underReadLock([&](SCFile& cube) {
        for (unsigned first = c.begin; first < c.end; first += kChannelsPerImageRead) {
            const unsigned count = std::min(kChannelsPerImageRead, c.end - first);
            std::fill(images.begin(), images.end(), 0);
            throwIfFailed(cube.readImages(first, count, images.data()),
                          "reading the channel images of '" + path_ + "'");
            for (unsigned k = 0; k < count; ++k) {
                const std::uint16_t* image = images.data() + k * plane;
                const unsigned channel = first + k - c.begin;
                for (unsigned row = y.begin; row < y.end; ++row) {
                    const std::uint16_t* source = image + std::size_t{row} * width_;
                    std::uint16_t* target =
                        out + (std::size_t{row - y.begin} * x.size()) * c.size() + channel;
                    for (unsigned col = x.begin; col < x.end; ++col) {
                        target[std::size_t{col - x.begin} * c.size()] = source[col];
                    }
                }
            }
        }
    });
}

void CubeReader::sumChannels(IndexRange y, IndexRange x, IndexRange c, std::uint64_t* out) {
    checkRanges(y, x, c);
    const std::size_t pixels = std::size_t{y.size()} * x.size();
    std::fill_n(out, pixels, 0);
    if (pixels == 0 || c.size() == 0) {
        return;
    }
    if (!spectraAreCheaper(y, x, c)) {
        sumFromImages(y, x, c, out);
        return;
    }
    forEachSpectrumRun(
        y, x, [&](std::size_t firstPixel, unsigned runPixels, const std::uint16_t* spectra) {
            for (unsigned p = 0; p < runPixels; ++p) {
                const std::uint16_t* spectrum = spectra + std::size_t{p} * depth_;
                std::uint64_t sum = 0;
                for (unsigned channel = c.begin; channel < c.end; ++channel) {
                    sum += spectrum[channel];
                }
                out[firstPixel + p] = sum;
            }
        });
}

void CubeReader::sumFromImages(IndexRange y, IndexRange x, IndexRange c, std::uint64_t* out) {
    const std::size_t plane = std::size_t{width_} * height_;
    std::vector<std::uint16_t> images(plane * std::min(kChannelsPerImageRead, c.size()));
    underReadLock([&](SCFile& cube) {
        for (unsigned first = c.begin; first < c.end; first += kChannelsPerImageRead) {
            const unsigned count = std::min(kChannelsPerImageRead, c.end - first);
            std::fill(images.begin(), images.end(), 0);
            throwIfFailed(cube.readImages(first, count, images.data()),
                          "reading the channel images of '" + path_ + "'");
            for (unsigned k = 0; k < count; ++k) {
                const std::uint16_t* image = images.data() + k * plane;
                for (unsigned row = y.begin; row < y.end; ++row) {
                    const std::uint16_t* source = image + std::size_t{row} * width_ + x.begin;
                    std::uint64_t* target = out + std::size_t{row - y.begin} * x.size();
                    for (unsigned col = 0; col < x.size(); ++col) {
                        target[col] += source[col];
                    }
                }
            }
        }
    });
}

std::int64_t CubeReader::sumRegion(const std::uint8_t* mask, unsigned maskHeight,
                                   unsigned maskWidth, std::int64_t y0, std::int64_t x0,
                                   std::uint64_t* out) {
    std::fill_n(out, depth_, 0);
    std::int64_t pixelCount = 0;
    std::vector<SCPixelPosition> batch;
    std::vector<std::uint16_t> spectra(std::size_t{kPixelsPerSpectrumRead} * depth_);
    std::vector<unsigned short*> buffers;
    auto addBatch = [&](SCFile& cube) {
        buffers.clear();
        for (std::size_t k = 0; k < batch.size(); ++k) {
            buffers.push_back(spectra.data() + k * depth_);
        }
        std::fill(spectra.begin(), spectra.end(), 0);
        throwIfFailed(cube.readSpectrumsAt(batch, buffers),
                      "reading the spectra of '" + path_ + "'");
        for (std::size_t k = 0; k < batch.size(); ++k) {
            for (unsigned ch = 0; ch < depth_; ++ch) {
                out[ch] += buffers[k][ch];
            }
        }
        batch.clear();
    };
    underReadLock([&](SCFile& cube) {
        for (unsigned my = 0; my < maskHeight; ++my) {
            for (unsigned mx = 0; mx < maskWidth; ++mx) {
                const std::int64_t cy = y0 + my;
                const std::int64_t cx = x0 + mx;
                if (mask[std::size_t{my} * maskWidth + mx] == 0 || cy < 0 || cx < 0 ||
                    cy >= height_ || cx >= width_ ||
                    !cube.isAcquired(static_cast<unsigned>(cx), static_cast<unsigned>(cy))) {
                    continue;
                }
                batch.emplace_back(static_cast<unsigned>(cx), static_cast<unsigned>(cy));
                ++pixelCount;
                if (batch.size() == kPixelsPerSpectrumRead) {
                    addBatch(cube);
                }
            }
        }
        if (!batch.empty()) {
            addBatch(cube);
        }
    });
    return pixelCount;
}

void CubeReader::acquiredMap(std::uint8_t* out) {
    underReadLock([&](SCFile& cube) {
        for (unsigned row = 0; row < height_; ++row) {
            for (unsigned col = 0; col < width_; ++col) {
                out[std::size_t{row} * width_ + col] = cube.isAcquired(col, row) ? 1 : 0;
            }
        }
    });
}

}  // namespace sc_api_python
