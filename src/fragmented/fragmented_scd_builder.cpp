#include "sc_api/fragmented_scd_builder.h"

#include <algorithm>
#include <cstdint>
#include <exception>
#include <memory>
#include <new>
#include <sstream>
#include <utility>
#include <vector>

#include "api/sample_buffer.h"
#include "api/scaled_count.h"
#include "fragmented/scd_cube_opener.h"
#include "io/file_stream.h"
#include "sc_api/fragmented_scd_header.h"
#include "sc_api/sc_error_code.h"
#include "sc_api/sc_file.h"
#include "sc_api/sc_file_builder.h"
#include "sc_api/scd.h"
#include "sc_api/shared_ptr.h"
#include "scd/writer/scd_multithreaded_file_builder.h"

namespace {

// Most channels read from a finished area at once, which bounds the temporary memory of a ROI
// image to 32 images of the largest finished area.
constexpr unsigned kChannelChunk = 32;

using FinishedArea = std::pair<unsigned, std::unique_ptr<SCFile>>;  // (area index, its cube)

bool insideCube(const Rect& area, unsigned width, unsigned height) {
    return std::uint64_t{area.x} + area.width <= width &&
           std::uint64_t{area.y} + area.height <= height;
}

}  // namespace

struct FragmentedSCDBuilder::Record {
    std::string name;                                    // the cube's name, without extension
    std::unique_ptr<FragmentedSCDHeader> header;         // the map; null if it was not allocated
    SharedPtr<SCFileBuilder, SCDeleteFileBuilder> area;  // builder of the area taking lines
    bool open = false;                                   // constructed, not yet closed
    unsigned currentIndex = 0;                           // index of the latest area; 0: none
    Rect currentArea;                                    // the latest area, in cube coordinates
    unsigned currentLine = 0;                            // cube line that the next line fills
    unsigned syncEveryLines = 0;                         // flush interval of the areas' builders
    std::vector<FinishedArea> finished;  // finished areas' cubes, reopened, in finishing order

    std::string areaName(unsigned index) const { return name + "." + std::to_string(index); }

    // Replaces N + ".scdh" by the current map, published whole (see publishFile).
    int writeHeader() const {
        std::ostringstream bytes(std::ios::binary);
        const int result = header->write(bytes);
        if (result != SC_OK) {
            return result;
        }
        const std::string content = std::move(bytes).str();
        const SCErrorCode published =
            publishFile(name + SCD::HEADER_EXTENSION, content.data(), content.size());
        return published == SC_OK ? SC_OK : SC_WRITE_ERROR;
    }

    // Closes the builder of the area taking lines, if any, and keeps its cube for ROI images
    // when it reopens with the area's dimensions. The close's failure, the area builder then
    // staying current (and open) so that it may be closed again.
    int finishCurrentArea() {
        if (!area) {
            return SC_OK;
        }
        if (area->isOpen()) {
            const int closed = area->close();
            if (closed != SC_OK) {
                return closed;
            }
        }
        area.release();
        std::unique_ptr<SCFile> cube(openSCDCube(areaName(currentIndex)));
        if (cube && cube->isOpen() && cube->width() == currentArea.width &&
            cube->height() == currentArea.height && cube->depth() == header->depth()) {
            finished.emplace_back(currentIndex, std::move(cube));
        }
        return SC_OK;
    }

    // Replaces the sums of the finished area's pixels by its channels first .. first+count-1.
    // `chunk` holds kChannelChunk images of the area.
    void addFinishedArea(const FinishedArea& finishedArea, unsigned first, unsigned count,
                         unsigned short* chunk, std::uint64_t* sums) const {
        SCFile& cube = *finishedArea.second;
        const std::uint64_t aw = cube.width();
        const std::uint64_t ah = cube.height();
        const std::uint64_t w = header->width();
        const auto [ox, oy] = header->getOrigin(finishedArea.first);
        for (std::uint64_t y = 0; y < ah; ++y) {
            std::fill_n(sums + (oy + y) * w + ox, aw, std::uint64_t{0});
        }
        for (unsigned done = 0; done < count; done += kChannelChunk) {
            const unsigned n = std::min(kChannelChunk, count - done);
            std::fill_n(chunk, n * aw * ah, static_cast<unsigned short>(0));
            cube.readImages(first + done, n, chunk);
            for (std::uint64_t c = 0; c < n; ++c) {
                for (std::uint64_t y = 0; y < ah; ++y) {
                    const unsigned short* row = chunk + (c * ah + y) * aw;
                    std::uint64_t* rowSums = sums + (oy + y) * w + ox;
                    for (std::uint64_t x = 0; x < aw; ++x) {
                        rowSums[x] += row[x];
                    }
                }
            }
        }
    }

    std::uint64_t largestFinishedArea() const {
        std::uint64_t largest = 0;
        for (const FinishedArea& finishedArea : finished) {
            largest = std::max(largest, std::uint64_t{finishedArea.second->width()} *
                                            finishedArea.second->height());
        }
        return largest;
    }
};

FragmentedSCDBuilder::FragmentedSCDBuilder(const std::string& name, unsigned width, unsigned height,
                                           unsigned depth, float factor, unsigned syncEveryLines)
    : record_(new (std::nothrow) Record) {
    if (record_ == nullptr) {
        return;
    }
    try {
        record_->name = name;
        record_->syncEveryLines = syncEveryLines;
        record_->header = std::make_unique<FragmentedSCDHeader>(width, height, depth, factor);
        record_->open = true;
    } catch (const std::exception&) {
        record_->header.reset();
    }
}

