#include "sc_api/fragmented_scd_builder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <memory>

#include "sc_api/fragmented_scd_header.h"
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
    std::unique_ptr<FragmentedSCDBuilder> builderFor(const FragmentedCubeModel& model) {
        return std::make_unique<FragmentedSCDBuilder>(base, model.width, model.height, model.depth,
                                                      model.factor);
    }

    // Starts area `area` of the model and feeds it lines 0 .. lines-1.
    void acquire(FragmentedSCDBuilder& builder, const FragmentedCubeModel& model, unsigned area,
                 unsigned lines) {
        ASSERT_EQ(builder.startNewArea(model.areas.at(area - 1).rect), SC_OK);
        addLines(builder, model, area, 0, lines);
    }

    void addLines(FragmentedSCDBuilder& builder, const FragmentedCubeModel& model, unsigned area,
                  unsigned from, unsigned to) {
        for (unsigned y = from; y < to; ++y) {
            ASSERT_EQ(builder.addSpectrumLine(model.areaLine(area, y).data()), SC_OK);
        }
    }

    std::string mapFile() { return readFileText(base + ".scdh"); }

    std::vector<unsigned short> liveRoi(FragmentedSCDBuilder& builder,
                                        const FragmentedCubeModel& model, unsigned first,
                                        unsigned count) {
        GuardedBuffer roi(std::size_t{model.width} * model.height);
        EXPECT_EQ(builder.computeRoiImage(first, count, roi.data()), SC_OK);
        EXPECT_TRUE(roi.guardsIntact());
        return roi.contents();
    }

    TempDir dir;
    std::string base = dir.file("cube");
};

bool sameRect(const Rect& a, const Rect& b) {
    return a.x == b.x && a.y == b.y && a.width == b.width && a.height == b.height;
}

}  // namespace

TEST_F(FragmentedSCDBuilderTest, AreasSideBySideMakeTheMapAndOneSCDCubePerArea) {
    const FragmentedCubeModel model = twoAreasSideBySide();
    ASSERT_TRUE(buildFragmentedCube(base, model));
    EXPECT_EQ(filesIn(dir.path()),
              (std::set<std::string>{"cube.scdh", "cube.1.scdh", "cube.1.scds", "cube.1.scdi",
                                     "cube.2.scdh", "cube.2.scds", "cube.2.scdi"}));
    EXPECT_EQ(mapFile(), fragmentedHeaderBytes(model));

    FragmentedSCDHeader map;
    std::ifstream file(base + ".scdh", std::ios::binary);
    ASSERT_EQ(map.read(file), SC_OK);
    EXPECT_EQ(map.getAreaIndex(9, 4), 1u);
    EXPECT_EQ(map.getAreaIndex(10, 0), 2u);
    EXPECT_EQ(map.getOrigin(1), std::make_pair(0u, 0u));
    EXPECT_EQ(map.getOrigin(2), std::make_pair(10u, 0u));

    auto cube = openSCDCube(base);
    ASSERT_TRUE(cube);
    EXPECT_TRUE(readsModel(*cube, model));
    auto area2 = openSCDCube(base + ".2");
    ASSERT_TRUE(area2);
    EXPECT_TRUE(readsExactly(*area2, model.areaCube(2)));
}

TEST_F(FragmentedSCDBuilderTest, MapFileIsRewrittenWhenAnAreaStartsAndAtClose) {
    const FragmentedCubeModel model = twoAreasSideBySide();
    auto builder = builderFor(model);
    EXPECT_FALSE(fileExists(base + ".scdh"));
    acquire(*builder, model, 1, 5);
    EXPECT_EQ(mapFile(), fragmentedHeaderBytes(acquiredUpTo(model, 1, 0)));
    acquire(*builder, model, 2, 3);
    EXPECT_EQ(mapFile(), fragmentedHeaderBytes(acquiredUpTo(model, 2, 0)));
    EXPECT_EQ(builder->numAreas(), 2u);
    EXPECT_EQ(builder->close(), SC_OK);
    EXPECT_EQ(mapFile(), fragmentedHeaderBytes(acquiredUpTo(model, 2, 3)));
}

TEST_F(FragmentedSCDBuilderTest, PartlyAcquiredAreaReadsAsNotAcquiredBelowItsLastLine) {
    FragmentedCubeModel model = twoAreasSideBySide();
    model.areas[1].storedLines = 2;
    ASSERT_TRUE(buildFragmentedCube(base, model));
    auto cube = openSCDCube(base);
    ASSERT_TRUE(cube);
    EXPECT_TRUE(readsModel(*cube, model));
    EXPECT_TRUE(cube->isAcquired(15, 1));
    EXPECT_FALSE(cube->isAcquired(15, 2));
}

