// File streams: regular files only, inputs never created, outputs never truncated on open,
// 64-bit positions, reads at the end, and the fault-injection seam.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cerrno>
#include <cstdint>
#include <vector>

#include "io/fault_injection.h"
#include "io/file_stream.h"
#include "support/temp_dir.h"

namespace {

using namespace test_support;
using Bytes = std::vector<unsigned char>;

TEST(FileStreams, OpenRegularFilesNeverTruncateSeekBy64BitsAndReadWhatIsLeftPastTheEnd) {
    TempDir dir;
    EXPECT_FALSE(SystemInputFileStream(dir.file("data")).isOpen());
    EXPECT_FALSE(fileExists(dir.file("data"))) << "an input stream creates nothing";
    EXPECT_EQ(SystemOutputFileStream(dir.file("data")).size(), 0u) << "an output creates it";
    writeFileBytes(dir.file("data"), Bytes{0, 1, 2, 3, 4, 5, 6, 7, 8, 9});
    ASSERT_EQ(SystemOutputFileStream(dir.file("data")).write(Bytes{0xAB}.data(), 1), 1);
    EXPECT_EQ(readFileBytes(dir.file("data")), (Bytes{0xAB, 1, 2, 3, 4, 5, 6, 7, 8, 9}));

    SystemInputFileStream in(dir.file("data"));
    ASSERT_TRUE(in.seek(8, 0, FileStream::FROM_BEGIN));
    ASSERT_TRUE(in.seek(-3, -1, FileStream::FROM_CURRENT));
    EXPECT_EQ(in.tell(), 5u);
    EXPECT_FALSE(in.seek(-20, -1, FileStream::FROM_CURRENT));
    ASSERT_TRUE(in.seek(-3, -1, FileStream::FROM_END));
    Bytes buffer(16, 0xEE);
    EXPECT_EQ(in.read(buffer.data(), 16), 3);
    EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + 4), (Bytes{7, 8, 9, 0xEE}));
    EXPECT_TRUE(in.isEof());
    EXPECT_EQ(in.read(buffer.data(), 16), 0);

    constexpr std::uint64_t kFiveGiB = 5ull << 30;  // positions and sizes are 64-bit
    SystemOutputFileStream out(dir.file("sparse"));
    ASSERT_TRUE(out.seekTo(kFiveGiB));
    ASSERT_EQ(out.write(Bytes{0x12, 0x34}.data(), 2), 2);
    EXPECT_EQ(out.size(), kFiveGiB + 2);
    SystemInputFileStream sparse(dir.file("sparse"));
    ASSERT_TRUE(sparse.seek(static_cast<std::int32_t>(kFiveGiB + 1), 1, FileStream::FROM_BEGIN));
    ASSERT_EQ(sparse.read(buffer.data(), 1), 1);
    EXPECT_EQ(buffer[0], 0x34);
    ASSERT_TRUE(sparse.seekBy(-static_cast<std::int64_t>(kFiveGiB), FileStream::FROM_CURRENT));
    EXPECT_EQ(sparse.tell(), 2u);
}

TEST(FileStreams, OnlyRegularFilesOpenAndNoneBlocks) {
    TempDir dir;
    ASSERT_EQ(mkfifo(dir.file("fifo").c_str(), 0600), 0);
    EXPECT_FALSE(SystemInputFileStream(dir.file("fifo")).isOpen());
    EXPECT_FALSE(SystemOutputFileStream(dir.file("fifo")).isOpen());
    EXPECT_FALSE(SystemInputFileStream(dir.path()).isOpen());
    EXPECT_FALSE(SystemOutputFileStream(dir.path()).isOpen());
    EXPECT_FALSE(SystemInputFileStream("/dev/zero").isOpen());
    EXPECT_FALSE(isRegularFile(dir.file("fifo")));
}

// The seam fails exactly the n-th counted operation, once, with the chosen error.
TEST(FileStreams, TheFaultSeamFailsTheNthWriteSeekTruncateSyncOrPublication) {
    TempDir dir;
    SystemOutputFileStream out(dir.file("data"));
    const Bytes bytes{1, 2, 3};
    fault_injection::failOperation(3, ENOSPC);
    EXPECT_EQ(out.write(bytes.data(), 3), 3);
    EXPECT_TRUE(out.seekTo(1));
    errno = 0;
    EXPECT_EQ(out.write(bytes.data(), 3), -1);
    EXPECT_EQ(errno, ENOSPC);
    EXPECT_TRUE(out.writeAt(bytes.data(), 3, 7));
    EXPECT_EQ(fault_injection::disarm(), 4u);
    EXPECT_EQ(readFileBytes(dir.file("data")), (Bytes{1, 2, 3, 0, 0, 0, 0, 1, 2, 3}));

    for (std::uint64_t n = 1; n <= 4; ++n) {  // write, sync, rename of publishFile; then none
        writeFileBytes(dir.file("published"), Bytes{9});
        fault_injection::failOperation(n, EIO);
        const SCErrorCode result = publishFile(dir.file("published"), bytes.data(), 3);
        fault_injection::disarm();
        EXPECT_EQ(result, n <= 3 ? SC_WRITE_ERROR : SC_OK) << n;
        EXPECT_EQ(readFileBytes(dir.file("published")), n <= 3 ? Bytes{9} : bytes) << n;
        EXPECT_FALSE(fileExists(dir.file("published.part"))) << n;
    }
    fault_injection::failOperation(1, EIO);
    EXPECT_FALSE(out.truncate());
    fault_injection::disarm();
    EXPECT_EQ(publishFile(dir.file("missing/file"), bytes.data(), 3), SC_FILE_ERROR);
}

}  // namespace
