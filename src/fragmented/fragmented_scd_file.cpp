#include "fragmented/fragmented_scd_file.h"

#include <algorithm>
#include <exception>
#include <fstream>
#include <map>

#include "api/sample_buffer.h"
#include "fragmented/scd_cube_opener.h"
#include "sc_api/rect.h"
#include "sc_api/scd.h"

namespace {

// The result of a read made of several area reads: the first failure, the others still run so
// that every buffer is filled the same way whatever failed.
SCErrorCode worse(SCErrorCode sofar, SCErrorCode next) {
    return sofar != SC_OK ? sofar : next;
}

// Most pixels, and most channels, forwarded to the areas at once: this bounds the temporary
// memory of a read to 32 area images, or to the lists of 1024 pixels.
constexpr std::size_t kPixelChunk = 1024;
constexpr std::size_t kChannelChunk = 32;

// The pixels of one request that one area stores, in the area's coordinates.
struct AreaRequest {
    std::vector<SCPixelPosition> positions;
    std::vector<unsigned short*> outs;
};

}  // namespace

FragmentedSCDFile::FragmentedSCDFile(const std::string& name) {
    try {
        open(name);
    } catch (const std::exception&) {
        areas_.clear();
        open_ = false;
    }
}

FragmentedSCDFile::~FragmentedSCDFile() = default;

void FragmentedSCDFile::open(const std::string& name) {
    areas_.emplace_back(nullptr);
    std::ifstream headerFile(name + SCD::HEADER_EXTENSION, std::ios::binary);
    if (!headerFile || header_.read(headerFile) != SC_OK) {
        return;
    }
    for (std::uint64_t i = 1; i <= header_.numAreas(); ++i) {
        std::unique_ptr<SCFile> area(openSCDCube(name + "." + std::to_string(i)));
        if (!area || !area->isOpen()) {
            areas_.resize(1);
            return;
        }
        areas_.push_back(std::move(area));
    }
    if (!areasFitTheCube() || !mapGivesPixelsToCoveringAreas()) {
        areas_.resize(1);
        return;
    }
    open_ = true;
}

bool FragmentedSCDFile::areasFitTheCube() const {
    for (unsigned i = 1; i < areas_.size(); ++i) {
        const SCFile& area = *areas_[i];
        const auto [ox, oy] = header_.getOrigin(i);
        if (area.depth() != depth() || std::uint64_t{ox} + area.width() > width() ||
            std::uint64_t{oy} + area.height() > height()) {
            return false;
        }
    }
    return true;
}

bool FragmentedSCDFile::mapGivesPixelsToCoveringAreas() const {
    if (width() == 0) {
        return true;  // no pixel to map, however many empty lines are claimed
    }
    std::vector<Rect> covered(areas_.size());
    for (unsigned i = 1; i < areas_.size(); ++i) {
        const auto [ox, oy] = header_.getOrigin(i);
        covered[i] = Rect{ox, oy, areas_[i]->width(), areas_[i]->height()};
    }
    for (unsigned y = 0; y < height(); ++y) {
        for (unsigned x = 0; x < width(); ++x) {
            const unsigned i = header_.getAreaIndex(x, y);
            if (i == 0) {
                continue;
            }
            if (i >= covered.size()) {
                return false;
            }
            const Rect& r = covered[i];
            if (x < r.x || y < r.y || x - r.x >= r.width || y - r.y >= r.height) {
                return false;
            }
        }
    }
    return true;
}

bool FragmentedSCDFile::isAcquired(unsigned x, unsigned y) const {
    return x < width() && y < height() && header_.getAreaIndex(x, y) != 0;
}

SCErrorCode FragmentedSCDFile::close() {
    if (!open_) {
        return SC_FILE_ERROR;
    }
    areas_.resize(1);
    open_ = false;
    return SC_OK;
}

SCErrorCode FragmentedSCDFile::readFromAreas(const std::vector<SCPixelPosition>& positions,
                                             const std::vector<unsigned short*>& outs) {
    std::map<unsigned, AreaRequest> requests;
    for (std::size_t k = 0; k < positions.size(); ++k) {
        const auto [x, y] = positions[k];
        const unsigned area = header_.getAreaIndex(x, y);
        if (area == 0) {
            continue;
        }
        const auto [ox, oy] = header_.getOrigin(area);
        AreaRequest& request = requests[area];
        request.positions.emplace_back(x - ox, y - oy);
        request.outs.push_back(outs[k]);
    }
    SCErrorCode result = SC_OK;
    for (auto& [area, request] : requests) {
        result = worse(result, areas_[area]->readSpectrumsAt(request.positions, request.outs));
    }
    return result;
}

SCErrorCode FragmentedSCDFile::readSpectrumsAt(const std::vector<SCPixelPosition>& positions,
                                               const std::vector<unsigned short*>& outs) {
    if (!open_) {
        return SC_FILE_ERROR;
    }
    const bool inside = std::all_of(
        positions.begin(), positions.end(),
        [this](const SCPixelPosition& p) { return p.first < width() && p.second < height(); });
    if (outs.size() < positions.size() || !inside) {
        return SC_OUT_OF_RANGE;
    }
    try {
        return readFromAreas(positions, outs);
    } catch (const std::exception&) {
        return SC_ALLOCATION_ERROR;
    }
}

