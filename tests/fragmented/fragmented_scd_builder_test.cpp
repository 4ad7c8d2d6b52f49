#include "sc_api/fragmented_scd_builder.h"

#include <gtest/gtest.h>

#include "io/fault_injection.h"
#include "sc_api/sc_error_code.h"
#include "support/fragmented_cube_files.h"
#include "support/guarded_buffer.h"
#include "support/scd_cube_checks.h"
#include "support/scd_writers.h"
#include "support/temp_dir.h"

using namespace test_support;

namespace {

class FragmentedSCDBuilderTest : public ::testing::Test {
  protected:
    std::string mapFile() { return readFileText(base + ".scdh"); }

    TempDir dir;
    std::string base = dir.file("cube");
};

bool sameRect(const Rect& a, const Rect& b) {
    return a.x == b.x && a.y == b.y && a.width == b.width && a.height == b.height;
}

}  // namespace

// While areas are acquired, the map on disk lists every area started and the live ROI image
// (finished areas, then the area in progress) is that of the cube finished with those lines.
TEST_F(FragmentedSCDBuilderTest, MapCubesAndLiveRoiImageFollowTheAcquisition) {
    FragmentedCubeModel sideBySide = twoAreasSideBySide();  // grid 1 | 2, origins 0, 0, (10, 0)
    sideBySide.factor = 1.5f;
    FragmentedCubeModel overlapThenEmpty = overlappingAreas();  // area 2 partly acquired
    overlapThenEmpty.areas.push_back({{2, 0, 3, 5}, 0});
    FragmentedCubeModel noWidthOrHeight = twoAreasSideBySide();
    noWidthOrHeight.areas = {noWidthOrHeight.areas[0], {{3, 3, 0, 2}, 1}, {{3, 3, 2, 0}, 0}};
    for (const FragmentedCubeModel& model : {sideBySide, overlapThenEmpty, noWidthOrHeight}) {
        const unsigned d = model.depth;
        FragmentedSCDBuilder builder(base, model.width, model.height, d, model.factor);
        for (unsigned area = 1; area <= model.areas.size(); ++area) {
            ASSERT_EQ(builder.startNewArea(model.areas[area - 1].rect), SC_OK);
            FragmentedCubeModel stage = model;
            stage.areas.resize(area);
            unsigned& lines = stage.areas.back().storedLines;
            for (lines = 0; lines <= model.areas[area - 1].storedLines; ++lines) {
                if (lines == 0) {
                    EXPECT_EQ(mapFile(), fragmentedHeaderBytes(stage));
                } else {
                    const auto line = model.areaLine(area, lines - 1);
                    ASSERT_EQ(builder.addSpectrumLine(line.data()), SC_OK);
                }
                for (const auto& [first, count] : {std::pair{0u, d}, {1u, d - 2}, {d - 1, 1u}}) {
                    GuardedBuffer roi(std::size_t{model.width} * model.height);
                    EXPECT_EQ(builder.computeRoiImage(first, count, roi.data()), SC_OK);
                    EXPECT_EQ(roi.contents(), stage.roiImage(first, count))
                        << "area " << area << ", lines " << lines << ", channels " << first;
                    EXPECT_TRUE(roi.guardsIntact());
                }
            }
        }
        ASSERT_EQ(builder.close(), SC_OK);
        EXPECT_EQ(mapFile(), fragmentedHeaderBytes(model));
        auto cube = openSCDCube(base);
        ASSERT_TRUE(cube);
        EXPECT_TRUE(readsModel(*cube, model));
        std::vector<unsigned short> finished(std::size_t{model.width} * model.height);
        ASSERT_EQ(cube->computeRoiImage(0, d, finished.data()), SC_OK);
        EXPECT_EQ(finished, model.roiImage(0, d));
    }
}

