#include <gtest/gtest.h>

#include <sys/stat.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "api/path_extension.h"
#include "sc_api/sc_io.h"
#include "sc_api/sc_raw_io.h"
#include "sc_api/scd.h"
#include "support/raw_cube_files.h"
#include "support/reference_scd_writer.h"
#include "support/temp_dir.h"

namespace {

using test_support::TempDir;

// A loader that opens nothing and counts how often it is asked.
class CountingLoader : public SCCubeLoader {
  public:
    SCFile* load(const std::string&) override {
        ++asked;
        return nullptr;
    }
    int asked = 0;
};

std::unique_ptr<SCFile> load(const std::string& path) {
    return std::unique_ptr<SCFile>(SCIO::getSCCubeLoader().load(path));
}

void writeRaw(const std::string& base, unsigned depth) {
    test_support::writeRawCube(base, 3, 2, depth, SCRawHeader::RECORD_BY_VECTOR,
                               test_support::distinctValue);
}

void writeScd(const std::string& base, unsigned depth) {
    const auto cube =
        test_support::makeReferenceCube(3, 2, depth, 2, [](unsigned x, unsigned y, unsigned c) {
            return static_cast<unsigned short>(x + 10 * y + 100 * c);
        });
    ASSERT_TRUE(test_support::writeReferenceSCD(base, cube));
}

}  // namespace

TEST(PathExtension, RunsFromTheLastDotOfTheWholePath) {
    EXPECT_EQ(pathExtension("dir/cube.raw"), ".raw");
    EXPECT_EQ(pathExtension("a.b.raw"), ".raw");
    EXPECT_EQ(pathExtension("dir.v2/cube"), ".v2/cube");
    EXPECT_EQ(pathExtension("cube"), "");
}

TEST(CubeLoaders, OpenEachFormatByItsExactExtension) {
    TempDir dir;
    writeRaw(dir.file("a.b"), 4);
    writeScd(dir.file("cube"), 5);

    const auto raw = load(dir.file("a.b.raw"));  // header a.b.rpl, data a.b.raw
    ASSERT_TRUE(raw);
    EXPECT_EQ(raw->depth(), 4u);
    EXPECT_EQ(raw->version(), 0u);

    const auto scd = load(dir.file("cube.scdh"));
    ASSERT_TRUE(scd);
    EXPECT_EQ(scd->depth(), 5u);
    EXPECT_EQ(scd->version(), 1u);

    EXPECT_FALSE(load(dir.file("a.b.RAW")));
    EXPECT_FALSE(load(dir.file("cube.SCDH")));
    EXPECT_FALSE(load(dir.file("cube")));
    EXPECT_FALSE(load(dir.file("missing.raw")));
    EXPECT_FALSE(test_support::fileExists(dir.file("missing.raw")));
}

TEST(CubeLoaders, DirectoryDotsAreNotExtensions) {
    TempDir dir;
    const std::string folder = dir.file("run.v2");
    ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
    writeRaw(folder + "/cube", 2);
    EXPECT_FALSE(SCRawIO::getSCRawCubeLoader()->load(folder + "/cube"));
    EXPECT_TRUE(std::unique_ptr<SCFile>(SCRawIO::getSCRawCubeLoader()->load(folder + "/cube.raw")));
    EXPECT_FALSE(SCD::getSCDCubeLoader()->load(folder + "/cube"));
}

TEST(CubeLoaderRegistry, AddedLoadersComeAfterTheBuiltInOnes) {
    TempDir dir;
    writeRaw(dir.file("cube"), 2);
    CountingLoader extra;
    SCCubeLoaderManager& registry = SCIO::getSCCubeLoader();
    registry.addLoader(&extra);
    EXPECT_TRUE(load(dir.file("cube.raw")));
    EXPECT_EQ(extra.asked, 0);
    EXPECT_FALSE(load(dir.file("cube.xyz")));
    EXPECT_EQ(extra.asked, 1);
    registry.removeLoader(&extra);
    EXPECT_FALSE(load(dir.file("cube.xyz")));
    EXPECT_EQ(extra.asked, 1);
}

TEST(CubeLoaderRegistry, RemovingALoaderDropsEveryRegistrationOfIt) {
    CountingLoader twice;
    SCCubeLoaderManager& registry = SCIO::getSCCubeLoader();
    registry.addLoader(&twice);
    registry.addLoader(&twice);
    EXPECT_FALSE(load("nothing.here"));
    EXPECT_EQ(twice.asked, 2);
    registry.removeLoader(&twice);
    EXPECT_FALSE(load("nothing.here"));
    EXPECT_EQ(twice.asked, 2);
    registry.removeLoader(&twice);  // not registered: nothing happens
    registry.addLoader(&registry);  // the registry itself is ignored
    EXPECT_FALSE(load("nothing.here"));
}

TEST(CubeLoaderRegistry, LoadsAndRegistrationsMayComeFromSeveralThreads) {
    TempDir dir;
    writeRaw(dir.file("cube"), 3);
    SCCubeLoaderManager& registry = SCIO::getSCCubeLoader();
    std::vector<std::thread> loaders;
    std::vector<int> opened(4, 0);
    for (int t = 0; t < 4; ++t) {
        loaders.emplace_back([&, t] {
            for (int i = 0; i < 50; ++i) {
                opened[t] += load(dir.file("cube.raw")) ? 1 : 0;
            }
        });
    }
    CountingLoader extra;
    for (int i = 0; i < 200; ++i) {
        registry.addLoader(&extra);
        registry.removeLoader(&extra);
    }
    for (std::thread& loader : loaders) {
        loader.join();
    }
    for (int count : opened) {
        EXPECT_EQ(count, 50);
    }
}