TEST_F(FragmentedSCDBuilderTest, OverlappingAreasGiveThePixelsToTheLaterArea) {
    const FragmentedCubeModel model = overlappingAreas();
    ASSERT_TRUE(buildFragmentedCube(base, model));
    EXPECT_EQ(mapFile(), fragmentedHeaderBytes(model));
    auto cube = openSCDCube(base);
    ASSERT_TRUE(cube);
    EXPECT_TRUE(readsModel(*cube, model));
}

TEST_F(FragmentedSCDBuilderTest, LinesNeedAnAreaWithLinesLeft) {
    const FragmentedCubeModel model = twoAreasSideBySide();
    auto builder = builderFor(model);
    EXPECT_EQ(builder->numAreas(), 0u);
    EXPECT_TRUE(sameRect(builder->currentArea(), Rect{}));
    EXPECT_EQ(builder->addSpectrumLine(model.areaLine(1, 0).data()), SC_OUT_OF_RANGE);
    acquire(*builder, model, 1, 5);
    EXPECT_TRUE(sameRect(builder->currentArea(), model.areas[0].rect));
    EXPECT_EQ(builder->addSpectrumLine(model.areaLine(1, 0).data()), SC_OUT_OF_RANGE);
    EXPECT_EQ(builder->close(), SC_OK);
    auto cube = openSCDCube(base);
    ASSERT_TRUE(cube);
    EXPECT_TRUE(readsModel(*cube, acquiredUpTo(model, 1, 5)));
}

TEST_F(FragmentedSCDBuilderTest, AreaLeavingTheCubeIsRefusedAndChangesNothing) {
    const FragmentedCubeModel model = twoAreasSideBySide();
    auto builder = builderFor(model);
    acquire(*builder, model, 1, 2);
    const std::string map = mapFile();
    for (const Rect& outside : {Rect{11, 0, 10, 5}, Rect{0, 1, 10, 5}, Rect{0xFFFFFFFF, 0, 2, 1},
                                Rect{0, 0xFFFFFFF0, 1, 0x20}}) {
        EXPECT_EQ(builder->startNewArea(outside), SC_OUT_OF_RANGE);
    }
    EXPECT_EQ(builder->numAreas(), 1u);
    EXPECT_TRUE(sameRect(builder->currentArea(), model.areas[0].rect));
    EXPECT_EQ(mapFile(), map);
    EXPECT_FALSE(fileExists(base + ".2.scdh"));
    addLines(*builder, model, 1, 2, 5);
    EXPECT_EQ(builder->close(), SC_OK);
    auto cube = openSCDCube(base);
    ASSERT_TRUE(cube);
    EXPECT_TRUE(readsModel(*cube, acquiredUpTo(model, 1, 5)));
}

TEST_F(FragmentedSCDBuilderTest, ClosedBuilderRefusesEverything) {
    const FragmentedCubeModel model = twoAreasSideBySide();
    auto builder = builderFor(model);
    acquire(*builder, model, 1, 5);
    ASSERT_EQ(builder->close(), SC_OK);
    EXPECT_FALSE(builder->isOpen());
    EXPECT_EQ(builder->close(), SC_FILE_ERROR);
    EXPECT_EQ(builder->startNewArea(model.areas[1].rect), SC_FILE_ERROR);
    EXPECT_EQ(builder->addSpectrumLine(model.areaLine(1, 0).data()), SC_FILE_ERROR);
    GuardedBuffer roi(100);
    EXPECT_EQ(builder->computeRoiImage(0, 1, roi.data()), SC_FILE_ERROR);
    EXPECT_TRUE(roi.holdsOnly(GuardedBuffer::kUntouched));
    EXPECT_EQ(builder->numAreas(), 1u);
}

TEST_F(FragmentedSCDBuilderTest, CancelLeavesTheBuilderAndItsFilesAsTheyAre) {
    const FragmentedCubeModel model = twoAreasSideBySide();
    auto builder = builderFor(model);
    acquire(*builder, model, 1, 3);
    const std::set<std::string> files = filesIn(dir.path());
    EXPECT_EQ(builder->cancel(), SC_OK);
    EXPECT_TRUE(builder->isOpen());
    EXPECT_EQ(filesIn(dir.path()), files);
    EXPECT_EQ(builder->close(), SC_OK);
}

TEST_F(FragmentedSCDBuilderTest, DestroyingAnOpenBuilderFinishesTheCube) {
    const FragmentedCubeModel model = twoAreasSideBySide();
    {
        auto builder = builderFor(model);
        acquire(*builder, model, 1, 5);
        acquire(*builder, model, 2, 4);
    }
    auto cube = openSCDCube(base);
    ASSERT_TRUE(cube);
    EXPECT_TRUE(readsModel(*cube, acquiredUpTo(model, 2, 4)));
}

