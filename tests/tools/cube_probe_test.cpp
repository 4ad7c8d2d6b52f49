#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

#include "sc_api/sc_cube_probe.h"
#include "sc_api/sc_energy_calibration.h"
#include "support/cube_fixtures.h"
#include "support/raw_cube_files.h"

namespace {

using namespace test_support;

TEST(CubeProbe, OpensEveryFormByAnyOfItsNames) {
    TempDir dir;
    const std::string vector = dir.file("by_vector");
    const std::string image = dir.file("by_image");
    const std::string scd = dir.file("packed");
    const std::string tiled = dir.file("tiled");
    writeSmallCube(vector, SCCubeForm::RAW_VECTOR);
    writeSmallCube(image, SCCubeForm::RAW_IMAGE);
    writeSmallCube(scd, SCCubeForm::SCD);
    writeSmallCube(tiled, SCCubeForm::FRAGMENTED_SCD);
    const struct {
        std::string name;
        SCCubeForm form;
        std::string base;
    } cases[] = {
        {vector + ".rpl", SCCubeForm::RAW_VECTOR, vector},
        {vector + ".raw", SCCubeForm::RAW_VECTOR, vector},
        {vector, SCCubeForm::RAW_VECTOR, vector},
        {image, SCCubeForm::RAW_IMAGE, image},
        {scd + ".scdh", SCCubeForm::SCD, scd},
        {scd, SCCubeForm::SCD, scd},
        {tiled, SCCubeForm::FRAGMENTED_SCD, tiled},
    };
    for (const auto& c : cases) {
        const SCOpenedCube opened = SCCubeProbe::open(c.name);
        ASSERT_TRUE(opened.status.ok()) << c.name << ": " << opened.status.message();
        EXPECT_EQ(opened.form, c.form) << c.name;
        EXPECT_EQ(opened.base, c.base) << c.name;
        EXPECT_GT(opened.cube->width(), 0u) << c.name;
    }
}

// One way of spoiling a cube, and what the probe must then say.
struct Spoiled {
    const char* what;
    SCCubeForm form;
    std::function<void(const std::string& base)> spoil;
    SCProblem problem;
    const char* file;  // suffix of the file named, after the base
};

void truncateTo(const std::string& path, std::uintmax_t size) {
    std::filesystem::resize_file(path, size);
}

TEST(CubeProbe, SaysWhyACubeDoesNotOpenAndCreatesNothing) {
    const Spoiled cases[] = {
        {"missing SCD image file", SCCubeForm::SCD,
         [](const std::string& b) { std::filesystem::remove(b + ".scdi"); },
         SCProblem::MISSING_FILE, ".scdi"},
        {"foreign magic", SCCubeForm::SCD,
         [](const std::string& b) { writeFileText(b + ".scdh", "GIF89a and more bytes"); },
         SCProblem::NOT_A_CUBE, ".scdh"},
        {"header cut inside the first fields", SCCubeForm::SCD,
         [](const std::string& b) { truncateTo(b + ".scdh", 6); }, SCProblem::DAMAGED_HEADER,
         ".scdh"},
        {"header cut inside the index", SCCubeForm::SCD,
         [](const std::string& b) { truncateTo(b + ".scdh", 60); }, SCProblem::DAMAGED_HEADER,
         ".scdh"},
        {"unknown header type", SCCubeForm::SCD,
         [](const std::string& b) {
             writeFileBytes(b + ".scdh", {0x46, 0x44, 0x43, 0x53, 1, 0, 0, 0, 3, 0, 0, 0});
         },
         SCProblem::NOT_A_CUBE, ".scdh"},
        {"missing area cube", SCCubeForm::FRAGMENTED_SCD,
         [](const std::string& b) { std::filesystem::remove(b + ".2.scds"); },
         SCProblem::MISSING_FILE, ".2.scds"},
        {"area map cut short", SCCubeForm::FRAGMENTED_SCD,
         [](const std::string& b) { truncateTo(b + ".scdh", 100); }, SCProblem::DAMAGED_HEADER,
         ".scdh"},
        {"raw data cut short", SCCubeForm::RAW_VECTOR,
         [](const std::string& b) { truncateTo(b + ".raw", 100); }, SCProblem::DAMAGED_DATA,
         ".raw"},
        {"raw data missing", SCCubeForm::RAW_IMAGE,
         [](const std::string& b) { std::filesystem::remove(b + ".raw"); }, SCProblem::MISSING_FILE,
         ".raw"},
        {"big-endian raw header", SCCubeForm::RAW_VECTOR,
         [](const std::string& b) {
             writeFileText(b + ".rpl",
                           "width 6 height 4 depth 9 offset 0 data-length 4 "
                           "data-type unsigned byte-order big-endian record-by vector");
         },
         SCProblem::FOREIGN_LAYOUT, ".rpl"},
        {"raw header of complex values", SCCubeForm::RAW_VECTOR,
         [](const std::string& b) {
             writeFileText(b + ".rpl",
                           "width 6\nheight 4\ndepth 9\ndata-length 8\n"
                           "data-type complex\nbyte-order little-endian\n"
                           "record-by vector\n");
         },
         SCProblem::UNSUPPORTED_LAYOUT, ".rpl"},
        {"raw header without width", SCCubeForm::RAW_VECTOR,
         [](const std::string& b) { writeFileText(b + ".rpl", "height 4\ndepth 9\n"); },
         SCProblem::DAMAGED_HEADER, ".rpl"},
    };
    for (const Spoiled& c : cases) {
        TempDir dir;
        const std::string base = dir.file("cube");
        const std::string name = writeSmallCube(base, c.form);
        c.spoil(base);
        const std::set<std::string> before = filesIn(dir.path());
        const SCOpenedCube opened = SCCubeProbe::open(name);
        EXPECT_EQ(opened.status.problem, c.problem) << c.what << ": " << opened.status.message();
        EXPECT_EQ(opened.status.file, base + c.file) << c.what;
        EXPECT_FALSE(opened.cube) << c.what;
        EXPECT_EQ(filesIn(dir.path()), before) << c.what;
    }
}

TEST(CubeProbe, NamesThatAreNoCube) {
    TempDir dir;
    writeFileText(dir.file("notes.txt"), "not a cube");
    std::filesystem::create_directory(dir.file("folder.scdh"));
    EXPECT_EQ(SCCubeProbe::open(dir.file("absent")).status.problem, SCProblem::MISSING_FILE);
    EXPECT_EQ(SCCubeProbe::open(dir.file("absent.scdh")).status.problem, SCProblem::MISSING_FILE);
    EXPECT_EQ(SCCubeProbe::open(dir.file("notes.txt")).status.problem, SCProblem::NOT_A_CUBE);
    EXPECT_EQ(SCCubeProbe::open(dir.file("folder.scdh")).status.problem, SCProblem::NOT_A_CUBE);
}

TEST(CubeProbe, SaysWhenAccessIsRefused) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "permissions do not bind the superuser";
    }
    TempDir dir;
    const std::string name = writeSmallCube(dir.file("cube"), SCCubeForm::SCD);
    ::chmod(dir.file("cube.scds").c_str(), 0);
    const SCOpenedCube opened = SCCubeProbe::open(name);
    EXPECT_EQ(opened.status.problem, SCProblem::PERMISSION_DENIED);
    EXPECT_EQ(opened.status.file, dir.file("cube.scds"));
}

