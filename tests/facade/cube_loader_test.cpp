#include <gtest/gtest.h>

#include <sys/stat.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

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

}  // namespace

TEST(CubeLoaders, OpenEachFormatByItsExactExtensionNotByDirectoryDots) {
    TempDir dir;
    writeRaw(dir.file("a.b"), 4);
    ASSERT_TRUE(test_support::writeReferenceSCD(
        dir.file("cube"),
        test_support::makeReferenceCube(3, 2, 5, 2, [](unsigned, unsigned, unsigned) {
            return static_cast<unsigned short>(7);
        })));
    const auto raw = load(dir.file("a.b.raw"));  // header a.b.rpl, data a.b.raw
    ASSERT_TRUE(raw);
    EXPECT_EQ(raw->depth(), 4u);
    const auto scd = load(dir.file("cube.scdh"));
    ASSERT_TRUE(scd);
    EXPECT_EQ(scd->depth(), 5u);
    for (const char* refused : {"a.b.RAW", "cube.SCDH", "cube", "missing.raw"}) {
        EXPECT_FALSE(load(dir.file(refused))) << refused;
    }
    EXPECT_FALSE(test_support::fileExists(dir.file("missing.raw")));

    const std::string folder = dir.file("run.v2");
    ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
    writeRaw(folder + "/cube", 2);
    EXPECT_FALSE(SCRawIO::getSCRawCubeLoader()->load(folder + "/cube"));
    EXPECT_TRUE(std::unique_ptr<SCFile>(SCRawIO::getSCRawCubeLoader()->load(folder + "/cube.raw")));
    EXPECT_FALSE(SCD::getSCDCubeLoader()->load(folder + "/cube"));
}

TEST(CubeLoaderRegistry, AsksAddedLoadersAfterTheBuiltInOnesOncePerRegistration) {
    TempDir dir;
    writeRaw(dir.file("cube"), 2);
    CountingLoader extra;
    SCCubeLoaderManager& registry = SCIO::getSCCubeLoader();
    registry.addLoader(&extra);
    registry.addLoader(&extra);
    registry.addLoader(&registry);  // the registry itself is ignored
    EXPECT_TRUE(load(dir.file("cube.raw")));
    EXPECT_EQ(extra.asked, 0);
    EXPECT_FALSE(load(dir.file("cube.xyz")));
    EXPECT_EQ(extra.asked, 2);
    registry.removeLoader(&extra);  // drops every registration of it
    EXPECT_FALSE(load(dir.file("cube.xyz")));
    EXPECT_EQ(extra.asked, 2);
    registry.removeLoader(&extra);  // not registered: nothing happens
}

TEST(CubeLoaderRegistry, LoadsAndRegistrationsMayComeFromSeveralThreads) {
    TempDir dir;
    writeRaw(dir.file("cube"), 3);
    SCCubeLoaderManager& registry = SCIO::getSCCubeLoader();
    std::atomic<int> opened{0};
    {
        std::vector<std::jthread> loaders;
        for (int t = 0; t < 4; ++t) {
            loaders.emplace_back([&] {
                for (int i = 0; i < 50; ++i) {
                    opened += load(dir.file("cube.raw")) ? 1 : 0;
                }
            });
        }
        CountingLoader extra;
        for (int i = 0; i < 200; ++i) {
            registry.addLoader(&extra);
            registry.removeLoader(&extra);
        }
    }
    EXPECT_EQ(opened.load(), 200);
}
