#include <gtest/gtest.h>

#include <string>

#include "raw/raw_header_io.h"
#include "sc_api/sc_raw_io.h"
#include "support/raw_cube_files.h"
#include "support/temp_dir.h"

namespace {

using test_support::readFileText;
using test_support::rplText;
using test_support::TempDir;
using test_support::writeFileText;

const std::string kLayout = " data-length 4 data-type unsigned byte-order little-endian ";
const std::string kDimensions = "width 1 height 2 depth 3";

SCErrorCode readText(const std::string& text, SCRawHeader& header) {
    TempDir dir;
    writeFileText(dir.file("cube.rpl"), text);
    return SCRawIO::readSCRawHeader(dir.file("cube.rpl"), header);
}

SCErrorCode readText(const std::string& text) {
    SCRawHeader header;
    return readText(text, header);
}

TEST(RplHeader, IsWrittenAsNineLinesAndReadBack) {
    TempDir dir;
    const std::string path = dir.file("cube.rpl");
    writeFileText(path, std::string(4000, 'x'));
    ASSERT_EQ(writeSCRawHeader(path, SCRawHeader(10, 20, 1024, SCRawHeader::RECORD_BY_VECTOR)),
              SC_OK);
    EXPECT_EQ(readFileText(path),
              "key\tvalue\nwidth\t10\nheight\t20\ndepth\t1024\noffset\t0\ndata-length\t4\n"
              "data-type\tunsigned\nbyte-order\tlittle-endian\nrecord-by\tvector\n");
    ASSERT_EQ(writeSCRawHeader(path, SCRawHeader(7, 1, 4294967295u, SCRawHeader::RECORD_BY_IMAGE)),
              SC_OK);
    SCRawHeader header;
    ASSERT_EQ(SCRawIO::readSCRawHeader(path, header), SC_OK);
    EXPECT_EQ(header.width(), 7u);
    EXPECT_EQ(header.height(), 1u);
    EXPECT_EQ(header.depth(), 4294967295u);
    EXPECT_EQ(header.format(), SCRawHeader::RECORD_BY_IMAGE);
    EXPECT_EQ(writeSCRawHeader(dir.file("missing/cube.rpl"), header), SC_FILE_ERROR);
}

TEST(RplHeader, AcceptsAnyOrderAnyWhitespaceAndIgnoresOffsetAndByteOrder) {
    SCRawHeader header;
    ASSERT_EQ(readText("record-by image\r\n  depth\t\t3 width 5\n\n height\v2\f" + kLayout, header),
              SC_OK);
    EXPECT_EQ(header.width(), 5u);
    EXPECT_EQ(header.height(), 2u);
    EXPECT_EQ(header.format(), SCRawHeader::RECORD_BY_IMAGE);
    EXPECT_EQ(readText("offset 512 " + kDimensions + kLayout + "record-by vector"), SC_OK);
    EXPECT_EQ(readText(kDimensions + " data-length 4 data-type unsigned byte-order big-endian "
                                     "record-by vector"),
              SC_OK);
    EXPECT_EQ(readText(kDimensions + " data-length 4 data-type unsigned record-by vector "
                                     "byte-order"),
              SC_OK);
}

TEST(RplHeader, TakesTheLastOfRepeatedKeys) {
    SCRawHeader header;
    ASSERT_EQ(
        readText("width x " + kDimensions + " width 4" + kLayout + "record-by vector", header),
        SC_OK);
    EXPECT_EQ(header.width(), 4u);
    EXPECT_EQ(readText(kDimensions + " width x" + kLayout + "record-by vector"), SC_FORMAT_ERROR);
}

TEST(RplHeader, RefusesEveryMissingRequiredKey) {
    const std::string complete = rplText(2, 3, 4, SCRawHeader::RECORD_BY_VECTOR);
    for (const std::string key :
         {"width", "height", "depth", "record-by", "data-type", "data-length", "byte-order"}) {
        std::string text = complete;
        text.replace(text.find(key + "\t"), key.size(), "unknown");
        EXPECT_EQ(readText(text), SC_FORMAT_ERROR) << key;
    }
}

TEST(RplHeader, RefusesOtherDataLayoutsKeepingTheFormat) {
    EXPECT_EQ(readText(kDimensions + " data-length 2 data-type unsigned byte-order x "
                                     "record-by vector"),
              SC_FORMAT_ERROR);
    EXPECT_EQ(readText(kDimensions + " data-length 4 data-type signed byte-order x "
                                     "record-by vector"),
              SC_FORMAT_ERROR);
    EXPECT_EQ(readText(kDimensions + kLayout + "Record-By vector"), SC_FORMAT_ERROR);
    SCRawHeader header(0, 0, 0, SCRawHeader::RECORD_BY_VECTOR);
    EXPECT_EQ(readText("width 6 height 7 depth 8" + kLayout + "record-by Image", header),
              SC_FORMAT_ERROR);
    EXPECT_EQ(header.depth(), 8u);
    EXPECT_EQ(header.format(), SCRawHeader::RECORD_BY_VECTOR);
}

TEST(RplHeader, RefusesNumbersThatAreNotPlainUnsignedDecimals) {
    for (const char* width :
         {"-1", "+5", "12abc", "0x10", "4294967296", "", "99999999999999999999"}) {
        EXPECT_EQ(readText("height 1 depth 1" + kLayout + "record-by vector width " + width),
                  SC_FORMAT_ERROR)
            << width;
    }
    EXPECT_EQ(readText("width 0007 height 1 depth 1" + kLayout + "record-by vector"), SC_OK);
}

TEST(RplHeader, SurvivesDamagedFiles) {
    const std::string header = rplText(1, 1, 1, SCRawHeader::RECORD_BY_VECTOR);
    EXPECT_EQ(readText(header + std::string((1 << 20) - header.size(), ' ')), SC_OK);
    EXPECT_EQ(readText(header + std::string((1 << 20) - header.size() + 1, ' ')), SC_FORMAT_ERROR);
    EXPECT_EQ(readText("width " + std::string(100000, '7') + " height 1 depth 1" + kLayout),
              SC_FORMAT_ERROR);
    EXPECT_EQ(readText(std::string("\0\xff\x01 width\0 1", 12)), SC_FORMAT_ERROR);
    TempDir dir;
    SCRawHeader unread;
    EXPECT_EQ(SCRawIO::readSCRawHeader(dir.file("none.rpl"), unread), SC_FILE_ERROR);
}

}  // namespace
