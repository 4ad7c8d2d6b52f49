#include "support/fragmented_cube_files.h"

#include "api/scaled_count.h"
#include "sc_api/scd.h"
#include "support/codec_bits.h"
#include "support/guarded_buffer.h"
#include "support/reference_scd_writer.h"
#include "support/temp_dir.h"

namespace test_support {

unsigned FragmentedCubeModel::areaOf(unsigned x, unsigned y, bool storing) const {
    for (auto i = static_cast<unsigned>(areas.size()); i > 0; --i) {
        const auto& [r, lines] = areas[i - 1];
        if (x >= r.x && y >= r.y && x - r.x < r.width && y - r.y < (storing ? lines : r.height)) {
            return i;
        }
    }
    return 0;
}

unsigned short FragmentedCubeModel::spectrumCount(unsigned x, unsigned y, unsigned c) const {
    const unsigned area = areaOf(x, y);
    return area == 0 ? 0 : storedCount(area, x, y, c);
}

unsigned short FragmentedCubeModel::imageCount(unsigned x, unsigned y, unsigned c) const {
    const unsigned area = areaOf(x, y, false);
    const bool stored = area != 0 && y - areas[area - 1].rect.y < areas[area - 1].storedLines;
    return stored ? storedCount(area, x, y, c) : 0;
}

std::vector<unsigned short> FragmentedCubeModel::roiImage(unsigned first, unsigned count) const {
    std::vector<unsigned short> values;
    for (unsigned p = 0; p < width * height; ++p) {
        std::uint64_t sum = 0;
        for (unsigned c = first; c < first + count; ++c) {
            sum += imageCount(p % width, p / width, c);
        }
        values.push_back(scaleToLow16(sum, factor));
    }
    return values;
}

std::vector<unsigned short> FragmentedCubeModel::areaLine(unsigned area, unsigned y) const {
    const Rect& r = areas.at(area - 1).rect;
    std::vector<unsigned short> line;
    for (unsigned i = 0; i < r.width * depth; ++i) {
        line.push_back(storedCount(area, r.x + i / depth, r.y + y, i % depth));
    }
    return line;
}

FragmentedCubeModel twoAreasSideBySide() {
    return {20, 5, 40, 1.0f, {{{0, 0, 10, 5}, 5}, {{10, 0, 10, 5}, 5}}};
}

FragmentedCubeModel overlappingAreas() {
    return {10, 5, 3, 1.0f, {{{0, 0, 6, 4}, 4}, {{3, 1, 6, 3}, 2}}};
}

std::string fragmentedHeaderBytes(const FragmentedCubeModel& model) {
    ByteWriter bytes;
    bytes.u32(SCD::MAGIC_NUMBER).u32(1).u32(SCD::FRAGMENTED_HEADER);
    bytes.u32(static_cast<std::uint32_t>(model.areas.size()));
    bytes.u32(model.width).u32(model.height).u32(model.depth).f32(model.factor);
    for (unsigned p = 0; p < model.width * model.height; ++p) {
        bytes.u32(model.areaOf(p % model.width, p / model.width));
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
        const auto& [r, lines] = model.areas[i - 1];
        const auto counts = [&](unsigned x, unsigned y, unsigned c) {
            return FragmentedCubeModel::storedCount(i, r.x + x, r.y + y, c);
        };
        const ReferenceCube area =
            makeReferenceCube(r.width, r.height, model.depth, lines, counts, model.factor);
        if (!writeReferenceSCD(base + "." + std::to_string(i), area)) {
            return false;
        }
    }
    return fileExists(base + ".scdh");
}

::testing::AssertionResult readsModel(SCFile& cube, const FragmentedCubeModel& model) {
    const unsigned w = model.width;
    const unsigned h = model.height;
    const unsigned d = model.depth;
    GuardedBuffer spectra(std::size_t{w} * h * d);
    GuardedBuffer images(std::size_t{w} * h * d);
    if (cube.width() != w || cube.height() != h || cube.depth() != d ||
        cube.readSpectrums(0, 0, w * h, spectra.data()) != SC_OK || !spectra.guardsIntact() ||
        cube.readImages(0, d, images.data()) != SC_OK || !images.guardsIntact()) {
        return ::testing::AssertionFailure() << "reading the whole cube as " << w << " x " << h;
    }
    for (std::size_t i = 0; i < spectra.size(); ++i) {
        const auto x = static_cast<unsigned>(i / d % w);
        const auto y = static_cast<unsigned>(i / d / w);
        const auto c = static_cast<unsigned>(i % d);
        if (spectra.data()[i] != model.spectrumCount(x, y, c) ||
            images.data()[(std::size_t{c} * h + y) * w + x] != model.imageCount(x, y, c) ||
            cube.isAcquired(x, y) != (model.areaOf(x, y) != 0)) {
            return ::testing::AssertionFailure() << "(" << x << ", " << y << "), channel " << c;
        }
    }
    return ::testing::AssertionSuccess();
}

}  // namespace test_support