TEST(CubeProbe, RemovesEveryFileOfACubeAndNothingElse) {
    for (SCCubeForm form : {SCCubeForm::RAW_VECTOR, SCCubeForm::SCD, SCCubeForm::FRAGMENTED_SCD}) {
        TempDir dir;
        const std::string name = writeSmallCube(dir.file("map"), form);
        SCEnergyCalibration{10.0, 5.0}.write(dir.file("map"));
        writeFileText(dir.file("map.txt"), "notes");
        writeFileText(dir.file("map.1.txt"), "notes");
        writeFileText(dir.file("map2.raw"), "other");
        EXPECT_TRUE(SCCubeProbe::remove(name).ok());
        EXPECT_EQ(filesIn(dir.path()), (std::set<std::string>{"map.txt", "map.1.txt", "map2.raw"}))
            << scCubeFormText(form);
    }
}

TEST(CubeProbe, RemovesNothingWhenItCannotTellTheFiles) {
    TempDir dir;
    writeSmallCube(dir.file("tiled"), SCCubeForm::FRAGMENTED_SCD);
    truncateTo(dir.file("tiled.scdh"), 50);
    const std::set<std::string> before = filesIn(dir.path());
    EXPECT_EQ(SCCubeProbe::remove(dir.file("tiled")).problem, SCProblem::DAMAGED_HEADER);
    EXPECT_EQ(SCCubeProbe::remove(dir.file("absent")).problem, SCProblem::MISSING_FILE);
    writeFileText(dir.file("notes.txt"), "x");
    EXPECT_EQ(SCCubeProbe::remove(dir.file("notes.txt")).problem, SCProblem::NOT_A_CUBE);
    EXPECT_EQ(filesIn(dir.path()).size(), before.size() + 1);
}

}  // namespace