TEST_F(FragmentedSCDBuilderTest, MapThatCannotBeWrittenFailsStartAndClose) {
    const FragmentedCubeModel model = twoAreasSideBySide();
    base = dir.file("missing/cube");
    auto builder = builderFor(model);
    EXPECT_EQ(builder->startNewArea(model.areas[0].rect), SC_WRITE_ERROR);
    EXPECT_EQ(builder->numAreas(), 1u);
    EXPECT_EQ(builder->addSpectrumLine(model.areaLine(1, 0).data()), SC_OUT_OF_RANGE);
    EXPECT_EQ(builder->close(), SC_WRITE_ERROR);
    EXPECT_TRUE(builder->isOpen());
}

TEST_F(FragmentedSCDBuilderTest, RoiImageBeforeTheFirstAreaOrBeyondTheChannelsIsRefused) {
    const FragmentedCubeModel model = twoAreasSideBySide();
    auto builder = builderFor(model);
    GuardedBuffer roi(100);
    EXPECT_EQ(builder->computeRoiImage(0, 1, roi.data()), SC_OUT_OF_RANGE);
    acquire(*builder, model, 1, 1);
    EXPECT_EQ(builder->computeRoiImage(39, 2, roi.data()), SC_OUT_OF_RANGE);
    EXPECT_EQ(builder->computeRoiImage(0xFFFFFFFF, 2, roi.data()), SC_OUT_OF_RANGE);
    EXPECT_TRUE(roi.holdsOnly(GuardedBuffer::kUntouched));
}

TEST_F(FragmentedSCDBuilderTest, RoiImageFollowsTheAcquisitionAcrossAreas) {
    FragmentedCubeModel model = twoAreasSideBySide();
    model.factor = 1.5f;
    auto builder = builderFor(model);
    acquire(*builder, model, 1, 2);
    EXPECT_EQ(liveRoi(*builder, model, 0, 40), acquiredUpTo(model, 1, 2).roiImage(0, 40));
    addLines(*builder, model, 1, 2, 5);
    acquire(*builder, model, 2, 3);
    const FragmentedCubeModel stage = acquiredUpTo(model, 2, 3);
    EXPECT_EQ(liveRoi(*builder, model, 0, 40), stage.roiImage(0, 40));
    EXPECT_EQ(liveRoi(*builder, model, 5, 33), stage.roiImage(5, 33));
    EXPECT_EQ(liveRoi(*builder, model, 39, 1), stage.roiImage(39, 1));
    EXPECT_EQ(liveRoi(*builder, model, 7, 0), stage.roiImage(7, 0));

    addLines(*builder, model, 2, 3, 5);
    const std::vector<unsigned short> last = liveRoi(*builder, model, 0, 40);
    ASSERT_EQ(builder->close(), SC_OK);
    auto cube = openSCDCube(base);
    ASSERT_TRUE(cube);
    std::vector<unsigned short> finished(100);
    ASSERT_EQ(cube->computeRoiImage(0, 40, finished.data()), SC_OK);
    EXPECT_EQ(finished, last);
}

TEST_F(FragmentedSCDBuilderTest, RoiImageOfOverlappingAreasLetsTheLaterAreaWin) {
    const FragmentedCubeModel model = overlappingAreas();
    auto builder = builderFor(model);
    acquire(*builder, model, 1, 4);
    acquire(*builder, model, 2, 1);
    EXPECT_EQ(liveRoi(*builder, model, 0, 3), acquiredUpTo(model, 2, 1).roiImage(0, 3));
    // A third area over both, started without lines: its rectangle reads zeros.
    ASSERT_EQ(builder->startNewArea(Rect{2, 0, 3, 5}), SC_OK);
    FragmentedCubeModel withThird = acquiredUpTo(model, 2, 1);
    withThird.areas.push_back({Rect{2, 0, 3, 5}, 0});
    EXPECT_EQ(liveRoi(*builder, model, 0, 3), withThird.roiImage(0, 3));
}

TEST_F(FragmentedSCDBuilderTest, EmptyAreasKeepTheCubeReadable) {
    FragmentedCubeModel model = twoAreasSideBySide();
    auto builder = builderFor(model);
    acquire(*builder, model, 1, 5);
    ASSERT_EQ(builder->startNewArea(Rect{3, 3, 0, 2}), SC_OK);
    EXPECT_EQ(builder->addSpectrumLine(nullptr), SC_OK);
    ASSERT_EQ(builder->startNewArea(Rect{3, 3, 2, 0}), SC_OK);
    EXPECT_EQ(builder->addSpectrumLine(model.areaLine(1, 0).data()), SC_OUT_OF_RANGE);
    EXPECT_EQ(builder->close(), SC_OK);
    model.areas = {model.areas[0], {Rect{3, 3, 0, 2}, 1}, {Rect{3, 3, 2, 0}, 0}};
    auto cube = openSCDCube(base);
    ASSERT_TRUE(cube);
    EXPECT_TRUE(readsModel(*cube, model));
}
