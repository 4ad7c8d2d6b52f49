#include "support/scd_writers.h"

#include <algorithm>
#include <filesystem>

#include "sc_api/scd.h"
#include "support/codec_bits.h"
#include "support/temp_dir.h"

namespace test_support {

int MemorySpectrumReader::read(unsigned short* buffer, unsigned count) {
    requestedCounts.push_back(count);
    const std::uint64_t available =
        std::min<std::uint64_t>(std::uint64_t{cube_.width} * cube_.acquiredLines, end);
    const auto delivered = static_cast<unsigned>(
        std::min<std::uint64_t>(count, available - std::min(next_, available)));
    std::copy_n(cube_.values.begin() + static_cast<std::ptrdiff_t>(next_ * cube_.depth),
                std::uint64_t{delivered} * cube_.depth, buffer);
    next_ += delivered;
    return static_cast<int>(delivered);
}

ReferenceCube randomCube(CubeKind kind, unsigned width, unsigned height, unsigned depth,
                         unsigned acquiredLines, std::uint32_t seed, float factor) {
    std::mt19937 random(seed);
    const std::size_t count = std::size_t{width} * acquiredLines * depth;
    ReferenceCube cube{width, height, depth, acquiredLines, factor, randomRuns(random, count)};
    for (unsigned short& value : cube.values) {
        const unsigned draw = random();
        if (kind == CubeKind::kSparse) {
            value = static_cast<unsigned short>(draw % 100 < 4 ? 1 + draw / 100 % 3 : 0);
        } else if (kind == CubeKind::kDense) {
            value = static_cast<unsigned short>(draw >> 16);
        }
    }
    return cube;
}

::testing::AssertionResult buildWithBuilder(const std::string& base, const ReferenceCube& cube) {
    auto builder = SCD::getBuilder(base, cube.width, cube.height, cube.depth, cube.factor);
    if (!builder) {
        return ::testing::AssertionFailure() << "no builder for " << base;
    }
    const std::size_t lineValues = std::size_t{cube.width} * cube.depth;
    for (unsigned y = 0; y < cube.acquiredLines; ++y) {
        if (const int result = builder->addSpectrumLine(cube.values.data() + y * lineValues);
            result != SC_OK) {
            return ::testing::AssertionFailure() << "line " << y << " gave " << result;
        }
    }
    if (const int result = builder->close(); result != SC_OK) {
        return ::testing::AssertionFailure() << "close gave " << result;
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult encodeWithBatch(const std::string& base, const ReferenceCube& cube) {
    MemorySpectrumReader reader(cube);
    if (const int result = SCD::encode(reader, base); result != SC_OK) {
        return ::testing::AssertionFailure() << "SCD::encode gave " << result;
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult sameSCDFiles(const std::string& base, const std::string& expectedBase) {
    for (const char* extension : {".scdh", ".scds", ".scdi"}) {
        if (!fileExists(base + extension) ||
            readFileBytes(base + extension) != readFileBytes(expectedBase + extension)) {
            return ::testing::AssertionFailure()
                   << base + extension << " differs from " << expectedBase + extension;
        }
    }
    return ::testing::AssertionSuccess();
}

std::set<std::string> filesIn(const std::string& directory) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(directory)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

}  // namespace test_support
