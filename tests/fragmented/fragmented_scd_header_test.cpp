#include "sc_api/fragmented_scd_header.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "sc_api/sc_error_code.h"
#include "support/fragmented_cube_files.h"

using namespace test_support;

namespace {

std::string written(const FragmentedSCDHeader& header) {
    std::ostringstream out(std::ios::binary);
    EXPECT_EQ(header.write(out), SC_OK);
    return out.str();
}

int readFrom(const std::string& bytes, FragmentedSCDHeader& header) {
    std::istringstream in(bytes, std::ios::binary);
    return header.read(in);
}

// The bytes with the 32-bit field at `offset` replaced.
std::string patched(std::string bytes, std::size_t offset, std::uint32_t value) {
    for (unsigned i = 0; i < 4; ++i) {
        bytes.at(offset + i) = static_cast<char>(value >> (8 * i));
    }
    return bytes;
}

}  // namespace

TEST(FragmentedSCDHeader, NewHeaderIsWrittenAtOnceAndEachAreaAddsAnOrigin) {
    FragmentedSCDHeader header(3, 2, 100, 1.0f);
    const std::string fresh = written(header);
    EXPECT_EQ(fresh.size(), 32u + 4 * 3 * 2 + 8);
    EXPECT_EQ(fresh, fragmentedHeaderBytes({3, 2, 100, 1.0f, {}}));  // grid zero, origin (0, 0)

    EXPECT_EQ(header.addArea(0, 0), 1u);
    EXPECT_EQ(header.addArea(1, 1), 2u);
    header.setAreaIndex(1, 1, 2);
    const FragmentedCubeModel areas{3, 2, 100, 1.0f, {{{0, 0, 0, 0}, 0}, {{1, 1, 1, 1}, 1}}};
    EXPECT_EQ(written(header), fragmentedHeaderBytes(areas));  // three origins

    std::ofstream unopened;
    EXPECT_EQ(header.write(unopened), SC_WRITE_ERROR);
}

TEST(FragmentedSCDHeader, ReadsBackWhatItWroteAndRefusesForeignCutOrImpossibleHeaders) {
    const FragmentedCubeModel noWidth{0, 5, 4, 2.5f, {{{0, 0, 0, 5}, 5}}};
    for (const FragmentedCubeModel& model : {overlappingAreas(), noWidth}) {
        const std::string bytes = fragmentedHeaderBytes(model);
        FragmentedSCDHeader header;
        ASSERT_EQ(readFrom(bytes, header), SC_OK);
        EXPECT_EQ(header.numAreas(), model.areas.size());
        EXPECT_EQ(written(header), bytes);
    }
    const std::string good = fragmentedHeaderBytes(overlappingAreas());
    const std::string refused[] = {
        patched(good, 0, 0x53434458),                            // magic
        patched(good, 4, 2),                                     // version 2
        patched(good, 8, 1),                                     // simple cube
        patched(good, 12, 0xFFFFFFFF),                           // areas
        patched(patched(good, 16, 0xFFFFFFFF), 20, 0xFFFFFFFF),  // width x height
    };
    for (const std::string& bytes : refused) {
        FragmentedSCDHeader header;
        EXPECT_EQ(readFrom(bytes, header), SC_FORMAT_ERROR);
    }
    for (std::size_t length = 0; length < good.size(); ++length) {
        FragmentedSCDHeader header;
        EXPECT_EQ(readFrom(good.substr(0, length), header), SC_FORMAT_ERROR) << length;
    }
}
