// File streams: opening always, never truncating on open, 64-bit positions, reads at the end.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "io/file_stream.h"
#include "support/temp_dir.h"

namespace {

using namespace test_support;
using Bytes = std::vector<unsigned char>;

TEST(FileStreams, OpenAlwaysNeverTruncateSeekBy64BitsAndReadWhatIsLeftPastTheEnd) {
    TempDir dir;
    EXPECT_EQ(SystemInputFileStream(dir.file("data")).size(), 0u) << "created empty";
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

}  // namespace
