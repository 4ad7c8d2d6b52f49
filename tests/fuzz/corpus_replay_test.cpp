// Every saved input of every fuzz target, replayed: the corpora kept in the repository (seeds
// made from valid files by scripts/fuzz_seeds.sh, and inputs the fuzzers found) must still run
// clean in every build, sanitizers included.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz/fuzz_targets.h"

namespace {

std::vector<std::uint8_t> readInput(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

class CorpusReplay : public ::testing::TestWithParam<fuzz::NamedTarget> {};

TEST_P(CorpusReplay, EverySavedInputRunsClean) {
    const std::filesystem::path corpus =
        std::filesystem::path(SC_API_FUZZ_CORPUS_DIR) / GetParam().name;
    ASSERT_TRUE(std::filesystem::is_directory(corpus)) << corpus;
    int inputs = 0;
    for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
        const std::vector<std::uint8_t> input = readInput(entry.path());
        SCOPED_TRACE(entry.path().filename().string());
        EXPECT_EQ(GetParam().run(input.data(), input.size()), 0);
        ++inputs;
    }
    EXPECT_GT(inputs, 0) << "an empty corpus";
}

INSTANTIATE_TEST_SUITE_P(Fuzz, CorpusReplay, ::testing::ValuesIn(fuzz::kTargets),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
