#include "support/fragmented_cube_files.h"

#include <memory>

#include "api/scaled_count.h"
#include "sc_api/fragmented_scd_builder.h"
#include "sc_api/scd.h"
#include "support/codec_bits.h"
#include "support/guarded_buffer.h"
#include "support/temp_dir.h"

namespace test_support {

namespace {

bool covers(const Rect& r, unsigned x, unsigned y) {
    return x >= r.x && y >= r.y && x - r.x < r.width && y - r.y < r.height;
}

}  // namespace

unsigned FragmentedCubeModel::areaOf(unsigned x, unsigned y) const {
    for (unsigned i = static_cast<unsigned>(areas.size()); i > 0; --i) {
        const Area& area = areas[i - 1];
        if (covers(area.rect, x, y) && y - area.rect.y < area.storedLines) {
            return i;
        }
    }
    return 0;
}

unsigned short FragmentedCubeModel::spectrumCount(unsigned x, unsigned y, unsigned c) const {
    const unsigned area = areaOf(x, y);
    return area == 0 ? 0 : counts(area, x, y, c);
}

unsigned short FragmentedCubeModel::imageCount(unsigned x, unsigned y, unsigned c) const {
    for (unsigned i = static_cast<unsigned>(areas.size()); i > 0; --i) {
        const Area& area = areas[i - 1];
        if (covers(area.rect, x, y)) {
            return y - area.rect.y < area.storedLines ? counts(i, x, y, c) : 0;
        }
    }
    return 0;
}

std::vector<unsigned short> FragmentedCubeModel::spectrum(unsigned x, unsigned y) const {
    std::vector<unsigned short> values;
    for (unsigned c = 0; c < depth; ++c) {
        values.push_back(spectrumCount(x, y, c));
    }
    return values;
}

std::vector<unsigned short> FragmentedCubeModel::image(unsigned c) const {
    std::vector<unsigned short> values;
    for (unsigned y = 0; y < height; ++y) {
        for (unsigned x = 0; x < width; ++x) {
            values.push_back(imageCount(x, y, c));
        }
    }
    return values;
}

std::vector<unsigned short> FragmentedCubeModel::roiImage(unsigned first, unsigned count) const {
    std::vector<unsigned short> values;
    for (unsigned y = 0; y < height; ++y) {
        for (unsigned x = 0; x < width; ++x) {
            std::uint64_t sum = 0;
            for (unsigned c = first; c < first + count; ++c) {
                sum += imageCount(x, y, c);
            }
            values.push_back(scaleToLow16(sum, factor));
        }
    }
    return values;
}

ReferenceCube FragmentedCubeModel::areaCube(unsigned area) const {
    const Area& a = areas.at(area - 1);
    return makeReferenceCube(
        a.rect.width, a.rect.height, depth, a.storedLines,
        [&](unsigned x, unsigned y, unsigned c) {
            return counts(area, a.rect.x + x, a.rect.y + y, c);
        },
        factor);
}

std::vector<unsigned short> FragmentedCubeModel::areaLine(unsigned area, unsigned y) const {
    const Rect& r = areas.at(area - 1).rect;
    std::vector<unsigned short> line;
    for (unsigned x = 0; x < r.width; ++x) {
        for (unsigned c = 0; c < depth; ++c) {
            line.push_back(counts(area, r.x + x, r.y + y, c));
        }
    }
    return line;
}

FragmentedCubeModel twoAreasSideBySide() {
    FragmentedCubeModel model;
    model.width = 20;
    model.height = 5;
    model.depth = 40;
    model.areas = {{Rect{0, 0, 10, 5}, 5}, {Rect{10, 0, 10, 5}, 5}};
    return model;
}

FragmentedCubeModel overlappingAreas() {
    FragmentedCubeModel model;
    model.width = 10;
    model.height = 5;
    model.depth = 3;
    model.areas = {{Rect{0, 0, 6, 4}, 4}, {Rect{3, 1, 6, 3}, 2}};
    return model;
}

FragmentedCubeModel acquiredUpTo(const FragmentedCubeModel& model, unsigned areaCount,
                                 unsigned lastLines) {
    FragmentedCubeModel stage = model;
    stage.areas.resize(areaCount);
    if (areaCount > 0) {
        stage.areas.back().storedLines = lastLines;
    }
    return stage;
}

std::string fragmentedHeaderBytes(const FragmentedCubeModel& model) {
    ByteWriter bytes;
    bytes.u32(SCD::MAGIC_NUMBER).u32(1).u32(SCD::FRAGMENTED_HEADER);
    bytes.u32(static_cast<std::uint32_t>(model.areas.size()));
    bytes.u32(model.width).u32(model.height).u32(model.depth).f32(model.factor);
    for (unsigned y = 0; y < model.height; ++y) {
        for (unsigned x = 0; x < model.width; ++x) {
            bytes.u32(model.areaOf(x, y));
        }
    }
    bytes.u32(0).u32(0);
    for (const auto& area : model.areas) {
        bytes.u32(area.rect.x).u32(area.rect.y);
    }
    return bytes.str();
}

bool writeFragmentedCube(const std::string& base, const FragmentedCubeModel& model) {
    writeFileText(base + ".scdh", fragmentedHeaderBytes(model));
    for (unsigned i = 1; i <= model.areas.size(); ++i) {
        if (!writeReferenceSCD(base + "." + std::to_string(i), model.areaCube(i))) {
            return false;
        }
    }
    return fileExists(base + ".scdh");
}

::testing::AssertionResult buildFragmentedCube(const std::string& base,
                                               const FragmentedCubeModel& model) {
    FragmentedSCDBuilder builder(base, model.width, model.height, model.depth, model.factor);
    for (unsigned i = 1; i <= model.areas.size(); ++i) {
        const auto& area = model.areas[i - 1];
        if (const int result = builder.startNewArea(area.rect); result != SC_OK) {
            return ::testing::AssertionFailure() << "starting area " << i << " gave " << result;
        }
        for (unsigned y = 0; y < area.storedLines; ++y) {
            if (const int result = builder.addSpectrumLine(model.areaLine(i, y).data());
                result != SC_OK) {
                return ::testing::AssertionFailure()
                       << "line " << y << " of area " << i << " gave " << result;
            }
        }
    }
    if (const int result = builder.close(); result != SC_OK) {
        return ::testing::AssertionFailure() << "close gave " << result;
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult readsModel(SCFile& cube, const FragmentedCubeModel& model) {
    const unsigned w = model.width;
    const unsigned d = model.depth;
    if (cube.width() != w || cube.height() != model.height || cube.depth() != d) {
        return ::testing::AssertionFailure() << "cube of other dimensions";
    }
    for (unsigned y = 0; y < model.height; ++y) {
        GuardedBuffer line(std::size_t{w} * d);
        const SCErrorCode result = cube.readSpectrums(0, y, w, line.data());
        if (result != SC_OK || !line.guardsIntact()) {
            return ::testing::AssertionFailure() << "reading line " << y << " gave " << result;
        }
        for (unsigned x = 0; x < w; ++x) {
            if (line.slice(std::size_t{x} * d, d) != model.spectrum(x, y)) {
                return ::testing::AssertionFailure() << "spectrum of (" << x << ", " << y << ")";
            }
            if (cube.isAcquired(x, y) != (model.areaOf(x, y) != 0)) {
                return ::testing::AssertionFailure() << "isAcquired(" << x << ", " << y << ")";
            }
        }
    }
    const std::size_t imageSize = std::size_t{w} * model.height;
    GuardedBuffer images(imageSize * d);
    const SCErrorCode result = cube.readImages(0, d, images.data());
    if (result != SC_OK || !images.guardsIntact()) {
        return ::testing::AssertionFailure() << "reading the images gave " << result;
    }
    for (unsigned c = 0; c < d; ++c) {
        if (images.slice(c * imageSize, imageSize) != model.image(c)) {
            return ::testing::AssertionFailure() << "image of channel " << c;
        }
    }
    return ::testing::AssertionSuccess();
}

}  // namespace test_support