TEST_F(FragmentedSCDBuilderTest, RefusedCallsChangeNothing) {
    FragmentedCubeModel model = twoAreasSideBySide();
    const auto line = [&](unsigned y) { return model.areaLine(1, y); };
    FragmentedSCDBuilder builder(base, 20, 5, 40, 1.0f);
    GuardedBuffer roi(100);
    EXPECT_EQ(builder.numAreas(), 0u);
    EXPECT_TRUE(sameRect(builder.currentArea(), Rect{0, 0, 0, 0}));
    EXPECT_EQ(builder.addSpectrumLine(line(0).data()), SC_OUT_OF_RANGE);
    EXPECT_EQ(builder.computeRoiImage(0, 1, roi.data()), SC_OUT_OF_RANGE);

    ASSERT_EQ(builder.startNewArea(model.areas[0].rect), SC_OK);
    ASSERT_EQ(builder.addSpectrumLine(line(0).data()), SC_OK);
    const std::string map = mapFile();
    for (const Rect& outside : {Rect{11, 0, 10, 5}, Rect{0, 1, 10, 5}, Rect{0xFFFFFFFF, 0, 2, 1},
                                Rect{0, 0xFFFFFFF0, 1, 0x20}}) {
        EXPECT_EQ(builder.startNewArea(outside), SC_OUT_OF_RANGE);
    }
    EXPECT_EQ(builder.numAreas(), 1u);
    EXPECT_TRUE(sameRect(builder.currentArea(), model.areas[0].rect));
    EXPECT_EQ(mapFile(), map);
    EXPECT_FALSE(fileExists(base + ".2.scdh"));
    for (unsigned y = 1; y < 5; ++y) {
        ASSERT_EQ(builder.addSpectrumLine(line(y).data()), SC_OK);
    }
    EXPECT_EQ(builder.addSpectrumLine(line(0).data()), SC_OUT_OF_RANGE);  // beyond the area
    EXPECT_EQ(builder.computeRoiImage(39, 2, roi.data()), SC_OUT_OF_RANGE);
    EXPECT_EQ(builder.computeRoiImage(0xFFFFFFFF, 2, roi.data()), SC_OUT_OF_RANGE);

    ASSERT_EQ(builder.close(), SC_OK);
    EXPECT_EQ(builder.close(), SC_FILE_ERROR);
    EXPECT_EQ(builder.startNewArea(model.areas[1].rect), SC_FILE_ERROR);
    EXPECT_EQ(builder.addSpectrumLine(line(0).data()), SC_FILE_ERROR);
    EXPECT_EQ(builder.computeRoiImage(0, 1, roi.data()), SC_FILE_ERROR);
    EXPECT_TRUE(roi.holdsOnly(GuardedBuffer::kUntouched) && roi.guardsIntact());
    model.areas.pop_back();
    auto cube = openSCDCube(base);
    ASSERT_TRUE(cube);
    EXPECT_TRUE(readsModel(*cube, model));
}

// Flushing every line to the device writes the same cube; the flushes are real operations on
// the areas' temporaries.
TEST_F(FragmentedSCDBuilderTest, SyncingEveryLineWritesTheSameCube) {
    const FragmentedCubeModel model = twoAreasSideBySide();
    std::uint64_t operations[2] = {};
    for (const unsigned syncEveryLines : {0u, 1u}) {
        const std::string name = dir.file("cube" + std::to_string(syncEveryLines));
        fault_injection::countOperations();
        FragmentedSCDBuilder builder(name, model.width, model.height, model.depth, model.factor,
                                     syncEveryLines);
        for (unsigned area = 1; area <= model.areas.size(); ++area) {
            ASSERT_EQ(builder.startNewArea(model.areas[area - 1].rect), SC_OK);
            for (unsigned line = 0; line < model.areas[area - 1].storedLines; ++line) {
                ASSERT_EQ(builder.addSpectrumLine(model.areaLine(area, line).data()), SC_OK);
            }
        }
        ASSERT_EQ(builder.close(), SC_OK);
        operations[syncEveryLines] = fault_injection::disarm();
    }
    EXPECT_GT(operations[1], operations[0]);
    EXPECT_EQ(readFileText(dir.file("cube1.scdh")), readFileText(dir.file("cube0.scdh")));
    for (unsigned area = 1; area <= model.areas.size(); ++area) {
        const std::string suffix = "." + std::to_string(area);
        EXPECT_TRUE(sameSCDFiles(dir.file("cube1") + suffix, dir.file("cube0") + suffix));
    }
}
