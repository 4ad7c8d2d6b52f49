#include "raw/file_stream.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace {

using test_support::fileExists;
using test_support::readFileBytes;
using test_support::TempDir;
using test_support::writeFileBytes;
using Bytes = std::vector<unsigned char>;

Bytes countingBytes(std::size_t n) {
    Bytes bytes(n);
    for (std::size_t i = 0; i < n; ++i) {
        bytes[i] = static_cast<unsigned char>(i);
    }
    return bytes;
}

TEST(FileStreams, OpeningAMissingFileCreatesItEmpty) {
    TempDir dir;
    SystemInputFileStream in(dir.file("missing"));
    ASSERT_TRUE(in.isOpen());
    EXPECT_TRUE(fileExists(dir.file("missing")));
    EXPECT_EQ(in.size(), 0u);
    EXPECT_TRUE(in.isEof());
    EXPECT_FALSE(SystemInputFileStream(dir.file("no-such-dir/file")).isOpen());
}

TEST(FileStreams, ReadsPastTheEndReturnWhatWasLeft) {
    TempDir dir;
    writeFileBytes(dir.file("data"), countingBytes(10));
    SystemInputFileStream in(dir.file("data"));
    Bytes buffer(16, 0xEE);
    ASSERT_TRUE(in.seek(7, 0, FileStream::FROM_BEGIN));
    EXPECT_EQ(in.read(buffer.data(), 16), 3);
    EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + 4), (Bytes{7, 8, 9, 0xEE}));
    EXPECT_TRUE(in.isEof());
    EXPECT_EQ(in.read(buffer.data(), 16), 0);
}

TEST(FileStreams, SeeksTakeASigned64BitDistanceFromEachOrigin) {
    TempDir dir;
    writeFileBytes(dir.file("data"), countingBytes(10));
    SystemInputFileStream in(dir.file("data"));
    ASSERT_TRUE(in.seek(8, 0, FileStream::FROM_BEGIN));
    ASSERT_TRUE(in.seek(-3, -1, FileStream::FROM_CURRENT));
    EXPECT_EQ(in.tell(), 5u);
    ASSERT_TRUE(in.seek(-1, -1, FileStream::FROM_END));
    EXPECT_EQ(in.tell(), 9u);
    EXPECT_FALSE(in.seek(-20, -1, FileStream::FROM_CURRENT));
    EXPECT_FALSE(in.seek(0, 0, 3));
}

TEST(FileStreams, WritingKeepsTheRestOfAnExistingFile) {
    TempDir dir;
    const std::string path = dir.file("data");
    writeFileBytes(path, countingBytes(100));
    SystemOutputFileStream out(path);
    ASSERT_EQ(out.write(Bytes(10, 0xAB).data(), 10), 10);
    Bytes expected = countingBytes(100);
    std::fill_n(expected.begin(), 10, 0xAB);
    EXPECT_EQ(readFileBytes(path), expected);

    SystemInputFileStream reader(path);
    ASSERT_TRUE(out.truncate());
    EXPECT_EQ(out.tell(), 0u);
    EXPECT_EQ(reader.size(), 0u);
}

TEST(FileStreams, ClosedStreamsReportFailures) {
    TempDir dir;
    SystemOutputFileStream out;
    unsigned char byte = 0;
    EXPECT_EQ(out.write(&byte, 1), -1);
    EXPECT_EQ(out.tell(), FileStream::INVALID_POSITION);
    EXPECT_EQ(out.size(), FileStream::INVALID_POSITION);
    EXPECT_FALSE(out.truncate());
    ASSERT_TRUE(out.open(dir.file("later").c_str(), GENERIC_WRITE));
    EXPECT_NE(out.close(), 0);
    EXPECT_EQ(out.close(), 0);
    SystemInputFileStream in;
    EXPECT_EQ(in.read(&byte, 1), -1);
}

TEST(FileStreams, PositionsAndSizesBeyond4GiBAre64Bit) {
    constexpr std::uint64_t kFiveGiB = 5ull << 30;
    TempDir dir;
    SystemOutputFileStream out(dir.file("sparse"));
    ASSERT_TRUE(out.seekTo(kFiveGiB));
    ASSERT_EQ(out.write(Bytes{0x12, 0x34}.data(), 2), 2);
    EXPECT_EQ(out.size(), kFiveGiB + 2);
    EXPECT_TRUE(out.isEof());

    SystemInputFileStream in(dir.file("sparse"));
    const auto low = static_cast<std::int32_t>(static_cast<std::uint32_t>(kFiveGiB + 1));
    ASSERT_TRUE(in.seek(low, 1, FileStream::FROM_BEGIN));
    EXPECT_EQ(in.tell(), kFiveGiB + 1);
    unsigned char byte = 0;
    ASSERT_EQ(in.read(&byte, 1), 1);
    EXPECT_EQ(byte, 0x34);
    ASSERT_TRUE(in.seekBy(-static_cast<std::int64_t>(kFiveGiB), FileStream::FROM_CURRENT));
    EXPECT_EQ(in.tell(), 2u);
}

}  // namespace