SCErrorCode FragmentedSCDFile::readSpectrums(unsigned x, unsigned y, unsigned count,
                                             unsigned short* out) {
    if (!open_) {
        return SC_FILE_ERROR;
    }
    const std::uint64_t w = width();
    const std::uint64_t h = height();
    if (x >= w || y >= h || y * w + x + count > w * h) {
        return SC_OUT_OF_RANGE;
    }
    const std::uint64_t d = depth();
    std::fill_n(out, count * d, static_cast<unsigned short>(0));
    SCErrorCode result = SC_OK;
    try {
        std::vector<SCPixelPosition> positions;
        std::vector<unsigned short*> outs;
        std::uint64_t pixel = y * w + x;
        for (std::uint64_t k = 0; k < count;) {
            positions.clear();
            outs.clear();
            for (; k < count && positions.size() < kPixelChunk; ++k, ++pixel) {
                positions.emplace_back(static_cast<unsigned>(pixel % w),
                                       static_cast<unsigned>(pixel / w));
                outs.push_back(out + k * d);
            }
            result = worse(result, readFromAreas(positions, outs));
        }
    } catch (const std::exception&) {
        return SC_ALLOCATION_ERROR;
    }
    return result;
}

void FragmentedSCDFile::placeAreaImages(unsigned area, const unsigned short* areaImages,
                                        std::size_t count,
                                        const std::vector<unsigned short*>& images) const {
    const std::size_t aw = areas_[area]->width();
    const std::size_t ah = areas_[area]->height();
    const auto [ox, oy] = header_.getOrigin(area);
    const std::size_t w = width();
    for (std::size_t c = 0; c < count; ++c) {
        for (std::size_t y = 0; y < ah; ++y) {
            const unsigned short* row = areaImages + (c * ah + y) * aw;
            std::copy(row, row + aw, images[c] + (oy + y) * w + ox);
        }
    }
}

SCErrorCode FragmentedSCDFile::readImagesAt(const std::vector<unsigned>& channels,
                                            const std::vector<unsigned short*>& outs) {
    if (!open_) {
        return SC_FILE_ERROR;
    }
    if (outs.size() < channels.size() ||
        std::any_of(channels.begin(), channels.end(),
                    [this](unsigned channel) { return channel >= depth(); })) {
        return SC_OUT_OF_RANGE;
    }
    if (channels.empty()) {
        return SC_OK;
    }
    SCErrorCode result = SC_OK;
    try {
        for (unsigned area = 1; area < areas_.size(); ++area) {
            const std::uint64_t areaSize =
                std::uint64_t{areas_[area]->width()} * areas_[area]->height();
            const std::size_t chunk = std::min(kChannelChunk, channels.size());
            auto areaImages = allocateSamples<unsigned short>(areaSize * chunk);
            if (!areaImages) {
                return SC_ALLOCATION_ERROR;
            }
            for (std::size_t done = 0; done < channels.size(); done += chunk) {
                const std::size_t n = std::min(chunk, channels.size() - done);
                std::fill_n(areaImages.get(), areaSize * n, static_cast<unsigned short>(0));
                const std::vector<unsigned> areaChannels(channels.begin() + done,
                                                         channels.begin() + done + n);
                std::vector<unsigned short*> areaOuts;
                for (std::size_t c = 0; c < n; ++c) {
                    areaOuts.push_back(areaImages.get() + c * areaSize);
                }
                result = worse(result, areas_[area]->readImagesAt(areaChannels, areaOuts));
                const std::vector<unsigned short*> cubeOuts(outs.begin() + done,
                                                            outs.begin() + done + n);
                placeAreaImages(area, areaImages.get(), n, cubeOuts);
            }
        }
    } catch (const std::exception&) {
        return SC_ALLOCATION_ERROR;
    }
    return result;
}

SCErrorCode FragmentedSCDFile::readImages(unsigned first, unsigned count, unsigned short* out) {
    if (!open_) {
        return SC_FILE_ERROR;
    }
    if (std::uint64_t{first} + count > depth()) {
        return SC_OUT_OF_RANGE;
    }
    const std::uint64_t imageSize = std::uint64_t{width()} * height();
    std::fill_n(out, imageSize * count, static_cast<unsigned short>(0));
    // Without pixels or areas nothing is stored: the work must not follow the claimed depth.
    if (imageSize == 0 || areas_.size() == 1) {
        return SC_OK;
    }
    SCErrorCode result = SC_OK;
    try {
        std::vector<unsigned> channels;
        std::vector<unsigned short*> images;
        for (std::uint64_t done = 0; done < count; done += kChannelChunk) {
            channels.clear();
            images.clear();
            for (std::uint64_t k = done; k < std::min<std::uint64_t>(count, done + kChannelChunk);
                 ++k) {
                channels.push_back(static_cast<unsigned>(first + k));
                images.push_back(out + k * imageSize);
            }
            result = worse(result, readImagesAt(channels, images));
        }
    } catch (const std::exception&) {
        return SC_ALLOCATION_ERROR;
    }
    return result;
}
