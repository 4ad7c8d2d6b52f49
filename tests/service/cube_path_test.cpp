// Canonical cube paths and their confinement to the host's root.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>

#include "service/cube_path.h"
#include "support/temp_dir.h"

namespace {

using cube_path::canonical;
using cube_path::insideRoot;

TEST(CanonicalCubePath, SpellingsOfOnePathGiveOneText) {
    EXPECT_EQ(canonical("/data/cubes/a", "/root"), "/data/cubes/a");
    EXPECT_EQ(canonical("/data/./cubes//a/", "/root"), "/data/cubes/a");
    EXPECT_EQ(canonical("/data/x/../cubes/a", "/root"), "/data/cubes/a");
    EXPECT_EQ(canonical("cubes/a", "/root"), "/root/cubes/a");
    EXPECT_EQ(canonical("./cubes/./a", "/root/"), "/root/cubes/a");
    EXPECT_EQ(canonical("../../../etc/x", "/root"), "/etc/x");
    EXPECT_EQ(canonical("", "/root"), "/root");
    EXPECT_EQ(canonical("/..", "/root"), "/");
    EXPECT_EQ(canonical("a.1/..x/...", "/r"), "/r/a.1/..x/...");
}

class Confinement : public ::testing::Test {
  protected:
    void SetUp() override {
        root_ = dir_.file("root");
        std::filesystem::create_directories(root_ + "/cubes");
        std::filesystem::create_directories(dir_.file("outside"));
    }

    bool inside(const std::string& path) { return insideRoot(canonical(path, root_), root_); }

    test_support::TempDir dir_;
    std::string root_;
};

TEST_F(Confinement, NamesBelowTheRootPassWhetherOrNotTheyExist) {
    EXPECT_TRUE(inside("cubes/a"));
    EXPECT_TRUE(inside("new/deeper/cube"));
    EXPECT_TRUE(inside(root_ + "/cubes/../cube"));
}

TEST_F(Confinement, EscapesAreRefused) {
    EXPECT_FALSE(inside(".."));
    EXPECT_FALSE(inside("../outside/cube"));
    EXPECT_FALSE(inside("cubes/../../outside/cube"));
    EXPECT_FALSE(inside(dir_.file("outside/cube")));
    EXPECT_FALSE(inside("/etc/passwd"));
    // The root itself is no cube name: its files would lie beside it.
    EXPECT_FALSE(inside(""));
    EXPECT_FALSE(inside("."));
}

TEST_F(Confinement, SymbolicLinksAreFollowedOutOfTheRoot) {
    std::filesystem::create_directory_symlink(dir_.file("outside"), root_ + "/linked");
    EXPECT_FALSE(inside("linked/cube"));
    test_support::writeFileText(dir_.file("outside/stolen.scdh"), "x");
    std::filesystem::create_symlink(dir_.file("outside/stolen.scdh"), root_ + "/cubes/b.scdh");
    EXPECT_FALSE(inside("cubes/b"));
    std::filesystem::create_symlink(root_ + "/cubes", root_ + "/alias");
    EXPECT_TRUE(inside("alias/c"));
    std::filesystem::create_symlink(dir_.file("nowhere"), root_ + "/cubes/dangling.scdh");
    EXPECT_FALSE(inside("cubes/dangling"));
}

TEST_F(Confinement, ARootThatDoesNotExistAdmitsNothing) {
    EXPECT_FALSE(insideRoot(canonical("a", dir_.file("missing")), dir_.file("missing")));
}

}  // namespace