FragmentedSCDBuilder::~FragmentedSCDBuilder() {
    if (isOpen()) {
        close();
    }
    delete record_;
}

unsigned FragmentedSCDBuilder::width() const {
    return record_ != nullptr && record_->header ? record_->header->width() : 0;
}

unsigned FragmentedSCDBuilder::height() const {
    return record_ != nullptr && record_->header ? record_->header->height() : 0;
}

unsigned FragmentedSCDBuilder::depth() const {
    return record_ != nullptr && record_->header ? record_->header->depth() : 0;
}

unsigned FragmentedSCDBuilder::numAreas() const {
    return record_ != nullptr && record_->header ? record_->header->numAreas() : 0;
}

Rect FragmentedSCDBuilder::currentArea() const {
    return record_ != nullptr && record_->area ? record_->currentArea : Rect{};
}

bool FragmentedSCDBuilder::isOpen() const {
    return record_ != nullptr && record_->open;
}

int FragmentedSCDBuilder::startNewArea(Rect area) {
    if (!isOpen()) {
        return SC_FILE_ERROR;
    }
    Record& r = *record_;
    if (!insideCube(area, width(), height())) {
        return SC_OUT_OF_RANGE;
    }
    try {
        const int finishedArea = r.finishCurrentArea();
        if (finishedArea != SC_OK) {
            return finishedArea;
        }
        r.currentArea = area;
        r.currentIndex = r.header->addArea(area.x, area.y);
        const int written = r.writeHeader();
        if (written != SC_OK) {
            return written;
        }
        r.area = makeSCDBuilder(r.areaName(r.currentIndex), area.width, area.height, depth(),
                                r.header->factor(), r.syncEveryLines);
        r.currentLine = area.y;
        return r.area ? SC_OK : SC_FILE_ERROR;
    } catch (const std::exception&) {
        return SC_WRITE_ERROR;
    }
}

int FragmentedSCDBuilder::addSpectrumLine(const unsigned short* line) {
    if (!isOpen()) {
        return SC_FILE_ERROR;
    }
    Record& r = *record_;
    if (!r.area || r.currentLine - r.currentArea.y >= r.currentArea.height) {
        return SC_OUT_OF_RANGE;
    }
    const int added = r.area->addSpectrumLine(line);
    if (added != SC_OK) {
        return added;
    }
    for (unsigned x = r.currentArea.x; x < r.currentArea.x + r.currentArea.width; ++x) {
        r.header->setAreaIndex(x, r.currentLine, r.currentIndex);
    }
    ++r.currentLine;
    return SC_OK;
}

int FragmentedSCDBuilder::close() {
    if (!isOpen()) {
        return SC_FILE_ERROR;
    }
    Record& r = *record_;
    if (r.area && r.area->isOpen()) {
        const int closed = r.area->close();
        if (closed != SC_OK) {
            return closed;
        }
    }
    try {
        const int written = r.writeHeader();
        if (written != SC_OK) {
            return written;
        }
    } catch (const std::exception&) {
        return SC_WRITE_ERROR;
    }
    r.open = false;
    return SC_OK;
}

int FragmentedSCDBuilder::cancel() {
    return SC_OK;
}

int FragmentedSCDBuilder::computeRoiImage(unsigned first, unsigned count, unsigned short* out) {
    if (!isOpen()) {
        return SC_FILE_ERROR;
    }
    const Record& r = *record_;
    if (std::uint64_t{first} + count > depth() || r.currentIndex == 0) {
        return SC_OUT_OF_RANGE;
    }
    const std::uint64_t w = width();
    const std::uint64_t imageSize = w * height();
    const Rect& area = r.currentArea;
    std::unique_ptr<std::uint64_t[]> sums;
    std::unique_ptr<unsigned short[]> chunk;
    std::unique_ptr<unsigned short[]> areaImage;
    if (!r.finished.empty()) {
        sums = allocateZeroedSamples<std::uint64_t>(imageSize);
        chunk = allocateSamples<unsigned short>(r.largestFinishedArea() *
                                                std::min(kChannelChunk, count));
        if (!sums || !chunk) {
            return SC_ALLOCATION_ERROR;
        }
    }
    if (r.area) {
        areaImage = allocateZeroedSamples<unsigned short>(std::uint64_t{area.width} * area.height);
        if (!areaImage) {
            return SC_ALLOCATION_ERROR;
        }
    }

    std::fill_n(out, imageSize, static_cast<unsigned short>(0));
    if (sums) {
        for (const FinishedArea& finishedArea : r.finished) {
            r.addFinishedArea(finishedArea, first, count, chunk.get(), sums.get());
        }
        const float factor = r.header->factor();
        for (std::uint64_t p = 0; p < imageSize; ++p) {
            out[p] = scaleToLow16(sums[p], factor);
        }
    }
    if (areaImage) {
        r.area->computeRoiImage(first, count, areaImage.get());
        for (std::uint64_t y = 0; y < area.height; ++y) {
            std::copy_n(areaImage.get() + y * area.width, area.width,
                        out + (area.y + y) * w + area.x);
        }
    }
    return SC_OK;
}
