#include "support/scd_writers.h"

#include <algorithm>
#include <filesystem>

#include "sc_api/scd.h"
#include "support/codec_bits.h"
#include "support/temp_dir.h"

namespace test_support {

int MemorySpectrumReader::read(unsigned short* buffer, unsigned count) {
    const auto readIndex = static_cast<unsigned>(requestedCounts.size());
    requestedCounts.push_back(count);
    if (readIndex >= failFrom_) {
        return -1;
    }
    const std::uint64_t stored = std::uint64_t{cube_.width} * cube_.acquiredLines;
    const std::uint64_t available =
        std::min(stored, end_) - std::min(next_, std::min(stored, end_));
    const auto delivered = static_cast<unsigned>(std::min<std::uint64_t>(count, available));
    std::copy_n(cube_.values.begin() + static_cast<std::ptrdiff_t>(next_ * cube_.depth),
                std::uint64_t{delivered} * cube_.depth, buffer);
    next_ += delivered;
    return static_cast<int>(delivered);
}

bool MemorySpectrumReader::rewind() {
    ++rewinds;
    next_ = 0;
    return true;
}

ReferenceCube randomCube(CubeKind kind, unsigned width, unsigned height, unsigned depth,
                         unsigned acquiredLines, std::uint32_t seed, float factor) {
    std::mt19937 random(seed);
    ReferenceCube cube = makeReferenceCube(
        width, height, depth, acquiredLines, [](unsigned, unsigned, unsigned) { return 0; },
        factor);
    std::vector<unsigned short>& values = cube.values;
    switch (kind) {
        case CubeKind::kRandomRuns:
            values = randomRuns(random, values.size());
            break;
        case CubeKind::kSparse: {
            std::uniform_int_distribution<int> percent(0, 99);
            std::uniform_int_distribution<int> small(1, 3);
            for (unsigned short& value : values) {
                value = static_cast<unsigned short>(percent(random) < 4 ? small(random) : 0);
            }
            break;
        }
        case CubeKind::kDense: {
            std::uniform_int_distribution<int> any(0, 65535);
            for (unsigned short& value : values) {
                value = static_cast<unsigned short>(any(random));
            }
            break;
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
        const int result = builder->addSpectrumLine(cube.values.data() + y * lineValues);
        if (result != SC_OK) {
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
        if (!fileExists(base + extension)) {
            return ::testing::AssertionFailure() << base + extension << " is missing";
        }
        const std::vector<unsigned char> actual = readFileBytes(base + extension);
        const std::vector<unsigned char> expected = readFileBytes(expectedBase + extension);
        const auto difference =
            std::mismatch(actual.begin(), actual.end(), expected.begin(), expected.end());
        if (difference.first != actual.end() || difference.second != expected.end()) {
            return ::testing::AssertionFailure()
                   << extension << " differs at byte " << (difference.first - actual.begin())
                   << " (sizes " << actual.size() << " and " << expected.size() << ")";
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
